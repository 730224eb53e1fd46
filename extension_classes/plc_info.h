// The installed PLC driver libraries: CPlcInfo describes one, CPlcInfoList keeps them all.
//
// A driver library describes itself in four string resources: 1 the firmware version text
// ("major.minor" or "type.major.minor"), 2 the driver name, 3 the library version ("1.00"
// when missing), 4 the compatibility text. The list gathers the descriptions of every
// "K32PLC*.so" in the program folder and keeps a copy of them in the registry store
// (registry.h), so that later starts need not load every library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"

// Project codes of the special drivers.
inline constexpr BYTE kPlcCodeClient = 2;
inline constexpr BYTE kPlcCodeInternal = 107;  // 'k'
inline constexpr BYTE kPlcCodeForth = 126;     // '~'

class CPlcInfo {
  public:
    CPlcInfo() = default;
    CPlcInfo(const CPlcInfo&) = default;
    CPlcInfo& operator=(const CPlcInfo&) = default;

    // Fills the entry from a loaded driver library: file name and folder from the module's
    // path, then the four description strings. Returns 1.
    int CreateIndirect(HINSTANCE module);
    // Reads string 1: "a.b" or "x.a.b" give code = a, version = (a << 8) | (b & 255), and
    // true. Without string 1 nothing is stored; with another form both become 0; false then.
    static bool GetVersionInfo(HINSTANCE module, WORD* version, BYTE* code);
    // "a.b": version = (a << 8) | b when code is 1, else ((a << 4) | (b & 15)) & 255.
    void SetVersion(const char* text, BYTE code);
    // "%d.%02d": 1 and the low byte's low four bits when the high byte is 1; else the low
    // byte's high and low four bits.
    void GetVersionStr(std::string& text) const;
    std::string GetVersionStr() const;
    const std::string& GetCompatibility() const { return m_strCompatibility; }

    BYTE m_nProjectCode = 0;
    WORD m_wVersion = 0;          // firmware version, in one of the two encodings
    std::string m_strDllName;     // library file name with extension, no folder
    std::string m_strDriverName;  // display name
    std::string m_strDllVersion;  // library version text
    std::string m_strPath;        // folder of the library, ending with "/"
    std::string m_strCompatibility;
};

class CPlcInfoList {
  public:
    static constexpr const char* kRegistry16Root = "TarvelFabricon\\PLCDrivers";
    static constexpr const char* kDriverPattern = "K32PLC*.so";

    // Registry root "Software\\" + word + "PLC Drivers" under the local-machine hive (for
    // example the word "TarvelFabricon\\"); hide-client on; empty.
    explicit CPlcInfoList(const std::string& registryWord);
    ~CPlcInfoList();
    CPlcInfoList(const CPlcInfoList&) = delete;
    CPlcInfoList& operator=(const CPlcInfoList&) = delete;

    // hide-client = !insert: while hidden, loading drops the first entry of project code 2.
    void InsertClientInfo(BOOL insert) { m_bHideClient = !insert; }

    // From the registry copy (unless rescan), else from a scan of the program folder, which
    // then rewrites the copy. A copy that names a library outside the program folder, or one
    // that is no longer there, is out of date and scanned again likewise. 1 when the list was
    // filled, 0 when nothing gave a driver.
    int Load(BOOL rescan = FALSE);
    // The same with the 16-bit registry copy under the classes-root hive.
    int Load16(BOOL rescan = FALSE);

    // The first entry of that project code, or null.
    CPlcInfo* FindVersion(BYTE code) const;
    // The first entry whose library file name equals the name exactly (case counts), or null.
    CPlcInfo* FindDLL(const std::string& name) const;
    // Removes the entry's key from the registry copy, with fromDisk also deletes the library
    // file, and removes the first entry of that file name from the list (destroying it).
    // Result: whether the registry key was deleted; 0 when the file was deleted as well.
    int DeleteItem(CPlcInfo* entry, BOOL fromDisk);
    void DeleteAll();

    int GetCount() const { return static_cast<int>(m_items.size()); }
    // The entry at that position in load order, or null.
    CPlcInfo* GetAt(int index) const;
    const std::string& GetRegistryRoot() const { return m_strRoot; }

    // The folder the disk scan searches; the program folder unless set (empty resets).
    void SetScanFolder(const std::string& folder) { m_strScanFolder = folder; }
    std::string GetScanFolder() const;

  private:
    bool readRegistry32();
    bool readRegistry16();
    // Takes the entries read from a copy when every one names a library in the scan folder
    // (hidden clients passed over); false when the copy is out of date or gave nothing.
    bool takeCopy(std::vector<std::unique_ptr<CPlcInfo>> entries);
    bool scanDisk();
    void writeRegistry32() const;
    void writeRegistry16() const;
    void hideFirstClient();

    std::string m_strRoot;
    std::string m_strScanFolder;
    bool m_bHideClient = true;
    std::vector<std::unique_ptr<CPlcInfo>> m_items;
};
