#include "platform/memory.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <sys/mman.h>

#include "platform/free_blocks.h"
#include "platform/huge_pages.h"
#include "platform/packing.h"
#include "platform/records.h"

namespace kestra::mem {

namespace detail {

std::atomic<Slot*> slotPages[kSlotPageCount];
constinit thread_local OpenOnThread open __attribute__((tls_model("initial-exec")));

}  // namespace detail

static_assert(kMaxPackedBlock + detail::PackedChunk::kGap + detail::PackedChunk::kAlignment <=
              detail::PackedChunk::kSize);

namespace {

using detail::PackedChunk;
using detail::PackingState;

using detail::kIndexBits;
using detail::kIndexMask;
using detail::kSlotsPerPage;
using detail::Slot;
using detail::slotPages;

// A load writes a slot for every block; two slots share a cache line.
static_assert(sizeof(Slot) == 32);
static_assert(kMaxBlockSize <= 0xFFFFFFFFu);

using detail::open;
using detail::OpenOnThread;

class Table {
  public:
    // The common case of a load (see platform/packing.h) is placed without a call, so that it
    // needs no frame of its own; everything else goes to the paths below.
    inline NewBlock allocate(std::size_t size, Kind kind, bool zeroed);

    // A block with memory of its own.
    __attribute__((noinline)) NewBlock allocateAlone(std::size_t size, Kind kind, bool zeroed,
                                                     Arena* arena) {
        if (size > kMaxBlockSize) return {};
        // Every block occupies at least one byte so that addresses identify blocks.
        const std::size_t room = size == 0 ? 1 : size;
        auto* data = static_cast<std::byte*>(zeroed ? std::calloc(room, 1) : std::malloc(room));
        if (!data) return {};
        std::uint32_t index;
        {
            std::lock_guard lock(mutex_);
            if (!takeSlots(&index, 1)) {
                std::free(data);
                return {};
            }
            ++live_[static_cast<int>(kind)];
        }
        return {place(index, data, size, kind, nullptr, arena), data};
    }

    // Gives up the packing's chunk and the slots it did not use.
    void closePacking(Packing& packing);

    bool owned(Ref ref, std::uint32_t arena) const {
        const Slot* slot = find(ref);
        return slot && slot->arena == arena;
    }

    // Frees a live block; with an arena given, only when the block belongs to it.
    bool free(Ref ref, std::optional<std::uint32_t> arena = std::nullopt) {
        std::byte* data;
        {
            std::lock_guard lock(mutex_);
            Slot* slot = find(ref);
            if (!slot || (arena && slot->arena != *arena)) return false;
            data = empty(*slot, ref & kIndexMask);
        }
        std::free(data);
        return true;
    }

    // Frees the live blocks among refs (see platform/free_blocks.h).
    std::size_t freeMany(std::span<const Ref> refs);

    // Empties a live block's slot and puts it on the free list; the memory to free once the
    // mutex is given up (nullptr for a packed block whose chunk still holds others). With the
    // mutex held.
    std::byte* empty(Slot& slot, std::uint32_t index) {
        std::byte* data = slot.bytes();
        if (slot.chunk) {
            PackedChunk::poison(data, std::max<std::size_t>(slot.size, 1));
            data = slot.chunk->release();
        }
        --live_[static_cast<int>(slot.kind)];
        slot.data.store(nullptr, std::memory_order_relaxed);
        slot.size = 0;
        slot.locks = 0;
        slot.arena = 0;
        slot.chunk = nullptr;
        ++slot.generation;
        free_.push_back(index);
        return data;
    }

    bool resize(Ref ref, std::size_t size) {
        if (size > kMaxBlockSize) return false;
        std::lock_guard lock(mutex_);
        Slot* slot = find(ref);
        if (!slot) return false;
        const std::size_t room = size == 0 ? 1 : size;
        std::byte* old = slot->bytes();
        std::byte* data;
        if (slot->chunk) {
            // A packed block leaves its chunk: it has memory of its own from now on.
            data = static_cast<std::byte*>(std::calloc(room, 1));
            if (!data) return false;
            std::memcpy(data, old, std::min<std::size_t>(size, slot->size));
            PackedChunk::poison(old, std::max<std::size_t>(slot->size, 1));
            std::free(slot->chunk->release());
            slot->chunk = nullptr;
        } else {
            // Shrinking (an image trimmed to the size it took) stays in place.
            data = static_cast<std::byte*>(std::realloc(old, room));
            if (!data) return false;
            if (size > slot->size) std::memset(data + slot->size, 0, size - slot->size);
        }
        slot->size = static_cast<std::uint32_t>(size);
        slot->data.store(data, std::memory_order_release);
        return true;
    }

    Slot* find(Ref ref) const { return detail::Find(ref); }

    // A walk over every slot: addresses are looked up only where an interface hands over a raw
    // pointer, while blocks come and go all the time, so no address index is kept.
    std::optional<Location> locate(const void* address) {
        auto key = reinterpret_cast<std::uintptr_t>(address);
        std::lock_guard lock(mutex_);
        for (std::uint32_t index = 1; index < next_; ++index) {
            const Slot& slot = slotAt(index);
            const std::byte* data = slot.bytes();
            if (!data) continue;
            auto start = reinterpret_cast<std::uintptr_t>(data);
            if (key < start || key - start >= std::max<std::size_t>(slot.size, 1)) continue;
            std::size_t offset = key - start;
            return Location{makeRef(index, slot.generation), offset,
                            slot.size - std::min<std::size_t>(offset, slot.size)};
        }
        return std::nullopt;
    }

    std::size_t live(Kind kind) {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::max<std::ptrdiff_t>(live_[static_cast<int>(kind)], 0));
    }

  private:
    // Sets aside up to n free slots (the freed ones first); how many. With the mutex held.
    std::size_t takeSlots(std::uint32_t* slots, std::size_t n) {
        // The freed ones come off the list's end, the last freed first.
        std::size_t taken = std::min(n, free_.size());
        std::reverse_copy(free_.end() - static_cast<std::ptrdiff_t>(taken), free_.end(), slots);
        free_.resize(free_.size() - taken);
        for (; taken < n && next_ <= kIndexMask; ++taken) {
            const std::uint32_t index = next_++;
            auto& slotPage = slotPages[index / kSlotsPerPage];
            if (!slotPage.load(std::memory_order_relaxed))
                slotPage.store(newSlotPage(index / kSlotsPerPage), std::memory_order_release);
            slots[taken] = index;
        }
        return taken;
    }

    // The first slot pages lie side by side in memory advised as huge pages: a load writes a
    // slot for each of tens of thousands of blocks, and on pages of 4 KB every few of those
    // writes would miss the processor's page table cache too. Pages beyond them, or all of
    // them where the memory cannot be had, are allocated one by one. The sanitizer tree keeps
    // every page on the heap, where its leak check looks for the blocks' addresses. With the
    // mutex held.
#ifdef KESTRA_ASAN
    static constexpr bool kSideBySide = false;
#else
    static constexpr bool kSideBySide = true;
#endif
    static constexpr std::size_t kSlotPagesSideBySide = 64;
    Slot* newSlotPage(std::size_t page) {
        constexpr std::size_t kBytes = kSlotPagesSideBySide * kSlotsPerPage * sizeof(Slot);
        if (!kSideBySide || page >= kSlotPagesSideBySide) return new Slot[kSlotsPerPage];
        if (!sideBySideTried_) {
            sideBySideTried_ = true;
            void* region = mmap(nullptr, kBytes + platform::kHugePageSize, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (region != MAP_FAILED) {
                sideBySide_ = reinterpret_cast<Slot*>(
                    platform::HugePageUp(reinterpret_cast<std::uintptr_t>(region)));
                platform::AdviseHugePages(sideBySide_, kBytes);
            }
        }
        if (!sideBySide_) return new Slot[kSlotsPerPage];
        Slot* slots = sideBySide_ + page * kSlotsPerPage;
        for (std::size_t i = 0; i < kSlotsPerPage; ++i) new (slots + i) Slot;
        return slots;
    }

    // Puts a new block into a slot set aside for it; its reference.
    Ref place(std::uint32_t index, std::byte* data, std::size_t size, Kind kind, PackedChunk* chunk,
              Arena* arena) {
        Slot& slot = slotAt(index);
        const Ref ref = detail::FillSlot(slot, index, data, size, kind, chunk);
        if (arena) [[unlikely]]
            adopt(*arena, slot, ref);
        return ref;
    }

    // Placing a packed block: at once when the packing has a slot and its chunk has room,
    // else after refill() has found them (and carved the block).
    __attribute__((noinline)) NewBlock allocatePacked(Packing& packing, Arena* arena,
                                                      std::size_t size, Kind kind, bool zeroed);
    // Puts a block carved from the packing's chunk into the next of its slots.
    Ref placePacked(PackingState& state, std::byte* data, std::size_t size, Kind kind,
                    Arena* arena);
    __attribute__((noinline)) std::byte* refill(Packing& packing, std::size_t size, bool zeroed);
    // Adds the blocks a packing placed to the count. With the mutex held.
    void countPlaced(PackingState& state);

    // Records a new block as the arena's. The arena's list also keeps references of blocks
    // freed since; it is thinned out whenever it has doubled, so that it stays proportional to
    // the arena's live blocks.
    __attribute__((noinline)) void adopt(Arena& arena, Slot& slot, Ref ref);

    static Ref makeRef(std::uint32_t index, std::uint8_t generation) {
        return detail::MakeRef(index, generation);
    }
    Slot& slotAt(std::uint32_t index) const { return detail::SlotAt(index); }

    std::mutex mutex_;
    Slot* sideBySide_ = nullptr;
    bool sideBySideTried_ = false;
    std::vector<std::uint32_t> free_;
    std::uint32_t next_ = 1;
    // A bit for each slot, all clear between calls of freeMany.
    std::vector<std::uint64_t> marks_;
    // Blocks placed by a packing join the count when it next takes the lock; a block can
    // be freed before, so the count may dip below zero for a while.
    std::ptrdiff_t live_[2] = {0, 0};
};

// Made before anything runs and never destroyed: blocks may be released by static
// destructors of other modules.
union TableHolder {
    Table table;
    constexpr TableHolder() : table() {}
    ~TableHolder() {}
};
constinit TableHolder holder;

Table& table() {
    return holder.table;
}

}  // namespace

namespace {

NewBlock Table::allocate(std::size_t size, Kind kind, bool zeroed) {
    if (!zeroed)
        if (const NewBlock block = detail::PlacePackedToFill(size, kind); block.ref) return block;
    const OpenOnThread here = open;
    if (!here.packing || size > kMaxPackedBlock)
        return allocateAlone(size, kind, zeroed, here.arena);
    return allocatePacked(*here.packing, here.arena, size, kind, zeroed);
}

void Table::countPlaced(PackingState& state) {
    for (int kind = 0; kind < 2; ++kind) {
        live_[kind] += static_cast<std::ptrdiff_t>(state.placed[kind]);
        state.placed[kind] = 0;
    }
}

NewBlock Table::allocatePacked(Packing& packing, Arena* arena, std::size_t size, Kind kind,
                               bool zeroed) {
    PackingState* state = PackingAccess::state(packing);
    std::byte* data =
        state && state->slotCount && state->chunk ? state->chunk->carve(size, zeroed) : nullptr;
    if (!data) {
        data = refill(packing, size, zeroed);
        if (!data) return {};
        state = PackingAccess::state(packing);
    }
    return {placePacked(*state, data, size, kind, arena), data};
}

inline Ref Table::placePacked(PackingState& state, std::byte* data, std::size_t size, Kind kind,
                              Arena* arena) {
    return place(detail::NextPackedSlot(state, kind), data, size, kind, state.chunk, arena);
}

std::byte* Table::refill(Packing& packing, std::size_t size, bool zeroed) {
    PackingState*& state = PackingAccess::state(packing);
    if (!state) state = new PackingState;
    if (state->slotCount == 0) {
        std::lock_guard lock(mutex_);
        countPlaced(*state);
        state->slotCount = takeSlots(state->slots, PackingState::kSlotsAtOnce);
        if (state->slotCount == 0) return nullptr;
    }
    std::byte* data = state->chunk ? state->chunk->carve(size, zeroed) : nullptr;
    if (data) return data;
    auto* fresh = static_cast<std::byte*>(std::malloc(PackedChunk::kSize));
    if (!fresh) return nullptr;
    PackedChunk::poison(fresh, PackedChunk::kSize);
    std::byte* spent = nullptr;  // the full chunk's memory, when its blocks are gone
    if (state->chunk) {
        std::lock_guard lock(mutex_);
        spent = state->chunk->giveUp();
    }
    std::free(spent);
    state->chunk = new PackedChunk{fresh};
    return state->chunk->carve(size, zeroed);
}

void Table::closePacking(Packing& packing) {
    PackingState*& state = PackingAccess::state(packing);
    if (!state) return;
    std::byte* spent = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (state->chunk) spent = state->chunk->giveUp();
        countPlaced(*state);
        // Back in the order they were taken, so that the free list reads as before.
        while (state->slotCount > 0) free_.push_back(state->slots[--state->slotCount]);
    }
    std::free(spent);
    delete state;
    state = nullptr;
}

std::size_t Table::freeMany(std::span<const Ref> refs) {
    // The live blocks are marked by slot index, one bit each, and freed in the order of the
    // indices.
    std::vector<std::byte*> spent;  // memory to give back once the mutex is given up
    std::size_t freed = 0;
    {
        std::lock_guard lock(mutex_);
        if (marks_.size() < next_ / 64 + 1) marks_.resize(next_ / 64 + 1);
        std::uint64_t* const marks = marks_.data();
        std::size_t first = marks_.size(), last = 0;  // the words marked
        for (const Ref ref : refs) {
            if (!find(ref)) continue;
            const std::uint32_t index = ref & kIndexMask;
            marks[index / 64] |= std::uint64_t{1} << (index % 64);
            first = std::min<std::size_t>(first, index / 64);
            last = std::max<std::size_t>(last, index / 64);
        }
        for (std::size_t word = first; word <= last; ++word) {
            for (std::uint64_t bits = std::exchange(marks[word], 0); bits; bits &= bits - 1) {
                const auto index = static_cast<std::uint32_t>(word * 64 + std::countr_zero(bits));
                if (std::byte* data = empty(slotAt(index), index)) spent.push_back(data);
                ++freed;
            }
        }
    }
    for (std::byte* data : spent) std::free(data);
    return freed;
}

}  // namespace

struct ArenaAccess {
    static std::uint32_t id(const Arena& arena) { return arena.id_; }
    static std::vector<Ref>& refs(Arena& arena) { return arena.refs_; }
    static std::size_t& compactedAt(Arena& arena) { return arena.compactedAt_; }
};

namespace {

void Table::adopt(Arena& arena, Slot& slot, Ref ref) {
    const std::uint32_t id = ArenaAccess::id(arena);
    slot.arena = id;
    std::vector<Ref>& refs = ArenaAccess::refs(arena);
    std::size_t& compactedAt = ArenaAccess::compactedAt(arena);
    if (refs.size() >= 2 * compactedAt + 1024) {
        // A slot that came round to the same reference is listed twice.
        std::erase_if(refs, [&](Ref r) { return !owned(r, id); });
        std::sort(refs.begin(), refs.end());
        refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
        compactedAt = refs.size();
    }
    refs.push_back(ref);
}

std::atomic<std::uint32_t> nextArenaId{1};

}  // namespace

Arena::Arena() : id_(nextArenaId.fetch_add(1)) {}

void Arena::release() {
    std::vector<Ref> refs = std::exchange(refs_, {});
    compactedAt_ = 0;
    for (Ref ref : refs) table().free(ref, id_);
}

std::size_t Arena::liveBlocks() const {
    std::vector<Ref> live;
    for (Ref ref : refs_)
        if (table().owned(ref, id_)) live.push_back(ref);
    std::sort(live.begin(), live.end());
    return static_cast<std::size_t>(std::unique(live.begin(), live.end()) - live.begin());
}

Arena::Scope::Scope(Arena& arena) : previous_(open.arena) {
    open.arena = &arena;
}

Arena::Scope::~Scope() {
    open.arena = previous_;
}

Packing::Packing() : previous_(open.packing) {
    open.packing = this;
}

Packing::~Packing() {
    open.packing = previous_;
    table().closePacking(*this);
}

Ref Allocate(std::size_t size, Kind kind) {
    return table().allocate(size, kind, true).ref;
}
NewBlock AllocateBlock(std::size_t size, Kind kind, bool zeroed) {
    return table().allocate(size, kind, zeroed);
}
bool Free(Ref ref) {
    return table().free(ref);
}
std::size_t FreeBlocks(std::span<const Ref> refs) {
    return table().freeMany(refs);
}
bool Resize(Ref ref, std::size_t size) {
    return table().resize(ref, size);
}

std::optional<std::span<std::byte>> Blob(Ref ref) {
    const std::byte* head = At(ref, 0, 4);
    if (!head) return std::nullopt;
    const std::uint32_t length = ReadLe32(head);
    std::byte* bytes = At(ref, 4, length);
    if (!bytes) return std::nullopt;
    return std::span<std::byte>(bytes, length);
}

std::optional<Location> Locate(const void* address) {
    return table().locate(address);
}
std::uint32_t LockCount(Ref ref) {
    auto* slot = table().find(ref);
    return slot ? slot->locks : 0;
}
std::size_t LiveBlocks(Kind kind) {
    return table().live(kind);
}

Ref HostAllocate(std::uint32_t size) {
    return Allocate(size, Kind::Host);
}

namespace detail {
std::byte* Lock(Ref ref) {
    auto* slot = table().find(ref);
    if (!slot) return nullptr;
    ++slot->locks;
    return slot->bytes();
}
bool Unlock(Ref ref) {
    auto* slot = table().find(ref);
    if (!slot || slot->locks == 0) return false;
    return --slot->locks > 0;
}
}  // namespace detail

}  // namespace kestra::mem

using namespace kestra;

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
    return mem::Allocate(bytes, mem::Kind::Global);
}

void* GlobalLock(HGLOBAL handle) {
    return mem::detail::Lock(handle);
}

BOOL GlobalUnlock(HGLOBAL handle) {
    return mem::detail::Unlock(handle) ? TRUE : FALSE;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, std::size_t bytes, UINT) {
    return mem::Resize(handle, bytes) ? handle : 0;
}

std::size_t GlobalSize(HGLOBAL handle) {
    return mem::Size(handle);
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    return mem::Free(handle) ? 0 : handle;
}
