#include "platform/allocations.h"

#include <cstring>
#include <limits>

#include "platform/records.h"

namespace kestra::mem {

Allocations::~Allocations() {
    if (kept_) return;
    for (Ref ref : refs_) Free(ref);
}

std::byte* Allocations::track(Ref ref, std::size_t size) {
    if (!ref) return nullptr;
    refs_.push_back(ref);
    return At(ref, 0, size);  // nullptr for a host block smaller than asked for
}

// Global blocks come zeroed; a host allocator need not zero its blocks, so a host block that
// the caller does not fill is zeroed here.
std::byte* Allocations::newGlobal(std::size_t size) {
    return track(GlobalAlloc(GHND, size), size);
}

std::byte* Allocations::newHost(std::size_t size) {
    if (!host_ || size > std::numeric_limits<std::uint32_t>::max()) return nullptr;
    return track(host_(static_cast<std::uint32_t>(size)), size);
}

Ref Allocations::global(std::size_t size) {
    return newGlobal(size) ? refs_.back() : 0;
}

Ref Allocations::host(std::size_t size) {
    std::byte* bytes = newHost(size);
    if (!bytes) return 0;
    if (size) std::memset(bytes, 0, size);
    return refs_.back();
}

Ref Allocations::global(std::span<const std::byte> bytes) {
    std::byte* block = newGlobal(bytes.size());
    if (!block) return 0;
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return refs_.back();
}

Ref Allocations::host(std::span<const std::byte> bytes) {
    std::byte* block = newHost(bytes.size());
    if (!block) return 0;
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return refs_.back();
}

Ref Allocations::blob(std::span<const std::byte> bytes) {
    std::byte* block = newHost(4 + bytes.size());
    if (!block) return 0;
    WriteLe32(block, static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(block + 4, bytes.data(), bytes.size());
    return refs_.back();
}

Ref Allocations::text(std::string_view text) {
    std::byte* block = newHost(text.size() + 1);
    if (!block) return 0;
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    block[text.size()] = std::byte{0};
    return refs_.back();
}

}  // namespace kestra::mem
