// Process-wide block memory with 32-bit references.
//
// Records of the suite keep references to other blocks in 32-bit slots, so every block that
// a slot can name lives in one table here and is named by a nonzero 32-bit reference: global
// memory handles (GlobalAlloc) and blocks of the host allocator alike. The table knows each
// block's size, so every dereference can be checked against it. A block stays at one address
// for its whole life unless it is explicitly resized (GlobalReAlloc), so a block's address
// may stand for the identity of what it holds (a project, for instance).
//
// References carry a generation, so a stale reference to a freed block resolves to nothing
// instead of to whatever block took its place.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/win_types.h"

namespace kestra::mem {

using Ref = std::uint32_t;

// The largest single block the table hands out. Anything larger is an error of the caller
// (typically a count read from damaged data), answered with a failed allocation.
inline constexpr std::size_t kMaxBlockSize = std::size_t{256} << 20;

enum class Kind : std::uint8_t { Global, Host };

// Allocates a zero-filled block; 0 when size is above kMaxBlockSize or memory is exhausted.
Ref Allocate(std::size_t size, Kind kind);
// The same, with the new block's bytes at hand (both null when there is no block). A caller
// that writes every byte of the block at once passes `zeroed` false and is spared the zeros.
struct NewBlock {
    Ref ref = 0;
    std::byte* data = nullptr;
};
NewBlock AllocateBlock(std::size_t size, Kind kind, bool zeroed = true);
// Frees a block; false when the reference names no live block.
bool Free(Ref ref);
// Changes a block's size, keeping its contents (new bytes are zero). The block may move.
bool Resize(Ref ref, std::size_t size);

namespace detail {

// A reference is a 24-bit slot index (from 1) and an 8-bit generation. The table's slots
// live in pages of kSlotsPerPage, made as the table grows and kept for good.
inline constexpr unsigned kIndexBits = 24;
inline constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
inline constexpr std::size_t kSlotsPerPage = 4096;
inline constexpr std::size_t kSlotPageCount = (std::size_t{1} << kIndexBits) / kSlotsPerPage;

struct PackedChunk;

// A block's entry. Its other members are written before its data pointer, which publishes
// the block: a lookup that sees the pointer sees the rest.
struct Slot {
    std::atomic<std::byte*> data{nullptr};  // null while the slot is free
    PackedChunk* chunk = nullptr;           // the chunk a packed block was carved from
    std::uint32_t size = 0;                 // kMaxBlockSize fits
    std::uint32_t locks = 0;
    std::uint32_t arena = 0;  // the arena that owns the block, 0 for none
    std::uint8_t generation = 0;
    Kind kind = Kind::Global;

    std::byte* bytes() const { return data.load(std::memory_order_acquire); }
};

// The table's slot pages, null until made. Lookups read them here, inline, without the
// table's lock: a block is used by one thread at a time, and its reference reaches another
// thread only through that thread's own synchronisation. Slot 0 is never used, so the null
// reference finds a free slot like a stale one.
extern std::atomic<Slot*> slotPages[kSlotPageCount];

// The slot of a live block, or nullptr.
inline Slot* Find(Ref ref) {
    const std::uint32_t index = ref & kIndexMask;
    Slot* page = slotPages[index / kSlotsPerPage].load(std::memory_order_acquire);
    if (!page) return nullptr;
    Slot& slot = page[index % kSlotsPerPage];
    if (!slot.bytes() || slot.generation != static_cast<std::uint8_t>(ref >> kIndexBits))
        return nullptr;
    return &slot;
}

}  // namespace detail

// The bytes of a live block, or an empty span for a dead or null reference.
inline std::span<std::byte> Bytes(Ref ref) {
    const detail::Slot* slot = detail::Find(ref);
    return slot ? std::span<std::byte>(slot->bytes(), slot->size) : std::span<std::byte>();
}
inline std::byte* Data(Ref ref) {
    const detail::Slot* slot = detail::Find(ref);
    return slot ? slot->bytes() : nullptr;
}
inline std::size_t Size(Ref ref) {
    const detail::Slot* slot = detail::Find(ref);
    return slot ? slot->size : 0;
}
inline bool IsLive(Ref ref) {
    return detail::Find(ref) != nullptr;
}
inline std::optional<Kind> KindOf(Ref ref) {
    const detail::Slot* slot = detail::Find(ref);
    return slot ? std::optional<Kind>(slot->kind) : std::nullopt;
}
// length bytes at offset inside the block, or nullptr when they do not all lie inside it.
inline std::byte* At(Ref ref, std::size_t offset, std::size_t length) {
    const detail::Slot* slot = detail::Find(ref);
    if (!slot || offset > slot->size || length > slot->size - offset) return nullptr;
    return slot->bytes() + offset;
}

// The bytes of a length-prefixed blob (a u32 length, then the bytes) at the start of a block;
// nothing for a null or dead reference or a length that runs past the block's end.
std::optional<std::span<std::byte>> Blob(Ref ref);

// Which block, if any, holds the given address; used where an interface passes a raw
// pointer and its extent must be known.
struct Location {
    Ref ref;
    std::size_t offset;     // of the address inside the block
    std::size_t remaining;  // bytes from the address to the block's end
};
std::optional<Location> Locate(const void* address);

// Lock counts of global handles (GlobalLock / GlobalUnlock).
std::uint32_t LockCount(Ref ref);

// Number of live blocks of a kind; tests use it to see that nothing leaked. Blocks packed by a
// packing that is still open may be counted late; they are counted when it closes.
std::size_t LiveBlocks(Kind kind);

// The platform's own host allocator: a function from byte count to reference. Hosts register
// it (or their own) with SetAppFmalloc.
using HostAllocFn = Ref (*)(std::uint32_t size);
Ref HostAllocate(std::uint32_t size);

// An arena owns the blocks allocated on its thread while it is open. Releasing it frees
// those of them that are still alive, whoever allocated them: a host that loads whole projects
// and drops them again (the libraries allocate a project's tables and never free them) gives
// each loaded project an arena and releases it with the project. A block freed before stays
// freed; a block allocated while no arena, or another one, is open is not the arena's.
class Arena {
  public:
    Arena();
    ~Arena() { release(); }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Frees every live block of the arena; the arena stays usable.
    void release();
    // Live blocks of the arena.
    std::size_t liveBlocks() const;

    // Makes an arena the open one on this thread for a scope; scopes nest.
    class Scope {
      public:
        explicit Scope(Arena& arena);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        Arena* previous_;
    };

  private:
    friend struct ArenaAccess;
    std::uint32_t id_;
    std::vector<Ref> refs_;
    std::size_t compactedAt_ = 0;
};

// While a Packing is open on a thread, the small blocks allocated there (up to kMaxPackedBlock
// bytes) are carved out of shared chunks instead of being allocated one by one: a loader that
// makes tens of thousands of small blocks which live and die together pays for a few large
// allocations instead. A packed block is a block like any other (its own reference, size,
// bounds, lock count, free and resize); its chunk goes back when the last block carved from it
// has gone and no packing fills it any more. Packings nest; the innermost open one packs.
inline constexpr std::size_t kMaxPackedBlock = 16 * 1024;

namespace detail {
struct PackingState;
}

class Packing {
  public:
    Packing();
    ~Packing();
    Packing(const Packing&) = delete;
    Packing& operator=(const Packing&) = delete;

  private:
    friend struct PackingAccess;
    Packing* previous_;
    detail::PackingState* state_ = nullptr;  // the chunk it fills and slots set aside
};

namespace detail {
std::byte* Lock(Ref ref);
bool Unlock(Ref ref);  // true while still locked
}  // namespace detail

}  // namespace kestra::mem

// Windows global memory, on the table above. Every block is zero-initialised and movable.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// The block's address (always the same one until the block is resized), or nullptr.
void* GlobalLock(HGLOBAL handle);
// TRUE while the block is still locked after this call, FALSE once its lock count is zero.
BOOL GlobalUnlock(HGLOBAL handle);
// Resizes in place of the handle; returns the handle, or 0 (the old block untouched).
HGLOBAL GlobalReAlloc(HGLOBAL handle, std::size_t bytes, UINT flags);
std::size_t GlobalSize(HGLOBAL handle);
// 0 on success; the handle itself when it names no live block.
HGLOBAL GlobalFree(HGLOBAL handle);

// Locks a global handle for one scope.
class GlobalLockGuard {
  public:
    explicit GlobalLockGuard(HGLOBAL handle)
        : handle_(handle), data_(static_cast<std::byte*>(GlobalLock(handle))) {}
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(handle_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    std::byte* data() const { return data_; }
    std::span<std::byte> bytes() const {
        return data_ ? std::span<std::byte>(data_, GlobalSize(handle_)) : std::span<std::byte>();
    }

  private:
    HGLOBAL handle_;
    std::byte* data_;
};
