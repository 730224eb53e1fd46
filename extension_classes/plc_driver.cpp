#include "extension_classes/plc_driver.h"

#include <cstring>

#include "extension_classes/plc_info.h"
#include "platform/files.h"
#include "platform/module.h"
#include "plc_s5/k32plc1.h"

namespace {

constexpr int kNameBuffer = 255;
constexpr int kTagBuffer = 50;
constexpr UINT kDriverNameString = 2;

}  // namespace

KXCPlcDriver::KXCPlcDriver(HINSTANCE current) : m_hDriver(current) {}

KXCPlcDriver::KXCPlcDriver(const KXCPlcDriver& other)
    : m_hDriver(other.m_hDriver),
      m_mapDrivers(other.m_mapDrivers),
      m_mapFormatNames(other.m_mapFormatNames),
      m_pPlcSetup(other.m_pPlcSetup ? std::make_unique<uPLCSETUP>(*other.m_pPlcSetup) : nullptr) {}

KXCPlcDriver& KXCPlcDriver::operator=(const KXCPlcDriver& other) {
    if (this == &other) return *this;
    m_hDriver = other.m_hDriver;
    m_mapDrivers = other.m_mapDrivers;
    m_mapFormatNames = other.m_mapFormatNames;
    m_pPlcSetup = other.m_pPlcSetup ? std::make_unique<uPLCSETUP>(*other.m_pPlcSetup) : nullptr;
    return *this;
}

KXCPlcDriver::~KXCPlcDriver() = default;

void* KXCPlcDriver::bind(const char* exportName) const {
    return m_hDriver ? GetProcAddress(m_hDriver, exportName) : nullptr;
}

int KXCPlcDriver::LoadDriver(const std::string& path) {
    m_mapFormatNames.clear();
    if (auto known = m_mapDrivers.find(path); known != m_mapDrivers.end()) {
        m_hDriver = known->second;
        return 1;
    }
    if (path.empty()) {
        m_hDriver = nullptr;
        return 0;
    }
    m_hDriver = LoadLibrary(path.c_str());
    m_mapDrivers[path] = m_hDriver;
    return 1;
}

int KXCPlcDriver::LoadDriver(const CPlcInfo* info) {
    if (!info || info->m_strDllName.empty()) return 0;
    return LoadDriver(info->m_strDllName);
}

int KXCPlcDriver::loadFound(const char* fileName) {
    m_mapFormatNames.clear();
    auto found = kestra::platform::SearchPath(fileName);
    if (!found) return 0;
    return LoadDriver(*found);
}

int KXCPlcDriver::LoadSysVarDriver() {
    return loadFound(kSysVarDriver);
}

int KXCPlcDriver::LoadInternalDriver() {
    return loadFound(kInternalDriver);
}

int KXCPlcDriver::LoadForthDriver() {
    return loadFound(kForthDriver);
}

int KXCPlcDriver::SetDriver(HINSTANCE module) {
    m_mapFormatNames.clear();
    m_hDriver = module;
    return 1;
}

void KXCPlcDriver::FreeDrivers() {
    m_mapFormatNames.clear();
    for (auto& [path, module] : m_mapDrivers)
        if (module) FreeLibrary(module);
    m_mapDrivers.clear();
}

int KXCPlcDriver::SetPlcSetup(const uPLCSETUP* setup) {
    if (!setup) return 0;
    if (!m_pPlcSetup) m_pPlcSetup = std::make_unique<uPLCSETUP>();
    std::memcpy(m_pPlcSetup.get(), setup, sizeof(uPLCSETUP));
    return 1;
}

int KXCPlcDriver::GetPlcSetup(uPLCSETUP* setup) const {
    if (!m_pPlcSetup || !setup) return 0;
    std::memcpy(setup, m_pPlcSetup.get(), sizeof(uPLCSETUP));
    return 1;
}

bool KXCPlcDriver::GetDriverName(std::string& name) const {
    if (!m_hDriver) return false;
    char buffer[kNameBuffer] = {};
    LoadString(m_hDriver, kDriverNameString, buffer, kNameBuffer);
    name = buffer;
    return true;
}

bool KXCPlcDriver::GetDLLName(std::string& name) const {
    if (!m_hDriver) return false;
    name = std::string(kestra::platform::FileNamePart(kestra::platform::ModulePath(m_hDriver)));
    return true;
}

int KXCPlcDriver::IsInternalDriver() const {
    if (!m_hDriver) return 0;
    CPlcInfo info;
    info.CreateIndirect(m_hDriver);
    return info.m_nProjectCode == kPlcCodeInternal ? 1 : 0;
}

int KXCPlcDriver::IsForthDriver() const {
    if (!m_hDriver) return 0;
    CPlcInfo info;
    info.CreateIndirect(m_hDriver);
    return info.m_nProjectCode == kPlcCodeForth ? 1 : 0;
}

int KXCPlcDriver::SupportsPropPages() const {
    return bind("AttachPLCFieldDialog") ? 1 : 0;
}

// Forwarded operations. The export is called through exactly its own type, the driver
// interface's declaration of it; FORWARD binds it and returns `missing` without it.
#define FORWARD(exportName, missing)                                         \
    auto* fn = reinterpret_cast<decltype(&::exportName)>(bind(#exportName)); \
    if (!fn) return missing
#define FORWARD_TYPE(exportName, Type, missing)           \
    auto* fn = reinterpret_cast<Type>(bind(#exportName)); \
    if (!fn) return missing

int KXCPlcDriver::InitPlcDefaults(sTARGSETUP* project, uPLCSETUP* network, uPLCSETUP* setup,
                                  tagFIELDREC* field, WORD mode) {
    FORWARD(InitPlcDefaults, 0);
    return fn(project, network, setup, field, mode);
}

int KXCPlcDriver::AttachPLCFieldDialog(_tagDEFIELD* context, PLCPAGECALLBACK create,
                                       PLCPAGECALLBACK2 second, DWORD value) {
    // The export takes the callbacks as plain pointers (plc_s5/k32plc1.h); it is called
    // through exactly its own type.
    FORWARD(AttachPLCFieldDialog, 0);
    fn(context, reinterpret_cast<void*>(create), second, value);
    return 1;
}

void KXCPlcDriver::ConvertString2MaxMin(sDISPFORMAT* display, DWORD* value, char* text,
                                        uPLCADR* ref, eCONSTRACTION mode) {
    FORWARD(ExpConvertString2MaxMin, );
    fn(display, reinterpret_cast<LONG*>(value), text, ref, mode);
}

void KXCPlcDriver::ConvertMaxMin2String(sDISPFORMAT* display, DWORD value, char* text,
                                        uPLCADR* ref) {
    FORWARD(ExpConvertMaxMin2String, );
    fn(display, static_cast<LONG>(value), text, ref);
}

void KXCPlcDriver::ConvertString2ScaleFac(eSCALETYPE which, sDISPFORMAT* display, DWORD* value,
                                          char* text, uPLCADR* ref) {
    FORWARD(ExpConvertString2ScaleFac, );
    fn(which, display, reinterpret_cast<LONG*>(value), text, ref);
}

void KXCPlcDriver::ConvertScaleFac2String(eSCALETYPE which, sDISPFORMAT* display, DWORD value,
                                          char* text, uPLCADR* ref) {
    FORWARD(ExpConvertScaleFac2String, );
    fn(which, display, static_cast<LONG>(value), text, ref);
}

int KXCPlcDriver::IsFormatSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref, WORD fieldClass,
                                    BOOL filter) {
    FORWARD(ExpIsFormatSupported, 0);
    return fn(setup, fieldType, ref, fieldClass, static_cast<DWORD>(filter));
}

int KXCPlcDriver::IsReadWriteSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref,
                                       WORD fieldClass) {
    FORWARD(ExpIsReadWriteSupported, 0);
    return fn(setup, fieldType, ref, fieldClass);
}

int KXCPlcDriver::IsNumericBaseSupported(uPLCSETUP* setup, WORD fieldType, WORD base, uPLCADR* ref,
                                         WORD fieldClass) {
    FORWARD(ExpIsNumericBaseSupported, 0);
    return fn(setup, fieldType, base, ref, fieldClass);
}

int KXCPlcDriver::IsSignedUnsignedSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref,
                                            WORD base, WORD fieldClass) {
    FORWARD(ExpIsSignedUnsignedSupported, 0);
    return fn(reinterpret_cast<std::uintptr_t>(setup), fieldType,
              reinterpret_cast<std::uintptr_t>(ref), base, fieldClass);
}

int KXCPlcDriver::IsFixedPointSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref, WORD base,
                                        WORD fieldClass) {
    FORWARD(ExpIsFixedPointSupported, 0);
    return fn(setup, fieldType, ref, base, fieldClass);
}

int KXCPlcDriver::IsScalingSupported(uPLCSETUP* setup, WORD fieldType, uPLCADR* ref,
                                     WORD fieldClass) {
    FORWARD(ExpIsScalingSupported, 0);
    return fn(setup, fieldType, ref, fieldClass);
}

void KXCPlcDriver::ValidateMaxMin(sDISPFORMAT* display, DWORD* minimum, DWORD* maximum,
                                  uPLCADR* ref, BOOL reset, BOOL keepMaximum) {
    FORWARD(ExpValidateMaxMin, );
    fn(display, reinterpret_cast<LONG*>(minimum), reinterpret_cast<LONG*>(maximum), ref, reset,
       keepMaximum);
}

void KXCPlcDriver::ResetDataFormat(uPLCADR* ref, uPLCSETUP* setup, sDISPFORMAT* display,
                                   WORD fieldClass) {
    // The export's first argument is not used by drivers; it gets 0.
    FORWARD(ExpResetDataFormat, );
    fn(0, ref, setup, display, fieldClass);
}

int KXCPlcDriver::GetModelName(sSETUPNETINFO* setup, WORD slaveAddress, char* buffer, int size) {
    FORWARD(ExpGetModelName, 0);
    return fn(setup, slaveAddress, buffer, size > 0 ? static_cast<DWORD>(size) : 0);
}

int KXCPlcDriver::GetModelIDandNameArrays(uPLCSETUP* setup, int* ids, char* names) {
    FORWARD(ExpGetModelIDandNameArrays, 0);
    return static_cast<int>(fn(setup, reinterpret_cast<DWORD*>(ids), names));
}

int KXCPlcDriver::GetDataFormat(WORD& format, uPLCADR* ref) {
    FORWARD(ExpGetDataFormat, 0);
    format = static_cast<WORD>(fn(ref));
    return 1;
}

int KXCPlcDriver::SetDataFormat(WORD format, uPLCADR* ref) {
    // The export takes the reference first.
    FORWARD(ExpSetDataFormat, 0);
    fn(ref, format);
    return 1;
}

int KXCPlcDriver::SetLogicalTag(char* text, uPLCSETUP* setup, uPLCADR* ref) {
    FORWARD(ExpSetLogicalTag, 0);
    return fn(text, setup, ref);
}

int KXCPlcDriver::GetLogicalAddress(char* text, uPLCSETUP* setup, uPLCADR* ref) {
    FORWARD(ExpGetLogicalTag, 0);
    return fn(text, setup, ref);
}

int KXCPlcDriver::InitFieldControls(HWND dialog, _tagDEFIELD* context, WORD refresh) {
    FORWARD_TYPE(ExpInitFieldControls, PFNINITFIELDCONTROLS, 0);
    return fn(dialog, context, refresh);
}

int KXCPlcDriver::IsValidAddressAndDataFormat(_tagDEFIELD* context, uPLCADR* ref, WORD format) {
    FORWARD(ExpIsValidAddressAndDataFormat, 0);
    return fn(context, ref, format);
}

int KXCPlcDriver::GetDataFormatStringFromId(WORD id, std::string& name) {
    FORWARD(ExpGetDataFormatStringFromId, 0);
    char buffer[kNameBuffer + 1] = {};
    const DWORD result = fn(id, buffer, kNameBuffer);
    buffer[kNameBuffer] = 0;
    name = buffer;
    return static_cast<int>(result);
}

int KXCPlcDriver::GetPreferredDataFormat(WORD& format, uPLCSETUP* setup, uPLCADR* ref) {
    FORWARD(ExpGetPreferredDataFormat, 0);
    format = static_cast<WORD>(fn(setup, ref));
    return 1;
}

int KXCPlcDriver::SetPLCModel(int model, uPLCSETUP* setup) {
    FORWARD(ExpSetPLCModel, 0);
    fn(static_cast<DWORD>(model), setup);
    return 1;
}

int KXCPlcDriver::IsASCIIDataFormat(uPLCADR* ref) {
    FORWARD(ExpIsASCIIDataFormat, 0);
    return fn(ref);
}

int KXCPlcDriver::SetProjectData(int kind, long value) {
    FORWARD_TYPE(ExpSetProjectData, PFNSETPROJECTDATA, 0);
    return fn(static_cast<DWORD>(kind), static_cast<LONG>(value));
}

int KXCPlcDriver::CanCloseDialog(_tagDEFIELD* context) {
    FORWARD_TYPE(ExpCanCloseDialog, PFNCANCLOSEDIALOG, 1);
    return fn(context);
}

int KXCPlcDriver::InitForth(const std::string& text) {
    FORWARD_TYPE(InitForth, PFNINITFORTH, 0);
    return fn(text.empty() ? nullptr : text.c_str());
}

#undef FORWARD_TYPE
#undef FORWARD

int KXCPlcDriver::GetDataFormatIdFromString(WORD& id, const std::string& name) {
    if (!m_hDriver) return 0;
    id = 0;
    if (auto cached = m_mapFormatNames.find(name); cached != m_mapFormatNames.end()) {
        id = cached->second;
        return 1;
    }
    auto* fn = reinterpret_cast<decltype(&::ExpGetDataFormatIdFromString)>(
        bind("ExpGetDataFormatIdFromString"));
    if (!fn) return 0;
    id = static_cast<WORD>(fn(name.c_str()));
    if (id != 0) m_mapFormatNames[name] = id;
    return 1;
}

DWORD KXCPlcDriver::ValidateScaleFac(eSCALETYPE which, sDISPFORMAT* display, DWORD value,
                                     uPLCADR* ref) {
    char text[kNameBuffer + 1] = {};
    ConvertScaleFac2String(which, display, value, text, ref);
    text[kNameBuffer] = 0;
    DWORD result = value;
    ConvertString2ScaleFac(which, display, &result, text, ref);
    return result;
}

int KXCPlcDriver::SetTagAndDataFormat(const std::string& tag, WORD format, uPLCSETUP* setup,
                                      uPLCADR* ref) {
    if (!m_hDriver) return 0;
    SetDataFormat(format, ref);
    const bool ascii = IsASCIIDataFormat(ref) != 0;
    char text[kTagBuffer] = {};
    std::strncpy(text, tag.c_str(), kTagBuffer - 1);
    const int result = SetLogicalTag(text, setup, ref);
    if (ascii) SetDataFormat(format, ref);
    return result;
}

int KXCPlcDriver::SetTagAndDataFormat(const std::string& tag, const std::string& formatName,
                                      uPLCSETUP* setup, uPLCADR* ref) {
    WORD format = 0;
    GetDataFormatIdFromString(format, formatName);
    if (format == 0) GetPreferredDataFormat(format, setup, ref);
    return SetTagAndDataFormat(tag, format, setup, ref);
}
