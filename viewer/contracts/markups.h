// What the viewer asks of markups ("redlining"): the viewer owns this
// contract, the redlining layer implements it, and the shell installs the
// implementation on the application root at start-up (AppSetMarkups).
//
// The base classes are the behaviour without markups: a document without
// pages, a view that paints nothing and offers no mouse tool, writers that
// write nothing, no tool bar. A root always has a provider (this base one
// until another is installed), so the viewer never checks for null.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/mouse_chain.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/window_object.h"

class AppRoot;
class DocumentSource;
class EventHub;
class ImageFormat;
class ViewMapping;
class ViewerContext;

// Who paints: only the main view edits and shows the selection overlay.
namespace markup_purpose {
inline constexpr uint32_t kPreview = 0;
inline constexpr uint32_t kMainView = 1;
inline constexpr uint32_t kPrintPreview = 2;
inline constexpr uint32_t kPrinting = 3;
inline constexpr uint32_t kBitmapExport = 4;
}  // namespace markup_purpose

// The markups of one document and of one of its pages; the viewer only
// holds them and hands them back to the provider and its views.
class MarkupDocument : public RefCounted {};
class MarkupPage : public RefCounted {};

// One per window or job that shows a page's markups.
class MarkupView : public RefCounted {
  public:
    // Binds the page to the mapping it is shown with; both or neither.
    virtual void SetPage(MarkupPage* page, ViewMapping* page_view) {}
    // Binds the page already bound to another mapping of it (scrolled,
    // zoomed, resized), keeping the selection and an edit in progress; false
    // without a page.
    virtual bool SetPageView(ViewMapping* page_view) { return false; }
    // Ends an object being drawn with the points placed so far; false when
    // none was.
    virtual bool EndCreation() { return false; }
    virtual bool HasPage() { return false; }
    // Paints the bound page's markups into `dc`; false when nothing was painted.
    virtual bool Paint(ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay, bool grey) {
        return false;
    }
    // The handler the owner puts first in its mouse chain, or null.
    virtual Ref<MouseHandler> GetMouseTool() { return nullptr; }
    // Forgets the painted picture so that the next paint draws anew.
    virtual void DropCache() {}
    // The editing commands on the selection (the main view's only).
    virtual void SelectAll() {}
    virtual void DeleteSelection() {}
    virtual void ChangeZOrder(uint32_t direction) {}
    virtual void ShowProperties() {}
};

// The floating redlining tool bar the frame shows in select and draw mode.
class MarkupToolbar : public WindowObject {
  public:
    // Leaves the event hub; comes before the last release.
    virtual void Detach() = 0;
};

// One per application root.
class MarkupProvider : public RefCounted {
  public:
    virtual Ref<MarkupView> CreateView(ViewerContext* owner) { return MakeRef<MarkupView>(); }

    virtual Ref<MarkupDocument> CreateDocument() { return MakeRef<MarkupDocument>(); }
    // Markups from the pages' private TIFF tag; false when none were read.
    virtual bool LoadTiff(MarkupDocument* document, ImageFormat* format) { return false; }
    // Markups from a companion file; false when none were read.
    virtual bool LoadFile(MarkupDocument* document, const WString& path, int32_t page_count) { return false; }
    // Appends empty pages until there are `count`.
    virtual bool AddPages(MarkupDocument* document, uint32_t count) { return false; }
    // The page at `index` (null when missing, or empty and `only_if_not_empty`).
    virtual Ref<MarkupPage> GetPage(MarkupDocument* document, uint32_t index, bool only_if_not_empty) {
        return nullptr;
    }
    // True when the file was written.
    virtual bool SaveToTiff(DocumentSource* source, MarkupDocument* document, const WString& path) {
        return false;
    }
    virtual bool SaveFile(MarkupDocument* document, const WString& path) { return false; }
    // True when the markups changed since they were loaded or last saved.
    virtual bool IsModified(MarkupDocument* document) { return false; }
    // The companion file the markups were read from; empty when they came
    // from elsewhere.
    virtual WString& GetCompanionFile(MarkupDocument* document, WString& out) { return WStrClear(out); }
    // The companion file that could not be read whole, which a save never
    // replaces; empty when there is none.
    virtual WString& GetUnreadFile(MarkupDocument* document, WString& out) { return WStrClear(out); }
    // Texts of the last save that the ANSI code page could not hold whole.
    virtual uint32_t ReplacedInLastSave(MarkupDocument* document) { return 0; }

    // A hidden tool bar owned by `parent`, or null.
    virtual Ref<MarkupToolbar> CreateToolbar(ViewerContext* context, HWND parent, HINSTANCE instance,
                                             EventHub* hub) {
        return nullptr;
    }
};

// Installs the provider (before AppCreateWindow); null puts back the base one.
void AppSetMarkups(AppRoot* root, MarkupProvider* markups);
// The root's provider; the base one without a root.
Ref<MarkupProvider> AppGetMarkups(AppRoot* root);
Ref<MarkupProvider> ViewerGetMarkups(ViewerContext* context);
