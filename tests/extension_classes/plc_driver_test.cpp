#include "extension_classes/plc_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "extension_classes/plc_info.h"
#include "kxc_test_support.h"
#include "platform/module.h"

namespace kestra::testing {
namespace {

std::string fakePath(const std::string& name) {
    return std::string(KXC_FAKE_DRIVERS) + "/" + name + ".so";
}

// Counts the attach lines the stand-in drivers write while the scope lasts.
class FakeLog {
  public:
    FakeLog() : file_(folder_.file("fake.log")) { setenv("KXC_FAKE_LOG", file_.c_str(), 1); }
    ~FakeLog() { unsetenv("KXC_FAKE_LOG"); }
    int Count(const std::string& line) const {
        std::ifstream in(file_);
        int count = 0;
        for (std::string read; std::getline(in, read);) count += read == line;
        return count;
    }

  private:
    TempFolder folder_;
    std::string file_;
};

TEST(PlcDriver, LoadingByPathAndReuse) {
    FakeLog log;
    KXCPlcDriver driver;
    EXPECT_EQ(driver.IsValid(), 0);
    EXPECT_EQ(driver.LoadDriver(std::string()), 0);
    EXPECT_EQ(driver.IsValid(), 0);
    EXPECT_TRUE(driver.LoadedDrivers().empty());

    ASSERT_EQ(driver.LoadDriver(fakePath("K32PLC15")), 1);
    ASSERT_EQ(driver.IsValid(), 1);
    HINSTANCE first = driver.GetHandle();
    ASSERT_EQ(driver.LoadDriver(fakePath("K32PLC30")), 1);
    EXPECT_NE(driver.GetHandle(), first);
    ASSERT_EQ(driver.LoadDriver(fakePath("K32PLC15")), 1);
    EXPECT_EQ(driver.GetHandle(), first);
    EXPECT_EQ(log.Count("attach"), 2);
    EXPECT_EQ(driver.LoadedDrivers().size(), 2u);

    // A copy shares the libraries; destroying it unloads nothing.
    {
        KXCPlcDriver copy(driver);
        EXPECT_EQ(copy.GetHandle(), first);
    }
    EXPECT_EQ(log.Count("detach"), 0);

    driver.FreeDrivers();
    EXPECT_EQ(log.Count("detach"), 2);
    EXPECT_TRUE(driver.LoadedDrivers().empty());
    ASSERT_EQ(driver.LoadDriver(fakePath("K32PLC15")), 1);
    EXPECT_EQ(driver.IsValid(), 1);
    EXPECT_EQ(log.Count("attach"), 3);
    driver.FreeDrivers();
}

TEST(PlcDriver, AFailedLoadIsRemembered) {
    KXCPlcDriver driver;
    const std::string missing = "/nowhere/K32PLC5.so";
    EXPECT_EQ(driver.LoadDriver(missing), 1);
    EXPECT_EQ(driver.IsValid(), 0);
    EXPECT_EQ(driver.LoadDriver(missing), 1);
    EXPECT_EQ(driver.IsValid(), 0);
    ASSERT_EQ(driver.LoadedDrivers().count(missing), 1u);
    EXPECT_EQ(driver.LoadedDrivers().at(missing), nullptr);

    // Not a library at all.
    TempFolder folder;
    const std::string broken = folder.write("K32PLC9.so", "this is not a shared object");
    EXPECT_EQ(driver.LoadDriver(broken), 1);
    EXPECT_EQ(driver.IsValid(), 0);
    EXPECT_EQ(driver.LoadDriver(static_cast<const CPlcInfo*>(nullptr)), 0);
    CPlcInfo unnamed;
    EXPECT_EQ(driver.LoadDriver(&unnamed), 0);
    driver.FreeDrivers();
}

TEST(PlcDriver, WithoutALibraryEveryOperationAnswersItsDefault) {
    KXCPlcDriver driver;
    uPLCADR ref{};
    uPLCSETUP setup{};
    WORD format = 77;
    std::string text = "unchanged";
    char buffer[64] = "unchanged";
    DWORD value = 5;
    EXPECT_EQ(driver.CanCloseDialog(nullptr), 1);
    EXPECT_EQ(driver.InitPlcDefaults(nullptr, nullptr, &setup, nullptr, 0), 0);
    EXPECT_EQ(driver.GetDataFormat(format, &ref), 0);
    EXPECT_EQ(format, 77);
    EXPECT_EQ(driver.GetPreferredDataFormat(format, &setup, &ref), 0);
    EXPECT_EQ(driver.GetDataFormatIdFromString(format, "WORD(Bin)"), 0);
    EXPECT_EQ(format, 77);
    EXPECT_EQ(driver.GetDataFormatStringFromId(3, text), 0);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(driver.GetModelName(&setup, 10, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "unchanged");
    driver.ConvertMaxMin2String(nullptr, 1, buffer, &ref);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(driver.ValidateScaleFac(0, nullptr, value, &ref), value);
    EXPECT_EQ(driver.SetTagAndDataFormat("DB10 DW5", 3, &setup, &ref), 0);
    EXPECT_EQ(driver.SupportsPropPages(), 0);
    EXPECT_EQ(driver.IsInternalDriver(), 0);
    EXPECT_FALSE(driver.GetDriverName(text));
    EXPECT_FALSE(driver.GetDLLName(text));
    EXPECT_EQ(driver.AttachPLCFieldDialog(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(driver.InitForth("x"), 0);
}

TEST(PlcDriver, MissingExportsAnswerTheirDefaultsAndPresentOnesAreCalled) {
    KXCPlcDriver driver;
    ASSERT_EQ(driver.LoadDriver(fakePath("K32PLC107")), 1);
    ASSERT_EQ(driver.IsValid(), 1);
    auto lookups =
        reinterpret_cast<int (*)()>(GetProcAddress(driver.GetHandle(), "FakeFormatLookups"));
    auto forthText = reinterpret_cast<const char* (*)()>(
        GetProcAddress(driver.GetHandle(), "FakeLastForthText"));
    ASSERT_TRUE(lookups && forthText);
    const int before = lookups();

    WORD id = 1;
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "FAKE"), 1);
    EXPECT_EQ(id, 9);  // the low word only
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "FAKE"), 1);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(lookups(), before + 1);  // the second answer came from the cache
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "fake"), 1);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "fake"), 1);
    EXPECT_EQ(lookups(), before + 3);      // unknown names are not cached
    driver.SetDriver(driver.GetHandle());  // changing the library empties the cache
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "FAKE"), 1);
    EXPECT_EQ(lookups(), before + 4);

    uPLCADR ref{};
    EXPECT_EQ(driver.SetDataFormat(12, &ref), 1);
    EXPECT_EQ(ref.dataFormat, 12);
    EXPECT_EQ(driver.InitForth(""), 7);
    EXPECT_STREQ(forthText(), "<null>");
    EXPECT_EQ(driver.InitForth("COLD"), 7);
    EXPECT_STREQ(forthText(), "COLD");

    WORD format = 4;
    EXPECT_EQ(driver.GetDataFormat(format, &ref), 0);
    EXPECT_EQ(driver.CanCloseDialog(nullptr), 1);
    EXPECT_EQ(driver.IsASCIIDataFormat(&ref), 0);
    EXPECT_EQ(driver.IsInternalDriver(), 1);
    EXPECT_EQ(driver.IsForthDriver(), 0);
    std::string name;
    EXPECT_TRUE(driver.GetDriverName(name));
    EXPECT_EQ(name, "Fake Internal");
    EXPECT_TRUE(driver.GetDLLName(name));
    EXPECT_EQ(name, "K32PLC107.so");
    driver.FreeDrivers();
}

TEST(PlcDriver, StoredSetupAndCopies) {
    KXCPlcDriver driver;
    uPLCSETUP out{};
    EXPECT_EQ(driver.GetPlcSetup(&out), 0);
    EXPECT_EQ(driver.GetPlcSetupPtr(), nullptr);
    uPLCSETUP setup{};
    setup.model = 2;
    setup.slaveAddress = 10;
    EXPECT_EQ(driver.SetPlcSetup(&setup), 1);
    KXCPlcDriver copy(driver);
    setup.model = 1;
    driver.SetPlcSetup(&setup);
    ASSERT_EQ(copy.GetPlcSetup(&out), 1);
    EXPECT_EQ(out.model.get(), 2);
    EXPECT_NE(copy.GetPlcSetupPtr(), driver.GetPlcSetupPtr());
    KXCPlcDriver assigned;
    assigned = driver;
    ASSERT_EQ(assigned.GetPlcSetup(&out), 1);
    EXPECT_EQ(out.model.get(), 1);
    EXPECT_EQ(std::memcmp(&out, &setup, sizeof setup), 0);
}

// The program folder as installed: the real S5 driver, a broken library under a driver's
// name, and the system-variable driver (which is no PLC driver and not listed).
TEST(PlcDriver, ProgramFolderScanBindsTheS5Driver) {
    RegistryScope scope;
    DriverFolder folder;
    folder.AddReal("K32PLC1.so");
    folder.AddReal("K32KPANEL.so");
    folder.AddFile("K32PLC9.so", std::string(4096, '\x7f'));
    CPlcInfoList list("TarvelFabricon\\");
    list.SetScanFolder(folder.path());
    ASSERT_EQ(list.Load(), 1);
    ASSERT_EQ(list.GetCount(), 1);
    const CPlcInfo* s5 = list.GetAt(0);
    EXPECT_EQ(s5->m_strDllName, "K32PLC1.so");
    EXPECT_EQ(s5->m_strDriverName, "Simatic S5 - Old");
    EXPECT_EQ(s5->m_strDllVersion, "5.00");
    EXPECT_EQ(s5->GetCompatibility(), "1");
    EXPECT_EQ(s5->m_nProjectCode, 1);  // "20.1.19": project type 1
    EXPECT_EQ(s5->m_wVersion, 0x0113);
    EXPECT_EQ(list.FindVersion(1), s5);

    KXCPlcDriver driver;
    ASSERT_EQ(driver.LoadDriver(s5), 1);
    ASSERT_EQ(driver.IsValid(), 1);
    std::string name;
    ASSERT_TRUE(driver.GetDriverName(name));
    EXPECT_EQ(name, "Simatic S5 - Old");
    EXPECT_EQ(driver.SupportsPropPages(), 1);  // the driver offers its PLC reference page

    uPLCSETUP setup{};
    setup.model = 2;
    char model[64] = {};
    EXPECT_EQ(driver.GetModelName(&setup, 10, model, sizeof model), 1);
    EXPECT_STREQ(model, "AG115 CPU 945");
    EXPECT_EQ(driver.SetPLCModel(1, &setup), 1);
    EXPECT_EQ(driver.GetModelName(&setup, 10, model, sizeof model), 1);
    EXPECT_STREQ(model, "AG90/100/115/135");

    int ids[2] = {};
    char names[64] = {};
    EXPECT_EQ(driver.GetModelIDandNameArrays(nullptr, nullptr, nullptr),
              static_cast<int>((sizeof "AG90/100/115/135" + sizeof "AG115 CPU 945") * 65536 + 2));
    EXPECT_EQ(driver.GetModelIDandNameArrays(nullptr, ids, names), 2);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2);
    EXPECT_STREQ(names, "AG90/100/115/135");
    EXPECT_STREQ(names + sizeof "AG90/100/115/135", "AG115 CPU 945");

    WORD id = 0;
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "word(bin)"), 1);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(driver.GetDataFormatIdFromString(id, "no such format"), 1);
    EXPECT_EQ(id, 0);
    std::string formatName;
    EXPECT_EQ(driver.GetDataFormatStringFromId(8, formatName), 12);
    EXPECT_EQ(formatName, "FLOAT   [KG]");

    // Address texts through the driver, with the format looked up by name.
    uPLCADR ref{};
    ref.dataType = 1;
    EXPECT_EQ(driver.SetTagAndDataFormat("DB10 DW5", "WORD(Bin)", &setup, &ref), 1);
    EXPECT_EQ(ref.dataBlock, 10);
    EXPECT_EQ(ref.byteOffset.get(), 10);
    EXPECT_EQ(ref.dataFormat, 3);
    char address[101] = {};
    EXPECT_EQ(driver.GetLogicalAddress(address, &setup, &ref), 1);
    EXPECT_STREQ(address, "DB10 DW5");
    WORD preferred = 0;
    EXPECT_EQ(driver.GetPreferredDataFormat(preferred, &setup, &ref), 1);
    EXPECT_EQ(preferred, 3);

    // The PLC reference page: the driver calls the editor's callback back at once.
    static std::string pageTemplate;
    static void* pageContext = nullptr;
    static DWORD pageValue = 0;
    auto create = [](HINSTANCE, const char* templateName, HWND, PLCPAGEPROC, LPARAM context,
                     DWORD value) -> std::uintptr_t {
        pageTemplate = templateName;
        pageContext = reinterpret_cast<void*>(context);
        pageValue = value;
        return 0x5A;
    };
    int context = 0;
    EXPECT_EQ(driver.AttachPLCFieldDialog(reinterpret_cast<_tagDEFIELD*>(&context), create, nullptr,
                                          0x1234),
              1);
    EXPECT_EQ(pageTemplate, "FIELDREFPPG");
    EXPECT_EQ(pageContext, &context);
    EXPECT_EQ(pageValue, 0x1234u);
    driver.FreeDrivers();
}

TEST(PlcDriver, SystemVariableDriverIsFoundAlongTheSearchPath) {
    KXCPlcDriver driver;
    ASSERT_EQ(driver.LoadSysVarDriver(), 1);
    ASSERT_EQ(driver.IsValid(), 1);
    std::string name;
    EXPECT_TRUE(driver.GetDLLName(name));
    EXPECT_EQ(name, "K32KPANEL.so");
    EXPECT_TRUE(driver.GetDriverName(name));
    EXPECT_EQ(name, "Kestra Panel System Variables");
    ASSERT_EQ(driver.LoadedDrivers().size(), 1u);
    EXPECT_EQ(driver.LoadedDrivers().begin()->first,
              platform::JoinPath(platform::ProgramFolder(), "K32KPANEL.so"));

    uPLCSETUP setup{};
    uPLCADR ref{};
    EXPECT_EQ(driver.SetTagAndDataFormat("page", "", &setup, &ref), 1);
    EXPECT_EQ(ref.dataFormat, 3);
    char text[101] = {};
    EXPECT_EQ(driver.GetLogicalAddress(text, &setup, &ref), 1);
    EXPECT_STREQ(text, "PAGE");
    EXPECT_EQ(driver.IsFormatSupported(&setup, 0, &ref, 0, 0), 1);
    EXPECT_EQ(driver.IsReadWriteSupported(&setup, 0, &ref, 0), 1);
    EXPECT_EQ(driver.SetTagAndDataFormat("PANEL_NAME", "ascii", &setup, &ref), 1);
    EXPECT_EQ(driver.IsASCIIDataFormat(&ref), 1);
    EXPECT_EQ(driver.IsReadWriteSupported(&setup, 0, &ref, 0), 0);
    EXPECT_EQ(driver.SetTagAndDataFormat("NO_SUCH_VARIABLE", "WORD", &setup, &ref), 0);
    char model[32] = {};
    EXPECT_EQ(driver.GetModelName(&setup, 0, model, sizeof model), 1);
    EXPECT_STREQ(model, "Kestra Panel");
    // Exports it does not have.
    strcpy(text, "kept");
    driver.ConvertMaxMin2String(nullptr, 5, text, &ref);
    EXPECT_STREQ(text, "kept");
    EXPECT_EQ(driver.IsScalingSupported(&setup, 0, &ref, 0), 0);

    EXPECT_EQ(driver.LoadInternalDriver(), 0);
    EXPECT_EQ(driver.LoadForthDriver(), 0);
    driver.FreeDrivers();
}

}  // namespace
}  // namespace kestra::testing
