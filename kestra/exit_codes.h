// The exit codes of `kestra`, one per kind of failure, so that scripts can tell them apart.
// The README's table is this table.
#pragma once

#include <string_view>

namespace kestra::host {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,         // the command line is wrong
    kExitUnreadable = 3,    // an input file is missing or cannot be read
    kExitNotProject = 4,    // the file is not a project image (or not a panel image)
    kExitDamaged = 5,       // a project image that cannot be loaded
    kExitRepaired = 6,      // check: the project loads only with repairs
    kExitBadDocument = 7,   // a JSON document that is not a valid project
    kExitNoDriver = 8,      // no installed driver serves the project's PLC type
    kExitDriverFailed = 9,  // the driver refused the project or built a bad panel image
    kExitOutput = 10,       // an output file cannot be written
    kExitNoCard = 11,       // no card in the reader, or it was taken out
    kExitCardFull = 12,     // the card has no room for the file
    kExitCardFailed = 13,   // any other card failure (not formatted, reader, read-back)
    kExitProjectErrors = 14,  // check: the project has errors; panel-image and card send refuse it
    kExitCardInUse = 15,    // another program holds the card
    kExitCardImage = 16,    // the simulated card's image file cannot be used
    kExitInternal = 70,     // a fault of the program itself
};

struct ExitCodeInfo {
    ExitCode code;
    std::string_view meaning;
};

inline constexpr ExitCodeInfo kExitCodes[] = {
    {kExitOk, "success; check: the project is sound (warnings or not)"},
    {kExitUsage, "the command line is wrong (the message says what; --help shows the usage)"},
    {kExitUnreadable, "an input file is missing or cannot be read"},
    {kExitNotProject, "the input is not a project image (or, for card send, not a panel image)"},
    {kExitDamaged, "the project image is damaged: it cannot be loaded"},
    {kExitRepaired, "check: the project loads, but only with repairs"},
    {kExitBadDocument, "the JSON document is not a valid project (the message gives its path)"},
    {kExitNoDriver, "no installed PLC driver serves the project's PLC type"},
    {kExitDriverFailed, "the PLC driver refused the project or its panel image is wrong"},
    {kExitOutput, "an output file cannot be written (nothing is left half-written)"},
    {kExitNoCard, "no card in the reader, or the card was taken out during the work"},
    {kExitCardFull, "the card has no room for the file"},
    {kExitCardFailed, "another card failure: not formatted, reader fault, read-back differs"},
    {kExitProjectErrors,
     "check: the project has errors (the driver would refuse or change what it holds, or the "
     "panel could not show it); panel-image and card send refuse such a project without "
     "--force"},
    {kExitCardInUse, "the card is in use by another program (--wait waits for it)"},
    {kExitCardImage,
     "the simulated card's image file cannot be used (it cannot be made for want of room, or "
     "is no card image, or is read-only and the command would change the card)"},
    {kExitInternal, "a fault of the program itself"},
};

}  // namespace kestra::host
