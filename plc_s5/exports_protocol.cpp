// Exports of the protocol family and the layout of the reserved areas.
#include "plc_s5/k32plc1.h"
#include "plc_s5/protocol.h"

using namespace kestra;
using namespace kestra::s5;

extern "C" {

DWORD ExpSetModelUpdateAreas(uPLCADR* first, sTARGSETUP* project, const uPLCSETUP*, DWORD flags) {
    if (!first || !project) return 0;
    return LayoutAreas(*first, project->record, flags);
}

void ExpConvertProtocParamProject2PLC(BYTE* runtime, const sTARGSETUP* project) {
    if (runtime && project) ProtocolToRuntime(runtime, project->record);
}

void ExpConvertProtocParamPLC2Project(const BYTE* runtime, sTARGSETUP* project) {
    if (runtime && project) ProtocolFromRuntime(runtime, project->record);
}

void ExpConvertLocalProtocParamProject2PLC(BYTE* local, const uPLCSETUP* setup, const sTARGSETUP*) {
    if (local && setup) LocalToRuntime(local, *setup);
}

void ExpConvertLocalProtocParamPLC2Project(const BYTE* local, uPLCSETUP* setup, std::uintptr_t) {
    if (local && setup) LocalFromRuntime(local, *setup);
}

void ExpConvertCommParamProject2PLC(BYTE* destination, const BYTE* source) {
    if (destination && source) *destination = *source;
}

void ExpConvertCommParamPLC2Project(BYTE* destination, const BYTE* source) {
    if (destination && source) *destination = *source;
}

}  // extern "C"
