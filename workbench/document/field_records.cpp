#include "workbench/document/field_records.h"

#include <cstring>
#include <string>
#include <string_view>

#include "platform/allocations.h"
#include "platform/image_cursor.h"
#include "string_table/string_table.h"
#include "utilities/services.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

namespace {

constexpr char kMagic[4] = {'K', 'F', 'L', 'D'};
constexpr WORD kNoListText = 0xFFFF;
// Child fields nest one level in a project; the form allows no more than the store follows.
constexpr int kMaxNesting = 8;

class Encoder {
  public:
    explicit Encoder(const ProjectBlock& project) : project_(project) {}

    std::vector<std::byte> bytes;

    void u8(std::uint8_t v) { bytes.push_back(std::byte{v}); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void raw(const void* data, std::size_t n) {
        if (n == 0) return;
        const std::size_t at = bytes.size();
        bytes.resize(at + n);
        std::memcpy(bytes.data() + at, data, n);
    }
    // A text of at most 65535 bytes (a string table text is shorter).
    void text(std::string_view t) {
        t = t.substr(0, 0xFFFF);
        u16(static_cast<std::uint16_t>(t.size()));
        raw(t.data(), t.size());
    }

    void list(const FolderHeader& folder, bool holdsTexts) {
        const std::span<ListEntry> entries = Entries(folder);
        u16(static_cast<std::uint16_t>(entries.size()));
        raw(entries.data(), entries.size_bytes());
        if (!holdsTexts) return;
        for (const ListEntry& entry : entries)
            if (entry.textId != kNoListText) text(Text(project_, entry.textId));
    }

    void field(const FieldRecord& f) {
        // The slots name blocks of this process: they go as zero.
        FieldRecord record = f;
        record.list1.block = 0;
        record.list2.block = 0;
        record.children = 0;
        record.label = 0;
        raw(&record, sizeof record);
        if (f.textId != 0u) text(Text(project_, f.textId));
        u8(f.label != 0u ? 1 : 0);
        if (f.label != 0u) text(TextIn(f.label));
        list(f.list1, true);
        if (f.hasList2()) list(f.list2, f.list2HoldsTexts());
        if (!f.hasChildren()) return;
        const std::span<FieldRecord> children = Children(f);
        u16(static_cast<std::uint16_t>(children.size()));
        for (const FieldRecord& child : children) field(child);
    }

  private:
    const ProjectBlock& project_;
};

class Decoder {
  public:
    Decoder(ProjectBlock& project, std::span<const std::byte> form)
        : project_(project), in_(form), blocks_(GetAppFmalloc()) {}

    std::vector<FieldRecord> fields() {
        const auto magic = in_.take(sizeof kMagic, "mark");
        if (std::memcmp(magic.data(), kMagic, sizeof kMagic) != 0)
            in_.fail("no fields of the workbench");
        if (in_.u16("version") != kFieldsFormVersion) in_.fail("a version this workbench lacks");
        const std::uint16_t count = in_.u16("field count");
        std::vector<FieldRecord> fields;
        for (std::uint16_t i = 0; i < count; ++i) fields.push_back(field(0));
        if (!in_.atEnd()) in_.fail("bytes after the last field");
        blocks_.keep();
        return fields;
    }

  private:
    std::string text(std::string_view what) {
        const std::uint16_t length = in_.u16(what);
        const auto bytes = in_.take(length, what);
        std::string t(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (t.find('\0') != std::string::npos) in_.fail(std::string(what) + " holding a zero");
        return t;
    }

    WORD addText(std::string_view what) {
        const std::string t = text(what);
        const WORD id = StrTabAddText(t.c_str(), &project_);
        if (id == kNoStringId) in_.fail("the project's string table is full");
        return id;
    }

    void list(FolderHeader& folder, bool holdsTexts) {
        const std::uint16_t count = in_.u16("list count");
        if (count > 0x7FFF) in_.fail("a list longer than a field keeps");
        const auto stored =
            in_.take(in_.needBytes(count, sizeof(ListEntry), "list entries"), "list entries");
        std::vector<ListEntry> entries(count);
        if (count) std::memcpy(entries.data(), stored.data(), stored.size());
        if (holdsTexts)
            for (ListEntry& entry : entries)
                if (entry.textId != kNoListText) entry.textId = addText("list text");
        folder.count = static_cast<std::int16_t>(count);
        folder.block = 0;
        if (count) {
            folder.block = blocks_.global(std::as_bytes(std::span<const ListEntry>(entries)));
            if (folder.block == 0u) in_.fail("no memory for a list");
        }
    }

    FieldRecord field(int depth) {
        if (depth > kMaxNesting) in_.fail("child fields nested too deep");
        FieldRecord f = in_.record<FieldRecord>("field record");
        f.list1.block = 0;
        f.list2.block = 0;
        f.children = 0;
        f.label = 0;
        if (f.textId != 0u) f.textId = addText("field text");
        const std::uint8_t hasLabel = in_.u8("label mark");
        if (hasLabel > 1) in_.fail("a label mark that is neither 0 nor 1");
        if (hasLabel) {
            const std::string label = text("label");
            f.label = blocks_.text(label);
            if (f.label == 0u) in_.fail("no memory for a label");
        }
        list(f.list1, true);
        if (f.hasList2()) list(f.list2, f.list2HoldsTexts());
        if (f.hasChildren()) children(f, depth);
        return f;
    }

    void children(FieldRecord& f, int depth) {
        const std::uint16_t count = in_.u16("child count");
        in_.needBytes(count, sizeof(FieldRecord), "child fields");
        std::vector<FieldRecord> children;
        for (std::uint16_t i = 0; i < count; ++i) children.push_back(field(depth + 1));
        f.childCount = count;
        if (count) {
            f.children = blocks_.host(std::as_bytes(std::span<const FieldRecord>(children)));
            if (f.children == 0u) in_.fail("no memory for child fields");
        }
    }

    ProjectBlock& project_;
    ImageReader in_;
    mem::Allocations blocks_;
};

}  // namespace

std::vector<std::byte> EncodeFields(const ProjectBlock& project,
                                    std::span<const FieldRecord> fields) {
    Encoder out(project);
    out.raw(kMagic, sizeof kMagic);
    out.u16(kFieldsFormVersion);
    const std::size_t count = std::min<std::size_t>(fields.size(), 0xFFFF);
    out.u16(static_cast<std::uint16_t>(count));
    for (const FieldRecord& field : fields.first(count)) out.field(field);
    return std::move(out.bytes);
}

std::vector<FieldRecord> DecodeFields(ProjectBlock& project, std::span<const std::byte> form) {
    return Decoder(project, form).fields();
}

}  // namespace kestra::workbench
