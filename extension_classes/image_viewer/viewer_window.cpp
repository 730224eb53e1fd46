#include "extension_classes/image_viewer/viewer_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "extension_classes/general_controls.h"
#include "extension_classes/kxc_message.h"
#include "extension_classes/registry.h"
#include "extension_classes/shell_tree.h"
#include "extension_classes/viewer_pages.h"
#include "extension_classes/viewer_wnd.h"
#include "platform/files.h"

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

QString HelpPagePath() {
    return QString::fromStdString(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), ViewerWindow::kHelpPage));
}

}  // namespace

ViewerWindow::ViewerWindow() {
    setWindowTitle(QString::fromLatin1(kTitle));
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
    BuildMenus();
    BuildToolBar();
    LoadViewers();

    m_tree->Socket().PlugInTo(this);
    m_host->Socket().PlugInTo(this);
    m_filter->Socket().PlugInTo(this);
    m_tree->SetFilterExt(m_filter->GetFilter());
    setTabOrder(m_filter, m_tree);
    statusBar()->showMessage(QStringLiteral("Choose a picture in the tree."));
}

ViewerWindow::~ViewerWindow() {
    m_viewers.DeleteAll();
}

void ViewerWindow::Browse(const QString& folder) {
    m_tree->LoadTree(folder);
}

bool ViewerWindow::Open(const QString& file) {
    m_tree->TunnelTree(file);
    return Show(file);
}

void ViewerWindow::SetDepth(int bits) {
    for (int i = 0; i < int(std::size(kDepths)); ++i)
        if (kDepths[i].bits == bits) m_depth->setCurrentIndex(i);
}

void ViewerWindow::SetPanelSize(QSize size) {
    m_width->setValue(size.width());
    m_height->setValue(size.height());
}

void ViewerWindow::ShowTab(const QString& name) {
    auto* viewer = qobject_cast<CLeadViewerWnd*>(m_host->GetCurViewer());
    if (viewer && viewer->Tabs()) viewer->Tabs()->setCurrentIndex(name == "original" ? 1 : 0);
}

void ViewerWindow::ShowProperties() {
    m_sheet->SetViewer(m_host->GetCurViewer());
    m_sheet->show();
    m_sheet->raise();
}

void ViewerWindow::ShowHelp() {
    if (!m_help) {
        m_help = new QTextBrowser(this);
        m_help->setWindowFlag(Qt::Window);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
        m_help->setOpenExternalLinks(true);
        m_help->resize(560, 520);
    }
    const QString path = HelpPagePath();
    if (QFile::exists(path)) {
        m_help->setSource(QUrl::fromLocalFile(path));
    } else {
        m_help->setHtml(QStringLiteral("<html><head><title>%1 Help</title></head><body><p>The "
                                       "help page %2 is missing. Reinstall the program.</p>"
                                       "</body></html>")
                            .arg(QString::fromLatin1(kTitle), path.toHtmlEscaped()));
    }
    const QString title = m_help->documentTitle();
    m_help->setWindowTitle(title.isEmpty() ? QString::fromLatin1(kTitle) : title);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

QString ViewerWindow::AboutText() {
    return QStringLiteral(
        "<p><b>Image Viewer</b></p><p>Shows pictures as a Kestra operator panel shows them: "
        "converted to the panel's colours and size, ready to be copied into a folder as a "
        "panel bitmap.</p><p>Part of the Kestra panel tools.</p>");
}

bool ViewerWindow::event(QEvent* e) {
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

void ViewerWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open Folder..."), QKeySequence::Open, this,
                    &ViewerWindow::ChooseFolder);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_copy =
        edit->addAction(QStringLiteral("&Copy Panel Image"), this, &ViewerWindow::CopyPanelImage);
    m_copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    m_paste = edit->addAction(QStringLiteral("Paste &into Folder"), this,
                              [this] { Paste(m_tree->currentItem()); });
    m_paste->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+V")));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    m_properties =
        view->addAction(QStringLiteral("P&roperties..."), this, &ViewerWindow::ShowProperties);
    m_properties->setShortcut(QKeySequence(QStringLiteral("Alt+Return")));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Help Topics"), QKeySequence::HelpContents, this,
                    &ViewerWindow::ShowHelp);
    help->addSeparator();
    help->addAction(QStringLiteral("&About Image Viewer..."), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Image Viewer"), AboutText());
    });
}

void ViewerWindow::BuildToolBar() {
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
    bar->addAction(m_properties);
    bar->addAction(m_copy);
    bar->addAction(m_paste);
    connect(m_depth, &QComboBox::currentIndexChanged, this, &ViewerWindow::ApplyPanel);
    connect(m_width, &QSpinBox::valueChanged, this, &ViewerWindow::ApplyPanel);
    connect(m_height, &QSpinBox::valueChanged, this, &ViewerWindow::ApplyPanel);
}

void ViewerWindow::ChooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Open Folder"),
                                                             m_tree->GetSelectedFolderPath());
    if (!folder.isEmpty()) Browse(folder);
}

void ViewerWindow::LoadViewers() {
    if (!m_viewers.LoadFromRegistry(QString::fromLatin1(kViewerKey)))
        m_viewers.AddViewer(kLeadViewerType, kViewerStyleTabs | kViewerStyleGeneral,
                            QString::fromLatin1(kPictureExtensions));
    m_host->AddViewerList(m_viewers);
    ApplyPanel();
}

void ViewerWindow::ApplyPanel() {
    const QSize panel(m_width->value(), m_height->value());
    m_host->SetPanelInfo(panel, m_depth->currentData().toInt());
    if (auto* viewer = qobject_cast<CLeadViewerWnd*>(m_host->GetCurViewer())) {
        viewer->SetSelectSize(panel);
        viewer->Refresh();
    }
}

bool ViewerWindow::Show(const QString& path) {
    if (!m_host->FindViewer(path)) {
        statusBar()->showMessage(
            QStringLiteral("No viewer shows files like \"%1\".").arg(QFileInfo(path).fileName()));
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

void ViewerWindow::CopyPanelImage() {
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

void ViewerWindow::Paste(QTreeWidgetItem* item) {
    if (m_tree->GetItemType(item) < CShellTree::kFileItem) {
        KXCMessageBox(this, QStringLiteral("Choose a folder in the tree to paste into."),
                      MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (m_tree->DoPaste(item))
        statusBar()->showMessage(
            QStringLiteral("Pasted into %1.").arg(m_tree->GetItemDirectory(item)));
}

void ViewerWindow::TreeMenu(QTreeWidgetItem* item, QPoint at) {
    QMenu menu(this);
    const int type = m_tree->GetItemType(item);
    const bool fileOrFolder = type == CShellTree::kFileItem || type == CShellTree::kFolderItem;
    menu.addAction(QStringLiteral("&Paste"), this, [this, item] { Paste(item); })
        ->setEnabled(fileOrFolder);
    menu.addAction(QStringLiteral("New &Folder..."), this,
                   [this, item] { m_tree->DoNewFolder(item); })
        ->setEnabled(fileOrFolder);
    menu.addAction(QStringLiteral("&Rename"), this, [this, item] { m_tree->DoRenameItem(item); })
        ->setEnabled(fileOrFolder && item->parent());
    menu.addAction(QStringLiteral("&Delete"), this, [this, item] { m_tree->DoDeleteItem(item); })
        ->setEnabled(fileOrFolder && item->parent());
    menu.exec(at);
}
