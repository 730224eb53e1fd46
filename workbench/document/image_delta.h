// Two images of a project that differ in one stretch, kept as that stretch only: an undo step
// of the workbench holds one of these instead of two whole images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestra::workbench {

using Bytes = std::vector<std::uint8_t>;

class ImageDelta {
  public:
    static ImageDelta Between(const Bytes& before, const Bytes& after);

    // The image before from the image after, and the other way round; nothing when the image
    // given is not of the length the delta was taken from.
    std::optional<Bytes> before(const Bytes& after) const;
    std::optional<Bytes> after(const Bytes& before) const;

    bool empty() const { return before_.empty() && after_.empty(); }
    // Bytes the delta keeps.
    std::size_t size() const { return before_.size() + after_.size(); }

  private:
    static std::optional<Bytes> Splice(const Bytes& from, const Bytes& replaced, const Bytes& with,
                                       std::size_t prefix, std::size_t suffix);

    std::size_t prefix_ = 0;  // bytes both images begin with
    std::size_t suffix_ = 0;  // bytes both end with, after the prefix
    Bytes before_, after_;    // what lies between in each
};

}  // namespace kestra::workbench
