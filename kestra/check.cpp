// kestra check PROJECT: loads a project as the editor does, with the options of loading,
// reports what loading repaired, then what its contents hold that the driver would refuse or
// the panel could not show, and whether the project is sound.
#include "kestra/check.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "kestra/commands.h"
#include "kestra/driver.h"
#include "kestra/host.h"
#include "platform/files.h"
#include "platform/memory.h"

namespace kestra::host {

namespace {

// The store appends a line for each repaired bitmap to this file in the current folder.
constexpr const char* kRepairLog = "PrjFix.txt";

struct CheckOptions {
    std::string project;
    bool repairMenuFields = false;
    std::string option;
};

std::vector<std::size_t> FieldsPerPage(const ProjectBlock& p) {
    std::vector<std::size_t> counts;
    const std::size_t pages = p.record.pageCount;
    const auto* records = pages ? reinterpret_cast<const PageRecord*>(
                                      mem::At(p.record.pages, 0, pages * sizeof(PageRecord)))
                                : nullptr;
    for (std::size_t i = 0; records && i < pages; ++i) counts.push_back(records[i].fieldCount);
    return counts;
}

std::string RepairLogText() {
    return platform::ReadWholeFile(kRepairLog).value_or("");
}

// The lines the store added to the repair log since it held `before`.
std::vector<std::string> NewLogLines(const std::string& before) {
    const std::string now = RepairLogText();
    std::vector<std::string> lines;
    if (now.size() <= before.size() || now.compare(0, before.size(), before) != 0) return lines;
    std::string rest = now.substr(before.size());
    for (std::size_t start = 0; start < rest.size();) {
        std::size_t end = rest.find('\n', start);
        if (end == std::string::npos) end = rest.size();
        std::string line = rest.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) lines.push_back(line.substr(first));
        start = end + 1;
    }
    return lines;
}

// The contents checked with the project's driver, or without one when none serves it.
CheckReport CheckWithDriver(const std::string& file, const ProjectBlock& p) {
    try {
        Driver driver = Driver::ForProjectCode(p.record.projectType, p.record.plcType, file);
        return CheckContents(p, &driver.loader());
    } catch (const Failure& failure) {
        if (failure.code != kExitNoDriver && failure.code != kExitDriverFailed) throw;
        const std::string prefix = file + ": ";
        const bool named = failure.message.starts_with(prefix);
        return CheckContents(p, nullptr,
                             named ? failure.message.substr(prefix.size()) : failure.message);
    }
}

void RunCheck(const CheckOptions& options) {
    const Bytes image = ReadInput(options.project);
    LoadOptions load;
    load.repairMenuFields = options.repairMenuFields;
    load.extra = options.option;
    const CheckedProject checked = LoadChecked(options.project, image, load);
    Store::Get().save(options.project, checked.project);
    const char* name = options.project.c_str();
    for (const std::string& repair : checked.repairs)
        std::printf("%s: repaired: %s\n", name, repair.c_str());
    const CheckReport report = CheckWithDriver(options.project, checked.project.block());
    for (const CheckFinding& finding : report.findings)
        std::printf("%s: %s: %s\n", name, finding.error() ? "error" : "warning",
                    finding.text.c_str());
    if (report.errors() > 0)
        Fail(kExitProjectErrors, report.summary(options.project) +
                                     ": the driver would refuse or change what the project "
                                     "holds, or the panel could not show it; panel-image and "
                                     "card send refuse it until it is mended");
    if (!checked.repairs.empty())
        Fail(kExitRepaired, options.project + ": loads only with repairs (" +
                                Counted(checked.repairs.size(), "repair") + "); save it " +
                                "again to keep them");
    std::printf("%s\n", report.summary(options.project).c_str());
}

}  // namespace

CheckedProject LoadChecked(const std::string& file, const Bytes& image,
                           const LoadOptions& options) {
    if (!ReadProjectImageHead(image))
        Fail(kExitNotProject, file + ": not a project image (no project descriptor at byte 44)");
    CheckedProject checked;
    if (!options.repairMenuFields) {
        checked.project = Store::Get().load(file, image, options);
        return checked;
    }
    LoadOptions plain = options;
    plain.repairMenuFields = false;
    std::vector<std::size_t> before;
    bool plainLoads = true;
    try {
        before = FieldsPerPage(Store::Get().load(file, image, plain).block());
    } catch (const Failure& failure) {
        plainLoads = false;
        checked.repairs.push_back("without repairs: " + failure.message);
    }
    const std::string log = RepairLogText();
    checked.project = Store::Get().load(file, image, options);
    for (const std::string& line : NewLogLines(log)) checked.repairs.push_back(line);
    const std::vector<std::size_t> after = FieldsPerPage(checked.project.block());
    for (std::size_t page = 0; plainLoads && page < after.size() && page < before.size(); ++page)
        if (after[page] < before[page])
            checked.repairs.push_back("page " + std::to_string(page + 1) + ": dropped " +
                                      Counted(before[page] - after[page], "menu field") +
                                      " without width or height");
    return checked;
}

void AddCheckCommand(CLI::App& app) {
    static CheckOptions options;
    CLI::App* check = app.add_subcommand(
        "check",
        "Load a project as the editor does, report repairs and damage, and what it holds "
        "that its PLC driver would refuse or the panel could not show (errors) or that "
        "deserves a look (warnings); exit code 0 when it is sound, warnings or not, 14 when "
        "it has errors.");
    check->add_option("PROJECT", options.project, "The project file.")->required();
    check->add_flag("--repair-menu-fields", options.repairMenuFields,
                    "Repair while loading: drop menu fields without width or height and mend "
                    "bitmaps without size (each bitmap repair is logged in PrjFix.txt).");
    check->add_option("--option", options.option,
                      "Further loading options as the editor passes them (\"501\": the image "
                      "ends after the resource section).");
    check->callback([] { RunCheck(options); });
}

}  // namespace kestra::host
