#include "keyboard_editor/help_viewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "keyboard_editor/app_icons.h"

namespace clavon {

QString HelpText() {
    QFile guide(":/clavon/README.md");
    if (!guide.open(QIODevice::ReadOnly))
        return "# Clavon\n\nThe guide is missing from this build.";
    return QString::fromUtf8(guide.readAll());
}

CHelpViewer::CHelpViewer(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Clavon Help");
    setWindowIcon(ApplicationIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new QTextBrowser;
    m_browser->setOpenExternalLinks(true);
    m_browser->setMarkdown(HelpText());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(760, 640);
}

QString AboutText() {
    return QStringLiteral(
               "<h3>Clavon %1</h3>"
               "<p>The keyboard editor of the Kestra panel tools: it lays out the soft keyboard "
               "of an operator panel, exports it as a keyboard ROM image and sends it to a "
               "SmartMedia card.</p>"
               "<p>Press F1 for the guide.</p>")
        .arg(CLAVON_VERSION);
}

}  // namespace clavon
