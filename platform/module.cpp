#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/files.h"

namespace kestra::platform {
namespace {

struct Registry {
    std::mutex mutex;
    // Load base of a module -> its tables by kind, in order of registration.
    std::map<std::uintptr_t, std::map<ResourceKind, std::vector<ResourceTable>>> modules;
};

Registry& registry() {
    static Registry* instance = new Registry;  // outlives every module's static destructors
    return *instance;
}

std::uintptr_t baseOfAddress(const void* address) {
    Dl_info info;
    if (!dladdr(address, &info)) return 0;
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

link_map* linkMapOf(HMODULE module) {
    link_map* map = nullptr;
    if (!module || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

std::uintptr_t baseOfModule(HMODULE module) {
    link_map* map = linkMapOf(module);
    return map ? static_cast<std::uintptr_t>(map->l_addr) : 0;
}

HMODULE programModule() {
    static HMODULE program = static_cast<HMODULE>(dlopen(nullptr, RTLD_LAZY));
    return program;
}

std::string programPath() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// A loaded library's handle by its path, without loading it or keeping a reference.
HMODULE loadedHandle(const char* path) {
    void* handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return static_cast<HMODULE>(handle);
}

// How often LoadLibrary has handed out each module's handle, for the entry point's calls.
std::mutex loadsMutex;
std::map<HMODULE, unsigned>& loadCounts() {
    static auto* counts = new std::map<HMODULE, unsigned>;
    return *counts;
}

std::string libraryFileName(std::string_view name) {
    std::string file = ToNativePath(name);
    if (FileNamePart(file).find('.') == std::string_view::npos) file += ".so";
    return file;
}

}  // namespace

ResourceRegistration::ResourceRegistration(const void* anchor, ResourceKind kind, const void* table,
                                           std::size_t count)
    : base_(baseOfAddress(anchor)), kind_(kind), table_(table) {
    std::lock_guard lock(registry().mutex);
    registry().modules[base_][kind_].push_back({table, count});
}

ResourceRegistration::~ResourceRegistration() {
    std::lock_guard lock(registry().mutex);
    auto& tables = registry().modules[base_][kind_];
    std::erase_if(tables, [this](const ResourceTable& t) { return t.table == table_; });
}

bool VisitResourceTables(HMODULE module, ResourceKind kind,
                         bool (*visit)(const ResourceTable&, void*), void* context) {
    std::vector<ResourceTable> tables;
    {
        std::lock_guard lock(registry().mutex);
        auto found = registry().modules.find(baseOfModule(module ? module : programModule()));
        if (found == registry().modules.end()) return false;
        auto byKind = found->second.find(kind);
        if (byKind == found->second.end()) return false;
        tables = byKind->second;
    }
    return std::any_of(tables.begin(), tables.end(),
                       [&](const ResourceTable& table) { return visit(table, context); });
}

HMODULE ModuleOf(const void* address) {
    Dl_info info;
    if (!dladdr(address, &info)) return nullptr;
    if (reinterpret_cast<std::uintptr_t>(info.dli_fbase) == baseOfModule(programModule()))
        return programModule();
    return loadedHandle(info.dli_fname);
}

std::string ModulePath(HMODULE module) {
    if (!module || module == programModule()) return programPath();
    link_map* map = linkMapOf(module);
    if (!map) return {};
    if (!map->l_name || !*map->l_name) return programPath();
    return map->l_name;
}

const char* FindString(HMODULE module, std::uint32_t id) {
    const char* found = nullptr;
    ForEachResourceTable(module, ResourceKind::Strings, [&](const ResourceTable& table) {
        const auto* strings = static_cast<const StringResource*>(table.table);
        for (std::size_t i = 0; i < table.count; ++i)
            if (strings[i].id == id) {
                found = strings[i].text;
                return true;
            }
        return false;
    });
    return found;
}

}  // namespace kestra::platform

namespace kp = kestra::platform;

HMODULE LoadLibrary(const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    std::string file = kp::libraryFileName(fileName);
    void* handle = nullptr;
    if (file.find('/') == std::string::npos) {
        std::string local = kp::JoinPath(kp::ProgramFolder(), file);
        if (kp::FileExists(local)) handle = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    auto module = static_cast<HMODULE>(handle);
    std::unique_lock lock(kp::loadsMutex);
    if (kp::loadCounts()[module]++ == 0) {
        lock.unlock();
        auto entry = reinterpret_cast<DLLMAIN>(GetProcAddress(module, "DllMain"));
        if (entry && !entry(module, DLL_PROCESS_ATTACH, nullptr)) {
            lock.lock();
            kp::loadCounts().erase(module);
            lock.unlock();
            dlclose(handle);
            return nullptr;
        }
    }
    return module;
}

BOOL FreeLibrary(HMODULE module) {
    if (!module || module == kp::programModule()) return FALSE;
    std::unique_lock lock(kp::loadsMutex);
    auto count = kp::loadCounts().find(module);
    if (count != kp::loadCounts().end() && --count->second == 0) {
        kp::loadCounts().erase(count);
        lock.unlock();
        if (auto entry = reinterpret_cast<DLLMAIN>(GetProcAddress(module, "DllMain")))
            entry(module, DLL_PROCESS_DETACH, nullptr);
    } else {
        lock.unlock();
    }
    return dlclose(module) == 0 ? TRUE : FALSE;
}

HMODULE GetModuleHandle(const char* name) {
    if (!name) return kp::programModule();
    std::string file = kp::libraryFileName(name);
    if (file.find('/') == std::string::npos) {
        std::string local = kp::JoinPath(kp::ProgramFolder(), file);
        if (HMODULE found = kp::loadedHandle(local.c_str())) return found;
    }
    return kp::loadedHandle(file.c_str());
}

void* GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        auto ordinal = static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(name));
        const char* bound = nullptr;
        kp::ForEachResourceTable(
            module, kp::ResourceKind::Ordinals, [&](const kp::ResourceTable& t) {
                const auto* exports = static_cast<const kp::OrdinalExport*>(t.table);
                for (std::size_t i = 0; i < t.count; ++i)
                    if (exports[i].ordinal == ordinal) {
                        bound = exports[i].name;
                        return true;
                    }
                return false;
            });
        if (!bound) return nullptr;
        name = bound;
    }
    void* symbol = dlsym(module, name);
    // dlsym also searches the module's dependencies; an export belongs to the module itself.
    if (symbol && kp::baseOfAddress(symbol) != kp::baseOfModule(module)) return nullptr;
    return symbol;
}

DWORD GetModuleFileName(HMODULE module, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string path = kp::ModulePath(module);
    if (path.empty()) {
        buffer[0] = 0;
        return 0;
    }
    std::size_t n = std::min<std::size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return static_cast<DWORD>(n);
}

int LoadString(HMODULE module, UINT id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    const char* text = kp::FindString(module, id);
    if (!text) {
        buffer[0] = 0;
        return 0;
    }
    std::size_t n = std::min<std::size_t>(std::strlen(text), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    return static_cast<int>(n);
}
