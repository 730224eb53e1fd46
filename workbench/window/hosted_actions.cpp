#include "workbench/window/hosted_actions.h"

#include <QAction>
#include <QFileInfo>
#include <functional>
#include <optional>

#include "platform/message_box.h"
#include "workbench/jobs/build_jobs.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_panel_setup.h"
#include "workbench/hosted/hosted_tags.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/window/main_window.h"
#include "workbench/document/project_document.h"

namespace kestra::workbench {

namespace {

// The field the window points at: the first field selected in the page's table.
std::optional<FieldPlace> ChosenField(MainWindow& window) {
    const auto page = window.currentPage();
    const auto fields = window.selectedFields();
    if (!page || fields.empty()) return std::nullopt;
    return FieldPlace{*page, fields.front()};
}

// The tag the tree's cursor is on: its place in the tag folder.
std::optional<std::size_t> ChosenTag(MainWindow& window) {
    const ProjectTree::Place place = window.tree().current();
    if (place.node != ProjectTree::Node::Tag || place.item < 0) return std::nullopt;
    return static_cast<std::size_t>(place.item);
}

// The page whose recipe to edit: the recipe's in the tree, or the page the window shows.
std::size_t RecipePage(MainWindow& window) {
    const ProjectTree::Place place = window.tree().current();
    if (place.node == ProjectTree::Node::Recipe && place.page >= 0)
        return static_cast<std::size_t>(place.page);
    return window.currentPage().value_or(0);
}

// The project's name in reports, and the name of its file on the card.
std::string ProjectName(const ProjectDocument& document) {
    const QString name =
        document.path().isEmpty() ? document.displayName() : QFileInfo(document.path()).fileName();
    return name.toStdString();
}
std::string CardFileName(const ProjectDocument& document) {
    const std::string name = ProjectName(document);
    return name.find('.') == std::string::npos ? name + ".kpr" : name;
}

// A dialog of the project, as one change of the document.
void Change(MainWindow& window, QAction* action,
            const std::function<bool(const LoadedProject&, Driver&)>& dialog) {
    QObject::connect(action, &QAction::triggered, &window, [&window, action, dialog] {
        ProjectDocument& document = window.document();
        if (!document.hasProject() || !document.driver()) return;
        document.change(action->text().remove('&').remove("..."),
                        [&] { return dialog(document.project(), *document.driver()); });
    });
}

// A dialog of the field the window points at, which stays chosen afterwards (the table is
// read afresh after a change).
void FieldChange(MainWindow& window, QAction* action,
                 bool (*dialog)(QWidget*, const LoadedProject&, Driver&, FieldPlace)) {
    QObject::connect(action, &QAction::triggered, &window, [&window, action, dialog] {
        ProjectDocument& document = window.document();
        if (!document.hasProject() || !document.driver()) return;
        const QString caption = action->text().remove('&').remove("...");
        const auto place = ChosenField(window);
        if (!place) {
            Tell(&window, caption.toStdString(), "Choose a field in the page's table first.",
                 MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (document.change(caption, [&] {
                return dialog(&window, document.project(), *document.driver(), *place);
            }))
            window.selectFields(place->page, place->field, 1);
    });
}

// Build work on the project, which holds the document's libraries while it runs.
void Job(MainWindow& window, QAction* action,
         const std::function<void(const LoadedProject&, Driver&, const ProjectDocument&)>& job) {
    QObject::connect(action, &QAction::triggered, &window, [&window, job] {
        ProjectDocument& document = window.document();
        if (!document.hasProject() || !document.driver()) return;
        const ProjectDocument::LibraryWork work(document);
        job(document.project(), *document.driver(), document);
    });
}

// A command on the tag the tree's cursor is on.
void TagChange(MainWindow& window, QAction* action,
               bool (*command)(QWidget*, const LoadedProject&, Driver&, std::size_t)) {
    Change(window, action, [&window, command](const LoadedProject& project, Driver& driver) {
        const auto tag = ChosenTag(window);
        return tag && command(&window, project, driver, *tag);
    });
}

// A new tag or structure, beside the tag the tree's cursor is on; the cursor goes to it.
void NewTagChange(MainWindow& window, QAction* action, bool structure) {
    QObject::connect(action, &QAction::triggered, &window, [&window, action, structure] {
        ProjectDocument& document = window.document();
        if (!document.hasProject() || !document.driver()) return;
        std::size_t made = 0;
        const bool changed = document.change(action->text().remove('&').remove("..."), [&] {
            return NewTag(&window, document.project(), *document.driver(), ChosenTag(window),
                          structure, &made);
        });
        if (changed) window.tree().select({ProjectTree::Node::Tag, -1, static_cast<int>(made)});
    });
}

void UpdateEnabled(MainWindow& window) {
    const ProjectDocument& document = window.document();
    const bool served = document.hasProject() && document.driver();
    const MainWindow::HostedActions& h = window.hosted();
    for (QAction* action :
         {h.field, h.fieldTag, h.projectProperties, h.alarms, h.plcSetup, h.passwords, h.recipes, h.languages, h.network,
          h.panelSetup, h.check, h.panelImage, h.printPlcList, h.sendToCard})
        action->setEnabled(served);
    h.keyboard->setEnabled(true);
    h.cardContents->setEnabled(true);
    h.newTag->setEnabled(served);
    h.newStructure->setEnabled(served);
    const bool onTag = served && ChosenTag(window);
    for (QAction* action : {h.renameTag, h.tagProperties, h.deleteTag}) action->setEnabled(onTag);
}

}  // namespace

void ConnectHostedActions(MainWindow& window) {
    const MainWindow::HostedActions& h = window.hosted();
    FieldChange(window, h.field, &EditFieldProperties);
    FieldChange(window, h.fieldTag, &ChooseFieldTag);
    auto whole = [&window](QAction* action,
                           bool (*dialog)(QWidget*, const LoadedProject&, Driver&)) {
        Change(window, action, [&window, dialog](const LoadedProject& project, Driver& driver) {
            return dialog(&window, project, driver);
        });
    };
    whole(h.projectProperties, &EditProjectProperties);
    whole(h.alarms, &EditAlarms);
    whole(h.plcSetup, &EditPlcSetup);
    whole(h.passwords, &EditPasswords);
    whole(h.languages, &EditLanguages);
    whole(h.network, &EditNetwork);
    whole(h.panelSetup, &EditPanelSetup);
    Change(window, h.recipes, [&window](const LoadedProject& project, Driver& driver) {
        return EditRecipe(&window, project, driver, RecipePage(window));
    });
    QObject::connect(h.keyboard, &QAction::triggered, &window,
                     [&window] { StartKeyboardEditor(&window); });
    NewTagChange(window, h.newTag, false);
    NewTagChange(window, h.newStructure, true);
    TagChange(window, h.renameTag, &RenameTagAt);
    TagChange(window, h.tagProperties, &EditTagAt);
    TagChange(window, h.deleteTag, &DeleteTagAt);

    Job(window, h.check,
        [&window](const LoadedProject& project, Driver& driver, const ProjectDocument& d) {
            if (const auto report = CheckProject(&window, project, ProjectName(d), &driver))
                window.showCheckReport(*report, QString::fromStdString(ProjectName(d)));
        });
    Job(window, h.panelImage,
        [&window](const LoadedProject& project, Driver& driver, const ProjectDocument& d) {
            const QString folder = d.path().isEmpty() ? QString() : QFileInfo(d.path()).path();
            SavePanelImage(&window, project, driver, ProjectName(d), {}, folder.toStdString());
        });
    Job(window, h.printPlcList,
        [&window](const LoadedProject& project, Driver& driver, const ProjectDocument&) {
            PreviewPlcList(&window, project, driver);
        });
    Job(window, h.sendToCard,
        [&window](const LoadedProject& project, Driver& driver, const ProjectDocument& d) {
            SendToCard(&window, project, driver, ProjectName(d), CardFileName(d));
        });
    QObject::connect(h.cardContents, &QAction::triggered, &window,
                     [&window] { ShowCardContents(&window); });

    window.tree().setPanelModelSource(
        [](const ProjectBlock& project) { return QString::fromStdString(PanelModelOf(project)); });
    QObject::connect(&window.document(), &ProjectDocument::projectChanged, &window,
                     [&window] { UpdateEnabled(window); });
    QObject::connect(&window.tree(), &ProjectTree::placeChanged, &window,
                     [&window] { UpdateEnabled(window); });
    UpdateEnabled(window);
}

}  // namespace kestra::workbench
