#include "kestra/host.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "kestra/project_image.h"
#include "platform/file_writer.h"
#include "platform/fault_in.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "project_store/project_store.h"
#include "string_table/string_table.h"
#include "utilities/services.h"

namespace kestra::host {

namespace {

std::vector<std::string>& Collected() {
    static std::vector<std::string> texts;
    return texts;
}

int Collect(HWND, std::string_view text, std::string_view, UINT type) {
    Collected().emplace_back(text);
    return platform::DefaultButton(type);
}

}  // namespace

void Fail(ExitCode code, std::string message) {
    throw Failure{code, std::move(message)};
}

Bytes ReadInput(const std::string& path) {
    using Status = platform::LimitedRead::Status;
    const platform::LimitedRead read = platform::ReadFileLimited(path, kInputLimit);
    switch (read.status) {
        case Status::Missing:
            Fail(kExitUnreadable, path + ": no such file");
        case Status::Unreadable:
            Fail(kExitUnreadable, path + ": cannot be read: " + read.error);
        case Status::TooLarge:
            Fail(kExitUnreadable, path + ": larger than " + std::to_string(kInputLimit) +
                                      " bytes; not a file of the suite");
        case Status::Ok:
            break;
    }
    return Bytes(read.contents.begin(), read.contents.end());
}

void WriteOutput(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string error;
    if (!platform::WriteWholeFile(path, bytes, &error))
        Fail(kExitOutput, path + ": cannot be written: " + error);
}

void WriteOutput(const std::string& path, std::string_view text) {
    WriteOutput(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void WriteStandardOutput(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        Fail(kExitOutput,
             std::string("standard output: cannot be written: ") + std::strerror(errno));
}

void StartHost() {
    SetAppFmalloc(&mem::HostAllocate);
    platform::SetMessageBoxPresenter(&Collect);
}

CollectedMessageBoxes::CollectedMessageBoxes()
    : previous_(platform::SetMessageBoxPresenter(&Collect)) {}

CollectedMessageBoxes::~CollectedMessageBoxes() {
    platform::SetMessageBoxPresenter(std::move(previous_));
}

std::vector<std::string> TakeMessageBoxes() {
    return std::exchange(Collected(), {});
}

std::string LibraryMessages() {
    const std::vector<std::string> texts = TakeMessageBoxes();
    if (texts.empty()) return "";
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "; ") + text;
    return " (the library said: " + joined + ")";
}

std::optional<ProjectImageHead> ReadProjectImageHead(std::span<const std::uint8_t> image) {
    // Every writer puts the descriptor at 44; a panel image starts with 28 there.
    if (image.size() < kImageRecordOffset || ReadLe16(image.data()) != kDescriptorOffset)
        return std::nullopt;
    const auto located = LocateProject(std::as_bytes(image));
    const auto* project = std::get_if<LocatedProject>(&located);
    if (!project) return std::nullopt;
    const unsigned major = project->formatCode >> 4;
    if (major < 1 || major > 2) return std::nullopt;
    return ProjectImageHead{project->recordOffset, project->formatCode};
}

std::string LoadOptions::text() const {
    std::string tokens = repairMenuFields ? "fixrmenufield" : "";
    if (!extra.empty()) tokens += (tokens.empty() ? "" : " ") + extra;
    return tokens;
}

ProjectBlock& LoadedProject::block() const {
    return *reinterpret_cast<ProjectBlock*>(mem::Data(handle));
}

Store& Store::Get() {
    static Store store;
    return store;
}

Store::Store() {
    module_ = LoadLibrary("K32PRJ200");
    if (!module_) Fail(kExitInternal, "the project store K32PRJ200 cannot be loaded");
    getProjectExt_ = reinterpret_cast<void*>(GetProcAddress(module_, "GetProjectExt"));
    saveProject_ = reinterpret_cast<void*>(GetProcAddress(module_, "SaveProject"));
    if (!getProjectExt_ || !saveProject_)
        Fail(kExitInternal, "the project store K32PRJ200 lacks GetProjectExt or SaveProject");
}

LoadedProject Store::load(const std::string& file, std::span<const std::uint8_t> image,
                          const LoadOptions& options) {
    if (!ReadProjectImageHead(image))
        Fail(kExitNotProject, file + ": not a project image (no project descriptor at byte 44)");
    HGLOBAL copy = GlobalCopyOf(image);
    if (!copy) Fail(kExitInternal, file + ": no memory for the image");
    const std::string tokens = options.text();
    const ProjectLoadOptions record{0, tokens.c_str()};
    TakeMessageBoxes();
    HGLOBAL project = reinterpret_cast<decltype(&::GetProjectExt)>(getProjectExt_)(
        static_cast<std::uintptr_t>(copy), 0, tokens.empty() ? nullptr : &record);
    GlobalFree(copy);
    if (!project) Fail(kExitDamaged, file + ": the project image is damaged" + LibraryMessages());
    return {project};
}

Bytes Store::save(const std::string& file, const LoadedProject& project) {
    HGLOBAL image = 0;
    TakeMessageBoxes();
    const DWORD size = reinterpret_cast<decltype(&::SaveProject)>(saveProject_)(
        static_cast<std::uintptr_t>(project.handle), 0, &image);
    if (size == 0 || !image)
        Fail(kExitDamaged, file + ": the project cannot be saved" + LibraryMessages());
    return TakeGlobal(image, size);
}

// An image copied out of a global block or into a fresh one is megabytes of memory the process
// has not touched (the workbench copies one in and out on every change): it is asked for in
// huge pages and faulted in with one call before it is first written, instead of a fault for
// every 4 KB the huge pages do not cover.
Bytes TakeGlobal(HGLOBAL block, std::size_t size) {
    Bytes bytes;
    {
        GlobalLockGuard lock(block);
        if (lock && size <= lock.bytes().size()) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(lock.data());
            bytes.reserve(size);
            platform::FaultInHuge(bytes.data(), size);
            bytes.assign(data, data + size);
        }
    }
    GlobalFree(block);
    if (bytes.size() != size) Fail(kExitInternal, "a library handed back a short block");
    return bytes;
}

HGLOBAL GlobalCopyOf(std::span<const std::uint8_t> bytes) {
    // Every byte is written at once: the block is not cleared first.
    const mem::NewBlock block = mem::AllocateBlock(bytes.size(), mem::Kind::Global, bytes.empty());
    if (!block.ref || bytes.empty()) return block.ref;
    platform::FaultInHuge(block.data, bytes.size());
    std::memcpy(block.data, bytes.data(), bytes.size());
    return block.ref;
}

std::string ProjectText(const ProjectBlock& project, WORD id) {
    char text[32768] = "";
    if (!StrTabGetText(id, const_cast<ProjectBlock*>(&project), text, sizeof text, 0)) return "";
    return text;
}

}  // namespace kestra::host
