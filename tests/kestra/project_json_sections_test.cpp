// Sections whose stored form depends on the content: labels with and without their attribute
// word, trailer texts, inline page names with bytes after the name, bitmaps with other header
// sizes, and the checks import makes on option blocks, languages and network folders.
#include <nlohmann/json.hpp>

#include "kestra/project_json_test.h"

using namespace kestra;
using namespace kestra::testing;
using Json = nlohmann::ordered_json;

namespace {

class Sections : public ProjectJsonTest {
  protected:
    Json exported(const ProjectShape& shape) {
        return Json::parse(json::ExportProjectJson(resaved(saved(build(shape)))));
    }
    // Imports the document and checks that it exports to itself; the image.
    std::vector<std::uint8_t> imported(const Json& doc) {
        const std::string text = doc.dump(2) + "\n";
        const auto image = json::ImportProjectJson(text);
        EXPECT_EQ(json::ExportProjectJson(image), text);
        return image;
    }
};

// The first element that has a trailer text.
Json* TextedElement(Json& doc) {
    for (auto& entry : doc["keyedEntries"])
        for (auto& sub : entry["subEntries"])
            for (auto& part : sub["parts"])
                for (auto& element : part["elements"])
                    if (element.contains("text")) return &element;
    return nullptr;
}

}  // namespace

TEST_F(Sections, ACompactLabelledFieldStoresNoAttributeWord) {
    Json doc = exported({.pages = 1, .fieldsPerPage = 1});
    Json& field = doc["pages"][0]["fields"][0];
    field["label"] = "AB";
    field["labelAttribute"] = 0x1234;
    const auto withWord = imported(doc);
    field["fieldClass"] = 2;
    field["mode"] = 1;
    field["subKind"] = 12;
    const auto compact = imported(doc);
    EXPECT_EQ(withWord.size(), compact.size() + 2);
    const std::vector<std::uint8_t> stored = {2, 0x34, 0x12, 'A', 'B'};
    EXPECT_NE(std::search(withWord.begin(), withWord.end(), stored.begin(), stored.end()),
              withWord.end());
    // The label's length byte, then its text: no attribute.
    field.erase("label");
    const auto without = imported(doc);
    EXPECT_EQ(compact.size(), without.size() + 3);
}

TEST_F(Sections, TrailerTextsFollowTheirElementsAndKeepOddBytes) {
    Json doc = exported({.keyed = true, .keyedNamedParts = true});
    Json* element = TextedElement(doc);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ((*element)["text"], "Trailer");
    // The text slot in the data shows as zero; import sets it from the text.
    const std::string data = (*element)["data"];
    EXPECT_EQ(data.substr(2 * 104, 8), "00000000");
    (*element)["text"] = std::string(28, 'x');
    imported(doc);
    (*element)["text"] = std::string(29, 'x');
    EXPECT_EQ(ImportFault(doc.dump()).substr(ImportFault(doc.dump()).find('|')),
              "| is 29 characters long; at most 28 fit here");
    // Stored bytes that are not a plain text are kept as they are.
    (*element)["text"] = {{"length", 200}, {"bytes", std::string(56, 'a')}};
    imported(doc);
    // A text on an element that has no text slot is refused.
    (*element)["type"] = 5;
    EXPECT_NE(ImportFault(doc.dump())
                  .find("only elements of type 143 or 144 with at least 108 "
                        "data bytes have a text"),
              std::string::npos);
}

TEST_F(Sections, InlinePageNamesKeepTheBytesAfterTheirEnd) {
    HGLOBAL project = build({.pages = 1, .fieldsPerPage = 0});
    auto image = saved(project);
    // The first save puts the name inline; bytes after its zero are kept as "nameRest".
    const std::size_t name = 48 + 627;
    image[name + 30] = 0x7F;
    const Json doc = Json::parse(roundTrip(image, false));
    const std::string rest = doc["pages"][0]["nameRest"];
    EXPECT_EQ(rest.size(), 2 * (40 - std::string(doc["pages"][0]["name"]).size()));
    Json longer = doc;
    longer["pages"][0]["nameRest"] = "00";
    EXPECT_NE(ImportFault(longer.dump()).find("the room the name leaves"), std::string::npos);
}

TEST_F(Sections, BitmapsWithAnotherHeaderSize) {
    Json doc = exported({.pages = 1, .fieldsPerPage = 0, .bitmaps = 1});
    Json& dib = doc["bitmaps"][0]["dib"];
    // A 16-byte header of the 12-byte kind: 1 bit per pixel, 2 colours of 3 bytes, 4-byte rows.
    dib["header"] = {{"size", 16},  {"width", 3},    {"height", 2},
                     {"planes", 1}, {"bitCount", 1}, {"extra", "01020304"}};
    dib["palette"] = "AAAA////";
    dib["bits"] = "gAAAAEAAAAA=";
    const auto image = imported(doc);
    const std::vector<std::uint8_t> stored = {16, 0,    0,    0,    3,    0, 2, 0, 1,
                                              0,  1,    0,    1,    2,    3, 4, 0, 0,
                                              0,  0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0x40};
    EXPECT_NE(std::search(image.begin(), image.end(), stored.begin(), stored.end()), image.end());
    dib["header"]["size"] = 40;
    EXPECT_NE(ImportFault(doc.dump()).find("must be at least 12 and not 40"), std::string::npos);
}

TEST_F(Sections, OptionBlocksThatTheStoreWouldNotReadBack) {
    Json doc = exported({.optionLayout = 2});
    ASSERT_TRUE(doc.contains("optionBlock"));
    Json* element = nullptr;
    for (auto& list : doc["optionBlock"]["series"])
        if (!list["elements"].empty()) element = &list["elements"][0];
    if (!element) element = &doc["optionBlock"]["extraList"]["elements"][0];
    const Json kept = *element;
    (*element)["type"] = 12;
    EXPECT_NE(ImportFault(doc.dump()).find("/type | must be 0 to 11"), std::string::npos);
    (*element)["type"] = 7;  // 1098 fixed bytes, more than the data holds
    EXPECT_NE(ImportFault(doc.dump()).find("is too short for an element of type 7"),
              std::string::npos);
    *element = kept;
    doc["optionBlock"]["layout"] = 4;
    EXPECT_EQ(ImportFault(doc.dump()), "/optionBlock/layout | 4 is read as 3; write 3");
    doc["optionBlock"]["layout"] = 3;
    doc["optionBlock"]["check2"] = 0;
    EXPECT_EQ(ImportFault(doc.dump()),
              "/optionBlock | check2 and check4 must both be nonzero, or the block is not read");
}

TEST_F(Sections, LanguagesAndNetworkFoldersMustAgreeWithTheirRecords) {
    Json doc = exported({.languages = 3, .network = true});
    Json sets = doc;
    sets["languages"][2]["set1"].erase(0);
    EXPECT_EQ(ImportFault(sets.dump()),
              "/languages/2/set1 | must have 2 entries, as many as the second language's");
    Json entry0 = doc;
    entry0["languages"][0]["set1"] = Json::array();
    EXPECT_EQ(ImportFault(entry0.dump()), "/languages/0/set1 | is not a member of this object");
    Json noFlag = doc;
    int flags = noFlag["projectRecord"]["nodeA"]["flags"];
    noFlag["projectRecord"]["nodeA"]["flags"] = flags & ~1;
    noFlag["projectRecord"]["nodeA"]["childCount"] = 0;
    EXPECT_EQ(ImportFault(noFlag.dump()),
              "/networkFolderA | needs bit 0 of projectRecord/nodeA/flags");
    Json kid = doc;
    for (auto& child : kid["networkFolderB"])
        if (child.contains("children")) {
            child["flags"] = int(child["flags"]) & ~1;
            child["childCount"] = 0;
            break;
        }
    EXPECT_NE(ImportFault(kid.dump()).find("| needs bit 0 of flags"), std::string::npos);
}

TEST_F(Sections, EveryLanguageHasOnePageTextPerPage) {
    const Json doc = exported({.pages = 2, .fieldsPerPage = 0, .languages = 3});
    // Languages that agree with each other, but not with the pages.
    for (const bool fewer : {true, false}) {
        SCOPED_TRACE(fewer ? "fewer" : "more");
        Json changed = doc;
        for (std::size_t language : {1, 2}) {
            Json& set1 = changed["languages"][language]["set1"];
            if (fewer)
                set1.erase(0);
            else
                set1.push_back(set1[0]);
        }
        EXPECT_EQ(ImportFault(changed.dump()),
                  "/languages/1/set1 | must have 2 entries, one per page");
    }
}

TEST_F(Sections, TheFormatCodeAndPageTextFormFollowTheContent) {
    Json doc = exported({.pages = 2, .fieldsPerPage = 0});
    const auto plain = imported(doc);
    EXPECT_EQ(plain[47], 0x22);
    doc["extensionRecord"]["pageExtensions"] = 1;
    EXPECT_EQ(ImportFault(doc.dump()), "/pages/0/extension1 | is missing");
    for (auto& page : doc["pages"]) page["extension1"] = "abcd";
    const auto rich = imported(doc);
    EXPECT_EQ(rich[47], 0x24);
    // Each page text takes a u32 length instead of a terminating zero (3 bytes more), and each
    // page adds its blob (4 + 2 bytes).
    EXPECT_EQ(rich.size(), plain.size() + 2 * (3 + 6));
    doc["pages"][1]["extension2"] = "";
    EXPECT_EQ(ImportFault(doc.dump()),
              "/pages/1/extension2 | needs pageExtensions and bit 0 of blobFlags in the extension "
              "record");
}

TEST_F(Sections, ExportNamesTheFirstByteItCannotKeep) {
    auto image = resaved(saved(build({.pages = 1})));
    image[48 + 428] = 1;  // the slot of the 20-byte entries, stored as 0 without them
    try {
        json::ExportProjectJson(image);
        ADD_FAILURE() << "a stray slot was accepted";
    } catch (const json::ImageFault& fault) {
        EXPECT_EQ(fault.offset(), 48u + 428u);
        EXPECT_STREQ(fault.what(),
                     "the image is not as the project store saves it: byte 476 "
                     "cannot be kept");
    }
}

TEST_F(Sections, StringIndicesInsideKeyedElementsAreMembers) {
    Json doc = exported({.languages = 2, .keyed = true, .keyedNamedParts = true});
    Json* named = nullptr;
    for (auto& entry : doc["keyedEntries"])
        for (auto& sub : entry["subEntries"])
            for (auto& part : sub["parts"])
                for (auto& element : part["elements"])
                    if (element["type"] == 74 || element["type"] == 81) named = &element;
    ASSERT_NE(named, nullptr);
    ASSERT_TRUE(named->contains("textString"));
    const std::size_t at = (*named)["type"] == 74 ? 111 : 3;
    const std::string data = (*named)["data"];
    EXPECT_EQ(data.substr(2 * at, 4), "0000");
    (*named)["textString"] = 7;
    const auto image = imported(doc);
    (*named)["data"] = data.substr(0, 2 * at) + "0100" + data.substr(2 * at + 4);
    EXPECT_NE(ImportFault(doc.dump()).find("must be zero: the string index is \"textString\""),
              std::string::npos);
    (*named)["data"] = data;
    Json* texted = TextedElement(doc);
    ASSERT_NE(texted, nullptr);
    const std::string slot = (*texted)["data"];
    (*texted)["data"] = slot.substr(0, 2 * 104) + "01" + slot.substr(2 * 104 + 2);
    EXPECT_NE(ImportFault(doc.dump()).find("bytes 104 to 107 must be zero"), std::string::npos);
}
