// image-viewer: the viewers and the file tree side by side, as the project editor shows them.
// Browse a folder of pictures, see each converted for a 1-, 4- or 8-bit panel of a chosen size,
// change the settings on the property pages, copy the panel image and paste it into a folder.
//
//   image-viewer [folder] [--file PICTURE] [--bits 1|4|8] [--panel WxH]
//                [--tab panel|original] [--screenshot PNG] [--sheet PNG]
//
// --screenshot and --sheet save a picture of the window (and of the property sheet) and quit.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "extension_classes/image_viewer/viewer_window.h"
#include "extension_classes/viewer_pages.h"
#include "platform/command_line.h"
#include "platform/standard_output.h"

namespace {

void SaveGrab(QWidget* widget, const QString& path) {
    if (!widget->grab().save(path)) qWarning("could not write %s", qPrintable(path));
}

struct Options {
    Options() {
        parser.setApplicationDescription(QStringLiteral("Shows pictures as a panel would."));
        parser.addHelpOption();
        parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Folder to browse."));
        parser.addOptions({file, bits, panel, tab, shot, sheet});
    }

    QCommandLineParser parser;
    const QCommandLineOption file{QStringLiteral("file"), QStringLiteral("Picture to show."),
                                  QStringLiteral("picture")};
    const QCommandLineOption bits{QStringLiteral("bits"), QStringLiteral("Panel colour bits."),
                                  QStringLiteral("bits"), QStringLiteral("8")};
    const QCommandLineOption panel{QStringLiteral("panel"), QStringLiteral("Panel size WxH."),
                                   QStringLiteral("size"), QStringLiteral("320x240")};
    const QCommandLineOption tab{QStringLiteral("tab"), QStringLiteral("panel or original."),
                                 QStringLiteral("tab"), QStringLiteral("panel")};
    const QCommandLineOption shot{QStringLiteral("screenshot"),
                                  QStringLiteral("Save the window as a picture and quit."),
                                  QStringLiteral("png")};
    const QCommandLineOption sheet{QStringLiteral("sheet"),
                                   QStringLiteral("Save the property sheet as a picture too."),
                                   QStringLiteral("png")};
};

}  // namespace

int main(int argc, char** argv) {
    // The usage needs no display, and names the program without its folder.
    if (kestra::platform::AsksForHelp(argc, argv)) {
        kestra::platform::NameProgramWithoutFolder(argv);
        kestra::platform::FinishStandardOutputAtExit(argv[0], 1);  // a usage that did not arrive
        QCoreApplication usage(argc, argv);
        Options().parser.process(usage);  // shows the usage and ends the program
    }
    QApplication application(argc, argv);
    Options options;
    QCommandLineParser& parser = options.parser;
    const QCommandLineOption &file = options.file, &bits = options.bits, &panel = options.panel,
                             &tab = options.tab, &shot = options.shot, &sheet = options.sheet;
    parser.process(application);

    ViewerWindow window;
    const QStringList sizes = parser.value(panel).split(QLatin1Char('x'));
    if (sizes.size() == 2) window.SetPanelSize(QSize(sizes[0].toInt(), sizes[1].toInt()));
    window.SetDepth(parser.value(bits).toInt());
    const QString folder = parser.positionalArguments().value(
        0, parser.isSet(file) ? QFileInfo(parser.value(file)).absolutePath() : QDir::currentPath());
    window.Browse(folder);
    window.resize(1100, 720);
    window.show();
    if (parser.isSet(file) && !window.Open(QFileInfo(parser.value(file)).absoluteFilePath()))
        qWarning("could not show %s", qPrintable(parser.value(file)));
    window.ShowTab(parser.value(tab));
    if (parser.isSet(sheet)) window.ShowProperties();
    if (parser.isSet(shot) || parser.isSet(sheet)) {
        QTimer::singleShot(800, &window, [&] {
            if (parser.isSet(shot)) SaveGrab(&window, parser.value(shot));
            if (parser.isSet(sheet)) SaveGrab(window.Sheet(), parser.value(sheet));
            QApplication::quit();
        });
    }
    return application.exec();
}
