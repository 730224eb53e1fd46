// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace kestra::testing {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestra-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& contents) const {
        std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
        std::ofstream(file(name), std::ios::binary) << contents;
        return file(name);
    }
    std::string read(const std::string& name) const {
        return platform::ReadWholeFile(file(name)).value_or("<missing>");
    }

  private:
    std::string path_;
};

// Points the Windows folder at a temporary folder for one scope.
class WindowsFolderScope {
  public:
    explicit WindowsFolderScope(const std::string& folder) {
        if (const char* old = std::getenv(platform::kWindowsFolderVariable)) previous_ = old;
        setenv(platform::kWindowsFolderVariable, folder.c_str(), 1);
    }
    ~WindowsFolderScope() {
        if (previous_.empty())
            unsetenv(platform::kWindowsFolderVariable);
        else
            setenv(platform::kWindowsFolderVariable, previous_.c_str(), 1);
    }

  private:
    std::string previous_;
};

}  // namespace kestra::testing
