// The workbench run by a user who cannot write the program folder, as with an installed
// package: it starts, opens a project, keeps its settings and the driver list in the user's
// folders, and leaves the program folder as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "kestra/project_json.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using kestra::testing::TempFolder;

// The unprivileged user a root run switches to.
constexpr uid_t kNobody = 65534;

bool Wanted(const fs::path& file) {
    const std::string name = file.filename().string();
    const std::string extension = file.extension().string();
    return name == "kestra-workbench" || extension == ".so" || extension == ".ini" ||
           extension == ".txt" || extension == ".html" || name == "windows" || name == "Panels" ||
           name == "samples";
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

void ForEach(const fs::path& folder, void (*apply)(const fs::path&)) {
    apply(folder);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) apply(entry.path());
}

TEST(ReadOnlyProgramFolder, TheWorkbenchWritesOnlyIntoTheUsersFolders) {
    TempFolder root;
    fs::permissions(root.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    const fs::path program = fs::path(root.path()) / "program";
    const fs::path home = fs::path(root.path()) / "home";
    fs::create_directories(program);
    fs::create_directories(home);
    for (const auto& entry : fs::directory_iterator(kestra::platform::ProgramFolder()))
        if (Wanted(entry.path()))
            fs::copy(entry.path(), program / entry.path().filename(), fs::copy_options::recursive);
    const auto image = kestra::json::ImportProjectJson(
        kestra::platform::ReadWholeFile(KESTRA_SAMPLE_JSON).value_or(""));
    root.write("home/sample.kpr", std::string(image.begin(), image.end()));
    const bool asRoot = geteuid() == 0;
    if (asRoot) ForEach(home, [](const fs::path& p) { (void)lchown(p.c_str(), kNobody, kNobody); });
    ForEach(program, [](const fs::path& p) {
        fs::permissions(p,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove | fs::perm_options::nofollow);
    });
    const std::set<std::string> before = Listing(program);
    // The folder is the test's to remove again afterwards.
    struct Writable {
        fs::path folder;
        ~Writable() {
            ForEach(folder, [](const fs::path& p) {
                fs::permissions(p, fs::perms::owner_write,
                                fs::perm_options::add | fs::perm_options::nofollow);
            });
        }
    } writable{program};

    const std::string workbench = (program / "kestra-workbench").string();
    const std::string picture = (home / "window.png").string();
    const std::string project = (home / "sample.kpr").string();
    const pid_t child = fork();
    if (child == 0) {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_RUNTIME_DIR", "KESTRA_REGISTRY", "KESTRA_WINDIR"})
            unsetenv(name);
        setenv("HOME", home.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (chdir(home.c_str()) != 0) _exit(126);
        if (asRoot)
            execl("/usr/bin/setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                  workbench.c_str(), "--screenshot", picture.c_str(), project.c_str(), nullptr);
        else
            execl(workbench.c_str(), workbench.c_str(), "--screenshot", picture.c_str(),
                  project.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_TRUE(fs::exists(picture));
    const std::string settings =
        kestra::platform::ReadWholeFile((home / ".config/kestra/workbench.ini").string())
            .value_or("");
    EXPECT_NE(settings.find("sample.kpr"), std::string::npos) << "recent files: " << settings;
    EXPECT_TRUE(fs::exists(home / ".config/kestra/registry.reg")) << "the driver list's copy";
    EXPECT_EQ(Listing(program), before) << "nothing new in the program folder";
    EXPECT_FALSE(fs::exists(home / "PrjFix.txt"));
}

}  // namespace
