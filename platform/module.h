// Modules (shared libraries and the program) and their resources.
//
// A module handle is the dynamic loader's handle. Resources that a Windows module carried in
// its resource section (string tables, dialog templates, the export ordinal table) are
// constant tables compiled into the module, which the module registers at load time through
// a ResourceRegistration object; they are found again through the module handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kestra::platform {

enum class ResourceKind : std::uint8_t { Strings, Ordinals, Dialogs, Bitmaps, Other };

struct StringResource {
    std::uint32_t id;
    const char* text;
};

struct OrdinalExport {
    std::uint16_t ordinal;
    const char* name;
};

// Registers a table of `count` resources of one kind for the module that contains `anchor`
// (any object or function of that module), and takes it back when the module unloads.
// Several tables of one kind may be registered; they are searched in order of registration.
class ResourceRegistration {
  public:
    ResourceRegistration(const void* anchor, ResourceKind kind, const void* table,
                         std::size_t count);
    ~ResourceRegistration();
    ResourceRegistration(const ResourceRegistration&) = delete;
    ResourceRegistration& operator=(const ResourceRegistration&) = delete;

  private:
    std::uintptr_t base_;
    ResourceKind kind_;
    const void* table_;
};

struct ResourceTable {
    const void* table;
    std::size_t count;
};
// Calls visit(table) for every registered table of that kind of the module until it returns
// true; returns whether one did.
template <typename Visit>
bool ForEachResourceTable(HMODULE module, ResourceKind kind, Visit&& visit);

// Implementation hook for ForEachResourceTable.
bool VisitResourceTables(HMODULE module, ResourceKind kind,
                         bool (*visit)(const ResourceTable&, void*), void* context);

template <typename Visit>
bool ForEachResourceTable(HMODULE module, ResourceKind kind, Visit&& visit) {
    return VisitResourceTables(
        module, kind,
        [](const ResourceTable& table, void* context) {
            return (*static_cast<Visit*>(context))(table);
        },
        &visit);
}

// The module that contains the given address (a function or object of the module).
HMODULE ModuleOf(const void* address);
// The module's file path, or empty.
std::string ModulePath(HMODULE module);
// The module's string resource, or nullptr.
const char* FindString(HMODULE module, std::uint32_t id);

}  // namespace kestra::platform

// The module of the code that expands the macro: use inside a library for its own handle.
#define KESTRA_THIS_MODULE()                                 \
    ([] {                                                    \
        static const char kModuleAnchor = 0;                 \
        return ::kestra::platform::ModuleOf(&kModuleAnchor); \
    }())

// A module may export an entry point named "DllMain" with this signature. LoadLibrary calls it
// with DLL_PROCESS_ATTACH when it first loads the module, and a FALSE answer makes the load
// fail; FreeLibrary calls it with DLL_PROCESS_DETACH before the module's last unload.
using DLLMAIN = BOOL (*)(HMODULE module, DWORD reason, void* reserved);
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;

// A name without a folder is looked for in the program folder first; a name without an
// extension gets ".so".
HMODULE LoadLibrary(const char* fileName);
BOOL FreeLibrary(HMODULE module);
// The handle of the program with a null name, else of an already loaded module, or null.
HMODULE GetModuleHandle(const char* name);
// A name whose value is below 0x10000 is an ordinal (MAKEINTRESOURCE); it is bound through
// the module's ordinal table.
void* GetProcAddress(HMODULE module, const char* name);
// The module's full file name (the program's for a null handle); stores at most size - 1
// characters and a zero, returns the characters stored (0 on failure).
DWORD GetModuleFileName(HMODULE module, char* buffer, DWORD size);
// String resource `id` of the module: at most size - 1 characters and a zero; returns the
// characters stored, 0 when the string does not exist.
int LoadString(HMODULE module, UINT id, char* buffer, int size);

inline const char* MAKEINTRESOURCE(std::uintptr_t id) {
    return reinterpret_cast<const char*>(id & 0xFFFF);
}
inline bool IS_INTRESOURCE(const char* name) {
    return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}
