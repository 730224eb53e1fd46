// The project as a tree: the project itself (title, PLC type and driver, PLC and panel model),
// its pages with their fields, alarms, tags, recipes, passwords, languages and network. The
// tree is rebuilt from the loaded project after every change, keeping what was open and
// where the cursor was; a page's fields are read when the page is opened.
#pragma once

#include <QTreeWidget>
#include <functional>

#include "kestra/project.h"

namespace kestra::workbench {

class ProjectDocument;

class ProjectTree : public QTreeWidget {
    Q_OBJECT
  public:
    enum class Node {
        None,
        Project,
        Detail,  // a line about the project
        Pages,
        Page,
        Field,
        Alarms,
        Alarm,
        Tags,
        Tag,
        Recipes,
        Recipe,
        Passwords,
        Languages,
        Language,
        Network,
        NetworkNode,
    };
    // Where the cursor is: the node, and for pages, fields and list items their numbers from 0
    // (`page` is the page of a field or recipe field).
    struct Place {
        Node node = Node::None;
        int page = -1;
        int item = -1;
        bool operator==(const Place&) const = default;
    };

    explicit ProjectTree(ProjectDocument& document, QWidget* parent = nullptr);

    Place current() const;
    void select(const Place& place);

    // Where the panel model comes from: the panel setup keeps it in the project.
    using PanelModelSource = std::function<QString(const ProjectBlock&)>;
    void setPanelModelSource(PanelModelSource source);

    // The commands on tags: the context menu of the Tags node and of its tags; their shortcuts
    // act while the tree has the focus.
    void setTagActions(const QList<QAction*>& actions);

  Q_SIGNALS:
    void placeChanged(const kestra::workbench::ProjectTree::Place& place);
    // Enter or a double click: the place's editor should open.
    void placeActivated(const kestra::workbench::ProjectTree::Place& place);

  private:
    void rebuild();
    void addProject(const ProjectBlock& project);
    void addPages(const ProjectBlock& project);
    void addAlarms(const ProjectBlock& project);
    void addTags(const ProjectBlock& project);
    void addRecipes(const ProjectBlock& project);
    void addPasswords(const ProjectBlock& project);
    void addLanguages(const ProjectBlock& project);
    void addNetwork(const ProjectBlock& project);
    void fillFields(QTreeWidgetItem* page);
    QTreeWidgetItem* itemAt(const Place& place) const;

    ProjectDocument& document_;
    PanelModelSource panelModel_;
    QList<QAction*> tagActions_;
};

}  // namespace kestra::workbench

Q_DECLARE_METATYPE(kestra::workbench::ProjectTree::Place)
