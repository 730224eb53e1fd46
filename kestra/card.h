// The panel image on a card, through the card device service: what `kestra card` does and
// what a desktop host does with its own progress display.
//
// The image is written as the card's project file, read back and compared. The card file
// system writes a new file to blocks no file uses and names it in the directory only once it
// is complete, so a send that fails (full card, card taken out, stopped by the user) leaves
// the card's old project file as it was.
#pragma once

#include <string>

#include "card_service/kes_ssfdc_device.h"
#include "kestra/host.h"

namespace kestra::host {

// The reader's port address when none is given.
inline constexpr unsigned kDefaultCardPort = 0x378;

// The exit code of a card error.
ExitCode CardExitCode(KESSSFDCERRORCODE code);

// Ends with the failure of a card error: "what: its report (card error N)", with its exit code.
// Takes the exception.
[[noreturn]] void FailCard(const std::string& what, CSSFDCLibException* error);

// The name `name` gets on the card: `name` itself when it can be a file's name there; with
// `shorten`, a name that is only too long shortened to the whole characters that fit.
// Anything else ends with kExitUsage and the rule it breaks.
std::string CardFileName(const std::string& name, bool shorten);
// kExitUsage when `name` cannot be the name of a file on the card as it is.
void CheckCardFileName(const std::string& name);

// The panel image to send of a file: a project file is built into its image by its driver
// (refused when it has errors, unless `force`), a panel image is read back by the driver
// first, so that nothing damaged reaches the panel.
Bytes ImageToSend(const std::string& file, bool force = false);

// Writes the image to the formatted card in the reader as its project file `name`, reads it
// back and compares; a card error ends as FailCard says, a read-back that differs with
// kExitCardFailed.
void SendPanelImage(CKesSSFDCDevice& device, const std::string& name, const Bytes& image);

// The files on the card and the use of its blocks, as `kestra card list` prints them.
std::string CardContentsText(CKesSSFDCDevice& device);

}  // namespace kestra::host
