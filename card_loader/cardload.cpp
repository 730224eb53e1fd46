#include "card_loader/card_loader.h"
#include "card_service/card_errors.h"
#include "platform/standard_output.h"

int main(int argc, char** argv) {
    // A run whose report does not arrive ends as a failure to write a file of this computer.
    const int code = RunCardLoader(argc, argv);
    return kestra::platform::FinishStandardOutput("cardload", code, KESSSFDC_HOST_FILE);
}
