// hosted-gallery: the suite's hosted dialogs and build work over a main window of its own, on
// a project, so that a person can try them and look at them before they meet the workbench's
// own window.
//
//   hosted-gallery [PROJECT.kpr]           the sample project when none is named
//       [--open NAME]                      opens one of them at once (--list names them)
//       [--press ID]                       presses a button of the window core's dialog that
//                                          opens, as the user would (once it is up)
//       [--screenshot FILE [--after MS]]   pictures the whole screen MS milliseconds after the
//                                          start (1500 by default) and ends
//
// The main window lists the project's pages and fields; the menus act on the field or page
// chosen there. A dialog that ends with OK changes the project in memory only.
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "kestra/project_json.h"
#include "platform/files.h"
#include "plc_s5/type1_image.h"
#include "utilities/services.h"
#include "windows/dialog.h"
#include "windows/qt/qt_host.h"
#include "workbench/jobs/build_jobs.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace {

using namespace kestra;
using namespace kestra::workbench;

struct Gallery {
    LoadedProject project;
    std::optional<host::Driver> driver;
    std::string name;
    QMainWindow* window = nullptr;
    QTreeWidget* tree = nullptr;

    FieldPlace place() const {
        const QTreeWidgetItem* item = tree->currentItem();
        if (!item) return {};
        return {static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt()),
                static_cast<std::size_t>(std::max(0, item->data(0, Qt::UserRole + 1).toInt()))};
    }
    void fill() {
        tree->clear();
        ProjectBlock& p = project.block();
        const auto pages = PagesOf(p);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            auto* page = new QTreeWidgetItem(
                tree, {QString("Page %1  %2")
                           .arg(i + 1)
                           .arg(QString::fromStdString(host::ProjectText(p, pages[i].nameId())))});
            page->setData(0, Qt::UserRole, static_cast<int>(i));
            page->setData(0, Qt::UserRole + 1, 0);
            const auto fields = FieldsOf(pages[i]);
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const std::string address =
                    AddressText(*driver, p, SetupOfField(p, fields[f]), fields[f].plc);
                auto* field =
                    new QTreeWidgetItem(page, {QString("Field %1  row %2, column %3  %4")
                                                   .arg(f + 1)
                                                   .arg(s5::FieldRow(fields[f]) + 1)
                                                   .arg(s5::FieldColumn(fields[f]) + 1)
                                                   .arg(QString::fromStdString(address))});
                field->setData(0, Qt::UserRole, static_cast<int>(i));
                field->setData(0, Qt::UserRole + 1, static_cast<int>(f));
            }
            page->setExpanded(true);
        }
        if (tree->topLevelItemCount() > 0 && tree->topLevelItem(0)->childCount() > 0)
            tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    }
    void done(bool changed) {
        window->statusBar()->showMessage(changed ? "The project changed." : "No change.");
        if (changed) fill();
    }
};

Gallery gallery;

// What each menu entry opens.
std::map<std::string, std::function<void()>> Actions() {
    static Gallery& g = gallery;
    return {
        {"field", [] { g.done(EditFieldProperties(g.window, g.project, *g.driver, g.place())); }},
        {"tag", [] { g.done(ChooseFieldTag(g.window, g.project, *g.driver, g.place())); }},
        {"alarms", [] { g.done(EditAlarms(g.window, g.project, *g.driver)); }},
        {"plc-setup", [] { g.done(EditPlcSetup(g.window, g.project, *g.driver)); }},
        {"passwords", [] { g.done(EditPasswords(g.window, g.project, *g.driver)); }},
        {"recipe", [] { g.done(EditRecipe(g.window, g.project, *g.driver, g.place().page)); }},
        {"languages", [] { g.done(EditLanguages(g.window, g.project, *g.driver)); }},
        {"network", [] { g.done(EditNetwork(g.window, g.project, *g.driver)); }},
        {"panel-setup", [] { g.done(EditPanelSetup(g.window, g.project, *g.driver)); }},
        {"keyboard", [] { StartKeyboardEditor(g.window); }},
        {"project", [] { g.done(EditProjectProperties(g.window, g.project, *g.driver)); }},
        {"check",
         [] {
             if (const auto report = CheckProject(g.window, g.project, g.name, &*g.driver))
                 Tell(g.window, "Check", report->summary(g.name), MB_OK | MB_ICONINFORMATION);
         }},
        {"panel-image", [] { SavePanelImage(g.window, g.project, *g.driver, g.name); }},
        {"print", [] { PreviewPlcList(g.window, g.project, *g.driver); }},
        {"send-card", [] { SendToCard(g.window, g.project, *g.driver, g.name, g.name); }},
        {"card-contents", [] { ShowCardContents(g.window); }},
    };
}

LoadedProject Load(const std::string& file) {
    if (!file.empty()) return host::Store::Get().load(file, host::ReadInput(file));
    const std::string sample =
        platform::JoinPath(platform::ProgramFolder(), "samples/sample-project.json");
    const host::Bytes document = host::ReadInput(sample);
    return host::Store::Get().load(
        sample, json::ImportProjectJson(std::string(document.begin(), document.end())));
}

int Usage() {
    std::fprintf(stderr,
                 "usage: hosted-gallery [PROJECT.kpr] [--list] [--open NAME] [--press ID] "
                 "[--screenshot FILE [--after MS]]\n");
    return 2;
}

// Presses a button of the window core's dialog that has the focus, once there is one.
void PressWhenOpen(int id) {
    QTimer::singleShot(500, [id] {
        HWND dialog = GetAncestor(GetFocus(), GA_ROOT);
        if (!dialog || !GetDlgItem(dialog, id)) return PressWhenOpen(id);
        SendMessage(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::string file, open, screenshot;
    int after = 1500, press = 0;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--list")
            list = true;
        else if (arg == "--open")
            open = next();
        else if (arg == "--press")
            press = std::atoi(next().c_str());
        else if (arg == "--screenshot")
            screenshot = next();
        else if (arg == "--after")
            after = std::atoi(next().c_str());
        else if (arg.rfind("--", 0) == 0 || !file.empty())
            return Usage();
        else
            file = arg;
    }
    const auto actions = Actions();
    if (list) {
        for (const auto& [name, action] : actions) std::printf("%s\n", name.c_str());
        return 0;
    }
    if (!open.empty() && !actions.count(open)) return Usage();
    if (!platform::qt::StartHost(argc, argv)) {
        std::fprintf(stderr, "hosted-gallery: needs a display\n");
        return 1;
    }
    SetAppFmalloc(&mem::HostAllocate);
    try {
        gallery.project = Load(file);
        const ProjectBlock& p = gallery.project.block();
        gallery.driver.emplace(host::Driver::ForProjectCode(p.record.projectType, p.record.plcType,
                                                            file.empty() ? "sample" : file));
    } catch (const host::Failure& failure) {
        std::fprintf(stderr, "hosted-gallery: %s\n", failure.message.c_str());
        return 1;
    }
    gallery.name = file.empty() ? "sample.kpr" : std::string(platform::FileNamePart(file));

    QMainWindow window;
    gallery.window = &window;
    window.setWindowTitle(QString::fromStdString(gallery.name) + " - hosted-gallery");
    gallery.tree = new QTreeWidget(&window);
    gallery.tree->setHeaderLabel("Pages and fields");
    window.setCentralWidget(gallery.tree);
    gallery.fill();
    QMenu* dialogs = window.menuBar()->addMenu("&Dialogs");
    QMenu* build = window.menuBar()->addMenu("&Build");
    for (const auto& [name, action] : actions) {
        const bool isBuild = name == "check" || name == "panel-image" || name == "print" ||
                             name == "send-card" || name == "card-contents";
        QAction* item = (isBuild ? build : dialogs)->addAction(QString::fromStdString(name));
        QObject::connect(item, &QAction::triggered, action);
    }
    window.resize(900, 650);
    window.move(40, 40);
    window.show();

    if (!open.empty()) QTimer::singleShot(200, actions.at(open));
    if (press) PressWhenOpen(press);
    if (!screenshot.empty())
        QTimer::singleShot(after, [screenshot] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(
                QString::fromStdString(screenshot));
            std::fflush(nullptr);
            std::_Exit(0);
        });
    return QApplication::exec();
}
