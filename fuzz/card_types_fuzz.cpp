// "cardtype.ini" of any contents: the table loads, its lookups agree with each other.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "card_access/ssfdc_types.h"
#include "platform/file_writer.h"
#include "platform/files.h"

// The sources under test are compiled into this program as well as into their library (for
// coverage); the program's copies serve every call, so the doubled definitions are harmless.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        std::string name = "/tmp/kestra-card-types-fuzz-XXXXXX";
        return std::string(mkdtemp(name.data())) + "/";
    }();
    kestra::platform::WriteWholeFile(folder + "cardtype.ini",
                                     std::string_view(reinterpret_cast<const char*>(data), size));
    CSSFDCTypes types(folder.c_str());
    for (unsigned i = 0; i < types.getNumTypes(); ++i) {
        const CSSFDCStatus* type = types.getSSFDCDataByIndex(i);
        if (!type || std::strlen(type->Manufacturer) > 63) std::abort();
        const CSSFDCStatus* first = types.getSSFDCData(static_cast<unsigned>(type->TypeCode));
        if (!first || first > type) std::abort();  // the first of equal codes is found
    }
    if (types.getSSFDCDataByIndex(types.getNumTypes())) std::abort();
    return 0;
}
