// The exchange between the project editor and Panora over a local socket.
//
// Panora listens on a per-user local server named "kestra-panora-<user id>". Every message is
// one frame: a 32-bit little-endian data word, a 32-bit little-endian byte count, then that many
// bytes. The editor sends the exchange block with data word 0x12345678; while the setup sheet
// is open Panora sends idle notifications (0x05000000, no bytes); when the sheet ends it sends
// the 2762-byte block back with 0x12345678, then the answer to the request (data word
// 0x52534C54, 4 bytes: 1 after OK, 0 after Cancel), and ends. A frame with another data word
// is ignored; a frame whose count exceeds the largest block ends that connection.
//
// The help stub listens on "kestra-hhlpstub-<user id>" and takes frames whose data word is the
// message number and whose 4 bytes are the message's parameter: 1224 with 302 shows the help
// page, 16 (close) ends the stub. Before 1224 the sender may say where the help goes with
// message 1225, whose bytes are the sheet's frame (left, top, width, height: four 32-bit
// little-endian integers) and the topic to open (an anchor name of the help page: at most 63
// letters, digits and "-"). KESTRA_PANORA_SERVER and KESTRA_HHLPSTUB_SERVER in the environment
// name other servers.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestra::panel {

inline constexpr std::uint32_t kSetupDataWord = 0x12345678;
inline constexpr std::uint32_t kIdleDataWord = 0x05000000;
inline constexpr std::uint32_t kResultDataWord = 0x52534C54;
inline constexpr std::uint32_t kHelpMessage = 1224;
inline constexpr std::uint32_t kHelpParameter = 302;
inline constexpr std::uint32_t kHelpPlaceMessage = 1225;
inline constexpr std::uint32_t kCloseMessage = 16;
inline constexpr std::size_t kFrameHeaderSize = 8;

QString PanoraServerName();
QString HelpStubServerName();

QByteArray EncodeFrame(std::uint32_t dataWord, std::span<const std::uint8_t> bytes = {});
QByteArray EncodeWordFrame(std::uint32_t dataWord, std::uint32_t value);

// Where the help window goes and what it opens at.
struct HelpPlace {
    int left = 0, top = 0, width = 0, height = 0;  // the sheet's frame on the screen
    std::string topic;
    bool operator==(const HelpPlace&) const = default;
};
inline constexpr std::size_t kHelpPlaceFixedSize = 16;
inline constexpr std::size_t kMaxHelpTopic = 63;
inline constexpr int kMaxHelpPlaceSide = 1 << 16;
// The frame of message 1225; a topic that is too long or has other characters is left out.
QByteArray EncodeHelpPlace(const HelpPlace& place);
// The place a frame of message 1225 carries; nothing for a frame that is too short, has a
// frame of no size or beyond kMaxHelpPlaceSide, or a topic that is too long or malformed.
std::optional<HelpPlace> DecodeHelpPlace(std::span<const std::uint8_t> bytes);

struct Frame {
    std::uint32_t dataWord = 0;
    QByteArray bytes;
    std::span<const std::uint8_t> Span() const {
        return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<std::size_t>(bytes.size())};
    }
};

// Gathers frames from the bytes of a stream.
class FrameReader {
  public:
    explicit FrameReader(std::size_t maxBytes);
    void Append(const QByteArray& data);
    // The next whole frame, or nothing when more bytes are needed or the stream failed.
    std::optional<Frame> Next();
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }
    std::size_t Pending() const { return static_cast<std::size_t>(m_buffer.size()); }

  private:
    std::size_t m_maxBytes;
    QByteArray m_buffer;
    std::string m_error;
};

}  // namespace kestra::panel
