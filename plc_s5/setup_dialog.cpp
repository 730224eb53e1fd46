// The PLC setup dialog (template 500): the PLC model and the communication parameters.
#include <string>

#include "platform/message_box.h"
#include "platform/module.h"
#include "plc_s5/dialog_contexts.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/protocol.h"
#include "plc_s5/strings.h"
#include "utilities/comm_params.h"
#include "utilities/dialog_helpers.h"
#include "windows/dialog.h"

using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;

namespace {

constexpr LONG kModels[] = {1, 2, kListEnd};
constexpr std::uint16_t kSlaveAddressDefault = 10;
constexpr std::uint16_t kLowestSlaveAddress = 2;
constexpr std::uint16_t kHighestSlaveAddress = 255;
constexpr BYTE kCommLowestBaud = 0;
constexpr BYTE kCommHighestBaud = 8;
constexpr DWORD kResetReservedAreas = 3;

PLCSETUPDLGCONTEXT* ContextOf(HWND dialog) {
    return reinterpret_cast<PLCSETUPDLGCONTEXT*>(GetWindowLongPtr(dialog, DWLP_USER));
}

bool NetworkFixed(const PLCSETUPDLGCONTEXT& context) {
    return context.flags & kSetupNetworkFixed;
}

void OpenSetup(HWND dialog, PLCSETUPDLGCONTEXT& context) {
    SetWindowLongPtr(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&context));
    CenterDialogBox(dialog);
    HWND models = GetDlgItem(dialog, kModelCombo);
    SetCBStrings(models, static_cast<int>(strings::kModelNames), kModels);
    uPLCSETUP& setup = context.setup;
    if (!(setup.flags & uPLCSETUP::kAddressSet)) {
        setup.slaveAddress = context.defaultSlaveAddress;
        setup.flags |= uPLCSETUP::kAddressSet;
    }
    if (NetworkFixed(context)) ShowWindow(GetDlgItem(dialog, kCommButton), SW_HIDE);
    SelectCBItem(models, setup.model);
    EnableWindow(models, !NetworkFixed(context));
}

std::string EditorCaption(const PLCSETUPDLGCONTEXT& context) {
    char caption[256] = "";
    if (context.editorModule)
        LoadString(context.editorModule, kEditorCaptionString, caption, sizeof caption);
    return caption;
}

void ModelChanged(HWND dialog, PLCSETUPDLGCONTEXT& context) {
    HWND models = GetDlgItem(dialog, kModelCombo);
    const LONG_PTR chosen = GetCBSelectionData(models);
    uPLCSETUP& setup = context.setup;
    if (chosen < 0 || static_cast<std::uint16_t>(chosen) == setup.model) return;
    if (context.projectOpen) {
        const std::string question = DriverString(strings::kModelChangeQuestion);
        if (MessageBox(dialog, question.c_str(), EditorCaption(context).c_str(),
                       MB_YESNO | MB_ICONQUESTION) != IDYES) {
            SelectCBItem(models, setup.model);
            return;
        }
    }
    setup.model = static_cast<std::uint16_t>(chosen);
    if (!NetworkFixed(context)) setup.slaveAddress = kSlaveAddressDefault;
    if (context.projectOpen && context.project)
        InitPlcDefaults(context.project, nullptr, &setup, nullptr, kResetReservedAreas);
}

void EditCommParameters(HWND dialog, PLCSETUPDLGCONTEXT& context) {
    LineParamBlock block{&context.setup.protocol, 0, context.commParams, kCommLowestBaud,
                         kCommHighestBaud};
    ExecCommParameters(dialog, &block);
}

void Accept(HWND dialog, PLCSETUPDLGCONTEXT& context) {
    const LONG_PTR chosen = GetCBSelectionData(GetDlgItem(dialog, kModelCombo));
    if (chosen > 0) context.setup.model = static_cast<std::uint16_t>(chosen);
    // The dialog has no slave address box; an address outside 2 to 255 becomes the default.
    const std::uint16_t address = context.setup.slaveAddress;
    if (address < kLowestSlaveAddress || address > kHighestSlaveAddress)
        context.setup.slaveAddress = kSlaveAddressDefault;
    context.setup.flags |= uPLCSETUP::kAddressSet;
    EndDialog(dialog, 1);
}

}  // namespace

extern "C" {

INT_PTR PLCSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            OpenSetup(dialog, *reinterpret_cast<PLCSETUPDLGCONTEXT*>(lParam));
            return TRUE;
        }
        PLCSETUPDLGCONTEXT* context = ContextOf(dialog);
        if (!context) return FALSE;
        if (message == WM_CLOSE) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (message != WM_COMMAND) return FALSE;
        switch (LOWORD(wParam)) {
            case kModelCombo:
                if (HIWORD(wParam) == CBN_SELCHANGE) ModelChanged(dialog, *context);
                return TRUE;
            case kCommButton:
                EditCommParameters(dialog, *context);
                return TRUE;
            case IDOK:
                Accept(dialog, *context);
                return TRUE;
            case IDCANCEL:
                EndDialog(dialog, 0);
                return TRUE;
            default:
                return FALSE;
        }
    });
}

INT_PTR ExecPlcSetupDlg(HWND parent, PLCSETUPDLGCONTEXT* context) {
    if (!context) return 0;
    const INT_PTR result = DialogBoxParam(KESTRA_THIS_MODULE(), MAKEINTRESOURCE(kSetupTemplate),
                                          parent, PLCSetupProc, reinterpret_cast<LPARAM>(context));
    return result == 1 ? 1 : 0;
}

}  // extern "C"
