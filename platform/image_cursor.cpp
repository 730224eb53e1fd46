#include "platform/image_cursor.h"

#include <cstring>

#include "platform/records.h"

namespace kestra {

namespace {
std::string describe(std::size_t offset, std::string_view what, std::size_t wanted,
                     std::size_t available) {
    return "image offset " + std::to_string(offset) + ": " + std::string(what) + " needs " +
           std::to_string(wanted) + " bytes, " + std::to_string(available) + " remain";
}
}  // namespace

ImageError::ImageError(std::size_t offset, const std::string& message)
    : std::runtime_error(message), offset_(offset) {}

ImageReader::ImageReader(std::span<const std::byte> image, std::size_t position)
    : image_(image), pos_(0) {
    seek(position);
}

void ImageReader::seek(std::size_t position) {
    if (position > image_.size())
        throw ImageError(position, "image offset " + std::to_string(position) +
                                       " lies beyond the image end " +
                                       std::to_string(image_.size()));
    pos_ = position;
}

void ImageReader::failShort(std::size_t n, std::string_view what) const {
    throw ImageError(pos_, describe(pos_, what, n, remaining()));
}

std::string_view ImageReader::cstring(std::string_view what) {
    const auto* start = reinterpret_cast<const char*>(image_.data() + pos_);
    const void* end = std::memchr(start, 0, remaining());
    if (!end)
        throw ImageError(pos_, "image offset " + std::to_string(pos_) + ": " + std::string(what) +
                                   " has no terminating zero");
    std::size_t length = static_cast<const char*>(end) - start;
    pos_ += length + 1;
    return std::string_view(start, length);
}

void ImageReader::failCount(std::uint64_t count, std::size_t elementSize,
                            std::string_view what) const {
    throw ImageError(pos_, "image offset " + std::to_string(pos_) + ": " + std::string(what) +
                               " count " + std::to_string(count) + " of " +
                               std::to_string(elementSize) + " bytes exceeds the " +
                               std::to_string(remaining()) + " bytes that remain");
}

void ImageReader::fail(std::string_view what) const {
    throw ImageError(pos_, "image offset " + std::to_string(pos_) + ": " + std::string(what));
}

ImageWriter::ImageWriter(std::span<std::byte> block) : block_(block) {}

void ImageWriter::failOverrun(std::size_t n) const {
    throw ImageError(pos_, "writing " + std::to_string(n) + " bytes at offset " +
                               std::to_string(pos_) + " overruns the computed size " +
                               std::to_string(block_.size()));
}

void ImageWriter::finish() const {
    if (pos_ != block_.size())
        throw ImageError(pos_, "image written to " + std::to_string(pos_) +
                                   " bytes, computed size was " + std::to_string(block_.size()));
}

}  // namespace kestra
