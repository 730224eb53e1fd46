// The two-way walk behind the JSON form of a project.
//
// Every section of a project image is described once, as code against a Codec. Exporting, the
// codec reads the image with a bounds-checked cursor and builds the document; importing, it
// reads the document, checks every member against what the walk expects, and appends the
// image bytes. Counts and presence words that the content determines are not members: the
// walk writes them from the content (patching a record written earlier where needed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/project_json.h"
#include "platform/image_cursor.h"

namespace kestra::json {

using Json = nlohmann::ordered_json;

// ---- Record tables

enum class Kind : std::uint8_t {
    U8,
    U16,
    U32,
    S16,
    S32,
    Hex,      // `width` bytes as hex
    Derived,  // computed from the content; not a member
    Const,    // always `value`; not a member
    Sub,      // a nested record (`sub`)
};

struct RecordTable;
struct FieldEntry {
    std::uint16_t offset;
    std::uint16_t width;
    const char* name;
    Kind kind;
    std::uint32_t value = 0;
    const RecordTable* sub = nullptr;
};

// A fixed-size record: its named fields in offset order; the bytes between them are members
// named "bytes<offset>" holding hex.
struct RecordTable {
    std::uint16_t size;
    std::span<const FieldEntry> fields;
};

// Where a record landed: its offset in the image (read or written).
struct RecordAt {
    std::size_t offset;
    std::size_t size;
};

class Codec {
  public:
    // Reads `image` into a document.
    explicit Codec(std::span<const std::byte> image);
    // Writes the image that `document` describes.
    explicit Codec(const Json& document);

    bool exporting() const { return in_.has_value(); }
    Json& document() { return root_; }
    std::vector<std::uint8_t>& output() { return out_; }
    ImageReader& in() { return *in_; }
    std::size_t position() const;

    // ---- Scopes. A name of "" stands for the current value itself (an array element).
    void beginObject(std::string_view name);
    void endObject();
    // Whether the current object has the member (importing only; exporting, the image
    // decides and the caller passes its answer).
    bool has(std::string_view name) const;
    // `present` when exporting, the member's presence when importing.
    bool optional(std::string_view name, bool present) const {
        return exporting() ? present : has(name);
    }
    // An array member: exporting, `count` elements; importing, as many as the document has.
    // `each(i)` runs with element i as the current value. Returns the count.
    template <typename Each>
    std::size_t array(std::string_view name, std::size_t count, Each each);
    // An array member that is left out when empty; importing, an empty array is refused so
    // that every image has one document.
    template <typename Each>
    std::size_t optionalArray(std::string_view name, std::size_t count, Each each) {
        if (exporting() ? count == 0 : !has(name)) return 0;
        if (!exporting() && member(name)->is_array() && member(name)->empty())
            failAt(name, "is empty; leave the member out instead");
        return array(name, count, each);
    }
    // An array that must have exactly n elements.
    template <typename Each>
    void fixedArray(std::string_view name, std::size_t n, Each each) {
        if (!exporting()) {
            const Json* m = name.empty() ? top().in : member(name);
            if (m && m->is_array() && m->size() != n)
                failAt(name, "must have exactly " + std::to_string(n) + " elements");
        }
        array(name, n, each);
    }
    // Walks an array a second time: exporting, the elements written before; importing, the
    // document's. `each(i)` runs with element i as the current value.
    template <typename Each>
    void revisit(std::string_view name, Each each);
    // Enters an object for a second time (exporting: without clearing it); its members are
    // not checked again when it is left with endRevisit().
    void reopenObject(std::string_view name);
    void endRevisit() { pop(); }
    // Steps into a member or an element that exists (exporting: written before; importing:
    // in the document); left with endRevisit().
    void descend(std::string_view key);
    void descend(std::size_t index);
    // Importing: counts the member (when present) as read, for a later pass that reads it.
    void markUsed(std::string_view name);
    // Importing: whether the current value is null.
    bool currentIsNull() const { return !exporting() && top().in->is_null(); }
    // Importing: a whole-number member of the current object, leniently (0 when absent or not
    // a number); the member is checked when it is read for real.
    std::uint64_t peekNumber(std::string_view name) const;
    // A count that precedes its content in the stream: exporting, its value; importing, a
    // placeholder to patch once the content is written.
    std::pair<RecordAt, std::uint32_t> count16();
    std::pair<RecordAt, std::uint32_t> count8();
    // The member of the current object, importing; nullptr when absent.
    const Json* member(std::string_view name) const;

    // ---- Values of the current object (or the current value for "")
    std::uint32_t number(std::string_view name, Kind kind);
    std::uint32_t u8(std::string_view name) { return number(name, Kind::U8); }
    std::uint32_t u16(std::string_view name) { return number(name, Kind::U16); }
    std::uint32_t u32(std::string_view name) { return number(name, Kind::U32); }
    // A number the caller places itself: exporting, the member is set to `exportValue`;
    // importing, the member is checked and returned.
    std::uint32_t numberValue(std::string_view name, Kind kind, std::uint32_t exportValue);
    // Exactly n bytes as hex.
    std::vector<std::uint8_t> hex(std::string_view name, std::size_t n);
    // Bytes of a length the walk knows (exporting) or the document gives (importing, at
    // most `limit`).
    std::vector<std::uint8_t> hexBytes(std::string_view name, std::size_t exportLength,
                                       std::size_t limit);
    std::vector<std::uint8_t> base64(std::string_view name, std::size_t exportLength,
                                     std::size_t limit);
    // A text of a length the walk knows (exporting) or the document gives (importing, at most
    // `limit` characters); with `noZero` a zero character is refused (zero-terminated texts).
    std::vector<std::uint8_t> text(std::string_view name, std::size_t exportLength,
                                   std::size_t limit, bool noZero = false);
    // A value that is written to the image by the caller: exporting, the member is set;
    // importing, the member is checked and returned.
    std::vector<std::uint8_t> textValue(std::string_view name,
                                        std::span<const std::uint8_t> exportText, std::size_t limit,
                                        bool noZero = false);
    std::vector<std::uint8_t> hexValue(std::string_view name,
                                       std::span<const std::uint8_t> exportBytes,
                                       std::size_t limit);

    // Length-prefixed forms: a u8/u16/u32 length, then the bytes.
    std::vector<std::uint8_t> text8(std::string_view name);
    std::vector<std::uint8_t> text16(std::string_view name);
    std::vector<std::uint8_t> text32(std::string_view name);
    std::vector<std::uint8_t> hex32(std::string_view name);
    // A zero-terminated text.
    std::vector<std::uint8_t> cstring(std::string_view name);
    // n bytes that must be zero: skipped when exporting (the final comparison finds a
    // nonzero one), written when importing.
    void zeros(std::size_t n);
    // Raw bytes written as they are (importing) or read (exporting).
    void put8(std::uint8_t v);
    void put16(std::uint16_t v);
    void put32(std::uint32_t v);
    std::uint32_t get16();
    std::uint32_t get32();
    std::uint32_t get8();

    // ---- Records
    // A fixed-size record as an object member (or the current value). Fields named in
    // `computed` (dotted for nested records: "nodeA.childCount") are left out like Derived.
    RecordAt record(std::string_view name, const RecordTable& table,
                    const std::vector<std::string_view>& computed = {});
    // The same, into the current object.
    RecordAt fields(const RecordTable& table, const std::vector<std::string_view>& computed = {});
    // The record's bytes as read or as written so far.
    std::span<const std::uint8_t> recordBytes(const RecordAt& r) const;
    std::uint32_t recordValue(const RecordAt& r, std::size_t offset, std::size_t width) const;
    // Writes a computed value into a record written earlier (importing); `name` is the member
    // whose content the value counts, for the fault message.
    void patch(const RecordAt& r, std::size_t offset, std::size_t width, std::uint64_t value,
               std::string_view name, std::uint64_t limit = 0);
    // Writes bytes into a record written earlier (importing).
    void patchBytes(const RecordAt& r, std::size_t offset, std::span<const std::uint8_t> bytes);

    // The bytes of the image from `offset` on, exporting (to peek at a record).
    std::span<const std::uint8_t> peek(std::size_t n);

    // ---- Faults
    [[noreturn]] void fail(const std::string& message) const;
    [[noreturn]] void failAt(std::string_view member, const std::string& message) const;
    std::string pathOf(std::string_view member) const;

  private:
    struct Frame {
        Json* out = nullptr;                 // exporting
        const Json* in = nullptr;            // importing
        std::string token;                   // path token of this value
        std::vector<std::string_view> used;  // importing: members read so far (the keys)
    };
    Frame& top() { return frames_.back(); }
    const Frame& top() const { return frames_.back(); }
    // Exporting: the value a member is written to; importing: the value read (required).
    Json& slot(std::string_view name);
    const Json& take(std::string_view name);
    void pushElement(std::size_t index, Json* out, const Json* in);
    void pop();
    void fieldValues(const RecordTable& table, std::size_t base,
                     const std::vector<std::string_view>& computed, std::string_view prefix);

    std::optional<ImageReader> in_;
    Json root_;
    std::vector<std::uint8_t> out_;
    std::vector<Frame> frames_;
};

template <typename Each>
std::size_t Codec::array(std::string_view name, std::size_t count, Each each) {
    if (exporting()) {
        Json& target = slot(name);
        target = Json::array();
        for (std::size_t i = 0; i < count; ++i) {
            target.push_back(Json());
            pushElement(i, &target.back(), nullptr);
            each(i);
            pop();
        }
        return count;
    }
    const Json& source = take(name);
    if (!source.is_array()) failAt(name, "must be an array");
    if (!name.empty()) frames_.push_back({nullptr, &source, std::string(name), {}});
    for (std::size_t i = 0; i < source.size(); ++i) {
        pushElement(i, nullptr, &source[i]);
        each(i);
        pop();
    }
    if (!name.empty()) frames_.pop_back();
    return source.size();
}

template <typename Each>
void Codec::revisit(std::string_view name, Each each) {
    if (exporting()) {
        if (!name.empty() && !top().out->contains(name)) return;
        Json& target = slot(name);
        for (std::size_t i = 0; i < target.size(); ++i) {
            pushElement(i, &target[i], nullptr);
            each(i);
            pop();
        }
        return;
    }
    const Json* source = member(name);
    if (!source || !source->is_array()) return;
    frames_.push_back({nullptr, source, std::string(name), {}});
    for (std::size_t i = 0; i < source->size(); ++i) {
        pushElement(i, nullptr, &(*source)[i]);
        each(i);
        pop();
    }
    frames_.pop_back();
}

// Parses a document, refusing duplicate member names.
Json ParseDocument(std::string_view text);

}  // namespace kestra::json
