// Exports of the optimisation family. The driver groups reads itself only in its type 1
// image; for the editor's own datagram builder it answers the questions that decide the
// grouping and leaves the datagrams to the editor's defaults.
#include "kestra/paged_offset.h"
#include "plc_s5/address.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/read_requests.h"

using namespace kestra;
using namespace kestra::s5;

namespace {
DWORD NothingDone() {
    return 0;
}
}  // namespace

extern "C" {

BOOL ExpOptimizationSupported(const uPLCSETUP* setup, const tagFIELDREC* field, BYTE* length) {
    std::optional<std::uint8_t> bytes = field ? OptimisationLength(setup, *field) : std::nullopt;
    if (length) *length = bytes.value_or(0);
    return bytes ? TRUE : FALSE;
}

DWORD ExpNumBytesForOptimization(const uPLCSETUP* setup, const uPLCADR* ref) {
    const ModelRow* row = RowOf(setup);
    if (!row || !ref || ref->dataType >= kDataTypeCount) return 0;
    return row->bytesPerRequest;
}

BOOL ExpMemoryAreasCompatible(DWORD, DWORD) {
    return TRUE;
}

DWORD ExpGetByteOffsetAndLengthForOpt(std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                      std::uintptr_t, std::uintptr_t) {
    return NothingDone();
}

void ExpSetPLCAddressForOpt(std::uintptr_t, std::uintptr_t, std::uintptr_t) {}

DWORD ExpCreateNewDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                           std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                           std::uintptr_t) {
    return NothingDone();
}

DWORD ExpPlaceDataItemInDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                 std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                 std::uintptr_t) {
    return NothingDone();
}

std::uintptr_t ExpPlaceDataGramsInProjectFile(std::uintptr_t, std::uintptr_t second) {
    return second;
}

void ExpAlignPointersToDataGrams(std::uintptr_t) {}

DWORD ExpDataItemInDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                            std::uintptr_t, std::uintptr_t) {
    return NothingDone();
}

DWORD ExpGetGALength() {
    return sizeof(PagedOffset);
}

DWORD ExpGetSlaveIDFromGA(std::uintptr_t, std::uintptr_t, std::uintptr_t) {
    return NothingDone();
}

DWORD ExpGetSetGATagIndex(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t) {
    return NothingDone();
}

DWORD IsRDADefault(std::uintptr_t, std::uintptr_t) {
    return NothingDone();
}

}  // extern "C"
