#include "platform/memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/records.h"

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
// inside a chunk, so a new block is zero already. The chunk goes when nothing holds it: each
// of its live blocks holds it, and so does the packing that fills it.
struct PackedChunk {
    static constexpr std::size_t kSize = 64 * 1024;
    // Between packed blocks the sanitizer tree leaves a poisoned gap, so that running over a
    // block's end is caught as with blocks of their own.
#ifdef KESTRA_ASAN
    static constexpr std::size_t kGap = 16;
#else
    static constexpr std::size_t kGap = 0;
#endif
    static constexpr std::size_t kAlignment = 16;

    std::byte* data = nullptr;
    std::size_t used = 0;
    std::size_t holds = 1;

    // A zero-filled piece of `size` bytes (at least 1), or nullptr when the chunk is full.
    std::byte* carve(std::size_t size) {
        const std::size_t at = (used + kAlignment - 1) / kAlignment * kAlignment;
        const std::size_t taken = std::max<std::size_t>(size, 1);
        if (at > kSize || taken + kGap > kSize - at) return nullptr;
        used = at + taken + kGap;
        ++holds;
        unpoison(data + at, taken);
        return data + at;
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

}  // namespace detail

static_assert(kMaxPackedBlock + detail::PackedChunk::kGap + detail::PackedChunk::kAlignment <=
              detail::PackedChunk::kSize);

namespace {

using detail::PackedChunk;

// A reference is a 24-bit slot index (from 1) and an 8-bit generation.
constexpr unsigned kIndexBits = 24;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::size_t kChunkSize = 4096;
constexpr std::size_t kChunkCount = (std::size_t{1} << kIndexBits) / kChunkSize;

struct Slot {
    std::byte* data = nullptr;  // null while the slot is free
    std::size_t size = 0;
    std::uint32_t locks = 0;
    std::uint8_t generation = 0;
    Kind kind = Kind::Global;
    std::uint32_t arena = 0;       // the arena that owns the block, 0 for none
    PackedChunk* chunk = nullptr;  // the chunk a packed block was carved from
};

// The arena and the packing open on this thread, if any.
thread_local Arena* openArena = nullptr;
thread_local Packing* openPacking = nullptr;

class Table {
  public:
    Ref allocate(std::size_t size, Kind kind) {
        if (size > kMaxBlockSize) return 0;
        if (openPacking && size <= kMaxPackedBlock) return allocatePacked(*openPacking, size, kind);
        // Every block occupies at least one byte so that addresses identify blocks.
        auto* data = static_cast<std::byte*>(std::calloc(size == 0 ? 1 : size, 1));
        if (!data) return 0;
        std::lock_guard lock(mutex_);
        const Ref ref = place(data, size, kind, nullptr);
        if (!ref) std::free(data);
        return ref;
    }

    // Gives up the packing's hold on the chunk it fills.
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
            data = slot->data;
            if (slot->chunk) {
                PackedChunk::poison(data, std::max<std::size_t>(slot->size, 1));
                data = release(slot->chunk);
            }
            --live_[static_cast<int>(slot->kind)];
            slot->data = nullptr;
            slot->size = 0;
            slot->locks = 0;
            slot->arena = 0;
            slot->chunk = nullptr;
            ++slot->generation;
            free_.push_back(ref & kIndexMask);
        }
        std::free(data);
        return true;
    }

    bool resize(Ref ref, std::size_t size) {
        if (size > kMaxBlockSize) return false;
        std::lock_guard lock(mutex_);
        Slot* slot = find(ref);
        if (!slot) return false;
        const std::size_t room = size == 0 ? 1 : size;
        std::byte* data;
        if (slot->chunk) {
            // A packed block leaves its chunk: it has memory of its own from now on.
            data = static_cast<std::byte*>(std::calloc(room, 1));
            if (!data) return false;
            std::memcpy(data, slot->data, std::min(size, slot->size));
            PackedChunk::poison(slot->data, std::max<std::size_t>(slot->size, 1));
            std::free(release(slot->chunk));
            slot->chunk = nullptr;
        } else {
            // Shrinking (an image trimmed to the size it took) stays in place.
            data = static_cast<std::byte*>(std::realloc(slot->data, room));
            if (!data) return false;
            if (size > slot->size) std::memset(data + slot->size, 0, size - slot->size);
        }
        slot->data = data;
        slot->size = size;
        return true;
    }

    // Reads go without the lock: a block is used by one thread at a time, and its reference
    // reaches another thread only through that thread's own synchronisation.
    Slot* find(Ref ref) const {
        std::uint32_t index = ref & kIndexMask;
        if (index == 0) return nullptr;
        Slot* chunk = chunks_[index / kChunkSize].load(std::memory_order_acquire);
        if (!chunk) return nullptr;
        Slot& slot = chunk[index % kChunkSize];
        if (!slot.data || slot.generation != static_cast<std::uint8_t>(ref >> kIndexBits))
            return nullptr;
        return &slot;
    }

    // A walk over every slot: addresses are looked up only where an interface hands over a raw
    // pointer, while blocks come and go all the time, so no address index is kept.
    std::optional<Location> locate(const void* address) {
        auto key = reinterpret_cast<std::uintptr_t>(address);
        std::lock_guard lock(mutex_);
        for (std::uint32_t index = 1; index < next_; ++index) {
            const Slot& slot = slotAt(index);
            if (!slot.data) continue;
            auto start = reinterpret_cast<std::uintptr_t>(slot.data);
            if (key < start || key - start >= std::max<std::size_t>(slot.size, 1)) continue;
            std::size_t offset = key - start;
            return Location{makeRef(index, slot.generation), offset,
                            slot.size - std::min(offset, slot.size)};
        }
        return std::nullopt;
    }

    std::size_t live(Kind kind) {
        std::lock_guard lock(mutex_);
        return live_[static_cast<int>(kind)];
    }

  private:
    // Puts a block into a free slot; 0 when the table is full. Called with the mutex held.
    Ref place(std::byte* data, std::size_t size, Kind kind, PackedChunk* chunk) {
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (next_ > kIndexMask) return 0;
            index = next_++;
            auto& slots = chunks_[index / kChunkSize];
            if (!slots.load(std::memory_order_relaxed))
                slots.store(new Slot[kChunkSize], std::memory_order_release);
        }
        Slot& slot = slotAt(index);
        slot.data = data;
        slot.size = size;
        slot.locks = 0;
        slot.kind = kind;
        slot.chunk = chunk;
        ++live_[static_cast<int>(kind)];
        const Ref ref = makeRef(index, slot.generation);
        if (openArena) adopt(*openArena, slot, ref);
        return ref;
    }

    Ref allocatePacked(Packing& packing, std::size_t size, Kind kind);

    // Drops one hold on a chunk; the chunk's memory, for the caller to free outside the lock,
    // when that was the last one (nullptr otherwise).
    static std::byte* release(PackedChunk* chunk) {
        if (--chunk->holds > 0) return nullptr;
        std::byte* data = chunk->data;
        PackedChunk::unpoison(data, PackedChunk::kSize);
        delete chunk;
        return data;
    }

    // Records a new block as the arena's. The arena's list also keeps references of blocks
    // freed since; it is thinned out whenever it has doubled, so that it stays proportional to
    // the arena's live blocks.
    void adopt(Arena& arena, Slot& slot, Ref ref);

    static Ref makeRef(std::uint32_t index, std::uint8_t generation) {
        return index | (static_cast<Ref>(generation) << kIndexBits);
    }
    Slot& slotAt(std::uint32_t index) {
        return chunks_[index / kChunkSize].load(std::memory_order_relaxed)[index % kChunkSize];
    }

    std::mutex mutex_;
    std::unique_ptr<std::atomic<Slot*>[]> chunks_ { new std::atomic<Slot*>[ kChunkCount ]() };
    std::vector<std::uint32_t> free_;
    std::uint32_t next_ = 1;
    std::size_t live_[2] = {0, 0};
};

// Never destroyed: blocks may be released by static destructors of other modules.
Table& table() {
    static Table* instance = new Table;
    return *instance;
}

}  // namespace

struct PackingAccess {
    static PackedChunk*& chunk(Packing& packing) { return packing.chunk_; }
};

namespace {

Ref Table::allocatePacked(Packing& packing, std::size_t size, Kind kind) {
    PackedChunk*& chunk = PackingAccess::chunk(packing);
    std::byte* spent = nullptr;  // a full chunk's memory, when the packing held it last
    Ref ref = 0;
    {
        std::lock_guard lock(mutex_);
        std::byte* data = chunk ? chunk->carve(size) : nullptr;
        if (!data) {
            auto* fresh = static_cast<std::byte*>(std::calloc(PackedChunk::kSize, 1));
            if (!fresh) return 0;
            if (chunk) spent = release(chunk);
            chunk = new PackedChunk{fresh};
            PackedChunk::poison(fresh, PackedChunk::kSize);
            data = chunk->carve(size);
        }
        ref = place(data, size, kind, chunk);
        if (!ref) {
            PackedChunk::poison(data, std::max<std::size_t>(size, 1));
            --chunk->holds;  // the packing still holds it
        }
    }
    std::free(spent);
    return ref;
}

void Table::closePacking(Packing& packing) {
    PackedChunk*& chunk = PackingAccess::chunk(packing);
    if (!chunk) return;
    std::byte* spent;
    {
        std::lock_guard lock(mutex_);
        spent = release(chunk);
    }
    chunk = nullptr;
    std::free(spent);
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

Arena::Scope::Scope(Arena& arena) : previous_(openArena) {
    openArena = &arena;
}

Arena::Scope::~Scope() {
    openArena = previous_;
}

Packing::Packing() : previous_(openPacking) {
    openPacking = this;
}

Packing::~Packing() {
    openPacking = previous_;
    table().closePacking(*this);
}

Ref Allocate(std::size_t size, Kind kind) {
    return table().allocate(size, kind);
}
bool Free(Ref ref) {
    return table().free(ref);
}
bool Resize(Ref ref, std::size_t size) {
    return table().resize(ref, size);
}

std::span<std::byte> Bytes(Ref ref) {
    auto* slot = table().find(ref);
    return slot ? std::span<std::byte>(slot->data, slot->size) : std::span<std::byte>();
}
std::byte* Data(Ref ref) {
    auto* slot = table().find(ref);
    return slot ? slot->data : nullptr;
}
std::size_t Size(Ref ref) {
    auto* slot = table().find(ref);
    return slot ? slot->size : 0;
}
bool IsLive(Ref ref) {
    return table().find(ref) != nullptr;
}
std::optional<Kind> KindOf(Ref ref) {
    auto* slot = table().find(ref);
    return slot ? std::optional<Kind>(slot->kind) : std::nullopt;
}
std::byte* At(Ref ref, std::size_t offset, std::size_t length) {
    auto* slot = table().find(ref);
    if (!slot || offset > slot->size || length > slot->size - offset) return nullptr;
    return slot->data + offset;
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
    return slot->data;
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
