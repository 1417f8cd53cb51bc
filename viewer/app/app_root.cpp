#include "viewer/app/app_root.h"

#include <commctrl.h>

#include <utility>

#include "foundation/handles.h"
#include "viewer/app/document_controller.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/accelerator_table.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/command_line.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/image_store.h"
#include "viewer/core/module_list.h"
#include "viewer/core/settings.h"
#include "viewer/core/shared_slot.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_server.h"
#include "viewer/dialogs/open_dialog.h"
#include "viewer/extensions/extension_host.h"
#include "viewer/windows/frame_window.h"
#include "viewer/windows/recent_files.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kDefaultDpi = 96;
constexpr DWORD kTempPathCapacity = 246;
constexpr DWORD kModulePathCapacity = 260;
// WORKAROUND value that keeps the print plug-ins unloaded.
constexpr uint32_t kWorkaroundNoPrintPlugins = 8;

WString ReadTempDirectory() {
    wchar_t buffer[kTempPathCapacity];
    const DWORD length = GetTempPathW(kTempPathCapacity, buffer);
    // A longer path does not fit: the answer is then the size it needs.
    if (length == 0 || length >= kTempPathCapacity) return WString();
    WString directory = buffer;
    WStrReplaceChar(directory, L'/', L'\\');
    WStrEnsureTrailingChar(directory, L'\\');
    return directory;
}

// Reads a member under the root's lock, with a reference added.
template <class T>
Ref<T> ReadMember(AppRoot* root, Ref<T> AppRoot::*member) {
    if (!root) return nullptr;
    ScopedLock hold(root->lock);
    return root->*member;
}

// Takes a member out under the root's lock; the caller releases it after
// leaving the lock, and the member is null from then on.
template <class T>
Ref<T> TakeMember(AppRoot* root, Ref<T> AppRoot::*member) {
    ScopedLock hold(root->lock);
    return std::move(root->*member);
}

WString ModuleDirectory(HINSTANCE instance) {
    wchar_t buffer[kModulePathCapacity];
    const DWORD length = GetModuleFileNameW(instance, buffer, kModulePathCapacity);
    // A cut name would name the wrong directory.
    if (length == 0 || length >= kModulePathCapacity) return WString();
    WString path = buffer;
    WStrReplaceChar(path, L'/', L'\\');
    WString directory;
    return WStrGetDirectory(path, directory);
}

}  // namespace

void ScreenPixelsPerMm(int dpi_x, int dpi_y, double& x, double& y) {
    if (dpi_x < 10 || dpi_x > 10000 || dpi_y < 10 || dpi_y > 10000) dpi_x = dpi_y = kDefaultDpi;
    x = dpi_x / kMmPerInch;
    y = dpi_y / kMmPerInch;
}

AppRoot::AppRoot(HINSTANCE module_instance) : instance(module_instance) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    session_letter = now.wSecond % 37;

    int dpi_x = 0;
    int dpi_y = 0;
    if (WindowDC screen(nullptr); screen) {
        dpi_x = GetDeviceCaps(screen.get(), LOGPIXELSX);
        dpi_y = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    ScreenPixelsPerMm(dpi_x, dpi_y, pixels_per_mm_x, pixels_per_mm_y);

    temp_directory = ReadTempDirectory();
    accelerators = AcceleratorTableCreate();
    markups = MakeRef<MarkupProvider>();

    INITCOMMONCONTROLSEX controls = {
        sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
}

AppRoot::~AppRoot() {
    AppShutdown(this);
    PrintProvidersRelease(print_providers);
}

Ref<AppRoot> AppCreate(HINSTANCE instance, CmdLine* cmd_line) {
    Ref<AppRoot> root = MakeRef<AppRoot>(instance);
    root->state = kAppStarting;
    root->cmd_line = Ref<CmdLine>(cmd_line);

    root->settings = SettingsCreate();
    if (root->settings) SettingsLoad(root->settings.get());
    Settings* settings = root->settings.get();

    root->texts = AppTextTableCreate(instance, settings ? SettingsGetLanguage(settings) : 0);
    root->images = ImageStoreCreate(instance);
    root->hub = EventHubCreate();
    root->modules = ModuleListCreate();
    if (root->modules) ModuleListAdd(root->modules.get(), OpenDialogModuleCreate().get());

    PrintProvidersFill(root.get(), instance,
                       !settings || !(SettingsGetWorkaround(settings) & kWorkaroundNoPrintPlugins));

    root->recent_files = RecentFilesCreate(root->hub.get(), settings);
    if (root->hub) root->controller = DocumentControllerCreate(root->hub.get());
    root->shared_slot = SharedSlotCreate();
    return root;
}

bool AppCreateWindow(AppRoot* root, ViewerContext* context, HINSTANCE instance, HWND parent, bool with_dde) {
    if (!root) return false;
    if (!context || root->frame) return root->frame != nullptr;

    if (with_dde) {
        Ref<DdeServer> server = DdeServerCreate();
        // A server that cannot start is dropped: the viewer runs without one.
        if (server && DdeServerStart(server.get(), context)) root->dde_server = server;
    }

    Ref<Settings> settings = AppGetSettings(root);
    if (settings && SettingsGetSearchExtensions(settings.get())) {
        const WString directory = ModuleDirectory(instance);
        const WString list = SettingsGetExtensions(settings.get());
        if (WStrLength(directory) && WStrLength(list)) {
            root->extensions = ExtensionHostConstruct(ViewerGetLanguage(context), directory, list);
        }
    }

    Ref<EventHub> hub = AppGetEventHub(root);
    if (hub) {
        Ref<FrameWindow> frame = FrameCreate(context, parent, instance, hub.get());
        ScopedLock hold(root->lock);
        root->frame = std::move(frame);
    }
    const HWND frame_window = AppGetFrameHwnd(root);
    if (!frame_window) return false;

    EventHubSetWindow(hub.get(), frame_window);
    root->state = kAppRunning;
    Ref<CmdLine> cmd_line = AppGetCmdLine(root);
    if (cmd_line && CmdLineFileCount(cmd_line.get()) > 0) {
        Variant argument;
        VariantInitObject(argument, cmd_line.get());
        ViewerPostActionArg(context, event::kOpenCommandLine, argument);
    }
    return true;
}

void AppStop(AppRoot* root) {
    if (!root) return;
    uint32_t running = kAppRunning;
    root->state.compare_exchange_strong(running, kAppStopping);
    if (Ref<EventHub> hub = AppGetEventHub(root)) EventHubSetWindow(hub.get(), nullptr);
}

void AppCloseAll(AppRoot* root, ViewerContext* context) {
    if (!context || !AppGetController(root)) return;
    ViewerCloseAll(context);
}

void AppBroadcast(AppRoot* root, uint32_t code) {
    if (Ref<EventHub> hub = AppGetEventHub(root)) EventHubSend(hub.get(), nullptr, code);
}

void AppShutdown(AppRoot* root) {
    if (!root) return;
    root->state = kAppStopping;
    // The cleanup thread sees the flag between two entries and clears its
    // handle on the way out; it is never terminated.
    root->cleanup_stop = true;
    while (root->cleanup_thread.load()) Sleep(20);

    if (Ref<DdeServer> server = TakeMember(root, &AppRoot::dde_server)) DdeServerStop(server.get());
    PrintProvidersRelease(root->print_providers);
    TakeMember(root, &AppRoot::extensions);
    TakeMember(root, &AppRoot::frame);
    TakeMember(root, &AppRoot::shared_slot);
    TakeMember(root, &AppRoot::controller);
    if (Ref<RecentFiles> recent = TakeMember(root, &AppRoot::recent_files)) RecentFilesSave(recent.get());
    if (Ref<ModuleList> modules = TakeMember(root, &AppRoot::modules)) ModuleListClear(modules.get());
    if (Ref<EventHub> hub = TakeMember(root, &AppRoot::hub)) EventHubClose(hub.get());
    if (Ref<AppTextTable> texts = TakeMember(root, &AppRoot::texts)) AppTextTableDrop(texts.get());
    TakeMember(root, &AppRoot::images);
    if (Ref<Settings> settings = TakeMember(root, &AppRoot::settings)) {
        SettingsSave(settings.get());
        if (const ProgramHooks hooks = AppGetProgramHooks(root); hooks.settings_saved) {
            hooks.settings_saved(settings.get());
        }
    }
    TakeMember(root, &AppRoot::cmd_line);
    root->state = kAppStopped;
}

void AppSetProgramHooks(AppRoot* root, const ProgramHooks& hooks) {
    if (!root) return;
    ScopedLock hold(root->lock);
    root->program_hooks = hooks;
}

void AppSetMarkups(AppRoot* root, MarkupProvider* markups) {
    if (!root) return;
    Ref<MarkupProvider> installed = markups ? Ref<MarkupProvider>(markups) : MakeRef<MarkupProvider>();
    ScopedLock hold(root->lock);
    std::swap(root->markups, installed);
}

Ref<MarkupProvider> AppGetMarkups(AppRoot* root) {
    if (!root) return MakeRef<MarkupProvider>();
    ScopedLock hold(root->lock);
    return root->markups;
}

Ref<MarkupProvider> ViewerGetMarkups(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return AppGetMarkups(app.get());
}

ProgramHooks AppGetProgramHooks(AppRoot* root) {
    if (!root) return ProgramHooks();
    ScopedLock hold(root->lock);
    return root->program_hooks;
}

Ref<FrameWindow> AppGetFrame(AppRoot* root) { return ReadMember(root, &AppRoot::frame); }

// Here rather than beside the context's other getters: only the composition
// root knows the frame's type.
Ref<FrameWindow> ViewerGetFrame(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetFrame(app.get()) : nullptr;
}

HWND AppGetFrameHwnd(AppRoot* root) {
    Ref<FrameWindow> frame = AppGetFrame(root);
    return FrameGetHwnd(frame.get());
}

Ref<EventHub> AppGetEventHub(AppRoot* root) { return ReadMember(root, &AppRoot::hub); }
Ref<ModuleList> AppGetModules(AppRoot* root) { return ReadMember(root, &AppRoot::modules); }
Ref<ExtensionHost> AppGetExtensionHost(AppRoot* root) { return ReadMember(root, &AppRoot::extensions); }
Ref<Settings> AppGetSettings(AppRoot* root) { return ReadMember(root, &AppRoot::settings); }
Ref<AppTextTable> AppGetTextTable(AppRoot* root) { return ReadMember(root, &AppRoot::texts); }
Ref<ImageStore> AppGetImageStore(AppRoot* root) { return ReadMember(root, &AppRoot::images); }
Ref<SharedSlot> AppGetSharedSlot(AppRoot* root) { return ReadMember(root, &AppRoot::shared_slot); }
Ref<DocumentController> AppGetController(AppRoot* root) { return ReadMember(root, &AppRoot::controller); }
Ref<CmdLine> AppGetCmdLine(AppRoot* root) { return ReadMember(root, &AppRoot::cmd_line); }

HACCEL AppGetAccelerators(AppRoot* root) {
    Ref<AcceleratorTable> table = ReadMember(root, &AppRoot::accelerators);
    return table ? table->handle : nullptr;
}

uint32_t AppGetState(AppRoot* root) { return root ? root->state.load() : kAppStopped; }

HINSTANCE AppGetInstance(AppRoot* root) { return root ? root->instance : nullptr; }

uint32_t AppNextId(AppRoot* root) {
    if (!root) return 0;
    ScopedLock hold(root->lock);
    const uint32_t id = root->next_item_id++;
    if (root->next_item_id == 0) root->next_item_id = 1;
    return id;
}

uint32_t AppNextSourceId(AppRoot* root) {
    if (!root) return 0;
    ScopedLock hold(root->lock);
    const uint32_t id = root->next_source_id++;
    if (root->next_source_id == 0) root->next_source_id = 1;
    return id;
}

double ViewerGetPixelsPerMmX(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? app->pixels_per_mm_x : kDefaultDpi / kMmPerInch;
}

double ViewerGetPixelsPerMmY(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? app->pixels_per_mm_y : kDefaultDpi / kMmPerInch;
}
