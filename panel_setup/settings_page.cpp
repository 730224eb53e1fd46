// The "Settings" page: colours, memory, time and date formats and the list of settings.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <cstring>

#include "panel_setup/panel_capabilities.h"
#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"
#include "platform/message_box.h"

namespace kestra::panel {
namespace {

constexpr const char* kFixedColours[] = {"B/W;1", "16 Colors;4", "256 Colors;8"};
constexpr const char* kTimeFormats[] = {"12 Hour;0", "24 Hour;1"};
constexpr const char* kDateFormats[] = {"DD/MM/YY;0", "MM/DD/YY;1"};
constexpr int kRecipeBackup = 7, kEventBackup = 8, kTouchscreen = 3, kForth = 19;

int SettingNumber(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toInt();
}

}  // namespace

void FillFixedCombo(QComboBox* combo, std::span<const char* const> entries, int value,
                    int fallbackIndex) {
    combo->clear();
    for (const char* entry : entries) {
        const std::string text(entry);
        const auto semi = text.find(';');
        combo->addItem(QString::fromStdString(text.substr(0, semi)),
                       std::stoi(text.substr(semi + 1)));
    }
    const int index = combo->findData(value);
    combo->setCurrentIndex(index >= 0 ? index : fallbackIndex);
}

std::optional<int> SelectedValue(const QComboBox* combo) {
    if (combo->currentIndex() < 0 || !combo->currentData().isValid()) return std::nullopt;
    return combo->currentData().toInt();
}

void ApplyRuleToCombo(QComboBox* combo, const ControlRule& rule, std::optional<int> current) {
    combo->clear();
    combo->setEnabled(rule.enabled);
    if (rule.choices) {
        for (const auto& c : rule.choices->items)
            combo->addItem(QString::fromStdString(c.text), c.value);
        int index = current ? combo->findData(*current) : -1;
        if (index < 0) index = rule.choices->defaultIndex;
        combo->setCurrentIndex(index < combo->count() ? index : 0);
    } else if (rule.fixedValue) {
        combo->addItem(QString::fromStdString(rule.fixedText), *rule.fixedValue);
        combo->setCurrentIndex(0);
    } else if (current && !(rule.missing && !rule.enabled)) {
        combo->addItem(QString::number(*current), *current);
        combo->setCurrentIndex(0);
    }
}

CPanelDisplayPpg::CPanelDisplayPpg(CPanelSetupDlg& sheet) : CPanelSetupPpg(sheet, 374, "Settings") {
    colours = new QComboBox(this);
    projectMemory = new QLabel(this);
    memoryType = new QComboBox(this);
    availableAlarms = new QComboBox(this);
    recipeSize = new QComboBox(this);
    eventListSize = new QComboBox(this);
    timeFormat = new QComboBox(this);
    dateFormat = new QComboBox(this);
    settings = new QListWidget(this);
    settings->setMinimumWidth(210);
    // Room for every item of the list without scrolling.
    settings->setMinimumHeight(22 * (settings->fontMetrics().height() + 2) + 8);

    auto* form = new QFormLayout;
    form->addRow("Colors:", colours);
    form->addRow("Project memory:", projectMemory);
    form->addRow("Memory type:", memoryType);
    form->addRow("Available alarms:", availableAlarms);
    form->addRow("Recipe size:", recipeSize);
    form->addRow("Event list size:", eventListSize);
    form->addRow("Time format:", timeFormat);
    form->addRow("Date format:", dateFormat);
    auto* left = new QGroupBox("Panel", this);
    left->setLayout(form);
    auto* right = new QGroupBox("Settings", this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->addWidget(settings);
    auto* layout = new QGridLayout(this);
    layout->addWidget(left, 0, 0);
    layout->addWidget(right, 0, 1);

    connect(settings, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { OnItemChanged(item); });
}

QListWidgetItem* CPanelDisplayPpg::ItemFor(int number) const {
    for (int i = 0; i < settings->count(); ++i)
        if (SettingNumber(settings->item(i)) == number) return settings->item(i);
    return nullptr;
}

void CPanelDisplayPpg::Fill() {
    m_filling = true;
    const CPanelFile* model = m_sheet.Model();
    const int version = m_sheet.Version();
    const CTargetSetupData& setup = m_sheet.Setup();
    const DisplayRecord& display = m_sheet.Display().Record();

    int current = setup.Byte(setup::kColours);
    if (current == 0 || current > 8) current = 4;
    const bool colourDisplay = display.attributes & attr::kColourDisplay;
    colours->setEnabled(true);
    if (!model) {
        FillFixedCombo(colours, kFixedColours, current, 1);
    } else if (model->IsGeneric()) {
        FillFixedCombo(colours, kFixedColours, colourDisplay ? current : 1, 0);
    } else if (model->ReadText("Colors", kDisplay)) {
        ApplyRuleToCombo(colours, ModelRule(model, "Colors", kDisplay), current);
    } else {
        colours->clear();
        colours->addItem(colourDisplay ? text::kSixteenColours : text::kBlackAndWhite,
                         colourDisplay ? 4 : 1);
        colours->setEnabled(false);
    }
    m_initialColours = SelectedValue(colours).value_or(0);

    struct {
        QComboBox* combo;
        const char* key;
    } lists[] = {{memoryType, "MemoryType"},
                 {availableAlarms, "AvailableAlarms"},
                 {recipeSize, "RecipeSize"},
                 {eventListSize, "EventListSize"}};
    for (const auto& l : lists) ApplyRuleToCombo(l.combo, ModelRule(model, l.key, version), {});
    m_initialMemoryType = SelectedValue(memoryType).value_or(-1);

    const int format = setup.Byte(setup::kTimeDateFormat);
    FillFixedCombo(timeFormat, kTimeFormats, format & 0x0F, 0);
    FillFixedCombo(dateFormat, kDateFormats, format >> 4, 0);

    settings->clear();
    for (const char* entry : SettingsListEntries()) {
        const std::string text(entry);
        const auto semi = text.find(';');
        const int number = std::stoi(text.substr(semi + 1));
        if (number == kForth && !m_sheet.ForthOffered()) continue;
        const Setting& setting = *FindSetting(number);
        const ControlRule rule = ModelRule(model, setting.key, SettingSelector(setting, version));
        auto* item = new QListWidgetItem(QString::fromStdString(text.substr(0, semi)), settings);
        item->setData(Qt::UserRole, number);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (rule.enabled) flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        const int value = SettingValue(setting, setup, m_sheet.Display());
        item->setCheckState(CheckedUnderRule(rule, value) ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
    ShowFreeMemory();
}

void CPanelDisplayPpg::ShowFreeMemory() {
    const MemoryBudget budget = m_sheet.Budget();
    projectMemory->setText(
        m_sheet.Model() ? QString::asprintf("%dK", static_cast<int>(budget.freeMemory / 1024))
                        : QString());
}

void CPanelDisplayPpg::ReportBackupMemory() {
    const auto* recipe = ItemFor(kRecipeBackup);
    const auto* events = ItemFor(kEventBackup);
    m_sheet.SetBackupMemory(BackupMemory(m_sheet.Model(), m_sheet.Version(),
                                         recipe && recipe->checkState() == Qt::Checked,
                                         events && events->checkState() == Qt::Checked));
}

void CPanelDisplayPpg::OnItemChanged(QListWidgetItem* item) {
    if (m_filling) return;
    const int number = SettingNumber(item);
    const bool checked = item->checkState() == Qt::Checked;
    if (number == kTouchscreen && !checked) {
        if (AskUser(text::kTouchOff, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
            m_filling = true;
            item->setCheckState(Qt::Checked);
            m_filling = false;
            return;
        }
    }
    if (number == kRecipeBackup || number == kEventBackup) {
        const CPanelFile* model = m_sheet.Model();
        if (model && model->ReadBoolean("RecipeEventBackupTied", m_sheet.Version()).value_or(0)) {
            QListWidgetItem* other =
                ItemFor(number == kRecipeBackup ? kEventBackup : kRecipeBackup);
            if (other && other->checkState() != item->checkState()) {
                m_filling = true;
                other->setCheckState(item->checkState());
                m_filling = false;
            }
        }
        ReportBackupMemory();
    }
}

void CPanelDisplayPpg::Store() {
    CTargetSetupData& setup = m_sheet.Setup();
    CPanelDisplayData& display = m_sheet.Display();

    const int chosen = SelectedValue(colours).value_or(m_initialColours);
    if (colours->isEnabled() && chosen != m_initialColours) {
        setup.Byte(setup::kColours) = static_cast<std::uint8_t>(chosen);
        display.Record().colours = static_cast<std::int16_t>(chosen);
        auto& a = display.Record().attributes;
        a = static_cast<std::uint16_t>(chosen >= 2 ? (a | attr::kColourDisplay)
                                                   : (a & ~attr::kColourDisplay));
        setup.SetModified();
        display.SetModified();
    }
    const int memory = SelectedValue(memoryType).value_or(-1);
    if (memory != m_initialMemoryType && memory != 1 && setup.Byte(setup::kMemorySizeCode) != 0) {
        setup.Byte(setup::kMemorySizeCode) = 0;
        setup.SetModified();
    }
    const auto format = static_cast<std::uint8_t>((SelectedValue(timeFormat).value_or(0) & 0x0F) |
                                                  (SelectedValue(dateFormat).value_or(0) << 4));
    if (format != setup.Byte(setup::kTimeDateFormat)) {
        setup.Byte(setup::kTimeDateFormat) = format;
        setup.SetModified();
    }
    for (int i = 0; i < settings->count(); ++i) {
        const QListWidgetItem* item = settings->item(i);
        const Setting& setting = *FindSetting(SettingNumber(item));
        const bool on = item->checkState() == Qt::Checked;
        if (!StoreSetting(setting, on, setup, display)) continue;
        if (setting.store == SettingStore::Setup)
            setup.SetModified();
        else
            display.SetModified();
    }
}

}  // namespace kestra::panel
