// The document tree: the root, the documents opened into it (each first a
// list entry that is still loading), the pages of image documents, the
// entries of list documents, and version comparisons with their pages.
// Every node is reference-counted, carries a type code and an id unique
// under its application root, and answers the virtual operations through
// which the views, commands and printing render, draw and enable commands
// without knowing the node's class.
//
// Items are made, changed and destroyed on the GUI thread; the print thread
// renders pages through RenderPage. Each item's lock guards its name, its
// children and the members its class adds; no operation holds two item
// locks at once.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "imaging/formats/image_status.h"
#include "imaging/formats/page_placement.h"

class AppRoot;
class CutOutState;
class DocumentSource;
class ImagePage;
class OpenParams;
class PageMetrics;
class ProgressSink;
class RasterImage;
class MarkupDocument;
class MarkupPage;
class TreeItemSink;
class ViewMapping;
class ViewerContext;

// Type codes, one bit each so that callers can test a mask. A document
// changes its type once, from kLoading to one of kUnshowable, kImage,
// kList or kFailed; no other item ever changes type.
namespace doc_type {
inline constexpr uint32_t kRoot = 1;
inline constexpr uint32_t kUnshowable = 2;  // loaded, but the view cannot show it
inline constexpr uint32_t kImage = 4;
inline constexpr uint32_t kList = 8;
inline constexpr uint32_t kPage = 16;
inline constexpr uint32_t kLoading = 32;  // list entry whose source is still loading
inline constexpr uint32_t kFailed = 64;   // list entry whose source failed
inline constexpr uint32_t kComparison = 128;
inline constexpr uint32_t kComparisonPage = 256;

inline constexpr uint32_t kDocuments = kUnshowable | kImage | kList;  // 14
inline constexpr uint32_t kSavable = kDocuments | kPage;              // 30
inline constexpr uint32_t kPages = kPage;                             // 16
inline constexpr uint32_t kAll = 0xFFFFFFFF;
}  // namespace doc_type

// Bits of GetCommandMask: what the windows and actions may do with an item.
namespace item_command {
inline constexpr uint32_t kRenderedPage = 0x1;  // the view renders it through RenderPage
inline constexpr uint32_t kPreview = 0x2;
inline constexpr uint32_t kPrint = 0x4;
inline constexpr uint32_t kDrawsItself = 0x10;  // painted through Draw instead of a rendered page
inline constexpr uint32_t kNoPage = 0x20;
inline constexpr uint32_t kOverlay = 0x100;  // DrawOverlay is painted over the rendered page
inline constexpr uint32_t kPrintablePage = 0x1000;
inline constexpr uint32_t kBitmapExport = 0x2000;
inline constexpr uint32_t kZoom = 0x10000;
inline constexpr uint32_t kRotation = 0x20000;
inline constexpr uint32_t kMirroring = 0x40000;
inline constexpr uint32_t kInversion = 0x80000;
inline constexpr uint32_t kStandardView = 0x100000;
inline constexpr uint32_t kCopyView = 0x200000;
inline constexpr uint32_t kMeasuring = 0x400000;

inline constexpr uint32_t kItemMask = kDrawsItself | kNoPage;  // 0x30
inline constexpr uint32_t kPageMask = 0x7F3007;                // everything
inline constexpr uint32_t kComparisonPageMask = 0x293103;      // no turning or measuring
inline constexpr uint32_t kComposedComparisonMask = 0x213007;  // renders, prints
}  // namespace item_command

// GetPageIndex of items that are no page.
inline constexpr uint32_t kNoPageIndex = 999999999;
// The pass of Draw and DrawOverlay on which the main view paints.
inline constexpr uint32_t kMainViewPass = 1;

// The status RenderPage reports when the page's data cannot be read (or
// the file changed since it was opened); the view shows it as text 3001.
inline constexpr int32_t kRenderStatusUnreadable = 1001;

// Render states of a page.
enum PageRenderState : uint32_t {
    kPageNeverRendered = 0,
    kPageRendered = 1,
    kPageRefused = 2,  // for good: the view shows its error box
};

class DocItem : public RefCounted {
  public:
    // Posts kItemDestroyed with the id, detaches the listener, releases the
    // children and the members.
    ~DocItem() override;

    virtual void ChildrenChanged(ViewerContext* context) {}
    // Getters of objects add a reference that the caller releases.
    virtual Ref<OpenParams> GetOpenParams();
    virtual Ref<DocumentSource> GetSource();
    virtual uint32_t GetPageIndex() { return kNoPageIndex; }
    virtual Ref<CutOutState> GetCutOut();
    // A new image of the placement's request, or null. `status` (may be
    // null) receives why nothing came: 1001 when the data cannot be read,
    // else the reader's status.
    virtual Ref<RasterImage> RenderPage(ViewerContext* context, const PagePlacement& placement,
                                        ProgressSink* progress, ImageStatus* status = nullptr);
    // Paint the item (Draw) or what lies over its rendered page
    // (DrawOverlay) into the window rectangle; items draw only on
    // kMainViewPass and otherwise answer false.
    virtual bool Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) { return false; }
    virtual bool DrawOverlay(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect,
                             const ViewMapping* mapping) {
        return pass == kMainViewPass;
    }
    virtual uint32_t GetCommandMask() { return item_command::kItemMask; }
    // Why the readers refused the item's file, as an error status; none
    // (severity 0) for everything they took or never saw.
    virtual ImageStatus GetOpenStatus() { return ImageStatus(); }
    virtual bool CanPrint(ViewerContext* context) { return false; }
    virtual bool CanSave(ViewerContext* context) { return false; }
    virtual bool CanShowProperties(ViewerContext* context) { return false; }
    virtual Ref<PageMetrics> GetPageMetrics(ViewerContext* context);
    virtual Ref<MarkupPage> GetRedlinePage(ViewerContext* context, bool only_if_not_empty);

    // Guards the name, the children and the members the classes add.
    CriticalSection lock;
    std::atomic<uint32_t> type;  // read through DocItemGetType
    const int32_t id;            // from AppNextId; positive
    std::atomic<int32_t> parent_id{-1};
    WString name;
    PtrArray children{2, true};  // DocItem, in insertion order
    const Ref<AppRoot> app;
    const uint32_t open_number;
    // Only items that can react to an event listen: a list entry until its
    // source has reported, and a comparison container. Null otherwise.
    Ref<TreeItemSink> sink;

  protected:
    DocItem(ViewerContext* context, uint32_t type, uint32_t open_number);
};

class RootItem : public DocItem {
  public:
    explicit RootItem(ViewerContext* context, uint32_t open_number);
    bool Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) override;
};

// A document: a list entry while it loads, then an image, a list, a file
// the view cannot show, or a failed entry.
class DocumentItem : public DocItem {
  public:
    DocumentItem(ViewerContext* context, uint32_t type, uint32_t open_number, DocumentSource* source,
                 OpenParams* params);
    ~DocumentItem() override;

    Ref<OpenParams> GetOpenParams() override;
    Ref<DocumentSource> GetSource() override;
    bool Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) override;
    ImageStatus GetOpenStatus() override;
    bool CanSave(ViewerContext* context) override;
    bool CanShowProperties(ViewerContext* context) override;
    Ref<PageMetrics> GetPageMetrics(ViewerContext* context) override;

    const Ref<DocumentSource> source;  // never null
    Ref<OpenParams> params;            // or null; under the lock
    Ref<MarkupDocument> redlining;     // null until loaded; under the lock
};

// A page of an image document. Its source is its document's; its open
// parameters are its own.
class PageItem : public DocumentItem {
  public:
    PageItem(ViewerContext* context, uint32_t type, uint32_t open_number, DocumentSource* source,
             OpenParams* params, uint32_t page_index, CutOutState* cut_out);
    ~PageItem() override;

    uint32_t GetPageIndex() override { return page_index; }
    Ref<CutOutState> GetCutOut() override;
    Ref<RasterImage> RenderPage(ViewerContext* context, const PagePlacement& placement,
                                ProgressSink* progress, ImageStatus* status = nullptr) override;
    bool Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) override;
    uint32_t GetCommandMask() override { return item_command::kPageMask; }
    bool CanPrint(ViewerContext* context) override;
    Ref<MarkupPage> GetRedlinePage(ViewerContext* context, bool only_if_not_empty) override;

    const Ref<CutOutState> cut_out;
    const uint32_t page_index;  // 0-based, in the document's format
    std::atomic<uint32_t> render_state{kPageNeverRendered};
    // Why the page was refused, reported again by every later render.
    std::atomic<int32_t> refusal_code{0};
};

// A version comparison: its children are comparison pages, the first the
// reference that the others are lined up with.
class ComparisonItem : public DocItem {
  public:
    ComparisonItem(ViewerContext* context, uint32_t open_number);
    ~ComparisonItem() override;

    void ChildrenChanged(ViewerContext* context) override;
    Ref<CutOutState> GetCutOut() override;
    Ref<RasterImage> RenderPage(ViewerContext* context, const PagePlacement& placement,
                                ProgressSink* progress, ImageStatus* status = nullptr) override;
    bool Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) override;
    uint32_t GetCommandMask() override;
    bool CanPrint(ViewerContext* context) override;
    Ref<PageMetrics> GetPageMetrics(ViewerContext* context) override;

    // Under the lock.
    Ref<CutOutState> composed_cut_out;  // the composed area, null while no composition stands
    bool composed = true;               // false only after markers that could not be lined up
    PointD origin;                      // the composed area's top-left in the reference page's millimetres
};

// A copy of a page inside a comparison, with the two markers that line it
// up with the reference (millimetres of its page, origin top-left).
class ComparisonPageItem : public PageItem {
  public:
    ComparisonPageItem(ViewerContext* context, PageItem* page, CutOutState* cut_out);

    bool DrawOverlay(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect,
                     const ViewMapping* mapping) override;
    uint32_t GetCommandMask() override { return item_command::kComparisonPageMask; }

    PointD markers[2];  // under the lock
};

// ---- Construction. Each answers the new item with one reference for the
// caller after adding it to its parent and sending kItemAdded with it, or
// null (and sends nothing) when an argument is missing.

// Type 1, no parent, empty name, the context's next open number.
Ref<DocItem> RootItemCreate(ViewerContext* context);
// A list entry (type 32) under `parent`, named after the title of the
// parameters, else the source's file name, else the last part of its path.
Ref<DocumentItem> DocumentItemCreate(ViewerContext* context, DocItem* parent, DocumentSource* source,
                                     OpenParams* params, uint32_t open_number);
// A page (type 16) under an image document (type 4 only), with a cut-out
// of the page size that takes the parameters' view settings; named after
// the parameters' title.
Ref<PageItem> PageItemCreate(ViewerContext* context, DocItem* document, DocumentSource* source,
                             uint32_t page_index, const SizeD& page_size, OpenParams* params);
// An empty comparison (type 128) named "Compare #n".
Ref<ComparisonItem> ComparisonCreate(ViewerContext* context, DocItem* parent);
// A copy of the page as the container's last child (type 256), shown whole
// and unturned, markers at 10 % and 90 % of the width, 10 % down. Also sends
// kItemContentChanged with its id so that every comparison recomposes.
Ref<ComparisonPageItem> ComparisonPageCreate(ViewerContext* context, DocItem* container, DocItem* page);

// ---- Members (null items answer 0, -1, false or null).
uint32_t DocItemGetType(const DocItem* item);
int32_t DocItemGetId(const DocItem* item);
int32_t DocItemGetParentId(const DocItem* item);
uint32_t DocItemGetOpenNumber(const DocItem* item);
WString& DocItemGetName(DocItem* item, WString& out);
// Sets the name; with a context sends kItemNameChanged with the item.
void DocItemSetName(DocItem* item, ViewerContext* context, const WString& name);
// Only a list entry (type 32) changes: it takes the type and sends
// kItemKindChanged with the item. True when it changed.
bool DocItemSetKind(DocItem* item, ViewerContext* context, uint32_t type);
// A page of a document with more than one child shows "document / page";
// the only page of a document shows the document's name; every other item
// its own name.
WString& DocItemGetDisplayName(DocItem* item, ViewerContext* context, WString& out);
// The page object of a page-bearing item, from its source's format by the
// item's page index, or null.
Ref<ImagePage> DocItemGetPage(DocItem* item);
// The document's (or page's) redlining document, or null.
Ref<MarkupDocument> DocItemGetRedlining(DocItem* item);
uint32_t PageItemGetRenderState(DocItem* item);
// The automatic inversion mode of the item's open parameters into a render
// request: 1 or 2 copied, anything else off; without parameters the request
// keeps its mode.
void PagePlacementSetAutoInvert(DocItem* item, PagePlacement& placement);

// ---- Children. None of these holds two item locks at once.

// Appends (adding a reference), sets the child's parent id, then calls the
// parent's ChildrenChanged.
bool DocItemAddChild(DocItem* parent, ViewerContext* context, DocItem* child);
// Removes the child, sends kItemRemoved for it and each descendant in
// pre-order, then calls ChildrenChanged. False past the end or when absent.
bool DocItemRemoveChildAt(DocItem* parent, ViewerContext* context, uint32_t position);
bool DocItemRemoveChild(DocItem* parent, ViewerContext* context, DocItem* child);
void DocItemNotifyRemoved(DocItem* item, ViewerContext* context);
Ref<DocItem> DocItemGetChild(DocItem* item, uint32_t position);
uint32_t DocItemGetChildCount(DocItem* item);
// The parent through the context's tree; null without one.
Ref<DocItem> DocItemGetParent(DocItem* item, ViewerContext* context);
// Appends every descendant (not the item) in pre-order; answers how many.
uint32_t DocItemCollectDescendants(DocItem* item, PtrArray& out);

// ---- Lookups, all depth first in pre-order.

// The first item for which visit(item, data) answers true, or null.
Ref<DocItem> DocItemVisit(DocItem* item, bool (*visit)(DocItem*, void*), void* data);
Ref<DocItem> DocItemFindById(DocItem* item, int32_t id);
// The item itself when its type is in mask 14, else its parent's answer.
Ref<DocItem> DocItemFindDocument(DocItem* item, ViewerContext* context);
// An item of the mask whose source path equals `path` as a path (any when
// the path is empty); only the item itself without `recurse`.
Ref<DocItem> DocItemFindBySourcePath(DocItem* item, bool recurse, uint32_t type_mask, const WString& path);

// ---- Loading.

// Makes the markup document of an image document when redlining is active:
// from the TIFF's private tag, else from the companion ".PLR" file of a
// local source, else one empty page per page of the format.
void DocumentLoadRedlining(DocItem* item, ViewerContext* context);
