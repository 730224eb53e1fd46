// Between a project image and its JSON form, with the failures `kestra export` and
// `kestra import` end with.
#pragma once

#include <string>
#include <string_view>

#include "kestra/host.h"

namespace kestra::host {

// The JSON form of an image as the store saves it; kExitDamaged, with the byte where reading
// stopped, when the image cannot be taken apart.
std::string DocumentOfImage(const std::string& file, const Bytes& image);
// The image a JSON document describes; kExitBadDocument, with the JSON path of the first
// fault, for a document that is not a valid project. A document in a string with room after
// its text for the parser to read ahead into (as ReadDocument makes) is read where it stands;
// any other is copied first.
Bytes ImageOfDocument(const std::string& file, std::string_view document);
Bytes ImageOfDocument(const std::string& file, const std::string& document);

// A JSON document read whole, with that room after it (a regular file at once, anything else
// through ReadInput).
std::string ReadDocument(const std::string& path);

}  // namespace kestra::host
