// Access to a SmartMedia card in a parallel-port reader.
//
// CSSFDCInterface detects the card, finds its geometry in the card type table and reads
// and writes pages and erases blocks. Pages are addressed by row: block * Pages + page in
// block. The reader is reached by one of two paths, chosen at initSSFDC from the platform's
// card reader configuration (platform/card_reader.h): the reader's kernel driver, or the
// parallel port registers driven directly. Both offer the same six operations (reset, read
// ID, read status, read page, write page, erase block) through one table for the process.
//
// Every public operation except the my* calls and the inert card file calls starts by
// setting the last error to SSFDC_OK and sets it on failure.
#pragma once

#include <cstdint>
#include <memory>

#include "card_access/ssfdc_types.h"
#include "kestra/ssfdc_status.h"

enum ERRCODE : std::int32_t {
    SSFDC_OK = 0,
    SSFDC_ERR_INIT = 1,          // the access path could not be set up
    SSFDC_ERR_ERASE = 2,         // the erase failed
    SSFDC_ERR_NOCARD = 3,        // no card answers (or it reports device code 0xFF)
    SSFDC_ERR_READ = 4,          // the page read failed
    SSFDC_ERR_WRITE = 5,         // the page write failed
    SSFDC_ERR_UNKNOWN_TYPE = 6,  // the card's device code is not in the type table
};

// Pages per block of the last detected card.
extern std::uint16_t iSSFDCPages;

class CSSFDCInterface {
  public:
    // The card type table is read from `folder` + "cardtype.ini". No card access.
    explicit CSSFDCInterface(const char* folder);
    // Copies share the card type table.
    CSSFDCInterface(const CSSFDCInterface& other);
    CSSFDCInterface& operator=(const CSSFDCInterface& other);
    virtual ~CSSFDCInterface();

    // Chooses the access path, resets the reader on the parallel port at base address
    // `port` (unused on the driver path) and detects the card.
    bool initSSFDC(unsigned port);
    // Detects the card and fills `out`.
    bool getSSFDCInfo(CSSFDCStatus& out);
    // Reads `length` bytes of the page at `row` from byte `offset` of the page.
    bool readPage(unsigned row, char* data, unsigned length, unsigned offset);
    // Writes `length` bytes to the page at `row` from its first byte; the last argument is
    // not used.
    bool writePage(unsigned row, char* data, unsigned length, unsigned unused);
    // Erases the block holding `row`; `failed` tells that the card reported the erase as
    // failed (a bad block). True whenever the erase and the status read ran.
    bool deleteBlock(unsigned row, bool& failed);

    // The access path's operations, called directly: nonzero is success. The last error
    // is not touched.
    int myEraseSSFDC(unsigned row);
    int myReadSSFDC(unsigned row, unsigned char* data, int length);
    int myWriteSSFDC(unsigned row, unsigned char* data, int length);

    ERRCODE getLastError();

    // A card simulated on a file is not part of this library: these calls do nothing and
    // every operation goes to the reader.
    bool isSimulationMode();
    void setSimCardSize(unsigned size);
    void CloseCardFile(const char* name);
    bool OpenCardFile(const char* name);

    // Largest page a reader transfers: the size of the page buffer.
    static constexpr unsigned kPageBufferSize = 32768;

  protected:
    std::shared_ptr<CSSFDCTypes> m_types;
    CSSFDCStatus m_card;
    ERRCODE m_lastError = SSFDC_OK;
    char m_pageBuffer[kPageBufferSize];

  private:
    bool fail(ERRCODE error);
    bool rowOnCard(unsigned row) const;
};
