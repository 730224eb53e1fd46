// kestra panel-image PROJECT -o IMAGE [--check]: the panel's own image of a project, built by
// the project's PLC driver as the editor builds it when the project goes to the panel.
#include "kestra/panel_image.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "kestra/check.h"
#include "kestra/commands.h"
#include "kestra/panel_compare.h"

namespace kestra::host {

namespace {

struct PanelImageOptions {
    std::string project;
    std::string output;
    bool check = false;
    bool force = false;
};

void RunPanelImage(const PanelImageOptions& options) {
    const PanelImage built = BuildPanelImageOf(options.project, options.check, options.force);
    WriteOutput(options.output, built.image);
    std::fprintf(stderr, "kestra: %s: a panel image of %zu bytes built by %s%s\n",
                 options.output.c_str(), built.image.size(), built.driverLibrary.c_str(),
                 options.check ? "; read back, it carries the project" : "");
}

}  // namespace

Bytes BuildPanelImage(const std::string& what, const LoadedProject& project, Driver& driver,
                      bool check) {
    Bytes image = driver.buildPanelImage(what, project);
    if (check) {
        const LoadedProject back = driver.readPanelImage(what + " (its panel image)", image);
        if (auto difference = CompareReadBack(project.block(), back.block()))
            Fail(kExitDriverFailed, what + ": the panel image read back by " + driver.library() +
                                        " differs from the project: " + *difference);
    }
    return image;
}

PanelImage BuildPanelImageOf(const std::string& file, bool check, bool force) {
    const Bytes image = ReadInput(file);
    const LoadedProject project = Store::Get().load(file, image);
    const ProjectBlock& p = project.block();
    Driver driver = Driver::ForProjectCode(p.record.projectType, p.record.plcType, file);
    RefuseProjectWithErrors(file, CheckContents(p, &driver.loader()), force);
    return {BuildPanelImage(file, project, driver, check), driver.library()};
}

void AddPanelImageCommand(CLI::App& app) {
    static PanelImageOptions options;
    CLI::App* command = app.add_subcommand(
        "panel-image", "Build the panel's image of a project with the project's PLC driver.");
    command->add_option("PROJECT", options.project, "The project file.")->required();
    command->add_option("-o,--output", options.output, "The panel image file to write.")
        ->type_name("FILE")
        ->required();
    command->add_flag("--check", options.check,
                      "Read the image back with the driver (SizeofProject, GetProject), build it "
                      "again and compare.");
    command->add_flag("--force", options.force,
                      "Build the image even when the project has errors (kestra check): they "
                      "are printed as warnings.");
    command->callback([] { RunPanelImage(options); });
}

}  // namespace kestra::host
