// The inside of the block table's packing, shared by the table and by Allocations.
//
// A loader places tens of thousands of small blocks while a packing is open, nearly all of
// them blocks that it fills at once. Such a block is placed here, inline in the caller, when
// the thread's packing has a slot set aside and room in its chunk: a bump in the chunk and a
// write of the slot, with no call and no lock. Everything else (zeroed blocks, an open arena,
// a packing out of slots or room) goes to the table's own paths in memory.cpp. Only the
// platform's sources include this file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/memory.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRA_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define KESTRA_ASAN 1
#endif
#ifdef KESTRA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace kestra::mem {

namespace detail {

// Memory that packed blocks share. Blocks are carved one after the other and never reused
// inside a chunk; a block is zeroed when it is carved, unless its caller fills it at once, so
// that no byte is written twice. The chunk goes when nothing holds it: each
// of its live blocks holds it, and so does the packing that fills it. The packing's hold is a
// large advance on the blocks it will carve, settled when it gives the chunk up, so that
// carving counts nothing shared; the holds change under the table's mutex only.
struct PackedChunk {
    // Below the size from which the C library maps memory of its own for a block: freed
    // chunks are used again, where mapped ones would come back as fresh pages.
    static constexpr std::size_t kSize = 124 * 1024;
    // Between packed blocks the sanitizer tree leaves a poisoned gap, so that running over a
    // block's end is caught as with blocks of their own.
#ifdef KESTRA_ASAN
    static constexpr std::size_t kGap = 16;
#else
    static constexpr std::size_t kGap = 0;
#endif
    static constexpr std::size_t kAlignment = 16;

    static constexpr std::size_t kPackingHold = std::size_t{1} << 48;

    std::byte* data = nullptr;
    std::size_t used = 0;    // only the packing that fills the chunk carves it
    std::size_t carved = 0;  // likewise
    std::size_t holds = kPackingHold;

    // A piece of `size` bytes (at least 1), zero-filled when asked, or nullptr when the
    // chunk is full.
    std::byte* carve(std::size_t size, bool zeroed) {
        const std::size_t at = (used + kAlignment - 1) / kAlignment * kAlignment;
        const std::size_t taken = std::max<std::size_t>(size, 1);
        if (at > kSize || taken + kGap > kSize - at) return nullptr;
        used = at + taken + kGap;
        ++carved;
        unpoison(data + at, taken);
        if (zeroed) std::memset(data + at, 0, taken);
        return data + at;
    }

    // Drops a block's hold, or (giving up) the packing's; the chunk's memory, for the caller
    // to free, when that was the last one (the chunk itself is gone then), nullptr otherwise.
    std::byte* release() {
        return drop(1);
    }
    std::byte* giveUp() {
        return drop(kPackingHold - carved);
    }
    std::byte* drop(std::size_t n) {
        holds -= n;
        if (holds > 0) return nullptr;
        std::byte* memory = data;
        unpoison(memory, kSize);
        delete this;
        return memory;
    }

    static void poison(std::byte* bytes, std::size_t n) {
#ifdef KESTRA_ASAN
        ASAN_POISON_MEMORY_REGION(bytes, n);
#else
        (void)bytes, (void)n;
#endif
    }
    static void unpoison(std::byte* bytes, std::size_t n) {
#ifdef KESTRA_ASAN
        ASAN_UNPOISON_MEMORY_REGION(bytes, n);
#else
        (void)bytes, (void)n;
#endif
    }
};

// What an open packing has: the chunk it fills, slots of the table set aside for its blocks
// and the blocks it placed since it last took the lock (by kind), so that placing a packed
// block takes no lock.
struct PackingState {
    static constexpr std::size_t kSlotsAtOnce = 256;
    PackedChunk* chunk = nullptr;
    std::uint32_t slots[kSlotsAtOnce];
    std::size_t slotCount = 0;
    std::size_t placed[2] = {0, 0};
};

// What is open on this thread: the arena that new blocks go to and the packing that places
// them, if any. One record, so that an allocation looks the thread's state up once. The
// library is loaded with the programs, so the record has its place in the thread's static
// block, reached without a call.
struct OpenOnThread {
    Arena* arena = nullptr;
    Packing* packing = nullptr;
};
extern constinit thread_local OpenOnThread open __attribute__((tls_model("initial-exec")));

inline Ref MakeRef(std::uint32_t index, std::uint8_t generation) {
    return index | (static_cast<Ref>(generation) << kIndexBits);
}
inline Slot& SlotAt(std::uint32_t index) {
    return slotPages[index / kSlotsPerPage].load(std::memory_order_acquire)[index % kSlotsPerPage];
}

// Puts a new block into a slot set aside for it, owned by no arena; its reference.
inline Ref FillSlot(Slot& slot, std::uint32_t index, std::byte* data, std::size_t size, Kind kind,
                    PackedChunk* chunk) {
    slot.size = static_cast<std::uint32_t>(size);
    slot.locks = 0;
    slot.kind = kind;
    slot.chunk = chunk;
    slot.arena = 0;
    slot.data.store(data, std::memory_order_release);
    return MakeRef(index, slot.generation);
}

// How many slots ahead of the one it fills a packing fetches.
inline constexpr std::size_t kSlotsAhead = 8;

// The next of a packing's slots set aside, for a block carved from its chunk; the slot's
// index (the caller fills the slot).
inline std::uint32_t NextPackedSlot(PackingState& state, Kind kind) {
    const std::uint32_t index = state.slots[--state.slotCount];
    // A load places tens of thousands of blocks with other work between them, too slowly for
    // the processor to see the slots as one stream: the slot a few places on is fetched now,
    // so that it is at hand when its block comes.
    if (state.slotCount >= kSlotsAhead)
        __builtin_prefetch(&SlotAt(state.slots[state.slotCount - kSlotsAhead]), 1);
    ++state.placed[static_cast<int>(kind)];
    return index;
}

}  // namespace detail

struct PackingAccess {
    static detail::PackingState*& state(Packing& packing) { return packing.state_; }
};

namespace detail {

// A block of `size` bytes that the caller fills at once, placed by the thread's packing when it
// has a slot and chunk room at hand and no arena is open; nothing (a null reference)
// otherwise, when the caller goes to AllocateBlock.
inline NewBlock PlacePackedToFill(std::size_t size, Kind kind) {
    const OpenOnThread here = open;
    if (!here.packing || here.arena || size > kMaxPackedBlock) return {};
    PackingState* state = PackingAccess::state(*here.packing);
    if (!state || !state->slotCount || !state->chunk) [[unlikely]]
        return {};
    std::byte* data = state->chunk->carve(size, false);
    if (!data) [[unlikely]]
        return {};
    const std::uint32_t index = NextPackedSlot(*state, kind);
    return {FillSlot(SlotAt(index), index, data, size, kind, state->chunk), data};
}

}  // namespace detail

}  // namespace kestra::mem
