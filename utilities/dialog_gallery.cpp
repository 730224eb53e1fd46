// dialog-gallery: opens a dialog of K32FABUTIL1 by name on the Qt host, with sample data,
// so that a person can look at it as it is.
//
//   dialog-gallery --list                 the dialogs it knows
//   dialog-gallery NAME                   shows the dialog; the result is printed when it closes
//   dialog-gallery --screenshot FILE NAME saves a picture of the dialog, checks that every
//                                         control sits where the template puts it, and closes
//   dialog-gallery --main-window NAME     the dialog owned by a Qt main window of the program's
//                                         own, as a desktop host opens it
//
// Dialogs without sample data of their own open with a procedure that only closes them.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/module.h"
#include "utilities/gallery_samples.h"
#include "utilities/k32fabutil1.h"
#include "windows/dialog.h"
#include "windows/input.h"
#include "windows/qt/qt_host.h"
#include "windows/qt/template_places.h"

namespace {

namespace kp = kestra::platform;

const char* const kParityTexts[kParityCount] = {"None", "Odd", "Even"};

// Four serial devices of which the second is missing, in a folder of their own.
class SampleDevices {
  public:
    SampleDevices() {
        folder_ =
            std::filesystem::temp_directory_path() / ("dialog-gallery-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        for (int i = 0; i < kPortCount; ++i) {
            paths_[i] = (folder_ / ("ttyS" + std::to_string(i))).string();
            names_[i] = paths_[i].c_str();
            if (i != 1) std::ofstream(paths_[i]) << "";
        }
    }
    ~SampleDevices() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const char* const* names() const { return names_; }

  private:
    std::filesystem::path folder_;
    std::string paths_[kPortCount];
    const char* names_[kPortCount];
};

INT_PTR openPortSettings(HWND owner) {
    static SampleDevices devices;
    static BYTE settings = 8 | kEightDataBits | (2 << kParityShift);
    static BYTE port = 0;
    static CommParamBlock block{&settings,      &port,        devices.names(),  0,
                                kBaudRateTexts, kParityTexts, "dialog-gallery", "gallery.ini",
                                "Line"};
    INT_PTR result = StartPCSetupDlg(owner, &block);
    std::printf("settings 0x%02X, port COM%d\n", settings, port + 1);
    return result;
}

INT_PTR openLineParameters(HWND owner) {
    static BYTE settings = 6 | (1 << kParityShift);
    static LineParamBlock block{&settings, 0, kBaudRateTexts, 0, 9};
    INT_PTR result = ExecCommParameters(owner, &block);
    std::printf("settings 0x%02X\n", settings);
    return result;
}

struct Sample {
    const char* name;
    std::function<INT_PTR(HWND owner)> open;
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> all = {
        {"Comm", openPortSettings},
        {"COMM_PARAMETERS", openLineParameters},
        {"TagSelDlg", OpenSampleTagSelection},
        {"PasswordDlg", OpenSamplePasswords},
        {"MATRIX_ED", OpenSampleMatrix},
    };
    return all;
}

INT_PTR closeOnly(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

HMODULE utilities() {
    return kp::ModuleOf(reinterpret_cast<const void*>(&StartPCSetupDlg));
}

// Compares every control's widget with the place its template gives it; returns the number
// of controls out of place.
int checkPlaces(kp::qt::QtHost& host, HWND dialog, const DialogTemplate& t) {
    int misplaced = 0;
    for (const kp::qt::ControlPlace& place : kp::qt::CompareTemplatePlaces(host, dialog, t)) {
        const DialogItemTemplate& item = *place.item;
        if (!place.hasWidget) {
            std::printf("control %d: no widget\n", item.id);
            ++misplaced;
            continue;
        }
        const QRect& r = place.actual;
        std::printf("control %5d %-18s at %3d,%3d size %3dx%-3d %s\n", item.id, item.className,
                    r.left(), r.top(), r.width(), r.height(),
                    place.asTemplate ? "as the template says" : "MISPLACED");
        if (!place.asTemplate) ++misplaced;
    }
    return misplaced;
}

}  // namespace

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: dialog-gallery [--list] [--screenshot FILE] [--main-window] NAME\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string screenshot, name;
    bool list = false, mainWindow = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--list") == 0)
            list = true;
        else if (std::strcmp(argv[i], "--main-window") == 0)
            mainWindow = true;
        else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = argv[++i];
        else if (argv[i][0] == '-')
            return usage();
        else
            name = argv[i];
    }
    if (list) {
        for (const Sample& s : samples()) std::printf("%s\n", s.name);
        return 0;
    }
    if (name.empty()) return usage();
    const DialogTemplate* dialogTemplate = kp::FindDialogTemplate(utilities(), name.c_str());
    if (!dialogTemplate) {
        std::fprintf(stderr, "dialog-gallery: K32FABUTIL1 has no dialog '%s'\n", name.c_str());
        return 1;
    }
    if (!kp::qt::StartHost(argc, argv)) {
        std::fprintf(stderr, "dialog-gallery: needs a display\n");
        return 1;
    }
    auto& host = static_cast<kp::qt::QtHost&>(kp::CurrentWindowHost());

    // A main window of the program's own, as the workbench has one, owning the dialog.
    std::unique_ptr<QMainWindow> main;
    HWND owner = nullptr;
    if (mainWindow) {
        main = std::make_unique<QMainWindow>();
        main->setWindowTitle("dialog-gallery");
        main->setCentralWidget(new QLabel("The program's own main window", main.get()));
        main->setGeometry(100, 80, 800, 560);  // a place of its own, not left to the window manager
        main->show();
        owner = kp::qt::WindowForWidget(main.get());
    }

    int misplaced = 0;
    if (!screenshot.empty()) {
        QTimer::singleShot(500, [&] {
            HWND dialog = GetAncestor(GetFocus(), GA_ROOT);
            QWidget* widget = dialog ? host.widgetOf(dialog) : nullptr;
            if (!widget) {
                std::fprintf(stderr, "dialog-gallery: the dialog did not open\n");
                misplaced = -1;
                return;
            }
            misplaced = checkPlaces(host, dialog, *dialogTemplate);
            widget->grab().save(QString::fromStdString(screenshot));
            kp::CloseByUser(dialog);
        });
    }

    INT_PTR result = -1;
    auto sample = std::find_if(samples().begin(), samples().end(),
                               [&](const Sample& s) { return s.name == name; });
    if (sample != samples().end())
        result = sample->open(owner);
    else
        result = DialogBoxIndirectParam(utilities(), dialogTemplate, owner, closeOnly, 0);
    std::printf("%s ended with %ld\n", name.c_str(), static_cast<long>(result));
    if (misplaced < 0) return 1;
    if (misplaced > 0) std::printf("%d controls out of place\n", misplaced);
    return misplaced == 0 ? 0 : 1;
}
