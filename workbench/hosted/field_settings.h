// The field's own settings in Field Properties, which the driver's PLC reference page leaves
// to the editor: its type and class, its place (row and column) and size on the display, its
// label and its text.
//
// The controls edit the dialog's working copy of the field record at once: a new type or class
// goes through the driver (workbench/hosted/field_kind.h), which chooses the data format that
// suits it, and the types and classes the driver refuses cannot be chosen. The label and the
// text are written into the project only when the dialog ends with OK (apply()). A project
// keeps a field's label and text once for all its languages.
#pragma once

#include <QWidget>
#include <functional>

#include "kestra/driver.h"
#include "kestra/panel_display.h"
#include "kestra/project.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kestra::workbench {

class FieldSettings : public QWidget {
  public:
    FieldSettings(QWidget* parent, host::Driver& driver, ProjectBlock& project,
                  FieldRecord& working, const host::PanelDisplay& display);

    // Called after a control changed the working copy; `kind` tells whether its type or class
    // changed (and with them its PLC reference).
    void onChanged(std::function<void(bool kind)> changed) { changed_ = std::move(changed); }
    // Shows the working copy again (after the driver's full dialog changed it).
    void refresh();
    // Writes the label and the text into `field`, the project's record, through the project's
    // string table; false when there is no memory for them.
    bool apply(FieldRecord& field) const;

  private:
    void fillKinds();
    void kindChosen();
    void placeChosen();
    void showPlace();

    host::Driver& driver_;
    ProjectBlock& project_;
    FieldRecord& working_;
    host::PanelDisplay display_;
    std::function<void(bool)> changed_;
    QComboBox* type_ = nullptr;
    QComboBox* class_ = nullptr;
    QSpinBox* row_ = nullptr;
    QSpinBox* column_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLineEdit* label_ = nullptr;
    QLineEdit* text_ = nullptr;
    QLabel* where_ = nullptr;
    bool filling_ = false;
};

}  // namespace kestra::workbench
