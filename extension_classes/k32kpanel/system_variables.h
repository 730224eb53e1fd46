// K32KPANEL: the driver of the panel's own system variables (clock, current page, alarms,
// backlight, ...). It answers the driver interface that the loader binds by name for the
// one memory area "System Variable": a variable is addressed by its name, which is its
// logical tag, and carries its fixed data format.
#pragma once

#include "kestra/plc_records.h"
#include "kestra/project.h"
#include "platform/win_types.h"

extern "C" {

// Description strings 1-4 as every driver has them; PLC type 0.
BOOL InitPlcDefaults(kestra::sTARGSETUP* project, const kestra::uPLCSETUP* network,
                     kestra::uPLCSETUP* setup, kestra::tagFIELDREC* field, DWORD mode);
DWORD ExpGetPLCType();
void ExpSetPLCModel(DWORD model, kestra::uPLCSETUP* setup);
BOOL ExpGetModelName(const void* setup, DWORD slaveAddress, char* buffer, DWORD size);
DWORD ExpGetModelIDandNameArrays(const kestra::uPLCSETUP* setup, DWORD* ids, char* names);
void ExpSetDataFormat(kestra::uPLCADR* ref, DWORD format);
DWORD ExpGetDataFormat(const kestra::uPLCADR* ref);
DWORD ExpGetDataFormatStringFromId(DWORD id, char* buffer, DWORD size);
DWORD ExpGetDataFormatIdFromString(const char* text);
DWORD ExpGetPreferredDataFormat(const kestra::uPLCSETUP* setup, const kestra::uPLCADR* ref);
BOOL ExpIsASCIIDataFormat(const kestra::uPLCADR* ref);
BOOL ExpIsFormatSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                          const kestra::uPLCADR* ref, DWORD fieldClass, DWORD filter);
BOOL ExpIsReadWriteSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                             const kestra::uPLCADR* ref, DWORD fieldClass);
// Names take at most 100 characters and a zero.
BOOL ExpSetLogicalTag(const char* text, const kestra::uPLCSETUP* setup, kestra::uPLCADR* ref);
BOOL ExpGetLogicalTag(char* text, const kestra::uPLCSETUP* setup, const kestra::uPLCADR* ref);
BOOL ExpCanCloseDialog(const void* context);

}  // extern "C"
