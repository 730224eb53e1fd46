// K32SSFDCApp: the card device service.
//
// CKesSSFDCDevice is a card interface (card access library) that keeps a file system on the
// card (card_file_system.h) and offers what the card loader and the keyboard editor's
// download manager do with cards: formatting, Kestra code files with their versions, fonts,
// ROM files, keyboards, projects and applications, Windows CE files and the placeholder of a
// Windows CE file system, whole-card images, a contents dump, the supported card types and a
// read test of the whole card. Long operations show their progress on the terminal from the
// service's own thread once StartDialogThread has started it, or to a display of the caller's
// (setProgressSink).
//
// Every operation reports failure by throwing a CSSFDCLibException allocated with new; the
// catcher owns it (Delete() or delete). Card operations on a card that is missing, of an
// unknown type, or not formatted throw as well; the type list and the banner need no card.
//
// One card, one writer: initSSFDC takes the card (devices/card_lock.h) before it looks at it,
// alone for a device that may change it, shared with other readers for one that only reads
// it (setCardUse), and the card stays taken until releaseCard, the next initSSFDC or the
// device's end. A card that another program holds is waited for (setWaitForCard) or, by
// default, not touched at all: the card operations then fail with KESSSFDC_CARD_IN_USE,
// naming that program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "card_service/card_errors.h"
#include "card_service/card_files.h"
#include "card_service/directory.h"
#include "card_service/terminal_progress.h"
#include "devices/card_lock.h"

enum REPORTMODE : int {
    REPORT_MESSAGEBOX = 0,  // a message box (a line on standard error without a display)
    REPORT_STDERR = 1,      // a line on standard error
    REPORT_SILENT = 2,      // nothing; the caller reads GetReport()
};

class CSSFDCLibException {
  public:
    CSSFDCLibException(KESSSFDCERRORCODE code, std::string report);

    KESSSFDCERRORCODE m_ErrorCode;  // first member: the loader's exit code
    std::string m_Report;

    // Presents the report; returns the button that closed the message box (IDOK otherwise).
    int Report(REPORTMODE mode);
    const char* GetReport() const { return m_Report.c_str(); }
    void Delete() { delete this; }
};

// The card's contents as KestraContents collects them.
class SSFDCContentsInfo {
  public:
    void enableHTMLTags(bool enable) { m_html = enable; }
    // The file list and the card's use of its blocks, as text or as an HTML fragment.
    void Dump(FILE* out) const;

    std::vector<kestra::card::CardFile> m_files;
    unsigned m_blocks = 0, m_badBlocks = 0;
    std::size_t m_blockBytes = 0;
    std::uint64_t m_usedBytes = 0, m_freeBytes = 0;

  private:
    bool m_html = false;
};

// The card types of "cardtype.ini".
class CSupportedTypesList {
  public:
    void Dump(FILE* out) const;
    std::vector<CSSFDCStatus> m_types;
};

class CKesSSFDCDevice : public CSSFDCInterface {
  public:
    // Card types from the program folder.
    CKesSSFDCDevice();
    // Card types from `folder` + "cardtype.ini" (the folder ends with its separator).
    explicit CKesSSFDCDevice(const char* folder);
    ~CKesSSFDCDevice() override;
    CKesSSFDCDevice(const CKesSSFDCDevice&) = delete;
    CKesSSFDCDevice& operator=(const CKesSSFDCDevice&) = delete;

    // Sets up the reader, takes the card and detects it. A failure is kept and reported by
    // the first card operation; the result says whether a card was found.
    bool initSSFDC(unsigned port);
    // How the next initSSFDC takes the card: for reading (shared with other programs that read
    // it; every change is then refused) or for writing (alone; the default).
    void setCardUse(kestra::platform::CardUse use);
    // With a function, initSSFDC waits for a card that another program holds, after telling it
    // who holds it; without one (the default) it does not wait.
    void setWaitForCard(kestra::platform::CardLock::Waiting waiting);
    // Lets the card go for other programs once the work is done; the card operations need a
    // new initSSFDC then.
    void releaseCard();
    // The banner text (which = 0).
    const char* setSSFDCID(int which);

    void SSFDCInfo(CSSFDCStatus& out);
    bool IsFormatted();
    // False when the card holds directory blocks of which none is readable: the header of
    // the card is broken and the card must be formatted anew. True without a card.
    bool CheckWCEHeaderIntegrity();
    void Format();
    void Unformat();

    void StartDialogThread(bool show);
    bool isProgressThreadStarted();
    CThreadSync* getSyncObject();
    // A progress display of the caller's own (a progress dialog) instead of the terminal's;
    // null goes back to the terminal's once StartDialogThread has started it. The sink is
    // called on the thread that runs the card work. Its advance may throw a CardError to stop
    // the work there: a download stopped that way leaves the card as it was (the new blocks
    // are given back, the directory is not touched).
    void setProgressSink(kestra::card::ProgressSink* sink);

    void DownloadKestraCode(const char* file, KESTRACODETYPE kind);
    void UploadKestraCode(const char* file, KESTRACODETYPE kind);
    void DeleteKestraCode(KESTRACODETYPE kind, bool confirm);
    // "not on card", "no version" or the version text; valid until the next call. `copy`,
    // when given, receives the text as well.
    const char* getCodeVersion(KESTRACODETYPE kind, std::string* copy);

    void FontDownload(const char* file);
    // Kind 5 deletes every font; 2, 3 and 4 the font of that kind.
    void DeleteFont(FONTTYPE kind, bool confirm);
    void DownloadROMFile(const char* file);
    // The ROM file is read first, so that a file that cannot be sent leaves the card as it
    // was; then, with `deleteFonts`, every font is deleted without confirmation, and the ROM
    // file is written.
    void DownloadROMFile(const char* file, bool deleteFonts);
    void UploadROMFile(const char* file);

    void RawDownload(const char* file, unsigned short blocks);
    void RawUpload(const char* file, unsigned short blocks);

    void DownloadWinCEFile(const char* file, const char* name, int type, int subtype,
                           bool showDialog);
    // An empty or null name takes the file of that type and subtype whatever its name.
    void UploadWinCEFile(const char* file, const char* name, int type, int subtype);
    // -1 takes the default: every free block, type 32, subtype 0. A block count of 0 or less
    // (other than -1) is out of range.
    void CreateWCEFSPlaceholder(int blocks, int type, int subtype);

    void DeleteProject();
    void DeleteApplication();
    // Reads every page of the card and prints what it found to standard output.
    void StartTestMode();

    void KestraContents(SSFDCContentsInfo& info);
    CSupportedTypesList& GetSSFDCTypes();

    // Any file by type and subtype (the keyboard editor's download manager sends keyboards,
    // type 6, this way).
    void DownloadFile(const char* file, int type, int subtype, const char* name);
    void UploadFile(const char* file, int type, int subtype);
    void DeleteFile(int type, int subtype);
    // The card's file table: le32 length N of the records, then per file: record length L,
    // type, subtype, 0, 0 and the first L - 5 bytes of the file (at most 250).
    std::vector<std::uint8_t> FileTable();
    void WriteFileTable(const char* file);

    // Edits the name, type and subtype of a Windows CE file before its download when
    // DownloadWinCEFile is asked to show the dialog; false cancels the download. By default
    // the questions are asked on the terminal when standard input is one.
    using PropertiesEditor = std::function<bool(std::string& name, int& type, int& subtype)>;
    void setPropertiesEditor(PropertiesEditor editor);

    struct Service;

  private:
    std::unique_ptr<Service> m_service;
};
