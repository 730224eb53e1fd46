// kestra print PROJECT (--pdf FILE | --text): the project's PLC lines as the driver prints
// them: its headings, its PLC header, and one line per field, page by page.
#include "kestra/print.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kestra/commands.h"
#include "platform/files.h"
#include "plc_s5/plc_list_print.h"
#include "windows/print_surface.h"
#include "windows/qt/pdf_print_surface.h"

namespace kestra::host {

namespace {

namespace kp = kestra::platform;

struct PrintOptions {
    std::string project;
    std::string pdf;
    bool text = false;
    std::string output;
};

constexpr int kTextLinesPerPage = 60;

// Files a PDF print may open besides those already open: Qt's platform plug-in, fontconfig's
// configuration and caches, the font files, the PDF (a print of the sample project has at most
// four open at once; this leaves room for more fonts and configuration). With too few, fonts
// are silently replaced by others (or Qt's start ends the program), so the print is refused.
constexpr rlim_t kPrintFiles = 16;

std::size_t OpenFiles() {
    std::size_t count = 0;
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(folder)) count += entry->d_name[0] != '.';
        ::closedir(folder);
        return count > 0 ? count - 1 : 0;  // less the folder's own
    }
    return 3;
}

// Raises the limit of open files as far as the system allows when a print needs more; a
// limit that stays too low ends the command with what to do about it.
void MakeRoomForPrinting(const std::string& pdf) {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t needed = OpenFiles() + kPrintFiles;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed) {
        limit.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? needed : std::min(limit.rlim_max, needed);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < needed)
        Fail(kExitOutput, pdf + ": cannot be printed: the program may open only " +
                              std::to_string(limit.rlim_cur) + " files (ulimit -n), and printing " +
                              "needs " + std::to_string(needed) + " for its fonts");
}

void PrintText(Driver& driver, ProjectBlock& project, const PrintOptions& options) {
    kp::RecordingPrintSurface surface(13, kTextLinesPerPage);
    std::uint32_t lines = 0;
    lines = PrintPlcLines(driver, project, surface);
    std::string text;
    for (int page = 0; page < surface.pageCount(); ++page) {
        if (page > 0) text += "\f\n";
        text += surface.pageText(page);
    }
    if (options.output.empty() || options.output == "-") {
        WriteStandardOutput(text);
        return;
    }
    WriteOutput(options.output, text);
    std::fprintf(stderr, "kestra: %s: %s, %s\n", options.output.c_str(),
                 Counted(static_cast<std::size_t>(surface.pageCount()), "page").c_str(),
                 Counted(lines, "field line").c_str());
}

void PrintPdf(Driver& driver, ProjectBlock& project, const PrintOptions& options) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kestra";
    static char* argv[] = {name, nullptr};
    // Qt's notes about its run-time folder are no business of the user's.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && !text.startsWith("QStandardPaths:"))
            std::fprintf(stderr, "kestra: Qt: %s\n", qPrintable(text));
    });
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
    const PrintedList printed = PrintPlcListPdf(driver, project, options.pdf);
    std::fprintf(stderr, "kestra: %s: %s, %s\n", options.pdf.c_str(),
                 Counted(static_cast<std::size_t>(printed.pages), "page").c_str(),
                 Counted(printed.lines, "field line").c_str());
}

void RunPrint(const PrintOptions& options) {
    if (options.pdf.empty() == !options.text)
        Fail(kExitUsage, "print: give either --pdf FILE or --text");
    if (!options.pdf.empty()) MakeRoomForPrinting(options.pdf);
    const Bytes image = ReadInput(options.project);
    LoadedProject project = Store::Get().load(options.project, image);
    ProjectBlock& p = project.block();
    Driver driver = Driver::ForProjectCode(p.record.projectType, p.record.plcType, options.project);
    if (options.text)
        PrintText(driver, p, options);
    else
        PrintPdf(driver, p, options);
}

}  // namespace

std::uint32_t PrintPlcLines(Driver& driver, ProjectBlock& project, kp::PrintSurface& surface) {
    return s5::PrintPlcList([&driver](PLCPRINTREQUEST& request) { return driver.print(request); },
                            project, surface);
}

// The PDF is drawn into a temporary file and then written through the one writer, so that
// the target is never left half-written.
PrintedList PrintPlcListPdf(Driver& driver, ProjectBlock& project, const std::string& path) {
    std::string temporary =
        (std::filesystem::temp_directory_path() / "kestra-print-XXXXXX").string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) Fail(kExitOutput, path + ": no temporary file for the PDF");
    close(fd);
    struct Remove {
        std::string path;
        ~Remove() { std::remove(path.c_str()); }
    } remove{temporary};

    PrintedList printed;
    {
        kp::qt::PdfPrintSurface::Options pdf;
        pdf.title =
            QString::fromStdString(ProjectText(project, project.record.titleId) + " - PLC lines");
        kp::qt::PdfPrintSurface surface(QString::fromStdString(temporary), pdf);
        if (!surface.ok()) Fail(kExitOutput, path + ": the PDF cannot be started");
        printed.lines = PrintPlcLines(driver, project, surface);
        printed.pages = surface.pageCount();
        surface.finish();
    }
    const auto bytes = platform::ReadWholeFile(temporary);
    if (!bytes || bytes->empty()) Fail(kExitOutput, path + ": the PDF could not be made");
    WriteOutput(path, *bytes);
    return printed;
}

void AddPrintCommand(CLI::App& app) {
    static PrintOptions options;
    CLI::App* print = app.add_subcommand(
        "print",
        "Print the project's PLC lines (the driver's header, headings and one line "
        "per field) to a PDF file or as text.");
    print->add_option("PROJECT", options.project, "The project file.")->required();
    CLI::Option* pdf =
        print->add_option("--pdf", options.pdf, "The PDF file to write, on A4 pages.")
            ->type_name("FILE");
    CLI::Option* text =
        print->add_flag("--text", options.text, "Print as text, pages separated by a form feed.");
    CLI::Option* output =
        print
            ->add_option("-o,--output", options.output,
                         "The text file to write (standard output when not given).")
            ->type_name("FILE");
    pdf->excludes(text);
    output->needs(text);
    print->callback([] { RunPrint(options); });
}

}  // namespace kestra::host
