#include "platform/fault_in.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/huge_pages.h"

using kestra::platform::BeforeFirstHugePage;
using kestra::platform::FaultIn;

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kMB = std::size_t{1} << 20;

// Which pages of a fresh anonymous mapping of `pages` pages are present after FaultIn over
// [from, from + size) of it, the pages of the mask `written` written before.
std::vector<bool> PresentAfter(int protection, std::size_t pages, std::size_t from,
                               std::size_t size, unsigned written, bool& answer) {
    void* p = mmap(nullptr, pages * kPage, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return {};
    auto* data = static_cast<char*>(p);
    for (std::size_t i = 0; i < pages; ++i)
        if (written >> i & 1) data[i * kPage] = 1;
    answer = FaultIn(data + from, size);
    std::vector<unsigned char> in(pages);
    std::vector<bool> present(pages);
    if (mincore(data, pages * kPage, in.data()) == 0)
        for (std::size_t i = 0; i < pages; ++i) present[i] = in[i] & 1;
    if (protection & PROT_WRITE) EXPECT_EQ(data[pages * kPage - 1], 0);  // contents untouched
    munmap(data, pages * kPage);
    return present;
}

TEST(FaultIn, WholePagesOfTheRangeOnly) {
    struct Case {
        const char* what;
        int protection;
        std::size_t from, size;
        unsigned written;  // a mask of the pages written before
        bool answer;
        std::vector<bool> present;  // of 4 pages
    };
    const int rw = PROT_READ | PROT_WRITE;
    const Case cases[] = {
        {"the whole mapping", rw, 0, 4 * kPage, 0, true, {true, true, true, true}},
        {"pages partly in the range are left", rw, 16, 3 * kPage, 0, true,
         {false, true, true, false}},
        {"a range inside one page", rw, 100, 200, 0, true, {false, false, false, false}},
        {"nothing", rw, 0, 0, 0, true, {false, false, false, false}},
        {"a page written before the range", rw, kPage, 3 * kPage, 0b0001, true,
         {true, true, true, true}},
        {"the range's first and last pages written before: memory used before, left", rw,
         kPage, 3 * kPage, 0b1010, true, {false, true, false, true}},
        {"only the range's first page written before: the rest faulted in", rw, kPage,
         3 * kPage, 0b0010, true, {false, true, true, true}},
        {"memory that may not be written: refused", PROT_READ, 0, 4 * kPage, 0, false,
         {false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool answer = !c.answer;
        EXPECT_EQ(PresentAfter(c.protection, 4, c.from, c.size, c.written, answer), c.present);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(FaultIn, BytesBeforeTheFirstHugePage) {
    struct Case {
        std::uintptr_t offset;  // into a 2 MB page
        std::size_t size;
        std::size_t before;
    };
    const Case cases[] = {
        {0, 10 * kMB, 0},                       // starts on a boundary
        {16, 10 * kMB, 2 * kMB - 16},           // a buffer's header before it
        {2 * kMB - 4096, 10 * kMB, 4096},       // the last page before a boundary
        {16, 100, 100},                         // ends before the boundary
        {kMB, kMB, kMB},                        // ends on it
    };
    const std::uintptr_t base = std::uintptr_t{0x7f0000000000};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        EXPECT_EQ(BeforeFirstHugePage(reinterpret_cast<const void*>(base + c.offset), c.size),
                  c.before);
    }
}

}  // namespace
