// HHlpStub: the help window of the panel setup program. It waits hidden on its local server;
// message 1225 says where the next help goes and at which topic, message 1224 with parameter
// 302 shows the panel setup help page and brings the window to the top; message 16 (close)
// ends it.
#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <map>
#include <memory>

#include "panel_setup/help_window.h"
#include "panel_setup/setup_channel.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/records.h"

namespace {

constexpr const char* kUsage =
    "Usage: HHlpStub\n"
    "The help window of the panel setup program. Panora starts it; it waits hidden until the\n"
    "setup sheet asks for help, and ends when its window is closed.\n";

using namespace kestra::panel;

// Frames the stub takes are small: a parameter, or a place with its topic.
constexpr std::size_t kMaxFrameBytes = kHelpPlaceFixedSize + kMaxHelpTopic;

}  // namespace

int main(int argc, char** argv) {
    if (kestra::platform::ShowsUsageWhenAsked(argc, argv, kUsage)) return 0;
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    HelpWindow window(QString::fromStdString(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), "PanelSetupHelp.html")));

    QLocalServer server;
    QLocalServer::removeServer(HelpStubServerName());
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(HelpStubServerName())) return 1;

    std::map<QLocalSocket*, std::unique_ptr<FrameReader>> readers;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            readers[socket] = std::make_unique<FrameReader>(kMaxFrameBytes);
            QObject::connect(socket, &QLocalSocket::readyRead, [&, socket] {
                FrameReader& reader = *readers[socket];
                reader.Append(socket->readAll());
                while (auto frame = reader.Next()) {
                    if (frame->dataWord == kCloseMessage) app.quit();
                    if (frame->dataWord == kHelpPlaceMessage)
                        if (auto place = DecodeHelpPlace(frame->Span())) window.SetPlace(*place);
                    if (frame->dataWord != kHelpMessage || frame->bytes.size() != 4) continue;
                    if (kestra::ReadLe32(frame->Span().data()) != kHelpParameter) continue;
                    window.Show();
                }
                if (reader.Failed()) socket->abort();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, [&, socket] {
                readers.erase(socket);
                socket->deleteLater();
            });
        }
    });
    // Closing the help window ends the stub; the next request starts it again.
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    return app.exec();
}
