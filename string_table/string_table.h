// K32FABUTIL2: the string table service that keeps a project's texts.
//
// Every project block has its own table. Identifiers are dense from 0 in the order texts were
// first added, and adding a text that is already there gives its identifier back, so equal
// texts have equal identifiers. The table keeps project record offset 573 equal to the number
// of identifiers; a caller that sets that count lower (as a loader does before it adds the
// texts of an image) drops the identifiers above it. References are counted; a text whose
// last reference is released keeps its identifier, so identifiers stay dense.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

extern "C" {

// Identifier returned when a text cannot be added (no project, or the table is full).
inline constexpr WORD kNoStringId = 0xFFFF;

// Ordinal 2: adds a text (one reference) and returns its identifier.
WORD StrTabAddText(const char* text, void* project);
// Ordinal 3: adds one reference to an identifier. The holder (the list entry or record that
// keeps the identifier) is not used. Returns 1, or 0 for an unknown identifier.
BOOL StrTabAddReference(void* holder, WORD id, void* project);
// Adds `count` references to an identifier at once, as `count` calls of ordinal 3 would (a
// loader that meets one text many times counts its meetings and hands them over together).
BOOL StrTabAddReferences(WORD id, void* project, DWORD count);
// Adds counts[i] references to ids[i] for each i below n, under one lock (a loader handing over
// the meetings of all its texts at the end). Returns 1, or 0 without a project or when an
// identifier is unknown; the known ones get their references all the same.
BOOL StrTabAddReferenceCounts(void* project, const WORD* ids, const DWORD* counts, DWORD n);
// Adds texts[0], texts[1], ... up to texts[n - 1] in order, each with one reference, under one
// lock, as calls of ordinal 2 would, but only while each is new: it stops before the first text
// the table holds already (an earlier one of the same call included) or cannot take. The texts
// it added have the identifiers from *first on, one after the other (*first is the table's
// count before the call). Returns how many it added; 0 without a project. A loader that meets
// its texts in the order it stored them adds them this way ahead of meeting them, and drops
// the ones it did not meet by setting the project's count back.
DWORD StrTabAddNewTexts(void* project, const char* const* texts, DWORD n, WORD* first);
// Ordinal 5: writes the text, zero-terminated and cut to `room`, into `destination`; flag 1
// also releases one reference. With no destination and room 0 it only releases (flag 1).
// Returns 1 on success, 0 for an unknown identifier or a destination without room.
BOOL StrTabGetText(WORD id, void* project, char* destination, DWORD room, DWORD flag);

// Hands the texts of identifiers 0 to count - 1 to `visit`, in order and under one lock, as
// count calls of ordinal 5 with flag 0 would fetch them (a save that stores every text); an
// identifier the table does not know is handed the empty text. `visit` must not call the
// service. Returns 1, or 0 without a project.
using StrTabTextVisitor = void (*)(void* context, const char* text, DWORD length);
BOOL StrTabVisitTexts(void* project, DWORD count, StrTabTextVisitor visit, void* context);

// Ordinals 6, 7, 10, 19: a text list that formats into one display line.
std::uintptr_t StrTabListPrepare(void* project);
BOOL StrTabListAdd(std::uintptr_t list, const char* text);
// Writes the line (the texts joined by " / "), cut to room; returns its length.
DWORD StrTabListFormat(std::uintptr_t list, char* destination, DWORD room);
void StrTabListRelease(std::uintptr_t list);

// References held on an identifier (0 for an unknown one).
DWORD StrTabReferenceCount(WORD id, void* project);
// Forgets the project's table; a host calls it when it releases the project.
void StrTabDiscard(void* project);

}  // extern "C"
