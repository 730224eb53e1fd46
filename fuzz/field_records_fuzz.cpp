// Any bytes as fields on the clipboard of the workbench, pasted into a project: fields that
// paste copy again to a form that pastes to the same fields, and nothing is left allocated
// afterwards.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "fuzz/fuzz_store_support.h"
#include "platform/image_cursor.h"
#include "string_table/string_table.h"
#include "workbench/document/field_records.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestra::fuzzing::SetUpStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra;
    fuzzing::NoBlockLeft check;
    mem::Arena arena;
    {
        mem::Arena::Scope open(arena);
        HGLOBAL handle = GlobalAlloc(GHND, kProjectBlockSize);
        auto& project = *reinterpret_cast<ProjectBlock*>(mem::Data(handle));
        // As in a loaded project, identifier 0 is the title's: 0 names no text in a field.
        StrTabAddText("title", &project);
        const auto form = std::as_bytes(std::span(data, size));
        try {
            const std::vector<FieldRecord> fields = workbench::DecodeFields(project, form);
            // Fields pasted and copied again give the same form as when they are pasted once
            // more: records, lists, children, labels and texts all come through.
            const std::vector<std::byte> once = workbench::EncodeFields(project, fields);
            const std::vector<std::byte> twice =
                workbench::EncodeFields(project, workbench::DecodeFields(project, once));
            if (once != twice) std::abort();
        } catch (const ImageError&) {
        }
        StrTabDiscard(&project);
    }
    arena.release();
    return 0;
}
