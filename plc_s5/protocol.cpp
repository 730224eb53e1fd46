#include "plc_s5/protocol.h"

#include <algorithm>
#include <cstring>

#include "plc_s5/address.h"
#include "plc_s5/limits.h"
#include "plc_s5/link_params.h"
#include "plc_s5/strings.h"
#include "utilities/services.h"

namespace kestra::s5 {
namespace {

// Sizes of the reserved areas' parts.
struct AreaSizes {
    std::uint8_t area0;
    std::uint8_t area1[3];
    std::uint8_t area2[3];
    std::uint8_t area3;
};
// The model table (identical for models 0 to 2), and the sizes a loaded type 1 image implies.
constexpr AreaSizes kModelSizes = {8, {8, 2, 10}, {2, 4, 2}, 32};
constexpr AreaSizes kImageSizes = {8, {8, 2, 2}, {2, 4, 2}, 32};
constexpr unsigned kImageAreaOffsets[4] = {0, 8, 28, 42};

// Extra bytes areas 1 and 2 take when there is room for them.
constexpr unsigned kArea1Extra = 8;
constexpr unsigned kArea2Extra = 6;

enum Mode : unsigned {
    kAllDefaults = 0,
    kVersionAndProtocol = 1,
    kVersionOnly = 2,
    kProtocol = 3,
    kDefaultField = 4,
    kProtocolToo = 5,
    kFieldReference = 6,
    kProtocolWithSizes = 7,
};

unsigned RoundUpEven(unsigned n) {
    return (n + 1) & ~1u;
}

void SetSizes(S5LinkParams& p, const AreaSizes& sizes) {
    p.size0 = sizes.area0;
    std::memcpy(p.sizes1, sizes.area1, 3);
    std::memcpy(p.sizes2, sizes.area2, 3);
    p.size3 = sizes.area3;
    const bool present[4] = {p.size0 != 0, (p.sizes1[0] | p.sizes1[1] | p.sizes1[2]) != 0,
                             (p.sizes2[0] | p.sizes2[1] | p.sizes2[2]) != 0, p.size3 != 0};
    for (unsigned i = 0; i < 4; ++i) p.absent[i] = present[i] ? 0 : S5LinkParams::kAbsent;
}

void ResetReference(uPLCADR& ref) {
    ref.dataType = kDataBlock;
    ref.dataFormat = kWord;
    ref.dataBlock = kDefaultDataBlock;
}

// The references behind the parts of areas 1 and 2.
void DeriveBehindReferences(S5LinkParams& p) {
    p.behind1 = p.area1;
    p.behind1.ref.byteOffset +=
        static_cast<std::uint16_t>(p.sizes1[0] + p.sizes1[1] + std::min<unsigned>(p.sizes1[2], 2));
    p.behind2 = p.area2;
    p.behind2.ref.byteOffset += static_cast<std::uint16_t>(p.sizes2[0] + p.sizes2[1] + p.sizes2[2]);
}

void SetProtocolDefaults(ProjectBlock& project, const uPLCSETUP* network, const uPLCSETUP* setup,
                         bool modelSizes) {
    S5LinkParams& p = LinkParams(project.record);
    p.b263 = 0;
    std::memset(p.zero253, 0, sizeof p.zero253);
    p.zero296 = p.zero339 = p.zero373 = 0;
    std::memset(p.zero375, 0, sizeof p.zero375);
    for (uPLCADR* ref : p.references()) ref->editor24 = 1;
    p.b403 = 1;
    p.b407 = p.b408 = 100;
    p.value183 = 50;
    p.value219 = 100;
    if (project.record.onNetwork && network) {
        for (uPLCADR* ref : p.references()) {
            ref->networkNode = network->nodeKey;
            if ((network->flags & uPLCSETUP::kHasChildren) && setup)
                ref->slaveAddress = setup->slaveAddress;
        }
    }
    SetSizes(p, modelSizes ? kModelSizes : AreaSizes{});
    for (uPLCADR* ref : p.references()) ResetReference(*ref);
    p.area0.ref.byteOffset = 0;
    LayoutAreas(p.area0.ref, project.record, kKeepStart);
    DeriveBehindReferences(p);
}

// The default PLC reference of a field: DB 10, element 0, preferred format, not bound.
void SetDefaultReference(uPLCADR& ref, const ModelRow& row) {
    ref.dataBlock = kDefaultDataBlock;
    ref.byteOffset = 0;
    ref.dataFormat = row.preferredFormat;
    ref.bit = 0;
    ref.dataType = kDataBlock;
    ref.flags &= static_cast<std::uint8_t>(~uPLCADR::kBoundToTag);
    ref.tagIndex = 0;
}

// The default PLC part of a field: its reference, decimal base, read only, no fixed point,
// no scaling, and the default limits of its type.
void SetDefaultField(FieldRecord& field, const ModelRow& row) {
    SetDefaultReference(field.plc, row);
    sDISPFORMAT& d = field.display;
    d.format = static_cast<std::uint8_t>(kDecimal << 3);
    d.decimals = 0;
    d.access = 0;
    d.scaleA = 1;
    d.scaleB = 1;
    d.scaleC = 0;
    std::int32_t minimum = 0, maximum = 0;
    ValidateLimits(d, field.plc.dataFormat, minimum, maximum, true, false);
    d.minimum = minimum;
    d.maximum = maximum;
}

// Fits area 1's parts into `room` bytes; the part of 8 goes first, then the third, then the
// second.
unsigned FitArea1(const S5LinkParams& p, unsigned room) {
    if (p.absent[1] == S5LinkParams::kAbsent) return 0;
    unsigned parts[3] = {p.sizes1[0] ? 8u : 0u, p.sizes1[1] ? 2u : 0u, p.sizes1[2] ? 2u : 0u};
    const unsigned base = parts[0] + parts[1] + parts[2];
    if (base != 0 && base + kArea1Extra <= room) return base + kArea1Extra;
    for (unsigned drop : {0u, 2u, 1u}) {
        if (parts[0] + parts[1] + parts[2] <= room) break;
        parts[drop] = 0;
    }
    return parts[0] + parts[1] + parts[2];
}

// Fits area 2's parts into `room` bytes; the middle part shrinks first (in even steps),
// then the first goes, then the last.
unsigned FitArea2(const S5LinkParams& p, unsigned room) {
    if (p.absent[2] == S5LinkParams::kAbsent) return 0;
    unsigned parts[3] = {p.sizes2[0] ? 2u : 0u, RoundUpEven(p.sizes2[1]), p.sizes2[2] ? 2u : 0u};
    const unsigned base = parts[0] + parts[1] + parts[2];
    if (base != 0 && base + kArea2Extra <= room) return base + kArea2Extra;
    if (base > room) {
        const unsigned others = parts[0] + parts[2];
        parts[1] = others >= room ? 0 : std::min(parts[1], (room - others) & ~1u);
    }
    for (unsigned drop : {0u, 2u}) {
        if (parts[0] + parts[1] + parts[2] <= room) break;
        parts[drop] = 0;
    }
    return parts[0] + parts[1] + parts[2];
}

}  // namespace

void SetNewProjectVersion(ProjectRecord& record) {
    int values[8] = {};
    const std::string description = DriverString(strings::kDescription, 20);
    GetIniRangeNumbers(nullptr, nullptr, nullptr, description.c_str(), values, 8);
    const auto firmware = static_cast<std::uint8_t>(values[4]);
    record.plcType = static_cast<std::uint16_t>(values[2]);
    record.projectType = static_cast<std::uint8_t>(values[3]);
    // The firmware byte is the version with its two hexadecimal digits exchanged.
    record.firmware = static_cast<std::uint8_t>((firmware << 4) | (firmware >> 4));
}

bool InitDefaults(ProjectBlock* project, const uPLCSETUP* network, uPLCSETUP* setup,
                  FieldRecord* field, unsigned mode) {
    const ModelRow* row = RowOf(setup);
    switch (mode) {
        case kAllDefaults:
            if (!setup) return false;
            setup->model = 1;
            setup->protocol = kDefaultSetupFlags;
            setup->slaveAddress = ModelRowFor(1)->defaultSlaveAddress;
            setup->flags |= uPLCSETUP::kAddressSet;
            if (project) {
                SetNewProjectVersion(project->record);
                SetProtocolDefaults(*project, network, setup, false);
            }
            if (field) SetDefaultField(*field, *ModelRowFor(1));
            return true;
        case kVersionAndProtocol:
        case kVersionOnly:
            if (project) SetNewProjectVersion(project->record);
            if (project && mode == kVersionAndProtocol)
                SetProtocolDefaults(*project, network, setup, false);
            return true;
        case kProtocol:
        case kProtocolToo:
        case kProtocolWithSizes:
            if (project) SetProtocolDefaults(*project, network, setup, mode == kProtocolWithSizes);
            return true;
        case kDefaultField:
        case kFieldReference:
            if (!field || !row) return false;
            if (mode == kDefaultField)
                SetDefaultField(*field, *row);
            else
                SetDefaultReference(field->plc, *row);
            return true;
        default:
            return false;
    }
}

AreaBytes FitAreas(const S5LinkParams& p, unsigned space) {
    AreaBytes bytes{};
    bytes.area[2] = FitArea2(p, space);
    bytes.area[1] = FitArea1(p, space - bytes.area[2]);
    if (p.absent[0] != S5LinkParams::kAbsent)
        bytes.area[0] = std::min(RoundUpEven(p.size0), space - bytes.area[2] - bytes.area[1]);
    return bytes;
}

unsigned LayoutAreas(uPLCADR& first, ProjectRecord& record, unsigned flags) {
    S5LinkParams& p = LinkParams(record);
    const ModelRow& row = *ModelRowFor(1);
    const unsigned space = (row.readHigh - row.readLow + 1u) * kElementSize;

    int start = first.byteOffset / kElementSize;
    if (!(flags & kKeepStart)) start += (flags & kSpinDown) ? -1 : 1;

    const AreaBytes fitted = FitAreas(p, space);
    const unsigned* bytes = fitted.area;

    auto areas = p.areas();
    unsigned firstArea = 0, lastArea = 3;
    if (flags & kSingleArea) {
        for (firstArea = 0; firstArea < 4 && !(flags & (kSelectArea0 << firstArea)); ++firstArea) {
        }
        if (firstArea == 4) return first.byteOffset;
        lastArea = firstArea;
    }
    int total = 0;
    for (unsigned a = firstArea; a <= lastArea; ++a)
        total += static_cast<int>(bytes[a] / kElementSize);
    const int lastStart = static_cast<int>(row.readHigh) - 1 - total;
    if (start < 0)
        start = lastStart;
    else if (start > lastStart)
        start = 0;

    int element = start;
    for (unsigned a = firstArea; a <= lastArea; ++a) {
        areas[a]->ref.byteOffset =
            static_cast<std::uint16_t>(element * static_cast<int>(kElementSize));
        element += static_cast<int>(bytes[a] / kElementSize);
    }
    const auto startOffset = static_cast<unsigned>(start) * kElementSize;
    first.byteOffset = static_cast<std::uint16_t>(startOffset);
    return startOffset;
}

void ResetAreasForImage(ProjectRecord& record, std::uint8_t dataBlock) {
    S5LinkParams& p = LinkParams(record);
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    SetSizes(p, kImageSizes);
    auto areas = p.areas();
    for (unsigned a = 0; a < 4; ++a) {
        uPLCADR& ref = areas[a]->ref;
        ref.dataBlock = dataBlock;
        ref.byteOffset = static_cast<std::uint16_t>(kImageAreaOffsets[a]);
        ref.dataType = kDataBlock;
        ref.dataFormat = kWord;
    }
    p.value183 = 20;
    p.value219 = 100;
}

void ProtocolToRuntime(std::uint8_t* runtime, const ProjectRecord& record) {
    const S5LinkParams& p = LinkParams(record);
    auto setBit = [](std::uint8_t& byte, unsigned bit, bool on) {
        byte = static_cast<std::uint8_t>(on ? byte | (1u << bit) : byte & ~(1u << bit));
    };
    runtime[0] = p.size0;
    setBit(runtime[1], 0, p.sizes1[0] != 0);
    setBit(runtime[1], 1, p.sizes1[1] != 0);
    setBit(runtime[1], 2, p.sizes1[2] != 0);
    setBit(runtime[2], 0, p.sizes2[0] != 0);
    setBit(runtime[2], 1, p.sizes2[2] != 0);
    runtime[3] = p.sizes2[1];
    LocalToRuntime(runtime + kLocalPartOffset, record.nodeA);
}

void ProtocolFromRuntime(const std::uint8_t* runtime, ProjectRecord& record) {
    S5LinkParams& p = LinkParams(record);
    p.size3 = 32;
    p.size0 = runtime[0];
    p.sizes2[1] = runtime[3];
    p.sizes1[0] = (runtime[1] & 1) ? 8 : 0;
    p.sizes1[1] = (runtime[1] & 2) ? 2 : 0;
    p.sizes1[2] = (runtime[1] & 4) ? 2 : 0;
    p.sizes2[0] = (runtime[2] & 1) ? 2 : 0;
    p.sizes2[2] = (runtime[2] & 2) ? 2 : 0;
    p.b263 = p.b306 = p.b340 = p.b374 = 0;
    LocalFromRuntime(runtime + kLocalPartOffset, record.nodeA);
}

// Local part: byte 10 the model, u16 at 11 the slave address with the address-set flag in
// bit 15.
void LocalToRuntime(std::uint8_t* local, const uPLCSETUP& setup) {
    local[10] = static_cast<std::uint8_t>(setup.model);
    const std::uint16_t address = static_cast<std::uint16_t>(
        (setup.slaveAddress & 0x7FFF) | ((setup.flags & uPLCSETUP::kAddressSet) ? 0x8000 : 0));
    WriteLe16(local + 11, address);
}

void LocalFromRuntime(const std::uint8_t* local, uPLCSETUP& setup) {
    setup.model = local[10];
    const std::uint16_t address = ReadLe16(local + 11);
    setup.slaveAddress = static_cast<std::uint16_t>(address & 0x7FFF);
    setup.flags =
        static_cast<std::uint8_t>((address & 0x8000) ? setup.flags | uPLCSETUP::kAddressSet
                                                     : setup.flags & ~uPLCSETUP::kAddressSet);
}

}  // namespace kestra::s5
