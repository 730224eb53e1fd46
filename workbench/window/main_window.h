// The workbench's main window: the project tree in a dock, and beside it what the tree's
// cursor is on (the project, the pages as a table, a page as its display shows it with its
// fields as a table, or a part that a dialog edits); menus, tool bar and status bar; files from the menus, the
// command line and drops; unsaved work guarded by questions and an autosaved copy.
#pragma once

#include <QMainWindow>
#include <memory>

#include "workbench/views/project_tree.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QTableView;
class QTimer;
class QDockWidget;

namespace kestra::host {
struct CheckFinding;
struct CheckReport;
}  // namespace kestra::host

namespace kestra::workbench {

class Autosave;
class CheckResults;
class FieldTableModel;
class FileWatch;
class PageTableModel;
class PageView;
class ProjectDocument;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    ProjectDocument& document() { return *document_; }
    ProjectTree& tree() { return *tree_; }
    QTableView& fieldTable() { return *fieldTable_; }
    QTableView& pageTable() { return *pageTable_; }
    FieldTableModel& fieldModel() { return *fieldModel_; }
    PageTableModel& pageModel() { return *pageModel_; }
    // The page as its display shows it, above the page's field table.
    PageView& displayView() { return *displayView_; }

    // ---- Files. Each asks first when unsaved work would be lost, and tells the user in a
    // message box what went wrong; the open project stays as it was then. A file ending in
    // ".json" is imported.
    bool openFile(const QString& path, bool repair = false);
    bool importFile(const QString& path);
    bool exportFile(const QString& path);
    bool save();
    // Saves under a new name; asks for one when `path` is empty.
    bool saveAs(const QString& path = {});
    // Asks for a driver ("Select controller") and makes a new project.
    bool newProject();
    // Loads the project's file again, dropping unsaved changes (another program changed it and
    // the user chose its version); on failure the project stays as it is.
    bool reloadFromFile();
    FileWatch& fileWatch() { return *fileWatch_; }
    // Saves or drops unsaved work as the user says; false when the user cancels.
    bool settleUnsavedWork(const QString& before);

    // Writes the autosave copy now when there is unsaved work; removes it when there is none.
    void autosaveNow();
    Autosave& autosave() { return *autosave_; }
    // Offers each autosaved copy that a workbench left behind; the restored ones open in
    // windows of their own (this one when it is empty). Returns the number restored.
    int offerLeftovers();

    // The language whose texts the pages show.
    void setLanguage(std::size_t language);

    // ---- What the suite's hosted dialogs and build work serve. Each action exists disabled
    // until it is connected to its dialog or job: the hosted field dialog with the driver's PLC
    // reference page, tag selection, alarms, PLC setup with communication parameters,
    // passwords, the recipe matrix, languages, network folders, panel setup and the keyboard
    // editor; the build jobs check, panel image, print of the PLC list, send to card and card
    // contents. A dialog runs as one change of the document (ProjectDocument::change); a
    // build job holds ProjectDocument::LibraryWork while it calls the libraries. The tree
    // triggers `field` on a field, `alarms` on the alarms and so on (placeActivated).
    struct HostedActions {
        QAction* field = nullptr;
        QAction* fieldTag = nullptr;
        QAction* projectProperties = nullptr;
        QAction* alarms = nullptr;
        QAction* plcSetup = nullptr;
        QAction* passwords = nullptr;
        QAction* recipes = nullptr;
        QAction* languages = nullptr;
        QAction* network = nullptr;
        QAction* panelSetup = nullptr;
        QAction* keyboard = nullptr;
        QAction* check = nullptr;
        QAction* panelImage = nullptr;
        QAction* printPlcList = nullptr;
        QAction* sendToCard = nullptr;
        QAction* cardContents = nullptr;
        // The tags of the Tags node (Project > Tags, and the tree's context menu).
        QAction* newTag = nullptr;
        QAction* newStructure = nullptr;
        QAction* renameTag = nullptr;
        QAction* tagProperties = nullptr;
        QAction* deleteTag = nullptr;
    };
    const HostedActions& hosted() const { return hosted_; }

    // ---- The check's results, in a dock under the tables (Build > Check Project).
    CheckResults& checkResults() { return *checkResults_; }
    void showCheckReport(const host::CheckReport& report, const QString& name);
    // Shows what a result names: its field selected in its page's table (a recipe's by the
    // field that names it), or the passwords' dialog.
    void showFinding(const host::CheckFinding& finding);

    // ---- Editing (the menus' actions).
    void addPage();
    void deletePages();
    void movePage(int step);
    // Asks what the new field is (Add Field) and adds the field the driver makes of it after the
    // selected field, at the first free place of the page.
    void addField();
    // The same, with the field at a cell of the page's display (row and column from 0; moved
    // as far as it needs to lie on the display). False when nothing was added.
    bool addFieldAt(int row, int column);
    void duplicateFields();
    void deleteFields();
    void moveField(int step);
    void copyFields();
    void cutFields();
    void pasteFields();
    // Selects fields of a page in its table (the page shown then).
    void selectFields(std::size_t page, std::size_t first, std::size_t count);
    // Rows of the field table that are selected, in order.
    std::vector<std::size_t> selectedFields() const;
    // The page the window shows or the tree's cursor is in.
    std::optional<std::size_t> currentPage() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildViews();
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void readSettings();
    void keepOnScreen();
    void writeSettings() const;
    void addRecentFile(const QString& path);
    void fillRecentMenu();
    void showPlace(const ProjectTree::Place& place);
    void activatePlace(const ProjectTree::Place& place);
    void updateTitle();
    void updateActions();
    void updateStatus();
    void updatePageHeader();
    void fillLanguages();
    void reportFailure(const QString& what, const QString& message);
    bool confirmOverwriteChangedFile();
    bool addFieldWhere(std::optional<std::pair<int, int>> cell);
    void openInWindow(const QString& path);
    // Makes this window the active one again after a dialog (some window managers leave none
    // active when a dialog and its question close together, and the next key is lost).
    void takeFocusBack();
    void showManual();
    void showAbout();

    ProjectDocument* document_;
    std::unique_ptr<Autosave> autosave_;
    QTimer* autosaveTimer_ = nullptr;
    FileWatch* fileWatch_ = nullptr;

    ProjectTree* tree_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QWidget* emptyView_ = nullptr;
    QLabel* projectView_ = nullptr;
    QWidget* pagesView_ = nullptr;
    QWidget* pageView_ = nullptr;
    QLabel* partView_ = nullptr;
    CheckResults* checkResults_ = nullptr;
    QDockWidget* checkDock_ = nullptr;
    QTableView* pageTable_ = nullptr;
    QTableView* fieldTable_ = nullptr;
    PageTableModel* pageModel_ = nullptr;
    FieldTableModel* fieldModel_ = nullptr;
    PageView* displayView_ = nullptr;
    QLineEdit* pageName_ = nullptr;
    QLineEdit* pageText_ = nullptr;
    QLabel* pageTextLabel_ = nullptr;
    QComboBox* language_ = nullptr;
    QLabel* statusDriver_ = nullptr;
    QLabel* statusCounts_ = nullptr;
    QMenu* recentMenu_ = nullptr;

    struct Actions {
        QAction *newProject, *open, *openRepair, *save, *saveAs, *importJson, *exportJson,
            *newWindow, *closeWindow, *quit;
        QAction *undo, *redo, *cut, *copy, *paste, *duplicate, *remove;
        QAction *addPage, *deletePage, *pageUp, *pageDown, *renamePage;
        QAction *addField, *fieldUp, *fieldDown;
        QAction *manual, *about, *aboutQt;
    } actions_{};
    HostedActions hosted_;
};

}  // namespace kestra::workbench
