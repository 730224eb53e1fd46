#include "workbench/hosted/hosted_tags.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <memory>

#include "extension_classes/plc_driver.h"
#include "kestra/panel_display.h"
#include "platform/module.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/tables.h"
#include "workbench/hosted/hosted_panel_setup.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/hosted/reference_page.h"
#include "workbench/hosted/tag_edits.h"

namespace kestra::workbench {

namespace {

constexpr UINT kFieldKindNames = 100;  // the driver's strings: 100 + field kind
constexpr std::uint8_t kLastKindWithFormats = s5::kVertBargraph;
constexpr int kMinimumWidth = 380;  // room for a name

// Every field of the project, children included.
void ForEachField(ProjectBlock& project, const std::function<void(FieldRecord&)>& visit) {
    for (PageRecord& page : PagesOf(project))
        for (FieldRecord& field : FieldsOf(page)) {
            visit(field);
            if (field.hasChildren())
                for (FieldRecord& child : RecordsAt<FieldRecord>(field.children, field.childCount))
                    visit(child);
        }
}

bool BoundToAnyOf(const FieldRecord& field, const std::vector<std::uint16_t>& keys) {
    return (field.plc.flags & uPLCADR::kBoundToTag) &&
           std::find(keys.begin(), keys.end(), field.plc.tagIndex.get()) != keys.end();
}

// Fields bound to tags take their tags' addresses again, or lose a binding whose tag is gone.
void FollowTags(ProjectBlock& project, Driver& driver) {
    const auto validate =
        DriverExport<decltype(&ExpValidatePLCAddress)>(driver, "ExpValidatePLCAddress");
    ForEachField(project, [&](FieldRecord& field) {
        if (!(field.plc.flags & uPLCADR::kBoundToTag)) return;
        uPLCSETUP setup = SetupOfField(project, field);
        validate(&field.plc, &setup, &project, 0);
    });
}

// "Plant / Tanks": the tag's name after those of the structures it lies in.
QString TagPath(ProjectBlock& project, std::uint16_t key) {
    const auto tags = TagsOf(project);
    QStringList names;
    for (int level = 0; key != 0 && level <= kMaxTagNesting; ++level) {
        const auto position = TagPosition(project, key);
        if (!position) break;
        names.prepend(QString::fromStdString(TagName(project, tags[*position])));
        key = tags[*position].parentKey;
    }
    return names.join(" / ");
}

QString DriverString(Driver& driver, UINT id) {
    char text[256] = "";
    if (LoadString(driver.loader().GetHandle(), id, text, sizeof text) <= 0) return {};
    return QString::fromUtf8(text);
}

// What the tag dialog edits.
struct TagValues {
    std::string name;
    std::uint16_t parent = 0;
    uPLCADR reference{};
};

// A tag's or a structure's dialog: its name, the structure it belongs to and, for a tag, the
// driver's PLC reference page on a field of PLC data whose kind chooses the data formats on
// offer.
class TagDialog : public QDialog {
  public:
    enum class Shows { Name, NameAndStructure, Everything };

    TagDialog(QWidget* parent, ProjectBlock& project, Driver& driver, const QString& title,
              Shows shows, std::uint16_t key, const TagValues& values)
        : QDialog(parent),
          project_(project),
          driver_(driver),
          key_(key),
          setup_(project.record.nodeA) {
        setWindowTitle(title);
        setMinimumWidth(kMinimumWidth);
        auto* layout = new QVBoxLayout(this);
        auto* form = new QFormLayout;
        layout->addLayout(form);
        name_ = new QLineEdit(QString::fromStdString(values.name), this);
        name_->setMaxLength(static_cast<int>(kTagNameLimit));
        name_->setObjectName("name");
        form->addRow(tr("&Name:"), name_);
        parent_ = new QComboBox(this);
        parent_->setObjectName("structure");
        parent_->addItem(tr("(none: top level)"), 0);
        for (std::uint16_t possible : PossibleParents(project, key))
            parent_->addItem(TagPath(project, possible), possible);
        parent_->setCurrentIndex(std::max(parent_->findData(values.parent), 0));
        if (shows != Shows::Name)
            form->addRow(tr("&Structure:"), parent_);
        else
            parent_->hide();
        if (shows == Shows::Everything) addReference(layout, form, values.reference);
        auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(box);
        connect(box, &QDialogButtonBox::accepted, this, &TagDialog::accept);
        connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
        name_->selectAll();
        name_->setFocus();
    }

    TagValues values() const {
        TagValues v;
        v.name = name_->text().toStdString();
        v.parent = static_cast<std::uint16_t>(parent_->currentData().toUInt());
        v.reference = field_ ? field_->plc : uPLCADR{};
        return v;
    }

    void accept() override {
        const TagValues v = values();
        auto problem = TagNameProblem(project_, v.name, v.parent, key_);
        if (!problem && readsAsAddress(v.name))
            problem =
                "\"" + v.name + "\" reads as a PLC address: a tag of that name would hide it.";
        if (problem) {
            Tell(this, windowTitle().toStdString(), *problem, MB_OK | MB_ICONWARNING);
            name_->setFocus();
            return;
        }
        if (page_ && !page_->canClose()) return;
        QDialog::accept();
    }

  private:
    // The driver's page on a field of PLC data that names the tag's address.
    void addReference(QVBoxLayout* layout, QFormLayout* form, const uPLCADR& reference) {
        field_ = std::make_unique<FieldRecord>();
        field_->fieldClass = s5::kClassPlcData;
        field_->width = 1;
        field_->height = 1;
        field_->plc = reference;
        setup_ = SetupOfField(project_, *field_);
        kind_ = new QComboBox(this);
        kind_->setObjectName("kind");
        for (std::uint8_t kind = 0; kind <= kLastKindWithFormats; ++kind)
            if (driver_.loader().IsFormatSupported(&setup_, kind, &field_->plc, s5::kClassPlcData,
                                                   0))
                kind_->addItem(DriverString(driver_, kFieldKindNames + kind), kind);
        // A text tag is read by ASCII fields, any other by numeric ones.
        const std::uint8_t kind =
            reference.dataFormat == s5::kAscii ? s5::kAsciiField : s5::kNumeric;
        kind_->setCurrentIndex(std::max(kind_->findData(kind), 0));
        field_->display.fieldType = static_cast<std::uint8_t>(kind_->currentData().toUInt());
        form->addRow(tr("Formats for fields of &kind:"), kind_);

        const host::PanelDisplay panel = host::PanelDisplayOf(project_);
        lineWidths_.assign(static_cast<std::size_t>(panel.rows),
                           static_cast<std::uint32_t>(panel.columns));
        context_.version = s5::kFieldContextVersion;
        context_.field = field_.get();
        context_.project = &project_;
        context_.lineWidths = lineWidths_.data();
        context_.lineCount = static_cast<std::uint32_t>(lineWidths_.size());
        context_.characterWidth = 1;
        context_.setup = &setup_;
        page_ = new ReferencePage(*this, driver_, context_);
        page_->setObjectName("reference");
        layout->addWidget(page_);
        if (!page_->embed())
            host::Fail(host::kExitDriverFailed,
                       "the PLC driver " + driver_.library() +
                           " offers no PLC reference page (AttachPLCFieldDialog)");
        connect(kind_, &QComboBox::currentIndexChanged, this, [this] {
            field_->display.fieldType = static_cast<std::uint8_t>(kind_->currentData().toUInt());
            page_->refresh();
        });
        setTabOrder(kind_, page_);
    }

    // A name that the driver reads as an address: fields given it would find the tag, and the
    // address could no longer be typed.
    bool readsAsAddress(const std::string& name) const {
        const auto read = DriverExport<decltype(&ExpSetLogicalTag)>(driver_, "ExpSetLogicalTag");
        uPLCADR scratch{};
        return read(name.c_str(), &setup_, &scratch) != 0;
    }

    ProjectBlock& project_;
    Driver& driver_;
    std::uint16_t key_;
    uPLCSETUP setup_;  // of the tag's PLC
    QLineEdit* name_ = nullptr;
    QComboBox* parent_ = nullptr;
    QComboBox* kind_ = nullptr;
    // The page's field and its context; they outlive the page, a child of this dialog.
    std::unique_ptr<FieldRecord> field_;
    std::vector<std::uint32_t> lineWidths_;
    _tagDEFIELD context_{};
    ReferencePage* page_ = nullptr;
};

// The tag at `position`; a host::Failure when there is none.
TagElement TagAt(ProjectBlock& project, std::size_t position) {
    const auto tags = TagsOf(project);
    if (position >= tags.size())
        host::Fail(host::kExitInternal, "the project has no tag " + std::to_string(position + 1) +
                                            " (it has " + std::to_string(tags.size()) + ")");
    return tags[position];
}

void Require(bool done, const std::string& what) {
    if (!done) host::Fail(host::kExitInternal, what);
}

// A reference as the driver leaves a new field's: DB 10, element 0, its preferred format.
uPLCADR DefaultReference(ProjectBlock& project, Driver& driver) {
    FieldRecord field{};
    constexpr WORD kReferenceOnly = 6;
    driver.loader().InitPlcDefaults(&project, nullptr, &project.record.nodeA, &field,
                                    kReferenceOnly);
    return field.plc;
}

}  // namespace

bool NewTag(QWidget* parent, const LoadedProject& project, Driver& driver,
            std::optional<std::size_t> near, bool structure, std::size_t* made) {
    const char* caption = structure ? "New Structure" : "New Tag";
    return TellingFailures(parent, caption, [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        TagValues values;
        if (near) {
            const TagElement tag = TagAt(block, *near);
            values.parent = tag.isStructure() ? tag.key.get() : tag.parentKey.get();
        }
        values.reference = DefaultReference(block, driver);
        return ChangedBy(project, [&] {
            TagDialog dialog(
                parent, block, driver, QObject::tr(caption),
                structure ? TagDialog::Shows::NameAndStructure : TagDialog::Shows::Everything, 0,
                values);
            if (dialog.exec() != QDialog::Accepted) return false;
            const TagValues v = dialog.values();
            const std::uint16_t key = AddTag(block, v.name, v.parent, structure, v.reference);
            if (key == 0)
                host::Fail(host::kExitInternal,
                           "the tag cannot be added: the project holds " +
                               std::to_string(TagsOf(block).size()) +
                               " tags, as many as it can, or no memory is left");
            if (made) *made = TagPosition(block, key).value_or(0);
            return true;
        });
    });
}

bool RenameTagAt(QWidget* parent, const LoadedProject& project, Driver& driver,
                 std::size_t position) {
    return TellingFailures(parent, "Rename Tag", [&] {
        ProjectBlock& block = project.block();
        const TagElement tag = TagAt(block, position);
        return ChangedBy(project, [&] {
            TagDialog dialog(parent, block, driver, QObject::tr("Rename Tag"),
                             TagDialog::Shows::Name, tag.key,
                             {TagName(block, tag), tag.parentKey, TagReference(tag)});
            if (dialog.exec() != QDialog::Accepted) return false;
            Require(RenameTag(block, tag.key, dialog.values().name), "the tag cannot be renamed");
            return true;
        });
    });
}

bool EditTagAt(QWidget* parent, const LoadedProject& project, Driver& driver,
               std::size_t position) {
    return TellingFailures(parent, "Tag Properties", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        const TagElement tag = TagAt(block, position);
        // A tag that names no address yet starts from a new field's.
        uPLCADR reference = TagReference(tag);
        if (reference.dataType == 0) reference = DefaultReference(block, driver);
        return ChangedBy(project, [&] {
            TagDialog dialog(parent, block, driver,
                             tag.isStructure() ? QObject::tr("Structure Properties")
                                               : QObject::tr("Tag Properties"),
                             tag.isStructure() ? TagDialog::Shows::NameAndStructure
                                               : TagDialog::Shows::Everything,
                             tag.key, {TagName(block, tag), tag.parentKey, reference});
            if (dialog.exec() != QDialog::Accepted) return false;
            const TagValues v = dialog.values();
            if (v.parent != tag.parentKey)
                Require(MoveTag(block, tag.key, v.parent), "the tag cannot be moved there");
            if (v.name != TagName(block, tag))
                Require(RenameTag(block, tag.key, v.name), "the tag cannot be renamed");
            if (!tag.isStructure()) {
                Require(SetTagReference(block, tag.key, v.reference),
                        "the tag's address cannot be set");
                FollowTags(block, driver);
            }
            return true;
        });
    });
}

bool DeleteTagAt(QWidget* parent, const LoadedProject& project, Driver& driver,
                 std::size_t position) {
    return TellingFailures(parent, "Delete Tag", [&] {
        ProjectBlock& block = project.block();
        const TagElement tag = TagAt(block, position);
        const auto keys = TagAndMembers(block, tag.key);
        std::size_t bound = 0;
        ForEachField(block, [&](FieldRecord& field) { bound += BoundToAnyOf(field, keys); });
        std::string question = std::string("Delete the ") +
                               (tag.isStructure() ? "structure" : "tag") + " \"" +
                               TagName(block, tag) + "\"";
        if (keys.size() == 2) question += " with its member";
        if (keys.size() > 2)
            question += " with its " + std::to_string(keys.size() - 1) + " members";
        question += "?";
        if (bound == 1) question += "\n\nA field uses it: it keeps its address, bound to no tag.";
        if (bound > 1)
            question += "\n\n" + std::to_string(bound) +
                        " fields use it: they keep their addresses, bound to no tag.";
        if (Tell(parent, "Delete Tag", question, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
        return ChangedBy(project, [&] {
            Require(DeleteTag(block, tag.key), "the tag cannot be deleted");
            FollowTags(block, driver);
            return true;
        });
    });
}

}  // namespace kestra::workbench
