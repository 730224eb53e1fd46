// KXCPlcDriver: one object through which a caller talks to the PLC driver library of the
// current project.
//
// It loads driver libraries by path, keeps every library it has loaded for later reuse (until
// FreeDrivers), makes one of them current, and forwards each driver operation to the export of
// the same purpose in the current library, looked up by name at every call. Without a current
// library, or when the library lacks the export, an operation does nothing and answers as
// noted beside it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "kestra/plc_records.h"
#include "kestra/project.h"
#include "platform/win_types.h"

class CPlcInfo;
struct _tagDEFIELD;

using kestra::sDISPFORMAT;
using kestra::sTARGSETUP;
using kestra::tagFIELDREC;
using kestra::uPLCADR;
using kestra::uPLCSETUP;

// Which scale factor a scale-factor conversion means: 0 A, 1 B, 2 C, 3 reset.
using eSCALETYPE = DWORD;
// What a limit conversion does: 0 parse, 1 maximum default, 2 minimum default.
using eCONSTRACTION = DWORD;
// The PLC setup block with network information; begins like uPLCSETUP.
using sSETUPNETINFO = void;
// The editor's callbacks for AttachPLCFieldDialog: the first makes the page from the
// driver's template with the driver's page procedure and the field dialog context as its
// creation parameter, exactly as the driver calls it.
using PLCPAGEPROC = std::intptr_t (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
using PLCPAGECALLBACK = std::uintptr_t (*)(HINSTANCE module, const char* templateName, HWND parent,
                                           PLCPAGEPROC procedure, LPARAM context, DWORD value);
using PLCPAGECALLBACK2 = void*;

// Exports of the driver interface that the S5 driver (plc_s5/k32plc1.h, which declares the
// others) does not have; a driver that offers one defines it with exactly this type.
using PFNINITFIELDCONTROLS = BOOL (*)(HWND dialog, _tagDEFIELD* context, DWORD refresh);
using PFNSETPROJECTDATA = BOOL (*)(DWORD kind, LONG value);
using PFNCANCLOSEDIALOG = BOOL (*)(_tagDEFIELD* context);
using PFNINITFORTH = BOOL (*)(const char* text);

class KXCPlcDriver {
  public:
    static constexpr const char* kSysVarDriver = "K32KPANEL.so";
    static constexpr const char* kInternalDriver = "K32PLC089.so";
    static constexpr const char* kForthDriver = "K32PLC108.so";

    explicit KXCPlcDriver(HINSTANCE current = nullptr);
    KXCPlcDriver(const KXCPlcDriver& other);
    KXCPlcDriver& operator=(const KXCPlcDriver& other);
    // Forgets the maps and the stored setup; libraries stay loaded.
    ~KXCPlcDriver();

    // Binding and state.
    // 1 when the path was loaded now or before (check IsValid: a failed load is remembered
    // too); 0 for an empty path. A bare file name is searched like LoadLibrary does.
    int LoadDriver(const std::string& path);
    // LoadDriver of the entry's library file name; 0 without one.
    int LoadDriver(const CPlcInfo* info);
    // Search K32KPANEL.so, K32PLC089.so, K32PLC108.so along the search path and load the
    // file found; 0 when there is none.
    int LoadSysVarDriver();
    int LoadInternalDriver();
    int LoadForthDriver();
    int SetDriver(HINSTANCE module);
    HINSTANCE GetHandle() const { return m_hDriver; }
    int IsValid() const { return m_hDriver != nullptr ? 1 : 0; }
    // Unloads every library loaded through this object and forgets them.
    void FreeDrivers();

    int SetPlcSetup(const uPLCSETUP* setup);
    int GetPlcSetup(uPLCSETUP* setup) const;
    uPLCSETUP* GetPlcSetupPtr() const { return m_pPlcSetup.get(); }

    bool GetDriverName(std::string& name) const;
    bool GetDLLName(std::string& name) const;
    int IsInternalDriver() const;
    int IsForthDriver() const;
    int SupportsPropPages() const;

    // Forwarded operations; the answer without a library or export follows each.
    int InitPlcDefaults(sTARGSETUP* project, uPLCSETUP* network, uPLCSETUP* setup,
                        tagFIELDREC* field, WORD mode);  // 0
    int AttachPLCFieldDialog(_tagDEFIELD* context, PLCPAGECALLBACK create, PLCPAGECALLBACK2 second,
                             DWORD value);  // 0; 1
    void ConvertString2MaxMin(sDISPFORMAT* display, DWORD* value, char* text, uPLCADR* ref,
                              eCONSTRACTION mode);
    void ConvertMaxMin2String(sDISPFORMAT* display, DWORD value, char* text, uPLCADR* ref);
    void ConvertString2ScaleFac(eSCALETYPE which, sDISPFORMAT* display, DWORD* value, char* text,
                                uPLCADR* ref);
    void ConvertScaleFac2String(eSCALETYPE which, sDISPFORMAT* display, DWORD value, char* text,
                                uPLCADR* ref);
    int IsFormatSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref, WORD fieldClass,
                          BOOL filter);  // 0
    int IsReadWriteSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref,
                             WORD fieldClass);  // 0
    int IsNumericBaseSupported(uPLCSETUP* setup, WORD fieldType, WORD base, uPLCADR* ref,
                               WORD fieldClass);  // 0
    int IsSignedUnsignedSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref, WORD base,
                                  WORD fieldClass);  // 0
    int IsFixedPointSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref, WORD base,
                              WORD fieldClass);  // 0
    int IsScalingSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref,
                           WORD fieldClass);  // 0
    void ValidateMaxMin(sDISPFORMAT* display, DWORD* minimum, DWORD* maximum, uPLCADR* ref,
                        BOOL reset, BOOL keepMaximum);
    void ResetDataFormat(uPLCADR* ref, uPLCSETUP* setup, sDISPFORMAT* display, WORD fieldClass);
    int GetModelName(sSETUPNETINFO* setup, WORD slaveAddress, char* buffer, int size);  // 0
    int GetModelIDandNameArrays(uPLCSETUP* setup, int* ids, char* names);               // 0
    int GetDataFormat(WORD& format, uPLCADR* ref);                                      // 0; 1
    int SetDataFormat(WORD format, uPLCADR* ref);                                       // 0
    int SetLogicalTag(char* text, uPLCSETUP* setup, uPLCADR* ref);                      // 0
    int GetLogicalAddress(char* text, uPLCSETUP* setup, uPLCADR* ref);                  // 0
    int InitFieldControls(HWND dialog, _tagDEFIELD* context, WORD refresh);             // 0
    int IsValidAddressAndDataFormat(_tagDEFIELD* context, uPLCADR* ref, WORD format);   // 0
    int GetDataFormatStringFromId(WORD id, std::string& name);                          // 0
    int GetPreferredDataFormat(WORD& format, uPLCSETUP* setup, uPLCADR* ref);           // 0; 1
    int SetPLCModel(int model, uPLCSETUP* setup);                                       // 0
    int IsASCIIDataFormat(uPLCADR* ref);                                                // 0
    int SetProjectData(int kind, long value);                                           // 0
    int CanCloseDialog(_tagDEFIELD* context);                                           // 1
    int InitForth(const std::string& text);                                             // 0

    // Composite operations.
    // The identifier of a data format name, through the name cache; 1 after asking the
    // driver (id 0 when it does not know the name), 0 without a library or export.
    int GetDataFormatIdFromString(WORD& id, const std::string& name);
    DWORD ValidateScaleFac(eSCALETYPE which, sDISPFORMAT* display, DWORD value, uPLCADR* ref);
    int SetTagAndDataFormat(const std::string& tag, WORD format, uPLCSETUP* setup, uPLCADR* ref);
    int SetTagAndDataFormat(const std::string& tag, const std::string& formatName, uPLCSETUP* setup,
                            uPLCADR* ref);

    // What has been loaded, by path (a failed load has a null handle).
    const std::map<std::string, HINSTANCE>& LoadedDrivers() const { return m_mapDrivers; }

  private:
    void* bind(const char* exportName) const;
    int loadFound(const char* fileName);

    HINSTANCE m_hDriver = nullptr;
    std::map<std::string, HINSTANCE> m_mapDrivers;
    std::map<std::string, WORD> m_mapFormatNames;
    std::unique_ptr<uPLCSETUP> m_pPlcSetup;
};
