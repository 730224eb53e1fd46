// kestra export / kestra import: between a project file and the project's JSON form.
//
// export loads the project as the editor does, saves it again and writes the JSON form of
// that image; import reads a document, proves that the image it describes loads, and writes
// that image.
#include "kestra/exchange.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <string>

#include "kestra/commands.h"
#include "kestra/host.h"
#include "kestra/project_json.h"

namespace kestra::host {

namespace {

struct ExportOptions {
    std::string project;
    std::string output;
};

struct ImportOptions {
    std::string document;
    std::string output;
};

void RunExport(const ExportOptions& options) {
    // The file's bytes are let go once the project is loaded, before the document is made.
    const LoadedProject project = Store::Get().load(options.project, ReadInput(options.project));
    const Bytes saved = Store::Get().save(options.project, project);
    const std::string text = DocumentOfImage(options.project, saved);
    if (options.output.empty() || options.output == "-") {
        WriteStandardOutput(text);
        return;
    }
    WriteOutput(options.output, text);
    std::fprintf(stderr, "kestra: %s: %zu bytes of JSON\n", options.output.c_str(), text.size());
}

void RunImport(const ImportOptions& options) {
    std::string text = ReadDocument(options.document);
    const Bytes image = ImageOfDocument(options.document, text);
    std::string().swap(text);
    // The image is written as it is, once it is known to load: a save of the loaded project
    // may differ from it (an image of an older format gains the sections a load adds).
    try {
        Store::Get().load(options.document, image);
    } catch (const Failure& failure) {
        Fail(kExitBadDocument,
             options.document +
                 ": the document describes a project that does not load: " + failure.message);
    }
    WriteOutput(options.output, image);
    std::fprintf(stderr, "kestra: %s: a project image of %zu bytes\n", options.output.c_str(),
                 image.size());
}

template <typename Import>
Bytes ImageOr(const std::string& file, Import import) {
    try {
        return import();
    } catch (const json::DocumentFault& fault) {
        Fail(kExitBadDocument,
             file + ": at " +
                 (fault.path().empty() ? std::string("the document") : "\"" + fault.path() + "\"") +
                 ": " + fault.what());
    }
}

}  // namespace

std::string ReadDocument(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) <= kInputLimit) {
        const auto size = static_cast<std::size_t>(info.st_size);
        text.reserve(size + json::kDocumentPadding);
        text.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, text.data() + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        if (done == size) return text;
    } else if (fd >= 0) {
        ::close(fd);
    }
    const Bytes bytes = ReadInput(path);
    text.clear();
    text.reserve(bytes.size() + json::kDocumentPadding);
    text.assign(bytes.begin(), bytes.end());
    return text;
}

std::string DocumentOfImage(const std::string& file, const Bytes& image) {
    try {
        return json::ExportProjectJson(image);
    } catch (const json::ImageFault& fault) {
        Fail(kExitDamaged, file + ": the image cannot be taken apart at byte " +
                               std::to_string(fault.offset()) + ": " + fault.what());
    }
}

Bytes ImageOfDocument(const std::string& file, std::string_view document) {
    return ImageOr(file, [&] { return json::ImportProjectJson(document); });
}

Bytes ImageOfDocument(const std::string& file, const std::string& document) {
    if (document.capacity() - document.size() < json::kDocumentPadding)
        return ImageOfDocument(file, std::string_view(document));
    return ImageOr(file, [&] { return json::ImportProjectJsonInPlace(document); });
}

void AddExchangeCommands(CLI::App& app) {
    static ExportOptions exportOptions;
    static ImportOptions importOptions;
    CLI::App* out = app.add_subcommand(
        "export", "Write the JSON form of a project (every section by name, texts as text).");
    out->add_option("PROJECT", exportOptions.project, "The project file.")->required();
    out->add_option("-o,--output", exportOptions.output,
                    "The JSON file to write (standard output when not given or \"-\").")
        ->type_name("FILE");
    out->callback([] { RunExport(exportOptions); });

    CLI::App* in = app.add_subcommand(
        "import",
        "Make a project file from its JSON form; a bad document is refused with the "
        "JSON path of its first fault.");
    in->add_option("DOCUMENT", importOptions.document, "The JSON file.")->required();
    in->add_option("-o,--output", importOptions.output, "The project file to write.")
        ->type_name("FILE")
        ->required();
    in->callback([] { RunImport(importOptions); });
}

}  // namespace kestra::host
