#include "platform/allocations.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/fault_in.h"
#include "platform/packing.h"
#include "platform/records.h"
#include "platform/small_copy.h"

namespace kestra::mem {

namespace {

// The list of the last work done on the thread, kept for the next one: a project's load
// remembers tens of thousands of blocks, and a list grown afresh each time is copied as
// often as it doubles.
std::vector<Ref>& keptList() {
    thread_local std::vector<Ref> kept;
    return kept;
}

// A packed block of `size` bytes for a small copy, placed inline and remembered in `refs`
// when the list has room, or nothing (the copy is then made aside).
inline NewBlock PlaceSmall(std::vector<Ref>& refs, std::size_t& count, std::size_t size,
                           Kind kind) {
    if (count == refs.size()) return {};
    const NewBlock block = detail::PlacePackedToFill(size, kind);
    if (block.ref) refs[count++] = block.ref;
    return block;
}

// A block the caller fills while a packing is open is mostly placed inline, without a call.
NewBlock NewBlockOf(std::size_t size, Kind kind, bool zeroed) {
    if (!zeroed)
        if (const NewBlock block = detail::PlacePackedToFill(size, kind); block.ref) return block;
    return AllocateBlock(size, kind, zeroed);
}

}  // namespace

Allocations::Allocations(HostAllocFn host) : host_(host) {
    refs_.swap(keptList());
}

Allocations::~Allocations() {
    if (!kept_)
        for (std::size_t i = 0; i < count_; ++i) Free(refs_[i]);
    if (std::vector<Ref>& kept = keptList(); refs_.size() > kept.size()) refs_.swap(kept);
}

void Allocations::grow() {
    refs_.resize(std::max<std::size_t>(2 * refs_.size(), 1024));
}

std::byte* Allocations::track(NewBlock block) {
    if (!block.ref) return nullptr;
    remember(block.ref);
    return block.data;
}

// Global blocks come zeroed, and so do the platform's own host allocator's; another host
// allocator need not zero its blocks, so a host block that the caller does not fill is zeroed
// here. A block the caller fills at once is not zeroed first.
inline std::byte* Allocations::newGlobal(std::size_t size, bool zeroed) {
    return track(NewBlockOf(size, Kind::Global, zeroed));
}

inline std::byte* Allocations::newHost(std::size_t size, bool zeroed) {
    if (!host_ || size > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    if (host_ == &HostAllocate) return track(NewBlockOf(size, Kind::Host, zeroed));
    // A block smaller than asked for is not had (it is freed with the rest).
    const Ref ref = host_(static_cast<std::uint32_t>(size));
    std::byte* bytes = track({ref, At(ref, 0, size)});
    if (bytes && zeroed && size) std::memset(bytes, 0, size);
    return bytes;
}

Ref Allocations::global(std::size_t size) {
    return newGlobal(size, true) ? last() : 0;
}

Ref Allocations::host(std::size_t size) {
    return newHost(size, true) ? last() : 0;
}

Ref Allocations::hostToFill(std::size_t size) {
    return newHost(size, false) ? last() : 0;
}

// A copy of a few bytes (a field's list, a label) into a packed block is made here without a
// call, so that the whole placing needs no frame; everything else is copied aside.
NewBlock Allocations::globalCopy(std::span<const std::byte> bytes) {
    if (bytes.size() - 1 < kSmallCopy)
        if (const NewBlock block = PlaceSmall(refs_, count_, bytes.size(), Kind::Global);
            block.ref) {
            CopySmall(block.data, bytes.data(), bytes.size());
            return block;
        }
    return globalCopyAside(bytes);
}

__attribute__((noinline)) NewBlock Allocations::globalCopyAside(std::span<const std::byte> bytes) {
    std::byte* block = newGlobal(bytes.size(), bytes.empty());
    if (!block) return {};
    // A large copy (a whole image) faults its pages in with one call first where they are
    // not there yet.
    if (bytes.size() >= platform::kFaultInWorthFrom) platform::FaultIn(block, bytes.size());
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return {last(), block};
}

Ref Allocations::host(std::span<const std::byte> bytes) {
    std::byte* block = newHost(bytes.size(), bytes.empty());
    if (!block) return 0;
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return last();
}

Ref Allocations::blob(std::span<const std::byte> bytes) {
    std::byte* block = newHost(4 + bytes.size(), false);
    if (!block) return 0;
    WriteLe32(block, static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(block + 4, bytes.data(), bytes.size());
    return last();
}

Ref Allocations::text(std::string_view text) {
    if (text.size() < kSmallCopy && host_ == &HostAllocate)
        if (const NewBlock block = PlaceSmall(refs_, count_, text.size() + 1, Kind::Host);
            block.ref) {
            CopySmall(block.data, reinterpret_cast<const std::byte*>(text.data()), text.size());
            block.data[text.size()] = std::byte{0};
            return block.ref;
        }
    return textAside(text);
}

__attribute__((noinline)) Ref Allocations::textAside(std::string_view text) {
    std::byte* block = newHost(text.size() + 1, false);
    if (!block) return 0;
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    block[text.size()] = std::byte{0};
    return last();
}

}  // namespace kestra::mem
