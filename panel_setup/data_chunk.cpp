#include "panel_setup/data_chunk.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kestra::panel {
namespace {

std::atomic<std::uint32_t> g_nextSerial{100};

// The three texts a new passthrough record carries: dial, escape and hang up.
constexpr const char* kDefaultCommands[] = {"ATD\r", "+++", "ATH0\r"};

}  // namespace

// ---- CDataChunk -------------------------------------------------------------------------------

CDataChunk::CDataChunk() : m_serial(g_nextSerial.fetch_add(1)) {}

std::uint32_t CDataChunk::NextSerialNumber() {
    return g_nextSerial.load();
}

void CDataChunk::Serialize(std::span<std::uint8_t, 2> out) const {
    WriteLe16(out.data(), m_version);
}

void CDataChunk::Deserialize(std::span<const std::uint8_t, 2> in) {
    m_version = ReadLe16(in.data());
}

void CDataChunk::CopyFrom(const CDataChunk& other) {
    m_modified = other.m_modified;
    m_serial = other.m_serial;
}

// ---- CTargetSetupData -------------------------------------------------------------------------

CTargetSetupData::CTargetSetupData()
    : m_owned(new std::uint8_t[setup::kSize]), m_record(m_owned.get()) {
    SetDefaults();
}

CTargetSetupData::CTargetSetupData(std::uint8_t* outsideRecord) : m_record(outsideRecord) {}

CTargetSetupData::CTargetSetupData(const CTargetSetupData& other) : CTargetSetupData() {
    CopyFrom(other);
}

void CTargetSetupData::CopyFrom(const CDataChunk& other) {
    CDataChunk::CopyFrom(other);
    if (const auto* setupChunk = dynamic_cast<const CTargetSetupData*>(&other))
        TakeRecord(setupChunk->Record());
}

void CTargetSetupData::SetDefaults() {
    std::fill_n(m_record, setup::kSize, std::uint8_t{0});
    m_record[415] = 60;
    m_record[416] = 3;
    m_record[417] = 30;
    m_record[setup::kFlags414] &= static_cast<std::uint8_t>(~0x0C);
}

void CTargetSetupData::TakeRecord(std::span<const std::uint8_t, setup::kSize> record) {
    std::memmove(m_record, record.data(), setup::kSize);
}

void CTargetSetupData::CopyRecordOut(std::span<std::uint8_t, setup::kSize> record) const {
    std::memmove(record.data(), m_record, setup::kSize);
}

void CTargetSetupData::SetBit(std::size_t offset, int bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    if (on)
        Byte(offset) |= mask;
    else
        Byte(offset) &= static_cast<std::uint8_t>(~mask);
}

// ---- CPanelDisplayData ------------------------------------------------------------------------

CPanelDisplayData::CPanelDisplayData()
    : m_owned(std::make_unique<DisplayRecord>()), m_record(m_owned.get()) {
    SetDefaults();
}

CPanelDisplayData::CPanelDisplayData(const CPanelDisplayData& other) : CPanelDisplayData() {
    CopyFrom(other);
}

void CPanelDisplayData::CopyFrom(const CDataChunk& other) {
    CDataChunk::CopyFrom(other);
    if (const auto* display = dynamic_cast<const CPanelDisplayData*>(&other)) {
        if (display->m_record != m_record) *m_record = *display->m_record;
        m_text = display->m_text;
        m_colours = display->m_colours;
    }
}

void CPanelDisplayData::SetDefaults() {
    *m_record = DisplayRecord{};
    m_text.clear();
    m_colours = DisplayColours{};
}

void CPanelDisplayData::TakeRecord(std::span<const std::uint8_t, sizeof(DisplayRecord)> record) {
    std::memmove(m_record, record.data(), sizeof(DisplayRecord));
}

void CPanelDisplayData::AdoptRecord(DisplayRecord* outside) {
    m_owned.reset();
    m_record = outside;
}

void CPanelDisplayData::CopyRecordOut(std::span<std::uint8_t, sizeof(DisplayRecord)> record) const {
    std::memmove(record.data(), m_record, sizeof(DisplayRecord));
}

int CPanelDisplayData::FirmwareVersion() const {
    return m_record->versionHundreds * 100 + m_record->versionRemainder;
}

void CPanelDisplayData::SetFirmwareVersion(int version) {
    version = std::clamp(version, 0, 255 * 100 + 99);
    m_record->versionHundreds = static_cast<std::uint8_t>(version / 100);
    m_record->versionRemainder = static_cast<std::uint8_t>(version % 100);
}

// ---- CPanelRPTData ----------------------------------------------------------------------------

CPanelRPTData::CPanelRPTData() {
    SetDefaults();
}

CPanelRPTData::CPanelRPTData(std::span<const std::uint8_t, sizeof(PassthroughRecord)> bytes) {
    TakeRecord(bytes);
}

CPanelRPTData::CPanelRPTData(const CPanelRPTData& other) : CDataChunk() {
    CopyFrom(other);
}

void CPanelRPTData::CopyFrom(const CDataChunk& other) {
    CDataChunk::CopyFrom(other);
    if (const auto* rpt = dynamic_cast<const CPanelRPTData*>(&other)) m_record = rpt->m_record;
}

void CPanelRPTData::SetDefaults() {
    m_record = PassthroughRecord{};
    m_record.baudRate = 9600;
    m_record.dataBits = 8;
    m_record.stopBits = 1;
    for (std::size_t i = 0; i < std::size(kDefaultCommands); ++i)
        std::strncpy(m_record.commands[i], kDefaultCommands[i], kCommandTextSize - 1);
}

void CPanelRPTData::TakeRecord(std::span<const std::uint8_t, sizeof(PassthroughRecord)> record) {
    std::memcpy(&m_record, record.data(), sizeof m_record);
}

void CPanelRPTData::CopyRecordOut(std::span<std::uint8_t, sizeof(PassthroughRecord)> record) const {
    std::memcpy(record.data(), &m_record, sizeof m_record);
}

namespace {
// The command text slot at a record offset; offsets are those of the command table.
std::size_t CommandIndex(std::size_t offset) {
    const std::size_t first = offsetof(PassthroughRecord, commands);
    const std::size_t index = (offset - first) / kCommandTextSize;
    return std::min<std::size_t>(index, 8);
}
}  // namespace

std::string CPanelRPTData::CommandText(std::size_t offset) const {
    const char* text = m_record.commands[CommandIndex(offset)];
    return std::string(text, strnlen(text, kCommandTextSize));
}

void CPanelRPTData::SetCommandText(std::size_t offset, const std::string& text) {
    char* slot = m_record.commands[CommandIndex(offset)];
    std::memset(slot, 0, kCommandTextSize);
    std::memcpy(slot, text.data(), std::min(text.size(), kCommandTextSize - 1));
}

}  // namespace kestra::panel
