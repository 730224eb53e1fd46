// The shell and file trees, their file operations, drag and drop and paste, and the general
// controls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMimeData>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include "extension_classes/fab_dib_info.h"
#include "extension_classes/file_filter.h"
#include "extension_classes/general_controls.h"
#include "extension_classes/kxc_message.h"
#include "extension_classes/panel_dither.h"
#include "extension_classes/shell_tree.h"

using namespace kestra::kxc;

namespace {

// Answers message boxes with a scripted answer and keeps their texts.
class ScriptedMessages {
  public:
    explicit ScriptedMessages(int answer = IDYES) : m_answer(answer) {
        m_previous =
            KXCSetMessageAnswerer([this](QWidget*, const QString& text, const QString&, UINT) {
                texts << text;
                return m_answer;
            });
    }
    ~ScriptedMessages() { KXCSetMessageAnswerer(m_previous); }
    void Answer(int answer) { m_answer = answer; }
    QStringList texts;

  private:
    int m_answer;
    KXCMessageAnswerer m_previous;
};

class Owner : public QWidget {
  public:
    std::vector<KXCNotifyHeader> got;
    LRESULT answer = 0;

  protected:
    bool event(QEvent* e) override {
        if (e->type() != KXCNotifyEvent::Type()) return QWidget::event(e);
        auto* n = static_cast<KXCNotifyEvent*>(e);
        got.push_back(n->header);
        n->result = answer;
        return true;
    }
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ChildNames(QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

class TreeTest : public testing::Test {
  protected:
    void SetUp() override {
        root = dir.path();
        QDir(root).mkpath(QStringLiteral("pictures/old"));
        QDir(root).mkpath(QStringLiteral("empty"));
        Write(QStringLiteral("pictures/picture.Jpg"), "jpg");
        Write(QStringLiteral("pictures/b.bmp"), "bmp");
        Write(QStringLiteral("pictures/README"), "readme");
        Write(QStringLiteral("pictures/notes.txt"), "txt");
        Write(QStringLiteral("pictures/old/a.bmp"), "old a");
        tree.resize(400, 600);
        tree.SetFilterExt(QStringLiteral("*.BMP;*.JPG"));
        tree.LoadTree(root);
    }
    QString Path(const QString& relative) const { return root + QLatin1Char('/') + relative; }
    void Write(const QString& relative, const QByteArray& bytes) {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTreeWidgetItem* Item(const QString& relative) { return tree.TunnelTree(Path(relative)); }

    QTemporaryDir dir;
    QString root;
    CFileListTree tree;
};

}  // namespace

TEST(FileFilter, ComparesExtensionsOfTheEntries) {
    const QString filter = QStringLiteral("*.BMP;*.JPG");
    EXPECT_TRUE(FilterFileType(filter, QStringLiteral("picture.Jpg")));
    EXPECT_TRUE(FilterFileType(filter, QStringLiteral("/a/b/x.bmp")));
    EXPECT_FALSE(FilterFileType(filter, QStringLiteral("README")));
    EXPECT_FALSE(FilterFileType(filter, QStringLiteral("photo.jpeg")));
    EXPECT_FALSE(FilterFileType(filter, QStringLiteral("archive.bmp.gz")));
    EXPECT_FALSE(FilterFileType(QString(), QStringLiteral("x.bmp")));
    EXPECT_TRUE(FilterFileType(QStringLiteral(" *.png ; *.gif"), QStringLiteral("x.GIF")));
    EXPECT_TRUE(FilterFileType(QStringLiteral("*.*"), QStringLiteral("x.anything")));
    EXPECT_FALSE(FilterFileType(QStringLiteral("*.*"), QStringLiteral("noextension")));
}

TEST_F(TreeTest, ListsFoldersFirstAndFilteredFiles) {
    QTreeWidgetItem* pictures = Item(QStringLiteral("pictures"));
    ASSERT_TRUE(pictures);
    EXPECT_EQ(ChildNames(pictures), (QStringList{"old", "b.bmp", "picture.Jpg"}));
    EXPECT_EQ(tree.GetItemType(pictures), CShellTree::kFolderItem);
    QTreeWidgetItem* picture = tree.GetTreeFileItem(pictures, QStringLiteral("picture.Jpg"));
    EXPECT_EQ(tree.GetItemType(picture), CShellTree::kFileItem);
    EXPECT_EQ(tree.GetItemType(nullptr), CShellTree::kNoItem);
    EXPECT_EQ(tree.GetItemDirectory(picture), Path(QStringLiteral("pictures")));
    EXPECT_EQ(tree.GetItemDirectory(pictures), Path(QStringLiteral("pictures")));
    EXPECT_EQ(tree.FindFolder(Path(QStringLiteral("pictures"))), pictures);
    EXPECT_EQ(tree.FindFolder(Path(QStringLiteral("pictures/b.bmp"))), nullptr);
    EXPECT_EQ(tree.TunnelTree(Path(QStringLiteral("nowhere/x"))), nullptr);
    EXPECT_EQ(tree.TunnelTree(QStringLiteral("/somewhere/else")), nullptr);

    tree.SetFilterExt(QStringLiteral("*.txt"));
    EXPECT_EQ(tree.GetFilterExt(), QStringLiteral("*.TXT"));
    EXPECT_EQ(ChildNames(pictures), (QStringList{"old", "notes.txt"}));
    tree.SetFilterExt(QString());
    EXPECT_EQ(ChildNames(pictures), (QStringList{"old"}));
}

// Files show the desktop icon theme's icon of their type; folders the theme's folder icon.
TEST_F(TreeTest, ItemsShowTheIconsOfTheirTypes) {
    if (QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                               QStringLiteral("icons/Adwaita/index.theme"))
            .isEmpty())
        GTEST_SKIP() << "the desktop icon theme is not installed";
    QTreeWidgetItem* pictures = Item(QStringLiteral("pictures"));
    tree.SetFilterExt(QStringLiteral("*.*"));
    struct Case {
        const char* name;
        const char* icons;  // the names the theme may give the icon
    };
    const Case cases[] = {
        {"b.bmp", "image-bmp image-x-generic"},
        {"picture.Jpg", "image-jpeg image-x-generic"},
        {"notes.txt", "text-plain text-x-generic"},
        {"old", "folder"},
    };
    for (const Case& c : cases) {
        QTreeWidgetItem* item = tree.GetTreeFileItem(pictures, QString::fromLatin1(c.name));
        ASSERT_NE(item, nullptr) << c.name;
        EXPECT_TRUE(QString::fromLatin1(c.icons).split(' ').contains(item->icon(0).name()))
            << c.name << ": " << item->icon(0).name().toStdString();
    }
}

TEST_F(TreeTest, SelectingAFileTellsTheOwner) {
    Owner owner;
    tree.Socket().PlugInTo(&owner);
    QTreeWidgetItem* file = Item(QStringLiteral("pictures/old/a.bmp"));
    ASSERT_TRUE(file);
    ASSERT_FALSE(owner.got.empty());
    EXPECT_EQ(owner.got.back().code, kNotifyFileSelected);
    EXPECT_EQ(owner.got.back().path, Path(QStringLiteral("pictures/old/a.bmp")));
    EXPECT_EQ(tree.GetSelectedFile(), Path(QStringLiteral("pictures/old/a.bmp")));
    EXPECT_EQ(tree.GetSelectedFolderPath(), Path(QStringLiteral("pictures/old")));
}

TEST_F(TreeTest, FoldersWithoutPermissionStayEmpty) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    QDir(root).mkpath(QStringLiteral("locked/inner"));
    QFile::setPermissions(Path(QStringLiteral("locked")), QFileDevice::WriteOwner);
    tree.LoadTree(root);
    QTreeWidgetItem* locked = tree.SearchTree(Path(QStringLiteral("locked")));
    ASSERT_TRUE(locked);
    locked->setExpanded(true);
    EXPECT_EQ(locked->childCount(), 0);
    EXPECT_FALSE(locked->toolTip(0).isEmpty());
    QFile::setPermissions(Path(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(TreeTest, CopyAsksBeforeReplacing) {
    ScriptedMessages messages(IDNO);
    Write(QStringLiteral("empty/b.bmp"), "keep me");
    QStringList copied;
    const QStringList from = {Path(QStringLiteral("pictures/b.bmp")),
                              Path(QStringLiteral("pictures/notes.txt"))};
    EXPECT_TRUE(tree.CopyFiles(from, Path(QStringLiteral("empty")), &copied));
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QStringLiteral("The folder already contains \"b.bmp\".\n\nDo "
                                                "you want to replace it?"));
    EXPECT_EQ(copied, QStringList{Path(QStringLiteral("empty/notes.txt"))});
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty/b.bmp"))), QByteArray("keep me"));
    messages.Answer(IDYES);
    EXPECT_TRUE(tree.CopyFiles(from, Path(QStringLiteral("empty")), &copied));
    EXPECT_EQ(copied.size(), 2);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty/b.bmp"))), QByteArray("bmp"));
    messages.Answer(IDCANCEL);
    EXPECT_FALSE(tree.CopyFiles(from, Path(QStringLiteral("empty")), &copied));
    EXPECT_TRUE(copied.isEmpty());
    // No temporary files are left behind.
    EXPECT_EQ(QDir(Path(QStringLiteral("empty"))).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"b.bmp", "notes.txt"}));
}

// Collects Qt's warnings while it lives.
class QtWarnings {
  public:
    QtWarnings() { m_previous = qInstallMessageHandler(&QtWarnings::Collect); }
    ~QtWarnings() { qInstallMessageHandler(m_previous); }
    static QStringList& Texts() {
        static QStringList texts;
        return texts;
    }

  private:
    static void Collect(QtMsgType, const QMessageLogContext&, const QString& text) {
        Texts() << text;
    }
    QtMessageHandler m_previous;
};

// A copy keeps the file's permission bits, and neither a copy nor a paste of a panel image
// makes Qt complain.
TEST_F(TreeTest, CopyAndPasteKeepPermissionsQuietly) {
    ScriptedMessages messages(IDYES);
    QtWarnings warnings;
    QtWarnings::Texts().clear();
    const QString secret = Path(QStringLiteral("pictures/b.bmp"));
    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_TRUE(tree.CopyFiles({secret}, Path(QStringLiteral("empty"))));
    EXPECT_EQ(QFile::permissions(Path(QStringLiteral("empty/b.bmp"))), QFile::permissions(secret));
    FabDibInfo info;
    info.imageName = QStringLiteral("quiet");
    info.colorBits = 4;
    QImage picture(6, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QMimeData data;
    PutPanelImage(data, ReduceToPanelPalette(picture, 4, DitherKind::None), info);
    EXPECT_TRUE(tree.DoPaste(Item(QStringLiteral("empty")), data));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("empty/quiet.bmp"))));
    EXPECT_EQ(QtWarnings::Texts().join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(TreeTest, CopyAndMoveReportFailures) {
    ScriptedMessages messages(IDYES);
    EXPECT_FALSE(
        tree.CopyFiles({Path(QStringLiteral("pictures"))}, Path(QStringLiteral("pictures/old"))));
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith(QStringLiteral("These items could not be copied:")));
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("into itself")));
    EXPECT_FALSE(
        tree.MoveFiles({Path(QStringLiteral("no such file"))}, Path(QStringLiteral("empty"))));
    EXPECT_TRUE(
        messages.texts.last().startsWith(QStringLiteral("These items could not be moved:")));
    // A folder and its contents move.
    QStringList moved;
    EXPECT_TRUE(tree.MoveFiles({Path(QStringLiteral("pictures/old"))},
                               Path(QStringLiteral("empty")), &moved));
    EXPECT_EQ(moved, QStringList{Path(QStringLiteral("empty/old"))});
    EXPECT_EQ(ReadAll(Path(QStringLiteral("empty/old/a.bmp"))), QByteArray("old a"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("pictures/old"))));
}

TEST_F(TreeTest, RenameDeleteAndNewFolder) {
    ScriptedMessages messages(IDNO);
    EXPECT_FALSE(tree.RenameFile(Path(QStringLiteral("pictures/b.bmp")),
                                 Path(QStringLiteral("pictures/notes.txt"))));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("pictures/notes.txt"))), QByteArray("txt"));
    QTreeWidgetItem* b = Item(QStringLiteral("pictures/b.bmp"));
    EXPECT_FALSE(tree.DoDeleteItem(b));  // answered No
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
    messages.Answer(IDYES);
    QTreeWidgetItem* pictures = Item(QStringLiteral("pictures"));
    EXPECT_TRUE(tree.DoDeleteItem(tree.GetTreeFileItem(pictures, QStringLiteral("b.bmp"))));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
    EXPECT_EQ(ChildNames(pictures), (QStringList{"old", "picture.Jpg"}));

    EXPECT_TRUE(tree.DoNewFolder(pictures, QStringLiteral("New & odd 'name'")));
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("pictures/New & odd 'name'"))).isDir());
    EXPECT_EQ(ChildNames(pictures), (QStringList{"New & odd 'name'", "old", "picture.Jpg"}));
    EXPECT_FALSE(tree.DoNewFolder(pictures, QStringLiteral("a/b")));
    EXPECT_FALSE(tree.DoNewFolder(pictures, QStringLiteral("old")));
}

TEST_F(TreeTest, LabelEditingRenamesOrKeepsTheOldName) {
    ScriptedMessages messages(IDOK);
    QTreeWidgetItem* jpg = Item(QStringLiteral("pictures/picture.Jpg"));
    jpg->setText(0, QStringLiteral("photo.jpg"));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/photo.jpg"))));
    EXPECT_EQ(tree.GetItemPath(jpg), Path(QStringLiteral("pictures/photo.jpg")));
    jpg->setText(0, QStringLiteral("b.bmp"));  // taken
    EXPECT_EQ(jpg->text(0), QStringLiteral("photo.jpg"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("pictures/b.bmp"))), QByteArray("bmp"));
    jpg->setText(0, QStringLiteral("   "));
    EXPECT_EQ(jpg->text(0), QStringLiteral("photo.jpg"));
    jpg->setText(0, QStringLiteral("x/y.jpg"));
    EXPECT_EQ(jpg->text(0), QStringLiteral("photo.jpg"));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/photo.jpg"))));
}

TEST_F(TreeTest, DroppedFileListHasItsHeader) {
    QMimeData data;
    CFileListTree::CacheData(data, QStringLiteral("/tmp/a b.bmp"));
    EXPECT_EQ(data.urls(), QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a b.bmp"))});
    const QByteArray list = data.data(QString::fromLatin1(CFileListTree::kDropFilesMime));
    ASSERT_EQ(list.size(), 20 + 12 + 2);
    EXPECT_EQ(list.left(4), QByteArray("\x14\0\0\0", 4));
    EXPECT_EQ(list.mid(4, 16), QByteArray(16, '\0'));
    EXPECT_EQ(list.mid(20), QByteArray("/tmp/a b.bmp\0\0", 14));
}

TEST_F(TreeTest, PasteNeedsThePanelRecordBesideABitmap) {
    ScriptedMessages messages(IDOK);
    QTreeWidgetItem* empty = Item(QStringLiteral("empty"));
    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QMimeData plain;
    plain.setImageData(picture);
    EXPECT_FALSE(tree.DoPaste(empty, plain));
    EXPECT_EQ(messages.texts, QStringList{QString::fromLatin1(CFileListTree::kNoPanelInfo)});
    EXPECT_TRUE(QDir(Path(QStringLiteral("empty"))).isEmpty());

    QMimeData damaged;
    damaged.setImageData(picture);
    damaged.setData(QString::fromLatin1(kFabDibInfoMime), QByteArray(12, 'x'));
    EXPECT_FALSE(tree.DoPaste(empty, damaged));
    EXPECT_TRUE(QDir(Path(QStringLiteral("empty"))).isEmpty());

    FabDibInfo info;
    info.imageName = QStringLiteral("panel/one");
    info.colorBits = 1;
    QImage panel = ReduceToPanelPalette(picture, 1, DitherKind::None);
    panel.setPixel(3, 2, 0);
    QMimeData good;
    PutPanelImage(good, panel, info);
    empty->setExpanded(true);
    EXPECT_TRUE(tree.DoPaste(empty, good));
    const QString saved = Path(QStringLiteral("empty/panel_one.bmp"));
    const QByteArray bytes = ReadAll(saved);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(uint8_t(bytes[28]), 1);  // one bit per pixel
    QImage back(saved);
    EXPECT_EQ(back.pixel(3, 2), qRgb(0, 0, 0));
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(ChildNames(empty), QStringList{"panel_one.bmp"});

    // A dropped-file list pastes by copying, onto a file item into its folder.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(Path(QStringLiteral("pictures/b.bmp")))});
    EXPECT_TRUE(tree.DoPaste(tree.GetTreeFileItem(empty, QStringLiteral("panel_one.bmp")), files));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("empty/b.bmp"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
}

TEST_F(TreeTest, DropMovesOrCopiesButNotIntoTheOwnFolder) {
    ScriptedMessages messages(IDYES);
    tree.show();
    QTreeWidgetItem* pictures = Item(QStringLiteral("pictures"));
    QTreeWidgetItem* b = tree.GetTreeFileItem(pictures, QStringLiteral("b.bmp"));
    QTreeWidgetItem* empty = tree.SearchTree(Path(QStringLiteral("empty")));
    ASSERT_TRUE(b && empty);
    auto drop = [&](QTreeWidgetItem* onto, Qt::KeyboardModifiers modifiers) {
        QMimeData data;
        CFileListTree::CacheData(data, Path(QStringLiteral("pictures/b.bmp")));
        const QPointF at = tree.visualItemRect(onto).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              modifiers);
        QApplication::sendEvent(tree.viewport(), &enter);
        QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(tree.viewport(), &event);
    };
    drop(b, Qt::NoModifier);  // onto a file of its own folder
    drop(pictures, Qt::NoModifier);
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
    EXPECT_TRUE(messages.texts.isEmpty());
    drop(empty, Qt::ControlModifier);
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("empty/b.bmp"))));
    QFile::remove(Path(QStringLiteral("empty/b.bmp")));
    drop(empty, Qt::NoModifier);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("pictures/b.bmp"))));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("empty/b.bmp"))));
    EXPECT_EQ(ChildNames(pictures), (QStringList{"old", "picture.Jpg"}));
}

TEST_F(TreeTest, HoveringADragExpandsAFolderAfterSixTicks) {
    tree.show();
    QTreeWidgetItem* pictures = Item(QStringLiteral("pictures"));
    QTreeWidgetItem* old = tree.GetTreeFileItem(pictures, QStringLiteral("old"));
    ASSERT_TRUE(old);
    ASSERT_FALSE(old->isExpanded());
    QMimeData data;
    CFileListTree::CacheData(data, Path(QStringLiteral("pictures/b.bmp")));
    const QPoint at = tree.visualItemRect(old).center();
    QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &move);
    for (int tick = 0; tick < 7; ++tick) {
        EXPECT_FALSE(old->isExpanded()) << tick;
        tree.DragTick();
    }
    EXPECT_TRUE(old->isExpanded());
    QDragLeaveEvent leave;
    QApplication::sendEvent(tree.viewport(), &leave);
    tree.DragTick();
    EXPECT_EQ(tree.HoverTicks(), 0);
}

TEST(TabCtrlEx, KeysSkipDisabledTabs) {
    Owner owner;
    CTabCtrlEx tabs(&owner);
    for (const char* name : {"One", "Two", "Three"}) tabs.addTab(QString::fromLatin1(name));
    EXPECT_TRUE(tabs.EnableTab(1, false));
    EXPECT_FALSE(tabs.EnableTab(32, true));
    EXPECT_FALSE(tabs.IsTabEnabled(32));
    EXPECT_FALSE(tabs.IsTabEnabled(1));
    auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&tabs, &event);
    };
    tabs.setCurrentIndex(0);
    press(Qt::Key_Right);
    EXPECT_EQ(tabs.currentIndex(), 2);
    press(Qt::Key_Right);
    EXPECT_EQ(tabs.currentIndex(), 2);
    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs.currentIndex(), 0);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabs.currentIndex(), 2);
    press(Qt::Key_Left);
    EXPECT_EQ(tabs.currentIndex(), 0);
    press(Qt::Key_Left);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_EQ(tabs.NextEnabledTab(2, false), -1);
    EXPECT_EQ(tabs.PrevEnabledTab(0, true), 2);

    // The owner is asked first and may keep the current tab.
    owner.got.clear();
    owner.answer = -1;
    EXPECT_FALSE(tabs.SetActiveTab(2));
    EXPECT_EQ(tabs.currentIndex(), 0);
    ASSERT_EQ(owner.got.size(), 1u);
    EXPECT_EQ(owner.got[0].code, CTabCtrlEx::kSelChanging);
    owner.answer = 0;
    EXPECT_TRUE(tabs.SetActiveTab(2));
    EXPECT_EQ(owner.got.back().code, CTabCtrlEx::kSelChange);
}

TEST(TabCtrlEx, ClicksOnDisabledTabsAreRefused) {
    CTabCtrlEx tabs;
    for (const char* name : {"One", "Two", "Three"}) tabs.addTab(QString::fromLatin1(name));
    tabs.resize(300, 30);
    tabs.EnableTab(1, false);
    const QPointF at = tabs.tabRect(1).center();
    QMouseEvent click(QEvent::MouseButtonPress, at, tabs.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tabs, &click);
    EXPECT_EQ(tabs.currentIndex(), 0);
    const QPointF third = tabs.tabRect(2).center();
    QMouseEvent click2(QEvent::MouseButtonPress, third, tabs.mapToGlobal(third), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tabs, &click2);
    EXPECT_EQ(tabs.currentIndex(), 2);
}

TEST(GeneralControls, FixedHeaderFilterComboAndBackground) {
    KXCFixedHeaderList list;
    list.setColumnCount(2);
    list.Init();
    EXPECT_EQ(list.header()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_FALSE(list.header()->sectionsMovable());

    Owner owner;
    CFileFilterCombo combo(&owner);
    combo.SetFilters(QStringLiteral("Bitmaps (*.bmp)|*.BMP|Pictures|*.BMP;*.JPG|"));
    ASSERT_EQ(combo.count(), 2);
    EXPECT_TRUE(owner.got.empty());
    combo.setCurrentIndex(1);
    ASSERT_EQ(owner.got.size(), 1u);
    EXPECT_EQ(owner.got[0].code, kNotifyFilterChanged);
    EXPECT_EQ(owner.got[0].path, QStringLiteral("*.BMP;*.JPG"));
    EXPECT_EQ(combo.GetFilter(), QStringLiteral("*.BMP;*.JPG"));

    KXCBmpTreeCtrl tree;
    EXPECT_FALSE(tree.SetBitmap(4711u));
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable(PanelPalette(4));
    tree.SetBitmap(indexed);
    EXPECT_EQ(tree.GetPalette().size(), 16);
    tree.SetBitmap(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_TRUE(tree.GetPalette().isEmpty());
}
