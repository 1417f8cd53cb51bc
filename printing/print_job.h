// Stand-in: no print provider can print yet; every print request answers that no printer is available.
// Printing a document through one of the root's print providers: the job
// runs modally over the owner window.
#pragma once

#include <windows.h>

#include <cstdint>

class DocItem;
class ViewerContext;

// Prints the item with the provider at `provider_index`. False when no such
// provider exists or the job could not run.
inline bool PrintJobRunModal(ViewerContext* context, HWND owner, uint32_t provider_index, DocItem* item) {
    return false;
}
