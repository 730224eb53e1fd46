// English plural forms for the workbench's texts with counts. A text written for a count, as
// tr("%n page(s)", "", count), reads "1 page" and "3 pages": without a translation loaded Qt
// keeps the text as it stands ("1 page(s)"), so the workbench installs this translator, which
// gives each "word(s)" of such a text its singular or plural form. Other texts it leaves alone.
#pragma once

#include <QTranslator>

namespace kestra::workbench {

class EnglishPlurals : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }
};

// Installs the translator in the application, once.
void InstallEnglishPlurals();

}  // namespace kestra::workbench
