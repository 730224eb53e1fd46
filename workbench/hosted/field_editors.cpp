#include "workbench/hosted/field_editors.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>

#include "platform/memory.h"
#include "plc_s5/tables.h"
#include "utilities/folders.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/hosted/index_editor.h"
#include "workbench/hosted/project_bitmaps.h"
#include "workbench/hosted/value_range_editor.h"

namespace kestra::workbench {

namespace {

constexpr std::uint8_t kMessageKind = s5::kMessage;
// The driver limits a field's values to this many before it calls the message or graphics
// editor.
constexpr std::int32_t kListValues = 1024;
constexpr std::uint8_t kTouchGraphicsKind = s5::kTouchGraphics;

QString Tr(const char* text) {
    return QCoreApplication::translate("kestra::workbench", text);
}

// The entries of a list block, as many as `count` says and the block holds.
std::span<const ListEntry> EntriesOf(HGLOBAL block, std::size_t count) {
    return RecordsAt<const ListEntry>(block, count);
}

}  // namespace

FieldEditors::FieldEditors(_tagDEFIELD& context, ProjectBlock& project, FieldPlace place,
                           const FieldRecord& field)
    : context_(context),
      project_(project),
      place_(place),
      ownLists_{field.list1.block, field.list2.block},
      previous_(active_) {
    context_.messageCallback = reinterpret_cast<void*>(&FieldEditors::EditLists);
    context_.indexCallback = reinterpret_cast<void*>(&FieldEditors::EditIndex);
    active_ = this;
}

FieldEditors::~FieldEditors() {
    for (int slot : {0, 1}) {
        release(copies_[slot], true);
        context_.listCopies[slot] = 0;
        context_.listCounts[slot] = 0;
        if (!committed_) release(pending_[slot], true);
    }
    context_.messageCallback = nullptr;
    context_.indexCallback = nullptr;
    active_ = previous_;
}

void FieldEditors::beforeDriverDialog() {
    context_.messageResult = 0;
    context_.indexResult = 0;
    context_.flags =
        (context_.flags & ~std::uint32_t{kIndexRoleBits}) | IndexRoleOf(*context_.field);
}

void FieldEditors::afterDriverDialog(bool ok) {
    FieldRecord& working = *context_.field;
    FolderHeader* lists[2] = {&working.list1, &working.list2};
    // The driver's OK may have let a list go (a recipe item's folder starts afresh when its
    // kind changes between text and numbers): what it freed is not the editors' any more.
    for (int slot : {0, 1})
        if (ok && pending_[slot].block && lists[slot]->block != pending_[slot].block)
            pending_[slot] = {};
    if (ok && edited_ && (context_.messageResult & kListsEdited)) {
        const bool texts = edited_->kind == kMessageKind;
        for (int slot : {0, 1}) {
            if (slot == 1 && edited_->kind != kTouchGraphicsKind) continue;
            if (!pending_[slot].block) replacesOwn_[slot] = lists[slot]->block == ownLists_[slot];
            release(pending_[slot], true);
            FolderHeader& list = *lists[slot];
            list.count = static_cast<std::int16_t>(context_.listCounts[slot]);
            list.block = copies_[slot].block;
            list.numeric = slot == 0 && !texts ? 1 : 0;  // pictures are numbers
            pending_[slot] = std::move(copies_[slot]);
            copies_[slot] = {};
        }
    }
    for (int slot : {0, 1}) {
        release(copies_[slot], true);
        context_.listCopies[slot] = 0;
        context_.listCounts[slot] = 0;
    }
    edited_.reset();
    context_.messageResult = 0;
}

void FieldEditors::commit(const FieldRecord& field) {
    const FieldRecord& working = *context_.field;
    // The field's own lists that the editors' lists replaced go.
    const FolderHeader* own[2] = {&field.list1, &field.list2};
    const FolderHeader* taken[2] = {&working.list1, &working.list2};
    for (int slot : {0, 1})
        if (replacesOwn_[slot] && own[slot]->block == ownLists_[slot] &&
            taken[slot]->block != ownLists_[slot]) {
            FolderHeader old = *own[slot];
            ExpDeleteFolder(&old, &project_);
        }
    for (HeldList& list : pending_) list = {};
    committed_ = true;
}

// ---- The callbacks ----------------------------------------------------------------------

DWORD FieldEditors::EditLists(void* lists, HWND dialog, void*) {
    FieldEditors* self = active_;
    if (!self || lists != &self->context_.listCounts) return 0;
    const CoreDialogAside aside(dialog);
    return TellingFailures(CoreDialogParent(dialog), "Field Properties",
                           [&] { return self->editLists(dialog) != 0; })
               ? kListsEdited
               : 0;
}

DWORD FieldEditors::EditIndex(HWND dialog) {
    FieldEditors* self = active_;
    if (!self) return 0;
    const CoreDialogAside aside(dialog);
    return self->editIndex(dialog);
}

DWORD FieldEditors::editLists(HWND dialog) {
    // A box of the driver's dialog that still holds the focus reads what was typed in it, as
    // it would when the editor takes the focus: the minimum and maximum must be the field's.
    SetFocus(nullptr);
    takeFreshCopies();
    const auto ranges = runEditor(dialog);
    if (!ranges) return 0;
    if (!writeCopies(*ranges))
        host::Fail(host::kExitInternal,
                   "the project's string table takes no more texts: the ranges are not kept");
    edited_ = Edited{context_.field->kind(), *ranges};
    return kListsEdited;
}

void FieldEditors::takeFreshCopies() {
    const FieldRecord& field = *context_.field;
    // The driver made a fresh copy of list 1, and of list 2 for a TOUCH GRAPHICS field,
    // freeing the copies of an earlier press: what those held is let go here.
    const FolderHeader* lists[2] = {&field.list1, &field.list2};
    for (int slot : {0, 1}) {
        if (slot == 1 && field.kind() != kTouchGraphicsKind) continue;
        release(copies_[slot], false);
        HeldList fresh{context_.listCopies[slot], {}};
        if (lists[slot]->numeric == 0)  // the driver added a reference to each text
            for (const ListEntry& entry : EntriesOf(fresh.block, context_.listCounts[slot]))
                fresh.texts.push_back(entry.textId);
        copies_[slot] = std::move(fresh);
    }
}

std::optional<std::vector<ValueRange>> FieldEditors::runEditor(HWND dialog) {
    const FieldRecord& field = *context_.field;
    const std::uint8_t kind = field.kind();
    const bool messages = kind == kMessageKind;
    const bool touch = kind == kTouchGraphicsKind;
    RangeEditorSetup setup;
    setup.title = title(messages ? "Edit Messages" : "Edit Graphics");
    setup.bounds = ValueBoundsOf(field.display);
    if (!setup.bounds.empty())
        setup.bounds.high = std::min(setup.bounds.high, setup.bounds.low + (kListValues - 1));
    setup.texts = messages || touch;
    setup.textWidth = messages ? field.width : 0;
    setup.pictures = !messages;
    if (setup.pictures) setup.bitmaps = ProjectBitmaps(project_);

    const QString values =
        setup.bounds.empty()
            ? Tr("The field's minimum and maximum leave no value that a range can name: set "
                 "them first (values from -32768 to 32767 can be named).")
            : Tr("Values %1 to %2 of the field.").arg(setup.bounds.low).arg(setup.bounds.high);
    const QString shows =
        messages ? Tr("A range shows its text, of up to %1 characters, for each of its values. "
                      "The texts are the project's: the same in every language.")
                       .arg(field.width)
        : touch ? Tr("A range shows its picture, one of the project's bitmaps, and its text for "
                     "each of its values.")
                : Tr("A range shows its picture, one of the project's bitmaps, for each of its "
                     "values.");
    setup.about = values + " " + shows;

    std::vector<ValueRange> ranges;
    const auto list1 = EntriesOf(context_.listCopies[0], context_.listCounts[0]);
    if (edited_ && edited_->kind == kind) {
        ranges = edited_->ranges;
    } else if (messages) {
        ranges = TextRanges(project_, list1);
    } else {
        ranges = PictureRanges(list1, setup.bitmaps.size());
        // A touch graphics field's texts stand in list 2, range by range.
        if (touch)
            for (const ValueRange& text :
                 TextRanges(project_, EntriesOf(context_.listCopies[1], context_.listCounts[1])))
                for (ValueRange& range : ranges)
                    if (text.first == range.first && text.last == range.last)
                        range.text = text.text;
    }
    return EditValueRanges(CoreDialogParent(dialog), setup, std::move(ranges));
}

bool FieldEditors::writeCopies(const std::vector<ValueRange>& ranges) {
    const std::uint8_t kind = context_.field->kind();
    std::vector<std::uint16_t> held;
    if (kind == kMessageKind) {
        const auto entries = TextEntries(project_, ranges, held);
        if (!entries) return false;
        setCopy(0, *entries, std::move(held));
        return true;
    }
    if (kind == kTouchGraphicsKind) {
        const auto texts = TextEntries(project_, ranges, held);
        if (!texts) return false;
        setCopy(1, *texts, std::move(held));
    }
    setCopy(0, PictureEntries(ranges), {});
    return true;
}

void FieldEditors::setCopy(int slot, std::span<const ListEntry> entries,
                           std::vector<std::uint16_t> texts) {
    release(copies_[slot], true);
    HGLOBAL block = 0;
    if (!entries.empty()) {
        block = GlobalAlloc(GHND, entries.size_bytes());
        if (!block) {
            ReleaseTexts(project_, texts);
            host::Fail(host::kExitInternal, "no memory is left for the field's ranges");
        }
        std::memcpy(mem::Data(block), entries.data(), entries.size_bytes());
    }
    copies_[slot] = {block, std::move(texts)};
    context_.listCopies[slot] = block;
    context_.listCounts[slot] = static_cast<std::uint32_t>(entries.size());
}

void FieldEditors::release(HeldList& list, bool free) {
    ReleaseTexts(project_, list.texts);
    if (free && list.block) GlobalFree(list.block);
    list = {};
}

DWORD FieldEditors::editIndex(HWND dialog) {
    SetFocus(nullptr);  // what was typed in the driver's dialog is read first
    FieldRecord& field = *context_.field;
    const auto pages = PagesOf(project_);
    const auto fields =
        place_.page < pages.size() ? FieldsOf(pages[place_.page]) : std::span<FieldRecord>();
    const IndexRole role = IndexRoleOf(field);
    const auto edited = EditIndexRole(CoreDialogParent(dialog), title("Index"), role,
                                      PageIndexField(fields, place_.field));
    if (!edited || *edited == role) return 0;
    SetIndexRole(field, *edited);
    return 1;
}

QString FieldEditors::title(const char* what) const {
    return Tr("%1 - Page %2, Field %3").arg(Tr(what)).arg(place_.page + 1).arg(place_.field + 1);
}

}  // namespace kestra::workbench
