#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/link_params.h"
#include "plc_s5/read_requests.h"
#include "s5_project.h"

using namespace kestra;
using namespace kestra::s5;
using kestra::s5::testing::BytesOf;
using kestra::s5::testing::MakeDataField;
using kestra::s5::testing::Range;
using kestra::s5::testing::TestProject;

namespace {

constexpr std::size_t kBlock = 32768;
const platform::LocalTime kSaveTime = {2024, 3, 2, 5, 14, 7, 9, 0};

// Writes an expected image by hand: items placed one after another, moved to the next
// 32 KB block (after 0xFF filler) when they would cross it.
class ExpectedImage {
  public:
    explicit ExpectedImage(std::size_t capacity) : bytes_(capacity, 0) {}

    std::size_t place(std::size_t n) {
        if (pos_ / kBlock != (pos_ + n - 1) / kBlock) {
            const std::size_t next = (pos_ / kBlock + 1) * kBlock;
            std::fill(bytes_.begin() + static_cast<long>(pos_),
                      bytes_.begin() + static_cast<long>(next), 0xFF);
            pos_ = next;
        }
        const std::size_t at = pos_;
        pos_ += n;
        return at;
    }
    std::size_t put(const std::vector<std::uint8_t>& data) {
        const std::size_t at = place(data.size());
        std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<long>(at));
        return at;
    }
    std::size_t text(const std::string& t) {
        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(t.size())};
        data.insert(data.end(), t.begin(), t.end());
        return put(data);
    }
    void paged(std::size_t at, std::size_t offset) {
        bytes_[at] = static_cast<std::uint8_t>(offset / kBlock + 1);
        word(at + 1, offset % kBlock);
    }
    void word(std::size_t at, std::size_t value) {
        bytes_[at] = static_cast<std::uint8_t>(value);
        bytes_[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    std::uint8_t& operator[](std::size_t at) { return bytes_[at]; }
    std::size_t position() const { return pos_; }

    // Padding to 256 (0xFF, the last byte 0), then one 8-bit sum per 256 bytes.
    std::vector<std::uint8_t> finish() {
        const std::size_t padded = (pos_ + 255) / 256 * 256;
        for (std::size_t i = pos_; i < padded; ++i) bytes_[i] = i + 1 == padded ? 0 : 0xFF;
        paged(25, padded);
        std::vector<std::uint8_t> out(bytes_.begin(), bytes_.begin() + static_cast<long>(padded));
        for (std::size_t b = 0; b < padded / 256; ++b) {
            unsigned sum = 0;
            for (std::size_t i = 0; i < 256; ++i) sum += out[b * 256 + i];
            out.push_back(static_cast<std::uint8_t>(sum));
        }
        return out;
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

std::vector<std::uint8_t> Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
std::vector<std::uint8_t> Join(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Saved {
    DWORD size = 0;
    HGLOBAL handle = 0;
    std::vector<std::uint8_t> bytes;
};
Saved Save(TestProject& project) {
    platform::ManualClock clock(0, kSaveTime);
    platform::ScopedClock scoped(clock);
    Saved s;
    s.size = SaveProject(project.handle(), 0, &s.handle);
    if (s.handle) s.bytes = BytesOf(s.handle, s.size);
    return s;
}

HGLOBAL Load(const std::vector<std::uint8_t>& image) {
    HGLOBAL handle = GlobalAlloc(GHND, image.size());
    std::memcpy(mem::Data(handle), image.data(), image.size());
    HGLOBAL project = GetProject(handle, 0);
    GlobalFree(handle);
    return project;
}

// Fields of the first page: one of each kind the image knows.
constexpr std::size_t kBigPageFields = 1450;  // with the first page, more than one block

void BuildProject(TestProject& p) {
    ProjectRecord& r = p.record();
    r.titleId = p.text("Plant A");
    r.imageSizeClass = 3;
    r.settings2 = 0x11;
    r.settings3 = 0xF2;
    r.listHead0 = 0x33;
    r.listHead1 = 0x44;
    WriteLe16(&r.comm6[0], 0xBEEF);
    WriteLe16(&r.comm6[2], 0x1234);
    r.comm6[4] = 0x55;
    r.comm6[5] = 0xA6;
    r.comm6[6] = 0x77;
    r.nodeA.protocol = 0x56;
    r.nodeA.model = 2;
    LinkParams(r).area0.ref.dataBlock = 20;

    r.section1Count = 2;
    r.section1 = GlobalAlloc(GHND, 2 * sizeof(Entry20));
    auto* entries = reinterpret_cast<Entry20*>(mem::Data(r.section1));
    for (std::uint8_t i = 0; i < 2; ++i) {
        entries[i].head[0] = static_cast<std::uint8_t>(0xA0 + i);
        entries[i].head[3] = 0x0D;
        entries[i].b5 = 0xE5;
        entries[i].w6 = static_cast<std::uint16_t>(0x1111 * (i + 1));
        entries[i].w8 = 0xFEDC;
    }

    AlarmRecord* alarms = p.addAlarms(3);
    alarms[0] = {0x57, 3, p.text("Overheat"), {}};
    alarms[1] = {0x00, 0, p.text(""), {}};
    alarms[2] = {0x08, 9, p.text("Low"), {}};

    auto pages = p.addPages({15, kBigPageFields, 2});
    p.setPageText(*pages[0], "Hello");
    pages[0]->b49 = 4;
    WriteLe16(pages[2]->r41 + 2, 0);  // the last page's previous link is the first page

    FieldRecord* f = TestProject::fields(*pages[0]);
    f[0] = FieldRecord{};
    f[0].fieldClass = 0;
    MakeDataField(f[1], 1, 2, kNumeric, kWord, 10, 4);
    f[1].display.format |= sDISPFORMAT::kSigned;
    f[1].display.access = 1;
    f[1].display.minimum = -100;
    f[1].display.maximum = 100;
    MakeDataField(f[2], 2, 0, kNumeric, kWord, 10, 7, 4);
    f[2].display.format |= sDISPFORMAT::kSigned | sDISPFORMAT::kScaling;
    f[2].display.scaleA = 2;
    f[2].display.scaleB = 3;
    f[2].display.scaleC = 5;
    f[2].display.maximum = 200;
    MakeDataField(f[3], 3, 0, kNumeric, kBit, 10, 9, 1);
    f[3].plc.bit = 3;
    f[3].display.maximum = 1;
    MakeDataField(f[4], 4, 0, kMessage, kWord, 11, 0, 6);
    f[4].display.maximum = 3;
    p.setMessages(
        f[4], {Range(0, 1, p.text("Off")), Range(3, 3, p.text("On")), Range(5, 9, p.text("Far"))});
    MakeDataField(f[5], 5, 0, kNumeric, kFloat, 10, 20, 8);
    f[5].display.format |= sDISPFORMAT::kSigned | sDISPFORMAT::kFixedPoint;
    f[5].display.decimals = 2;
    f[5].display.minimum = -5;
    f[5].display.maximum = 1000;
    MakeDataField(f[6], 6, 0, kNumeric, kCounter, 10, 30, 3);
    f[6].display.maximum = 999;
    MakeDataField(f[7], 7, 0, kAsciiField, kAscii, 12, 0, 8);
    f[8] = FieldRecord{};
    f[8].r0[0] = 8;
    f[8].fieldClass = 3;
    f[8].height = 1;
    f[8].width = 4;
    AttributeByte(f[8]) = 2;
    MakeDataField(f[9], 9, 0, kNumeric, kDword, 10, 40, 6);
    f[9].fieldClass = 3;
    AttributeByte(f[9]) = kAttributeFromPlc;
    MakeDataField(f[10], 10, 0, kHorzBargraph, kWord, 10, 50, 20);
    f[10].height = 2;
    f[10].display.maximum = 100;
    MakeDataField(f[11], 11, 0, kNumeric, kDword, 10, 60, 8);
    f[11].display.format = 3 << 3;
    f[11].display.maximum = 0xFFFF;
    MakeDataField(f[12], 12, 0, kNumeric, kByte, 10, 64, 3);
    f[12].display.minimum = 1;
    f[12].display.maximum = 200;
    MakeDataField(f[13], 13, 0, kNumeric, kTimer, 10, 66, 4);
    f[13].display.minimum = 10;
    f[13].display.maximum = 500;
    MakeDataField(f[14], 14, 30, kVertBargraph, kWord, 10, 100, 2);
    f[14].height = 8;
    f[14].display.maximum = 50;

    FieldRecord* big = TestProject::fields(*pages[1]);
    for (std::size_t i = 0; i < kBigPageFields; ++i) {
        MakeDataField(big[i], static_cast<std::uint8_t>(i % 16), static_cast<std::uint8_t>(i % 40),
                      kNumeric, kWord, static_cast<std::uint8_t>(2 + i / 200),
                      static_cast<std::uint16_t>(i % 200 * 2));
        big[i].display.maximum = static_cast<std::int32_t>(i);
    }

    FieldRecord* last = TestProject::fields(*pages[2]);
    last[0] = FieldRecord{};
    last[0].fieldClass = 1;
    last[0].r0[0] = 3;
    last[0].r0[1] = 4;
    MakeDataField(last[1], 0, 0, kNumeric, kWord, 10, 0);

    FixedRecordInfo& fixed = FixedRecords(r);
    fixed.count = 2;
    for (std::uint8_t i = 0; i < 8; ++i) fixed.data[i] = static_cast<std::uint8_t>(0x80 + i);
    fixed.itemSize = 3;
    fixed.items = GlobalAlloc(GHND, 8);
    std::memcpy(mem::Data(fixed.items),
                "\x01"
                "abc"
                "\x02"
                "xyz",
                8);
    r.text1Length = 4;
    r.text1 = GlobalAlloc(GHND, 3);
    std::memcpy(mem::Data(r.text1), "T1!", 3);
}

// The image of BuildProject, written from the image layout field by field.
std::vector<std::uint8_t> ExpectedImageOfBuiltProject() {
    ExpectedImage e(4 * kBlock);
    e.place(28);
    e.word(0, e.place(30));
    e[31] = 27;
    const std::uint8_t time[] = {9, 7, 14, 5, 3, 124};
    std::memcpy(&e[32], time, 6);
    for (int i = 38; i < 58; ++i) e[i] = 0xFF;
    e.word(2,
           e.put({20, 0x11, 0x72, 0x33, 0x44, 0, 1, 0, 0x34, 0x12, 0x55, 0x46, 0x06, 0x77, 2, 0}));
    e.word(4, e.put({2,    0,    0,    0, 0xA0, 0,    0, 0x0D, 0,    0,    0x05, 0,
                     0x11, 0x11, 0,    0, 0xDC, 0xFE, 0, 0,    0xA1, 0,    0,    0x0D,
                     0,    0,    0x05, 0, 0x22, 0x22, 0, 0,    0xDC, 0xFE, 0,    0}));
    const std::size_t alarms = e.place(1280);
    e.word(6, alarms);
    const std::uint8_t alarmHeads[3][2] = {
        {0x54 | 0x20 | 0x80, 3}, {0x20, 0}, {0x08 | 0x20 | 0x80, 9}};
    for (int i = 0; i < 3; ++i) std::memcpy(&e[alarms + 5 * i], alarmHeads[i], 2);
    const std::size_t pageTable = e.place(2 + 9);
    e.word(8, pageTable);
    e.word(pageTable, 3);

    // Page 1: every kind of field record; request numbers by hand.
    const std::vector<std::vector<std::uint8_t>> fields1 = {
        {1, 1, 0, 0},
        {2, 3, 2, 0, 2, 0, 0, 0, 1, 5, 10, 4, 0, 0, 1, 0, 0x9C, 0xFF, 100, 0},
        {3, 1, 2, 0, 3, 0, 0, 0, 0, 4, 10, 6, 0, 0, 1, 0, 0, 0, 200, 0, 2, 0, 3, 0, 5, 0},
        {4, 1, 2, 0, 0, 3, 0, 0, 0, 1, 10, 9, 0, 0, 1, 0, 0x02},
        {5, 1, 2, 0, 2, 0, 3, 0, 0, 6, 11, 0, 0, 0, 2, 0,
         0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0},
        Join({6, 1, 2, 0, 4, 0, 7, 2, 0, 8, 10, 20, 0, 0, 1, 0},
             Join(Le32(0x03B00000), Le32(0x0A7D0000))),
        {7, 1, 2, 0, 2, 0, 6, 0, 0, 3, 10, 30, 0, 0, 1, 0, 0, 0, 0x99, 0x09},
        {8, 1, 2, 0, 5, 0, 4, 0, 0, 8, 12, 0, 0, 0, 3, 0},
        {9, 1, 3, 0, 1, 4, 2},
        {10, 1, 3, 0, 1, 6, 0, 4, 0, 10, 40, 0, 0, 1, 0},
        {11, 1, 2, 0, 2, 0, 8, 2, 0, 20, 10, 50, 0, 0, 1, 0, 0, 0, 100, 0},
        {12, 1, 2, 0, 4, 0, 1, 0, 0, 8, 10, 60, 0, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0},
        {13, 1, 2, 0, 1, 0, 0, 0, 0, 3, 10, 64, 0, 0, 4, 0, 1, 200},
        {14, 1, 2, 0, 2, 0, 5, 0, 0, 4, 10, 66, 0, 0, 4, 0, 10, 0, 0xF4, 0x01},
        {15, 31, 2, 0, 2, 0, 9, 2, 0, 8, 10, 100, 0, 0, 4, 0, 0, 0, 50, 0},
    };
    std::vector<std::size_t> headAt;
    std::size_t messageTableAt = 0;
    auto writePage = [&](std::size_t index, const std::vector<std::vector<std::uint8_t>>& fields,
                         std::uint8_t flags, std::uint8_t attribute) {
        std::size_t total = 12 + 2 * fields.size();
        for (const auto& f : fields) total += f.size();
        const std::size_t at = e.place(total);
        headAt.push_back(at);
        e.paged(pageTable + 2 + 3 * index, at);
        e[at + 3] = flags;
        e[at + 5] = attribute;
        e.word(at + 10, fields.size());
        std::size_t recordAt = at + 12 + 2 * fields.size();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            e.word(at + 12 + 2 * i, recordAt % kBlock);
            std::memcpy(&e[recordAt], fields[i].data(), fields[i].size());
            if (index == 0 && i == 4) messageTableAt = recordAt + 20;
            recordAt += fields[i].size();
        }
    };
    writePage(0, fields1, 0x01, 5);
    std::vector<std::vector<std::uint8_t>> fields2;
    for (std::size_t i = 0; i < kBigPageFields; ++i) {
        const unsigned request = static_cast<unsigned>(i / 200 * 7 + i % 200 / 30 + 1);
        const std::size_t offset = i % 200 * 2;
        fields2.push_back({static_cast<std::uint8_t>(i % 16 + 1),
                           static_cast<std::uint8_t>(i % 40 + 1),
                           2,
                           0,
                           2,
                           0,
                           0,
                           0,
                           0,
                           5,
                           static_cast<std::uint8_t>(2 + i / 200),
                           static_cast<std::uint8_t>(offset),
                           static_cast<std::uint8_t>(offset >> 8),
                           0,
                           static_cast<std::uint8_t>(request),
                           0,
                           0,
                           0,
                           static_cast<std::uint8_t>(i),
                           static_cast<std::uint8_t>(i >> 8)});
    }
    writePage(1, fields2, 0x03, 1);
    writePage(2, {{4, 5, 1, 0}, {1, 1, 2, 0, 2, 0, 0, 0, 0, 5, 10, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
              0x00, 1);

    e.paged(28, e.text("Plant A"));
    const char* alarmTexts[3] = {"Overheat", "", "Low"};
    for (int i = 0; i < 256; ++i) e.paged(alarms + 5 * i + 2, e.text(i < 3 ? alarmTexts[i] : ""));
    e.paged(headAt[0], e.text("P1"));
    e.paged(headAt[0] + 6, e.put({5, 0, 'H', 'e', 'l', 'l', 'o'}));
    const std::size_t off = e.text("Off   ");
    e.paged(messageTableAt, off);
    e.paged(messageTableAt + 3, off);
    e.paged(messageTableAt + 9, e.text("On    "));
    e.paged(headAt[1], e.text("P2"));
    e.paged(headAt[2], e.text("P3"));

    // Read requests: data blocks 2 to 9 (page 2), 10, 11, 12 and 20 (the reserved areas). On
    // page 2 every 30 words of a data block share a request of 60 bytes.
    std::vector<std::uint8_t> section(32);
    for (unsigned db : {2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 20u})
        section[db / 8] |= static_cast<std::uint8_t>(1 << (db % 8));
    std::vector<std::vector<std::uint8_t>> lists = {
        {4, 0, 10, 4, 0, 60, 11, 0, 0, 2, 12, 0, 0, 8, 10, 64, 0, 38},
        {},
        {1, 0, 10, 0, 0, 2},
    };
    std::size_t bigRequests = 0;
    for (std::size_t first = 0; first < kBigPageFields; first += 200) {
        const std::size_t bytes = 2 * std::min<std::size_t>(200, kBigPageFields - first);
        for (std::size_t start = 0; start < bytes; start += 60, ++bigRequests)
            lists[1].insert(
                lists[1].end(),
                {static_cast<std::uint8_t>(2 + first / 200), static_cast<std::uint8_t>(start),
                 static_cast<std::uint8_t>(start >> 8),
                 static_cast<std::uint8_t>(std::min<std::size_t>(60, bytes - start))});
    }
    lists[1].insert(lists[1].begin(), {static_cast<std::uint8_t>(bigRequests), 0});
    const std::size_t sectionSize = 32 + 6 + lists[0].size() + lists[1].size() + lists[2].size();
    const std::size_t sectionAt = e.place(sectionSize);
    e.paged(10, sectionAt);
    std::size_t listAt = 38;
    for (std::size_t p = 0; p < 3; ++p) {
        section.push_back(static_cast<std::uint8_t>((sectionAt + listAt) % kBlock));
        section.push_back(static_cast<std::uint8_t>(((sectionAt + listAt) % kBlock) >> 8));
        listAt += lists[p].size();
    }
    for (const auto& list : lists) section.insert(section.end(), list.begin(), list.end());
    std::memcpy(&e[sectionAt], section.data(), section.size());

    e.paged(13, e.put({2, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 4,  0,
                       0, 0,    1,    'a',  'b',  'c',  2,    'x',  'y',  'z'}));
    e.paged(16, e.put({4, 0, 'T', '1', '!', 0, 0}));
    return e.finish();
}

}  // namespace

TEST(Type1Image, HandBuiltProjectMatchesTheLayoutByteForByte) {
    TestProject project;
    BuildProject(project);
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    const std::vector<std::uint8_t> expected = ExpectedImageOfBuiltProject();
    ASSERT_EQ(saved.bytes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(saved.bytes[i], expected[i]) << "first difference at byte " << i;
    // The big page was moved whole to the second block.
    const std::size_t pageTable = ReadLe16(&saved.bytes[8]);
    EXPECT_EQ(saved.bytes[pageTable + 5], 2);
    EXPECT_EQ(ReadLe16(&saved.bytes[pageTable + 6]), 0);
    EXPECT_EQ(saved.bytes[kBlock - 1], 0xFF);
    const DWORD padded = SizeofProject(saved.bytes.data());
    EXPECT_EQ(padded % 256, 0u);
    EXPECT_EQ(padded + padded / 256, saved.size);
    // Saving moved the odd word to its even offset only in the image.
    EXPECT_EQ(
        TestProject::fields(*reinterpret_cast<PageRecord*>(mem::Data(project.record().pages)))[2]
            .plc.byteOffset.get(),
        7);
    GlobalFree(saved.handle);
}

TEST(Type1Image, LoadingBuildsEveryPanelValueBackAndSavesTheSameImage) {
    TestProject project;
    BuildProject(project);
    AlarmRecord* alarms = project.addAlarms(256);
    alarms[0] = {0x57, 3, project.text("Overheat"), {}};
    alarms[255] = {0x40, 7, project.text("Pump"), {}};
    for (int i = 1; i < 255; ++i) alarms[i].textId = project.text("");
    const Saved first = Save(project);
    ASSERT_NE(first.size, 0u);

    const HGLOBAL loadedHandle = Load(first.bytes);
    ASSERT_NE(loadedHandle, 0u);
    auto& loaded = *static_cast<ProjectBlock*>(GlobalLock(loadedHandle));
    const ProjectRecord& r = loaded.record;
    EXPECT_EQ(r.plcType.get(), 20);
    EXPECT_EQ(r.loadedFrom, 2);
    EXPECT_EQ(r.projectType, 1);
    EXPECT_EQ(r.firmware, 0x11);
    EXPECT_EQ(r.imageSizeClass, 3);
    EXPECT_EQ(r.nodeA.model.get(), 2);
    EXPECT_EQ(r.nodeA.protocol, 0x56);
    EXPECT_EQ(ReadLe16(&r.comm6[0]), 0);
    EXPECT_EQ(ReadLe16(&r.comm6[2]), 0x1234);
    EXPECT_EQ(r.settings3, 0x72);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&r);
    EXPECT_EQ(raw[83], 20);
    EXPECT_EQ(raw[116], 20);
    EXPECT_EQ(ReadLe16(&raw[152]), 28);
    EXPECT_EQ(ReadLe16(&raw[188]), 42);
    EXPECT_EQ(raw[150], 2);
    EXPECT_EQ(raw[183], 20);
    EXPECT_EQ(raw[219], 100);
    char text[64];
    StrTabGetText(r.titleId, &loaded, text, sizeof text, 0);
    EXPECT_STREQ(text, "Plant A");

    ASSERT_EQ(r.section2aCount.get(), 256);
    const auto* loadedAlarms = reinterpret_cast<const AlarmRecord*>(mem::Data(r.section2a));
    EXPECT_EQ(loadedAlarms[255].flags, 0x40 | 0x20 | 0x80);
    EXPECT_EQ(loadedAlarms[255].priority, 7);
    StrTabGetText(loadedAlarms[255].textId, &loaded, text, sizeof text, 0);
    EXPECT_STREQ(text, "Pump");

    ASSERT_EQ(r.pageCount.get(), 3);
    const auto* pages = reinterpret_cast<const PageRecord*>(mem::Data(r.pages));
    EXPECT_EQ(NextLink(pages[0]), 1);
    EXPECT_EQ(PreviousLink(pages[0]), 0);
    EXPECT_EQ(NextLink(pages[2]), 2);
    EXPECT_EQ(PreviousLink(pages[2]), 2);  // its previous link was not the page before
    EXPECT_EQ(pages[0].b49, 4);
    const auto* pageText = reinterpret_cast<const std::uint8_t*>(mem::Data(pages[0].text));
    EXPECT_EQ(ReadLe32(pageText), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pageText + 4), 5), "Hello");
    EXPECT_EQ(pages[1].text.get(), 0u);

    const auto* fields = reinterpret_cast<const FieldRecord*>(mem::Data(pages[0].fields));
    const FieldRecord& scaled = fields[2];
    EXPECT_EQ(scaled.plc.byteOffset.get(), 6);
    EXPECT_TRUE(scaled.display.format & sDISPFORMAT::kScaling);
    EXPECT_EQ(scaled.display.scaleC.get(), 5);
    const FieldRecord& message = fields[4];
    EXPECT_EQ(message.display.fieldType, kMessage);
    ASSERT_EQ(message.list1.count.get(), 2);
    const auto* ranges = reinterpret_cast<const ListEntry*>(mem::Data(message.list1.block));
    EXPECT_EQ(ranges[0].firstKey.get(), 0);
    EXPECT_EQ(ranges[0].lastKey.get(), 1);
    StrTabGetText(ranges[0].textId, &loaded, text, sizeof text, 0);
    EXPECT_STREQ(text, "Off");  // trailing blanks gone
    EXPECT_EQ(ranges[1].firstKey.get(), 3);
    const FieldRecord& kg = fields[5];
    EXPECT_EQ(kg.plc.dataFormat, kFloat);
    EXPECT_EQ(kg.display.minimum.get(), -5);
    EXPECT_EQ(kg.display.maximum.get(), 1000);
    EXPECT_EQ(kg.display.decimals, 2);
    EXPECT_EQ(fields[6].plc.dataFormat, kCounter);
    EXPECT_EQ(fields[6].display.maximum.get(), 999);
    EXPECT_EQ(fields[8].fieldClass.get(), 3);
    EXPECT_EQ(AttributeByte(fields[8]), 2);
    EXPECT_EQ(AttributeByte(fields[9]), kAttributeFromPlc);
    EXPECT_EQ(fields[9].plc.dataFormat, kDword);
    EXPECT_EQ(fields[14].display.fieldType, kVertBargraph);
    EXPECT_EQ(fields[14].width, 2);
    EXPECT_EQ(fields[14].height, 8);
    EXPECT_EQ(fields[11].display.baseIndex(), unsigned{kHexadecimal});
    EXPECT_FALSE(fields[11].display.format & sDISPFORMAT::kSigned);
    EXPECT_TRUE(fields[1].display.format & sDISPFORMAT::kSigned);

    const FixedRecordInfo& fixed = FixedRecords(r);
    EXPECT_EQ(fixed.count, 2);
    EXPECT_EQ(fixed.itemSize.get(), 3);
    EXPECT_EQ(std::memcmp(mem::Data(fixed.items),
                          "\x01"
                          "abc"
                          "\x02"
                          "xyz",
                          8),
              0);
    EXPECT_EQ(r.text1Length, 4);
    EXPECT_EQ(r.text2Length, 0);
    EXPECT_EQ(std::memcmp(mem::Data(r.text1), "T1!", 3), 0);
    EXPECT_EQ(r.section1Count, 2);
    EXPECT_EQ(reinterpret_cast<const Entry20*>(mem::Data(r.section1))[1].w6.get(), 0x2222);

    // Everything the panel sees survives: saving the loaded project gives the same image.
    HGLOBAL second = 0;
    platform::ManualClock clock(0, kSaveTime);
    platform::ScopedClock scoped(clock);
    const DWORD size = SaveProject(reinterpret_cast<std::uintptr_t>(&loaded), 1, &second);
    ASSERT_EQ(size, first.size);
    EXPECT_EQ(BytesOf(second, size), first.bytes);
    GlobalFree(second);
    GlobalFree(first.handle);
    StrTabDiscard(&loaded);
    GlobalUnlock(loadedHandle);
    GlobalFree(loadedHandle);
}

TEST(Type1Image, EmptyProjectAndTitleBlock) {
    TestProject project;
    project.record().titleId = project.text("T");
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    const auto& b = saved.bytes;
    EXPECT_EQ(ReadLe16(&b[0]), 28);
    EXPECT_EQ(b[31], 27);
    for (int i = 38; i < 58; ++i) EXPECT_EQ(b[i], 0xFF);
    EXPECT_EQ(b[36], 3);    // month
    EXPECT_EQ(b[37], 124);  // 2024 - 1900
    const std::size_t pageTable = ReadLe16(&b[8]);
    EXPECT_NE(pageTable, 0u);
    EXPECT_EQ(ReadLe16(&b[pageTable]), 0);
    EXPECT_EQ(ReadLe16(&b[4]), 0);  // no 20-byte entries
    for (int i = 10; i < 25; ++i)
        EXPECT_EQ(b[i], 0) << i;  // no read requests, fixed records, texts
    // Every alarm entry is undefined and points at a text of its own.
    const std::size_t alarms = ReadLe16(&b[6]);
    EXPECT_EQ(b[alarms], 0);
    EXPECT_NE(ReadLe16(&b[alarms + 3]), ReadLe16(&b[alarms + 8]));

    const HGLOBAL loaded = Load(b);
    ASSERT_NE(loaded, 0u);
    auto* block = static_cast<ProjectBlock*>(GlobalLock(loaded));
    EXPECT_EQ(block->record.pageCount.get(), 0);
    EXPECT_EQ(block->record.section2aCount.get(), 256);
    StrTabDiscard(block);
    GlobalUnlock(loaded);
    GlobalFree(loaded);
    GlobalFree(saved.handle);
}

// The stored length-prefixed text an alarm entry points at.
std::vector<std::uint8_t> AlarmTextBytes(const Saved& saved, std::size_t entry) {
    const std::size_t textAt =
        (saved.bytes[entry + 2] - 1) * kBlock + ReadLe16(&saved.bytes[entry + 3]);
    const std::size_t length = saved.bytes.at(textAt);
    return {saved.bytes.begin() + static_cast<long>(textAt),
            saved.bytes.begin() + static_cast<long>(textAt + 1 + length)};
}

TEST(Type1Image, AlarmEntriesCarryTheirTextOnlyWhenTheyHaveOne) {
    struct Case {
        const char* what;
        std::uint8_t flags;
        const char* text;  // null: text index 0, no text
        std::uint8_t storedFlags;
        std::vector<std::uint8_t> storedText;
    };
    const Case cases[] = {
        {"a text", 0x00, "Pump", 0x80 | 0x20, {4, 'P', 'u', 'm', 'p'}},
        {"an empty text", 0x10, "", 0x10 | 0x20, {0}},
        {"text index 0", 0x14, nullptr, 0x14 | 0x20, {0}},
        {"text index 0 with bit 7", 0xC0, nullptr, 0x40 | 0x20, {0}},
    };
    TestProject project;
    project.record().titleId = project.text("Project title");  // identifier 0
    ASSERT_EQ(project.record().titleId.get(), 0);
    AlarmRecord* alarms = project.addAlarms(256);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::size_t number = 256 - i;  // from alarm 256 down
        const Case& c = cases[i];
        alarms[number - 1] = {c.flags, 1, c.text ? project.text(c.text) : std::uint16_t{0}, {}};
    }
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::size_t entry = ReadLe16(&saved.bytes[6]) + 5 * (255 - i);
        EXPECT_EQ(saved.bytes[entry], c.storedFlags) << c.what;
        EXPECT_EQ(saved.bytes[entry + 1], 1) << c.what;
        EXPECT_EQ(AlarmTextBytes(saved, entry), c.storedText) << c.what;
    }
    GlobalFree(saved.handle);
}

TEST(Type1Image, MessageRangesWithUnknownTextsOrGapsStaySeparateAndUnsignedWordsStayUnsigned) {
    TestProject project;
    auto pages = project.addPages({2});
    FieldRecord& hex = TestProject::fields(*pages[0])[1];
    MakeDataField(hex, 1, 0, kNumeric, kWord, 10, 2, 4);
    hex.display.format = 3 << 3;
    hex.display.maximum = 0xFFFF;
    FieldRecord& f = TestProject::fields(*pages[0])[0];
    MakeDataField(f, 0, 0, kMessage, kWord, 10, 0, 3);
    f.display.maximum = 40000;  // unsigned, and more values than a table holds
    const std::uint16_t a = project.text("A");
    project.setMessages(
        f, {Range(0, 0, a), Range(2, 2, a), Range(3, 3, 999), Range(255, 400, project.text("Z"))});
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    const HGLOBAL loaded = Load(saved.bytes);
    ASSERT_NE(loaded, 0u);
    auto* block = static_cast<ProjectBlock*>(GlobalLock(loaded));
    const auto* page = reinterpret_cast<const PageRecord*>(mem::Data(block->record.pages));
    const auto* field = reinterpret_cast<const FieldRecord*>(mem::Data(page->fields));
    EXPECT_EQ(field->display.maximum.get(), 255);  // the table covers 256 values at most
    ASSERT_EQ(field->list1.count.get(), 3);
    const auto* ranges = reinterpret_cast<const ListEntry*>(mem::Data(field->list1.block));
    EXPECT_EQ(ranges[0].lastKey.get(), 0);  // value 1 has no text: 0 and 2 are not one range
    EXPECT_EQ(ranges[1].firstKey.get(), 2);
    EXPECT_EQ(ranges[1].lastKey.get(), 2);
    EXPECT_EQ(ranges[0].textId.get(), ranges[1].textId.get());
    EXPECT_EQ(ranges[2].firstKey.get(), 255);
    EXPECT_EQ(ranges[2].lastKey.get(), 255);
    EXPECT_EQ(field[1].display.maximum.get(), 65535);  // a hexadecimal word is not signed
    StrTabDiscard(block);
    GlobalUnlock(loaded);
    GlobalFree(loaded);
    GlobalFree(saved.handle);
}

// More fields than there are texts, and more texts than the saver keeps at hand: every field
// gets its own copy of its texts, padded to its own width (or whole when longer).
TEST(Type1Image, MessageTextsSharedByManyFieldsArePaddedToEachFieldsWidth) {
    struct Case {
        std::uint8_t width;
        std::size_t off, on;  // indices into the texts
    };
    const std::vector<std::string> texts = {
        "Stopped", "Running", "A",    "",     "Longer than width",
        "Fault",   "Hand",    "Auto", "Open", "Shut",
        "Low",     "High",    "Wait", "Go",   "Idle",
        "Busy",    "Empty",   "Full", "Left", "Right"};
    std::vector<Case> cases;
    for (std::uint8_t k = 0; k < 40; ++k)
        cases.push_back({static_cast<std::uint8_t>(1 + k % 12), k * 7u % texts.size(),
                         (k * 3u + 16) % texts.size()});
    TestProject project;
    std::vector<std::uint16_t> ids;
    for (const auto& t : texts) ids.push_back(project.text(t.c_str()));
    auto pages = project.addPages({cases.size()});
    FieldRecord* f = TestProject::fields(*pages[0]);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        MakeDataField(f[i], static_cast<std::uint8_t>(i % 16), 0, kMessage, kWord, 10,
                      static_cast<std::uint16_t>(2 * i), cases[i].width);
        f[i].display.maximum = 2;  // value 2 has no text
        project.setMessages(f[i], {Range(0, 0, ids[cases[i].off]), Range(1, 1, ids[cases[i].on])});
    }
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    const auto& b = saved.bytes;
    auto offsetAt = [&](std::size_t at) { return *RecordAt<PagedOffset>(&b[at]).decode(); };
    const std::size_t head = offsetAt(ReadLe16(&b[8]) + 2);
    ASSERT_EQ(ReadLe16(&b[head + 10]), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::size_t record = head / kBlock * kBlock + ReadLe16(&b[head + 12 + 2 * i]);
        const std::size_t table = record + sizeof(DataFieldImage) + 4;  // after a word's limits
        for (std::size_t value = 0; value < 2; ++value) {
            std::string expected = texts[value == 0 ? cases[i].off : cases[i].on];
            if (expected.size() < cases[i].width) expected.resize(cases[i].width, ' ');
            const std::size_t text = offsetAt(table + 3 * value);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[text + 1]), b[text]), expected)
                << "field " << i << ", value " << value;
        }
        EXPECT_EQ(b[table + 6], 0) << "field " << i << ": value 2 has no text";
    }
    GlobalFree(saved.handle);
}

TEST(Type1Image, FourteenByteEntriesAreRead) {
    ExpectedImage e(1024);
    e.place(28);
    e.word(0, e.place(30));
    e.word(2, e.put({10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0}));
    const std::size_t section = e.put({3, 0, 0, 0, 0, 0, 0, 0});
    e.paged(19, section);
    const std::size_t first = e.put({7, 8, 'a', 'b', 0});
    const std::size_t second = e.put({9, 1, 0});
    e.word(section + 2, first);
    e.word(section + 6, second);
    const HGLOBAL loaded = Load(e.finish());
    ASSERT_NE(loaded, 0u);
    auto* block = static_cast<ProjectBlock*>(GlobalLock(loaded));
    ASSERT_EQ(block->record.section9Count.get(), 3);
    const auto* entries = reinterpret_cast<const Entry14*>(mem::Data(block->record.section9));
    EXPECT_EQ(entries[0].b0, 7);
    EXPECT_EQ(entries[0].b1, 8);
    char text[8];
    StrTabGetText(entries[0].textId, block, text, sizeof text, 0);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(entries[1].b0, 0);  // offset 0: no entry
    EXPECT_EQ(entries[2].b0, 9);
    EXPECT_EQ(block->record.pageCount.get(), 0);
    EXPECT_EQ(block->record.section2aCount.get(), 0);
    StrTabDiscard(block);
    GlobalUnlock(loaded);
    GlobalFree(loaded);
}

TEST(Type1Image, WrongPlcTypeIsRefusedWithItsMessage) {
    TestProject project;
    project.record().plcType = 19;
    std::vector<std::uint8_t> before(kProjectBlockSize);
    std::memcpy(before.data(), &project.block(), kProjectBlockSize);
    std::string shown;
    auto previous =
        platform::SetMessageBoxPresenter([&](HWND, std::string_view text, std::string_view, UINT) {
            shown = text;
            return IDOK;
        });
    HGLOBAL image = 0xDEAD;
    EXPECT_EQ(SaveProject(project.handle(), 0, &image), 0u);
    platform::SetMessageBoxPresenter(previous);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(shown,
              "The Attached Kestra Panel is Made for Simatic S5 PLCs but the Current Project "
              "Specifies a Different "
              "Type");
    EXPECT_EQ(std::memcmp(before.data(), &project.block(), kProjectBlockSize), 0);
}

TEST(Type1Image, AProjectLargerThanItsReservedSizeIsRefused) {
    TestProject project;
    project.record().imageSizeClass = 0;  // 99328 bytes
    auto pages = project.addPages({1400, 1400, 1400, 1400});
    for (PageRecord* page : pages)
        for (std::size_t i = 0; i < 1400; ++i)
            MakeDataField(TestProject::fields(*page)[i], 0, 0, kNumeric, kWord, 10, 0);
    HGLOBAL image = 0;
    const std::size_t globalBefore = mem::LiveBlocks(mem::Kind::Global);
    EXPECT_EQ(SaveProject(project.handle(), 0, &image), 0u);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), globalBefore);
    project.record().imageSizeClass = 4;
    EXPECT_GT(SaveProject(project.handle(), 0, &image), 3u * kBlock);
    GlobalFree(image);
}

TEST(Type1Image, DamagedImagesLoadNothingAndLeaveNothingAllocated) {
    TestProject project;
    BuildProject(project);
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    const std::size_t global = mem::LiveBlocks(mem::Kind::Global),
                      host = mem::LiveBlocks(mem::Kind::Host);
    auto refused = [&](std::vector<std::uint8_t> image, bool fixSums, const char* what) {
        if (fixSums) WriteChecksums(std::as_writable_bytes(std::span(image)));
        EXPECT_EQ(Load(image), 0u) << what;
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), global) << what;
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), host) << what;
    };
    const std::vector<std::uint8_t>& good = saved.bytes;
    const std::size_t pageTable = ReadLe16(&good[8]);
    const std::size_t page1 = ReadLe16(&good[pageTable + 3]);

    refused(std::vector<std::uint8_t>(good.begin(), good.end() - 1), false, "one checksum short");
    std::vector<std::uint8_t> flipped = good;
    flipped[40000] ^= 0x01;
    refused(flipped, false, "checksum mismatch");
    std::vector<std::uint8_t> image = good;
    image[25] = image[26] = image[27] = 0;
    refused(image, false, "no size in the header");
    image = good;
    WriteLe16(&image[pageTable], 0xFFFF);
    refused(image, true, "page count beyond the image");
    image = good;
    image[pageTable + 2] = 200;
    refused(image, true, "page record beyond the image");
    image = good;
    WriteLe16(&image[page1 + 10], 40000);
    refused(image, true, "field count beyond the image");
    image = good;
    const std::size_t field1 = ReadLe16(&image[page1 + 12 + 2]);
    image[field1 + 4] = 9;
    refused(image, true, "unknown numeric kind");
    image = good;
    image[ReadLe16(&image[6]) + 2] = 0;
    WriteLe16(&image[ReadLe16(&image[6]) + 3], 5);  // page 0 with an offset: not absent, not valid
    refused(image, true, "paged offset with page 0");

    std::vector<std::uint8_t> stray(good.size() + 100, 0xAB);
    std::copy(good.begin(), good.end(), stray.begin());
    const HGLOBAL longer = Load(stray);
    EXPECT_NE(longer, 0u) << "bytes beyond the checksums are ignored";
    GlobalFree(longer);
    GlobalFree(saved.handle);
}

TEST(Type1Image, GetProjectNeedsTheApplicationAllocator) {
    TestProject project;
    const Saved saved = Save(project);
    auto previous = GetAppFmalloc();
    SetAppFmalloc(nullptr);
    EXPECT_EQ(GetProject(saved.handle, 0), 0u);
    SetAppFmalloc(previous);
    const HGLOBAL byPointer =
        GetProject(reinterpret_cast<std::uintptr_t>(mem::Data(saved.handle)), 1);
    EXPECT_NE(byPointer, 0u);
    GlobalFree(byPointer);
    std::vector<std::uint8_t> outside = saved.bytes;
    EXPECT_EQ(GetProject(reinterpret_cast<std::uintptr_t>(outside.data()), 1),
              0u);  // not a block we know
    GlobalFree(saved.handle);
}

// Formats the panel image does not know go into it as WORD; the project keeps the formats its
// fields were given, so that building an image for the panel changes nothing of the project.
TEST(Type1Image, SavingLeavesTheFieldsFormatsAsTheyWere) {
    TestProject project;
    auto pages = project.addPages({3});
    FieldRecord* fields = TestProject::fields(*pages[0]);
    MakeDataField(fields[0], 0, 0, kNumeric, kBcdWord, 10, 4);
    MakeDataField(fields[1], 1, 0, kNumeric, kNoFormat, 10, 6);
    MakeDataField(fields[2], 2, 0, kNumeric, kTimerValue, 10, 8);
    fields[2].fieldClass = kClassAttribute;
    reinterpret_cast<std::uint8_t*>(&fields[2])[62] = kAttributeFromPlc;
    std::vector<std::uint8_t> before(3 * sizeof(FieldRecord));
    std::memcpy(before.data(), fields, before.size());
    const Saved saved = Save(project);
    ASSERT_NE(saved.size, 0u);
    EXPECT_EQ(std::memcmp(before.data(), fields, before.size()), 0);
    HGLOBAL loaded = Load(saved.bytes);
    ASSERT_NE(loaded, 0u);
    const auto& back = *static_cast<ProjectBlock*>(GlobalLock(loaded));
    const auto* read = reinterpret_cast<const FieldRecord*>(
        mem::At(reinterpret_cast<const PageRecord*>(mem::Data(back.record.pages))[0].fields, 0,
                3 * sizeof(FieldRecord)));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0].plc.dataFormat, kWord) << "the image carries WORD";
    EXPECT_EQ(read[1].plc.dataFormat, kWord);
    EXPECT_EQ(read[2].plc.dataFormat, kWord);
    GlobalUnlock(loaded);
    GlobalFree(loaded);
}
