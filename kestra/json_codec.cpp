#include "kestra/json_codec.h"

#include <algorithm>
#include <limits>

#include "kestra/json_text.h"
#include "platform/records.h"

namespace kestra::json {
namespace {

struct Range {
    std::int64_t low, high;
    std::size_t width;
};

Range RangeOf(Kind kind) {
    switch (kind) {
        case Kind::U8:
            return {0, 0xFF, 1};
        case Kind::U16:
            return {0, 0xFFFF, 2};
        case Kind::S16:
            return {-32768, 32767, 2};
        case Kind::S32:
            return {-2147483648LL, 2147483647LL, 4};
        default:
            return {0, 0xFFFFFFFF, 4};
    }
}

std::string EscapeToken(std::string_view token) {
    std::string out;
    for (char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

std::uint32_t ReadLe(const std::uint8_t* at, std::size_t width) {
    std::uint32_t v = 0;
    for (std::size_t i = width; i > 0; --i) v = v << 8 | at[i - 1];
    return v;
}

void WriteLe(std::uint8_t* at, std::size_t width, std::uint64_t v) {
    for (std::size_t i = 0; i < width; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string GapName(std::size_t offset) {
    return "bytes" + std::to_string(offset);
}

const char* TypeName(const Json& value) {
    if (value.is_null()) return "null";
    if (value.is_boolean()) return "true or false";
    if (value.is_number()) return "a number";
    if (value.is_string()) return "a text";
    if (value.is_array()) return "an array";
    return "an object";
}

}  // namespace

Codec::Codec(std::span<const std::byte> image) : in_(std::in_place, image) {
    root_ = Json::object();
    frames_.push_back({&root_, nullptr, "", {}});
}

Codec::Codec(const Json& document) {
    frames_.push_back({nullptr, &document, "", {}});
    if (!document.is_object()) fail("the document must be a JSON object");
}

std::size_t Codec::position() const {
    return exporting() ? in_->position() : out_.size();
}

// ---- Paths and faults

std::string Codec::pathOf(std::string_view member) const {
    std::string path;
    for (const Frame& f : frames_)
        if (!f.token.empty()) path += "/" + EscapeToken(f.token);
    if (!member.empty()) path += "/" + EscapeToken(member);
    return path;
}

void Codec::fail(const std::string& message) const {
    if (exporting()) throw ImageFault(in_->position(), message);
    throw DocumentFault(pathOf(""), message);
}

void Codec::failAt(std::string_view member, const std::string& message) const {
    if (exporting()) throw ImageFault(in_->position(), message);
    throw DocumentFault(pathOf(member), message);
}

// ---- Scopes

Json& Codec::slot(std::string_view name) {
    Json& current = *top().out;
    if (name.empty()) return current;
    return current[std::string(name)];
}

const Json* Codec::member(std::string_view name) const {
    if (exporting()) return nullptr;
    const Json& current = *top().in;
    if (!current.is_object()) return nullptr;
    auto it = current.find(name);
    return it == current.end() ? nullptr : &*it;
}

bool Codec::has(std::string_view name) const {
    return member(name) != nullptr;
}

const Json& Codec::take(std::string_view name) {
    if (name.empty()) return *top().in;
    const Json& current = *top().in;
    if (!current.is_object()) fail("must be an object");
    auto it = current.find(name);
    if (it == current.end()) failAt(name, "is missing");
    top().used.push_back(it.key());
    return *it;
}

void Codec::pushElement(std::size_t index, Json* out, const Json* in) {
    frames_.push_back({out, in, std::to_string(index), {}});
}

void Codec::pop() {
    frames_.pop_back();
}

void Codec::beginObject(std::string_view name) {
    if (exporting()) {
        Json& target = slot(name);
        target = Json::object();
        frames_.push_back({&target, nullptr, std::string(name), {}});
        return;
    }
    const Json& source = take(name);
    if (!source.is_object())
        failAt(name, std::string("must be an object, not ") + TypeName(source));
    frames_.push_back({nullptr, &source, std::string(name), {}});
}

void Codec::reopenObject(std::string_view name) {
    if (exporting()) {
        frames_.push_back({&slot(name), nullptr, std::string(name), {}});
        return;
    }
    const Json& source = name.empty() ? *top().in : take(name);
    frames_.push_back({nullptr, &source, std::string(name), {}});
}

void Codec::descend(std::string_view key) {
    if (exporting())
        frames_.push_back({&(*top().out)[std::string(key)], nullptr, std::string(key), {}});
    else
        frames_.push_back({nullptr, &(*top().in)[std::string(key)], std::string(key), {}});
}

void Codec::descend(std::size_t index) {
    if (exporting())
        frames_.push_back({&(*top().out)[index], nullptr, std::to_string(index), {}});
    else
        frames_.push_back({nullptr, &(*top().in)[index], std::to_string(index), {}});
}

void Codec::markUsed(std::string_view name) {
    if (exporting() || !top().in->is_object()) return;
    auto it = top().in->find(name);
    if (it != top().in->end()) top().used.push_back(it.key());
}

std::uint64_t Codec::peekNumber(std::string_view name) const {
    if (exporting()) return 0;
    const Json* m = member(name);
    if (!m || !m->is_number_integer()) return 0;
    return m->is_number_unsigned() ? m->get<std::uint64_t>()
                                   : static_cast<std::uint64_t>(m->get<std::int64_t>());
}

std::pair<RecordAt, std::uint32_t> Codec::count16() {
    const RecordAt at{position(), 2};
    if (exporting()) return {at, in_->u16("count")};
    out_.resize(out_.size() + 2);
    return {at, 0};
}

std::pair<RecordAt, std::uint32_t> Codec::count8() {
    const RecordAt at{position(), 1};
    if (exporting()) return {at, in_->u8("count")};
    out_.resize(out_.size() + 1);
    return {at, 0};
}

void Codec::endObject() {
    if (!exporting()) {
        const Frame& f = top();
        if (f.used.size() != f.in->size())
            for (const auto& [key, value] : f.in->items())
                if (std::find(f.used.begin(), f.used.end(), key) == f.used.end())
                    failAt(key, "is not a member of this object");
    }
    pop();
}

// ---- Values

std::uint32_t Codec::number(std::string_view name, Kind kind) {
    const Range range = RangeOf(kind);
    if (exporting()) {
        const auto bytes = in_->take(range.width, name.empty() ? "value" : name);
        const std::uint32_t raw =
            ReadLe(reinterpret_cast<const std::uint8_t*>(bytes.data()), range.width);
        if (kind == Kind::S16)
            slot(name) = static_cast<std::int16_t>(raw);
        else if (kind == Kind::S32)
            slot(name) = static_cast<std::int32_t>(raw);
        else
            slot(name) = raw;
        return raw;
    }
    const Json& value = take(name);
    std::int64_t v = 0;
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        v = u > 0xFFFFFFFFull ? std::numeric_limits<std::int64_t>::max()
                              : static_cast<std::int64_t>(u);
    } else if (value.is_number_integer()) {
        v = value.get<std::int64_t>();
    } else {
        failAt(name, "must be a whole number from " + std::to_string(range.low) + " to " +
                         std::to_string(range.high) + ", not " + TypeName(value));
    }
    if (v < range.low || v > range.high)
        failAt(name, "must be a whole number from " + std::to_string(range.low) + " to " +
                         std::to_string(range.high));
    const auto raw = static_cast<std::uint32_t>(v) & (range.width == 4   ? 0xFFFFFFFFu
                                                      : range.width == 2 ? 0xFFFFu
                                                                         : 0xFFu);
    const std::size_t at = out_.size();
    out_.resize(at + range.width);
    WriteLe(out_.data() + at, range.width, raw);
    return raw;
}

std::uint32_t Codec::numberValue(std::string_view name, Kind kind, std::uint32_t exportValue) {
    if (exporting()) {
        slot(name) = exportValue;
        return exportValue;
    }
    const std::size_t end = out_.size();
    const std::uint32_t value = number(name, kind);
    out_.resize(end);
    return value;
}

namespace {
std::span<const std::uint8_t> AsU8(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}
}  // namespace

std::vector<std::uint8_t> Codec::hexValue(std::string_view name,
                                          std::span<const std::uint8_t> exportBytes,
                                          std::size_t limit) {
    if (exporting()) {
        slot(name) = ToHex(exportBytes);
        return {exportBytes.begin(), exportBytes.end()};
    }
    const Json& value = take(name);
    if (!value.is_string()) failAt(name, std::string("must be a hex text, not ") + TypeName(value));
    auto bytes = FromHex(value.get_ref<const std::string&>());
    if (!bytes) failAt(name, "must be hex: pairs of the digits 0-9 and a-f");
    if (bytes->size() > limit)
        failAt(name, "holds " + std::to_string(bytes->size()) + " bytes; at most " +
                         std::to_string(limit) + " fit here");
    return std::move(*bytes);
}

std::vector<std::uint8_t> Codec::textValue(std::string_view name,
                                           std::span<const std::uint8_t> exportText,
                                           std::size_t limit, bool noZero) {
    if (exporting()) {
        slot(name) = BytesToUtf8(exportText);
        return {exportText.begin(), exportText.end()};
    }
    const Json& value = take(name);
    if (!value.is_string()) failAt(name, std::string("must be a text, not ") + TypeName(value));
    TextFault fault;
    auto bytes = Utf8ToBytes(value.get_ref<const std::string&>(), &fault);
    if (!bytes) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(fault.character));
        failAt(name, "character " + std::to_string(fault.index + 1) + " (" + code +
                         ") has no place in the project's character set (Windows-1252)");
    }
    if (bytes->size() > limit)
        failAt(name, "is " + std::to_string(bytes->size()) + " characters long; at most " +
                         std::to_string(limit) + " fit here");
    if (noZero && std::find(bytes->begin(), bytes->end(), 0) != bytes->end())
        failAt(name, "cannot hold the character U+0000 here");
    return std::move(*bytes);
}

std::vector<std::uint8_t> Codec::hex(std::string_view name, std::size_t n) {
    if (exporting()) return hexValue(name, AsU8(in_->take(n, name)), n);
    auto bytes = hexValue(name, {}, n);
    if (bytes.size() != n)
        failAt(name, "must hold exactly " + std::to_string(n) + " bytes (" + std::to_string(2 * n) +
                         " hex digits)");
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::hexBytes(std::string_view name, std::size_t exportLength,
                                          std::size_t limit) {
    if (exporting()) return hexValue(name, AsU8(in_->take(exportLength, name)), limit);
    auto bytes = hexValue(name, {}, limit);
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::base64(std::string_view name, std::size_t exportLength,
                                        std::size_t limit) {
    if (exporting()) {
        auto bytes = AsU8(in_->take(exportLength, name));
        slot(name) = ToBase64(bytes);
        return {bytes.begin(), bytes.end()};
    }
    const Json& value = take(name);
    if (!value.is_string())
        failAt(name, std::string("must be a base64 text, not ") + TypeName(value));
    auto bytes = FromBase64(value.get_ref<const std::string&>());
    if (!bytes) failAt(name, "must be base64 (A-Z, a-z, 0-9, + and /, padded with =)");
    if (bytes->size() > limit)
        failAt(name, "holds " + std::to_string(bytes->size()) + " bytes; at most " +
                         std::to_string(limit) + " fit here");
    out_.insert(out_.end(), bytes->begin(), bytes->end());
    return std::move(*bytes);
}

std::vector<std::uint8_t> Codec::text(std::string_view name, std::size_t exportLength,
                                      std::size_t limit, bool noZero) {
    if (exporting()) return textValue(name, AsU8(in_->take(exportLength, name)), limit);
    auto bytes = textValue(name, {}, limit, noZero);
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

namespace {
constexpr std::size_t kLimit8 = 0xFF, kLimit16 = 0xFFFF, kLimit32 = 0xFFFFFFFF;
}

std::vector<std::uint8_t> Codec::text8(std::string_view name) {
    if (exporting()) return text(name, get8(), kLimit8);
    auto bytes = textValue(name, {}, kLimit8);
    put8(static_cast<std::uint8_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::text16(std::string_view name) {
    if (exporting()) return text(name, get16(), kLimit16);
    auto bytes = textValue(name, {}, kLimit16);
    put16(static_cast<std::uint16_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::text32(std::string_view name) {
    if (exporting()) return text(name, get32(), kLimit32);
    auto bytes = textValue(name, {}, kLimit32);
    put32(static_cast<std::uint32_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::hex32(std::string_view name) {
    if (exporting()) return hexBytes(name, get32(), kLimit32);
    auto bytes = hexValue(name, {}, kLimit32);
    put32(static_cast<std::uint32_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return bytes;
}

std::vector<std::uint8_t> Codec::cstring(std::string_view name) {
    if (exporting()) {
        const std::string_view t = in_->cstring(name);
        return textValue(name, {reinterpret_cast<const std::uint8_t*>(t.data()), t.size()},
                         kLimit32);
    }
    auto bytes = textValue(name, {}, kLimit32, true);
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    out_.push_back(0);
    return bytes;
}

void Codec::zeros(std::size_t n) {
    if (exporting())
        in_->skip(n, "zero bytes");
    else
        out_.resize(out_.size() + n);
}

void Codec::put8(std::uint8_t v) {
    if (exporting())
        in_->u8();
    else
        out_.push_back(v);
}

void Codec::put16(std::uint16_t v) {
    if (exporting()) {
        in_->u16();
        return;
    }
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Codec::put32(std::uint32_t v) {
    if (exporting()) {
        in_->u32();
        return;
    }
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Codec::get8() {
    return in_->u8("length");
}
std::uint32_t Codec::get16() {
    return in_->u16("length");
}
std::uint32_t Codec::get32() {
    return in_->u32("length");
}

std::span<const std::uint8_t> Codec::peek(std::size_t n) {
    return AsU8(in_->peek(n, "record"));
}

// ---- Records

namespace {
bool Listed(const std::vector<std::string_view>& names, std::string_view prefix,
            std::string_view name) {
    for (std::string_view n : names)
        if (n.size() == prefix.size() + name.size() && n.substr(0, prefix.size()) == prefix &&
            n.substr(prefix.size()) == name)
            return true;
    return false;
}
}  // namespace

void Codec::fieldValues(const RecordTable& table, std::size_t base,
                        const std::vector<std::string_view>& computed, std::string_view prefix) {
    std::size_t at = 0;
    auto gap = [&](std::size_t end) {
        if (end <= at) return;
        const std::string name = GapName(at);
        if (exporting()) {
            const auto& image = in_->image();
            slot(name) = ToHex(AsU8(image.subspan(base + at, end - at)));
        } else {
            auto bytes = hexValue(name, {}, end - at);
            if (bytes.size() != end - at)
                failAt(name, "must hold exactly " + std::to_string(end - at) + " bytes (" +
                                 std::to_string(2 * (end - at)) + " hex digits)");
            std::copy(bytes.begin(), bytes.end(), out_.begin() + base + at);
        }
        at = end;
    };
    for (const FieldEntry& f : table.fields) {
        gap(f.offset);
        at = f.offset + f.width;
        const std::size_t where = base + f.offset;
        const bool left = f.kind == Kind::Derived || Listed(computed, prefix, f.name);
        if (f.kind == Kind::Const) {
            if (!exporting()) WriteLe(out_.data() + where, f.width, f.value);
            continue;
        }
        if (left) continue;
        if (f.kind == Kind::Sub) {
            beginObject(f.name);
            const std::string inner = std::string(prefix) + f.name + ".";
            fieldValues(*f.sub, where, computed, inner);
            endObject();
            continue;
        }
        if (f.kind == Kind::Hex) {
            if (exporting()) {
                slot(f.name) = ToHex(AsU8(in_->image().subspan(where, f.width)));
            } else {
                auto bytes = hexValue(f.name, {}, f.width);
                if (bytes.size() != f.width)
                    failAt(f.name, "must hold exactly " + std::to_string(f.width) + " bytes (" +
                                       std::to_string(2 * f.width) + " hex digits)");
                std::copy(bytes.begin(), bytes.end(), out_.begin() + where);
            }
            continue;
        }
        if (exporting()) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(in_->image().data()) + where;
            const std::uint32_t raw = ReadLe(p, f.width);
            if (f.kind == Kind::S16)
                slot(f.name) = static_cast<std::int16_t>(raw);
            else if (f.kind == Kind::S32)
                slot(f.name) = static_cast<std::int32_t>(raw);
            else
                slot(f.name) = raw;
            continue;
        }
        // Importing a number: read it as a value of its own, then move it into place.
        const std::size_t end = out_.size();
        const std::uint32_t raw = number(f.name, f.kind);
        out_.resize(end);
        WriteLe(out_.data() + where, f.width, raw);
    }
    gap(table.size);
}

RecordAt Codec::fields(const RecordTable& table, const std::vector<std::string_view>& computed) {
    const std::size_t offset = position();
    if (exporting())
        in_->needBytes(1, table.size, "record");
    else
        out_.resize(offset + table.size);
    fieldValues(table, offset, computed, "");
    if (exporting()) in_->skip(table.size);
    return {offset, table.size};
}

RecordAt Codec::record(std::string_view name, const RecordTable& table,
                       const std::vector<std::string_view>& computed) {
    beginObject(name);
    const RecordAt at = fields(table, computed);
    endObject();
    return at;
}

void Codec::patchBytes(const RecordAt& r, std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (exporting()) return;
    std::copy(bytes.begin(), bytes.end(), out_.begin() + r.offset + offset);
}

std::span<const std::uint8_t> Codec::recordBytes(const RecordAt& r) const {
    if (exporting()) return AsU8(in_->image().subspan(r.offset, r.size));
    return std::span<const std::uint8_t>(out_).subspan(r.offset, r.size);
}

std::uint32_t Codec::recordValue(const RecordAt& r, std::size_t offset, std::size_t width) const {
    return ReadLe(recordBytes(r).data() + offset, width);
}

void Codec::patch(const RecordAt& r, std::size_t offset, std::size_t width, std::uint64_t value,
                  std::string_view name, std::uint64_t limit) {
    if (exporting()) return;
    if (limit == 0) limit = width >= 4 ? 0xFFFFFFFFull : (1ull << (8 * width)) - 1;
    if (value > limit)
        failAt(name, "holds " + std::to_string(value) + " entries; at most " +
                         std::to_string(limit) + " fit in the project");
    WriteLe(out_.data() + r.offset + offset, width, value);
}

// ---- Parsing

namespace {

struct Level {
    bool isArray = false;
    std::size_t index = 0;
    std::string key;
    std::vector<std::string> keys;
};

std::string LevelsPath(const std::vector<Level>& levels, std::size_t upTo) {
    std::string path;
    for (std::size_t i = 0; i < upTo; ++i)
        path += "/" +
                (levels[i].isArray ? std::to_string(levels[i].index) : EscapeToken(levels[i].key));
    return path;
}

std::string CleanParseMessage(std::string what) {
    const auto end = what.find("] ");
    if (what.rfind("[json.exception", 0) == 0 && end != std::string::npos) what.erase(0, end + 2);
    return what;
}

}  // namespace

Json ParseDocument(std::string_view text) {
    std::vector<Level> levels;
    auto elementDone = [&] {
        if (!levels.empty() && levels.back().isArray) ++levels.back().index;
    };
    Json::parser_callback_t callback = [&](int, Json::parse_event_t event, Json& parsed) {
        using E = Json::parse_event_t;
        switch (event) {
            case E::object_start:
                levels.push_back({});
                break;
            case E::array_start:
                levels.push_back({true, 0, {}, {}});
                break;
            case E::object_end:
            case E::array_end:
                if (!levels.empty()) levels.pop_back();
                elementDone();
                break;
            case E::key: {
                Level& level = levels.back();
                const auto& key = parsed.get_ref<const std::string&>();
                if (std::find(level.keys.begin(), level.keys.end(), key) != level.keys.end())
                    throw DocumentFault(
                        LevelsPath(levels, levels.size() - 1) + "/" + EscapeToken(key),
                        "the member \"" + key + "\" appears twice");
                level.keys.push_back(key);
                level.key = key;
                break;
            }
            case E::value:
                elementDone();
                break;
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), callback);
    } catch (const Json::exception& e) {  // a syntax error, or a number beyond 64 bits
        throw DocumentFault("", "the document is not valid JSON: " + CleanParseMessage(e.what()));
    }
}

}  // namespace kestra::json
