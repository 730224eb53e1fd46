// The fixture of the JSON form's tests: the store's fixture, with the steps of a round trip.
#pragma once

#include <string>
#include <vector>

#include "kestra/project_json.h"
#include "project_store/store_test.h"

namespace kestra::testing {

class ProjectJsonTest : public StoreTest {
  protected:
    // The image a save of the project writes.
    std::vector<std::uint8_t> saved(HGLOBAL project) { return bytes(save(project)); }
    // Load (with options) and save: the image as the store writes it.
    std::vector<std::uint8_t> resaved(const std::vector<std::uint8_t>& image,
                                      const char* options = nullptr) {
        HGLOBAL project = load(imageOf(image), options);
        return project ? saved(project) : std::vector<std::uint8_t>();
    }

    // Export S, import the document back to S exactly, and export again to the same
    // document; with `stable` (S is a save of a loaded image) a load and save of the imported
    // image gives S again. Returns the document.
    std::string roundTrip(const std::vector<std::uint8_t>& image, bool stable = true) {
        const std::string document = json::ExportProjectJson(image);
        const auto back = json::ImportProjectJson(document);
        EXPECT_EQ(back, image) << "import gives another image";
        if (stable)
            EXPECT_EQ(resaved(back), image) << "the imported image does not load and save the same";
        EXPECT_EQ(json::ExportProjectJson(back), document) << "export again differs";
        return document;
    }
};

// The DocumentFault of importing `document`, with its path and message.
inline std::string ImportFault(std::string_view document) {
    try {
        json::ImportProjectJson(document);
    } catch (const json::DocumentFault& fault) {
        return fault.path() + " | " + fault.what();
    }
    return "accepted";
}

}  // namespace kestra::testing
