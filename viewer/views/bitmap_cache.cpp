#include "viewer/views/bitmap_cache.h"

#include <utility>

namespace {

bool QuarterTurn(uint32_t rotation) { return rotation == 90 || rotation == 270; }

// What turns the cached picture into the requested one: the renders mirror
// (flip x) and upend (flip y = 0) the page first and turn it clockwise last,
// so a changed flip shows as the other mirror under a quarter-turned entry.
struct Adaptation {
    bool invert = false;
    bool mirror_left_right = false;
    bool flip_top_bottom = false;
    uint32_t turn = 0;  // clockwise, applied after the mirrors
};

// False when the request differs in more than inversion, flips and
// rotation, or when the cached image cannot be turned into its size.
bool PlanAdaptation(const PagePlacement& held, const RasterImage* image, const PagePlacement& request,
                    Adaptation& plan) {
    if (held.flags != request.flags || held.reserved != request.reserved) return false;
    if (held.rotation % 90 != 0 || request.rotation % 90 != 0) return false;
    if (image->width != held.pixel_width || image->height != held.pixel_height) return false;
    const uint32_t turn = (request.rotation % 360 + 360 - held.rotation % 360) % 360;
    if (QuarterTurn(turn)) {
        if (request.pixel_width != request.pixel_height) return false;
        if (held.pixel_width != request.pixel_height || held.pixel_height != request.pixel_width)
            return false;
    } else if (held.pixel_width != request.pixel_width || held.pixel_height != request.pixel_height) {
        return false;
    }
    plan.turn = turn;
    plan.invert = held.invert != request.invert;
    plan.mirror_left_right = plan.flip_top_bottom = turn == 180;
    const bool held_quarter = QuarterTurn(held.rotation % 360);
    if (held.flip_x != request.flip_x) (held_quarter ? plan.flip_top_bottom : plan.mirror_left_right) ^= true;
    if (held.flip_y != request.flip_y) (held_quarter ? plan.mirror_left_right : plan.flip_top_bottom) ^= true;
    return true;
}

bool ApplyInPlace(RasterImage* image, bool invert, bool mirror_left_right, bool flip_top_bottom) {
    if (invert && !image->Invert()) return false;
    if (mirror_left_right && !image->MirrorHorizontal()) return false;
    if (flip_top_bottom && !RasterImageFlipVertical(image)) return false;
    return true;
}

// Changes the entry's image into the request's picture. A quarter turn is
// made first, into a new image, so that a failure anywhere leaves the entry
// as it was; the mirrors then act on the turned picture, where a quarter
// turn has exchanged them. An in-place change that fails half-way drops the
// image: it no longer shows what its placement says.
bool Adapt(BitmapCacheEntry* entry, const PagePlacement& request) {
    Adaptation plan;
    if (!PlanAdaptation(entry->placement, entry->image.get(), request, plan)) return false;
    if (QuarterTurn(plan.turn)) {
        Ref<RasterImage> turned = entry->image->Rotate(static_cast<int16_t>(plan.turn));
        if (!turned ||
            !ApplyInPlace(turned.get(), plan.invert, plan.flip_top_bottom, plan.mirror_left_right)) {
            return false;
        }
        entry->image = std::move(turned);
    } else if (!ApplyInPlace(entry->image.get(), plan.invert, plan.mirror_left_right, plan.flip_top_bottom)) {
        entry->image.Reset();
        return false;
    }
    entry->placement = request;
    return true;
}

}  // namespace

Ref<BitmapCacheEntry> BitmapCacheConstruct(int32_t page_id, RasterImage* image,
                                           const PagePlacement& placement) {
    if (!image) return nullptr;
    Ref<BitmapCacheEntry> entry = MakeRef<BitmapCacheEntry>();
    entry->page_id = page_id;
    entry->image = Ref<RasterImage>(image);
    PagePlacementCopy(entry->placement, placement);
    return entry;
}

Ref<RasterImage> BitmapCacheLookup(BitmapCacheEntry* entry, int32_t page_id, const PagePlacement& request) {
    if (!entry) return nullptr;
    ScopedLock hold(entry->lock);
    if (!entry->image || entry->page_id != page_id || !RectDEquals(entry->placement.rect, request.rect)) {
        return nullptr;
    }
    if (PagePlacementEquals(entry->placement, request)) return entry->image;
    if (!Adapt(entry, request)) return nullptr;
    return entry->image;
}
