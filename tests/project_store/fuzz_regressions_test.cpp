// Every input a fuzz target found a fault with, run again the way the target runs it. A file
// named "image-..." is a project image input, "element-..." an element image input; the first
// byte chooses the options as in the targets.
#include <filesystem>

#include "platform/files.h"
#include "project_store/store_test.h"
#include "string_table/string_table.h"
#include "utilities/folders.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

const char* const kOptions[] = {nullptr, "fixrmenufield", "501", "501 fixrmenufield"};

class FuzzRegression : public StoreTest {
  protected:
    void runImage(const std::vector<std::uint8_t>& input) {
        HGLOBAL project = load(imageOf({input.begin() + 1, input.end()}), kOptions[input[0] & 3]);
        if (!project) return;
        HGLOBAL saved = save(project);
        ASSERT_NE(saved, 0u);
        EXPECT_NE(load(saved), 0u);
    }
    void runElement(const std::vector<std::uint8_t>& input) {
        HGLOBAL image = imageOf({input.begin() + 1, input.end()});
        HGLOBAL project = keep(GlobalAlloc(GHND, kProjectBlockSize));
        HGLOBAL saved = 0;
        if (input[0] & 1) {
            TagFolderHeader header{};
            TagFolderRecord folder{&header, mem::Data(project)};
            if (!GetProjectElement(image, 0, kTagFolderElement, &folder)) return;
            EXPECT_NE(SaveProjectElement(project, 0, &saved, kTagFolderElement, &folder), 0u);
            GlobalFree(header.elements);
        } else {
            NetworkRecord record{};
            if (!GetProjectElement(image, 0, 1, &record)) return;
            EXPECT_NE(SaveProjectElement(project, 0, &saved, 1, &record), 0u);
            ExpDeleteNetworkFolder(&record.node);
        }
        GlobalFree(saved);
    }
};

}  // namespace

TEST_F(FuzzRegression, EveryKeptInputRunsCleanly) {
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTRA_FUZZ_REGRESSIONS)) {
        auto contents = platform::ReadWholeFile(entry.path().string());
        ASSERT_TRUE(contents && !contents->empty()) << entry.path();
        std::vector<std::uint8_t> input(contents->begin(), contents->end());
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        if (name.starts_with("image-"))
            runImage(input);
        else
            runElement(input);
        ++inputs;
    }
    EXPECT_GT(inputs, 0u);
}
