// The pages and fields of an in-memory project, read and edited as the project editor does.
//
// A table is never changed in place when it grows or shrinks: a new one is allocated with the
// host allocator and takes the old one's slot; the old block stays with the project (its arena
// frees it with the project). Texts go through the project's string table. With several
// languages every language's page texts (text set 1, one entry per page) follow the pages:
// language 0's entries share their blobs with the pages, as loading left them.
//
// Every edit returns false when a block cannot be had, and then has changed nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "kestra/project.h"
#include "kestra/resource_section.h"
#include "platform/memory.h"

class KXCPlcDriver;

namespace kestra::workbench {

// A page name is stored inline in the page record with one language: at most this many bytes.
inline constexpr std::size_t kPageNameLimit = PageRecord::kInlineNameRoom - 1;

// The tables of a project, empty where the block does not hold them.
std::span<PageRecord> Pages(const ProjectBlock& project);
std::span<FieldRecord> Fields(const PageRecord& page);
std::span<FieldRecord> Children(const FieldRecord& field);
std::span<ListEntry> Entries(const FolderHeader& folder);
std::span<LanguageEntry> Languages(const ProjectBlock& project);

// A text of the project's string table ("" for an unknown identifier).
std::string Text(const ProjectBlock& project, WORD id);
// A zero-terminated text in a block; "" for none.
std::string TextIn(mem::Ref block);
// A blob (u32 length and the bytes) as text; "" for none.
std::string BlobText(mem::Ref blob);

// Languages: at least 1; language 0 is the default one.
std::size_t LanguageCount(const ProjectBlock& project);
std::string LanguageName(const ProjectBlock& project, std::size_t language);

std::string PageName(const ProjectBlock& project, std::size_t page);
// The page's text in a language (the page record's own text for language 0).
std::string PageText(const ProjectBlock& project, std::size_t page, std::size_t language);

bool SetPageName(ProjectBlock& project, std::size_t page, const std::string& name);
bool SetPageText(ProjectBlock& project, std::size_t page, std::size_t language,
                 const std::string& text);

// The new order of a table: each place holds the index of a record that was there before, or
// nothing for a new one.
using Order = std::vector<std::optional<std::size_t>>;
// The order after inserting `count` new records at `at`, deleting [first, first + count), or
// moving one record from `from` to `to`, in a table of `size` records.
Order Inserting(std::size_t size, std::size_t at, std::size_t count);
Order Deleting(std::size_t size, std::size_t first, std::size_t count);
Order Moving(std::size_t size, std::size_t from, std::size_t to);

// A range of pages [first, last], counted from 1, after the pages of a project of `pagesBefore`
// pages are reordered: it spans the pages it held that remain and whatever lies between them
// now. A range of every page holds every page still; one whose pages are all gone holds the
// page now at its first place. A range that did not fit the pages before is kept as it is.
std::pair<WORD, WORD> PageRangeAfter(const Order& order, std::size_t pagesBefore, WORD first,
                                     WORD last);

// Reorders the pages (new pages get the names given, in order, and no text); every language's
// text set 1 follows, and so do the passwords' page ranges and the panel setup's page for
// communication errors. A project keeps at least one page.
bool ReorderPages(ProjectBlock& project, const Order& order,
                  const std::vector<std::string>& newNames = {});
// Reorders a page's fields; new places take the records given, in order.
bool ReorderFields(ProjectBlock& project, std::size_t page, const Order& order,
                   std::span<const FieldRecord> newFields = {});

// A field record as the driver initialises a new one (InitPlcDefaults, default field record).
std::optional<FieldRecord> DefaultField(KXCPlcDriver& driver, ProjectBlock& project);
// A copy of a field that shares no block with it: lists, children and label are copied and
// its texts get one more reference. Nothing when a block cannot be had.
std::optional<FieldRecord> CopyField(ProjectBlock& project, const FieldRecord& field);

}  // namespace kestra::workbench
