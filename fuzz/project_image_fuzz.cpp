// Project images of any bytes. The first byte chooses the load options (none, the repairs,
// "501", both). A project that loads must save, and its image must load again; nothing may be
// left allocated afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_store_support.h"
#include "project_store/project_store.h"
#include "project_store/store.h"

namespace {
const char* const kOptions[] = {nullptr, "fixrmenufield", "501", "501 fixrmenufield"};
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestra::fuzzing::SetUpStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    kestra::fuzzing::NoBlockLeft check;
    ProjectLoadOptions options{0, kOptions[data[0] & 3]};
    HGLOBAL image = GlobalAlloc(GHND, size - 1);
    if (size > 1) std::memcpy(kestra::mem::Data(image), data + 1, size - 1);
    HGLOBAL project = GetProjectExt(image, 0, &options);
    GlobalFree(image);
    if (!project) return 0;

    HGLOBAL saved = 0;
    if (SaveProject(project, 0, &saved) == 0) std::abort();
    HGLOBAL again = GetProject(saved, 0);
    if (!again) std::abort();
    kestra::store::ReleaseProject(again);
    kestra::store::ReleaseProject(project);
    GlobalFree(saved);
    return 0;
}
