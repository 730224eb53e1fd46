// K32FABUTIL1 parameter folders and network folders.
//
// A parameter folder (a 10-byte FolderHeader inside its owner) maps 16-bit keys to values
// through a sorted list of key ranges in a global block; a string folder's values are string
// identifiers of the project, each entry holding one reference, a numeric folder's values are
// signed 32-bit numbers. A network folder is a 64-byte network node with a global block of
// child nodes.
#pragma once

#include "platform/win_types.h"

extern "C" {

// folder: a FolderHeader; project: the project block whose string table holds the texts.
BOOL ExpGetValueFromFolder(void* folder, int key, DWORD* value, void* project);
BOOL ExpPlaceValueInFolder(void* folder, int key, DWORD value, void* project);
BOOL ExpDeleteFolder(void* folder, void* project);
BOOL ExpDuplicateFolder(void* destination, const void* source, void* project);
BOOL ExpValidateFolder(void* folder, int setCount, int base, void* project);
// matrix: the parameter matrix record (set count at 4, base at 6, row count at 8, a reference
// to the 32-byte rows at 12, a reference to the project block at 124).
BOOL ValidateParSets(void* matrix);

// folderNode, node: 64-byte network nodes.
BOOL ExpRegisterNetNodeData(void* folderNode, const void* node);
BOOL ExpGetNetNodeData(const void* folderNode, BOOL byKey, int keyOrPosition, void* node);
BOOL ExpDeleteNetNodeData(void* folderNode, int key);
BOOL ExpDuplicateNetworkFolder(void* destination, const void* source);
BOOL ExpDeleteNetworkFolder(void* node);

}  // extern "C"

// A folder never holds more entries than this.
inline constexpr int kMaxFolderEntries = 4095;
