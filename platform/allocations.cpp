#include "platform/allocations.h"

#include <cstring>
#include <limits>

#include "platform/records.h"

namespace kestra::mem {

Allocations::~Allocations() {
    if (kept_) return;
    for (Ref ref : refs_) Free(ref);
}

Ref Allocations::track(Ref ref, std::size_t size) {
    if (!ref) return 0;
    refs_.push_back(ref);
    std::byte* bytes = At(ref, 0, size);
    if (!bytes) return 0;  // a host block smaller than asked for; freed with the rest
    if (size) std::memset(bytes, 0, size);  // a host allocator need not zero its blocks
    return ref;
}

Ref Allocations::global(std::size_t size) {
    return track(GlobalAlloc(GHND, size), size);
}

Ref Allocations::host(std::size_t size) {
    if (!host_ || size > std::numeric_limits<std::uint32_t>::max()) return 0;
    return track(host_(static_cast<std::uint32_t>(size)), size);
}

namespace {
Ref fill(Ref ref, std::span<const std::byte> bytes, std::size_t at = 0) {
    if (ref && !bytes.empty()) std::memcpy(At(ref, at, bytes.size()), bytes.data(), bytes.size());
    return ref;
}
}  // namespace

Ref Allocations::global(std::span<const std::byte> bytes) {
    return fill(global(bytes.size()), bytes);
}
Ref Allocations::host(std::span<const std::byte> bytes) {
    return fill(host(bytes.size()), bytes);
}

Ref Allocations::blob(std::span<const std::byte> bytes) {
    Ref ref = host(4 + bytes.size());
    if (!ref) return 0;
    WriteLe32(Data(ref), static_cast<std::uint32_t>(bytes.size()));
    return fill(ref, bytes, 4);
}

Ref Allocations::text(std::string_view text) {
    return fill(host(text.size() + 1),
                std::as_bytes(std::span<const char>(text.data(), text.size())));
}

}  // namespace kestra::mem
