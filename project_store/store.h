// The project store's inner interface: the blocks a load allocates, the image sink that
// measures or writes, the string pool, and the reader and writer of each group of sections.
//
// Saving writes the image once, straight into the global block that holds it, trimmed to
// its size at the end; a piece whose size must be known before it is written (a keyed
// entry's) is measured by running its writer into a measuring sink, so that the size and the
// bytes can never disagree. Loading allocates through one ledger, which frees everything again
// when the load fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "kestra/project.h"
#include "kestra/project_sections.h"
#include "platform/allocations.h"
#include "platform/image_cursor.h"
#include "platform/memory.h"
#include "platform/small_copy.h"
#include "utilities/blocks.h"

namespace kestra::store {

using mem::Ref;

// Load flags.
inline constexpr unsigned kLoadWithoutLaterSections = 1;  // option "501"
inline constexpr unsigned kLoadRepair = 2;                // option "fixrmenufield"

// Nesting of child field records that a reader or writer follows before it calls the data
// damaged (the stored form has one level; deeper chains come only from damaged data).
inline constexpr int kMaxFieldNesting = 8;

// ---- Blocks

// Every block one load allocates; freed again unless the load succeeds.
using mem::Allocations;

// Records and bytes behind a reference, when the block holds them all.
template <typename T>
std::optional<std::span<T>> Records(Ref ref, std::size_t count) {
    return blocks::Records<T>(ref, count);
}
inline std::optional<std::span<std::byte>> BytesAt(Ref ref, std::size_t size) {
    if (size == 0) return std::span<std::byte>();
    std::byte* bytes = mem::At(ref, 0, size);
    if (!bytes) return std::nullopt;
    return std::span<std::byte>(bytes, size);
}
// A text up to its terminator or its block's end; nothing for a null or dead reference.
inline std::optional<std::string_view> TextAt(Ref ref) {
    auto block = mem::Bytes(ref);
    if (block.empty()) return std::nullopt;
    const char* start = reinterpret_cast<const char*>(block.data());
    const void* end = std::memchr(start, 0, block.size());
    return std::string_view(start, end ? static_cast<const char*>(end) - start : block.size());
}

inline std::span<const std::byte> AsBytes(std::string_view text) {
    return std::as_bytes(std::span<const char>(text.data(), text.size()));
}
template <typename T>
std::span<const std::byte> AsBytes(const T& record) {
    return std::as_bytes(std::span<const T>(&record, 1));
}

// ---- Room kept by the thread

// Room that each thread keeps between loads and saves (large rooms made afresh every time
// would come as fresh memory, which costs a page fault every 4 KB), lent to one piece of work
// at a time; work that starts while the room is lent gets room of its own.
template <typename Room>
class LentRoom {
  public:
    LentRoom() : room_(shared().lent ? &own_ : &shared().room) {
        if (room_ != &own_) shared().lent = true;
    }
    ~LentRoom() {
        if (room_ != &own_) shared().lent = false;
    }
    LentRoom(const LentRoom&) = delete;
    LentRoom& operator=(const LentRoom&) = delete;
    Room& get() { return *room_; }

  private:
    struct Shared {
        Room room;
        bool lent = false;
    };
    static Shared& shared() {
        thread_local Shared kept;
        return kept;
    }
    Room own_;
    Room* room_;
};

// ---- Image sink

// The global block an image is written into, growing as the bytes come and trimmed to their
// size when finished, so that the finished image is never copied; a block not finished is
// freed. Growing throws NoImageBlock when no larger block can be had.
class ImageBlock {
  public:
    struct NoImageBlock {};

    // Room for `expected` bytes to start with.
    explicit ImageBlock(std::size_t expected);
    ~ImageBlock();
    ImageBlock(const ImageBlock&) = delete;
    ImageBlock& operator=(const ImageBlock&) = delete;

    std::size_t size() const { return size_; }
    // n more bytes at the end, for the caller to fill.
    std::byte* extend(std::size_t n) {
        if (n > capacity_ - size_) grow(n);
        std::byte* at = data_ + size_;
        size_ += n;
        return at;
    }
    // The block, now of the size written; the caller owns it.
    HGLOBAL finish();

  private:
    void grow(std::size_t n);

    Ref ref_ = 0;
    std::byte* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

class Sink {
  public:
    Sink() = default;  // measures
    explicit Sink(ImageBlock& image) : image_(&image) {}

    bool measuring() const { return !image_; }
    std::size_t position() const { return image_ ? image_->size() : size_; }

    void u8(std::uint8_t v) {
        if (std::byte* at = room1(1)) *at = std::byte{v};
    }
    void u16(std::uint16_t v) {
        if (std::byte* at = room1(2)) WriteLe16(at, v);
    }
    void u32(std::uint32_t v) {
        if (std::byte* at = room1(4)) WriteLe32(at, v);
    }
    void bytes(std::span<const std::byte> data) {
        std::byte* at = room1(data.size());
        if (at && !data.empty()) std::memcpy(at, data.data(), data.size());
    }
    void zeros(std::size_t n) {
        std::byte* at = room1(n);
        if (at && n) std::memset(at, 0, n);
    }
    // The text and its terminator, taken as one piece (a short text copied without a call).
    void cstring(std::string_view text) {
        if (std::byte* at = room1(text.size() + 1)) {
            mem::CopyBytes(at, reinterpret_cast<const std::byte*>(text.data()), text.size());
            at[text.size()] = std::byte{0};
        }
    }
    template <typename T>
    void record(const T& r) {
        bytes(AsBytes(r));
    }
    // A length that the image stores in 16 (or 8) bits; a longer one cannot be stored.
    void length16(std::size_t n, std::string_view what);
    void length8(std::size_t n, std::string_view what) { u8(lengthByte(n, what)); }
    // n as a length of one byte; a longer `what` is refused.
    std::uint8_t lengthByte(std::size_t n, std::string_view what) const {
        if (n > 0xFF) tooLong(n, what);
        return static_cast<std::uint8_t>(n);
    }
    // n bytes at the current position for the caller to fill (empty while measuring).
    std::span<std::byte> room(std::size_t n) {
        std::byte* at = room1(n);
        return at ? std::span<std::byte>(at, n) : std::span<std::byte>();
    }

  private:
    [[noreturn]] void tooLong(std::size_t n, std::string_view what) const;
    // Writing, the place of n more bytes; measuring, nothing (they are only counted).
    std::byte* room1(std::size_t n) {
        if (image_) return image_->extend(n);
        size_ += n;
        return nullptr;
    }

    ImageBlock* image_ = nullptr;
    std::size_t size_ = 0;
};

// The size of a measured or written piece, refused when it does not fit in 16 bits.
std::uint16_t Fit16(std::size_t n, std::string_view what);

// The 32 KB scratch buffer that loading and saving share for option texts and pool strings.
inline constexpr std::size_t kScratchSize = 32768;
char* Scratch();

// ---- String pool

// The texts of an image's string pool, by index, and the identifiers the project's string
// table gave them. A text is added to the table when loading first meets its index, so that
// identifiers come in the order of the loading steps; later meetings of the index only count
// references, which settle() hands to the table in one call at the end of the load
// (nothing during a load releases references, which is all the order could change).
//
// An image this store saved holds its pool in the order its load will meet the texts, so the
// texts are handed to the table ahead of their meetings, a batch at a time under one lock,
// and a first meeting in that order only takes the identifier the table gave. At the first
// meeting out of that order (or a text the table held already), the texts handed over but not
// met yet are dropped again, and from then on each text is added when it is met.
class StringPool {
    struct Met {
        std::uint16_t id = 0;
        bool added = false;
        std::uint32_t pending = 0;  // references not yet handed to the table
    };

  public:
    void read(ImageReader& in, std::uint16_t count);
    std::size_t size() const { return texts_.size(); }
    // The text of a string index; an index beyond the pool is the empty text.
    const char* text(std::uint16_t index) const;

    // Translates one index after the other into identifiers of the table of `key`, each
    // holding one reference, with the pool's records at hand: the indices are written back
    // through byte-wise records, after each of which the pool's vector would be fetched anew.
    class Run {
      public:
        Run(StringPool& pool, void* key)
            : pool_(pool), met_(pool.met_.data()), last_(pool.met_.size() - 1), key_(key) {}
        std::uint16_t operator()(std::uint16_t index) {
            Met& met = met_[std::min<std::size_t>(index, last_)];
            if (!met.added) [[unlikely]]
                return pool_.add(met, index, key_);
            ++met.pending;
            return met.id;
        }

      private:
        StringPool& pool_;
        Met* met_;
        std::size_t last_;
        void* key_;
    };
    // One index.
    std::uint16_t translate(std::uint16_t index, void* key) { return Run(*this, key)(index); }
    void settle(void* key);
    // Adds a text of the load's own (not of the pool) to the table; its identifier.
    std::uint16_t addOwn(const char* text, void* key);

  private:
    std::uint16_t add(Met& met, std::uint16_t index, void* key);
    // Hands the next texts in pool order to the table; false when it took none.
    bool handAhead(void* key);
    // Drops the texts handed over and not met; each text is added when met from then on.
    void stopHandingAhead(void* key);

    // Texts handed over ahead at a time: a load that leaves the pool's order wastes no more.
    static constexpr std::size_t kAheadAtOnce = 512;

    std::vector<const char*> texts_;
    // While texts are handed over ahead: indices below inOrder_ are met, those below
    // handed_ in the table, with identifiers from firstId_ on.
    bool ahead_ = true;
    std::size_t inOrder_ = 0;
    std::size_t handed_ = 0;
    std::uint16_t firstId_ = 0;
    // By index; the last one stands for every index beyond the pool (and, before the pool is
    // read, for every index).
    std::vector<Met> met_ = std::vector<Met>(1);
};

// The string indices of the fields that a load translates once the pool is read, noted as
// the fields are read (in the order a walk of the pages would meet them), so that the fields
// are not walked again: the lists whose entries hold indices, and the fields' own indices
// where set. Each index is noted beside its place, so that translating reads the indices
// from here and goes to a list or field only to write an identifier that differs from its
// index (in an image this store saved, none does).
// A large project notes about a megabyte, in room the thread keeps.
class FieldTexts {
  public:
    FieldTexts() {
        Room& room = room_.get();
        room.lists.clear();
        room.listIndices.clear();
        room.fields.clear();
        room.fieldIndices.clear();
    }
    void noteList(std::span<ListEntry> entries) {
        Room& room = room_.get();
        room.lists.push_back(entries);
        for (const ListEntry& e : entries) room.listIndices.push_back(e.textId);
    }
    void noteField(le16& index) {
        Room& room = room_.get();
        room.fields.push_back(&index);
        room.fieldIndices.push_back(index);
    }
    // The lists, and their entries' indices one list after the other.
    std::span<const std::span<ListEntry>> lists() { return room_.get().lists; }
    std::span<const std::uint16_t> listIndices() { return room_.get().listIndices; }
    // The places of the fields' own indices, and the indices.
    std::span<le16* const> fields() { return room_.get().fields; }
    std::span<const std::uint16_t> fieldIndices() { return room_.get().fieldIndices; }

  private:
    struct Room {
        std::vector<std::span<ListEntry>> lists;
        std::vector<std::uint16_t> listIndices;
        std::vector<le16*> fields;
        std::vector<std::uint16_t> fieldIndices;
    };
    LentRoom<Room> room_;
};

// ---- Load and save contexts

struct LoadContext {
    ImageReader& in;
    ProjectBlock& project;
    void* key;  // the project's address: its string table's key
    Allocations& blocks;
    unsigned flags;
    std::uint8_t formatCode;
    StringPool pool;
    FieldTexts fieldTexts;

    bool repair() const { return flags & kLoadRepair; }
    // Adds the text of a string index to the project's string table; the new identifier.
    std::uint16_t translate(std::uint16_t index) { return pool.translate(index, key); }
    void translateIfSet(le16& index) {
        if (index != 0) index = translate(index);
    }
    // Hands the references counted so far to the string table.
    void settleTexts() { pool.settle(key); }
};

struct SaveContext {
    Sink& out;
    const ProjectBlock& project;
    void* key;
    std::uint8_t formatCode;
};

// A stored blob (u32 length and the bytes): read into a new blob (none for an empty one unless
// asked for), or written from a blob (an absent one as empty).
Ref ReadBlob(LoadContext& c, bool keepEmpty);
void WriteBlob(Sink& out, Ref blob);

// The stored value of a reference slot says no more than whether the section is there: 1 for a
// slot that announces a section, 0 for the others (and for an absent section).
inline std::uint32_t StoredPresence(bool present) {
    return present ? 1 : 0;
}

// ---- Sections

// Sections 1, 2a/2b and 4 to 9 (the project record's tables).
void ReadLeadingTables(LoadContext& c);    // 1, 2a or 2b
void ReadMiddleTables(LoadContext& c);     // 4 to 9
void TranslateTableTexts(LoadContext& c);  // 2a or the group lists, then 9
void TranslateGroupNames(LoadContext& c);  // the group records' own texts
void AdjustStoredTables(ProjectRecord& stored);
void WriteLeadingTables(SaveContext& c);
void WriteMiddleTables(SaveContext& c);

// Section 3 and the page extension blobs of section 14.
void ReadPages(LoadContext& c);
void ReadPageBlobs(LoadContext& c);
void TranslateFieldLists(LoadContext& c);
void TranslateFieldTexts(LoadContext& c);
void TranslatePageNames(LoadContext& c);
// With one language a saved page holds its name inline; saving puts the names inline (giving
// up their references) and back into the string table afterwards.
void InlinePageNames(ProjectBlock& project, void* key);
void RestorePageNames(ProjectBlock& project, void* key);
void AdjustStoredPages(ProjectRecord& stored);
void WritePages(SaveContext& c);
void WritePageBlobs(SaveContext& c);

// Section 10.
void WriteStringPool(SaveContext& c);

// Section 11.
void ReadKeyedTable(LoadContext& c);
// Calls visit for every block of the keyed-entry table: the table, entries, sub-entries,
// parts and trailer texts.
void ForEachKeyedBlock(const ProjectRecord& r, const std::function<void(Ref)>& visit);
void TranslateKeyedCaptions(LoadContext& c);
void WriteKeyedTable(SaveContext& c);

// Section 12 and the network element image.
void ReadNetworkFolders(LoadContext& c);
void TranslateNodeNames(LoadContext& c);
void WriteNetworkFolders(SaveContext& c);
// A node's stored children, and with grandchildren those of each child, into new blocks.
void ReadNetworkChildren(ImageReader& in, Allocations& blocks, NetworkNode& node,
                         bool withGrandchildren);
void WriteNetworkChildren(Sink& out, const NetworkNode& node, bool withGrandchildren);
// The node as stored: no reference, and no child count when its children are stored but
// memory does not hold them.
NetworkNode StoredNode(const NetworkNode& node, bool childrenStored);

// Sections 13 to 19.
void ReadOptionBlock(LoadContext& c);
void AdjustStoredOptionBlock(ExtensionRecord& stored);
void WriteOptionBlock(SaveContext& c);
void ReadBitmaps(LoadContext& c);
void AdjustStoredBitmaps(ExtensionRecord& stored);
void WriteBitmaps(SaveContext& c);
void ReadResources(LoadContext& c);
void AdjustStoredResources(ExtensionRecord& stored);
void WriteResources(SaveContext& c);
void ReadListSection(LoadContext& c);
void BuildDefaultListSection(LoadContext& c);
void AdjustStoredListSection(ExtensionRecord& stored);
void WriteListSection(SaveContext& c);
void ReadTagElements(LoadContext& c);
void WriteTagElements(SaveContext& c);
void ReadLanguages(LoadContext& c);
void WriteLanguages(SaveContext& c);

// Sections 20 to 24.
void ReadClosingBlocks(LoadContext& c);
void AdjustStoredClosingBlocks(ExtensionRecord& stored);
void WriteClosingBlocks(SaveContext& c);

// ---- Whole images

// Runs `emit` into a new global block, which starts with room for `expected` bytes (a
// guess: the image grows past it as needed); the block in *image and its length, or 0 (and
// *image 0) when no block can be had. `expected` is set to the size written, the best guess
// for the next image of its kind.
template <typename Emit>
std::size_t WriteNewImage(Emit emit, HGLOBAL* image, std::size_t& expected) {
    *image = 0;
    try {
        ImageBlock block(expected);
        Sink out(block);
        emit(out);
        expected = block.size();
        *image = block.finish();
        return *image ? expected : 0;
    } catch (const ImageBlock::NoImageBlock&) {
        return 0;
    }
}

// The project block handle of a loaded image; throws ImageError for a damaged image. 0 when
// the project block cannot be had.
HGLOBAL LoadProjectImage(std::span<const std::byte> image, unsigned flags);
// Saves the project (whose string table key is `key`) into a new image.
std::size_t SaveProjectImage(ProjectBlock& project, void* key, HGLOBAL* image);

// Element images. The tag names are fetched from and added to `project`'s string table.
std::size_t SaveTagFolderImage(const TagFolderHeader& folder, void* project, HGLOBAL* image);
std::size_t SaveNetworkImage(const NetworkRecord& record, HGLOBAL* image);
bool LoadTagFolderImage(std::span<const std::byte> image, TagFolderHeader& folder, void* project);
bool LoadNetworkImage(std::span<const std::byte> image, NetworkRecord& record);

// Frees every block of a loaded project, the project block last, and forgets its string
// table: what a host does when it closes a project.
void ReleaseProject(HGLOBAL project);

}  // namespace kestra::store
