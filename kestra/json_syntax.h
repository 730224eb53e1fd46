// The checks of a document's text that come before any check of its content: valid JSON,
// member names used once per object, and no deeper nesting than a project document has.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestra::json {

// Objects and arrays nest at most this deep in a document (the root object is level 1); a
// project document needs about half of it.
inline constexpr std::size_t kMaxNesting = 128;

// Throws DocumentFault for the first fault of the text, in the order of the text; returns when
// there is none.
void CheckDocumentText(std::string_view text);

}  // namespace kestra::json
