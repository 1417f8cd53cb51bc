#include "viewer/windows/doc_tree_window.h"

#include <windowsx.h>

#include "foundation/variant.h"
#include "foundation/window_subclass.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/image_store.h"
#include "viewer/core/open_params.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/windows/context_menu.h"
#include "viewer/windows/floating_pane.h"

namespace {

constexpr uint32_t kIconCacheBuckets = 31;
constexpr COLORREF kTreeBackground = RGB(255, 255, 255);
constexpr UINT kTreeControlId = 1;
constexpr UINT_PTR kTreeControlSubclass = 1;
constexpr DWORD kTreeControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                    TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
                                    TVS_NOTOOLTIPS;
// WM_KEYDOWN to WM_SYSDEADCHAR and the one message after it.
constexpr UINT kLastKeyMessage = 0x108;

constexpr uint32_t kBitmapListEntry = 324;
constexpr uint32_t kBitmapPage = 325;
constexpr uint32_t kBitmapListDocument = 152;
constexpr uint32_t kBitmapLoadFailed = 156;
constexpr uint32_t kBitmapImageDocument = 350;
constexpr uint32_t kBitmapComparison = 326;

// A span in which the tree selects or deletes nodes itself: the selection
// changes that follow are no choice of the user's and start no action.
class QuietChanges {
  public:
    explicit QuietChanges(DocTreeWindow* tree) : tree_(tree) { ++tree_->quiet_changes; }
    ~QuietChanges() { --tree_->quiet_changes; }
    QuietChanges(const QuietChanges&) = delete;
    QuietChanges& operator=(const QuietChanges&) = delete;

  private:
    DocTreeWindow* tree_;
};

void SendIntAction(ViewerContext* context, uint32_t code, int32_t value) {
    Variant argument;
    VariantInitInt(argument, value);
    ViewerSendActionArg(context, code, argument);
}

Ref<DocItem> ItemArgument(const HubEvent* event) {
    Ref<RefCounted> object = VariantGetObject(event->argument);
    auto* item = dynamic_cast<DocItem*>(object.get());
    return item ? Ref<DocItem>(item) : nullptr;
}

int32_t NodeId(HWND control, HTREEITEM node) {
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_PARAM;
    item.hItem = node;
    if (!SendMessageW(control, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return static_cast<int32_t>(item.lParam);
}

HTREEITEM NextNode(HWND control, HTREEITEM node, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(control, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(node)));
}

void SelectQuietly(DocTreeWindow* tree, HTREEITEM node) {
    QuietChanges quiet(tree);
    SendMessageW(tree->tree_view.get(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
}

void DeleteQuietly(DocTreeWindow* tree, HTREEITEM node) {
    QuietChanges quiet(tree);
    SendMessageW(tree->tree_view.get(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node));
}

HTREEITEM InsertNode(DocTreeWindow* tree, HTREEITEM parent, int32_t id, const WString& text, int32_t image) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(WStrCStr(text));
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = id;
    auto node = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree->tree_view.get(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (node) tree->nodes[id] = node;
    return node;
}

void SetNodeLook(DocTreeWindow* tree, HTREEITEM node, DocItem* look) {
    WString text;
    DocTreeNodeText(tree, look, text);
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = node;
    item.pszText = const_cast<wchar_t*>(WStrCStr(text));
    item.iImage = DocTreeNodeImage(tree, look);
    item.iSelectedImage = item.iImage;
    SendMessageW(tree->tree_view.get(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void ForgetNode(DocTreeWindow* tree, int32_t id, HTREEITEM node) {
    auto found = tree->nodes.find(id);
    if (found != tree->nodes.end() && found->second == node) tree->nodes.erase(found);
}

void SetNodeId(DocTreeWindow* tree, HTREEITEM node, int32_t id) {
    ForgetNode(tree, NodeId(tree->tree_view.get(), node), node);
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_PARAM;
    item.hItem = node;
    item.lParam = id;
    if (SendMessageW(tree->tree_view.get(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        tree->nodes[id] = node;
}

// The page of a single-page image document, or null.
Ref<DocItem> OnlyPage(DocItem* document) {
    if (DocItemGetType(document) != doc_type::kImage || DocItemGetChildCount(document) != 1) return nullptr;
    Ref<DocItem> page = DocItemGetChild(document, 0);
    return DocItemGetType(page.get()) == doc_type::kPage ? page : nullptr;
}

// The node that shows the item, and the item whose look it has: a single
// page shown in its document's place looks like the document.
HTREEITEM FindShownNode(DocTreeWindow* tree, DocItem* item, Ref<DocItem>& look) {
    look = Ref<DocItem>(item);
    if (Ref<DocItem> page = OnlyPage(item)) {
        HTREEITEM node = DocTreeFindNode(tree, DocItemGetId(page.get()));
        if (node) return node;
    }
    HTREEITEM node = DocTreeFindNode(tree, DocItemGetId(item));
    if (!node || DocItemGetType(item) != doc_type::kPage) return node;
    HWND control = tree->tree_view.get();
    HTREEITEM parent = NextNode(control, node, TVGN_PARENT);
    const int32_t parent_id = DocItemGetParentId(item);
    if (!parent || NodeId(control, parent) != parent_id) {
        Ref<DocItem> document = DocItemGetParent(item, tree->context.get());
        if (OnlyPage(document.get()).get() == item) look = document;
    }
    return node;
}

// Inserts the item's node and its descendants' last under `parent`; an
// image document with exactly one child is shown by that child, with the
// document's look.
void InsertBranch(DocTreeWindow* tree, HTREEITEM parent, DocItem* item, int32_t active_id) {
    Ref<DocItem> shown(item);
    if (DocItemGetType(item) == doc_type::kImage && DocItemGetChildCount(item) == 1) {
        shown = DocItemGetChild(item, 0);
    }
    WString text;
    DocTreeNodeText(tree, item, text);
    const int32_t id = DocItemGetId(shown.get());
    HTREEITEM node = InsertNode(tree, parent, id, text, DocTreeNodeImage(tree, item));
    if (!node) return;
    if (parent) SendMessageW(tree->tree_view.get(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    if (id == active_id) SelectQuietly(tree, node);
    const uint32_t count = DocItemGetChildCount(shown.get());
    for (uint32_t i = 0; i < count; ++i) {
        if (Ref<DocItem> child = DocItemGetChild(shown.get(), i))
            InsertBranch(tree, node, child.get(), active_id);
    }
}

void Fill(DocTreeWindow* tree) {
    Ref<DocItem> root = ViewerGetRootItem(tree->context.get());
    if (!root || !tree->tree_view) return;
    const int32_t active_id = ViewerGetActiveItemId(tree->context.get());
    const uint32_t count = DocItemGetChildCount(root.get());
    for (uint32_t i = 0; i < count; ++i) {
        if (Ref<DocItem> child = DocItemGetChild(root.get(), i))
            InsertBranch(tree, nullptr, child.get(), active_id);
    }
}

void AddItemNode(DocTreeWindow* tree, DocItem* item) {
    if (!tree->tree_view || DocItemGetType(item) == doc_type::kRoot) return;
    // The root has no node: its children, and any item whose parent has
    // none, stand at the top level.
    HTREEITEM parent = DocTreeFindNode(tree, DocItemGetParentId(item));
    WString text;
    DocTreeNodeText(tree, item, text);
    InsertNode(tree, parent, DocItemGetId(item), text, DocTreeNodeImage(tree, item));
}

// After its pages were built, a single-page image document shows as one
// node that stands for its page.
void CollapseSinglePage(DocTreeWindow* tree, DocItem* document) {
    Ref<DocItem> page = OnlyPage(document);
    if (!page || !tree->tree_view) return;
    HWND control = tree->tree_view.get();
    HTREEITEM node = DocTreeFindNode(tree, DocItemGetId(document));
    if (!node) return;
    const int32_t page_id = DocItemGetId(page.get());
    for (HTREEITEM child = NextNode(control, node, TVGN_CHILD); child;
         child = NextNode(control, child, TVGN_NEXT)) {
        if (NodeId(control, child) == page_id) {
            DeleteQuietly(tree, child);
            break;
        }
    }
    SetNodeId(tree, node, page_id);
}

void RefreshNode(DocTreeWindow* tree, DocItem* item) {
    if (!tree->tree_view) return;
    Ref<DocItem> look;
    if (HTREEITEM node = FindShownNode(tree, item, look)) SetNodeLook(tree, node, look.get());
}

void DeleteNode(DocTreeWindow* tree, int32_t id) {
    if (!tree->tree_view) return;
    if (HTREEITEM node = DocTreeFindNode(tree, id)) DeleteQuietly(tree, node);
}

void SelectActiveNode(DocTreeWindow* tree) {
    if (!tree->tree_view) return;
    const int32_t active_id = ViewerGetActiveItemId(tree->context.get());
    SelectQuietly(tree, active_id >= 0 ? DocTreeFindNode(tree, active_id) : nullptr);
}

// The first page of a document opened as the first (or only) path of its
// request becomes active once, as soon as its node appears.
void AutoActivate(DocTreeWindow* tree, DocItem* item) {
    if (DocItemGetType(item) != doc_type::kPage || item->GetPageIndex() != 0) return;
    ViewerContext* context = tree->context.get();
    Ref<DocItem> document = DocItemFindDocument(item, context);
    Ref<OpenParams> params = document ? document->GetOpenParams() : nullptr;
    if (params && !OpenParamsGetActivateWhenLoaded(params.get())) return;
    if (!ViewerRaiseActivatedNumber(context, DocItemGetOpenNumber(item))) return;
    const int32_t id = DocItemGetId(item);
    if (tree->tree_view) {
        if (HTREEITEM node = DocTreeFindNode(tree, id)) SelectQuietly(tree, node);
    }
    Variant argument;
    VariantInitInt(argument, id);
    ViewerPostActionArg(context, event::kActivateItem, argument);
}

int32_t ExtensionIcon(DocTreeWindow* tree, DocItem* item) {
    Ref<DocumentSource> source = item->GetSource();
    WString path;
    WString extension;
    if (source) WStrGetExtension(SourceGetPath(source.get(), path), extension);
    WStrLower(extension);
    if (!WStrLength(extension) || !tree->image_list || !tree->icon_cache) return tree->images.list_entry;
    ScopedLock hold(tree->lock);
    if (Ref<RefCounted> cached = StrHashFind(tree->icon_cache.get(), extension)) {
        return static_cast<TreeIconEntry*>(cached.get())->index;
    }
    HICON icon = GetFileTypeIcon(extension);
    if (!icon) return tree->images.list_entry;
    const int index = ImageList_AddIcon(tree->image_list.get(), icon);
    DestroyIcon(icon);
    if (index < 0) return tree->images.list_entry;
    Ref<TreeIconEntry> entry = MakeRef<TreeIconEntry>();
    entry->index = index;
    StrHashInsert(tree->icon_cache.get(), extension, entry.get(), nullptr);
    return index;
}

void AddBitmap(DocTreeWindow* tree, const ImageStore* store, uint32_t number, int32_t& index) {
    if (ImageListAddBitmap(store, tree->image_list.get(), number))
        index = ImageList_GetImageCount(tree->image_list.get()) - 1;
}

void MakeImageList(DocTreeWindow* tree) {
    tree->image_list.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 6, 4));
    if (!tree->image_list) return;
    ImageList_SetBkColor(tree->image_list.get(), kTreeBackground);
    Ref<AppRoot> app = ViewerGetApp(tree->context.get());
    Ref<ImageStore> store = AppGetImageStore(app.get());
    if (!store) return;
    AddBitmap(tree, store.get(), kBitmapListEntry, tree->images.list_entry);
    AddBitmap(tree, store.get(), kBitmapPage, tree->images.page);
    AddBitmap(tree, store.get(), kBitmapListDocument, tree->images.list_document);
    AddBitmap(tree, store.get(), kBitmapLoadFailed, tree->images.load_failed);
    AddBitmap(tree, store.get(), kBitmapImageDocument, tree->images.image_document);
    AddBitmap(tree, store.get(), kBitmapComparison, tree->images.comparison);
}

// The control's wheel and commands go to the tree window only: the
// window's default handling passes the wheel on to the frame, which zooms.
// Given to the control's default procedure as well, a docked tree's wheel
// would reach the frame twice.
LRESULT CALLBACK TreeControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                 DWORD_PTR container) {
    switch (message) {
        case WM_COMMAND:
        case WM_MOUSEWHEEL:
            return SendMessageW(reinterpret_cast<HWND>(container), message, wparam, lparam);
        case WM_NCDESTROY:
            WindowSubclassRemove(control, &TreeControlProc, id);
            break;
    }
    return WindowSubclassNext(control, message, wparam, lparam);
}

bool MakeTreeWindow(DocTreeWindow* tree, int32_t mode, bool moveable, HWND frame_window, const RectI& rect) {
    Ref<Settings> settings = ViewerGetSettings(tree->context.get());
    const RectI stored = settings ? SettingsGetPaneRect(settings.get(), kPaneNavigation) : RectI();
    if (!PaneWindowCreate(tree, kDocTreeClassName, L"", mode, moveable, frame_window, rect, stored))
        return false;
    RECT client = {};
    GetClientRect(tree->window(), &client);
    HWND control = CreateWindowExW(0, WC_TREEVIEWW, kDocTreeControlTitle, kTreeControlStyle, 0, 0,
                                   client.right, client.bottom, tree->window(),
                                   reinterpret_cast<HMENU>(kTreeControlId), tree->instance, nullptr);
    tree->nodes.clear();
    if (!tree->tree_view.Attach(control)) {
        WindowDestroy(tree);
        return false;
    }
    WindowSubclassAdd(control, &TreeControlProc, kTreeControlSubclass,
                      reinterpret_cast<DWORD_PTR>(tree->window()));
    SendMessageW(control, TVM_SETBKCOLOR, 0, kTreeBackground);
    if (tree->image_list) {
        SendMessageW(control, TVM_SETIMAGELIST, TVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(tree->image_list.get()));
    }
    return true;
}

// The node under the cursor of the current message, and that point on the
// screen; null when the click hit no node.
HTREEITEM NodeAtCursor(DocTreeWindow* tree, POINT& screen) {
    const DWORD position = GetMessagePos();
    screen = POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(tree->tree_view.get(), &hit.pt);
    auto node = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree->tree_view.get(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return node && (hit.flags & TVHT_ONITEM) ? node : nullptr;
}

LRESULT OnTreeNotify(DocTreeWindow* tree, const NMHDR* header) {
    ViewerContext* context = tree->context.get();
    switch (header->code) {
        case TVN_SELCHANGEDW: {
            if (tree->quiet_changes > 0) return 1;
            const auto* change = reinterpret_cast<const NMTREEVIEWW*>(header);
            SendIntAction(context, event::kActivateItem,
                          change->itemNew.hItem ? static_cast<int32_t>(change->itemNew.lParam) : -1);
            return 1;
        }
        case NM_DBLCLK: {
            POINT screen;
            if (HTREEITEM node = NodeAtCursor(tree, screen)) {
                SelectQuietly(tree, node);
                SendIntAction(context, event::kOpenWithRegisteredProgram,
                              NodeId(tree->tree_view.get(), node));
            }
            return 1;
        }
        case NM_RCLICK: {
            POINT screen;
            if (HTREEITEM node = NodeAtCursor(tree, screen)) {
                const int32_t id = NodeId(tree->tree_view.get(), node);
                SelectQuietly(tree, node);
                SendIntAction(context, event::kActivateItem, id);
                Variant request;
                VariantInitObject(request, ContextMenuRequestCreate(id, screen.x, screen.y).get());
                ViewerSendActionArg(context, event::kContextMenu, request);
            }
            return 1;
        }
        case TVN_DELETEITEMW: {
            // Sent for the node and for each node below it.
            const auto* change = reinterpret_cast<const NMTREEVIEWW*>(header);
            ForgetNode(tree, static_cast<int32_t>(change->itemOld.lParam), change->itemOld.hItem);
            return 1;
        }
    }
    return 0;
}

}  // namespace

Ref<DocTreeWindow> DocTreeListener::Tree() {
    ScopedLock hold(lock_);
    if (!tree_ || !RefTryAddRef(tree_)) return nullptr;
    return AdoptRef(tree_);
}

void DocTreeListener::ForgetTree() {
    ScopedLock hold(lock_);
    tree_ = nullptr;
}

HubAnswer DocTreeListener::Notify(RefCounted* sender, HubEvent* event) {
    if (!event) return HubAnswer::kContinue;
    Ref<DocTreeWindow> tree = Tree();
    if (!tree) return HubAnswer::kContinue;
    switch (event->code) {
        case event::kAppEnding:
            ForgetTree();
            return HubAnswer::kHandled;
        case event::kItemRemoved:
            DeleteNode(tree.get(), VariantToInt(event->argument));
            return HubAnswer::kHandled;
        case event::kActiveItemChanged:
            SelectActiveNode(tree.get());
            return HubAnswer::kHandled;
        case event::kItemAdded:
        case event::kPagesBuilt:
        case event::kItemKindChanged:
        case event::kItemNameChanged:
            break;
        default:
            return HubAnswer::kContinue;
    }
    Ref<DocItem> item = ItemArgument(event);
    if (!item) return HubAnswer::kContinue;
    switch (event->code) {
        case event::kItemAdded:
            AddItemNode(tree.get(), item.get());
            AutoActivate(tree.get(), item.get());
            break;
        case event::kPagesBuilt:
            CollapseSinglePage(tree.get(), item.get());
            break;
        case event::kItemKindChanged:
            RefreshNode(tree.get(), item.get());
            AutoActivate(tree.get(), item.get());
            break;
        case event::kItemNameChanged:
            RefreshNode(tree.get(), item.get());
            break;
    }
    return HubAnswer::kHandled;
}

DocTreeWindow::~DocTreeWindow() {
    if (listener) {
        listener->ForgetTree();
        ListenerDetach(listener.get());
    }
    WindowDestroy(this);
    if (icon_cache) HashTableClear(icon_cache.get());
}

LRESULT DocTreeWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= WM_KEYDOWN && message <= kLastKeyMessage) {
        // Inside the control the host's window gets the keys; the desktop
        // program's frame has no parent to give them to.
        if constexpr (!kViewerProgramBuild) {
            HWND frame_parent = frame_window && (GetWindowLongW(frame_window, GWL_STYLE) & WS_CHILD)
                                    ? GetParent(frame_window)
                                    : nullptr;
            if (frame_parent) PostMessageW(frame_parent, message, wparam, lparam);
            return 1;
        }
    }
    switch (message) {
        case WM_MOVE:
            if (display_mode == kPaneFloating)
                FloatingPaneStoreRect(window(), frame_window, context.get(), kPaneNavigation);
            break;
        case WM_SIZE:
            if (display_mode == kPaneFloating)
                FloatingPaneStoreRect(window(), frame_window, context.get(), kPaneNavigation);
            if (wparam != SIZE_MINIMIZED && tree_view) {
                MoveWindow(tree_view.get(), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            }
            break;
        case WM_CLOSE:
            // Closing the floating tree docks it again.
            SendIntAction(context.get(), event::kShowNavigation, 1);
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && tree_view && header->hwndFrom == tree_view.get()) return OnTreeNotify(this, header);
            break;
        }
        case WM_COMMAND:
            if (ViewerOnCommand(context.get(), wparam, lparam)) return 0;
            break;
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

Ref<DocTreeWindow> DocTreeCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub) {
    if (!context) return nullptr;
    if (!WindowRegisterClass(kDocTreeClassName, CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW),
                             static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)))) {
        return nullptr;
    }
    Ref<DocTreeWindow> tree = MakeRef<DocTreeWindow>();
    tree->instance = instance;
    tree->context = Ref<ViewerContext>(context);
    tree->frame_window = frame_window;
    tree->icon_cache = StrHashNew(kIconCacheBuckets, 0);
    MakeImageList(tree.get());
    tree->listener = MakeRef<DocTreeListener>();
    tree->listener->tree_ = tree.get();
    if (hub) ListenerConstruct(tree->listener.get(), hub);
    return tree;
}

void DocTreeSetMode(DocTreeWindow* tree, int32_t mode, HWND frame_window, const RectI& rect) {
    if (!tree) return;
    Ref<Settings> settings = ViewerGetSettings(tree->context.get());
    const bool moveable = settings ? SettingsGetPopupsMoveable(settings.get()) : true;
    tree->frame_window = frame_window;
    if (mode != tree->display_mode || moveable != tree->made_moveable) {
        WindowDestroy(tree);
        // A window that cannot be made leaves the tree hidden; the next
        // layout tries again.
        tree->display_mode = mode;
        tree->made_moveable = moveable;
        if (mode == kPaneHidden) return;
        if (!MakeTreeWindow(tree, mode, moveable, frame_window, rect)) {
            tree->display_mode = 0;
            return;
        }
        Fill(tree);
    }
    if (mode == kPaneDocked) WindowMove(tree, rect);
}

HWND DocTreeGetControl(DocTreeWindow* tree) { return tree ? tree->tree_view.get() : nullptr; }

HTREEITEM DocTreeFindNode(DocTreeWindow* tree, int32_t id) {
    if (!tree || !tree->tree_view) return nullptr;
    auto found = tree->nodes.find(id);
    return found != tree->nodes.end() ? found->second : nullptr;
}

WString& DocTreeNodeText(DocTreeWindow* tree, DocItem* item, WString& out) {
    WString name;
    DocItemGetName(item, name);
    if (DocItemGetType(item) != doc_type::kLoading) return WStrAssign(out, name);
    Ref<DocumentSource> source = item->GetSource();
    const uint32_t state = SourceGetState(source.get());
    if (state == kSourceLoaded) return WStrAssign(out, name);
    const bool failed = state == kSourceFailed;
    const wchar_t* prefix =
        ViewerGetText(tree ? tree->context.get() : nullptr, failed ? text::kErrorLabel : text::kTreeLoading);
    WStrAssignChars(out, prefix ? prefix : (failed ? L"Error" : L"Loading"));
    WStrAppendChars(out, L" - ");
    return WStrAppend(out, name);
}

int32_t DocTreeNodeImage(DocTreeWindow* tree, DocItem* item) {
    if (!tree || !item) return -1;
    switch (DocItemGetType(item)) {
        case doc_type::kLoading:
            return tree->images.list_entry;
        case doc_type::kUnshowable:
            return ExtensionIcon(tree, item);
        case doc_type::kImage:
            return tree->images.image_document;
        case doc_type::kList:
            return tree->images.list_document;
        case doc_type::kPage:
        case doc_type::kComparisonPage:
            return tree->images.page;
        case doc_type::kFailed:
            return tree->images.load_failed;
        case doc_type::kComparison:
            return tree->images.comparison;
    }
    return -1;
}
