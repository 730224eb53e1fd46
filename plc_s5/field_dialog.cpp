// The field dialog "DefineFieldDlg" around the PLC reference controls, and the embedding of
// those controls as a page of the editor's own dialog.
#include "plc_s5/field_dialog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/strings.h"
#include "plc_s5/tables.h"
#include "string_table/string_table.h"
#include "utilities/dialog_helpers.h"
#include "utilities/folders.h"
#include "utilities/services.h"
#include "windows/dialog.h"

using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;

namespace {

constexpr std::uint32_t kRecipeItemString = 810;
constexpr std::uint32_t kIndexedReferenceString = 811;
constexpr std::uint32_t kIndexString = 812;
constexpr std::uint32_t kIndexedReferenceFlag = 0x01;
constexpr std::uint32_t kIndexFlag = 0x02;
constexpr std::uint32_t kReferenceOnlyFlag = 1u << 20;
constexpr std::uint32_t kFocusMessageFlag = 1u << 30;
constexpr INT_PTR kDeleteResult = 0x8000;
constexpr const char* kOwnHelpFile = "K32PLC1.HLP";
constexpr const char* kOpenedAsProperty = "S5FieldType";
constexpr std::size_t kNetworkIdentityOffset = 409;
constexpr std::int64_t kMessageValues = 1024;
constexpr std::int64_t kIndexValues = 256;

// The editor's callbacks.
using FieldEditProc = DWORD (*)(void* lists, HWND dialog, void* sameLists);
using IndexEditProc = DWORD (*)(HWND dialog);
using PageCreateProc = std::uintptr_t (*)(HMODULE module, const char* templateName, HWND parent,
                                          DLGPROC procedure, LPARAM creationParam, DWORD value);

// What AttachPLCFieldDialog was given; kept for the life of the library.
struct AttachedPage {
    PageCreateProc create = nullptr;
    void* second = nullptr;
    DWORD value = 0;
};
AttachedPage attached;

bool IsRecipeItem(const FieldRecord& field) {
    return field.namesRecipe == 1;
}

void SetTitle(HWND dialog, const _tagDEFIELD& context) {
    char title[256] = "";
    GetWindowText(dialog, title, sizeof title);
    const DWORD version = DecodeLibVersion(KESTRA_THIS_MODULE());
    char number[16];
    std::snprintf(number, sizeof number, "%d.%02d", static_cast<int>((version >> 8) & 0xFF),
                  static_cast<int>(version & 0xFF));
    std::string text = std::string(title) + number;
    if (IsRecipeItem(*context.field)) text += DriverString(kRecipeItemString);
    if (context.flags & kIndexedReferenceFlag) text += DriverString(kIndexedReferenceString);
    if (context.flags & kIndexFlag) text += DriverString(kIndexString);
    SetWindowText(dialog, text.c_str());
}

// The field is from another PLC of the network when both of the opening PLC's identifying
// values differ from the project's.
void MarkOtherPlc(_tagDEFIELD& context) {
    const ProjectBlock* project = context.project;
    if (!project || !project->record.onNetwork) return;
    const auto* record = reinterpret_cast<const std::uint8_t*>(&project->record);
    const std::uint16_t identity = ReadLe16(record + kNetworkIdentityOffset);
    if (context.setupCopy.nodeKey != identity &&
        context.setupCopy.nodeKind != project->record.plcType)
        context.flags |= kContextOtherPlc;
}

BOOL OpenFieldDialog(HWND dialog, _tagDEFIELD* context) {
    CenterDialogBox(dialog);
    if (!context || context->version != kFieldContextVersion || !context->field) {
        const std::string text = DriverString(strings::kIncompatibleContext);
        MessageBox(dialog, text.c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
        EndDialog(dialog, 0);
        return TRUE;
    }
    SetWindowLongPtr(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(context));
    if (context->setup) context->setupCopy = *context->setup;
    if (context->flags & kReferenceOnlyFlag)
        XDialogFold(dialog, kReferenceGroup, FALSE, TRUE, nullptr);
    MarkOtherPlc(*context);
    SetProp(dialog, kOpenedAsProperty,
            reinterpret_cast<HANDLE>(std::uintptr_t{context->field->display.fieldType} + 1));
    OpenReferencePage(dialog, *context);
    RefreshFieldControls(dialog, *context, 0);
    SetTitle(dialog, *context);
    if (context->flags & kFocusMessageFlag) {
        SetFocus(GetDlgItem(dialog, kMessageButton));
        return FALSE;
    }
    return TRUE;
}

// A recipe item that turned from a text field into another kind, or back, starts its folder
// entry afresh.
void UpdateRecipeFolder(HWND dialog, _tagDEFIELD& context) {
    FieldRecord& field = *context.field;
    const auto opened = reinterpret_cast<std::uintptr_t>(GetProp(dialog, kOpenedAsProperty));
    if (!IsRecipeItem(field) || opened == 0) return;
    const bool wasText = opened - 1 == kAsciiField;
    if (wasText != (field.display.fieldType == kAsciiField))
        ExpDeleteFolder(&field.list1, context.project);
}

void Close(HWND dialog, _tagDEFIELD& context, INT_PTR result) {
    if (result == 1) UpdateRecipeFolder(dialog, context);
    context.flags &= ~(kIndexedReferenceFlag | kIndexFlag);
    RemoveProp(dialog, kOpenedAsProperty);
    EndDialog(dialog, result);
}

void OpenHelp() {
    char path[MAX_PATH] = "";
    if (GetHelpFileName(KESTRA_THIS_MODULE(), path, sizeof path)) return;
    std::snprintf(path, sizeof path, "%s", kOwnHelpFile);
    if (FindFile(path, sizeof path, 0)) return;
    MessageBeep(MB_OK);
}

// Copies a field list into a new block kept in the context; every text of the copy holds
// one more reference.
void CopyList(_tagDEFIELD& context, const FolderHeader& list, int slot) {
    if (context.listCopies[slot]) GlobalFree(context.listCopies[slot]);
    context.listCopies[slot] = 0;
    context.listCounts[slot] = 0;
    const auto count = static_cast<std::size_t>(std::max<int>(list.count, 0));
    auto* entries =
        reinterpret_cast<const ListEntry*>(mem::At(list.block, 0, count * sizeof(ListEntry)));
    if (!entries || count == 0) return;
    const HGLOBAL copy = GlobalAlloc(GHND, count * sizeof(ListEntry));
    if (!copy) return;
    auto* copied = static_cast<ListEntry*>(GlobalLock(copy));
    std::memcpy(copied, entries, count * sizeof(ListEntry));
    if (list.numeric == 0)
        for (std::size_t i = 0; i < count; ++i)
            StrTabAddReference(&copied[i], copied[i].textId, context.project);
    GlobalUnlock(copy);
    context.listCopies[slot] = copy;
    context.listCounts[slot] = static_cast<std::uint32_t>(count);
}

// Limits the field's value range to `values` values.
void LimitRange(sDISPFORMAT& display, std::int64_t values, bool signedCompare) {
    const std::int64_t minimum =
        signedCompare ? std::int64_t{display.minimum.get()}
                      : std::int64_t{static_cast<std::uint32_t>(display.minimum.get())};
    const std::int64_t maximum =
        signedCompare ? std::int64_t{display.maximum.get()}
                      : std::int64_t{static_cast<std::uint32_t>(display.maximum.get())};
    if (maximum - minimum >= values)
        display.maximum =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(minimum + values - 1));
}

// The editor's own editor runs while the dialog is out of the way.
template <typename Call>
DWORD WhileHidden(HWND dialog, Call&& call) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    SetWindowPos(dialog, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    const DWORD result = call();
    MoveWindow(dialog, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    return result;
}

void EditMessages(HWND dialog, _tagDEFIELD& context) {
    if (!context.messageCallback) return;
    FieldRecord& field = *context.field;
    LimitRange(field.display, kMessageValues, true);
    CopyList(context, field.list1, 0);
    if (field.display.fieldType == kTouchGraphics) CopyList(context, field.list2, 1);
    auto callback = reinterpret_cast<FieldEditProc>(context.messageCallback);
    const DWORD result = WhileHidden(
        dialog, [&] { return callback(&context.listCounts, dialog, &context.listCounts); });
    context.messageResult = static_cast<std::uint16_t>(context.messageResult | result);
    RefreshFieldControls(dialog, context, 0);
}

void EditIndex(HWND dialog, _tagDEFIELD& context) {
    if (!context.indexCallback) return;
    sDISPFORMAT& display = context.field->display;
    LimitRange(display, kIndexValues, display.format & sDISPFORMAT::kSigned);
    auto callback = reinterpret_cast<IndexEditProc>(context.indexCallback);
    context.indexResult =
        static_cast<std::uint16_t>(WhileHidden(dialog, [&] { return callback(dialog); }));
    RefreshFieldControls(dialog, context, 0);
}

bool Button(HWND dialog, _tagDEFIELD& context, WORD id) {
    switch (id) {
        case IDOK:
            CommitFocusedEdit(dialog);
            Close(dialog, context, 1);
            return true;
        case IDCANCEL:
            Close(dialog, context, 0);
            return true;
        case kDeleteButton:
            Close(dialog, context, kDeleteResult);
            return true;
        case kHelpButton:
            OpenHelp();
            return true;
        case kMessageButton:
        case kGraphicsButton:
            EditMessages(dialog, context);
            return true;
        case kIndexedButton:
            EditIndex(dialog, context);
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" {

INT_PTR DefineDBProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG)
            return OpenFieldDialog(dialog, reinterpret_cast<_tagDEFIELD*>(lParam));
        _tagDEFIELD* context = FieldContextOf(dialog);
        if (!context) return FALSE;
        if (message == WM_CLOSE) {
            Close(dialog, *context, 0);
            return TRUE;
        }
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
            Button(dialog, *context, LOWORD(wParam)))
            return TRUE;
        return DefineLocalDBProc(dialog, message, wParam, lParam);
    });
}

INT_PTR ExecPLCFieldDlg(HWND parent, _tagDEFIELD* context) {
    const INT_PTR result = DialogBoxParam(KESTRA_THIS_MODULE(), kFieldTemplate, parent,
                                          DefineDBProc, reinterpret_cast<LPARAM>(context));
    return result < 0 ? 0 : result;
}

std::uintptr_t AttachPLCFieldDialog(_tagDEFIELD* context, void* createPage, void* second,
                                    DWORD value) {
    return Guarded<std::uintptr_t>(0, [&]() -> std::uintptr_t {
        attached = {reinterpret_cast<PageCreateProc>(createPage), second, value};
        if (!attached.create) return 0;
        return attached.create(KESTRA_THIS_MODULE(), kFieldPageTemplate, nullptr, DefineLocalDBProc,
                               reinterpret_cast<LPARAM>(context), value);
    });
}

BOOL PaintItem(std::uintptr_t) {
    return TRUE;
}

}  // extern "C"
