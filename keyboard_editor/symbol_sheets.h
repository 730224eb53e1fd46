// The property sheets of keys and value boxes.
#pragma once

#include <QDialog>
#include <vector>

#include "keyboard_editor/kes_symbol.h"
#include "keyboard_editor/model_sheet.h"
#include "keyboard_editor/text_tables.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;

namespace clavon {

class CKesButtonPPGeneral : public QWidget {
    Q_OBJECT
  public:
    CKesButtonPPGeneral(const CKesButton& key, const std::vector<KeyCode>& codes,
                        QWidget* parent = nullptr);
    // Writes the page's settings into a key.
    void Apply(CKesButton& key) const;

    ColourCombo *face, *shadow, *line;
    QLineEdit* label;
    QComboBox *horzAlign, *vertAlign;
    QListWidget* codeList;
    QLabel* codeText;
    QLineEdit* picture;
    LabelFont font;

  private:
    int m_code;
};

class CSymValuePPGeneral : public QWidget {
    Q_OBJECT
  public:
    explicit CSymValuePPGeneral(const CSymValue& value, QWidget* parent = nullptr);
    void Apply(CSymValue& value) const;

    QComboBox *type, *alignment, *fontSize;
    ColourCombo *background, *foreground;
};

// A sheet of one page with OK and Cancel.
class CSymbolSheet : public QDialog {
  public:
    CSymbolSheet(const QString& title, QWidget* page, QWidget* parent = nullptr);
    QTabWidget* Tabs() const { return m_tabs; }

  private:
    QTabWidget* m_tabs;
};

}  // namespace clavon
