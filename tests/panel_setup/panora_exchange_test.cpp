// The real Panora program, started offscreen, answering requests over its local socket.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <cstring>

#include "panel_setup/exchange_block.h"
#include "panel_setup/panora_interface.h"
#include "panel_setup/panora_script.h"
#include "panel_setup/setup_channel.h"
#include "panel_setup/setup_client.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "support/temp_folder.h"

namespace kestra::panel {
namespace {

constexpr int kStartWaitMs = 20000;  // a sanitized Qt program starts slowly

std::vector<std::uint8_t> Block(int nodes) {
    std::vector<std::uint8_t> b(block::kFixedSize + block::kNodeSize * nodes);
    const std::string model = "KP-570 Color Panel";
    std::memcpy(&b[block::kDisplay + 10], model.c_str(), model.size());
    b[block::kDisplay + 112] = 2;
    b[block::kDisplay + 113] = 10;
    b[block::kCompact + 17] = 0x04;
    b[block::kEthernet] = 1;
    b[block::kByte2477] = 0x5A;
    std::memcpy(&b[block::kPassword], "old", 4);
    WriteLe16(&b[block::kNodeCount], static_cast<std::uint16_t>(nodes));
    for (int i = 0; i < nodes; ++i) {
        const std::size_t n = block::kFixedSize + block::kNodeSize * i;
        WriteLe16(&b[n], static_cast<std::uint16_t>(i + 1));
        std::strcpy(reinterpret_cast<char*>(&b[n + 6]), "S5");
    }
    return b;
}

bool WaitForServer(const QString& name, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(100)) return true;
        QThread::msleep(50);
    }
    return false;
}

class PanoraExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.write("Displays.ini",
                     platform::ReadWholeFile(KESTRA_DATA_DIR "/Displays.ini").value());
        qputenv("KESTRA_WINDIR", folder.path().c_str());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        server = QString("kestra-panora-test-%1").arg(QCoreApplication::applicationPid());
        qputenv("KESTRA_PANORA_SERVER", server.toLocal8Bit());
        qputenv("KESTRA_HHLPSTUB_SERVER", (server + "-help").toLocal8Bit());
        options.programFolder = platform::ProgramFolder();
        options.launchWaitMs = kStartWaitMs;
        platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view, UINT) {
                shown.emplace_back(text);
                return IDOK;
            });
    }
    void TearDown() override {
        platform::SetMessageBoxPresenter({});
        if (panora.state() != QProcess::NotRunning) {
            panora.kill();
            panora.waitForFinished();
        }
    }
    // Starts Panora as a child, so that its end can be watched.
    void StartPanora(const std::string& script) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kScriptVariable, QString::fromStdString(script));
        panora.setProcessEnvironment(env);
        panora.start(
            QString::fromStdString(platform::JoinPath(platform::ProgramFolder(), "Panora")));
        ASSERT_TRUE(panora.waitForStarted());
        ASSERT_TRUE(WaitForServer(server, kStartWaitMs));
    }

    testing::TempFolder folder;
    QString server;
    PanelSetupOptions options;
    QProcess panora;
    std::vector<std::string> shown;
};

TEST_F(PanoraExchange, OkWithThreeNodesAnswers2762BytesAndIdleNotifications) {
    StartPanora("tab=5;clock=on;network=on;password=fresh;ok");
    const auto sent = Block(3);
    const auto outcome = RequestPanelSetup(sent, options);
    ASSERT_EQ(outcome.result, 1) << outcome.error;
    ASSERT_EQ(outcome.reply.size(), 2762u);
    EXPECT_GE(outcome.idleNotifications, 1);
    EXPECT_EQ(outcome.reply[0], 1);
    EXPECT_EQ(outcome.reply[3], 1);
    EXPECT_EQ(outcome.reply[block::kCompact + 12], 1);         // network on
    EXPECT_EQ(outcome.reply[block::kCompact + 17] & 0x03, 3);  // clock synchronisation
    EXPECT_STREQ(reinterpret_cast<const char*>(&outcome.reply[block::kPassword]), "fresh");
    EXPECT_EQ(outcome.reply[block::kEthernet], 1);
    EXPECT_EQ(outcome.reply[block::kByte2477], 0x5A);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&outcome.reply[block::kModelPath])),
              platform::JoinPath(platform::ProgramFolder(), "Panels/KP570.dat"));
    ASSERT_TRUE(panora.waitForFinished(10000));
    EXPECT_EQ(panora.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(panora.exitCode(), 0);
}

TEST_F(PanoraExchange, ClientStartsPanoraAndCancelReturnsTheBlockAsSent) {
    qputenv(kScriptVariable, "password=xyz;cancel");
    auto sent = Block(0);
    sent[0] = 3;
    const auto outcome = RequestPanelSetup(sent, options);
    qunsetenv(kScriptVariable);
    ASSERT_EQ(outcome.result, 0) << outcome.error;
    EXPECT_EQ(outcome.reply, sent);
    EXPECT_GE(outcome.idleNotifications, 1);
}

TEST_F(PanoraExchange, IgnoresOtherDataWordsShortBlocksAndLyingFrames) {
    StartPanora("ok");
    QLocalSocket raw;
    raw.connectToServer(server);
    ASSERT_TRUE(raw.waitForConnected(2000));
    const auto block = Block(0);
    raw.write(EncodeFrame(0x11111111, block));                            // another data word
    raw.write(EncodeFrame(kSetupDataWord, std::span(block).first(100)));  // too short
    auto lying = Block(2);
    lying.resize(block::kFixedSize + block::kNodeSize);  // two nodes announced, one sent
    raw.write(EncodeFrame(kSetupDataWord, lying));
    raw.flush();
    EXPECT_FALSE(raw.waitForReadyRead(1500));
    EXPECT_EQ(raw.state(), QLocalSocket::ConnectedState);

    QLocalSocket liar;
    liar.connectToServer(server);
    ASSERT_TRUE(liar.waitForConnected(2000));
    liar.write(QByteArray::fromHex("78563412ffffffff"));
    liar.flush();
    EXPECT_TRUE(liar.state() == QLocalSocket::UnconnectedState || liar.waitForDisconnected(5000));

    const auto outcome = RequestPanelSetup(block, options);  // still waiting, and serves this
    EXPECT_EQ(outcome.result, 1) << outcome.error;
    EXPECT_TRUE(panora.waitForFinished(10000));
}

TEST_F(PanoraExchange, EditorGoneMidRequestEndsPanoraNormally) {
    StartPanora("tab=1;tab=2;tab=3;tab=4;ok");
    {
        QLocalSocket raw;
        raw.connectToServer(server);
        ASSERT_TRUE(raw.waitForConnected(2000));
        raw.write(EncodeFrame(kSetupDataWord, Block(1)));
        raw.waitForBytesWritten(2000);
        raw.waitForReadyRead(5000);  // the first idle notification: the sheet is open
        raw.abort();
    }
    ASSERT_TRUE(panora.waitForFinished(20000));
    EXPECT_EQ(panora.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(panora.exitCode(), 0);
}

// The help stub (started here, so that its end can be watched) gets Panora's help and closes
// with the sheet; a sheet that asked for no help leaves a stub that runs alone.
TEST_F(PanoraExchange, HelpReachesTheHelpStubAndClosesWithTheSheet) {
    for (const bool help : {true, false}) {
        QProcess stub;
        stub.start(
            QString::fromStdString(platform::JoinPath(platform::ProgramFolder(), "HHlpStub")));
        ASSERT_TRUE(stub.waitForStarted());
        ASSERT_TRUE(WaitForServer(server + "-help", kStartWaitMs));
        StartPanora(help ? "help;ok" : "ok");
        const auto outcome = RequestPanelSetup(Block(0), options);
        EXPECT_EQ(outcome.result, 1);
        ASSERT_TRUE(panora.waitForFinished(10000));
        EXPECT_EQ(stub.waitForFinished(help ? 10000 : 500), help) << "help " << help;
        if (stub.state() != QProcess::NotRunning) {
            stub.kill();
            stub.waitForFinished();
        }
    }
}

// Panora started by a person, without a project editor, says how it is meant to be started.
class PanoraAlone : public PanoraExchange {
  protected:
    void SetUp() override {
        PanoraExchange::SetUp();
        interface.onEnd = [this] { ++ends; };
        ASSERT_TRUE(interface.Listen());
        interface.TellWhenAlone(0);
    }
    QMessageBox* note() {
        for (int i = 0; i < 100 && !shown(); ++i) QCoreApplication::processEvents();
        return shown();
    }
    QMessageBox* shown() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
        return nullptr;
    }
    CPanoraInterfaceDlg interface;
    int ends = 0;
};

TEST_F(PanoraAlone, ANoteSaysHowPanoraIsStartedAndClosingItEndsTheProgram) {
    QMessageBox* box = note();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Panora");
    EXPECT_EQ(box->text(), kAloneNote);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "&Close");
    box->buttons()[0]->click();
    EXPECT_EQ(ends, 1);
}

TEST_F(PanoraAlone, AnEditorThatComesWhileTheNoteShowsTakesItAway) {
    ASSERT_NE(note(), nullptr);
    QLocalSocket editor;
    editor.connectToServer(server);
    ASSERT_TRUE(editor.waitForConnected(2000));
    for (int i = 0; i < 100 && shown(); ++i) QCoreApplication::processEvents();
    EXPECT_EQ(shown(), nullptr);
    EXPECT_EQ(ends, 0) << "the program waits for the editor's request";
}

TEST_F(PanoraExchange, NoPanoraToStartShowsTheLaunchError) {
    options.programFolder = folder.path();  // no Panora here
    options.launchWaitMs = 200;
    const auto outcome = RequestPanelSetup(Block(0), options);
    EXPECT_EQ(outcome.result, -1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Error launching panel setup dialog");
    auto bad = Block(0);
    bad.pop_back();
    EXPECT_EQ(RequestPanelSetup(bad, options).error, "block of 2761 bytes is shorter than 2762");
}

}  // namespace
}  // namespace kestra::panel

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
