// Checking a project as `kestra check` does: loading it with the options of loading (and,
// when repairs are asked for, a report of what loading repaired), then looking at what it
// holds with its driver's eyes.
//
// The look at the contents finds errors, which the driver would refuse or change or the panel
// could not show, and warnings, which the engineer should know of:
//
//   error    a field of class 2 or 3 whose data type or data format the driver's format test
//            refuses for its field type and class (a format of 0 or above 14 prints as ERR)
//   error    a field whose address lies outside the driver's limits: the driver does not write
//            it, or reads what it writes back as another place (data block number, element
//            number for the format's size, bit)
//   error    a field bound to a tag that the project's tag folder does not hold
//   error    a password whose data entry pages are not pages of the project
//   error    an empty recipe: a page's recipe is named (a field carries the recipe name mark,
//            or the multipage list holds the page's key) but none of the page's numeric and
//            text fields holds a value for any parameter set
//   error    a field outside the display that the project's panel setup chose
//   warning  a field outside the display that stands in while there is no panel setup
//   warning  two fields of a page that overlap
//   warning  no installed driver serves the project: its fields were not asked about
//
// Fields are named by their page and their place on it, both counted from 1, and by their
// number in the printed PLC list, which counts the fields of all pages in a row.
#pragma once

#include <string>
#include <vector>

#include "kestra/host.h"

class KXCPlcDriver;

namespace kestra::host {

struct PanelDisplay;

struct CheckFinding {
    enum class Severity { Error, Warning };
    // What the finding names, so that a desktop host can open it.
    enum class Part { Project, Field, Password, Recipe };

    Severity severity = Severity::Error;
    Part part = Part::Project;
    std::size_t page = 0;   // from 1; 0 when the finding names no page
    std::size_t field = 0;  // place on the page, from 1; 0 when it names no field
    std::size_t item = 0;   // the password's number, from 1
    std::string text;       // "page 3, field 1 (no. 15): data format 13 ..."

    bool error() const { return severity == Severity::Error; }
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    std::size_t pages = 0;
    std::size_t fields = 0;

    std::size_t errors() const;
    std::size_t warnings() const;
    // "NAME: sound (3 pages, 20 fields)", "NAME: sound with 2 warnings (...)", or
    // "NAME: 1 error and 2 warnings (...)".
    std::string summary(const std::string& name) const;
    // The first errors, for a refusal: "page 3, field 1 (no. 15): ...; page ...".
    std::string firstErrors(std::size_t most = 3) const;
};

// Looks at the contents of a loaded project; `driver` is the loaded library of the driver that
// serves it, or null when none does, and then `withoutDriver` says why (a warning). Changes
// nothing of the project.
CheckReport CheckContents(const ProjectBlock& project, KXCPlcDriver* driver,
                          const std::string& withoutDriver = "no PLC driver serves the project");

// The display as the findings name it: "the display "4x20 Text" (4 rows, 20 columns; the
// generic model's, standing in without panel setup)".
std::string DescribeDisplay(const PanelDisplay& display);

// What panel-image and card send do with a project that has errors: without `force` they end
// with kExitProjectErrors, naming the first errors; with it the errors are printed on standard
// error as warnings and the work goes on. Warnings alone change nothing.
void RefuseProjectWithErrors(const std::string& what, const CheckReport& report, bool force);

struct CheckedProject {
    LoadedProject project;
    // One line per repair, as `kestra check` prints them after "repaired: ": the lines the
    // store added to the repair log "PrjFix.txt" in the current folder, the menu fields dropped
    // per page, and why the project did not load without repairs.
    std::vector<std::string> repairs;
};

// Loads the image with the options; with options.repairMenuFields it is loaded without repairs
// first, to tell what the repairs changed. kExitNotProject for a foreign file, kExitDamaged
// when the store refuses the image even with the repairs asked for.
CheckedProject LoadChecked(const std::string& file, const Bytes& image, const LoadOptions& options);

}  // namespace kestra::host
