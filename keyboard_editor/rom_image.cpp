#include "keyboard_editor/rom_image.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/message_box.h"
#include "platform/records.h"

namespace clavon {
namespace {

constexpr std::size_t kHeaderFixed = 57;  // header bytes besides the name and the fields
constexpr std::size_t kBlockHead = 12;
constexpr std::size_t kTrailer = 16;  // end mark and checksum

class Writer {
  public:
    void u8(std::uint32_t v) { m_bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void bytes(const std::uint8_t* data, std::size_t size) {
        m_bytes.insert(m_bytes.end(), data, data + size);
    }
    std::vector<std::uint8_t>& result() { return m_bytes; }

  private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace

std::uint32_t ByteSum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return sum;
}

void CKbdRomImage::SetHeader(std::uint32_t first, const std::string& name, std::uint32_t second) {
    m_firstWord = first;
    m_secondWord = second;
    m_name = name.substr(0, kMaxName);
}

void CKbdRomImage::SetSize(int width, int height) {
    m_width = static_cast<std::uint16_t>(width);
    m_height = static_cast<std::uint16_t>(height);
}

void CKbdRomImage::SetAbsolutePlacement(int x, int y) {
    m_horzReference = m_vertReference = 2;
    m_horzPosition = static_cast<std::uint16_t>(x);
    m_vertPosition = static_cast<std::uint16_t>(y);
}

std::size_t CKbdRomImage::TotalSize() const {
    std::size_t size = kHeaderFixed + m_name.size() + m_fields.size() + kTrailer;
    for (const CRomBlock& block : m_blocks) size += kBlockHead + block.data.size();
    return size;
}

std::vector<std::uint8_t> CKbdRomImage::Body(const kestra::platform::LocalTime& time) const {
    Writer w;
    w.u8(1);
    w.u32(m_firstWord);
    w.u8(time.second);
    w.u8(time.minute);
    w.u8(time.hour);
    w.u8(time.day);
    w.u8(time.month);
    w.u16(time.year);
    w.u8(static_cast<std::uint32_t>(m_name.size()));
    w.bytes(reinterpret_cast<const std::uint8_t*>(m_name.data()), m_name.size());
    w.u32(m_secondWord);
    w.u32(static_cast<std::uint32_t>(TotalSize()));
    w.u8(kBlockHead);
    w.u8(static_cast<std::uint32_t>(34 + m_fields.size()));
    w.u8(16);
    w.zeros(2 + 4 + 7);
    w.u16(m_width);
    w.u16(m_height);
    w.u32(static_cast<std::uint32_t>(m_blocks.size()));
    w.u8(m_avoidField);
    w.u8(m_horzReference);
    w.u16(m_horzPosition);
    w.u8(m_vertReference);
    w.u16(m_vertPosition);
    w.zeros(4);
    w.u8(static_cast<std::uint32_t>(m_fields.size()));
    for (std::uint8_t field : m_fields) w.u8(field + 1u);
    for (const CRomBlock& block : m_blocks) {
        w.u32(0xFFFFFFFFu);
        w.u32(static_cast<std::uint32_t>(block.data.size()));
        w.u32(ByteSum(block.data.data(), block.data.size()));
        w.bytes(block.data.data(), block.data.size());
    }
    w.zeros(12);
    return std::move(w.result());
}

std::vector<std::uint8_t> CKbdRomImage::Bytes(const kestra::platform::LocalTime& time) const {
    std::vector<std::uint8_t> bytes = Body(time);
    const std::uint32_t sum = ByteSum(bytes.data(), bytes.size());
    bytes.resize(bytes.size() + 4);
    kestra::WriteLe32(bytes.data() + bytes.size() - 4, sum);
    return bytes;
}

bool CKbdRomImage::Write() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const kestra::platform::LocalTime time{now.wYear,   now.wMonth,       now.wDayOfWeek,
                                           now.wDay,    now.wHour,        now.wMinute,
                                           now.wSecond, now.wMilliseconds};
    const std::vector<std::uint8_t> body = Body(time);
    const std::string temporary = m_target + ".part";
    auto fail = [&](std::FILE* file) {
        if (file) std::fclose(file);
        std::remove(temporary.c_str());
        MessageBox(nullptr, (kCanNotOpenFile + m_target).c_str(), "Clavon",
                   MB_OK | MB_ICONEXCLAMATION);
        return false;
    };
    std::FILE* file = std::fopen(temporary.c_str(), "w+b");
    if (!file) return fail(nullptr);
    if (std::fwrite(body.data(), 1, body.size(), file) != body.size() || std::fflush(file) != 0)
        return fail(file);
    // The checksum is of what the file holds, read back.
    std::rewind(file);
    std::uint32_t sum = 0;
    std::size_t read = 0;
    for (int c; (c = std::fgetc(file)) != EOF; ++read) sum += static_cast<std::uint8_t>(c);
    if (read != body.size()) return fail(file);
    std::uint8_t tail[4];
    kestra::WriteLe32(tail, sum);
    if (std::fseek(file, 0, SEEK_END) != 0 || std::fwrite(tail, 1, 4, file) != 4 ||
        std::fflush(file) != 0 || fsync(fileno(file)) != 0)
        return fail(file);
    if (std::fclose(file) != 0) return fail(nullptr);
    std::error_code error;
    std::filesystem::rename(temporary, m_target, error);
    if (error) return fail(nullptr);
    return true;
}

}  // namespace clavon
