// The "Panel Model" page: model, firmware version, panel memory, and the display type of the
// generic model.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QPixmap>
#include <algorithm>

#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace kestra::panel {
namespace {

bool UseDisplayOrder() {
    return GetPrivateProfileInt("Panel Setup", "UseDisplayOrder", 0, "Fabricon.ini") != 0;
}

QString PicturePath(const CPanelFile& model) {
    auto name = model.ReadText("PictureFile", kModel);
    if (!name || name->empty() || name->find_first_of("?*") != std::string::npos) return {};
    const std::string folder(platform::FolderPart(platform::ToNativePath(model.Path())));
    return QString::fromStdString(platform::JoinPath(folder, *name));
}

}  // namespace

CPanelModelPpg::CPanelModelPpg(CPanelSetupDlg& sheet) : CPanelSetupPpg(sheet, 372, "Panel Model") {
    models = new QListWidget(this);
    models->setMinimumWidth(220);
    versions = new QComboBox(this);
    panelMemory = new QComboBox(this);
    for (int k = 32; k <= 2048; k *= 2) panelMemory->addItem(QString("%1K").arg(k), k / 32 - 1);
    descriptionLabel = new QLabel("Description:", this);
    description = new QTextEdit(this);
    description->setReadOnly(true);
    description->setMaximumHeight(70);
    picture = new QLabel(this);
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(210, 170);
    picture->setFrameShape(QFrame::StyledPanel);
    displayTypeLabel = new QLabel("Display type:", this);
    displayTypes = new QComboBox(this);

    auto* modelBox = new QGroupBox("Panel model", this);
    auto* modelLayout = new QVBoxLayout(modelBox);
    modelLayout->addWidget(models);
    auto* form = new QFormLayout;
    form->addRow("Firmware version:", versions);
    form->addRow("Panel memory:", panelMemory);
    form->addRow(displayTypeLabel, displayTypes);
    modelLayout->addLayout(form);

    auto* right = new QVBoxLayout;
    right->addWidget(picture);
    right->addWidget(descriptionLabel);
    right->addWidget(description);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(modelBox, 1);
    layout->addLayout(right);

    connect(models, &QListWidget::currentRowChanged, this, [this] { OnModelChosen(); });
    connect(versions, &QComboBox::currentIndexChanged, this, [this] { OnVersionChosen(); });
    connect(displayTypes, &QComboBox::currentIndexChanged, this, [this] { OnDisplayTypeChosen(); });
    connect(panelMemory, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling) m_sheet.SetPanelMemoryIndex(index);
    });
    setTabOrder(models, versions);
    setTabOrder(versions, panelMemory);
    setTabOrder(panelMemory, displayTypes);
}

void CPanelModelPpg::Fill() {
    m_filling = true;
    const CPanelFile* model = m_sheet.Model();

    models->clear();
    models->setSortingEnabled(!UseDisplayOrder());
    for (const auto& entry : m_sheet.Map().Entries())
        models->addItem(QString::fromStdString(entry.modelName));
    auto found = models->findItems(QString::fromStdString(m_sheet.ModelName()), Qt::MatchExactly);
    if (!found.empty()) models->setCurrentItem(found.front());

    versions->clear();
    if (model)
        for (int v : model->Versions())
            versions->addItem(QString::fromStdString(FormatVersion(v)), v);
    versions->setCurrentIndex(versions->findData(m_sheet.Version()));

    if (model) {
        if (auto list = model->ReadChoices("PanelMemory", m_sheet.Version())) {
            panelMemory->clear();
            for (const auto& c : list->items)
                panelMemory->addItem(QString::fromStdString(c.text), c.value);
        }
        panelMemory->setCurrentIndex(m_sheet.PanelMemoryIndex());
    }

    const bool generic = model && model->IsGeneric();
    descriptionLabel->setVisible(!generic);
    description->setVisible(!generic);
    picture->setVisible(!generic);
    displayTypeLabel->setVisible(generic);
    displayTypes->setVisible(generic);
    description->setPlainText(
        model
            ? QString::fromStdString(model->ReadText("Description", m_sheet.Version()).value_or(""))
            : QString());
    QPixmap pixmap;
    if (model && !generic) pixmap.load(PicturePath(*model));
    picture->setPixmap(pixmap);

    displayTypes->clear();
    for (const auto& [name, code] : CDisplaysFile::PanelModelDisplays())
        displayTypes->addItem(QString::fromStdString(name), code);
    displayTypes->setCurrentIndex(
        displayTypes->findData(int{m_sheet.Display().Record().displayCode}));
    m_filling = false;
}

void CPanelModelPpg::OnModelChosen() {
    if (m_filling || !models->currentItem()) return;
    const std::string name = models->currentItem()->text().toStdString();
    if (name == m_sheet.ModelName()) return;
    if (!m_sheet.ChangeModel(name)) Fill();  // the previous choice comes back
}

void CPanelModelPpg::OnVersionChosen() {
    if (m_filling || versions->currentIndex() < 0) return;
    if (!m_sheet.ChangeVersion(versions->currentData().toInt())) Fill();
}

void CPanelModelPpg::OnDisplayTypeChosen() {
    if (m_filling || displayTypes->currentIndex() < 0) return;
    const int code = displayTypes->currentData().toInt();
    if (code == m_sheet.Display().Record().displayCode) return;
    if (!m_sheet.ChangeGenericDisplay(code)) Fill();
}

void CPanelModelPpg::Store() {
    if (!m_sheet.Model() || m_sheet.PanelMemoryIndex() < 0) return;
    const MemoryBudget budget = m_sheet.Budget();
    const auto internal =
        static_cast<std::uint8_t>(std::clamp<long long>(budget.freeMemory / 32768, 0, 255));
    const auto code = static_cast<std::uint8_t>(budget.sizeCode);
    CTargetSetupData& setup = m_sheet.Setup();
    if (setup.Byte(setup::kInternalMemory) != internal ||
        setup.Byte(setup::kMemorySizeCode) != code) {
        setup.Byte(setup::kInternalMemory) = internal;
        setup.Byte(setup::kMemorySizeCode) = code;
        setup.SetModified();
    }
}

}  // namespace kestra::panel
