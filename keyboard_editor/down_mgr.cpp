#include "keyboard_editor/down_mgr.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

#include "card_service/card_names.h"
#include "card_service/kes_ssfdc_device.h"
#include "devices/card_reader.h"
#include "devices/ports.h"
#include "keyboard_editor/user_folders.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace {

// Status register bit of a parallel-port reader that carries the card's busy line. An idle
// reader holds it low; at an address where no reader sits the line floats high.
constexpr std::uint8_t kBusyLine = 0x08;

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Why a reader that found no card did not answer either; nothing when it answered (an empty
// reader). `report` is the card device service's.
std::optional<std::string> ReaderSilence(unsigned port, const std::string& report) {
    using kestra::platform::ReaderAccess;
    const auto settings = kestra::platform::ReadCardReaderSettings();
    if (!settings) return report;
    switch (settings->access()) {
        case ReaderAccess::Driver:
            return std::nullopt;  // the driver was opened and answered
        case ReaderAccess::Logical:
            if (access(settings->device.c_str(), R_OK | W_OK) == 0) return std::nullopt;
            return report;
        case ReaderAccess::Ports:
            if (!(kestra::platform::ReadPort(static_cast<WORD>(port + 1)) & kBusyLine))
                return std::nullopt;
            return "No card reader answers at port " + Hex(port) +
                   " (see Communication Parameters).";
    }
    return report;
}

// The name that a keyboard ROM image carries (after its length byte at 12), as the card can
// hold it.
std::string ImageName(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    char head[13] = {};
    if (!in.read(head, sizeof head)) return {};
    std::string name(static_cast<unsigned char>(head[12]), '\0');
    if (!in.read(name.data(), static_cast<std::streamsize>(name.size()))) return {};
    return kestra::card::CardNameOfFile(name);
}

// A card that another program holds: the user may try again once it is free.
bool AsksToRetry(const std::string& report) {
    const std::string text = report + "\n\nRetry when that program is done with the card.";
    return MessageBox(nullptr, text.c_str(), "SSFDC", MB_RETRYCANCEL | MB_ICONEXCLAMATION) ==
           IDRETRY;
}

}  // namespace

CDownMgr::CDownMgr()
    : m_pause([](int milliseconds) {
          std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      }) {}

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

bool CDownMgr::Run(const std::function<void(CKesSSFDCDevice&)>& operation, bool show,
                   kestra::platform::CardUse use) {
    std::string report;
    bool inUse = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_device) {
            m_lastReport = "The download manager is not initialised.";
            return false;
        }
        try {
            m_device->setCardUse(use);
            m_device->initSSFDC(m_port);
            operation(*m_device);
            m_device->releaseCard();
            return true;
        } catch (CSSFDCLibException* error) {
            report = error->GetReport();
            inUse = error->m_ErrorCode == KESSSFDC_CARD_IN_USE;
            error->Delete();
        } catch (const std::exception& error) {
            report = error.what();
        }
        m_device->releaseCard();
        m_lastReport = report;
    }
    if (show && inUse && !m_reporter) return AsksToRetry(report) && Run(operation, show, use);
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
    std::unique_lock lock(m_mutex);
    if (!m_device) {
        m_lastReport = "The download manager is not initialised.";
        return false;
    }
    m_device->setCardUse(kestra::platform::CardUse::Read);
    const bool found = m_device->initSSFDC(m_port);
    try {
        CSSFDCStatus status;
        m_device->SSFDCInfo(status);
        properties->megabytes = static_cast<std::uint32_t>(status.MB);
        properties->deviceCode = static_cast<std::uint32_t>(status.TypeCode);
        properties->formatted = m_device->IsFormatted() ? 1 : 0;
        properties->blocks = static_cast<std::uint16_t>(status.Blocks);
        properties->pagesPerBlock = static_cast<std::uint16_t>(status.Pages);
        properties->pageSize = static_cast<std::uint16_t>(status.PageSize);
        m_device->releaseCard();
        return true;
    } catch (CSSFDCLibException* error) {
        const KESSSFDCERRORCODE code = error->m_ErrorCode;
        m_lastReport = error->GetReport();
        error->Delete();
        m_device->releaseCard();
        if (code == KESSSFDC_CARD_IN_USE && !m_reporter) {
            const std::string report = m_lastReport;
            lock.unlock();
            return AsksToRetry(report) && UploadSSFDCProps(properties);
        }
        if (found || code != KESSSFDC_NO_CARD) return false;
    }
    // No card is an answer, not a failure, when the reader itself answered.
    const auto silence = ReaderSilence(m_port, m_lastReport);
    kestra::platform::ReleaseConfiguredReader();
    if (silence) {
        m_lastReport = *silence;
        return false;
    }
    return true;
}

bool CDownMgr::UploadSSFDCFileProps(const std::string& name) {
    if (IsUsed()) return false;
    const std::string path = clavon::CacheFile(name);
    return Run([&](CKesSSFDCDevice& device) { device.WriteFileTable(path.c_str()); }, true,
               kestra::platform::CardUse::Read);
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
        // The transfer is over before anyone hears of it, so that whatever the report sets
        // off finds every command free again.
        m_used = false;
        if (m_finished) m_finished(ok, report);
    });
}

bool CDownMgr::DeleteFileOnSSFDC(int type, int subtype) {
    if (IsUsed()) return false;
    return Run([&](CKesSSFDCDevice& device) { device.DeleteFile(type, subtype); }, true);
}

bool CDownMgr::FormatCard() {
    if (IsUsed()) return false;
    return Run([](CKesSSFDCDevice& device) { device.Format(); }, false);
}

void CDownMgr::BreakComm() {
    Wait();
}

void CDownMgr::Wait() {
    if (m_worker.joinable()) m_worker.join();
}
