#include "panel_setup/setup_channel.h"

#include <unistd.h>

#include <string_view>
#include <vector>

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

namespace {

bool IsTopicCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsTopic(std::string_view topic) {
    if (topic.size() > kMaxHelpTopic) return false;
    for (char c : topic)
        if (!IsTopicCharacter(c)) return false;
    return true;
}

}  // namespace

QByteArray EncodeHelpPlace(const HelpPlace& place) {
    std::vector<std::uint8_t> bytes(kHelpPlaceFixedSize);
    const int values[] = {place.left, place.top, place.width, place.height};
    for (std::size_t i = 0; i < 4; ++i)
        WriteLe32(&bytes[i * 4], static_cast<std::uint32_t>(values[i]));
    if (IsTopic(place.topic)) bytes.insert(bytes.end(), place.topic.begin(), place.topic.end());
    return EncodeFrame(kHelpPlaceMessage, bytes);
}

std::optional<HelpPlace> DecodeHelpPlace(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHelpPlaceFixedSize) return std::nullopt;
    auto value = [&](std::size_t i) { return static_cast<std::int32_t>(ReadLe32(&bytes[i * 4])); };
    auto within = [](std::int32_t v, std::int32_t low) {
        return v >= low && v <= kMaxHelpPlaceSide;
    };
    HelpPlace place{value(0), value(1), value(2), value(3), {}};
    if (!within(place.left, -kMaxHelpPlaceSide) || !within(place.top, -kMaxHelpPlaceSide) ||
        !within(place.width, 1) || !within(place.height, 1))
        return std::nullopt;
    const auto topic = bytes.subspan(kHelpPlaceFixedSize);
    place.topic.assign(topic.begin(), topic.end());
    if (!IsTopic(place.topic)) return std::nullopt;
    return place;
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
