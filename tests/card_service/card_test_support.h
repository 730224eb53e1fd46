// Shared helpers of the card file system tests.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "card_service/card_errors.h"
#include "card_service/card_file_system.h"

namespace kestra::card::testing {

inline std::vector<std::uint8_t> Contents(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

inline CardFile Meta(std::uint8_t type, std::uint8_t subtype, std::string name = "file",
                     std::string version = "") {
    CardFile file;
    file.key = {type, subtype};
    file.name = std::move(name);
    file.version = std::move(version);
    return file;
}

// What a listing shows of a file, without where it lies.
using FileSummary =
    std::tuple<int, int, bool, std::string, std::string, std::uint32_t, std::uint32_t>;
inline std::vector<FileSummary> Summary(const std::vector<CardFile>& files) {
    std::vector<FileSummary> out;
    for (const CardFile& f : files)
        out.emplace_back(f.key.type, f.key.subtype, f.placeholder, f.name, f.version, f.length,
                         f.crc);
    return out;
}

// Runs `action` and returns the error code it throws (KESSSFDC_OK when it throws none).
template <typename Action>
KESSSFDCERRORCODE ErrorOf(Action action) {
    try {
        action();
    } catch (const CardError& error) {
        return error.code();
    }
    return KESSSFDC_OK;
}

}  // namespace kestra::card::testing

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "card_service/logical_store.h"
#include "card_service/standard_layer.h"
#include "devices/logical_disk.h"

namespace kestra::card::testing {

// The card as a standard reader shows it (its logical image in a file), with the file system
// mounted on that view as on a USB reader's disk.
struct StandardView {
    explicit StandardView(PageDevice& card) : image(ReadLogicalImage(card)) {
        path = (std::filesystem::temp_directory_path() /
                ("kestra-logical-" + std::to_string(::getpid()) + ".img"))
                   .string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (!file) return;
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), file);
        std::fclose(file);
        disk = platform::LogicalDisk::Open(path);
        fs = std::make_unique<CardFileSystem>(
            std::make_unique<LogicalStore>(*disk, card.geometry()));
        fs->mount();
    }
    ~StandardView() {
        fs.reset();
        disk.reset();
        std::remove(path.c_str());
    }
    LogicalImage image;
    std::string path;
    std::unique_ptr<platform::LogicalDisk> disk;
    std::unique_ptr<CardFileSystem> fs;
};

// Pages of the card, programmed ones only, whose spare bytes 0 to 3 are not all 0xFF.
inline unsigned PagesWithReservedBytesUsed(PageDevice& card) {
    unsigned count = 0;
    std::vector<std::uint8_t> page(kRawPage);
    for (unsigned row = 0; row < card.geometry().pages(); ++row) {
        if (card.readPage(row, RawPage(page.data(), kRawPage)) != DeviceResult::Ok) continue;
        count += !std::all_of(page.begin() + kPageData, page.begin() + kPageData + 4,
                              [](std::uint8_t b) { return b == 0xFF; });
    }
    return count;
}

}  // namespace kestra::card::testing
