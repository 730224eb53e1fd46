// The blocks one piece of work allocates, freed together when the work fails.
//
// A loader that builds something from outside data allocates as it goes; when the data turns
// out to be damaged halfway, every block allocated so far must go again. Allocations remembers
// each block and frees them all in its destructor unless keep() was called.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "platform/memory.h"

namespace kestra::mem {

class Allocations {
  public:
    // host: the allocator for host blocks (may be null: host blocks then cannot be had).
    explicit Allocations(HostAllocFn host);
    ~Allocations();
    Allocations(const Allocations&) = delete;
    Allocations& operator=(const Allocations&) = delete;

    // The work succeeded: the blocks stay.
    void keep() { kept_ = true; }
    // Takes over a block that someone else allocated for the same work.
    void adopt(Ref ref) {
        if (ref) remember(ref);
    }

    // Zero-filled blocks of exactly the size asked for; 0 when they cannot be had (a host
    // block smaller than asked for counts as not had).
    Ref global(std::size_t size);
    Ref host(std::size_t size);
    // A host block that the caller fills, every byte, before anything else reads it: it is
    // not zeroed first.
    Ref hostToFill(std::size_t size);
    // Blocks holding a copy of the bytes (the global one also with its bytes at hand).
    NewBlock globalCopy(std::span<const std::byte> bytes);
    Ref global(std::span<const std::byte> bytes) { return globalCopy(bytes).ref; }
    Ref host(std::span<const std::byte> bytes);
    // A host block with a u32 length followed by the bytes.
    Ref blob(std::span<const std::byte> bytes);
    // A host block with the text and a terminating zero.
    Ref text(std::string_view text);

  private:
    // The bytes of a new block (not zeroed for a host block), remembered for freeing; nullptr
    // when the block cannot be had.
    std::byte* track(NewBlock block);
    // Remembers a block; the list grows out of line.
    void remember(Ref ref) {
        if (count_ == refs_.size()) [[unlikely]]
            grow();
        refs_[count_++] = ref;
    }
    void grow();
    Ref last() const { return refs_[count_ - 1]; }
    // The copies of globalCopy and text that are not placed inline.
    NewBlock globalCopyAside(std::span<const std::byte> bytes);
    Ref textAside(std::string_view text);
    // `zeroed` false: the caller fills every byte at once.
    std::byte* newGlobal(std::size_t size, bool zeroed);
    std::byte* newHost(std::size_t size, bool zeroed);

    HostAllocFn host_;
    // The blocks remembered are the first count_ of refs_, which is all room (kept by the
    // thread between pieces of work, see allocations.cpp).
    std::vector<Ref> refs_;
    std::size_t count_ = 0;
    bool kept_ = false;
};

}  // namespace kestra::mem
