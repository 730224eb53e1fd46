// The Build menu's work on the project itself: the check, the panel image and the PLC list.
#include <QAction>
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

#include "kestra/check.h"
#include "kestra/panel_image.h"
#include "kestra/print.h"
#include "platform/memory.h"
#include "windows/qt/pdf_print_surface.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/jobs/build_jobs.h"
#include "workbench/jobs/build_runner.h"
#include "workbench/jobs/file_names.h"

namespace kestra::workbench {

namespace {

QString Quoted(const std::string& name) {
    return "\"" + QString::fromStdString(name) + "\"";
}

// The preview's commands in a File menu as well, where they stay in reach however narrow the
// window is (its tool bar hides what does not fit behind an overflow button).
void AddFileMenu(QPrintPreviewDialog& preview, QAction* savePdf) {
    auto* inner = preview.findChild<QMainWindow*>();
    if (!inner) return;
    QMenu* file = inner->menuBar()->addMenu("&File");
    for (QAction* action : preview.findChild<QToolBar*>()->actions())
        if (action->text() == "Print") {  // the preview's own, which asks for the printer
            QAction* print = file->addAction("&Print...", action, &QAction::trigger);
            print->setShortcut(QKeySequence::Print);
        }
    file->addAction(savePdf);
    file->addSeparator();
    QAction* close = file->addAction("&Close", &preview, &QDialog::reject);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
}

}  // namespace

std::optional<host::CheckReport> CheckProject(QWidget* parent, const LoadedProject& project,
                                              const std::string& name, Driver* driver) {
    std::optional<host::CheckReport> report;
    TellingFailures(parent, "Check", [&] {
        RunJob(parent, "Checking " + Quoted(name), [&](JobProgress& progress) {
            progress.step("Loading the project as the editor loads a file...");
            mem::Arena loaded;  // the copy goes when the check is done
            mem::Arena::Scope inLoaded(loaded);
            const host::CheckedProject checked = host::LoadChecked(name, SavedImage(project), {});
            host::Store::Get().save(name, checked.project);
            progress.step("Looking at the fields, passwords and recipes with the driver...");
            report = host::CheckContents(checked.project.block(),
                                         driver ? &driver->loader() : nullptr);
        });
        return true;
    });
    return report;
}

bool RefusedForErrors(QWidget* parent, const std::string& caption, const LoadedProject& project,
                      Driver& driver, const std::string& name, const std::string& what) {
    const host::CheckReport report = host::CheckContents(project.block(), &driver.loader());
    if (report.errors() == 0) return false;
    Tell(parent, caption,
         name + ": the project has " + host::Counted(report.errors(), "error") + ", so " + what +
             ": " + report.firstErrors() + ". Build > Check Project lists them all.",
         MB_OK | MB_ICONERROR);
    return true;
}

std::string SavePanelImage(QWidget* parent, const LoadedProject& project, Driver& driver,
                           const std::string& name, const std::string& path,
                           const std::string& folder) {
    if (RefusedForErrors(parent, "Panel Image", project, driver, name, "no panel image is built"))
        return {};
    std::string target = path;
    if (target.empty()) {
        QString proposed = NameFor(QString::fromStdString(name), "img");
        if (!folder.empty()) proposed = QDir(QString::fromStdString(folder)).filePath(proposed);
        target = AskFileToWrite(parent, "Save Panel Image", proposed,
                                "Panel images (*.img);;All files (*)")
                     .toStdString();
    }
    if (target.empty()) return {};
    const bool written = TellingFailures(parent, "Panel Image", [&] {
        std::size_t size = 0;
        RunJob(parent, "Building the panel image of " + Quoted(name), [&](JobProgress& progress) {
            progress.step("Building the panel image with " +
                          QString::fromStdString(driver.library()) + ", reading it back...");
            mem::Arena readBack;  // the project read back from the image goes with the job
            mem::Arena::Scope inReadBack(readBack);
            const host::Bytes image = host::BuildPanelImage(name, project, driver, true);
            progress.step("Writing " + QString::fromStdString(target) + "...");
            host::WriteOutput(target, image);
            size = image.size();
        });
        Tell(parent, "Panel Image",
             target + ": a panel image of " + std::to_string(size) + " bytes built by " +
                 driver.library() + "; read back, it carries the project",
             MB_OK | MB_ICONINFORMATION);
        return true;
    });
    return written ? target : std::string();
}

bool SavePlcListPdf(QWidget* parent, const LoadedProject& project, Driver& driver,
                    const std::string& path) {
    return TellingFailures(parent, "Print PLC List", [&] {
        host::PrintedList printed;
        RunJob(parent, "Printing the PLC list", [&](JobProgress& progress) {
            progress.step("Printing the PLC list to " + QString::fromStdString(path) + "...");
            printed = host::PrintPlcListPdf(driver, project.block(), path);
        });
        Tell(parent, "Print PLC List",
             path + ": " + host::Counted(static_cast<std::size_t>(printed.pages), "page") + ", " +
                 host::Counted(printed.lines, "field line"),
             MB_OK | MB_ICONINFORMATION);
        return true;
    });
}

void PreviewPlcList(QWidget* parent, const LoadedProject& project, Driver& driver) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(platform::qt::A4Layout(true));
    printer.setDocName(QString::fromStdString(
        host::ProjectText(project.block(), project.block().record.titleId) + " - PLC lines"));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle("Print PLC List");
    if (parent) preview.resize(parent->window()->size() * 9 / 10);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&](QPrinter* target) {
                         TellingFailures(&preview, "Print PLC List", [&] {
                             platform::qt::PagedPrintSurface::Options options;
                             options.deviceLayout = true;
                             platform::qt::PagedPrintSurface surface(*target, options);
                             if (!surface.ok())
                                 host::Fail(host::kExitOutput, "the printer cannot be started");
                             host::PrintPlcLines(driver, project.block(), surface);
                             surface.finish();
                             return true;
                         });
                     });
    auto* save = new QAction("Save as &PDF...", &preview);
    save->setShortcut(QKeySequence::Save);
    save->setToolTip("Save the PLC list as a PDF file");
    QObject::connect(save, &QAction::triggered, &preview, [&] {
        const QString path = AskFileToWrite(&preview, "Save PLC List as PDF", "plc-list.pdf",
                                            "PDF files (*.pdf);;All files (*)");
        if (!path.isEmpty()) SavePlcListPdf(&preview, project, driver, path.toStdString());
    });
    if (auto* bar = preview.findChild<QToolBar*>()) {
        bar->addSeparator();
        bar->addAction(save);
        AddFileMenu(preview, save);
    }
    preview.exec();
}

}  // namespace kestra::workbench
