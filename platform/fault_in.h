// Faulting a buffer's pages in with one call, before it is written.
//
// In this virtual machine a page fault taken by a store is dear: about 10 us for a 4 KB page,
// where one call that faults a whole range in costs well under 1 us a page (a 2 MB page costs
// about the same either way). A buffer that is about to be written whole, or whose 4 KB pages
// the writer needs at once, is faulted in first. The call is only a hint: where the kernel
// refuses it, nothing changes but the speed.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

#include "platform/huge_pages.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace kestra::platform {

// Faults in the whole pages of [data, data + size), as a write would; false if refused. A
// range whose first and last whole pages are present already is left as it is: that is memory
// used before (a block the allocator hands out again), whose pages are there, and passing over
// them would cost time for nothing. (A block handed out again from the end of the heap may
// have lost the pages past its start: the last page tells.)
// Below this a buffer's few faults cost less than the calls that would spare them.
inline constexpr std::size_t kFaultInWorthFrom = std::size_t{256} << 10;

inline bool FaultIn(void* data, std::size_t size) {
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t to = (begin + size) & ~(kPage - 1);
    if (to <= from) return true;
    const auto present = [](std::uintptr_t page) {
        unsigned char state = 0;
        return mincore(reinterpret_cast<void*>(page), kPage, &state) == 0 && (state & 1);
    };
    if (present(from) && present(to - kPage)) return true;
    return madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0;
}

// A buffer of megabytes about to be written from end to end: asked for in huge pages, then
// faulted in with one call.
inline bool FaultInHuge(void* data, std::size_t size) {
    AdviseHugePages(data, size);
    return FaultIn(data, size);
}

}  // namespace kestra::platform
