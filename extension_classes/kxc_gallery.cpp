// kxc-gallery: opens the extension library's windows with the drivers of the program folder,
// so that a person can look at them as they are (`--help` shows the usage). The registry
// store is a temporary file unless KESTRA_REGISTRY names one.
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "extension_classes/plc_info.h"
#include "extension_classes/plc_select.h"
#include "extension_classes/registry.h"
#include "extension_classes/spin_button.h"
#include "extension_classes/value_managers.h"
#include "platform/module.h"

namespace {

// Every visible control of the window lies inside it, and no two overlap (group boxes and
// the window's own frames hold others, so only leaf controls are compared).
bool controlsInPlace(QWidget& window) {
    bool good = true;
    std::vector<QWidget*> leaves;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisible() || child->isWindow()) continue;
        const bool leaf = qobject_cast<QAbstractButton*>(child) || qobject_cast<QLabel*>(child) ||
                          qobject_cast<QLineEdit*>(child) || qobject_cast<CPlcListCtl*>(child) ||
                          qobject_cast<KXCSpinButton*>(child);
        if (!leaf || qobject_cast<KXCSpinButton*>(child->parentWidget())) continue;
        const QRect box(child->mapTo(&window, QPoint(0, 0)), child->size());
        if (!window.rect().contains(box)) {
            std::fprintf(stderr, "outside the window: %s\n", child->metaObject()->className());
            good = false;
        }
        for (QWidget* other : leaves) {
            const QRect otherBox(other->mapTo(&window, QPoint(0, 0)), other->size());
            if (box.intersects(otherBox)) {
                std::fprintf(stderr, "overlapping: %s and %s\n", child->metaObject()->className(),
                             other->metaObject()->className());
                good = false;
            }
        }
        leaves.push_back(child);
    }
    return good;
}

struct ValueWindow : QWidget {
    ValueWindow() {
        setWindowTitle(QStringLiteral("Value edit managers"));
        auto* form = new QFormLayout(this);
        auto row = [&](const QString& label, QLineEdit*& edit, KXCSpinButton*& spin) {
            auto* line = new QHBoxLayout;
            line->setSpacing(0);
            edit = new QLineEdit(this);
            spin = new KXCSpinButton(this);
            spin->setFixedHeight(edit->sizeHint().height());
            line->addWidget(edit);
            line->addWidget(spin);
            auto* caption = new QLabel(label, this);
            caption->setBuddy(edit);
            form->addRow(caption, line);
        };
        QLineEdit* baudEdit;
        KXCSpinButton* baudSpin;
        QLineEdit* timerEdit;
        KXCSpinButton* timerSpin;
        row(QStringLiteral("&Baud rate:"), baudEdit, baudSpin);
        row(QStringLiteral("&Timeout:"), timerEdit, timerSpin);
        baud.SubClassControls(baudSpin, baudEdit);
        baud.SetBaudRateRange(300, 38400);
        baud.SetBaudRate(9600);
        timer.SubClassControls(timerSpin, timerEdit);
        timer.SetTimerMode(TIMER_BOTH);
        timer.SetTimerPos(250, TIMER_MSEC);
    }
    KXCBaudRateMgr baud;
    KXCTimerMgr timer;
};

}  // namespace

constexpr const char* kUsage =
    "Usage: kxc-gallery [--drivers FOLDER] [--screenshot FILE] [WINDOW]\n"
    "Opens a window of the extension class library on the PLC drivers of the program folder,\n"
    "to look at. The registry store is a temporary one unless KESTRA_REGISTRY names one.\n"
    "\n"
    "Windows:\n"
    "  select              \"Select controller\" on the installed drivers, the S5 driver the\n"
    "                      current one (the default).\n"
    "  values              A baud rate and a timer value manager.\n"
    "\n"
    "Options:\n"
    "  --drivers FOLDER    The drivers of this folder instead.\n"
    "  --screenshot FILE   Save a picture of the window, check that its controls lie inside\n"
    "                      it without overlapping, and close it.\n"
    "  -h, --help          Show this help and end.\n"
    "\n"
    "Exit codes: 0 done, 1 a control is misplaced, 2 no such window or the picture cannot be\n"
    "saved.\n";

int main(int argc, char** argv) {
    std::string screenshot;
    std::string drivers;
    int arg = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    while (arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0) {
        if (std::strcmp(argv[arg], "--screenshot") == 0) screenshot = argv[arg + 1];
        if (std::strcmp(argv[arg], "--drivers") == 0) drivers = argv[arg + 1];
        arg += 2;
    }
    const std::string name = arg < argc ? argv[arg] : "select";
    std::string storeFolder;
    if (!std::getenv(KXCRegistry::kStoreVariable)) {
        storeFolder =
            (std::filesystem::temp_directory_path() / ("kxc-gallery-" + std::to_string(::getpid())))
                .string();
        setenv(KXCRegistry::kStoreVariable, (storeFolder + "/registry.reg").c_str(), 1);
    }
    QApplication app(argc, argv);

    CPlcInfoList list("TarvelFabricon\\");
    list.SetScanFolder(drivers);
    list.Load(TRUE);
    HMODULE current = LoadLibrary("K32PLC1.so");
    std::unique_ptr<QWidget> window;
    if (name == "select") {
        window = std::make_unique<CPlcSelectDlg>(&list, current, PLCMODE_EXTERNAL, TRUE);
    } else if (name == "values") {
        window = std::make_unique<ValueWindow>();
    } else {
        std::fprintf(stderr,
                     "kxc-gallery: no window named %s (select, values; --help shows the usage)\n",
                     name.c_str());
        return 2;
    }
    int result = 0;
    if (!screenshot.empty()) {
        QTimer::singleShot(300, [&] {
            if (!window->grab().save(QString::fromStdString(screenshot))) result = 2;
            if (!controlsInPlace(*window)) result = 1;
            window->close();
            app.quit();
        });
    }
    window->show();
    app.exec();
    window.reset();
    if (current) FreeLibrary(current);
    if (!storeFolder.empty()) std::filesystem::remove_all(storeFolder);
    return result;
}
