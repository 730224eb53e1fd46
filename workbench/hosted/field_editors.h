// The editor's callbacks of the driver's field dialog, and what becomes of their work: "Edit
// &Message" (the message editor), "Edit Graphics" (the graphics editor) and "Indexed ..." (the
// index editor, index_editor.h).
//
// Before the driver calls the message or graphics callback it copies the field's list 1 (and
// a TOUCH GRAPHICS field's list 2) into new blocks kept in the field dialog context, each text
// of a copy holding one more reference. The editor shows the copies' ranges
// (value_range_editor.h); its OK writes the ranges into new copies in the context, lets the
// old ones go and answers 1, which the driver ORs into the context's result word. The driver
// does nothing more with the copies: when its dialog ends with OK, the working copy of the
// field takes them as its lists, and when the workbench's field dialog ends with OK the field
// keeps them and its old lists go; otherwise they go. A second press of the button in the same
// dialog copies the field's lists afresh (the driver frees the copies it made before), so the
// editor shows again what the first press left.
//
// The index callback edits the working copy's index role directly: the driver's Cancel puts
// the working copy back as it was. The context's index flags tell the driver the role, for its
// dialog's title.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "plc_s5/field_context.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/value_ranges.h"

namespace kestra::workbench {

// The message and graphics callback's answer after OK: the context's copies are the edited lists.
inline constexpr std::uint16_t kListsEdited = 0x0001;

class FieldEditors {
  public:
    // Gives `context` the callbacks, for `field`, at `place`, whose working copy is
    // `context.field`.
    FieldEditors(_tagDEFIELD& context, ProjectBlock& project, FieldPlace place,
                 const FieldRecord& field);
    // Lets go what the field did not take.
    ~FieldEditors();
    FieldEditors(const FieldEditors&) = delete;
    FieldEditors& operator=(const FieldEditors&) = delete;

    // Around each run of the driver's field dialog on the working copy: before it, the result
    // words are cleared and the index flags set; after it (after the working copy was put back
    // when the dialog did not end with OK), an OK makes the lists edited the working copy's.
    void beforeDriverDialog();
    void afterDriverDialog(bool ok);
    // `field` takes the working copy (the caller assigns it next): its own lists that the
    // edited ones replace go.
    void commit(const FieldRecord& field);

  private:
    // A list block with the text references it holds.
    struct HeldList {
        HGLOBAL block = 0;
        std::vector<std::uint16_t> texts;
    };
    // The ranges of the last OK in this run of the driver's dialog.
    struct Edited {
        std::uint8_t kind = 0;  // the field kind they were edited for
        std::vector<ValueRange> ranges;
    };

    static DWORD EditLists(void* lists, HWND dialog, void* sameLists);
    static DWORD EditIndex(HWND dialog);

    DWORD editLists(HWND dialog);
    DWORD editIndex(HWND dialog);
    // Takes the copies the driver made just now, letting go of what its earlier copies held.
    void takeFreshCopies();
    std::optional<std::vector<ValueRange>> runEditor(HWND dialog);
    bool writeCopies(const std::vector<ValueRange>& ranges);
    void setCopy(int slot, std::span<const ListEntry> entries, std::vector<std::uint16_t> texts);
    void release(HeldList& list, bool free);
    QString title(const char* what) const;

    _tagDEFIELD& context_;
    ProjectBlock& project_;
    FieldPlace place_;
    std::array<HeldList, 2> copies_;   // the context's copies of lists 1 and 2
    std::array<HeldList, 2> pending_;  // lists the working copy took, not yet the field's
    std::array<HGLOBAL, 2> ownLists_;  // the field's own lists
    std::array<bool, 2> replacesOwn_{};  // an edited list took the place of the field's own
    std::optional<Edited> edited_;
    bool committed_ = false;
    FieldEditors* previous_;
    static inline FieldEditors* active_ = nullptr;
};

}  // namespace kestra::workbench
