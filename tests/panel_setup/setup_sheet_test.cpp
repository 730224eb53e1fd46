// The "Panel Setup" sheet on the installed model files, driven through its controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstring>
#include <deque>

#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"
#include "platform/message_box.h"
#include "support/temp_folder.h"

namespace kestra::panel {
namespace {

// Questions asked and the answers given, in order.
struct ScriptedAnswers {
    std::vector<std::string> asked;
    std::deque<int> answers;
    ScriptedAnswers() {
        platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view, UINT) {
                asked.emplace_back(text);
                if (answers.empty()) return IDYES;
                const int a = answers.front();
                answers.pop_front();
                return a;
            });
    }
    ~ScriptedAnswers() { platform::SetMessageBoxPresenter({}); }
};

struct Node {
    std::uint16_t id, kind;
    const char* driver;
};

// A request for a model, consistent with what the sheet shows for it.
std::vector<std::uint8_t> MakeBlock(const std::string& model, int version,
                                    std::vector<Node> nodes = {}) {
    std::vector<std::uint8_t> b(block::kFixedSize + block::kNodeSize * nodes.size());
    std::memcpy(&b[block::kDisplay + 10], model.c_str(), model.size());
    b[block::kDisplay + 112] = static_cast<std::uint8_t>(version / 100);
    b[block::kDisplay + 113] = static_cast<std::uint8_t>(version % 100);
    b[block::kCompact + 17] = 0x04;
    CPanelRPTData rpt;
    rpt.CopyRecordOut(std::span(b).subspan(block::kPassthrough).first<sizeof(PassthroughRecord)>());
    WriteLe16(&b[block::kNodeCount], static_cast<std::uint16_t>(nodes.size()));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::size_t n = block::kFixedSize + i * block::kNodeSize;
        WriteLe16(&b[n], nodes[i].id);
        WriteLe16(&b[n + 2], nodes[i].kind);
        std::strcpy(reinterpret_cast<char*>(&b[n + 6]), nodes[i].driver);
    }
    return b;
}

class SetupSheet : public ::testing::Test {
  protected:
    void SetUp() override {
        config.write("Fabricon.ini", "[Panel Setup]\nUseDisplayOrder=0\n");
        config.write("Displays.ini",
                     platform::ReadWholeFile(KESTRA_DATA_DIR "/Displays.ini").value());
    }

    void Open(std::vector<std::uint8_t> bytes) {
        request = SetupRequest::FromBlock(bytes);
        ASSERT_NE(request, nullptr);
        sheet = std::make_unique<CPanelSetupDlg>(
            request->setup, request->display, request->passthrough, request->ethernet,
            request->nodes, request->value2758, request->password, request->colourGraphicsUsed);
        sheet->SetPanelFolder(KESTRA_DATA_DIR "/Panels");
        sheet->SetForthOffered(request->forthOffered);
        sheet->SetProjectSize(request->projectSize);
        sheet->InitSheet();
    }
    // Ends the sheet and gives the reply the program would send.
    std::vector<std::uint8_t> Finish(bool ok) {
        if (ok) {
            sheet->accept();
            request->setup.CopyFrom(sheet->Setup());
            request->display.CopyFrom(sheet->Display());
            request->passthrough.CopyFrom(sheet->Passthrough());
        } else {
            sheet->reject();
        }
        return request->Reply(ok, sheet->Model() ? sheet->Model()->Path() : "");
    }
    // Takes over what the sheet stores for the current model, as the editor would keep it.
    std::vector<std::uint8_t> Settled(const std::string& model, int version,
                                      std::vector<Node> nodes = {}) {
        Open(MakeBlock(model, version, nodes));
        auto reply = Finish(true);
        reply.resize(block::kFixedSize + block::kNodeSize * nodes.size());
        auto fresh = MakeBlock(model, version, nodes);
        std::copy(fresh.begin() + block::kFixedSize, fresh.end(),
                  reply.begin() + block::kFixedSize);
        std::fill(reply.begin(), reply.begin() + 4, 0);
        return reply;
    }
    template <typename Page>
    Page* P(int resource) {
        return static_cast<Page*>(sheet->Page(resource));
    }

    testing::TempFolder config;
    testing::WindowsFolderScope windows{config.path()};
    ScriptedAnswers answers;
    std::unique_ptr<SetupRequest> request;
    std::unique_ptr<CPanelSetupDlg> sheet;
};

TEST_F(SetupSheet, PagesAndTheNetworkPageOnlyWithRealNodes) {
    Open(MakeBlock("KP-570 Color Panel", 210, {{1, 2, "hidden"}}));
    EXPECT_EQ(sheet->windowTitle(), "Panel Setup");
    ASSERT_EQ(sheet->Tabs()->count(), 5);
    const char* captions[] = {"Panel Model", "Settings", "External Devices", "Passthrough",
                              "Miscellaneous"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sheet->Tabs()->tabText(i), captions[i]);
    Open(MakeBlock("KP-570 Color Panel", 210, {{1, 2, "hidden"}, {3, 0, "S5"}}));
    ASSERT_EQ(sheet->Tabs()->count(), 6);
    EXPECT_EQ(sheet->Tabs()->tabText(5), "Network");
    auto* network = P<CPanelNetworkPpg>(379);
    ASSERT_EQ(network->nodes->topLevelItemCount(), 1);
    EXPECT_EQ(network->nodes->topLevelItem(0)->text(0), "3");
    EXPECT_EQ(network->nodes->headerItem()->text(2), "Controller Driver");
}

TEST_F(SetupSheet, ModelPageListsModelsVersionsAndMemory) {
    Open(MakeBlock("KP-220 Text Panel", 105));
    auto* page = P<CPanelModelPpg>(372);
    ASSERT_EQ(page->models->count(), 4);
    EXPECT_EQ(page->models->currentItem()->text(), "KP-220 Text Panel");
    ASSERT_EQ(page->versions->count(), 4);
    EXPECT_EQ(page->versions->itemText(0), "All");
    EXPECT_EQ(page->versions->itemText(2), "1.05");
    EXPECT_EQ(page->versions->currentText(), "1.05");
    EXPECT_EQ(page->panelMemory->count(), 2);  // 1.10 adds a third choice
    EXPECT_TRUE(page->picture->isVisibleTo(sheet.get()));
    EXPECT_FALSE(page->displayTypes->isVisibleTo(sheet.get()));
    EXPECT_EQ(page->description->toPlainText().toStdString(),
              "4 x 20 character LCD, 16 function keys, RS-232 and RS-485 ports.");
}

TEST_F(SetupSheet, UnlistedFirmwareVersionSelectsTheHighest) {
    Open(MakeBlock("KP-220 Text Panel", 108));
    EXPECT_EQ(sheet->Version(), 110);
    EXPECT_EQ(P<CPanelModelPpg>(372)->versions->currentText(), "1.10");
    EXPECT_EQ(P<CPanelModelPpg>(372)->panelMemory->count(), 3);
}

TEST_F(SetupSheet, VersionChangeAsksAndAppliesCapabilities) {
    Open(MakeBlock("KP-220 Text Panel", 100));
    auto* page = P<CPanelModelPpg>(372);
    answers.answers = {IDNO};
    page->versions->setCurrentIndex(page->versions->findData(105));
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], text::kVersionChange);
    EXPECT_EQ(sheet->Version(), 100);
    EXPECT_EQ(page->versions->currentText(), "1.00");
    EXPECT_FALSE(sheet->Setup().Bit(setup::kCaps405, 4));

    answers.answers = {IDYES};
    page = P<CPanelModelPpg>(372);
    page->versions->setCurrentIndex(page->versions->findData(105));
    EXPECT_EQ(sheet->Version(), 105);
    EXPECT_TRUE(sheet->Setup().Bit(setup::kCaps405, 4));  // languages from 1.05 on
    EXPECT_TRUE(sheet->Setup().IsModified());
    EXPECT_EQ(sheet->Display().Record().versionRemainder, 5);

    Open(Settled("KP-570 Color Panel", 210));
    sheet->Display().Record().features = 0;
    ASSERT_TRUE(sheet->ChangeVersion(300));
    // 3.00 fixes shapes on; pixel positioning and z-order (default 1) come along.
    EXPECT_EQ(sheet->Display().Record().features,
              feature::kPixelPositioning | feature::kZOrder | feature::kShapes);
    EXPECT_TRUE(sheet->Display().IsModified());
}

TEST_F(SetupSheet, ModelChangeToFewerColumnsAndToMonochromeAsks) {
    auto bytes = MakeBlock("KP-570 Color Panel", 210);
    bytes[block::kColourGraphicsUsed] = 1;
    WriteLe16(&bytes[block::kDisplay + 94], 40);  // as an earlier run left the record
    Open(bytes);
    EXPECT_EQ(sheet->Display().Record().columns, 40);
    auto* page = P<CPanelModelPpg>(372);
    answers.answers = {IDYES, IDNO};
    page->models->setCurrentItem(page->models->findItems("KP-220 Text Panel", Qt::MatchExactly)[0]);
    ASSERT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(answers.asked[0],
              "You are changing from 40 to 20 columns display. Some data may be lost. Proceed "
              "with reformatting ?");
    EXPECT_EQ(answers.asked[1], text::kToMonochrome);
    EXPECT_EQ(sheet->ModelName(), "KP-570 Color Panel");
    EXPECT_EQ(P<CPanelModelPpg>(372)->models->currentItem()->text(), "KP-570 Color Panel");

    answers.answers = {IDYES, IDYES};
    page = P<CPanelModelPpg>(372);
    page->models->setCurrentItem(page->models->findItems("KP-220 Text Panel", Qt::MatchExactly)[0]);
    EXPECT_EQ(sheet->ModelName(), "KP-220 Text Panel");
    EXPECT_EQ(sheet->Display().Record().columns, 20);
    EXPECT_EQ(sheet->Version(), 110);                      // 2.10 is not a KP-220 version
    EXPECT_FALSE(sheet->Setup().Bit(setup::kCaps405, 7));  // no TrendSupport
    auto reply = Finish(true);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ(reply[2], 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[block::kModelPath])),
              KESTRA_DATA_DIR "/Panels/KP220.dat");
}

// With colour graphics in use, a change to a display without semigraphic set 3 asks first,
// whatever colours code the editor sent; No keeps the model and every record as they were.
TEST_F(SetupSheet, SwitchToMonochromeAsksBeforeAnythingIsApplied) {
    struct Case {
        bool colourGraphics;
        std::uint8_t colours;
        const char* to;
        bool asks;
    };
    const Case cases[] = {
        {true, 0, "KP-220 Text Panel", true},    {true, 1, "KP-220 Text Panel", true},
        {true, 2, "KP-220 Text Panel", true},    {true, 4, "KP-220 Text Panel", true},
        {true, 8, "KP-220 Text Panel", true},    {false, 8, "KP-220 Text Panel", false},
        {true, 8, "KP-870T Touch Panel", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.to << " colours " << int(c.colours)
                     << (c.colourGraphics ? " with" : " without") << " colour graphics");
        auto bytes = MakeBlock("KP-570 Color Panel", 210);
        bytes[block::kColourGraphicsUsed] = c.colourGraphics;
        bytes[block::kCompact + 25] = c.colours;
        Open(bytes);
        std::vector<std::uint8_t> setupBefore(sheet->Setup().Record().begin(),
                                              sheet->Setup().Record().end());
        DisplayRecord displayBefore = sheet->Display().Record();
        answers.asked.clear();
        answers.answers = {IDNO};
        const bool changed = sheet->ChangeModel(c.to);
        const bool asked =
            std::count(answers.asked.begin(), answers.asked.end(), text::kToMonochrome) == 1;
        EXPECT_EQ(asked, c.asks);
        EXPECT_EQ(changed, !c.asks);
        if (!c.asks) continue;
        EXPECT_EQ(sheet->ModelName(), "KP-570 Color Panel");
        EXPECT_EQ(sheet->Version(), 210);
        EXPECT_EQ(sheet->Model()->Path(), KESTRA_DATA_DIR "/Panels/KP570.dat");
        EXPECT_TRUE(
            std::equal(setupBefore.begin(), setupBefore.end(), sheet->Setup().Record().begin()));
        EXPECT_EQ(std::memcmp(&displayBefore, &sheet->Display().Record(), sizeof displayBefore), 0);
        EXPECT_FALSE(sheet->Setup().IsModified());
        EXPECT_FALSE(sheet->Display().IsModified());
    }
}

TEST_F(SetupSheet, GenericModelShowsDisplayTypesAndKeepsUnknownCapabilities) {
    auto bytes = MakeBlock("Unknown Model", 100);
    bytes[block::kCompact + 10] = 0x80;  // trends
    WriteLe16(&bytes[block::kDisplay + 90], 12);
    Open(bytes);
    EXPECT_EQ(sheet->ModelName(), "Generic Panel");
    auto* page = P<CPanelModelPpg>(372);
    EXPECT_TRUE(page->displayTypes->isVisibleTo(sheet.get()));
    EXPECT_FALSE(page->picture->isVisibleTo(sheet.get()));
    EXPECT_EQ(page->displayTypes->currentText(), "320x240 Color");
    EXPECT_TRUE(sheet->Setup().Bit(setup::kCaps405, 7));
    auto* trends = P<CPanelDisplayPpg>(374)->ItemFor(16);
    EXPECT_TRUE(trends->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(trends->checkState(), Qt::Checked);
}

TEST_F(SetupSheet, TrendItemFixedByAPlainValueAndFreeUnderAChoiceList) {
    Open(MakeBlock("KP-870T Touch Panel", 300));
    EXPECT_EQ(P<CPanelDisplayPpg>(374)->ItemFor(3)->checkState(), Qt::Checked);  // fixed at 1
    auto* devices = P<CPanelExtDevicesPpg>(380);
    EXPECT_EQ(devices->tcmModule->currentText(), "None");  // fixed by "None;0"
    EXPECT_FALSE(devices->tcmModule->isEnabled());
    EXPECT_EQ(P<CPanelDisplayPpg>(374)->colours->currentText(), "256 Colors");
    auto* misc = P<CPanelMiscPpg>(378);
    EXPECT_TRUE(misc->timeouts[0]->isChecked());
    EXPECT_FALSE(misc->timeouts[0]->isEnabled());
    EXPECT_TRUE(misc->timeoutEdits[0]->isEnabled());  // the model fixes that it is on
    auto* trends = P<CPanelDisplayPpg>(374)->ItemFor(16);
    EXPECT_FALSE(trends->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(trends->checkState(), Qt::Checked);
    Open(MakeBlock("KP-570 Color Panel", 210));
    trends = P<CPanelDisplayPpg>(374)->ItemFor(16);
    EXPECT_TRUE(trends->flags() & Qt::ItemIsEnabled);
    EXPECT_EQ(P<CPanelDisplayPpg>(374)->ItemFor(19), nullptr);  // Forth not offered
}

TEST_F(SetupSheet, ColourCodeZeroShowsSixteenColours) {
    auto bytes = Settled("KP-570 Color Panel", 210);
    bytes[block::kCompact + 25] = 0;
    Open(bytes);
    sheet->Setup().Byte(setup::kColours) = 0;
    sheet->Refresh();
    auto* colours = P<CPanelDisplayPpg>(374)->colours;
    EXPECT_EQ(SelectedValue(colours), 4);
    EXPECT_EQ(colours->currentText(), "16 Colors");
    EXPECT_TRUE(colours->isEnabled());
    colours->setCurrentIndex(colours->findData(8));
    Finish(true);
    EXPECT_EQ(request->setup.Byte(setup::kColours), 8);
    EXPECT_EQ(request->display.Record().colours, 8);
    EXPECT_TRUE(request->display.Record().attributes & attr::kColourDisplay);
}

TEST_F(SetupSheet, OkWithoutChangeAndCancelLeaveTheFlags) {
    auto bytes = Settled("KP-570 Color Panel", 210, {{4, 0, "S5"}});
    Open(bytes);
    auto reply = Finish(true);
    EXPECT_EQ(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 4),
              (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(
        std::equal(reply.begin() + 4, reply.begin() + block::kModelPath, bytes.begin() + 4));

    bytes[0] = 7;
    Open(bytes);
    P<CPanelMiscPpg>(378)->password->setText("new");
    reply = Finish(false);
    EXPECT_EQ(reply[0], 7);
    EXPECT_EQ(reply[3], 0);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), bytes.begin()));
}

TEST_F(SetupSheet, ClockSynchronisationAloneIsReturned) {
    auto bytes = Settled("KP-570 Color Panel", 210, {{4, 0, "S5"}});
    bytes[block::kCompact + 12] = 1;  // network enabled
    bytes[block::kCompact + 13] = 4;  // node 4
    Open(bytes);
    auto* network = P<CPanelNetworkPpg>(379);
    EXPECT_TRUE(network->clockSync->isEnabled());
    EXPECT_FALSE(network->clockSync->isChecked());
    network->clockSync->setChecked(true);
    auto reply = Finish(true);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[block::kCompact + 17], bytes[block::kCompact + 17] | 0x03);
    for (std::size_t i = 0; i < kCompactSize; ++i)
        if (i != 17) EXPECT_EQ(reply[block::kCompact + i], bytes[block::kCompact + i]) << i;
}

TEST_F(SetupSheet, TouchscreenOffAsksAndBackupsAreTied) {
    Open(MakeBlock("Unknown Model", 100));  // generic: the touch item is free
    auto* page = P<CPanelDisplayPpg>(374);
    auto* touch = page->ItemFor(3);
    touch->setCheckState(Qt::Checked);
    answers.answers = {IDCANCEL};
    touch->setCheckState(Qt::Unchecked);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], text::kTouchOff);
    EXPECT_EQ(touch->checkState(), Qt::Checked);

    Open(Settled("KP-570 Color Panel", 210));
    page = P<CPanelDisplayPpg>(374);
    const long long before = sheet->Budget().freeMemory;
    page->ItemFor(7)->setCheckState(Qt::Checked);
    EXPECT_EQ(page->ItemFor(8)->checkState(), Qt::Checked);  // RecipeEventBackupTied
    EXPECT_EQ(sheet->Budget().freeMemory, before - 16384 - 32768);
    EXPECT_EQ(page->projectMemory->text().toStdString(),
              std::to_string((before - 16384 - 32768) / 1024) + "K");
}

TEST_F(SetupSheet, TimeoutsAndScreenSaverGoThroughTimerManagers) {
    auto bytes = Settled("KP-570 Color Panel", 210);
    bytes[block::kCompact + 18] = 0x80 | 20;  // command timeout on, 20 seconds
    Open(bytes);
    auto* misc = P<CPanelMiscPpg>(378);
    EXPECT_TRUE(misc->timeouts[0]->isChecked());
    EXPECT_EQ(misc->timeoutEdits[0]->text(), "20 sec");
    misc->timeouts[1]->setChecked(true);  // field selection: a choice list, free
    misc->timeoutEdits[1]->setText("300");
    misc->timeoutSpins[0]->Step(1);
    misc->timeouts[2]->setChecked(false);
    misc->screenSaver->setChecked(true);
    misc->screenSaverEdit->setText("600");
    auto reply = Finish(true);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[block::kCompact + 18], 0x80 | 21);
    EXPECT_EQ(reply[block::kCompact + 19], 0x80 | 127);  // brought into range
    EXPECT_EQ(reply[block::kCompact + 20], 0);
    EXPECT_EQ(ReadLe16(&reply[block::kCompact + 23]), 600);
}

TEST_F(SetupSheet, EthernetBoardAddressesAndTheNetworkAddress) {
    auto bytes = MakeBlock("KP-570 Color Panel", 210);
    const std::uint8_t ip[] = {192, 168, 1, 20};
    std::memcpy(&bytes[block::kEthernet + 1], ip, 4);
    Open(bytes);
    auto* page = P<CPanelExtDevicesPpg>(380);
    EXPECT_EQ(page->ipAddress->text(), "192 . 168 .   1 .  20 ");
    EXPECT_TRUE(page->networkAddress->isHidden());

    {
        CPanelEthernetDlg dialog(sheet->Ethernet(), sheet.get());
        EXPECT_EQ(dialog.addresses[0]->text(), "192.168.1.20");
        dialog.addresses[0]->setText("10.0.0.300");
        dialog.accept();
        ASSERT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(
            answers.asked[0],
            "The address \"10.0.0.300\" is not an IP address. Enter four numbers from 0 to 255 "
            "separated by dots.");
        EXPECT_EQ(sheet->Ethernet()[1], 192);
        dialog.addresses[0]->setText("10.1.2.3");
        dialog.moreAddresses->setChecked(true);
        dialog.addresses[1]->setText("10.1.2.4");
        dialog.addresses[2]->setText("10.1.2.5");
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        const std::uint8_t expected[] = {0, 10, 1, 2, 3, 1, 10, 1, 2, 4, 10, 1, 2, 5};
        EXPECT_TRUE(
            std::equal(std::begin(expected), std::end(expected), sheet->Ethernet().begin()));
    }

    bytes[block::kCompact + 12] = 1;  // the network carries the address
    Open(bytes);
    page = P<CPanelExtDevicesPpg>(380);
    EXPECT_FALSE(page->networkAddress->isHidden());
    EXPECT_EQ(page->networkAddress->text(), "Network IP Address");
    EXPECT_TRUE(page->ethernetBoard->isHidden());
}

// "Ethernet Board..." goes with TCP/IP: usable only while TCP/IP is on, on a model that has it.
TEST_F(SetupSheet, EthernetBoardFollowsTheTcpIpCheckBox) {
    struct Case {
        const char* model;
        int version;
        std::uint8_t tcpIpOn;
        bool checkEnabled, checked, boardEnabled;
    };
    const Case cases[] = {
        {"KP-220 Text Panel", 110, 1, false, false, false},  // TcpIpSupport=0
        {"KP-570 Color Panel", 210, 0, true, false, false},  // a choice, off
        {"KP-570 Color Panel", 210, 1, true, true, true},    // a choice, on
        {"KP-870T Touch Panel", 300, 0, false, true, true},  // fixed on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.model << " TCP/IP byte " << int(c.tcpIpOn));
        auto bytes = MakeBlock(c.model, c.version);
        bytes[block::kEthernet] = c.tcpIpOn;
        Open(bytes);
        auto* page = P<CPanelExtDevicesPpg>(380);
        EXPECT_EQ(page->tcpIp->isEnabled(), c.checkEnabled);
        EXPECT_EQ(page->tcpIp->isChecked(), c.checked);
        EXPECT_EQ(page->ethernetBoard->isEnabled(), c.boardEnabled);
        if (!c.checkEnabled) continue;
        page->tcpIp->setChecked(!c.checked);
        EXPECT_EQ(page->ethernetBoard->isEnabled(), !c.checked);
    }
}

// The generic model always has one of the display types the display table offers for it: the
// one the record names, else the first, whose geometry OK returns.
TEST_F(SetupSheet, GenericModelStartsWithTheFirstOfferedDisplayType) {
    struct Case {
        const char* model;
        std::int16_t displayCode;
        const char* shown;
        std::int16_t returned;
    };
    const Case cases[] = {
        {"Generic Panel", 0, "4x20 Text", 2},
        {"Unknown Model", 0, "4x20 Text", 2},
        {"Generic Panel", 99, "4x20 Text", 2},
        {"Generic Panel", 21, "640x480 Color Touch", 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.model << " display " << c.displayCode);
        auto bytes = MakeBlock(c.model, 100);
        WriteLe16(&bytes[block::kDisplay + 90], static_cast<std::uint16_t>(c.displayCode));
        Open(bytes);
        EXPECT_EQ(sheet->ModelName(), "Generic Panel");
        auto* page = P<CPanelModelPpg>(372);
        EXPECT_EQ(page->displayTypes->currentText().toStdString(), c.shown);
        const auto reply = Finish(true);
        const auto* record = reinterpret_cast<const DisplayRecord*>(&reply[block::kDisplay]);
        EXPECT_EQ(record->displayCode, c.returned);
        if (c.returned == c.displayCode) continue;  // the editor's own record stays
        EXPECT_EQ(reply[block::kDisplayChanged], 1);
        EXPECT_EQ(std::string(record->sectionName), "DTYPE" + std::to_string(c.returned));
        EXPECT_GT(record->rows, 0);
        EXPECT_GT(record->columns, 0);
    }
}

// The password box shows the block's password exactly, and OK without an edit returns it
// untouched.
TEST_F(SetupSheet, PasswordBoxShowsExactlyTheBlocksPassword) {
    for (const char* password : {"", "abc", "12345678", "longer than 8"}) {
        SCOPED_TRACE(password);
        auto bytes = MakeBlock("KP-570 Color Panel", 210);
        std::strcpy(reinterpret_cast<char*>(&bytes[block::kPassword]), password);
        Open(bytes);
        EXPECT_EQ(P<CPanelMiscPpg>(378)->password->text().toStdString(), password);
        const auto reply = Finish(true);
        EXPECT_EQ(reply[block::kPasswordChanged], 0);
        EXPECT_TRUE(std::equal(reply.begin() + block::kPassword,
                               reply.begin() + block::kPassword + block::kPasswordSize,
                               bytes.begin() + block::kPassword));
    }
}

TEST_F(SetupSheet, EveryNetworkColumnHasAHeading) {
    Open(MakeBlock("KP-570 Color Panel", 210, {{1, 0, "S5"}}));
    QTreeWidget* nodes = P<CPanelNetworkPpg>(379)->nodes;
    for (int i = 0; i < nodes->columnCount(); ++i)
        EXPECT_FALSE(nodes->headerItem()->text(i).trimmed().isEmpty()) << "column " << i;
}

// F1 and the Help button ask for help at the topic of the page shown.
TEST_F(SetupSheet, HelpOpensAtTheTopicOfThePageShown) {
    Open(MakeBlock("KP-570 Color Panel", 210, {{3, 0, "S5"}}));
    std::vector<std::string> topics;
    sheet->onHelp = [&] { topics.push_back(sheet->HelpTopic()); };
    sheet->show();
    QApplication::setActiveWindow(sheet.get());
    const char* expected[] = {"panel-model", "settings",      "external-devices",
                              "passthrough", "miscellaneous", "network"};
    ASSERT_EQ(sheet->Tabs()->count(), 6);
    for (int i = 0; i < 6; ++i) {
        sheet->Tabs()->setCurrentIndex(i);
        QTest::keyClick(sheet->Tabs()->currentWidget(), Qt::Key_F1);
        ASSERT_EQ(topics.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(topics.back(), expected[i]);
    }
    sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help)->click();
    EXPECT_EQ(topics.size(), 7u);
}

TEST_F(SetupSheet, ModelListFollowsDisplayOrderWhenAsked) {
    Open(MakeBlock("KP-570 Color Panel", 210));
    auto* page = P<CPanelModelPpg>(372);
    EXPECT_EQ(page->models->item(0)->text(), "Generic Panel");  // by name
    EXPECT_EQ(page->models->item(3)->text(), "KP-870T Touch Panel");
    config.write("Fabricon.ini", "[Panel Setup]\nUseDisplayOrder=1\n");
    sheet->Refresh();
    // Generic 0, KP-220 10, then KP-570 and KP-870T share 20 and go by name.
    const char* order[] = {"Generic Panel", "KP-220 Text Panel", "KP-570 Color Panel",
                           "KP-870T Touch Panel"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(page->models->item(i)->text(), order[i]);
}

TEST_F(SetupSheet, PassthroughCommandsShowCarriageReturnsAsCaretM) {
    Open(MakeBlock("KP-570 Color Panel", 210));
    auto* page = P<CPanelRPTPpg>(377);
    sheet->Passthrough().SetCommandText(rpt::kStartRequest, "ATZ\r");
    sheet->Refresh();
    EXPECT_EQ(page->requests[0]->text(), "ATZ^M");
    EXPECT_EQ(page->baudRate->currentText(), "9600");
    page->responses[2]->setText("OK^M^M");
    Finish(true);
    EXPECT_EQ(request->passthrough.CommandText(rpt::kCfgResponse), "OK\r\r");
    EXPECT_TRUE(request->passthrough.IsModified());
}

// The controls Tab visits on a page, in order.
std::vector<QWidget*> TabChain(QWidget* page) {
    std::vector<QWidget*> chain;
    for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page))
            chain.push_back(w);
    return chain;
}

// Tab moves through a page as it is read: never back up to a control further left, which is
// where the previous group or row began.
TEST_F(SetupSheet, TabOrderOfEveryPageFollowsTheLayout) {
    Open(MakeBlock("KP-570 Color Panel", 210, {{1, 2, "hidden"}, {3, 0, "S5"}}));
    sheet->show();
    for (int i = 0; i < sheet->Tabs()->count(); ++i) {
        sheet->Tabs()->setCurrentIndex(i);
        QApplication::processEvents();
        QWidget* page = sheet->Tabs()->widget(i);
        const std::vector<QWidget*> chain = TabChain(page);
        ASSERT_FALSE(chain.empty()) << sheet->Tabs()->tabText(i).toStdString();
        for (std::size_t n = 1; n < chain.size(); ++n) {
            const QPoint from = chain[n - 1]->mapTo(page, QPoint(0, 0));
            const QPoint to = chain[n]->mapTo(page, QPoint(0, 0));
            EXPECT_FALSE(to.y() < from.y() && to.x() < from.x())
                << sheet->Tabs()->tabText(i).toStdString() << ": tab goes from "
                << chain[n - 1]->metaObject()->className() << " at (" << from.x() << ", "
                << from.y() << ") back to " << chain[n]->metaObject()->className() << " at ("
                << to.x() << ", " << to.y() << ")";
        }
    }
    // The passthrough page: the mode on the left, the port beside it, the commands row by row.
    auto* p = P<CPanelRPTPpg>(377);
    const std::vector<QWidget*> expected = {p->hardware,     p->remoteHardware, p->baudRate,
                                            p->parity,       p->dataBits,       p->stopBits,
                                            p->requests[0],  p->responses[0],   p->requests[1],
                                            p->responses[1], p->requests[2],    p->responses[2]};
    EXPECT_EQ(TabChain(p), expected);
}

TEST_F(SetupSheet, MissingModelFileAndBadDisplayKeepThePreviousModel) {
    testing::TempFolder panels;
    panels.write("Good.dat", platform::ReadWholeFile(KESTRA_DATA_DIR "/Panels/KP220.dat").value());
    panels.write("Bad.dat", "[Model]\nModelName=Bad\nMfgCode=5\n[Display]\nDisplayCode=77\n");
    request = SetupRequest::FromBlock(MakeBlock("KP-220 Text Panel", 110));
    sheet = std::make_unique<CPanelSetupDlg>(request->setup, request->display, request->passthrough,
                                             request->ethernet, request->nodes, 0,
                                             request->password, false);
    sheet->SetPanelFolder(panels.path());
    sheet->InitSheet();
    EXPECT_FALSE(sheet->ChangeModel("Bad"));
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0],
              "The selected panel has invalid display settings.  Please verify that all "
              "application files have been installed.\n\n(Error :  Invalid Display Code:  -777)");
    std::filesystem::remove(panels.file("Good.dat"));
    EXPECT_FALSE(sheet->ChangeModel("KP-220 Text Panel"));
    EXPECT_EQ(answers.asked.back(), text::kBadPanelFile);
    EXPECT_EQ(sheet->ModelName(), "KP-220 Text Panel");
}

}  // namespace
}  // namespace kestra::panel

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
