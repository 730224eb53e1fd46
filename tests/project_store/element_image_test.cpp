// Element images: a tag folder with its names as texts, a network record with its nodes.
#include "project_store/store_test.h"
#include "utilities/folders.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

class ElementImage : public StoreTest {
  protected:
    ProjectBlock& at(HGLOBAL p) { return ProjectAt(p); }

    HGLOBAL saveElement(HGLOBAL project, DWORD kind, const void* element) {
        HGLOBAL image = 0;
        const DWORD length = SaveProjectElement(project, 0, &image, kind, element);
        if (!image) return 0;
        EXPECT_EQ(length, GlobalSize(image));
        HGLOBAL kept = imageOf(bytes(image));
        GlobalFree(image);
        return kept;
    }
};

}  // namespace

TEST_F(ElementImage, ATagFolderCarriesItsNamesAsTextsInTagOrder) {
    HGLOBAL source = build({.tags = true});
    TagFolderRecord folder{&at(source).ext.tagFolder, mem::Data(source)};
    HGLOBAL image = saveElement(source, kTagFolderElement, &folder);
    ASSERT_NE(image, 0u);
    auto b = bytes(image);
    // Header (its element slot stored as 0), three tags, the names of tags 1 and 3 (tag 2 has
    // none).
    ASSERT_EQ(b.size(), 20u + 3 * 45 + 6 + 6);
    EXPECT_EQ(ReadLe16(&b[0]), 3);
    EXPECT_EQ(ReadLe32(&b[16]), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[155]), 12),
              std::string("Tag 0\0Tag 2\0", 12));

    HGLOBAL target = build({.pages = 1});
    TagFolderHeader header{};
    TagFolderRecord destination{&header, mem::Data(target)};
    ASSERT_EQ(GetProjectElement(image, 0, kTagFolderElement, &destination), TRUE);
    auto tags = blocks::RecordsUpTo<TagElement>(header.elements, 3);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(TextOf(mem::Data(target), tags[0].nameId), "Tag 0");
    EXPECT_EQ(tags[1].nameId, 0);
    EXPECT_EQ(TextOf(mem::Data(target), tags[2].nameId), "Tag 2");
    EXPECT_EQ(tags[2].key, 3);
    EXPECT_EQ(
        std::memcmp(tags[1].data,
                    blocks::RecordsUpTo<TagElement>(at(source).ext.tagFolder.elements, 3)[1].data,
                    32),
        0);
    GlobalFree(header.elements);
}

TEST_F(ElementImage, AnEmptyTagFolderIsItsHeader) {
    HGLOBAL p = build({.pages = 1});
    TagFolderHeader empty{};
    empty.nameId = 7;
    TagFolderRecord folder{&empty, mem::Data(p)};
    HGLOBAL image = saveElement(p, kTagFolderElement, &folder);
    ASSERT_EQ(GlobalSize(image), 20u);
    TagFolderHeader loaded{};
    loaded.count = 9;
    TagFolderRecord destination{&loaded, mem::Data(p)};
    EXPECT_EQ(GetProjectElement(image, 0, kTagFolderElement, &destination), TRUE);
    EXPECT_EQ(loaded.count, 0);
    EXPECT_EQ(loaded.nameId, 7);
    EXPECT_EQ(loaded.elements, 0u);
}

TEST_F(ElementImage, TagNamesComeFromTheFoldersOwnProject) {
    HGLOBAL owner = build({.tags = true});
    HGLOBAL other = build({.pages = 5});  // its identifiers name other texts
    TagFolderRecord folder{&at(owner).ext.tagFolder, mem::Data(owner)};
    HGLOBAL image = saveElement(other, kTagFolderElement, &folder);
    ASSERT_NE(image, 0u);
    auto b = bytes(image);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[155]), b.size() - 155),
              std::string("Tag 0\0Tag 2\0", 12));
}

TEST_F(ElementImage, ANetworkRecordCarriesTheChildrenAndGrandchildrenOfItsNode) {
    HGLOBAL source = build({.network = true});
    const auto& record = RecordAt<NetworkRecord>(&at(source).ext);
    HGLOBAL image = saveElement(source, 1, &record);
    ASSERT_EQ(GlobalSize(image), 75u + 3 * 64 + 2 * 64);
    NetworkRecord loaded{};
    ASSERT_EQ(GetProjectElement(image, 0, 1, &loaded), TRUE);
    EXPECT_EQ(std::memcmp(&loaded, &record, offsetof(NetworkRecord, node) + 40), 0);
    EXPECT_EQ(loaded.byte74, record.byte74);
    auto kids = blocks::RecordsUpTo<NetworkNode>(loaded.node.children, 3);
    ASSERT_EQ(kids.size(), 3u);
    EXPECT_EQ(kids[2].nodeKey, 23);
    auto grandchildren = blocks::RecordsUpTo<NetworkNode>(kids[0].children, 2);
    ASSERT_EQ(grandchildren.size(), 2u);
    EXPECT_EQ(grandchildren[1].nodeKey, 32);
    EXPECT_EQ(grandchildren[1].children, 0u);
    EXPECT_EQ(kids[1].children, 0u);
    ExpDeleteNetworkFolder(&loaded.node);

    NetworkRecord alone{};
    alone.word72 = 0x7272;
    HGLOBAL small = saveElement(source, 0, &alone);
    EXPECT_EQ(GlobalSize(small), 75u);
    EXPECT_EQ(ReadLe16(mem::At(small, 72, 2)), 0x7272);
}

TEST_F(ElementImage, DamagedElementImagesChangeNothing) {
    HGLOBAL source = build({.network = true, .tags = true});
    TagFolderRecord folder{&at(source).ext.tagFolder, mem::Data(source)};
    auto tagImage = bytes(saveElement(source, kTagFolderElement, &folder));
    auto netImage = bytes(saveElement(source, 1, &at(source).ext));
    HGLOBAL target = build({.pages = 1});
    const std::uint16_t strings = at(target).record.stringCount;
    for (std::size_t length = 0; length < tagImage.size(); ++length) {
        TagFolderHeader header{};
        header.count = 99;
        TagFolderRecord destination{&header, mem::Data(target)};
        HGLOBAL cut = imageOf(std::vector<std::uint8_t>(
            tagImage.begin(), tagImage.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(GetProjectElement(cut, 0, kTagFolderElement, &destination), FALSE) << length;
        EXPECT_EQ(header.count, 99);
    }
    EXPECT_EQ(at(target).record.stringCount, strings);
    for (std::size_t length = 0; length < netImage.size(); length += 7) {
        NetworkRecord destination{};
        destination.word72 = 0x5555;
        HGLOBAL cut = imageOf(std::vector<std::uint8_t>(
            netImage.begin(), netImage.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(GetProjectElement(cut, 0, 1, &destination), FALSE) << length;
        EXPECT_EQ(destination.word72, 0x5555);
    }
    EXPECT_TRUE(messages.empty());
}
