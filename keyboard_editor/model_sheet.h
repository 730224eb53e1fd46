// The property sheets: the model's (general, background, panel pages), the key's and the
// value box's, and the colour chooser they share.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <string>
#include <vector>

#include "keyboard_editor/clavon_model.h"
#include "keyboard_editor/panel_models.h"
#include "keyboard_editor/text_tables.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;

namespace clavon {

// A chooser of the palette's selectable colours; a colour outside them is listed last.
class ColourCombo : public QComboBox {
  public:
    ColourCombo(const CPanelPalette& palette, Colour current, QWidget* parent = nullptr);
    Colour Value() const;
};

// Makes `sheet` a property sheet: the title, a tab widget (returned, for the pages) and the
// OK and Cancel buttons below it.
QTabWidget* MakeSheetFrame(QDialog& sheet, const QString& title);

class CModelSheet : public QDialog {
    Q_OBJECT
  public:
    CModelSheet(const CClavonModel& model, const std::vector<std::string>& fields,
                const std::vector<PanelModel>& panels, QWidget* parent = nullptr);
    // The model's properties as the sheet leaves them.
    PropertyContainer Result() const;
    QTabWidget* Tabs() const { return m_tabs; }

    QComboBox* colours;
    QLineEdit* name;
    QCheckBox* avoidField;
    QComboBox *horzPosition, *horzReference, *vertPosition, *vertReference;
    QCheckBox* absolute;
    QListWidget* fieldList;
    ColourCombo* transparent;
    QLineEdit* bitmap;
    ColourCombo* backColour;
    QCheckBox* border;
    ColourCombo *face, *shadow, *line;
    QListWidget* models;
    QSpinBox *gridWidth, *gridHeight, *panelWidth, *panelHeight;

  private:
    QWidget* GeneralPage(const std::vector<std::string>& fields);
    QWidget* BackgroundPage();
    QWidget* PanelPage(const std::vector<PanelModel>& panels);

    const CClavonModel& m_model;
    QTabWidget* m_tabs;
};

}  // namespace clavon
