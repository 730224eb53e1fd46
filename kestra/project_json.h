// The JSON form of a project: a documented, versioned text form of a whole project image, in
// which every section appears by name, texts as text, bitmaps as base64 and the bytes no one
// interprets as hex, so that a project can be kept in version control, diffed and merged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestra::json {

// The version written into every document; a document of a newer version is refused.
inline constexpr int kProjectSchemaVersion = 1;

// A project image that cannot be taken apart: `offset` is where reading stopped.
class ImageFault : public std::runtime_error {
  public:
    ImageFault(std::size_t offset, const std::string& what)
        : std::runtime_error(what), offset_(offset) {}
    std::size_t offset() const { return offset_; }

  private:
    std::size_t offset_;
};

// A document that is not a valid project: `path` is the JSON pointer (RFC 6901) of the first
// fault found, "" for the document as a whole.
class DocumentFault : public std::runtime_error {
  public:
    DocumentFault(std::string path, const std::string& what)
        : std::runtime_error(what), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The JSON text of a project image as the store saves it (UTF-8, indented, ending in a newline).
// Throws ImageFault.
std::string ExportProjectJson(std::span<const std::uint8_t> image);

// The project image that a document describes, byte for byte the image it was exported from.
// Throws DocumentFault.
std::vector<std::uint8_t> ImportProjectJson(std::string_view document);

// The bytes a document passed to ImportProjectJsonInPlace must have readable after its end.
inline constexpr std::size_t kDocumentPadding = 64;

// The same for a document followed by kDocumentPadding readable bytes (of any value), which
// is then read where it stands instead of being copied first.
std::vector<std::uint8_t> ImportProjectJsonInPlace(std::string_view document);

// The same read by the reader that follows the parse alone, the one whose refusals import
// reports: what import takes by its faster reading, this takes alike (the fuzz target checks).
std::vector<std::uint8_t> ImportProjectJsonStreamed(std::string_view document);

}  // namespace kestra::json
