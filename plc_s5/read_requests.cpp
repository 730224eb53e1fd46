#include "plc_s5/read_requests.h"

#include <algorithm>
#include <cstring>

#include "kestra/paged_offset.h"
#include "plc_s5/address.h"

namespace kestra::s5 {

bool ReadsPlcData(const FieldRecord& field) {
    return field.fieldClass == kClassPlcData ||
           (field.fieldClass == kClassAttribute && (AttributeByte(field) & kAttributeFromPlc));
}

std::optional<std::uint8_t> OptimisationLength(const uPLCSETUP* setup, const FieldRecord& field) {
    if (!ReadsPlcData(field)) return std::nullopt;
    const unsigned model = setup ? setup->model.get() : 1;
    const unsigned format = field.plc.dataFormat;
    if (!OptimisationAllowed(model, format, field.plc.dataType)) return std::nullopt;
    if (format == kAscii) return field.width;
    const unsigned size = FormatSize(format);
    return static_cast<std::uint8_t>(size == 0 ? 1 : size);
}

ReadRequestPlan::ReadRequestPlan(std::size_t pageCount, unsigned bytesPerRequest)
    : pages_(pageCount), bytesPerRequest_(bytesPerRequest) {}

void ReadRequestPlan::begin(std::size_t page) {
    for (const std::uint8_t dataBlock : used_) {
        Block& block = blocks_[dataBlock];
        block.spans.clear();
        block.skip = 0;
        block.skipStart = 0;
    }
    used_.clear();
    const auto& requests = pages_[page];
    for (std::uint32_t i = 0; i < requests.size(); ++i) {
        const ReadRequest& r = requests[i];
        auto& spans = blocks_[r.dataBlock].spans;
        if (spans.empty()) used_.push_back(r.dataBlock);
        spans.push_back({r.start, r.start + r.length - 1u, i});
    }
    current_ = page;
}

std::size_t ReadRequestPlan::skip(Block& block, std::uint32_t end) const {
    while (block.skip < block.spans.size() &&
           std::max(block.skipStart, block.spans[block.skip].start) + bytesPerRequest_ <= end) {
        block.skipStart = std::max(block.skipStart, block.spans[block.skip].start);
        ++block.skip;
    }
    return block.skip;
}

unsigned ReadRequestPlan::append(std::size_t page, std::uint8_t dataBlock, std::uint16_t start,
                                 std::uint32_t end) {
    auto& requests = pages_[page];
    const std::size_t i = requests.size();
    requests.push_back({dataBlock, start, static_cast<std::uint16_t>(end - start + 1)});
    auto& spans = blocks_[dataBlock].spans;
    if (spans.empty()) used_.push_back(dataBlock);
    spans.push_back({start, end, i});
    return static_cast<unsigned>(i + 1);
}

std::size_t ReadRequestPlan::sectionSize() const {
    std::size_t size = sizeof dataBlocks_ + 2 * pages_.size();
    for (const auto& requests : pages_) size += 2 + 4 * requests.size();
    return size;
}

void ReadRequestPlan::write(std::uint8_t* section, std::size_t sectionOffset) const {
    std::memcpy(section, dataBlocks_, sizeof dataBlocks_);
    section[0] &= 0xFE;  // there is no data block 0
    std::size_t listAt = sizeof dataBlocks_ + 2 * pages_.size();
    for (std::size_t p = 0; p < pages_.size(); ++p) {
        WriteLe16(section + sizeof dataBlocks_ + 2 * p,
                  static_cast<std::uint16_t>((sectionOffset + listAt) % PagedOffset::kPageSize));
        std::uint8_t* list = section + listAt;
        WriteLe16(list, static_cast<std::uint16_t>(pages_[p].size()));
        list += 2;
        for (const ReadRequest& r : pages_[p]) {
            list[0] = r.dataBlock;
            WriteLe16(list + 1, r.start);
            list[3] = static_cast<std::uint8_t>(r.length);
            list += 4;
        }
        listAt += 2 + 4 * pages_[p].size();
    }
}

}  // namespace kestra::s5
