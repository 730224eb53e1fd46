#include "extension_classes/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <filesystem>

#include "extension_classes/registry_format.h"
#include "kxc_test_support.h"
#include "platform/file_writer.h"

namespace kestra::testing {
namespace {

constexpr const char* kKey = "Software\\Tarvel\\Test";

TEST(RegistryStore, ValuesKeysAndTheTextFormWrittenOnce) {
    RegistryScope scope;
    {
        KXCRegistry registry;
        ASSERT_TRUE(registry.IsUsable());
        EXPECT_TRUE(
            registry.SetString(KXCHive::LocalMachine, kKey, "Name", "a \"quoted\" \\ text"));
        EXPECT_TRUE(registry.SetDword(KXCHive::LocalMachine, kKey, "Style", 42));
        EXPECT_TRUE(registry.SetString(KXCHive::ClassesRoot, "Top\\Sub", "", "default"));
        EXPECT_TRUE(registry.CreateKey(KXCHive::CurrentUser, "Empty\\Key"));
        EXPECT_TRUE(registry.SetString(KXCHive::LocalMachine, kKey, "Odd/Name%", "x"));
    }
    EXPECT_EQ(scope.text(),
              "; Kestra registry store\n"
              "\n[HKEY_CLASSES_ROOT\\Top]\n"
              "\n[HKEY_CLASSES_ROOT\\Top\\Sub]\n@=\"default\"\n"
              "\n[HKEY_CURRENT_USER\\Empty]\n"
              "\n[HKEY_CURRENT_USER\\Empty\\Key]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software\\Tarvel]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software\\Tarvel\\Test]\n"
              "\"Name\"=\"a \\\"quoted\\\" \\\\ text\"\n"
              "\"Odd/Name%\"=\"x\"\n"
              "\"Style\"=dword:0000002a\n");

    KXCRegistry again;
    EXPECT_EQ(again.QueryString(KXCHive::LocalMachine, kKey, "Name"), "a \"quoted\" \\ text");
    EXPECT_EQ(again.QueryDword(KXCHive::LocalMachine, kKey, "Style"), 42u);
    EXPECT_EQ(again.QueryString(KXCHive::LocalMachine, kKey, "Style"), "42");
    EXPECT_EQ(again.QueryString(KXCHive::LocalMachine, kKey, "Odd/Name%"), "x");
    EXPECT_EQ(again.QueryString(KXCHive::ClassesRoot, "Top\\Sub", ""), "default");
    EXPECT_TRUE(again.KeyExists(KXCHive::CurrentUser, "Empty\\Key"));
    EXPECT_TRUE(again.EnumKeys(KXCHive::CurrentUser, "Empty\\Key").empty());
    EXPECT_FALSE(again.KeyExists(KXCHive::LocalMachine, "Empty"));
    EXPECT_EQ(again.EnumValues(KXCHive::LocalMachine, kKey),
              (std::vector<std::string>{"Name", "Odd/Name%", "Style"}));
}

TEST(RegistryStore, NamesIgnoreCaseAndKeepTheirOwn) {
    RegistryScope scope;
    KXCRegistry registry;
    registry.SetString(KXCHive::LocalMachine, "Software\\Mixed", "Value", "1");
    EXPECT_TRUE(registry.KeyExists(KXCHive::LocalMachine, "SOFTWARE\\mixed"));
    EXPECT_EQ(registry.QueryString(KXCHive::LocalMachine, "software/MIXED", "VALUE"), "1");
    registry.SetString(KXCHive::LocalMachine, "software\\MIXED", "vAlUe", "2");
    EXPECT_EQ(registry.EnumKeys(KXCHive::LocalMachine, "Software"),
              std::vector<std::string>{"Mixed"});
    EXPECT_EQ(registry.EnumValues(KXCHive::LocalMachine, "Software\\Mixed"),
              std::vector<std::string>{"Value"});
    EXPECT_EQ(registry.QueryString(KXCHive::LocalMachine, "Software\\Mixed", "Value"), "2");
    // Enumeration is alphabetical without regard to case.
    registry.CreateKey(KXCHive::LocalMachine, "Software\\alpha");
    registry.CreateKey(KXCHive::LocalMachine, "Software\\Zulu");
    EXPECT_EQ(registry.EnumKeys(KXCHive::LocalMachine, "Software"),
              (std::vector<std::string>{"alpha", "Mixed", "Zulu"}));
}

TEST(RegistryStore, DeletingKeysAndValues) {
    RegistryScope scope;
    KXCRegistry registry;
    registry.SetString(KXCHive::LocalMachine, "A\\B\\C", "v", "1");
    registry.SetString(KXCHive::LocalMachine, "A\\B", "w", "2");
    registry.SetString(KXCHive::LocalMachine, "A\\Bee", "x", "3");
    EXPECT_TRUE(registry.DeleteKey(KXCHive::LocalMachine, "a\\b"));
    EXPECT_FALSE(registry.KeyExists(KXCHive::LocalMachine, "A\\B\\C"));
    EXPECT_FALSE(registry.KeyExists(KXCHive::LocalMachine, "A\\B"));
    EXPECT_TRUE(registry.KeyExists(KXCHive::LocalMachine, "A"));
    EXPECT_EQ(registry.QueryString(KXCHive::LocalMachine, "A\\Bee", "x"), "3");
    EXPECT_FALSE(registry.DeleteKey(KXCHive::LocalMachine, "A\\B"));
    EXPECT_FALSE(registry.DeleteKey(KXCHive::LocalMachine, ""));
    EXPECT_TRUE(registry.DeleteValue(KXCHive::LocalMachine, "A\\Bee", "X"));
    EXPECT_FALSE(registry.QueryString(KXCHive::LocalMachine, "A\\Bee", "x").has_value());
    EXPECT_TRUE(registry.KeyExists(KXCHive::LocalMachine, "A\\Bee"));
    // The hives are apart.
    EXPECT_FALSE(registry.KeyExists(KXCHive::ClassesRoot, "A"));
}

TEST(RegistryStore, DamagedLinesAreLeftOutAndTheRestIsRead) {
    RegistryScope scope;
    platform::WriteWholeFile(scope.file(),
                             "garbage before any section\n"
                             "[HKEY_NOWHERE\\X]\n\"lost\"=\"1\"\n"
                             "[HKEY_LOCAL_MACHINE\\Good]\n"
                             "\"ok\"=\"yes\"\n"
                             "\"unterminated\"=\"no\n"
                             "\"badnum\"=dword:xyz\n"
                             "\"toolong\"=dword:123456789\n"
                             "\"bad escape\"=\"\\q\"\n"
                             "\"\"=\"empty name\"\n"
                             "noequals\n"
                             "\"num\"=dword:FFFFFFFF\r\n"
                             "[HKEY_LOCAL_MACHINE\\Unclosed\n");
    KXCRegistry registry;
    EXPECT_EQ(registry.EnumValues(KXCHive::LocalMachine, "Good"),
              (std::vector<std::string>{"num", "ok"}));
    EXPECT_EQ(registry.QueryDword(KXCHive::LocalMachine, "Good", "num"), 0xFFFFFFFFu);
    EXPECT_EQ(registry.EnumKeys(KXCHive::LocalMachine, ""), std::vector<std::string>{"Good"});
}

TEST(RegistryStore, TextsSurviveEveryCharacter) {
    QString all;
    for (char16_t c = 1; c < 0x180; ++c) all += QChar(c);
    QSettings::SettingsMap map;
    map.insert(QStringLiteral("HKEY_CURRENT_USER/K%2Fey/v%25al"), all);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ASSERT_TRUE(kxc::WriteRegistryText(buffer, map));
    buffer.seek(0);
    QSettings::SettingsMap back;
    ASSERT_TRUE(kxc::ReadRegistryText(buffer, back));
    EXPECT_EQ(back.value(QStringLiteral("HKEY_CURRENT_USER/K%2Fey/v%25al")).toString(), all);
    EXPECT_TRUE(back.contains(QStringLiteral("HKEY_CURRENT_USER/K%2Fey/%k")));
}

// A session's changes replace the file whole through a new file renamed into place, so a
// reader never meets half a store.
TEST(RegistryStore, WritesReplaceTheFileWhole) {
    RegistryScope scope;
    {
        KXCRegistry registry;
        registry.SetString(KXCHive::LocalMachine, "Software\\A", "v", "1");
    }
    struct stat before {};
    ASSERT_EQ(stat(scope.file().c_str(), &before), 0);
    {
        KXCRegistry registry;
        registry.SetString(KXCHive::LocalMachine, "Software\\A", "v", "2");
        EXPECT_TRUE(registry.Sync());
    }
    struct stat after {};
    ASSERT_EQ(stat(scope.file().c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(scope.file()).parent_path()))
        EXPECT_TRUE(entry.path().filename() == "registry.reg" ||
                    entry.path().extension() == ".lock")
            << entry.path();
}

TEST(RegistryStore, WhereItLives) {
    TempFolder windows;
    WindowsFolderScope windowsScope(windows.path());
    const char* saved = std::getenv(KXCRegistry::kStoreVariable);
    const std::string previous = saved ? saved : "";
    unsetenv(KXCRegistry::kStoreVariable);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string previousConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", windows.file("config").c_str(), 1);
    EXPECT_EQ(KXCRegistry::StorePath(), windows.file("config") + "/kestra/registry.reg");
    windows.write("Fabricon.ini", "[Registry]\nFile=" + windows.file("from-ini.reg") + "\n");
    EXPECT_EQ(KXCRegistry::StorePath(), windows.file("from-ini.reg"));
    setenv(KXCRegistry::kStoreVariable, windows.file("from-env.reg").c_str(), 1);
    EXPECT_EQ(KXCRegistry::StorePath(), windows.file("from-env.reg"));
    {
        KXCRegistry registry;
        registry.CreateKey(KXCHive::CurrentUser, "Made");
    }
    EXPECT_TRUE(std::filesystem::exists(windows.file("from-env.reg")));
    if (previousConfig.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", previousConfig.c_str(), 1);
    if (previous.empty())
        unsetenv(KXCRegistry::kStoreVariable);
    else
        setenv(KXCRegistry::kStoreVariable, previous.c_str(), 1);
}

}  // namespace
}  // namespace kestra::testing
