#include "card_service/kes_ssfdc_device.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

#include "card_service/card_file_system.h"
#include "card_service/card_names.h"
#include "card_service/interface_page_device.h"
#include "card_service/logical_store.h"
#include "card_service/raw_image.h"
#include "card_service/surface_test.h"
#include "devices/card_reader.h"
#include "devices/logical_disk.h"
#include "devices/sim_card.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "platform/hold_point.h"
#include "platform/message_box.h"

using kestra::card::CardError;
using kestra::card::CardFile;
using kestra::card::CardFileSystem;
using kestra::card::FileKey;
using kestra::card::InterfacePageDevice;
using kestra::card::MountState;

namespace {

constexpr const char* kBanner = "card device service K32SSFDCApp 1.0, card file system format 1";
constexpr const char* kCaption = "SSFDC card";
constexpr std::size_t kFileTableHead = 250;

// Runs one operation of the service; a failure leaves it as a CSSFDCLibException.
template <typename Operation>
auto Guarded(Operation operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const CardError& error) {
        throw new CSSFDCLibException(error.code(), error.what());
    } catch (const std::bad_alloc&) {
        throw new CSSFDCLibException(KESSSFDC_HOST_FILE,
                                     "There is not enough memory for the card operation.");
    } catch (const std::filesystem::filesystem_error& error) {
        throw new CSSFDCLibException(KESSSFDC_HOST_FILE, error.what());
    } catch (const std::exception& error) {
        throw new CSSFDCLibException(KESSSFDC_READER_FAULT, error.what());
    }
}

std::string FileName(const char* path) {
    return std::string(kestra::platform::FileNamePart(path ? path : ""));
}

// The name a file of this computer has on the card.
std::string CardNameOf(const char* path) {
    return kestra::card::CardNameOfFile(FileName(path));
}

// A name the caller gives for a file on the card, as it is; one that cannot be is refused.
std::string GivenName(const std::string& name) {
    if (const auto problem = kestra::card::CardNameProblem(name))
        throw CardError(KESSSFDC_BAD_ARGUMENT, "The name '" + kestra::card::PrintableName(name) +
                                                   "' cannot be a file's name on the card: it " +
                                                   *problem + ".");
    return name;
}

// Reads a file to send, a regular file or not (a pipe, /dev/stdin), of at most `limit` bytes.
std::vector<std::uint8_t> ReadHostFile(const char* path, std::uint64_t limit) {
    using Status = kestra::platform::LimitedRead::Status;
    const std::string name = path ? path : "";
    const kestra::platform::LimitedRead read =
        name.empty() ? kestra::platform::LimitedRead{Status::Missing, {}, {}}
                     : kestra::platform::ReadFileLimited(name, limit);
    switch (read.status) {
        case Status::Missing:
            throw CardError(KESSSFDC_FILE_NOT_FOUND, "The file '" + name + "' was not found.");
        case Status::Unreadable:
            throw CardError(KESSSFDC_HOST_FILE,
                            "The file '" + name + "' cannot be read: " + read.error + ".");
        case Status::TooLarge:
            throw CardError(KESSSFDC_CARD_FULL, "The file '" + name +
                                                    "' does not fit on the card: it is larger "
                                                    "than the card's " +
                                                    std::to_string(limit) + " bytes of data.");
        case Status::Ok:
            break;
    }
    if (read.contents.empty())
        throw CardError(KESSSFDC_DOWNLOAD_FAILED,
                        "The file '" + name + "' is empty; nothing was written to the card.");
    return {read.contents.begin(), read.contents.end()};
}

void WriteHostFile(const char* path, const std::vector<std::uint8_t>& contents) {
    const std::string name = path ? path : "";
    std::string error = "no file name was given";
    if (name.empty() || !kestra::platform::WriteWholeFile(name, contents, &error))
        throw CardError(KESSSFDC_HOST_FILE,
                        "The file '" + name + "' cannot be written: " + error + ".");
}

FileKey CheckedKey(int type, int subtype) {
    if (type < 0 || type > 255 || subtype < 0 || subtype > 255)
        throw CardError(KESSSFDC_BAD_ARGUMENT, "File type " + std::to_string(type) +
                                                   " and subtype " + std::to_string(subtype) +
                                                   " must each lie between 0 and 255.");
    return {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(subtype)};
}

FileKey WinCEKey(int type, int subtype) {
    const FileKey key = CheckedKey(type, subtype);
    if (kestra::card::IsReservedType(type))
        throw CardError(
            KESSSFDC_BAD_ARGUMENT,
            "File type " + std::to_string(type) +
                " is kept for the card's own files (code files 4, keyboards 6, fonts 16, ROM "
                "files 17, projects 18, applications 19). Choose another type for a Windows CE "
                "file.");
    return key;
}

bool Confirm(const std::string& question) {
    return MessageBox(nullptr, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Asks for the properties of a Windows CE file on the terminal; Enter keeps a value.
bool TerminalProperties(std::string& name, int& type, int& subtype) {
    if (!isatty(STDIN_FILENO)) return true;
    auto ask = [](const std::string& question, const std::string& current) {
        std::fprintf(stderr, "%s [%s]: ", question.c_str(), current.c_str());
        std::fflush(stderr);
        char line[256];
        if (!std::fgets(line, sizeof line, stdin)) return current;
        std::string answer(line);
        while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
            answer.pop_back();
        return answer.empty() ? current : answer;
    };
    name = ask("Windows CE file name", name);
    type = std::atoi(ask("File type", std::to_string(type)).c_str());
    subtype = std::atoi(ask("Subtype", std::to_string(subtype)).c_str());
    return true;
}

}  // namespace

CSSFDCLibException::CSSFDCLibException(KESSSFDCERRORCODE code, std::string report)
    : m_ErrorCode(code), m_Report(std::move(report)) {}

int CSSFDCLibException::Report(REPORTMODE mode) {
    switch (mode) {
        case REPORT_MESSAGEBOX:
            return MessageBox(nullptr, m_Report.c_str(), kCaption, MB_OK | MB_ICONERROR);
        case REPORT_STDERR:
            std::fprintf(stderr, "%s\n", m_Report.c_str());
            break;
        case REPORT_SILENT:
            break;
    }
    return IDOK;
}

struct CKesSSFDCDevice::Service {
    explicit Service(CKesSSFDCDevice& owner) : device(owner) {}

    CKesSSFDCDevice& device;
    bool initialised = false;
    ERRCODE initError = SSFDC_ERR_INIT;
    bool initAttempted = false;
    std::unique_ptr<InterfacePageDevice> pages;
    // The card, taken for `use` (waiting for it when `waiting` is set).
    kestra::platform::CardLock lock;
    kestra::platform::CardUse use = kestra::platform::CardUse::Write;
    kestra::platform::CardLock::Waiting waiting;
    // A USB reader: the disk of the card's logical blocks.
    std::unique_ptr<kestra::platform::LogicalDisk> disk;
    // Why the card could not be set up where the card access library cannot say it: a card
    // another program holds, a USB reader's disk that was not taken.
    KESSSFDCERRORCODE setupError = KESSSFDC_OK;
    std::string setupProblem;
    std::unique_ptr<CardFileSystem> fs;
    std::unique_ptr<kestra::card::TerminalProgress> progress;
    kestra::card::ProgressSink* outsideSink = nullptr;  // the caller's display, when it has one
    CThreadSync idleSync;
    std::string versionText;
    CSupportedTypesList types;
    PropertiesEditor editor = TerminalProperties;

    kestra::card::ProgressSink* sink() {
        if (outsideSink) return outsideSink;
        return progress ? progress.get() : nullptr;
    }

    void forgetCard() {
        fs.reset();
        pages.reset();
    }

    // Opens the disk a USB reader shows and takes the card type whose logical blocks fill it
    // exactly; anything else is refused, so that no other disk is ever written.
    bool openDisk(const std::string& path) {
        try {
            disk =
                kestra::platform::LogicalDisk::Open(path, use == kestra::platform::CardUse::Write);
        } catch (const kestra::platform::LogicalDiskBusy& error) {
            setupError = KESSSFDC_CARD_IN_USE;
            setupProblem = std::string("The SSFDC card reader is in use: ") + error.what();
            return false;
        } catch (const kestra::platform::LogicalDiskError& error) {
            setupError = KESSSFDC_NO_CARD;
            setupProblem = std::string("The SSFDC card reader cannot be reached: ") + error.what();
            return false;
        }
        if (disk->size() == 0) {
            disk.reset();
            setupError = KESSSFDC_NO_CARD;
            setupProblem = "There is no SSFDC card in the reader.";
            return false;
        }
        std::string known;
        for (unsigned i = 0; i < device.m_types->getNumTypes(); ++i) {
            const CSSFDCStatus* type = device.m_types->getSSFDCDataByIndex(i);
            if (!type || !InterfacePageDevice::SuitsFileSystem(*type)) continue;
            const std::uint64_t bytes = kestra::card::LogicalBytes(
                {static_cast<unsigned>(type->Blocks), static_cast<unsigned>(type->Pages)});
            if (bytes == disk->size()) {
                device.m_card = *type;
                device.m_card.StatusByte = 0;
                return true;
            }
            known += (known.empty() ? "" : ", ") + std::to_string(type->MB) + " MB " +
                     std::to_string(bytes);
        }
        setupError = KESSSFDC_UNKNOWN_CARD;
        setupProblem = path + " holds " + std::to_string(disk->size()) +
                       " bytes, which is not what a reader shows of any SmartMedia card in "
                       "cardtype.ini (" +
                       known + " bytes); it is not taken as a card.";
        disk.reset();
        return false;
    }

    // Takes the file that stands for the card, when the reader has one; false when another
    // program holds it and this device is not to wait.
    bool takeCard(unsigned port) {
        const auto file = kestra::platform::ConfiguredCardFile(port);
        if (!file) return true;
        try {
            lock = kestra::platform::CardLock::Take(*file, use, waiting);
        } catch (const kestra::platform::CardInUse& holders) {
            setupError = KESSSFDC_CARD_IN_USE;
            setupProblem = std::string("The SSFDC card is in use by ") + holders.what() + ".";
            return false;
        }
        kestra::platform::HoldPoint("card-locked");
        return true;
    }

    void requireCard() {
        if (!setupProblem.empty()) throw CardError(setupError, setupProblem);
        if (initialised) return;
        switch (initError) {
            case SSFDC_ERR_NOCARD:
                if (const auto problem = kestra::platform::ConfiguredSimCardProblem())
                    throw CardError(KESSSFDC_CARD_IMAGE, *problem);
                throw CardError(KESSSFDC_NO_CARD, "There is no SSFDC card in the reader.");
            case SSFDC_ERR_UNKNOWN_TYPE:
                throw CardError(
                    KESSSFDC_UNKNOWN_CARD,
                    "The SSFDC card in the reader is of a type that cardtype.ini does not list.");
            default:
                throw CardError(
                    KESSSFDC_READER_FAULT,
                    initAttempted
                        ? "The SSFDC card reader could not be set up. Check the reader settings."
                        : "The SSFDC card reader has not been set up.");
        }
    }

    InterfacePageDevice& rawCard() {
        requireCard();
        if (disk)
            throw CardError(KESSSFDC_BAD_CARD,
                            "A USB card reader shows only the card's logical blocks: raw card "
                            "images and the surface test need a parallel-port reader.");
        if (!pages) {
            pages = std::make_unique<InterfacePageDevice>(device, device.m_card);
            const auto card = kestra::platform::ConfiguredSimCard();
            if (card && card->readOnly())
                pages->setReadOnly(KESSSFDC_CARD_IMAGE,
                                   "The card image '" + card->path() +
                                       "' is read-only: the card can be read but not changed.");
            else if (use == kestra::platform::CardUse::Read)
                pages->setReadOnly(KESSSFDC_BAD_ARGUMENT,
                                   "The card was taken for reading: it is not changed.");
        }
        return *pages;
    }

    CardFileSystem& fileSystem() {
        requireCard();
        if (!fs) {
            if (!InterfacePageDevice::SuitsFileSystem(device.m_card))
                throw CardError(
                    KESSSFDC_BAD_CARD,
                    "The SSFDC card in the reader (" + std::to_string(device.m_card.MB) +
                        " MB, pages of " + std::to_string(device.m_card.PageSize) +
                        " bytes) cannot hold the Kestra card file system; it needs pages of 528 "
                        "bytes (cards of 4 MB and more). Raw images can still be moved.");
            auto system =
                disk
                    ? std::make_unique<CardFileSystem>(std::make_unique<kestra::card::LogicalStore>(
                          *disk,
                          kestra::card::CardGeometry{static_cast<unsigned>(device.m_card.Blocks),
                                                     static_cast<unsigned>(device.m_card.Pages)}))
                    : std::make_unique<CardFileSystem>(rawCard());
            system->setProgress(sink());
            system->mount();
            fs = std::move(system);
        }
        return *fs;
    }

    CardFileSystem& formatted() {
        CardFileSystem& system = fileSystem();
        if (system.state() != MountState::Formatted)
            throw CardError(KESSSFDC_NOT_FORMATTED, "The SSFDC card is not formatted.");
        return system;
    }

    // The most a file on this card can hold: its data bytes.
    std::uint64_t capacity() {
        requireCard();
        const auto count = [](int value) { return std::uint64_t(std::max(value, 0)); };
        return count(device.m_card.Blocks) * count(device.m_card.Pages) * kestra::card::kPageData;
    }

    std::vector<std::uint8_t> read(const char* path) { return ReadHostFile(path, capacity()); }

    void download(const char* path, CardFile meta, const std::string& what,
                  const std::vector<std::uint8_t>& contents) {
        CardFileSystem& system = formatted();
        if (meta.name.empty()) meta.name = CardNameOf(path);
        system.store(std::move(meta), contents, "Writing " + what);
    }

    void download(const char* path, CardFile meta, const std::string& what) {
        formatted();
        download(path, std::move(meta), what, read(path));
    }

    void settleProgress() {
        if (progress) progress->settle();
    }

    void upload(const char* path, FileKey key, const std::string& what) {
        WriteHostFile(path, formatted().load(key, "Reading " + what));
    }

    void remove(std::vector<FileKey> keys, const std::string& question) {
        CardFileSystem& system = formatted();
        std::erase_if(keys, [&](FileKey key) { return system.find(key) == nullptr; });
        if (keys.empty()) return;
        settleProgress();
        if (!question.empty() && !Confirm(question)) return;
        system.remove(keys);
    }
};

CKesSSFDCDevice::CKesSSFDCDevice()
    : CKesSSFDCDevice((kestra::platform::ProgramFolder() + "/").c_str()) {}

CKesSSFDCDevice::CKesSSFDCDevice(const char* folder)
    : CSSFDCInterface(folder), m_service(std::make_unique<Service>(*this)) {}

CKesSSFDCDevice::~CKesSSFDCDevice() {
    if (m_service->lock.held()) kestra::platform::ReleaseConfiguredReader();
}

bool CKesSSFDCDevice::initSSFDC(unsigned port) {
    releaseCard();
    m_service->initAttempted = true;
    kestra::platform::ConfigureCardReader();
    if (!m_service->takeCard(port)) return false;
    if (const auto disk = kestra::platform::ConfiguredLogicalDisk()) {
        m_service->initialised = m_service->openDisk(*disk);
        m_service->initError = m_service->initialised ? SSFDC_OK : SSFDC_ERR_UNKNOWN_TYPE;
        return m_service->initialised;
    }
    m_service->initialised = CSSFDCInterface::initSSFDC(port);
    m_service->initError = getLastError();
    return m_service->initialised;
}

void CKesSSFDCDevice::setCardUse(kestra::platform::CardUse use) {
    m_service->use = use;
}

void CKesSSFDCDevice::setWaitForCard(kestra::platform::CardLock::Waiting waiting) {
    m_service->waiting = std::move(waiting);
}

void CKesSSFDCDevice::releaseCard() {
    m_service->forgetCard();
    m_service->disk.reset();
    m_service->setupProblem.clear();
    m_service->initialised = false;
    m_service->initAttempted = false;
    m_service->initError = SSFDC_ERR_INIT;
    if (m_service->lock.held()) {
        m_service->lock.release();
        kestra::platform::ReleaseConfiguredReader();
    }
}

const char* CKesSSFDCDevice::setSSFDCID(int) {
    return kBanner;
}

void CKesSSFDCDevice::SSFDCInfo(CSSFDCStatus& out) {
    Guarded([&] {
        m_service->requireCard();
        if (m_service->disk) {
            out = m_card;
            return;
        }
        CSSFDCStatus detected;
        if (!getSSFDCInfo(detected)) {
            m_service->initialised = false;
            m_service->initError = getLastError();
            m_service->forgetCard();
            m_service->requireCard();
        }
        if (detected.TypeCode != m_card.TypeCode || detected.Blocks != m_card.Blocks) {
            m_card = detected;
            m_service->forgetCard();
        }
        out = detected;
    });
}

bool CKesSSFDCDevice::IsFormatted() {
    return Guarded([&] {
        m_service->requireCard();
        return InterfacePageDevice::SuitsFileSystem(m_card) &&
               m_service->fileSystem().state() == MountState::Formatted;
    });
}

bool CKesSSFDCDevice::CheckWCEHeaderIntegrity() {
    return Guarded([&] {
        if (!m_service->initialised || !InterfacePageDevice::SuitsFileSystem(m_card)) return true;
        return m_service->fileSystem().state() != MountState::BrokenHeader;
    });
}

void CKesSSFDCDevice::Format() {
    Guarded([&] { m_service->fileSystem().format(); });
}

void CKesSSFDCDevice::Unformat() {
    Guarded([&] { m_service->fileSystem().unformat(); });
}

void CKesSSFDCDevice::StartDialogThread(bool show) {
    if (m_service->progress) return;
    m_service->progress = std::make_unique<kestra::card::TerminalProgress>(stderr, show);
    m_service->progress->start();
    if (m_service->fs) m_service->fs->setProgress(m_service->sink());
}

bool CKesSSFDCDevice::isProgressThreadStarted() {
    return m_service->progress && m_service->progress->started();
}

CThreadSync* CKesSSFDCDevice::getSyncObject() {
    return m_service->progress ? &m_service->progress->sync() : &m_service->idleSync;
}

void CKesSSFDCDevice::setProgressSink(kestra::card::ProgressSink* sink) {
    m_service->outsideSink = sink;
    if (m_service->fs) m_service->fs->setProgress(m_service->sink());
}

void CKesSSFDCDevice::DownloadKestraCode(const char* file, KESTRACODETYPE kind) {
    Guarded([&] {
        if (!kestra::card::IsCodeKind(kind))
            throw CardError(KESSSFDC_BAD_ARGUMENT,
                            "Code kind " + std::to_string(kind) + " is unknown.");
        CardFileSystem& system = m_service->formatted();
        const std::vector<std::uint8_t> contents = m_service->read(file);
        CardFile meta;
        meta.key = {kestra::card::kCodeFileType, static_cast<std::uint8_t>(kind)};
        meta.name = CardNameOf(file);
        meta.version = kestra::card::FindVersionText(contents).value_or("");
        const std::string what = kestra::card::CodeKindInfo(kind).name;
        system.store(std::move(meta), contents,
                     "Writing the " + what + " file '" + FileName(file) + "'");
    });
}

void CKesSSFDCDevice::UploadKestraCode(const char* file, KESTRACODETYPE kind) {
    Guarded([&] {
        if (!kestra::card::IsCodeKind(kind))
            throw CardError(KESSSFDC_BAD_ARGUMENT,
                            "Code kind " + std::to_string(kind) + " is unknown.");
        m_service->upload(file, {kestra::card::kCodeFileType, static_cast<std::uint8_t>(kind)},
                          std::string("the ") + kestra::card::CodeKindInfo(kind).name + " file");
    });
}

void CKesSSFDCDevice::DeleteKestraCode(KESTRACODETYPE kind, bool confirm) {
    Guarded([&] {
        if (!kestra::card::IsCodeKind(kind))
            throw CardError(KESSSFDC_BAD_ARGUMENT,
                            "Code kind " + std::to_string(kind) + " is unknown.");
        const std::string question = confirm ? std::string("Delete the ") +
                                                   kestra::card::CodeKindInfo(kind).name +
                                                   " file from the SSFDC card?"
                                             : std::string();
        m_service->remove({{kestra::card::kCodeFileType, static_cast<std::uint8_t>(kind)}},
                          question);
    });
}

const char* CKesSSFDCDevice::getCodeVersion(KESTRACODETYPE kind, std::string* copy) {
    Guarded([&] {
        if (!kestra::card::IsCodeKind(kind))
            throw CardError(KESSSFDC_BAD_ARGUMENT,
                            "Code kind " + std::to_string(kind) + " is unknown.");
        const CardFile* file = m_service->formatted().find(
            {kestra::card::kCodeFileType, static_cast<std::uint8_t>(kind)});
        m_service->versionText = !file                   ? "not on card"
                                 : file->version.empty() ? "no version"
                                                         : file->version;
    });
    if (copy) *copy = m_service->versionText;
    return m_service->versionText.c_str();
}

void CKesSSFDCDevice::FontDownload(const char* file) {
    Guarded([&] {
        const FONTTYPE kind = kestra::card::FontKindOfFile(file ? file : "");
        CardFile meta;
        meta.key = {kestra::card::kFontType, static_cast<std::uint8_t>(kind)};
        m_service->download(file, meta, std::string("the font file '") + FileName(file) + "'");
    });
}

void CKesSSFDCDevice::DeleteFont(FONTTYPE kind, bool confirm) {
    Guarded([&] {
        std::vector<FileKey> keys;
        if (kind == FONT_D || kind == FONT_L || kind == FONT_XL)
            keys.push_back({kestra::card::kFontType, static_cast<std::uint8_t>(kind)});
        else
            for (const CardFile& file : m_service->formatted().files())
                if (file.key.type == kestra::card::kFontType) keys.push_back(file.key);
        const std::string which =
            keys.size() == 1 ? std::string("the ") + kestra::card::FontKindName(kind) + " font"
                             : std::string("all fonts");
        m_service->remove(keys,
                          confirm ? "Delete " + which + " from the SSFDC card?" : std::string());
    });
}

void CKesSSFDCDevice::DownloadROMFile(const char* file) {
    DownloadROMFile(file, false);
}

void CKesSSFDCDevice::DownloadROMFile(const char* file, bool deleteFonts) {
    Guarded([&] {
        m_service->formatted();
        const std::vector<std::uint8_t> contents = m_service->read(file);
        if (deleteFonts) DeleteFont(FONT_OTHER, false);
        CardFile meta;
        meta.key = {kestra::card::kRomType, 0};
        m_service->download(file, meta, "the ROM file '" + FileName(file) + "'", contents);
    });
}

void CKesSSFDCDevice::UploadROMFile(const char* file) {
    Guarded([&] { m_service->upload(file, {kestra::card::kRomType, 0}, "the ROM file"); });
}

void CKesSSFDCDevice::RawDownload(const char* file, unsigned short blocks) {
    Guarded([&] {
        kestra::card::InterfacePageDevice& card = m_service->rawCard();
        m_service->fs.reset();  // the card's contents change underneath the file system
        kestra::card::DownloadRawImage(card, file ? file : "", blocks, m_service->sink());
    });
}

void CKesSSFDCDevice::RawUpload(const char* file, unsigned short blocks) {
    Guarded([&] {
        kestra::card::UploadRawImage(m_service->rawCard(), file ? file : "", blocks,
                                     m_service->sink());
    });
}

void CKesSSFDCDevice::DownloadWinCEFile(const char* file, const char* name, int type, int subtype,
                                        bool showDialog) {
    Guarded([&] {
        std::string fileName = name ? name : "";
        m_service->settleProgress();
        if (showDialog && m_service->editor && !m_service->editor(fileName, type, subtype)) return;
        CardFile meta;
        meta.key = WinCEKey(type, subtype);
        meta.name = fileName.empty() ? CardNameOf(file) : GivenName(fileName);
        m_service->download(file, meta, "the Windows CE file '" + meta.name + "'");
    });
}

void CKesSSFDCDevice::UploadWinCEFile(const char* file, const char* name, int type, int subtype) {
    Guarded([&] {
        const FileKey key = WinCEKey(type, subtype);
        const CardFile* found = m_service->formatted().find(key);
        if (found && name && *name && found->name != name)
            throw CardError(KESSSFDC_FILE_NOT_FOUND, "The Windows CE file of type " +
                                                         std::to_string(type) + ", subtype " +
                                                         std::to_string(subtype) + " is named '" +
                                                         found->name + "', not '" + name + "'.");
        m_service->upload(file, key, "the Windows CE file");
    });
}

void CKesSSFDCDevice::CreateWCEFSPlaceholder(int blocks, int type, int subtype) {
    Guarded([&] {
        CardFileSystem& system = m_service->formatted();
        CardFile meta;
        meta.key = WinCEKey(type == -1 ? kestra::card::kWceFsDefaultType : type,
                            subtype == -1 ? 0 : subtype);
        meta.name = "Windows CE file system";
        // -1 is every free block; a count the caller gives must be at least one block.
        // A placeholder that replaces another one stands beside it until it is made.
        if (blocks != -1 && blocks <= 0)
            throw CardError(KESSSFDC_BAD_ARGUMENT,
                            "A Windows CE file system needs at least one block; " +
                                std::to_string(blocks) + " is out of range.");
        if (blocks == -1) blocks = static_cast<int>(system.allocatableBlocks());
        if (blocks == 0)
            throw CardError(KESSSFDC_CARD_FULL,
                            "The card has no free block for a Windows CE file system.");
        system.reserve(std::move(meta), static_cast<unsigned>(blocks));
    });
}

void CKesSSFDCDevice::DeleteProject() {
    Guarded([&] { m_service->remove({{kestra::card::kProjectType, 0}}, {}); });
}

void CKesSSFDCDevice::DeleteApplication() {
    Guarded([&] { m_service->remove({{kestra::card::kApplicationType, 0}}, {}); });
}

void CKesSSFDCDevice::StartTestMode() {
    Guarded([&] {
        const auto report = kestra::card::TestSurface(m_service->rawCard(), m_service->sink());
        kestra::card::PrintSurfaceReport(report, stdout);
    });
}

void CKesSSFDCDevice::KestraContents(SSFDCContentsInfo& info) {
    Guarded([&] {
        CardFileSystem& system = m_service->formatted();
        const kestra::card::CardUsage usage = system.usage();
        info.m_files = system.files();
        info.m_blocks = usage.physicalBlocks;
        info.m_badBlocks = usage.badBlocks;
        info.m_blockBytes = usage.blockBytes;
        info.m_usedBytes = usage.usedBytes;
        info.m_freeBytes = usage.freeBytes;
    });
}

CSupportedTypesList& CKesSSFDCDevice::GetSSFDCTypes() {
    CSupportedTypesList& list = m_service->types;
    list.m_types.clear();
    for (unsigned i = 0; i < m_types->getNumTypes(); ++i)
        if (const CSSFDCStatus* type = m_types->getSSFDCDataByIndex(i))
            list.m_types.push_back(*type);
    return list;
}

void CKesSSFDCDevice::DownloadFile(const char* file, int type, int subtype, const char* name) {
    Guarded([&] {
        CardFile meta;
        meta.key = CheckedKey(type, subtype);
        meta.name = name && *name ? GivenName(name) : "";
        m_service->formatted();
        const std::vector<std::uint8_t> contents = m_service->read(file);
        if (type == kestra::card::kCodeFileType)
            meta.version = kestra::card::FindVersionText(contents).value_or("");
        m_service->download(file, meta, "the file '" + FileName(file) + "'", contents);
    });
}

void CKesSSFDCDevice::UploadFile(const char* file, int type, int subtype) {
    Guarded([&] { m_service->upload(file, CheckedKey(type, subtype), "the file"); });
}

void CKesSSFDCDevice::DeleteFile(int type, int subtype) {
    Guarded([&] { m_service->remove({CheckedKey(type, subtype)}, {}); });
}

std::vector<std::uint8_t> CKesSSFDCDevice::FileTable() {
    return Guarded([&] {
        CardFileSystem& system = m_service->formatted();
        std::vector<std::uint8_t> table(4, 0);
        for (const CardFile& file : system.files()) {
            const std::vector<std::uint8_t> head = system.head(file.key, kFileTableHead);
            table.push_back(static_cast<std::uint8_t>(5 + head.size()));
            table.insert(table.end(), {file.key.type, file.key.subtype, 0, 0});
            table.insert(table.end(), head.begin(), head.end());
        }
        kestra::WriteLe32(table.data(), static_cast<std::uint32_t>(table.size() - 4));
        return table;
    });
}

void CKesSSFDCDevice::WriteFileTable(const char* file) {
    const std::vector<std::uint8_t> table = FileTable();
    Guarded([&] { WriteHostFile(file, table); });
}

void CKesSSFDCDevice::setPropertiesEditor(PropertiesEditor editor) {
    m_service->editor = std::move(editor);
}
