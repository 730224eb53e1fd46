// The names the workbench gives the files it writes, and where its windows open: the rules in
// tables, then a Save As through the save dialog and windows opened side by side.
#include <unistd.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "workbench/jobs/file_names.h"
#include "workbench/window/user_folders.h"
#include "workbench/window/window_places.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

TEST(FileNames, ANameWithoutExtensionTakesTheChosenFilters) {
    const struct {
        const char* typed;
        const char* filter;
        const char* written;
    } kCases[] = {
        {"/home/e/plant", "Kestra projects (*.kpr)", "/home/e/plant.kpr"},
        {"/home/e/plant.kpr", "Kestra projects (*.kpr)", "/home/e/plant.kpr"},
        {"/home/e/plant.KPR", "Kestra projects (*.kpr)", "/home/e/plant.KPR"},
        {"/home/e/plant.v2", "Kestra projects (*.kpr)", "/home/e/plant.v2"},  // has one
        {"/home/e/plant.", "Kestra projects (*.kpr)", "/home/e/plant.kpr"},
        {"/home/e/.plant", "Kestra projects (*.kpr)", "/home/e/.plant.kpr"},  // a hidden name
        {"/home/e.d/plant", "Project JSON documents (*.json)", "/home/e.d/plant.json"},
        {"/home/e/plant", "All files (*)", "/home/e/plant"},
        {"/home/e/plant", "Panel images (*.img *.bin)", "/home/e/plant.img"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(WithFilterExtension(c.typed, c.filter).toStdString(), c.written)
            << c.typed << " with " << c.filter;
}

TEST(FileNames, AFileMadeFromTheProjectTakesItsNameWithItsOwnExtension) {
    const struct {
        const char* project;
        const char* extension;
        const char* proposed;
    } kCases[] = {
        {"plant.kpr", "img", "plant.img"},
        {"/srv/plants/plant.kpr", "img", "/srv/plants/plant.img"},
        {"plant.v2.kpr", "img", "plant.v2.img"},
        {"Untitled", "kpr", "Untitled.kpr"},
        {"tanks.kpr", "kpr", "tanks.kpr"},
        {"tanks.kpr", "json", "tanks.json"},
        {"/srv/v1.0/plant", "pdf", "/srv/v1.0/plant.pdf"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(NameFor(c.project, c.extension).toStdString(), c.proposed) << c.project;
}

TEST(WindowPlaces, ANewWindowCascadesPastTheOpenOnes) {
    const QRect room(0, 0, 1280, 1000);
    const QSize size(1100, 720);
    const struct {
        QPoint wanted;
        QList<QPoint> taken;
        QPoint placed;
    } kCases[] = {
        {{10, 10}, {}, {10, 10}},                                      // nothing open
        {{10, 10}, {{500, 200}}, {10, 10}},                            // open elsewhere
        {{10, 10}, {{10, 10}}, {42, 42}},                              // one open there
        {{10, 10}, {{20, 5}, {42, 42}}, {74, 74}},                     // near counts, and in turn
        {{10, 10}, {{10, 10}, {74, 74}}, {42, 42}},                    // a gap is taken
        {{150, 250}, {{150, 250}}, {32, 0}},                           // the edge: back to the top
        {{180, 280}, {{180, 280}, {32, 0}}, {64, 32}},                 //
        {{0, 0}, {{0, 0}, {32, 32}, {64, 64}, {96, 96}}, {128, 128}},  //
    };
    for (const auto& c : kCases)
        EXPECT_EQ(CascadedPlace(c.wanted, size, c.taken, room), c.placed)
            << c.wanted.x() << "," << c.wanted.y();
    EXPECT_EQ(CascadedPlace({0, 0}, {1280, 1000}, {{0, 0}}, room), QPoint(0, 0))
        << "no room for a cascade: where it wanted to be";
}

TEST_F(WorkbenchTest, ASecondWindowOpensCascadedFromTheFirstAndAnotherProgramsToo) {
    const QPoint step(kCascadeStep, kCascadeStep);
    auto open = [] {
        auto* window = new MainWindow;  // it deletes itself when closed
        window->show();
        return window;
    };
    {  // the place the last window was left at
        QPointer<MainWindow> last = open();
        last->setGeometry(QRect(0, 40, 500, 300));
        last->close();
    }
    QPointer<MainWindow> first = open();
    const QPoint origin = first->geometry().topLeft();
    // A window of another workbench that is running (here: this test's parent process) counts;
    // the note of one that ended does not, and goes.
    const QString running = QStringLiteral("openWindows/%1-1").arg(getppid());
    KeepSetting(running, origin + step);
    KeepSetting("openWindows/2147483600-1", origin + 2 * step);
    QPointer<MainWindow> second = open();
    EXPECT_EQ(second->geometry().topLeft(), origin + 2 * step);
    EXPECT_FALSE(Settings()->contains("openWindows/2147483600-1"));

    // A closed window takes its note back; a cascaded one keeps no place for the next start.
    Settings()->remove("window/geometry");
    second->close();
    EXPECT_FALSE(Settings()->contains("window/geometry"));
    first->close();
    EXPECT_TRUE(Settings()->contains("window/geometry"));
    Settings()->remove(running);
    QPointer<MainWindow> third = open(), fourth = open();
    EXPECT_EQ(third->geometry().topLeft(), origin) << "the first's place is free again";
    EXPECT_EQ(fourth->geometry().topLeft(), origin + step);
    for (MainWindow* window : {third.data(), fourth.data()}) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class SaveAs : public SampleWindowTest {
  protected:
    // Runs `steps` on the modal dialog of that kind once it shows (the events before it may run
    // the queue more than once).
    template <typename Dialog>
    static void WhenShown(std::function<void(Dialog*)> steps, int tries = 1000) {
        QTimer::singleShot(0, [steps, tries] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
                return steps(dialog);
            if (tries > 0) return WhenShown<Dialog>(steps, tries - 1);
            ADD_FAILURE() << "no dialog showed";
        });
    }
};

TEST_F(SaveAs, ANameTypedWithoutExtensionGetsTheProjectsAndTheWindowNamesTheNewFile) {
    WhenShown<QFileDialog>([](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "sample.kpr");
        QApplication::setActiveWindow(dialog);
        name->setFocus();  // the name typed there, not the file chosen in the list, counts
        name->selectAll();
        QTest::keyClicks(name, "plant");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(window->saveAs());
    const QString written = QString::fromStdString(file("plant.kpr"));
    EXPECT_TRUE(QFileInfo::exists(written));
    EXPECT_EQ(window->document().path(), written);
    EXPECT_EQ(window->windowTitle(), "plant.kpr[*] - Kestra Workbench");
    // The project's view, where the tree's cursor is, names the new file.
    window->tree().select({ProjectTree::Node::Project});
    bool named = false;
    for (auto* label : window->findChildren<QLabel*>())
        named = named || label->text().contains("File: " + written);
    EXPECT_TRUE(named);
}

}  // namespace
}  // namespace kestra::workbench::testing
