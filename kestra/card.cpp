// kestra card send PROJECT|IMAGE, kestra card list: the panel image on a card, through the
// card device service on the configured reader (the simulated card by default).
#include "kestra/card.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "card_service/card_names.h"
#include "devices/card_reader.h"
#include "kestra/commands.h"
#include "kestra/driver.h"
#include "kestra/panel_image.h"
#include "platform/files.h"

namespace kestra::host {

namespace {

// For trying out failures: the simulated card loses power (as a card taken out of the
// reader) after this many further program or erase operations.
constexpr const char* kPullVariable = "KESTRA_SIM_CARD_PULL";

struct CardOptions {
    std::string input;
    std::string name;
    bool shortenName = false;
    bool wait = false;
    unsigned port = kDefaultCardPort;
    bool force = false;
};

// A temporary folder for the file that goes to the card and the one read back; removed with
// everything in it.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestra-card-XXXXXX").string();
        if (!mkdtemp(pattern.data())) Fail(kExitOutput, "no temporary folder for the card's file");
        path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The card device on the configured reader, with progress on standard error. The card is
// taken for `use` for the whole command; with `wait`, a card that another program holds is
// waited for.
class Card {
  public:
    Card(const CardOptions& options, platform::CardUse use)
        : device_(std::make_unique<CKesSSFDCDevice>((platform::ProgramFolder() + "/").c_str())) {
        device_->setCardUse(use);
        if (options.wait)
            device_->setWaitForCard([](const std::string& holders) {
                std::fprintf(stderr, "kestra: the card is in use by %s; waiting for it\n",
                             holders.c_str());
            });
        device_->initSSFDC(options.port);
        if (const char* pull = std::getenv(kPullVariable))
            if (auto card = platform::ConfiguredSimCard())
                card->cutPowerAfter(static_cast<DWORD>(std::strtoul(pull, nullptr, 0)));
    }
    ~Card() {
        if (device_->isProgressThreadStarted()) device_->getSyncObject()->WaitToUnlock(true);
    }
    CKesSSFDCDevice& operator*() { return *device_; }
    CKesSSFDCDevice* operator->() { return device_.get(); }

    // Runs card work; a card error ends the command with its own exit code.
    template <typename Work>
    void run(const std::string& what, Work work) {
        try {
            work();
        } catch (CSSFDCLibException* error) {
            if (device_->isProgressThreadStarted()) device_->getSyncObject()->WaitToUnlock(true);
            if (error->m_ErrorCode == KESSSFDC_CARD_IN_USE)
                error->m_Report += " Give --wait to wait until it is free.";
            FailCard(what, error);
        }
    }

  private:
    std::unique_ptr<CKesSSFDCDevice> device_;
};

void RunSend(const CardOptions& options) {
    const std::string name = CardFileName(
        options.name.empty() ? std::string(platform::FileNamePart(options.input)) : options.name,
        options.shortenName);
    const Bytes image = ImageToSend(options.input, options.force);
    Card card(options, platform::CardUse::Write);
    card.run("card send", [&] {
        card->StartDialogThread(true);
        if (!card->IsFormatted()) {
            std::fprintf(stderr, "kestra: the card is not formatted; formatting it\n");
            card->Format();
        }
    });
    SendPanelImage(*card, name, image);
    std::printf("%s: %zu bytes sent to the card as its project file \"%s\" and verified\n",
                options.input.c_str(), image.size(), name.c_str());
}

void RunList(const CardOptions& options) {
    Card card(options, platform::CardUse::Read);
    card.run("card list", [&] {
        if (!card->IsFormatted())
            Fail(kExitCardFailed,
                 "card list: the card is not formatted (kestra card send "
                 "formats it, so does cardload /format)");
    });
    WriteStandardOutput(CardContentsText(*card));
}

// A number as the card loader reads one: decimal, or hexadecimal after "0x". Leading zeros of a
// decimal number do not make it octal, as they would for the option parser.
std::string DecimalOrHex(std::string text) {
    const bool hex = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex || text.empty()) return text;
    const std::size_t first = text.find_first_not_of('0');
    return first == std::string::npos ? "0" : text.substr(first);
}

}  // namespace

ExitCode CardExitCode(KESSSFDCERRORCODE code) {
    switch (code) {
        case KESSSFDC_NO_CARD:
            return kExitNoCard;
        case KESSSFDC_CARD_IMAGE:
            return kExitCardImage;
        case KESSSFDC_CARD_IN_USE:
            return kExitCardInUse;
        case KESSSFDC_CARD_FULL:
            return kExitCardFull;
        default:
            return kExitCardFailed;
    }
}

void FailCard(const std::string& what, CSSFDCLibException* error) {
    std::unique_ptr<CSSFDCLibException> owned(error);
    Fail(CardExitCode(error->m_ErrorCode), what + ": " + error->m_Report + " (card error " +
                                               std::to_string(error->m_ErrorCode) + ")");
}

std::string CardFileName(const std::string& name, bool shorten) {
    const std::string shown = "card send: \"" + card::PrintableName(name) + "\"";
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        Fail(kExitUsage, shown + " cannot be a file name on the card");
    if (shorten && card::OnlyTooLong(name))
        return std::string(card::WholeCharacters(name, card::kMaxNameBytes));
    if (const auto problem = card::CardNameProblem(name))
        Fail(kExitUsage, shown + " cannot be a file name on the card: it " + *problem +
                             (card::OnlyTooLong(name) ? " (--shorten-name shortens it)" : ""));
    return name;
}

void CheckCardFileName(const std::string& name) {
    CardFileName(name, false);
}

Bytes ImageToSend(const std::string& file, bool force) {
    const Bytes bytes = ReadInput(file);
    if (ReadProjectImageHead(bytes)) return BuildPanelImageOf(file, false, force).image;
    if (PanelImageTotalSize(bytes) == 0)
        Fail(kExitNotProject, file + ": neither a project image nor a panel image");
    Driver driver = Driver::ForProjectCode(kPanelImageProjectCode, 0, file);
    driver.readPanelImage(file, bytes, kExitNotProject);
    return bytes;
}

void SendPanelImage(CKesSSFDCDevice& device, const std::string& name, const Bytes& image) {
    CheckCardFileName(name);
    TemporaryFolder folder;
    const std::string sent = folder.file(name), back = folder.file("read back");
    WriteOutput(sent, image);
    try {
        device.DownloadFile(sent.c_str(), card::kProjectType, 0, name.c_str());
        device.UploadFile(back.c_str(), card::kProjectType, 0);
    } catch (CSSFDCLibException* error) {
        FailCard("card send", error);
    }
    if (platform::ReadWholeFile(back).value_or("") != std::string(image.begin(), image.end()))
        Fail(kExitCardFailed,
             "card send: the project file read back from the card differs from "
             "the panel image sent");
}

std::string CardContentsText(CKesSSFDCDevice& device) {
    SSFDCContentsInfo contents;
    try {
        device.KestraContents(contents);
    } catch (CSSFDCLibException* error) {
        FailCard("card list", error);
    }
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&text, &length);
    if (!out) Fail(kExitInternal, "card list: no memory for the card's contents");
    contents.Dump(out);
    std::fclose(out);
    std::string result(text, length);
    std::free(text);
    return result;
}

void AddCardCommand(CLI::App& app) {
    static CardOptions options;
    CLI::App* card = app.add_subcommand(
        "card", "Work with the card in the configured reader (the simulated card by default).");
    card->require_subcommand(1);
    CLI::App* send = card->add_subcommand(
        "send",
        "Write a panel image to the card as its project file, read it back and verify "
        "it; a project file is first built into its panel image.");
    send->add_option("FILE", options.input, "A project file or a panel image.")->required();
    send->add_option("--name", options.name,
                     "The file's name on the card (its own name by default): at most 39 bytes "
                     "of UTF-8 text without control characters. A name that does not fit is "
                     "refused, unless --shorten-name is given.")
        ->type_name("NAME");
    send->add_flag("--force", options.force,
                   "Send a project even when it has errors (kestra check): they are printed as "
                   "warnings.");
    send->add_flag("--shorten-name", options.shortenName,
                   "Shorten a name longer than 39 bytes to the whole characters that fit.");
    CLI::App* list = card->add_subcommand("list", "List the files on the card.");
    for (CLI::App* sub : {send, list}) {
        sub->add_option("--port", options.port,
                        "The reader's port address, decimal or 0x hexadecimal (0x378 by default).")
            ->type_name("ADDRESS")
            ->transform(DecimalOrHex);
        sub->add_flag("--wait", options.wait,
                      "Wait for a card that another program is using, rather than end with exit "
                      "code 15.");
    }
    send->callback([] { RunSend(options); });
    list->callback([] { RunList(options); });
}

}  // namespace kestra::host
