// The Document-properties sheet: the Document page, and for a page the Page
// page and, for a TIFF file, the TIFF Tags page that lists every entry of
// the page's image directory. Every page is filled once when it opens;
// nothing is applied.
#pragma once

#include <windows.h>

class DocItem;
class ViewerContext;

// Runs the sheet modally over the frame window, opening on the Page page
// when a page is given, else on the Document page. The result of
// PropertySheetW, or 2 when there is no context or document.
INT_PTR ShowDocumentProperties(ViewerContext* context, DocItem* document, DocItem* page);
