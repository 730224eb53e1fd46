// The settings table, the model-driven rule and the memory budget.
#include "panel_setup/setup_rules.h"

#include <gtest/gtest.h>

#include "panel_test_files.h"

namespace kestra::panel {
namespace {

TEST(SettingsTable, EveryListEntryNamesASettingAndStoresItsBit) {
    ASSERT_EQ(Settings().size(), 26u);
    ASSERT_EQ(SettingsListEntries().size(), 22u);
    for (const char* entry : SettingsListEntries()) {
        const std::string text(entry);
        const int number = std::stoi(text.substr(text.find(';') + 1));
        EXPECT_NE(FindSetting(number), nullptr) << text;
    }
    CTargetSetupData setup;
    CPanelDisplayData display;
    const Setting& trends = *FindSetting(16);
    EXPECT_TRUE(StoreSetting(trends, true, setup, display));
    EXPECT_EQ(setup.Byte(405), 0x80);
    EXPECT_FALSE(StoreSetting(trends, true, setup, display));
    EXPECT_TRUE(StoreSetting(*FindSetting(26), true, setup, display));
    EXPECT_EQ(display.Record().features, 0x200);
    EXPECT_TRUE(StoreSetting(*FindSetting(3), true, setup, display));
    EXPECT_EQ(display.Record().attributes, 0x08);
    EXPECT_FALSE(StoreSetting(*FindSetting(4), true, setup, display));  // not stored
    EXPECT_EQ(SettingValue(*FindSetting(4), setup, display), -1);
    EXPECT_EQ(SettingSelector(*FindSetting(22), 105), kFirmware);
    EXPECT_EQ(SettingSelector(*FindSetting(3), 105), kDisplay);
    EXPECT_EQ(SettingSelector(*FindSetting(16), 105), 105);
}

TEST(ModelRule, ChoiceListsPlainValuesAndMissingKeys) {
    test::PanelFolder f;
    f.temp.write("Panels/T1.dat",
                 "[Model]\nModelName=T1\nMfgCode=3\n[Attributes]\nTrendSupport=1\n");
    f.temp.write("Panels/T2.dat",
                 "[Model]\nModelName=T2\nMfgCode=3\n[Attributes]\nTrendSupport=0|1:1\n");
    CPanelFile fixed(f.temp.file("Panels/T1.dat"), 0);
    CPanelFile choice(f.temp.file("Panels/T2.dat"), 0);
    CPanelFile generic(f.generic, 0);

    auto r = ModelRule(&fixed, "TrendSupport", 100);
    EXPECT_FALSE(r.enabled);
    EXPECT_TRUE(CheckedUnderRule(r, 0));
    r = ModelRule(&choice, "TrendSupport", 100);
    EXPECT_TRUE(r.enabled);
    EXPECT_TRUE(CheckedUnderRule(r, -1));  // unset: the list's default
    EXPECT_FALSE(CheckedUnderRule(r, 0));  // a stored bit stays as it is
    EXPECT_TRUE(CheckedUnderRule(r, 1));
    r = ModelRule(&fixed, "Buzzer", 100);
    EXPECT_FALSE(r.enabled);  // a specific model without the key
    EXPECT_TRUE(r.missing);
    EXPECT_FALSE(CheckedUnderRule(r, 0));
    r = ModelRule(&generic, "Buzzer", 100);
    EXPECT_TRUE(r.enabled);
    EXPECT_TRUE(CheckedUnderRule(r, 1));
    f.temp.write("Panels/T3.dat",
                 "[Model]\nModelName=T3\nMfgCode=3\n[Attributes]\nTCMModule=None;0\n");
    CPanelFile named(f.temp.file("Panels/T3.dat"), 0);
    r = ModelRule(&named, "TCMModule", 100);
    EXPECT_EQ(r.fixedValue, 0);
    EXPECT_EQ(r.fixedText, "None");
    EXPECT_EQ(ModelRule(&fixed, "TrendSupport", 100).fixedText, "1");
    r = ModelRule(nullptr, "Buzzer", 100);
    EXPECT_TRUE(r.enabled);
    EXPECT_FALSE(CheckedUnderRule(r, 0));
}

TEST(MemoryBudget, WorkedExample) {
    // 2048K panel memory (P 63), 64K blocks (B 1), internal 64 x 32K, a project of 100000
    // bytes and 16K of backup memory.
    auto m = ComputeMemoryBudget(63, 1, 64, 100000, 16384);
    EXPECT_EQ(m.panelMemory, 2097152);
    EXPECT_EQ(m.blockSize, 65536);
    EXPECT_EQ(m.blocksUsed, 2);
    EXPECT_EQ(m.freeMemory, 64 * 32768 - 131072 - 16384 + 32768);
    EXPECT_EQ(m.sizeCode, 1);
    EXPECT_EQ(ComputeMemoryBudget(3, 0, 4, 0, 0).blocksUsed, 1);  // |0 - 1| / D + 1
    EXPECT_EQ(ComputeMemoryBudget(3, 0, 4, 0, 0).sizeCode, 0);
    EXPECT_EQ(ComputeMemoryBudget(255, 3, 256, 1, 0).sizeCode, 3);
    EXPECT_EQ(ComputeMemoryBudget(0, -1, 0, 5, 0).blockSize, 32768);  // never divides by zero
}

TEST(MemoryBudget, ChoiceMatchingAndInitialIndex) {
    const int values[] = {15, 31, 63, 127};
    EXPECT_EQ(MatchMemoryChoice(values, 63), 2);
    EXPECT_EQ(MatchMemoryChoice(values, 40), 2);
    EXPECT_EQ(MatchMemoryChoice(values, 500), 0);
    EXPECT_EQ(MatchMemoryChoice({}, 1), -1);

    test::PanelFolder f;
    f.temp.write("Panels/M.dat",
                 "[Model]\nModelName=M\nMfgCode=3\n[Attributes]\n"
                 "PanelMemory=512K;15|1024K;31|2048K;63|4096K;127:1\n"
                 "InternalProjectMemory=512K;16|1024K;32|2048K;64|4096K;128:1\n"
                 "BlockSize=32K;0|64K;1|64K;1|128K;3:1\n");
    CPanelFile model(f.temp.file("Panels/M.dat"), 0);
    CTargetSetupData setup;
    setup.Byte(setup::kMemorySizeCode) = 2;  // 4 x 32 - 1 = 127
    EXPECT_EQ(InitialPanelMemoryIndex(model, 0, setup), 3);
    setup.Byte(setup::kMemorySizeCode) = 0;
    setup.Byte(setup::kInternalMemory) = 31;  // 32 - 1
    EXPECT_EQ(InitialPanelMemoryIndex(model, 0, setup), 1);
    setup.Byte(setup::kInternalMemory) = 62;  // above 31, below 63
    EXPECT_EQ(InitialPanelMemoryIndex(model, 0, setup), 2);
}

TEST(MemoryBudget, BackupMemoryFromTheCheckedBackups) {
    test::PanelFolder f;
    CPanelFile model(f.specific, 0);
    EXPECT_EQ(BackupMemory(&model, 105, true, false), 16384);
    EXPECT_EQ(BackupMemory(&model, 105, true, true), 16384);  // no EventBackupMemory key
    EXPECT_EQ(BackupMemory(&model, 105, false, false), 0);
    EXPECT_EQ(BackupMemory(nullptr, 105, true, true), 0);
}

}  // namespace
}  // namespace kestra::panel
