// Asking the kernel to back a large range of memory with huge pages.
//
// Memory that a process has never touched costs a page fault at its first touch, one for
// every 4 KB page; in a virtual machine each fault is dear. A buffer of tens of megabytes that
// is written once from end to end (a document being exported, an image being imported) is
// advised to come in 2 MB pages, which cost one fault each. The advice is only a hint: where
// the kernel does not follow it, nothing changes but the speed.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kestra::platform {

inline constexpr std::uintptr_t kHugePageSize = std::uintptr_t{2} << 20;

// The first 2 MB boundary at or after `address`.
inline constexpr std::uintptr_t HugePageUp(std::uintptr_t address) {
    return (address + kHugePageSize - 1) & ~(kHugePageSize - 1);
}

// Advises the whole 2 MB pages inside [data, data + size) to be huge pages.
inline void AdviseHugePages(void* data, std::size_t size) {
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = HugePageUp(start);
    const std::uintptr_t end = (start + size) & ~(kHugePageSize - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

// The bytes of [data, data + size) before its first 2 MB boundary: in a range advised as huge
// pages, the part that comes 4 KB at a time.
inline std::size_t BeforeFirstHugePage(const void* data, std::size_t size) {
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    return std::min<std::size_t>(size, HugePageUp(begin) - begin);
}

}  // namespace kestra::platform
