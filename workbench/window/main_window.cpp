#include "workbench/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "extension_classes/plc_driver.h"
#include "kestra/check.h"
#include "workbench/document/autosave.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"
#include "workbench/views/field_table_model.h"
#include "workbench/views/page_canvas.h"
#include "workbench/views/page_table_model.h"
#include "workbench/views/page_view.h"
#include "workbench/window/check_results.h"
#include "workbench/window/english_plurals.h"
#include "workbench/window/file_watch.h"
#include "workbench/window/help_window.h"
#include "workbench/window/hosted_actions.h"
#include "workbench/window/questions.h"
#include "workbench/window/user_folders.h"
#include "workbench/window/window_places.h"

// The manual and the icons are compiled into the workbench's library; a static library's
// resources are registered when something asks for them.
static void InitResources() {
    Q_INIT_RESOURCE(workbench);
}

namespace kestra::workbench {

namespace {

constexpr int kRecentFiles = 8;
constexpr int kAutosaveSeconds = 180;
constexpr const char* kAutosaveVariable = "KESTRA_WORKBENCH_AUTOSAVE_SECONDS";

// An icon of the desktop's theme, or the style's own where the theme has none.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

// A standard key, or the usual one where the desktop defines none.
QKeySequence Keys(QKeySequence::StandardKey standard, const char* usual) {
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(standard);
    return bindings.isEmpty() ? QKeySequence(QString::fromLatin1(usual)) : bindings.first();
}

// A page name is stored in 40 bytes: longer ones cannot be typed.
class PageNameValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return static_cast<std::size_t>(input.toUtf8().size()) <= kPageNameLimit ? Acceptable
                                                                                 : Invalid;
    }
};

// The pages table edits names within their limit.
class PageNameDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setValidator(new PageNameValidator(line));
        return editor;
    }
};

int AutosaveSeconds() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue(kAutosaveVariable, &ok);
    return ok && seconds > 0 ? seconds : kAutosaveSeconds;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      document_(new ProjectDocument(this)),
      autosave_(std::make_unique<Autosave>()) {
    InitResources();
    InstallEnglishPlurals();
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowIcon(QIcon(QStringLiteral(":/workbench/kestra-workbench.png")));
    buildViews();
    buildActions();
    buildMenus();
    buildToolBar();
    readSettings();

    connect(document_, &ProjectDocument::projectChanged, this, [this] {
        checkResults_->markOutOfDate();
        // The field table is read afresh: the field the tree points at stays chosen.
        if (const ProjectTree::Place place = tree_->current();
            place.node == ProjectTree::Node::Field && place.page >= 0 && place.item >= 0)
            selectFields(static_cast<std::size_t>(place.page),
                         static_cast<std::size_t>(place.item), 1);
        fillLanguages();
        updatePageHeader();
        updateActions();
        updateStatus();
    });
    connect(document_, &ProjectDocument::replaced, checkResults_, &CheckResults::clear);
    connect(document_, &ProjectDocument::fileChanged, this, [this] {
        updateTitle();
        if (views_->currentWidget() == projectView_) showPlace(tree_->current());  // its file
    });
    connect(document_, &ProjectDocument::modifiedChanged, this, [this](bool modified) {
        updateTitle();
        if (!modified) autosave_->discard();
    });
    connect(document_, &ProjectDocument::problem, this,
            [this](const QString& message) { reportFailure(tr("Undo"), message); });
    connect(&document_->undoStack(), &QUndoStack::indexChanged, this, &MainWindow::updateActions);

    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setInterval(AutosaveSeconds() * 1000);
    connect(autosaveTimer_, &QTimer::timeout, this, &MainWindow::autosaveNow);
    autosaveTimer_->start();

    fileWatch_ = new FileWatch(*this);
    ConnectHostedActions(*this);
    // The page view: Enter or a double click on a field opens its properties; a double click
    // on an empty cell, or "Add Field Here", adds a field.
    connect(displayView_, &PageView::propertiesRequested, this, [this] {
        if (hosted_.field->isEnabled()) hosted_.field->trigger();
    });
    connect(displayView_, &PageView::addFieldRequested, this,
            [this](int row, int column) { addFieldAt(row, column); });
    displayView_->addContextActions({hosted_.field, actions_.cut, actions_.copy, actions_.paste,
                                     actions_.remove});
    showPlace(tree_->current());
    updateTitle();
    updateActions();
    updateStatus();
}

MainWindow::~MainWindow() {
    // The children go after this window has stopped being one: nothing they signal may reach
    // it then.
    for (QObject* sender :
         {static_cast<QObject*>(document_), static_cast<QObject*>(&document_->undoStack()),
          static_cast<QObject*>(fieldTable_->selectionModel()),
          static_cast<QObject*>(pageTable_->selectionModel())})
        sender->disconnect(this);
}

// ---- Views -----------------------------------------------------------------------------------

void MainWindow::buildViews() {
    tree_ = new ProjectTree(*document_, this);
    auto* dock = new QDockWidget(tr("Project"), this);
    dock->setObjectName(QStringLiteral("projectDock"));
    dock->setWidget(tree_);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                      QDockWidget::DockWidgetClosable);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    connect(tree_, &ProjectTree::placeChanged, this, &MainWindow::showPlace);
    connect(tree_, &ProjectTree::placeActivated, this, &MainWindow::activatePlace);

    checkResults_ = new CheckResults(this);
    checkDock_ = new QDockWidget(tr("Check Results"), this);
    checkDock_->setObjectName(QStringLiteral("checkDock"));
    checkDock_->setWidget(checkResults_);
    checkDock_->setFeatures(dock->features());
    addDockWidget(Qt::BottomDockWidgetArea, checkDock_);
    checkDock_->hide();
    connect(checkResults_, &CheckResults::findingActivated, this, &MainWindow::showFinding);

    views_ = new QStackedWidget(this);
    setCentralWidget(views_);

    emptyView_ = new QWidget(views_);
    {
        auto* layout = new QVBoxLayout(emptyView_);
        auto* hint = new QLabel(
            tr("No project is open.\n\nMake a new one with File > New, open a project file "
               "with File > Open, or drop one on this window."),
            emptyView_);
        hint->setAlignment(Qt::AlignCenter);
        hint->setWordWrap(true);
        layout->addWidget(hint);
    }
    views_->addWidget(emptyView_);

    projectView_ = new QLabel(views_);
    projectView_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    projectView_->setMargin(12);
    projectView_->setWordWrap(true);
    projectView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    views_->addWidget(projectView_);

    pageModel_ = new PageTableModel(*document_, this);
    pagesView_ = new QWidget(views_);
    {
        auto* layout = new QVBoxLayout(pagesView_);
        pageTable_ = new QTableView(pagesView_);
        pageTable_->setModel(pageModel_);
        pageTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
        pageTable_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                    QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
        pageTable_->setTabKeyNavigation(false);
        pageTable_->horizontalHeader()->setStretchLastSection(true);
        pageTable_->verticalHeader()->hide();
        pageTable_->setColumnWidth(PageTableModel::kName, 220);
        pageTable_->setItemDelegateForColumn(PageTableModel::kName,
                                             new PageNameDelegate(pageTable_));
        pageTable_->setAccessibleName(tr("Pages"));
        layout->addWidget(new QLabel(tr("Pages: edit a name or a text in place (F2); the texts "
                                        "are those of the language chosen on the tool bar."),
                                     pagesView_));
        layout->addWidget(pageTable_);
    }
    views_->addWidget(pagesView_);

    fieldModel_ = new FieldTableModel(*document_, this);
    pageView_ = new QWidget(views_);
    {
        auto* layout = new QVBoxLayout(pageView_);
        auto* form = new QFormLayout;
        pageName_ = new QLineEdit(pageView_);
        pageName_->setValidator(new PageNameValidator(pageName_));
        pageText_ = new QLineEdit(pageView_);
        pageTextLabel_ = new QLabel(tr("Page &text:"), pageView_);
        pageTextLabel_->setBuddy(pageText_);
        auto* nameLabel = new QLabel(tr("Page &name:"), pageView_);
        nameLabel->setBuddy(pageName_);
        form->addRow(nameLabel, pageName_);
        form->addRow(pageTextLabel_, pageText_);
        layout->addLayout(form);
        fieldTable_ = new QTableView(pageView_);
        fieldTable_->setModel(fieldModel_);
        fieldTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
        fieldTable_->setSelectionMode(QAbstractItemView::ExtendedSelection);
        fieldTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        fieldTable_->setTabKeyNavigation(false);
        fieldTable_->horizontalHeader()->setStretchLastSection(true);
        fieldTable_->verticalHeader()->hide();
        fieldTable_->verticalHeader()->setDefaultSectionSize(fieldTable_->fontMetrics().height() +
                                                             6);
        // Room for what the S5 driver writes; the text takes the rest.
        const struct {
            int column;
            const char* widest;
        } kWidths[] = {{FieldTableModel::kNumber, "00000"},
                       {FieldTableModel::kClass, "ATTRIBUTE"},
                       {FieldTableModel::kKind, "HORZ.BARGRAPH"},
                       {FieldTableModel::kSize, "255 x 255"},
                       {FieldTableModel::kAddress, "DB255 DD127"},
                       {FieldTableModel::kFormat, "DBLE WORD(BCD)"},
                       {FieldTableModel::kLabel, "A field's label"}};
        for (const auto& width : kWidths)
            fieldTable_->setColumnWidth(width.column, fieldTable_->fontMetrics().horizontalAdvance(
                                                          QString::fromLatin1(width.widest)) +
                                                          16);
        fieldTable_->setAccessibleName(tr("Fields"));
        // The page as its display shows it, above the table (whose columns want the width);
        // both select the same fields.
        auto* splitter = new QSplitter(Qt::Vertical, pageView_);
        splitter->setChildrenCollapsible(false);
        displayView_ =
            new PageView(*document_, *fieldModel_, *fieldTable_->selectionModel(), splitter);
        splitter->addWidget(displayView_);
        splitter->addWidget(fieldTable_);
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 1);
        layout->addWidget(splitter, 1);
        // Enter on a field opens its dialog, as in the tree.
        connect(fieldTable_, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
            if (const auto page = currentPage())
                activatePlace({ProjectTree::Node::Field, static_cast<int>(*page), index.row()});
        });
        connect(pageName_, &QLineEdit::editingFinished, this, [this] {
            const auto page = currentPage();
            if (!page || !pageName_->isModified()) return;
            pageName_->setModified(false);
            const std::string name = pageName_->text().toStdString();
            const bool changed = document_->change(tr("Rename page %1").arg(*page + 1), [&] {
                return SetPageName(document_->block(), *page, name);
            });
            if (!changed) updatePageHeader();
        });
        connect(pageText_, &QLineEdit::editingFinished, this, [this] {
            const auto page = currentPage();
            if (!page || !pageText_->isModified()) return;
            pageText_->setModified(false);
            const std::string text = pageText_->text().toStdString();
            const std::size_t language = pageModel_->language();
            const bool changed = document_->change(
                tr("Change the text of page %1").arg(*page + 1),
                [&] { return SetPageText(document_->block(), *page, language, text); });
            if (!changed) updatePageHeader();
        });
    }
    views_->addWidget(pageView_);
    setTabOrder(tree_, pageName_);
    setTabOrder(pageName_, pageText_);
    setTabOrder(pageText_, fieldTable_);
    setTabOrder(fieldTable_, &displayView_->canvas());

    partView_ = new QLabel(views_);
    partView_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    partView_->setMargin(12);
    partView_->setWordWrap(true);
    views_->addWidget(partView_);

    language_ = new QComboBox(this);
    language_->setToolTip(tr("The language of the page texts shown"));
    language_->setAccessibleName(tr("Language"));
    connect(language_, &QComboBox::activated, this,
            [this](int index) { setLanguage(static_cast<std::size_t>(std::max(index, 0))); });
    connect(fieldTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateActions);
    connect(pageTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateActions);

    statusDriver_ = new QLabel(this);
    statusCounts_ = new QLabel(this);
    statusBar()->addPermanentWidget(statusCounts_);
    statusBar()->addPermanentWidget(statusDriver_);
}

void MainWindow::buildActions() {
    auto make = [this](const QString& text, QKeySequence key, const char* icon,
                       QStyle::StandardPixmap fallback, auto slot) {
        auto* action = new QAction(text, this);
        if (!key.isEmpty()) action->setShortcut(key);
        if (icon) action->setIcon(ThemeIcon(icon, fallback));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    constexpr QStyle::StandardPixmap kNone = QStyle::SP_CustomBase;
    Actions& a = actions_;
    a.newProject = make(tr("&New..."), QKeySequence::New, "document-new", QStyle::SP_FileIcon,
                        [this] { newProject(); });
    a.open = make(tr("&Open..."), QKeySequence::Open, "document-open", QStyle::SP_DialogOpenButton,
                  [this] { openFile({}); });
    a.openRepair =
        make(tr("Open with &Repairs..."), {}, nullptr, kNone, [this] { openFile({}, true); });
    a.openRepair->setStatusTip(
        tr("Open a project and mend menu fields without width or height and bitmaps without "
           "size"));
    a.save = make(tr("&Save"), QKeySequence::Save, "document-save", QStyle::SP_DialogSaveButton,
                  [this] { save(); });
    a.saveAs = make(tr("Save &As..."), Keys(QKeySequence::SaveAs, "Ctrl+Shift+S"),
                    "document-save-as", QStyle::SP_DialogSaveButton, [this] { saveAs(); });
    a.importJson = make(tr("&Import JSON..."), QKeySequence(tr("Ctrl+I")), nullptr, kNone,
                        [this] { importFile({}); });
    a.exportJson = make(tr("&Export JSON..."), QKeySequence(tr("Ctrl+E")), nullptr, kNone,
                        [this] { exportFile({}); });
    a.newWindow = make(tr("New &Window"), QKeySequence(tr("Ctrl+Shift+N")), "window-new",
                       QStyle::SP_TitleBarNormalButton, [this] { openInWindow({}); });
    a.closeWindow = make(tr("&Close Window"), QKeySequence::Close, "window-close",
                         QStyle::SP_TitleBarCloseButton, [this] { close(); });
    a.quit = make(tr("&Quit"), QKeySequence::Quit, "application-exit", QStyle::SP_DialogCloseButton,
                  [] { QApplication::closeAllWindows(); });

    a.undo = document_->undoStack().createUndoAction(this, tr("&Undo"));
    a.undo->setShortcut(Keys(QKeySequence::Undo, "Ctrl+Z"));
    a.undo->setIcon(ThemeIcon("edit-undo", QStyle::SP_ArrowBack));
    a.redo = document_->undoStack().createRedoAction(this, tr("&Redo"));
    a.redo->setShortcut(Keys(QKeySequence::Redo, "Ctrl+Shift+Z"));
    a.redo->setIcon(ThemeIcon("edit-redo", QStyle::SP_ArrowForward));
    a.cut = make(tr("Cu&t Fields"), QKeySequence::Cut, "edit-cut", kNone, [this] { cutFields(); });
    a.copy =
        make(tr("&Copy Fields"), QKeySequence::Copy, "edit-copy", kNone, [this] { copyFields(); });
    a.paste = make(tr("&Paste Fields"), QKeySequence::Paste, "edit-paste", kNone,
                   [this] { pasteFields(); });
    a.duplicate = make(tr("D&uplicate Fields"), QKeySequence(tr("Ctrl+D")), nullptr, kNone,
                       [this] { duplicateFields(); });
    a.remove = make(tr("&Delete Fields"), QKeySequence::Delete, "edit-delete", QStyle::SP_TrashIcon,
                    [this] { deleteFields(); });

    a.addPage = make(tr("&Add Page"), QKeySequence(tr("Ctrl+Shift+A")), "list-add",
                     QStyle::SP_FileDialogNewFolder, [this] { addPage(); });
    a.deletePage = make(tr("&Delete Page"), QKeySequence(tr("Ctrl+Shift+Del")), "list-remove",
                        QStyle::SP_TrashIcon, [this] { deletePages(); });
    a.pageUp = make(tr("Move Page &Up"), QKeySequence(tr("Ctrl+Shift+Up")), nullptr, kNone,
                    [this] { movePage(-1); });
    a.pageDown = make(tr("Move Page Do&wn"), QKeySequence(tr("Ctrl+Shift+Down")), nullptr, kNone,
                      [this] { movePage(1); });
    a.renamePage = make(tr("&Rename Page"), QKeySequence(tr("F2")), nullptr, kNone, [this] {
        if (views_->currentWidget() == pageView_) {
            pageName_->setFocus();
            pageName_->selectAll();
        } else if (views_->currentWidget() == pagesView_) {
            const QModelIndex row = pageTable_->currentIndex();
            if (row.isValid()) pageTable_->edit(row.siblingAtColumn(PageTableModel::kName));
        }
    });

    a.addField = make(tr("Add &Field..."), QKeySequence(tr("Ctrl+Shift+F")), "insert-object",
                      QStyle::SP_FileLinkIcon, [this] { addField(); });
    a.fieldUp = make(tr("Move Field U&p"), QKeySequence(tr("Ctrl+Up")), "go-up", QStyle::SP_ArrowUp,
                     [this] { moveField(-1); });
    a.fieldDown = make(tr("Move Field Dow&n"), QKeySequence(tr("Ctrl+Down")), "go-down",
                       QStyle::SP_ArrowDown, [this] { moveField(1); });

    a.manual = make(tr("Workbench &Manual"), QKeySequence::HelpContents, "help-contents",
                    QStyle::SP_DialogHelpButton, [this] { showManual(); });
    a.about = make(tr("&About Kestra Workbench"), {}, "help-about",
                   QStyle::SP_MessageBoxInformation, [this] { showAbout(); });
    a.aboutQt = make(tr("About &Qt"), {}, nullptr, kNone, [] { QApplication::aboutQt(); });

    // Served by the hosted dialogs and build jobs (MainWindow::HostedActions); disabled until
    // they are connected.
    auto hosted = [this](const QString& text, QKeySequence key = {}) {
        auto* action = new QAction(text, this);
        if (!key.isEmpty()) action->setShortcut(key);
        action->setEnabled(false);
        return action;
    };
    HostedActions& h = hosted_;
    h.field = hosted(tr("Field &Properties..."), QKeySequence(tr("Alt+Return")));
    h.fieldTag = hosted(tr("Field &Tag..."));
    h.projectProperties = hosted(tr("Project Propert&ies..."));
    h.alarms = hosted(tr("&Alarms..."));
    h.plcSetup = hosted(tr("&PLC Setup..."));
    h.passwords = hosted(tr("Pass&words..."));
    h.recipes = hosted(tr("&Recipes..."));
    h.languages = hosted(tr("&Languages..."));
    h.network = hosted(tr("&Network..."));
    h.panelSetup = hosted(tr("Panel &Setup..."));
    h.keyboard = hosted(tr("&Keyboard..."));
    h.check = hosted(tr("&Check Project"), QKeySequence(tr("Ctrl+K")));
    h.panelImage = hosted(tr("&Panel Image..."), QKeySequence(tr("Ctrl+B")));
    h.printPlcList = hosted(tr("Print PLC &List..."), QKeySequence::Print);
    h.sendToCard = hosted(tr("&Send to Card..."));
    h.cardContents = hosted(tr("Card &Contents..."));
    h.newTag = hosted(tr("&New Tag..."), QKeySequence(Qt::Key_Insert));
    h.newStructure = hosted(tr("New &Structure..."));
    h.renameTag = hosted(tr("&Rename Tag..."), QKeySequence(Qt::Key_F2));
    h.tagProperties = hosted(tr("Tag &Properties..."));
    h.deleteTag = hosted(tr("&Delete Tag"), QKeySequence(Qt::Key_Delete));
}

void MainWindow::buildMenus() {
    const Actions& a = actions_;
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addActions({a.newProject, a.open, a.openRepair});
    recentMenu_ = file->addMenu(tr("Open Re&cent"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    file->addSeparator();
    file->addActions({a.save, a.saveAs});
    file->addSeparator();
    file->addActions({a.importJson, a.exportJson});
    file->addSeparator();
    file->addActions({a.newWindow, a.closeWindow, a.quit});

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({a.undo, a.redo});
    edit->addSeparator();
    edit->addActions({a.cut, a.copy, a.paste, a.duplicate, a.remove});

    QMenu* page = menuBar()->addMenu(tr("&Page"));
    page->addActions({a.addPage, a.renamePage, a.deletePage});
    page->addSeparator();
    page->addActions({a.pageUp, a.pageDown});
    page->addSeparator();
    page->addActions({a.addField, a.fieldUp, a.fieldDown});
    page->addSeparator();
    page->addActions({hosted_.field, hosted_.fieldTag});

    QMenu* project = menuBar()->addMenu(tr("P&roject"));
    project->addActions({hosted_.projectProperties});
    project->addSeparator();
    project->addActions({hosted_.plcSetup, hosted_.alarms, hosted_.passwords, hosted_.recipes,
                         hosted_.languages, hosted_.network});
    QMenu* tags = project->addMenu(tr("&Tags"));
    const QList<QAction*> tagActions{hosted_.newTag, hosted_.newStructure, hosted_.renameTag,
                                     hosted_.tagProperties, hosted_.deleteTag};
    tags->addActions(tagActions);
    tree_->setTagActions(tagActions);
    project->addSeparator();
    project->addActions({hosted_.panelSetup, hosted_.keyboard});

    QMenu* build = menuBar()->addMenu(tr("&Build"));
    build->addActions({hosted_.check, hosted_.panelImage, hosted_.printPlcList});
    build->addSeparator();
    build->addActions({hosted_.sendToCard, hosted_.cardContents});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addActions(displayView_->viewActions());
    view->addSeparator();
    for (QDockWidget* dock : findChildren<QDockWidget*>())
        view->addAction(dock->toggleViewAction());

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addActions({a.manual});
    help->addSeparator();
    help->addActions({a.about, a.aboutQt});
}

void MainWindow::buildToolBar() {
    const Actions& a = actions_;
    QToolBar* bar = addToolBar(tr("Tool Bar"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->addActions({a.newProject, a.open, a.save});
    bar->addSeparator();
    bar->addActions({a.undo, a.redo});
    bar->addSeparator();
    bar->addActions({a.addPage, a.addField, a.remove, a.fieldUp, a.fieldDown});
    bar->addSeparator();
    auto* label = new QLabel(tr(" &Language: "), bar);
    label->setBuddy(language_);
    bar->addWidget(label);
    bar->addWidget(language_);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        if (menu->title() == tr("&View")) menu->addAction(bar->toggleViewAction());
}

// ---- Settings --------------------------------------------------------------------------------

void MainWindow::readSettings() {
    const std::unique_ptr<QSettings> settings = Settings();
    if (!restoreGeometry(settings->value("window/geometry").toByteArray())) resize(1100, 720);
    keepOnScreen();
    PlaceApart(*this);
    if (!restoreState(settings->value("window/state").toByteArray()))
        resizeDocks({findChild<QDockWidget*>(QStringLiteral("projectDock"))}, {320},
                    Qt::Horizontal);
}

// A window kept on a larger screen, or on a screen that is gone, comes back whole on the screen
// it is on now, with room for the window manager's title bar above it.
void MainWindow::keepOnScreen() {
    const QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect room = screen->availableGeometry().adjusted(0, titleBar, 0, 0);
    if (room.contains(geometry())) return;
    QRect placed(geometry().topLeft(), geometry().size().boundedTo(room.size()));
    placed.moveRight(std::min(placed.right(), room.right()));
    placed.moveBottom(std::min(placed.bottom(), room.bottom()));
    placed.moveLeft(std::max(placed.left(), room.left()));
    placed.moveTop(std::max(placed.top(), room.top()));
    setGeometry(placed);
}

void MainWindow::writeSettings() const {
    const std::unique_ptr<QSettings> settings = Settings();
    if (!PlacedByCascade(*this)) settings->setValue("window/geometry", saveGeometry());
    settings->setValue("window/state", saveState());
}

void MainWindow::addRecentFile(const QString& path) {
    QStringList files = Settings()->value("recentFiles").toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kRecentFiles) files.removeLast();
    KeepSetting("recentFiles", files);
}

void MainWindow::fillRecentMenu() {
    recentMenu_->clear();
    const std::unique_ptr<QSettings> settings = Settings();
    const QStringList files = settings->value("recentFiles").toStringList();
    for (int i = 0; i < files.size(); ++i) {
        const QString& file = files[i];
        QAction* action = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()), this,
            [this, file] { openFile(file); });
        action->setStatusTip(file);
    }
    if (files.isEmpty()) recentMenu_->addAction(tr("(none)"))->setEnabled(false);
}

// ---- What the window shows ------------------------------------------------------------------

void MainWindow::showPlace(const ProjectTree::Place& place) {
    using Node = ProjectTree::Node;
    if (!document_->hasProject()) {
        views_->setCurrentWidget(emptyView_);
        fieldModel_->setPage(std::nullopt);
        updateActions();
        return;
    }
    const ProjectBlock& project = document_->block();
    switch (place.node) {
        case Node::Page:
        case Node::Field: {
            const auto page = static_cast<std::size_t>(place.page);
            if (fieldModel_->page() != page) fieldModel_->setPage(page);
            views_->setCurrentWidget(pageView_);
            updatePageHeader();
            if (place.node == Node::Field)
                selectFields(page, static_cast<std::size_t>(place.item), 1);
            break;
        }
        case Node::Pages:
            views_->setCurrentWidget(pagesView_);
            break;
        case Node::None:
        case Node::Project:
        case Node::Detail: {
            QString summary = tr("<h2>%1</h2>")
                                  .arg(QString::fromStdString(Text(project, project.record.titleId))
                                           .toHtmlEscaped());
            auto count = [](const char* text, std::size_t n) {
                return tr(text, "", static_cast<int>(n));
            };
            summary +=
                QStringLiteral("<p>%1, %2, %3, %4.</p>")
                    .arg(count(QT_TR_N_NOOP("%n page(s)"), Pages(project).size()),
                         count(QT_TR_N_NOOP("%n language(s)"), LanguageCount(project)),
                         count(QT_TR_N_NOOP("%n tag(s)"), project.ext.tagFolder.count.get()),
                         count(QT_TR_N_NOOP("%n alarm(s)"), project.record.section2aCount.get()));
            if (document_->driver())
                summary += tr("<p>PLC driver: %1 (%2)</p>")
                               .arg(QString::fromStdString(document_->driver()->name()),
                                    QString::fromStdString(document_->driver()->library()));
            else
                summary += tr("<p><b>No PLC driver serves this project.</b> %1</p>")
                               .arg(document_->driverProblem().toHtmlEscaped());
            if (!document_->path().isEmpty())
                summary += tr("<p>File: %1</p>").arg(document_->path().toHtmlEscaped());
            projectView_->setText(summary);
            views_->setCurrentWidget(projectView_);
            break;
        }
        default: {
            struct Part {
                Node node;
                const char* text;
            };
            static const Part kParts[] = {
                {Node::Alarms, QT_TR_NOOP("The alarms are edited in the driver's alarm dialog: "
                                          "Project > Alarms, or Enter here.")},
                {Node::Alarm, QT_TR_NOOP("The alarms are edited in the driver's alarm dialog: "
                                         "Project > Alarms, or Enter here.")},
                {Node::Tags, QT_TR_NOOP("Tags and structures are made, renamed, edited and "
                                        "deleted with Project > Tags, or in the tree: Insert, F2, "
                                        "Enter, Delete. A field's tag is chosen with Page > "
                                        "Field Tag.")},
                {Node::Tag, QT_TR_NOOP("Tags and structures are made, renamed, edited and "
                                       "deleted with Project > Tags, or in the tree: Insert, F2, "
                                       "Enter, Delete. A field's tag is chosen with Page > Field "
                                       "Tag.")},
                {Node::Recipes, QT_TR_NOOP("Recipes are edited in the parameter matrix: "
                                           "Project > Recipes, or Enter here.")},
                {Node::Recipe, QT_TR_NOOP("Recipes are edited in the parameter matrix: "
                                          "Project > Recipes, or Enter here.")},
                {Node::Passwords, QT_TR_NOOP("The passwords are edited with Project > "
                                             "Passwords, or Enter here.")},
                {Node::Languages, QT_TR_NOOP("The languages are edited with Project > "
                                             "Languages; the page texts of each language in "
                                             "the pages table.")},
                {Node::Language, QT_TR_NOOP("The languages are edited with Project > "
                                            "Languages; the page texts of each language in "
                                            "the pages table.")},
                {Node::Network, QT_TR_NOOP("The PLC network is edited with Project > Network, "
                                           "the PLC with Project > PLC Setup.")},
                {Node::NetworkNode, QT_TR_NOOP("The PLC network is edited with Project > "
                                               "Network, the PLC with Project > PLC Setup.")},
            };
            QString text;
            for (const Part& part : kParts)
                if (part.node == place.node) text = tr(part.text);
            partView_->setText(text);
            views_->setCurrentWidget(partView_);
            break;
        }
    }
    updateActions();
    updateStatus();
}

void MainWindow::activatePlace(const ProjectTree::Place& place) {
    using Node = ProjectTree::Node;
    struct Opens {
        Node node;
        QAction* HostedActions::*action;
    };
    static const Opens kOpens[] = {
        {Node::Field, &HostedActions::field},         {Node::Alarms, &HostedActions::alarms},
        {Node::Alarm, &HostedActions::alarms},        {Node::Recipes, &HostedActions::recipes},
        {Node::Recipe, &HostedActions::recipes},      {Node::Passwords, &HostedActions::passwords},
        {Node::Languages, &HostedActions::languages}, {Node::Language, &HostedActions::languages},
        {Node::Network, &HostedActions::network},     {Node::NetworkNode, &HostedActions::network},
        {Node::Detail, &HostedActions::plcSetup},
        {Node::Project, &HostedActions::projectProperties},
        {Node::Tag, &HostedActions::tagProperties},
    };
    if (place.node == Node::Page || place.node == Node::Pages) {
        (views_->currentWidget() == pageView_ ? fieldTable_ : pageTable_)->setFocus();
        return;
    }
    for (const Opens& opens : kOpens) {
        QAction* action = hosted_.*opens.action;
        if (opens.node == place.node && action->isEnabled()) action->trigger();
    }
}

void MainWindow::showCheckReport(const host::CheckReport& report, const QString& name) {
    checkResults_->showReport(report, name);
    checkDock_->show();
    checkDock_->raise();
    checkResults_->list().setFocus();
    statusBar()->showMessage(checkResults_->summary(), 10000);
}

void MainWindow::showFinding(const host::CheckFinding& finding) {
    using Node = ProjectTree::Node;
    using Part = host::CheckFinding::Part;
    const int page = static_cast<int>(finding.page) - 1;
    switch (finding.part) {
        case Part::Field:
        case Part::Recipe:
            if (page < 0) return;
            if (finding.field == 0)
                tree_->select({Node::Page, page, page});
            else
                tree_->select({Node::Field, page, static_cast<int>(finding.field) - 1});
            fieldTable_->setFocus();
            return;
        case Part::Password:
            tree_->select({Node::Passwords});
            activatePlace(tree_->current());
            return;
        case Part::Project:
            tree_->select({Node::Project});
            return;
    }
}

void MainWindow::updateTitle() {
    setWindowTitle(document_->hasProject()
                       ? tr("%1[*] - Kestra Workbench").arg(document_->displayName())
                       : tr("Kestra Workbench"));
    setWindowModified(document_->isModified());
    setWindowFilePath(document_->path());
}

void MainWindow::updatePageHeader() {
    const auto page = currentPage();
    const bool show = page && document_->hasProject();
    const std::size_t language = pageModel_->language();
    if (!pageName_->hasFocus() || !pageName_->isModified())
        pageName_->setText(show ? QString::fromStdString(PageName(document_->block(), *page)) : "");
    if (!pageText_->hasFocus() || !pageText_->isModified())
        pageText_->setText(
            show ? QString::fromStdString(PageText(document_->block(), *page, language)) : "");
    pageName_->setModified(false);
    pageText_->setModified(false);
    pageTextLabel_->setText(language_->count() > 1
                                ? tr("Page &text (%1):").arg(language_->currentText())
                                : tr("Page &text:"));
}

void MainWindow::fillLanguages() {
    const QSignalBlocker quiet(language_);
    const int previous = language_->currentIndex();
    language_->clear();
    if (document_->hasProject()) {
        const ProjectBlock& project = document_->block();
        for (std::size_t l = 0; l < LanguageCount(project); ++l) {
            QString name = QString::fromStdString(LanguageName(project, l));
            if (name.isEmpty()) name = l == 0 ? tr("Default") : tr("Language %1").arg(l + 1);
            language_->addItem(name);
        }
    }
    const int index = std::clamp(previous, 0, std::max(language_->count() - 1, 0));
    language_->setCurrentIndex(index);
    language_->setEnabled(language_->count() > 1);
    displayView_->setLanguage(static_cast<std::size_t>(index));
    if (static_cast<std::size_t>(index) != pageModel_->language())
        pageModel_->setLanguage(static_cast<std::size_t>(index));
}

void MainWindow::setLanguage(std::size_t language) {
    language_->setCurrentIndex(static_cast<int>(language));
    pageModel_->setLanguage(language);
    displayView_->setLanguage(language);
    updatePageHeader();
}

void MainWindow::updateActions() {
    const bool open = document_->hasProject();
    const bool onPage = open && views_->currentWidget() == pageView_ && currentPage();
    const bool onPages = open && (onPage || views_->currentWidget() == pagesView_);
    const bool fieldsSelected = onPage && !selectedFields().empty();
    const bool driver = open && document_->driver();
    const Actions& a = actions_;
    for (QAction* action : {a.save, a.saveAs, a.exportJson}) action->setEnabled(open);
    a.cut->setEnabled(fieldsSelected);
    a.copy->setEnabled(fieldsSelected);
    a.duplicate->setEnabled(fieldsSelected);
    a.remove->setEnabled(fieldsSelected);
    a.paste->setEnabled(onPage);
    a.addField->setEnabled(onPage && driver);
    a.fieldUp->setEnabled(fieldsSelected);
    a.fieldDown->setEnabled(fieldsSelected);
    a.addPage->setEnabled(open);
    a.deletePage->setEnabled(onPages && open && Pages(document_->block()).size() > 1);
    a.pageUp->setEnabled(onPages);
    a.pageDown->setEnabled(onPages);
    a.renamePage->setEnabled(onPages);
}

void MainWindow::updateStatus() {
    if (!document_->hasProject()) {
        statusCounts_->clear();
        statusDriver_->clear();
        return;
    }
    const ProjectBlock& project = document_->block();
    const auto pages = Pages(project);
    QString counts = tr("%n page(s)", "", static_cast<int>(pages.size()));
    if (const auto page = currentPage(); page && *page < pages.size())
        counts += tr(", page %1: %n field(s)", "", static_cast<int>(Fields(pages[*page]).size()))
                      .arg(*page + 1);
    statusCounts_->setText(counts);
    statusDriver_->setText(document_->driver() ? QString::fromStdString(document_->driver()->name())
                                               : tr("no PLC driver"));
    statusDriver_->setToolTip(document_->driverProblem());
}

std::optional<std::size_t> MainWindow::currentPage() const {
    if (!document_->hasProject()) return std::nullopt;
    const std::size_t pages = Pages(document_->block()).size();
    const ProjectTree::Place place = tree_->current();
    std::optional<std::size_t> page;
    if ((place.node == ProjectTree::Node::Page || place.node == ProjectTree::Node::Field) &&
        place.page >= 0)
        page = static_cast<std::size_t>(place.page);
    else if (views_->currentWidget() == pagesView_ && pageTable_->currentIndex().isValid())
        page = static_cast<std::size_t>(pageTable_->currentIndex().row());
    return page && *page < pages ? page : std::nullopt;
}

// ---- Closing, dropping, help ----------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (document_->busy() || !settleUnsavedWork(tr("closing"))) {
        event->ignore();
        return;
    }
    writeSettings();
    autosave_->discard();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files.append(url.toLocalFile());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // The first file here, the others each in a window of its own.
    const QString first = files.takeFirst();
    QTimer::singleShot(0, this, [this, first, files] {
        openFile(first);
        for (const QString& file : files) openInWindow(file);
    });
}

void MainWindow::openInWindow(const QString& path) {
    auto* window = new MainWindow;
    window->show();
    if (!path.isEmpty()) window->openFile(path);
}

void MainWindow::takeFocusBack() {
    activateWindow();
    if (!focusWidget()) tree_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showManual() {
    HelpWindow::Show(this);
}

void MainWindow::showAbout() {
    QMessageBox::about(
        this, tr("About Kestra Workbench"),
        tr("<h3>Kestra Workbench %1</h3><p>The desktop program of the Kestra panel tools: "
           "projects, their pages and fields, the PLC driver's dialogs, panel setup, panel "
           "images, printing and SmartMedia cards, in one window.</p>")
            .arg(QApplication::applicationVersion()));
}

void MainWindow::reportFailure(const QString& what, const QString& message) {
    Tell(this, what, message);
}

}  // namespace kestra::workbench
