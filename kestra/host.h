// What every subcommand of `kestra` shares: the failure that ends a command with its exit
// code, reading input files and writing output files, the project store bound by name as the
// project editor binds it, and the texts of message boxes the libraries show.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestra/exit_codes.h"
#include "kestra/project.h"
#include "platform/message_box.h"
#include "platform/win_types.h"

namespace kestra::host {

// Ends a command: the message goes to standard error, the code becomes the exit code.
struct Failure {
    ExitCode code;
    std::string message;
};
[[noreturn]] void Fail(ExitCode code, std::string message);

using Bytes = std::vector<std::uint8_t>;

// Input files larger than this are no project of the suite.
inline constexpr std::uint64_t kInputLimit = 256u * 1024 * 1024;

// The whole file; kExitUnreadable when it is missing or cannot be read.
Bytes ReadInput(const std::string& path);
// Writes through the one file writer (temporary name, then rename); kExitOutput when the
// file cannot be written, and then nothing of it is left.
void WriteOutput(const std::string& path, std::span<const std::uint8_t> bytes);
void WriteOutput(const std::string& path, std::string_view text);
// Writes a report to standard output; kExitOutput when it does not all arrive (what is
// buffered is checked when the program ends).
void WriteStandardOutput(std::string_view text);

// Prepares the process as the editor does before it loads a library: registers the host
// allocator and collects the message boxes the libraries show instead of printing them (a
// failure names them).
void StartHost();
// Returns and forgets the message box texts collected so far.
std::vector<std::string> TakeMessageBoxes();

// For one scope, collects the message boxes the libraries show (for LibraryMessages) where a
// desktop host would show them otherwise; the host's own presenter is back afterwards.
class CollectedMessageBoxes {
  public:
    CollectedMessageBoxes();
    ~CollectedMessageBoxes();
    CollectedMessageBoxes(const CollectedMessageBoxes&) = delete;
    CollectedMessageBoxes& operator=(const CollectedMessageBoxes&) = delete;

  private:
    platform::MessageBoxPresenter previous_;
};

// " (the library said: ...)" for the collected texts, "" when there are none.
std::string LibraryMessages();

// Where an image says its project record is, and its format code; nullopt when the bytes
// are not a project image of the store (a panel image, or a foreign file).
struct ProjectImageHead {
    std::size_t recordOffset;
    std::uint8_t formatCode;
};
std::optional<ProjectImageHead> ReadProjectImageHead(std::span<const std::uint8_t> image);

// The options of loading: the tokens of GetProjectExt.
struct LoadOptions {
    bool repairMenuFields = false;  // "fixrmenufield"
    std::string extra;              // further tokens, passed on as they are
    std::string text() const;
};

// A project loaded by the store. Projects live until the program ends.
struct LoadedProject {
    HGLOBAL handle = 0;
    ProjectBlock& block() const;
};

// The store's exports, bound by name from K32PRJ200 in the program folder.
class Store {
  public:
    static Store& Get();
    // kExitNotProject for a foreign file, kExitDamaged when the store refuses the image.
    LoadedProject load(const std::string& file, std::span<const std::uint8_t> image,
                       const LoadOptions& options = {});
    // The project image; kExitDamaged when the store cannot save the project.
    Bytes save(const std::string& file, const LoadedProject& project);

  private:
    Store();
    HMODULE module_ = nullptr;
    void* getProjectExt_ = nullptr;  // GetProjectExt, project_store/project_store.h
    void* saveProject_ = nullptr;    // SaveProject
};

// The bytes of a global block (its first `size` bytes), and a new global block holding bytes.
Bytes TakeGlobal(HGLOBAL block, std::size_t size);
HGLOBAL GlobalCopyOf(std::span<const std::uint8_t> bytes);

// A text of the project's string table ("" for an unknown identifier).
std::string ProjectText(const ProjectBlock& project, WORD id);

// A count with its noun, the noun in the singular for one: "1 page", "3 pages" (for nouns whose
// plural adds an "s").
inline std::string Counted(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace kestra::host
