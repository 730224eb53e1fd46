// The store as a module: it refuses to attach while no host allocator is registered.
#include "platform/module.h"
#include "project_store/store_test.h"

using namespace kestra::testing;

TEST_F(StoreTest, TheStoreAttachesOnlyWithAHostAllocator) {
    SetAppFmalloc(nullptr);
    EXPECT_EQ(LoadLibrary("K32PRJ200"), nullptr);
    SetAppFmalloc(&kestra::mem::HostAllocate);
    HMODULE store = LoadLibrary("K32PRJ200");
    ASSERT_NE(store, nullptr);
    for (const char* name :
         {"GetProject", "GetProjectExt", "SaveProject", "GetProjectElement", "SaveProjectElement"})
        EXPECT_NE(GetProcAddress(store, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(store, "LoadProjectImage"), nullptr);
    FreeLibrary(store);
}
