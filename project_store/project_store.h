// K32PRJ200, the project store: between the project in memory and its project image, and
// between single elements of a project and their element images.
//
// Images and projects pass as a global memory handle, or, when the low 16 bits of the pointer
// flag are nonzero, as a direct pointer into a block of the block table (a pointer that lies in
// no block is refused). New images and projects are movable global blocks that the caller
// owns. The host registers its allocator with SetAppFmalloc before it loads the store; the
// store refuses to attach without one.
#pragma once

#include <cstdint>

#include "kestra/project.h"
#include "kestra/project_sections.h"
#include "platform/win_types.h"

extern "C" {

// The options of GetProjectExt: a text of blank-separated tokens ("501": the image ends after
// the resource section; "fixrmenufield": repair menu fields and bitmaps).
struct ProjectLoadOptions {
    DWORD reserved;
    const char* text;
};

// A tag folder as an element: its 20-byte header and the project whose string table holds
// the tag names.
struct TagFolderRecord {
    kestra::TagFolderHeader* header;
    void* project;
};

// The handle of the new project block, or 0 (with the message box "Exception in geting
// project..." when the image is damaged).
HGLOBAL GetProject(std::uintptr_t image, DWORD pointerFlag);
HGLOBAL GetProjectExt(std::uintptr_t image, DWORD pointerFlag, const ProjectLoadOptions* options);

// Writes the image into a new block stored in *image; its length, or 0 (*image then 0).
DWORD SaveProject(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image);

// Element images: kind 2 is a tag folder (element: TagFolderRecord); any other kind is the
// 75-byte network record (kestra::NetworkRecord).
DWORD SaveProjectElement(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image, DWORD kind,
                         const void* element);
BOOL GetProjectElement(std::uintptr_t image, DWORD pointerFlag, DWORD kind, void* destination);

}  // extern "C"

inline constexpr DWORD kTagFolderElement = 2;
