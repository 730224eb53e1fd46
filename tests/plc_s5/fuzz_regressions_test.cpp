// Every input the image fuzz target found a fault with, run again the way the target runs it:
// loaded as it is and again with its checksums made to match, saved when it loads, released,
// and nothing left allocated.
#include <gtest/gtest.h>

#include <filesystem>
#include <variant>
#include <vector>

#include "platform/files.h"
#include "platform/memory.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/type1_image.h"
#include "tests/plc_s5/s5_release.h"
#include "utilities/services.h"

using namespace kestra;

namespace {

void loadSaveAndRelease(std::vector<std::byte>& image) {
    auto loaded = s5::LoadType1Image(image);
    const HGLOBAL* project = std::get_if<HGLOBAL>(&loaded);
    if (!project) return;
    HGLOBAL saved = 0;
    if (SaveProject(*project, 0, &saved)) GlobalFree(saved);
    s5::testing::ReleaseProject(*project);
}

}  // namespace

TEST(Type1FuzzRegression, EveryKeptInputLoadsOrIsRefusedWithoutLeaks) {
    SetAppFmalloc(&mem::HostAllocate);
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTRA_S5_FUZZ_REGRESSIONS)) {
        SCOPED_TRACE(entry.path().filename().string());
        auto contents = platform::ReadWholeFile(entry.path().string());
        ASSERT_TRUE(contents);
        std::vector<std::byte> image(
            reinterpret_cast<const std::byte*>(contents->data()),
            reinterpret_cast<const std::byte*>(contents->data()) + contents->size());
        const std::size_t global = mem::LiveBlocks(mem::Kind::Global);
        const std::size_t host = mem::LiveBlocks(mem::Kind::Host);
        loadSaveAndRelease(image);
        if (s5::WriteChecksums(image)) loadSaveAndRelease(image);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), global);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), host);
        ++inputs;
    }
    EXPECT_GE(inputs, 1u);
}
