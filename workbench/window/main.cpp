// kestra-workbench: the desktop program where an engineer does the suite's work on a project.
//
//   kestra-workbench [FILE...]                 opens the files (a ".json" file is imported)
//   kestra-workbench --screenshot PNG [FILE]   pictures the window once it is shown, then ends
//                                              (answering every question with "no")
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "kestra/host.h"
#include "platform/command_line.h"
#include "platform/standard_output.h"
#include "windows/qt/qt_host.h"
#include "workbench/window/main_window.h"
#include "workbench/window/questions.h"

namespace {

struct Options {
    Options() {
        parser.setApplicationDescription(
            QStringLiteral("Kestra Workbench: projects of the Kestra panels, their pages, fields "
                           "and PLC, in one window."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(screenshot);
        parser.addPositionalArgument(
            QStringLiteral("files"), QStringLiteral("Project files (.kpr) or JSON documents to open."),
            QStringLiteral("[FILE...]"));
    }

    QCommandLineParser parser;
    const QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window once it is shown, then end."),
        QStringLiteral("PNG")};
};

}  // namespace

int main(int argc, char** argv) {
    using namespace kestra;
    QApplication::setApplicationName(QStringLiteral("Kestra Workbench"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRA_WORKBENCH_VERSION));
    // The usage and the version need no display; the usage names the program without its folder.
    if (platform::AsksForHelp(argc, argv) || platform::AsksForVersion(argc, argv)) {
        platform::NameProgramWithoutFolder(argv);
        platform::FinishStandardOutputAtExit(argv[0], 1);  // a usage that did not arrive fails
        QCoreApplication usage(argc, argv);
        Options().parser.process(usage);  // shows the usage or the version and ends the program
    }
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("kestra-workbench"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/workbench/kestra-workbench.png")));
    Options command;
    QCommandLineParser& options = command.parser;
    const QCommandLineOption& screenshot = command.screenshot;
    options.process(app);

    // As the project editor does before it loads the store: the host allocator; then the
    // window core's dialogs (the driver's and the utilities') on Qt.
    host::StartHost();
    platform::qt::StartHost(argc, argv);

    auto* window = new workbench::MainWindow;
    window->show();
    const QStringList files = options.positionalArguments();
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (i == 0) {
            window->openFile(files[i]);
        } else {
            auto* another = new workbench::MainWindow;
            another->show();
            another->openFile(files[i]);
        }
    }

    if (options.isSet(screenshot)) {
        const QString picture = options.value(screenshot);
        workbench::SetAnswerer([](const workbench::Question& question) {
            for (auto no : {QMessageBox::No, QMessageBox::Discard, QMessageBox::Cancel})
                if (question.buttons & no) return no;
            return QMessageBox::Ok;
        });
        QTimer::singleShot(0, window, [window, picture] {
            const bool saved = window->grab().save(picture);
            if (!saved)
                std::fprintf(stderr, "kestra-workbench: %s cannot be written\n",
                             qPrintable(picture));
            QApplication::closeAllWindows();
            QApplication::exit(saved ? 0 : 1);
        });
    } else {
        QTimer::singleShot(0, window, [window] { window->offerLeftovers(); });
    }
    return app.exec();
}
