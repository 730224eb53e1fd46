// The image viewer's window as a user meets it: its menus and help, and the program's picture
// options, which end the program once the pictures are written.
#include "extension_classes/image_viewer/viewer_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "extension_classes/kxc_message.h"
#include "extension_classes/shell_tree.h"
#include "extension_classes/viewer_pages.h"
#include "platform/files.h"

namespace {

QAction* MenuAction(QMenuBar* bar, const QString& menu, const QString& action) {
    for (QAction* top : bar->actions())
        if (top->text().remove(QLatin1Char('&')) == menu && top->menu())
            for (QAction* a : top->menu()->actions())
                if (a->text().remove(QLatin1Char('&')) == action) return a;
    return nullptr;
}

TEST(ViewerWindow, MenusWithTheirKeys) {
    ViewerWindow window;
    struct Entry {
        const char* menu;
        const char* action;
        QKeySequence keys;
    };
    const Entry entries[] = {
        {"File", "Open Folder...", QKeySequence::Open},
        {"File", "Exit", QKeySequence::Quit},
        {"Edit", "Copy Panel Image", QKeySequence(QStringLiteral("Ctrl+Shift+C"))},
        {"Edit", "Paste into Folder", QKeySequence(QStringLiteral("Ctrl+Shift+V"))},
        {"View", "Properties...", QKeySequence(QStringLiteral("Alt+Return"))},
        {"Help", "Help Topics", QKeySequence::HelpContents},
        {"Help", "About Image Viewer...", QKeySequence()},
    };
    for (const Entry& e : entries) {
        QAction* action = MenuAction(window.menuBar(), QString::fromLatin1(e.menu),
                                     QString::fromLatin1(e.action));
        ASSERT_NE(action, nullptr) << e.menu << " " << e.action;
        EXPECT_EQ(action->shortcut(), e.keys) << e.action;
    }
    EXPECT_EQ(QKeySequence(QKeySequence::HelpContents), QKeySequence(Qt::Key_F1));
}

// The window's accelerators work while the file tree has the focus; other Ctrl keys go to the
// tree.
TEST(ViewerWindow, AcceleratorsReachTheWindowFromTheTree) {
    QStringList shown;
    const KXCMessageAnswerer previous =
        KXCSetMessageAnswerer([&](QWidget*, const QString& text, const QString&, UINT) {
            shown << text;
            return IDOK;
        });
    ViewerWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    auto* tree = window.findChild<CFileListTree*>();
    ASSERT_NE(tree, nullptr);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(shown.size(), 1);  // Copy Panel Image, with no picture chosen
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("There is no panel image to copy.")));
    QTest::keyClick(tree, Qt::Key_Return, Qt::AltModifier);  // Properties
    EXPECT_TRUE(window.Sheet()->isVisible());
    QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(tree, &other);
    EXPECT_TRUE(other.isAccepted());
    KXCSetMessageAnswerer(previous);
}

// Help Topics opens the help page shipped in the program folder, titled after it.
TEST(ViewerWindow, HelpShowsTheShippedPage) {
    ASSERT_TRUE(QFile::exists(QString::fromStdString(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), ViewerWindow::kHelpPage))));
    ViewerWindow window;
    MenuAction(window.menuBar(), QStringLiteral("Help"), QStringLiteral("Help Topics"))->trigger();
    QTextBrowser* help = window.HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Image Viewer Help"));
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Paste into Folder")));
    EXPECT_TRUE(ViewerWindow::AboutText().contains(QStringLiteral("Image Viewer")));
}

// The property sheet hides on close and does not hold the program open.
TEST(ViewerWindow, ClosingThePropertySheetHidesIt) {
    ViewerWindow window;
    window.show();
    window.ShowProperties();
    ASSERT_TRUE(window.Sheet()->isVisible());
    EXPECT_TRUE(window.Sheet()->close());
    EXPECT_FALSE(window.Sheet()->isVisible());
    window.ShowProperties();
    EXPECT_TRUE(window.Sheet()->isVisible());
    EXPECT_TRUE(window.close());
}

// --screenshot and --sheet write both pictures and end the program.
TEST(ImageViewerProgram, PicturesAreWrittenAndTheProgramEnds) {
    QTemporaryDir dir;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(90, 30, 160));
    const QString file = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(picture.save(file));
    const QString window = dir.filePath(QStringLiteral("window.png"));
    const QString sheet = dir.filePath(QStringLiteral("sheet.png"));
    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    viewer.setProcessEnvironment(env);
    viewer.start(
        QString::fromStdString(
            kestra::platform::JoinPath(kestra::platform::ProgramFolder(), "image-viewer")),
        {QStringLiteral("--file"), file, QStringLiteral("--bits"), QStringLiteral("4"),
         QStringLiteral("--screenshot"), window, QStringLiteral("--sheet"), sheet, dir.path()});
    ASSERT_TRUE(viewer.waitForStarted());
    const bool ended = viewer.waitForFinished(60000);
    if (!ended) viewer.kill();
    ASSERT_TRUE(ended) << "image-viewer did not end";
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0) << viewer.readAllStandardError().toStdString();
    EXPECT_FALSE(QImage(window).isNull());
    EXPECT_FALSE(QImage(sheet).isNull());
}

}  // namespace
