#include "keyboard_editor/model_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace clavon {
namespace {

// A colour as people write it: "#RRGGBB".
QString ColourName(Colour colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)).name(QColor::HexRgb).toUpper();
}

QIcon Swatch(Colour colour) {
    QPixmap pixmap(16, 12);
    pixmap.fill(QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
    QPainter(&pixmap).drawRect(0, 0, 15, 11);
    return QIcon(pixmap);
}

QComboBox* Choice(const QStringList& items, int current) {
    auto* combo = new QComboBox;
    combo->addItems(items);
    combo->setCurrentIndex(std::clamp(current, 0, static_cast<int>(items.size()) - 1));
    return combo;
}

QSpinBox* Spin(int low, int high, int value) {
    auto* spin = new QSpinBox;
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}

}  // namespace

ColourCombo::ColourCombo(const CPanelPalette& palette, Colour current, QWidget* parent)
    : QComboBox(parent) {
    int selected = -1;
    for (int i = 0; i < palette.SelectableColors(); ++i) {
        const Colour colour = palette.Entry(i);
        addItem(Swatch(colour), ColourName(colour), static_cast<qint64>(colour));
        if (colour == current && selected < 0) selected = i;
    }
    if (selected < 0) {
        addItem(Swatch(current), ColourName(current), static_cast<qint64>(current));
        selected = count() - 1;
    }
    setCurrentIndex(selected);
}

Colour ColourCombo::Value() const {
    return static_cast<Colour>(currentData().toLongLong());
}

QTabWidget* MakeSheetFrame(QDialog& sheet, const QString& title) {
    sheet.setWindowTitle(title);
    auto* tabs = new QTabWidget;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    auto* layout = new QVBoxLayout(&sheet);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    return tabs;
}

CModelSheet::CModelSheet(const CClavonModel& model, const std::vector<std::string>& fields,
                         const std::vector<PanelModel>& panels, QWidget* parent)
    : QDialog(parent), m_model(model) {
    m_tabs = MakeSheetFrame(*this, "Keyboard Properties");
    m_tabs->addTab(GeneralPage(fields), "General");
    m_tabs->addTab(BackgroundPage(), "Background");
    m_tabs->addTab(PanelPage(panels), "Panel");
}

QWidget* CModelSheet::GeneralPage(const std::vector<std::string>& fields) {
    auto* page = new QWidget;
    auto* form = new QFormLayout;
    const int count = m_model.Int(kNumColors);
    colours = Choice({"2", "16", "256"}, count == 2 ? 0 : count == 256 ? 2 : 1);
    form->addRow("Num Colors:", colours);
    name = new QLineEdit(QString::fromStdString(m_model.Text(kName)));
    name->setMaxLength(255);
    form->addRow("Name:", name);
    avoidField = new QCheckBox("Avoid field");
    avoidField->setChecked(m_model.Int(kAvoidField) != 0);
    form->addRow(avoidField);

    auto* position = new QGroupBox("Position");
    auto* grid = new QFormLayout(position);
    horzPosition = Choice({"Left", "Center", "Right"}, m_model.Int(kHorzPosition));
    horzReference = Choice({"Border", "Field"}, m_model.Int(kHorzReference));
    vertPosition = Choice({"Top", "Center", "Bottom"}, m_model.Int(kVertPosition));
    vertReference = Choice({"Border", "Field"}, m_model.Int(kVertReference));
    auto row = [](QWidget* a, QWidget* b) {
        auto* w = new QWidget;
        auto* h = new QHBoxLayout(w);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(a);
        h->addWidget(new QLabel("from"));
        h->addWidget(b);
        return w;
    };
    grid->addRow("Horizontal:", row(horzPosition, horzReference));
    grid->addRow("Vertical:", row(vertPosition, vertReference));
    absolute = new QCheckBox("Absolute coordinates");
    absolute->setChecked(m_model.Int(kAbsolute) != 0);
    grid->addRow(absolute);
    form->addRow(position);

    fieldList = new QListWidget;
    const auto mask = static_cast<std::uint32_t>(m_model.Int(kFieldMask));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(fields[i]), fieldList);
        // Only the first 32 fields fit the mask.
        item->setFlags(i < 32 ? item->flags() | Qt::ItemIsUserCheckable
                              : item->flags() & ~Qt::ItemIsEnabled);
        item->setCheckState(i < 32 && (mask >> i) & 1u ? Qt::Checked : Qt::Unchecked);
    }
    form->addRow("Associated Fields:", fieldList);
    page->setLayout(form);
    return page;
}

QWidget* CModelSheet::BackgroundPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    const CPanelPalette& palette = m_model.Palette();
    auto colour = [&](int id) { return static_cast<Colour>(m_model.Int(id)); };
    transparent = new ColourCombo(palette, colour(kTransparent));
    form->addRow("Transparent:", transparent);
    bitmap = new QLineEdit(QString::fromStdString(m_model.Text(kBitmapPath)));
    auto* browse = new QPushButton("Browse...");
    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, "Bitmap", bitmap->text(), "Bitmaps (*.bmp)");
        dialog.setDefaultSuffix("bmp");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            bitmap->setText(dialog.selectedFiles().front());
    });
    auto* bitmapRow = new QWidget;
    auto* h = new QHBoxLayout(bitmapRow);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(bitmap, 1);
    h->addWidget(browse);
    form->addRow("Bitmap:", bitmapRow);
    backColour = new ColourCombo(palette, colour(kBackColour));
    form->addRow("Color:", backColour);
    border = new QCheckBox("Border");
    border->setChecked(m_model.Int(kBorder) != 0);
    form->addRow(border);
    face = new ColourCombo(palette, colour(kBorderFace));
    shadow = new ColourCombo(palette, colour(kBorderShadow));
    line = new ColourCombo(palette, colour(kBorderLine));
    form->addRow("Face:", face);
    form->addRow("Shadow:", shadow);
    form->addRow("Line:", line);
    // The frame's colours mean something only with the border on.
    auto showBorder = [form, this](bool on) {
        for (QWidget* chooser : {static_cast<QWidget*>(face), static_cast<QWidget*>(shadow),
                                 static_cast<QWidget*>(line)}) {
            chooser->setEnabled(on);
            form->labelForField(chooser)->setEnabled(on);
        }
    };
    connect(border, &QCheckBox::toggled, this, showBorder);
    showBorder(border->isChecked());
    return page;
}

QWidget* CModelSheet::PanelPage(const std::vector<PanelModel>& panels) {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    models = new QListWidget;
    for (const PanelModel& panel : panels) models->addItem(QString::fromStdString(panel.name));
    form->addRow("Predefined models:", models);
    gridWidth = Spin(1, 256, m_model.GridWidth());
    gridHeight = Spin(1, 256, m_model.GridHeight());
    panelWidth = Spin(1, 8192, m_model.PanelWidth());
    panelHeight = Spin(1, 8192, m_model.PanelHeight());
    form->addRow("Grid width:", gridWidth);
    form->addRow("Grid height:", gridHeight);
    form->addRow("Panel width:", panelWidth);
    form->addRow("Panel height:", panelHeight);
    connect(models, &QListWidget::currentRowChanged, this, [this, panels](int row) {
        if (row < 0 || row >= static_cast<int>(panels.size())) return;
        const PanelModel& panel = panels[static_cast<std::size_t>(row)];
        gridWidth->setValue(panel.gridWidth);
        gridHeight->setValue(panel.gridHeight);
        panelWidth->setValue(panel.panelWidth);
        panelHeight->setValue(panel.panelHeight);
    });
    return page;
}

PropertyContainer CModelSheet::Result() const {
    PropertyContainer p = m_model.Properties();
    p.Set(kNumColors, colours->currentText().toInt());
    const std::string newName = name->text().toStdString();
    if (newName != m_model.Text(kName)) p.Set(kName, newName);
    p.Set(kAvoidField, avoidField->isChecked() ? 1 : 0);
    p.Set(kHorzPosition, horzPosition->currentIndex());
    p.Set(kHorzReference, horzReference->currentIndex());
    p.Set(kVertPosition, vertPosition->currentIndex());
    p.Set(kVertReference, vertReference->currentIndex());
    p.Set(kAbsolute, absolute->isChecked() ? 1 : 0);
    std::uint32_t mask = 0;
    for (int i = 0; i < std::min(fieldList->count(), 32); ++i)
        if (fieldList->item(i)->checkState() == Qt::Checked) mask |= 1u << i;
    if (fieldList->count() > 0) p.Set(kFieldMask, static_cast<std::int32_t>(mask));
    p.Set(kTransparent, static_cast<std::int32_t>(transparent->Value()));
    p.Set(kBitmapPath, bitmap->text().toStdString());
    p.Set(kBackColour, static_cast<std::int32_t>(backColour->Value()));
    p.Set(kBorder, border->isChecked() ? 1 : 0);
    p.Set(kBorderFace, static_cast<std::int32_t>(face->Value()));
    p.Set(kBorderShadow, static_cast<std::int32_t>(shadow->Value()));
    p.Set(kBorderLine, static_cast<std::int32_t>(line->Value()));
    p.Set(kGridWidth, gridWidth->value());
    p.Set(kGridHeight, gridHeight->value());
    p.Set(kPanelWidth, panelWidth->value());
    p.Set(kPanelHeight, panelHeight->value());
    return p;
}

}  // namespace clavon
