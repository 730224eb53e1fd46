// Tag selection: the dialog "TagSelDlg" and its tree of tags.
#include "utilities/tag_select.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "kestra/project.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "utilities/blocks.h"
#include "utilities/boundary.h"
#include "utilities/dialog_helpers.h"
#include "utilities/tags.h"
#include "windows/dialog.h"

using kestra::ProjectBlock;
using kestra::TagElement;
using kestra::TagFolderHeader;
using kestra::utilities::AtBoundary;
namespace blocks = kestra::blocks;
namespace mem = kestra::mem;

namespace {

// --- dialog template ------------------------------------------------------------------------

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kListStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY |
                             LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT;

constexpr DialogItemTemplate kTagSelItems[] = {
    {-1, "static", "Currently Selected Tag:", 7, 7, 160, 8, WS_VISIBLE | SS_LEFT},
    {kTagNameDisplay, "static", "", 7, 17, 166, 11, WS_VISIBLE | SS_LEFT | SS_SUNKEN | SS_NOPREFIX},
    {kTagList, "listbox", "", 7, 33, 166, 112, kListStyle},
    {IDOK, "button", "OK", 62, 151, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, "button", "Cancel", 123, 151, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};

constexpr DialogTemplate kDialogs[] = {
    {"TagSelDlg", 0, "Tag Selection", 0, 0, 180, 172, kDialogStyle, "MS Sans Serif", 8,
     kTagSelItems, std::size(kTagSelItems)},
};
const kestra::platform::ResourceRegistration kDialogRegistration(
    &kDialogs, kestra::platform::ResourceKind::Dialogs, kDialogs, std::size(kDialogs));

HMODULE thisModule() {
    return KESTRA_THIS_MODULE();
}

// --- the folder -----------------------------------------------------------------------------

constexpr int kNameRoom = 101;  // names are shown up to 100 characters
constexpr int kMaxDepth = 15;   // what the item data's depth bits hold
constexpr std::size_t kTagKeyInRecord = 91;
constexpr std::size_t kTagFlagsInRecord = 88;
constexpr std::uint8_t kBoundToTag = 0x80;

std::span<TagElement> tagsOf(const TagSelection& selection) {
    if (!selection.folder) return {};
    const auto& header = kestra::RecordAt<TagFolderHeader>(selection.folder);
    if (header.count == 0 || header.elements == 0u) return {};
    return blocks::Records<TagElement>(header.elements, header.count)
        .value_or(std::span<TagElement>());
}

const TagElement* findTag(std::span<TagElement> tags, DWORD key) {
    for (const TagElement& tag : tags)
        if (tag.key == key) return &tag;
    return nullptr;
}

DWORD itemDataOf(const TagElement& tag, int depth) {
    return (tag.isStructure() ? kTagItemStructure : 0) |
           (static_cast<DWORD>(depth) << kTagItemDepthShift) | tag.key;
}
int depthOf(DWORD data) {
    return static_cast<int>((data & kTagItemDepthMask) >> kTagItemDepthShift);
}
WORD keyOf(DWORD data) {
    return static_cast<WORD>(data & kTagItemKeyMask);
}

std::optional<std::uint16_t> activeNodeKey(const TagSelection& selection) {
    if (!selection.project) return std::nullopt;
    const auto& block = kestra::RecordAt<ProjectBlock>(selection.project);
    if (block.record.onNetwork == 0) return std::nullopt;
    if (!selection.node) return std::uint16_t{0};
    return kestra::RecordAt<kestra::NetworkNode>(selection.node).nodeKey;
}

// Whether a tag is offered: a plain tag when the filter accepts it, a structure when any of
// its members, at any depth, is. Without a filter every tag is.
bool offered(const TagSelection& selection, std::span<TagElement> tags, const TagElement& tag,
             int depth) {
    if (!selection.filter) return true;
    if (auto node = activeNodeKey(selection); node && tag.nodeKey() != *node) return false;
    if (!tag.isStructure())
        return selection.filter(tag.data, selection.filterData, selection.hostRecord) != 0;
    if (depth >= kMaxDepth) return false;
    for (const TagElement& member : tags)
        if (member.parentKey == tag.key && &member != &tag &&
            offered(selection, tags, member, depth + 1))
            return true;
    return false;
}

std::vector<DWORD> membersOf(const TagSelection& selection, WORD parent, int depth) {
    std::vector<DWORD> items;
    if (depth > kMaxDepth) return items;
    auto tags = tagsOf(selection);
    for (const TagElement& tag : tags)
        if (tag.parentKey == parent && (parent == 0 || tag.key != parent) &&
            offered(selection, tags, tag, depth))
            items.push_back(itemDataOf(tag, depth));
    return items;
}

std::string nameOf(const TagSelection& selection, WORD key) {
    char name[kNameRoom] = "";
    GetTagElement(selection.folder, selection.project, key, nullptr, nullptr, nullptr, name,
                  sizeof name, nullptr);
    return name;
}

// --- the list -------------------------------------------------------------------------------

HWND listOf(HWND dialog) {
    return GetDlgItem(dialog, kTagList);
}
int itemCount(HWND list) {
    return static_cast<int>(SendMessage(list, LB_GETCOUNT, 0, 0));
}
DWORD itemData(HWND list, int index) {
    return static_cast<DWORD>(SendMessage(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}
int findItem(HWND list, WORD key) {
    const int count = itemCount(list);
    for (int i = 0; i < count; ++i)
        if (keyOf(itemData(list, i)) == key) return i;
    return -1;
}

void openStructure(HWND list, int index, TagSelection& selection) {
    const DWORD data = itemData(list, index);
    auto members = membersOf(selection, keyOf(data), depthOf(data) + 1);
    SendMessage(list, WM_SETREDRAW, FALSE, 0);
    int at = index + 1;
    for (DWORD member : members)
        SendMessage(list, LB_INSERTSTRING, static_cast<WPARAM>(at++), static_cast<LPARAM>(member));
    HierDraw_OpenItem(&selection.draw, keyOf(data));
    SendMessage(list, WM_SETREDRAW, TRUE, 0);
    HierDraw_ShowKids(&selection.draw, list, index, static_cast<int>(members.size()));
}

void closeStructure(HWND list, int index, TagSelection& selection) {
    const DWORD data = itemData(list, index);
    const int depth = depthOf(data);
    SendMessage(list, WM_SETREDRAW, FALSE, 0);
    while (index + 1 < itemCount(list)) {
        const DWORD below = itemData(list, index + 1);
        if (depthOf(below) <= depth) break;
        if (below & kTagItemStructure) HierDraw_CloseItem(&selection.draw, keyOf(below));
        SendMessage(list, LB_DELETESTRING, static_cast<WPARAM>(index + 1), 0);
    }
    HierDraw_CloseItem(&selection.draw, keyOf(data));
    SendMessage(list, WM_SETREDRAW, TRUE, 0);
}

// Opens every structure above the current tag, outermost first.
void openPathTo(HWND list, TagSelection& selection) {
    auto tags = tagsOf(selection);
    std::vector<WORD> path;
    const TagElement* tag = findTag(tags, selection.currentKey);
    while (tag && tag->parentKey != 0 && path.size() < kMaxDepth) {
        path.push_back(tag->parentKey);
        tag = findTag(tags, tag->parentKey);
    }
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        int index = findItem(list, *it);
        if (index < 0) break;
        if (!HierDraw_IsOpened(&selection.draw, *it)) openStructure(list, index, selection);
    }
}

void showCurrent(HWND dialog, TagSelection& selection) {
    SetDlgItemText(dialog, kTagNameDisplay, nameOf(selection, selection.currentKey).c_str());
}

// Bit i of the mask: the ancestor at depth i has a later sibling (its line goes on below);
// bit `depth`: the item itself has one.
DWORD lineMaskOf(HWND list, int index, int depth) {
    DWORD mask = 0;
    const int count = itemCount(list);
    for (int level = 0; level <= depth; ++level) {
        for (int i = index + 1; i < count; ++i) {
            const int d = depthOf(itemData(list, i));
            if (d > level) continue;
            if (d == level) mask |= DWORD{1} << level;
            break;
        }
    }
    return mask;
}

TagSelection* selectionOf(HWND dialog) {
    return reinterpret_cast<TagSelection*>(GetWindowLongPtr(dialog, DWLP_USER));
}

WORD recordKey(const TagSelection& selection) {
    if (!selection.hostRecord) return 0;
    return kestra::ReadLe16(static_cast<const std::uint8_t*>(selection.hostRecord) +
                            kTagKeyInRecord);
}

// OK: the current key, when it names a plain tag, goes into the host record.
INT_PTR choose(TagSelection& selection) {
    const TagElement* tag = findTag(tagsOf(selection), selection.currentKey);
    if (!tag || tag->isStructure() || !selection.hostRecord) return kTagNotChosen;
    auto* record = static_cast<std::uint8_t*>(selection.hostRecord);
    kestra::WriteLe16(record + kTagKeyInRecord, tag->key);
    record[kTagFlagsInRecord] |= kBoundToTag;
    if (selection.filter) selection.filter(tag->data, selection.filterData, selection.hostRecord);
    return kTagChosen;
}

void onListCommand(HWND dialog, WORD code, TagSelection& selection) {
    HWND list = listOf(dialog);
    const int index = static_cast<int>(SendMessage(list, LB_GETCURSEL, 0, 0));
    if (index < 0) return;
    const DWORD data = itemData(list, index);
    if (code == LBN_SELCHANGE && !(data & kTagItemStructure)) {
        selection.currentKey = keyOf(data);
        showCurrent(dialog, selection);
    } else if (code == LBN_DBLCLK) {
        TagActionItem(list, index, &selection);
    }
}

}  // namespace

extern "C" {

BOOL PreInitTagList(HINSTANCE module, TagSelection* selection) {
    if (!selection) return FALSE;
    return HierDraw_DrawInit(module, module, kTagImages, 1, 3, TRUE, &selection->draw, TRUE);
}

BOOL InitTagListBox(HWND dialog, TagSelection* selection) {
    return AtBoundary<BOOL>(FALSE, [&]() -> BOOL {
        HWND list = listOf(dialog);
        if (!selection || !list) return FALSE;
        HierDraw_DrawCloseAll(&selection->draw);
        SendMessage(list, LB_RESETCONTENT, 0, 0);
        for (DWORD item : membersOf(*selection, 0, 0))
            SendMessage(list, LB_ADDSTRING, 0, static_cast<LPARAM>(item));
        openPathTo(list, *selection);
        const int current = findItem(list, selection->currentKey);
        SendMessage(list, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
        showCurrent(dialog, *selection);
        return itemCount(list) > 0 ? TRUE : FALSE;
    });
}

BOOL TagActionItem(HWND listBox, int index, TagSelection* selection) {
    return AtBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!selection || index < 0 || index >= itemCount(listBox)) return FALSE;
        const DWORD data = itemData(listBox, index);
        if (!(data & kTagItemStructure)) return FALSE;
        if (HierDraw_IsOpened(&selection->draw, keyOf(data)))
            closeStructure(listBox, index, *selection);
        else
            openStructure(listBox, index, *selection);
        return TRUE;
    });
}

BOOL TagListDrawItem(HWND dialog, const DRAWITEMSTRUCT* draw, TagSelection* selection) {
    return AtBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!draw || !selection) return FALSE;
        if (draw->itemID == static_cast<UINT>(-1)) {
            if (draw->itemAction & ODA_FOCUS) DrawFocusRect(draw->hDC, &draw->rcItem);
            return TRUE;
        }
        const auto data = static_cast<DWORD>(draw->itemData);
        const int depth = depthOf(data);
        int column = 2;
        if (data & kTagItemStructure)
            column = HierDraw_IsOpened(&selection->draw, keyOf(data)) ? 1 : 0;
        const std::string name = nameOf(*selection, keyOf(data));
        HierDraw_OnDrawItem(dialog, draw, depth,
                            lineMaskOf(draw->hwndItem, static_cast<int>(draw->itemID), depth),
                            name.c_str(), 0, column, &selection->draw);
        return TRUE;
    });
}

INT_PTR TagSelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TagSelection* selection = selectionOf(dialog);
    switch (message) {
        case WM_INITDIALOG: {
            selection = reinterpret_cast<TagSelection*>(lParam);
            SetWindowLongPtr(dialog, DWLP_USER, lParam);
            if (!selection) {
                EndDialog(dialog, kTagListEmpty);
                return TRUE;
            }
            selection->currentKey = recordKey(*selection);
            auto font = reinterpret_cast<HFONT>(SendMessage(dialog, WM_GETFONT, 0, 0));
            HierDraw_DrawSetTextHeight(listOf(dialog), font, &selection->draw);
            const BOOL filled = InitTagListBox(dialog, selection);
            CenterDialogBox(dialog);
            if (!filled) EndDialog(dialog, kTagListEmpty);
            return TRUE;
        }
        case WM_MEASUREITEM:
            if (!selection) return FALSE;
            HierDraw_OnMeasureItem(dialog, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam),
                                   &selection->draw);
            return TRUE;
        case WM_DRAWITEM:
            if (!selection || wParam != kTagList) return FALSE;
            return TagListDrawItem(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam),
                                   selection);
        case WM_COMMAND:
            if (!selection) return FALSE;
            switch (LOWORD(wParam)) {
                case kTagList:
                    onListCommand(dialog, HIWORD(wParam), *selection);
                    return TRUE;
                case IDOK:
                    EndDialog(dialog, choose(*selection));
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, kTagNotChosen);
                    return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, kTagNotChosen);
            return TRUE;
    }
    return FALSE;
}

INT_PTR ExecTagSelDlg(HWND owner, TagSelection* selection) {
    return AtBoundary<INT_PTR>(kTagNotChosen, [&]() -> INT_PTR {
        if (!selection || !selection->folder) return kTagListEmpty;
        if (!PreInitTagList(thisModule(), selection)) return kTagListEmpty;
        INT_PTR result = DialogBoxParam(thisModule(), "TagSelDlg", owner, TagSelProc,
                                        reinterpret_cast<LPARAM>(selection));
        HierDraw_DrawCloseAll(&selection->draw);
        HierDraw_DrawTerm(&selection->draw);
        if (result != kTagChosen && result != kTagListEmpty) result = kTagNotChosen;
        return result;
    });
}

}  // extern "C"
