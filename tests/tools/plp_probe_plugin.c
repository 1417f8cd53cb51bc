/* A print plug-in for the provider tests. It appends every call, with the
 * strings and buffer sizes it was given, as a line to a log beside itself
 * (its own path + ".log"); a string argument that arrives empty is logged
 * as "EMPTY". What it reports depends on its file name, so one build serves
 * as many plug-ins as a test copies:
 *   "type1"  reports plug-in type 1 (refused)
 *   "v39"    reports version 3.9 (refused); "v47" version 4.7
 *   "long"   server type, printer and bin names longer than their buffers
 *   "fail"   refuses every print job (after logging it)
 *   "noarea" does not support reporting its printable area (code 17)
 *   "gapbin" reports three bins, the first without a name
 * and, for the robustness runs, plug-ins that misbehave:
 *   "hang"     takes 35 s over every print job before it accepts it
 *   "countless" reports 2^31 - 1 printers (only the first two have names)
 *   "nanarea"  reports printable areas of NaN, infinities and huge numbers
 *   "noise"    fills every name buffer with bytes 0x80-0xFF and no
 *              terminator, and reports 65535 papers and bins
 * Every job record it receives is logged as one line of lowercase hex
 * after the call's line ("Record <hex>").
 * Built twice: plp_probe, and plp_noprint5 without PL_Print5. */
#include <ctype.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "printing/print_plugin_interface.h"

#define EXPORT __declspec(dllexport)

extern IMAGE_DOS_HEADER __ImageBase;

static void OwnPath(char* path) {
    path[0] = '\0';
    GetModuleFileNameA((HMODULE)&__ImageBase, path, MAX_PATH);
}

static int NameHas(const char* part) {
    char path[MAX_PATH + 8];
    OwnPath(path);
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    for (char* c = (char*)name; *c; ++c) *c = (char)tolower((unsigned char)*c);
    return strstr(name, part) != NULL;
}

static void Log(const char* format, ...) {
    char path[MAX_PATH + 8];
    OwnPath(path);
    FILE* file = fopen(strcat(path, ".log"), "ab");
    if (!file) return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(file, format, arguments);
    va_end(arguments);
    fputc('\n', file);
    fclose(file);
}

static const char* Shown(const char* text) { return text && text[0] ? text : "EMPTY"; }

/* Fills `buffer` with `text`, or with a name longer than any buffer and
 * without room for its terminator. */
static int32_t Fill(char* buffer, int32_t size, const char* text) {
    if (NameHas("noise")) {
        for (int32_t i = 0; i < size; ++i) buffer[i] = (char)(0x80 + (i * 37 + size) % 0x80);
        return 1;
    }
    if (NameHas("long")) {
        memset(buffer, 'L', (size_t)size); /* no terminator: the caller must add it */
        return 1;
    }
    snprintf(buffer, (size_t)size, "%s", text);
    return 1;
}

EXPORT int32_t PL_CALL PL_Get_Plovex_DLL_Type(int32_t* type) {
    Log("Type");
    *type = NameHas("type1") ? 1 : 2;
    return 1;
}

EXPORT int32_t PL_CALL PL_Get_Plovex_DLL_Version(int32_t* major, int32_t* minor) {
    Log("Version");
    *major = NameHas("v39") ? 3 : 4;
    *minor = NameHas("v39") ? 9 : NameHas("v47") ? 7 : 0;
    return 1;
}

EXPORT int32_t PL_CALL PL_Init(void) {
    Log("Init");
    return 1;
}
EXPORT int32_t PL_CALL PL_Close(void) {
    Log("Close");
    return 1;
}

EXPORT int32_t PL_CALL PL_GetPrintServerType(char* buffer, int32_t size) {
    Log("GetPrintServerType %d first=%d", (int)size, (int)(unsigned char)buffer[0]);
    char path[MAX_PATH + 8];
    OwnPath(path);
    const char* name = strrchr(path, '\\');
    return Fill(buffer, size, name ? name + 1 : path);
}

EXPORT int32_t PL_CALL PL_ReadPrinters(const char* path) {
    Log("ReadPrinters %s", Shown(path));
    return 1;
}
EXPORT int32_t PL_CALL PL_GetPrinterCount(void) {
    Log("GetPrinterCount");
    return NameHas("countless") ? 0x7FFFFFFF : 2;
}

EXPORT int32_t PL_CALL PL_GetPrinter(int32_t index, char* buffer, int32_t size) {
    Log("GetPrinter %d %d first=%d", (int)index, (int)size, (int)(unsigned char)buffer[0]);
    if (index < 0 || index > 1) return 0;
    return Fill(buffer, size, index == 0 ? "Probe printer A" : "Probe printer B");
}

EXPORT int32_t PL_CALL PL_SetPrinterName(const char* name) {
    Log("SetPrinterName %s", Shown(name));
    return 1;
}

EXPORT int32_t PL_CALL PL_HasSupport(int32_t feature, uint8_t* answer) {
    Log("HasSupport %d byte=%d", (int)feature, (int)*answer);
    return !(feature == 17 && NameHas("noarea"));
}

static void LogRecord(const void* job, int32_t size) {
    static const char digits[] = "0123456789abcdef";
    if (!job || size <= 0 || size > 4096) return;
    char line[7 + 2 * 4096 + 1] = "Record ";
    const unsigned char* bytes = (const unsigned char*)job;
    for (int32_t i = 0; i < size; ++i) {
        line[7 + 2 * i] = digits[bytes[i] >> 4];
        line[8 + 2 * i] = digits[bytes[i] & 15];
    }
    line[7 + 2 * size] = '\0';
    Log("%s", line);
}

EXPORT int32_t PL_CALL PL_CanPrint3(const char* printer, void* job, int32_t size) {
    Log("CanPrint3 %s %d", Shown(printer), (int)size);
    LogRecord(job, size);
    return 1;
}

/* A job that takes far longer than a user waits for an answer. */
static void Linger(void) {
    if (NameHas("hang")) Sleep(35000);
}

EXPORT int32_t PL_CALL PL_Print3(HWND parent, const char* printer, void* job, int32_t size) {
    Log("Print3 %s %d", Shown(printer), (int)size);
    Linger();
    LogRecord(job, size);
    return !NameHas("fail");
}

#ifndef PLP_PROBE_NO_PRINT5
EXPORT int32_t PL_CALL PL_Print5(HWND parent, const char* printer, void* job, int32_t size) {
    Log("Print5 %s %d", Shown(printer), (int)size);
    Linger();
    LogRecord(job, size);
    return !NameHas("fail");
}
#endif

EXPORT int32_t PL_CALL PL_SupportPaper(int32_t index) {
    Log("SupportPaper %d", (int)index);
    return index <= 1;
}
EXPORT int32_t PL_CALL PL_GetPaperCount(void) {
    Log("GetPaperCount");
    return NameHas("noise") ? 0x7FFFFFFF : 0x10002; /* high half ignored */
}

EXPORT int32_t PL_CALL PL_GetPaperName(int32_t index, char* buffer, int32_t size) {
    Log("GetPaperName %d %d", (int)index, (int)size);
    return Fill(buffer, size, index == 0 ? "Roll 914" : "Roll 610");
}

EXPORT int32_t PL_CALL PL_SetStandardPaper(int32_t index) {
    Log("SetStandardPaper %d", (int)index);
    return 1;
}
EXPORT int32_t PL_CALL PL_SetPaper(int32_t index) {
    Log("SetPaper %d", (int)index);
    return 1;
}
EXPORT int32_t PL_CALL PL_SetOrientation(int32_t landscape) {
    Log("SetOrientation %d", (int)landscape);
    return 1;
}

EXPORT int32_t PL_CALL PL_GetPrintableArea(int32_t unit, double* area, int32_t size) {
    Log("GetPrintableArea %d %d", (int)unit, (int)size);
    area[0] = 5, area[1] = 6, area[2] = 205, area[3] = 290;
    if (NameHas("nanarea")) {
        static const double kBad[][4] = {
            {NAN, 6, 205, 290}, {5, 6, INFINITY, 290}, {-1e308, -1e308, 1e308, 1e308},
            {5, 6, -205, -290}, {205, 290, 5, 6},      {0, 0, 1e-300, 1e-300},
            {5, 6, 2e9, 3e9}};
        static int call;
        const double* bad = kBad[call++ % (int)(sizeof kBad / sizeof kBad[0])];
        for (int i = 0; i < 4; ++i) area[i] = bad[i];
    }
    return 1;
}

EXPORT int32_t PL_CALL PL_GetPaperBinCount(void) {
    Log("GetPaperBinCount");
    if (NameHas("gapbin")) return 3;
    return NameHas("noise") ? 0xFFFF : 0x30002;
}

EXPORT int32_t PL_CALL PL_GetPaperBinName(int32_t index, char* buffer, int32_t size) {
    Log("GetPaperBinName %d %d", (int)index, (int)size);
    if (NameHas("gapbin")) {
        static const char* const kNames[] = {"", "Tray 1", "Tray 2"};
        return index >= 0 && index < 3 ? Fill(buffer, size, kNames[index]) : 0;
    }
    if ((index < 0 || index > 1) && !NameHas("noise")) return 0;
    return Fill(buffer, size, index == 0 ? "Tray 1" : "Tray 2");
}

EXPORT int32_t PL_CALL PL_SetPaperBin(int32_t index) {
    Log("SetPaperBin %d", (int)index);
    return 1;
}
EXPORT int32_t PL_CALL PL_SetStdToken(int32_t token, const char* value) {
    Log("SetStdToken %d %s", (int)token, Shown(value));
    return 1;
}
