// The custom control classes as a process that loads the utilities library at run time sees
// them. This program does not link the library.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/module.h"
#include "support/temp_folder.h"
#include "windows/window.h"

namespace {

LRESULT ownMeter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(window, message, wParam, lParam);
}

WNDPROC classProc(const char* name) {
    WNDCLASS wc;
    return GetClassInfo(nullptr, name, &wc) ? wc.lpfnWndProc : nullptr;
}

const char* const kLibraryClasses[] = {"CPSPIN_KEY_FOC_32", "DLGNOALPHAEDIT_32", "CHECKBOXONLY_32",
                                       "XBUTTBMP_32"};

TEST(ClassRegistration, LoadingRegistersWhatIsMissingAndUnloadingTakesBackOnlyThat) {
    HMODULE program = GetModuleHandle(nullptr);
    WNDCLASS meter{};
    meter.lpfnWndProc = ownMeter;
    meter.hInstance = program;
    meter.lpszClassName = "xMeter_32";
    ASSERT_NE(RegisterClass(&meter), 0);

    HMODULE library = LoadLibrary("K32FABUTIL1");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(classProc("xMeter_32"), ownMeter) << "a class of that name already existed";
    EXPECT_EQ(reinterpret_cast<void*>(classProc("CPSPIN_KEY_FOC_32")),
              GetProcAddress(library, "SpinControlProc"));
    EXPECT_EQ(reinterpret_cast<void*>(classProc("XBUTTBMP_32")),
              GetProcAddress(library, "TarvelButtonProc"));

    EXPECT_EQ(LoadLibrary("K32FABUTIL1"), library);
    FreeLibrary(library);
    EXPECT_NE(classProc("CPSPIN_KEY_FOC_32"), nullptr) << "still loaded once";

    FreeLibrary(library);
    for (const char* name : kLibraryClasses) EXPECT_EQ(classProc(name), nullptr) << name;
    EXPECT_EQ(classProc("xMeter_32"), ownMeter) << "not the library's to take back";

    library = LoadLibrary("K32FABUTIL1");
    ASSERT_NE(library, nullptr);
    for (const char* name : kLibraryClasses) EXPECT_NE(classProc(name), nullptr) << name;
    FreeLibrary(library);
    EXPECT_TRUE(UnregisterClass("xMeter_32", program));
}

TEST(ClassRegistration, ASecondCopyOfTheLibraryRegistersNothingAgain) {
    kestra::testing::TempFolder folder;
    std::string copy = folder.file("K32FABUTIL1.so");
    std::filesystem::copy_file(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), "K32FABUTIL1.so"), copy);

    HMODULE first = LoadLibrary("K32FABUTIL1");
    ASSERT_NE(first, nullptr);
    WNDPROC spin = classProc("CPSPIN_KEY_FOC_32");
    HMODULE second = LoadLibrary(copy.c_str());
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, first);
    EXPECT_NE(GetProcAddress(second, "SpinControlProc"), reinterpret_cast<void*>(spin));
    EXPECT_EQ(classProc("CPSPIN_KEY_FOC_32"), spin);
    FreeLibrary(second);
    EXPECT_EQ(classProc("CPSPIN_KEY_FOC_32"), spin) << "the copy registered none of them";
    FreeLibrary(first);
    EXPECT_EQ(classProc("CPSPIN_KEY_FOC_32"), nullptr);
}

}  // namespace
