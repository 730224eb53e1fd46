#include "platform/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/allocations.h"
#include "platform/free_blocks.h"
#include "platform/records.h"

namespace mem = kestra::mem;
using kestra::ReadLe32;

TEST(Memory, BlocksAreZeroedSizedAndNamedBy32BitReferences) {
    HGLOBAL handle = GlobalAlloc(GHND, 1002);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(GlobalSize(handle), 1002u);
    auto* bytes = static_cast<unsigned char*>(GlobalLock(handle));
    ASSERT_NE(bytes, nullptr);
    for (std::size_t i = 0; i < 1002; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(mem::KindOf(handle), mem::Kind::Global);
    GlobalUnlock(handle);
    EXPECT_EQ(GlobalFree(handle), 0u);

    mem::Ref host = mem::HostAllocate(16);
    ASSERT_NE(host, 0u);
    EXPECT_EQ(mem::KindOf(host), mem::Kind::Host);
    EXPECT_TRUE(mem::Free(host));
}

TEST(Memory, LockingAlwaysGivesTheSameAddressAndCountsLocks) {
    HGLOBAL handle = GlobalAlloc(GHND, 64);
    void* first = GlobalLock(handle);
    void* second = GlobalLock(handle);
    EXPECT_EQ(first, second);
    EXPECT_EQ(mem::LockCount(handle), 2u);
    EXPECT_EQ(GlobalUnlock(handle), TRUE);   // still locked once
    EXPECT_EQ(GlobalUnlock(handle), FALSE);  // now unlocked
    EXPECT_EQ(GlobalUnlock(handle), FALSE);  // unlocking an unlocked block changes nothing
    EXPECT_EQ(mem::LockCount(handle), 0u);
    EXPECT_EQ(GlobalLock(handle), first);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

TEST(Memory, AStaleReferenceResolvesToNothingEvenWhenItsSlotIsReused) {
    HGLOBAL handle = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(handle), 0u);
    EXPECT_EQ(GlobalLock(handle), nullptr);
    EXPECT_EQ(GlobalSize(handle), 0u);
    EXPECT_EQ(GlobalFree(handle), handle);  // double free is refused
    HGLOBAL reused = GlobalAlloc(GHND, 8);
    EXPECT_NE(reused, handle);
    EXPECT_EQ(GlobalLock(handle), nullptr);
    EXPECT_FALSE(mem::IsLive(0));
    EXPECT_EQ(GlobalLock(0), nullptr);
    GlobalFree(reused);
}

TEST(Memory, BoundsCheckedAccessRefusesEveryRangeOutsideTheBlock) {
    mem::Ref ref = mem::Allocate(100, mem::Kind::Host);
    EXPECT_NE(mem::At(ref, 0, 100), nullptr);
    EXPECT_NE(mem::At(ref, 100, 0), nullptr);
    EXPECT_EQ(mem::At(ref, 99, 2), nullptr);
    EXPECT_EQ(mem::At(ref, 101, 0), nullptr);
    EXPECT_EQ(mem::At(ref, 1, SIZE_MAX), nullptr);  // would overflow offset + length
    EXPECT_EQ(mem::At(ref, SIZE_MAX, 1), nullptr);
    mem::Free(ref);
    EXPECT_EQ(mem::At(ref, 0, 0), nullptr);
}

TEST(Memory, HugeRequestsFailInsteadOfExhaustingMemory) {
    EXPECT_EQ(GlobalAlloc(GHND, mem::kMaxBlockSize + 1), 0u);
    EXPECT_EQ(mem::HostAllocate(0xFFFFFFFFu), 0u);
    HGLOBAL handle = GlobalAlloc(GHND, 4);
    EXPECT_EQ(GlobalReAlloc(handle, mem::kMaxBlockSize + 1, GHND), 0u);
    EXPECT_EQ(GlobalSize(handle), 4u);  // the failed resize left the block as it was
    GlobalFree(handle);
}

TEST(Memory, ResizeKeepsContentsAndZeroesTheNewBytes) {
    HGLOBAL handle = GlobalAlloc(GHND, 4);
    std::memcpy(GlobalLock(handle), "abcd", 4);
    GlobalUnlock(handle);
    ASSERT_EQ(GlobalReAlloc(handle, 8, GHND), handle);
    auto* bytes = static_cast<char*>(GlobalLock(handle));
    EXPECT_EQ(std::string(bytes, 8), std::string("abcd\0\0\0\0", 8));
    GlobalUnlock(handle);
    ASSERT_EQ(GlobalReAlloc(handle, 2, GHND), handle);
    EXPECT_EQ(GlobalSize(handle), 2u);
    GlobalFree(handle);
}

TEST(Memory, LocateFindsTheBlockHoldingAnAddress) {
    mem::Ref ref = mem::Allocate(32, mem::Kind::Host);
    std::byte* data = mem::Data(ref);
    auto start = mem::Locate(data);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->ref, ref);
    EXPECT_EQ(start->offset, 0u);
    EXPECT_EQ(start->remaining, 32u);
    auto inside = mem::Locate(data + 20);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->offset, 20u);
    EXPECT_EQ(inside->remaining, 12u);
    int onTheStack = 0;
    EXPECT_FALSE(mem::Locate(&onTheStack));
    mem::Free(ref);
    EXPECT_FALSE(mem::Locate(data));
}

TEST(Memory, ManyBlocksGetDistinctReferencesAndAreAllFreed) {
    const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
    std::vector<mem::Ref> refs;
    std::set<std::byte*> addresses;
    for (int i = 0; i < 10000; ++i) {
        refs.push_back(mem::HostAllocate(static_cast<std::uint32_t>(i % 7)));
        ASSERT_NE(refs.back(), 0u);
        addresses.insert(mem::Data(refs.back()));
    }
    EXPECT_EQ(std::set<mem::Ref>(refs.begin(), refs.end()).size(), refs.size());
    EXPECT_EQ(addresses.size(), refs.size());  // even empty blocks have their own address
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before + refs.size());
    for (mem::Ref ref : refs) ASSERT_TRUE(mem::Free(ref));
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
}

TEST(Memory, LockGuardUnlocksAtScopeEnd) {
    HGLOBAL handle = GlobalAlloc(GHND, 10);
    {
        GlobalLockGuard lock(handle);
        ASSERT_TRUE(lock);
        EXPECT_EQ(lock.bytes().size(), 10u);
        EXPECT_EQ(mem::LockCount(handle), 1u);
    }
    EXPECT_EQ(mem::LockCount(handle), 0u);
    GlobalFree(handle);
    GlobalLockGuard dead(handle);
    EXPECT_FALSE(dead);
    EXPECT_TRUE(dead.bytes().empty());
}

TEST(Memory, ResizeToTheSameOrASmallerSizeKeepsWhatFits) {
    for (std::size_t size : {std::size_t{1}, std::size_t{300}, std::size_t{200000}}) {
        HGLOBAL handle = GlobalAlloc(GHND, size);
        auto* bytes = static_cast<std::uint8_t*>(GlobalLock(handle));
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        GlobalUnlock(handle);
        for (std::size_t smaller : {size, size / 2, std::size_t{0}}) {
            ASSERT_EQ(GlobalReAlloc(handle, smaller, GHND), handle) << size << " to " << smaller;
            ASSERT_EQ(GlobalSize(handle), smaller);
            const auto* kept = reinterpret_cast<const std::uint8_t*>(mem::Data(handle));
            for (std::size_t i = 0; i < smaller; ++i)
                ASSERT_EQ(kept[i], static_cast<std::uint8_t>(i * 7)) << size << " to " << smaller;
        }
        GlobalFree(handle);
    }
}

// A reference that names no live block resolves to nothing by every lookup: null, never
// handed out (its slot page not even allocated), of a freed block, or of another generation.
TEST(Memory, EveryLookupOfAReferenceWithoutABlockFindsNothing) {
    const mem::Ref live = mem::Allocate(8, mem::Kind::Host);
    const mem::Ref freed = mem::Allocate(8, mem::Kind::Host);
    mem::Free(freed);
    for (mem::Ref ref : {mem::Ref{0}, mem::Ref{0x00FFFFFF}, mem::Ref{0x00FFF001}, freed,
                         live ^ 0x01000000u, live ^ 0x80000000u}) {
        EXPECT_TRUE(mem::Bytes(ref).empty()) << std::hex << ref;
        EXPECT_EQ(mem::Data(ref), nullptr) << std::hex << ref;
        EXPECT_EQ(mem::Size(ref), 0u) << std::hex << ref;
        EXPECT_FALSE(mem::IsLive(ref)) << std::hex << ref;
        EXPECT_EQ(mem::At(ref, 0, 0), nullptr) << std::hex << ref;
    }
    EXPECT_EQ(mem::At(live, 8, 0), mem::Data(live) + 8);  // the end of a live block
    mem::Free(live);
}

// Packed blocks: what a loader that makes many small blocks at once gets.
TEST(Packing, PackedBlocksAreZeroedSeparateAndBoundedLikeAnyOther) {
    const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
    const std::size_t sizes[] = {0, 1, 15, 16, 17, 111, 1000, mem::kMaxPackedBlock};
    std::vector<mem::Ref> refs;
    {
        mem::Packing packing;
        for (int round = 0; round < 60; ++round)  // several chunks' worth
            for (std::size_t size : sizes) refs.push_back(mem::HostAllocate(size));
    }
    std::vector<std::pair<std::byte*, std::size_t>> extents;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const std::size_t size = sizes[i % std::size(sizes)];
        ASSERT_NE(refs[i], 0u);
        ASSERT_EQ(mem::Size(refs[i]), size);
        auto bytes = mem::Bytes(refs[i]);
        for (std::byte b : bytes) ASSERT_EQ(b, std::byte{0});
        EXPECT_EQ(mem::At(refs[i], 0, size + 1), nullptr);
        auto where = mem::Locate(mem::Data(refs[i]));
        ASSERT_TRUE(where);
        EXPECT_EQ(where->ref, refs[i]);
        std::memset(bytes.data(), static_cast<int>(i & 0xFF), bytes.size());
        extents.push_back({mem::Data(refs[i]), std::max<std::size_t>(size, 1)});
    }
    std::sort(extents.begin(), extents.end());
    for (std::size_t i = 1; i < extents.size(); ++i)
        ASSERT_LE(extents[i - 1].first + extents[i - 1].second, extents[i].first);
    // Every other block goes; the rest keep what was written into them.
    for (std::size_t i = 0; i < refs.size(); i += 2) ASSERT_TRUE(mem::Free(refs[i]));
    for (std::size_t i = 1; i < refs.size(); i += 2)
        for (std::byte b : mem::Bytes(refs[i])) ASSERT_EQ(b, static_cast<std::byte>(i & 0xFF));
    for (std::size_t i = 1; i < refs.size(); i += 2) ASSERT_TRUE(mem::Free(refs[i]));
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
}

TEST(Packing, APackedBlockResizedLeavesItsChunkWithItsContents) {
    HGLOBAL grown, shrunk, neighbour;
    {
        mem::Packing packing;
        grown = GlobalAlloc(GHND, 4);
        neighbour = GlobalAlloc(GHND, 4);
        shrunk = GlobalAlloc(GHND, 6);
    }
    std::memcpy(mem::Data(grown), "abcd", 4);
    std::memcpy(mem::Data(neighbour), "wxyz", 4);
    std::memcpy(mem::Data(shrunk), "uvwxyz", 6);
    ASSERT_EQ(GlobalReAlloc(grown, 10000, GHND), grown);
    ASSERT_EQ(GlobalReAlloc(shrunk, 2, GHND), shrunk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mem::Data(grown)), 6),
              std::string("abcd\0\0", 6));
    EXPECT_EQ(mem::Data(grown)[9999], std::byte{0});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mem::Data(shrunk)), 2), "uv");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mem::Data(neighbour)), 4), "wxyz");
    for (HGLOBAL h : {grown, shrunk, neighbour}) EXPECT_EQ(GlobalFree(h), 0u);
}

TEST(Packing, BlocksOutliveThePackingAndNestedPackingsAndArenasWorkTogether) {
    mem::Arena arena;
    mem::Ref outer, inner, large, later;
    {
        mem::Arena::Scope open(arena);
        mem::Packing packing;
        outer = mem::HostAllocate(40);
        {
            mem::Packing nested;
            inner = mem::HostAllocate(40);
            large = mem::HostAllocate(mem::kMaxPackedBlock + 1);  // too large to pack
        }
        later = mem::HostAllocate(8);  // the outer packing packs again
    }
    for (mem::Ref ref : {outer, inner, large, later}) {
        ASSERT_TRUE(mem::IsLive(ref));
        std::memset(mem::Data(ref), 0x5A, mem::Size(ref));  // the memory is still there
    }
    EXPECT_EQ(arena.liveBlocks(), 4u);
    arena.release();
    for (mem::Ref ref : {outer, inner, large, later}) EXPECT_FALSE(mem::IsLive(ref));
}

// A packing places its blocks a batch of slots at a time: every block, the first and last of
// a batch and those beyond it, is counted, owned by the open arena and freed with it.
TEST(Packing, BlocksAcrossBatchesOfSlotsAreCountedAndOwnedByTheOpenArena) {
    for (int count : {1, 255, 256, 257, 2000}) {
        SCOPED_TRACE(count);
        const std::size_t before = mem::LiveBlocks(mem::Kind::Global);
        mem::Arena arena;
        std::set<mem::Ref> refs;
        {
            mem::Arena::Scope open(arena);
            mem::Packing packing;
            for (int i = 0; i < count; ++i) refs.insert(GlobalAlloc(GHND, 24));
        }
        ASSERT_EQ(refs.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(refs.count(0), 0u);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), before + count);
        EXPECT_EQ(arena.liveBlocks(), static_cast<std::size_t>(count));
        arena.release();
        for (mem::Ref ref : refs) ASSERT_FALSE(mem::IsLive(ref));
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), before);
    }
}

namespace {
// A host allocator that hands out blocks four bytes short, and leaves garbage in them.
mem::Ref shortAllocator(std::uint32_t size) {
    mem::Ref ref = mem::HostAllocate(size > 4 ? size - 4 : 0);
    if (auto bytes = mem::Bytes(ref); !bytes.empty()) std::memset(bytes.data(), 0xAB, bytes.size());
    return ref;
}
mem::Ref dirtyAllocator(std::uint32_t size) {
    mem::Ref ref = mem::HostAllocate(size);
    std::memset(mem::Data(ref), 0xAB, size);
    return ref;
}
}  // namespace

TEST(Allocations, FreesEverythingUnlessKeptAndRefusesShortHostBlocks) {
    const std::size_t before =
        mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global);
    {
        mem::Allocations blocks(&shortAllocator);
        EXPECT_EQ(blocks.host(16), 0u);  // the allocator gave 12 bytes: not what was asked for
        EXPECT_NE(blocks.global(16), 0u);
        blocks.adopt(mem::HostAllocate(8));
    }
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global), before);

    mem::Ref blob, text;
    {
        mem::Allocations blocks(&dirtyAllocator);
        const std::byte bytes[3] = {std::byte{1}, std::byte{2}, std::byte{3}};
        blob = blocks.blob(bytes);
        text = blocks.text("ab");
        mem::Ref zeroed = blocks.host(8);
        EXPECT_EQ(ReadLe32(mem::Data(zeroed)), 0u);  // zeroed whatever the allocator left
        blocks.keep();
    }
    ASSERT_EQ(mem::Size(blob), 7u);
    EXPECT_EQ(ReadLe32(mem::Data(blob)), 3u);
    EXPECT_EQ(mem::Data(blob)[6], std::byte{3});
    EXPECT_STREQ(reinterpret_cast<const char*>(mem::Data(text)), "ab");
    mem::Allocations none(nullptr);
    EXPECT_EQ(none.host(4), 0u);
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global), before + 3);
}

// Work after work on one thread, some of it nested: each piece frees its own blocks when it
// fails, and only those, whatever the pieces before it left behind.
TEST(Allocations, EachPieceOfWorkFreesOnlyItsOwnBlocks) {
    struct Case {
        const char* name;
        int first, second;  // blocks each piece allocates
        bool firstKept, secondKept;
        bool nested;  // the second piece runs inside the first
    };
    const Case cases[] = {
        {"large kept, then small failed", 3000, 5, true, false, false},
        {"large failed, then small kept", 3000, 5, false, true, false},
        {"both failed", 40, 3000, false, false, false},
        {"outer failed, inner kept", 3000, 40, false, true, true},
        {"outer kept, inner failed", 40, 3000, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
        std::vector<mem::Ref> first, second;
        auto fill = [](mem::Allocations& blocks, int n, std::vector<mem::Ref>& refs) {
            for (int i = 0; i < n; ++i) refs.push_back(blocks.host(8));
        };
        auto secondPiece = [&] {
            mem::Allocations blocks(&mem::HostAllocate);
            fill(blocks, c.second, second);
            if (c.secondKept) blocks.keep();
        };
        {
            mem::Allocations blocks(&mem::HostAllocate);
            fill(blocks, c.first, first);
            if (c.nested) secondPiece();
            if (c.firstKept) blocks.keep();
        }
        if (!c.nested) secondPiece();
        for (mem::Ref ref : first) ASSERT_EQ(mem::IsLive(ref), c.firstKept);
        for (mem::Ref ref : second) ASSERT_EQ(mem::IsLive(ref), c.secondKept);
        for (mem::Ref ref : first) mem::Free(ref);
        for (mem::Ref ref : second) mem::Free(ref);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
    }
}

TEST(Allocations, AGlobalCopyHandsBackItsNewBlocksBytes) {
    std::vector<std::byte> source(mem::kMaxPackedBlock + 1);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::byte>(i * 7);
    for (bool packed : {false, true}) {
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{48}, source.size()}) {
            SCOPED_TRACE(std::to_string(size) + (packed ? " packed" : ""));
            std::optional<mem::Packing> packing;
            if (packed) packing.emplace();
            mem::Allocations blocks(&mem::HostAllocate);
            const mem::NewBlock block = blocks.globalCopy({source.data(), size});
            ASSERT_NE(block.ref, 0u);
            EXPECT_EQ(block.data, mem::Data(block.ref));
            EXPECT_EQ(mem::KindOf(block.ref), mem::Kind::Global);
            ASSERT_EQ(mem::Size(block.ref), size);
            EXPECT_TRUE(std::equal(source.begin(), source.begin() + size, block.data));
        }
    }
}

// Copies and texts of every length around the ones placed inline, one after the other in one
// packing (so that each block lies right after the one before), with and without an arena
// open: each block holds its own bytes and nothing of its neighbours'.
TEST(Allocations, SmallCopiesAndTextsHoldTheirBytesAndNoMore) {
    std::vector<char> source(100);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>('a' + i % 26);
    struct Case {
        const char* name;
        bool packed, arena, text;
    };
    const Case cases[] = {
        {"copies, packed", true, false, false},   {"texts, packed", true, false, true},
        {"copies, alone", false, false, false},   {"texts, alone", false, false, true},
        {"copies, in an arena", true, true, false}, {"texts, in an arena", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mem::Arena arena;
        std::optional<mem::Arena::Scope> scope;
        if (c.arena) scope.emplace(arena);
        std::optional<mem::Packing> packing;
        if (c.packed) packing.emplace();
        mem::Allocations blocks(&mem::HostAllocate);
        std::vector<mem::Ref> refs;
        for (std::size_t size = 0; size <= 80; ++size) {
            const std::string_view bytes(source.data() + size % 7, size);
            refs.push_back(c.text ? blocks.text(bytes)
                                  : blocks.globalCopy(std::as_bytes(std::span(bytes))).ref);
        }
        for (std::size_t size = 0; size <= 80; ++size) {
            SCOPED_TRACE(size);
            const std::string_view bytes(source.data() + size % 7, size);
            const mem::Ref ref = refs[size];
            ASSERT_NE(ref, 0u);
            EXPECT_EQ(mem::KindOf(ref), c.text ? mem::Kind::Host : mem::Kind::Global);
            ASSERT_EQ(mem::Size(ref), size + (c.text ? 1 : 0));
            const auto* held = reinterpret_cast<const char*>(mem::Data(ref));
            EXPECT_EQ(std::string_view(held, size), bytes);
            if (c.text) EXPECT_EQ(held[size], '\0');
            EXPECT_EQ(arena.liveBlocks() != 0, c.arena);
        }
    }
}

TEST(Arena, ReleaseFreesTheBlocksAllocatedWhileItWasOpenAndNoOthers) {
    mem::Arena arena;
    HGLOBAL before = GlobalAlloc(GHND, 8);
    mem::Ref host, global, freedEarly, nested;
    {
        mem::Arena::Scope open(arena);
        host = mem::HostAllocate(16);
        global = GlobalAlloc(GHND, 32);
        freedEarly = mem::HostAllocate(4);
        mem::Arena inner;
        {
            mem::Arena::Scope innerOpen(inner);
            nested = mem::HostAllocate(4);  // the inner arena's, not the outer one's
        }
        EXPECT_EQ(inner.liveBlocks(), 1u);
        inner.release();
        EXPECT_FALSE(mem::IsLive(nested));
    }
    HGLOBAL after = GlobalAlloc(GHND, 8);
    ASSERT_TRUE(mem::Free(freedEarly));
    EXPECT_EQ(arena.liveBlocks(), 2u);
    arena.release();
    EXPECT_FALSE(mem::IsLive(host));
    EXPECT_FALSE(mem::IsLive(global));
    EXPECT_TRUE(mem::IsLive(before));
    EXPECT_TRUE(mem::IsLive(after));
    EXPECT_EQ(arena.liveBlocks(), 0u);
    GlobalFree(before);
    GlobalFree(after);
}

TEST(Arena, ABlockFreedAndItsSlotTakenByAnotherOwnerSurvivesTheRelease) {
    mem::Arena arena;
    mem::Ref early;
    {
        mem::Arena::Scope open(arena);
        early = mem::HostAllocate(8);
    }
    mem::Free(early);
    // Freed slots are reused first; go round the generations of the slot so that an old
    // reference could name the new block, which must still not be taken for the arena's.
    std::vector<mem::Ref> others;
    for (int i = 0; i < 600; ++i) {
        mem::Ref other = mem::HostAllocate(8);
        if (other == early) {
            others.push_back(other);
            break;
        }
        mem::Free(other);
    }
    ASSERT_EQ(others.size(), 1u) << "the slot came round to the same reference";
    arena.release();
    EXPECT_TRUE(mem::IsLive(others[0]));
    mem::Free(others[0]);
}

TEST(Arena, ManyShortLivedBlocksDoNotKeepItsLiveBlocksFromBeingFound) {
    mem::Arena arena;
    const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
    std::vector<mem::Ref> kept;
    {
        mem::Arena::Scope open(arena);
        for (int i = 0; i < 20000; ++i) {
            mem::Ref temporary = mem::HostAllocate(16);
            if (i % 1000 == 0)
                kept.push_back(temporary);
            else
                mem::Free(temporary);
        }
    }
    EXPECT_EQ(arena.liveBlocks(), kept.size());
    arena.release();
    for (mem::Ref ref : kept) EXPECT_FALSE(mem::IsLive(ref));
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
}

// Freeing many blocks at once frees each live block listed once, whatever else the list holds
// (repeats, null references, a stale one whose slot another block took since), packed or not.
TEST(FreeBlocks, FreesEachLiveBlockListedOnce) {
    const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
    std::vector<mem::Ref> live;
    {
        mem::Packing packing;
        for (int i = 0; i < 600; ++i) live.push_back(mem::HostAllocate(i % 40));
    }
    for (int i = 0; i < 20; ++i)
        live.push_back(mem::HostAllocate(static_cast<std::uint32_t>(mem::kMaxPackedBlock + i)));
    const mem::Ref stale = mem::HostAllocate(8);
    mem::Free(stale);
    const mem::Ref bystander = mem::HostAllocate(8);
    ASSERT_EQ(bystander & 0xFFFFFF, stale & 0xFFFFFF);
    std::vector<mem::Ref> listed(live.rbegin(), live.rend());
    listed.insert(listed.begin() + 300, live.begin(), live.begin() + 100);
    listed.insert(listed.end(), {0, stale, 0});

    EXPECT_EQ(mem::FreeBlocks(listed), live.size());
    EXPECT_TRUE(mem::IsLive(bystander));
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before + 1);
    EXPECT_EQ(mem::FreeBlocks(std::vector<mem::Ref>{bystander, bystander}), 1u);
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
}
