// The redlining tool bar: a small floating tool window with the save, select
// and drawing-tool buttons, shown while the editing mode is select or draw,
// the active mode or tool pressed; it follows the mode through the event hub.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_hub.h"

class ViewerContext;
class RedlineToolbar;

inline constexpr wchar_t kRedlineToolbarClassName[] = L"PLOVEX_RLTOOLBAR";

// Shows, hides and refreshes its tool bar on the redlining-mode notification.
class RedlineToolbarObserver : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    CriticalSection lock;
    Ref<RedlineToolbar> toolbar;  // null once detached
};

class RedlineToolbar : public MarkupToolbar {
  public:
    ~RedlineToolbar() override;
    void Detach() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    Ref<ViewerContext> context;
    Ref<RedlineToolbarObserver> observer;
    HWND tool_bar = nullptr;  // the child tool bar control
    // The control only borrows them; they go after the window.
    ImageListHandle normal_images;
    ImageListHandle hot_images;
};

// The tool window owned by `parent`, shown when the mode is select or draw;
// null when it cannot be made.
Ref<RedlineToolbar> RedlineToolbarConstruct(ViewerContext* context, HWND parent, HINSTANCE instance,
                                            EventHub* hub);
void RedlineToolbarDetach(RedlineToolbar* toolbar);
// Presses the button of the active mode or tool and releases the others.
void RedlineToolbarRefresh(RedlineToolbar* toolbar);
// Shown in select and draw mode, hidden otherwise; answers whether shown.
bool RedlineToolbarShowByMode(RedlineToolbar* toolbar, uint32_t mode);
// The button of the editing state (0 for none): 563 in select mode, the
// tool's command in draw mode.
uint32_t RedlineToolbarActiveCommand(uint32_t mode, uint32_t tool);
