#include "keyboard_editor/symbol_sheets.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "keyboard_editor/clavon_model.h"

namespace clavon {
namespace {

QComboBox* Choice(const QStringList& items, int current) {
    auto* combo = new QComboBox;
    combo->addItems(items);
    combo->setCurrentIndex(std::clamp(current, 0, static_cast<int>(items.size()) - 1));
    return combo;
}

QWidget* WithButton(QWidget* field, QPushButton* button) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(field, 1);
    h->addWidget(button);
    return row;
}

}  // namespace

CKesButtonPPGeneral::CKesButtonPPGeneral(const CKesButton& key, const std::vector<KeyCode>& codes,
                                         QWidget* parent)
    : QWidget(parent), font(key.font), m_code(key.Properties().Int(CKesButton::kKeyCode)) {
    const CPanelPalette& palette = key.Model().Palette();
    const PropertyContainer& p = key.Properties();
    auto* form = new QFormLayout(this);
    face = new ColourCombo(palette, static_cast<Colour>(p.Int(CKesButton::kFace)));
    shadow = new ColourCombo(palette, static_cast<Colour>(p.Int(CKesButton::kShadow)));
    line = new ColourCombo(palette, static_cast<Colour>(p.Int(CKesButton::kLine)));
    form->addRow("Button face:", face);
    form->addRow("Shadow:", shadow);
    form->addRow("Line color:", line);
    label = new QLineEdit(QString::fromStdString(p.Text(CKesButton::kLabel)));
    auto* fontButton = new QPushButton("Font...");
    connect(fontButton, &QPushButton::clicked, this, [this] {
        QFont initial(QString::fromStdString(font.face));
        initial.setPixelSize(std::max(font.height, 1));
        initial.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 100, 900)));
        initial.setItalic(font.italic);
        initial.setUnderline(font.underline);
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, initial, this, "Font");
        if (!ok) return;
        font.face = chosen.family().toStdString();
        font.height = chosen.pixelSize() > 0 ? chosen.pixelSize()
                                             : static_cast<int>(chosen.pointSizeF() * 96 / 72);
        font.weight = chosen.weight();
        font.italic = chosen.italic();
        font.underline = chosen.underline();
    });
    form->addRow("Label:", WithButton(label, fontButton));
    horzAlign = Choice({"Left", "Center", "Right"}, p.Int(CKesButton::kHorzAlign));
    vertAlign = Choice({"Top", "Center", "Bottom"}, p.Int(CKesButton::kVertAlign));
    form->addRow("Horizontal align:", horzAlign);
    form->addRow("Vertical align:", vertAlign);
    codeList = new QListWidget;
    int selected = -1;
    for (const KeyCode& code : codes) {
        auto* item = new QListWidgetItem(QString::fromStdString(code.name), codeList);
        item->setData(Qt::UserRole, code.code);
        if (code.code == m_code) selected = codeList->count() - 1;  // the last one wins
    }
    codeText = new QLabel(QString::asprintf("%d", m_code));
    connect(codeList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        m_code = codeList->item(row)->data(Qt::UserRole).toInt();
        codeText->setText(QString::asprintf("%d", m_code));
    });
    if (selected >= 0) codeList->setCurrentRow(selected);
    form->addRow("Key Code:", codeList);
    form->addRow("", codeText);
    picture = new QLineEdit(QString::fromStdString(p.Text(CKesButton::kPicture)));
    auto* browse = new QPushButton("Browse...");
    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, "Picture", picture->text(), "Icons (*.ico)");
        dialog.setDefaultSuffix("ico");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            picture->setText(dialog.selectedFiles().front());
    });
    form->addRow("Picture:", WithButton(picture, browse));
}

void CKesButtonPPGeneral::Apply(CKesButton& key) const {
    PropertyContainer& p = key.Properties();
    p.Set(CKesButton::kFace, static_cast<std::int32_t>(face->Value()));
    p.Set(CKesButton::kShadow, static_cast<std::int32_t>(shadow->Value()));
    p.Set(CKesButton::kLine, static_cast<std::int32_t>(line->Value()));
    p.Set(CKesButton::kLabel, label->text().toStdString());
    p.Set(CKesButton::kHorzAlign, horzAlign->currentIndex());
    p.Set(CKesButton::kVertAlign, vertAlign->currentIndex());
    p.Set(CKesButton::kKeyCode, m_code);
    p.Set(CKesButton::kPicture, picture->text().toStdString());
    key.font = font;
}

CSymValuePPGeneral::CSymValuePPGeneral(const CSymValue& value, QWidget* parent) : QWidget(parent) {
    const CPanelPalette& palette = value.Model().Palette();
    const PropertyContainer& p = value.Properties();
    auto* form = new QFormLayout(this);
    type = Choice({"Edit", "Old", "Min", "Max"}, p.Int(CSymValue::kType));
    alignment = Choice({"Left", "Center", "Right", "Default"}, p.Int(CSymValue::kAlignment));
    fontSize = Choice({"Regular", "Double", "Large", "Extra large"}, p.Int(CSymValue::kFontSize));
    background = new ColourCombo(palette, static_cast<Colour>(p.Int(CSymValue::kBackground)));
    foreground = new ColourCombo(palette, static_cast<Colour>(p.Int(CSymValue::kForeground)));
    form->addRow("Type:", type);
    form->addRow("Alignment:", alignment);
    form->addRow("Font size:", fontSize);
    form->addRow("Background:", background);
    form->addRow("Foreground:", foreground);
}

void CSymValuePPGeneral::Apply(CSymValue& value) const {
    PropertyContainer& p = value.Properties();
    p.Set(CSymValue::kType, type->currentIndex());
    p.Set(CSymValue::kAlignment, alignment->currentIndex());
    p.Set(CSymValue::kFontSize, fontSize->currentIndex());
    p.Set(CSymValue::kBackground, static_cast<std::int32_t>(background->Value()));
    p.Set(CSymValue::kForeground, static_cast<std::int32_t>(foreground->Value()));
}

CSymbolSheet::CSymbolSheet(const QString& title, QWidget* page, QWidget* parent) : QDialog(parent) {
    m_tabs = MakeSheetFrame(*this, title);
    m_tabs->addTab(page, "General");
}

}  // namespace clavon
