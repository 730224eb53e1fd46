#include "kestra/json_tape_reader.h"

#include <simdjson.h>

namespace kestra::json {

namespace dom = simdjson::dom;
static_assert(kDocumentPadding >= simdjson::SIMDJSON_PADDING);

struct TapeReader::Parser : KeptParser<dom::parser> {};

namespace {

ValueKind KindOf(const dom::element& value) {
    switch (value.type()) {
        case dom::element_type::OBJECT:
            return ValueKind::Object;
        case dom::element_type::ARRAY:
            return ValueKind::Array;
        case dom::element_type::INT64:
        case dom::element_type::UINT64:
        case dom::element_type::DOUBLE:
            return ValueKind::Number;
        case dom::element_type::STRING:
            return ValueKind::Text;
        case dom::element_type::BOOL:
            return ValueKind::Boolean;
        case dom::element_type::NULL_VALUE:
            return ValueKind::Null;
    }
    return ValueKind::Missing;
}

}  // namespace

struct TapeReader::Member {
    std::string_view name;
    dom::element value;
    ValueKind kind;
    bool used = false;
};

namespace {

// A whole number of the tape as the walk reads it; a fraction or an exponent is the stream
// reader's to judge, which reads the number's text.
DocumentNumber NumberOf(const dom::element& value) {
    DocumentNumber n;
    switch (value.type()) {
        case dom::element_type::INT64: {
            const std::int64_t v = value.get_int64().value_unsafe();
            n.whole = true;
            n.negative = v < 0;
            if (n.negative)
                n.value = v;
            else
                n.magnitude = static_cast<std::uint64_t>(v);
            return n;
        }
        case dom::element_type::UINT64:
            n.whole = true;
            n.magnitude = value.get_uint64().value_unsafe();
            return n;
        default:
            throw ReadAgain{};
    }
}

}  // namespace

// An object or array entered, and its current value.
struct TapeReader::Container {
    bool isArray = false;
    std::size_t at = 0;                      // the member or element read last
    ValueKind current = ValueKind::Missing;  // Missing: none
    dom::element value;
    // Objects: their members in members_.
    std::size_t memberBegin = 0;
    std::size_t memberEnd = 0;
    // Arrays: the element at `at`, once stepped to.
    dom::array array;
    dom::array::iterator element;
    bool started = false;

    // `value` entered: an object's members are listed at the end of `members`.
    static Container Open(const dom::element& value, bool array, std::vector<Member>& members) {
        Container c;
        c.isArray = array;
        if (array) {
            if (value.get_array().get(c.array)) throw ReadAgain{};
            return c;
        }
        dom::object object;
        if (value.get_object().get(object)) throw ReadAgain{};
        c.memberBegin = members.size();
        for (const dom::key_value_pair member : object)
            members.push_back({member.key, member.value, KindOf(member.value), false});
        c.memberEnd = members.size();
        return c;
    }
};

TapeReader::TapeReader(std::string_view text)
    : parser_(std::make_unique<Parser>()), textSize_(text.size()) {
    dom::element root;
    if (parser_->parser
            .parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), false)
            .get(root))
        return;
    parsed_ = true;
    if (!root.is_object()) return;
    rootIsObject_ = true;
    stack_.push_back(Container::Open(root, false, members_));
    depth_ = 1;
}

TapeReader::~TapeReader() = default;

TapeReader::Container& TapeReader::top() {
    return stack_.back();
}

const TapeReader::Container& TapeReader::top() const {
    return stack_.back();
}

void TapeReader::leaveTo(std::size_t depth) {
    while (stack_.size() > depth) {
        if (!top().isArray) members_.resize(top().memberBegin);
        stack_.pop_back();
        --depth_;
    }
}

// ---- Objects

bool TapeReader::isObject() const {
    return !stack_.empty() && !top().isArray;
}

std::size_t TapeReader::ordinalOf(std::string_view name) const {
    const Container& c = top();
    return FindMember(c.memberEnd - c.memberBegin, c.at, name,
                      [&](std::size_t k) { return members_[c.memberBegin + k].name; });
}

bool TapeReader::has(std::string_view name) const {
    return isObject() && ordinalOf(name) < top().memberEnd - top().memberBegin;
}

bool TapeReader::seekMember(std::string_view name, bool use) {
    return seekKind(name, use) != ValueKind::Missing;
}

ValueKind TapeReader::seekKind(std::string_view name, bool use) {
    if (!isObject()) return ValueKind::Missing;
    Container& c = top();
    const std::size_t k = ordinalOf(name);
    if (k >= c.memberEnd - c.memberBegin) return ValueKind::Missing;
    Member& m = members_[c.memberBegin + k];
    if (use) m.used = true;
    c.at = k;
    c.value = m.value;
    c.current = m.kind;
    return m.kind;
}

ValueKind TapeReader::nextMember(std::string_view name) {
    Container& c = top();
    const std::size_t k = c.memberBegin + c.at + 1;
    if (k >= c.memberEnd || !SameName(members_[k].name, name)) return ValueKind::Missing;
    Member& m = members_[k];
    m.used = true;
    ++c.at;
    c.value = m.value;
    c.current = m.kind;
    return m.kind;
}

void TapeReader::markUsed(std::string_view name) {
    if (!isObject()) return;
    const std::size_t k = ordinalOf(name);
    if (k < top().memberEnd - top().memberBegin) members_[top().memberBegin + k].used = true;
}

std::optional<std::string_view> TapeReader::firstUnused() const {
    const Container& c = top();
    for (std::size_t i = c.memberBegin; i < c.memberEnd; ++i)
        if (!members_[i].used) return members_[i].name;
    return std::nullopt;
}

// ---- Arrays

std::size_t TapeReader::size() {
    return top().array.size();
}

bool TapeReader::seekElement(std::size_t index) {
    Container& c = top();
    if (!c.started || index < c.at) {
        c.element = c.array.begin();
        c.at = 0;
        c.started = true;
    }
    const dom::array::iterator end = c.array.end();
    for (; c.at < index && c.element != end; ++c.at) ++c.element;
    if (c.element == end) {
        c.current = ValueKind::Missing;
        return false;
    }
    c.value = *c.element;
    c.current = KindOf(c.value);
    return true;
}

// ---- The current value

ValueKind TapeReader::kind() {
    return top().current;
}

DocumentNumber TapeReader::number() {
    const Container& c = top();
    if (c.current != ValueKind::Number) throw ReadAgain{};
    return NumberOf(c.value);
}

std::string_view TapeReader::text(std::string&) {
    const Container& c = top();
    if (c.current != ValueKind::Text) throw ReadAgain{};
    return c.value.get_string().value_unsafe();
}

void TapeReader::enter(bool array) {
    if (stack_.empty() || top().current != (array ? ValueKind::Array : ValueKind::Object))
        throw ReadAgain{};
    const dom::element value = top().value;
    stack_.push_back(Container::Open(value, array, members_));
    ++depth_;
}

void TapeReader::enterObject() {
    enter(false);
}

void TapeReader::enterArray() {
    enter(true);
}

}  // namespace kestra::json
