// The project's passwords in the utilities library's password dialog.
//
// The project keeps its passwords as its 20-byte entries (project record offsets 427, the
// count, and 428, the block), which the driver puts into the panel image as they are, and the
// automatic logout time as the u16 at project record offset 8, which the panel image carries
// in its protocol block. The dialog works on a copy of the block; the project takes the
// dialog's block only after OK.
#include <cstring>

#include "platform/memory.h"
#include "utilities/passwords.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr std::size_t kLogoutTimeoutAt = 8;  // in the project record
// What the dialog makes of an unset time after OK, shown from the start.
constexpr WORD kDefaultLogoutTimeout = 600;

std::uint8_t* RecordBytes(ProjectBlock& project) {
    return reinterpret_cast<std::uint8_t*>(&project.record);
}

// A copy of the project's password block, or 0 when it has none.
HGLOBAL CopyOfPasswords(const ProjectBlock& project) {
    const std::size_t size = std::size_t{project.record.section1Count} * sizeof(PasswordRecord);
    if (size == 0) return 0;
    const std::byte* passwords = mem::At(project.record.section1, 0, size);
    if (!passwords)
        host::Fail(host::kExitDamaged, "the project's password table is shorter than its " +
                                           std::to_string(project.record.section1Count) +
                                           " passwords");
    const HGLOBAL copy = GlobalAlloc(GHND, size);
    if (!copy) host::Fail(host::kExitInternal, "no memory for the passwords");
    std::memcpy(mem::Data(copy), passwords, size);
    return copy;
}

}  // namespace

bool EditPasswords(QWidget* parent, const LoadedProject& project, Driver&) {
    return TellingFailures(parent, "Passwords", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        return ChangedBy(project, [&] {
            WORD pages = block.record.pageCount;
            BYTE count = block.record.section1Count;
            const WORD timeout = ReadLe16(RecordBytes(block) + kLogoutTimeoutAt);
            PasswordSet set{&pages, &count, CopyOfPasswords(block), 0,
                            timeout != 0 ? timeout : kDefaultLogoutTimeout};
            if (StartPasswordDlg(OwnerFor(parent), &set) != 1) {
                if (set.passwords) GlobalFree(set.passwords);
                return false;
            }
            if (block.record.section1 != 0u) GlobalFree(block.record.section1);
            if (count == 0 && set.passwords) {
                GlobalFree(set.passwords);
                set.passwords = 0;
            }
            block.record.section1 = set.passwords;
            block.record.section1Count = count;
            WriteLe16(RecordBytes(block) + kLogoutTimeoutAt, set.logoutTimeout);
            return true;
        });
    });
}

}  // namespace kestra::workbench
