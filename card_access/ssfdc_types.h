// The SmartMedia card type table, loaded from "cardtype.ini".
//
// Each section of the file is one card type (the section name is only a label); the keys
// "Manufacturer", "Blocks", "LastAddr", "Pages", "PageSize", "TypeCode" and "MB" fill a
// CSSFDCStatus, BlockSize is Pages * PageSize. Section names are read into 2048 bytes:
// sections whose names do not fit are not loaded. A missing file gives an empty table.
//
// Copies share the table of their source; it lives as long as any copy does. Pointers
// returned by the lookups stay valid until the next enumTypes of the same object.
#pragma once

#include <cstdint>
#include <memory>

#include "kestra/ssfdc_status.h"

class CSSFDCTypes {
  public:
    // The file is `folder` followed directly by "cardtype.ini" (the folder ends with its
    // separator); it is read at once.
    explicit CSSFDCTypes(const char* folder);
    CSSFDCTypes(const CSSFDCTypes& other);
    CSSFDCTypes& operator=(const CSSFDCTypes& other);
    virtual ~CSSFDCTypes();

    // Replaces the whole file path; a path of 256 characters or more is refused (the old
    // one stays). The table is read again only by enumTypes.
    void setINIFilename(const char* path);
    // (Re)loads the table from the file.
    void enumTypes();
    unsigned getNumTypes();
    // The first type whose TypeCode is `code`, or null.
    CSSFDCStatus* getSSFDCData(unsigned code);
    // The type at `index`, counted from 0 in file order, or null past the last one.
    CSSFDCStatus* getSSFDCDataByIndex(unsigned index);

    static constexpr std::size_t kPathSize = 256;
    static constexpr std::size_t kSectionNamesSize = 2048;

  private:
    std::uint32_t m_numTypes = 0;
    std::shared_ptr<CSSFDCStatus[]> m_table;
    char m_iniPath[kPathSize] = {};
};
