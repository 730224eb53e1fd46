// The card type and detected-card record of the card access library.
//
// One record describes a SmartMedia card type from "cardtype.ini" or, filled by card
// detection, the card in the reader. It is a plain record of 96 bytes that assignment
// copies byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

class CSSFDCStatus {
  public:
    CSSFDCStatus();
    CSSFDCStatus(const CSSFDCStatus& other);
    CSSFDCStatus& operator=(const CSSFDCStatus& other);

    std::int32_t MB;          // capacity in megabytes; kept and reported only
    std::int32_t TypeCode;    // device code: the second byte of the card ID
    std::int32_t StatusByte;  // status read at detection; 0 in the type table
    std::int32_t Blocks;      // erase blocks on the card
    std::int32_t BlockSize;   // Pages * PageSize
    std::int32_t Pages;       // pages per block
    std::int32_t PageSize;    // bytes a page operation moves (data and spare area)
    std::int32_t LastAddr;    // last usable address; kept and reported only
    char Manufacturer[64];    // zero-terminated, at most 63 characters

    static constexpr std::size_t kManufacturerSize = 64;
};

static_assert(sizeof(CSSFDCStatus) == 96);
static_assert(offsetof(CSSFDCStatus, MB) == 0);
static_assert(offsetof(CSSFDCStatus, TypeCode) == 4);
static_assert(offsetof(CSSFDCStatus, StatusByte) == 8);
static_assert(offsetof(CSSFDCStatus, Blocks) == 12);
static_assert(offsetof(CSSFDCStatus, BlockSize) == 16);
static_assert(offsetof(CSSFDCStatus, Pages) == 20);
static_assert(offsetof(CSSFDCStatus, PageSize) == 24);
static_assert(offsetof(CSSFDCStatus, LastAddr) == 28);
static_assert(offsetof(CSSFDCStatus, Manufacturer) == 32);
