// The PLC setup of a project: the defaults of a new project, the layout of the reserved
// areas in the data block, and the compact runtime protocol record the panel receives.
#pragma once

#include <cstdint>

#include "kestra/project.h"

namespace kestra::s5 {

// InitPlcDefaults: 1 done, 0 for an unknown mode or a missing record the mode needs.
bool InitDefaults(ProjectBlock* project, const uPLCSETUP* network, uPLCSETUP* setup,
                  FieldRecord* field, unsigned mode);

// Version of a new project: PLC type 20, project type and firmware byte from string 1.
void SetNewProjectVersion(ProjectRecord& record);

// Area layout flags.
enum AreaFlag : unsigned {
    kSpinDown = 0x01,     // start one element lower
    kKeepStart = 0x02,    // start where area 0 is (otherwise one element higher)
    kSingleArea = 0x04,   // lay out only the area selected by the next four bits
    kSelectArea0 = 0x08,  // kSelectArea0 << n selects area n
};
// Bytes each reserved area takes in `space` bytes of data block: areas 2, 1 and 0 are fitted
// in that order into what the others leave (area 3 takes none); parts that do not fit are
// dropped.
struct AreaBytes {
    unsigned area[4];
};
struct S5LinkParams;
AreaBytes FitAreas(const S5LinkParams& params, unsigned space);

// Lays out the reserved areas from the element of `first` (the reference of area 0, or with
// kSingleArea of the area laid out); returns the start byte offset.
unsigned LayoutAreas(uPLCADR& first, ProjectRecord& record, unsigned flags);

// The reserved areas as a loaded type 1 image leaves them: DB `dataBlock`, byte offsets
// 0, 8, 28, 42, the sizes the image form implies.
void ResetAreasForImage(ProjectRecord& record, std::uint8_t dataBlock);

// Runtime protocol record (17 bytes) and its local part (the record from byte 4).
inline constexpr unsigned kRuntimeProtocolSize = 17;
inline constexpr unsigned kLocalPartOffset = 4;
void ProtocolToRuntime(std::uint8_t* runtime, const ProjectRecord& record);
void ProtocolFromRuntime(const std::uint8_t* runtime, ProjectRecord& record);
void LocalToRuntime(std::uint8_t* local, const uPLCSETUP& setup);
void LocalFromRuntime(const std::uint8_t* local, uPLCSETUP& setup);

// The PLC setup flags byte of a model: protocol variant 6, bit 4 set, bits 5-6 = 2.
inline constexpr std::uint8_t kDefaultSetupFlags = 0x06 | 0x10 | (2 << 5);
inline constexpr std::uint16_t kDefaultDataBlock = 10;

}  // namespace kestra::s5
