#include "plc_s5/protocol.h"

#include <gtest/gtest.h>

#include "plc_s5/k32plc1.h"
#include "plc_s5/link_params.h"
#include "s5_project.h"

using namespace kestra;
using namespace kestra::s5;
using kestra::s5::testing::TestProject;

namespace {

std::vector<unsigned> AreaOffsets(ProjectRecord& r) {
    std::vector<unsigned> out;
    for (ReservedRef* area : LinkParams(r).areas()) out.push_back(area->ref.byteOffset);
    return out;
}

}  // namespace

TEST(PlcDefaults, NewProjectGetsSetupVersionProtocolAndField) {
    TestProject project;
    uPLCSETUP& setup = project.record().nodeA;
    FieldRecord field{};
    field.display.fieldType = kNumeric;
    field.plc.flags = uPLCADR::kBoundToTag | uPLCADR::kHighPriority;
    ASSERT_TRUE(InitPlcDefaults(&project.block(), nullptr, &setup, &field, 0));
    EXPECT_EQ(setup.model.get(), 1);
    EXPECT_EQ(setup.protocol, 0x56);
    EXPECT_EQ(setup.slaveAddress.get(), 10);
    EXPECT_TRUE(setup.flags & uPLCSETUP::kAddressSet);
    EXPECT_EQ(project.record().plcType.get(), 20);
    EXPECT_EQ(project.record().projectType, 1);
    EXPECT_EQ(project.record().firmware, 0x31);

    S5LinkParams& p = LinkParams(project.record());
    for (uPLCADR* ref : p.references()) {
        EXPECT_EQ(ref->dataBlock, 10);
        EXPECT_EQ(ref->dataFormat, kWord);
        EXPECT_EQ(ref->dataType.get(), 1);
        EXPECT_EQ(ref->editor24, 1);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p.absent[i].get(), 0xFFFF);  // no sizes
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{0, 0, 0, 0}));
    const auto* record = reinterpret_cast<const std::uint8_t*>(&project.record());
    EXPECT_EQ(record[183], 50);
    EXPECT_EQ(record[219], 100);
    EXPECT_EQ(record[403], 1);
    EXPECT_EQ(record[407], 100);
    EXPECT_EQ(record[408], 100);

    EXPECT_EQ(field.plc.dataBlock, 10);
    EXPECT_EQ(field.plc.dataFormat, kWord);
    EXPECT_EQ(field.plc.flags, uPLCADR::kHighPriority);
    EXPECT_EQ(field.display.scaleB.get(), 1);
    EXPECT_EQ(field.display.maximum.get(), 65535);
}

TEST(PlcDefaults, ModelSizesLayOutTheReservedAreas) {
    TestProject project;
    uPLCSETUP& setup = project.record().nodeA;
    auto* record = reinterpret_cast<std::uint8_t*>(&project.record());
    record[263] = record[254] = record[380] = 0x77;
    ASSERT_TRUE(InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 0));
    ASSERT_TRUE(InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 7));
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{0, 8, 28, 42}));
    EXPECT_EQ(record[115], 8);
    EXPECT_EQ(record[148], 8);
    EXPECT_EQ(record[149], 2);
    EXPECT_EQ(record[150], 10);
    EXPECT_EQ(record[184], 2);
    EXPECT_EQ(record[185], 4);
    EXPECT_EQ(record[186], 2);
    EXPECT_EQ(record[220], 32);
    EXPECT_EQ(record[263] | record[254] | record[380], 0);
    const S5LinkParams& p = LinkParams(project.record());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p.absent[i].get(), 0);
    EXPECT_EQ(p.behind1.ref.byteOffset.get(), 8 + 8 + 2 + 2);  // the third part counts at most 2
    EXPECT_EQ(p.behind2.ref.byteOffset.get(), 28 + 2 + 4 + 2);
    EXPECT_EQ(p.behind1.ref.dataBlock, 10);
}

TEST(PlcDefaults, NetworkProjectsTagEveryReservedReference) {
    TestProject project;
    project.record().onNetwork = 1;
    uPLCSETUP network{};
    network.nodeKey = 77;
    network.flags = uPLCSETUP::kHasChildren;
    uPLCSETUP setup{};
    setup.slaveAddress = 23;
    ASSERT_TRUE(InitPlcDefaults(&project.block(), &network, &setup, nullptr, 3));
    for (uPLCADR* ref : LinkParams(project.record()).references()) {
        EXPECT_EQ(ref->networkNode.get(), 77);
        EXPECT_EQ(ref->slaveAddress.get(), 23);
    }
}

TEST(PlcDefaults, ModesWithoutTheirRecords) {
    uPLCSETUP setup{};
    FieldRecord field{};
    for (DWORD mode : {1u, 2u, 3u, 5u, 7u})
        EXPECT_TRUE(InitPlcDefaults(nullptr, nullptr, &setup, nullptr, mode));
    EXPECT_FALSE(InitPlcDefaults(nullptr, nullptr, &setup, nullptr, 4));
    EXPECT_FALSE(InitPlcDefaults(nullptr, nullptr, &setup, nullptr, 6));
    EXPECT_FALSE(InitPlcDefaults(nullptr, nullptr, &setup, &field, 8));
    EXPECT_FALSE(InitPlcDefaults(nullptr, nullptr, nullptr, &field, 0));
    field.display.maximum = 5;
    ASSERT_TRUE(
        InitPlcDefaults(nullptr, nullptr, &setup, &field, 0x10006));  // the low word is the mode
    EXPECT_EQ(field.plc.dataBlock, 10);
    EXPECT_EQ(field.display.maximum.get(), 5);  // mode 6 leaves the display part

    TestProject project;
    project.record().projectType = 9;
    LinkParams(project.record()).value183 = 1;
    ASSERT_TRUE(InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 2));
    EXPECT_EQ(project.record().projectType, 1);
    EXPECT_EQ(LinkParams(project.record()).value183, 1);  // version only
}

TEST(AreaLayout, WrapsAndSpins) {
    TestProject project;
    uPLCSETUP& setup = project.record().nodeA;
    InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 7);
    uPLCADR& area0 = LinkParams(project.record()).area0.ref;
    area0.byteOffset = 1000;  // element 500
    EXPECT_EQ(ExpSetModelUpdateAreas(&area0, &project.block(), &setup, 0), 0u);
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{0, 8, 28, 42}));
    EXPECT_EQ(ExpSetModelUpdateAreas(&area0, &project.block(), &setup, 0), 2u);
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{2, 10, 30, 44}));
    EXPECT_EQ(ExpSetModelUpdateAreas(&area0, &project.block(), &setup, kSpinDown), 0u);
    EXPECT_EQ(ExpSetModelUpdateAreas(&area0, &project.block(), &setup, kSpinDown),
              466u);  // 254 - 21 elements
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{466, 474, 494, 508}));
    EXPECT_EQ(ExpSetModelUpdateAreas(&area0, &project.block(), &setup, kKeepStart), 466u);

    // One area alone: only its reference moves.
    uPLCADR& area2 = LinkParams(project.record()).area2.ref;
    area2.byteOffset = 100;
    EXPECT_EQ(
        ExpSetModelUpdateAreas(&area2, &project.block(), &setup, kSingleArea | (kSelectArea0 << 2)),
        102u);
    EXPECT_EQ(AreaOffsets(project.record()), (std::vector<unsigned>{466, 474, 102, 508}));
}

TEST(AreaLayout, AbsentAreasTakeNoSpaceAndPartsAreDroppedWhenTheyDoNotFit) {
    TestProject project;
    InitPlcDefaults(&project.block(), nullptr, &project.record().nodeA, nullptr, 7);
    S5LinkParams& p = LinkParams(project.record());
    AreaBytes fitted = FitAreas(p, 512);
    EXPECT_EQ(fitted.area[0], 8u);
    EXPECT_EQ(fitted.area[1], 20u);
    EXPECT_EQ(fitted.area[2], 14u);
    EXPECT_EQ(fitted.area[3], 0u);

    fitted = FitAreas(p, 20);  // area 1 loses its extra and its 8-byte part, area 0 gets the rest
    EXPECT_EQ(fitted.area[2], 14u);
    EXPECT_EQ(fitted.area[1], 4u);
    EXPECT_EQ(fitted.area[0], 2u);
    fitted = FitAreas(p, 6);  // the middle part of area 2 shrinks
    EXPECT_EQ(fitted.area[2], 6u);
    EXPECT_EQ(fitted.area[1], 0u);
    fitted = FitAreas(p, 3);
    EXPECT_EQ(fitted.area[2], 2u);  // the middle part gone, then the first
    p.sizes2[1] = 5;
    EXPECT_EQ(FitAreas(p, 512).area[2], 2u + 6 + 2 + 6);  // odd middle parts round up

    p.absent[1] = S5LinkParams::kAbsent;
    p.size0 = 255;
    fitted = FitAreas(p, 512);
    EXPECT_EQ(fitted.area[1], 0u);
    EXPECT_EQ(fitted.area[0], 256u);
    p.absent[0] = S5LinkParams::kAbsent;
    EXPECT_EQ(FitAreas(p, 512).area[0], 0u);
}

TEST(RuntimeProtocol, PacksSizesModelAndSlaveAddress) {
    TestProject project;
    uPLCSETUP& setup = project.record().nodeA;
    InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 0);
    InitPlcDefaults(&project.block(), nullptr, &setup, nullptr, 7);
    setup.slaveAddress = 12;
    BYTE runtime[17];
    std::memset(runtime, 0xC0, sizeof runtime);
    ExpConvertProtocParamProject2PLC(runtime, &project.block());
    EXPECT_EQ(runtime[0], 8);
    EXPECT_EQ(runtime[1], 0xC7);  // other bits kept
    EXPECT_EQ(runtime[2], 0xC3);
    EXPECT_EQ(runtime[3], 4);
    EXPECT_EQ(runtime[4], 0xC0);
    EXPECT_EQ(runtime[14], 1);
    EXPECT_EQ(ReadLe16(runtime + 15), 0x8000 | 12);

    TestProject other;
    auto* record = reinterpret_cast<std::uint8_t*>(&other.record());
    record[263] = record[306] = record[340] = record[374] = 9;
    runtime[1] = 0x05;
    runtime[2] = 0x02;
    runtime[14] = 2;
    WriteLe16(runtime + 15, 33);
    ExpConvertProtocParamPLC2Project(runtime, &other.block());
    EXPECT_EQ(record[148], 8);
    EXPECT_EQ(record[149], 0);
    EXPECT_EQ(record[150], 2);
    EXPECT_EQ(record[184], 0);
    EXPECT_EQ(record[185], 4);
    EXPECT_EQ(record[186], 2);
    EXPECT_EQ(record[220], 32);
    EXPECT_EQ(record[263] | record[306] | record[340] | record[374], 0);
    EXPECT_EQ(other.record().nodeA.model.get(), 2);
    EXPECT_EQ(other.record().nodeA.slaveAddress.get(), 33);
    EXPECT_FALSE(other.record().nodeA.flags & uPLCSETUP::kAddressSet);

    BYTE source = 0x5A, destination = 0;
    ExpConvertCommParamProject2PLC(&destination, &source);
    EXPECT_EQ(destination, 0x5A);
}
