// Element images of any bytes. The first byte's low bit chooses the kind: a tag folder (into a
// fresh project) or a network record. An element that loads must save again; nothing may be
// left allocated afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_store_support.h"
#include "project_store/project_store.h"
#include "string_table/string_table.h"
#include "utilities/folders.h"

using namespace kestra;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::SetUpStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    fuzzing::NoBlockLeft check;
    const bool tagFolder = data[0] & 1;
    HGLOBAL image = GlobalAlloc(GHND, size - 1);
    if (size > 1) std::memcpy(mem::Data(image), data + 1, size - 1);
    HGLOBAL project = GlobalAlloc(GHND, kProjectBlockSize);
    void* key = mem::Data(project);

    HGLOBAL saved = 0;
    if (tagFolder) {
        TagFolderHeader header{};
        TagFolderRecord folder{&header, key};
        if (GetProjectElement(image, 0, kTagFolderElement, &folder)) {
            if (SaveProjectElement(project, 0, &saved, kTagFolderElement, &folder) == 0)
                std::abort();
            GlobalFree(header.elements);
        }
    } else {
        NetworkRecord record{};
        if (GetProjectElement(image, 0, 1, &record)) {
            if (SaveProjectElement(project, 0, &saved, 1, &record) == 0) std::abort();
            ExpDeleteNetworkFolder(&record.node);
        }
    }
    GlobalFree(saved);
    GlobalFree(image);
    StrTabDiscard(key);
    GlobalFree(project);
    return 0;
}
