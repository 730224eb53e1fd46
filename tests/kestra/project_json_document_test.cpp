// Documents that import refuses, each with the JSON pointer of its first fault and a message in
// a user's words; images that export refuses; and the image a hand-written document gives.
#include <nlohmann/json.hpp>

#include "kestra/project_json_test.h"

using namespace kestra;
using namespace kestra::testing;
using Json = nlohmann::ordered_json;

namespace {

class DocumentFaults : public ProjectJsonTest {
  protected:
    void SetUp() override {
        ProjectJsonTest::SetUp();
        image = resaved(saved(build({.pages = 1,
                                     .fieldsPerPage = 2,
                                     .bitmaps = 1,
                                     .recordTables = true,
                                     .keyed = true,
                                     .closing = true})));
        document = Json::parse(json::ExportProjectJson(image));
    }
    // The fault of importing the document after `change`.
    template <typename Change>
    std::string faultAfter(Change change) {
        Json copy = document;
        change(copy);
        return ImportFault(copy.dump());
    }

    std::vector<std::uint8_t> image;
    Json document;
};

// Every string index (a member whose name ends in "String", or "textString1" to 9) above
// `last` becomes `last`.
void LastStringForLaterOnes(Json& value, int last) {
    if (value.is_array())
        for (Json& element : value) LastStringForLaterOnes(element, last);
    if (!value.is_object()) return;
    for (auto& [name, member] : value.items()) {
        const bool index = name.ends_with("String") || name.starts_with("textString");
        if (index && member.is_number() && member.get<int>() > last)
            member = last;
        else
            LastStringForLaterOnes(member, last);
    }
}

}  // namespace

TEST_F(DocumentFaults, TextsThatAreNotDocumentsOrNotProjects) {
    EXPECT_EQ(ImportFault("{\"version\": 1,"),
              " | the document is not valid JSON: parse error at line 1, column 15: syntax error "
              "while parsing object key - unexpected end of input; expected string literal");
    EXPECT_EQ(ImportFault("[]"), " | the document must be a JSON object");
    EXPECT_EQ(ImportFault("{\"version\": 1e999}"),
              " | the document is not valid JSON: number overflow parsing '1e999'");
    EXPECT_EQ(ImportFault("{}"),
              "/version | is missing: a project document starts with its version");
    EXPECT_EQ(ImportFault("{\"version\": \"1\"}"),
              "/version | must be a whole number (this program writes 1)");
    EXPECT_EQ(ImportFault("{\"version\": 2}"),
              "/version | is 2, newer than this program reads (1); use a newer program");
    EXPECT_EQ(ImportFault("{\"version\": 1, \"version\": 1}"),
              "/version | the member \"version\" appears twice");
    EXPECT_EQ(ImportFault("{\"version\": 1, \"pages\": [{}, {\"a\": 1, \"a~/\": 2, \"a~/\": 3}]}"),
              "/pages/1/a~0~1 | the member \"a~/\" appears twice");
}

TEST_F(DocumentFaults, MembersOfTheWrongTypeRangeOrName) {
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["titleString"] = "x"; }),
              "/projectRecord/titleString | must be a whole number from 0 to 65535, not a text");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["settings2"] = 256; }),
              "/projectRecord/settings2 | must be a whole number from 0 to 255");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["settings2"] = -1; }),
              "/projectRecord/settings2 | must be a whole number from 0 to 255");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["plcType"] = 1.5; }),
              "/projectRecord/plcType | must be a whole number from 0 to 65535, not a number");
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"][0]["fields"][1]["list1Numeric"] = 70000; }),
              "/pages/0/fields/1/list1Numeric | must be a whole number from 0 to 65535");
    // A count that the content gives is not a member.
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"][0]["fields"][1]["list1Count"] = 0; }),
              "/pages/0/fields/1/list1Count | is not a member of this object");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"].erase("plcType"); }),
              "/projectRecord/plcType | is missing");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["colour"] = 1; }),
              "/projectRecord/colour | is not a member of this object");
    EXPECT_EQ(faultAfter([](Json& d) { d["extensionRecord"]["nodeB"]["extra"] = 1; }),
              "/extensionRecord/nodeB/extra | is not a member of this object");
    EXPECT_EQ(faultAfter([](Json& d) { d["colour"] = 1; }),
              "/colour | is not a member of this object");
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"][0] = 7; }),
              "/pages/0 | must be an object, not a number");
    EXPECT_EQ(faultAfter([](Json& d) { d["strings"] = Json::object(); }),
              "/strings | must be an array");
}

TEST_F(DocumentFaults, TextsAndBytesThatDoNotFit) {
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"][0]["name"] = std::string(41, 'n'); }),
              "/pages/0/name | is 41 characters long; at most 40 fit here");
    EXPECT_EQ(
        faultAfter([](Json& d) { d["pages"][0]["fields"][0]["label"] = std::string(256, 'l'); }),
        "/pages/0/fields/0/label | is 256 characters long; at most 255 fit here");
    EXPECT_EQ(faultAfter([](Json& d) { d["textBlock1"] = std::string(255, 't'); }),
              "/textBlock1 | is 255 characters long; at most 254 fit here");
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"][0]["name"] = "\xce\xa9"; }),
              "/pages/0/name | character 1 (U+03A9) has no place in the project's character set "
              "(Windows-1252)");
    EXPECT_EQ(faultAfter([](Json& d) { d["strings"][0] = std::string("a\0b", 3); }),
              "/strings/0 | cannot hold the character U+0000 here");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["bytes6"] = "zz"; }),
              "/projectRecord/bytes6 | must be hex: pairs of the digits 0-9 and a-f");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["bytes6"] = "00"; }),
              "/projectRecord/bytes6 | must hold exactly 7 bytes (14 hex digits)");
    EXPECT_EQ(faultAfter([](Json& d) { d["table264"] = "00"; }),
              "/table264 | must hold exactly 264 bytes (528 hex digits)");
    EXPECT_EQ(faultAfter([](Json& d) { d["bitmaps"][0]["dib"]["bits"] = "A"; }),
              "/bitmaps/0/dib/bits | must be base64 (A-Z, a-z, 0-9, + and /, padded with =)");
    EXPECT_EQ(faultAfter([](Json& d) { d["bitmaps"][0]["dib"]["bits"] = "AAAA"; }),
              "/bitmaps/0/dib/bits | holds 3 bytes; the header calls for 32");
    EXPECT_EQ(faultAfter([](Json& d) { d["bitmaps"][0]["dib"]["palette"] = ""; }),
              "/bitmaps/0/dib/palette | holds 0 bytes; the header calls for 1024");
}

TEST_F(DocumentFaults, CountsThatOverflowOrContradict) {
    EXPECT_EQ(faultAfter([](Json& d) {
                  d["entries20"] = Json::array();
                  for (int i = 0; i < 256; ++i) d["entries20"].push_back(std::string(40, '0'));
              }),
              "/entries20 | holds 256 entries; at most 255 fit in the project");
    EXPECT_EQ(faultAfter([](Json& d) { d["entries20"] = Json::array(); }),
              "/entries20 | is empty; leave the member out instead");
    EXPECT_EQ(faultAfter([](Json& d) { d["pages"] = Json::array(); }),
              "/pages | must hold at least one page");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["pageCount"] = 2; }),
              "/projectRecord | pageCount may only be given as 0");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["keyedCapacity"] = 1; }),
              "/keyedEntries/1 | is beyond the keyedCapacity of the project record (1)");
    EXPECT_EQ(faultAfter([](Json& d) { d["projectRecord"]["block108Present"] = 0; }),
              "/block108 | needs a nonzero block108Present in the project record");
    EXPECT_EQ(faultAfter([](Json& d) { d.erase("block108"); }),
              "/block108 | is missing, while block108Present is nonzero");
    EXPECT_EQ(faultAfter([](Json& d) {
                  d["groups"] = Json::array({Json::object()});
                  d["projectRecord"].erase("groupCount");
              }),
              "/groups | cannot be stored together with listEntries");
    EXPECT_EQ(faultAfter([](Json& d) {
                  d.erase("bitmaps");
                  d["extensionRecord"]["shapeCount"] = 2;
              }),
              "/shapes | are stored only with at least one bitmap");
    EXPECT_EQ(faultAfter([](Json& d) { d["extensionRecord"]["languageCount"] = 2; }),
              "/extensionRecord | languageCount above 1 needs a languages member");
    EXPECT_EQ(
        faultAfter([](Json& d) { d["keyedEntries"][0]["subEntries"][0]["parts"][0]["slot"] = 9; }),
        "/keyedEntries/0/subEntries/0/parts/0/slot | must be 1 to 7, each slot once, in "
        "rising order");
}

TEST_F(DocumentFaults, ImagesThatAreNotAsTheStoreSavesThem) {
    // Every truncation is refused with a fault, never read past the end.
    for (std::size_t size = 0; size < image.size(); size += 7) {
        SCOPED_TRACE(size);
        EXPECT_THROW(json::ExportProjectJson(std::span(image).first(size)), json::ImageFault);
    }
    auto lying = image;
    lying[48 + 573] = 0xFF;  // more strings than the pool holds
    EXPECT_THROW(json::ExportProjectJson(lying), json::ImageFault);
    auto old = image;
    old[47] = 0x20;
    try {
        json::ExportProjectJson(old);
        ADD_FAILURE() << "format 0x20 accepted";
    } catch (const json::ImageFault& fault) {
        EXPECT_STREQ(fault.what(),
                     "format code 0x20 is not one the project store writes (0x22, 0x24, 0x25)");
        EXPECT_EQ(fault.offset(), 47u);
    }
    auto gap = image;
    gap[10] = 1;  // the header's zero bytes
    try {
        json::ExportProjectJson(gap);
        ADD_FAILURE() << "nonzero header byte accepted";
    } catch (const json::ImageFault& fault) {
        EXPECT_EQ(fault.offset(), 10u);
    }
    auto longer = image;
    longer.push_back(0);
    EXPECT_THROW(json::ExportProjectJson(longer), json::ImageFault);
}

TEST_F(ProjectJsonTest, AHandWrittenDocumentGivesTheImageTheTablesDescribe) {
    // A smallest project: one page with a field and its label, two strings, no keyed table.
    Json doc = Json::parse(
        json::ExportProjectJson(resaved(saved(build({.pages = 1, .fieldsPerPage = 1})))));
    doc["strings"] = Json::array({"Title", "\xe2\x82\xac uro"});  // U+20AC is byte 0x80
    LastStringForLaterOnes(doc, 1);  // an index beyond the pool is refused
    doc["pages"][0]["name"] = "Start";
    doc["pages"][0]["text"] = "hi";
    doc.erase("keyedEntries");
    doc["projectRecord"]["keyedCapacity"] = 3;
    const auto image = json::ImportProjectJson(doc.dump());
    ASSERT_GE(image.size(), 48u + 627u);
    EXPECT_EQ(image[0], 44);
    EXPECT_EQ(image[44], 1);
    EXPECT_EQ(image[45] | image[46] << 8, 48);
    EXPECT_EQ(image[47], 0x22);
    const std::size_t record = 48;
    EXPECT_EQ(image[record + 470] | image[record + 471] << 8, 1);  // pages
    EXPECT_EQ(image[record + 573] | image[record + 574] << 8, 2);  // strings
    // The page: its record with the inline name, then the short-form text.
    const std::size_t page = record + 627;
    EXPECT_EQ(std::string(image.begin() + page, image.begin() + page + 6),
              std::string("Start\0", 6));
    EXPECT_EQ(image[page + 50] | image[page + 51] << 8, 1);  // one field
    EXPECT_EQ(std::string(image.begin() + page + 76, image.begin() + page + 79),
              std::string("hi\0", 3));
    // The pool and the empty keyed table: tag, no entries, three zero sizes.
    const std::vector<std::uint8_t> tail = {'T', 'i',  't',  'l', 'e', 0, 0x80, ' ', 'u', 'r', 'o',
                                            0,   0x4B, 0x4C, 0,   0,   0, 0,    0,   0,   0,   0};
    const auto at = std::search(image.begin(), image.end(), tail.begin(), tail.end());
    EXPECT_NE(at, image.end());
    ASSERT_NE(at, image.end());
    const std::size_t ext = static_cast<std::size_t>(at - image.begin()) + tail.size();
    EXPECT_EQ(image[ext + 265], 3) << "the extension record follows the keyed table";
    // The pool keeps a text no field uses, which a load and save would drop.
    roundTrip(image, false);
}
