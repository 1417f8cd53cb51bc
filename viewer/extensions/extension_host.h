// The extension plug-ins: DLLs named "pxe_*.dll" beside the viewer's module,
// or those the setting EXTENSIONS lists, that add one menu each. The host
// loads at most five, asks each for its information and its menu, and keeps
// the menu entries for the command bars; running an entry hands the active
// document's file to the plug-in's handler.
//
// Everything here runs on the GUI thread. A host, its extensions and their
// entries do not change after loading.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/dll_handle.h"
#include "foundation/handles.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/extensions/extension_interface.h"

class DocItem;
class ViewerContext;

inline constexpr uint32_t kMaxExtensions = 5;
// Entries asked for per extension: the whole extension command range has no
// more ids than this, and a plug-in's count is not to be trusted.
inline constexpr uint32_t kMaxExtensionEntries = 100;
inline constexpr uint32_t kExtensionInfoTexts = 3;
inline constexpr uint32_t kExtensionInfoNumbers = 2;

class ExtMenuEntry : public RefCounted {
  public:
    WString text;
    WString help;        // the status-bar text
    GdiBitmap bitmap;    // 16 by 16, or empty
    uint32_t flags = 0;  // as the plug-in returned them
    // The plug-in's own index of the entry. It differs from the entry's
    // position once an entry before it failed to load.
    int32_t index = 0;
};

class Extension : public RefCounted {
  public:
    // PXE_UnInitialize, then the entries (their bitmaps deleted), then the
    // library.
    ~Extension() override;

    DllHandle library;
    WString info[kExtensionInfoTexts];
    int32_t numbers[kExtensionInfoNumbers] = {};
    WString menu_name;
    bool has_menu = false;  // PXE_GetExtMenuInfo succeeded
    PxeHandle handle = 0;
    PtrArray entries{1, true};  // ExtMenuEntry, in the plug-in's order

    PxeInitializeProc initialize = nullptr;
    PxeUnInitializeProc uninitialize = nullptr;
    PxeLibInfoProc lib_info = nullptr;
    PxeGetExtMenuInfoProc get_menu_info = nullptr;
    PxeGetExtMenuEntryInfoProc get_menu_entry_info = nullptr;
    PxeMenuHandlerProc menu_handler = nullptr;
};

class ExtensionHost : public RefCounted {
  public:
    PtrArray extensions{1, true};  // Extension, in loading order
};

// Loads the extensions for the language index. `directory` is the folder
// of the viewer's module; `list` is the setting EXTENSIONS: "*" loads the
// files "pxe_*.dll" of the directory, anything else is a ',' separated list
// of names, each taken relative to the directory unless it holds a '\' or
// '/'. Always a host (empty without a directory or a list).
Ref<ExtensionHost> ExtensionHostConstruct(uint16_t language, const WString& directory, const WString& list);
// The library as an extension, initialised and with its menu read; null
// when it cannot be loaded or lacks PXE_LibInfo.
Ref<Extension> ExtensionLoad(uint16_t language, const WString& path);

uint32_t ExtensionHostCount(const ExtensionHost* host);
// With a reference added; null past the end.
Ref<Extension> ExtensionHostGet(const ExtensionHost* host, uint32_t index);
uint32_t ExtensionEntryCount(const Extension* extension);
Ref<ExtMenuEntry> ExtensionGetEntry(const Extension* extension, uint32_t position);

// Runs the entry at `position` of the extension's menu on the item: the
// plug-in gets the item's name, the file of its document (a download kept
// in memory is written to a temporary file first), its page index for a
// page and else 0, and the owner window. True when the handler answered 0;
// false without an item, a handler or such an entry.
bool ExtensionRunCommand(Extension* extension, ViewerContext* context, HWND owner, DocItem* item,
                         uint32_t position);
// The same for extension `group` of the host, as the extension commands
// name it.
bool ExtensionHostRunCommand(ExtensionHost* host, ViewerContext* context, HWND owner, DocItem* item,
                             uint32_t group, uint32_t position);
