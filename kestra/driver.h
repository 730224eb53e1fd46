// The PLC driver of a project, found as the project editor finds it: the list of installed
// drivers (CPlcInfoList, by the project code of the project record) and the driver loader
// (KXCPlcDriver), whose library then serves the exports the loader does not forward.
#pragma once

#include <memory>
#include <string>

#include "kestra/host.h"
#include "plc_s5/k32plc1.h"

class CPlcInfo;
class KXCPlcDriver;

namespace kestra::host {

class Driver {
  public:
    // The driver for a project code; kExitNoDriver when no installed driver serves it,
    // kExitDriverFailed when its library cannot be loaded or lacks an export. `what` names
    // the project in messages.
    static Driver ForProjectCode(BYTE projectCode, WORD plcType, const std::string& what);
    // The driver of an entry of the list (as "Select controller" hands one over);
    // kExitDriverFailed when its library cannot be loaded or lacks an export.
    static Driver ForEntry(const CPlcInfo& info, const std::string& what);
    ~Driver();
    Driver(Driver&&) noexcept;

    const std::string& name() const { return name_; }        // "Simatic S5 - Old"
    const std::string& library() const { return library_; }  // "K32PLC1.so"
    KXCPlcDriver& loader() { return *loader_; }

    // The panel (type 1) image of a project, by the driver's SaveProject.
    Bytes buildPanelImage(const std::string& what, const LoadedProject& project);
    // Reads a panel image back as the panel's loader would: SizeofProject for its size and
    // GetProject for its contents; kExitDriverFailed (`code`) with the reason when it fails.
    LoadedProject readPanelImage(const std::string& what, std::span<const std::uint8_t> image,
                                 ExitCode code = kExitDriverFailed);
    DWORD print(PLCPRINTREQUEST& request) { return plcPrint_(&request); }

  private:
    Driver() = default;

    std::unique_ptr<KXCPlcDriver> loader_;
    std::string name_, library_;
    decltype(&::GetProject) getProject_ = nullptr;
    decltype(&::SaveProject) saveProject_ = nullptr;
    decltype(&::SizeofProject) sizeofProject_ = nullptr;
    decltype(&::PlcPrint) plcPrint_ = nullptr;
};

// The PLC setup block of a field's PLC, as the driver's exports take it: on a PLC network the
// node of the active network folder whose key the field's reference names, otherwise (or when
// there is no such node) node A of the project record.
uPLCSETUP FieldPlcSetup(const ProjectBlock& project, const FieldRecord& field);

// The field types a driver names (its strings 100 + type: "NUMERIC", "MESSAGE", ...).
inline constexpr unsigned kFieldTypeCount = 7;
// A field type's name as the driver of `module` calls it; "field type N" when it has none.
std::string FieldTypeName(HMODULE module, unsigned type);

// The registry word the suite's programs give the list of installed drivers.
inline constexpr const char* kDriverListRegistryWord = "TarvelFabricon\\";

// The project code (project record offset 81) a panel image of that driver carries.
inline constexpr BYTE kPanelImageProjectCode = 1;

// A panel image's size from its header (what SizeofProject reads) plus its checksum bytes;
// 0 when the bytes cannot be a panel image.
std::size_t PanelImageTotalSize(std::span<const std::uint8_t> image);

}  // namespace kestra::host
