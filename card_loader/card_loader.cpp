#include "card_loader/card_loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "card_service/code_sel_dialog.h"
#include "card_service/kes_ssfdc_device.h"
#include "platform/file_writer.h"
#include "platform/files.h"
#include "platform/message_box.h"

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

struct CodeOption {
    const char* option;
    KESTRACODETYPE kind;
};
constexpr CodeOption kDownloads[] = {{"/boot", KESTRA_BOOT},
                                     {"/firm", KESTRA_FIRMWARE},
                                     {"/mips", KESTRA_MIPS},
                                     {"/mser", KESTRA_MSER}};
constexpr CodeOption kDeletes[] = {{"/delboot", KESTRA_BOOT},
                                   {"/delfirm", KESTRA_FIRMWARE},
                                   {"/delmips", KESTRA_MIPS},
                                   {"/delmser", KESTRA_MSER}};
constexpr CodeOption kUploads[] = {{"/uplboot", KESTRA_BOOT},
                                   {"/uplfirm", KESTRA_FIRMWARE},
                                   {"/uplmips", KESTRA_MIPS},
                                   {"/uplmser", KESTRA_MSER}};

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
    enum class Next { Continue, Stop };

    const char* arg(int i) const { return i < argc_ ? argv_[i] : nullptr; }
    // Checks that the `count` values after the option at `i` are there; when one is missing,
    // says so naming the argument before it, prints the usage and ends the run.
    bool haveValues(int i, int count);
    void formatIfNeeded();
    void startProgress() { device_->StartDialogThread(true); }

    void readerPass();
    bool codeSettingsPass();  // false: a value is missing
    bool dialogPass();        // false: quit at once
    void actionPass();
    Next act(int& i);
    void dump(int i);
    bool dumpToFile(SSFDCContentsInfo& contents, const std::string& name);
    void downloadFonts(const char* base);
    void downloadCode();

    int argc_;
    char** argv_;
    std::unique_ptr<CKesSSFDCDevice> device_;
    CCodeSelDialog codeDialog_;
    unsigned port_ = 0x378;
    bool winceDialog_ = true;
    std::string codeFolder_;
    BYTE codeFlags_ = 0;
    bool fontGiven_ = false;
    bool codeConfirmed_ = true;
    int result_ = 0;
};

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
            if (arg(i + 1)) port_ = static_cast<unsigned>(std::atoi(argv_[++i]));
        } else if (Is(argv_[i], "/card")) {
            if (arg(i + 1)) device_->setSimCardSize(static_cast<unsigned>(std::atoi(argv_[++i])));
        } else if (Is(argv_[i], "/diswcedlg")) {
            winceDialog_ = false;
        }
    }
}

bool CardLoader::codeSettingsPass() {
    for (int i = 1; i < argc_; ++i) {
        if (Is(argv_[i], "/pathcode")) {
            if (!haveValues(i, 1)) return false;
            codeFolder_ = argv_[++i];
            if (codeFolder_.empty() || codeFolder_.back() != '\\') codeFolder_ += '\\';
        } else if (Is(argv_[i], "/flagcode")) {
            if (arg(i + 1)) codeFlags_ = static_cast<BYTE>(std::atoi(argv_[++i]));
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

// The dump with HTML tags, through the file writer; false when the file cannot be written.
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
    const bool written = kestra::platform::WriteWholeFile(name, std::string_view(text, size));
    std::free(text);
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

// Acts on the option at argument i and moves i past what it consumed.
CardLoader::Next CardLoader::act(int& i) {
    const char* a = argv_[i];
    if (Is(a, "/format")) {
        if (!device_->IsFormatted()) {
            startProgress();
            device_->Format();
        }
        ++i;
        return Next::Continue;
    }
    if (Is(a, "/info")) {
        PrintInfo(*device_, stdout);
        return Next::Stop;
    }
    if (Is(a, "/pathcode")) {
        i += 2;
        return Next::Continue;
    }
    if (Is(a, "/unformat")) {
        device_->Unformat();
        return Next::Stop;
    }
    if (Is(a, "/dump")) {
        dump(i);
        return Next::Stop;
    }
    for (const CodeOption& o : kDownloads) {
        if (!Is(a, o.option)) continue;
        if (!haveValues(i, 1)) return Next::Stop;
        startProgress();
        formatIfNeeded();
        device_->DownloadKestraCode(argv_[i + 1], o.kind);
        return Next::Stop;
    }
    if (Is(a, "/delappl")) {
        device_->DeleteApplication();
        return Next::Stop;
    }
    if (Is(a, "/delproj")) {
        device_->DeleteProject();
        return Next::Stop;
    }
    for (const CodeOption& o : kDeletes) {
        if (!Is(a, o.option)) continue;
        device_->DeleteKestraCode(o.kind, true);
        return Next::Stop;
    }
    if (Is(a, "/delfont")) {
        const char* kind = arg(i + 1);
        FONTTYPE font = FONT_OTHER;
        if (kind && std::strcmp(kind, "d") == 0) font = FONT_D;
        if (kind && std::strcmp(kind, "l") == 0) font = FONT_L;
        if (kind && std::strcmp(kind, "xl") == 0) font = FONT_XL;
        device_->DeleteFont(font, true);
        return Next::Stop;
    }
    if (Is(a, "/raw") || Is(a, "/uplraw")) {
        const char* file = arg(i + 1) ? arg(i + 1) : "";
        const auto blocks = static_cast<unsigned short>(arg(i + 2) ? std::atoi(arg(i + 2)) : 65535);
        startProgress();
        if (Is(a, "/raw"))
            device_->RawDownload(file, blocks);
        else
            device_->RawUpload(file, blocks);
        return Next::Stop;
    }
    if (Is(a, "/wcefs")) {
        int values[3] = {-1, -1, -1};
        int taken = 0;
        while (taken < 3 && arg(i + 1 + taken)) {
            values[taken] = std::atoi(arg(i + 1 + taken));
            ++taken;
        }
        formatIfNeeded();
        device_->CreateWCEFSPlaceholder(values[0], values[1], values[2]);
        i += 1 + taken;
        return Next::Continue;
    }
    if (Is(a, "/wince")) {
        if (!haveValues(i, 3)) return Next::Stop;
        // The name is optional: an argument that is an option is not taken for it.
        const char* name = arg(i + 4) && arg(i + 4)[0] != '/' ? arg(i + 4) : nullptr;
        startProgress();
        formatIfNeeded();
        device_->DownloadWinCEFile(argv_[i + 1], name ? name : kDefaultWinCEName,
                                   std::atoi(argv_[i + 2]), std::atoi(argv_[i + 3]), winceDialog_);
        i += name ? 5 : 4;
        return Next::Continue;
    }
    if (Is(a, "/uplwince")) {
        if (!haveValues(i, 3)) return Next::Stop;
        device_->UploadWinCEFile(argv_[i + 1], "", std::atoi(argv_[i + 2]),
                                 std::atoi(argv_[i + 3]));
        i += 4;
        return Next::Continue;
    }
    if (Is(a, "/ver")) {
        std::printf("Boot version:         %s\n", device_->getCodeVersion(KESTRA_BOOT, nullptr));
        std::printf("Firmware version:     %s\n",
                    device_->getCodeVersion(KESTRA_FIRMWARE, nullptr));
        std::printf("MIPS code version:    %s\n", device_->getCodeVersion(KESTRA_MIPS, nullptr));
        std::printf("MIPS service version: %s\n", device_->getCodeVersion(KESTRA_MSER, nullptr));
        ++i;
        return Next::Continue;
    }
    if (Is(a, "/types")) {
        device_->GetSSFDCTypes().Dump(stdout);
        ++i;
        return Next::Continue;
    }
    if (Is(a, "/test")) {
        device_->StartTestMode();
        ++i;
        return Next::Continue;
    }
    for (const CodeOption& o : kUploads) {
        if (!Is(a, o.option)) continue;
        if (!haveValues(i, 1)) return Next::Stop;
        startProgress();
        device_->UploadKestraCode(argv_[i + 1], o.kind);
        return Next::Stop;
    }
    if (Is(a, "/help")) {
        PrintUsage(device_.get());
        return Next::Stop;
    }
    if (Is(a, "/rom")) {
        if (!haveValues(i, 1)) return Next::Stop;
        startProgress();
        formatIfNeeded();
        // The file is read before the fonts go, so that one that cannot be sent keeps them.
        device_->DownloadROMFile(argv_[i + 1], !fontGiven_);
        i += 2;
        return Next::Continue;
    }
    if (Is(a, "/uplrom")) {
        if (!haveValues(i, 1)) return Next::Stop;
        if (!device_->IsFormatted()) {
            Message("The SSFDC card is not formatted. Can not upload ROM file.");
            return Next::Stop;
        }
        startProgress();
        device_->UploadROMFile(argv_[i + 1]);
        i += 2;
        return Next::Continue;
    }
    if (Is(a, "/font")) {
        if (!haveValues(i, 1)) return Next::Stop;
        fontGiven_ = true;
        startProgress();
        formatIfNeeded();
        downloadFonts(argv_[i + 1]);
        i += 2;
        return Next::Continue;
    }
    if (Is(a, "/card") || Is(a, "/flagcode") || Is(a, "/port")) {
        i += 2;
        return Next::Continue;
    }
    if (Is(a, "/code")) {
        if (codeConfirmed_) {
            startProgress();
            formatIfNeeded();
            downloadCode();
        }
        ++i;
        return Next::Continue;
    }
    if (Is(a, "/diswcedlg")) {
        ++i;
        return Next::Continue;
    }
    Message(Formatted("Unknown command '%s' is found.\n", a));
    PrintUsage(device_.get());
    return Next::Stop;
}

void CardLoader::actionPass() {
    for (int i = 1; i < argc_;)
        if (act(i) == Next::Stop) return;
}

int CardLoader::run() {
    if (argc_ < 2) {
        PrintUsage(nullptr);
        return -1;
    }
    // The program folder keeps its separator: the card types are read from it.
    device_ = std::make_unique<CKesSSFDCDevice>((kestra::platform::ProgramFolder() + "/").c_str());
    try {
        readerPass();
        device_->initSSFDC(port_);
        if (codeSettingsPass()) {
            if (!dialogPass()) return 1;
            if (!device_->CheckWCEHeaderIntegrity()) device_->Unformat();
            actionPass();
        }
    } catch (CSSFDCLibException* error) {
        std::unique_ptr<CSSFDCLibException> owned(error);
        error->Report(REPORT_MESSAGEBOX);
        result_ = error->m_ErrorCode;
    }
    std::fflush(stdout);
    if (device_->isProgressThreadStarted()) device_->getSyncObject()->WaitToUnlock(true);
    device_.reset();
    return result_;
}

}  // namespace

int RunCardLoader(int argc, char** argv) {
    CardLoader loader(argc, argv);
    return loader.run();
}
