#include "panel_setup/setup_channel.h"

#include <unistd.h>

#include "platform/records.h"

namespace kestra::panel {

namespace {
// The server name, or the one the environment gives (tests run their own servers).
QString ServerName(const char* variable, const char* stem) {
    const QByteArray given = qgetenv(variable);
    if (!given.isEmpty()) return QString::fromLocal8Bit(given);
    return QString("%1-%2").arg(stem).arg(getuid());
}
}  // namespace

QString PanoraServerName() {
    return ServerName("KESTRA_PANORA_SERVER", "kestra-panora");
}

QString HelpStubServerName() {
    return ServerName("KESTRA_HHLPSTUB_SERVER", "kestra-hhlpstub");
}

QByteArray EncodeFrame(std::uint32_t dataWord, std::span<const std::uint8_t> bytes) {
    QByteArray frame(static_cast<qsizetype>(kFrameHeaderSize + bytes.size()), '\0');
    auto* out = reinterpret_cast<std::uint8_t*>(frame.data());
    WriteLe32(out, dataWord);
    WriteLe32(out + 4, static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(out + kFrameHeaderSize, bytes.data(), bytes.size());
    return frame;
}

QByteArray EncodeWordFrame(std::uint32_t dataWord, std::uint32_t value) {
    std::uint8_t bytes[4];
    WriteLe32(bytes, value);
    return EncodeFrame(dataWord, bytes);
}

FrameReader::FrameReader(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

void FrameReader::Append(const QByteArray& data) {
    if (!Failed()) m_buffer.append(data);
}

std::optional<Frame> FrameReader::Next() {
    if (Failed() || static_cast<std::size_t>(m_buffer.size()) < kFrameHeaderSize)
        return std::nullopt;
    const auto* in = reinterpret_cast<const std::uint8_t*>(m_buffer.constData());
    const std::uint32_t count = ReadLe32(in + 4);
    if (count > m_maxBytes) {
        m_error = "frame of " + std::to_string(count) + " bytes is larger than " +
                  std::to_string(m_maxBytes);
        m_buffer.clear();
        return std::nullopt;
    }
    if (static_cast<std::size_t>(m_buffer.size()) < kFrameHeaderSize + count) return std::nullopt;
    Frame frame;
    frame.dataWord = ReadLe32(in);
    frame.bytes = m_buffer.mid(kFrameHeaderSize, count);
    m_buffer.remove(0, static_cast<qsizetype>(kFrameHeaderSize + count));
    return frame;
}

}  // namespace kestra::panel
