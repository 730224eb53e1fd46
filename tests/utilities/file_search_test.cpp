#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/module.h"
#include "support/temp_folder.h"
#include "utilities/k32fabutil1.h"

using kestra::testing::TempFolder;
using kestra::testing::WindowsFolderScope;

namespace {

class FileSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
        folder_.write("windows/x.ini", "");
        folder_.write("windows/system/x.ini", "");
        folder_.write("own/a1.txt", "");
        folder_.write("own/a2.txt", "");
        folder_.write("own/b.txt", "");
        std::filesystem::create_directories(folder_.file("empty"));
    }
    void TearDown() override {
        FileFindInterrupt();
        ASSERT_EQ(chdir(cwd_), 0);
    }
    TempFolder folder_;
    WindowsFolderScope windows_{folder_.file("windows")};
    char cwd_[4096];
};

std::string found(const char* path) {
    return path;
}

}  // namespace

TEST_F(FileSearch, FindFileWithA260ByteBufferReturns0WithoutSearching) {
    char name[MAX_PATH] = "x.ini";
    EXPECT_EQ(FindFile(name, MAX_PATH, 0), FALSE);
    EXPECT_STREQ(name, "x.ini");
}

TEST_F(FileSearch, FindFileReplacesTheNameByTheFullPath) {
    char name[MAX_PATH - 1] = "x.ini";
    ASSERT_EQ(FindFile(name, sizeof name, 0), TRUE);
    // x.ini lies in both the Windows folder and its system folder: the system folder comes first.
    EXPECT_EQ(found(name), folder_.file("windows/system/x.ini"));
    // The program folder comes first: the libraries lie beside the test program.
    char library[MAX_PATH - 1] = "K32FABUTIL1.so";
    ASSERT_EQ(FindFile(library, sizeof library, 0), TRUE);
    EXPECT_EQ(found(library), kestra::platform::ProgramFolder() + "/K32FABUTIL1.so");
    char missing[100] = "no-such-file.ini";
    EXPECT_EQ(FindFile(missing, sizeof missing, 0), FALSE);
    EXPECT_STREQ(missing, "no-such-file.ini");
}

TEST_F(FileSearch, FindFileRefusesAPathThatDoesNotFitTheBuffer) {
    char name[12] = "x.ini";
    EXPECT_EQ(FindFile(name, sizeof name, 0), FALSE);
    EXPECT_STREQ(name, "x.ini");
}

TEST_F(FileSearch, IniAndHelpFileNamesComeFromTheModuleName) {
    HMODULE module = LoadLibrary("K32FABUTIL1");
    char buffer[MAX_PATH - 1];
    EXPECT_EQ(GetIniFileName(module, buffer, sizeof buffer), FALSE);  // not there yet
    EXPECT_STREQ(buffer, "K32FABUTIL1.ini");
    folder_.write("windows/K32FABUTIL1.ini", "[x]\n");
    folder_.write("windows/K32FABUTIL1.hlp", "");
    ASSERT_EQ(GetIniFileName(module, buffer, sizeof buffer), TRUE);
    EXPECT_EQ(found(buffer), folder_.file("windows/K32FABUTIL1.ini"));
    ASSERT_EQ(GetHelpFileName(module, buffer, sizeof buffer), TRUE);
    EXPECT_EQ(found(buffer), folder_.file("windows/K32FABUTIL1.hlp"));
    char tiny[8];
    EXPECT_EQ(GetIniFileName(module, tiny, sizeof tiny), FALSE);
    FreeLibrary(module);
}

TEST_F(FileSearch, SingleStageSearchListsTheMatchesOfThePathsFolder) {
    char path[MAX_PATH];
    std::strcpy(path, (folder_.file("own") + "\\a?.TXT").c_str());
    ASSERT_EQ(FindFirst(nullptr, path, 0, kFindSingleStage), kFindFound);
    EXPECT_EQ(found(path), folder_.file("own/a1.txt"));
    ASSERT_EQ(FindNext(path), kFindFound);
    EXPECT_EQ(found(path), folder_.file("own/a2.txt"));
    EXPECT_EQ(FindNext(path), kFindNone);
    EXPECT_EQ(FindNext(path), kFindNone);  // the state is gone
}

TEST_F(FileSearch, ChainGoesOnThroughTheWindowsAndSystemFolders) {
    char path[MAX_PATH];
    std::strcpy(path, (folder_.file("empty") + "/x.ini").c_str());
    ASSERT_EQ(FindFirst(nullptr, path, 0, 0), kFindFound);
    EXPECT_EQ(found(path), folder_.file("windows/x.ini"));
    // Each stage makes its folder the current one.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), std::filesystem::canonical(folder_.file("windows")).string());
    ASSERT_EQ(FindNext(path), kFindFound);
    EXPECT_EQ(found(path), folder_.file("windows/system/x.ini"));
    EXPECT_EQ(FindNext(path), kFindNone);
}

TEST_F(FileSearch, AModeStartsAtItsStageAndTakesThePathAsTheName) {
    char path[MAX_PATH] = "x.ini";
    ASSERT_EQ(FindFirst(nullptr, path, 0, 3), kFindFound);
    EXPECT_EQ(found(path), folder_.file("windows/system/x.ini"));
    EXPECT_EQ(FindNext(path), kFindNone);

    std::strcpy(path, "K32FABUTIL1.so");
    ASSERT_EQ(FindFirst(nullptr, path, 0, 1 | kFindSingleStage), kFindFound);
    EXPECT_EQ(found(path), kestra::platform::ProgramFolder() + "/K32FABUTIL1.so");

    std::strcpy(path, "x.ini");
    EXPECT_EQ(FindFirst(nullptr, path, 0, 4), kFindNone);
    EXPECT_EQ(FindFirst(nullptr, nullptr, 0, 0), kFindNone);
}

TEST_F(FileSearch, InterruptEndsTheSearch) {
    char path[MAX_PATH];
    std::strcpy(path, (folder_.file("own") + "/*.txt").c_str());
    ASSERT_EQ(FindFirst(nullptr, path, 0, kFindSingleStage), kFindFound);
    FileFindInterrupt();
    EXPECT_EQ(FindNext(path), kFindNone);
}
