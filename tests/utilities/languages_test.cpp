#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kestra/project.h"
#include "kestra/resource_section.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"
#include "windows/window_host.h"

using namespace kestra;

namespace {

// A project in memory with pages, a resource section and a language table.
class Languages : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = SetAppFmalloc(&mem::HostAllocate);
        project_.record.pageCount = 2;
        project_.record.pages = mem::HostAllocate(2 * sizeof(PageRecord));
        for (int i = 0; i < 2; ++i) {
            pages()[i].b49 = static_cast<std::uint8_t>(10 + i);
            pages()[i].text = blob("text " + std::to_string(i));
            pages()[i].blob1 = blob("extension " + std::to_string(i));
        }
        project_.ext.resourcesPresent = 1;
        project_.ext.resources = mem::HostAllocate(sizeof(ResourceSection));
        auto& section = RecordAt<ResourceSection>(mem::Data(project_.ext.resources));
        section.records[3] = mem::HostAllocate(sizeof(ResourceRecord));
        auto& resource = RecordAt<ResourceRecord>(mem::Data(section.records[3]));
        resource.value10 = 0x1234;
        resource.value14 = 0x5678;
        resource.blobA = blob("resource A");
        resource.blobB = blob("resource B");
        project_.ext.languageCount = 3;
        project_.ext.set1Count = 2;
        project_.ext.set2Count = 9;
        project_.ext.languages = mem::HostAllocate(3 * sizeof(LanguageEntry));
    }
    void TearDown() override { SetAppFmalloc(previous_); }

    static mem::Ref blob(const std::string& text) {
        mem::Ref ref = mem::HostAllocate(static_cast<std::uint32_t>(4 + text.size()));
        WriteLe32(mem::Data(ref), static_cast<std::uint32_t>(text.size()));
        std::memcpy(mem::Data(ref) + 4, text.data(), text.size());
        return ref;
    }
    std::span<PageRecord> pages() {
        return blocks::RecordsUpTo<PageRecord>(project_.record.pages, 2);
    }
    LanguageEntry& language0() {
        return blocks::RecordsUpTo<LanguageEntry>(project_.ext.languages, 1)[0];
    }
    ResourceRecord& resource() {
        auto& section = RecordAt<ResourceSection>(mem::Data(project_.ext.resources));
        return RecordAt<ResourceRecord>(mem::Data(section.records[3]));
    }

    ProjectBlock project_{};
    APPFMALLOC previous_ = nullptr;
};

}  // namespace

TEST_F(Languages, DefaultTextSetsShareThePagesAndResourcesBlobs) {
    ASSERT_TRUE(DefaultToMultiLang(&project_));
    auto set1 = blocks::RecordsUpTo<TextEntry>(language0().textSet1, 2);
    ASSERT_EQ(set1.size(), 2u);
    EXPECT_EQ(mem::Size(language0().textSet1), 40u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(set1[i].value0.get(), 10u + i);
        EXPECT_EQ(set1[i].blobA.get(), pages()[i].text.get());
        EXPECT_EQ(set1[i].blobB.get(), pages()[i].blob1.get());
    }
    auto set2 = blocks::RecordsUpTo<TextEntry>(language0().textSet2, 9);
    ASSERT_EQ(set2.size(), 9u);
    EXPECT_EQ(set2[3].value0.get(), 0x56781234u);
    EXPECT_EQ(set2[3].blobA.get(), resource().blobA.get());
    EXPECT_EQ(set2[0].blobA.get(), 0u);  // an empty slot has no blobs
}

TEST_F(Languages, FoldingBackRestoresTheDefaultLanguageAfterAnotherWasShown) {
    ASSERT_TRUE(DefaultToMultiLang(&project_));
    const auto text0 = pages()[0].text.get();
    const auto blob1 = pages()[1].blob1.get();
    const auto resourceA = resource().blobA.get();
    // Showing another language puts its texts into the pages and resources.
    pages()[0].text = blob("autre");
    pages()[0].b49 = 99;
    pages()[1].blob1 = 0;
    resource().value10 = 1;
    resource().blobA = 0;
    ASSERT_TRUE(MultiLangToDefault(&project_));
    EXPECT_EQ(pages()[0].text.get(), text0);
    EXPECT_EQ(pages()[0].b49, 10);
    EXPECT_EQ(pages()[1].blob1.get(), blob1);
    EXPECT_EQ(resource().value10.get(), 0x1234);
    EXPECT_EQ(resource().value14.get(), 0x5678);
    EXPECT_EQ(resource().blobA.get(), resourceA);
}

TEST_F(Languages, ASingleLanguageProjectHasNothingToConvert) {
    project_.ext.languageCount = 1;
    EXPECT_TRUE(DefaultToMultiLang(&project_));
    EXPECT_TRUE(MultiLangToDefault(&project_));
    EXPECT_EQ(language0().textSet1.get(), 0u);
    project_.ext.languageCount = 2;
    project_.ext.languages = 0;
    EXPECT_TRUE(DefaultToMultiLang(&project_));
    EXPECT_TRUE(MultiLangToDefault(&project_));
}

TEST_F(Languages, MissingSetsAndAllocatorsAreFailures) {
    EXPECT_FALSE(MultiLangToDefault(&project_));  // entry 0 has no sets yet
    SetAppFmalloc(nullptr);
    EXPECT_FALSE(DefaultToMultiLang(&project_));
    SetAppFmalloc(&mem::HostAllocate);
    ASSERT_TRUE(DefaultToMultiLang(&project_));
    language0().textSet2 = 0;
    EXPECT_FALSE(MultiLangToDefault(&project_));
}

TEST_F(Languages, TheLanguageListShowsOneLinePerLanguageAndForgetsNamesThatAreGone) {
    kestra::platform::HeadlessHost host;
    auto entries = blocks::RecordsUpTo<LanguageEntry>(project_.ext.languages, 3);
    StrTabAddText("title", &project_);  // identifier 0 stands for no name
    entries[0].nameId = StrTabAddText("English", &project_);
    entries[1].nameId = 0;
    entries[2].nameId = 0x7777;  // not in the string table
    HWND list =
        CreateWindow("listbox", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(InitLangListBox(0, list, &project_, nullptr));
    std::vector<std::string> lines;
    for (int i = 0; i < SendMessage(list, LB_GETCOUNT, 0, 0); ++i) {
        char text[64] = "";
        SendMessage(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        lines.push_back(text);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"English", "", ""}));
    EXPECT_EQ(entries[2].nameId, 0) << "a name that cannot be fetched is dropped";
    EXPECT_NE(entries[0].nameId, 0);

    project_.ext.languageCount = 200;  // more than the table holds
    SendMessage(list, LB_RESETCONTENT, 0, 0);
    EXPECT_TRUE(InitLangListBox(0, list, &project_, nullptr));
    EXPECT_EQ(SendMessage(list, LB_GETCOUNT, 0, 0), 3);
    EXPECT_FALSE(InitLangListBox(0, list, nullptr, nullptr));
    DestroyWindow(list);
    StrTabDiscard(&project_);
}
