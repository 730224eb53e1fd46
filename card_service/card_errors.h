// Error codes of the card device service and the error that carries one with its report.
//
// The codes reach the user as the card loader's exit code and in reports. 4113 and 4115 have
// fixed meanings for the loader (a file that is not there is skipped, a download that could
// not be completed is reported and the next one tried); the others tell the failures apart.
// On Linux only the low 8 bits of an exit code survive, and these stay distinct there
// (4112 to 4124 give 16 to 28).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

enum KESSSFDCERRORCODE : std::int32_t {
    KESSSFDC_OK = 0,
    KESSSFDC_NOT_FORMATTED = 4112,    // the card holds no file system
    KESSSFDC_FILE_NOT_FOUND = 4113,   // a file to send or to fetch is not there
    KESSSFDC_UPLOAD_FAILED = 4114,    // a file on the card cannot be read back intact
    KESSSFDC_DOWNLOAD_FAILED = 4115,  // a download could not be completed; the card is unchanged
    KESSSFDC_CARD_FULL = 4116,        // not enough free room or directory space on the card
    KESSSFDC_NO_CARD = 4117,          // no card in the reader
    KESSSFDC_UNKNOWN_CARD = 4118,     // the card's type is not in the card type table
    KESSSFDC_BAD_CARD = 4119,         // too many bad blocks, or a type the file system cannot use
    KESSSFDC_READER_FAULT = 4120,     // the reader did not answer
    KESSSFDC_HOST_FILE = 4121,        // a file on this computer cannot be read or written
    KESSSFDC_BAD_ARGUMENT = 4122,     // a value passed to the service is out of range
    KESSSFDC_CARD_IMAGE = 4123,       // the simulated card's image file cannot be used
    KESSSFDC_CARD_IN_USE = 4124,      // another program holds the card
};

namespace kestra::card {

class CardError : public std::runtime_error {
  public:
    CardError(KESSSFDCERRORCODE code, const std::string& report)
        : std::runtime_error(report), code_(code) {}
    KESSSFDCERRORCODE code() const { return code_; }

  private:
    KESSSFDCERRORCODE code_;
};

}  // namespace kestra::card
