#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "extension_classes/plc_info.h"
#include "extension_classes/registry.h"
#include "platform/files.h"
#include "platform/module.h"

namespace {

// Value names of the registry copy, in the order they are written.
constexpr const char* kDriverName = "Driver_Name";
constexpr const char* kFirmwareVer = "Firmware_Ver";
constexpr const char* kProjectCode = "Project_Code";
constexpr const char* kDllVer = "DLL_Ver";
constexpr const char* kFullPath = "FullPath";
constexpr const char* kCompatibility = "Compatibility";

struct RegistryItem {
    const char* name;
    std::string CPlcInfo::*text;  // null for the two numbers
};
// The five items of the 16-bit form, each a sub-key whose default value holds its text.
constexpr RegistryItem kItems16[] = {
    {kFirmwareVer, nullptr},
    {kProjectCode, nullptr},
    {kDllVer, &CPlcInfo::m_strDllVersion},
    {kFullPath, &CPlcInfo::m_strPath},
    {kCompatibility, &CPlcInfo::m_strCompatibility},
};

std::string codeText(BYTE code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%d", code);
    return buffer;
}

BYTE codeOf(const std::string& text) {
    return static_cast<BYTE>(std::atoi(text.c_str()));
}

std::string itemText(const CPlcInfo& info, const RegistryItem& item) {
    if (item.text) return info.*item.text;
    return std::string_view(item.name) == kProjectCode ? codeText(info.m_nProjectCode)
                                                       : info.GetVersionStr();
}

// Whether the entry's library lies in `folder`. Every program folder (an installed copy, a build
// tree) shares the user's registry store, so a copy may have been written by another folder's
// programs, or name a library that has since gone.
bool installedIn(const CPlcInfo& info, const std::string& folder) {
    namespace fs = std::filesystem;
    if (info.m_strPath.empty() || info.m_strDllName.empty()) return false;
    std::error_code error;
    const fs::path library =
        fs::path(kestra::platform::ToNativePath(info.m_strPath)) / info.m_strDllName;
    return fs::is_regular_file(library, error) &&
           fs::equivalent(library.parent_path(), folder, error);
}

}  // namespace

CPlcInfoList::CPlcInfoList(const std::string& registryWord)
    : m_strRoot("Software\\" + registryWord + "PLC Drivers") {}

CPlcInfoList::~CPlcInfoList() = default;

std::string CPlcInfoList::GetScanFolder() const {
    return m_strScanFolder.empty() ? kestra::platform::ProgramFolder() : m_strScanFolder;
}

CPlcInfo* CPlcInfoList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

void CPlcInfoList::DeleteAll() {
    m_items.clear();
}

int CPlcInfoList::Load(BOOL rescan) {
    if (!rescan && readRegistry32()) {
        hideFirstClient();
        return 1;
    }
    if (!scanDisk()) return 0;
    writeRegistry32();
    hideFirstClient();
    return 1;
}

int CPlcInfoList::Load16(BOOL rescan) {
    if (!rescan && readRegistry16()) {
        hideFirstClient();
        return 1;
    }
    if (!scanDisk()) return 0;
    writeRegistry16();
    hideFirstClient();
    return 1;
}

bool CPlcInfoList::takeCopy(std::vector<std::unique_ptr<CPlcInfo>> entries) {
    DeleteAll();
    const std::string folder = GetScanFolder();
    const bool current = std::all_of(entries.begin(), entries.end(),
                                     [&](const auto& info) { return installedIn(*info, folder); });
    if (!current) return false;
    for (auto& info : entries)
        if (!m_bHideClient || info->m_nProjectCode != kPlcCodeClient)
            m_items.push_back(std::move(info));
    return !m_items.empty();
}

bool CPlcInfoList::readRegistry32() {
    KXCRegistry registry;
    if (!registry.KeyExists(KXCHive::LocalMachine, m_strRoot)) return false;
    std::vector<std::unique_ptr<CPlcInfo>> entries;
    for (const std::string& name : registry.EnumKeys(KXCHive::LocalMachine, m_strRoot)) {
        const std::string key = m_strRoot + "\\" + name;
        auto text = [&](const char* value) {
            return registry.QueryString(KXCHive::LocalMachine, key, value).value_or("");
        };
        auto info = std::make_unique<CPlcInfo>();
        info->m_strDllName = name;
        info->m_nProjectCode = codeOf(text(kProjectCode));
        info->SetVersion(text(kFirmwareVer).c_str(), info->m_nProjectCode);
        info->m_strDriverName = text(kDriverName);
        info->m_strDllVersion = text(kDllVer);
        info->m_strPath = text(kFullPath);
        info->m_strCompatibility = text(kCompatibility);
        entries.push_back(std::move(info));
    }
    return takeCopy(std::move(entries));
}

bool CPlcInfoList::readRegistry16() {
    KXCRegistry registry;
    if (!registry.KeyExists(KXCHive::ClassesRoot, kRegistry16Root)) return false;
    std::vector<std::unique_ptr<CPlcInfo>> entries;
    for (const std::string& name : registry.EnumKeys(KXCHive::ClassesRoot, kRegistry16Root)) {
        const std::string key = std::string(kRegistry16Root) + "\\" + name;
        auto item = [&](const char* sub) {
            return registry.QueryString(KXCHive::ClassesRoot, key + "\\" + sub, "").value_or("");
        };
        auto info = std::make_unique<CPlcInfo>();
        info->m_strDllName = name;
        info->m_strDriverName = registry.QueryString(KXCHive::ClassesRoot, key, "").value_or("");
        info->m_nProjectCode = codeOf(item(kProjectCode));
        info->SetVersion(item(kFirmwareVer).c_str(), info->m_nProjectCode);
        for (const auto& entry : kItems16)
            if (entry.text) (*info).*entry.text = item(entry.name);
        entries.push_back(std::move(info));
    }
    return takeCopy(std::move(entries));
}

bool CPlcInfoList::scanDisk() {
    DeleteAll();
    const std::string folder = GetScanFolder();
    for (const std::string& file : kestra::platform::MatchingEntries(folder, kDriverPattern)) {
        const std::string path = kestra::platform::JoinPath(folder, file);
        HMODULE module = LoadLibrary(path.c_str());
        if (!module) continue;
        auto info = std::make_unique<CPlcInfo>();
        info->CreateIndirect(module);
        FreeLibrary(module);
        m_items.push_back(std::move(info));
    }
    return !m_items.empty();
}

void CPlcInfoList::writeRegistry32() const {
    KXCRegistry registry;
    registry.DeleteKey(KXCHive::LocalMachine, m_strRoot);
    registry.CreateKey(KXCHive::LocalMachine, m_strRoot);
    for (const auto& info : m_items) {
        const std::string key = m_strRoot + "\\" + info->m_strDllName;
        if (!registry.CreateKey(KXCHive::LocalMachine, key)) continue;
        registry.SetString(KXCHive::LocalMachine, key, kDriverName, info->m_strDriverName);
        for (const auto& item : kItems16)
            registry.SetString(KXCHive::LocalMachine, key, item.name, itemText(*info, item));
    }
}

void CPlcInfoList::writeRegistry16() const {
    KXCRegistry registry;
    registry.DeleteKey(KXCHive::ClassesRoot, kRegistry16Root);
    registry.CreateKey(KXCHive::ClassesRoot, kRegistry16Root);
    for (const auto& info : m_items) {
        const std::string key = std::string(kRegistry16Root) + "\\" + info->m_strDllName;
        if (!registry.CreateKey(KXCHive::ClassesRoot, key)) continue;
        registry.SetString(KXCHive::ClassesRoot, key, "", info->m_strDriverName);
        for (const auto& item : kItems16) {
            const std::string sub = key + "\\" + item.name;
            if (!registry.CreateKey(KXCHive::ClassesRoot, sub)) continue;
            registry.SetString(KXCHive::ClassesRoot, sub, "", itemText(*info, item));
        }
    }
}

void CPlcInfoList::hideFirstClient() {
    if (!m_bHideClient) return;
    auto client = std::find_if(m_items.begin(), m_items.end(), [](const auto& info) {
        return info->m_nProjectCode == kPlcCodeClient;
    });
    if (client != m_items.end()) m_items.erase(client);
}

CPlcInfo* CPlcInfoList::FindVersion(BYTE code) const {
    auto found = std::find_if(m_items.begin(), m_items.end(),
                              [&](const auto& info) { return info->m_nProjectCode == code; });
    return found == m_items.end() ? nullptr : found->get();
}

CPlcInfo* CPlcInfoList::FindDLL(const std::string& name) const {
    auto found = std::find_if(m_items.begin(), m_items.end(),
                              [&](const auto& info) { return info->m_strDllName == name; });
    return found == m_items.end() ? nullptr : found->get();
}

int CPlcInfoList::DeleteItem(CPlcInfo* entry, BOOL fromDisk) {
    if (!entry) return 0;
    const std::string dllName = entry->m_strDllName;
    int result = 0;
    {
        KXCRegistry registry;
        result = registry.DeleteKey(KXCHive::LocalMachine, m_strRoot + "\\" + dllName) ? 1 : 0;
    }
    if (fromDisk && !entry->m_strPath.empty()) {
        const std::string file = kestra::platform::ToNativePath(entry->m_strPath + dllName);
        if (std::remove(file.c_str()) == 0) result = 0;
    }
    auto found = std::find_if(m_items.begin(), m_items.end(),
                              [&](const auto& info) { return info->m_strDllName == dllName; });
    if (found != m_items.end()) m_items.erase(found);
    return result;
}
