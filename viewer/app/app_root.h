// The application root: the one object per viewer instance that owns what is
// not tied to a document (command line, settings, texts, menu bitmaps, event
// hub, dialog modules, print providers, recent files, document controller,
// frame, DDE server, extensions, accelerators), the session's temporary files
// and the thread that removes the temporary files of earlier sessions.
//
// The shells make it with AppCreate, build a ViewerContext on it, open the
// windows with AppCreateWindow, and end it with AppStop, AppCloseAll,
// AppBroadcast(kAppEnding) and a final release, whose destructor runs
// AppShutdown.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/model/paper_format_matcher.h"

class AcceleratorTable;
class AppTextTable;
class CmdLine;
class DdeServer;
class DocumentController;
class EventHub;
class ExtensionHost;
class FrameWindow;
class ImageStore;
class MarkupProvider;
class ModuleList;
class RecentFiles;
class Settings;
class SharedSlot;
class ViewerContext;

// What only the desktop program adds to the shared viewer. The viewer
// library knows nothing of the program; the program installs these on its
// root right after AppCreate, and the control leaves them empty.
struct ProgramHooks {
    // Runs in AppShutdown right after the settings were saved (the program
    // writes its file-type association from them).
    bool (*settings_saved)(Settings* settings) = nullptr;
    // The File and "?" popups of the main menu; null leaves the shared ones.
    HMENU (*build_file_menu)(ViewerContext* context) = nullptr;
    HMENU (*build_help_menu)(ViewerContext* context) = nullptr;
};

enum AppState : uint32_t {
    kAppStopped = 0,
    kAppRunning = 1,
    kAppStarting = 2,
    kAppStopping = 3,
};

class AppRoot : public RefCounted {
  public:
    explicit AppRoot(HINSTANCE instance);
    ~AppRoot() override;  // AppShutdown, then the rest

    PaperFormatMatcher paper_formats{0.05};
    Ref<EventHub> hub;
    Ref<ModuleList> modules;
    Ref<AppTextTable> texts;
    Ref<ImageStore> images;
    Ref<RecentFiles> recent_files;
    Ref<ExtensionHost> extensions;
    PrintProviders print_providers;
    Ref<SharedSlot> shared_slot;
    Ref<Settings> settings;
    Ref<DocumentController> controller;
    Ref<FrameWindow> frame;
    Ref<DdeServer> dde_server;
    Ref<AcceleratorTable> accelerators;
    Ref<CmdLine> cmd_line;
    HINSTANCE instance = nullptr;
    double pixels_per_mm_x = 96 / 25.4;
    double pixels_per_mm_y = 96 / 25.4;
    WString temp_directory;  // ends with '\'; empty when the system names none
    uint16_t temp_counter = 0;
    // Read by document-source workers and the cleanup thread.
    std::atomic<uint32_t> state{kAppStopped};
    CriticalSection lock;  // the two id counters
    uint32_t next_item_id = 1;
    uint32_t next_source_id = 1;
    uint32_t session_letter = 0;  // 0 to 36, fixed for the life of the root
    // Set while a cleanup thread runs; the thread clears it on its way out.
    std::atomic<HANDLE> cleanup_thread{nullptr};
    std::atomic<bool> cleanup_stop{false};
    ProgramHooks program_hooks;   // under the lock
    Ref<MarkupProvider> markups;  // under the lock; never null
};

// A new root in state kAppStarting, with settings, texts, hub and the other
// members made; keeps a reference to the command line (which may be null).
// Null when the root cannot be allocated.
Ref<AppRoot> AppCreate(HINSTANCE instance, CmdLine* cmd_line);
// Makes the DDE server (with_dde), the extension host and the frame; true
// when the frame exists afterwards.
bool AppCreateWindow(AppRoot* root, ViewerContext* context, HINSTANCE instance, HWND parent, bool with_dde);
// State 1 becomes 3; the hub loses its window (the queue is discarded).
void AppStop(AppRoot* root);
// Closes every document of the context when a document controller exists.
void AppCloseAll(AppRoot* root, ViewerContext* context);
// Sends `code` through the hub with no sender and no argument.
void AppBroadcast(AppRoot* root, uint32_t code);
// Releases the members in their dependency order; a second run does nothing.
void AppShutdown(AppRoot* root);

// Installs the program's hooks (before AppCreateWindow).
void AppSetProgramHooks(AppRoot* root, const ProgramHooks& hooks);
// A copy of the hooks; all null without a root.
ProgramHooks AppGetProgramHooks(AppRoot* root);

// Counted references (null when missing) or plain values.
Ref<FrameWindow> AppGetFrame(AppRoot* root);
HWND AppGetFrameHwnd(AppRoot* root);
Ref<EventHub> AppGetEventHub(AppRoot* root);
Ref<ModuleList> AppGetModules(AppRoot* root);
Ref<ExtensionHost> AppGetExtensionHost(AppRoot* root);
Ref<Settings> AppGetSettings(AppRoot* root);
Ref<AppTextTable> AppGetTextTable(AppRoot* root);
Ref<ImageStore> AppGetImageStore(AppRoot* root);
Ref<SharedSlot> AppGetSharedSlot(AppRoot* root);
Ref<DocumentController> AppGetController(AppRoot* root);
Ref<CmdLine> AppGetCmdLine(AppRoot* root);
HACCEL AppGetAccelerators(AppRoot* root);
uint32_t AppGetState(AppRoot* root);
HINSTANCE AppGetInstance(AppRoot* root);

// Item and source ids: unique per root, never 0; safe on any thread.
uint32_t AppNextId(AppRoot* root);
uint32_t AppNextSourceId(AppRoot* root);

// Pixels per millimetre for the screen's dots per inch; both directions fall
// back to 96 per inch when either value lies outside 10 to 10000.
void ScreenPixelsPerMm(int dpi_x, int dpi_y, double& x, double& y);
// The screen's pixels per millimetre, or 96 per inch without a root.
double ViewerGetPixelsPerMmX(ViewerContext* context);
double ViewerGetPixelsPerMmY(ViewerContext* context);
