// Asking the kernel to back a large range of memory with huge pages.
//
// Memory that a process has never touched costs a page fault at its first touch, one for
// every 4 KB page; in a virtual machine each fault is dear. A buffer of tens of megabytes that
// is written once from end to end (a document being exported, an image being imported) is
// advised to come in 2 MB pages, which cost one fault each. The advice is only a hint: where
// the kernel does not follow it, nothing changes but the speed.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace kestra::platform {

// Advises the whole 2 MB pages inside [data, data + size) to be huge pages.
inline void AdviseHugePages(void* data, std::size_t size) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace kestra::platform
