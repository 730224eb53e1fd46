// The download manager: keyboards and other files to and from the SmartMedia card in the
// configured card reader, through the card device service. Transfers run on a worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devices/card_lock.h"
#include "platform/records.h"

class CKesSSFDCDevice;

// The card's properties. The keyboard editor reads the two fields at offsets 12 and 16: both
// zero means that there is no card.
struct sSSFDCPROPERTY {
    kestra::le32 megabytes;      // 0
    kestra::le32 deviceCode;     // 4
    kestra::le32 formatted;      // 8: 1 when the card holds the file system
    kestra::le16 blocks;         // 12: erase blocks of the card, 0 without a card
    kestra::le16 reserved1;      // 14
    kestra::le16 pagesPerBlock;  // 16: 0 without a card
    kestra::le16 pageSize;       // 18
    kestra::le32 reserved2[3];   // 20
};
static_assert(sizeof(sSSFDCPROPERTY) == 32);

class CDownMgr {
  public:
    CDownMgr();
    ~CDownMgr();
    CDownMgr(const CDownMgr&) = delete;
    CDownMgr& operator=(const CDownMgr&) = delete;

    // Binds the card device service (card types from the program folder).
    void Init();
    // True while a transfer runs.
    bool IsUsed() const { return m_used.load(); }
    // The reader's base address (the simulated reader answers at its configured one).
    unsigned Port() const { return m_port; }
    void SetPort(unsigned port) { m_port = port; }

    // Fills the card's properties. An empty reader is an answer: both card fields stay zero
    // and the call succeeds. A card that another program holds is shown with Retry. A reader that
    // cannot be reached (an unknown reader, nothing answering at the port, a disk that cannot be
    // opened) or a card that cannot be read is a failure, with LastReport() saying why.
    bool UploadSSFDCProps(sSSFDCPROPERTY* properties);
    // Writes the card's file table into the file `name` of the user's cache folder
    // (CacheFile), where the program reads it.
    bool UploadSSFDCFileProps(const std::string& name);
    // Starts sending `file` as a card file of that type and subtype and returns at once.
    void Download(const std::string& file, int type, int subtype);
    bool DeleteFileOnSSFDC(int type, int subtype);
    // Writes the card file system onto the card in the reader, erasing what it held. It may
    // run on a thread of its own: a failure is not shown, LastReport() says why.
    bool FormatCard();
    void BreakComm();

    // Called on the worker thread when a download has ended and IsUsed() is false again:
    // success, and the report of a failure.
    using Finished = std::function<void(bool ok, const std::string& report)>;
    void SetFinished(Finished finished) { m_finished = std::move(finished); }
    // Waits for a running download.
    void Wait();
    // The pauses the card needs between two requests; tests take the time out of them.
    using Pause = std::function<void(int milliseconds)>;
    void SetPause(Pause pause) { m_pause = std::move(pause); }
    void Settle(int milliseconds) const { m_pause(milliseconds); }
    // The report of the last failed operation.
    std::string LastReport() const;
    // Where a failure is shown; by default a message box.
    using Reporter = std::function<void(const std::string& report)>;
    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }

  private:
    // Runs one card operation with a freshly detected card, taken for `use` until the
    // operation ends; false (and the report kept and shown) when the service throws. A card
    // that another program holds is shown with Retry, which runs the operation again.
    bool Run(const std::function<void(CKesSSFDCDevice&)>& operation, bool show,
             kestra::platform::CardUse use = kestra::platform::CardUse::Write);

    std::unique_ptr<CKesSSFDCDevice> m_device;
    mutable std::mutex m_mutex;
    std::thread m_worker;
    std::atomic<bool> m_used{false};
    unsigned m_port = 0;
    std::string m_lastReport;
    Finished m_finished;
    Reporter m_reporter;
    Pause m_pause;
};
