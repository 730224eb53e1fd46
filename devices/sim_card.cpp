#include "devices/sim_card.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/file_writer.h"
#include "platform/image_cursor.h"

namespace kestra::platform {

namespace {

struct CardKind {
    BYTE device;
    DWORD blocks;
    DWORD pagesPerBlock;
    DWORD dataSize;
};

// The SmartMedia cards that were sold, by device code (the second ID byte).
constexpr CardKind kCardKinds[] = {
    {0x6E, 256, 16, 256},   // 1 MB, 5 V
    {0xE8, 256, 16, 256},   // 1 MB, 3.3 V
    {0xEC, 256, 16, 256},   // 1 MB, 3.3 V
    {0x64, 512, 16, 256},   // 2 MB, 5 V
    {0xEA, 512, 16, 256},   // 2 MB, 3.3 V
    {0x6B, 512, 16, 512},   // 4 MB, 5 V
    {0xD5, 512, 16, 512},   // 4 MB, 3.3 V
    {0xE3, 512, 16, 512},   // 4 MB, 3.3 V
    {0xE5, 512, 16, 512},   // 4 MB, 3.3 V
    {0xD6, 1024, 16, 512},  // 8 MB, 3.3 V
    {0xE6, 1024, 16, 512},  // 8 MB, 3.3 V
    {0x73, 1024, 32, 512},  // 16 MB
    {0x75, 2048, 32, 512},  // 32 MB
    {0x76, 4096, 32, 512},  // 64 MB
    {0x79, 8192, 32, 512},  // 128 MB
};

constexpr BYTE kStatusFail = 0x01;
constexpr BYTE kStatusReady = 0x40;
constexpr BYTE kStatusNotProtected = 0x80;

void checkGeometry(const SimCardGeometry& g, ImageReader& at) {
    if (g.blocks == 0 || g.pagesPerBlock == 0 || g.dataSize == 0)
        at.fail("card geometry with a zero count");
    if (std::uint64_t{g.dataSize} + g.spareSize > kSimMaxPageSize)
        at.fail("page size beyond 32768");
    if (std::uint64_t{g.blocks} * g.pagesPerBlock > kSimMaxPages)
        at.fail("more pages than three row address bytes number");
}

struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) ::close(fd);
    }
};

[[noreturn]] void systemFailure(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// A read-only image is mapped privately: nothing reaches the file (and the card refuses
// every change anyway).
BYTE* mapFile(int fd, std::uint64_t size, const std::string& path, bool readOnly = false) {
    void* mapping =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, readOnly ? MAP_PRIVATE : MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED) systemFailure("cannot map the card image", path);
    return static_cast<BYTE*>(mapping);
}

// A copy of the whole image in memory of its own, for an image that is not to be mapped.
BYTE* readFile(int fd, std::uint64_t size, const std::string& path) {
    void* memory =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) systemFailure("no memory for the card image", path);
    auto* bytes = static_cast<BYTE*>(memory);
    for (std::uint64_t done = 0; done < size;) {
        const ssize_t got = ::pread(fd, bytes + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;
            const int number = errno;
            ::munmap(memory, size);
            errno = number;
            systemFailure("cannot read the card image", path);
        }
        done += static_cast<std::uint64_t>(got);
    }
    return bytes;
}

// Whether some of the file has no room on the disk yet (a sparse file): a mapping would fault
// on those parts the moment the disk is full.
bool hasHoles(const struct stat& info) {
    return static_cast<std::uint64_t>(info.st_blocks) * 512 <
           static_cast<std::uint64_t>(info.st_size);
}

// Writes a new card image through the one file writer: room for all of it first, then the
// header and every page erased (factory-marked bad blocks all 0x00). With `replace` false an
// image that appears meanwhile under that name is kept; the result says whether this one was
// put in place.
bool writeNewImage(const std::string& path, const SimCardLayout& layout,
                   const std::vector<std::byte>& header, bool replace) {
    FileWriter out(path);
    const auto& g = layout.geometry;
    const std::uint64_t blockBytes = std::uint64_t{g.pagesPerBlock} * g.pageSize();
    const std::vector<std::uint8_t> erased(blockBytes, 0xFF), bad(blockBytes, 0x00);
    bool ok =
        out.open() && out.reserve(layout.fileSize()) &&
        out.write(std::span(reinterpret_cast<const std::uint8_t*>(header.data()), header.size()));
    for (DWORD block = 0; ok && block < g.blocks; ++block) {
        const bool factoryBad = std::find(layout.factoryBad.begin(), layout.factoryBad.end(),
                                          block) != layout.factoryBad.end();
        ok = out.write(factoryBad ? bad : erased);
    }
    if (ok && (replace ? out.commit() : out.commitNew())) return true;
    if (out.existed()) return false;
    throw std::runtime_error("cannot make the card image " + path + ": " + out.error());
}

}  // namespace

std::optional<SimCardGeometry> SimCardGeometry::ForDeviceCode(BYTE device, BYTE maker) {
    for (const auto& kind : kCardKinds) {
        if (kind.device != device) continue;
        return SimCardGeometry{
            maker, device, kind.blocks, kind.pagesPerBlock, kind.dataSize, kind.dataSize / 32};
    }
    return std::nullopt;
}

SimCardLayout ParseSimCardHeader(std::span<const std::byte> image, std::uint64_t fileSize) {
    ImageReader at(image);
    auto header = at.record<SimCardHeader>("card image header");
    if (std::memcmp(header.magic, kSimCardMagic, sizeof kSimCardMagic) != 0) {
        at.seek(0);
        at.fail("card image signature");
    }
    SimCardLayout layout;
    layout.geometry = SimCardGeometry{header.maker,         header.device,   header.blocks,
                                      header.pagesPerBlock, header.dataSize, header.spareSize};
    checkGeometry(layout.geometry, at);
    at.needBytes(header.badBlockCount, sizeof(le32), "factory bad block list");
    if (header.headerSize != sizeof(SimCardHeader) + std::uint64_t{header.badBlockCount} * 4)
        at.fail("header size that does not match the bad block list");
    for (DWORD i = 0; i < header.badBlockCount; ++i) {
        DWORD block = at.u32("factory bad block");
        if (block >= layout.geometry.blocks) at.fail("factory bad block beyond the card");
        layout.factoryBad.push_back(block);
    }
    layout.headerSize = header.headerSize;
    if (layout.fileSize() != fileSize) at.fail("card image size that does not match its geometry");
    return layout;
}

std::vector<std::byte> MakeSimCardHeader(const SimCardGeometry& geometry,
                                         const std::vector<DWORD>& factoryBad) {
    std::vector<std::byte> bytes(sizeof(SimCardHeader) + 4 * factoryBad.size());
    ImageWriter out(bytes);
    SimCardHeader header{};
    std::memcpy(header.magic, kSimCardMagic, sizeof kSimCardMagic);
    header.headerSize = static_cast<DWORD>(bytes.size());
    header.maker = geometry.maker;
    header.device = geometry.device;
    header.blocks = geometry.blocks;
    header.pagesPerBlock = geometry.pagesPerBlock;
    header.dataSize = geometry.dataSize;
    header.spareSize = geometry.spareSize;
    header.badBlockCount = static_cast<DWORD>(factoryBad.size());
    out.record(header);
    for (DWORD block : factoryBad) out.u32(block);
    out.finish();
    return bytes;
}

std::shared_ptr<SimCard> SimCard::Create(const std::string& path, const SimCardGeometry& geometry,
                                         const std::vector<DWORD>& factoryBad) {
    auto header = MakeSimCardHeader(geometry, factoryBad);
    // Checks the geometry and the bad block list the same way an opened image is checked.
    const SimCardLayout layout = ParseSimCardHeader(header, header.size() + geometry.bytes());
    writeNewImage(path, layout, header, true);
    return Open(path);
}

std::shared_ptr<SimCard> SimCard::OpenOrCreate(const std::string& path,
                                               const SimCardGeometry& geometry) {
    if (::access(path.c_str(), F_OK) != 0) {
        auto header = MakeSimCardHeader(geometry, {});
        const SimCardLayout layout = ParseSimCardHeader(header, header.size() + geometry.bytes());
        // Another program making the card at the same moment wins as well: both open its image.
        writeNewImage(path, layout, header, false);
    }
    return Open(path);
}

std::shared_ptr<SimCard> SimCard::Open(const std::string& path) {
    // An image without any write permission bit is read-only even to a privileged user.
    struct stat mode;
    const bool readOnly = ::stat(path.c_str(), &mode) == 0 &&
                          ((mode.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0);
    FileCloser file{::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC)};
    if (file.fd < 0) systemFailure("cannot open the card image", path);
    struct stat info;
    if (::fstat(file.fd, &info) != 0) systemFailure("cannot read the card image", path);
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    // The fixed header first, then as much of the bad block list as it announces.
    auto readHead = [&](std::uint64_t size) {
        std::vector<std::byte> head(std::min(fileSize, size));
        if (::pread(file.fd, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()))
            systemFailure("cannot read the card image", path);
        return head;
    };
    auto head = readHead(sizeof(SimCardHeader));
    if (head.size() == sizeof(SimCardHeader)) {
        auto fixed = ImageReader(head).record<SimCardHeader>();
        head = readHead(sizeof(SimCardHeader) + 4ull * fixed.badBlockCount);
    }
    SimCardLayout layout = ParseSimCardHeader(head, fileSize);
    // Parts of the image without room on the disk get it now, or the image is refused: a
    // mapped page that cannot be stored ends the program (SIGBUS) when the disk is full.
    // An image that may not be changed is read into memory instead.
    const bool holes = hasHoles(info);
    if (holes && !readOnly) {
        if (const int error = ::posix_fallocate(file.fd, 0, static_cast<off_t>(fileSize))) {
            errno = error;
            systemFailure("no room on the disk for the whole card image", path);
        }
    }
    BYTE* mapping = holes && readOnly ? readFile(file.fd, fileSize, path)
                                      : mapFile(file.fd, layout.fileSize(), path, readOnly);
    auto card = std::shared_ptr<SimCard>(new SimCard(path, std::move(layout), mapping));
    card->readOnly_ = readOnly;
    return card;
}

SimCard::SimCard(std::string path, SimCardLayout layout, BYTE* mapping)
    : path_(std::move(path)),
      layout_(std::move(layout)),
      mapping_(mapping),
      pages_(mapping + layout_.headerSize),
      pageRegister_(layout_.geometry.pageSize(), 0xFF) {}

SimCard::~SimCard() {
    ::munmap(mapping_, layout_.fileSize());
}

void SimCard::flush() {
    ::msync(mapping_, layout_.fileSize(), MS_SYNC);
}

bool SimCard::factoryBad(DWORD block) const {
    return std::find(layout_.factoryBad.begin(), layout_.factoryBad.end(), block) !=
           layout_.factoryBad.end();
}

std::span<BYTE> SimCard::page(DWORD row) {
    const auto& g = layout_.geometry;
    return {pages_ + std::uint64_t{row % g.pages()} * g.pageSize(), g.pageSize()};
}

void SimCard::clearFaults() {
    failingBlocks_.clear();
    failingPages_.clear();
}

void SimCard::cutPowerAfter(DWORD operations, bool tear) {
    operationsBeforeCut_ = operations;
    tear_ = tear;
}

void SimCard::restorePower() {
    powered_ = true;
    operationsBeforeCut_.reset();
    mode_ = Mode::Idle;
    failed_ = false;
    busyFor_ = 0;
}

bool SimCard::busy() {
    if (busyFor_ == 0) return false;
    --busyFor_;
    return true;
}

BYTE SimCard::statusByte() const {
    BYTE status = failed_ ? kStatusFail : 0;
    if (busyFor_ == 0) status |= kStatusReady;
    if (!writeProtect_) status |= kStatusNotProtected;
    return status;
}

DWORD SimCard::collectedRow() const {
    // A read or program address starts with the column byte; an erase address has none.
    unsigned first = mode_ == Mode::EraseSetup ? 0 : 1;
    DWORD row = 0;
    for (unsigned i = first; i < addressCount_ && i - first < geometry().rowAddressBytes(); ++i)
        row |= DWORD{addressBytes_[i]} << (8 * (i - first));
    return row % geometry().pages();
}

void SimCard::command(BYTE command) {
    if (!powered_) return;
    // Setup commands start a new address; confirmations use the one collected.
    if (command != 0x10 && command != 0xD0) addressCount_ = 0;
    switch (command) {
        case 0xFF:  // reset
            mode_ = Mode::Idle;
            failed_ = false;
            area_ = 0;
            busyFor_ = busyLooks_.reset;
            break;
        case 0x90:  // read ID
            mode_ = Mode::ReadId;
            idIndex_ = 0;
            break;
        case 0x70:  // read status; reading pages again takes a new read command
            mode_ = Mode::Status;
            break;
        case 0x00:
        case 0x01:
        case 0x50:
            area_ = command == 0x00 ? 0 : command == 0x01 ? 256 : geometry().dataSize;
            areaOnce_ = command == 0x01;
            mode_ = Mode::Read;
            readLoaded_ = false;
            break;
        case 0x80:  // serial data input
            mode_ = Mode::ProgramInput;
            std::fill(pageRegister_.begin(), pageRegister_.end(), BYTE{0xFF});
            column_ = area_;
            break;
        case 0x10:  // program confirm
            if (mode_ == Mode::ProgramInput) program();
            mode_ = Mode::Idle;
            break;
        case 0x60:  // erase setup
            mode_ = Mode::EraseSetup;
            break;
        case 0xD0:  // erase confirm
            if (mode_ == Mode::EraseSetup) erase();
            mode_ = Mode::Idle;
            break;
        default:
            mode_ = Mode::Idle;
            break;
    }
}

void SimCard::address(BYTE address) {
    if (!powered_) return;
    if (addressCount_ < std::size(addressBytes_)) addressBytes_[addressCount_++] = address;
    if (mode_ == Mode::Read && addressCount_ == 1 + geometry().rowAddressBytes()) startRead();
    if (mode_ == Mode::ProgramInput && addressCount_ == 1) column_ = area_ + address;
}

void SimCard::startRead() {
    row_ = collectedRow();
    column_ = area_ + (addressCount_ > 0 ? addressBytes_[0] : 0);
    if (areaOnce_) area_ = 0;
    areaOnce_ = false;
    readLoaded_ = true;
    busyFor_ = busyLooks_.read;
}

void SimCard::writeData(BYTE value) {
    if (!powered_ || mode_ != Mode::ProgramInput) return;
    if (column_ < pageRegister_.size()) pageRegister_[column_] = value;
    ++column_;
}

BYTE SimCard::readData() {
    if (!powered_) return 0xFF;
    switch (mode_) {
        case Mode::ReadId:
            ++idIndex_;
            return idIndex_ == 1 ? geometry().maker : idIndex_ == 2 ? geometry().device : 0xFF;
        case Mode::Status:
            return statusByte();
        case Mode::Read: {
            if (!readLoaded_) startRead();
            if (column_ >= geometry().pageSize()) {  // sequential read goes on with the next page
                row_ = (row_ + 1) % geometry().pages();
                column_ = area_ < geometry().pageSize() ? area_ : 0;
            }
            return page(row_)[column_++];
        }
        default:
            return 0xFF;
    }
}

bool SimCard::survivesPowerCut(std::span<BYTE> target, std::span<const BYTE> result) {
    if (!operationsBeforeCut_) return true;
    if (*operationsBeforeCut_ > 0) {
        --*operationsBeforeCut_;
        return true;
    }
    if (tear_) std::copy_n(result.begin(), result.size() / 2, target.begin());
    powered_ = false;
    operationsBeforeCut_.reset();
    mode_ = Mode::Idle;
    busyFor_ = 0;
    return false;
}

void SimCard::program() {
    const DWORD row = collectedRow();
    auto target = page(row);
    std::vector<BYTE> result(target.begin(), target.end());
    for (std::size_t i = 0; i < result.size(); ++i) result[i] &= pageRegister_[i];
    if (!survivesPowerCut(target, result)) return;
    ++operations_;
    busyFor_ = busyLooks_.program;
    failed_ = writeProtect_ || readOnly_ || factoryBad(row / geometry().pagesPerBlock) ||
              failingPages_.count(row) > 0;
    if (!failed_) std::copy(result.begin(), result.end(), target.begin());
}

void SimCard::erase() {
    const auto& g = geometry();
    const DWORD block = collectedRow() / g.pagesPerBlock;
    std::span<BYTE> target{pages_ + std::uint64_t{block} * g.pagesPerBlock * g.pageSize(),
                           std::size_t{g.pagesPerBlock} * g.pageSize()};
    std::vector<BYTE> result(target.size(), 0xFF);
    if (!survivesPowerCut(target, result)) return;
    ++operations_;
    busyFor_ = busyLooks_.erase;
    failed_ = writeProtect_ || readOnly_ || factoryBad(block) || failingBlocks_.count(block) > 0;
    if (!failed_) std::fill(target.begin(), target.end(), BYTE{0xFF});
}

}  // namespace kestra::platform
