// K32PLC1: the PLC driver for Simatic S5 controllers (PLC type 20).
//
// The project editor loads the library by file name and binds these exports by name. Every
// export keeps its argument order; handles and pointers travel as pointer-sized integers
// where either may pass. No export lets an exception out: a failure is its failure result.
#pragma once

#include <cstdint>

#include "kestra/plc_records.h"
#include "kestra/project.h"
#include "platform/win_types.h"
#include "plc_s5/dialog_contexts.h"
#include "plc_s5/field_context.h"
#include "plc_s5/print_request.h"
#include "windows/window.h"

extern "C" {

// Family 1: the project type 1 image.
// A new project (global handle) built from an image (a handle, or a pointer when the low word
// of pointerFlag is nonzero); 0 when the image is damaged or its checksums do not match.
HGLOBAL GetProject(std::uintptr_t image, DWORD pointerFlag);
// The size of the new type 1 image whose handle goes to *image; 0 (and a null handle) on
// failure.
DWORD SaveProject(std::uintptr_t project, DWORD pointerFlag, HGLOBAL* image);
// The image size without its checksum bytes; 0 when absent.
DWORD SizeofProject(const void* image);
// 0 moved, 2 moved and clamped at the area limit, -1 invalid arguments.
int MoveProjectAddress(kestra::uPLCADR* ref, const kestra::uPLCSETUP* setup, BOOL usePreferred,
                       DWORD direction, LONG amount, DWORD unit);

// Family 2: defaults.
BOOL InitPlcDefaults(kestra::sTARGSETUP* project, const kestra::uPLCSETUP* network,
                     kestra::uPLCSETUP* setup, kestra::tagFIELDREC* field, DWORD mode);

// Family 3: dialogs. The setup dialog ends with 1 after OK and 0 after Cancel; the field
// dialog with 1, 0 or 0x8000 (Delete); the alarm dialog with 1 or 0 (0 also when the alarm
// table cannot be allocated).
INT_PTR ExecPlcSetupDlg(HWND parent, PLCSETUPDLGCONTEXT* context);
INT_PTR PLCSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR ExecPLCFieldDlg(HWND parent, _tagDEFIELD* context);
INT_PTR DefineDBProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR DefineLocalDBProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Calls createPage(module, "FIELDREFPPG", 0, DefineLocalDBProc, context, value) at once and
// answers what it returns (0 without a callback); the second callback is kept, never called.
// The value is a 32-bit value of the editor's, handed back unchanged.
std::uintptr_t AttachPLCFieldDialog(_tagDEFIELD* context, void* createPage, void* second,
                                    DWORD value);
// TRUE when the controls were refreshed, FALSE for a context the driver does not know.
BOOL ExpInitFieldControls(HWND dialog, _tagDEFIELD* context, DWORD code);
INT_PTR ExecAlarmDlg(HWND parent, ALARMDLGCONTEXT* context);
INT_PTR AlarmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PaintItem(std::uintptr_t ignored);

// Family 4: data formats, display formats, limits.
DWORD ExpGetPLCType();
void ExpSetPLCModel(DWORD model, kestra::uPLCSETUP* setup);
BOOL ExpGetModelName(const void* setupNetInfo, DWORD slaveAddress, char* buffer, DWORD size);
DWORD ExpGetModelIDandNameArrays(const kestra::uPLCSETUP* setup, DWORD* ids, char* names);
void ExpSetDataFormat(kestra::uPLCADR* ref, DWORD format);
DWORD ExpGetDataFormat(const kestra::uPLCADR* ref);
DWORD ExpGetDataFormatStringFromId(DWORD id, char* buffer, DWORD size);
DWORD ExpGetDataFormatIdFromString(const char* text);
DWORD ExpGetPreferredDataFormat(const kestra::uPLCSETUP* setup, const kestra::uPLCADR* ref);
BOOL ExpIsASCIIDataFormat(const kestra::uPLCADR* ref);
DWORD ExpResetDataFormat(std::uintptr_t ignored, kestra::uPLCADR* ref,
                         const kestra::uPLCSETUP* setup, const kestra::sDISPFORMAT* display,
                         DWORD fieldClass);
BOOL ExpIsValidAddressAndDataFormat(const _tagDEFIELD* context, const kestra::uPLCADR* ref,
                                    DWORD format);
BOOL ExpIsFormatSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                          const kestra::uPLCADR* ref, DWORD fieldClass, DWORD filter);
BOOL ExpIsReadWriteSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                             const kestra::uPLCADR* ref, DWORD fieldClass);
BOOL ExpIsNumericBaseSupported(const kestra::uPLCSETUP* setup, DWORD fieldType, DWORD base,
                               const kestra::uPLCADR* ref, DWORD fieldClass);
BOOL ExpIsFixedPointSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                              const kestra::uPLCADR* ref, DWORD base, DWORD fieldClass);
BOOL ExpIsScalingSupported(const kestra::uPLCSETUP* setup, DWORD fieldType,
                           const kestra::uPLCADR* ref, DWORD fieldClass);
BOOL ExpIsSignedUnsignedSupported(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t);
void ExpConvertDataFormProject2PLC(const kestra::uPLCADR* ref, BOOL signedFlag, DWORD bit,
                                   DWORD textLength, BYTE* runtime);
void ExpConvertDataFormPLC2Project(kestra::uPLCADR* ref, kestra::sDISPFORMAT* display,
                                   const BYTE* runtime, DWORD displayCode);
void ExpConvertAttributeDataFormPLC2Project(kestra::uPLCADR* ref, kestra::sDISPFORMAT* display,
                                            const BYTE* runtime);
void ExpConvertDisplayFormProject2PLC(const kestra::uPLCADR* ref,
                                      const kestra::sDISPFORMAT* display, DWORD width, DWORD height,
                                      BYTE* code, BYTE* size1, BYTE* size2);
void ExpConvertDisplayFormPLC2Project(const kestra::uPLCADR* ref, kestra::sDISPFORMAT* display,
                                      BYTE* width, BYTE* height, DWORD code, DWORD size1,
                                      DWORD size2);
// Runtime limits (at most 8 bytes); returns the bytes written or read.
DWORD ExpConvertMaxMinProject2PLC(BYTE* limits, const kestra::sDISPFORMAT* display, DWORD typeCode,
                                  DWORD displayCode, BOOL scaling, const BYTE* runtime);
DWORD ExpConvertMaxMinPLC2Project(const BYTE* limits, kestra::sDISPFORMAT* display, DWORD typeCode,
                                  DWORD displayCode, BOOL scaling, const BYTE* runtime);
LONG ExpConvertString2MaxMin(const kestra::sDISPFORMAT* display, LONG* value, const char* text,
                             const kestra::uPLCADR* ref, DWORD mode);
// Texts of limits and scale factors: at most 49 characters and a zero.
char* ExpConvertMaxMin2String(const kestra::sDISPFORMAT* display, LONG value, char* text,
                              const kestra::uPLCADR* ref);
BOOL ExpValidateMaxMin(const kestra::sDISPFORMAT* display, LONG* minimum, LONG* maximum,
                       const kestra::uPLCADR* ref, BOOL reset, BOOL keepMaximum);
LONG* ExpConvertString2ScaleFac(DWORD which, kestra::sDISPFORMAT* display, LONG* value,
                                const char* text, const kestra::uPLCADR* ref);
char* ExpConvertScaleFac2String(DWORD which, const kestra::sDISPFORMAT* display, LONG value,
                                char* text, const kestra::uPLCADR* ref);
LONG* ExpValidateScaleFac(DWORD which, kestra::sDISPFORMAT* display, LONG* value,
                          const kestra::uPLCADR* ref);
// `value` is the value itself, or a pointer to the text for text formats; returns the bytes
// stored.
DWORD ExpConvertRecDefProject2PLC(BYTE* out, std::uintptr_t value,
                                  const kestra::sDISPFORMAT* display, const BYTE* runtime,
                                  DWORD displayCode);
// `value` points to a LONG, or to a text buffer (runtime byte 1 characters and a zero).
LONG ExpConvertRecDefPLC2Project(const BYTE* in, void* value, const kestra::sDISPFORMAT* display,
                                 const BYTE* runtime, DWORD displayCode);
DWORD ExpConvertPLCStringProject2PLC(char* text, const kestra::sTARGSETUP* project);
void ExpConvertPLCStringPLC2Project(const char* text, kestra::sTARGSETUP* project);

// Family 5: addresses and logical tags. Address texts (and tag names) take at most 100
// characters and a zero.
BOOL ExpWriteLogicalAddressString(char* text, kestra::sTARGSETUP* project,
                                  const kestra::uPLCSETUP* setup, kestra::uPLCADR* ref,
                                  std::uintptr_t ignored, BOOL preferred, DWORD tagMode);
BOOL ExpDecodeLogicalAddressString(const char* text, kestra::sTARGSETUP* project,
                                   const kestra::uPLCSETUP* setup, kestra::uPLCADR* ref,
                                   std::uintptr_t ignored, BOOL preferred, DWORD tagMode);
BOOL ExpGetLogicalTag(char* text, const kestra::uPLCSETUP* setup, const kestra::uPLCADR* ref);
BOOL ExpSetLogicalTag(const char* text, const kestra::uPLCSETUP* setup, kestra::uPLCADR* ref);
BOOL ExpValidatePLCAddress(kestra::uPLCADR* ref, const kestra::uPLCSETUP* setup,
                           kestra::sTARGSETUP* project, std::uintptr_t ignored);
void SetToTagAddress(kestra::uPLCADR* destination, const kestra::uPLCADR* tagRef,
                     const kestra::uPLCSETUP* setup);
BOOL IsTagContextValid(const void* context, const kestra::uPLCADR* tagRef);
// The comparison callback of the tag folder (TAGCOMPARE): accepts every candidate.
BOOL TagCheckFunction(const void*, const void*, const void*, const void*);
void ExpConvertAddressProject2PLC(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t, std::uintptr_t);
void ExpConvertAddressPLC2Project(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                  std::uintptr_t, std::uintptr_t);
DWORD ExpSetModelUpdateAreas(kestra::uPLCADR* first, kestra::sTARGSETUP* project,
                             const kestra::uPLCSETUP* setup, DWORD flags);

// Family 6: optimisation and datagrams.
BOOL ExpOptimizationSupported(const kestra::uPLCSETUP* setup, const kestra::tagFIELDREC* field,
                              BYTE* length);
DWORD ExpNumBytesForOptimization(const kestra::uPLCSETUP* setup, const kestra::uPLCADR* ref);
BOOL ExpMemoryAreasCompatible(DWORD dataType1, DWORD dataType2);
DWORD ExpGetByteOffsetAndLengthForOpt(std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                      std::uintptr_t, std::uintptr_t);
void ExpSetPLCAddressForOpt(std::uintptr_t, std::uintptr_t, std::uintptr_t);
DWORD ExpCreateNewDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                           std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                           std::uintptr_t);
DWORD ExpPlaceDataItemInDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                 std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                 std::uintptr_t);
std::uintptr_t ExpPlaceDataGramsInProjectFile(std::uintptr_t, std::uintptr_t second);
void ExpAlignPointersToDataGrams(std::uintptr_t);
DWORD ExpDataItemInDataGram(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                            std::uintptr_t, std::uintptr_t);
DWORD ExpGetGALength();
DWORD ExpGetSlaveIDFromGA(std::uintptr_t, std::uintptr_t, std::uintptr_t);
DWORD ExpGetSetGATagIndex(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t);
DWORD IsRDADefault(std::uintptr_t, std::uintptr_t);

// Family 7: protocol and communication parameters.
void ExpConvertProtocParamProject2PLC(BYTE* runtime, const kestra::sTARGSETUP* project);
void ExpConvertProtocParamPLC2Project(const BYTE* runtime, kestra::sTARGSETUP* project);
void ExpConvertLocalProtocParamProject2PLC(BYTE* local, const kestra::uPLCSETUP* setup,
                                           const kestra::sTARGSETUP* project);
void ExpConvertLocalProtocParamPLC2Project(const BYTE* local, kestra::uPLCSETUP* setup,
                                           std::uintptr_t ignored);
void ExpConvertCommParamProject2PLC(BYTE* destination, const BYTE* source);
void ExpConvertCommParamPLC2Project(BYTE* destination, const BYTE* source);

// Family 8: printing. The result by request type: 0 and 1 the last drawing call's, 2 1, 3 the
// length of the field line, 4 1; 0 for a request the driver cannot serve.
DWORD PlcPrint(PLCPRINTREQUEST* request);

}  // extern "C"
