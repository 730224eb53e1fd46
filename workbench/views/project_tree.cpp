#include "workbench/views/project_tree.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidgetItemIterator>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"
#include "utilities/blocks.h"
#include "workbench/views/driver_texts.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

namespace {

constexpr int kPlaceRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;  // a page item whose fields are in the tree
// Tag structures nest; a damaged folder could make a loop of parents.
constexpr int kMaxTagDepth = 16;
constexpr std::size_t kPasswordRecordSize = 20;  // section 1 keeps the panel's passwords

using Place = ProjectTree::Place;
using Node = ProjectTree::Node;

template <typename T>
std::span<T> Table(mem::Ref ref, std::size_t count) {
    return blocks::Records<T>(ref, count).value_or(std::span<T>());
}

QTreeWidgetItem* NewItem(QTreeWidgetItem* parent, const QString& text, const Place& place) {
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    item->setData(0, kPlaceRole, QVariant::fromValue(place));
    return item;
}

QTreeWidgetItem* NewGroup(QTreeWidget* tree, const QString& title, std::size_t count, Node node) {
    auto* item =
        new QTreeWidgetItem(tree, QStringList{QStringLiteral("%1 (%2)").arg(title).arg(count)});
    item->setData(0, kPlaceRole, QVariant::fromValue(Place{node}));
    return item;
}

Place PlaceOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPlaceRole).value<Place>() : Place{};
}

QString Quoted(const std::string& text) {
    return QString::fromStdString(text);
}

QString FieldLine(host::Driver* driver, const ProjectBlock& project, const FieldRecord& field,
                  std::size_t number) {
    QString line = QStringLiteral("%1  %2").arg(number).arg(KindName(driver, field));
    const QString address = AddressText(driver, project, field);
    if (!address.isEmpty()) line += "  " + address;
    const std::string label = TextIn(field.label);
    if (!label.empty()) line += QStringLiteral("  \"%1\"").arg(Quoted(label));
    return line;
}

}  // namespace

ProjectTree::ProjectTree(ProjectDocument& document, QWidget* parent)
    : QTreeWidget(parent), document_(document) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(tr("Project tree"));
    connect(&document_, &ProjectDocument::projectChanged, this, &ProjectTree::rebuild);
    connect(this, &QTreeWidget::itemExpanded, this, &ProjectTree::fillFields);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { emit placeChanged(PlaceOf(item)); });
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { emit placeActivated(PlaceOf(item)); });
    rebuild();
}

void ProjectTree::setPanelModelSource(PanelModelSource source) {
    panelModel_ = std::move(source);
    rebuild();
}

void ProjectTree::setTagActions(const QList<QAction*>& actions) {
    tagActions_ = actions;
    for (QAction* action : actions) {
        action->setShortcutContext(Qt::WidgetShortcut);
        addAction(action);
    }
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = QTreeWidget::itemAt(at);
        const Node node = PlaceOf(item).node;
        if (node != Node::Tags && node != Node::Tag) return;
        setCurrentItem(item);
        QMenu::exec(tagActions_, viewport()->mapToGlobal(at), nullptr, this);
    });
}

ProjectTree::Place ProjectTree::current() const {
    return PlaceOf(currentItem());
}

void ProjectTree::select(const Place& place) {
    if (QTreeWidgetItem* item = itemAt(place)) setCurrentItem(item);
}

QTreeWidgetItem* ProjectTree::itemAt(const Place& place) const {
    if (place.node == Node::Field) {
        QTreeWidgetItem* page = itemAt(Place{Node::Page, place.page, place.page});
        if (!page) return nullptr;
        const_cast<ProjectTree*>(this)->fillFields(page);
        return place.item >= 0 && place.item < page->childCount() ? page->child(place.item) : page;
    }
    for (QTreeWidgetItemIterator it(const_cast<ProjectTree*>(this)); *it; ++it)
        if (PlaceOf(*it) == place) return *it;
    return nullptr;
}

void ProjectTree::rebuild() {
    const Place before = current();
    std::vector<Place> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded()) expanded.push_back(PlaceOf(*it));
    const bool firstFill = topLevelItemCount() == 0;

    {
        const QSignalBlocker quiet(this);
        clear();
        if (document_.hasProject()) {
            const ProjectBlock& project = document_.block();
            addProject(project);
            addPages(project);
            addAlarms(project);
            addTags(project);
            addRecipes(project);
            addPasswords(project);
            addLanguages(project);
            addNetwork(project);
        }
        if (firstFill) expanded = {Place{Node::Project}, Place{Node::Pages}};
        for (const Place& place : expanded)
            if (QTreeWidgetItem* item = itemAt(place)) {
                fillFields(item);
                item->setExpanded(true);
            }
        QTreeWidgetItem* target = itemAt(before);
        if (!target && before.node == Node::Page) target = itemAt(Place{Node::Pages});
        if (!target && before.node == Node::Tag) target = itemAt(Place{Node::Tags});
        if (!target) target = topLevelItem(0);
        setCurrentItem(target);
    }
    // Views follow the tree: they hear of the place even when it stayed, since what it shows
    // may have changed.
    emit placeChanged(current());
}

void ProjectTree::addProject(const ProjectBlock& project) {
    const ProjectRecord& r = project.record;
    auto* top = new QTreeWidgetItem(
        this, QStringList{tr("Project: %1").arg(Quoted(Text(project, r.titleId)))});
    top->setData(0, kPlaceRole, QVariant::fromValue(Place{Node::Project}));
    int line = 0;
    auto detail = [&](const QString& text) { NewItem(top, text, Place{Node::Detail, -1, line++}); };
    detail(tr("PLC type %1, project code %2").arg(r.plcType.get()).arg(r.projectType));
    host::Driver* driver = document_.driver();
    if (driver) {
        detail(tr("Driver: %1 (%2)").arg(Quoted(driver->name()), Quoted(driver->library())));
        uPLCSETUP setup = r.nodeA;
        char model[256] = "";
        if (driver->loader().GetModelName(&setup, setup.slaveAddress, model, sizeof model) &&
            model[0])
            detail(tr("PLC model: %1, slave address %2")
                       .arg(Quoted(model))
                       .arg(setup.slaveAddress.get()));
    } else {
        detail(tr("Driver: none installed"));
    }
    const QString panelModel = panelModel_ ? panelModel_(project) : QString();
    detail(tr("Panel model: %1")
               .arg(panelModel.isEmpty() ? tr("not set up (Project > Panel Setup)") : panelModel));
}

void ProjectTree::addPages(const ProjectBlock& project) {
    const auto pages = Pages(project);
    auto* group = NewGroup(this, tr("Pages"), pages.size(), Node::Pages);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        auto* item =
            NewItem(group, QStringLiteral("%1  %2").arg(p + 1).arg(Quoted(PageName(project, p))),
                    Place{Node::Page, static_cast<int>(p), static_cast<int>(p)});
        if (!Fields(pages[p]).empty())
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
}

void ProjectTree::fillFields(QTreeWidgetItem* item) {
    const Place place = PlaceOf(item);
    if (place.node != Node::Page || item->data(0, kFilledRole).toBool() || !document_.hasProject())
        return;
    item->setData(0, kFilledRole, true);
    const ProjectBlock& project = document_.block();
    const auto pages = Pages(project);
    if (place.page < 0 || static_cast<std::size_t>(place.page) >= pages.size()) return;
    const auto fields = Fields(pages[static_cast<std::size_t>(place.page)]);
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(fields.size()));
    for (std::size_t f = 0; f < fields.size(); ++f) {
        auto* child = new QTreeWidgetItem(
            QStringList{FieldLine(document_.driver(), project, fields[f], f + 1)});
        child->setData(0, kPlaceRole,
                       QVariant::fromValue(Place{Node::Field, place.page, static_cast<int>(f)}));
        children.append(child);
    }
    item->addChildren(children);
}

void ProjectTree::addAlarms(const ProjectBlock& project) {
    // Section 2a: the alarms, each a list entry whose second word names its text.
    const auto alarms = Table<ListEntry>(project.record.section2a, project.record.section2aCount);
    auto* group = NewGroup(this, tr("Alarms"), alarms.size(), Node::Alarms);
    for (std::size_t a = 0; a < alarms.size(); ++a) {
        const auto textId = static_cast<WORD>(alarms[a].lastKey.get());
        NewItem(group, QStringLiteral("%1  %2").arg(a + 1).arg(Quoted(Text(project, textId))),
                Place{Node::Alarm, -1, static_cast<int>(a)});
    }
}

void ProjectTree::addTags(const ProjectBlock& project) {
    const TagFolderHeader& folder = project.ext.tagFolder;
    const auto tags = Table<TagElement>(folder.elements, folder.count);
    auto* group = NewGroup(this, tr("Tags"), tags.size(), Node::Tags);
    std::set<std::uint16_t> placed;
    std::function<void(QTreeWidgetItem*, std::uint16_t, int)> addMembers =
        [&](QTreeWidgetItem* parent, std::uint16_t parentKey, int depth) {
            if (depth > kMaxTagDepth) return;
            for (std::size_t t = 0; t < tags.size(); ++t) {
                const TagElement& tag = tags[t];
                if (tag.parentKey != parentKey || !placed.insert(tag.key).second) continue;
                QString text = Quoted(Text(project, tag.nameId));
                if (tag.isStructure()) {
                    text += tr(" (structure)");
                } else if (ReadLe16(tag.data + offsetof(uPLCADR, dataType)) != 0) {
                    FieldRecord named{};  // a field of PLC data at the tag's address
                    named.fieldClass = kPlcDataClass;
                    std::memcpy(&named.plc, tag.data, sizeof named.plc);
                    const QString address = AddressText(document_.driver(), project, named);
                    if (!address.isEmpty()) text += "  " + address;
                }
                auto* item = NewItem(parent, text, Place{Node::Tag, -1, static_cast<int>(t)});
                if (tag.isStructure()) addMembers(item, tag.key, depth + 1);
            }
        };
    addMembers(group, 0, 0);
}

void ProjectTree::addRecipes(const ProjectBlock& project) {
    // A recipe is named by one of its fields (byte 103 set).
    struct Recipe {
        int page, field;
        QString name;
    };
    std::vector<Recipe> recipes;
    const auto pages = Pages(project);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const auto fields = Fields(pages[p]);
        for (std::size_t f = 0; f < fields.size(); ++f)
            if (fields[f].namesRecipe == 1)
                recipes.push_back({static_cast<int>(p), static_cast<int>(f),
                                   Quoted(Text(project, fields[f].textId))});
    }
    auto* group = NewGroup(this, tr("Recipes"), recipes.size(), Node::Recipes);
    for (const Recipe& recipe : recipes)
        NewItem(
            group,
            tr("Page %1, field %2 %3").arg(recipe.page + 1).arg(recipe.field + 1).arg(recipe.name),
            Place{Node::Recipe, recipe.page, recipe.field});
}

void ProjectTree::addPasswords(const ProjectBlock& project) {
    // The codes are not shown: how many there are is enough for a tree.
    const std::size_t count =
        mem::At(project.record.section1, 0, project.record.section1Count * kPasswordRecordSize)
            ? project.record.section1Count
            : 0;
    NewGroup(this, tr("Passwords"), count, Node::Passwords);
}

void ProjectTree::addLanguages(const ProjectBlock& project) {
    const std::size_t count = LanguageCount(project);
    auto* group = NewGroup(this, tr("Languages"), count, Node::Languages);
    for (std::size_t l = 0; l < count; ++l) {
        QString name = Quoted(LanguageName(project, l));
        if (name.isEmpty()) name = tr("Language %1").arg(l + 1);
        if (l == 0) name += tr(" (default)");
        NewItem(group, name, Place{Node::Language, -1, static_cast<int>(l)});
    }
}

void ProjectTree::addNetwork(const ProjectBlock& project) {
    // The active network folder: B when the project is on a PLC network, A otherwise.
    const bool onNetwork = project.record.onNetwork != 0;
    const uPLCSETUP& head = onNetwork ? project.ext.nodeB : project.record.nodeA;
    const auto nodes = head.storesChildren() ? Table<NetworkNode>(head.children, head.childCount)
                                             : std::span<NetworkNode>();
    auto* group = new QTreeWidgetItem(
        this, QStringList{onNetwork ? tr("Network (%n PLC(s))", "", static_cast<int>(nodes.size()))
                                    : tr("Network (not on a PLC network)")});
    group->setData(0, kPlaceRole, QVariant::fromValue(Place{Node::Network}));
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        QString text = tr("Slave address %1").arg(nodes[n].slaveAddress.get());
        if (nodes[n].nameId != 0u) text = Quoted(Text(project, nodes[n].nameId)) + ", " + text;
        NewItem(group, text, Place{Node::NetworkNode, -1, static_cast<int>(n)});
    }
}

}  // namespace kestra::workbench
