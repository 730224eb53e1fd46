// Bitmaps and shapes (section 15), and the bitmap repair.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kestra/dib.h"
#include "kestra/project_sections.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "project_store/store.h"
#include "utilities/services.h"

namespace kestra::store {
namespace {

constexpr const char* kRepairLog = "PrjFix.txt";
constexpr const char* kBitmapRepairLine = "   Fixed bitmap with zero-dimension...\n";
// The words that the repair tests, counted from the end of the entry's head.
constexpr std::size_t kRepairWord1 = 10;
constexpr std::size_t kRepairWord2 = 12;
constexpr std::size_t kCoreHeaderSize = sizeof(BitmapCoreHeader);

// The length of the packed bitmap at the start of `bytes`: header, palette and rows. Nothing
// when its header is not all there or the bitmap would be larger than `bytes`.
std::optional<std::size_t> dibLength(std::span<const std::byte> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const std::uint32_t headerSize = ReadLe32(bytes.data());
    const bool info = headerSize == kInfoHeaderSize;
    if (headerSize < kCoreHeaderSize || bytes.size() < (info ? kInfoHeaderSize : kCoreHeaderSize))
        return std::nullopt;
    std::int64_t width, height;
    std::uint16_t bitCount;
    if (info) {
        const auto& h = RecordAt<BitmapInfoHeader>(bytes.data());
        width = h.width;
        height = h.height;
        bitCount = h.bitCount;
    } else {
        const auto& h = RecordAt<BitmapCoreHeader>(bytes.data());
        width = h.width;
        height = h.height;
        bitCount = h.bitCount;
    }
    if (width < 0) return std::nullopt;
    // A negative height is a bitmap stored top-down; it has as many rows.
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(height));
    const std::uint64_t rowBytes = DibRowBytes(static_cast<std::uint64_t>(width), bitCount);
    const std::uint64_t fixed = std::uint64_t{headerSize} + PaletteSize(bytes.data());
    if (fixed > bytes.size()) return std::nullopt;
    if (rowBytes != 0 && rows > (bytes.size() - fixed) / rowBytes) return std::nullopt;
    return static_cast<std::size_t>(fixed + rows * rowBytes);
}

// The log grows by a line; it is written whole, like every file the suite writes.
void logRepair() {
    const std::string log =
        kestra::platform::ReadWholeFile(kRepairLog).value_or("") + kBitmapRepairLine;
    kestra::platform::WriteWholeFile(kRepairLog, log);
}

// The bitmap repair of one entry, before its data is read: a numbered bitmap whose stored
// data starts with a zero word where the repair looks gets the attribute word 0x1000. Only an
// entry that stores data is repaired: for one that stores none, the words after its head
// belong to the next entry, and marking it as stored would make a reader take them for
// bitmap data.
bool repairEntry(const ImageReader& in, BitmapHead& head) {
    if ((head.attributes & BitmapHead::kDataStored) || head.nameMark != BitmapHead::kNumberMark ||
        !head.storesData())
        return false;
    auto words = in.peek(kRepairWord2 + 2, "bitmap dimensions");
    if (ReadLe16(words.data() + kRepairWord1) != 0 && ReadLe16(words.data() + kRepairWord2) != 0)
        return false;
    head.attributes = BitmapHead::kDataStored;
    logRepair();
    return true;
}

std::optional<std::span<BitmapEntry>> bitmapsOf(const ExtensionRecord& ext) {
    if (ext.bitmapCount == 0) return std::nullopt;
    return Records<BitmapEntry>(ext.bitmaps, ext.bitmapCount);
}
std::optional<std::span<ShapeEntry>> shapesOf(const ExtensionRecord& ext) {
    return Records<ShapeEntry>(ext.shapes, ext.shapeCount);
}
std::optional<std::span<const std::byte>> pointsOf(const ShapeHead& head) {
    return BytesAt(head.points, head.pointCount * kShapePointSize);
}

// An empty packed bitmap (information header only), stored for an entry whose data memory
// does not hold, so that a reader still finds the bitmap the entry announces.
BitmapInfoHeader emptyDib() {
    BitmapInfoHeader h{};
    h.size = kInfoHeaderSize;
    h.planes = 1;
    return h;
}

}  // namespace

void ReadBitmaps(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    ext.bitmaps = 0;
    ext.shapes = 0;
    if (ext.bitmapCount == 0) return;
    const std::size_t count = ext.bitmapCount;
    c.in.needBytes(count, sizeof(BitmapHead), "bitmap table");
    std::vector<BitmapEntry> bitmaps(count);
    bool repaired = false;
    for (std::size_t i = 0; i < count; ++i) {
        BitmapEntry& entry = bitmaps[i];
        entry.head = c.in.record<BitmapHead>("bitmap head");
        if (c.repair() && i + 1 < count) repaired |= repairEntry(c.in, entry.head);
        if (c.repair() && repaired && i + 1 == count && entry.head.storesData())
            entry.head.attributes = BitmapHead::kDataStored;
        if (!entry.head.storesData()) continue;
        auto length = dibLength(c.in.image().subspan(c.in.position()));
        if (!length) c.in.fail("bitmap data damaged or past the image end");
        entry.dib = c.blocks.global(c.in.take(*length, "bitmap data"));
    }
    const std::size_t shapeCount = ext.shapeCount;
    c.in.needBytes(shapeCount, sizeof(ShapeHead) + 1, "shape table");
    std::vector<ShapeEntry> shapes(shapeCount);
    for (ShapeEntry& shape : shapes) {
        shape.head = c.in.record<ShapeHead>("shape head");
        auto points = c.in.take(
            c.in.needBytes(shape.head.pointCount, kShapePointSize, "shape points"), "shape points");
        shape.head.points = points.empty() ? 0 : c.blocks.host(points);
        if (!points.empty() && !shape.head.points) shape.head.pointCount = 0;
        const std::string_view name = c.in.cstring("shape name");
        shape.name = name.empty() ? 0 : c.blocks.text(name);
    }
    ext.bitmaps = c.blocks.host(std::as_bytes(std::span<const BitmapEntry>(bitmaps)));
    if (!ext.bitmaps) ext.bitmapCount = 0;
    ext.shapes =
        shapes.empty() ? 0 : c.blocks.host(std::as_bytes(std::span<const ShapeEntry>(shapes)));
    if (!ext.shapes) ext.shapeCount = 0;
}

void AdjustStoredBitmaps(ExtensionRecord& stored) {
    if (stored.bitmapCount != 0 && !bitmapsOf(stored)) stored.bitmapCount = 0;
    if (stored.bitmapCount != 0 && !shapesOf(stored)) stored.shapeCount = 0;
    stored.bitmaps = 0;
    stored.shapes = 0;
}

void WriteBitmaps(SaveContext& c) {
    auto bitmaps = bitmapsOf(c.project.ext);
    if (!bitmaps) return;
    for (const BitmapEntry& entry : *bitmaps) {
        c.out.record(entry.head);
        if (!entry.head.storesData()) continue;
        auto block = mem::Bytes(entry.dib);
        if (auto length = dibLength(block))
            c.out.bytes(block.first(*length));
        else
            c.out.record(emptyDib());
    }
    auto shapes = shapesOf(c.project.ext);
    if (!shapes) return;
    for (const ShapeEntry& shape : *shapes) {
        auto points = pointsOf(shape.head);
        ShapeHead stored = shape.head;
        stored.points = 0;
        if (!points) stored.pointCount = 0;
        c.out.record(stored);
        if (points) c.out.bytes(*points);
        c.out.cstring(shape.name != 0u ? TextAt(shape.name).value_or("") : "");
    }
}

}  // namespace kestra::store
