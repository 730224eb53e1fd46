// Keeps exceptions inside the library: an export runs its body through Guarded and answers
// its failure result when the body throws.
#pragma once

#include <utility>

namespace kestra::s5 {

template <typename Result, typename Body>
Result Guarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

template <typename Body>
void Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace kestra::s5
