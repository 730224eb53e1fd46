// Freeing many blocks at once: what a host does when it closes a project, whose tens of
// thousands of blocks are found by walking its records, some of them more than once.
//
// The blocks are freed under one hold of the table's lock, so that no other thread can take a
// freed slot while the rest are freed, and a block named twice is freed once (its second
// reference finds it gone). The slots go back in the order of their indices, so that the next
// load places its blocks in neighbouring slots, one after the other.
#pragma once

#include <cstddef>
#include <span>

#include "platform/memory.h"

namespace kestra::mem {

// Frees every live block among `refs`; null, dead and repeated references are passed over.
// How many blocks were freed.
std::size_t FreeBlocks(std::span<const Ref> refs);

}  // namespace kestra::mem
