/* An extension plug-in for the extension tests. Every call is appended as
 * one line to a log beside the library (its own path + ".log"), which the
 * tests read back. Built three times:
 *   pxe_probe      well-formed: information, a menu of three entries with
 *                  16 by 16 bitmaps; the handler fails for entry 1;
 *   pxe_nolibinfo  the same without PXE_LibInfo (no extension at all);
 *   pxe_rogue      fills every buffer to its end without a terminator,
 *                  claims INT32_MAX entries of which only 0 and 2 load. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "viewer/extensions/extension_interface.h"

#define EXPORT __declspec(dllexport)

static HINSTANCE self_module;
static const PxeHandle kHandleBase = 0x5000;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) self_module = instance;
    return TRUE;
}

static void OwnPath(char* path, DWORD size) {
    DWORD length = GetModuleFileNameA(self_module, path, size);
    if (length >= size) length = 0;
    path[length] = 0;
}

static void Log(const char* line) {
    char path[MAX_PATH + 8];
    OwnPath(path, MAX_PATH);
    strcat(path, ".log");
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    WriteFile(file, "\n", 1, &written, NULL);
    CloseHandle(file);
}

#ifndef PXE_PROBE_NO_LIBINFO
EXPORT int32_t PXE_CALL PXE_LibInfo(char* text1, char* text2, char* text3, int32_t* number1,
                                    int32_t* number2) {
    Log("LibInfo");
#ifdef PXE_PROBE_ROGUE
    memset(text1, 'A', PXE_INFO_TEXT_SIZE);
    memset(text2, 'B', PXE_INFO_TEXT_SIZE);
    memset(text3, 'C', PXE_INFO_TEXT_SIZE);
#else
    OwnPath(text1, PXE_INFO_TEXT_SIZE);
    strcpy(text2, "Probe extension");
    strcpy(text3, "\xC4nderungen"); /* "Ä" in code page 1252 */
#endif
    *number1 = 7;
    *number2 = -42;
    return 0;
}
#endif

EXPORT PxeHandle PXE_CALL PXE_Initialize(int32_t version, int32_t language) {
    char line[64];
    sprintf(line, "Initialize %d %d", (int)version, (int)language);
    Log(line);
    return kHandleBase + language;
}

EXPORT int32_t PXE_CALL PXE_UnInitialize(PxeHandle handle) {
    char line[64];
    sprintf(line, "UnInitialize %lld", (long long)handle);
    Log(line);
    return 0;
}

EXPORT int32_t PXE_CALL PXE_GetExtMenuInfo(PxeHandle handle, char* name, int32_t* count) {
    char line[64];
    sprintf(line, "MenuInfo %lld", (long long)handle);
    Log(line);
#ifdef PXE_PROBE_ROGUE
    memset(name, 'M', PXE_MENU_TEXT_SIZE);
    *count = INT32_MAX;
#else
    strcpy(name, "&Probe");
    *count = 3;
#endif
    return 0;
}

EXPORT int32_t PXE_CALL PXE_GetExtMenuEntryInfo(PxeHandle handle, int32_t index, char* text, char* help,
                                                int32_t width, int32_t height, HBITMAP* bitmap,
                                                int32_t* flags) {
    char line[96];
    sprintf(line, "Entry %lld %d %d %d", (long long)handle, (int)index, (int)width, (int)height);
    Log(line);
#ifdef PXE_PROBE_ROGUE
    if (index != 0 && index != 2) return 1;
    memset(text, 'T', PXE_MENU_TEXT_SIZE);
    memset(help, 'H', PXE_MENU_TEXT_SIZE);
#else
    if (index > 2) return 1;
    sprintf(text, "Entry %d", (int)index);
    sprintf(help, "Help for entry %d", (int)index);
#endif
    *bitmap = CreateBitmap(width, height, 1, 1, NULL);
    *flags = 1 << index;
    return 0;
}

EXPORT int32_t PXE_CALL PXE_MenuHandler(PxeHandle handle, int32_t index, const char* item_name,
                                        const char* path, int32_t page_index, HWND owner) {
    /* The size of the file as the plug-in sees it, -1 when it cannot be read. */
    WIN32_FILE_ATTRIBUTE_DATA data;
    long long size = -1;
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        size = ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    }
    char line[1200];
    snprintf(line, sizeof line, "Handler %lld %d %d %llu %lld|%s|%s", (long long)handle, (int)index,
             (int)page_index, (unsigned long long)(uintptr_t)owner, size, item_name, path);
    Log(line);
    return index == 1 ? 5 : 0;
}

/* The exports must match the viewer's types. */
#define CHECKED static __attribute__((unused))
#ifndef PXE_PROBE_NO_LIBINFO
CHECKED PxeLibInfoProc const check_lib_info = PXE_LibInfo;
#endif
CHECKED PxeInitializeProc const check_initialize = PXE_Initialize;
CHECKED PxeUnInitializeProc const check_uninitialize = PXE_UnInitialize;
CHECKED PxeGetExtMenuInfoProc const check_menu_info = PXE_GetExtMenuInfo;
CHECKED PxeGetExtMenuEntryInfoProc const check_entry_info = PXE_GetExtMenuEntryInfo;
CHECKED PxeMenuHandlerProc const check_handler = PXE_MenuHandler;
