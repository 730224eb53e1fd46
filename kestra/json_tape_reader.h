// Reading a document for import from its tape: the parser first reads the whole text, checking
// it as JSON, into a tape on which every object and array knows where it ends. Entering an
// object lists its members with where their values stand, passing over each value once; a
// member is then reached by name in any order, and an element by stepping from the last one.
// No part of the text is passed over again, however deep it stands.
//
// The tape reader takes the documents an export writes. What it cannot judge as the stream
// reader does (a text that is not JSON, a number that is not whole) it leaves to that reader:
// the import reads such a document again with it, so that refusals stay the stream reader's.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "kestra/json_reader.h"

namespace kestra::json {

// Thrown when the document is to be read again by the stream reader.
struct ReadAgain {};

class TapeReader final : public DocumentReader {
  public:
    // `text` must have kDocumentPadding readable bytes after its end. When it is JSON
    // (parsed() says whether) and its root is an object, the root is entered.
    explicit TapeReader(std::string_view text);
    ~TapeReader() override;
    TapeReader(const TapeReader&) = delete;
    TapeReader& operator=(const TapeReader&) = delete;

    bool parsed() const { return parsed_; }

    bool rootIsObject() const override { return rootIsObject_; }
    std::size_t textSize() const override { return textSize_; }
    void leaveTo(std::size_t depth) override;
    bool isObject() const override;
    bool has(std::string_view name) const override;
    bool seekMember(std::string_view name, bool use) override;
    ValueKind seekKind(std::string_view name, bool use) override;
    void markUsed(std::string_view name) override;
    std::optional<std::string_view> firstUnused() const override;
    std::size_t size() override;
    bool seekElement(std::size_t index) override;
    ValueKind kind() override;
    DocumentNumber number() override;
    std::string_view text(std::string& scratch) override;
    void enterObject() override;
    void enterArray() override;
    // The parser checked the whole text.
    void finish() override {}

    // Reading an object's members in the document's order without a search: the member after
    // the one made current last becomes the current value, counted as read, when it has
    // `name`; otherwise nothing changes and the answer is Missing. The object on top must
    // have had a member made current.
    ValueKind nextMember(std::string_view name);

  private:
    struct Parser;
    struct Member;
    struct Container;
    Container& top();
    const Container& top() const;
    std::size_t ordinalOf(std::string_view name) const;
    void enter(bool array);

    std::unique_ptr<Parser> parser_;
    bool parsed_ = false;
    bool rootIsObject_ = false;
    std::size_t textSize_ = 0;
    std::vector<Container> stack_;
    // The members of the objects entered, each object's after its parent's.
    std::vector<Member> members_;
};

}  // namespace kestra::json
