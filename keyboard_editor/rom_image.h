// The keyboard ROM image: a header with the time of writing, the keyboard's placement and its
// associated fields, the records of the keyboard as checksummed blocks, an end mark and a
// checksum of the whole file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace clavon {

inline constexpr const char* kCanNotOpenFile = "Can not open file: ";

// One record of the image. Only the data is written; its first byte repeats the type.
struct CRomBlock {
    std::uint8_t type = 0;
    std::uint8_t subCode = 0;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> data;
};

class CKbdRomImage {
  public:
    static constexpr std::size_t kMaxName = 255;

    // The two header words and the name; a name longer than 255 bytes is cut there.
    void SetHeader(std::uint32_t first, const std::string& name, std::uint32_t second);
    void AddBlock(CRomBlock block) { m_blocks.push_back(std::move(block)); }
    void AddAssociatedField(std::uint8_t index) { m_fields.push_back(index); }
    void SetAvoidField(std::uint8_t avoid) { m_avoidField = avoid; }
    // Selector 0, 1, 2 gives the position 0, 50, 100.
    void SetHorzPosition(int selector) { m_horzPosition = PositionOf(selector); }
    void SetVertPosition(int selector) { m_vertPosition = PositionOf(selector); }
    // Selector 1 ("Field") gives 128, anything else ("Border") 0.
    void SetHorzReference(int selector) { m_horzReference = selector == 1 ? 128 : 0; }
    void SetVertReference(int selector) { m_vertReference = selector == 1 ? 128 : 0; }
    void SetTransparentColour(std::uint32_t colour) { m_transparent = colour; }
    void SetSize(int width, int height);
    // Both references 2, the positions the keyboard's left and top.
    void SetAbsolutePlacement(int x, int y);
    void SetTarget(const std::string& path) { m_target = path; }
    const std::string& Target() const { return m_target; }

    const std::vector<CRomBlock>& Blocks() const { return m_blocks; }
    const std::string& Name() const { return m_name; }
    std::size_t TotalSize() const;

    // The whole image for a writing time, final checksum included.
    std::vector<std::uint8_t> Bytes(const kestra::platform::LocalTime& time) const;
    // Writes the image to the target with the current clock's time: through a temporary file
    // in the target's folder whose checksum is read back from the file before it is renamed
    // into place. False (after "Can not open file: " and the path) when it cannot be written.
    bool Write() const;

  private:
    static std::uint16_t PositionOf(int selector) {
        return static_cast<std::uint16_t>(selector == 1 ? 50 : selector == 2 ? 100 : 0);
    }
    std::vector<std::uint8_t> Body(const kestra::platform::LocalTime& time) const;

    std::uint32_t m_firstWord = 1, m_secondWord = 0;
    std::string m_name;
    std::vector<CRomBlock> m_blocks;
    std::vector<std::uint8_t> m_fields;
    std::uint8_t m_avoidField = 0, m_horzReference = 0, m_vertReference = 0;
    std::uint16_t m_horzPosition = 0, m_vertPosition = 0;
    std::uint32_t m_transparent = 0;
    std::uint16_t m_width = 0, m_height = 0;
    std::string m_target;
};

std::uint32_t ByteSum(const std::uint8_t* data, std::size_t size);

}  // namespace clavon
