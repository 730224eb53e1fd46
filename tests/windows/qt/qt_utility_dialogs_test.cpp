// The tag selection, password and matrix editor dialogs on the Qt host, offscreen: clicked
// through with Qt events, checked in the records they leave.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "kestra/project.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "string_table/string_table.h"
#include "support/qt_dialogs.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"
#include "windows/clipboard.h"
#include "windows/dialog.h"
#include "windows/input.h"
#include "windows/qt/qt_host.h"

using namespace kestra;
namespace kp = kestra::platform;

using kestra::testing::ExpectTemplatePlaces;
using kestra::testing::OffscreenApplication;
using kestra::testing::PlaceCheck;

namespace {

HMODULE utilities() {
    return kp::ModuleOf(reinterpret_cast<const void*>(&ExecTagSelDlg));
}

BOOL neverSame(const void*, const void*, const void*, const void*) {
    return FALSE;
}

class QtUtilityDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        OffscreenApplication();
        host_ = std::make_unique<kp::qt::QtHost>();
    }
    void TearDown() override {
        host_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QWidget* widget(HWND dialog, int id) { return host_->widgetOf(GetDlgItem(dialog, id)); }
    void click(HWND dialog, int id, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* w = widget(dialog, id);
        ASSERT_NE(w, nullptr) << id;
        QTest::mouseClick(w, Qt::LeftButton, modifiers, QPoint(w->width() / 2, w->height() / 2));
    }
    // Offscreen windows are never active, so a click does not move the focus: the focus goes
    // where a click would put it, with Shift held as asked.
    void focusCell(HWND dialog, int id, bool shift = false) {
        kp::HoldKey(VK_SHIFT, shift);
        kp::FocusByUser(GetDlgItem(dialog, id));
        kp::HoldKey(VK_SHIFT, false);
    }
    void type(HWND dialog, int id, const char* text) {
        auto* edit = dynamic_cast<QLineEdit*>(widget(dialog, id));
        ASSERT_NE(edit, nullptr) << id;
        kp::FocusByUser(GetDlgItem(dialog, id));
        SendDlgItemMessage(dialog, id, EM_SETSEL, 0, -1);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    INT_PTR drive(const std::function<INT_PTR()>& open, const std::function<void(HWND)>& steps) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            HWND dialog = GetAncestor(GetFocus(), GA_ROOT);
            EXPECT_EQ(QApplication::activeModalWidget(), host_->widgetOf(dialog))
                << "the dialog is application-modal";
            steps(dialog);
        });
        INT_PTR result = open();
        EXPECT_TRUE(ran);
        return result;
    }
    void expectTemplatePlaces(HWND dialog, const char* name) {
        ExpectTemplatePlaces(*host_, utilities(), dialog, name, PlaceCheck::kWholeRectangle);
    }

    std::unique_ptr<kp::qt::QtHost> host_;
};

}  // namespace

TEST_F(QtUtilityDialogs, TagSelectionOpensAStructureByDoubleClickAndBindsTheChosenTag) {
    ProjectBlock project{};
    StrTabAddText("title", &project);
    TagFolderHeader folder{};
    std::uint8_t data[32] = {};
    auto add = [&](const char* name, DWORD parent, bool structure) {
        return AddTagElement(&folder, &project, name, data, static_cast<int>(parent), structure,
                             neverSame);
    };
    add("Horn", 0, false);
    DWORD boiler = add("Boiler", 0, true);
    add("Temperature", boiler, false);
    DWORD pressure = add("Pressure", boiler, false);
    std::uint8_t field[111] = {};
    TagSelection selection{};
    selection.hostRecord = field;
    selection.project = &project;
    selection.folder = &folder;
    INT_PTR result = drive([&] { return ExecTagSelDlg(nullptr, &selection); },
                           [&](HWND dialog) {
                               expectTemplatePlaces(dialog, "TagSelDlg");
                               auto* list = dynamic_cast<QListWidget*>(widget(dialog, kTagList));
                               ASSERT_NE(list, nullptr);
                               ASSERT_EQ(list->count(), 2);
                               QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                                 list->visualItemRect(list->item(1)).center());
                               // The view reports a double click on the item.
                               emit list->itemDoubleClicked(list->item(1));
                               EXPECT_EQ(list->count(), 4) << "Boiler opened";
                               QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                                 list->visualItemRect(list->item(3)).center());
                               char name[32] = "";
                               GetDlgItemText(dialog, kTagNameDisplay, name, sizeof name);
                               EXPECT_STREQ(name, "Pressure");
                               list->grab();  // the tree drawing paints through the Qt canvas
                               click(dialog, IDOK);
                           });
    EXPECT_EQ(result, kTagChosen);
    EXPECT_EQ(ReadLe16(field + 91), pressure);
    EXPECT_EQ(field[88], 0x80);
    DeleteTagFolder(&folder, &project);
    StrTabDiscard(&project);
}

TEST_F(QtUtilityDialogs, PasswordsTypedAndCheckedAreStored) {
    WORD pages = 10;
    BYTE count = 0;
    PasswordSet set{&pages, &count, 0, 0, 300};
    INT_PTR result = drive([&] { return StartPasswordDlg(nullptr, &set); },
                           [&](HWND dialog) {
                               expectTemplatePlaces(dialog, "PasswordDlg");
                               type(dialog, PasswordControl(0, kPasswordCode), "1234");
                               type(dialog, PasswordControl(1, kPasswordCode), "4x321");
                               click(dialog, PasswordControl(1, kPasswordAutoLoginBox));
                               type(dialog, PasswordControl(1, kPasswordLastPage), "4");
                               type(dialog, kPasswordTimeout, "5");
                               click(dialog, IDOK);
                           });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(count, 2);
    auto records = blocks::RecordsUpTo<PasswordRecord>(set.passwords, 2);
    EXPECT_STREQ(records[0].code, "1234");
    EXPECT_EQ(records[0].attributes, kSystemPasswordAttributes);
    EXPECT_STREQ(records[1].code, "4321") << "the letter was refused";
    EXPECT_EQ(records[1].attributes, kPasswordAutoLogin);
    EXPECT_EQ(records[1].lastPage, 4);
    EXPECT_EQ(set.logoutTimeout, 700) << "5 became 700 when the field was left";
    GlobalFree(set.passwords);
}

TEST_F(QtUtilityDialogs, TheMatrixEditorCopiesThroughTheQtClipboardAndScrollsWithQtBars) {
    constexpr int kRows = 12;
    constexpr std::size_t kField = sizeof(FieldRecord);
    HGLOBAL projectHandle = GlobalAlloc(GHND, kProjectBlockSize);
    void* project = mem::Data(projectHandle);
    HGLOBAL fields = GlobalAlloc(GHND, kField * kRows);
    HGLOBAL rows = GlobalAlloc(GHND, sizeof(MatrixRow) * kRows);
    HGLOBAL count = GlobalAlloc(GHND, 2);
    WriteLe16(mem::Data(count), 2);
    for (int r = 0; r < kRows; ++r) {
        auto& field = RecordAt<FieldRecord>(mem::Data(fields) + r * kField);
        field.list1.numeric = 1;
        for (int s = 0; s < 2; ++s) ExpPlaceValueInFolder(&field.list1, s, 10 * r + s, project);
        MatrixRow& row = blocks::RecordsUpTo<MatrixRow>(rows, kRows)[r];
        row.folderBlock = fields;
        row.folderOffset = static_cast<std::uint32_t>(r * kField + 30);
        row.fieldBlock = fields;
        row.fieldOffset = static_cast<std::uint32_t>(r * kField);
    }
    ParameterMatrix matrix{};
    matrix.setCountBlock = count;
    matrix.rowCount = kRows;
    matrix.rows = rows;
    matrix.project = projectHandle;
    matrix.title = "Recipe";
    QGuiApplication::clipboard()->clear();
    INT_PTR result =
        drive([&] { return StartMatrixEd(nullptr, &matrix); },
              [&](HWND dialog) {
                  expectTemplatePlaces(dialog, "MATRIX_ED");
                  focusCell(dialog, MatrixCell(0, 0));
                  focusCell(dialog, MatrixCell(1, 1), true);
                  click(dialog, kMatrixCopy);
                  EXPECT_EQ(QGuiApplication::clipboard()->text(), "0\t1\r\n10\t11\r\n");
                  EXPECT_TRUE(widget(dialog, kMatrixPaste)->isEnabled());
                  auto* bar = dynamic_cast<QScrollBar*>(widget(dialog, kMatrixVScroll));
                  ASSERT_NE(bar, nullptr);
                  EXPECT_EQ(bar->maximum(), 2);
                  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                  char head[8] = "";
                  GetDlgItemText(dialog, kMatrixFirstRowHead, head, sizeof head);
                  EXPECT_STREQ(head, "3");
                  QGuiApplication::clipboard()->setText("77\t78");
                  focusCell(dialog, MatrixCell(0, 0));
                  click(dialog, kMatrixPaste);
                  type(dialog, MatrixCell(1, 1), "5");
                  click(dialog, IDOK);
              });
    EXPECT_EQ(result, 1);
    auto value = [&](int r, int s) {
        DWORD v = 0;
        ExpGetValueFromFolder(&RecordAt<FieldRecord>(mem::Data(fields) + r * kField).list1, s, &v,
                              project);
        return static_cast<int>(v);
    };
    EXPECT_EQ(value(2, 0), 77);
    EXPECT_EQ(value(2, 1), 78);
    EXPECT_EQ(value(3, 1), 5);
    for (HGLOBAL h : {fields, rows, count, projectHandle}) GlobalFree(h);
}
