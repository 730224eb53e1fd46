#include "kestra/driver.h"

#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "kestra/paged_offset.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "utilities/folders.h"

namespace kestra::host {

namespace {

constexpr std::size_t kPanelHeaderSize = 28;
constexpr std::size_t kTitleBlockOffset = 28;
constexpr std::size_t kChecksumOffsetAt = 25;
constexpr std::size_t kChecksumBlock = 256;

template <typename F>
void Bind(HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(GetProcAddress(module, name));
}

std::string InstalledDrivers(const CPlcInfoList& list) {
    std::string names;
    for (int i = 0; i < list.GetCount(); ++i) {
        const CPlcInfo* info = list.GetAt(i);
        names += (names.empty() ? "" : ", ") + info->m_strDllName + " (project code " +
                 std::to_string(info->m_nProjectCode) + ")";
    }
    return names.empty() ? "none" : names;
}

}  // namespace

Driver::~Driver() = default;
Driver::Driver(Driver&&) noexcept = default;

Driver Driver::ForProjectCode(BYTE projectCode, WORD plcType, const std::string& what) {
    CPlcInfoList list(kDriverListRegistryWord);
    list.Load(FALSE);
    const CPlcInfo* info = list.FindVersion(projectCode);
    if (!info)
        Fail(kExitNoDriver,
             what + ": no installed PLC driver serves project code " + std::to_string(projectCode) +
                 " (PLC type " + std::to_string(plcType) + "); installed: " +
                 InstalledDrivers(list) + ". Install the project's driver in the program folder.");
    return ForEntry(*info, what);
}

Driver Driver::ForEntry(const CPlcInfo& info, const std::string& what) {
    Driver driver;
    driver.loader_ = std::make_unique<KXCPlcDriver>();
    driver.name_ = info.m_strDriverName;
    driver.library_ = info.m_strDllName;
    const std::string path = info.m_strPath + info.m_strDllName;
    driver.loader_->LoadDriver(path);
    if (!driver.loader_->IsValid())
        Fail(kExitDriverFailed, what + ": the PLC driver " + path + " cannot be loaded");
    HMODULE module = driver.loader_->GetHandle();
    Bind(module, "GetProject", driver.getProject_);
    Bind(module, "SaveProject", driver.saveProject_);
    Bind(module, "SizeofProject", driver.sizeofProject_);
    Bind(module, "PlcPrint", driver.plcPrint_);
    if (!driver.getProject_ || !driver.saveProject_ || !driver.sizeofProject_ || !driver.plcPrint_)
        Fail(kExitDriverFailed, what + ": the PLC driver " + path +
                                    " lacks GetProject, SaveProject, SizeofProject or PlcPrint");
    return driver;
}

Bytes Driver::buildPanelImage(const std::string& what, const LoadedProject& project) {
    HGLOBAL image = 0;
    TakeMessageBoxes();
    const DWORD size = saveProject_(static_cast<std::uintptr_t>(project.handle), 0, &image);
    if (size == 0 || !image)
        Fail(kExitDriverFailed, what + ": the driver " + library_ +
                                    " cannot build the panel image" + LibraryMessages());
    return TakeGlobal(image, size);
}

LoadedProject Driver::readPanelImage(const std::string& what, std::span<const std::uint8_t> image,
                                     ExitCode code) {
    const std::size_t total = PanelImageTotalSize(image);
    if (total == 0 || total != image.size())
        Fail(code, what + ": not a panel image of " + std::to_string(image.size()) +
                       " bytes (its header says " + std::to_string(total) + ")");
    HGLOBAL copy = GlobalCopyOf(image);
    if (!copy) Fail(kExitInternal, what + ": no memory for the image");
    DWORD size = 0;
    {
        GlobalLockGuard lock(copy);
        size = sizeofProject_(lock.data());
    }
    TakeMessageBoxes();
    HGLOBAL project = size ? getProject_(static_cast<std::uintptr_t>(copy), 0) : 0;
    GlobalFree(copy);
    if (size + size / kChecksumBlock != image.size())
        Fail(code, what + ": SizeofProject gives " + std::to_string(size) +
                       " bytes for an image of " + std::to_string(image.size()));
    if (!project)
        Fail(code, what + ": the driver " + library_ +
                       " cannot read the panel image back (damaged, or its checksums do not "
                       "match)" +
                       LibraryMessages());
    return {project};
}

std::size_t PanelImageTotalSize(std::span<const std::uint8_t> image) {
    if (image.size() < kPanelHeaderSize || ReadLe16(image.data()) != kTitleBlockOffset) return 0;
    const auto padded = RecordAt<PagedOffset>(image.data() + kChecksumOffsetAt).decode();
    if (!padded || *padded == 0 || *padded % kChecksumBlock != 0) return 0;
    return *padded + *padded / kChecksumBlock;
}

std::string FieldTypeName(HMODULE module, unsigned type) {
    constexpr UINT kFieldTypeNames = 100;
    char name[64] = "";
    if (module && type < 0x100 && LoadString(module, kFieldTypeNames + type, name, sizeof name) > 0)
        return name;
    return "field type " + std::to_string(type);
}

uPLCSETUP FieldPlcSetup(const ProjectBlock& project, const FieldRecord& field) {
    uPLCSETUP node{};
    if (project.record.onNetwork &&
        ExpGetNetNodeData(&project.ext.nodeB, TRUE, field.plc.networkNode, &node))
        return node;
    return project.record.nodeA;
}

}  // namespace kestra::host
