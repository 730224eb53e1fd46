#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/module.h"
#include "utilities/k32fabutil1.h"

namespace {

// The fixed ordinals of the utilities library, as the project store and the PLC driver bind
// them.
const std::map<int, std::string> kExpected = {
    {100, "ComPCMsgProc"},
    {102, "StartPCSetupDlg"},
    {103, "SpinControlProc"},
    {104, "SetComPort"},
    {105, "CheckPortSelection"},
    {106, "WriteIniCommParams"},
    {107, "LoadIniCommParams"},
    {108, "StartPasswordDlg"},
    {109, "PasswordProc"},
    {110, "CheckBoxOnlyProc"},
    {111, "DlgNoAlphaEditProc"},
    {112, "GetIniRangeNumbers"},
    {113, "FindFile"},
    {114, "FileFindInterrupt"},
    {115, "CenterDialogBox"},
    {116, "GetHelpFileName"},
    {117, "FindFirst"},
    {118, "FindNext"},
    {119, "TarvelButtonProc"},
    {120, "GetIniFileName"},
    {121, "DecodeLibVersion"},
    {140, "XORMeterWndFn"},
    {141, "StaticBmpFrameProc"},
    {144, "SetAppFmalloc"},
    {145, "GetAppFmalloc"},
    {150, "MatrixEdProc"},
    {151, "StartMatrixEd"},
    {152, "ExpDuplicateFolder"},
    {153, "ExpDeleteFolder"},
    {154, "ExpGetValueFromFolder"},
    {155, "ExpPlaceValueInFolder"},
    {156, "ExpValidateFolder"},
    {157, "ValidateParSets"},
    {160, "ExpRegisterNetNodeData"},
    {161, "ExpGetNetNodeData"},
    {162, "ExpDeleteNetNodeData"},
    {163, "ExpDuplicateNetworkFolder"},
    {164, "ExpDeleteNetworkFolder"},
    {170, "ExecCommParameters"},
    {180, "GetFarPtrFromHuge"},
    {181, "ChangeFarPtrBase"},
    {182, "FreeOurFarPtr"},
    {190, "DIBNumColors"},
    {191, "PaletteSize"},
    {192, "DIBHeight"},
    {193, "DIBWidth"},
    {194, "FindDIBBits"},
    {195, "CreateDIB"},
    {200, "SetCBStrings"},
    {201, "GetCBSelectionData"},
    {202, "SelectCBItem"},
    {203, "CheckCBStrings"},
    {204, "GetCBStringForSelectionData"},
    {205, "ClearEditBox"},
    {206, "SetLBStrings"},
    {207, "GetLBSelectionData"},
    {208, "GetLBStringForSelectionData"},
    {209, "SelectLBItem"},
    {210, "XDialogFold"},
    {215, "HierDraw_DrawTerm"},
    {216, "HierDraw_DrawCloseAll"},
    {217, "HierDraw_OnMeasureItem"},
    {218, "HierDraw_DrawSetTextHeight"},
    {219, "HierDraw_DrawInit"},
    {220, "HierDraw_OnDrawItem"},
    {221, "HierDraw_IsOpened"},
    {222, "HierDraw_OpenItem"},
    {223, "HierDraw_CloseItem"},
    {224, "HierDraw_ShowKids"},
    {230, "DeleteTagFolder"},
    {231, "AddTagElement"},
    {232, "DeleteTagElement"},
    {233, "GetTagElement"},
    {234, "GetBasedTagElement"},
    {235, "ScanForExistingTag"},
    {236, "DuplicateTagFolder"},
    {240, "ExecTagSelDlg"},
    {241, "TagSelProc"},
    {242, "PreInitTagList"},
    {243, "TagActionItem"},
    {244, "InitTagListBox"},
    {245, "TagListDrawItem"},
    {246, "DefaultToMultiLang"},
    {247, "MultiLangToDefault"},
    {252, "GetNextToken"},
    {254, "InitLangListBox"},
    {255, "LogFont32to16"},
    {256, "LogFont16to32"},
};

class Ordinals : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibrary("K32FABUTIL1");
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { FreeLibrary(module_); }
    HMODULE module_ = nullptr;
};

}  // namespace

TEST_F(Ordinals, TheOrdinalTableIsExactlyTheFixedListWithoutDuplicates) {
    std::map<int, std::string> table;
    std::set<std::string> names;
    kestra::platform::ForEachResourceTable(
        module_, kestra::platform::ResourceKind::Ordinals, [&](const auto& t) {
            const auto* exports = static_cast<const kestra::platform::OrdinalExport*>(t.table);
            for (std::size_t i = 0; i < t.count; ++i) {
                EXPECT_TRUE(table.emplace(exports[i].ordinal, exports[i].name).second)
                    << "ordinal " << exports[i].ordinal << " used twice";
                EXPECT_TRUE(names.insert(exports[i].name).second)
                    << exports[i].name << " has two ordinals";
            }
            return false;
        });
    EXPECT_EQ(table, kExpected);
}

TEST_F(Ordinals, EveryExportBindsByNameAndByItsOrdinalToTheSameFunction) {
    for (const auto& [ordinal, name] : kExpected) {
        void* byName = GetProcAddress(module_, name.c_str());
        void* byOrdinal = GetProcAddress(module_, MAKEINTRESOURCE(ordinal));
        EXPECT_EQ(byName, byOrdinal) << name;
        EXPECT_NE(byName, nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(module_, "GetNextToken"), reinterpret_cast<void*>(&GetNextToken));
    for (int unassigned : {101, 122, 139, 142, 146, 149, 257})
        EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCE(unassigned)), nullptr) << unassigned;
}
