// The driver's own dialogs over the project: the alarm dialog and the PLC setup dialog with
// its communication parameters.
#include <cstring>

#include "platform/memory.h"
#include "platform/module.h"
#include "plc_s5/k32plc1.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"
#include "workbench/hosted/character_picker.h"

namespace kestra::workbench {

namespace {

// The editor's strings that the driver's dialogs show: 101 captions the setup dialog's
// question, 1201 the driver's message boxes.
constexpr platform::StringResource kEditorStrings[] = {
    {101, "Kestra Workbench"},
    {1201, "Kestra Workbench"},
};
const char kStringsAnchor = 0;
const platform::ResourceRegistration kEditorStringTable(&kStringsAnchor,
                                                        platform::ResourceKind::Strings,
                                                        kEditorStrings, std::size(kEditorStrings));

// The baud rates of the communication parameters, by baud code.
constexpr const char* kBaudTexts[] = {"150",  "300",  "600",   "1200",  "2400",
                                      "4800", "9600", "19200", "38400", "57600"};
constexpr std::uint16_t kDefaultSlaveAddress = 10;

// A project without alarms keeps its alarm table absent: the dialog makes one of 256 entries
// and shrinks it to the alarm count afterwards.
void DropEmptyAlarmTable(ProjectBlock& project) {
    if (project.record.section2aCount != 0 || project.record.section2a == 0u) return;
    GlobalFree(project.record.section2a);
    project.record.section2a = 0;
}

}  // namespace

bool EditAlarms(QWidget* parent, const LoadedProject& project, Driver& driver) {
    return TellingFailures(parent, "Alarms", [&] {
        const auto exec = DriverExport<decltype(&ExecAlarmDlg)>(driver, "ExecAlarmDlg");
        WindowCoreHost();
        ProjectBlock& block = project.block();
        const bool hadTable = block.record.section2a != 0u;
        return ChangedBy(project, [&] {
            ALARMDLGCONTEXT context{};
            context.project = &block;
            const AlarmCharacterPicker picker(context);
            context.allowOpen = &CentreOnOwner;
            const bool ok = exec(OwnerFor(parent), &context) == 1;
            if (!hadTable) DropEmptyAlarmTable(block);
            return ok;
        });
    });
}

bool EditPlcSetup(QWidget* parent, const LoadedProject& project, Driver& driver) {
    return TellingFailures(parent, "PLC Setup", [&] {
        const auto exec = DriverExport<decltype(&ExecPlcSetupDlg)>(driver, "ExecPlcSetupDlg");
        WindowCoreHost();
        ProjectBlock& block = project.block();
        return ChangedBy(project, [&] {
            // The dialog resets the reserved areas of the project record it is given when the
            // model changes; it gets a copy, which becomes the project's only after OK.
            ProjectBlock copy;
            std::memcpy(&copy, &block, sizeof copy);
            PLCSETUPDLGCONTEXT context{};
            context.editorModule = platform::ModuleOf(&kStringsAnchor);
            context.project = &copy;
            context.defaultSlaveAddress = kDefaultSlaveAddress;
            context.setup = block.record.nodeA;
            context.commParams = kBaudTexts;
            context.projectOpen = 1;
            if (exec(OwnerFor(parent), &context) != 1) return false;
            copy.record.nodeA = context.setup;
            std::memcpy(&block, &copy, sizeof copy);
            return true;
        });
    });
}

}  // namespace kestra::workbench
