#include "card_access/card_operations.h"

namespace kestra::ssfdc {

namespace {
bool noReset() {
    return false;
}
bool noReadId(std::uint32_t&) {
    return false;
}
bool noReadStatus(std::uint8_t&) {
    return false;
}
bool noReadData(unsigned, std::uint8_t*, unsigned) {
    return false;
}
bool noWriteData(unsigned, const std::uint8_t*, unsigned) {
    return false;
}
bool noErase(unsigned) {
    return false;
}
}  // namespace

const CardOperations kNoPathOperations = {noReset,    noReadId,    noReadStatus,
                                          noReadData, noWriteData, noErase};

ReaderState& Reader() {
    static ReaderState state{&kNoPathOperations};
    return state;
}

}  // namespace kestra::ssfdc
