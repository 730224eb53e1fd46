#include "kestra/json_reader.h"

#include <simdjson.h>

namespace kestra::json {

namespace od = simdjson::ondemand;
static_assert(kDocumentPadding >= simdjson::SIMDJSON_PADDING);

namespace {

[[noreturn]] void Trouble(simdjson::error_code error) {
    throw SyntaxTrouble{simdjson::error_message(error)};
}

void Check(simdjson::error_code error) {
    if (error) Trouble(error);
}

template <typename T>
T Get(simdjson::simdjson_result<T>&& result) {
    T value;
    Check(std::move(result).get(value));
    return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The four hex digits of a \u escape at `at`; nothing when they are not.
std::optional<char32_t> EscapedUnit(std::string_view raw, std::size_t at) {
    if (raw.size() - at < 4) return std::nullopt;
    char32_t unit = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = raw[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        unit = unit << 4 | static_cast<char32_t>(digit);
    }
    return unit;
}

[[noreturn]] void BadString() {
    throw SyntaxTrouble{"a string holds a control character or a bad escape"};
}

// The text of a string's content as it stands between its quotes: escapes resolved into
// `scratch` when there are any. Control characters and bad escapes are refused, as JSON does.
std::string_view Unescape(std::string_view raw, std::string& scratch) {
    bool plain = true;
    for (const char c : raw)
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            plain = false;
            break;
        }
    if (plain) return raw;
    scratch.clear();
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<unsigned char>(raw[i++]);
        if (c < 0x20) BadString();
        if (c != '\\') {
            scratch += static_cast<char>(c);
            continue;
        }
        if (i >= raw.size()) BadString();
        switch (raw[i++]) {
            case '"':
                scratch += '"';
                break;
            case '\\':
                scratch += '\\';
                break;
            case '/':
                scratch += '/';
                break;
            case 'b':
                scratch += '\b';
                break;
            case 'f':
                scratch += '\f';
                break;
            case 'n':
                scratch += '\n';
                break;
            case 'r':
                scratch += '\r';
                break;
            case 't':
                scratch += '\t';
                break;
            case 'u': {
                auto unit = EscapedUnit(raw, i);
                if (!unit) BadString();
                i += 4;
                char32_t cp = *unit;
                if (cp >= 0xDC00 && cp <= 0xDFFF) BadString();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (raw.substr(i, 2) != "\\u") BadString();
                    const auto low = EscapedUnit(raw, i + 2);
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) BadString();
                    i += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                }
                AppendUtf8(scratch, cp);
                break;
            }
            default:
                BadString();
        }
    }
    return scratch;
}

// Where a string's content ends, from just after its opening quote (the parser has checked
// that the closing quote is there).
const char* ContentEnd(const char* p) {
    for (;; ++p) {
        if (*p == '"') return p;
        if (*p == '\\') ++p;
    }
}

}  // namespace

struct DocumentReader::Parser {
    od::parser parser;
    od::document document;
};

// An object or array entered, and the member or element its iterator stands at. An object's
// member names are learnt as the iterator first passes them.
struct DocumentReader::Container {
    enum class Value : std::uint8_t {
        None,    // no current value
        Ready,   // `value` is the current value, not read yet
        Spent,   // read: reading it again needs a fresh start
        Object,  // entered before as `valueObject`, which can start again
        Array,   // entered before as `valueArray`
    };

    bool isArray = false;
    od::object object;
    od::object_iterator field, fieldsEnd;
    od::array array;
    od::array_iterator element, elementsEnd;
    std::size_t at = 0;                // ordinal of the member or element the iterator stands at
    bool taken = false;                // that member's name (or element's start) has been read
    bool complete = false;             // the iterator has been to the end
    std::size_t known = 0;             // objects: member names learnt, in keys_ from
    std::size_t keyBegin = 0;          // keyBegin on
    std::optional<std::size_t> count;  // arrays, once known
    Value state = Value::None;
    od::value value;
    od::object valueObject;
    od::array valueArray;

    void start() {
        if (isArray) {
            element = Get(array.begin());
            elementsEnd = Get(array.end());
        } else {
            field = Get(object.begin());
            fieldsEnd = Get(object.end());
        }
        at = 0;
        taken = false;
        state = Value::None;
    }

    void restart() {
        Check(isArray ? array.reset().error() : object.reset().error());
        start();
    }

    // Moves to member or element `ordinal`, making it the current value; false when there is
    // none. Member names passed for the first time are handed to `learn`.
    template <typename Learn>
    bool seek(std::size_t ordinal, Learn learn) {
        if (taken && at == ordinal && state != Value::Spent) return true;
        if (ordinal < at || (ordinal == at && taken)) restart();
        for (;;) {
            if (!taken) {
                if (isArray ? element == elementsEnd : field == fieldsEnd) {
                    complete = true;
                    count = at;
                    return false;
                }
                if (isArray) {
                    value = Get(*element);
                } else {
                    od::field f = Get(*field);
                    value = f.value();
                    if (at == known) {
                        learn(f.key().raw());
                        ++known;
                    }
                }
                taken = true;
                if (at == ordinal) {
                    state = Value::Ready;
                    return true;
                }
            }
            if (isArray)
                ++element;
            else
                ++field;
            ++at;
            taken = false;
            state = Value::None;
        }
    }
};

DocumentReader::DocumentReader(std::string_view text)
    : parser_(std::make_unique<Parser>()), textSize_(text.size()) {
    const simdjson::padded_string_view padded(text.data(), text.size(),
                                              text.size() + kDocumentPadding);
    Check(parser_->parser.iterate(padded).get(parser_->document));
    od::json_type type;
    Check(parser_->document.type().get(type));
    if (type != od::json_type::object) return;
    rootIsObject_ = true;
    Container& root = push(false);
    root.object = Get(parser_->document.get_object());
    root.start();
    // The root's members are asked for far ahead of where the walk stands (whether there are
    // languages or bitmaps, before the first page): learn them all at once.
    while (seek(root.known)) {
    }
    root.restart();
}

DocumentReader::~DocumentReader() = default;

DocumentReader::Container& DocumentReader::push(bool isArray) {
    if (depth_ == stack_.size()) stack_.push_back(std::make_unique<Container>());
    Container& c = *stack_[depth_++];
    c.isArray = isArray;
    c.complete = false;
    c.known = 0;
    c.keyBegin = keys_.size();
    c.count.reset();
    return c;
}

void DocumentReader::leaveTo(std::size_t depth) {
    if (depth_ <= depth) return;
    depth_ = depth;
    keys_.resize(stack_[depth_]->keyBegin);
    used_.resize(stack_[depth_]->keyBegin);
}

bool DocumentReader::seek(std::size_t ordinal) {
    return top().seek(ordinal, [&](const char* raw) {
        // The name runs to its closing quote; one with escapes is kept resolved.
        const char* end = raw;
        bool plain = true;
        for (; *end != '"'; ++end)
            if (*end == '\\' || static_cast<unsigned char>(*end) < 0x20) {
                plain = false;
                break;
            }
        std::string_view key(raw, static_cast<std::size_t>(end - raw));
        if (!plain) {
            std::string scratch;
            key = unescapedKeys_.emplace_back(
                Unescape({raw, static_cast<std::size_t>(ContentEnd(raw) - raw)}, scratch));
        }
        keys_.push_back(key);
        used_.push_back(0);
    });
}

// ---- Objects

bool DocumentReader::isObject() const {
    return depth_ > 0 && !top().isArray;
}

std::size_t DocumentReader::ordinalOf(std::string_view name) {
    Container& c = top();
    // Members are mostly asked for in the order they stand: look from the current one on,
    // then among the names learnt before it, then learn further names up to this one.
    const std::size_t from = c.at < c.known ? c.at : 0;
    for (std::size_t k = from; k < c.known; ++k)
        if (keys_[c.keyBegin + k] == name) return k;
    for (std::size_t k = 0; k < from; ++k)
        if (keys_[c.keyBegin + k] == name) return k;
    while (seek(c.known))
        if (keys_[c.keyBegin + c.known - 1] == name) return c.known - 1;
    return kNone;
}

bool DocumentReader::has(std::string_view name) {
    return isObject() && ordinalOf(name) != kNone;
}

bool DocumentReader::seekMember(std::string_view name, bool use) {
    if (!isObject()) return false;
    const std::size_t k = ordinalOf(name);
    if (k == kNone) return false;
    if (use) used_[top().keyBegin + k] = 1;
    seek(k);
    return true;
}

void DocumentReader::markUsed(std::string_view name) {
    if (!isObject()) return;
    const std::size_t k = ordinalOf(name);
    if (k != kNone) used_[top().keyBegin + k] = 1;
}

std::optional<std::string_view> DocumentReader::firstUnused() {
    Container& c = top();
    while (seek(c.known)) {
    }
    for (std::size_t i = c.keyBegin; i < c.keyBegin + c.known; ++i)
        if (!used_[i]) return keys_[i];
    return std::nullopt;
}

// ---- Arrays

std::size_t DocumentReader::size() {
    Container& c = top();
    if (!c.count) {
        Check(c.array.reset().error());
        c.count = Get(c.array.count_elements());
        c.restart();
    }
    return *c.count;
}

void DocumentReader::refresh() {
    Container& c = top();
    if (c.state != Container::Value::Spent) return;
    const std::size_t ordinal = c.at;
    c.restart();
    seek(ordinal);
}

bool DocumentReader::seekElement(std::size_t index) {
    return seek(index);
}

// ---- The current value

ValueKind DocumentReader::kind() {
    Container& c = top();
    using V = Container::Value;
    if (c.state == V::Object) return ValueKind::Object;
    if (c.state == V::Array) return ValueKind::Array;
    if (c.state == V::None) return ValueKind::Missing;
    refresh();
    switch (Get(c.value.type())) {
        case od::json_type::object:
            return ValueKind::Object;
        case od::json_type::array:
            return ValueKind::Array;
        case od::json_type::number:
            return ValueKind::Number;
        case od::json_type::string:
            return ValueKind::Text;
        case od::json_type::boolean:
            Get(c.value.get_bool());
            c.state = V::Spent;
            return ValueKind::Boolean;
        case od::json_type::null:
            if (!Get(c.value.is_null())) throw SyntaxTrouble{"a misspelt null"};
            c.state = V::Spent;
            return ValueKind::Null;
    }
    return ValueKind::Missing;
}

DocumentNumber DocumentReader::number() {
    refresh();
    Container& c = top();
    DocumentNumber n;
    const std::string_view token = c.value.raw_json_token();
    n.negative = !token.empty() && token[0] == '-';
    simdjson::error_code error;
    if (n.negative)
        error = c.value.get_int64().get(n.value);
    else
        error = c.value.get_uint64().get(n.magnitude);
    c.state = Container::Value::Spent;
    // A fraction, an exponent or more than 64 bits: a number, but not a whole one.
    if (error == simdjson::NUMBER_ERROR) Trouble(error);
    n.whole = !error;
    return n;
}

std::string_view DocumentReader::text(std::string& scratch) {
    refresh();
    Container& c = top();
    const std::string_view token = c.value.raw_json_token();
    c.state = Container::Value::Spent;
    if (token.empty() || token[0] != '"') throw SyntaxTrouble{"not a string"};
    const char* begin = token.data() + 1;
    return Unescape({begin, static_cast<std::size_t>(ContentEnd(begin) - begin)}, scratch);
}

void DocumentReader::enterObject() {
    Container& parent = top();
    using V = Container::Value;
    od::object object;
    if (parent.state == V::Object) {
        object = parent.valueObject;
        Check(object.reset().error());
    } else {
        refresh();
        object = Get(parent.value.get_object());
        parent.valueObject = object;
        parent.state = V::Object;
    }
    Container& c = push(false);
    c.object = object;
    c.start();
}

void DocumentReader::enterArray() {
    Container& parent = top();
    using V = Container::Value;
    od::array array;
    if (parent.state == V::Array) {
        array = parent.valueArray;
        Check(array.reset().error());
    } else {
        refresh();
        array = Get(parent.value.get_array());
        parent.valueArray = array;
        parent.state = V::Array;
    }
    Container& c = push(true);
    c.array = array;
    c.start();
}

std::size_t DocumentReader::arraySize() {
    enterArray();
    const std::size_t n = size();
    leaveTo(depth_ - 1);
    return n;
}

bool DocumentReader::arrayIsEmpty() {
    enterArray();
    const bool empty = !seekElement(0);
    leaveTo(depth_ - 1);
    return empty;
}

void DocumentReader::finish() {
    Container& root = *stack_[0];
    while (root.field != root.fieldsEnd) {
        if (!root.taken) Get(*root.field);
        ++root.field;
        root.taken = false;
    }
    const char* after = nullptr;
    if (parser_->document.current_location().get(after) != simdjson::OUT_OF_BOUNDS)
        throw SyntaxTrouble{"text follows the document"};
}

}  // namespace kestra::json
