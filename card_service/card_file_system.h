// The card file system: files by type and subtype in logical blocks of the card.
//
// The directory (directory.h) lives in logical block 0 and is the only block ever rewritten.
// A file is stored by writing its contents to logical blocks that no file uses, and then
// writing the new directory, which names them; the blocks of the file it replaces are
// released only after that. The block store keeps the previous copy of the directory until
// the new one is complete, so a power cut leaves at most two copies of the directory, each
// naming files whose blocks are all still there. Mounting takes the readable copy with the
// highest commit number (the directory's own sequence number); a standard reader that keeps
// the other copy sees the card as it was before the change, which is whole as well. Blocks
// written for a file that never made it into the directory are released before the next
// change.
//
// Mounting only reads; the first change after a mount tidies up what a power cut left and
// brings a card of the earlier layout into the current one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "card_service/block_map.h"
#include "card_service/block_store.h"
#include "card_service/directory.h"
#include "card_service/progress.h"

namespace kestra::card {

enum class MountState {
    NotFormatted,  // no directory on the card
    Formatted,
    BrokenHeader,  // directory blocks are there, but none of them holds a valid directory
};

struct CardUsage {
    unsigned physicalBlocks = 0;
    unsigned badBlocks = 0;
    unsigned logicalBlocks = 0;
    std::size_t blockBytes = 0;
    std::uint64_t usedBytes = 0;  // blocks held by files and placeholders
    std::uint64_t freeBytes = 0;  // what new files can still take
};

class CardFileSystem {
  public:
    // Blocks of zone 0 kept free for the next copies of the directory.
    static constexpr unsigned kDirectoryReserve = 2;

    // On a card whose pages the program reads itself, through the file system's own
    // translation layer.
    explicit CardFileSystem(PageDevice& device);
    // On the logical blocks of a card that a reader translates itself.
    explicit CardFileSystem(std::unique_ptr<BlockStore> store);

    void setProgress(ProgressSink* sink) { progress_ = sink; }

    MountState mount();
    MountState state() const { return state_; }
    const std::string& headerProblem() const { return headerProblem_; }

    const std::vector<CardFile>& files() const { return directory_.files; }
    const CardFile* find(FileKey key) const;

    // Erases every good block and writes an empty directory; blocks that fail to erase are
    // marked bad.
    void format();
    // Erases the directory; the card is then not formatted.
    void unformat();

    // Stores `contents` as the file meta.key (name and version from meta), replacing the file
    // with that key once the new one is complete. Throws CardError.
    void store(CardFile meta, std::span<const std::uint8_t> contents, std::string_view task);
    // Reserves `blocks` blocks under meta.key without writing them.
    void reserve(CardFile meta, unsigned blocks);
    // Removes the files with these keys in one change; keys without a file are ignored.
    void remove(std::span<const FileKey> keys);

    // The whole contents of a file, checked against its CRC. Throws CardError.
    std::vector<std::uint8_t> load(FileKey key, std::string_view task);
    // The first bytes of a file (fewer when the file is shorter).
    std::vector<std::uint8_t> head(FileKey key, std::size_t bytes);

    CardUsage usage() const;
    // Logical blocks a new file can take now.
    unsigned allocatableBlocks() const;

    // The translation layer (only on a card whose pages the program reads itself).
    BlockMap& blockMap() { return *map_; }
    const BlockMap& blockMap() const { return *map_; }
    BlockStore& store() { return *store_; }

  private:
    DirectoryShape shape() const;
    void requireFormatted() const;
    void prepareForChanges(bool updateLayout = true);
    unsigned allocatable(unsigned zone) const;
    std::vector<Extent> allocate(unsigned blocks) const;
    void commit(Directory next);
    void releaseQuietly(const std::vector<Extent>& extents);
    void replaceEntry(Directory& next, CardFile file) const;
    void readBlocks(const CardFile& file, std::span<std::uint8_t> out, ProgressScope* progress);
    // A file that does not read back whole: damaged on a card that still answers, and else
    // the card is gone (it reads as erased), whatever the file on it is like.
    [[noreturn]] void unreadable(const std::string& report);

    std::unique_ptr<BlockStore> store_;
    BlockMap* map_ = nullptr;
    ProgressSink* progress_ = nullptr;
    MountState state_ = MountState::NotFormatted;
    std::string headerProblem_;
    Directory directory_;
    std::vector<bool> referenced_;  // logical blocks named by the directory (and block 0)
    bool tidy_ = false;             // leftovers of an interrupted change have been released
};

}  // namespace kestra::card
