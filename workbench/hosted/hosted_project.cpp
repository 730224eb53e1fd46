#include "workbench/hosted/hosted_project.h"

#include "extension_classes/plc_driver.h"
#include "platform/memory.h"
#include "plc_s5/k32plc1.h"
#include "string_table/string_table.h"

namespace kestra::workbench {

std::span<PageRecord> PagesOf(ProjectBlock& project) {
    return RecordsAt<PageRecord>(project.record.pages, project.record.pageCount);
}

std::span<FieldRecord> FieldsOf(const PageRecord& page) {
    return RecordsAt<FieldRecord>(page.fields, page.fieldCount);
}

FieldRecord& FieldAt(ProjectBlock& project, FieldPlace place) {
    const auto pages = PagesOf(project);
    if (place.page >= pages.size())
        host::Fail(host::kExitInternal, "the project has no page " +
                                            std::to_string(place.page + 1) + " (it has " +
                                            std::to_string(pages.size()) + ")");
    const auto fields = FieldsOf(pages[place.page]);
    if (place.field >= fields.size())
        host::Fail(host::kExitInternal, "page " + std::to_string(place.page + 1) +
                                            " has no field " + std::to_string(place.field + 1) +
                                            " (it has " + std::to_string(fields.size()) + ")");
    return fields[place.field];
}

uPLCSETUP& ActiveNetworkHead(ProjectBlock& project) {
    return project.record.onNetwork ? project.ext.nodeB : project.record.nodeA;
}

uPLCSETUP SetupOfField(ProjectBlock& project, const FieldRecord& field) {
    return host::FieldPlcSetup(project, field);
}

std::string AddressText(Driver& driver, ProjectBlock& project, const uPLCSETUP& setup,
                        const uPLCADR& ref) {
    const auto write = DriverExport<decltype(&ExpWriteLogicalAddressString)>(
        driver, "ExpWriteLogicalAddressString");
    char text[256] = "";
    uPLCADR copy = ref;
    if (!write(text, &project, &setup, &copy, 0, FALSE, 0)) return "";
    return text;
}

host::Bytes SavedImage(const LoadedProject& project) {
    // What the store would say in a message box goes into a failure's message.
    const host::CollectedMessageBoxes quiet;
    return host::Store::Get().save("the project", project);
}

bool ChangedBy(const LoadedProject& project, const std::function<bool()>& edit) {
    const host::Bytes before = SavedImage(project);
    const std::uint16_t texts = project.block().record.stringCount;
    const bool ok = edit();
    ForgetUnheldTextsSince(project.block(), texts);
    return ok && SavedImage(project) != before;
}

void ForgetUnheldTextsSince(ProjectBlock& project, std::uint16_t countBefore) {
    std::uint16_t count = project.record.stringCount;
    while (count > countBefore && StrTabReferenceCount(count - 1, &project) == 0) --count;
    project.record.stringCount = count;
}

void* DriverExportAddress(Driver& driver, const char* name) {
    void* address = reinterpret_cast<void*>(GetProcAddress(driver.loader().GetHandle(), name));
    if (!address)
        host::Fail(host::kExitDriverFailed,
                   "the PLC driver " + driver.library() + " lacks the export " + name);
    return address;
}

}  // namespace kestra::workbench
