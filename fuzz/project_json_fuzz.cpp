// Any bytes as a JSON document of a project. A document that imports must give an image that
// exports to a document importing to the same image again; the image is also loaded by the
// store, and nothing may be left allocated afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fuzz/fuzz_store_support.h"
#include "kestra/project_json.h"
#include "project_store/project_store.h"
#include "project_store/store.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestra::fuzzing::SetUpStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image;
    try {
        image = kestra::json::ImportProjectJson(
            std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const kestra::json::DocumentFault&) {
        return 0;
    }
    try {
        const std::string document = kestra::json::ExportProjectJson(image);
        if (kestra::json::ImportProjectJson(document) != image) std::abort();
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
