#include "keyboard_editor/down_mgr.h"

#include <fstream>

#include "card_service/kes_ssfdc_device.h"
#include "devices/card_reader.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace {

// The name that a keyboard ROM image carries (after its length byte at 12).
std::string ImageName(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    char head[13] = {};
    if (!in.read(head, sizeof head)) return {};
    std::string name(static_cast<unsigned char>(head[12]), '\0');
    if (!in.read(name.data(), static_cast<std::streamsize>(name.size()))) return {};
    return name;
}

}  // namespace

CDownMgr::CDownMgr() = default;

CDownMgr::~CDownMgr() {
    Wait();
}

void CDownMgr::Init() {
    std::lock_guard lock(m_mutex);
    m_device = std::make_unique<CKesSSFDCDevice>((kestra::platform::ProgramFolder() + "/").c_str());
    if (m_port == 0) {
        const auto settings = kestra::platform::ReadCardReaderSettings();
        m_port = settings ? settings->simPort : 0x378;
    }
}

std::string CDownMgr::LastReport() const {
    std::lock_guard lock(m_mutex);
    return m_lastReport;
}

bool CDownMgr::Run(const std::function<void(CKesSSFDCDevice&)>& operation, bool show) {
    std::string report;
    {
        std::lock_guard lock(m_mutex);
        if (!m_device) {
            m_lastReport = "The download manager is not initialised.";
            return false;
        }
        try {
            m_device->initSSFDC(m_port);
            operation(*m_device);
            return true;
        } catch (CSSFDCLibException* error) {
            report = error->GetReport();
            error->Delete();
        } catch (const std::exception& error) {
            report = error.what();
        }
        m_lastReport = report;
    }
    if (show) {
        if (m_reporter)
            m_reporter(report);
        else
            MessageBox(nullptr, report.c_str(), "SSFDC", MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}

bool CDownMgr::UploadSSFDCProps(sSSFDCPROPERTY* properties) {
    if (!properties || IsUsed()) return false;
    *properties = sSSFDCPROPERTY{};
    std::lock_guard lock(m_mutex);
    if (!m_device) return false;
    // No card is an answer here, not a failure: both fields stay zero.
    if (!m_device->initSSFDC(m_port)) return true;
    try {
        CSSFDCStatus status;
        m_device->SSFDCInfo(status);
        properties->megabytes = static_cast<std::uint32_t>(status.MB);
        properties->deviceCode = static_cast<std::uint32_t>(status.TypeCode);
        properties->formatted = m_device->IsFormatted() ? 1 : 0;
        properties->blocks = static_cast<std::uint16_t>(status.Blocks);
        properties->pagesPerBlock = static_cast<std::uint16_t>(status.Pages);
        properties->pageSize = static_cast<std::uint16_t>(status.PageSize);
        return true;
    } catch (CSSFDCLibException* error) {
        m_lastReport = error->GetReport();
        error->Delete();
        return false;
    }
}

bool CDownMgr::UploadSSFDCFileProps(const std::string& name) {
    if (IsUsed()) return false;
    const std::string path = kestra::platform::JoinPath(kestra::platform::ProgramFolder(), name);
    return Run([&](CKesSSFDCDevice& device) { device.WriteFileTable(path.c_str()); }, true);
}

void CDownMgr::Download(const std::string& file, int type, int subtype) {
    if (m_used.exchange(true)) return;
    if (m_worker.joinable()) m_worker.join();
    m_worker = std::thread([this, file, type, subtype] {
        const std::string name = ImageName(file);
        const bool ok = Run(
            [&](CKesSSFDCDevice& device) {
                device.DownloadFile(file.c_str(), type, subtype, name.c_str());
            },
            false);
        const std::string report = ok ? std::string() : LastReport();
        // The transfer counts as running until its end has been reported.
        if (m_finished) m_finished(ok, report);
        m_used = false;
    });
}

bool CDownMgr::DeleteFileOnSSFDC(int type, int subtype) {
    if (IsUsed()) return false;
    return Run([&](CKesSSFDCDevice& device) { device.DeleteFile(type, subtype); }, true);
}

void CDownMgr::BreakComm() {
    Wait();
}

void CDownMgr::Wait() {
    if (m_worker.joinable()) m_worker.join();
}
