// The workbench's small texts: counts in their singular and plural forms, and what a file that
// cannot be opened is told with.
#include <QCoreApplication>
#include <QLabel>

#include "workbench/window/english_plurals.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

TEST_F(WorkbenchTest, CountsReadInTheirSingularAndPluralForms) {
    InstallEnglishPlurals();
    const struct {
        const char* text;
        int n;
        const char* reads;
    } kCases[] = {
        {"%n page(s)", 1, "1 page"},
        {"%n page(s)", 3, "3 pages"},
        {"%n page(s)", 0, "0 pages"},
        {"%n language(s)", 1, "1 language"},
        {"Network (%n PLC(s))", 1, "Network (1 PLC)"},
        {", page %1: %n field(s)", 2, ", page %1: 2 fields"},
        {"%n page(s)", -1, "%n page(s)"},  // not a count
        {"Pages", 1, "Pages"},             // nothing to choose
    };
    for (const auto& c : kCases)
        EXPECT_EQ(QCoreApplication::translate("kestra::workbench::MainWindow", c.text, "", c.n)
                      .toStdString(),
                  c.reads)
            << c.text << " " << c.n;

    MainWindow window;
    ASSERT_TRUE(window.openFile(sample()));
    bool counted = false;
    for (auto* label : window.findChildren<QLabel*>())
        counted = counted || label->text().contains("3 pages, 2 languages, 3 tags, 3 alarms.");
    EXPECT_TRUE(counted) << "the project's view counts its parts";
}

TEST_F(WorkbenchTest, AFileThatCannotBeOpenedIsToldAsItIsAndTheProjectKeptOnlyWhenThereIsOne) {
    const QString empty = QString::fromStdString(folder_.write("blank.kpr", ""));
    const QString foreign = QString::fromStdString(folder_.write("picture.kpr", "GIF89a"));
    const QString emptyJson = QString::fromStdString(folder_.write("blank.json", ""));
    MainWindow window;
    for (const bool projectOpen : {false, true}) {
        if (projectOpen) ASSERT_TRUE(window.openFile(sample()));
        Answers told(QMessageBox::Ok);
        EXPECT_FALSE(window.openFile(empty));
        EXPECT_FALSE(window.openFile(foreign));
        EXPECT_FALSE(window.openFile(emptyJson));
        ASSERT_EQ(told.asked.size(), 3u);
        EXPECT_TRUE(told.asked[0].text.startsWith(empty + " is empty (0 bytes)"))
            << told.asked[0].text.toStdString();
        EXPECT_TRUE(told.asked[2].text.startsWith(emptyJson + " is empty (0 bytes)"))
            << told.asked[2].text.toStdString();
        for (const Question& question : told.asked)
            EXPECT_EQ(question.text.contains("The project that was open stays as it was."),
                      projectOpen)
                << question.text.toStdString();
        EXPECT_EQ(window.document().hasProject(), projectOpen);
    }
}

}  // namespace
}  // namespace kestra::workbench::testing
