#include "panel_setup/panora_interface.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include "panel_setup/panel_setup_dlg.h"
#include "panel_setup/setup_texts.h"
#include "platform/files.h"

namespace kestra::panel {
namespace {

constexpr int kIdleIntervalMs = 100;  // idle notifications at most this often
constexpr int kHelpStubWaitMs = 500;

bool ConnectTo(QLocalSocket& socket, const QString& name, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    do {
        socket.connectToServer(name);
        if (socket.waitForConnected(50)) return true;
        socket.abort();
        QThread::msleep(20);
    } while (waited.elapsed() < waitMs);
    return false;
}

}  // namespace

bool SendHelpRequest(const QString& programFolder, const std::optional<HelpPlace>& place) {
    QLocalSocket socket;
    if (!ConnectTo(socket, HelpStubServerName(), 0)) {
        const QString stub = programFolder + "HHlpStub";
        if (!QProcess::startDetached(stub, {})) return false;
        if (!ConnectTo(socket, HelpStubServerName(), kHelpStubWaitMs)) return false;
    }
    if (place) socket.write(EncodeHelpPlace(*place));
    socket.write(EncodeWordFrame(kHelpMessage, kHelpParameter));
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

bool SendHelpClose() {
    QLocalSocket socket;
    if (!ConnectTo(socket, HelpStubServerName(), 0)) return false;
    socket.write(EncodeWordFrame(kCloseMessage, 0));
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

CPanoraInterfaceDlg::CPanoraInterfaceDlg(QWidget* parent)
    : QDialog(parent), onEnd([] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }) {
    setWindowTitle(text::kProgramName);
    m_programFolder = QString::fromStdString(platform::ProgramFolder());
    if (!m_programFolder.endsWith('/')) m_programFolder += '/';
    move(-1000, -1000);
    hide();
    connect(&m_server, &QLocalServer::newConnection, this, &CPanoraInterfaceDlg::OnNewConnection);
}

CPanoraInterfaceDlg::~CPanoraInterfaceDlg() {
    // The server's sockets go after the members that their signals reach: they must not reach
    // them any more.
    m_server.disconnect(this);
    for (const auto& [socket, reader] : m_readers) socket->disconnect(this);
}

bool CPanoraInterfaceDlg::Listen() {
    QLocalSocket probe;
    probe.connectToServer(PanoraServerName());
    if (probe.waitForConnected(200)) return false;   // another Panora answers
    QLocalServer::removeServer(PanoraServerName());  // a name left by a Panora that died
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(PanoraServerName());
}

void CPanoraInterfaceDlg::TellWhenAlone(int waitMs) {
    QTimer::singleShot(waitMs, this, [this] {
        if (m_editorCame || m_aloneNote) return;
        m_aloneNote = new QMessageBox(QMessageBox::Information, text::kProgramName, kAloneNote,
                                      QMessageBox::Close);
        m_aloneNote->button(QMessageBox::Close)->setText("&Close");
        m_aloneNote->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_aloneNote, &QMessageBox::finished, this, [this] { onEnd(); });
        m_aloneNote->open();
    });
}

void CPanoraInterfaceDlg::OnNewConnection() {
    m_editorCame = true;
    if (m_aloneNote) {  // an editor came after all: the note goes, the program stays
        m_aloneNote->disconnect(this);
        m_aloneNote->close();
    }
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        m_readers[socket] = std::make_unique<FrameReader>(kMaxBlockSize);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_readers.erase(socket);
            socket->deleteLater();
            // The editor went away while its request was open: nobody gets the answer.
            if (socket == m_editor && m_sheet) m_sheet->reject();
        });
    }
}

void CPanoraInterfaceDlg::OnReadyRead(QLocalSocket* socket) {
    auto it = m_readers.find(socket);
    if (it == m_readers.end()) return;
    FrameReader& reader = *it->second;
    reader.Append(socket->readAll());
    while (auto frame = reader.Next()) {
        if (frame->dataWord != kSetupDataWord || m_serving) continue;  // not ours to handle
        if (!CheckExchangeBlock(frame->Span()).empty()) continue;
        m_serving = true;
        m_editor = socket;
        // Run the sheet outside the socket's own signal.
        QTimer::singleShot(0, this, [this, socket, f = *frame] { Serve(socket, f); });
    }
    if (reader.Failed()) socket->abort();  // a frame that lies about its size
}

void CPanoraInterfaceDlg::SendIdle() {
    if (!m_editor || (m_sinceIdle.isValid() && m_sinceIdle.elapsed() < kIdleIntervalMs)) return;
    m_sinceIdle.start();
    m_editor->write(EncodeFrame(kIdleDataWord));
}

void CPanoraInterfaceDlg::OnHelp() {
    std::optional<HelpPlace> place;
    if (m_sheet) {
        const QRect frame = m_sheet->frameGeometry();
        place = HelpPlace{frame.left(), frame.top(), frame.width(), frame.height(),
                          m_sheet->HelpTopic()};
    }
    m_helpShown = SendHelpRequest(m_programFolder, place) || m_helpShown;
}

void CPanoraInterfaceDlg::CloseHelp() {
    if (m_helpShown) SendHelpClose();
    m_helpShown = false;
}

void CPanoraInterfaceDlg::Serve(QLocalSocket* socket, const Frame& frame) {
    auto request = SetupRequest::FromBlock(frame.Span());
    int result = 0;
    std::string modelPath;
    if (request) {
        CPanelSetupDlg sheet(request->setup, request->display, request->passthrough,
                             request->ethernet, request->nodes, request->value2758,
                             request->password, request->colourGraphicsUsed, this);
        sheet.SetPanelFolder((m_programFolder + "Panels").toStdString());
        sheet.SetForthOffered(request->forthOffered);
        sheet.SetProjectSize(request->projectSize);
        sheet.onHelp = [this] { OnHelp(); };
        m_sheet = &sheet;
        auto idle = connect(QAbstractEventDispatcher::instance(),
                            &QAbstractEventDispatcher::aboutToBlock, this, [this] { SendIdle(); });
        sheet.InitSheet();
        if (onSheet) onSheet(sheet);
        result = sheet.exec() == QDialog::Accepted ? 1 : 0;
        disconnect(idle);
        CloseHelp();  // the help window goes with the sheet
        if (result == 1) {
            request->setup.CopyFrom(sheet.Setup());
            request->display.CopyFrom(sheet.Display());
            request->passthrough.CopyFrom(sheet.Passthrough());
            if (sheet.Model()) modelPath = sheet.Model()->Path();
        }
    }
    if (request && m_editor == socket && socket->state() == QLocalSocket::ConnectedState) {
        const auto reply = request->Reply(result == 1, modelPath);
        socket->write(EncodeFrame(kSetupDataWord, reply));
        socket->write(EncodeWordFrame(kResultDataWord, static_cast<std::uint32_t>(result)));
        socket->flush();
        socket->waitForBytesWritten(2000);
        socket->disconnectFromServer();
    }
    onEnd();
}

}  // namespace kestra::panel
