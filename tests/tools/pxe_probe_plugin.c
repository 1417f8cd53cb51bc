/* An extension plug-in for the extension tests; it appends every call as a
 * line to a log beside itself (its own path + ".log"). Built as pxe_probe
 * (information, a menu of three entries with bitmaps; the handler fails for
 * entry 1), pxe_nolibinfo (the same without PXE_LibInfo: no extension) and
 * pxe_rogue (fills every buffer to its end without a terminator, claims
 * INT32_MAX entries of which only 0 and 2 load). Built once more as
 * start_refusal (PXE_PROBE_REFUSE_FRAME): loaded before the frame is made, it
 * makes the creation of the frame window fail, so that the program's failed
 * start can be seen from outside. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "viewer/extensions/extension_interface.h"

#define EXPORT __declspec(dllexport)

extern IMAGE_DOS_HEADER __ImageBase;

static void Log(const char* format, ...) {
    char path[MAX_PATH + 8] = "";
    GetModuleFileNameA((HMODULE)&__ImageBase, path, MAX_PATH);
    FILE* file = fopen(strcat(path, ".log"), "ab");
    if (!file) return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(file, format, arguments);
    va_end(arguments);
    fputc('\n', file);
    fclose(file);
}

#ifdef PXE_PROBE_REFUSE_FRAME
/* A hook of the loading thread, which is the viewer's GUI thread: the
 * frame's class, and only it, is refused. */
static LRESULT CALLBACK RefuseFrame(int code, WPARAM wparam, LPARAM lparam) {
    char name[64] = "";
    if (code == HCBT_CREATEWND && GetClassNameA((HWND)wparam, name, sizeof name) && !strcmp(name, "Plovex5"))
        return 1;
    return CallNextHookEx(NULL, code, wparam, lparam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance, (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) SetWindowsHookExA(WH_CBT, RefuseFrame, NULL, GetCurrentThreadId());
    return TRUE;
}
#endif

#ifndef PXE_PROBE_NO_LIBINFO
EXPORT int32_t PXE_CALL PXE_LibInfo(char* text1, char* text2, char* text3, int32_t* number1,
                                    int32_t* number2) {
    Log("LibInfo");
#ifdef PXE_PROBE_ROGUE
    memset(text1, 'A', PXE_INFO_TEXT_SIZE), memset(text2, 'B', PXE_INFO_TEXT_SIZE);
    memset(text3, 'C', PXE_INFO_TEXT_SIZE);
#else
    GetModuleFileNameA((HMODULE)&__ImageBase, text1, PXE_INFO_TEXT_SIZE - 1);
    strcpy(text2, "Probe extension"), strcpy(text3, "\xC4nderungen"); /* "Ä" in code page 1252 */
#endif
    *number1 = 7, *number2 = -42;
    return 0;
}
#endif

EXPORT PxeHandle PXE_CALL PXE_Initialize(int32_t version, int32_t language) {
    Log("Initialize %d %d", (int)version, (int)language);
    return 0x5000 + language;
}

EXPORT int32_t PXE_CALL PXE_UnInitialize(PxeHandle handle) {
    Log("UnInitialize %lld", (long long)handle);
    return 0;
}

EXPORT int32_t PXE_CALL PXE_GetExtMenuInfo(PxeHandle handle, char* name, int32_t* count) {
    Log("MenuInfo %lld", (long long)handle);
#ifdef PXE_PROBE_ROGUE
    memset(name, 'M', PXE_MENU_TEXT_SIZE), *count = INT32_MAX;
#else
    strcpy(name, "&Probe"), *count = 3;
#endif
    return 0;
}

EXPORT int32_t PXE_CALL PXE_GetExtMenuEntryInfo(PxeHandle handle, int32_t index, char* text, char* help,
                                                int32_t width, int32_t height, HBITMAP* bitmap,
                                                int32_t* flags) {
    Log("Entry %lld %d %d %d", (long long)handle, (int)index, (int)width, (int)height);
#ifdef PXE_PROBE_ROGUE
    if (index != 0 && index != 2) return 1;
    memset(text, 'T', PXE_MENU_TEXT_SIZE), memset(help, 'H', PXE_MENU_TEXT_SIZE);
#else
    if (index > 2) return 1;
    sprintf(text, "Entry %d", (int)index), sprintf(help, "Help for entry %d", (int)index);
#endif
    *bitmap = CreateBitmap(width, height, 1, 1, NULL), *flags = 1 << index;
    return 0;
}

EXPORT int32_t PXE_CALL PXE_MenuHandler(PxeHandle handle, int32_t index, const char* item_name,
                                        const char* path, int32_t page_index, HWND owner) {
    Log("Handler %lld %d %d %llu|%s|%s", (long long)handle, (int)index, (int)page_index,
        (unsigned long long)(uintptr_t)owner, item_name, path);
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
