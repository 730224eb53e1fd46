// s5-editor: plays the project editor around the S5 driver, so that a person can look at the
// driver's dialogs and at what it prints.
//
//   s5-editor sample FILE                 writes a sample project image (3 pages, 20 fields)
//   s5-editor setup FILE                  the PLC setup dialog of the project
//   s5-editor comm FILE                   the communication dialog that the setup dialog's
//                                         "PLC &Comm ..." opens from inside it
//   s5-editor field FILE N                the field dialog of field N (0 = the first field)
//   s5-editor page FILE N                 the PLC reference page, embedded in a dialog of ours
//   s5-editor alarms FILE                 the alarm dialog
//   s5-editor print FILE OUT.pdf          the project's PLC lines on A4 pages of a PDF file
//
// Projects are read and written through K32PRJ200 and the driver is K32PLC1, both loaded by
// file name as the editor loads them. A dialog that ends with OK saves the project back to
// FILE. With --screenshot PNG a dialog is pictured, every control compared with the place its
// template gives it and with the core's enabled state, and closed.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/module.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/plc_list_print.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "project_store/project_store.h"
#include "string_table/string_table.h"
#include "utilities/comm_params.h"
#include "utilities/services.h"
#include "windows/dialog.h"
#include "windows/input.h"
#include "windows/qt/pdf_print_surface.h"
#include "windows/qt/qt_host.h"
#include "windows/qt/template_places.h"

namespace {

namespace kp = kestra::platform;
using namespace kestra;
using namespace kestra::s5;

// --- the libraries, bound by name -----------------------------------------------------------

struct Libraries {
    HMODULE store = nullptr, driver = nullptr;
    decltype(&GetProject) loadProject = nullptr;
    decltype(&SaveProject) saveProject = nullptr;
    decltype(&InitPlcDefaults) initDefaults = nullptr;
    decltype(&ExecPlcSetupDlg) setupDialog = nullptr;
    decltype(&ExecPLCFieldDlg) fieldDialog = nullptr;
    decltype(&AttachPLCFieldDialog) attachPage = nullptr;
    decltype(&ExecAlarmDlg) alarmDialog = nullptr;
    decltype(&PlcPrint) print = nullptr;

    bool load() {
        SetAppFmalloc(&mem::HostAllocate);
        store = LoadLibrary("K32PRJ200");
        driver = LoadLibrary("K32PLC1");
        if (!store || !driver) return false;
        bind(store, "GetProject", loadProject);
        bind(store, "SaveProject", saveProject);
        bind(driver, "InitPlcDefaults", initDefaults);
        bind(driver, "ExecPlcSetupDlg", setupDialog);
        bind(driver, "ExecPLCFieldDlg", fieldDialog);
        bind(driver, "AttachPLCFieldDialog", attachPage);
        bind(driver, "ExecAlarmDlg", alarmDialog);
        bind(driver, "PlcPrint", print);
        return loadProject && saveProject && initDefaults && setupDialog && fieldDialog &&
               attachPage && alarmDialog && print;
    }
    template <typename F>
    static void bind(HMODULE module, const char* name, F& function) {
        function = reinterpret_cast<F>(GetProcAddress(module, name));
    }
};
Libraries libs;

// --- project files --------------------------------------------------------------------------

HGLOBAL ReadProject(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return 0;
    if (bytes.empty()) return 0;
    HGLOBAL image = GlobalAlloc(GHND, bytes.size());
    if (!image) return 0;
    std::memcpy(GlobalLock(image), bytes.data(), bytes.size());
    GlobalUnlock(image);
    HGLOBAL project = libs.loadProject(image, 0);
    GlobalFree(image);
    return project;
}

// Writes the project's image to a temporary name and renames it into place.
bool WriteProject(HGLOBAL project, const std::string& path) {
    HGLOBAL image = 0;
    const DWORD size = libs.saveProject(project, 0, &image);
    if (size == 0 || !image) return false;
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(GlobalLock(image)), size);
        GlobalUnlock(image);
        if (!out.flush()) {
            GlobalFree(image);
            return false;
        }
    }
    GlobalFree(image);
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

ProjectBlock& BlockOf(HGLOBAL project) {
    return *reinterpret_cast<ProjectBlock*>(mem::Data(project));
}

std::vector<FieldRecord*> FieldsOf(ProjectBlock& project) {
    std::vector<FieldRecord*> fields;
    ProjectRecord& r = project.record;
    auto* pages = reinterpret_cast<PageRecord*>(
        mem::At(r.pages, 0, std::size_t{r.pageCount} * sizeof(PageRecord)));
    if (!pages) return fields;
    for (std::size_t p = 0; p < r.pageCount; ++p) {
        auto* f = reinterpret_cast<FieldRecord*>(
            mem::At(pages[p].fields, 0, std::size_t{pages[p].fieldCount} * sizeof(FieldRecord)));
        for (std::size_t i = 0; f && i < pages[p].fieldCount; ++i) fields.push_back(&f[i]);
    }
    return fields;
}

// --- the sample project ---------------------------------------------------------------------

struct SampleField {
    std::uint8_t page, row, column, fieldType, format, dataBlock;
    std::uint16_t byteOffset;
    std::uint8_t bit, width, access, displayFormat, decimals;
    std::int32_t minimum, maximum, a, b, c;
};
constexpr std::uint8_t kDec = 2 << 3, kHex = 3 << 3;
const SampleField kSample[] = {
    {0, 0, 0, kNumeric, kWord, 10, 10, 0, 5, 0, kDec, 0, 0, 1000, 1, 1, 0},
    {0, 1, 0, kNumeric, kByte, 10, 11, 0, 3, 1, kDec, 0, 0, 255, 1, 1, 0},
    {0, 2, 0, kNumeric, kBit, 10, 10, 3, 1, 1, kDec, 0, 0, 1, 1, 1, 0},
    {0, 3, 0, kNumeric, kDword, 20, 20, 0, 8, 0, kDec, 0, 0, 99999, 1, 1, 0},
    {0, 4, 0, kNumeric, kTimer, 11, 0, 0, 4, 1, kDec, 0, 0, 999, 1, 1, 0},
    {0, 5, 0, kNumeric, kCounter, 11, 2, 0, 3, 0, kDec, 0, 0, 999, 1, 1, 0},
    {0, 6, 0, kNumeric, kWord, 11, 4, 0, 6, 0, kDec | sDISPFORMAT::kFixedPoint, 2, 0, 12345, 1, 1,
     0},
    {1, 0, 1, kMessage, kWord, 12, 0, 0, 10, 0, kDec, 0, 0, 1, 1, 1, 0},
    {1, 1, 1, kAsciiField, kAscii, 12, 4, 0, 10, 1, kDec, 0, 0, 0, 1, 1, 0},
    {1, 2, 1, kHorzBargraph, kWord, 12, 6, 0, 20, 0, kDec, 0, 0, 100, 1, 1, 0},
    {1, 3, 1, kVertBargraph, kWord, 12, 8, 0, 1, 0, kDec, 0, 0, 100, 1, 1, 0},
    {1, 4, 1, kNumeric, kWord, 13, 0, 0, 4, 0, kHex, 0, 0, 255, 1, 1, 0},
    {1, 5, 1, kNumeric, kWord, 13, 2, 0, 4, 1, kDec | sDISPFORMAT::kSigned, 0, -100, 100, 1, 1, 0},
    {1, 6, 1, kNumeric, kWord, 13, 4, 0, 5, 0, kDec | sDISPFORMAT::kScaling, 0, -10, 200, 2, 3, -5},
    {2, 0, 2, kNumeric, kTimer, 14, 0, 0, 4, 0, kDec, 0, 0, 9999, 1, 1, 0},
    {2, 1, 2, kNumeric, kFloat, 14, 2, 0, 6, 0, kDec, 0, 0, 1000, 1, 1, 0},
    {2, 2, 2, kNumeric, kByte, 14, 4, 0, 3, 0, kDec, 0, 0, 255, 1, 1, 0},
    {2, 3, 2, kNumeric, kWord, 14, 6, 0, 5, 0, kDec, 0, 0, 1000, 1, 1, 0},
    {2, 4, 2, kNumeric, kWord, 255, 510, 0, 5, 0, kDec, 0, 0, 1000, 1, 1, 0},
    {2, 5, 2, kNumeric, kWord, 10, 14, 0, 5, 0, kDec, 0, 0, 1000, 1, 1, 0},
};
constexpr std::size_t kSamplePages = 3;
const char* const kAlarmTexts[] = {"Pump failure", "Low oil pressure", "Door open"};

void MakeField(FieldRecord& f, const SampleField& s) {
    f = FieldRecord{};
    FieldRow(f) = s.row;
    FieldColumn(f) = s.column;
    f.fieldClass = kClassPlcData;
    f.width = s.width;
    f.height = 1;
    f.display.fieldType = s.fieldType;
    f.display.format = s.displayFormat;
    f.display.decimals = s.decimals;
    f.display.access = s.access;
    f.display.minimum = s.minimum;
    f.display.maximum = s.maximum;
    f.display.scaleA = s.a;
    f.display.scaleB = s.b;
    f.display.scaleC = s.c;
    f.plc.dataBlock = s.dataBlock;
    f.plc.byteOffset = s.byteOffset;
    f.plc.dataFormat = s.format;
    f.plc.bit = s.bit;
    f.plc.dataType = kDataBlock;
}

int WriteSample(const std::string& path) {
    HGLOBAL handle = GlobalAlloc(GHND, kProjectBlockSize);
    ProjectBlock& project = *static_cast<ProjectBlock*>(GlobalLock(handle));
    project.record.plcType = kPlcType;
    project.record.imageSizeClass = 2;
    libs.initDefaults(&project, nullptr, &project.record.nodeA, nullptr, 0);
    libs.initDefaults(&project, nullptr, &project.record.nodeA, nullptr, 7);
    project.record.titleId = StrTabAddText("S5 sample", &project);

    std::size_t counts[kSamplePages] = {};
    for (const SampleField& s : kSample) ++counts[s.page];
    project.record.pageCount = kSamplePages;
    project.record.pages = mem::HostAllocate(kSamplePages * sizeof(PageRecord));
    auto* pages = reinterpret_cast<PageRecord*>(mem::Data(project.record.pages));
    std::size_t next[kSamplePages] = {};
    for (std::size_t p = 0; p < kSamplePages; ++p) {
        pages[p].setNameId(StrTabAddText(("Page " + std::to_string(p + 1)).c_str(), &project));
        pages[p].fieldCount = static_cast<std::uint16_t>(counts[p]);
        pages[p].fields =
            mem::HostAllocate(static_cast<std::uint32_t>(counts[p] * sizeof(FieldRecord)));
    }
    for (const SampleField& s : kSample) {
        auto* fields = reinterpret_cast<FieldRecord*>(mem::Data(pages[s.page].fields));
        MakeField(fields[next[s.page]++], s);
    }
    const std::size_t alarms = std::size(kAlarmTexts);
    project.record.section2aCount = static_cast<std::uint16_t>(alarms);
    project.record.section2a = GlobalAlloc(GHND, alarms * sizeof(AlarmRecord));
    auto* table = static_cast<AlarmRecord*>(GlobalLock(project.record.section2a));
    for (std::size_t i = 0; i < alarms; ++i)
        table[i] = {static_cast<std::uint8_t>(kAlarmHasText | kAckTime),
                    static_cast<std::uint8_t>(i + 1),
                    StrTabAddText(kAlarmTexts[i], &project),
                    {}};
    GlobalUnlock(project.record.section2a);
    GlobalUnlock(handle);
    if (!WriteProject(handle, path)) {
        std::fprintf(stderr, "s5-editor: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: a project of %zu pages and %zu fields\n", path.c_str(), kSamplePages,
                std::size(kSample));
    return 0;
}

// --- screenshots ----------------------------------------------------------------------------

// Compares every control's widget with its template place; the number out of place.
int CheckPlaces(kp::qt::QtHost& host, HWND dialog, const DialogTemplate& t) {
    int misplaced = 0;
    for (const kp::qt::ControlPlace& place : kp::qt::CompareTemplatePlaces(host, dialog, t)) {
        if (place.asTemplate) continue;
        const QRect& r = place.actual;
        std::printf("control %d (%s) at %d,%d %dx%d: MISPLACED\n", place.item->id, place.item->text,
                    r.left(), r.top(), r.width(), r.height());
        ++misplaced;
    }
    return misplaced;
}

// Controls whose widget shows disabled while the core has them enabled; the number of them.
int CheckEnabled(kp::qt::QtHost& host, HWND dialog) {
    int disabled = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const QWidget* widget = host.widgetOf(control);
        if (!widget || widget->isEnabled() || !IsWindowEnabled(control)) continue;
        std::printf("control %d: DISABLED on the screen\n", GetDlgCtrlID(control));
        ++disabled;
    }
    return disabled;
}

struct Screenshot {
    std::string path;
    const DialogTemplate* dialogTemplate = nullptr;
    HWND (*find)(HWND top) = nullptr;  // the window whose controls the template places
    int shownText = 0;                 // nonzero: the control whose text is printed
    int misplaced = 0;
    bool taken = false;
};
Screenshot screenshot;

// Closes the dialog that shows once `inner` has gone.
void CloseAfter(HWND inner) {
    QTimer::singleShot(0, [inner] {
        if (IsWindow(inner)) return CloseAfter(inner);
        if (HWND top = GetAncestor(GetFocus(), GA_ROOT)) kp::CloseByUser(top);
    });
}

void ArmScreenshot() {
    if (screenshot.path.empty()) return;
    QTimer::singleShot(700, [] {
        auto& host = static_cast<kp::qt::QtHost&>(kp::CurrentWindowHost());
        HWND top = GetAncestor(GetFocus(), GA_ROOT);
        QWidget* widget = top ? host.widgetOf(top) : nullptr;
        if (!widget) {
            std::fprintf(stderr, "s5-editor: the dialog did not open\n");
            return;
        }
        HWND placed = screenshot.find ? screenshot.find(top) : top;
        if (screenshot.dialogTemplate && placed)
            screenshot.misplaced = CheckPlaces(host, placed, *screenshot.dialogTemplate);
        if (placed) screenshot.misplaced += CheckEnabled(host, placed);
        if (screenshot.shownText) {
            char text[64] = "";
            GetDlgItemText(top, screenshot.shownText, text, sizeof text);
            std::printf("control %d shows \"%s\"\n", screenshot.shownText, text);
        }
        widget->grab().save(QString::fromStdString(screenshot.path));
        screenshot.taken = true;
        kp::CloseByUser(top);
        if (GetWindow(top, GW_OWNER)) CloseAfter(top);
    });
}

// --- the editor's side of the dialogs -------------------------------------------------------

std::uint32_t panelLines[] = {240, 240, 240, 240, 240, 240, 240, 240};  // 8 lines of 240 pixels
constexpr std::uint32_t kCharacterWidth = 8;

DWORD MessageEditor(void* lists, HWND dialog, void*) {
    const auto* counts = static_cast<const std::uint32_t*>(lists);
    const std::string text = "The editor's message list editor opens here (" +
                             std::to_string(counts[0]) + " ranges in list 1).";
    MessageBox(dialog, text.c_str(), "s5-editor", MB_OK | MB_ICONINFORMATION);
    return 0;
}

_tagDEFIELD FieldContext(ProjectBlock& project, FieldRecord& field) {
    _tagDEFIELD context{};
    context.version = kFieldContextVersion;
    context.field = &field;
    context.project = &project;
    context.messageCallback = reinterpret_cast<void*>(&MessageEditor);
    context.lineWidths = panelLines;
    context.lineCount = static_cast<std::uint32_t>(std::size(panelLines));
    context.characterWidth = kCharacterWidth;
    context.setup = &project.record.nodeA;
    return context;
}

// Our own field dialog: the driver's page on top, our buttons below.
constexpr int kPageFrame = 100;
constexpr DWORD kOwnDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DialogItemTemplate kOwnFieldItems[] = {
    {kPageFrame, "static", "", 0, 0, 330, 90, WS_VISIBLE},
    {IDOK, "button", "OK", 214, 94, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, "button", "Cancel", 270, 94, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};
constexpr DialogTemplate kOwnFieldDialog = {"EditorField",
                                            0,
                                            "Field (the editor's dialog)",
                                            0,
                                            0,
                                            330,
                                            114,
                                            kOwnDialogStyle,
                                            "MS Sans Serif",
                                            8,
                                            kOwnFieldItems,
                                            std::size(kOwnFieldItems)};

HWND embeddedPage = nullptr;
HWND ownFieldDialog = nullptr;  // the page's parent

// The page-creation callback the driver calls: the page becomes a child of our dialog, in
// the place of our frame.
std::uintptr_t CreatePage(HMODULE module, const char* name, HWND, DLGPROC procedure,
                          LPARAM creation, DWORD) {
    HWND dialog = ownFieldDialog;
    HWND page = CreateDialogParam(module, name, dialog, procedure, creation);
    if (!page) return 0;
    RECT frame;
    GetWindowRect(GetDlgItem(dialog, kPageFrame), &frame);
    POINT corner{frame.left, frame.top};
    ScreenToClient(dialog, &corner);
    SetWindowPos(page, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(GetDlgItem(dialog, kPageFrame), SW_HIDE);
    ShowWindow(page, SW_SHOW);
    embeddedPage = page;
    return reinterpret_cast<std::uintptr_t>(page);
}

INT_PTR OwnFieldProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* context = reinterpret_cast<_tagDEFIELD*>(lParam);
        ownFieldDialog = dialog;
        libs.attachPage(context, reinterpret_cast<void*>(&CreatePage), nullptr, 0);
        return TRUE;
    }
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == 2561) {
        std::printf("the page says: the address changed\n");
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

HWND PageOf(HWND) {
    return embeddedPage;
}

void Describe(const FieldRecord& f) {
    std::printf("field: DB %u, byte offset %u, format %u, bit %u, width %u, min %d, max %d\n",
                f.plc.dataBlock, f.plc.byteOffset.get(), f.plc.dataFormat, f.plc.bit, f.width,
                f.display.minimum.get(), f.display.maximum.get());
}

int RunDialog(const std::string& command, HGLOBAL handle, const std::string& path, int index) {
    ProjectBlock& project = BlockOf(handle);
    const DialogTemplate* t = nullptr;
    INT_PTR result = 0;
    if (command == "setup" || command == "comm") {
        PLCSETUPDLGCONTEXT context{};
        context.project = &project;
        context.defaultSlaveAddress = 10;
        context.setup = project.record.nodeA;
        context.commParams = kBaudRateTexts;  // the editor's communication parameters
        context.projectOpen = 1;
        t = kp::FindDialogTemplate(libs.driver, MAKEINTRESOURCE(dialog::kSetupTemplate));
        screenshot.dialogTemplate = t;
        if (command == "comm") {
            // "PLC &Comm ..." pressed as soon as the setup dialog runs.
            QTimer::singleShot(0, [] {
                HWND setup = GetAncestor(GetFocus(), GA_ROOT);
                PostMessage(setup, WM_COMMAND, MAKEWPARAM(dialog::kCommButton, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(setup, dialog::kCommButton)));
            });
            screenshot.dialogTemplate = kp::FindDialogTemplate(
                kp::ModuleOf(reinterpret_cast<const void*>(&ExecCommParameters)),
                "COMM_PARAMETERS");
            screenshot.shownText = kLineBaudText;
        }
        ArmScreenshot();
        result = libs.setupDialog(nullptr, &context);
        if (result == 1) project.record.nodeA = context.setup;
        std::printf("setup ended with %ld: model %u, slave address %u\n", static_cast<long>(result),
                    project.record.nodeA.model.get(), project.record.nodeA.slaveAddress.get());
    } else if (command == "field" || command == "page") {
        auto fields = FieldsOf(project);
        if (index < 0 || index >= static_cast<int>(fields.size())) {
            std::fprintf(stderr, "s5-editor: the project has %zu fields\n", fields.size());
            return 2;
        }
        _tagDEFIELD context = FieldContext(project, *fields[static_cast<std::size_t>(index)]);
        if (command == "field") {
            screenshot.dialogTemplate = kp::FindDialogTemplate(libs.driver, dialog::kFieldTemplate);
            ArmScreenshot();
            result = libs.fieldDialog(nullptr, &context);
        } else {
            screenshot.dialogTemplate =
                kp::FindDialogTemplate(libs.driver, dialog::kFieldPageTemplate);
            screenshot.find = PageOf;
            ArmScreenshot();
            result = DialogBoxIndirectParam(nullptr, &kOwnFieldDialog, nullptr, OwnFieldProc,
                                            reinterpret_cast<LPARAM>(&context));
        }
        for (HGLOBAL copy : context.listCopies)
            if (copy) GlobalFree(copy);
        std::printf("%s ended with %ld\n", command.c_str(), static_cast<long>(result));
        Describe(*fields[static_cast<std::size_t>(index)]);
    } else {
        ALARMDLGCONTEXT context{};
        context.project = &project;
        screenshot.dialogTemplate = kp::FindDialogTemplate(libs.driver, dialog::kAlarmTemplate);
        ArmScreenshot();
        result = libs.alarmDialog(nullptr, &context);
        std::printf("alarms ended with %ld: %u alarms\n", static_cast<long>(result),
                    project.record.section2aCount.get());
    }
    if (!screenshot.path.empty()) {
        if (!screenshot.taken) return 1;
        if (screenshot.misplaced)
            std::printf("%d controls out of place\n", screenshot.misplaced);
        else
            std::printf("every control where its template puts it\n");
        return screenshot.misplaced == 0 ? 0 : 1;
    }
    if (result == 1 && !WriteProject(handle, path)) {
        std::fprintf(stderr, "s5-editor: cannot save %s\n", path.c_str());
        return 1;
    }
    return 0;
}

// --- printing -------------------------------------------------------------------------------

int Print(HGLOBAL handle, const std::string& out) {
    ProjectBlock& project = BlockOf(handle);
    kp::qt::PdfPrintSurface::Options options;
    options.title = "S5 project PLC lines";
    kp::qt::PdfPrintSurface surface(QString::fromStdString(out), options);
    if (!surface.ok()) {
        std::fprintf(stderr, "s5-editor: cannot write %s\n", out.c_str());
        return 1;
    }
    const std::uint32_t number = PrintPlcList(
        [](PLCPRINTREQUEST& request) { return libs.print(&request); }, project, surface);
    surface.finish();
    std::printf("%s: %d page(s), %u field lines, %d lines a page\n", out.c_str(),
                surface.pageCount(), number, surface.linesPerPage());
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: s5-editor sample FILE | setup FILE | comm FILE | field FILE N |\n"
                 "                 page FILE N | alarms FILE | print FILE OUT.pdf\n"
                 "                 [--screenshot PNG]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot.path = argv[++i];
        else
            args.emplace_back(argv[i]);
    }
    if (args.size() < 2) return Usage();
    const std::string& command = args[0];
    const std::string& path = args[1];
    if (!kp::qt::StartHost(argc, argv)) {
        // Printing needs Qt's fonts and PDF writer, dialogs a display.
        static int fakeArgc = 1;
        if (command != "print" && command != "sample") {
            std::fprintf(stderr, "s5-editor: needs a display\n");
            return 1;
        }
        if (command == "print") new QApplication(fakeArgc, argv);
    }
    if (!libs.load()) {
        std::fprintf(stderr, "s5-editor: K32PRJ200 or K32PLC1 cannot be loaded\n");
        return 1;
    }
    if (command == "sample") return WriteSample(path);

    HGLOBAL project = ReadProject(path);
    if (!project) {
        std::fprintf(stderr, "s5-editor: %s is not a project image\n", path.c_str());
        return 1;
    }
    if (BlockOf(project).record.plcType != kPlcType) {
        std::fprintf(stderr, "s5-editor: %s is a project for PLC type %u, not S5 (20)\n",
                     path.c_str(), BlockOf(project).record.plcType.get());
        return 1;
    }
    if (command == "print") return args.size() == 3 ? Print(project, args[2]) : Usage();
    if (command == "setup" || command == "comm" || command == "alarms")
        return RunDialog(command, project, path, 0);
    if ((command == "field" || command == "page") && args.size() == 3)
        return RunDialog(command, project, path, std::atoi(args[2].c_str()));
    return Usage();
}
