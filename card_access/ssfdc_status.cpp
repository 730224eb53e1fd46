#include "kestra/ssfdc_status.h"

#include <cstring>

CSSFDCStatus::CSSFDCStatus() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
}

CSSFDCStatus::CSSFDCStatus(const CSSFDCStatus& other) {
    std::memcpy(static_cast<void*>(this), &other, sizeof(*this));
}

CSSFDCStatus& CSSFDCStatus::operator=(const CSSFDCStatus& other) {
    std::memmove(static_cast<void*>(this), &other, sizeof(*this));
    return *this;
}
