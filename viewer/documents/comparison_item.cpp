#include "viewer/documents/comparison_item.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "foundation/progress.h"
#include "foundation/variant.h"
#include "imaging/raster/palette.h"
#include "imaging/raster/raster_image.h"
#include "resources/text_ids.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/item_drawing.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/documents/tree_item_sink.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/page_boxes.h"
#include "viewer/model/view_mapping.h"

namespace {

// A composed comparison is measured at this resolution.
constexpr double kComposedDpi = 300.0;
// Matrix rows whose magnitudes lie outside these bounds cannot be shown.
constexpr double kMaxRowMagnitude = 1000.0;
constexpr double kMinRowMagnitude = 0.001;

constexpr COLORREF kMarkerColour = RGB(240, 0, 0);
constexpr int kMarkerRadius = 8;

Ref<ComparisonPageItem> ComparisonPageAt(ComparisonItem* item, uint32_t position) {
    Ref<DocItem> child = DocItemGetChild(item, position);
    auto* page = dynamic_cast<ComparisonPageItem*>(child.get());
    return page && page->cut_out ? Ref<ComparisonPageItem>(page) : nullptr;
}

void GetMarkers(ComparisonPageItem* page, PointD& m1, PointD& m2) {
    ScopedLock hold(page->lock);
    m1 = page->markers[0];
    m2 = page->markers[1];
}

bool RowShowable(double first, double second) {
    const double small = std::min(std::fabs(first), std::fabs(second));
    const double large = std::max(std::fabs(first), std::fabs(second));
    return !(small > kMaxRowMagnitude) && !(large < kMinRowMagnitude);
}

RectD PageRect(ComparisonPageItem* page) { return RectD{CutOutGetPageSize(page->cut_out.get()), PointD{}}; }

// The bounding box of the rectangle's corners mapped through the transform.
RectD MapBounds(const TransformD& transform, const RectD& rect) {
    PointD corners[4];
    for (uint32_t i = 0; i < 4; ++i) {
        RectDGetCorner(rect, i, corners[i]);
        TransformApply(transform, corners[i], corners[i]);
    }
    RectD bounds;
    return PointDBounds(corners, 4, bounds);
}

uint32_t RoundPixels(double value) {
    if (!(value > 0)) return 1;
    if (value > kRasterMaxSide) return kRasterMaxSide;
    return std::max<uint32_t>(1, static_cast<uint32_t>(std::floor(value + 0.5)));
}

void SetAutoInvert(DocItem* page, PagePlacement& placement) {
    Ref<OpenParams> params = page->GetOpenParams();
    const uint32_t mode = OpenParamsGetAutoInvert(params.get());
    placement.negative_mode = mode == 1 || mode == 2 ? mode : 0;
}

// An upright, unmirrored request of a page's rectangle.
PagePlacement PartRequest(DocItem* page, const RectD& rect, uint32_t width, uint32_t height) {
    PagePlacement part;
    PagePlacementInit(part);
    part.rect = rect;
    part.pixel_width = width;
    part.pixel_height = height;
    SetAutoInvert(page, part);
    return part;
}

// A page's render as 8-bit grey passed through its channel table.
Ref<RasterImage> RenderChannel(ComparisonPageItem* page, ViewerContext* context, const PagePlacement& part,
                               ProgressSink* progress, bool reference) {
    Ref<RasterImage> image = page->RenderPage(context, part, progress);
    if (!image) return nullptr;
    Ref<RasterImage> grey = RasterImageConvert(image.get(), 8);
    if (!grey) return nullptr;
    grey->ApplyLut(ComparisonChannelTable(reference));
    return grey;
}

// The part of the request that the reference page covers, copied in place.
void ComposeReference(RasterImage* target, ComparisonPageItem* reference, ViewerContext* context,
                      const RectD& request, double scale_x, double scale_y, ProgressSink* progress) {
    RectD part;
    if (!RectDIntersect(request, PageRect(reference), &part)) return;
    const uint32_t width = RoundPixels(part.size.width * scale_x);
    const uint32_t height = RoundPixels(part.size.height * scale_y);
    Ref<RasterImage> grey =
        RenderChannel(reference, context, PartRequest(reference, part, width, height), progress, true);
    if (!grey) return;
    const PointI at{static_cast<int32_t>(std::floor((part.origin.x - request.origin.x) * scale_x + 0.5)),
                    static_cast<int32_t>(std::floor((part.origin.y - request.origin.y) * scale_y + 0.5))};
    RectI whole;
    RectISet(whole, 0, 0, static_cast<int32_t>(grey->width), static_cast<int32_t>(grey->height));
    target->CopyRect(grey.get(), &at, &whole, kRasterCopy);
}

// Another page, lined up by `to_reference`, ANDed into the target.
void ComposeOther(RasterImage* target, ComparisonPageItem* page, ViewerContext* context,
                  const TransformD& to_reference, const RectD& request, double scale_x, double scale_y,
                  ProgressSink* progress) {
    TransformD to_page;
    if (!TransformInvert(to_reference, to_page)) return;
    RectD area;
    if (!RectDIntersect(MapBounds(to_page, request), PageRect(page), &area)) return;
    // The page is rendered at the density it takes in the target, not at the
    // target's width: a thin sliver of a page would otherwise be asked for
    // at a height of thousands of times the target's.
    const double page_scale = std::sqrt(std::fabs(Matrix2Determinant(to_reference.matrix)));
    const double density = std::max(scale_x, scale_y) * page_scale;
    double width = area.size.width * density, height = area.size.height * density;
    const double cap =
        static_cast<double>(kComparisonMaxSideFactor) * std::max(target->width, target->height);
    const double over = std::max(width, height) / cap;
    if (over > 1.0) {
        width /= over;
        height /= over;
    }
    const PagePlacement part = PartRequest(page, area, RoundPixels(width), RoundPixels(height));
    Ref<RasterImage> grey = RenderChannel(page, context, part, progress, false);
    if (!grey) return;
    // Pixel centres of the render to page millimetres, to the reference's
    // millimetres, to pixel centres of the target.
    const double mm_per_x = area.size.width / grey->width, mm_per_y = area.size.height / grey->height;
    TransformD to_millimetres, to_target, chain, full;
    TransformScaleCreate(to_millimetres, mm_per_x, mm_per_y,
                         PointD{area.origin.x + 0.5 * mm_per_x, area.origin.y + 0.5 * mm_per_y});
    TransformScaleCreate(to_target, scale_x, scale_y,
                         PointD{-request.origin.x * scale_x - 0.5, -request.origin.y * scale_y - 0.5});
    TransformMultiply(to_millimetres, chain, to_reference);
    TransformMultiply(chain, full, to_target);
    target->DrawTransformed(grey.get(), &full, kRasterAnd, nullptr);
}

bool DrawMarker(HDC dc, const RectI& visible, const ViewMapping* mapping, const PointD& marker, int number) {
    const PointI at = ViewMapPageToDevice(mapping, marker);
    if (!RectIContains(visible, at)) return false;
    Ellipse(dc, at.x - kMarkerRadius, at.y - kMarkerRadius, at.x + kMarkerRadius, at.y + kMarkerRadius);
    MoveToEx(dc, at.x - kMarkerRadius, at.y, nullptr);
    LineTo(dc, at.x + kMarkerRadius, at.y);
    MoveToEx(dc, at.x, at.y - kMarkerRadius, nullptr);
    LineTo(dc, at.x, at.y + kMarkerRadius);
    wchar_t label[16];
    swprintf(label, 16, L"%d", number);
    ItemTextOut(dc, at.x + 12, at.y - kMarkerRadius, label);
    return true;
}

}  // namespace

// ---- ComparisonItem

ComparisonItem::ComparisonItem(ViewerContext* context, uint32_t open_number)
    : DocItem(context, doc_type::kComparison, open_number) {}

ComparisonItem::~ComparisonItem() = default;

void ComparisonItem::ChildrenChanged(ViewerContext* context) { ComparisonCompose(this, context); }

Ref<CutOutState> ComparisonItem::GetCutOut() {
    ScopedLock hold(lock);
    return composed_cut_out;
}

uint32_t ComparisonItem::GetCommandMask() {
    return GetCutOut() ? item_command::kComposedComparisonMask : item_command::kItemMask;
}

bool ComparisonItem::CanPrint(ViewerContext* context) {
    if (!GetCutOut()) return false;
    const uint32_t count = DocItemGetChildCount(this);
    for (uint32_t i = 0; i < count; ++i) {
        Ref<DocItem> child = DocItemGetChild(this, i);
        if (!child || !child->CanPrint(context)) return false;
    }
    return true;
}

Ref<PageMetrics> ComparisonItem::GetPageMetrics(ViewerContext* context) {
    Ref<CutOutState> cut_out = GetCutOut();
    if (!cut_out) return nullptr;
    return PageMetricsCreate(CutOutGetPageSize(cut_out.get()), kComposedDpi, kComposedDpi);
}

bool ComparisonItem::Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) {
    if (pass != kMainViewPass || !dc) return false;
    bool was_composed;
    {
        ScopedLock hold(lock);
        was_composed = composed;
    }
    DrawGreyBox(dc, rect);
    GdiFont font = CreateItemFont(-15, FW_EXTRABOLD, FF_SWISS, nullptr);
    ItemTextScope style(dc, RGB(0, 0, 0), font.get());
    const uint32_t first = was_composed ? text::kComparisonInsertPages : text::kComparisonCannotShow;
    for (uint32_t line = 0; line < 4; ++line) {
        ItemTextOut(dc, rect.origin.x + 20, rect.origin.y + 20 + 20 * static_cast<int>(line),
                    ViewerGetText(context, first + line));
    }
    return true;
}

Ref<RasterImage> ComparisonItem::RenderPage(ViewerContext* context, const PagePlacement& placement,
                                            ProgressSink* progress, ImageStatus* status) {
    const bool quarter = placement.rotation == 90 || placement.rotation == 270;
    const uint32_t width = quarter ? placement.pixel_height : placement.pixel_width;
    const uint32_t height = quarter ? placement.pixel_width : placement.pixel_height;
    PointD composed_origin;
    {
        ScopedLock hold(lock);
        if (!composed_cut_out) return nullptr;
        composed_origin = origin;
    }
    const RectD& asked = placement.rect;
    if (!(asked.size.width > 0) || !(asked.size.height > 0)) return nullptr;
    Ref<RasterImage> target = RasterImageCreate(width, height, 8, true);
    if (!target) {
        ImageStatusError(status, kStatusAllocation);
        return nullptr;
    }
    target->Fill(255);
    const double scale_x = width / asked.size.width, scale_y = height / asked.size.height;
    RectD request = asked;
    RectDOffset(request, composed_origin);

    const uint32_t count = DocItemGetChildCount(this);
    ProgressPush(progress, std::max<uint32_t>(count, 1));
    ProgressStep(progress, 0);
    Ref<ComparisonPageItem> reference = ComparisonPageAt(this, 0);
    if (reference) {
        ComposeReference(target.get(), reference.get(), context, request, scale_x, scale_y, progress);
        PointD r1, r2;
        GetMarkers(reference.get(), r1, r2);
        for (uint32_t i = 1; i < count; ++i) {
            ProgressStep(progress, i);
            Ref<ComparisonPageItem> page = ComparisonPageAt(this, i);
            TransformD to_reference;
            if (!page || !ComparisonPageTransform(page.get(), r1, r2, to_reference)) continue;
            ComposeOther(target.get(), page.get(), context, to_reference, request, scale_x, scale_y,
                         progress);
        }
    }
    ProgressPop(progress);

    Ref<Palette> palette = ComparisonPalette();
    if (!palette || !target->SetPalette(palette.get())) return nullptr;
    if (placement.flip_y) RasterImageFlipVertical(target.get());
    if (placement.flip_x) target->MirrorHorizontal();
    if (placement.rotation != 0) target = target->Rotate(static_cast<int16_t>(placement.rotation));
    return target;
}

Ref<ComparisonItem> ComparisonCreate(ViewerContext* context, DocItem* parent) {
    if (!context || !parent) return nullptr;
    Ref<ComparisonItem> item = MakeRef<ComparisonItem>(context, ViewerNextOpenNumber(context));
    WString name;
    WStrAssignChars(name, ViewerGetText(context, text::kCompare));
    WStrAppendChars(name, L" #");
    WStrAppendInt(name, static_cast<int32_t>(ViewerNextComparisonNumber(context)));
    item->name = name;
    item->sink = TreeItemSinkCreate(item.get());
    if (!DocItemAddChild(parent, context, item.get())) return nullptr;
    ViewerSendActionArg(context, event::kItemAdded, VariantOfObject(item.get()));
    return item;
}

// ---- ComparisonPageItem

ComparisonPageItem::ComparisonPageItem(ViewerContext* context, PageItem* page, CutOutState* cut_out)
    : PageItem(context, doc_type::kComparisonPage, page->open_number, page->source.get(),
               page->GetOpenParams().get(), page->page_index, cut_out) {}

bool ComparisonPageItem::DrawOverlay(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect,
                                     const ViewMapping* mapping) {
    if (pass != kMainViewPass || !dc) return false;
    if (!mapping) return true;
    PointD m1, m2;
    GetMarkers(this, m1, m2);
    GdiPen pen(CreatePen(PS_SOLID, 2, kMarkerColour));
    GdiFont font = CreateItemFont(-20, FW_BOLD, FF_MODERN, L"ARIAL");
    ScopedSelect select_pen(dc, pen.get());
    ScopedSelect select_brush(dc, GetStockObject(HOLLOW_BRUSH));
    ItemTextScope style(dc, kMarkerColour, font.get());
    DrawMarker(dc, rect, mapping, m1, 1);
    DrawMarker(dc, rect, mapping, m2, 2);
    return true;
}

Ref<ComparisonPageItem> ComparisonPageCreate(ViewerContext* context, DocItem* container, DocItem* page) {
    auto* comparison = dynamic_cast<ComparisonItem*>(container);
    auto* original = dynamic_cast<PageItem*>(page);
    if (!context || !comparison || !original || !original->cut_out) return nullptr;
    Ref<CutOutState> cut_out = CutOutCopy(original->cut_out.get());
    if (!cut_out) return nullptr;
    // Lined up pages are compared whole and unturned; zoom and inversion stay.
    CutOutReset(cut_out.get());
    CutOutSetRotation(cut_out.get(), 0);
    CutOutSetMirrorHorizontal(cut_out.get(), false);
    CutOutSetMirrorVertical(cut_out.get(), false);
    Ref<ComparisonPageItem> copy = MakeRef<ComparisonPageItem>(context, original, cut_out.get());
    const SizeD size = CutOutGetPageSize(cut_out.get());
    copy->markers[0] = PointD{0.1 * size.width, 0.1 * size.height};
    copy->markers[1] = PointD{0.9 * size.width, 0.1 * size.height};

    Ref<DocItem> document = DocItemFindDocument(page, context);
    WString name;
    DocItemGetName(document.get(), name);
    if (DocItemGetChildCount(document.get()) > 1) {
        WString page_name;
        WStrAppendChars(name, L" - ");
        WStrAppend(name, DocItemGetName(page, page_name));
    }
    copy->name = name;
    if (!DocItemAddChild(container, context, copy.get())) return nullptr;
    ViewerSendActionArg(context, event::kItemAdded, VariantOfObject(copy.get()));
    ViewerSendActionArg(context, event::kItemContentChanged, VariantOfInt(copy->id));
    return copy;
}

// ---- Composition

bool ComparisonPageTransform(ComparisonPageItem* page, const PointD& r1, const PointD& r2, TransformD& out) {
    PointD m1, m2;
    GetMarkers(page, m1, m2);
    TransformD transform;
    if (!TransformFromSegments(transform, m1, m2, r1, r2)) return false;
    const Matrix2& m = transform.matrix;
    if (!RowShowable(m.a, m.b) || !RowShowable(m.c, m.d)) return false;
    out = transform;
    return true;
}

void ComparisonCompose(ComparisonItem* item, ViewerContext* context) {
    if (!item) return;
    bool ok = true;
    Ref<ComparisonPageItem> reference = ComparisonPageAt(item, 0);
    RectD area;
    if (reference) {
        area = PageRect(reference.get());
        PointD r1, r2;
        GetMarkers(reference.get(), r1, r2);
        const uint32_t count = DocItemGetChildCount(item);
        for (uint32_t i = 1; i < count && ok; ++i) {
            Ref<ComparisonPageItem> page = ComparisonPageAt(item, i);
            if (!page) continue;
            TransformD to_reference;
            if (!ComparisonPageTransform(page.get(), r1, r2, to_reference)) {
                ok = false;
                break;
            }
            const RectD page_rect = PageRect(page.get());
            for (uint32_t corner = 0; corner < 4; ++corner) {
                PointD point;
                RectDGetCorner(page_rect, corner, point);
                TransformApply(to_reference, point, point);
                RectDIncludePoint(area, point);
            }
        }
    }
    Ref<CutOutState> released;  // let go of outside the lock
    ScopedLock hold(item->lock);
    if (ok && reference) {
        if (item->composed_cut_out) {
            CutOutResetToPage(item->composed_cut_out.get(), area.size);
        } else {
            item->composed_cut_out = CutOutCreate(area.size);
        }
        item->origin = area.origin;
    } else {
        released = std::move(item->composed_cut_out);
        item->composed_cut_out = nullptr;
    }
    item->composed = ok;
}

// ---- Colours

const uint8_t* ComparisonChannelTable(bool reference) {
    static const std::array<std::array<uint8_t, 256>, 2> tables = [] {
        std::array<std::array<uint8_t, 256>, 2> made{};
        for (uint32_t v = 0; v < 256; ++v) {
            made[0][v] = static_cast<uint8_t>((v & 0xF0) | 0x0F);
            made[1][v] = static_cast<uint8_t>(0xF0 | (v >> 4));
        }
        return made;
    }();
    return tables[reference ? 1 : 0].data();
}

Ref<Palette> ComparisonPalette() {
    Ref<Palette> palette = MakeRef<Palette>();
    if (!PaletteInit(palette.get(), 256)) return nullptr;
    for (uint32_t a = 0; a < 16; ++a) {
        for (uint32_t b = 0; b < 16; ++b) {
            const uint32_t red = 17 * a, blue = 17 * b, green = std::min(red, blue);
            PaletteSetEntry(palette.get(), 16 * a + b, (red << 16) | (green << 8) | blue);
        }
    }
    return palette;
}

// ---- Markers

bool ComparisonPageGetMarker(ComparisonPageItem* page, uint32_t k, PointD& out) {
    if (!page || k > 1) return false;
    ScopedLock hold(page->lock);
    out = page->markers[k];
    return true;
}

bool ComparisonPageSetMarker(ComparisonPageItem* page, uint32_t k, const PointD& point) {
    if (!page || k > 1) return false;
    ScopedLock hold(page->lock);
    page->markers[k] = point;
    return true;
}
