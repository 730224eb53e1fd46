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
