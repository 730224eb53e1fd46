#include "kestra/json_syntax.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kestra/json_text.h"
#include "kestra/project_json.h"

namespace kestra::json {
namespace {

using Json = nlohmann::json;

std::string CleanParseMessage(std::string what) {
    const auto end = what.find("] ");
    if (what.rfind("[json.exception", 0) == 0 && end != std::string::npos) what.erase(0, end + 2);
    return what;
}

// Events of the parser, keeping the path to the current value and the names of each open
// object's members. Nothing of the values is kept.
class Checker {
  public:
    bool null() { return done(); }
    bool boolean(bool) { return done(); }
    bool number_integer(Json::number_integer_t) { return done(); }
    bool number_unsigned(Json::number_unsigned_t) { return done(); }
    bool number_float(Json::number_float_t, const Json::string_t&) { return done(); }
    bool string(Json::string_t&) { return done(); }
    bool binary(Json::binary_t&) { return done(); }
    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(Json::string_t& name) {
        Level& level = levels_.back();
        if (std::find(level.keys.begin(), level.keys.end(), name) != level.keys.end())
            throw DocumentFault(path(levels_.size() - 1) + "/" + EscapeToken(name),
                                "the member \"" + name + "\" appears twice");
        level.keys.push_back(name);
        level.key = name;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
        // A syntax error, or a number beyond what a double holds.
        throw DocumentFault("", "the document is not valid JSON: " + CleanParseMessage(e.what()));
    }

  private:
    struct Level {
        bool isArray = false;
        std::size_t index = 0;
        std::string key;
        std::vector<std::string> keys;
    };

    std::string path(std::size_t upTo) const {
        std::string p;
        for (std::size_t i = 0; i < upTo; ++i)
            p += "/" + (levels_[i].isArray ? std::to_string(levels_[i].index)
                                           : EscapeToken(levels_[i].key));
        return p;
    }
    bool open(bool isArray) {
        if (levels_.size() == kMaxNesting)
            throw DocumentFault(path(levels_.size()), "nests arrays and objects more than " +
                                                          std::to_string(kMaxNesting) +
                                                          " deep; a project document never does");
        levels_.push_back({isArray, 0, {}, {}});
        return true;
    }
    bool close() {
        levels_.pop_back();
        return done();
    }
    bool done() {
        if (!levels_.empty() && levels_.back().isArray) ++levels_.back().index;
        return true;
    }

    std::vector<Level> levels_;
};

}  // namespace

void CheckDocumentText(std::string_view text) {
    Checker checker;
    Json::sax_parse(text.begin(), text.end(), &checker);
}

}  // namespace kestra::json
