// The main view's one-entry cache of the last rendered page image. A repaint
// of the same placement reuses the image; a placement that differs only in
// inversion, mirroring or (for a square target) a quarter turn is served by
// adapting the cached image, so none of them decodes the page again.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "imaging/formats/page_placement.h"
#include "imaging/raster/raster_image.h"

class BitmapCacheEntry : public RefCounted {
  public:
    // Guards the image and the placement.
    CriticalSection lock;
    int32_t page_id = -1;
    // The picture that `placement` renders; null once an adaptation failed
    // half-way (the entry then answers nothing).
    Ref<RasterImage> image;
    PagePlacement placement;
};

// An entry holding a reference to the image and a copy of the placement;
// null without an image.
Ref<BitmapCacheEntry> BitmapCacheConstruct(int32_t page_id, RasterImage* image,
                                           const PagePlacement& placement);

// The image for the request, with a reference, or null (render anew). An
// image adapted for a changed inversion or mirroring is changed in place,
// so a caller that kept it sees the change; a quarter turn replaces it.
Ref<RasterImage> BitmapCacheLookup(BitmapCacheEntry* entry, int32_t page_id, const PagePlacement& request);
