// PlcPrint on the recording print surface: what the driver prints of a project, read back
// line by line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plc_s5/k32plc1.h"
#include "s5_project.h"
#include "windows/print_surface.h"

using namespace kestra;
using namespace kestra::s5;
using kestra::platform::CreatePrintDC;
using kestra::platform::RecordingPrintSurface;
using kestra::s5::testing::MakeDataField;
using kestra::s5::testing::TestProject;

namespace {

constexpr std::uint8_t kDecimalBase = 2 << 3;
constexpr std::uint8_t kHexBase = 3 << 3;

// One field of the sample project, as the editor would have set it up.
struct SampleField {
    std::uint8_t page, row, column, fieldType, format, dataBlock;
    std::uint16_t byteOffset;
    std::uint8_t bit, width, access, displayFormat, decimals;
    std::int32_t minimum, maximum, a, b, c;
    std::uint16_t node;
    const char* typeText;
    const char* attributeText;
};

constexpr std::uint8_t kS = sDISPFORMAT::kSigned, kF = sDISPFORMAT::kFixedPoint,
                       kSc = sDISPFORMAT::kScaling;
const SampleField kSample[] = {
    {0, 0, 0, kNumeric, kWord, 10, 10, 0, 5, 0, kDecimalBase, 0, 0, 1000, 1, 1, 0, 0, "NUM", "-"},
    {0, 1, 0, kNumeric, kByte, 10, 11, 0, 3, 1, kDecimalBase, 0, 0, 255, 1, 1, 0, 0, "NUM", "-"},
    {0, 2, 0, kNumeric, kBit, 10, 10, 3, 1, 1, kDecimalBase, 0, 0, 1, 1, 1, 0, 0, "NUM", "-"},
    {0, 3, 0, kNumeric, kDword, 20, 20, 0, 8, 0, kDecimalBase, 0, 0, 99999, 1, 1, 0, 0, "NUM", "-"},
    {0, 4, 0, kNumeric, kTimer, 11, 0, 0, 4, 1, kDecimalBase, 0, 0, 999, 1, 1, 0, 0, "NUM", "-"},
    {0, 5, 0, kNumeric, kCounter, 11, 2, 0, 3, 0, kDecimalBase, 0, 0, 999, 1, 1, 0, 0, "NUM", "-"},
    {0, 6, 0,     kNumeric, kWord, 11, 4, 0,     6,      0, kDecimalBase | kF,
     2, 0, 12345, 1,        1,     0,  0, "NUM", "BLINK"},
    {1, 0, 1, kMessage, kWord, 12, 0, 0, 10, 0, kDecimalBase, 0, 0, 1, 1, 1, 0, 0, "MSG", "-"},
    {1, 1, 1, kAsciiField, kAscii, 12, 4, 0, 10, 1, kDecimalBase, 0, 0, 0, 1, 1, 0, 0, "ASC", "-"},
    {1, 2, 1, kHorzBargraph, kWord, 12, 6, 0, 20, 0, kDecimalBase, 0, 0, 100, 1,
     1, 0, 0, "HBAR",        "-"},
    {1, 3, 1, kVertBargraph, kWord, 12, 8, 0, 1, 0, kDecimalBase, 0, 0, 100, 1,
     1, 0, 0, "VBAR",        "-"},
    {1, 4, 1, kNumeric, kWord, 13, 0, 0, 4, 0, kHexBase, 0, 0, 255, 1, 1, 0, 0, "NUM", "-"},
    {1, 5,    1,   kNumeric, kWord, 13, 2, 0,     4,  1, kDecimalBase | kS,
     0, -100, 100, 1,        1,     0,  0, "NUM", "-"},
    {1, 6,   1,   kNumeric, kWord, 13, 4, 0,     5,    0, kDecimalBase | kSc,
     0, -10, 200, 2,        3,     -5, 0, "NUM", "REV"},
    {2, 0, 2, kNumeric, kBcdWord, 14, 0, 0, 4, 0, kDecimalBase, 0, 0, 9999, 1, 1, 0, 0, "NUM", "-"},
    {2, 1, 2, kNumeric, kFloat, 14, 2, 0, 6, 0, kDecimalBase, 0, 0, 1000, 1, 1, 0, 0, "NUM", "-"},
    {2, 2, 2, kNumeric, kByte, 14, 4, 0, 3, 0, kDecimalBase, 0, 0, 255, 1, 1, 0, 0, "NUM", "-"},
    {2, 3, 2, kNumeric, kWord, 14, 6, 0, 5, 0, kDecimalBase, 0, 0, 1000, 1, 1, 0, 3, "NUM", "-"},
    {2, 4, 2, kNumeric, kWord, 255, 510, 0, 5, 0, kDecimalBase, 0, 0, 1000, 1, 1, 0, 0, "NUM", "-"},
    {2, 5, 2,    kNumeric, kNoFormat, 10, 14, 0,     5,  0, kDecimalBase,
     0, 0, 1000, 1,        1,         0,  0,  "NUM", "-"},
};

// What the driver prints of the sample, written out from its print line formats.
const char* const kExpectedPrint =
    "                 | Net|PLC           PLC         Data |                    Format         "
    "         |      Scaling \n"
    "Num Row Col Type |Node|Slave       Address      Format| RW       Min        Max  Prec Width "
    "  Attr |   A1    A2     B\n"
    "------------------------------------------------------------------------------------------"
    "----------------------------------\n"
    "PLC slave address   10\n"
    "PLC model           AG90/100/115/135\n"
    "\n"
    "  1   1   1   NUM|  0 | 10           DB10 DW5   WORD\\O|  RO          0       1000   0    5   "
    "     -|     1      1      0\n"
    "  2   2   1   NUM|  0 | 10           DB10 DR5     BYTE|  RW          0        255   0    3    "
    "    -|     1      1      0\n"
    "  3   3   1   NUM|  0 | 10         DB10 D5.11      BIT|  RW          0          1   0    1    "
    "    -|     1      1      0\n"
    "  4   4   1   NUM|  0 | 10          DB20 DD10    DWORD|  RO          0      99999   0    8    "
    "    -|     1      1      0\n"
    "  5   5   1   NUM|  0 | 10           DB11 DW0       KT|  RW          0        999   0    4    "
    "    -|     1      1      0\n"
    "  6   6   1   NUM|  0 | 10           DB11 DW1       KZ|  RO          0        999   0    3    "
    "    -|     1      1      0\n"
    "  7   7   1   NUM|  0 | 10           DB11 DW2   WORD\\O|  RO       0.00     123.45   2    6   "
    " BLINK|     1      1      0\n"
    "  8   1   2   MSG|  0 | 10           DB12 DW0   WORD\\O|  RO          0          1   0   10   "
    "     -|     1      1      0\n"
    "  9   2   2   ASC|  0 | 10           DB12 DW2    ASCII|  RW          0          0   0   10    "
    "    -|     1      1      0\n"
    " 10   3   2  HBAR|  0 | 10           DB12 DW3   WORD\\O|  RO          0        100   0   20   "
    "     -|     1      1      0\n"
    " 11   4   2  VBAR|  0 | 10           DB12 DW4   WORD\\O|  RO          0        100   0    1   "
    "     -|     1      1      0\n"
    " 12   5   2   NUM|  0 | 10           DB13 DW0   WORD\\O|  RO          0         FF   0    4   "
    "     -|     1      1      0\n"
    " 13   6   2   NUM|  0 | 10           DB13 DW1   WORD\\O|  RW       -100        100   0    4   "
    "     -|     1      1      0\n"
    " 14   7   2   NUM|  0 | 10           DB13 DW2   WORD\\O|  RO        -10        200   0    5   "
    "   REV|     2      3     -5\n"
    " 15   1   3   NUM|  0 | 10           DB14 DW0    BCDWD|  RO          0       9999   0    4    "
    "    -|     1      1      0\n"
    " 16   2   3   NUM|  0 | 10           DB14 DD1       KG|  RO          0       1000   0    6    "
    "    -|     1      1      0\n"
    " 17   3   3   NUM|  0 | 10           DB14 DL2     BYTE|  RO          0        255   0    3    "
    "    -|     1      1      0\n"
    " 18   4   3   NUM|  3 | 10           DB14 DW3   WORD\\O|  RO          0       1000   0    5   "
    "     -|     1      1      0\n"
    " 19   5   3   NUM|  0 | 10        DB255 DW255   WORD\\O|  RO          0       1000   0    5   "
    "     -|     1      1      0\n"
    " 20   6   3   NUM|  0 | 10           DB10 DW7      ERR|  RO          0       1000   0    5    "
    "    -|     1      1      0\n";

void Apply(FieldRecord& f, const SampleField& s) {
    MakeDataField(f, s.row, s.column, s.fieldType, s.format, s.dataBlock, s.byteOffset, s.width);
    f.plc.bit = s.bit;
    f.plc.networkNode = s.node;
    f.display.access = s.access;
    f.display.format = s.displayFormat;
    f.display.decimals = s.decimals;
    f.display.minimum = s.minimum;
    f.display.maximum = s.maximum;
    f.display.scaleA = s.a;
    f.display.scaleB = s.b;
    f.display.scaleC = s.c;
}

// The sample project: 3 pages of 7, 7 and 6 fields on the default PLC setup.
class SampleProject {
  public:
    SampleProject() {
        InitPlcDefaults(&project.block(), nullptr, &project.record().nodeA, nullptr, 0);
        auto pages = project.addPages({7, 7, 6});
        std::size_t next[3] = {};
        for (const SampleField& s : kSample) {
            FieldRecord& f = TestProject::fields(*pages[s.page])[next[s.page]++];
            Apply(f, s);
            fields.push_back(&f);
        }
    }
    TestProject project;
    std::vector<FieldRecord*> fields;
};

// The editor's side of a print: a request record, its line counter and the page breaks.
class Printer {
  public:
    explicit Printer(ProjectBlock& project, int linesPerPage = 60)
        : surface(13, linesPerPage), dc(CreatePrintDC(surface)) {
        height = surface.lineHeight();
        request.size = kPrintRequestWithFieldNumber;
        request.project = &project;
        request.dc = dc;
        request.lineCounter = &counter;
        request.lineHeight = &height;
        request.formatName = formatName;
        request.minimumText = minimumText;
        request.maximumText = maximumText;
        request.line = line;
        current = this;
    }
    ~Printer() { DeleteDC(dc); }

    DWORD print(std::uint16_t type) {
        request.type = type;
        return PlcPrint(&request);
    }
    // The editor places a field line on the page itself.
    void place(const char* text) {
        TextOut(dc, 0, counter * height, text, static_cast<int>(std::strlen(text)));
        ++counter;
        PageBreak(&counter, dc, &counter);
    }
    // The editor's line callback: a full page goes on on the next one.
    static BOOL PageBreak(LONG* lineCounter, HDC, LONG*) {
        if (*lineCounter >= current->surface.linesPerPage()) {
            current->surface.newPage();
            *lineCounter = 0;
        }
        return FALSE;
    }

    RecordingPrintSurface surface;
    HDC dc;
    LONG counter = 0, height = 0;
    PLCPRINTREQUEST request{};
    char formatName[10] = "", minimumText[50] = "", maximumText[50] = "", line[256] = "";
    static Printer* current;
};
Printer* Printer::current = nullptr;

void PrintSample(SampleProject& sample, Printer& printer) {
    printer.request.lineCallback = &Printer::PageBreak;
    ASSERT_EQ(printer.print(kPrintHeadings), 1u);
    ASSERT_EQ(printer.print(kPrintPlcHeader), 1u);
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < sample.fields.size(); ++i) {
        number = static_cast<std::uint32_t>(i);
        printer.request.field = sample.fields[i];
        printer.request.fieldNumber = &number;
        printer.request.typeText = kSample[i].typeText;
        printer.request.attributeText = kSample[i].attributeText;
        printer.request.setup = &sample.project.record().nodeA;
        const DWORD length = printer.print(kPrintFieldLine);
        ASSERT_EQ(length, std::strlen(printer.line));
        printer.place(printer.line);
    }
}

}  // namespace

TEST(PlcPrint, TheSampleProjectPrintsAsWrittenOut) {
    SampleProject sample;
    Printer printer(sample.project.block());
    PrintSample(sample, printer);
    EXPECT_EQ(printer.surface.pageCount(), 1);
    EXPECT_EQ(printer.surface.pageText(0), kExpectedPrint);
    // Every line at x = 0 and y = line number x line height.
    const auto& lines = printer.surface.lines();
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[3].at.y, 3 * 13);
    EXPECT_EQ(lines[5].at.y, 6 * 13);  // after the empty line of the PLC header
    for (const auto& l : lines) EXPECT_EQ(l.at.x, 0);
}

TEST(PlcPrint, PagesBreakWhereTheEditorsCallbackSays) {
    SampleProject sample;
    Printer printer(sample.project.block(), 10);
    PrintSample(sample, printer);
    EXPECT_EQ(printer.surface.pageCount(), 3);
    std::string all;
    for (int page = 0; page < printer.surface.pageCount(); ++page)
        all += printer.surface.pageText(page);
    EXPECT_EQ(all, kExpectedPrint);
}

TEST(PlcPrint, HeadingsStopWhenTheCallbackSaysSo) {
    TestProject project;
    Printer printer(project.block());
    printer.request.lineCallback = [](LONG*, HDC, LONG*) -> BOOL { return TRUE; };
    EXPECT_EQ(printer.print(kPrintHeadings), 1u);
    ASSERT_EQ(printer.surface.lines().size(), 1u);
    EXPECT_EQ(printer.counter, 1);
    EXPECT_EQ(printer.surface.lines()[0].text.substr(0, 20), "                 | N");
}

TEST(PlcPrint, UnknownModelsAndFormatsPrintErr) {
    SampleProject sample;
    sample.project.record().nodeA.model = 3;
    sample.project.record().nodeA.slaveAddress = 42;
    Printer printer(sample.project.block());
    EXPECT_EQ(printer.print(kPrintPlcHeader), 1u);
    EXPECT_EQ(printer.surface.pageText(0), "PLC slave address   42\nPLC model           ERR\n");
    EXPECT_EQ(printer.counter, 3);

    printer.request.field = sample.fields[19];  // format 0
    EXPECT_EQ(printer.print(kPrintFormatTexts), 1u);
    EXPECT_STREQ(printer.formatName, "ERR");
    EXPECT_STREQ(printer.minimumText, "0");
    EXPECT_STREQ(printer.maximumText, "1000");
    printer.request.field = sample.fields[11];
    EXPECT_EQ(printer.print(kPrintFormatTexts), 1u);
    EXPECT_STREQ(printer.formatName, "WORD\\O");
    EXPECT_STREQ(printer.maximumText, "FF");
}

TEST(PlcPrint, ShortRequestsUseTheProjectsSetupAndFieldNumberOne) {
    SampleProject sample;
    Printer printer(sample.project.block());
    uPLCSETUP other = sample.project.record().nodeA;
    other.slaveAddress = 77;
    other.model = 2;
    std::uint32_t number = 9;
    printer.request.setup = &other;
    printer.request.fieldNumber = &number;
    printer.request.field = sample.fields[0];
    printer.request.typeText = "NUM";
    printer.request.attributeText = "-";
    EXPECT_GT(printer.print(kPrintFieldLine), 0u);
    EXPECT_EQ(std::string(printer.line).substr(0, 28), " 10   1   1   NUM|  0 | 77  ");

    printer.request.size = 60;
    EXPECT_GT(printer.print(kPrintFieldLine), 0u);
    EXPECT_EQ(std::string(printer.line).substr(0, 28), "  1   1   1   NUM|  0 | 10  ");
    EXPECT_EQ(printer.print(kPrintModelName), 0u);  // the setup pointer is not there

    printer.request.size = 64;
    EXPECT_EQ(printer.print(kPrintModelName), 1u);
    EXPECT_STREQ(printer.line, "AG115 CPU 945");
}

TEST(PlcPrint, RequestsItCannotServeAnswerZeroAndTouchNothing) {
    SampleProject sample;
    Printer printer(sample.project.block());
    EXPECT_EQ(PlcPrint(nullptr), 0u);
    EXPECT_EQ(printer.print(kPrintNothing), 0u);
    EXPECT_EQ(printer.print(6), 0u);
    printer.request.size = 40;  // shorter than the record
    EXPECT_EQ(printer.print(kPrintHeadings), 0u);
    printer.request.size = 68;
    printer.request.lineCounter = nullptr;
    EXPECT_EQ(printer.print(kPrintHeadings), 0u);
    EXPECT_EQ(printer.print(kPrintPlcHeader), 0u);
    EXPECT_TRUE(printer.surface.lines().empty());
    printer.request.field = nullptr;
    EXPECT_EQ(printer.print(kPrintFormatTexts), 0u);
    EXPECT_EQ(printer.print(kPrintFieldLine), 0u);
    EXPECT_STREQ(printer.line, "");

    // Texts longer than the line holds are cut, never written past it.
    const std::string longText(400, 'T');
    printer.request.field = sample.fields[0];
    printer.request.typeText = longText.c_str();
    printer.request.attributeText = longText.c_str();
    EXPECT_EQ(printer.print(kPrintFieldLine), 255u);
    EXPECT_EQ(std::strlen(printer.line), 255u);
}
