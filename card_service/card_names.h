// Names of files on the card.
//
// A file's name lives in the 40-byte name field of its directory entry (directory.h), whose
// last byte ends it: a name holds at most 39 bytes, of UTF-8 text without control characters
// (a line end in a name would break every listing of the card). A name the user gives that
// does not fit is refused with the limit, or, where the user asks for it, shortened to as many
// whole characters as fit; it is never cut silently, and never inside a character. A name
// taken from a file of this computer is made to fit in the same way, its control characters
// and bytes that are no UTF-8 shown as "?".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "card_service/directory.h"

namespace kestra::card {

inline constexpr std::size_t kMaxNameBytes = kNameField - 1;

// What keeps `name` from being a file's name on the card, as the end of a sentence ("is 45
// bytes long; a name on the card holds at most 39 bytes of UTF-8"), or nullopt.
std::optional<std::string> CardNameProblem(std::string_view name);
// True when the only problem of `name` is its length: shortening makes it a name.
bool OnlyTooLong(std::string_view name);
// The longest beginning of `text` of whole UTF-8 characters within `bytes` bytes (a byte that
// is no UTF-8 counts as a character of its own).
std::string_view WholeCharacters(std::string_view text, std::size_t bytes);
// The name of a file of this computer as a name on the card.
std::string CardNameOfFile(std::string_view fileName);
// A name as a listing shows it: control characters and bytes that are no UTF-8 written as
// escapes (\n, \x01), so that every name stays on its line.
std::string PrintableName(std::string_view name);

}  // namespace kestra::card
