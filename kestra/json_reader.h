// Reading a document for import, as the parse goes: no tree of the document is built.
//
// The reader keeps a stack of the objects and arrays entered. Each object's member names are
// read once when it is entered, so that members are found by name in any order; a member or
// an element is then reached by moving through the text, forward, or back to its container's
// start when it lies behind. Values are read in place: texts straight from the document.
//
// Every fault of the text itself (bad syntax, a bad escape, a control character in a string)
// is thrown as SyntaxTrouble; the caller then finds the first one with CheckDocumentText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/project_json.h"

namespace kestra::json {

struct SyntaxTrouble {
    std::string what;
};

enum class ValueKind : std::uint8_t { Missing, Null, Boolean, Number, Text, Array, Object };

// A number of the document: whole numbers within 64 bits, as the parser of the check sees them.
struct DocumentNumber {
    bool whole = false;
    bool negative = false;
    std::uint64_t magnitude = 0;  // whole and not negative
    std::int64_t value = 0;       // whole and negative
};

class DocumentReader {
  public:
    // `text` must have kDocumentPadding readable bytes after its end. The root must be an
    // object, which is entered (rootIsObject() says whether it is).
    explicit DocumentReader(std::string_view text);
    ~DocumentReader();
    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    bool rootIsObject() const { return rootIsObject_; }
    std::size_t textSize() const { return textSize_; }
    // Objects and arrays entered, the root included.
    std::size_t depth() const { return depth_; }
    // Leaves the objects and arrays entered above `depth`.
    void leaveTo(std::size_t depth);

    // ---- The object on top
    bool isObject() const;
    bool has(std::string_view name) const;
    // Makes the member the current value; false when the object has none of that name.
    // With `use`, the member counts as read for firstUnused().
    bool seekMember(std::string_view name, bool use);
    void markUsed(std::string_view name);
    // The first member name (in document order) not used; nullopt when every one was.
    std::optional<std::string_view> firstUnused() const;

    // ---- The array on top
    std::size_t size();
    // Makes element `index` the current value; false beyond the end.
    bool seekElement(std::size_t index);

    // ---- The current value of the object or array on top
    ValueKind kind();
    DocumentNumber number();
    // The text of a string, escapes resolved (in `scratch` when there are any).
    std::string_view text(std::string& scratch);
    // Enters the current value, which must be an object or an array.
    void enterObject();
    void enterArray();
    // Element count of the current value, an array (entered and left again), and whether it
    // has none.
    std::size_t arraySize();
    bool arrayIsEmpty();

    // Checks that nothing follows the root object, after every member was read.
    void finish();

  private:
    struct Container;
    Container& top() { return *stack_[depth_ - 1]; }
    const Container& top() const { return *stack_[depth_ - 1]; }
    Container& push();
    std::size_t ordinalOf(std::string_view name) const;
    void scanKeys();

    struct Parser;
    std::unique_ptr<Parser> parser_;
    bool rootIsObject_ = false;
    std::size_t textSize_ = 0;
    // Containers entered are stack_[0] to stack_[depth_ - 1]; those above are kept for reuse.
    std::vector<std::unique_ptr<Container>> stack_;
    std::size_t depth_ = 0;
    // The member names of the objects entered, each object's after its parent's, and whether
    // each was used.
    std::vector<std::string_view> keys_;
    std::vector<std::uint8_t> used_;
    std::deque<std::string> unescapedKeys_;
};

}  // namespace kestra::json
