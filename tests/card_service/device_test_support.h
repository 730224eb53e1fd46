// Shared helpers of the card device service tests.
#pragma once

#include <functional>
#include <string>

#include "card_service/kes_ssfdc_device.h"

namespace kestra::card::testing {

// The error code of the card library exception that `action` throws (0 when none); `report`
// gets the exception's report.
inline int CodeOf(const std::function<void()>& action, std::string* report = nullptr) {
    try {
        action();
    } catch (CSSFDCLibException* error) {
        const int code = error->m_ErrorCode;
        if (report) *report = error->GetReport();
        error->Delete();
        return code;
    }
    return 0;
}

}  // namespace kestra::card::testing
