// The driver's PLC reference page ("FIELDREFPPG", made through AttachPLCFieldDialog) embedded
// in a frame of a dialog of the workbench's own, as the project editor embeds it.
//
// The page is a child of the core window that stands for the frame (the site). The site gets
// a procedure of the frame's in front of its own, which hears the page's notification that
// its address changed; the keyboard crosses between the page and the dialog's own controls
// (platform::qt::PageKeyboard: Tab, Shift+Tab, the page's mnemonics), and Enter and Escape in
// the page press OK and Cancel of the dialog around it. The page edits the record of the field
// dialog context it is given, which must outlive the frame.
#pragma once

#include <QWidget>
#include <functional>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"
#include "plc_s5/field_context.h"
#include "windows/window.h"

class QDialog;

namespace kestra::platform::qt {
class PageKeyboard;
}

namespace kestra::workbench {

class ReferencePage : public QWidget {
  public:
    ReferencePage(QDialog& dialog, host::Driver& driver, _tagDEFIELD& context);
    ~ReferencePage() override;

    // Makes the page; false when the driver offers none.
    bool embed();
    // Fills the page's controls from the context again (after the record changed).
    void refresh(unsigned code = 0);
    // Reads the box that has the focus and asks the driver whether the page may close.
    bool canClose();
    // Called when the page says its address changed.
    void onAddressChanged(std::function<void()> heard) { addressChanged_ = std::move(heard); }
    // Puts the focus on the page's first control.
    void focusPage();

  private:
    static std::uintptr_t CreatePage(HINSTANCE module, const char* name, HWND,
                                     PLCPAGEPROC procedure, LPARAM context, DWORD);
    static LRESULT SiteProc(HWND site, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    static ReferencePage* Of(HWND site);

    QDialog& dialog_;
    host::Driver& driver_;
    _tagDEFIELD& context_;
    std::function<void()> addressChanged_;
    HWND site_ = nullptr;
    WNDPROC siteProc_ = nullptr;
    HWND page_ = nullptr;
    WNDPROC pageProc_ = nullptr;
    platform::qt::PageKeyboard* keyboard_ = nullptr;
    static inline ReferencePage* attaching_ = nullptr;
};

}  // namespace kestra::workbench
