// The viewer context: what every window, dialog, handler and plug-in binding
// is given. It reaches the application root and its objects, holds the
// document tree's root, the active item and the per-frame counters, sends and
// posts hub events in its own name, and answers whether a restriction
// forbids an operation.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/variant.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/text_provider.h"

class AppRoot;
class DocItem;
class DocumentController;
class FrameWindow;
class ProgressForwarder;
class Settings;
class VariableList;

class ViewerContext : public RefCounted, public TextProvider {
  public:
    ~ViewerContext() override;

    bool ReportError(uint32_t number, uint32_t severity, const wchar_t* detail) override;
    const wchar_t* GetText(uint32_t id, uint32_t reserved) override;

    // Guards every member below; never held while the hub's lock is taken.
    CriticalSection lock;
    uint16_t language = 0;  // the setting LANGUAGE when the context was made
    Ref<AppRoot> app;
    Ref<DocItem> root_item;
    Ref<DocItem> active_item;
    uint32_t open_counter = 0;
    uint32_t last_activated_number = 0;
    uint32_t comparison_counter = 1;
    Ref<ProgressForwarder> progress_forwarder;
    uint32_t redlining_mode = kRedliningModeOff;
    uint32_t redlining_tool = kRedliningToolText;
    bool redlining_active = false;  // the setting REDLINING_ACTIVE when the context was made
    Ref<VariableList> variables;
};

// Builds the context on the root (which may be null: every operation then
// answers null, 0 or -1 and sends nothing).
Ref<ViewerContext> ViewerContextConstruct(AppRoot* app);

// Takes the root, root item, active item, progress forwarder and variable
// list out of the context and releases them (the forwarder detached first).
// The context's destructor runs it; the shells run it at teardown, so that
// the root and the tree go before the context's last reference does.
void ViewerReleaseMembers(ViewerContext* context);

// Getters return counted references (null when missing) or plain values.
Ref<AppRoot> ViewerGetApp(ViewerContext* context);
Ref<Settings> ViewerGetSettings(ViewerContext* context);
Ref<DocumentController> ViewerGetController(ViewerContext* context);
Ref<FrameWindow> ViewerGetFrame(ViewerContext* context);
HWND ViewerGetFrameHwnd(ViewerContext* context);
HINSTANCE ViewerGetInstance(ViewerContext* context);
uint32_t ViewerGetAppState(ViewerContext* context);
uint16_t ViewerGetLanguage(ViewerContext* context);
Ref<DocItem> ViewerGetRootItem(ViewerContext* context);
Ref<DocItem> ViewerGetActiveItem(ViewerContext* context);
int32_t ViewerGetActiveItemId(ViewerContext* context);
Ref<VariableList> ViewerGetVariableList(ViewerContext* context);
Ref<ProgressForwarder> ViewerGetProgressForwarder(ViewerContext* context);
uint32_t ViewerGetRedliningMode(ViewerContext* context);

// The item with this id anywhere under the root item, or null.
Ref<DocItem> ViewerFindItem(ViewerContext* context, int32_t id);
// The first item, in a walk of the whole tree, whose name equals `name` as
// a path (PathEquals), or null.
Ref<DocItem> ViewerFindItemByName(ViewerContext* context, const WString& name);
// Posts kActiveItemChanged when the item's id differs from the active one's.
void ViewerSetActiveItem(ViewerContext* context, DocItem* item);

// Each returns the counter, then increments it.
uint32_t ViewerNextOpenNumber(ViewerContext* context);
uint32_t ViewerNextComparisonNumber(ViewerContext* context);
// Stores n; true only when n is greater than the number stored before.
bool ViewerRaiseActivatedNumber(ViewerContext* context, uint32_t n);

// Send or post through the root's hub with the context as sender; nothing
// happens without a root or hub.
void ViewerSendAction(ViewerContext* context, uint32_t code);
void ViewerSendActionArg(ViewerContext* context, uint32_t code, const Variant& argument);
void ViewerPostAction(ViewerContext* context, uint32_t code);
void ViewerPostActionArg(ViewerContext* context, uint32_t code, const Variant& argument);

// True when `waive` is non-zero, when there are no settings, or when the
// RESTRICTIONS word holds none of the bits of `mask`.
bool ViewerIsAllowed(ViewerContext* context, uint32_t waive, uint32_t mask);

// The text of the number in the context's language, or null.
const wchar_t* ViewerGetText(ViewerContext* context, uint32_t id, uint32_t reserved = 0);
// The same, or an empty text where there is none (for controls and captions).
const wchar_t* ViewerTextOrEmpty(ViewerContext* context, uint32_t id);
