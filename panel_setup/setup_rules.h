// Rules of the setup sheet that do not depend on its widgets: the settings table, the rule by
// which a model file governs a control, the memory budget and the panel memory choice.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "panel_setup/data_chunk.h"
#include "panel_setup/panel_file.h"

namespace kestra::panel {

// ---- The settings table -------------------------------------------------------------------

enum class SettingSection { Display, Version, Firmware };
enum class SettingStore { None, Display102, Display116, Setup };

struct Setting {
    int number;
    const char* key;  // null: no model file key
    SettingSection section;
    SettingStore store;
    std::size_t offset;  // setup record offset when stored in the setup record
    int bit;
};

// The settings, numbers 1 to 26.
std::span<const Setting> Settings();
const Setting* FindSetting(int number);
// The hidden list of the settings page: "text;number" in list order.
std::span<const char* const> SettingsListEntries();

// The stored state of a setting: 0 or 1, or -1 when it is not stored anywhere.
int SettingValue(const Setting& setting, const CTargetSetupData& setup,
                 const CPanelDisplayData& display);
// Writes a setting back; true when the stored bit changed (the owner is then marked modified).
bool StoreSetting(const Setting& setting, bool on, CTargetSetupData& setup,
                  CPanelDisplayData& display);
// The selector a setting's key is read with.
int SettingSelector(const Setting& setting, int version);

// ---- The model-driven rule ----------------------------------------------------------------

struct ControlRule {
    bool enabled = true;
    std::optional<ChoiceList> choices;  // a choice list: the choices offered
    std::optional<int> fixedValue;      // a plain value: the model fixes it
    std::string fixedText;              // and the text a drop-down list shows for it
    bool missing = false;               // the model lacks the key
};

// How a model file (or none) governs a control backed by a key read for a selector.
ControlRule ModelRule(const CPanelFile* model, const char* key, int selector);
// The value a check box shows under a rule, from its current value (-1 unset).
bool CheckedUnderRule(const ControlRule& rule, int current);
// Whether the model lets a feature be on: it offers a choice, fixes it on, or does not govern
// it (no model, or the generic model without the key).
bool ModelAllows(const ControlRule& rule);

// ---- Memory ---------------------------------------------------------------------------------

struct MemoryBudget {
    long long panelMemory = 0;  // T
    long long blockSize = 0;    // D
    long long blocksUsed = 0;   // N
    long long freeMemory = 0;   // F
    int sizeCode = 0;
};

// P, B and I are the values of "PanelMemory", "BlockSize" and "InternalProjectMemory" of the
// selected index; S the project size; K the backup memory.
MemoryBudget ComputeMemoryBudget(int P, int B, int I, std::uint32_t S, long long K);

// The index of the first value equal to target, else of the smallest value above it, else of
// the smallest value; -1 for an empty list.
int MatchMemoryChoice(std::span<const int> values, long long target);

// The panel memory index the model page starts from.
int InitialPanelMemoryIndex(const CPanelFile& model, int version, const CTargetSetupData& setup);

// Backup memory: "RecipeBackupMemory" and "EventBackupMemory" for the checked backups.
long long BackupMemory(const CPanelFile* model, int version, bool recipe, bool events);

// The values of a choice list key, in order (empty when the key is no list).
std::vector<int> ChoiceValues(const CPanelFile& model, const char* key, int version);

}  // namespace kestra::panel
