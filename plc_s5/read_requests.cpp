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

void ReadRequestPlan::chain(std::size_t page) {
    std::fill(std::begin(first_), std::end(first_), kNone);
    next_.clear();
    for (const ReadRequest& r : pages_[page])
        link(static_cast<std::uint32_t>(next_.size()), r.dataBlock);
    chained_ = page;
}

void ReadRequestPlan::link(std::uint32_t i, std::uint8_t dataBlock) {
    next_.push_back(kNone);
    if (first_[dataBlock] == kNone)
        first_[dataBlock] = i;
    else
        next_[last_[dataBlock]] = i;
    last_[dataBlock] = i;
}

unsigned ReadRequestPlan::add(std::size_t page, std::uint8_t dataBlock, std::uint16_t start,
                              std::uint16_t length) {
    markDataBlock(dataBlock);
    if (page != chained_) chain(page);
    auto& requests = pages_[page];
    const unsigned end = start + std::max<unsigned>(length, 1) - 1u;
    // The first request of the data block that the item fits in with takes it.
    for (std::uint32_t i = first_[dataBlock]; i != kNone; i = next_[i]) {
        ReadRequest& r = requests[i];
        const unsigned low = std::min<unsigned>(r.start, start);
        const unsigned high = std::max<unsigned>(r.start + r.length - 1u, end);
        if (high - low < bytesPerRequest_) {
            r.start = static_cast<std::uint16_t>(low);
            r.length = static_cast<std::uint16_t>(high - low + 1);
            return i + 1;
        }
    }
    const auto i = static_cast<std::uint32_t>(requests.size());
    requests.push_back({dataBlock, start, static_cast<std::uint16_t>(end - start + 1)});
    link(i, dataBlock);
    return i + 1;
}

void ReadRequestPlan::markDataBlock(std::uint8_t dataBlock) {
    dataBlocks_[dataBlock / 8] =
        static_cast<std::uint8_t>(dataBlocks_[dataBlock / 8] | (1u << (dataBlock % 8)));
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
