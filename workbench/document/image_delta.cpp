#include "workbench/document/image_delta.h"

#include <algorithm>

namespace kestra::workbench {

ImageDelta ImageDelta::Between(const Bytes& before, const Bytes& after) {
    ImageDelta delta;
    const std::size_t shorter = std::min(before.size(), after.size());
    delta.prefix_ = static_cast<std::size_t>(
        std::mismatch(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(shorter),
                      after.begin())
            .first -
        before.begin());
    const std::size_t room = shorter - delta.prefix_;
    delta.suffix_ = static_cast<std::size_t>(
        std::mismatch(before.rbegin(), before.rbegin() + static_cast<std::ptrdiff_t>(room),
                      after.rbegin())
            .first -
        before.rbegin());
    delta.before_.assign(before.begin() + static_cast<std::ptrdiff_t>(delta.prefix_),
                         before.end() - static_cast<std::ptrdiff_t>(delta.suffix_));
    delta.after_.assign(after.begin() + static_cast<std::ptrdiff_t>(delta.prefix_),
                        after.end() - static_cast<std::ptrdiff_t>(delta.suffix_));
    return delta;
}

std::optional<Bytes> ImageDelta::before(const Bytes& after) const {
    return Splice(after, after_, before_, prefix_, suffix_);
}

std::optional<Bytes> ImageDelta::after(const Bytes& before) const {
    return Splice(before, before_, after_, prefix_, suffix_);
}

std::optional<Bytes> ImageDelta::Splice(const Bytes& from, const Bytes& replaced, const Bytes& with,
                                        std::size_t prefix, std::size_t suffix) {
    if (from.size() != prefix + replaced.size() + suffix) return std::nullopt;
    Bytes image;
    image.reserve(prefix + with.size() + suffix);
    image.insert(image.end(), from.begin(), from.begin() + static_cast<std::ptrdiff_t>(prefix));
    image.insert(image.end(), with.begin(), with.end());
    image.insert(image.end(), from.end() - static_cast<std::ptrdiff_t>(suffix), from.end());
    return image;
}

}  // namespace kestra::workbench
