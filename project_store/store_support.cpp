// Blocks, the image sink and the string pool.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/fault_in.h"
#include "project_store/store.h"
#include "string_table/string_table.h"

namespace kestra::store {

// ---- Sink

ImageBlock::ImageBlock(std::size_t expected) {
    // Every byte is written by the sink, so the block is not zeroed first.
    const mem::NewBlock block =
        mem::AllocateBlock(std::max<std::size_t>(expected, 4096), mem::Kind::Global, false);
    if (!block.ref) throw NoImageBlock{};
    ref_ = block.ref;
    data_ = block.data;
    capacity_ = mem::Size(ref_);
    // The sink writes it from its start: its pages are faulted in with one call where they are
    // not there yet, rather than one fault for every 4 KB as the writing reaches them.
    if (capacity_ >= platform::kFaultInWorthFrom) platform::FaultIn(data_, capacity_);
}

ImageBlock::~ImageBlock() {
    if (ref_) mem::Free(ref_);
}

void ImageBlock::grow(std::size_t n) {
    const std::size_t capacity = std::max(capacity_ + capacity_ / 2, size_ + n);
    // The new bytes are zeroed, which a guess that falls short pays once.
    if (capacity > 0xFFFFFFFFu || !mem::Resize(ref_, capacity)) throw NoImageBlock{};
    data_ = mem::Data(ref_);
    capacity_ = capacity;
}

HGLOBAL ImageBlock::finish() {
    // A block that shrinks stays in place.
    if (size_ != capacity_ && !mem::Resize(ref_, size_)) return 0;
    return std::exchange(ref_, 0);
}

std::uint16_t Fit16(std::size_t n, std::string_view what) {
    if (n > 0xFFFF)
        throw ImageError(
            0, std::string(what) + " of " + std::to_string(n) + " bytes is too long for the image");
    return static_cast<std::uint16_t>(n);
}

void Sink::length16(std::size_t n, std::string_view what) {
    u16(Fit16(n, what));
}

void Sink::tooLong(std::size_t n, std::string_view what) const {
    throw ImageError(position(), std::string(what) + " of " + std::to_string(n) +
                                     " bytes is too long for the image");
}

// ---- String pool

void StringPool::read(ImageReader& in, std::uint16_t count) {
    texts_.clear();
    in.needBytes(count, 1, "string pool");
    texts_.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) texts_.push_back(in.cstring("pool string").data());
    met_.assign(texts_.size() + 1, Met{});
    ahead_ = true;
    inOrder_ = handed_ = 0;
}

const char* StringPool::text(std::uint16_t index) const {
    return index < texts_.size() ? texts_[index] : "";
}

std::uint16_t StringPool::add(Met& met, std::uint16_t index, void* key) {
    if (ahead_ && index == inOrder_ && (inOrder_ < handed_ || handAhead(key))) {
        met.id = static_cast<std::uint16_t>(firstId_ + inOrder_++);
        met.added = true;
        return met.id;
    }
    stopHandingAhead(key);
    met.id = StrTabAddText(text(index), key);
    // A text the table could not take has no identifier to count references on.
    met.added = met.id != kNoStringId;
    return met.id;
}

bool StringPool::handAhead(void* key) {
    const std::size_t n = std::min(kAheadAtOnce, texts_.size() - handed_);
    WORD first = 0;
    const DWORD taken =
        n ? StrTabAddNewTexts(key, texts_.data() + handed_, static_cast<DWORD>(n), &first) : 0;
    if (taken == 0) return false;
    // The table's count follows the load's additions only: the first batch sets where the
    // pool's identifiers start, and each later one starts where the last ended.
    if (handed_ == 0) firstId_ = first;
    handed_ += taken;
    return true;
}

void StringPool::stopHandingAhead(void* key) {
    if (!ahead_) return;
    ahead_ = false;
    if (handed_ > inOrder_)
        RecordAt<ProjectBlock>(key).record.stringCount =
            static_cast<std::uint16_t>(firstId_ + inOrder_);
    handed_ = inOrder_;
}

std::uint16_t StringPool::addOwn(const char* text, void* key) {
    stopHandingAhead(key);
    return StrTabAddText(text, key);
}

void StringPool::settle(void* key) {
    stopHandingAhead(key);
    std::vector<WORD> ids;
    std::vector<DWORD> counts;
    ids.reserve(met_.size());
    counts.reserve(met_.size());
    for (Met& met : met_)
        if (met.pending) {
            ids.push_back(met.id);
            counts.push_back(met.pending);
            met.pending = 0;
        }
    StrTabAddReferenceCounts(key, ids.data(), counts.data(), static_cast<DWORD>(ids.size()));
}

Ref ReadBlob(LoadContext& c, bool keepEmpty) {
    const std::uint32_t length = c.in.u32("blob length");
    auto bytes = c.in.take(length, "blob");
    return length || keepEmpty ? c.blocks.blob(bytes) : 0;
}

void WriteBlob(Sink& out, Ref blob) {
    auto bytes = mem::Blob(blob).value_or(std::span<std::byte>());
    out.u32(static_cast<std::uint32_t>(bytes.size()));
    out.bytes(bytes);
}

}  // namespace kestra::store

namespace kestra::store {

char* Scratch() {
    static char buffer[kScratchSize];
    return buffer;
}

void WriteStringPool(SaveContext& c) {
    // A text is stored as a fetch into the scratch buffer would give it: cut to its room.
    StrTabVisitTexts(
        c.key, c.project.record.stringCount,
        [](void* out, const char* text, DWORD length) {
            static_cast<Sink*>(out)->cstring(
                std::string_view(text, std::min<std::size_t>(length, kScratchSize - 1)));
        },
        &c.out);
}

}  // namespace kestra::store
