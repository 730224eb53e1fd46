#include "card_service/card_file_system.h"

#include <algorithm>
#include <cstring>

#include "card_service/card_errors.h"
#include "card_service/card_files.h"
#include "card_service/crc32.h"
#include "platform/hold_point.h"

namespace kestra::card {
namespace {

constexpr unsigned kDirectoryBlock = 0;

// A file by its kind, as the contents listing names it ("ROM file", "firmware", "font l");
// the types and subtypes a user gives are named with their numbers.
std::string KindName(FileKey key) {
    const std::string kind = DescribeFileType(key.type, key.subtype, false);
    if (IsReservedType(key.type)) return kind;
    return kind + " of type " + std::to_string(key.type) + ", subtype " +
           std::to_string(key.subtype);
}

std::string Describe(const CardFile& file) {
    return file.name.empty() ? KindName(file.key) : "'" + file.name + "'";
}

}  // namespace

CardFileSystem::CardFileSystem(PageDevice& device) {
    auto map = std::make_unique<BlockMap>(device);
    map_ = map.get();
    store_ = std::move(map);
}

CardFileSystem::CardFileSystem(std::unique_ptr<BlockStore> store) : store_(std::move(store)) {}

DirectoryShape CardFileSystem::shape() const {
    return {store_->logicalBlocks(), store_->geometry().pagesPerBlock, store_->blockBytes()};
}

MountState CardFileSystem::mount() {
    store_->scan();
    state_ = MountState::NotFormatted;
    headerProblem_.clear();
    directory_ = {};
    tidy_ = false;
    // Of the readable copies of the directory the one with the highest commit number holds.
    const std::vector<unsigned> copies = store_->copies(kDirectoryBlock);
    std::vector<std::uint8_t> block(store_->blockBytes());
    std::optional<unsigned> chosen;
    bool anyCopy = false;
    for (unsigned copy : copies) {
        bool readable = true;
        for (unsigned page = 0; page < store_->geometry().pagesPerBlock && readable; ++page) {
            auto out = std::span(block).subspan(std::size_t{page} * kPageData).first<kPageData>();
            readable = store_->readPage(kDirectoryBlock, page, out, copy) !=
                       BlockStore::ReadResult::Damaged;
        }
        // An erased block is no directory (a reader that translates the card itself shows a
        // logical block that holds nothing as erased).
        if (readable &&
            std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        anyCopy = true;
        if (!readable) {
            if (!chosen) headerProblem_ = "a page of the directory cannot be read";
            continue;
        }
        DecodedDirectory decoded = DecodeDirectory(block, shape());
        if (!decoded.directory) {
            if (!chosen) headerProblem_ = decoded.problem;
            continue;
        }
        const auto ahead =
            static_cast<std::int32_t>(decoded.directory->commitNumber - directory_.commitNumber);
        if (chosen && ahead <= 0) continue;
        chosen = copy;
        directory_ = std::move(*decoded.directory);
        headerProblem_.clear();
    }
    store_->choose(kDirectoryBlock, chosen);
    if (chosen)
        state_ = MountState::Formatted;
    else if (anyCopy)
        state_ = MountState::BrokenHeader;
    store_->spreadWrites(directory_.commitNumber);
    referenced_.assign(store_->logicalBlocks(), false);
    if (!referenced_.empty()) referenced_[kDirectoryBlock] = true;
    for (const CardFile& file : directory_.files)
        for (const Extent& extent : file.extents)
            std::fill_n(referenced_.begin() + extent.first, extent.count, true);
    return state_;
}

const CardFile* CardFileSystem::find(FileKey key) const {
    auto it = std::find_if(directory_.files.begin(), directory_.files.end(),
                           [&](const CardFile& f) { return f.key == key; });
    return it == directory_.files.end() ? nullptr : &*it;
}

void CardFileSystem::requireFormatted() const {
    if (state_ != MountState::Formatted)
        throw CardError(KESSSFDC_NOT_FORMATTED, "The SSFDC card is not formatted.");
}

void CardFileSystem::prepareForChanges(bool updateLayout) {
    if (!tidy_) {
        store_->dropStaleCopies();
        for (unsigned logical : store_->mappedLogicalBlocks())
            if (!referenced_[logical]) store_->release(logical);
        tidy_ = true;
    }
    if (!updateLayout || !store_->needsLayoutUpdate()) return;
    try {
        store_->updateLayout();
    } catch (const CardError& error) {
        // A zone too full to move a block in must not stop the change itself; the layout is
        // brought up to date at a later change.
        if (error.code() != KESSSFDC_CARD_FULL) throw;
    }
}

unsigned CardFileSystem::allocatable(unsigned zone) const {
    const Zone& z = store_->zones()[zone];
    unsigned referenced = 0;
    for (unsigned l = z.firstLogical; l < z.firstLogical + z.logicalCount; ++l)
        referenced += referenced_[l];
    const unsigned reserve = zone == 0 ? kDirectoryReserve : 0;
    const unsigned taken = store_->unusableBlocks(zone) + referenced + reserve;
    const unsigned physicalRoom = z.physicalCount > taken ? z.physicalCount - taken : 0;
    return std::min(physicalRoom, z.logicalCount - referenced);
}

unsigned CardFileSystem::allocatableBlocks() const {
    unsigned total = 0;
    for (unsigned zone = 0; zone < store_->zones().size(); ++zone) total += allocatable(zone);
    return total;
}

// Picks free logical blocks, in one run where a zone has one long enough, else in as few
// runs as the zones give; throws when the card has not that many.
std::vector<Extent> CardFileSystem::allocate(unsigned blocks) const {
    if (blocks == 0) return {};
    auto runsOf = [&](unsigned zone, auto visit) {
        const Zone& z = store_->zones()[zone];
        unsigned start = 0, length = 0;
        for (unsigned l = z.firstLogical; l <= z.firstLogical + z.logicalCount; ++l) {
            const bool free = l < z.firstLogical + z.logicalCount && !referenced_[l];
            if (free) {
                if (length++ == 0) start = l;
                continue;
            }
            if (length && !visit(start, length)) return;
            length = 0;
        }
    };
    std::vector<Extent> extents;
    for (unsigned zone = 0; zone < store_->zones().size() && extents.empty(); ++zone) {
        if (allocatable(zone) < blocks) continue;
        runsOf(zone, [&](unsigned start, unsigned length) {
            if (length < blocks) return true;
            extents.push_back(
                {static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(blocks)});
            return false;
        });
    }
    if (!extents.empty()) return extents;
    unsigned missing = blocks;
    for (unsigned zone = 0; zone < store_->zones().size() && missing; ++zone) {
        unsigned budget = allocatable(zone);
        runsOf(zone, [&](unsigned start, unsigned length) {
            const unsigned take = std::min({length, budget, missing});
            if (take)
                extents.push_back(
                    {static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(take)});
            budget -= take;
            missing -= take;
            return budget && missing;
        });
    }
    if (missing)
        throw CardError(KESSSFDC_CARD_FULL,
                        "The card has no room for " + std::to_string(blocks) + " more blocks.");
    return extents;
}

void CardFileSystem::replaceEntry(Directory& next, CardFile file) const {
    std::erase_if(next.files, [&](const CardFile& f) { return f.key == file.key; });
    next.files.push_back(std::move(file));
    std::sort(next.files.begin(), next.files.end(),
              [](const CardFile& a, const CardFile& b) { return a.key < b.key; });
}

void CardFileSystem::commit(Directory next) {
    next.commitNumber = directory_.commitNumber + 1;
    store_->write(kDirectoryBlock, EncodeDirectory(next, shape()));
    directory_ = std::move(next);
    std::fill(referenced_.begin(), referenced_.end(), false);
    referenced_[kDirectoryBlock] = true;
    for (const CardFile& file : directory_.files)
        for (const Extent& extent : file.extents)
            std::fill_n(referenced_.begin() + extent.first, extent.count, true);
    state_ = MountState::Formatted;
}

// Releases blocks that no directory names any more. A failure here leaves them for the next
// change to release; the change itself has been made.
void CardFileSystem::releaseQuietly(const std::vector<Extent>& extents) {
    try {
        for (const Extent& extent : extents)
            for (unsigned l = extent.first; l < unsigned{extent.first} + extent.count; ++l)
                if (!referenced_[l]) store_->release(l);
    } catch (const CardError&) {
        tidy_ = false;
    }
}

void CardFileSystem::format() {
    const bool hadDirectory = state_ == MountState::Formatted;
    const std::uint64_t blockBytes = store_->geometry().blockRawBytes();
    ProgressScope progress(progress_, "Formatting the card",
                           store_->geometry().blocks * blockBytes);
    if (hadDirectory) {
        // The empty directory goes first, so that a power cut from here on leaves a card that
        // is formatted and empty.
        prepareForChanges(false);
        commit(Directory{directory_.commitNumber, {}});
    }
    store_->clearAllBut(kDirectoryBlock,
                        [&](unsigned physical) { progress.advance((physical + 1) * blockBytes); });
    directory_.files.clear();
    if (!hadDirectory) commit(Directory{directory_.commitNumber, {}});
    tidy_ = true;
    // A card made before the CIS came in gets it now; everything else was just written anew.
    if (store_->needsLayoutUpdate()) store_->updateLayout();
    progress.complete();
}

void CardFileSystem::unformat() {
    store_->release(kDirectoryBlock);
    state_ = MountState::NotFormatted;
    directory_ = {};
    std::fill(referenced_.begin(), referenced_.end(), false);
    if (!referenced_.empty()) referenced_[kDirectoryBlock] = true;
    tidy_ = false;
}

void CardFileSystem::store(CardFile meta, std::span<const std::uint8_t> contents,
                           std::string_view task) {
    requireFormatted();
    const std::size_t blockBytes = store_->blockBytes();
    const std::uint64_t needed = (contents.size() + blockBytes - 1) / blockBytes;
    prepareForChanges();
    const unsigned room = allocatableBlocks();
    if (needed > room)
        throw CardError(KESSSFDC_CARD_FULL,
                        "The card is full: " + Describe(meta) + " needs " +
                            std::to_string(contents.size()) + " bytes, the card has room for " +
                            std::to_string(std::uint64_t{room} * blockBytes) +
                            " bytes. A file that is replaced stays on the card until its "
                            "successor is complete, so both need room.");
    meta.placeholder = false;
    meta.length = static_cast<std::uint32_t>(contents.size());
    meta.crc = Crc32(contents);
    meta.extents = allocate(static_cast<unsigned>(needed));
    const std::vector<Extent> previous =
        find(meta.key) ? find(meta.key)->extents : std::vector<Extent>{};

    Directory next = directory_;
    replaceEntry(next, meta);
    EncodeDirectory(next, shape());  // a full directory fails here, before anything is written

    ProgressScope progress(progress_, task, contents.size());
    try {
        std::size_t offset = 0;
        for (const Extent& extent : meta.extents) {
            for (unsigned l = extent.first; l < unsigned{extent.first} + extent.count; ++l) {
                const std::size_t size = std::min(blockBytes, contents.size() - offset);
                store_->write(l, contents.subspan(offset, size));
                offset += size;
                progress.advance(offset);
            }
        }
        platform::HoldPoint("card-directory");
        commit(std::move(next));
    } catch (const CardError&) {
        releaseQuietly(meta.extents);
        throw;
    }
    releaseQuietly(previous);
    progress.complete();
}

void CardFileSystem::reserve(CardFile meta, unsigned blocks) {
    requireFormatted();
    prepareForChanges();
    if (blocks == 0 || blocks > allocatableBlocks())
        throw CardError(KESSSFDC_CARD_FULL, "The card has room for " +
                                                std::to_string(allocatableBlocks()) + " blocks; " +
                                                std::to_string(blocks) + " were asked for.");
    meta.placeholder = true;
    meta.extents = allocate(blocks);
    meta.length = static_cast<std::uint32_t>(blocks * store_->blockBytes());
    meta.crc = 0;
    const std::vector<Extent> previous =
        find(meta.key) ? find(meta.key)->extents : std::vector<Extent>{};
    Directory next = directory_;
    replaceEntry(next, std::move(meta));
    commit(std::move(next));
    releaseQuietly(previous);
}

void CardFileSystem::remove(std::span<const FileKey> keys) {
    requireFormatted();
    std::vector<Extent> released;
    Directory next = directory_;
    std::erase_if(next.files, [&](const CardFile& file) {
        if (std::find(keys.begin(), keys.end(), file.key) == keys.end()) return false;
        released.insert(released.end(), file.extents.begin(), file.extents.end());
        return true;
    });
    if (next.files.size() == directory_.files.size()) return;
    prepareForChanges();
    commit(std::move(next));
    releaseQuietly(released);
}

void CardFileSystem::readBlocks(const CardFile& file, std::span<std::uint8_t> out,
                                ProgressScope* progress) {
    std::vector<std::uint8_t> page(kPageData);
    std::size_t offset = 0;
    for (const Extent& extent : file.extents) {
        for (unsigned l = extent.first; l < unsigned{extent.first} + extent.count; ++l) {
            for (unsigned p = 0; p < store_->geometry().pagesPerBlock && offset < out.size(); ++p) {
                if (store_->readPage(l, p, std::span(page).first<kPageData>()) ==
                    BlockMap::ReadResult::Damaged)
                    unreadable("The file " + Describe(file) + " on the card is damaged: page " +
                               std::to_string(p) + " of its block " + std::to_string(l) +
                               " cannot be read.");
                const std::size_t size = std::min(kPageData, out.size() - offset);
                std::memcpy(out.data() + offset, page.data(), size);
                offset += size;
            }
            if (progress) progress->advance(offset);
            if (offset == out.size()) return;
        }
    }
}

void CardFileSystem::unreadable(const std::string& report) {
    if (!store_->cardPresent())
        throw CardError(KESSSFDC_NO_CARD, "The card was taken out of the reader or lost power.");
    throw CardError(KESSSFDC_UPLOAD_FAILED, report);
}

std::vector<std::uint8_t> CardFileSystem::load(FileKey key, std::string_view task) {
    requireFormatted();
    const CardFile* file = find(key);
    if (!file || file->placeholder)
        throw CardError(KESSSFDC_FILE_NOT_FOUND, "There is no " + KindName(key) + " on the card.");
    const CardFile copy = *file;
    std::vector<std::uint8_t> contents(copy.length);
    ProgressScope progress(progress_, task, contents.size());
    readBlocks(copy, contents, &progress);
    if (Crc32(contents) != copy.crc)
        unreadable("The file " + Describe(copy) +
                   " on the card is damaged: its contents do not match the checksum written "
                   "with them.");
    progress.complete();
    return contents;
}

std::vector<std::uint8_t> CardFileSystem::head(FileKey key, std::size_t bytes) {
    const CardFile* file = find(key);
    if (!file || file->placeholder) return {};
    std::vector<std::uint8_t> out(std::min<std::size_t>(bytes, file->length));
    readBlocks(*file, out, nullptr);
    return out;
}

CardUsage CardFileSystem::usage() const {
    CardUsage usage;
    usage.physicalBlocks = store_->geometry().blocks;
    usage.badBlocks = store_->badBlocks();
    usage.logicalBlocks = store_->logicalBlocks();
    usage.blockBytes = store_->blockBytes();
    for (const CardFile& file : directory_.files)
        usage.usedBytes += std::uint64_t{file.blocks()} * usage.blockBytes;
    if (state_ == MountState::Formatted)
        usage.freeBytes = std::uint64_t{allocatableBlocks()} * usage.blockBytes;
    return usage;
}

}  // namespace kestra::card
