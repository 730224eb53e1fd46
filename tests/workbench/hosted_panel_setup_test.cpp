// The panel setup of a project: the exchange block built from the project, a reply taken back
// into it, and a round trip with a real Panora on a socket of the test's own.
#include "workbench/hosted/hosted_panel_setup.h"

#include <cstring>

#include "hosted_test_support.h"
#include "kestra/panel_display.h"
#include "panel_setup/panora_script.h"
#include "panel_setup/setup_records.h"
#include "panel_setup/setup_texts.h"
#include "utilities/folders.h"

namespace kestra::workbench::testing {
namespace {

namespace block = panel::block;
namespace setup = panel::setup;

constexpr int kStartWaitMs = 20000;  // a sanitized Qt program starts slowly

std::uint8_t* RecordBytes(ProjectBlock& project) {
    return reinterpret_cast<std::uint8_t*>(&project.record);
}

std::vector<std::uint8_t> Tail(const ProjectBlock& project) {
    const auto bytes = mem::Bytes(project.ext.tail);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return {data, data + std::min<std::size_t>(bytes.size(), project.ext.tailLength)};
}

class PanelSetup : public HostedTest {
  protected:
    SetupRequestFacts facts() {
        SetupRequestFacts f;
        f.projectSize = 12345;
        f.driverName = "Simatic S5 - Old";
        f.nodes = {{3, 0, "AG115 CPU 945"}, {0x17, 2, "AG90/100/115/135"}};
        return f;
    }
    // A reply as Panora gives it: the request's fixed part with the results written in.
    std::vector<std::uint8_t> replyTo(const std::vector<std::uint8_t>& request) {
        return {request.begin(), request.begin() + block::kFixedSize};
    }
};

TEST_F(PanelSetup, RequestCarriesTheProjectsSetupAndFacts) {
    std::uint8_t* record = RecordBytes(block());
    record[setup::kTimeDateFormat] = 0x21;
    record[setup::kNodeNumber] = 9;
    record[setup::kFlags414] = 0x03;  // clock synchronisation, buzzer on
    const auto request = SetupRequestOf(block(), facts());
    ASSERT_EQ(request.size(), block::kFixedSize + 2 * block::kNodeSize);
    EXPECT_EQ(request[block::kCompact + 0], 0x01);
    EXPECT_EQ(request[block::kCompact + 1], 0x02);
    EXPECT_EQ(request[block::kCompact + 13], 9);
    EXPECT_EQ(request[block::kCompact + 17], 0x07) << "bits 0, 1 and the inverted buzzer bit";
    EXPECT_EQ(ReadLe32(&request[block::kProjectSize]), 12345u);
    EXPECT_EQ(ReadLe16(&request[block::kNodeCount]), 2);
    // No setup kept yet: an empty display record and the passthrough defaults.
    EXPECT_EQ(request[block::kDisplay + 10], 0);
    EXPECT_EQ(ReadLe16(&request[block::kPassthrough + 1]), 9600);
    EXPECT_STREQ(reinterpret_cast<const char*>(&request[block::kPassthrough + 9]), "ATD\r");
    const std::uint8_t* second = &request[block::kFixedSize + block::kNodeSize];
    EXPECT_EQ(ReadLe16(second), 0x17);
    EXPECT_EQ(ReadLe16(second + 2), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(second + 6), "Simatic S5 - Old");
    EXPECT_STREQ(reinterpret_cast<const char*>(second + 70), "AG90/100/115/135");
}

TEST_F(PanelSetup, ReplyGoesIntoTheProjectRecordAndTheKeptRecord) {
    auto reply = replyTo(SetupRequestOf(block(), facts()));
    reply[block::kSetupChanged] = 1;
    reply[block::kCompact + 2] = 3;   // display code
    reply[block::kCompact + 12] = 1;  // network
    reply[block::kCompact + 4] = 99;  // PLC type travels back only: never taken
    reply[block::kDisplayChanged] = 1;
    std::strcpy(reinterpret_cast<char*>(&reply[block::kDisplay + 10]), "KP-570 Color Panel");
    WriteLe16(&reply[block::kDisplay + 90], 99);  // a display the table does not know
    WriteLe16(&reply[block::kDisplay + 92], 30);
    WriteLe16(&reply[block::kDisplay + 94], 64);
    reply[block::kPasswordChanged] = 1;
    std::strcpy(reinterpret_cast<char*>(&reply[block::kPassword]), "secret");
    std::strcpy(reinterpret_cast<char*>(&reply[block::kModelPath]), "/x/Panels/KP570.dat");
    reply[block::kEthernet] = 1;

    const ProjectRecord recordBefore = block().record;
    TakeSetupReply(block(), reply);
    const std::uint8_t* record = RecordBytes(block());
    EXPECT_EQ(record[setup::kDisplayCode], 3);
    EXPECT_EQ(record[setup::kNetworkEnabled], 1);
    EXPECT_EQ(block().record.plcType.get(), 20);
    // Nothing else of the record moved.
    for (std::size_t i = 0; i < sizeof(ProjectRecord); ++i)
        if (i != setup::kDisplayCode && i != setup::kNetworkEnabled && i != setup::kFlags414)
            EXPECT_EQ(record[i], reinterpret_cast<const std::uint8_t*>(&recordBefore)[i]) << i;

    const auto tail = Tail(block());
    ASSERT_EQ(tail.size(), 8u + 2725u);
    EXPECT_EQ(std::string(tail.begin(), tail.begin() + 4), "KWPS");
    EXPECT_EQ(ReadLe16(&tail[4]), 1);
    EXPECT_EQ(ReadLe16(&tail[6]), 2725);
    // Kept: the display and passthrough records, the Ethernet bytes, the password and the path;
    // not the project size, which is worked out for every request.
    auto kept = [&](std::size_t from, std::size_t to) {
        return std::equal(tail.begin() + 8 + (from - 35), tail.begin() + 8 + (to - 35),
                          reply.begin() + static_cast<long>(from));
    };
    EXPECT_TRUE(kept(block::kDisplay, block::kProjectSize));
    EXPECT_TRUE(kept(block::kPassword, block::kValue2758));
    EXPECT_EQ(ReadLe32(&tail[8 + block::kProjectSize - 35]), 0u);
    EXPECT_EQ(PanelModelOf(block()), "KP-570 Color Panel");
    // The display the setup chose, by the geometry it recorded.
    const host::PanelDisplay display = host::PanelDisplayOf(block());
    EXPECT_EQ(display.source, host::PanelDisplay::Source::PanelSetup);
    EXPECT_EQ(display.code, 99);
    EXPECT_EQ(display.rows, 30);
    EXPECT_EQ(display.columns, 64);

    // The next request carries what was kept.
    const auto again = SetupRequestOf(block(), facts());
    EXPECT_TRUE(std::equal(again.begin() + 35, again.begin() + 2478, reply.begin() + 35));
    EXPECT_STREQ(reinterpret_cast<const char*>(&again[block::kPassword]), "secret");
    EXPECT_EQ(again[block::kCompact + 2], 3);
}

TEST_F(PanelSetup, UnchangedPartsOfAReplyKeepWhatTheProjectHad) {
    auto reply = replyTo(SetupRequestOf(block(), facts()));
    reply[block::kPasswordChanged] = 1;
    std::strcpy(reinterpret_cast<char*>(&reply[block::kPassword]), "first");
    TakeSetupReply(block(), reply);
    const ProjectRecord record = block().record;
    auto second = replyTo(SetupRequestOf(block(), facts()));
    std::strcpy(reinterpret_cast<char*>(&second[block::kPassword]), "ignored");
    second[block::kCompact + 2] = 5;  // not marked as changed
    TakeSetupReply(block(), second);
    EXPECT_EQ(std::memcmp(&record, &block().record, sizeof record), 0);
    const auto again = SetupRequestOf(block(), facts());
    EXPECT_STREQ(reinterpret_cast<const char*>(&again[block::kPassword]), "first");
}

TEST_F(PanelSetup, AForeignTailBlockIsKeptAndItsProjectsSetupNotEdited) {
    const HGLOBAL foreign = GlobalAlloc(GHND, 5);
    std::memcpy(mem::Data(foreign), "other", 5);
    block().ext.tail = foreign;
    block().ext.tailLength = 5;
    EXPECT_EQ(TailStateOf(block()), TailState::Foreign);
    EXPECT_THROW(SetupRequestOf(block(), facts()), host::Failure);
    const std::vector<std::uint8_t> reply(block::kFixedSize);
    EXPECT_THROW(TakeSetupReply(block(), reply), host::Failure);
    EXPECT_EQ(Tail(block()), (std::vector<std::uint8_t>{'o', 't', 'h', 'e', 'r'}));
    EXPECT_EQ(host::PanelDisplayOf(block()).source, host::PanelDisplay::Source::GenericModel);
}

TEST_F(PanelSetup, AReplyOfTheWrongSizeIsRefusedAndChangesNothing) {
    const host::Bytes before = image();
    for (std::size_t size : {std::size_t{0}, block::kFixedSize - 1, block::kFixedSize + 1})
        EXPECT_THROW(TakeSetupReply(block(), std::vector<std::uint8_t>(size)), host::Failure)
            << size;
    EXPECT_EQ(image(), before);
}

// Panora is started by the client as the editor starts it; its script ends the sheet. A PLC
// of the project's network folder gives the sheet its network page.
TEST_F(PanelSetup, RoundTripWithPanoraTakesTheSheetsResultIntoTheProject) {
    uPLCSETUP node{};
    node.nodeKey = 1;
    node.model = 2;
    ASSERT_TRUE(ExpRegisterNetNodeData(&block().record.nodeA, &node));
    block().record.nodeA.flags |= uPLCSETUP::kHasChildren;
    EnvironmentScope script(
        panel::kScriptVariable,
        std::string("model=KP-570 Color Panel;network=on;clock=on;password=fresh;ok"));
    panel::PanelSetupOptions options;
    options.launchWaitMs = kStartWaitMs;
    EXPECT_TRUE(EditPanelSetupWith(&window, project, *driver, options));
    EXPECT_TRUE(told.empty()) << told.front();
    LoadedProject back = host::Store::Get().load("saved", image());
    EXPECT_EQ(RecordBytes(back.block())[setup::kNetworkEnabled], 1);
    EXPECT_EQ(RecordBytes(back.block())[setup::kFlags414] & 0x03, 0x03) << "clock synchronisation";
    EXPECT_EQ(PanelModelOf(back.block()), "KP-570 Color Panel");
    SetupRequestFacts none;
    const auto request = SetupRequestOf(back.block(), none);
    EXPECT_STREQ(reinterpret_cast<const char*>(&request[block::kPassword]), "fresh");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&request[block::kModelPath])),
              platform::JoinPath(platform::ProgramFolder(), "Panels/KP570.dat"));
}

TEST_F(PanelSetup, CancelInPanoraChangesNoByte) {
    EnvironmentScope script(panel::kScriptVariable, std::string("clock=on;password=x;cancel"));
    panel::PanelSetupOptions options;
    options.launchWaitMs = kStartWaitMs;
    const host::Bytes before = image();
    EXPECT_FALSE(EditPanelSetupWith(&window, project, *driver, options));
    EXPECT_EQ(image(), before);
}

TEST_F(PanelSetup, PanoraThatCannotStartIsTold) {
    panel::PanelSetupOptions options;
    options.programFolder = folder.path();  // no Panora there
    const host::Bytes before = image();
    EXPECT_FALSE(EditPanelSetupWith(&window, project, *driver, options));
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), "Panel Setup: Error launching panel setup dialog");
    EXPECT_EQ(image(), before);
}

}  // namespace
}  // namespace kestra::workbench::testing
