// The viewers, their host, the viewer list from the registry store and the property pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QSlider>
#include <QTemporaryDir>

#include "extension_classes/registry.h"
#include "extension_classes/viewer_geometry.h"
#include "extension_classes/viewer_host.h"
#include "extension_classes/viewer_pages.h"
#include "extension_classes/viewer_wnd.h"

using namespace kestra::kxc;

namespace {

// Records the notifications a window receives.
class Owner : public QWidget {
  public:
    std::vector<std::pair<UINT, UINT>> got;  // message, code
    std::vector<void*> items;
    LRESULT answer = 0;

  protected:
    bool event(QEvent* e) override {
        if (e->type() != KXCNotifyEvent::Type()) return QWidget::event(e);
        auto* n = static_cast<KXCNotifyEvent*>(e);
        got.emplace_back(n->message, n->header.code);
        items.push_back(n->header.item);
        n->result = answer;
        return true;
    }
};

class CountingViewer : public CLeadViewerWnd {
  public:
    using CLeadViewerWnd::CLeadViewerWnd;
    int refreshes = 0;
    void Refresh() override {
        ++refreshes;
        CLeadViewerWnd::Refresh();
    }
};

QImage Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    return image;
}

class ViewerTest : public testing::Test {
  protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString WritePicture(const QString& name, const QImage& image, const char* format) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ViewerTest, FileInfoSplitsAtTheBar) {
    CLeadViewerWnd viewer;
    viewer.SetFileInfo(QStringLiteral("BMP;JPG|Pictures (*.bmp;*.jpg)"));
    EXPECT_EQ(viewer.GetExt(), QStringLiteral("BMP;JPG"));
    EXPECT_EQ(viewer.GetFilter(), QStringLiteral("Pictures (*.bmp;*.jpg)"));
    viewer.SetFileInfo(QStringLiteral("BMP;JPG"));
    EXPECT_EQ(viewer.GetExt(), QStringLiteral("BMP;JPG"));
    EXPECT_TRUE(viewer.GetFilter().isEmpty());
}

TEST_F(ViewerTest, FindViewerMatchesExtensionsIgnoringCase) {
    CViewerList list;
    list.AddViewer(1, 0, QStringLiteral("PCX"));
    CViewerWnd* pictures = list.AddViewer(1, 0, QStringLiteral("BMP;JPG|x"));
    CMainViewerWnd host;
    host.AddViewerList(list);
    EXPECT_EQ(host.FindViewer(QStringLiteral("/tmp/photo.jpg")), pictures);
    EXPECT_EQ(host.FindViewer(QStringLiteral("Photo.Bmp")), pictures);
    EXPECT_EQ(host.FindViewer(QStringLiteral("a.png")), nullptr);
    EXPECT_EQ(host.FindViewer(QStringLiteral("README")), nullptr);
    host.Reset();
    EXPECT_EQ(host.FindViewer(QStringLiteral("photo.jpg")), nullptr);
    list.DeleteAll();
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ViewerTest, ViewerListComesFromTheRegistryStore) {
    KXCRegistry registry(dir.filePath(QStringLiteral("store.reg")).toStdString());
    const std::string key = "Software\\Tarvel R&D\\Viewers";
    registry.CreateKey(KXCHive::CurrentUser, key);
    CViewerList empty;
    EXPECT_FALSE(empty.LoadFromRegistry(registry, QString::fromStdString(key)));
    EXPECT_TRUE(empty.isEmpty());

    registry.SetDword(KXCHive::CurrentUser, key + "\\0", "Type", 1);
    registry.SetDword(KXCHive::CurrentUser, key + "\\0", "Style", kViewerStyleTabs);
    registry.SetString(KXCHive::CurrentUser, key + "\\0", "File Info", "BMP;JPG|Pictures");
    registry.SetDword(KXCHive::CurrentUser, key + "\\1", "Type", 7);  // no such viewer
    registry.SetString(KXCHive::CurrentUser, key + "\\2", "Type", "not a number");
    registry.SetDword(KXCHive::CurrentUser, key + "\\3", "Type", 1);
    registry.SetString(KXCHive::CurrentUser, key + "\\3", "File Info", "PNG");
    CViewerList list;
    ASSERT_TRUE(list.LoadFromRegistry(registry, QString::fromStdString(key)));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0]->GetExt(), QStringLiteral("BMP;JPG"));
    EXPECT_EQ(list[0]->GetViewerStyle(), kViewerStyleTabs);
    EXPECT_EQ(list[1]->GetExt(), QStringLiteral("PNG"));
    EXPECT_EQ(list[1]->GetViewerStyle(), 0u);
    list.DeleteAll();
}

TEST_F(ViewerTest, SetViewerNotifiesOnlyOnAChange) {
    Owner owner;
    CMainViewerWnd host(&owner);
    host.resize(300, 200);
    auto* a = new CountingViewer;
    auto* b = new CountingViewer;
    host.InsertViewer(a);
    host.InsertViewer(b);
    host.SetPanelInfo(QSize(320, 240), 4);
    ASSERT_EQ(host.GetViewer(1), a);
    EXPECT_TRUE(a->IsCreated());
    EXPECT_TRUE(host.SetViewer(a));
    EXPECT_EQ(owner.got, (std::vector<std::pair<UINT, UINT>>{{0x4E, 1002}, {0x4E, 1001}}));
    EXPECT_EQ(owner.items[1], a);
    EXPECT_EQ(a->GetPanelColorBits(), 4);
    EXPECT_EQ(a->GetImageColorBits(), 4);
    owner.got.clear();
    const int before = a->refreshes;
    EXPECT_FALSE(host.SetViewer(a));
    EXPECT_TRUE(owner.got.empty());
    EXPECT_EQ(a->refreshes, before + 1);
    owner.items.clear();
    b->Create(&host, 99);
    EXPECT_TRUE(host.SetViewer(b));
    EXPECT_EQ(owner.got, (std::vector<std::pair<UINT, UINT>>{{0x4E, 1002}, {0x4E, 1001}}));
    EXPECT_EQ(owner.items[0], a);
    EXPECT_TRUE(a->isHidden());
}

TEST_F(ViewerTest, ForwardersAnswerNothingWithoutAViewer) {
    CMainViewerWnd host;
    EXPECT_TRUE(host.GetCurFileName().isEmpty());
    EXPECT_FALSE(host.SetImageName(QStringLiteral("x")));
    EXPECT_FALSE(host.IsModified());
    EXPECT_TRUE(host.GetPanelImage().isNull());
    EXPECT_FALSE(host.SetImage(Picture(4, 4)));
    EXPECT_FALSE(host.Refresh());
    EXPECT_FALSE(host.LoadFile(QStringLiteral("photo.jpg")));
    QMimeData data;
    EXPECT_FALSE(host.CacheData(data, QStringLiteral("photo.jpg")));
    EXPECT_EQ(host.GetViewer(1), nullptr);
}

TEST_F(ViewerTest, BadFilesLeaveThePreviousPicture) {
    CMainViewerWnd host;
    host.resize(300, 200);
    auto* viewer = new CLeadViewerWnd;
    viewer->SetFileInfo(QStringLiteral("BMP;PNG;JPG"));
    host.InsertViewer(viewer);
    const QString good = WritePicture(QStringLiteral("good.png"), Picture(40, 30), "PNG");
    ASSERT_TRUE(host.LoadFile(good));
    ASSERT_EQ(host.GetCurViewer(), viewer);
    EXPECT_EQ(viewer->GetImageSize(), QSize(40, 30));
    EXPECT_EQ(viewer->GetImageName(), QStringLiteral("good"));
    const QImage shown = viewer->PanelFrame()->GetImage();
    ASSERT_FALSE(shown.isNull());

    QFile goodFile(good);
    goodFile.open(QIODevice::ReadOnly);
    const QByteArray png = goodFile.readAll();
    const QString bad[] = {
        Write(QStringLiteral("text.png"), "this is no picture"),
        Write(QStringLiteral("cut.png"), png.left(png.size() / 2)),
        Write(QStringLiteral("empty.bmp"), QByteArray()),
        dir.filePath(QStringLiteral("missing.png")),
    };
    for (const QString& path : bad) {
        EXPECT_FALSE(viewer->LoadFile(path)) << path.toStdString();
        EXPECT_FALSE(viewer->GetLastError().isEmpty());
        EXPECT_EQ(viewer->GetFileName(), good);
        EXPECT_EQ(viewer->GetImageSize(), QSize(40, 30));
        EXPECT_EQ(viewer->PanelFrame()->GetImage(), shown);
    }
}

TEST_F(ViewerTest, HugePicturesAreRefusedBeforeDecoding) {
    // A PPM header that claims 20000 x 20000 pixels.
    const QString path =
        Write(QStringLiteral("huge.ppm"), "P6\n20000 20000\n255\n" + QByteArray(64, 'x'));
    const LoadedPicture picture = LoadPictureFile(path);
    EXPECT_TRUE(picture.image.isNull());
    EXPECT_TRUE(picture.error.contains(QStringLiteral("too large"))) << picture.error.toStdString();
}

TEST_F(ViewerTest, PanelImageAndRecordGoOnTheClipboard) {
    CLeadViewerWnd viewer(kViewerStyleTabs | kViewerStyleGeneral);
    viewer.Create(nullptr, 5);
    viewer.resize(320, 240);
    viewer.SetPanelInfo(QSize(320, 240), 1);
    QMimeData empty;
    EXPECT_FALSE(viewer.CacheData(empty));
    ASSERT_TRUE(viewer.SetImage(Picture(40, 20), QString(40, QLatin1Char('p'))));
    viewer.SetSelectSize(QSize(20, 10));
    viewer.EnableMirror(true);
    QMimeData data;
    ASSERT_TRUE(viewer.CacheData(data));
    const auto record = ReadFabDibInfo(data.data(QString::fromLatin1(kFabDibInfoMime)));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->imageName, QString(31, QLatin1Char('p')));
    EXPECT_EQ(record->colorBits, 1);
    EXPECT_EQ(record->dither, 2);
    EXPECT_EQ(record->flags, kFabMirror);
    const QImage image = qvariant_cast<QImage>(data.imageData());
    EXPECT_EQ(image.size(), QSize(20, 10));
    QImage bmp;
    ASSERT_TRUE(bmp.loadFromData(data.data(QStringLiteral("image/bmp")), "BMP"));
    EXPECT_EQ(bmp.size(), QSize(20, 10));
}

TEST_F(ViewerTest, ColourPageOffersDepthsUpToThePanels) {
    CLeadViewerWnd viewer;
    viewer.SetPanelInfo(QSize(320, 240), 8);
    viewer.SetImageColorBits(4, false);
    CViewerPanelPpg page(&viewer);
    ASSERT_EQ(page.ColorCombo()->count(), 3);
    EXPECT_EQ(page.ColorCombo()->itemText(2), QStringLiteral("256 Colors"));
    EXPECT_EQ(page.ColorCombo()->currentIndex(), 1);
    page.ColorCombo()->setCurrentIndex(0);
    EXPECT_EQ(viewer.GetImageColorBits(), 1);
    EXPECT_TRUE(viewer.IsModified());

    viewer.SetPanelInfo(QSize(320, 240), 1);
    page.UpdateFromViewer();
    ASSERT_EQ(page.ColorCombo()->count(), 1);
    EXPECT_EQ(page.ColorCombo()->itemText(0), QStringLiteral("Black/White"));
    viewer.SetPanelInfo(QSize(320, 240), 24);  // another depth counts as black and white
    page.UpdateFromViewer();
    EXPECT_EQ(page.ColorCombo()->count(), 1);
}

TEST_F(ViewerTest, ImagePageStoresTenTimesTheSliderAndResets) {
    CLeadViewerWnd viewer;
    CLeadViewerPpg page(&viewer);
    EXPECT_EQ(page.ContrastSlider()->minimum(), -40);
    EXPECT_EQ(page.ContrastSlider()->maximum(), 100);
    page.ContrastSlider()->setValue(-25);
    page.BrightnessSlider()->setValue(70);
    page.DitherCombo()->setCurrentIndex(6);
    EXPECT_EQ(viewer.GetContrast(), -250);
    EXPECT_EQ(viewer.GetBrightness(), 700);
    EXPECT_EQ(viewer.GetDither(), 6);
    EXPECT_EQ(page.DitherCombo()->currentText(), QStringLiteral("Stevenson Arce"));
    EXPECT_TRUE(viewer.IsModified());
    viewer.ResetPropertySettings();
    page.UpdateFromViewer();
    EXPECT_EQ(viewer.GetContrast(), 0);
    EXPECT_EQ(viewer.GetDither(), 2);
    EXPECT_EQ(page.ContrastSlider()->value(), 0);
}

TEST_F(ViewerTest, GeneralPageShowsEightCharactersAndApplies) {
    CLeadViewerWnd viewer;
    viewer.SetImage(Picture(64, 48), QStringLiteral("conveyorbelt"));
    CViewerGeneralPpg page(&viewer);
    EXPECT_EQ(page.NameEdit()->text(), QStringLiteral("conveyor"));
    page.NameEdit()->setText(QStringLiteral("belt"));
    page.Apply();
    EXPECT_EQ(viewer.GetImageName(), QStringLiteral("belt"));
}

TEST_F(ViewerTest, SheetShowsTheViewersPagesOrTheBlankPage) {
    CViewerPps sheet;
    EXPECT_EQ(sheet.GetPageCount(), 0);
    CLeadViewerWnd plain;
    sheet.SetViewer(&plain);
    EXPECT_EQ(sheet.GetPageCount(), 2);
    CLeadViewerWnd withGeneral(kViewerStyleGeneral);
    sheet.SetViewer(&withGeneral);
    EXPECT_EQ(sheet.GetPageCount(), 3);
    EXPECT_EQ(sheet.Tabs()->tabText(2), QStringLiteral("General"));
    sheet.SetViewer(nullptr);
    EXPECT_EQ(sheet.GetPageCount(), 0);
    EXPECT_EQ(sheet.Tabs()->count(), 1);
}

TEST_F(ViewerTest, SocketTellsTheOwnerOrTheParent) {
    Owner parent;
    QWidget child(&parent);
    CWndSocket socket;
    EXPECT_EQ(socket.Notify({}), 0);
    EXPECT_EQ(socket.SendMsg(1234, 0), -1);
    socket.Attach(&child);
    parent.answer = 5;
    EXPECT_EQ(socket.Notify({&child, 1, 1003}), 5);
    Owner owner;
    socket.PlugInTo(&owner);
    ASSERT_EQ(owner.got.size(), 1u);
    EXPECT_EQ(owner.got[0].first, 41777u);
    owner.answer = 9;
    EXPECT_EQ(socket.SendMsg(1234, 0), 9);
    EXPECT_EQ(owner.got.back().first, 1234u);
}

TEST_F(ViewerTest, SizeToFitConvertsAtTheFittedSize) {
    CLeadViewerWnd viewer;
    viewer.Create(nullptr, 1);
    viewer.resize(200, 100);
    viewer.show();
    QApplication::processEvents();
    viewer.SetImage(Picture(400, 400));
    viewer.EnableSizeToFit(true);
    const QSize frame = viewer.PanelFrame()->size();
    const QRect fitted = CenterRects(QSize(400, 400), QRect(QPoint(0, 0), frame));
    EXPECT_EQ(viewer.GetFitSize(), fitted.size());
    EXPECT_EQ(viewer.PanelFrame()->GetImage().size(), fitted.size());
    viewer.EnableSizeToFit(false);
    EXPECT_EQ(viewer.PanelFrame()->GetImage().size(), QSize(400, 400));
}

// Without size to fit the picture keeps its proportions inside the selected size.
TEST_F(ViewerTest, SelectedSizeKeepsTheProportions) {
    CLeadViewerWnd viewer;
    viewer.Create(nullptr, 1);
    viewer.resize(500, 400);
    viewer.SetSelectSize(QSize(320, 240));
    struct Case {
        QSize picture, shown;
    };
    const Case cases[] = {
        {QSize(64, 64), QSize(240, 240)},  {QSize(640, 200), QSize(320, 100)},
        {QSize(100, 300), QSize(80, 240)}, {QSize(320, 240), QSize(320, 240)},
        {QSize(3000, 1), QSize(320, 1)},
    };
    for (const Case& c : cases) {
        viewer.SetImage(Picture(c.picture.width(), c.picture.height()));
        EXPECT_EQ(viewer.PanelFrame()->GetImage().size(), c.shown) << c.picture.width();
        EXPECT_EQ(viewer.GetPanelImage().size(), c.shown) << c.picture.width();
    }
    EXPECT_EQ(FitKeepingProportions(QSize(0, 5), QSize(10, 10)), QSize());
    EXPECT_EQ(FitKeepingProportions(QSize(5, 5), QSize(0, 10)), QSize());
}

// The panel frame draws an edge around the panel image, outside it, so that a white picture
// shows where it ends on the white frame.
TEST_F(ViewerTest, PanelFrameDrawsThePanelsEdge) {
    CLeadFrame frame;
    frame.resize(100, 80);
    QImage white(40, 20, QImage::Format_RGB32);
    white.fill(Qt::white);
    frame.SetImage(white);
    frame.SetEdge(true);
    const QRect placed = frame.CenterImage();
    const QImage shown = frame.grab().toImage();
    const QRect edge = placed.adjusted(-1, -1, 1, 1);
    for (QPoint p : {edge.topLeft(), edge.bottomRight(), QPoint(edge.left(), placed.center().y()),
                     QPoint(placed.center().x(), edge.bottom())})
        EXPECT_EQ(shown.pixel(p), CLeadFrame::kEdgeColor) << p.x() << "," << p.y();
    EXPECT_EQ(shown.pixel(placed.topLeft()), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(placed.bottomRight()), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(2, 2), qRgb(255, 255, 255));
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
