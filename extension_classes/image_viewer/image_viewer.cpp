// image-viewer: the viewers and the file tree side by side, as the project editor shows them.
// Browse a folder of pictures, see each converted for a 1-, 4- or 8-bit panel of a chosen size,
// change the settings on the property pages, copy the panel image and paste it into a folder.
//
//   image-viewer [folder] [--file PICTURE] [--bits 1|4|8] [--panel WxH]
//                [--tab panel|original] [--screenshot PNG] [--sheet PNG]
//
// --screenshot and --sheet save a picture of the window (and of the property sheet) and quit.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "extension_classes/general_controls.h"
#include "extension_classes/kxc_message.h"
#include "extension_classes/registry.h"
#include "extension_classes/shell_tree.h"
#include "extension_classes/viewer_host.h"
#include "extension_classes/viewer_pages.h"
#include "extension_classes/viewer_wnd.h"

namespace {

const char* const kViewerKey = "Software\\Tarvel R&D\\Image Viewers";
const char* const kPictureExtensions = "BMP;JPG;JPEG;PNG;GIF;TIF;TIFF;WEBP;PPM;PGM;PBM;XPM";
const char* const kFilters =
    "Pictures|*.BMP;*.JPG;*.JPEG;*.PNG;*.GIF;*.TIF;*.TIFF;*.WEBP;*.PPM;*.PGM|Bitmaps (*.bmp)|*.BMP|"
    "JPEG pictures (*.jpg)|*.JPG;*.JPEG|All files|*.*|";

struct DepthChoice {
    const char* text;
    int bits;
};
constexpr DepthChoice kDepths[] = {
    {"1 bit (black/white)", 1}, {"4 bits (16 colours)", 4}, {"8 bits (256 colours)", 8}};

class ViewerWindow : public QMainWindow {
  public:
    ViewerWindow() {
        setWindowTitle(QStringLiteral("Image Viewer"));
        auto* splitter = new QSplitter;
        auto* left = new QWidget;
        auto* leftLayout = new QVBoxLayout(left);
        leftLayout->setContentsMargins(4, 4, 4, 4);
        m_filter = new CFileFilterCombo;
        m_filter->SetFilters(QString::fromLatin1(kFilters));
        m_tree = new CFileListTree;
        auto* filterLabel = new QLabel(QStringLiteral("&Show:"));
        filterLabel->setBuddy(m_filter);
        auto* filterRow = new QHBoxLayout;
        filterRow->addWidget(filterLabel);
        filterRow->addWidget(m_filter, 1);
        leftLayout->addLayout(filterRow);
        leftLayout->addWidget(m_tree, 1);
        m_host = new CMainViewerWnd;
        m_host->setMinimumSize(360, 280);
        splitter->addWidget(left);
        splitter->addWidget(m_host);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({300, 700});
        setCentralWidget(splitter);

        m_sheet = new CViewerPps(this);
        BuildToolBar();
        LoadViewers();

        m_tree->Socket().PlugInTo(this);
        m_host->Socket().PlugInTo(this);
        m_filter->Socket().PlugInTo(this);
        m_tree->SetFilterExt(m_filter->GetFilter());
        setTabOrder(m_filter, m_tree);
        statusBar()->showMessage(QStringLiteral("Choose a picture in the tree."));
    }

    ~ViewerWindow() override { m_viewers.DeleteAll(); }

    void Browse(const QString& folder) { m_tree->LoadTree(folder); }
    bool Open(const QString& file) {
        m_tree->TunnelTree(file);
        return Show(file);
    }
    void SetDepth(int bits) {
        for (int i = 0; i < int(std::size(kDepths)); ++i)
            if (kDepths[i].bits == bits) m_depth->setCurrentIndex(i);
    }
    void SetPanelSize(QSize size) {
        m_width->setValue(size.width());
        m_height->setValue(size.height());
    }
    void ShowTab(const QString& name) {
        auto* viewer = qobject_cast<CLeadViewerWnd*>(m_host->GetCurViewer());
        if (viewer && viewer->Tabs()) viewer->Tabs()->setCurrentIndex(name == "original" ? 1 : 0);
    }
    CViewerPps* Sheet() { return m_sheet; }
    void ShowProperties() {
        m_sheet->SetViewer(m_host->GetCurViewer());
        m_sheet->show();
        m_sheet->raise();
    }

  protected:
    bool event(QEvent* e) override {
        if (e->type() != KXCNotifyEvent::Type()) return QMainWindow::event(e);
        auto* n = static_cast<KXCNotifyEvent*>(e);
        if (n->message != kNotifyMessage) return true;
        const KXCNotifyHeader& h = n->header;
        if (h.hwndFrom == m_tree && h.code == kNotifyFileSelected) {
            Show(h.path);
        } else if (h.hwndFrom == m_tree && h.code == kNotifyRightClick) {
            TreeMenu(static_cast<QTreeWidgetItem*>(h.item), h.pos);
        } else if (h.hwndFrom == m_filter && h.code == kNotifyFilterChanged) {
            m_tree->SetFilterExt(h.path);
        } else if (h.hwndFrom == m_host &&
                   (h.code == kNotifyViewerActivated || h.code == kNotifyViewerDeactivated)) {
            if (m_sheet->isVisible() || h.code == kNotifyViewerActivated)
                m_sheet->SetViewer(m_host->GetCurViewer());
        }
        return true;
    }

  private:
    void BuildToolBar() {
        QToolBar* bar = addToolBar(QStringLiteral("Panel"));
        bar->setMovable(false);
        auto* depthLabel = new QLabel(QStringLiteral(" &Panel colours: "));
        m_depth = new QComboBox;
        for (const DepthChoice& d : kDepths) m_depth->addItem(QString::fromLatin1(d.text), d.bits);
        m_depth->setCurrentIndex(2);
        depthLabel->setBuddy(m_depth);
        auto* sizeLabel = new QLabel(QStringLiteral("  Panel &size: "));
        m_width = new QSpinBox;
        m_height = new QSpinBox;
        for (QSpinBox* box : {m_width, m_height}) box->setRange(16, 4096);
        m_width->setValue(320);
        m_height->setValue(240);
        sizeLabel->setBuddy(m_width);
        bar->addWidget(depthLabel);
        bar->addWidget(m_depth);
        bar->addWidget(sizeLabel);
        bar->addWidget(m_width);
        bar->addWidget(new QLabel(QStringLiteral(" x ")));
        bar->addWidget(m_height);
        bar->addSeparator();
        QAction* properties = bar->addAction(QStringLiteral("P&roperties..."));
        QAction* copy = bar->addAction(QStringLiteral("&Copy Panel Image"));
        QAction* paste = bar->addAction(QStringLiteral("Paste &into Folder"));
        copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+C")));
        paste->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+V")));
        connect(properties, &QAction::triggered, this, &ViewerWindow::ShowProperties);
        connect(copy, &QAction::triggered, this, &ViewerWindow::CopyPanelImage);
        connect(paste, &QAction::triggered, this, [this] { Paste(m_tree->currentItem()); });
        connect(m_depth, &QComboBox::currentIndexChanged, this, &ViewerWindow::ApplyPanel);
        connect(m_width, &QSpinBox::valueChanged, this, &ViewerWindow::ApplyPanel);
        connect(m_height, &QSpinBox::valueChanged, this, &ViewerWindow::ApplyPanel);
    }

    void LoadViewers() {
        if (!m_viewers.LoadFromRegistry(QString::fromLatin1(kViewerKey)))
            m_viewers.AddViewer(kLeadViewerType, kViewerStyleTabs | kViewerStyleGeneral,
                                QString::fromLatin1(kPictureExtensions));
        m_host->AddViewerList(m_viewers);
        ApplyPanel();
    }

    void ApplyPanel() {
        const QSize panel(m_width->value(), m_height->value());
        m_host->SetPanelInfo(panel, m_depth->currentData().toInt());
        if (auto* viewer = qobject_cast<CLeadViewerWnd*>(m_host->GetCurViewer())) {
            viewer->SetSelectSize(panel);
            viewer->Refresh();
        }
    }

    bool Show(const QString& path) {
        if (!m_host->FindViewer(path)) {
            statusBar()->showMessage(QStringLiteral("No viewer shows files like \"%1\".")
                                         .arg(QFileInfo(path).fileName()));
            return false;
        }
        m_host->LoadFile(path);
        CViewerWnd* viewer = m_host->GetCurViewer();
        if (!viewer || viewer->GetFileName() != path) {
            const QString why = viewer ? viewer->GetLastError() : QString();
            statusBar()->showMessage(
                QStringLiteral("\"%1\" could not be shown. %2 The previous picture stays.")
                    .arg(QFileInfo(path).fileName(), why));
            return false;
        }
        // The panel tab shows the picture at the panel's size, pixel for pixel.
        if (auto* lead = qobject_cast<CLeadViewerWnd*>(viewer)) {
            lead->SetSelectSize(QSize(m_width->value(), m_height->value()));
            lead->Refresh();
        }
        const QSize size = viewer->GetImageSize();
        statusBar()->showMessage(QStringLiteral("%1: %2 x %3 pixels")
                                     .arg(QFileInfo(path).fileName())
                                     .arg(size.width())
                                     .arg(size.height()));
        return true;
    }

    void CopyPanelImage() {
        auto* data = new QMimeData;
        if (!m_host->GetCurViewer() || !m_host->GetCurViewer()->CacheData(*data)) {
            delete data;
            KXCMessageBox(this,
                          QStringLiteral("There is no panel image to copy. Choose a picture "
                                         "in the tree first."),
                          MB_OK | MB_ICONINFORMATION);
            return;
        }
        QApplication::clipboard()->setMimeData(data);
        statusBar()->showMessage(QStringLiteral("The panel image is on the clipboard."));
    }

    void Paste(QTreeWidgetItem* item) {
        if (m_tree->GetItemType(item) < CShellTree::kFileItem) {
            KXCMessageBox(this, QStringLiteral("Choose a folder in the tree to paste into."),
                          MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (m_tree->DoPaste(item))
            statusBar()->showMessage(
                QStringLiteral("Pasted into %1.").arg(m_tree->GetItemDirectory(item)));
    }

    void TreeMenu(QTreeWidgetItem* item, QPoint at) {
        QMenu menu(this);
        const int type = m_tree->GetItemType(item);
        const bool fileOrFolder = type == CShellTree::kFileItem || type == CShellTree::kFolderItem;
        menu.addAction(QStringLiteral("&Paste"), this, [this, item] { Paste(item); })
            ->setEnabled(fileOrFolder);
        menu.addAction(QStringLiteral("New &Folder..."), this,
                       [this, item] { m_tree->DoNewFolder(item); })
            ->setEnabled(fileOrFolder);
        menu.addAction(QStringLiteral("&Rename"), this,
                       [this, item] { m_tree->DoRenameItem(item); })
            ->setEnabled(fileOrFolder && item->parent());
        menu.addAction(QStringLiteral("&Delete"), this,
                       [this, item] { m_tree->DoDeleteItem(item); })
            ->setEnabled(fileOrFolder && item->parent());
        menu.exec(at);
    }

    CViewerList m_viewers;
    CFileFilterCombo* m_filter;
    CFileListTree* m_tree;
    CMainViewerWnd* m_host;
    CViewerPps* m_sheet;
    QComboBox* m_depth;
    QSpinBox* m_width;
    QSpinBox* m_height;
};

void SaveGrab(QWidget* widget, const QString& path) {
    if (!widget->grab().save(path)) qWarning("could not write %s", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows pictures as a panel would."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Folder to browse."));
    const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("Picture to show."),
                                  QStringLiteral("picture"));
    const QCommandLineOption bits(QStringLiteral("bits"), QStringLiteral("Panel colour bits."),
                                  QStringLiteral("bits"), QStringLiteral("8"));
    const QCommandLineOption panel(QStringLiteral("panel"), QStringLiteral("Panel size WxH."),
                                   QStringLiteral("size"), QStringLiteral("320x240"));
    const QCommandLineOption tab(QStringLiteral("tab"), QStringLiteral("panel or original."),
                                 QStringLiteral("tab"), QStringLiteral("panel"));
    const QCommandLineOption shot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save the window as a picture and quit."),
                                  QStringLiteral("png"));
    const QCommandLineOption sheet(QStringLiteral("sheet"),
                                   QStringLiteral("Save the property sheet as a picture too."),
                                   QStringLiteral("png"));
    parser.addOptions({file, bits, panel, tab, shot, sheet});
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
