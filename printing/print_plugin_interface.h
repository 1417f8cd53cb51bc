/* The entry points of a print plug-in ("plp_*.dll"): C calling convention,
 * ANSI strings in buffers the caller owns with their sizes; a non-zero
 * result is success. Shared by the loader and the tests' fake plug-in. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#include <windows.h>
extern "C" {
#else
#include <windows.h>
#endif

#define PL_CALL __cdecl
#define PL_REQUIRED_TYPE 2
#define PL_MIN_MAJOR_VERSION 4
#define PL_SERVER_TYPE_SIZE 100
#define PL_PRINTER_NAME_SIZE 128
#define PL_PAPER_NAME_SIZE 64
#define PL_BIN_NAME_SIZE 64
#define PL_JOB3_SIZE 752
#define PL_JOB5_SIZE 840
#define PL_AREA_BYTES 32

typedef int32_t(PL_CALL* PL_Get_Plovex_DLL_Type_t)(int32_t* type);
typedef int32_t(PL_CALL* PL_Get_Plovex_DLL_Version_t)(int32_t* major, int32_t* minor);
typedef int32_t(PL_CALL* PL_Init_t)(void);
typedef int32_t(PL_CALL* PL_GetPrintServerType_t)(char* buffer, int32_t size);
typedef int32_t(PL_CALL* PL_Close_t)(void);
typedef int32_t(PL_CALL* PL_ReadPrinters_t)(const char* path);
typedef int32_t(PL_CALL* PL_GetPrinterCount_t)(void);
typedef int32_t(PL_CALL* PL_GetPrinter_t)(int32_t index, char* buffer, int32_t size);
typedef int32_t(PL_CALL* PL_SetPrinterName_t)(const char* name);
typedef int32_t(PL_CALL* PL_HasSupport_t)(int32_t feature, uint8_t* answer);
typedef int32_t(PL_CALL* PL_CanPrint3_t)(const char* printer, void* job, int32_t size);
typedef int32_t(PL_CALL* PL_Print3_t)(HWND parent, const char* printer, void* job, int32_t size);
typedef int32_t(PL_CALL* PL_Print5_t)(HWND parent, const char* printer, void* job, int32_t size);
typedef int32_t(PL_CALL* PL_SupportPaper_t)(int32_t standard_index);
typedef int32_t(PL_CALL* PL_GetPaperCount_t)(void);
typedef int32_t(PL_CALL* PL_GetPaperName_t)(int32_t index, char* buffer, int32_t size);
typedef int32_t(PL_CALL* PL_SetStandardPaper_t)(int32_t standard_index);
typedef int32_t(PL_CALL* PL_SetPaper_t)(int32_t index);
typedef int32_t(PL_CALL* PL_SetOrientation_t)(int32_t landscape);
typedef int32_t(PL_CALL* PL_GetPrintableArea_t)(int32_t unit, double* area, int32_t size);
typedef int32_t(PL_CALL* PL_GetPaperBinCount_t)(void);
typedef int32_t(PL_CALL* PL_GetPaperBinName_t)(int32_t index, char* buffer, int32_t size);
typedef int32_t(PL_CALL* PL_SetPaperBin_t)(int32_t index);
/* A text the plug-in may print, by token number (company, date, user...). */
typedef int32_t(PL_CALL* PL_SetStdToken_t)(int32_t token, const char* value);

#ifdef __cplusplus
}
#endif
