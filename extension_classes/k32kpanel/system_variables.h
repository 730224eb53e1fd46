// K32KPANEL: the driver of the panel's own system variables (clock, current page, alarms,
// backlight, ...). It answers the driver interface that the loader binds by name for the
// one memory area "System Variable": a variable is addressed by its name, which is its
// logical tag, and carries its fixed data format.
#pragma once

#include "plc_s5/k32plc1.h"  // the driver interface's declarations

// Answered besides those of the interface that K32PLC1 declares (and with its types):
// InitPlcDefaults, ExpGetPLCType (0), ExpSetPLCModel, ExpGetModelName,
// ExpGetModelIDandNameArrays, ExpSetDataFormat, ExpGetDataFormat,
// ExpGetDataFormatStringFromId, ExpGetDataFormatIdFromString, ExpGetPreferredDataFormat,
// ExpIsASCIIDataFormat, ExpIsFormatSupported, ExpIsReadWriteSupported, ExpSetLogicalTag,
// ExpGetLogicalTag (names of at most 100 characters and a zero).
extern "C" {
// The field dialog may always close.
BOOL ExpCanCloseDialog(_tagDEFIELD* context);
}
