// The tables beside the program: key codes with their names ("KeyCodes.txt") and the field
// names of the associated-field list ("FieldAssocs.txt").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace clavon {

struct KeyCode {
    int code = 0;
    std::string name;
    bool operator==(const KeyCode&) const = default;
};

// Pairs of a code (decimal, or hexadecimal after "0x") and a name, separated by white space.
// A pair whose code is not a number is skipped.
std::vector<KeyCode> ParseKeyCodes(std::string_view text);
// The key codes of the user's own "KeyCodes.txt" in `userFolder` when there is one, opened for
// reading and writing (one that cannot be written gives no codes); otherwise those of the
// table shipped in `programFolder`, which is only read. Empty when neither can be read.
std::vector<KeyCode> ReadKeyCodes(const std::string& programFolder, const std::string& userFolder);

// Lines ended by a carriage return; line feeds are dropped wherever they stand; a last line
// without its carriage return is not used.
std::vector<std::string> ParseFieldNames(std::string_view bytes);
std::vector<std::string> ReadFieldNames(const std::string& folder);

}  // namespace clavon
