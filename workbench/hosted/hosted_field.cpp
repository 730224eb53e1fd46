// A field's dialogs: its properties, with the field's own settings and the driver's PLC
// reference page embedded in a dialog of the workbench's own, and the choice of its tag.
//
// Both work on a copy of the field record, which becomes the field only after OK: the driver's
// page edits the record it is given directly (and clears the editor's bytes of the reference
// when it opens), so Cancel must not have let it touch the project's record.
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <string>

#include "extension_classes/plc_driver.h"
#include "kestra/panel_display.h"
#include "plc_s5/field_dialog.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/type1_image.h"
#include "utilities/k32fabutil1.h"
#include "windows/dialog.h"
#include "workbench/hosted/field_editors.h"
#include "workbench/hosted/field_settings.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_panel_setup.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/hosted/reference_page.h"

namespace kestra::workbench {

namespace {

constexpr INT_PTR kDeleteChosen = 0x8000;

// The field dialog context of a field being edited in its working copy.
struct FieldEditing {
    FieldRecord working;
    uPLCSETUP setup;
    std::vector<std::uint32_t> lineWidths;
    host::PanelDisplay panel;
    _tagDEFIELD context{};
    FieldEditors editors;  // the editor's callbacks of the driver's dialog

    FieldEditing(ProjectBlock& project, const FieldRecord& field, FieldPlace place)
        : working(field),
          setup(SetupOfField(project, field)),
          panel(host::PanelDisplayOf(project)),
          editors(context, project, place, field) {
        lineWidths.assign(static_cast<std::size_t>(panel.rows),
                          static_cast<std::uint32_t>(panel.columns));
        context.version = s5::kFieldContextVersion;
        context.field = &working;
        context.project = &project;
        context.lineWidths = lineWidths.data();
        context.lineCount = static_cast<std::uint32_t>(lineWidths.size());
        context.characterWidth = 1;  // the line widths are in characters
        context.setup = &setup;
    }
    FieldEditing(const FieldEditing&) = delete;
    FieldEditing& operator=(const FieldEditing&) = delete;
};

std::string PageName(ProjectBlock& project, const PageRecord& page) {
    return host::ProjectText(project, page.nameId());
}

// "Page 2 "Pumps", field 3 of 7: row 4, column 1, width 5, height 1, address DB10 DW5".
QString FieldSummary(ProjectBlock& project, Driver& driver, FieldPlace place,
                     const FieldEditing& editing) {
    const PageRecord& page = PagesOf(project)[place.page];
    const FieldRecord& f = editing.working;
    const std::string address = AddressText(driver, project, editing.setup, f.plc);
    return QString("Page %1 \"%2\", field %3 of %4: row %5, column %6, width %7, height %8%9")
        .arg(place.page + 1)
        .arg(QString::fromStdString(PageName(project, page)))
        .arg(place.field + 1)
        .arg(page.fieldCount.get())
        .arg(s5::FieldRow(f) + 1)
        .arg(s5::FieldColumn(f) + 1)
        .arg(f.width)
        .arg(f.height)
        .arg(address.empty() ? QString() : ", address " + QString::fromStdString(address));
}

// The workbench's field dialog. The driver's page is a child of the core window that stands
// for a frame of this dialog (the site), so that its widget sits in the frame. The site is
// given a procedure of this dialog's in front of its own: it hears the page's notifications.
// The keyboard crosses between the page and this dialog's own controls as PageKeyboard says.
class FieldPropertiesDialog : public QDialog {
  public:
    FieldPropertiesDialog(QWidget* parent, ProjectBlock& project, Driver& driver, FieldPlace place,
                          FieldEditing& editing)
        : QDialog(parent), project_(project), driver_(driver), place_(place), editing_(editing) {
        setWindowTitle(QString("Field Properties - Page %1, Field %2")
                           .arg(place.page + 1)
                           .arg(place.field + 1));
        auto* layout = new QVBoxLayout(this);
        summary_ = new QLabel(this);
        summary_->setWordWrap(true);
        layout->addWidget(summary_);
        settings_ = new FieldSettings(this, driver, project, editing.working, editing.panel);
        settings_->onChanged([this](bool kind) {
            if (kind) reference_->refresh();
            showSummary();
        });
        layout->addWidget(settings_);
        reference_ = new ReferencePage(*this, driver, editing.context);
        reference_->onAddressChanged([this] { showSummary(); });
        layout->addWidget(reference_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        definition_ = buttons->addButton("&Display and Limits...", QDialogButtonBox::ActionRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &FieldPropertiesDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(definition_, &QPushButton::clicked, this, [this] { editDefinition(); });
        showSummary();
    }
    // Embeds the driver's page; false when the driver offers none.
    bool embedPage() {
        if (!reference_->embed()) return false;
        // The page's first control has the focus when the dialog opens.
        reference_->focusPage();
        return true;
    }

    const FieldSettings& settings() const { return *settings_; }

    void accept() override {
        if (reference_->canClose()) QDialog::accept();
    }

  private:
    void showSummary() { summary_->setText(FieldSummary(project_, driver_, place_, editing_)); }

    // The driver's full field dialog on the same working copy: the display, the limits and the
    // attributes. Its Delete is not this dialog's business; the field stays.
    void editDefinition() {
        const FieldRecord before = editing_.working;
        SetFocus(nullptr);
        INT_PTR result = 0;
        editing_.editors.beforeDriverDialog();
        TellingFailures(this, "Field Properties", [&] {
            const auto exec = DriverExport<decltype(&ExecPLCFieldDlg)>(driver_, "ExecPLCFieldDlg");
            result = exec(OwnerFor(this), &editing_.context);
            return true;
        });
        if (result != 1) editing_.working = before;
        editing_.editors.afterDriverDialog(result == 1);
        if (result == kDeleteChosen)
            Tell(this, "Field Properties",
                 "The field is kept: delete it in the page's field table.",
                 MB_OK | MB_ICONINFORMATION);
        reference_->refresh();
        settings_->refresh();
        showSummary();
    }

    ProjectBlock& project_;
    Driver& driver_;
    FieldPlace place_;
    FieldEditing& editing_;
    QLabel* summary_ = nullptr;
    FieldSettings* settings_ = nullptr;
    ReferencePage* reference_ = nullptr;
    QPushButton* definition_ = nullptr;
};

// Offers the tags whose data suit the field (the driver's IsTagContextValid on a tag context:
// the field at byte 44, its PLC's setup block at 52, the filter flags at 60).
struct TagFilter {
    decltype(&IsTagContextValid) valid;
    std::uint8_t context[64] = {};

    TagFilter(Driver& driver, const FieldRecord* field, const uPLCSETUP* setup)
        : valid(DriverExport<decltype(&IsTagContextValid)>(driver, "IsTagContextValid")) {
        std::memcpy(context + 44, &field, sizeof field);
        std::memcpy(context + 52, &setup, sizeof setup);
        const bool writes = field->mode == 2 || field->mode == 3;
        WriteLe16(context + 60, writes ? 4 : 0);
    }

    static BOOL Offered(const void* tagData, void* self, void*) {
        auto* filter = static_cast<TagFilter*>(self);
        return filter->valid(filter->context, static_cast<const uPLCADR*>(tagData));
    }
};

}  // namespace

bool EditFieldProperties(QWidget* parent, const LoadedProject& project, Driver& driver,
                         FieldPlace place) {
    return TellingFailures(parent, "Field Properties", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        FieldRecord& field = FieldAt(block, place);
        return ChangedBy(project, [&] {
            FieldEditing editing(block, field, place);
            FieldPropertiesDialog dialog(parent, block, driver, place, editing);
            if (!dialog.embedPage())
                host::Fail(host::kExitDriverFailed,
                           "the PLC driver " + driver.library() +
                               " offers no PLC reference page (AttachPLCFieldDialog)");
            if (dialog.exec() != QDialog::Accepted) return false;
            editing.editors.commit(field);
            field = editing.working;
            if (!dialog.settings().apply(field))
                host::Fail(host::kExitInternal, "no memory for the field's label and text");
            return true;
        });
    });
}

bool ChooseFieldTag(QWidget* parent, const LoadedProject& project, Driver& driver,
                    FieldPlace place) {
    return TellingFailures(parent, "Field Tag", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        FieldRecord& field = FieldAt(block, place);
        const auto copyAddress =
            DriverExport<decltype(&SetToTagAddress)>(driver, "SetToTagAddress");
        const auto validate =
            DriverExport<decltype(&ExpValidatePLCAddress)>(driver, "ExpValidatePLCAddress");
        return ChangedBy(project, [&] {
            FieldRecord working = field;
            const uPLCSETUP setup = SetupOfField(block, field);
            TagFilter filter(driver, &working, &setup);
            TagSelection selection{};
            selection.hostRecord = &working;
            selection.project = &block;
            selection.node = &setup;  // on a PLC network: the tags of the field's PLC
            selection.folder = &block.ext.tagFolder;
            selection.filter = &TagFilter::Offered;
            selection.filterData = &filter;
            const INT_PTR result = ExecTagSelDlg(OwnerFor(parent), &selection);
            if (result == kTagListEmpty)
                Tell(parent, "Field Tag",
                     "No tag of the project suits this field: none names an address of a data "
                     "type and format that the field can show. Make one with Project > Tags > "
                     "New Tag, then choose it here.",
                     MB_OK | MB_ICONINFORMATION);
            if (result != kTagChosen) return false;
            std::uint8_t tagData[TagElement::kDataSize] = {};
            if (!GetTagElement(&block.ext.tagFolder, &block, working.plc.tagIndex, tagData, nullptr,
                               nullptr, nullptr, 0, nullptr))
                return false;
            uPLCADR tagRef;
            std::memcpy(&tagRef, tagData, sizeof tagRef);
            copyAddress(&working.plc, &tagRef, &setup);
            validate(&working.plc, &setup, &block, 0);
            field = working;
            return true;
        });
    });
}

}  // namespace kestra::workbench
