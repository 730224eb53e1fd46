#include "workbench/hosted/reference_page.h"

#include <QDialog>

#include "extension_classes/plc_driver.h"
#include "plc_s5/field_dialog.h"
#include "windows/dialog.h"
#include "windows/qt/page_keyboard.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {
constexpr const char* kFrameProperty = "KestraWorkbenchReferencePage";
}

ReferencePage::ReferencePage(QDialog& dialog, host::Driver& driver, _tagDEFIELD& context)
    : QWidget(&dialog), dialog_(dialog), driver_(driver), context_(context) {}

ReferencePage::~ReferencePage() {
    if (site_) {
        SetWindowLongPtr(site_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(siteProc_));
        RemoveProp(site_, kFrameProperty);
    }
    if (page_) DestroyWindow(page_);
}

bool ReferencePage::embed() {
    if (!driver_.loader().SupportsPropPages()) return false;
    site_ = WindowCoreHost().windowFor(this);
    if (!site_) return false;
    SetProp(site_, kFrameProperty, reinterpret_cast<HANDLE>(this));
    siteProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtr(site_, GWLP_WNDPROC));
    SetWindowLongPtr(site_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SiteProc));
    attaching_ = this;
    driver_.loader().AttachPLCFieldDialog(&context_, &CreatePage, nullptr, 0);
    attaching_ = nullptr;
    if (!page_) return false;
    RECT r;
    GetWindowRect(page_, &r);
    setFixedSize(r.right - r.left, r.bottom - r.top);
    keyboard_ = new platform::qt::PageKeyboard(this, page_);
    return true;
}

void ReferencePage::refresh(unsigned code) {
    if (page_) driver_.loader().InitFieldControls(page_, &context_, static_cast<WORD>(code));
}

bool ReferencePage::canClose() {
    // The edit box that holds the focus reads its text when it loses the focus.
    SetFocus(nullptr);
    return driver_.loader().CanCloseDialog(&context_) != 0;
}

void ReferencePage::focusPage() {
    if (keyboard_) keyboard_->focusPage();
}

ReferencePage* ReferencePage::Of(HWND site) {
    return reinterpret_cast<ReferencePage*>(GetProp(site, kFrameProperty));
}

std::uintptr_t ReferencePage::CreatePage(HINSTANCE module, const char* name, HWND,
                                         PLCPAGEPROC procedure, LPARAM context, DWORD) {
    ReferencePage* self = attaching_;
    if (!self) return 0;
    self->page_ = CreateDialogParam(module, name, self->site_, procedure, context);
    if (!self->page_) return 0;
    self->pageProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtr(self->page_, GWLP_WNDPROC));
    SetWindowLongPtr(self->page_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageProc));
    ShowWindow(self->page_, SW_SHOW);
    return reinterpret_cast<std::uintptr_t>(self->page_);
}

LRESULT ReferencePage::SiteProc(HWND site, UINT message, WPARAM wParam, LPARAM lParam) {
    ReferencePage* self = Of(site);
    if (!self) return 0;
    if (message == WM_NOTIFY &&
        reinterpret_cast<const NMHDR*>(lParam)->code == s5::kAddressChangedNotify) {
        if (self->addressChanged_) self->addressChanged_();
        return 0;
    }
    return CallWindowProc(self->siteProc_, site, message, wParam, lParam);
}

LRESULT ReferencePage::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    ReferencePage* self = Of(GetParent(page));
    if (!self) return 0;
    if (message == WM_COMMAND && lParam == 0 &&
        (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        QDialog* dialog = &self->dialog_;
        const bool ok = LOWORD(wParam) == IDOK;
        QMetaObject::invokeMethod(
            dialog, [dialog, ok] { ok ? dialog->accept() : dialog->reject(); },
            Qt::QueuedConnection);
        return 0;
    }
    return CallWindowProc(self->pageProc_, page, message, wParam, lParam);
}

}  // namespace kestra::workbench
