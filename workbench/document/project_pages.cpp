#include "workbench/document/project_pages.h"

#include <algorithm>
#include <cstring>

#include "extension_classes/plc_driver.h"
#include "kestra/host.h"
#include "panel_setup/setup_records.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/passwords.h"
#include "utilities/services.h"

namespace kestra::workbench {

namespace {

// Child fields nest one level in a stored project; deeper chains only come from damage.
constexpr int kMaxFieldNesting = 8;
constexpr WORD kNoListText = 0xFFFF;

template <typename T>
std::span<T> Table(mem::Ref ref, std::size_t count) {
    return blocks::Records<T>(ref, count).value_or(std::span<T>());
}

mem::Ref NewHostBlock(std::size_t size) {
    APPFMALLOC allocate = GetAppFmalloc();
    if (!allocate || size > mem::kMaxBlockSize) return 0;
    const mem::Ref ref = allocate(static_cast<std::uint32_t>(size));
    return mem::Size(ref) >= size ? ref : 0;
}

template <typename T>
mem::Ref NewHostTable(std::span<const T> records) {
    const mem::Ref ref = NewHostBlock(std::max<std::size_t>(records.size_bytes(), 1));
    if (ref && !records.empty()) std::memcpy(mem::Data(ref), records.data(), records.size_bytes());
    return ref;
}

// A blob of the text (u32 length, then the bytes); 0 for an empty text, which a page stores
// as no text at all.
std::optional<mem::Ref> NewBlob(const std::string& text) {
    if (text.empty()) return mem::Ref{0};
    const mem::Ref ref = NewHostBlock(4 + text.size());
    if (!ref) return std::nullopt;
    WriteLe32(mem::Data(ref), static_cast<std::uint32_t>(text.size()));
    std::memcpy(mem::Data(ref) + 4, text.data(), text.size());
    return ref;
}

void AddReference(ProjectBlock& project, WORD id) {
    StrTabAddReference(nullptr, id, &project);
}

void ReleaseReference(ProjectBlock& project, WORD id) {
    StrTabGetText(id, &project, nullptr, 0, 1);
}

std::span<TextEntry> TextSet1(const ProjectBlock& project, const LanguageEntry& language) {
    return Table<TextEntry>(language.textSet1, project.ext.set1Count);
}

// With several languages every language has one text set 1 entry per page: a project whose
// sets do not have that many (one made without them) gets them now, language 0's filled from
// the pages, the others' empty.
bool EnsureTextSets(ProjectBlock& project) {
    const std::span<LanguageEntry> languages = Languages(project);
    const std::span<PageRecord> pages = Pages(project);
    if (languages.empty()) return true;
    bool complete = project.ext.set1Count == pages.size();
    for (const LanguageEntry& language : languages)
        complete = complete && TextSet1(project, language).size() == pages.size();
    if (complete) return true;
    std::vector<mem::Ref> sets;
    for (std::size_t l = 0; l < languages.size(); ++l) {
        const std::span<TextEntry> old = TextSet1(project, languages[l]);
        std::vector<TextEntry> entries(pages.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (l == 0) {
                entries[i].value0 = pages[i].b49;
                entries[i].blobA = pages[i].text;
                entries[i].blobB = pages[i].blob1;
            } else if (i < old.size()) {
                entries[i] = old[i];
            }
        }
        sets.push_back(NewHostTable<TextEntry>(entries));
        if (!sets.back()) return false;
    }
    for (std::size_t l = 0; l < languages.size(); ++l) languages[l].textSet1 = sets[l];
    project.ext.set1Count = static_cast<std::uint16_t>(pages.size());
    return true;
}

// The records in their new order, new places taking `fresh` in turn.
template <typename T>
std::optional<std::vector<T>> Reordered(std::span<const T> old, const Order& order,
                                        std::span<const T> fresh) {
    std::vector<T> records;
    records.reserve(order.size());
    std::size_t next = 0;
    for (const std::optional<std::size_t>& from : order) {
        if (from) {
            if (*from >= old.size()) return std::nullopt;
            records.push_back(old[*from]);
        } else {
            if (next >= fresh.size()) return std::nullopt;
            records.push_back(fresh[next++]);
        }
    }
    return records;
}

std::optional<FieldRecord> CopyFieldAt(ProjectBlock& project, const FieldRecord& field, int depth);

// A copy of a field list in a new global block; its texts get one more reference.
bool CopyList(ProjectBlock& project, FolderHeader& list, bool holdsTexts) {
    const std::span<ListEntry> entries = Entries(list);
    if (entries.empty()) {
        list.block = 0;
        return true;
    }
    const HGLOBAL copy = blocks::NewGlobal<ListEntry>(entries);
    if (!copy) return false;
    list.block = copy;
    if (holdsTexts)
        for (const ListEntry& entry : entries)
            if (entry.textId != kNoListText) AddReference(project, entry.textId);
    return true;
}

bool CopyChildren(ProjectBlock& project, FieldRecord& copy, int depth) {
    if (!copy.hasChildren()) return true;
    std::vector<FieldRecord> children;
    for (const FieldRecord& child : Children(copy)) {
        std::optional<FieldRecord> childCopy = CopyFieldAt(project, child, depth + 1);
        if (!childCopy) return false;
        children.push_back(*childCopy);
    }
    copy.children = children.empty() ? 0 : NewHostTable<FieldRecord>(children);
    return children.empty() || copy.children != 0u;
}

std::optional<FieldRecord> CopyFieldAt(ProjectBlock& project, const FieldRecord& field, int depth) {
    if (depth > kMaxFieldNesting) return std::nullopt;
    FieldRecord copy = field;
    if (!CopyList(project, copy.list1, true)) return std::nullopt;
    if (copy.hasList2()) {
        if (!CopyList(project, copy.list2, copy.list2HoldsTexts())) return std::nullopt;
    }
    if (!CopyChildren(project, copy, depth)) return std::nullopt;
    if (field.label != 0u) {
        const std::span<std::byte> label = mem::Bytes(field.label);
        copy.label = NewHostTable<std::byte>(label);
        if (copy.label == 0u) return std::nullopt;
    }
    if (copy.textId != 0u) AddReference(project, copy.textId);
    return copy;
}

}  // namespace

std::span<PageRecord> Pages(const ProjectBlock& project) {
    return Table<PageRecord>(project.record.pages, project.record.pageCount);
}

std::span<FieldRecord> Fields(const PageRecord& page) {
    return Table<FieldRecord>(page.fields, page.fieldCount);
}

std::span<FieldRecord> Children(const FieldRecord& field) {
    return field.hasChildren() ? Table<FieldRecord>(field.children, field.childCount)
                               : std::span<FieldRecord>();
}

std::span<ListEntry> Entries(const FolderHeader& folder) {
    return folder.count > 0 ? Table<ListEntry>(folder.block, static_cast<std::size_t>(folder.count))
                            : std::span<ListEntry>();
}

std::span<LanguageEntry> Languages(const ProjectBlock& project) {
    return project.ext.multiLanguage()
               ? Table<LanguageEntry>(project.ext.languages, project.ext.languageCount)
               : std::span<LanguageEntry>();
}

std::string Text(const ProjectBlock& project, WORD id) {
    return host::ProjectText(project, id);
}

std::string TextIn(mem::Ref block) {
    const std::span<std::byte> bytes = mem::Bytes(block);
    if (bytes.empty()) return "";
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    return std::string(chars, strnlen(chars, bytes.size()));
}

std::string BlobText(mem::Ref blob) {
    const std::optional<std::span<std::byte>> bytes = mem::Blob(blob);
    if (!bytes) return "";
    return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

std::size_t LanguageCount(const ProjectBlock& project) {
    return project.ext.multiLanguage() ? project.ext.languageCount : 1;
}

std::string LanguageName(const ProjectBlock& project, std::size_t language) {
    const std::span<LanguageEntry> languages = Languages(project);
    if (language >= languages.size() || languages[language].nameId == 0u) return "";
    return Text(project, languages[language].nameId);
}

std::string PageName(const ProjectBlock& project, std::size_t page) {
    const std::span<PageRecord> pages = Pages(project);
    return page < pages.size() ? Text(project, pages[page].nameId()) : "";
}

std::string PageText(const ProjectBlock& project, std::size_t page, std::size_t language) {
    const std::span<PageRecord> pages = Pages(project);
    if (page >= pages.size()) return "";
    if (language == 0) return BlobText(pages[page].text);
    const std::span<LanguageEntry> languages = Languages(project);
    if (language >= languages.size()) return "";
    const std::span<TextEntry> entries = TextSet1(project, languages[language]);
    return page < entries.size() ? BlobText(entries[page].blobA) : "";
}

bool SetPageName(ProjectBlock& project, std::size_t page, const std::string& name) {
    const std::span<PageRecord> pages = Pages(project);
    if (page >= pages.size() || name.size() > kPageNameLimit ||
        name.find('\0') != std::string::npos)
        return false;
    const WORD id = StrTabAddText(name.c_str(), &project);
    if (id == kNoStringId) return false;
    ReleaseReference(project, pages[page].nameId());
    pages[page].setNameId(id);
    return true;
}

bool SetPageText(ProjectBlock& project, std::size_t page, std::size_t language,
                 const std::string& text) {
    if (page >= Pages(project).size() || language >= LanguageCount(project) ||
        text.find('\0') != std::string::npos || !EnsureTextSets(project))
        return false;
    const std::optional<mem::Ref> blob = NewBlob(text);
    if (!blob) return false;
    const std::span<LanguageEntry> languages = Languages(project);
    if (language == 0) Pages(project)[page].text = *blob;
    if (!languages.empty()) TextSet1(project, languages[language])[page].blobA = *blob;
    return true;
}

Order Inserting(std::size_t size, std::size_t at, std::size_t count) {
    Order order;
    for (std::size_t i = 0; i < std::min(at, size); ++i) order.emplace_back(i);
    order.insert(order.end(), count, std::nullopt);
    for (std::size_t i = std::min(at, size); i < size; ++i) order.emplace_back(i);
    return order;
}

Order Deleting(std::size_t size, std::size_t first, std::size_t count) {
    Order order;
    for (std::size_t i = 0; i < size; ++i)
        if (i < first || i - first >= count) order.emplace_back(i);
    return order;
}

Order Moving(std::size_t size, std::size_t from, std::size_t to) {
    Order order;
    for (std::size_t i = 0; i < size; ++i) order.emplace_back(i);
    if (from < size && to < size) {
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(from));
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), from);
    }
    return order;
}

std::pair<WORD, WORD> PageRangeAfter(const Order& order, std::size_t pagesBefore, WORD first,
                                     WORD last) {
    const std::size_t pages = order.size();
    if (first < 1 || first > last || last > pagesBefore || pages == 0 || pages > 0xFFFF)
        return {first, last};
    if (first == 1 && last == pagesBefore) return {1, static_cast<WORD>(pages)};
    std::optional<std::size_t> low, high;
    for (std::size_t at = 0; at < pages; ++at) {
        if (!order[at] || *order[at] + 1 < first || *order[at] + 1 > last) continue;
        if (!low) low = at;
        high = at;
    }
    if (!low) {
        const auto page = static_cast<WORD>(std::min<std::size_t>(first, pages));
        return {page, page};
    }
    return {static_cast<WORD>(*low + 1), static_cast<WORD>(*high + 1)};
}

bool ReorderPages(ProjectBlock& project, const Order& order,
                  const std::vector<std::string>& newNames) {
    if (order.empty() || order.size() > 0xFFFF || !EnsureTextSets(project)) return false;
    std::vector<PageRecord> fresh;
    for (const std::string& name : newNames) {
        if (name.size() > kPageNameLimit) return false;
        PageRecord page{};
        const WORD id = StrTabAddText(name.c_str(), &project);
        if (id == kNoStringId) return false;
        page.setNameId(id);
        fresh.push_back(page);
    }
    const std::span<PageRecord> old = Pages(project);
    const auto pages = Reordered<PageRecord>(old, order, fresh);
    if (!pages) return false;
    const mem::Ref pageTable = NewHostTable<PageRecord>(*pages);
    if (!pageTable) return false;

    const std::span<LanguageEntry> languages = Languages(project);
    const std::vector<TextEntry> none(fresh.size());
    std::vector<mem::Ref> sets;
    for (const LanguageEntry& language : languages) {
        const auto entries = Reordered<TextEntry>(TextSet1(project, language), order, none);
        if (!entries) return false;
        sets.push_back(NewHostTable<TextEntry>(*entries));
        if (!sets.back()) return false;
    }
    const std::size_t pagesBefore = old.size();
    project.record.pages = pageTable;
    project.record.pageCount = static_cast<std::uint16_t>(pages->size());
    for (PasswordRecord& password :
         Table<PasswordRecord>(project.record.section1, project.record.section1Count)) {
        const auto [first, last] =
            PageRangeAfter(order, pagesBefore, password.firstPage, password.lastPage);
        password.firstPage = first;
        password.lastPage = last;
    }
    // The panel setup, the head of the project record, names the page shown on a
    // communication error (0: none).
    auto* record = reinterpret_cast<std::uint8_t*>(&project.record);
    if (const WORD errorPage = ReadLe16(record + panel::setup::kCommErrorPage); errorPage != 0)
        WriteLe16(record + panel::setup::kCommErrorPage,
                  PageRangeAfter(order, pagesBefore, errorPage, errorPage).first);
    for (std::size_t l = 0; l < languages.size(); ++l) languages[l].textSet1 = sets[l];
    if (!languages.empty()) project.ext.set1Count = static_cast<std::uint16_t>(pages->size());
    return true;
}

bool ReorderFields(ProjectBlock& project, std::size_t page, const Order& order,
                   std::span<const FieldRecord> newFields) {
    const std::span<PageRecord> pages = Pages(project);
    if (page >= pages.size() || order.size() > 0xFFFF) return false;
    const auto fields = Reordered<FieldRecord>(Fields(pages[page]), order, newFields);
    if (!fields) return false;
    mem::Ref table = 0;
    if (!fields->empty()) {
        table = NewHostTable<FieldRecord>(*fields);
        if (!table) return false;
    }
    pages[page].fields = table;
    pages[page].fieldCount = static_cast<std::uint16_t>(fields->size());
    return true;
}

std::optional<FieldRecord> DefaultField(KXCPlcDriver& driver, ProjectBlock& project) {
    constexpr WORD kDefaultFieldRecord = 4;
    FieldRecord field{};
    if (!driver.InitPlcDefaults(&project, nullptr, &project.record.nodeA, &field,
                                kDefaultFieldRecord))
        return std::nullopt;
    return field;
}

std::optional<FieldRecord> CopyField(ProjectBlock& project, const FieldRecord& field) {
    return CopyFieldAt(project, field, 0);
}

}  // namespace kestra::workbench
