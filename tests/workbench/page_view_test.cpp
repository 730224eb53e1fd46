// The page view in the main window: the sample project's pages on their display, the selection
// it shares with the field table, moves and resizes by keys and by dragging as single changes
// that write only a field's place or size bytes and that undo takes back byte for byte, the
// keyboard, zoom, the language, and the picture it paints.
#include "workbench/views/page_view.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "panel_setup/setup_records.h"
#include "plc_s5/type1_image.h"
#include "workbench/document/project_pages.h"
#include "workbench/views/field_table_model.h"
#include "workbench/views/page_canvas.h"
#include "workbench/views/page_layout.h"
#include "workbench/views/page_painter.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

using Node = ProjectTree::Node;

// Every byte offset at which two images differ (and the longer one's surplus).
std::vector<std::size_t> Differing(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) offsets.push_back(i);
    return offsets;
}

// Where a field record stands in a project's image (it stands there as it is in memory).
std::size_t PlaceOf(const Bytes& image, const FieldRecord& field) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&field);
    const auto at = std::search(image.begin(), image.end(), bytes, bytes + sizeof field);
    EXPECT_NE(at, image.end()) << "the field record stands in the image";
    EXPECT_EQ(std::search(at + 1, image.end(), bytes, bytes + sizeof field), image.end())
        << "and only once";
    return static_cast<std::size_t>(at - image.begin());
}

class PageViewTest : public SampleWindowTest {
  protected:
    void beforeWindow() override {
        std::filesystem::copy_file(
            platform::JoinPath(platform::ProgramFolder(), "windows/Displays.ini"),
            file("windows/Displays.ini"));
    }
    void SetUp() override {
        SampleWindowTest::SetUp();
        QApplication::setActiveWindow(window);
        showPage(0);
    }
    void showPage(int page) { window->tree().select({Node::Page, page, page}); }
    PageCanvas& canvas() { return window->displayView().canvas(); }
    ProjectDocument& document() { return window->document(); }
    const FieldRecord& record(std::size_t page, std::size_t field) {
        return Fields(Pages(document().block())[page])[field];
    }
    int undoSteps() { return document().undoStack().count(); }
    // The pixel in the middle of a cell of the canvas.
    QPoint centreOf(int row, int column) {
        return canvas().painter().pixels({column, row, 1, 1}).center();
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(at), QPointF(canvas().mapToGlobal(at)), Qt::LeftButton,
                          held, modifiers);
        QApplication::sendEvent(&canvas(), &event);
    }
    void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, modifiers);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton, modifiers);
    }
    void drag(QPoint from, QPoint to) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    void setDisplayCode(std::uint8_t code) {
        ASSERT_TRUE(document().change("display", [&] {
            reinterpret_cast<std::uint8_t*>(
                &document().block().record)[panel::setup::kDisplayCode] = code;
            return true;
        }));
    }
};

TEST_F(PageViewTest, ShowsThePageOnTheGenericModelsFirstDisplayWhileThereIsNoPanelSetup) {
    const PageLayout& layout = canvas().layout();
    EXPECT_EQ(layout.display.source, host::PanelDisplay::Source::GenericModel);
    EXPECT_EQ(layout.display.name, "4x20 Text");
    EXPECT_EQ(QSize(layout.display.columns, layout.display.rows), QSize(20, 4));
    ASSERT_EQ(layout.textLines, QStringList{"Tank farm: levels and pumps"});
    ASSERT_EQ(layout.fields.size(), 7u);
    const struct {
        std::size_t field;
        QRect cells;
        QString shown;
        bool outside;
    } kFields[] = {
        {0, {0, 0, 5, 1}, "#####", false},    {1, {0, 1, 3, 1}, "###", false},
        {3, {0, 3, 8, 1}, "########", false}, {4, {0, 4, 4, 1}, "####", true},
        {6, {0, 6, 6, 1}, "###.##", true},
    };
    for (const auto& f : kFields) {
        EXPECT_EQ(layout.fields[f.field].cells, f.cells) << f.field;
        EXPECT_EQ(layout.fields[f.field].placeholder, f.shown) << f.field;
        EXPECT_EQ(layout.fields[f.field].outside, f.outside) << f.field;
    }
    const QString heading = window->displayView().heading();
    EXPECT_TRUE(heading.contains("4x20 Text")) << heading.toStdString();
    EXPECT_TRUE(heading.contains("no panel setup yet")) << heading.toStdString();
    EXPECT_TRUE(heading.contains("3 fields run past the display")) << heading.toStdString();

    // With a display chosen, the view shows it, a touch display with its touch grid.
    setDisplayCode(7);
    EXPECT_EQ(canvas().layout().display.source, host::PanelDisplay::Source::PanelSetup);
    EXPECT_EQ(QSize(canvas().layout().display.touchColumns, canvas().layout().display.touchRows),
              QSize(20, 8));
    EXPECT_EQ(canvas().layout().outside(), 0u);
    EXPECT_TRUE(window->displayView().heading().contains("touch grid of 20 x 8"));
    EXPECT_FALSE(window->displayView().heading().contains("no panel setup"));
}

TEST_F(PageViewTest, SelectsTheSameFieldsAsTheTable) {
    QTableView& table = window->fieldTable();
    table.selectionModel()->select(
        QItemSelection(table.model()->index(1, 0), table.model()->index(2, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(canvas().chosen(), (std::vector<std::size_t>{1, 2}));

    click(centreOf(3, 4));  // inside field 4's box (row 3, columns 0 to 7)
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{3});
    click(centreOf(0, 0), Qt::ControlModifier);
    EXPECT_EQ(window->selectedFields(), (std::vector<std::size_t>{0, 3}));
    click(centreOf(3, 4), Qt::ControlModifier);
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{0});
    click(centreOf(1, 15));  // an empty cell
    EXPECT_TRUE(window->selectedFields().empty());

    // A band drawn over empty cells selects the fields it touches.
    drag(centreOf(1, 10), centreOf(2, 0));
    EXPECT_EQ(window->selectedFields(), (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(undoSteps(), 0) << "selecting changes nothing";
}

TEST_F(PageViewTest, ArrowKeysMoveAFieldChangingOnlyItsRowAndColumnBytes) {
    const Bytes before = SavedNow(document());
    const std::size_t place = PlaceOf(before, record(0, 1));
    canvas().choose({1});
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down})
        QTest::keyClick(&canvas(), key);
    EXPECT_EQ(undoSteps(), 3) << "each key one change";
    EXPECT_EQ(s5::FieldRow(record(0, 1)), 2);
    EXPECT_EQ(s5::FieldColumn(record(0, 1)), 2);
    EXPECT_EQ(Differing(before, SavedNow(document())),
              (std::vector<std::size_t>{place, place + 1}));
    EXPECT_EQ(canvas().chosen(), std::vector<std::size_t>{1}) << "the field stays selected";

    // Held at the display's edges: no change at all.
    canvas().choose({0});
    QTest::keyClick(&canvas(), Qt::Key_Left);
    QTest::keyClick(&canvas(), Qt::Key_Up);
    EXPECT_EQ(undoSteps(), 3);

    while (document().undoStack().canUndo()) document().undoStack().undo();
    EXPECT_EQ(SavedNow(document()), before) << "undo gives the image back byte for byte";
}

TEST_F(PageViewTest, ADragMovesTheSelectedFieldsAsOneChange) {
    const Bytes before = SavedNow(document());
    const std::size_t place = PlaceOf(before, record(0, 3));
    // Field 4 (row 3, 8 wide) one row up and four columns right, picked up at its third cell.
    drag(centreOf(3, 2), centreOf(2, 6));
    EXPECT_EQ(undoSteps(), 1);
    EXPECT_EQ(s5::FieldRow(record(0, 3)), 2);
    EXPECT_EQ(s5::FieldColumn(record(0, 3)), 4);
    EXPECT_EQ(Differing(before, SavedNow(document())),
              (std::vector<std::size_t>{place, place + 1}));
    document().undoStack().undo();
    EXPECT_EQ(SavedNow(document()), before);

    // Two fields dragged together stop where the first one meets the display's edge.
    canvas().choose({1, 3});
    drag(centreOf(1, 1), centreOf(1, 19));
    EXPECT_EQ(s5::FieldColumn(record(0, 3)), 12) << "8 wide: columns 12 to 19";
    EXPECT_EQ(s5::FieldColumn(record(0, 1)), 12);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(PageViewTest, ShiftArrowsAndTheHandleResizeWithinTheFieldDialogsRules) {
    const Bytes before = SavedNow(document());
    const std::size_t place = PlaceOf(before, record(0, 0));
    canvas().choose({0});
    QTest::keyClick(&canvas(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(record(0, 0).width, 6);
    EXPECT_EQ(Differing(before, SavedNow(document())), std::vector<std::size_t>{place + 2});
    QTest::keyClick(&canvas(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(record(0, 0).height, 1) << "a NUMERIC field has one line";
    EXPECT_EQ(undoSteps(), 1);
    canvas().choose({4});  // a timer: four digits at most
    QTest::keyClick(&canvas(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(record(0, 4).width, 4);
    EXPECT_EQ(undoSteps(), 1);

    // The bar graph of page 2 (row 2, columns 1 to 20, one past the display) is drawn back
    // onto the display by its handle.
    showPage(1);
    const Bytes second = SavedNow(document());
    const std::size_t bar = PlaceOf(second, record(1, 2));
    canvas().choose({2});
    const QRect handle = canvas().painter().handle(canvas().layout().fields[2].cells);
    drag(handle.center(), handle.center() - QPoint(5 * canvas().painter().cellSize().width(), 0));
    EXPECT_EQ(record(1, 2).width, 15);
    EXPECT_EQ(Differing(second, SavedNow(document())), std::vector<std::size_t>{bar + 2});
    EXPECT_FALSE(canvas().layout().fields[2].outside);

    while (document().undoStack().canUndo()) document().undoStack().undo();
    EXPECT_EQ(SavedNow(document()), before);
}

TEST_F(PageViewTest, DeleteDeletesTheSelectedFieldsAsTheTableDoes) {
    canvas().setFocus();
    canvas().choose({2, 5});
    QTest::keyClick(&canvas(), Qt::Key_Delete);
    EXPECT_EQ(window->fieldModel().rowCount(), 5);
    EXPECT_EQ(canvas().layout().fields.size(), 5u);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(PageViewTest, AFieldIsAskedForAtAnEmptyCell) {
    QSignalSpy asked(&window->displayView(), &PageView::addFieldRequested);
    const QPoint empty = centreOf(2, 10);
    OnNextDialog([](QDialog* addField) { addField->accept(); });  // Add Field's defaults
    mouse(QEvent::MouseButtonDblClick, empty, Qt::LeftButton);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.takeFirst(), (QList<QVariant>{2, 10}));
    ASSERT_EQ(window->fieldModel().rowCount(), 8) << "the window adds one";
    const auto fields = Fields(Pages(window->document().block())[0]);
    EXPECT_TRUE(std::any_of(fields.begin(), fields.end(), [](const FieldRecord& f) {
        return s5::FieldRow(f) == 2 && s5::FieldColumn(f) == 10;
    })) << "at the cell clicked";

    QMenu* menu = canvas().menuAt({12, 1});
    const QList<QAction*> entries = menu->actions();
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.first()->text(), "Add Field &Here");
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](QAction* a) {
        return a == window->hosted().field;
    })) << "the field's properties are offered too";
    OnNextDialog([](QDialog* addField) { addField->reject(); });
    entries.first()->trigger();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(window->fieldModel().rowCount(), 8) << "Cancel adds none";
    EXPECT_EQ(asked.takeFirst(), (QList<QVariant>{1, 12}));
    delete menu;

    menu = canvas().menuAt({0, 0});  // on a field
    EXPECT_FALSE(menu->actions().first()->isEnabled());
    delete menu;
    menu = canvas().menuAt({30, 1});  // past the display
    EXPECT_FALSE(menu->actions().first()->isEnabled());
    delete menu;
}

TEST_F(PageViewTest, ZoomsFromTheViewMenuKeysAndWheel) {
    const QList<QAction*> actions = window->displayView().viewActions();
    ASSERT_EQ(actions.size(), 4);
    QAction* zoomIn = actions[0];
    QAction* zoomOut = actions[1];
    QAction* actual = actions[2];
    EXPECT_EQ(canvas().zoom(), 4) << "a 120 x 32 display is first shown four times as large";
    actual->trigger();
    EXPECT_EQ(canvas().zoom(), 1);
    EXPECT_EQ(canvas().size(),
              QSize(20 * 6 + 2 * PagePainter::kMargin, 7 * 8 + 2 * PagePainter::kMargin))
        << "the display and the fields past it";
    EXPECT_FALSE(zoomOut->isEnabled());
    zoomIn->trigger();
    EXPECT_EQ(canvas().zoom(), 2);
    EXPECT_TRUE(zoomIn->shortcuts().contains(QKeySequence(QKeySequence::ZoomIn)));
    EXPECT_EQ(actual->shortcut(), QKeySequence("Ctrl+0"));

    QWheelEvent wheel(QPointF(10, 10), QPointF(canvas().mapToGlobal(QPoint(10, 10))), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas(), &wheel);
    EXPECT_EQ(canvas().zoom(), 3);
    for (int i = 0; i < 10; ++i) zoomIn->trigger();
    EXPECT_EQ(canvas().zoom(), PagePainter::kMaxZoom);
    EXPECT_FALSE(zoomIn->isEnabled());

    // The zoom chosen stays while the display does.
    showPage(1);
    EXPECT_EQ(canvas().zoom(), PagePainter::kMaxZoom);
}

TEST_F(PageViewTest, FollowsTheLanguageAndTheKeyboardReachesIt) {
    showPage(1);
    EXPECT_EQ(canvas().layout().textLines.value(0), "Messages and bar graphs");
    window->setLanguage(1);
    EXPECT_EQ(canvas().layout().textLines.value(0), "Meldungen und Balken");

    window->fieldTable().setFocus();
    QTest::keyClick(&window->fieldTable(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &canvas());
    QTest::keyClick(&canvas(), Qt::Key_Home);
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{0});
    QTest::keyClick(&canvas(), Qt::Key_PageDown);
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{1});
    QTest::keyClick(&canvas(), Qt::Key_End);
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{6});
    QTest::keyClick(&canvas(), Qt::Key_Escape);
    EXPECT_TRUE(window->selectedFields().empty());
    QTest::keyClick(&canvas(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->selectedFields().size(), 7u);
}

// ---- The picture ----------------------------------------------------------------------------

class PagePicture : public PageViewTest {
  protected:
    // The page painted at zoom 2, with field `selected` selected.
    QImage paint(std::size_t selected) {
        PagePainter painter;
        painter.setGrid(canvas().layout().display, 2);
        QImage image(painter.size(canvas().layout().extent()), QImage::Format_ARGB32);
        std::vector<bool> chosen(canvas().layout().fields.size());
        chosen[selected] = true;
        PagePainter::Marks marks;
        marks.selected = &chosen;
        QPainter on(&image);
        painter.paint(on, canvas().layout(), marks);
        cell_ = painter.cellSize();
        painter_ = painter;
        return image;
    }
    // The pixels inside a cell, without its grid lines.
    std::vector<QColor> inside(const QImage& image, int row, int column) {
        std::vector<QColor> colours;
        const QRect cell = painter_.pixels({column, row, 1, 1}).adjusted(1, 1, -1, -1);
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                colours.push_back(image.pixelColor(x, y));
        return colours;
    }
    static bool Any(const std::vector<QColor>& colours, const std::function<bool(QColor)>& test) {
        return std::any_of(colours.begin(), colours.end(), test);
    }
    QSize cell_;
    PagePainter painter_;
};

TEST_F(PagePicture, PaintsTheDisplayTablesColours) {
    setDisplayCode(12);  // white text, yellow data, on navy; black around; dark grey grid
    const QImage image = paint(1);
    const QRect screen = painter_.pixels({0, 0, 40, 30});
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 0, 0)) << "ScreenBgrColor around the display";
    EXPECT_EQ(image.pixelColor(painter_.pixels({15, 20, 1, 1}).center()), QColor(0, 0, 128))
        << "PageBgrColor in an empty cell";
    EXPECT_EQ(image.pixelColor(screen.left() + 15 * cell_.width(),
                               screen.top() + 20 * cell_.height() + 5),
              QColor(64, 64, 64))
        << "GridColor between the cells";

    // The page text ("Tank farm: ...", column 11 is the "l") is white, a field's "#" yellow.
    const auto text = inside(image, 0, 11);
    const auto data = inside(image, 0, 2);
    const auto white = [](QColor c) { return c.blue() > 200 && c.red() > 200; };
    const auto yellow = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() < 90; };
    EXPECT_TRUE(Any(text, white));
    EXPECT_FALSE(Any(text, yellow));
    EXPECT_TRUE(Any(data, yellow));
    EXPECT_FALSE(Any(data, white));

    // The selected field (2, "###" on row 1) is framed in the highlight; no field is marked.
    const QRect selected = painter_.pixels({0, 1, 3, 1});
    int framed = 0;
    for (int y = selected.top() - 1; y <= selected.top() + 1; ++y)
        framed += image.pixelColor(selected.left() + cell_.width() + 2, y) == QColor(48, 140, 198);
    EXPECT_GT(framed, 0);
    const QColor marked(220, 30, 30);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_NE(image.pixelColor(x, y), marked) << x << "," << y;
}

TEST_F(PagePicture, MarksFieldsPastTheDisplayAndDrawsATouchGrid) {
    const QImage generic = paint(0);
    const QRect past = painter_.pixels(canvas().layout().fields[4].cells);  // row 4 of 4
    int red = 0;
    for (int y = past.top() - 1; y <= past.top() + 1; ++y)
        for (int x = past.left(); x <= past.right(); ++x)
            red += generic.pixelColor(x, y) == QColor(220, 30, 30);
    EXPECT_GT(red, 0) << "the field running past the display is framed in red";

    setDisplayCode(7);  // 40 x 16 characters of 6 x 8 pixels, touch cells of 12 x 16
    const QImage touch = paint(0);
    const QRect screen = painter_.pixels({0, 0, 40, 16});
    const int x = screen.left() + 3 * screen.width() / 20;  // the third touch line
    int touchGrid = 0;
    for (int y = screen.top() + 10 * cell_.height(); y < screen.top() + 12 * cell_.height(); ++y)
        touchGrid += touch.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_GT(touchGrid, 0) << "TSGridColor";
}

// ---- The edits on the records ------------------------------------------------------------

class PageEdits : public WorkbenchTest {
  protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        document.open(sample());
    }
    std::vector<FieldRecord> fields() {
        const auto page = Fields(Pages(document.block())[0]);
        return {page.begin(), page.end()};
    }
    ProjectDocument document;
};

TEST_F(PageEdits, WriteOnlyThePlaceOrSizeOfTheFieldsChosen) {
    host::PanelDisplay display;
    display.rows = 4;
    display.columns = 20;
    using Chosen = std::vector<std::size_t>;
    struct Expected {
        std::size_t field;
        int row, column, width, height;
    };
    const struct {
        const char* what;
        bool resize;
        Chosen chosen;
        CellStep step;
        bool changed;
        std::vector<Expected> expected;
    } kCases[] = {
        {"two fields moved", false, {0, 2}, {1, 3}, true, {{0, 1, 3, 5, 1}, {2, 3, 3, 1, 1}}},
        {"a field named twice moves once", false, {1, 1}, {0, 1}, true, {{1, 1, 1, 3, 1}}},
        {"a field not on the page", false, {0, 99}, {0, 1}, false, {}},
        {"above row 0", false, {0}, {-1, 0}, false, {}},
        {"no step", false, {0}, {0, 0}, false, {}},
        {"each held to its own limits", true, {0, 4}, {0, 3}, true, {{0, 0, 0, 8, 1}}},
        {"a NUMERIC field's height", true, {0}, {1, 0}, false, {}},
    };
    for (const auto& c : kCases) {
        const std::vector<FieldRecord> before = fields();
        const bool changed = document.change(c.what, [&] {
            return c.resize ? ResizeFields(document.block(), 0, c.chosen, c.step, display)
                            : MoveFields(document.block(), 0, c.chosen, c.step);
        });
        EXPECT_EQ(changed, c.changed) << c.what;
        std::vector<FieldRecord> expected = before;
        for (const Expected& e : c.expected) {
            FieldRecord& f = expected[e.field];
            s5::FieldRow(f) = static_cast<std::uint8_t>(e.row);
            s5::FieldColumn(f) = static_cast<std::uint8_t>(e.column);
            f.width = static_cast<std::uint8_t>(e.width);
            f.height = static_cast<std::uint8_t>(e.height);
        }
        const std::vector<FieldRecord> after = fields();
        ASSERT_EQ(after.size(), expected.size()) << c.what;
        for (std::size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(std::memcmp(&after[i], &expected[i], sizeof(FieldRecord)), 0)
                << c.what << ", field " << i;
        if (changed) document.undoStack().undo();
    }
}

}  // namespace
}  // namespace kestra::workbench::testing
