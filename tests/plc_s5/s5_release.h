// Frees a project that GetProject of the S5 driver built, block by block, as a host does.
#pragma once

#include "kestra/project.h"
#include "platform/memory.h"
#include "plc_s5/type1_image.h"
#include "string_table/string_table.h"

namespace kestra::s5::testing {

inline void ReleaseProject(HGLOBAL handle) {
    auto* project = static_cast<ProjectBlock*>(GlobalLock(handle));
    if (!project) return;
    ProjectRecord& r = project->record;
    if (auto* pages =
            reinterpret_cast<PageRecord*>(mem::At(r.pages, 0, r.pageCount * sizeof(PageRecord)))) {
        for (std::size_t p = 0; p < r.pageCount; ++p) {
            auto* fields = reinterpret_cast<FieldRecord*>(
                mem::At(pages[p].fields, 0, pages[p].fieldCount * sizeof(FieldRecord)));
            for (std::size_t f = 0; fields && f < pages[p].fieldCount; ++f)
                mem::Free(fields[f].list1.block);
            mem::Free(pages[p].fields);
            mem::Free(pages[p].text);
        }
    }
    for (std::uint32_t block :
         {r.pages.get(), r.section1.get(), r.section2a.get(), r.section9.get(), r.text1.get(),
          r.text2.get(), FixedRecords(r).items.get()})
        mem::Free(block);
    StrTabDiscard(project);
    GlobalUnlock(handle);
    GlobalFree(handle);
}

}  // namespace kestra::s5::testing
