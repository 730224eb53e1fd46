// The data chunks that the setup sheet edits: the setup record, the display record and the
// passthrough record, each with a modified flag that decides whether it travels back to the
// project editor.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "panel_setup/setup_records.h"

namespace kestra::panel {

class CDataChunk {
  public:
    CDataChunk();
    virtual ~CDataChunk() = default;
    CDataChunk(const CDataChunk&) = delete;
    CDataChunk& operator=(const CDataChunk&) = delete;

    static constexpr const char* kClassName = "CDataChunk";
    virtual const char* ClassName() const { return kClassName; }

    // The chunk's own stored form: its format version, as two little-endian bytes.
    virtual void Serialize(std::span<std::uint8_t, 2> out) const;
    virtual void Deserialize(std::span<const std::uint8_t, 2> in);

    virtual void CopyFrom(const CDataChunk& other);
    virtual std::uint32_t ChunkType() const { return 0; }
    virtual void SetDefaults() {}
    virtual int GetState() const { return m_state; }
    virtual void SetState(int state) { m_state = state; }
    virtual bool ValidateFirst() const { return true; }
    virtual bool ValidateSecond() const { return true; }
    virtual bool ValidateThird() const { return true; }
    virtual void NotifyFirst() {}
    virtual void NotifySecond() {}

    bool IsModified() const { return m_modified != 0; }
    void SetModified(bool modified = true) { m_modified = modified ? 1 : 0; }
    std::uint32_t SerialNumber() const { return m_serial; }
    std::uint16_t FormatVersion() const { return m_version; }

    // The serial number the next chunk will get (the counter starts at 100).
    static std::uint32_t NextSerialNumber();

  private:
    std::int32_t m_modified = 0;
    std::int32_t m_state = 1;
    std::uint32_t m_serial;
    std::uint16_t m_version = 256;
};

// The setup record chunk.
class CTargetSetupData : public CDataChunk {
  public:
    static constexpr std::uint32_t kType = 0x54570053;
    static constexpr const char* kClassName = "CTargetSetupData";

    CTargetSetupData();
    // Edits an outside record in place; the chunk does not own it.
    explicit CTargetSetupData(std::uint8_t* outsideRecord);
    CTargetSetupData(const CTargetSetupData& other);

    const char* ClassName() const override { return kClassName; }
    void CopyFrom(const CDataChunk& other) override;
    std::uint32_t ChunkType() const override { return kType; }
    void SetDefaults() override;

    void TakeRecord(std::span<const std::uint8_t, setup::kSize> record);
    void CopyRecordOut(std::span<std::uint8_t, setup::kSize> record) const;

    std::span<std::uint8_t, setup::kSize> Record() {
        return std::span<std::uint8_t, setup::kSize>(m_record, setup::kSize);
    }
    std::span<const std::uint8_t, setup::kSize> Record() const {
        return std::span<const std::uint8_t, setup::kSize>(m_record, setup::kSize);
    }
    std::uint8_t& Byte(std::size_t offset) { return Record()[offset]; }
    std::uint8_t Byte(std::size_t offset) const { return Record()[offset]; }
    std::uint16_t Word(std::size_t offset) const { return ReadLe16(m_record + offset); }
    void SetWord(std::size_t offset, std::uint16_t v) { WriteLe16(m_record + offset, v); }
    bool Bit(std::size_t offset, int bit) const { return (Byte(offset) >> bit) & 1; }
    void SetBit(std::size_t offset, int bit, bool on);

  private:
    std::unique_ptr<std::uint8_t[]> m_owned;
    std::uint8_t* m_record;
};

// Colours of a display, three components each, kept beside the display record.
struct DisplayColours {
    std::array<int, 3> screenText{}, grid{}, screenData{}, pageBackground{}, screenBackground{},
        attribute{}, touchGrid{};
};

// The display record chunk.
class CPanelDisplayData : public CDataChunk {
  public:
    static constexpr std::uint32_t kType = 0x445B0050;
    static constexpr const char* kClassName = "CPanelDisplayData";

    CPanelDisplayData();
    CPanelDisplayData(const CPanelDisplayData& other);

    const char* ClassName() const override { return kClassName; }
    void CopyFrom(const CDataChunk& other) override;
    std::uint32_t ChunkType() const override { return kType; }
    void SetDefaults() override;

    void TakeRecord(std::span<const std::uint8_t, sizeof(DisplayRecord)> record);
    // Edits the caller's record in place from now on.
    void AdoptRecord(DisplayRecord* outside);
    void CopyRecordOut(std::span<std::uint8_t, sizeof(DisplayRecord)> record) const;

    DisplayRecord& Record() { return *m_record; }
    const DisplayRecord& Record() const { return *m_record; }
    const std::string& Text() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }
    DisplayColours& Colours() { return m_colours; }
    const DisplayColours& Colours() const { return m_colours; }

    // The firmware version the record names: hundreds byte x 100 + remainder byte.
    int FirmwareVersion() const;
    void SetFirmwareVersion(int version);

  private:
    std::unique_ptr<DisplayRecord> m_owned;
    DisplayRecord* m_record;
    std::string m_text;
    DisplayColours m_colours;
};

// The passthrough record chunk.
class CPanelRPTData : public CDataChunk {
  public:
    static constexpr std::uint32_t kType = 0x50520054;
    static constexpr const char* kClassName = "CPanelRPTData";

    CPanelRPTData();
    explicit CPanelRPTData(std::span<const std::uint8_t, sizeof(PassthroughRecord)> bytes);
    CPanelRPTData(const CPanelRPTData& other);

    const char* ClassName() const override { return kClassName; }
    void CopyFrom(const CDataChunk& other) override;
    std::uint32_t ChunkType() const override { return kType; }
    void SetDefaults() override;

    void TakeRecord(std::span<const std::uint8_t, sizeof(PassthroughRecord)> record);
    void CopyRecordOut(std::span<std::uint8_t, sizeof(PassthroughRecord)> record) const;

    PassthroughRecord& Record() { return m_record; }
    const PassthroughRecord& Record() const { return m_record; }
    // A command text at one of the record's text offsets, up to its terminator.
    std::string CommandText(std::size_t offset) const;
    void SetCommandText(std::size_t offset, const std::string& text);

  private:
    PassthroughRecord m_record{};
};

// The compact setup form and the setup record.
void ExpandCompactSetup(std::span<const std::uint8_t, kCompactSize> compact,
                        std::span<std::uint8_t, setup::kSize> record);
void CompressCompactSetup(std::span<const std::uint8_t, setup::kSize> record,
                          std::span<std::uint8_t, kCompactSize> compact);

}  // namespace kestra::panel
