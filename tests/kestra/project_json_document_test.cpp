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

namespace {

// The text of `document` with the value at `at` replaced by `text` (which need not be JSON).
std::string WithText(Json document, const char* at, const std::string& text) {
    document[Json::json_pointer(at)] = "@@";
    std::string dumped = document.dump();
    dumped.replace(dumped.find("\"@@\""), 4, text);
    return dumped;
}

std::string Repeated(const std::string& text, std::size_t n) {
    std::string out;
    out.reserve(text.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += text;
    return out;
}

}  // namespace

TEST_F(DocumentFaults, NestingDeeperThanAnyProjectIsRefusedWithItsPath) {
    // The root and the project record hold the value: 126 more levels reach the limit of 128.
    struct Case {
        const char* what;
        std::size_t levels;
        const char* open;
        const char* inner;
        const char* close;
        const char* step;
    };
    const Case cases[] = {
        {"arrays deep enough to overflow a recursive parser", 100000, "[", "", "]", "/0"},
        {"objects as deep", 100000, "{\"a\":", "1", "}", "/a"},
        {"arrays one level beyond the limit", 127, "[", "", "]", "/0"},
        {"arrays at the limit", 126, "[", "", "]", "/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string nested =
            Repeated(c.open, c.levels) + c.inner + Repeated(c.close, c.levels);
        const std::string fault =
            ImportFault(WithText(document, "/projectRecord/settings2", nested));
        if (c.levels <= 126) {
            EXPECT_EQ(fault,
                      "/projectRecord/settings2 | must be a whole number from 0 to 255, not an "
                      "array");
            continue;
        }
        EXPECT_EQ(fault, "/projectRecord/settings2" + Repeated(c.step, 126) +
                             " | nests arrays and objects more than 128 deep; a project document "
                             "never does");
    }
}

TEST_F(DocumentFaults, StringIndicesBeyondThePoolAreRefusedWithTheirPath) {
    const std::size_t pool = document["strings"].size();
    ASSERT_GT(pool, 1u);
    const std::string beyond =
        ", beyond the last string of the pool (" + std::to_string(pool - 1) + ")";
    struct Case {
        const char* at;
        std::uint32_t index;
        bool refused;
    };
    const auto p = static_cast<std::uint32_t>(pool);
    const Case cases[] = {
        // Indices loading turns into texts: before the pool, checked once it is read...
        {"/projectRecord/titleString", p, true},
        {"/listEntries/0/textString", p + 1, true},
        {"/pages/0/fields/1/textString", 0xFFFF, true},
        {"/pages/0/fields/0/list1/0/textString", p, true},
        {"/entries14/0/textString", p, true},
        // ...and after it, at once.
        {"/keyedEntries/0/subEntries/0/parts/0/elements/0/textString", p, true},
        {"/extensionRecord/textString1", p, true},
        // What loading leaves alone: no text in a list, an unnamed field, an index of a table
        // that names no text.
        {"/pages/0/fields/0/list1/0/textString", 0xFFFF, false},
        {"/pages/0/fields/1/textString", 0, false},
        {"/listEntries6/0/textString", 60000, false},
        {"/extensionRecord/textString2", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        Json copy = document;
        ASSERT_TRUE(copy.contains(Json::json_pointer(c.at)));
        copy[Json::json_pointer(c.at)] = c.index;
        EXPECT_EQ(ImportFault(copy.dump()),
                  c.refused ? std::string(c.at) + " | is " + std::to_string(c.index) + beyond
                            : "accepted");
    }
    Json empty = document;
    empty["strings"] = Json::array();
    EXPECT_EQ(ImportFault(empty.dump()),
              "/projectRecord/titleString | is 0, but the string pool is empty");

    // An image with such an index has no document.
    auto image = this->image;
    image[48] = static_cast<std::uint8_t>(pool);
    image[49] = static_cast<std::uint8_t>(pool >> 8);
    try {
        json::ExportProjectJson(image);
        ADD_FAILURE() << "a title beyond the pool was exported";
    } catch (const json::ImageFault& fault) {
        EXPECT_EQ(fault.offset(), 0u);
        EXPECT_EQ(fault.what(),
                  "the image cannot be written as a document: "
                  "/projectRecord/titleString is " +
                      std::to_string(pool) + beyond);
    }
}

// Import reads a document with a parser of its own, as the parse goes, and checks a refused one
// again with the parser that finds the first fault of the text: both take the same documents.
TEST_F(ProjectJsonTest, ImportTakesTheDocumentsTheTextCheckTakes) {
    const Json document =
        Json::parse(json::ExportProjectJson(resaved(saved(build({.bitmaps = 1,
                                                                 .recordTables = true,
                                                                 .groups = true,
                                                                 .optionLayout = 1,
                                                                 .keyed = true,
                                                                 .network = true,
                                                                 .resources = true,
                                                                 .tags = true,
                                                                 .closing = true})))));
    const std::string text = document.dump();
    const auto image = json::ImportProjectJson(text);
    auto parserFault = [](const std::string& refused) {
        try {
            (void)nlohmann::json::parse(refused);
        } catch (const nlohmann::json::exception& e) {
            const std::string what = e.what();
            return " | the document is not valid JSON: " + what.substr(what.find("] ") + 2);
        }
        return std::string("parsed");
    };
    std::string escapedHex = "\"";
    for (char digit : std::string(document["projectRecord"]["bytes6"])) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", digit);
        escapedHex += escape;
    }
    escapedHex += "\"";
    const std::string versionFirst = "{\"version\":1,";
    ASSERT_EQ(text.substr(0, versionFirst.size()), versionFirst);
    const std::string rest = text.substr(versionFirst.size());
    struct Case {
        const char* what;
        std::string text;
        std::string fault;  // "" : accepted, giving the same image
    };
    const Case cases[] = {
        {"a member twice in a field",
         WithText(document, "/pages/0/fields/0/width", "1,\"width\":1"),
         "/pages/0/fields/0/width | the member \"width\" appears twice"},
        {"a member name with an escape", "{\"v\\u0065rsion\":1," + rest, ""},
        {"a member twice, once with an escape", "{\"version\":1,\"v\\u0065rsion\":1," + rest,
         "/version | the member \"version\" appears twice"},
        {"a whole number beyond 64 bits",
         WithText(document, "/projectRecord/settings2", "18446744073709551616"),
         "/projectRecord/settings2 | must be a whole number from 0 to 255, not a number"},
        {"a negative number beyond 64 bits",
         WithText(document, "/projectRecord/settings2", "-9223372036854775809"),
         "/projectRecord/settings2 | must be a whole number from 0 to 255, not a number"},
        {"a fraction", WithText(document, "/projectRecord/settings2", "1.0"),
         "/projectRecord/settings2 | must be a whole number from 0 to 255, not a number"},
        {"an exponent", WithText(document, "/projectRecord/settings2", "1E2"),
         "/projectRecord/settings2 | must be a whole number from 0 to 255, not a number"},
        {"beyond 32 bits", WithText(document, "/extensionRecord/optionFlags", "4294967296"),
         "/extensionRecord/optionFlags | must be a whole number from 0 to 4294967295"},
        {"hex spelt with escapes", WithText(document, "/projectRecord/bytes6", escapedHex), ""},
        {"a character beyond the basic plane",
         WithText(document, "/pages/0/name", "\"\\ud83d\\ude00\""),
         "/pages/0/name | character 1 (U+1F600) has no place in the project's character set "
         "(Windows-1252)"},
        {"a lone surrogate", WithText(document, "/pages/0/name", "\"\\ud800\""), "parser"},
        {"a control character in a text", WithText(document, "/pages/0/name", "\"a\tb\""),
         "parser"},
        {"a byte that is no UTF-8", WithText(document, "/pages/0/name", "\"\xff\""), "parser"},
        {"a misspelt null", WithText(document, "/resources/slots/1", "nul"), "parser"},
        {"true for an object", WithText(document, "/resources/slots/1", "true"),
         "/resources/slots/1 | must be an object, not true or false"},
        {"text after the document", text + " x", "parser"},
        {"a byte order mark", "\xEF\xBB\xBF" + text, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fault.empty()) {
            EXPECT_EQ(ImportFault(c.text), "accepted");
            if (c.text.find("\\u0065") == std::string::npos) {
                EXPECT_EQ(json::ImportProjectJson(c.text), image);
            }
        } else {
            EXPECT_EQ(ImportFault(c.text), c.fault == "parser" ? parserFault(c.text) : c.fault);
        }
    }
    // A document is read from a copy with room after it: its own storage may end with it.
    std::vector<char> exact(text.begin(), text.end());
    exact.shrink_to_fit();
    EXPECT_EQ(json::ImportProjectJson(std::string_view(exact.data(), exact.size())), image);
}

namespace {

// The object with its members in the reverse order, and so each object inside it.
Json Reversed(const Json& value) {
    if (value.is_array()) {
        Json out = Json::array();
        for (const Json& element : value) out.push_back(Reversed(element));
        return out;
    }
    if (!value.is_object()) return value;
    std::vector<std::pair<std::string, Json>> members;
    for (const auto& [name, member] : value.items()) members.emplace_back(name, Reversed(member));
    Json out = Json::object();
    for (auto it = members.rbegin(); it != members.rend(); ++it) out[it->first] = it->second;
    return out;
}

// The object with a member inserted after the member `after`.
Json Inserted(const Json& object, const std::string& after, const std::string& name, Json value) {
    Json out = Json::object();
    for (const auto& [key, member] : object.items()) {
        out[key] = member;
        if (key == after) out[name] = value;
    }
    return out;
}

}  // namespace

// Import reads a record's members in one pass where they stand in the order export writes
// them: members in any other order give the same image, and a fault anywhere inside a record
// is found as by a reading member by member.
TEST_F(DocumentFaults, RecordsInAnyOrderAndFaultsInsideThem) {
    EXPECT_EQ(json::ImportProjectJson(Reversed(document).dump()), image);
    EXPECT_EQ(json::ImportProjectJsonStreamed(Reversed(document).dump()), image);
    EXPECT_EQ(json::ImportProjectJsonStreamed(document.dump()), image);
    const std::string field = "/pages/0/fields/0/";
    struct Case {
        std::function<void(Json&)> change;
        std::string fault;
    };
    const Case cases[] = {
        {[](Json& d) {
             d["pages"][0]["fields"][0]["bytes7"] =
                 std::string(20, '0') + "g" + std::string(25, '0');
         },
         field + "bytes7 | must be hex: pairs of the digits 0-9 and a-f"},
        {[](Json& d) { d["pages"][0]["fields"][0]["bytes50"] = "00"; },
         field + "bytes50 | must hold exactly 16 bytes (32 hex digits)"},
        {[](Json& d) { d["pages"][0]["fields"][0]["bytes67"] = std::string(54, '0'); },
         field + "bytes67 | holds 27 bytes; at most 26 fit here"},
        {[](Json& d) { d["pages"][0]["fields"][0].erase("subKind"); },
         field + "subKind | is missing"},
        {[](Json& d) { d["pages"][0]["fields"][0]["height"] = -1; },
         field + "height | must be a whole number from 0 to 255"},
        {[](Json& d) { d["pages"][0]["fields"][0]["labelAttribute"] = 65536; },
         field + "labelAttribute | must be a whole number from 0 to 65535"},
        {[](Json& d) { d["pages"][0]["fields"][0]["mode"] = "0"; },
         field + "mode | must be a whole number from 0 to 255, not a text"},
        {[](Json& d) {
             Json& f = d["pages"][0]["fields"][0];
             f = Inserted(f, "width", "colour", 1);
         },
         field + "colour | is not a member of this object"},
        // Counts the content gives are members exactly where the record says it has none.
        {[](Json& d) { d["pages"][0]["fields"][0].erase("list2Count"); },
         field + "list2Count | is missing"},
        {[](Json& d) { d["pages"][0]["fields"][0]["kind"] = 6; },
         field + "list2Count | is not a member of this object"},
        {[](Json& d) {
             Json& f = d["pages"][0]["fields"][1];
             f = Inserted(f, "list1Word", "list2Count", 0);
         },
         "/pages/0/fields/1/list2Count | is not a member of this object"},
        {[](Json& d) { d["pages"][0]["fields"][1]["flags"] = 0; },
         "/pages/0/fields/1/childCount | is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(faultAfter(c.change), c.fault);
        // The same fault whatever the order of the members.
        EXPECT_EQ(faultAfter([&](Json& d) {
                      c.change(d);
                      d = Reversed(d);
                  }),
                  c.fault);
    }
    // A record member given twice, after the record and inside it.
    for (const char* twice : {R"("bytes110":"00","width":10)", R"("width":10,"width":10)"}) {
        SCOPED_TRACE(twice);
        std::string text = document.dump();
        const std::string first = twice[1] == 'b' ? R"("bytes110":"00")" : R"("width":10)";
        const std::size_t at = text.find(first);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, first.size(), twice);
        EXPECT_EQ(ImportFault(text), field + "width | the member \"width\" appears twice");
    }
}
