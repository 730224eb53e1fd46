#include "workbench/hosted/field_settings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardItemModel>
#include <algorithm>
#include <cstring>

#include "extension_classes/plc_driver.h"
#include "kestra/check.h"
#include "platform/allocations.h"
#include "plc_s5/type1_image.h"
#include "string_table/string_table.h"
#include "utilities/services.h"
#include "workbench/hosted/field_kind.h"

namespace kestra::workbench {

namespace {

// A label is stored with a length byte; a row and a column are stored plus one in a byte.
constexpr int kLongestLabel = 255;
constexpr int kLastPlace = 254;
constexpr int kLongestText = 255;

void Enable(QComboBox* combo, int index, bool enabled) {
    if (auto* model = qobject_cast<QStandardItemModel*>(combo->model()))
        if (QStandardItem* item = model->item(index)) item->setEnabled(enabled);
}

std::string LabelOf(const FieldRecord& field) {
    const std::span<std::byte> bytes = mem::Bytes(field.label);
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    return bytes.empty() ? std::string() : std::string(chars, strnlen(chars, bytes.size()));
}

QSpinBox* Spin(QWidget* parent, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    return spin;
}

}  // namespace

FieldSettings::FieldSettings(QWidget* parent, host::Driver& driver, ProjectBlock& project,
                             FieldRecord& working, const host::PanelDisplay& display)
    : QWidget(parent), driver_(driver), project_(project), working_(working), display_(display) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto add = [&](int row, int column, const char* text, QWidget* control) {
        auto* label = new QLabel(text, this);
        label->setBuddy(control);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(control, row, column * 2 + 1);
    };
    type_ = new QComboBox(this);
    type_->setObjectName("fieldType");
    for (unsigned t = 0; t < host::kFieldTypeCount; ++t)
        type_->addItem(QString::fromStdString(host::FieldTypeName(driver.loader().GetHandle(), t)));
    class_ = new QComboBox(this);
    class_->setObjectName("fieldClass");
    class_->addItem("PLC data (class 2)", kPlcDataClass);
    class_->addItem("Attribute (class 3)", kAttributeClass);
    if (working.fieldClass != kPlcDataClass && working.fieldClass != kAttributeClass)
        class_->addItem(QString("Class %1 (the editor's)").arg(working.fieldClass.get()),
                        working.fieldClass.get());
    row_ = Spin(this, "row");
    column_ = Spin(this, "column");
    width_ = Spin(this, "width");
    height_ = Spin(this, "height");
    label_ = new QLineEdit(QString::fromStdString(LabelOf(working)), this);
    label_->setObjectName("label");
    label_->setMaxLength(kLongestLabel);
    text_ = new QLineEdit(this);
    text_->setObjectName("text");
    text_->setMaxLength(kLongestText);
    if (working.textId != 0u)
        text_->setText(QString::fromStdString(host::ProjectText(project, working.textId)));
    for (QLineEdit* edit : {label_, text_})
        edit->setToolTip("One for every language of the project: a project keeps its page texts "
                         "per language, not its fields' labels and texts.");
    where_ = new QLabel(this);
    where_->setObjectName("where");
    where_->setWordWrap(true);

    add(0, 0, "Field &type:", type_);
    add(0, 1, "Cla&ss:", class_);
    add(1, 0, "&Row:", row_);
    add(1, 1, "&Column:", column_);
    add(2, 0, "&Width:", width_);
    add(2, 1, "&Height:", height_);
    add(3, 0, "&Label:", label_);
    add(3, 1, "Te&xt:", text_);
    grid->addWidget(where_, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    setTabOrder(type_, class_);
    setTabOrder(class_, row_);
    setTabOrder(row_, column_);
    setTabOrder(column_, width_);
    setTabOrder(width_, height_);
    setTabOrder(height_, label_);
    setTabOrder(label_, text_);

    refresh();
    connect(type_, &QComboBox::currentIndexChanged, this, [this] { kindChosen(); });
    connect(class_, &QComboBox::currentIndexChanged, this, [this] { kindChosen(); });
    for (QSpinBox* spin : {row_, column_, width_, height_})
        connect(spin, &QSpinBox::valueChanged, this, [this] { placeChosen(); });
}

// The types the driver offers for the field's class, and the classes it offers for its type.
void FieldSettings::fillKinds() {
    const QSignalBlocker quietType(type_), quietClass(class_);
    type_->setCurrentIndex(working_.kind() < host::kFieldTypeCount ? working_.kind() : -1);
    class_->setCurrentIndex(class_->findData(working_.fieldClass.get()));
    KXCPlcDriver& driver = driver_.loader();
    for (int t = 0; t < type_->count(); ++t)
        Enable(type_, t,
               t == type_->currentIndex() ||
                   DriverOffers(driver, project_, working_, static_cast<unsigned>(t),
                                working_.fieldClass));
    for (int c = 0; c < class_->count(); ++c)
        Enable(class_, c,
               c == class_->currentIndex() ||
                   DriverOffers(driver, project_, working_, working_.kind(),
                                static_cast<std::uint16_t>(class_->itemData(c).toUInt())));
}

void FieldSettings::refresh() {
    filling_ = true;
    fillKinds();
    // The ranges hold what the field has, even when it lies beyond the display.
    const unsigned type = working_.kind();
    const int row = s5::FieldRow(working_), column = s5::FieldColumn(working_);
    row_->setRange(1, std::min(std::max(display_.rows, row + 1), kLastPlace + 1));
    column_->setRange(1, std::min(std::max(display_.columns, column + 1), kLastPlace + 1));
    width_->setRange(1, std::max<int>(WidestField(type, display_), working_.width));
    height_->setRange(1, std::max<int>(TallestField(type, display_), working_.height));
    row_->setValue(row + 1);
    column_->setValue(column + 1);
    width_->setValue(std::max<int>(working_.width, 1));
    height_->setValue(std::max<int>(working_.height, 1));
    filling_ = false;
    showPlace();
}

void FieldSettings::kindChosen() {
    if (filling_) return;
    const auto type = static_cast<unsigned>(std::max(type_->currentIndex(), 0));
    const auto fieldClass = static_cast<std::uint16_t>(class_->currentData().toUInt());
    if (SetFieldKind(driver_.loader(), project_, working_, type, fieldClass)) {
        // Only bargraphs and graphics fields are higher than a line.
        if (TallestField(type, display_) == 1) working_.height = 1;
        if (changed_) changed_(true);
    }
    refresh();
}

void FieldSettings::placeChosen() {
    if (filling_) return;
    s5::FieldRow(working_) = static_cast<std::uint8_t>(row_->value() - 1);
    s5::FieldColumn(working_) = static_cast<std::uint8_t>(column_->value() - 1);
    working_.width = static_cast<std::uint8_t>(width_->value());
    working_.height = static_cast<std::uint8_t>(height_->value());
    showPlace();
    if (changed_) changed_(false);
}

void FieldSettings::showPlace() {
    const QString display = QString::fromStdString(host::DescribeDisplay(display_));
    if (display_.holds(row_->value() - 1, column_->value() - 1, width_->value(), height_->value())) {
        where_->setText("The field lies on " + display + ".");
        return;
    }
    where_->setText(
        QString("<b>The field runs past %1</b>: %2")
            .arg(display.toHtmlEscaped(), display_.source == host::PanelDisplay::Source::PanelSetup
                              ? "the panel could not show it, and Check counts it an error."
                              : "Check warns of it until Panel Setup chooses the display."));
}

bool FieldSettings::apply(FieldRecord& field) const {
    const std::string label = label_->text().toStdString().substr(0, kLongestLabel);
    if (label != LabelOf(field)) {
        mem::Ref block = 0;
        if (!label.empty()) {
            APPFMALLOC allocate = GetAppFmalloc();
            block = allocate ? allocate(static_cast<std::uint32_t>(label.size() + 1)) : 0;
            if (block == 0u || mem::Size(block) < label.size() + 1) return false;
            std::memcpy(mem::Data(block), label.c_str(), label.size() + 1);
        }
        field.label = block;
    }
    const std::string text = text_->text().toStdString();
    const std::string before =
        field.textId != 0u ? host::ProjectText(project_, field.textId) : std::string();
    if (text != before) {
        WORD id = 0;
        if (!text.empty()) {
            id = StrTabAddText(text.c_str(), &project_);
            if (id == kNoStringId) return false;
        }
        if (field.textId != 0u) StrTabGetText(field.textId, &project_, nullptr, 0, 1);
        field.textId = id;
    }
    return true;
}

}  // namespace kestra::workbench
