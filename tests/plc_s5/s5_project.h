// Builds S5 projects in memory for the driver's tests.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "platform/memory.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "string_table/string_table.h"
#include "utilities/services.h"

namespace kestra::s5::testing {

// A project block in global memory, with the host allocator registered for what it holds.
class TestProject {
  public:
    TestProject() : handle_(GlobalAlloc(GHND, kProjectBlockSize)) {
        SetAppFmalloc(&mem::HostAllocate);
        block_ = static_cast<ProjectBlock*>(GlobalLock(handle_));
        block_->record.plcType = 20;
        block_->record.imageSizeClass = 2;
    }
    ~TestProject() {
        StrTabDiscard(block_);
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
    TestProject(const TestProject&) = delete;
    TestProject& operator=(const TestProject&) = delete;

    ProjectBlock& block() { return *block_; }
    ProjectRecord& record() { return block_->record; }
    HGLOBAL handle() const { return handle_; }

    std::uint16_t text(const std::string& t) { return StrTabAddText(t.c_str(), block_); }
    std::string textOf(std::uint16_t id) {
        char buffer[512] = "";
        StrTabGetText(id, block_, buffer, sizeof buffer, 0);
        return buffer;
    }

    // Pages with the given numbers of fields, named "P1", "P2" ..., linked in a chain.
    std::vector<PageRecord*> addPages(const std::vector<std::size_t>& fieldCounts) {
        const auto count = fieldCounts.size();
        record().pageCount = static_cast<std::uint16_t>(count);
        record().pages = mem::HostAllocate(static_cast<std::uint32_t>(count * sizeof(PageRecord)));
        auto* pages = reinterpret_cast<PageRecord*>(mem::Data(record().pages));
        std::vector<PageRecord*> out;
        for (std::size_t p = 0; p < count; ++p) {
            PageRecord& page = pages[p];
            page.setNameId(text("P" + std::to_string(p + 1)));
            WriteLe16(page.r41, static_cast<std::uint16_t>(p + 1 < count ? p + 1 : p));
            WriteLe16(page.r41 + 2, static_cast<std::uint16_t>(p > 0 ? p - 1 : p));
            page.fieldCount = static_cast<std::uint16_t>(fieldCounts[p]);
            if (fieldCounts[p])
                page.fields = mem::HostAllocate(
                    static_cast<std::uint32_t>(fieldCounts[p] * sizeof(FieldRecord)));
            out.push_back(&page);
        }
        return out;
    }
    static FieldRecord* fields(PageRecord& page) {
        return reinterpret_cast<FieldRecord*>(mem::Data(page.fields));
    }

    void setPageText(PageRecord& page, const std::string& t) {
        page.text = mem::HostAllocate(static_cast<std::uint32_t>(4 + t.size()));
        auto* blob = mem::Data(page.text);
        WriteLe32(blob, static_cast<std::uint32_t>(t.size()));
        std::memcpy(blob + 4, t.data(), t.size());
    }

    // The alarm table: `count` alarms, all 256 entries allocated.
    AlarmRecord* addAlarms(std::size_t count) {
        record().section2aCount = static_cast<std::uint16_t>(count);
        record().section2a = GlobalAlloc(GHND, kAlarmCount * sizeof(AlarmRecord));
        return reinterpret_cast<AlarmRecord*>(mem::Data(record().section2a));
    }

    // Message ranges in a field's list 1.
    void setMessages(FieldRecord& field, const std::vector<ListEntry>& ranges) {
        field.list1.count = static_cast<std::int16_t>(ranges.size());
        field.list1.block = GlobalAlloc(GHND, ranges.size() * sizeof(ListEntry));
        std::memcpy(mem::Data(field.list1.block), ranges.data(), ranges.size() * sizeof(ListEntry));
    }

  private:
    HGLOBAL handle_;
    ProjectBlock* block_;
};

inline ListEntry Range(std::int16_t first, std::int16_t last, std::uint16_t id) {
    ListEntry e{};
    e.firstKey = first;
    e.lastKey = last;
    e.textId = id;
    return e;
}

// A class 2 field at a row and column.
inline void MakeDataField(FieldRecord& f, std::uint8_t row, std::uint8_t column,
                          std::uint8_t fieldType, std::uint8_t format, std::uint8_t dataBlock,
                          std::uint16_t byteOffset, std::uint8_t width = 5) {
    f = FieldRecord{};
    f.r0[0] = row;
    f.r0[1] = column;
    f.fieldClass = 2;
    f.width = width;
    f.height = 1;
    f.display.fieldType = fieldType;
    f.display.format = static_cast<std::uint8_t>(2 << 3);  // decimal
    f.display.scaleA = 1;
    f.display.scaleB = 1;
    f.plc.dataBlock = dataBlock;
    f.plc.byteOffset = byteOffset;
    f.plc.dataFormat = format;
    f.plc.dataType = 1;
}

inline std::vector<std::uint8_t> BytesOf(HGLOBAL handle, std::size_t size) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(mem::Data(handle));
    return std::vector<std::uint8_t>(data, data + size);
}

}  // namespace kestra::s5::testing
