// The S5 link parameters of the project record, offsets 83 to 410: the references of the
// four reserved areas in the data block the panel shares with the PLC, their sizes, and the
// protocol values around them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kestra/project.h"

namespace kestra::s5 {

// A reserved-area reference; 32 bytes of it are copied when one reference is derived from
// another.
struct ReservedRef {
    uPLCADR ref;
    std::uint8_t tail[2];
};
static_assert(sizeof(ReservedRef) == 32);

struct S5LinkParams {
    ReservedRef area0;        // 83
    std::uint8_t size0;       // 115
    ReservedRef area1;        // 116
    std::uint8_t sizes1[3];   // 148, 149, 150
    ReservedRef area2;        // 151
    std::uint8_t value183;    // 183
    std::uint8_t sizes2[3];   // 184, 185, 186
    ReservedRef area3;        // 187
    std::uint8_t value219;    // 219
    std::uint8_t size3;       // 220
    ReservedRef behind1;      // 221: behind the parts of area 1
    std::uint8_t zero253[4];  // 253
    std::uint8_t r257[6];
    std::uint8_t b263;     // 263
    ReservedRef behind2;   // 264: behind the parts of area 2
    std::uint8_t zero296;  // 296
    std::uint8_t r297[9];
    std::uint8_t b306;         // 306
    ReservedRef ref307;        // 307
    std::uint8_t zero339;      // 339
    std::uint8_t b340;         // 340
    ReservedRef ref341;        // 341
    std::uint8_t zero373;      // 373
    std::uint8_t b374;         // 374
    std::uint8_t zero375[20];  // 375 to 394
    le16 absent[4];            // 395: 0xFFFF when the area's sizes are all 0
    std::uint8_t b403;         // 403
    std::uint8_t r404[3];
    std::uint8_t b407;  // 407
    std::uint8_t b408;  // 408
    std::uint8_t r409[2];

    static constexpr std::size_t kRecordOffset = 83;
    static constexpr std::uint16_t kAbsent = 0xFFFF;

    std::array<uPLCADR*, 8> references() {
        return {&area0.ref,   &area1.ref,   &area2.ref,  &area3.ref,
                &behind1.ref, &behind2.ref, &ref307.ref, &ref341.ref};
    }
    std::array<ReservedRef*, 4> areas() { return {&area0, &area1, &area2, &area3}; }
};
static_assert(sizeof(S5LinkParams) == sizeof(ProjectRecord::plcParams));
static_assert(offsetof(S5LinkParams, size0) == 115 - 83 &&
              offsetof(S5LinkParams, sizes1) == 148 - 83);
static_assert(offsetof(S5LinkParams, area2) == 151 - 83 &&
              offsetof(S5LinkParams, value183) == 183 - 83);
static_assert(offsetof(S5LinkParams, area3) == 187 - 83 &&
              offsetof(S5LinkParams, size3) == 220 - 83);
static_assert(offsetof(S5LinkParams, behind1) == 221 - 83 &&
              offsetof(S5LinkParams, b263) == 263 - 83);
static_assert(offsetof(S5LinkParams, behind2) == 264 - 83 &&
              offsetof(S5LinkParams, b306) == 306 - 83);
static_assert(offsetof(S5LinkParams, ref307) == 307 - 83 &&
              offsetof(S5LinkParams, b340) == 340 - 83);
static_assert(offsetof(S5LinkParams, ref341) == 341 - 83 &&
              offsetof(S5LinkParams, zero375) == 375 - 83);
static_assert(offsetof(S5LinkParams, absent) == 395 - 83 &&
              offsetof(S5LinkParams, b403) == 403 - 83);
static_assert(offsetof(S5LinkParams, b407) == 407 - 83);

inline S5LinkParams& LinkParams(ProjectRecord& record) {
    return RecordAt<S5LinkParams>(record.plcParams);
}
inline const S5LinkParams& LinkParams(const ProjectRecord& record) {
    return RecordAt<S5LinkParams>(record.plcParams);
}

}  // namespace kestra::s5
