// What the DDE commands and request items share: how a command ended, and
// how a "doc" argument (an item id or a document name) finds its item.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/variant.h"

class DocItem;
class ViewerContext;

enum class DdeOutcome : uint32_t {
    kDone = 0,     // a known command that succeeded (or a request with an answer)
    kFailed = 1,   // a known command that failed (or a request without an answer)
    kUnknown = 2,  // no command of that name
    kInvalid = 3,  // the text did not parse
};

// The item a "doc" argument names: a positive int32 is an item id, a text
// the name of an item (compared as a path); an empty argument gives the
// active item when `active_when_empty`. `text` is the argument as it came.
// Null when there is no such item, for ids of 0 and below and for other
// numbers.
Ref<DocItem> DdeFindItem(ViewerContext* context, const Variant& arg, const WString& text,
                         bool active_when_empty);
// The page an item stands for: a page or comparison page itself, else the
// first child of an image document or a comparison; null for anything else.
Ref<DocItem> DdePageOf(DocItem* item);
// True for pages and comparison pages.
bool DdeIsPage(DocItem* item);
