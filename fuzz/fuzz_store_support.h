// What the project store's fuzz targets share: a host allocator, silent message boxes, and a
// check that an input left no block behind. (The repair log goes into the current folder.)
#pragma once

#include <cstdlib>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "utilities/services.h"

namespace kestra::fuzzing {

inline void SetUpStore() {
    SetAppFmalloc(&mem::HostAllocate);
    platform::SetMessageBoxPresenter(
        [](HWND, std::string_view, std::string_view, UINT) { return IDOK; });
}

// Counts the live blocks when made and aborts when they differ at the end of the input.
class NoBlockLeft {
  public:
    NoBlockLeft()
        : global_(mem::LiveBlocks(mem::Kind::Global)), host_(mem::LiveBlocks(mem::Kind::Host)) {}
    ~NoBlockLeft() {
        if (mem::LiveBlocks(mem::Kind::Global) != global_ ||
            mem::LiveBlocks(mem::Kind::Host) != host_)
            std::abort();
    }

  private:
    std::size_t global_, host_;
};

}  // namespace kestra::fuzzing
