// Shared pieces of the extension class tests: a QApplication, a registry store of the test's
// own, and driver folders made of the stand-in drivers and the real ones.
#pragma once

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "extension_classes/registry.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace kestra::testing {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "extension_classes_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);  // lives to the end of the process
    return *app;
}

// Points the registry store at a file in a temporary folder for one scope.
class RegistryScope {
  public:
    RegistryScope() : file_(folder_.file("registry.reg")) {
        if (const char* old = std::getenv(KXCRegistry::kStoreVariable)) previous_ = old;
        setenv(KXCRegistry::kStoreVariable, file_.c_str(), 1);
    }
    ~RegistryScope() {
        if (previous_.empty())
            unsetenv(KXCRegistry::kStoreVariable);
        else
            setenv(KXCRegistry::kStoreVariable, previous_.c_str(), 1);
    }
    const std::string& file() const { return file_; }
    std::string text() const { return platform::ReadWholeFile(file_).value_or("<missing>"); }

  private:
    TempFolder folder_;
    std::string file_;
    std::string previous_;
};

// A folder holding copies of driver libraries (copies, not links: a link to a loaded library
// would be taken for that library).
class DriverFolder {
  public:
    // A stand-in driver by name ("K32PLC15").
    void AddFake(const std::string& name) {
        copy(std::string(KXC_FAKE_DRIVERS) + "/" + name + ".so", name + ".so");
    }
    // A library of the program folder ("K32PLC1.so").
    void AddReal(const std::string& file) {
        copy(platform::JoinPath(platform::ProgramFolder(), file), file);
    }
    void AddFile(const std::string& name, const std::string& contents) {
        folder_.write(name, contents);
    }
    const std::string& path() const { return folder_.path(); }
    bool Has(const std::string& name) const { return std::filesystem::exists(folder_.file(name)); }

  private:
    void copy(const std::string& from, const std::string& name) {
        std::filesystem::copy_file(from, folder_.file(name),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    TempFolder folder_;
};

}  // namespace kestra::testing
