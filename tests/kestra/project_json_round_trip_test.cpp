// Round trips of the JSON form over every kind of project the store saves: projects built in
// memory with each section switched on, and the images the store's fuzz corpus and regression
// inputs hold.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "kestra/project_json_test.h"
#include "platform/files.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

struct Variant {
    const char* name;
    ProjectShape shape;
};

const Variant kVariants[] = {
    {"plain", {}},
    {"no pages", {.pages = 0}},
    {"no fields", {.fieldsPerPage = 0}},
    {"two languages", {.languages = 2}},
    {"three languages with resources", {.languages = 3, .resources = true}},
    {"bitmaps", {.bitmaps = 3}},
    {"unused texts", {.extraTexts = 5}},
    {"record tables", {.recordTables = true}},
    {"groups", {.recordTables = true, .groups = true}},
    {"page blobs", {.pageBlobs = true}},
    {"option layout 1", {.optionLayout = 1}},
    {"option layout 1 short", {.optionLayout = 1, .shortOptionElements = true}},
    {"option layout 2", {.optionLayout = 2}},
    {"keyed", {.keyed = true}},
    {"keyed named parts", {.keyed = true, .keyedNamedParts = true}},
    {"keyed, several languages", {.languages = 2, .keyed = true, .keyedNamedParts = true}},
    {"network", {.network = true}},
    {"resources", {.resources = true}},
    {"resources with page blobs", {.pageBlobs = true, .resources = true}},
    {"tags", {.tags = true}},
    {"closing blocks", {.closing = true}},
    {"distinct texts", {.distinctTexts = 3}},
    {"everything",
     {.pages = 5,
      .fieldsPerPage = 6,
      .languages = 3,
      .bitmaps = 2,
      .extraTexts = 2,
      .recordTables = true,
      .pageBlobs = true,
      .optionLayout = 2,
      .keyed = true,
      .keyedNamedParts = true,
      .network = true,
      .resources = true,
      .tags = true,
      .closing = true}},
    {"everything, one language",
     {.bitmaps = 1,
      .recordTables = true,
      .groups = true,
      .optionLayout = 1,
      .keyed = true,
      .network = true,
      .resources = true,
      .tags = true,
      .closing = true}},
};

std::vector<std::vector<std::uint8_t>> StoredInputs() {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const char* folder : {KESTRA_PROJECT_SEEDS, KESTRA_FUZZ_REGRESSIONS})
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("element-")) continue;
            auto contents = platform::ReadWholeFile(entry.path().string());
            if (contents && !contents->empty())
                inputs.emplace_back(contents->begin(), contents->end());
        }
    return inputs;
}

const char* const kOptions[] = {nullptr, "fixrmenufield", "501", "501 fixrmenufield"};

// A name made of letters, digits and dashes.
std::string Slug(std::string_view text) {
    std::string slug;
    for (char c : text) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c));
        if (plain)
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug;
}

// FNV-1a, 64 bits: the fingerprint of a document too large to keep.
std::uint64_t Fingerprint(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// The documents export wrote before: these as files, which between them hold every section and
// the store's own corpus; the others as length and fingerprint.
const std::set<std::string> kKeptWhole = {
    "built-everything-saved",
    "built-everything-one-language-saved",
    "built-no-pages-saved",
    "built-option-layout-1-short-saved",
    "built-keyed-named-parts-saved",
    "built-tags-saved",
    "store-bare-none",
    "store-options-none",
    "store-tables-none",
    "store-languages-none",
    "store-image-languages-without-page-texts-501",
};

struct ExportedImage {
    std::string name;
    std::vector<std::uint8_t> image;
};

class ExportedCorpus : public ProjectJsonTest {
  protected:
    // Every image of the round trips above, and the benchmark's large project, by name.
    std::vector<ExportedImage> images() {
        std::vector<ExportedImage> all;
        for (const Variant& v : kVariants) {
            const auto first = saved(build(v.shape));
            all.push_back({"built-" + Slug(v.name) + "-first", first});
            all.push_back({"built-" + Slug(v.name) + "-saved", resaved(first)});
        }
        for (const char* folder : {KESTRA_PROJECT_SEEDS, KESTRA_FUZZ_REGRESSIONS})
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                const std::string file = entry.path().filename().string();
                if (file.starts_with("element-")) continue;
                const auto contents = platform::ReadWholeFile(entry.path().string());
                if (!contents || contents->empty()) continue;
                for (const char* options : kOptions) {
                    auto image = resaved({contents->begin() + 1, contents->end()}, options);
                    if (!image.empty())
                        all.push_back(
                            {"store-" + Slug(file) + "-" + Slug(options ? options : "none"),
                             std::move(image)});
                }
            }
        all.push_back({"benchmark-project", resaved(saved(build(kBenchmarkShape)))});
        return all;
    }
};

std::map<std::string, std::string> Fingerprints(const std::string& text) {
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    std::string name, rest;
    while (in >> name && std::getline(in, rest))
        lines[name] = rest.substr(rest.find_first_not_of(' '));
    return lines;
}

// "" for equal texts, else the line number and the two lines where they first differ.
std::string FirstDifference(const std::string& mine, const std::string& kept) {
    std::istringstream a(mine), b(kept);
    std::string lineA, lineB;
    for (std::size_t line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return mine == kept ? "" : "the final newline differs";
        if (moreA != moreB || lineA != lineB)
            return "line " + std::to_string(line) + ": \"" + lineA + "\" instead of \"" + lineB +
                   "\"";
    }
}

std::string FingerprintLine(const std::string& document) {
    char line[64];
    std::snprintf(line, sizeof line, "%zu %016llx", document.size(),
                  static_cast<unsigned long long>(Fingerprint(document)));
    return line;
}

}  // namespace

TEST_F(ExportedCorpus, EveryImageExportsTheDocumentItExportedBefore) {
    const std::string folder = KESTRA_EXPORTED_DOCUMENTS;
    const auto fingerprints =
        Fingerprints(platform::ReadWholeFile(folder + "/fingerprints.txt").value_or(std::string()));
    std::size_t whole = 0, large = 0;
    for (const ExportedImage& e : images()) {
        SCOPED_TRACE(e.name);
        const std::string document = json::ExportProjectJson(e.image);
        if (kKeptWhole.contains(e.name)) {
            const auto kept = platform::ReadWholeFile(folder + "/" + e.name + ".json");
            ASSERT_TRUE(kept) << "no document kept";
            EXPECT_EQ(FirstDifference(document, std::string(kept->begin(), kept->end())), "");
            ++whole;
        } else {
            const auto line = fingerprints.find(e.name);
            ASSERT_NE(line, fingerprints.end()) << "no fingerprint kept";
            EXPECT_EQ(FingerprintLine(document), line->second);
            ++large;
        }
    }
    RecordProperty("whole", static_cast<int>(whole));
    RecordProperty("fingerprinted", static_cast<int>(large));
    EXPECT_EQ(whole, kKeptWhole.size());
    EXPECT_GE(large, 40u);
}

// Writes the documents the test above compares with. Run with --gtest_also_run_disabled_tests
// and KESTRA_EXPORTED_DOCUMENTS_OUT set to the folder, only when the form itself changes.
TEST_F(ExportedCorpus, DISABLED_WriteExportedDocuments) {
    const char* folder = std::getenv("KESTRA_EXPORTED_DOCUMENTS_OUT");
    ASSERT_NE(folder, nullptr);
    std::ofstream fingerprints(std::string(folder) + "/fingerprints.txt", std::ios::binary);
    for (const ExportedImage& e : images()) {
        const std::string document = json::ExportProjectJson(e.image);
        if (kKeptWhole.contains(e.name))
            std::ofstream(std::string(folder) + "/" + e.name + ".json", std::ios::binary)
                << document;
        else
            fingerprints << e.name << ' ' << FingerprintLine(document) << '\n';
    }
}

TEST_F(ProjectJsonTest, EveryBuiltProjectRoundTrips) {
    std::size_t images = 0;
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        const auto image = saved(build(v.shape));
        ASSERT_FALSE(image.empty());
        // The first save of a built project is what an editor writes; a load and save of it is
        // what the store writes after opening the file. Both round-trip.
        roundTrip(image, false);
        roundTrip(resaved(image));
        images += 2;
    }
    RecordProperty("images", static_cast<int>(images));
}

TEST_F(ProjectJsonTest, EveryImageOfTheStoresCorpusRoundTrips) {
    std::size_t images = 0;
    for (const auto& input : StoredInputs())
        for (const char* options : kOptions) {
            const auto image = resaved({input.begin() + 1, input.end()}, options);
            if (image.empty()) continue;
            SCOPED_TRACE(std::string("options ") + (options ? options : "none"));
            // A load with "501" drops the sections after the resources, so the next load of its
            // save builds a default list section: such an image is not stable in the store
            // itself, and only its exact round trip is checked.
            roundTrip(image, resaved(image) == image);
            ++images;
        }
    RecordProperty("images", static_cast<int>(images));
    EXPECT_GE(images, 4u);
}

namespace {

// The seeds of the JSON fuzz target written from projects: small documents that between them
// reach every section. The small ones (at most kSmallSeed bytes) are those the fuzzer runs
// through quickly; the others reach sections that need more of a project.
constexpr std::size_t kSmallSeed = 16 * 1024;
struct FuzzSeed {
    const char* name;
    ProjectShape shape;
    bool small;
};
const FuzzSeed kFuzzSeeds[] = {
    {"minimal", {.pages = 0, .fieldsPerPage = 0}, true},
    {"one-page-no-fields", {.pages = 1, .fieldsPerPage = 0}, true},
    {"one-page-keyed", {.pages = 1, .fieldsPerPage = 1, .keyed = true}, true},
    {"one-page-network", {.pages = 1, .fieldsPerPage = 1, .network = true}, true},
    {"one-page-tags-closing",
     {.pages = 1, .fieldsPerPage = 1, .tags = true, .closing = true},
     true},
    {"one-page-two-languages", {.pages = 1, .fieldsPerPage = 1, .languages = 2}, true},
    {"plain", {.pages = 1, .fieldsPerPage = 1}, true},
    {"tables", {.pages = 1, .fieldsPerPage = 2, .recordTables = true, .groups = true}, false},
    {"languages",
     {.pages = 2, .fieldsPerPage = 1, .languages = 2, .keyed = true, .resources = true},
     false},
    {"bitmaps",
     {.pages = 1,
      .fieldsPerPage = 1,
      .bitmaps = 1,
      .pageBlobs = true,
      .tags = true,
      .closing = true},
     true},
    {"options", {.pages = 1, .fieldsPerPage = 1, .optionLayout = 2, .network = true}, false},
    {"short-options",
     {.pages = 1, .fieldsPerPage = 1, .optionLayout = 1, .shortOptionElements = true},
     true},
};

}  // namespace

// The committed seeds are the documents of their projects as export writes them now: a seed
// the form has moved away from is refused early and searches nothing.
TEST_F(ProjectJsonTest, TheFuzzTargetsSeedsAreTheDocumentsExportWritesNow) {
    for (const FuzzSeed& seed : kFuzzSeeds) {
        SCOPED_TRACE(seed.name);
        const auto kept =
            platform::ReadWholeFile(std::string(KESTRA_JSON_SEEDS) + "/" + seed.name);
        ASSERT_TRUE(kept) << "no seed kept";
        const std::string document = json::ExportProjectJson(resaved(saved(build(seed.shape))));
        EXPECT_EQ(FirstDifference(document, std::string(kept->begin(), kept->end())), "");
        if (seed.small) EXPECT_LE(kept->size(), kSmallSeed);
        EXPECT_EQ(json::ExportProjectJson(json::ImportProjectJson(document)), document);
    }
}

// Writes the seeds above. Run with --gtest_also_run_disabled_tests and KESTRA_JSON_SEEDS_OUT
// set to the folder (fuzz/seeds/project_json_fuzz), when the form itself changes.
TEST_F(ProjectJsonTest, DISABLED_WriteFuzzSeeds) {
    const char* folder = std::getenv("KESTRA_JSON_SEEDS_OUT");
    ASSERT_NE(folder, nullptr);
    for (const FuzzSeed& seed : kFuzzSeeds) {
        const std::string document = json::ExportProjectJson(resaved(saved(build(seed.shape))));
        std::ofstream(std::string(folder) + "/" + seed.name, std::ios::binary) << document;
    }
}

// Export checks an image against the image its document gives as it walks it: whatever image
// it takes, with any one byte changed, importing its document gives that image back.
TEST_F(ProjectJsonTest, AnImageExportTakesIsTheImageItsDocumentGives) {
    std::size_t taken = 0, refused = 0;
    for (const char* name : {"everything", "everything, one language"}) {
        SCOPED_TRACE(name);
        const auto variant =
            std::find_if(std::begin(kVariants), std::end(kVariants),
                         [&](const Variant& v) { return v.name == std::string(name); });
        ASSERT_NE(variant, std::end(kVariants));
        const auto image = resaved(saved(build(variant->shape)));
        for (std::size_t at = 0; at < image.size(); at += 31)
            for (const std::uint8_t flip : {0x01, 0x80}) {
                auto changed = image;
                changed[at] ^= flip;
                std::string document;
                try {
                    document = json::ExportProjectJson(changed);
                } catch (const json::ImageFault&) {
                    ++refused;
                    continue;
                }
                ++taken;
                ASSERT_EQ(json::ImportProjectJson(document), changed) << "byte " << at;
            }
    }
    RecordProperty("taken", static_cast<int>(taken));
    RecordProperty("refused", static_cast<int>(refused));
    EXPECT_GT(taken, 100u);
    EXPECT_GT(refused, 100u);
}

TEST_F(ProjectJsonTest, TagsAreATreeWhereTheTableIsOne) {
    HGLOBAL project = build({.tags = true});
    auto* tags =
        reinterpret_cast<TagElement*>(mem::Data(ProjectAt(project).ext.tagFolder.elements));
    // Tag 2 below tag 1, tag 3 below tag 2: a tree in the order of its walk.
    tags[1].parentKey = 1;
    tags[2].parentKey = 2;
    const std::string tree = roundTrip(resaved(saved(project)));
    using Json = nlohmann::ordered_json;
    const auto doc = Json::parse(tree);
    ASSERT_TRUE(doc.contains("tagTree"));
    EXPECT_FALSE(doc.contains("tags"));
    EXPECT_EQ(doc["tagTree"].size(), 1u);
    EXPECT_EQ(doc["tagTree"][0]["children"][0]["children"][0]["key"], 3);
    EXPECT_FALSE(doc["tagTree"][0].contains("parentKey"));

    // Tag 1 below tag 3, which comes later: the table is kept flat, with the parent keys.
    tags[0].parentKey = 3;
    const auto flat = nlohmann::ordered_json::parse(roundTrip(resaved(saved(project))));
    ASSERT_TRUE(flat.contains("tags"));
    EXPECT_EQ(flat["tags"][0]["parentKey"], 3);

    // A tree deeper than a tag table is ever nested is refused, and written flat on export.
    auto deep = doc;
    Json* level = &deep["tagTree"][0];
    for (int key = 10; key < 45; ++key) {
        Json child = (*level)["children"][0];
        child.erase("children");
        child["key"] = key;
        (*level)["children"].push_back(child);
        level = &(*level)["children"].back();
        (*level)["children"] = Json::array({child});
        (*level)["children"][0]["key"] = key + 100;
    }
    EXPECT_NE(ImportFault(deep.dump()).find("nests tags more than 32 deep"), std::string::npos);

    // A tree whose keys repeat cannot be told apart from another table; it is refused.
    auto twice = doc;
    twice["tagTree"][0]["children"][0]["key"] = 1;
    EXPECT_EQ(ImportFault(twice.dump()),
              "/tagTree/0/children/0/key | must be nonzero and used by one tag only in a tag tree");
}
