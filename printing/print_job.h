// Stand-in: the print job is not built yet; every print request answers that nothing printed.
// Running a print of one item with a provider, modal over the owner window.
#pragma once

#include <windows.h>

class DocItem;
class PrintProvider;
class ViewerContext;

inline bool PrintJobRunModal(ViewerContext* context, HWND owner, PrintProvider* provider, DocItem* item) {
    return false;
}
