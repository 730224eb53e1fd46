// Export and import of the JSON form of a project: the image header, the walk of the sections,
// and the check that an exported document gives back the image it came from.
#include "kestra/project_json.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "kestra/json_codec.h"
#include "kestra/json_records.h"
#include "kestra/json_syntax.h"
#include "kestra/json_tape_reader.h"
#include "kestra/json_walk.h"

namespace kestra::json {
namespace {

constexpr std::size_t kDescriptorOffset = 44;
constexpr std::size_t kRecordOffset = 48;

bool WrittenFormat(std::uint8_t code) {
    return code == 0x22 || code == 0x24 || code == 0x25;
}

// The format code a project with this extension record is saved with.
std::uint8_t FormatFor(std::span<const std::uint8_t> ext) {
    if (ext[records::ext::kLanguageCount] > 1) return 0x25;
    if (Le(ext, records::ext::kBitmapCount, 2) != 0 || Le(ext, records::ext::kPageBlobs, 2) != 0)
        return 0x24;
    return 0x22;
}

// Importing, the format code follows from the document before the sections are read: several
// languages, or bitmaps or page extension blobs.
std::uint8_t FormatOfDocument(Codec& c) {
    if (c.has("languages")) return 0x25;
    if (c.has("bitmaps")) return 0x24;
    std::uint64_t blobs = 0;
    c.peekInside("extensionRecord", [&] { blobs = c.peekNumber("pageExtensions"); });
    return blobs != 0 ? 0x24 : 0x22;
}

// The image header and descriptor, as the store writes them.
void Header(std::vector<std::uint8_t>& out, std::uint8_t format) {
    out.assign(kRecordOffset, 0);
    out[0] = kDescriptorOffset;
    out[kDescriptorOffset] = 1;
    out[kDescriptorOffset + 1] = kRecordOffset;
    out[kDescriptorOffset + 3] = format;
}

void Version(Codec& c) {
    if (c.exporting()) {
        c.numberValue("version", Kind::U32, kProjectSchemaVersion);
        return;
    }
    if (!c.has("version"))
        c.failAt("version", "is missing: a project document starts with its version");
    const auto version = c.peekInteger("version");
    if (!version)
        c.failAt("version", "must be a whole number (this program writes " +
                                std::to_string(kProjectSchemaVersion) + ")");
    if (*version > kProjectSchemaVersion)
        c.failAt("version", "is " + std::to_string(*version) + ", newer than this program reads (" +
                                std::to_string(kProjectSchemaVersion) + "); use a newer program");
    if (*version < 1) c.failAt("version", "must be 1 or more");
    c.markUsed("version");
}

Walk WalkImage(Codec& c, std::uint8_t format) {
    Walk w{c, format, format == 0x25};
    Version(c);
    WalkProjectSections(w);
    WalkExtensionSections(w);
    c.endObject();
    return w;
}

std::vector<std::uint8_t> ImportImage(DocumentReader& reader) {
    Codec c(reader);
    const std::uint8_t format = FormatOfDocument(c);
    Header(c.output(), format);
    const Walk w = WalkImage(c, format);
    reader.finish();
    if (FormatFor(c.recordBytes(w.ext)) != format)
        throw DocumentFault("/extensionRecord",
                            "languageCount, bitmaps and pageExtensions disagree with each other");
    return std::move(c.output());
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A byte order mark is no part of the document, as the text check sees it.
std::string_view WithoutMark(std::string_view document) {
    if (document.starts_with(kByteOrderMark)) document.remove_prefix(kByteOrderMark.size());
    return document;
}

// A copy of the document with room after it, to be read in place.
std::string Padded(std::string_view document) {
    std::string padded;
    padded.reserve(document.size() + kDocumentPadding);
    padded.assign(document);
    return padded;
}

// `text` (the document without its byte order mark, padded) read by the stream reader, whose
// refusals are reported with the first fault of the document's text.
std::vector<std::uint8_t> ImportStreamed(std::string_view document, std::string_view text) {
    try {
        StreamReader reader(text);
        return ImportImage(reader);
    } catch (const DocumentFault&) {
        CheckDocumentText(document);  // a fault of the text itself comes first
        throw;
    } catch (const SyntaxTrouble& trouble) {
        CheckDocumentText(document);
        throw DocumentFault("", "the document is not valid JSON: " + trouble.what);
    }
}

}  // namespace

std::string ExportProjectJson(std::span<const std::uint8_t> image) {
    const auto bytes = std::as_bytes(image);
    if (image.size() < kRecordOffset) throw ImageFault(0, "image too short for its header");
    if (Le(image, 0, 2) != kDescriptorOffset || image[kDescriptorOffset] != 1 ||
        Le(image, kDescriptorOffset + 1, 2) != kRecordOffset)
        throw ImageFault(0, "the image descriptor is not where the project store writes it");
    const std::uint8_t format = image[kDescriptorOffset + 3];
    if (!WrittenFormat(format))
        throw ImageFault(kDescriptorOffset + 3,
                         "format code 0x" + std::string(1, "0123456789abcdef"[format >> 4]) +
                             std::string(1, "0123456789abcdef"[format & 15]) +
                             " is not one the project store writes (0x22, 0x24, 0x25)");
    Codec c(bytes);
    c.in().seek(kRecordOffset);
    Header(c.output(), format);
    std::optional<Walk> w;
    try {
        w.emplace(WalkImage(c, format));
    } catch (const ImageError& e) {
        throw ImageFault(e.offset(), e.what());
    }
    if (!c.in().atEnd())
        throw ImageFault(c.in().position(),
                         std::to_string(c.in().remaining()) + " bytes follow the last section");
    // The document must give the image back byte for byte: the image it gives was written
    // along, and an image that differs from what the store writes (a nonzero gap, a stray
    // presence word) is refused here.
    if (const auto& fault = c.refused())
        throw ImageFault(
            0, "the image cannot be written as a document: " + fault->path() + " " + fault->what());
    auto& back = c.output();
    back[kDescriptorOffset + 3] = FormatFor(c.recordBytes(w->ext));
    const bool same =
        image.size() == back.size() && std::memcmp(image.data(), back.data(), image.size()) == 0;
    const auto [mine, theirs] =
        same ? std::pair(image.end(), back.end())
             : std::mismatch(image.begin(), image.end(), back.begin(), back.end());
    if (mine != image.end() || theirs != back.end())
        throw ImageFault(static_cast<std::size_t>(mine - image.begin()),
                         "the image is not as the project store saves it: byte " +
                             std::to_string(mine - image.begin()) + " cannot be kept");
    return c.takeDocument();
}

std::vector<std::uint8_t> ImportProjectJsonInPlace(std::string_view document) {
    const std::string_view text = WithoutMark(document);
    // The tape reader takes a document without passing over its text again and again; one it
    // refuses, or leaves to the stream reader, is read again by that, which says why.
    try {
        TapeReader tape(text);
        if (tape.parsed()) return ImportImage(tape);
    } catch (const DocumentFault&) {
    } catch (const SyntaxTrouble&) {
    } catch (const ReadAgain&) {
    }
    return ImportStreamed(document, text);
}

std::vector<std::uint8_t> ImportProjectJsonStreamed(std::string_view document) {
    const std::string padded = Padded(document);
    return ImportStreamed(padded, WithoutMark(padded));
}

std::vector<std::uint8_t> ImportProjectJson(std::string_view document) {
    return ImportProjectJsonInPlace(Padded(document));
}

}  // namespace kestra::json
