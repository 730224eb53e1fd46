// The main window: the windows of the open keyboards, the menus, the toolbar, the status bar
// panes, the recent-file list and the application settings.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace clavon {

class CChildFrame;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kRecentFiles = 4;

    CMainFrame();
    ~CMainFrame() override;
    CChildFrame* NewDocument();
    // Opens a document file; an unusable file gives a message and no window.
    CChildFrame* OpenDocument(const QString& path);
    CChildFrame* ActiveChild() const;
    QAction* Action(int id) const { return m_actions.at(id); }
    QLabel* PointerPane() const { return m_pointerPane; }
    QLabel* SelectionPane() const { return m_selectionPane; }
    QMdiArea* Area() const { return m_area; }
    QStringList RecentFiles() const;
    // The guide's viewer, opened by F1 (one for the program, raised when it is open already).
    QWidget* ShowHelp();
    void ShowAbout();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void UpdateActions();
    void UpdateStatus();
    // The main title names the active document.
    void UpdateTitle();
    // A new window inside the workspace: cascaded from the top left, no larger than the
    // workspace.
    void PlaceNewWindow(QMdiSubWindow* window);
    void AddRecentFile(const QString& path);
    void UpdateRecentMenu();
    QAction* Make(int id, const QString& text, const QList<QKeySequence>& keys = {});
    template <typename F>
    void OnActive(int id, F f);

    QMdiArea* m_area;
    std::map<int, QAction*> m_actions;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QLabel* m_pointerPane;
    QLabel* m_selectionPane;
    QPointer<QWidget> m_help;
    int m_untitled = 0;  // the number of the last "Untitled N"
};

// Ids of the standard commands (the program's own are in clavon_controller.h).
enum StandardId : int {
    ID_FILE_NEW = 0xE100,
    ID_FILE_OPEN = 0xE101,
    ID_FILE_CLOSE = 0xE102,
    ID_FILE_SAVE = 0xE103,
    ID_FILE_SAVE_AS = 0xE104,
    ID_APP_ABOUT = 0xE140,
    ID_APP_EXIT = 0xE141,
    ID_HELP_FINDER = 0xE143,
    ID_EDIT_CUT = 0xE123,
    ID_EDIT_COPY = 0xE122,
    ID_EDIT_PASTE = 0xE125,
    ID_EDIT_CLEAR = 0xE120,
    ID_EDIT_UNDO = 0xE12B,
    ID_EDIT_REDO = 0xE12C,
    ID_ZOOM_IN = 0xE200,
    ID_ZOOM_OUT = 0xE201,
};

}  // namespace clavon
