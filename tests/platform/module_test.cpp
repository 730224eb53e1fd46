#include "platform/module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class TestModule : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibrary("KTestModule");
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { FreeLibrary(module_); }
    HMODULE module_ = nullptr;
};

using IntFn = int (*)();

}  // namespace

TEST_F(TestModule, LoadsFromTheProgramFolderWithOrWithoutExtension) {
    HMODULE again = LoadLibrary("KTestModule.so");
    EXPECT_EQ(again, module_);
    FreeLibrary(again);
    EXPECT_EQ(GetModuleHandle("KTestModule"), module_);
    EXPECT_EQ(LoadLibrary("NoSuchModule"), nullptr);
    EXPECT_EQ(GetModuleHandle("NoSuchModule"), nullptr);
}

TEST_F(TestModule, BindsExportsByNameAndByOrdinal) {
    auto byName = reinterpret_cast<IntFn>(GetProcAddress(module_, "TestModuleAnswer"));
    auto byOrdinal = reinterpret_cast<IntFn>(GetProcAddress(module_, MAKEINTRESOURCE(7)));
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName, byOrdinal);
    EXPECT_EQ(byName(), 42);
    EXPECT_NE(GetProcAddress(module_, MAKEINTRESOURCE(9)), nullptr);
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCE(8)), nullptr);  // unassigned ordinal
    EXPECT_NE(GetProcAddress(module_, "TestModuleUnnumbered"), nullptr);
    // Only what the export list names is exported.
    EXPECT_EQ(GetProcAddress(module_, "TestModuleHidden"), nullptr);
    // Symbols of the modules it depends on do not count as its exports.
    EXPECT_EQ(GetProcAddress(module_, "GlobalAlloc"), nullptr);
}

TEST_F(TestModule, StringResourcesAreCutToTheBuffer) {
    char buffer[64];
    EXPECT_EQ(LoadString(module_, 100, buffer, sizeof buffer), 10);
    EXPECT_STREQ(buffer, "first item");
    EXPECT_EQ(LoadString(module_, 200, buffer, 7), 6);
    EXPECT_STREQ(buffer, "a rath");
    EXPECT_EQ(LoadString(module_, 999, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(LoadString(module_, 100, buffer, 0), 0);
    // The program has no string table of its own.
    EXPECT_EQ(LoadString(nullptr, 100, buffer, sizeof buffer), 0);
}

TEST_F(TestModule, KnowsItsOwnHandleAndFileName) {
    auto self = reinterpret_cast<HMODULE (*)()>(GetProcAddress(module_, "TestModuleSelf"));
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self(), module_);
    char path[512];
    DWORD n = GetModuleFileName(module_, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_TRUE(std::string(path).ends_with("/KTestModule.so")) << path;
    char small[8];
    EXPECT_EQ(GetModuleFileName(module_, small, sizeof small), 7u);
    EXPECT_EQ(std::strlen(small), 7u);
    char program[512];
    ASSERT_GT(GetModuleFileName(nullptr, program, sizeof program), 0u);
    EXPECT_TRUE(std::string(program).ends_with("/platform_tests")) << program;
    EXPECT_EQ(KESTRA_THIS_MODULE(), GetModuleHandle(nullptr));
}

TEST_F(TestModule, ResourcesLeaveWithTheModule) {
    HMODULE extra = LoadLibrary("KTestModule");
    FreeLibrary(extra);
    char buffer[16];
    EXPECT_GT(LoadString(module_, 101, buffer, sizeof buffer), 0);  // still loaded once
}

TEST(ModuleEntry, CalledOnFirstLoadAndLastUnloadAndCanRefuseTheLoad) {
    HMODULE first = LoadLibrary("KTestModule");
    ASSERT_NE(first, nullptr);
    auto calls =
        reinterpret_cast<void (*)(int*, int*)>(GetProcAddress(first, "TestModuleEntryCalls"));
    auto refuse = reinterpret_cast<void (*)(bool)>(GetProcAddress(first, "TestModuleRefuseAttach"));
    int attach0, detach0, attach, detach;
    calls(&attach0, &detach0);
    HMODULE second = LoadLibrary("KTestModule");
    calls(&attach, &detach);
    EXPECT_EQ(attach, attach0);  // not called again while loaded
    FreeLibrary(second);
    calls(&attach, &detach);
    EXPECT_EQ(detach, detach0);  // still loaded once

    // A reference of the dynamic loader's own keeps the module mapped, so its counters can be
    // read after LoadLibrary's last reference is gone.
    void* keep = dlopen(kestra::platform::ModulePath(first).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(keep, nullptr);
    FreeLibrary(first);
    calls(&attach, &detach);
    EXPECT_EQ(detach, detach0 + 1);

    refuse(true);
    EXPECT_EQ(LoadLibrary("KTestModule"), nullptr);
    calls(&attach, &detach);
    EXPECT_EQ(attach, attach0 + 1);
    refuse(false);
    HMODULE again = LoadLibrary("KTestModule");
    EXPECT_NE(again, nullptr);
    FreeLibrary(again);
    dlclose(keep);
}
