// Which pages of a document a conversion writes, and how each is turned:
// one descriptor per page, as the conversions, the DDE server and the
// automation converter pass them around.
#pragma once

#include <cstdint>

#include "foundation/handles.h"

class DocItem;
class ViewerContext;

// Flips in the writers' sense: flip x mirrors the upright picture left to
// right, flip y top to bottom. Rotation in degrees as the view keeps it.
struct PageDescriptor {
    uint8_t include = 1;  // 0 leaves the page out
    uint8_t flip_x = 0;
    uint8_t flip_y = 0;
    uint8_t invert = 0;
    uint16_t rotation = 0;
};

// Descriptors from the C heap, so that a holder outside C++ (the automation
// converter) may take them over with release() and free() them itself.
using PageList = CHeapBlock<PageDescriptor[]>;

// For an image document, or a page whose parent is one: a descriptor per
// page of the document (include 1, the mirrors, inversion and rotation of
// each page's cut-out state), their number in `count`. Null (count 0) for
// any other item, a document without pages, or no memory.
PageList BuildPageList(ViewerContext* context, DocItem* item, uint32_t* count);
