#include "panel_setup/setup_rules.h"

#include <algorithm>
#include <cstdlib>

namespace kestra::panel {
namespace {

using S = SettingSection;
using T = SettingStore;

constexpr Setting kSettings[] = {
    {1, nullptr, S::Display, T::Display102, 0, 7},
    {2, nullptr, S::Display, T::Display102, 0, 9},
    {3, "TouchscreenSupport", S::Display, T::Display102, 0, 3},
    {4, "HardwareClock", S::Version, T::None, 0, 0},
    {5, "Buzzer", S::Version, T::Setup, setup::kFlags414, 4},
    {6, "NiceFontsSupport", S::Version, T::Setup, setup::kCaps406, 5},
    {7, "RecipeBackupSupport", S::Version, T::Setup, setup::kFlags414, 6},
    {8, "EventBackupSupport", S::Version, T::Setup, setup::kFlags414, 7},
    {9, "DisableBatteryLED", S::Version, T::Setup, setup::kFlags414, 5},
    {10, "AuxPort", S::Version, T::None, 0, 0},
    {11, "PrinterPort", S::Version, T::None, 0, 0},
    {12, "MultiLanguageSupport", S::Version, T::Setup, setup::kCaps405, 4},
    {13, "ReportPrintoutSupport", S::Version, T::Setup, setup::kCaps405, 5},
    {14, "OOTCSupport", S::Version, T::Setup, setup::kCaps405, 6},
    {15, "BitmapOverlapSupport", S::Version, T::Setup, setup::kCaps405, 0},
    {16, "TrendSupport", S::Version, T::Setup, setup::kCaps405, 7},
    {17, "InstrumentSupport", S::Version, T::Setup, setup::kCaps406, 0},
    {18, "TextObjectSupport", S::Version, T::Setup, setup::kCaps406, 1},
    {19, "ForthSupport", S::Version, T::Setup, setup::kCaps406, 2},
    {20, "MinMaxReferences", S::Version, T::Setup, setup::kCaps406, 4},
    {21, "MinMaxRefreshType", S::Version, T::Setup, setup::kCaps406, 3},
    {22, "Downloadable", S::Firmware, T::Setup, setup::kCaps406, 6},
    {23, "ExtDataEntrySupport", S::Version, T::Setup, setup::kCaps406, 7},
    {24, "PixelPositionSupport", S::Version, T::Display116, 0, 7},
    {25, "ZOrderSupport", S::Version, T::Display116, 0, 8},
    {26, "ShapesSupport", S::Version, T::Display116, 0, 9},
};

constexpr const char* kListEntries[] = {
    "Graphics;1",
    "Touch Screen;3",
    "Hardware Clock;4",
    "Disable Buzzer;5",
    "Enhanced Fonts;6",
    "Recipe Backup;7",
    "Events Backup;8",
    "Disable Battery LED;9",
    "Auxiliary Port;10",
    "PC/Printer Port;11",
    "Multi-Language;12",
    "Report Printout;13",
    "3D Objects;14",
    "Overlap Bitmaps;15",
    "Trends;16",
    "Instruments;17",
    "Text Objects;18",
    "Forth;19",
    "PLC References;20",
    "Update PLC References;21",
    "Firmware Download;22",
    "Extended Data Entry;23",
};

le16* DisplayWord(const Setting& s, CPanelDisplayData& display) {
    if (s.store == T::Display102) return &display.Record().attributes;
    if (s.store == T::Display116) return &display.Record().features;
    return nullptr;
}

}  // namespace

std::span<const Setting> Settings() {
    return kSettings;
}

const Setting* FindSetting(int number) {
    for (const auto& s : kSettings)
        if (s.number == number) return &s;
    return nullptr;
}

std::span<const char* const> SettingsListEntries() {
    return kListEntries;
}

int SettingValue(const Setting& s, const CTargetSetupData& setup,
                 const CPanelDisplayData& display) {
    switch (s.store) {
        case T::None:
            return -1;
        case T::Setup:
            return setup.Bit(s.offset, s.bit) ? 1 : 0;
        case T::Display102:
            return (display.Record().attributes >> s.bit) & 1;
        case T::Display116:
            return (display.Record().features >> s.bit) & 1;
    }
    return -1;
}

bool StoreSetting(const Setting& s, bool on, CTargetSetupData& setup, CPanelDisplayData& display) {
    const int before = SettingValue(s, setup, display);
    if (before == -1 || before == (on ? 1 : 0)) return false;
    if (s.store == T::Setup) {
        setup.SetBit(s.offset, s.bit, on);
    } else {
        le16& word = *DisplayWord(s, display);
        const auto mask = static_cast<std::uint16_t>(1u << s.bit);
        word = static_cast<std::uint16_t>(on ? (word | mask) : (word & ~mask));
    }
    return true;
}

int SettingSelector(const Setting& s, int version) {
    switch (s.section) {
        case S::Display:
            return kDisplay;
        case S::Firmware:
            return kFirmware;
        case S::Version:
            return version;
    }
    return version;
}

ControlRule ModelRule(const CPanelFile* model, const char* key, int selector) {
    ControlRule rule;
    if (!model || !key) return rule;
    auto text = model->ReadText(key, selector);
    if (!text) {
        rule.missing = true;
        rule.enabled = model->IsGeneric();
    } else if (IsChoiceList(*text)) {
        rule.choices = ParseChoiceList(*text);
    } else {
        // A plain value may still be written "text;value".
        rule.fixedValue = ChoiceValue(*text).value_or(0);
        const auto items = ParseChoiceList(*text).items;
        rule.fixedText =
            text->find(';') != std::string::npos && !items.empty() ? items[0].text : *text;
        rule.enabled = false;
    }
    return rule;
}

bool CheckedUnderRule(const ControlRule& rule, int current) {
    if (rule.fixedValue) return (*rule.fixedValue & 1) != 0;
    if (rule.choices && current < 0) return rule.choices->defaultIndex != 0;
    return current > 0;
}

bool ModelAllows(const ControlRule& rule) {
    return rule.fixedValue ? (*rule.fixedValue & 1) != 0 : rule.enabled;
}

MemoryBudget ComputeMemoryBudget(int P, int B, int I, std::uint32_t S, long long K) {
    MemoryBudget m;
    m.panelMemory = static_cast<long long>(P) * 32768 + 32768;
    m.blockSize = static_cast<long long>(B) * 32768 + 32768;
    if (m.blockSize <= 0) m.blockSize = 32768;  // a lying block size must not divide by zero
    m.blocksUsed = std::llabs(static_cast<long long>(S) - 1) / m.blockSize + 1;
    m.freeMemory = static_cast<long long>(I) * 32768 - m.blockSize * m.blocksUsed - K + 32768;
    long long f = (static_cast<long long>(P) + 1) * 32 / 2000;
    while (f > 0) {
        f /= 2;
        ++m.sizeCode;
    }
    return m;
}

int MatchMemoryChoice(std::span<const int> values, long long target) {
    if (values.empty()) return -1;
    int above = -1, smallest = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int v = values[i];
        if (v == target) return static_cast<int>(i);
        if (v > target && (above < 0 || v < values[static_cast<std::size_t>(above)]))
            above = static_cast<int>(i);
        if (v < values[static_cast<std::size_t>(smallest)]) smallest = static_cast<int>(i);
    }
    return above >= 0 ? above : smallest;
}

std::vector<int> ChoiceValues(const CPanelFile& model, const char* key, int version) {
    std::vector<int> values;
    if (auto list = model.ReadChoices(key, version))
        for (const auto& c : list->items) values.push_back(c.value);
    return values;
}

int InitialPanelMemoryIndex(const CPanelFile& model, int version, const CTargetSetupData& setup) {
    const int code = setup.Byte(setup::kMemorySizeCode);
    if (code != 0) {
        const long long target = (1LL << std::min(code, 40)) * 32 - 1;
        return MatchMemoryChoice(ChoiceValues(model, "PanelMemory", version), target);
    }
    auto internal = ChoiceValues(model, "InternalProjectMemory", version);
    auto blocks = ChoiceValues(model, "BlockSize", version);
    std::vector<int> differences;
    for (std::size_t i = 0; i < internal.size(); ++i)
        differences.push_back(internal[i] - (i < blocks.size() ? blocks[i] : 0));
    return MatchMemoryChoice(differences, setup.Byte(setup::kInternalMemory));
}

long long BackupMemory(const CPanelFile* model, int version, bool recipe, bool events) {
    if (!model) return 0;
    long long total = 0;
    if (recipe) total += model->ReadSize("RecipeBackupMemory", version).value_or(0);
    if (events) total += model->ReadSize("EventBackupMemory", version).value_or(0);
    return total;
}

}  // namespace kestra::panel
