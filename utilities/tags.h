// K32FABUTIL1 tag folders: the table of a project's named tags.
//
// A tag folder is a 20-byte TagFolderHeader whose slot at 16 holds a global block of 45-byte
// tag elements. Tags form a tree through their parent keys; a structure tag has members.
#pragma once

#include "platform/win_types.h"

extern "C" {

// Called with the descriptor of the tag being looked for (twice), the 32 bytes of tag data of a
// stored candidate and the 64-byte network node the candidate belongs to; 1 when the stored tag
// is the same tag.
using TAGCOMPARE = BOOL (*)(const void* descriptor, const void* descriptorAgain,
                            const void* tagData, const void* networkNode);

// folder: the TagFolderHeader; project: the project block (string table, active network).
// Outputs may each be null. Results: the tag's key, or 0.
DWORD GetTagElement(void* folder, void* project, DWORD key, void* data, WORD* parent,
                    BOOL* structure, char* name, int nameSize, int* position);
DWORD GetBasedTagElement(void* folder, void* project, int position, void* data, WORD* parent,
                         BOOL* structure, char* name, int nameSize, int* positionOut);
// parentKey -1 keeps the parent of a tag that is updated, and means top level for a new one.
DWORD AddTagElement(void* folder, void* project, const char* name, const void* descriptor,
                    int parentKey, BOOL structure, TAGCOMPARE compare);
BOOL DeleteTagElement(void* folder, void* project, DWORD key);
// path: "parent<TAB>name", "<TAB>name" (a top-level tag) or "name" (any parent).
DWORD ScanForExistingTag(void* folder, void* project, const char* path, const void* descriptor,
                         void* data, int* position, TAGCOMPARE compare);
BOOL DeleteTagFolder(void* folder, void* project);
BOOL DuplicateTagFolder(void* destination, const void* source, void* project);

}  // extern "C"

// Adding is refused once a folder holds this many tags.
inline constexpr int kMaxTags = 1451;
