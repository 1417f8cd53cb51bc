#include "redlining/redline_markups.h"

#include "redlining/redline_document.h"
#include "redlining/redline_storage.h"
#include "redlining/redline_toolbar.h"
#include "redlining/redline_view.h"

namespace {

// The viewer holds these; only this layer looks inside.
class RedlineMarkupDocument : public MarkupDocument {
  public:
    Ref<RedlineDocument> document = RedlineDocumentCreate();
};

class RedlineMarkupPage : public MarkupPage {
  public:
    explicit RedlineMarkupPage(Ref<RedlinePage> markup_page) : page(std::move(markup_page)) {}
    Ref<RedlinePage> page;
};

RedlineDocument* Unwrap(MarkupDocument* document) {
    auto* own = dynamic_cast<RedlineMarkupDocument*>(document);
    return own ? own->document.get() : nullptr;
}

RedlinePage* Unwrap(MarkupPage* page) {
    auto* own = dynamic_cast<RedlineMarkupPage*>(page);
    return own ? own->page.get() : nullptr;
}

class RedlineMarkupView : public MarkupView {
  public:
    explicit RedlineMarkupView(ViewerContext* owner) { RedlineViewConstruct(&view, owner); }
    ~RedlineMarkupView() override { RedlineViewDestruct(&view); }

    void SetPage(MarkupPage* page, ViewMapping* page_view) override {
        RedlineViewSetPage(&view, Unwrap(page), page_view);
    }
    bool SetPageView(ViewMapping* page_view) override { return RedlineViewSetPageView(&view, page_view); }
    bool EndCreation() override { return RedlineViewEndCreation(&view); }
    bool HasPage() override { return RedlineViewHasPage(&view); }
    bool Paint(ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay, bool grey) override {
        return RedlinePaint(&view, context, dc, purpose, no_overlay, grey);
    }
    Ref<MouseHandler> GetMouseTool() override { return RedlineViewGetMouseTool(&view); }
    void DropCache() override { RedlineViewDropCache(&view); }
    void SelectAll() override { RedlineSelectAll(&view); }
    void DeleteSelection() override { RedlineDeleteSelection(&view); }
    void ChangeZOrder(uint32_t direction) override { RedlineChangeZOrder(&view, direction); }
    void ShowProperties() override { RedlineShowProperties(&view); }

    RedlineView view;
};

class RedlineMarkups : public MarkupProvider {
  public:
    Ref<MarkupView> CreateView(ViewerContext* owner) override { return MakeRef<RedlineMarkupView>(owner); }

    Ref<MarkupDocument> CreateDocument() override { return MakeRef<RedlineMarkupDocument>(); }
    bool LoadTiff(MarkupDocument* document, ImageFormat* format) override {
        RedlineDocument* own = Unwrap(document);
        return own && RedlineDocLoadTiff(own, format);
    }
    bool LoadFile(MarkupDocument* document, const WString& path, int32_t page_count) override {
        RedlineDocument* own = Unwrap(document);
        return own && RedlineDocLoadFile(own, path, page_count);
    }
    bool AddPages(MarkupDocument* document, uint32_t count) override {
        RedlineDocument* own = Unwrap(document);
        // Pages made for a document without stored markups hold nothing to save.
        if (!own || !RedlineDocAddPages(own, count)) return false;
        RedlineDocSetClean(own);
        return true;
    }
    Ref<MarkupPage> GetPage(MarkupDocument* document, uint32_t index, bool only_if_not_empty) override {
        RedlineDocument* own = Unwrap(document);
        Ref<RedlinePage> page = own ? RedlineDocGetPage(own, index) : nullptr;
        if (!page || (only_if_not_empty && !RedlinePageHasObjects(page.get()))) return nullptr;
        return MakeRef<RedlineMarkupPage>(std::move(page));
    }
    bool SaveToTiff(DocumentSource* source, MarkupDocument* document, const WString& path) override {
        RedlineDocument* own = Unwrap(document);
        return own && RedlineSaveToTiff(source, own, path);
    }
    bool SaveFile(MarkupDocument* document, const WString& path) override {
        RedlineDocument* own = Unwrap(document);
        return own && RedlineSaveFile(own, path);
    }
    bool IsModified(MarkupDocument* document) override {
        RedlineDocument* own = Unwrap(document);
        return own && RedlineDocIsModified(own);
    }
    WString& GetCompanionFile(MarkupDocument* document, WString& out) override {
        WStrClear(out);
        RedlineDocument* own = Unwrap(document);
        if (!own) return out;
        ScopedLock hold(own->lock);
        if (own->from_companion_file) out = own->companion_file_name;
        return out;
    }
    WString& GetUnreadFile(MarkupDocument* document, WString& out) override {
        WStrClear(out);
        RedlineDocument* own = Unwrap(document);
        if (!own) return out;
        ScopedLock hold(own->lock);
        out = own->unread_file;
        return out;
    }
    uint32_t ReplacedInLastSave(MarkupDocument* document) override {
        RedlineDocument* own = Unwrap(document);
        if (!own) return 0;
        ScopedLock hold(own->lock);
        return own->replaced_in_last_save;
    }

    Ref<MarkupToolbar> CreateToolbar(ViewerContext* context, HWND parent, HINSTANCE instance,
                                     EventHub* hub) override {
        return RedlineToolbarConstruct(context, parent, instance, hub);
    }
};

}  // namespace

Ref<MarkupProvider> RedlineMarkupsCreate() { return MakeRef<RedlineMarkups>(); }

RedlinePage* RedlineMarkupsPageOf(MarkupPage* page) { return Unwrap(page); }

RedlineView* RedlineMarkupsViewOf(MarkupView* view) {
    auto* own = dynamic_cast<RedlineMarkupView*>(view);
    return own ? &own->view : nullptr;
}
