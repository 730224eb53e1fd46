// Any bytes as a JSON document of a project. A document that imports must give an image that
// exports to a document importing to the same image again, must be one the text check takes,
// and must give the same image read by the stream reader alone; the image is also loaded by
// the store, and nothing may be left allocated afterwards.
//
// So that short inputs stand for documents nested very deeply or with huge texts, a run of one
// character may be written as the byte 0x01, the run's length in decimal and the character:
// "\x01" "100000[" is 100,000 opening brackets. Every other byte is the document's own.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_store_support.h"
#include "kestra/json_syntax.h"
#include "kestra/project_json.h"
#include "project_store/project_store.h"
#include "project_store/store.h"

namespace {

constexpr char kRun = '\x01';
constexpr std::size_t kLargestDocument = 8u << 20;

// The document the input stands for, with its runs written out (at most kLargestDocument
// bytes; a run that would go beyond is cut short).
std::string Expand(std::string_view input) {
    std::string text;
    for (std::size_t at = 0; at < input.size(); ++at) {
        if (input[at] != kRun) {
            text += input[at];
            continue;
        }
        std::size_t count = 0, digits = at + 1;
        while (digits < input.size() && input[digits] >= '0' && input[digits] <= '9' &&
               count <= kLargestDocument)
            count = count * 10 + static_cast<std::size_t>(input[digits++] - '0');
        if (digits >= input.size()) break;
        text.append(std::min(count, kLargestDocument - std::min(text.size(), kLargestDocument)),
                    input[digits]);
        at = digits;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestra::fuzzing::SetUpStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string document =
        Expand(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::uint8_t> image;
    try {
        image = kestra::json::ImportProjectJson(document);
    } catch (const kestra::json::DocumentFault&) {
        return 0;
    }
    try {
        kestra::json::CheckDocumentText(document);
        // Import reads a document by the tape first: what it takes, the stream reader takes
        // alike.
        if (kestra::json::ImportProjectJsonStreamed(document) != image) std::abort();
    } catch (const kestra::json::DocumentFault&) {
        std::abort();  // import took a text that is not a valid document
    }
    try {
        const std::string again = kestra::json::ExportProjectJson(image);
        if (kestra::json::ImportProjectJson(again) != image) std::abort();
    } catch (const std::exception&) {
        std::abort();  // an image that import wrote is one that export takes apart
    }
    kestra::fuzzing::NoBlockLeft check;
    HGLOBAL block = GlobalAlloc(GHND, image.size());
    if (!block) return 0;
    std::memcpy(kestra::mem::Data(block), image.data(), image.size());
    if (HGLOBAL project = GetProject(block, 0)) kestra::store::ReleaseProject(project);
    GlobalFree(block);
    return 0;
}
