// The edge of the library: no exception leaves an export.
#pragma once

#include <exception>

namespace kestra::utilities {

// Runs `body` and returns its result, or `failure` when it throws.
template <typename Result, typename Body>
Result AtBoundary(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace kestra::utilities
