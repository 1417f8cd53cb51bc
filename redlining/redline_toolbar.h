// Stand-in: an empty floating tool window of the tool bar's class; no buttons, no observer, no refresh.
// The redlining tool bar: a small floating tool window with the save, select
// and drawing-tool buttons, shown while the editing mode is select or draw.
#pragma once

#include <windows.h>

#include "foundation/ref_counted.h"
#include "viewer/contracts/markups.h"

class EventHub;
class ViewerContext;

inline constexpr wchar_t kRedlineToolbarClassName[] = L"PLOVEX_RLTOOLBAR";

class RedlineToolbar : public MarkupToolbar {
  public:
    ~RedlineToolbar() override;
    void Detach() override;

    Ref<ViewerContext> context;
};

// A hidden tool window owned by `parent`; null when it cannot be made.
Ref<RedlineToolbar> RedlineToolbarConstruct(ViewerContext* context, HWND parent, HINSTANCE instance,
                                            EventHub* hub);
void RedlineToolbarDetach(RedlineToolbar* toolbar);
// Shown in select and draw mode, hidden otherwise; answers whether shown.
bool RedlineToolbarShowByMode(RedlineToolbar* toolbar, uint32_t mode);
