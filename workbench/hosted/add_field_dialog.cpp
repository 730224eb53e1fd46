#include "workbench/hosted/add_field_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "extension_classes/plc_driver.h"
#include "kestra/check.h"

namespace kestra::workbench {

namespace {

QString DisplayDescription(const host::PanelDisplay& display) {
    QString text = QString::fromStdString(host::DescribeDisplay(display));
    return "Width and height are counted in characters of " + text + ".";
}

class AddFieldDialog : public QDialog {
  public:
    AddFieldDialog(QWidget* parent, host::Driver& driver, ProjectBlock& project,
                   const host::PanelDisplay& display, const QString& where)
        : QDialog(parent), driver_(driver), project_(project), display_(display) {
        setWindowTitle("Add Field");
        auto* layout = new QVBoxLayout(this);
        auto* form = new QFormLayout;
        layout->addLayout(form);

        type_ = new QComboBox(this);
        type_->setObjectName("fieldType");
        for (unsigned t = 0; t < host::kFieldTypeCount; ++t)
            type_->addItem(QString::fromStdString(host::FieldTypeName(driver.loader().GetHandle(), t)));
        auto* typeLabel = new QLabel("Field &type:", this);
        typeLabel->setBuddy(type_);
        form->addRow(typeLabel, type_);

        plcData_ = new QRadioButton("&PLC data (class 2)", this);
        plcData_->setObjectName("plcData");
        plcData_->setToolTip("The field shows or sets a value of the PLC.");
        attribute_ = new QRadioButton("An &attribute (class 3)", this);
        attribute_->setObjectName("attribute");
        attribute_->setToolTip("The field gives its area an attribute (blink, highlight, "
                               "reverse), fixed or read from the PLC.");
        plcData_->setChecked(true);
        auto* classes = new QButtonGroup(this);
        classes->addButton(plcData_);
        classes->addButton(attribute_);
        auto* classRow = new QHBoxLayout;
        classRow->addWidget(plcData_);
        classRow->addWidget(attribute_);
        classRow->addStretch();
        form->addRow("Shows:", classRow);

        width_ = new QSpinBox(this);
        width_->setObjectName("width");
        auto* widthLabel = new QLabel("&Width (characters):", this);
        widthLabel->setBuddy(width_);
        form->addRow(widthLabel, width_);
        height_ = new QSpinBox(this);
        height_->setObjectName("height");
        auto* heightLabel = new QLabel("&Height (lines):", this);
        heightLabel->setBuddy(height_);
        form->addRow(heightLabel, height_);

        for (const QString& text : {DisplayDescription(display), "The new field is placed " + where + "."}) {
            auto* label = new QLabel(text, this);
            label->setWordWrap(true);
            layout->addWidget(label);
        }
        note_ = new QLabel(this);
        note_->setObjectName("note");
        note_->setWordWrap(true);
        layout->addWidget(note_);

        buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(buttons_);
        connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(type_, &QComboBox::currentIndexChanged, this, [this] { offer(); });
        connect(classes, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
            if (on) offer();
        });
        setMinimumWidth(440);
        offer();
    }

    NewFieldChoice choice() const {
        return {static_cast<unsigned>(type_->currentIndex()), chosenClass(),
                {width_->value(), height_->value()}};
    }

  private:
    std::uint16_t chosenClass() const {
        return attribute_->isChecked() ? kAttributeClass : kPlcDataClass;
    }

    // The driver makes the field chosen now: its usual size, or why it cannot be made.
    void offer() {
        const auto type = static_cast<unsigned>(type_->currentIndex());
        const std::optional<FieldRecord> made =
            NewFieldRecord(driver_.loader(), project_, type, chosenClass());
        buttons_->button(QDialogButtonBox::Ok)->setEnabled(made.has_value());
        width_->setEnabled(made.has_value());
        height_->setEnabled(made.has_value());
        if (!made) {
            note_->setText(QString("<b>The driver %1 offers no data format for a %2 field of "
                                   "%3:</b> such a field cannot be made. Choose %4, or another "
                                   "field type.")
                               .arg(QString::fromStdString(driver_.library()), type_->currentText(),
                                    chosenClass() == kPlcDataClass ? "PLC data" : "an attribute",
                                    chosenClass() == kPlcDataClass ? "an attribute" : "PLC data"));
            return;
        }
        std::string format;
        driver_.loader().GetDataFormatStringFromId(made->plc.dataFormat, format);
        note_->setText(QString("The driver makes it with the data format %1; set its address in "
                               "Field Properties.")
                           .arg(QString::fromStdString(format)));
        const FieldSize size = UsualFieldSize(driver_.loader(), *made, display_);
        width_->setRange(1, WidestField(type, display_));
        height_->setRange(1, TallestField(type, display_));
        width_->setValue(size.width);
        height_->setValue(size.height);
    }

    host::Driver& driver_;
    ProjectBlock& project_;
    host::PanelDisplay display_;
    QComboBox* type_ = nullptr;
    QRadioButton* plcData_ = nullptr;
    QRadioButton* attribute_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLabel* note_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace

std::optional<NewFieldChoice> AskNewField(QWidget* parent, host::Driver& driver,
                                          ProjectBlock& project, const host::PanelDisplay& display,
                                          const QString& where) {
    AddFieldDialog dialog(parent, driver, project, display, where);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

}  // namespace kestra::workbench
