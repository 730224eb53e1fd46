// The workbench on the large benchmark project (200 pages of 100 fields, three languages):
// opening it and showing its first page against the store's own load of the same image, one
// change, one field moved and one undo step, a page of 10,000 fields as a table and as the page
// view paints it, and the program's start-up. The ratios against the store's load, measured in
// the same run, are printed at the end (with --benchmark_repetitions, of the medians).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QTableView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"
#include "kestra/host.h"
#include "large_project.h"
#include "platform/files.h"
#include "kestra/panel_display.h"
#include "panel_setup/setup_records.h"
#include "plc_s5/type1_image.h"
#include "workbench/views/field_table_model.h"
#include "workbench/views/page_canvas.h"
#include "workbench/views/page_layout.h"
#include "workbench/views/page_view.h"
#include "workbench/window/main_window.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"
#include "workbench/window/questions.h"

using namespace kestra;
using namespace kestra::bench;

namespace {

namespace fs = std::filesystem;

// The image offsets of the project code and the PLC model: the large project is made an S5
// project, so that the driver writes its addresses as it does for any S5 project.
constexpr std::size_t kRecordAt = 48;
constexpr std::size_t kProjectCodeAt = kRecordAt + 81;
constexpr std::size_t kModelAt = kRecordAt + 17 + 1;
constexpr int kWideFields = 10000;
// The page view's benchmark page: the second page of the wide project, 10,000 fields of every
// type over the 80 x 30 characters of display type 21 (640 x 480 pixels), many of them
// overlapping or running past it.
constexpr std::uint8_t kPaintedDisplay = 21;
constexpr std::size_t kPaintedPage = 1;

struct Files {
    fs::path folder =
        fs::temp_directory_path() / ("kestra-workbench-bench-" + std::to_string(getpid()));
    std::string large, wide;

    Files() {
        fs::create_directories(folder / "config");
        fs::create_directories(folder / "data");
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("KESTRA_REGISTRY", (folder / "registry.reg").c_str(), 1);
        std::vector<std::uint8_t> image(Large().bytes().begin(), Large().bytes().end());
        image[kProjectCodeAt] = 1;
        image[kModelAt] = 1;
        large = write("large.kpr", image);
    }
    ~Files() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

Files& files() {
    static Files instance;
    return instance;
}

QApplication& Application() {
    static int argc = 1;
    static char name[] = "workbench_bench";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

workbench::MainWindow& Window() {
    static workbench::MainWindow* window = [] {
        Application();
        host::StartHost();
        // Nothing here is to be kept: every question is answered with "discard".
        workbench::SetAnswerer([](const workbench::Question&) { return QMessageBox::Discard; });
        auto* made = new workbench::MainWindow;
        made->setAttribute(Qt::WA_DeleteOnClose, false);
        made->show();
        return made;
    }();
    return *window;
}

// The baseline: the store's load of the image, as the workbench binds it.
void StoreLoad(benchmark::State& state) {
    host::StartHost();
    const auto bytes = Large().bytes();
    const host::Bytes image(bytes.begin(), bytes.end());
    for (auto _ : state) {
        mem::Arena arena;
        {
            mem::Arena::Scope scope(arena);
            benchmark::DoNotOptimize(host::Store::Get().load("large", image).handle);
        }
        state.PauseTiming();
        arena.release();
        state.ResumeTiming();
    }
}

// File > Open of the large project until its first page shows its fields.
void OpenAndShowFirstPage(benchmark::State& state) {
    workbench::MainWindow& window = Window();
    const QString path = QString::fromStdString(files().large);
    for (auto _ : state) {
        window.openFile(path);
        window.tree().select({workbench::ProjectTree::Node::Page, 0, 0});
        QApplication::processEvents();  // painted
    }
    if (!window.document().driver()) state.SkipWithError("no driver for the large project");
}

// The window of an empty workbench, made and shown (the program's start-up in the process).
void StartWindow(benchmark::State& state) {
    Application();
    host::StartHost();
    for (auto _ : state) {
        auto* window = new workbench::MainWindow;
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        window->close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

// The program itself, from exec to its first window pictured and closed.
void StartProgram(benchmark::State& state) {
    const std::string program = platform::JoinPath(platform::ProgramFolder(), "kestra-workbench");
    const std::string picture = (files().folder / "start.png").string();
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(program.c_str(), program.c_str(), "--screenshot", picture.c_str(), nullptr);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the program failed");
    }
}

void OneChange(benchmark::State& state) {
    workbench::MainWindow& window = Window();
    window.openFile(QString::fromStdString(files().large));
    workbench::ProjectDocument& document = window.document();
    int n = 0;
    for (auto _ : state) {
        const std::string name = "Page " + std::to_string(++n % 1000);
        document.change("rename",
                        [&] { return workbench::SetPageName(document.block(), 0, name); });
    }
    document.undoStack().clear();
    document.undoStack().setClean();
}

// One field moved a column to and fro, as one change, while the window shows its page with the
// page view beside the table.
void FieldMove(benchmark::State& state) {
    workbench::MainWindow& window = Window();
    window.openFile(QString::fromStdString(files().large));
    window.tree().select({workbench::ProjectTree::Node::Page, 0, 0});
    workbench::ProjectDocument& document = window.document();
    const std::vector<std::size_t> field{0};
    int n = 0;
    for (auto _ : state) {
        const workbench::CellStep step{0, ++n % 2 ? 1 : -1};
        if (!document.change("move", [&] {
                return workbench::MoveFields(document.block(), 0, field, step);
            }))
            state.SkipWithError("the field did not move");
    }
    document.undoStack().clear();
    document.undoStack().setClean();
}

void OneUndoStep(benchmark::State& state) {
    workbench::MainWindow& window = Window();
    window.openFile(QString::fromStdString(files().large));
    workbench::ProjectDocument& document = window.document();
    document.change("rename",
                    [&] { return workbench::SetPageName(document.block(), 0, "Renamed"); });
    for (auto _ : state) {
        document.undoStack().undo();
        state.PauseTiming();
        document.undoStack().redo();
        state.ResumeTiming();
    }
    document.undoStack().clear();
    document.undoStack().setClean();
}

// A project whose first page has 10,000 fields, open in the window.
workbench::ProjectDocument& WideProject() {
    static bool made = false;
    workbench::MainWindow& window = Window();
    workbench::ProjectDocument& document = window.document();
    if (!made) {
        window.openFile(QString::fromStdString(files().large));
        document.change("wide", [&] {
            ProjectBlock& p = document.block();
            const auto field = workbench::DefaultField(document.driver()->loader(), p);
            std::vector<FieldRecord> fields(kWideFields, *field);
            for (int i = 0; i < kWideFields; ++i)
                fields[i].plc.byteOffset = static_cast<std::uint16_t>(2 * (i % 256));
            if (!workbench::ReorderFields(p, 0, workbench::Order(kWideFields), fields))
                return false;
            for (int i = 0; i < kWideFields; ++i) {
                FieldRecord& f = fields[i];
                f.display.fieldType = static_cast<std::uint8_t>(i % 7);
                s5::FieldRow(f) = static_cast<std::uint8_t>(i * 7 % 30);
                s5::FieldColumn(f) = static_cast<std::uint8_t>(i * 13 % 80);
                f.width = static_cast<std::uint8_t>(1 + i % 8);
                f.height = static_cast<std::uint8_t>(f.display.fieldType >= 3 ? 1 + i % 3 : 1);
            }
            reinterpret_cast<std::uint8_t*>(&p.record)[panel::setup::kDisplayCode] =
                kPaintedDisplay;
            return workbench::ReorderFields(p, kPaintedPage, workbench::Order(kWideFields),
                                            fields);
        });
        document.saveAs(QString::fromStdString((files().folder / "wide.kpr").string()));
        made = true;
    }
    return document;
}

// The table model of the page: made and set to the page, as a view then asks for a screenful.
void FieldTableModel10k(benchmark::State& state) {
    workbench::ProjectDocument& document = WideProject();
    for (auto _ : state) {
        workbench::FieldTableModel model(document);
        model.setPage(0);
        benchmark::DoNotOptimize(model.rowCount());
        for (int row = 0; row < 40; ++row)
            for (int column = 0; column < workbench::FieldTableModel::kColumns; ++column)
                benchmark::DoNotOptimize(model.index(row, column).data());
    }
}

// Every cell of the 10,000 rows (what a view never asks for at once).
void FieldTableModel10kEveryCell(benchmark::State& state) {
    workbench::ProjectDocument& document = WideProject();
    workbench::FieldTableModel model(document);
    model.setPage(0);
    if (model.rowCount() != kWideFields) state.SkipWithError("the page is not 10,000 fields");
    for (auto _ : state)
        for (int row = 0; row < model.rowCount(); ++row)
            for (int column = 0; column < workbench::FieldTableModel::kColumns; ++column)
                benchmark::DoNotOptimize(model.index(row, column).data());
}

// The page view of the page of 10,000 fields, at zoom 1 and with a field selected, painted into
// an image of its size.
void PageViewPaint10k(benchmark::State& state) {
    workbench::ProjectDocument& document = WideProject();
    workbench::MainWindow& window = Window();
    window.tree().select({workbench::ProjectTree::Node::Page, static_cast<int>(kPaintedPage),
                          static_cast<int>(kPaintedPage)});
    workbench::PageCanvas& canvas = window.displayView().canvas();
    canvas.setZoom(1);
    canvas.choose({0});
    if (canvas.layout().fields.size() != kWideFields ||
        canvas.layout().display.code != kPaintedDisplay)
        state.SkipWithError("the page view does not show the 10,000 fields on display 21");
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) canvas.render(&image);
    state.counters["width"] = image.width();
    state.counters["height"] = image.height();
    (void)document;
}

// What the page view does after each change of that page: the page laid out again, with the
// marks of the fields that overlap or run past the display.
void PageViewLayout10k(benchmark::State& state) {
    workbench::ProjectDocument& document = WideProject();
    const host::PanelDisplay display = host::PanelDisplayOf(document.block());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            workbench::LayOutPage(document.block(), kPaintedPage, 0, display).fields.size());
}

BENCHMARK(StoreLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndShowFirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(OneChange)->Unit(benchmark::kMillisecond);
BENCHMARK(FieldMove)->Unit(benchmark::kMillisecond);
BENCHMARK(OneUndoStep)->Unit(benchmark::kMillisecond);
BENCHMARK(FieldTableModel10k)->Unit(benchmark::kMillisecond);
BENCHMARK(FieldTableModel10kEveryCell)->Unit(benchmark::kMillisecond);
BENCHMARK(PageViewPaint10k)->Unit(benchmark::kMillisecond);
BENCHMARK(PageViewLayout10k)->Unit(benchmark::kMillisecond);
BENCHMARK(StartWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(StartProgram)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    files();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nimage: %zu bytes, 200 pages of 100 fields\n", Large().size);
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        auto& t = *times;
        const double load = t["StoreLoad"];
        if (load <= 0) continue;
        std::printf("%s, against the store's load of the image:\n", what);
        std::printf("  open and show the first page %.2f (target: at most 3)\n",
                    t["OpenAndShowFirstPage"] / load);
        std::printf("  one change %.2f, one undo step %.2f\n", t["OneChange"] / load,
                    t["OneUndoStep"] / load);
        std::printf("  a field moved, as one change, its page shown %.2f (target: at most 4)\n",
                    t["FieldMove"] / load);
        std::printf(
            "  the table model of a page of 10,000 fields: made and a screenful read %.3f, "
            "every cell read %.2f\n",
            t["FieldTableModel10k"] / load, t["FieldTableModel10kEveryCell"] / load);
    }
    std::printf(
        "the page view of a page of 10,000 fields: painted at zoom 1 %.2f ms (target: at most "
        "16 ms), laid out again %.2f ms; the store's load of the large project %.2f ms "
        "(real time)\n",
        reporter.seconds["PageViewPaint10k"] * 1e3, reporter.seconds["PageViewLayout10k"] * 1e3,
        reporter.seconds["StoreLoad"] * 1e3);
    std::printf(
        "start-up on its own (real time): the window %.1f ms, the program to its first "
        "picture %.0f ms\n",
        reporter.seconds["StartWindow"] * 1e3, reporter.seconds["StartProgram/iterations:5"] * 1e3);
    benchmark::Shutdown();
    std::fflush(stdout);
    _exit(0);  // the window and the application end with the process
}
