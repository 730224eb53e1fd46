// K32FABUTIL1 tag selection: the dialog "TagSelDlg" in which the user picks a tag of the
// project's tag folder from its tree of structures and members.
//
// The host fills a TagSelection record and calls ExecTagSelDlg. The dialog shows the tags
// that the host's filter accepts (a structure when any member, at any depth, is accepted), lets
// the user open and close structures by double click and, after OK, writes the chosen tag's
// key into the host record (a field record: the tag key at offset 91, bit 7 of the PLC
// reference flags at offset 88) and hands the tag's data to the filter once more.
#pragma once

#include "utilities/tree_draw.h"

extern "C" {

// Decides whether a tag is offered: tagData the tag's 32 bytes of data, userData the record's
// filterData, hostRecord the record being edited. After OK it is called once more with the
// chosen tag, so that the host can take over what it needs of the tag's data; that result
// is not looked at.
using TAGFILTER = BOOL (*)(const void* tagData, void* userData, void* hostRecord);

struct TagSelection {
    WORD currentKey;     // the tag shown as selected
    HierDrawState draw;  // the tree drawing; zero it before the first use
    void* hostRecord;    // the field record being edited
    void* project;       // the project block (string table, active network folder)
    const void* node;    // the active network node (64 bytes) or null
    void* folder;        // the project's TagFolderHeader
    TAGFILTER filter;    // null: every tag is offered
    void* filterData;
};

// Prepares the tree drawing from bitmap 1201 of `module` (1 row of 3 images: closed structure,
// opened structure, tag) with connecting lines.
BOOL PreInitTagList(HINSTANCE module, TagSelection* selection);
// 1: OK with a tag chosen; 2: Cancel or no valid choice; 3: the list could not be filled.
INT_PTR ExecTagSelDlg(HWND owner, TagSelection* selection);
INT_PTR TagSelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Fills the dialog's list 1203 with the top-level tags and opens the structures that hold
// the current tag; TRUE when the list has items.
BOOL InitTagListBox(HWND dialog, TagSelection* selection);
// Opens the structure at `index` of the list, or closes it when it is open; FALSE for a tag.
BOOL TagActionItem(HWND listBox, int index, TagSelection* selection);
// Draws one item of the list (WM_DRAWITEM).
BOOL TagListDrawItem(HWND dialog, const DRAWITEMSTRUCT* draw, TagSelection* selection);

}  // extern "C"

// Controls of "TagSelDlg".
inline constexpr int kTagNameDisplay = 1202;
inline constexpr int kTagList = 1203;
inline constexpr int kTagImages = 1201;

inline constexpr INT_PTR kTagChosen = 1;
inline constexpr INT_PTR kTagNotChosen = 2;
inline constexpr INT_PTR kTagListEmpty = 3;

// Item data of the tag list: bit 31 structure, bits 24-27 depth, bits 0-15 tag key.
inline constexpr DWORD kTagItemStructure = 0x80000000u;
inline constexpr int kTagItemDepthShift = 24;
inline constexpr DWORD kTagItemDepthMask = 0x0F000000u;
inline constexpr DWORD kTagItemKeyMask = 0x0000FFFFu;
