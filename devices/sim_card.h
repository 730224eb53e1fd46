// A simulated SmartMedia (SSFDC) card: a NAND flash chip held in a card image file.
//
// The chip is driven through its pins as a reader drives them: command, address and data
// cycles, the ready/busy line and the write-protect line. It understands the SmartMedia
// command set: reset (0xFF), read ID (0x90), read status (0x70), read (0x00 first half,
// 0x01 second half, 0x50 spare area), page program (0x80 ... 0x10) and block erase
// (0x60 ... 0xD0). Pages hold data and spare area together; programming can only clear bits
// (the page becomes page AND written bytes), an erase sets a whole block to 0xFF. Status bit
// 0 reports a failed program or erase, bit 6 ready, bit 7 not write-protected.
//
// The card image file (little-endian):
//   offset  0  8 bytes  "KSMCARD" followed by the format number 1
//   offset  8  le32     header size: bytes before the first page (64 + 4 * bad block count)
//   offset 12  u8       maker code, offset 13 u8 device code, offset 14 le16 zero
//   offset 16  le32     blocks, offset 20 le32 pages per block
//   offset 24  le32     data bytes per page, offset 28 le32 spare bytes per page
//   offset 32  le32     number of factory-marked bad blocks; offsets 36..63 zero
//   offset 64  le32[]   the factory-marked bad blocks
//   then every page, block by block, data and spare area together.
// The file is mapped: every change reaches the file at once, so an image left by a power
// cut shows exactly what the card held at that moment. An image is made with all its room
// on the disk taken at once (a full disk refuses it, with the old file as it was), and an
// image with parts that have no room on the disk yet (a sparse file) gets it before it is
// mapped, or is refused: a mapped page that cannot be stored would end the program.
//
// Faults for tests: an erase of a given block or a program of a given page fails (status
// bit 0, nothing changes); factory-marked bad blocks (all bytes 0x00 when made) fail every
// erase and program; a power cut after a number of further program or erase operations
// stops the next one (or, torn, lets half of it take effect) and leaves the card dead
// until the power comes back: a dead card ignores every cycle and reads 0xFF, as an empty
// reader does. Busy periods last a given number of looks at the ready/busy line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/records.h"
#include "platform/win_types.h"

namespace kestra::platform {

struct SimCardGeometry {
    BYTE maker = 0;
    BYTE device = 0;
    DWORD blocks = 0;
    DWORD pagesPerBlock = 0;
    DWORD dataSize = 0;
    DWORD spareSize = 0;

    DWORD pageSize() const { return dataSize + spareSize; }
    DWORD pages() const { return blocks * pagesPerBlock; }
    std::uint64_t bytes() const { return std::uint64_t{pages()} * pageSize(); }
    // Row address cycles the chip takes: three once two bytes cannot number every page.
    unsigned rowAddressBytes() const { return pages() > 0x10000 ? 3 : 2; }

    // The geometry of the SmartMedia card with this device code (1 MB to 128 MB, 5 V and
    // 3.3 V), with the given maker code.
    static std::optional<SimCardGeometry> ForDeviceCode(BYTE device, BYTE maker = kMakerCode);
    // A maker code of the SmartMedia era, used when none is given.
    static constexpr BYTE kMakerCode = 0xEC;
};

// The fixed part of the card image header.
struct SimCardHeader {
    char magic[8];
    le32 headerSize;
    std::uint8_t maker;
    std::uint8_t device;
    le16 reserved0;
    le32 blocks;
    le32 pagesPerBlock;
    le32 dataSize;
    le32 spareSize;
    le32 badBlockCount;
    std::uint8_t reserved[28];
};
static_assert(sizeof(SimCardHeader) == 64);
static_assert(offsetof(SimCardHeader, headerSize) == 8);
static_assert(offsetof(SimCardHeader, maker) == 12);
static_assert(offsetof(SimCardHeader, blocks) == 16);
static_assert(offsetof(SimCardHeader, spareSize) == 28);
static_assert(offsetof(SimCardHeader, badBlockCount) == 32);

inline constexpr char kSimCardMagic[8] = {'K', 'S', 'M', 'C', 'A', 'R', 'D', 1};
// Limits of a card the simulator accepts: the largest page a reader transfers, and the
// pages that three row address bytes can number.
inline constexpr DWORD kSimMaxPageSize = 32768;
inline constexpr DWORD kSimMaxPages = 1u << 24;

struct SimCardLayout {
    SimCardGeometry geometry;
    std::vector<DWORD> factoryBad;
    std::size_t headerSize = 0;
    std::uint64_t fileSize() const { return headerSize + geometry.bytes(); }
};

// Reads and checks a card image header; `fileSize` is the size of the whole image. Throws
// ImageError (platform/image_cursor.h) when the bytes are not a card image of that size.
SimCardLayout ParseSimCardHeader(std::span<const std::byte> image, std::uint64_t fileSize);
std::vector<std::byte> MakeSimCardHeader(const SimCardGeometry& geometry,
                                         const std::vector<DWORD>& factoryBad);

class SimCard {
  public:
    // Makes a new card image: every page erased (0xFF), the factory-marked bad blocks filled
    // with 0x00. An existing file of that name is replaced. Throws std::runtime_error when the
    // image cannot be written (a full disk, say); an old file then stays as it was.
    static std::shared_ptr<SimCard> Create(const std::string& path, const SimCardGeometry& geometry,
                                           const std::vector<DWORD>& factoryBad = {});
    // Opens the card image, making a new erased card first when there is none; a card that
    // another program makes at the same moment is not replaced.
    static std::shared_ptr<SimCard> OpenOrCreate(const std::string& path,
                                                 const SimCardGeometry& geometry);
    // Opens an existing card image; throws ImageError or std::runtime_error when it cannot.
    // An image this process may not write, or that has no write permission bit at all, is
    // opened read-only: the card then refuses every program and erase, as a write-protected
    // card does.
    static std::shared_ptr<SimCard> Open(const std::string& path);

    ~SimCard();
    SimCard(const SimCard&) = delete;
    SimCard& operator=(const SimCard&) = delete;

    const SimCardGeometry& geometry() const { return layout_.geometry; }
    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }

    // The pins of the card.
    void command(BYTE command);
    void address(BYTE address);
    void writeData(BYTE value);
    BYTE readData();
    // One look at the ready/busy line: true while busy.
    bool busy();
    void setWriteProtect(bool protect) { writeProtect_ = protect; }

    // Busy periods, in looks at the ready/busy line (all 0 when made: always ready).
    struct BusyLooks {
        DWORD reset = 0;
        DWORD read = 0;
        DWORD program = 0;
        DWORD erase = 0;
    };
    void setBusyLooks(const BusyLooks& looks) { busyLooks_ = looks; }

    // Faults.
    void failErase(DWORD block) { failingBlocks_.insert(block); }
    void failProgram(DWORD row) { failingPages_.insert(row); }
    void clearFaults();
    // After `operations` more program or erase operations the power goes: the next one does
    // not take effect (with `tear`, the first half of its bytes or pages do) and the card is
    // dead until restorePower().
    void cutPowerAfter(DWORD operations, bool tear = false);
    void restorePower();
    bool powered() const { return powered_; }

    // Program and erase operations carried out since the card was opened (failed ones count;
    // the one a power cut stops does not).
    DWORD operations() const { return operations_; }

    bool factoryBad(DWORD block) const;
    // The bytes of one page (data and spare area) in the image; tests may read and change
    // them directly. The row is taken modulo the number of pages.
    std::span<BYTE> page(DWORD row);
    // Writes the mapped image out to the file.
    void flush();

  private:
    SimCard(std::string path, SimCardLayout layout, BYTE* mapping);

    enum class Mode : std::uint8_t { Idle, ReadId, Status, Read, ProgramInput, EraseSetup };
    DWORD collectedRow() const;
    void startRead();
    void program();
    void erase();
    // Counts an operation against a pending power cut; false when the cut stops it.
    bool survivesPowerCut(std::span<BYTE> target, std::span<const BYTE> result);
    BYTE statusByte() const;

    std::string path_;
    SimCardLayout layout_;
    BYTE* mapping_;
    BYTE* pages_;

    Mode mode_ = Mode::Idle;
    DWORD area_ = 0;         // start column of the read area (0x00, 0x01, 0x50)
    bool areaOnce_ = false;  // 0x01 selects the second half for one operation only
    BYTE addressBytes_[4] = {};
    unsigned addressCount_ = 0;
    DWORD row_ = 0;
    DWORD column_ = 0;
    unsigned idIndex_ = 0;
    bool readLoaded_ = false;
    std::vector<BYTE> pageRegister_;

    bool writeProtect_ = true;
    bool readOnly_ = false;
    bool failed_ = false;
    DWORD busyFor_ = 0;
    BusyLooks busyLooks_;
    bool powered_ = true;
    std::optional<DWORD> operationsBeforeCut_;
    bool tear_ = false;
    DWORD operations_ = 0;
    std::set<DWORD> failingBlocks_;
    std::set<DWORD> failingPages_;
};

}  // namespace kestra::platform
