#include "workbench/window/english_plurals.h"

#include <QCoreApplication>
#include <cstring>

namespace kestra::workbench {

QString EnglishPlurals::translate(const char*, const char* source, const char*, int n) const {
    if (n < 0 || !source || !std::strstr(source, "(s)")) return {};
    QString text = QString::fromUtf8(source);
    return text.replace(QStringLiteral("(s)"), n == 1 ? QString() : QStringLiteral("s"));
}

void InstallEnglishPlurals() {
    static EnglishPlurals* installed = nullptr;
    if (installed || !QCoreApplication::instance()) return;
    installed = new EnglishPlurals(QCoreApplication::instance());
    QCoreApplication::installTranslator(installed);
}

}  // namespace kestra::workbench
