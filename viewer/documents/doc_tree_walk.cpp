#include "viewer/documents/doc_tree_walk.h"

#include <vector>

#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"

namespace {

int32_t PositionInParent(DocItem* parent, DocItem* child) {
    ScopedLock hold(parent->lock);
    return PtrArrayFind(parent->children, child);
}

Ref<DocItem> LastDescendant(Ref<DocItem> item) {
    for (;;) {
        const uint32_t count = DocItemGetChildCount(item.get());
        Ref<DocItem> last = count ? DocItemGetChild(item.get(), count - 1) : nullptr;
        if (!last) return item;
        item = std::move(last);
    }
}

// The walk's place: the item and each ancestor up to the root, with each
// one's position in its parent. Stepping through it costs no look-up of a
// parent by id, so a walk over the whole tree stays linear in its size.
class WalkCursor {
  public:
    WalkCursor(DocItem* start, ViewerContext* context) {
        Ref<DocItem> item(start);
        for (;;) {
            Ref<DocItem> parent = DocItemGetParent(item.get(), context);
            const int32_t position = parent ? PositionInParent(parent.get(), item.get()) : -1;
            path_.insert(path_.begin(), Frame{item, position < 0 ? 0u : static_cast<uint32_t>(position)});
            if (position < 0) break;
            item = std::move(parent);
        }
    }

    DocItem* Current() const { return path_.empty() ? nullptr : path_.back().item.get(); }

    bool Forward() {
        if (Ref<DocItem> first = DocItemGetChild(Current(), 0)) {
            path_.push_back(Frame{std::move(first), 0});
            return true;
        }
        while (path_.size() > 1) {
            Frame& top = path_.back();
            Ref<DocItem> next = DocItemGetChild(path_[path_.size() - 2].item.get(), top.position + 1);
            if (next) {
                top = Frame{std::move(next), top.position + 1};
                return true;
            }
            path_.pop_back();
        }
        return false;
    }

    bool Backward() {
        if (path_.size() < 2) return false;
        Frame& top = path_.back();
        Ref<DocItem> sibling = top.position > 0
                                   ? DocItemGetChild(path_[path_.size() - 2].item.get(), top.position - 1)
                                   : nullptr;
        if (!sibling) {
            path_.pop_back();
            return true;
        }
        top = Frame{std::move(sibling), top.position - 1};
        for (;;) {
            const uint32_t count = DocItemGetChildCount(Current());
            Ref<DocItem> last = count ? DocItemGetChild(Current(), count - 1) : nullptr;
            if (!last) return true;
            path_.push_back(Frame{std::move(last), count - 1});
        }
    }

  private:
    struct Frame {
        Ref<DocItem> item;
        uint32_t position;  // in the parent, the frame before
    };
    std::vector<Frame> path_;
};

class ItemPositionCounter : public ItemVisitor {
  public:
    explicit ItemPositionCounter(DocItem* wanted) : wanted_(wanted) {}

    bool Visit(DocItem* item) override {
        if (item == wanted_) position = count;
        ++count;
        return true;
    }

    int32_t count = 0;
    int32_t position = -1;

  private:
    DocItem* wanted_;
};

}  // namespace

bool DocTreeWalk(ViewerContext* context, DocItem* start, uint32_t type_mask, bool forward,
                 ItemVisitor* visitor) {
    if (!context || !start || !visitor) return false;
    WalkCursor cursor(start, context);
    do {
        DocItem* item = cursor.Current();
        if ((DocItemGetType(item) & type_mask) && !visitor->Visit(item)) break;
    } while (forward ? cursor.Forward() : cursor.Backward());
    return true;
}

Ref<DocItem> DocItemNextSiblingAfter(DocItem* parent, DocItem* child) {
    if (!parent || !child) return nullptr;
    const int32_t position = PositionInParent(parent, child);
    return position < 0 ? nullptr : DocItemGetChild(parent, static_cast<uint32_t>(position) + 1);
}

Ref<DocItem> DocItemNext(DocItem* item, ViewerContext* context) {
    if (!item) return nullptr;
    if (Ref<DocItem> first = DocItemGetChild(item, 0)) return first;
    Ref<DocItem> current(item);
    for (;;) {
        Ref<DocItem> parent = DocItemGetParent(current.get(), context);
        if (!parent) return nullptr;
        if (Ref<DocItem> next = DocItemNextSiblingAfter(parent.get(), current.get())) return next;
        current = std::move(parent);
    }
}

Ref<DocItem> DocItemPrev(DocItem* item, ViewerContext* context) {
    Ref<DocItem> parent = DocItemGetParent(item, context);
    if (!parent) return nullptr;
    const int32_t position = PositionInParent(parent.get(), item);
    Ref<DocItem> sibling =
        position > 0 ? DocItemGetChild(parent.get(), static_cast<uint32_t>(position) - 1) : nullptr;
    return sibling ? LastDescendant(std::move(sibling)) : parent;
}

void ViewerGetItemPosition(ViewerContext* context, DocItem* item, uint32_t type_mask, int32_t& count,
                           int32_t& position) {
    count = 0;
    position = -1;
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return;
    ItemPositionCounter counter(item);
    DocTreeWalk(context, root.get(), type_mask, true, &counter);
    count = counter.count;
    position = counter.position;
}
