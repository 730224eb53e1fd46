#include "keyboard_editor/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "keyboard_editor/app_icons.h"
#include "keyboard_editor/child_frame.h"
#include "keyboard_editor/help_viewer.h"
#include "platform/message_box.h"

namespace clavon {

namespace {

// The first new window's size, when the workspace has room for it, and the cascade's step.
constexpr QSize kNewWindowSize(760, 520);
constexpr int kCascadeStep = 24;

}  // namespace

CMainFrame::CMainFrame() {
    // Every window of the program shows the program's icon.
    QApplication::setWindowIcon(ApplicationIcon());
    setWindowIcon(ApplicationIcon());
    m_area = new QMdiArea;
    m_area->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_area);
    CreateActions();
    CreateMenus();
    m_pointerPane = new QLabel;
    m_selectionPane = new QLabel;
    const QFontMetrics metrics(font());
    m_pointerPane->setMinimumWidth(metrics.horizontalAdvance("x: mmm y:mmm") + 8);
    m_selectionPane->setMinimumWidth(metrics.horizontalAdvance("x:mmm y:mmm w:mmm h:mmm") + 8);
    statusBar()->addPermanentWidget(m_pointerPane);
    statusBar()->addPermanentWidget(m_selectionPane);
    connect(m_area, &QMdiArea::subWindowActivated, this, [this] {
        UpdateActions();
        UpdateStatus();
        UpdateTitle();
    });
    UpdateActions();
    UpdateTitle();
    resize(1000, 720);
}

CMainFrame::~CMainFrame() {
    // The windows go before this frame's members: nothing of them may reach it any more.
    m_area->disconnect(this);
    for (QMdiSubWindow* sub : m_area->subWindowList())
        if (auto* child = qobject_cast<CChildFrame*>(sub->widget())) {
            child->disconnect(this);
            child->Controller().disconnect(this);
            child->Doc().UndoStack().disconnect(this);
        }
}

QAction* CMainFrame::Make(int id, const QString& text, const QList<QKeySequence>& keys) {
    auto* action = new QAction(CommandIcon(id), text, this);
    action->setData(id);
    action->setShortcuts(keys);
    // The toolbar shows icons only: the tooltip gives the command's name and its key.
    QString tip = action->iconText();
    if (!keys.isEmpty()) tip += " (" + keys.front().toString(QKeySequence::NativeText) + ")";
    action->setToolTip(tip);
    m_actions[id] = action;
    return action;
}

template <typename F>
void CMainFrame::OnActive(int id, F f) {
    connect(m_actions.at(id), &QAction::triggered, this, [this, f] {
        if (CChildFrame* child = ActiveChild()) f(*child);
    });
}

void CMainFrame::CreateActions() {
    connect(Make(ID_FILE_NEW, "&New", {QKeySequence::New}), &QAction::triggered, this,
            [this] { NewDocument(); });
    connect(Make(ID_FILE_OPEN, "&Open...", {QKeySequence::Open}), &QAction::triggered, this,
            [this] {
                const QString path =
                    QFileDialog::getOpenFileName(this, "Open", QString(), "Clavon Files (*.kbd)");
                if (!path.isEmpty()) OpenDocument(path);
            });
    Make(ID_FILE_CLOSE, "&Close",
         {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)});
    OnActive(ID_FILE_CLOSE, [this](CChildFrame&) { m_area->closeActiveSubWindow(); });
    Make(ID_FILE_SAVE, "&Save", {QKeySequence::Save});
    OnActive(ID_FILE_SAVE, [this](CChildFrame& c) {
        if (c.Save()) AddRecentFile(QString::fromStdString(c.Doc().PathName()));
    });
    Make(ID_FILE_SAVE_AS, "Save &As...", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    OnActive(ID_FILE_SAVE_AS, [this](CChildFrame& c) {
        if (c.SaveAs()) AddRecentFile(QString::fromStdString(c.Doc().PathName()));
    });
    connect(Make(ID_APP_EXIT, "E&xit", {QKeySequence(Qt::CTRL | Qt::Key_Q)}), &QAction::triggered,
            this, &QWidget::close);

    const std::pair<int, const char*> programCommands[] = {
        {ID_BUTTON, "Button"},
        {ID_VALUE, "Value"},
        {ID_KEYBOARD, "Keyboard"},
        {ID_EXPORT_ROM, "Export To ROM"},
        {ID_DOWNLOAD_ROM, "Download ROM"},
        {ID_COMM_PARAMS, "Communication Parameters..."},
        {ID_SSFDC, "SSFDC"},
        {ID_REPLACE, "Re-place Symbols"},
    };
    for (const auto& [id, text] : programCommands) {
        Make(id, text);
        const int command = id;
        OnActive(id, [command](CChildFrame& c) { c.Controller().Command(command); });
    }
    Make(ID_EDIT_UNDO, "&Undo", {QKeySequence::Undo});
    OnActive(ID_EDIT_UNDO, [](CChildFrame& c) { c.Controller().Undo(); });
    Make(ID_EDIT_REDO, "&Redo", {QKeySequence::Redo});
    OnActive(ID_EDIT_REDO, [](CChildFrame& c) { c.Controller().Redo(); });
    Make(ID_EDIT_CUT, "Cu&t", {QKeySequence::Cut});
    OnActive(ID_EDIT_CUT, [](CChildFrame& c) { c.Controller().Cut(); });
    Make(ID_EDIT_COPY, "&Copy", {QKeySequence::Copy});
    OnActive(ID_EDIT_COPY, [](CChildFrame& c) { c.Controller().Copy(); });
    Make(ID_EDIT_PASTE, "&Paste", {QKeySequence::Paste});
    OnActive(ID_EDIT_PASTE, [](CChildFrame& c) { c.Controller().Paste(); });
    Make(ID_EDIT_CLEAR, "&Delete", {QKeySequence::Delete});
    OnActive(ID_EDIT_CLEAR, [](CChildFrame& c) { c.Controller().Delete(); });
    Make(ID_ZOOM_IN, "Zoom &In", {QKeySequence::ZoomIn});
    OnActive(ID_ZOOM_IN, [](CChildFrame& c) { c.View().Zoom(1.25); });
    Make(ID_ZOOM_OUT, "Zoom &Out", {QKeySequence::ZoomOut});
    OnActive(ID_ZOOM_OUT, [](CChildFrame& c) { c.View().Zoom(0.8); });
    connect(Make(ID_HELP_FINDER, "&Help Topics", {QKeySequence::HelpContents}), &QAction::triggered,
            this, [this] { ShowHelp(); });
    connect(Make(ID_APP_ABOUT, "&About Clavon..."), &QAction::triggered, this,
            [this] { ShowAbout(); });
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS})
        file->addAction(m_actions[id]);
    file->addSeparator();
    for (int id : {ID_EXPORT_ROM, ID_DOWNLOAD_ROM, ID_SSFDC, ID_COMM_PARAMS})
        file->addAction(m_actions[id]);
    file->addSeparator();
    m_recentMenu = file->addMenu("Recent &Files");
    file->addSeparator();
    file->addAction(m_actions[ID_APP_EXIT]);
    UpdateRecentMenu();

    m_editMenu = menuBar()->addMenu("&Edit");
    for (int id : {ID_EDIT_UNDO, ID_EDIT_REDO}) m_editMenu->addAction(m_actions[id]);
    m_editMenu->addSeparator();
    for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR})
        m_editMenu->addAction(m_actions[id]);
    m_editMenu->addSeparator();
    for (int id : {ID_KEYBOARD, ID_BUTTON, ID_VALUE, ID_REPLACE})
        m_editMenu->addAction(m_actions[id]);
    m_viewMenu = menuBar()->addMenu("&View");
    for (int id : {ID_ZOOM_IN, ID_ZOOM_OUT}) m_viewMenu->addAction(m_actions[id]);
    QMenu* window = menuBar()->addMenu("&Window");
    window->addAction("&Cascade", m_area, &QMdiArea::cascadeSubWindows);
    window->addAction("&Tile", m_area, &QMdiArea::tileSubWindows);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(m_actions[ID_HELP_FINDER]);
    help->addSeparator();
    help->addAction(m_actions[ID_APP_ABOUT]);

    QToolBar* tools = addToolBar("Standard");
    tools->setObjectName("Standard");
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE}) tools->addAction(m_actions[id]);
    tools->addSeparator();
    for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) tools->addAction(m_actions[id]);
    tools->addSeparator();
    for (int id : {ID_BUTTON, ID_VALUE, ID_KEYBOARD}) tools->addAction(m_actions[id]);
    tools->addSeparator();
    for (int id : {ID_EXPORT_ROM, ID_DOWNLOAD_ROM, ID_SSFDC}) tools->addAction(m_actions[id]);
    tools->addSeparator();
    tools->addAction(m_actions[ID_HELP_FINDER]);
}

CChildFrame* CMainFrame::ActiveChild() const {
    QMdiSubWindow* sub = m_area->activeSubWindow();
    if (!sub && !m_area->subWindowList().isEmpty()) sub = m_area->subWindowList().back();
    return sub ? qobject_cast<CChildFrame*>(sub->widget()) : nullptr;
}

CChildFrame* CMainFrame::NewDocument() {
    auto* child = new CChildFrame;
    child->Doc().SetUntitledNumber(++m_untitled);
    child->UpdateTitle();
    QMdiSubWindow* sub = m_area->addSubWindow(child);
    connect(&child->Controller(), &CClavonController::statusChanged, this,
            [this] { UpdateStatus(); });
    connect(&child->Controller(), &CClavonController::transferChanged, this,
            [this] { UpdateActions(); });
    connect(&child->Controller(), &CClavonController::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&child->Doc().UndoStack(), &QUndoStack::indexChanged, this,
            [this] { UpdateActions(); });
    connect(&child->Doc().UndoStack(), &QUndoStack::cleanChanged, this, [this] { UpdateTitle(); });
    connect(child, &QWidget::windowTitleChanged, this, [this] { UpdateTitle(); });
    connect(
        child, &QObject::destroyed, this,
        [this] {
            UpdateActions();
            UpdateTitle();
        },
        Qt::QueuedConnection);
    // The window's own menu claims the File menu's keys for closing as well, and a key that
    // two actions claim does nothing: the File menu keeps them.
    if (QMenu* menu = sub->systemMenu())
        for (QAction* action : menu->actions())
            for (const QKeySequence& key : m_actions[ID_FILE_CLOSE]->shortcuts())
                if (action->shortcuts().contains(key)) action->setShortcuts({});
    PlaceNewWindow(sub);
    sub->show();
    m_area->setActiveSubWindow(sub);
    UpdateActions();
    UpdateTitle();
    return child;
}

void CMainFrame::PlaceNewWindow(QMdiSubWindow* window) {
    const QSize room = m_area->viewport()->size();
    const QSize size = kNewWindowSize.boundedTo(room);
    const int steps = std::max(0, std::min((room.width() - size.width()) / kCascadeStep,
                                           (room.height() - size.height()) / kCascadeStep));
    const int others = static_cast<int>(m_area->subWindowList().size()) - 1;
    const int offset = (others % (steps + 1)) * kCascadeStep;
    window->setGeometry(QRect(QPoint(offset, offset), size));
}

void CMainFrame::UpdateTitle() {
    CChildFrame* child = ActiveChild();
    if (!child) {
        setWindowTitle("Clavon");
        setWindowModified(false);
        return;
    }
    setWindowTitle(child->Doc().Title() + "[*] - Clavon");
    setWindowModified(child->Doc().IsModified());
}

QWidget* CMainFrame::ShowHelp() {
    if (!m_help) m_help = new CHelpViewer(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return m_help;
}

void CMainFrame::ShowAbout() {
    QMessageBox::about(this, "About Clavon", AboutText());
}

CChildFrame* CMainFrame::OpenDocument(const QString& path) {
    auto child = std::make_unique<CChildFrame>();
    std::string error;
    if (!child->Doc().Open(path.toStdString(), error)) {
        const std::string text = "Can not open " + path.toStdString() + ": " + error + ".";
        MessageBox(nullptr, text.c_str(), "Clavon", MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    child.reset();
    CChildFrame* opened = NewDocument();
    --m_untitled;  // a window with a file takes no number of its own
    opened->Doc().Open(path.toStdString(), error);
    opened->UpdateTitle();
    AddRecentFile(path);
    return opened;
}

QStringList CMainFrame::RecentFiles() const {
    QSettings settings;
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString file = settings.value(QString("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty()) files << file;
    }
    return files;
}

void CMainFrame::AddRecentFile(const QString& path) {
    if (path.isEmpty()) return;
    QStringList files = RecentFiles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    QSettings settings;
    for (int i = 1; i <= kRecentFiles; ++i)
        settings.setValue(QString("Recent File List/File%1").arg(i),
                          i <= files.size() ? files[i - 1] : QString());
    UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu() {
    m_recentMenu->clear();
    int n = 1;
    for (const QString& file : RecentFiles())
        m_recentMenu->addAction(QString("&%1 %2").arg(n++).arg(file), this,
                                [this, file] { OpenDocument(file); });
    m_recentMenu->setEnabled(!m_recentMenu->isEmpty());
}

void CMainFrame::UpdateActions() {
    CChildFrame* child = ActiveChild();
    const bool open = child != nullptr;
    bool transfer = false;
    for (QMdiSubWindow* sub : m_area->subWindowList())
        if (auto* c = qobject_cast<CChildFrame*>(sub->widget()))
            transfer = transfer || c->Controller().Manager().IsUsed();
    // Commands that need no document.
    static constexpr int kAlways[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_APP_EXIT, ID_HELP_FINDER,
                                      ID_APP_ABOUT};
    for (auto& [id, action] : m_actions)
        if (std::find(std::begin(kAlways), std::end(kAlways), id) == std::end(kAlways))
            action->setEnabled(open);
    m_editMenu->menuAction()->setVisible(open);
    m_viewMenu->menuAction()->setVisible(open);
    if (open) {
        m_actions[ID_EDIT_UNDO]->setEnabled(child->Doc().UndoStack().canUndo());
        m_actions[ID_EDIT_REDO]->setEnabled(child->Doc().UndoStack().canRedo());
        m_actions[ID_DOWNLOAD_ROM]->setEnabled(child->Controller().CanDownload());
        m_actions[ID_SSFDC]->setEnabled(!child->Controller().Manager().IsUsed());
    }
    m_actions[ID_APP_EXIT]->setEnabled(!transfer);
}

void CMainFrame::UpdateStatus() {
    CChildFrame* child = ActiveChild();
    m_pointerPane->setText(child ? child->Controller().PointerText() : QString());
    m_selectionPane->setText(child ? child->Controller().SelectionText() : QString());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_actions[ID_APP_EXIT]->isEnabled()) {
        event->ignore();
        return;
    }
    m_area->closeAllSubWindows();
    if (!m_area->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace clavon
