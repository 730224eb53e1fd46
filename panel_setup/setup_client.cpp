#include "panel_setup/setup_client.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include "panel_setup/exchange_block.h"
#include "panel_setup/setup_channel.h"
#include "panel_setup/setup_texts.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace kestra::panel {
namespace {

constexpr int kPollMs = 20;

bool Connect(QLocalSocket& socket) {
    socket.connectToServer(PanoraServerName());
    return socket.waitForConnected(kPollMs * 5);
}

bool FindOrStart(QLocalSocket& socket, const PanelSetupOptions& options) {
    if (Connect(socket)) return true;
    const std::string folder =
        options.programFolder.empty() ? platform::ProgramFolder() : options.programFolder;
    const QString program = QString::fromStdString(platform::JoinPath(folder, "Panora"));
    if (!QProcess::startDetached(program, {})) return false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < options.launchWaitMs) {
        if (Connect(socket)) return true;
        QThread::msleep(kPollMs);
    }
    return false;
}

}  // namespace

PanelSetupOutcome RequestPanelSetup(std::span<const std::uint8_t> block,
                                    const PanelSetupOptions& options) {
    PanelSetupOutcome outcome;
    outcome.error = CheckExchangeBlock(block);
    if (!outcome.error.empty()) return outcome;  // Panora would ignore it
    QLocalSocket socket;
    if (!FindOrStart(socket, options)) {
        MessageBox(nullptr, text::kLaunchError, text::kSheetCaption, MB_OK | MB_ICONEXCLAMATION);
        outcome.error = text::kLaunchError;
        return outcome;
    }
    socket.write(EncodeFrame(kSetupDataWord, block));
    socket.flush();

    FrameReader reader(kMaxBlockSize);
    bool answered = false;
    // Read until Panora closes the connection: it ends after answering.
    while (socket.state() == QLocalSocket::ConnectedState || socket.bytesAvailable() > 0) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(-1)) {
            if (socket.bytesAvailable() == 0) break;
        }
        reader.Append(socket.readAll());
        while (auto frame = reader.Next()) {
            if (frame->dataWord == kIdleDataWord) {
                ++outcome.idleNotifications;
                if (options.onIdle) options.onIdle();
            } else if (frame->dataWord == kSetupDataWord) {
                auto bytes = frame->Span();
                outcome.reply.assign(bytes.begin(), bytes.end());
            } else if (frame->dataWord == kResultDataWord && frame->bytes.size() == 4) {
                outcome.result = static_cast<int>(ReadLe32(frame->Span().data()));
                answered = true;
            }
        }
        if (reader.Failed()) {
            outcome.error = reader.Error();
            break;
        }
    }
    if (!answered) {
        outcome.result = -1;
        if (outcome.error.empty()) outcome.error = "Panora ended without answering the request";
    } else if (outcome.reply.size() != block::kFixedSize) {
        outcome.result = -1;
        outcome.error = "the reply has " + std::to_string(outcome.reply.size()) + " bytes, not " +
                        std::to_string(block::kFixedSize);
    }
    return outcome;
}

}  // namespace kestra::panel
