/* The interface an extension plug-in exports: plain C, exported by name,
 * the platform's C calling convention, 8-bit ANSI texts in buffers that the
 * viewer owns and clears. A result of 0 means success. Plain C so that a
 * plug-in written in C can include it. */
#pragma once

#include <stdint.h>
#include <windows.h>

#define PXE_CALL __cdecl

/* Sizes of the buffers the viewer hands over, in bytes, and of the menu
 * bitmaps it asks for, in pixels. */
enum {
    PXE_INFO_TEXT_SIZE = 256,
    PXE_MENU_TEXT_SIZE = 80,
    PXE_BITMAP_SIDE = 16,
};

/* What PXE_Initialize returns and every later call receives; opaque to the
 * viewer. Pointer-sized, so a plug-in may hand out a pointer: on the 32-bit
 * platform it is the 32-bit integer of the interface. */
typedef intptr_t PxeHandle;

/* Three information texts and two numbers; a library without it is no
 * extension. */
typedef int32_t(PXE_CALL* PxeLibInfoProc)(char* text1, char* text2, char* text3, int32_t* number1,
                                          int32_t* number2);
/* Called with 1 and the viewer's language index. */
typedef PxeHandle(PXE_CALL* PxeInitializeProc)(int32_t version, int32_t language);
typedef int32_t(PXE_CALL* PxeUnInitializeProc)(PxeHandle handle);
/* The menu's name and its number of entries. */
typedef int32_t(PXE_CALL* PxeGetExtMenuInfoProc)(PxeHandle handle, char* name, int32_t* count);
/* One entry: its text, its help (status-bar) text, a bitmap of the given
 * size that the viewer deletes, and flags that tell when it is enabled. */
typedef int32_t(PXE_CALL* PxeGetExtMenuEntryInfoProc)(PxeHandle handle, int32_t index, char* text, char* help,
                                                      int32_t width, int32_t height, HBITMAP* bitmap,
                                                      int32_t* flags);
/* Runs an entry's command on the document item: its name, the file that
 * holds the document, the page index (0 for items other than pages). */
typedef int32_t(PXE_CALL* PxeMenuHandlerProc)(PxeHandle handle, int32_t index, const char* item_name,
                                              const char* path, int32_t page_index, HWND owner);
