// The listener through which a tree item follows the hub: a list entry
// turns into a document when its source reports (notification 8), and a
// comparison recomposes when a page's markers or content change
// (notification 20).
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "viewer/core/event_hub.h"

class DocItem;
class ViewerContext;

class TreeItemSink : public HubListener {
  public:
    // Borrows the item: the item detaches the sink before it goes.
    explicit TreeItemSink(DocItem* item) : item_(item) {}

    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    // The item with a reference added, or null once detached or dying.
    Ref<DocItem> Item();
    void ForgetItem();

  private:
    CriticalSection lock_;
    DocItem* item_;
};

// A sink for the item registered on the item's hub; null without a hub.
Ref<TreeItemSink> TreeItemSinkCreate(DocItem* item);
// Forgets the item and leaves the hub; a second call does nothing.
void TreeItemSinkDetach(TreeItemSink* sink);

// What the sink does with notification 8 for its item: when the event's
// source is the item's own (same source id) and the item still loads, the
// item becomes a document of the source's kind, or a failed entry, the
// source's handler builds its children and, for an image document, its
// markups are loaded. True when the event was about the item.
bool TreeItemSourceLoaded(DocItem* item, ViewerContext* context, RefCounted* announced_source);
