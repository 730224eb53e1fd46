#include "card_loader/card_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "card_service/code_sel_dialog.h"
#include "card_service/kes_ssfdc_device.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/profile.h"

namespace {

constexpr const char* kCaption = "cardload";
constexpr const char* kDefaultWinCEName = "WinCE Image generic name";

constexpr const char* kHelpLines[] = {
    "/boot <filename>        Starts downloading of Kestra boot file.\n",
    "/code                   Starts the Kestra code files download.\n",
    "/diswcedlg              Disables WCE file properties edit dialog during download.\n",
    "/delappl                Deletes application.\n",
    "/delproj                Deletes project.\n",
    "/delboot                Deletes Kestra boot file.\n",
    "/delfirm                Deletes Kestra firmware file.\n",
    "/delmips                Deletes Kestra MIPS file.\n",
    "/delmser                Deletes Kestra MIPS service file.\n",
    "/delfont {l|d|xl}       Deletes the specified font kind.\n",
    "/dump <filename>        Dumps SSFDC card contents in the file.\n",
    "/font <filename>        Basic filename of font ROM files to download.\n",
    "/format                 Starts the SSFDC card formatting.\n",
    "/firm <filename>        Starts downloading of Kestra firmware file.\n",
    "/help                   Shows this help.\n",
    "/flagcode               Specifies code download flags.\n",
    "/info                   Shows the SSFDC card information.\n",
    "/mips <filename>        Starts downloading of Kestra MIPS file.\n",
    "/mser <filename>        Starts downloading of Kestra MIPS service file.\n",
    "/pathcode               Specifies the path where code files are placed.\n",
    "/rom <filename>         Specifies name of the SSFDC ROM file to download.\n",
    "/raw <filename>[blocks] Starts raw card image download.\n",
    "/types                  Displays list of supported SSFDC types.\n",
    "/test                   Starts the test mode.\n",
    "/unformat               Deletes the SSFDC file system header block.\n",
    "/uplrom <filename>      Specifies name of the SSFDC ROM file to download.\n",
    "/uplboot <filename>     Uploads Kestra boot file.\n",
    "/uplfirm <filename>     Uploads Kestra firmware file.\n",
    "/uplmips <filename>     Uploads Kestra MIPS file.\n",
    "/uplmser <filename>     Uploads Kestra MIPS service file.\n",
    "/uplraw <file>[blocks]  Starts raw card image upload.\n",
    "/uplwince <filename><type><subtype> Starts Windows CE file upload.\n",
    "/ver                    Displays versions of the Norvel code on the card.\n",
    "/wcefs [blocks][type][subtype]         Creates placeholder for WCE file system.\n",
    "/wince <filename><type><subtype>[name] Starts Windows CE file download.\n",
};

// What the action pass does with an option.
enum class Action {
    Format,
    Info,
    Setting,
    Unformat,
    Dump,
    Download,
    DeleteApplication,
    DeleteProject,
    DeleteCode,
    DeleteFont,
    RawDownload,
    RawUpload,
    WinCEFileSystem,
    WinCEDownload,
    WinCEUpload,
    Versions,
    Types,
    Test,
    Upload,
    Help,
    Rom,
    UploadRom,
    Font,
    Code,
};

// The options in the order in which the action pass tests them. `values` is how many of the
// following arguments the option takes with it, as far as they are there (the Windows CE
// download takes a fourth, its name, only when it is no option). `endsRun`: no later argument
// is acted on. Settings were taken by the earlier passes; the action pass only steps over them.
struct Option {
    const char* text;
    Action action;
    int values;
    bool endsRun;
    KESTRACODETYPE kind = KESTRA_BOOT;
};
constexpr Option kOptions[] = {
    {"/format", Action::Format, 0, false},
    {"/info", Action::Info, 0, true},
    {"/pathcode", Action::Setting, 1, false},
    {"/unformat", Action::Unformat, 0, true},
    {"/dump", Action::Dump, 1, true},
    {"/boot", Action::Download, 1, true, KESTRA_BOOT},
    {"/firm", Action::Download, 1, true, KESTRA_FIRMWARE},
    {"/mips", Action::Download, 1, true, KESTRA_MIPS},
    {"/mser", Action::Download, 1, true, KESTRA_MSER},
    {"/delappl", Action::DeleteApplication, 0, true},
    {"/delproj", Action::DeleteProject, 0, true},
    {"/delboot", Action::DeleteCode, 1, true, KESTRA_BOOT},
    {"/delfirm", Action::DeleteCode, 1, true, KESTRA_FIRMWARE},
    {"/delmips", Action::DeleteCode, 1, true, KESTRA_MIPS},
    {"/delmser", Action::DeleteCode, 1, true, KESTRA_MSER},
    {"/delfont", Action::DeleteFont, 1, true},
    {"/raw", Action::RawDownload, 2, true},
    {"/uplraw", Action::RawUpload, 2, true},
    {"/wcefs", Action::WinCEFileSystem, 3, false},
    {"/wince", Action::WinCEDownload, 3, false},
    {"/uplwince", Action::WinCEUpload, 3, false},
    {"/ver", Action::Versions, 0, false},
    {"/types", Action::Types, 0, false},
    {"/test", Action::Test, 0, false},
    {"/uplboot", Action::Upload, 1, true, KESTRA_BOOT},
    {"/uplfirm", Action::Upload, 1, true, KESTRA_FIRMWARE},
    {"/uplmips", Action::Upload, 1, true, KESTRA_MIPS},
    {"/uplmser", Action::Upload, 1, true, KESTRA_MSER},
    {"/help", Action::Help, 0, true},
    {"/rom", Action::Rom, 1, false},
    {"/uplrom", Action::UploadRom, 1, false},
    {"/font", Action::Font, 1, false},
    {"/card", Action::Setting, 1, false},
    {"/flagcode", Action::Setting, 1, false},
    {"/code", Action::Code, 0, false},
    {"/port", Action::Setting, 1, false},
    {"/diswcedlg", Action::Setting, 0, false},
    {"/wait", Action::Setting, 0, false},
};

// What only reads the card: a run of nothing else shares the card with other programs that
// read it; any other action takes the card alone.
constexpr Action kReadingActions[] = {
    Action::Info,        Action::Setting,  Action::Dump,      Action::RawUpload,
    Action::WinCEUpload, Action::Versions, Action::Types,     Action::Test,
    Action::Upload,      Action::Help,     Action::UploadRom,
};

// The usual ways of asking a program for its usage; the loader's own is "/help".
constexpr const char* kHelpRequests[] = {"--help", "-h", "/?"};

constexpr const char* kFontSuffixes[] = {"-l.rom", "-d.rom", "-xl.rom"};

void Message(const std::string& text) {
    MessageBox(nullptr, text.c_str(), kCaption, MB_OK);
}

std::string Formatted(const char* format, const char* argument) {
    const int size = std::snprintf(nullptr, 0, format, argument);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, argument);
    return text;
}

// An option is recognised by its text at the start of the argument.
bool Is(const char* argument, const char* option) {
    return std::strncmp(argument, option, std::strlen(option)) == 0;
}

const Option* FindOption(const char* argument) {
    for (const Option& option : kOptions)
        if (Is(argument, option.text)) return &option;
    return nullptr;
}

// A number of the command line: decimal, or hexadecimal after "0x"; text that is no number
// counts as 0.
int Number(const char* text) {
    return kestra::platform::ParseProfileNumber(text);
}

// The last line of the usage: which options end the run, and how numbers are written.
std::string EndOfRunNote() {
    std::string note = "These options end the run (options after them are not run):";
    const char* separator = " ";
    for (const Option& option : kOptions) {
        if (!option.endsRun) continue;
        note += separator;
        note += option.text;
        separator = ", ";
    }
    return note +
           "; /uplrom too when the card is not formatted. Numbers are decimal, or "
           "hexadecimal after 0x. /wait waits for a card that another program is using.\n";
}

void PrintUsage(CKesSSFDCDevice* device) {
    std::unique_ptr<CKesSSFDCDevice> banner;
    if (!device) {
        banner = std::make_unique<CKesSSFDCDevice>();
        device = banner.get();
    }
    std::printf("Fabricon SSFDC Loader Utility, %s\n", device->setSSFDCID(0));
    std::printf(
        "Prepares SmartMedia cards for Kestra operator panels; options run from left to right.\n");
    std::printf("Usage:\n");
    for (const char* line : kHelpLines) std::fputs(line, stdout);
    std::printf("\n");
    std::fputs(EndOfRunNote().c_str(), stdout);
}

bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* request : kHelpRequests)
            if (std::strcmp(argv[i], request) == 0) return true;
    return false;
}

void PrintInfo(CKesSSFDCDevice& device, FILE* out) {
    CSSFDCStatus status;
    device.SSFDCInfo(status);
    const bool formatted = device.IsFormatted();
    std::fprintf(out, "Manufacturer: %s\n", status.Manufacturer);
    std::fprintf(out, "Blocks:       %d\n", status.Blocks);
    std::fprintf(out, "Block size:   %d\n", status.BlockSize);
    std::fprintf(out, "Pages:        %d\n", status.Pages);
    std::fprintf(out, "Page size:    %d\n", status.PageSize);
    std::fprintf(out, "ID byte:      %d\n", status.TypeCode);
    std::fprintf(out, "Status byte:  %d\n", status.StatusByte);
    std::fprintf(out, formatted ? "Formatted:    Yes\n" : "Formatted:    No\n");
}

class CardLoader {
  public:
    CardLoader(int argc, char** argv) : argc_(argc), argv_(argv) {}
    int run();

  private:
    // Where the action pass ended before the last argument, and why.
    enum class Ending { ByTheTable, Otherwise, Failed };
    struct EarlyEnd {
        int at;
        Ending why;
    };

    const char* arg(int i) const { return i < argc_ ? argv_[i] : nullptr; }
    // How many of the arguments after the option at `i` it takes with it.
    int valuesOf(int i, const Option* option) const;
    // Checks that the `count` values after the option at `i` are there; when one is missing,
    // says so naming the argument before it, prints the usage and ends the run.
    bool haveValues(int i, int count);
    void formatIfNeeded();
    void startProgress() { device_->StartDialogThread(true); }

    void readerPass();
    // How the run uses the card: reading only, or changing it.
    kestra::platform::CardUse cardUse() const;
    void takeCardForChanges();
    bool codeSettingsPass();  // false: a value is missing
    bool dialogPass();        // false: quit at once
    void actionPass();
    bool act(int i, const Option* option);  // false: the run ends here
    void dump(int i);
    bool dumpToFile(SSFDCContentsInfo& contents, const std::string& name);
    void downloadFonts(const char* base);
    void downloadCode();
    void reportNotRun() const;

    int argc_;
    char** argv_;
    std::unique_ptr<CKesSSFDCDevice> device_;
    CCodeSelDialog codeDialog_;
    unsigned port_ = 0x378;
    bool winceDialog_ = true;
    bool waitForCard_ = false;
    std::string codeFolder_;
    BYTE codeFlags_ = 0;
    bool fontGiven_ = false;
    bool codeConfirmed_ = true;
    int result_ = 0;
    int acting_ = 0;  // the argument the action pass is at; 0 before it starts
    std::optional<EarlyEnd> earlyEnd_;
};

int CardLoader::valuesOf(int i, const Option* option) const {
    if (!option) return 0;
    int values = std::min(option->values, argc_ - 1 - i);
    // The Windows CE download's name is optional: an argument that is an option is not it.
    if (option->action == Action::WinCEDownload && values == 3 && arg(i + 4) &&
        arg(i + 4)[0] != '/')
        ++values;
    return values;
}

bool CardLoader::haveValues(int i, int count) {
    for (int k = 1; k <= count; ++k) {
        if (arg(i + k)) continue;
        Message(Formatted("Parameter of the '%s' option missing.", arg(i + k - 1)));
        PrintUsage(device_.get());
        result_ = 0;
        return false;
    }
    return true;
}

void CardLoader::formatIfNeeded() {
    if (!device_->IsFormatted()) device_->Format();
}

void CardLoader::readerPass() {
    for (int i = 1; i < argc_; ++i) {
        if (Is(argv_[i], "/port")) {
            if (arg(i + 1)) port_ = static_cast<unsigned>(Number(argv_[++i]));
        } else if (Is(argv_[i], "/card")) {
            if (arg(i + 1)) device_->setSimCardSize(static_cast<unsigned>(Number(argv_[++i])));
        } else if (Is(argv_[i], "/diswcedlg")) {
            winceDialog_ = false;
        } else if (Is(argv_[i], "/wait")) {
            waitForCard_ = true;
        }
    }
    device_->setCardUse(cardUse());
    if (waitForCard_)
        device_->setWaitForCard([](const std::string& holders) {
            std::fprintf(stderr, "cardload: the card is in use by %s; waiting for it\n",
                         holders.c_str());
        });
}

kestra::platform::CardUse CardLoader::cardUse() const {
    for (int i = 1; i < argc_; i += 1 + valuesOf(i, FindOption(argv_[i]))) {
        const Option* option = FindOption(argv_[i]);
        if (!option) break;  // the run ends there
        if (std::find(std::begin(kReadingActions), std::end(kReadingActions), option->action) ==
            std::end(kReadingActions))
            return kestra::platform::CardUse::Write;
    }
    return kestra::platform::CardUse::Read;
}

// A run that only reads the card finds the card's header broken: the card is taken again,
// alone, before it is unformatted.
void CardLoader::takeCardForChanges() {
    if (cardUse() == kestra::platform::CardUse::Write) return;
    device_->setCardUse(kestra::platform::CardUse::Write);
    device_->initSSFDC(port_);
}

bool CardLoader::codeSettingsPass() {
    for (int i = 1; i < argc_; ++i) {
        if (Is(argv_[i], "/pathcode")) {
            if (!haveValues(i, 1)) return false;
            codeFolder_ = argv_[++i];
            if (codeFolder_.empty() || codeFolder_.back() != '\\') codeFolder_ += '\\';
        } else if (Is(argv_[i], "/flagcode")) {
            if (arg(i + 1)) codeFlags_ = static_cast<BYTE>(Number(argv_[++i]));
        }
    }
    return true;
}

bool CardLoader::dialogPass() {
    for (int i = 1; i < argc_; ++i) {
        if (Is(argv_[i], "/code")) {
            codeDialog_.locateSSFDCDevice(device_.get());
            codeDialog_.SetPath(codeFolder_.c_str());
            codeDialog_.SetFlags(codeFlags_);
            if (codeDialog_.DoModal() != IDOK)
                codeConfirmed_ = false;
            else if (codeDialog_.m_Quit == 1)
                return false;
        } else if (Is(argv_[i], "/format")) {
            device_->Unformat();
        }
    }
    return true;
}

void CardLoader::dump(int i) {
    if (!arg(i + 1)) {
        Message("Missing name of the file for the '-dump' command.");
        return;
    }
    if (!device_->IsFormatted()) {
        Message("The SSFDC card is not formatted. Can not dump the contents.");
        return;
    }
    SSFDCContentsInfo contents;
    device_->KestraContents(contents);
    const std::string name = kestra::platform::ToNativePath(argv_[i + 1]);
    if (name.empty() || !dumpToFile(contents, name)) {
        PrintInfo(*device_, stdout);
        contents.Dump(stdout);
    }
}

// The dump with HTML tags, through the file writer; false when the file cannot be written,
// which is said on standard error (the dump then goes to standard output).
bool CardLoader::dumpToFile(SSFDCContentsInfo& contents, const std::string& name) {
    char* text = nullptr;
    std::size_t size = 0;
    FILE* memory = open_memstream(&text, &size);
    if (!memory) return false;
    contents.enableHTMLTags(true);
    PrintInfo(*device_, memory);
    contents.Dump(memory);
    std::fclose(memory);
    contents.enableHTMLTags(false);
    std::string error;
    const bool written =
        kestra::platform::WriteWholeFile(name, std::string_view(text, size), &error);
    std::free(text);
    if (!written)
        std::fprintf(stderr,
                     "cardload: %s cannot be written: %s; the dump follows on standard output\n",
                     name.c_str(), error.c_str());
    return written;
}

void CardLoader::downloadFonts(const char* base) {
    for (const char* suffix : kFontSuffixes) {
        const std::string file = std::string(base) + suffix;
        try {
            device_->FontDownload(file.c_str());
        } catch (CSSFDCLibException* error) {
            std::unique_ptr<CSSFDCLibException> owned(error);
            if (error->m_ErrorCode == KESSSFDC_FILE_NOT_FOUND) continue;
            if (error->m_ErrorCode != KESSSFDC_DOWNLOAD_FAILED) throw owned.release();
            error->Report(REPORT_MESSAGEBOX);
        }
    }
}

void CardLoader::downloadCode() {
    const char* chosen[] = {codeDialog_.getBootFilename(), codeDialog_.getFirmwareFilename(),
                            codeDialog_.getMIPSFilename(), codeDialog_.getMSERFilename()};
    for (int kind = 0; kind < 4; ++kind) {
        if (std::strcmp(chosen[kind], kDoNotUpdate) == 0) continue;
        try {
            device_->DownloadKestraCode(chosen[kind], static_cast<KESTRACODETYPE>(kind));
        } catch (CSSFDCLibException* error) {
            std::unique_ptr<CSSFDCLibException> owned(error);
            if (error->m_ErrorCode != KESSSFDC_DOWNLOAD_FAILED) throw owned.release();
            error->Report(REPORT_MESSAGEBOX);
        }
    }
}

// Acts on the option at argument i (null: an unknown one). The table says which options end
// the run; this says false where one ends it otherwise (a missing value, an unknown option,
// a ROM file upload from an unformatted card).
bool CardLoader::act(int i, const Option* option) {
    if (!option) {
        Message(Formatted("Unknown command '%s' is found.\n", argv_[i]));
        PrintUsage(device_.get());
        return false;
    }
    switch (option->action) {
        case Action::Format:
            if (!device_->IsFormatted()) {
                startProgress();
                device_->Format();
            }
            break;
        case Action::Info:
            PrintInfo(*device_, stdout);
            break;
        case Action::Setting:
            break;
        case Action::Unformat:
            device_->Unformat();
            break;
        case Action::Dump:
            dump(i);
            break;
        case Action::Download:
            if (!haveValues(i, 1)) return false;
            startProgress();
            formatIfNeeded();
            device_->DownloadKestraCode(argv_[i + 1], option->kind);
            break;
        case Action::DeleteApplication:
            device_->DeleteApplication();
            break;
        case Action::DeleteProject:
            device_->DeleteProject();
            break;
        case Action::DeleteCode:
            device_->DeleteKestraCode(option->kind, true);
            break;
        case Action::DeleteFont: {
            const char* kind = arg(i + 1);
            FONTTYPE font = FONT_OTHER;
            if (kind && std::strcmp(kind, "d") == 0) font = FONT_D;
            if (kind && std::strcmp(kind, "l") == 0) font = FONT_L;
            if (kind && std::strcmp(kind, "xl") == 0) font = FONT_XL;
            device_->DeleteFont(font, true);
            break;
        }
        case Action::RawDownload:
        case Action::RawUpload: {
            const char* file = arg(i + 1) ? arg(i + 1) : "";
            const auto blocks =
                static_cast<unsigned short>(arg(i + 2) ? Number(arg(i + 2)) : 65535);
            startProgress();
            if (option->action == Action::RawDownload)
                device_->RawDownload(file, blocks);
            else
                device_->RawUpload(file, blocks);
            break;
        }
        case Action::WinCEFileSystem: {
            int values[3] = {-1, -1, -1};
            for (int k = 0; k < valuesOf(i, option); ++k) values[k] = Number(arg(i + 1 + k));
            formatIfNeeded();
            device_->CreateWCEFSPlaceholder(values[0], values[1], values[2]);
            break;
        }
        case Action::WinCEDownload: {
            if (!haveValues(i, 3)) return false;
            const char* name = valuesOf(i, option) == 4 ? arg(i + 4) : kDefaultWinCEName;
            startProgress();
            formatIfNeeded();
            device_->DownloadWinCEFile(argv_[i + 1], name, Number(argv_[i + 2]),
                                       Number(argv_[i + 3]), winceDialog_);
            break;
        }
        case Action::WinCEUpload:
            if (!haveValues(i, 3)) return false;
            device_->UploadWinCEFile(argv_[i + 1], "", Number(argv_[i + 2]), Number(argv_[i + 3]));
            break;
        case Action::Versions:
            std::printf("Boot version:         %s\n",
                        device_->getCodeVersion(KESTRA_BOOT, nullptr));
            std::printf("Firmware version:     %s\n",
                        device_->getCodeVersion(KESTRA_FIRMWARE, nullptr));
            std::printf("MIPS code version:    %s\n",
                        device_->getCodeVersion(KESTRA_MIPS, nullptr));
            std::printf("MIPS service version: %s\n",
                        device_->getCodeVersion(KESTRA_MSER, nullptr));
            break;
        case Action::Types:
            device_->GetSSFDCTypes().Dump(stdout);
            break;
        case Action::Test:
            device_->StartTestMode();
            break;
        case Action::Upload:
            if (!haveValues(i, 1)) return false;
            startProgress();
            device_->UploadKestraCode(argv_[i + 1], option->kind);
            break;
        case Action::Help:
            PrintUsage(device_.get());
            break;
        case Action::Rom:
            if (!haveValues(i, 1)) return false;
            startProgress();
            formatIfNeeded();
            // The file is read before the fonts go, so that one that cannot be sent keeps them.
            device_->DownloadROMFile(argv_[i + 1], !fontGiven_);
            break;
        case Action::UploadRom:
            if (!haveValues(i, 1)) return false;
            if (!device_->IsFormatted()) {
                Message("The SSFDC card is not formatted. Can not upload ROM file.");
                return false;
            }
            startProgress();
            device_->UploadROMFile(argv_[i + 1]);
            break;
        case Action::Font:
            if (!haveValues(i, 1)) return false;
            fontGiven_ = true;
            startProgress();
            formatIfNeeded();
            downloadFonts(argv_[i + 1]);
            break;
        case Action::Code:
            if (codeConfirmed_) {
                startProgress();
                formatIfNeeded();
                downloadCode();
            }
            break;
    }
    return !option->endsRun;
}

void CardLoader::actionPass() {
    for (int i = 1; i < argc_;) {
        acting_ = i;
        const Option* option = FindOption(argv_[i]);
        const int next = i + 1 + valuesOf(i, option);
        if (!act(i, option)) {
            const bool byTheTable = option && option->endsRun;
            if (next < argc_) earlyEnd_ = {i, byTheTable ? Ending::ByTheTable : Ending::Otherwise};
            return;
        }
        i = next;
    }
}

// Says on standard error which options after the end of the action pass were not acted on.
// The settings among them were taken by the earlier passes.
void CardLoader::reportNotRun() const {
    if (!earlyEnd_) return;
    const int end = earlyEnd_->at;
    for (int i = end + 1 + valuesOf(end, FindOption(argv_[end])); i < argc_;) {
        const Option* option = FindOption(argv_[i]);
        const int next = i + 1 + valuesOf(i, option);
        if (!option || option->action != Action::Setting) {
            std::string skipped = argv_[i];
            for (int k = i + 1; k < next; ++k) skipped += std::string(" ") + argv_[k];
            std::fprintf(stderr, "cardload: '%s' was not run: ", skipped.c_str());
            switch (earlyEnd_->why) {
                case Ending::ByTheTable:
                    std::fprintf(stderr, "'%s' ends the run.\n", argv_[end]);
                    break;
                case Ending::Otherwise:
                    std::fprintf(stderr, "the run ended at '%s'.\n", argv_[end]);
                    break;
                case Ending::Failed:
                    std::fprintf(stderr, "the run ended when '%s' failed.\n", argv_[end]);
                    break;
            }
        }
        i = next;
    }
}

int CardLoader::run() {
    if (argc_ < 2) {
        PrintUsage(nullptr);
        return -1;
    }
    if (AsksForHelp(argc_, argv_)) {
        PrintUsage(nullptr);
        return 0;
    }
    // The program folder keeps its separator: the card types are read from it.
    device_ = std::make_unique<CKesSSFDCDevice>((kestra::platform::ProgramFolder() + "/").c_str());
    try {
        readerPass();
        device_->initSSFDC(port_);
        if (codeSettingsPass()) {
            if (!dialogPass()) return 1;
            if (!device_->CheckWCEHeaderIntegrity()) {
                takeCardForChanges();
                if (!device_->CheckWCEHeaderIntegrity()) device_->Unformat();
            }
            actionPass();
        }
    } catch (CSSFDCLibException* error) {
        std::unique_ptr<CSSFDCLibException> owned(error);
        if (error->m_ErrorCode == KESSSFDC_CARD_IN_USE && !waitForCard_)
            error->m_Report += " Give /wait to wait until it is free.";
        error->Report(REPORT_MESSAGEBOX);
        result_ = error->m_ErrorCode;
        if (acting_ > 0) earlyEnd_ = {acting_, Ending::Failed};
    }
    std::fflush(stdout);
    if (device_->isProgressThreadStarted()) device_->getSyncObject()->WaitToUnlock(true);
    device_.reset();
    reportNotRun();
    return result_;
}

}  // namespace

int RunCardLoader(int argc, char** argv) {
    CardLoader loader(argc, argv);
    return loader.run();
}
