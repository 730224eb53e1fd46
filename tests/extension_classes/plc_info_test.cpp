#include "extension_classes/plc_info.h"

#include <gtest/gtest.h>

#include <climits>

#include "extension_classes/registry.h"
#include "kxc_test_support.h"
#include "platform/module.h"

namespace kestra::testing {
namespace {

constexpr const char* kWord = "TarvelFabricon\\";
constexpr const char* kRoot32 = "Software\\TarvelFabricon\\PLC Drivers";

// A list over a driver folder, with the registry store of the scope.
struct ListOver {
    explicit ListOver(const DriverFolder& folder) : list(kWord) {
        list.SetScanFolder(folder.path());
    }
    CPlcInfoList list;
};

std::vector<std::string> dllNames(const CPlcInfoList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i) names.push_back(list.GetAt(i)->m_strDllName);
    return names;
}

CPlcInfo describe(const std::string& fake) {
    HMODULE module = LoadLibrary((std::string(KXC_FAKE_DRIVERS) + "/" + fake + ".so").c_str());
    EXPECT_NE(module, nullptr) << fake;
    CPlcInfo info;
    EXPECT_EQ(info.CreateIndirect(module), 1);
    FreeLibrary(module);
    return info;
}

TEST(PlcInfo, DescriptionStringsAndTheTwoVersionEncodings) {
    CPlcInfo oneFive = describe("K32PLC15");
    EXPECT_EQ(oneFive.m_nProjectCode, 1);
    EXPECT_EQ(oneFive.m_wVersion, 0x0105);
    EXPECT_EQ(oneFive.GetVersionStr(), "1.05");
    EXPECT_EQ(oneFive.m_strDriverName, "Fake One Five");
    EXPECT_EQ(oneFive.m_strDllVersion, "1.00");  // empty string 3
    EXPECT_EQ(oneFive.GetCompatibility(), "A");
    EXPECT_EQ(oneFive.m_strDllName, "K32PLC15.so");
    EXPECT_EQ(oneFive.m_strPath, std::string(KXC_FAKE_DRIVERS) + "/");

    CPlcInfo internal = describe("K32PLC107");
    EXPECT_EQ(internal.m_nProjectCode, 107);
    EXPECT_EQ(internal.m_wVersion, 107 * 256 + 35);
    EXPECT_EQ(internal.GetVersionStr(), "2.03");

    CPlcInfo client = describe("K32PLC2A");  // "9.2.7": the first number is passed over
    EXPECT_EQ(client.m_nProjectCode, 2);
    EXPECT_EQ(client.m_wVersion, 0x0207);

    CPlcInfo dots = describe("K32PLCDOTS");
    EXPECT_EQ(dots.m_nProjectCode, 0);
    EXPECT_EQ(dots.m_wVersion, 0);
    EXPECT_EQ(dots.m_strDriverName, "Dots");

    CPlcInfo none = describe("K32PLCNONE");
    EXPECT_EQ(none.m_nProjectCode, 0);
    EXPECT_EQ(none.m_wVersion, 0);
    EXPECT_EQ(none.m_strDriverName, "");
    EXPECT_EQ(none.m_strDllVersion, "1.00");
    EXPECT_EQ(none.m_strDllName, "K32PLCNONE.so");
}

TEST(PlcInfo, GetVersionInfoStoresNothingWithoutTheString) {
    HMODULE none = LoadLibrary((std::string(KXC_FAKE_DRIVERS) + "/K32PLCNONE.so").c_str());
    WORD version = 0x1234;
    BYTE code = 0x56;
    EXPECT_FALSE(CPlcInfo::GetVersionInfo(none, &version, &code));
    EXPECT_EQ(version, 0x1234);
    EXPECT_EQ(code, 0x56);
    FreeLibrary(none);
    HMODULE dots = LoadLibrary((std::string(KXC_FAKE_DRIVERS) + "/K32PLCDOTS.so").c_str());
    EXPECT_FALSE(CPlcInfo::GetVersionInfo(dots, &version, &code));
    EXPECT_EQ(version, 0);
    EXPECT_EQ(code, 0);
    FreeLibrary(dots);
}

TEST(PlcInfo, SetVersionAndVersionTexts) {
    CPlcInfo info;
    info.SetVersion("1.05", 1);
    EXPECT_EQ(info.m_wVersion, 0x0105);
    info.SetVersion("2.03", 107);
    EXPECT_EQ(info.m_wVersion, 0x23);
    EXPECT_EQ(info.GetVersionStr(), "2.03");
    info.SetVersion("2.19", 5);  // minor cut to four bits
    EXPECT_EQ(info.m_wVersion, 0x23);
    info.SetVersion("", 5);
    EXPECT_EQ(info.m_wVersion, 0);
    info.SetVersion("x.y", 1);
    EXPECT_EQ(info.m_wVersion, 0);
    info.SetVersion(nullptr, 1);
    EXPECT_EQ(info.m_wVersion, 0);
    info.m_wVersion = 0x01FE;  // high byte 1: only the low four bits of the minor show
    EXPECT_EQ(info.GetVersionStr(), "1.14");
    CPlcInfo copy(info);
    copy.m_strDriverName = "changed";
    EXPECT_EQ(copy.m_wVersion, info.m_wVersion);
    EXPECT_NE(copy.m_strDriverName, info.m_strDriverName);
}

TEST(PlcInfoList, ScanWritesTheRegistryCopyThatTheNextLoadReads) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC15");
    folder.AddFake("K32PLC107");
    ListOver first(folder);
    ASSERT_EQ(first.list.Load(), 1);
    EXPECT_EQ(dllNames(first.list), (std::vector<std::string>{"K32PLC107.so", "K32PLC15.so"}));
    const std::string path = folder.path() + "/";
    EXPECT_EQ(scope.text(),
              "; Kestra registry store\n"
              "\n[HKEY_LOCAL_MACHINE\\Software]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software\\TarvelFabricon]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software\\TarvelFabricon\\PLC Drivers]\n"
              "\n[HKEY_LOCAL_MACHINE\\Software\\TarvelFabricon\\PLC Drivers\\K32PLC107.so]\n"
              "\"Compatibility\"=\"B\"\n\"DLL_Ver\"=\"2.10\"\n"
              "\"Driver_Name\"=\"Fake Internal\"\n\"Firmware_Ver\"=\"2.03\"\n"
              "\"FullPath\"=\"" +
                  path +
                  "\"\n\"Project_Code\"=\"107\"\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\TarvelFabricon\\PLC Drivers\\K32PLC15.so]\n"
                  "\"Compatibility\"=\"A\"\n\"DLL_Ver\"=\"1.00\"\n"
                  "\"Driver_Name\"=\"Fake One Five\"\n\"Firmware_Ver\"=\"1.05\"\n"
                  "\"FullPath\"=\"" +
                  path + "\"\n\"Project_Code\"=\"1\"\n");

    // The next list reads the copy, not the folder: versions come back in the stored form.
    ListOver second(folder);
    ASSERT_EQ(second.list.Load(), 1);
    const CPlcInfo* oneFive = second.list.FindDLL("K32PLC15.so");
    ASSERT_NE(oneFive, nullptr);
    EXPECT_EQ(oneFive->m_wVersion, 0x0105);
    EXPECT_EQ(oneFive->m_nProjectCode, 1);
    const CPlcInfo* internal = second.list.FindVersion(107);
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(internal->m_wVersion, 0x23);
    EXPECT_EQ(internal->GetVersionStr(), "2.03");
    EXPECT_EQ(internal->m_strPath, path);
    EXPECT_EQ(internal->m_strDllVersion, "2.10");
    EXPECT_EQ(internal->GetCompatibility(), "B");

    // A rescan ignores the copy and scans the (empty) folder: nothing found, the copy stays.
    DriverFolder empty;
    ListOver third(empty);
    EXPECT_EQ(third.list.Load(TRUE), 0);
    EXPECT_EQ(third.list.GetCount(), 0);
    EXPECT_TRUE(
        KXCRegistry().KeyExists(KXCHive::LocalMachine, std::string(kRoot32) + "\\K32PLC15.so"));
}

TEST(PlcInfoList, RescanRewritesTheCopyWhole) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC15");
    folder.AddFile("Other.so", "");  // not a driver by its name: the scan passes it over
    {
        KXCRegistry registry;
        const std::string key = std::string(kRoot32) + "\\Other.so";
        registry.SetString(KXCHive::LocalMachine, key, "Project_Code", "9");
        registry.SetString(KXCHive::LocalMachine, key, "FullPath", folder.path() + "/");
    }
    ListOver list(folder);
    ASSERT_EQ(list.list.Load(), 1);
    EXPECT_EQ(dllNames(list.list), std::vector<std::string>{"Other.so"});
    ASSERT_EQ(list.list.Load(TRUE), 1);
    EXPECT_EQ(dllNames(list.list), std::vector<std::string>{"K32PLC15.so"});
    KXCRegistry registry;
    EXPECT_EQ(registry.EnumKeys(KXCHive::LocalMachine, kRoot32),
              std::vector<std::string>{"K32PLC15.so"});
}

// A copy written by the programs of one folder, read by those of another (an installed copy
// and a build tree share the user's registry store) or after a library went away.
TEST(PlcInfoList, ACopyOfAnotherFolderOrOfAMissingLibraryIsScannedAgain) {
    enum class Form { k32, k16 };
    struct Case {
        const char* what;
        Form form;
        bool otherFolder;    // the reading list scans another folder
        bool removeLibrary;  // K32PLC107.so is gone from the writing folder
        std::vector<std::string> listed;
        WORD internalVersion;  // 0x23 read from the copy, 0x6B23 from a scan
    };
    const Case cases[] = {
        {"same folder", Form::k32, false, false, {"K32PLC107.so", "K32PLC15.so"}, 0x23},
        {"another folder", Form::k32, true, false, {"K32PLC107.so", "K32PLC30.so"}, 0x6B23},
        {"library gone", Form::k32, false, true, {"K32PLC15.so"}, 0},
        {"another folder, 16-bit", Form::k16, true, false, {"K32PLC107.so", "K32PLC30.so"}, 0x6B23},
        {"library gone, 16-bit", Form::k16, false, true, {"K32PLC15.so"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryScope scope;
        DriverFolder writer, other;
        writer.AddFake("K32PLC15");
        writer.AddFake("K32PLC107");
        other.AddFake("K32PLC107");
        other.AddFake("K32PLC30");
        auto load = [&](CPlcInfoList& list) {
            return c.form == Form::k32 ? list.Load() : list.Load16();
        };
        ListOver first(writer);
        ASSERT_EQ(load(first.list), 1);
        if (c.removeLibrary) std::filesystem::remove(writer.path() + "/K32PLC107.so");

        const DriverFolder& readerFolder = c.otherFolder ? other : writer;
        ListOver reader(readerFolder);
        ASSERT_EQ(load(reader.list), 1);
        EXPECT_EQ(dllNames(reader.list), c.listed);
        const CPlcInfo* internal = reader.list.FindVersion(107);
        EXPECT_EQ(internal ? internal->m_wVersion : 0, c.internalVersion);
        for (int i = 0; i < reader.list.GetCount(); ++i)
            EXPECT_EQ(reader.list.GetAt(i)->m_strPath, readerFolder.path() + "/");

        // The copy now names the reading folder's drivers: the next start uses it as it is.
        ListOver next(readerFolder);
        ASSERT_EQ(load(next.list), 1);
        EXPECT_EQ(dllNames(next.list), c.listed);
        if (const CPlcInfo* again = next.list.FindVersion(107))
            EXPECT_EQ(again->m_wVersion, 0x23) << "read from the rewritten copy";
    }
}

TEST(PlcInfoList, SixteenBitFormRoundTrip) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC15");
    folder.AddFake("K32PLC107");
    ListOver first(folder);
    ASSERT_EQ(first.list.Load16(), 1);
    KXCRegistry registry;
    const std::string key = "TarvelFabricon\\PLCDrivers\\K32PLC107.so";
    EXPECT_EQ(registry.QueryString(KXCHive::ClassesRoot, key, ""), "Fake Internal");
    EXPECT_EQ(registry.QueryString(KXCHive::ClassesRoot, key + "\\Firmware_Ver", ""), "2.03");
    EXPECT_EQ(registry.QueryString(KXCHive::ClassesRoot, key + "\\Project_Code", ""), "107");
    EXPECT_EQ(registry.EnumKeys(KXCHive::ClassesRoot, key),
              (std::vector<std::string>{"Compatibility", "DLL_Ver", "Firmware_Ver", "FullPath",
                                        "Project_Code"}));
    EXPECT_FALSE(registry.KeyExists(KXCHive::LocalMachine, kRoot32));

    ListOver second(folder);
    ASSERT_EQ(second.list.Load16(), 1);
    const CPlcInfo* oneFive = second.list.FindVersion(1);
    ASSERT_NE(oneFive, nullptr);
    EXPECT_EQ(oneFive->m_wVersion, 0x0105);
    EXPECT_EQ(oneFive->m_strDriverName, "Fake One Five");
    EXPECT_EQ(second.list.FindDLL("K32PLC107.so")->m_wVersion, 0x23);
    // The 32-bit form has no copy, so Load scans the (empty) folder.
    DriverFolder empty;
    ListOver third(empty);
    EXPECT_EQ(third.list.Load(), 0);
}

TEST(PlcInfoList, HideClientDropsOnlyTheFirstClientOfAScan) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC2A");
    folder.AddFake("K32PLC2B");
    folder.AddFake("K32PLC15");
    ListOver hidden(folder);
    ASSERT_EQ(hidden.list.Load(TRUE), 1);
    EXPECT_EQ(dllNames(hidden.list), (std::vector<std::string>{"K32PLC15.so", "K32PLC2B.so"}));

    ListOver shown(folder);
    shown.list.InsertClientInfo(TRUE);
    ASSERT_EQ(shown.list.Load(TRUE), 1);
    EXPECT_EQ(dllNames(shown.list),
              (std::vector<std::string>{"K32PLC15.so", "K32PLC2A.so", "K32PLC2B.so"}));
    // From the registry copy every client entry is passed over while hidden.
    ListOver fromCopy(folder);
    ASSERT_EQ(fromCopy.list.Load(), 1);
    EXPECT_EQ(dllNames(fromCopy.list), std::vector<std::string>{"K32PLC15.so"});
}

TEST(PlcInfoList, LookupsByCodeAndByExactName) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC15");
    folder.AddFake("K32PLC30");
    ListOver list(folder);
    ASSERT_EQ(list.list.Load(), 1);
    EXPECT_EQ(list.list.FindDLL("K32PLC15.so")->m_strDriverName, "Fake One Five");
    EXPECT_EQ(list.list.FindDLL("k32plc15.so"), nullptr);
    EXPECT_EQ(list.list.FindDLL("K32PLC15.SO"), nullptr);
    EXPECT_EQ(list.list.FindDLL(""), nullptr);
    EXPECT_EQ(list.list.FindVersion(3)->m_strDllName, "K32PLC30.so");
    EXPECT_EQ(list.list.FindVersion(4), nullptr);
    EXPECT_EQ(list.list.GetAt(-1), nullptr);
    EXPECT_EQ(list.list.GetAt(2), nullptr);
    EXPECT_EQ(list.list.GetRegistryRoot(), kRoot32);
}

TEST(PlcInfoList, DamagedRegistryCopyReadsAsTextsAndZeros) {
    RegistryScope scope;
    DriverFolder folder;  // the libraries the copy names are there, though not loadable
    folder.AddFile("K32PLCX.so", "");
    folder.AddFile("K32PLCY.so", "");
    {
        KXCRegistry registry;
        const std::string key = std::string(kRoot32) + "\\K32PLCX.so";
        registry.CreateKey(KXCHive::LocalMachine, key);
        registry.SetString(KXCHive::LocalMachine, key, "FullPath", folder.path());
        registry.SetString(KXCHive::LocalMachine, key, "Project_Code", "abc");
        registry.SetString(KXCHive::LocalMachine, key, "Firmware_Ver", "seven");
        const std::string other = std::string(kRoot32) + "\\K32PLCY.so";
        registry.SetString(KXCHive::LocalMachine, other, "Project_Code", "300");
        registry.SetString(KXCHive::LocalMachine, other, "Firmware_Ver", "-1.99999999999");
        registry.SetString(KXCHive::LocalMachine, other, "FullPath", folder.path() + "//");
    }
    ListOver list(folder);
    ASSERT_EQ(list.list.Load(), 1);
    ASSERT_EQ(list.list.GetCount(), 2);
    const CPlcInfo* x = list.list.GetAt(0);
    EXPECT_EQ(x->m_nProjectCode, 0);
    EXPECT_EQ(x->m_wVersion, 0);
    EXPECT_EQ(x->m_strDriverName, "");
    EXPECT_EQ(list.list.GetAt(1)->m_nProjectCode, 300 & 0xFF);
    EXPECT_EQ(list.list.GetAt(1)->m_wVersion, ((0xFFFFFFFFu << 4) | (INT_MAX & 15)) & 255);
}

TEST(PlcInfoList, DeleteItemFromTheCopyAndFromDisk) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLC15");
    folder.AddFake("K32PLC30");
    ListOver list(folder);
    ASSERT_EQ(list.list.Load(), 1);
    EXPECT_EQ(list.list.DeleteItem(list.list.FindDLL("K32PLC30.so"), FALSE), 1);
    EXPECT_TRUE(folder.Has("K32PLC30.so"));
    EXPECT_EQ(dllNames(list.list), std::vector<std::string>{"K32PLC15.so"});
    EXPECT_EQ(list.list.DeleteItem(list.list.FindDLL("K32PLC15.so"), TRUE), 0);
    EXPECT_FALSE(folder.Has("K32PLC15.so"));
    EXPECT_EQ(list.list.GetCount(), 0);
    KXCRegistry registry;
    EXPECT_TRUE(registry.EnumKeys(KXCHive::LocalMachine, kRoot32).empty());
    // An entry that is no longer in the copy: the registry part fails.
    CPlcInfo gone;
    gone.m_strDllName = "K32PLC15.so";
    EXPECT_EQ(list.list.DeleteItem(&gone, FALSE), 0);
    EXPECT_EQ(list.list.DeleteItem(nullptr, TRUE), 0);
}

TEST(PlcInfoList, ScanSkipsWhatDoesNotLoadAndListsWhatDoes) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFake("K32PLCNONE");  // loads, but describes nothing
    folder.AddFake("K32PLCDOTS");
    folder.AddFile("K32PLC9.so",
                   "\x7f"
                   "ELF but not really");
    folder.AddFile("K32PLC8.so", "");
    folder.AddFile("K32PLC7.txt", "not matching");
    folder.AddFake("K32PLC15");
    ListOver list(folder);
    ASSERT_EQ(list.list.Load(), 1);
    EXPECT_EQ(dllNames(list.list),
              (std::vector<std::string>{"K32PLC15.so", "K32PLCDOTS.so", "K32PLCNONE.so"}));
    const CPlcInfo* none = list.list.FindDLL("K32PLCNONE.so");
    EXPECT_EQ(none->m_nProjectCode, 0);
    EXPECT_EQ(none->m_strDriverName, "");
    EXPECT_EQ(list.list.FindDLL("K32PLCDOTS.so")->GetVersionStr(), "0.00");
}

TEST(PlcInfoList, SixteenBitCopyWithMissingItems) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddFile("K32PLCX.so", "");
    {
        KXCRegistry registry;
        const std::string key = std::string(CPlcInfoList::kRegistry16Root) + "\\K32PLCX.so";
        registry.CreateKey(KXCHive::ClassesRoot, key);
        registry.SetString(KXCHive::ClassesRoot, key + "\\FullPath", "", folder.path() + "/");
        registry.SetString(KXCHive::ClassesRoot, key + "\\Project_Code", "", "12abc");
        registry.SetDword(KXCHive::ClassesRoot, key + "\\Firmware_Ver", "", 7);
    }
    ListOver list(folder);
    ASSERT_EQ(list.list.Load16(), 1);
    const CPlcInfo* x = list.list.GetAt(0);
    EXPECT_EQ(x->m_strDllName, "K32PLCX.so");
    EXPECT_EQ(x->m_nProjectCode, 12);
    EXPECT_EQ(x->m_wVersion, (7 << 4) & 255);
    EXPECT_EQ(x->m_strDriverName, "");
    EXPECT_EQ(x->m_strDllVersion, "");
}

TEST(PlcInfoList, NothingAnywhereGivesZero) {
    RegistryScope scope;
    DriverFolder empty;
    ListOver list(empty);
    EXPECT_EQ(list.list.Load(), 0);
    EXPECT_EQ(list.list.Load16(), 0);
    EXPECT_EQ(list.list.GetCount(), 0);
}

}  // namespace
}  // namespace kestra::testing
