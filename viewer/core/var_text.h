// Texts with variable placeholders: a variable name between '<' and '>'.
// Markup texts and the printed user-information block are stored as such
// texts and expanded each time they are shown or printed, so "<DATE>" shows
// the day of printing and "<PGNUMBER>" the page it stands on.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DocItem;
class ViewerContext;

struct VarText {
    WString text;
    // Set whenever the text is stored: expansion skips texts without one.
    bool has_placeholders = false;
};

// What a variable's value may depend on: the document (or page) item and,
// while printing, the page's number within the print job and the job's page
// count (each -1 while not set; the print job fills them in).
struct VarContext {
    VarContext();
    explicit VarContext(DocItem* document);  // VarContextInit
    ~VarContext();                           // VarContextFree
    VarContext(const VarContext&) = delete;
    VarContext& operator=(const VarContext&) = delete;

    Ref<DocItem> document;  // may be null
    int32_t page_number = -1;
    int32_t page_count = -1;
};

// Empty, no placeholders.
void VarTextInit(VarText& self);
void VarTextCopy(VarText& self, const VarText& other);
// Stores the text and scans it for placeholders.
void VarTextSet(VarText& self, const WString& text);
// Each placeholder whose name a variable of the context's list has is
// replaced by that variable's value; every other text stays as written.
// Without placeholders, context or variable list the text comes back
// unchanged. `var_context` may be null (document values are then empty).
WString& VarTextExpand(const VarText& self, ViewerContext* context, const VarContext* var_context,
                       WString& out);

// True when the text holds at least one placeholder: a '<', then one or
// more characters none of which is '<', blank, CR, LF or TAB, then '>'.
bool VarTextScanPlaceholders(const WString& text);

// Takes the document (adding a reference) and sets both numbers to -1.
void VarContextInit(VarContext& self, DocItem* document);
// Releases the document.
void VarContextFree(VarContext& self);
