#include "viewer/app/registered_program.h"

#include <windows.h>

#include "foundation/shell_open.h"
#include "resources/text_ids.h"
#include "viewer/app/page_navigation.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/viewer_message.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/windows/frame_window.h"

namespace {

}  // namespace

bool ViewerOpenWithRegisteredProgram(ViewerContext* context, int32_t id) {
    bool is_active = false;
    Ref<DocItem> item = ViewerGetDocumentByIndex(context, id, is_active);
    Ref<DocumentSource> source = item ? item->GetSource() : nullptr;
    // Only a document that has loaded and that the viewer cannot show: a
    // source still loading has no complete file to hand over yet.
    if (!source || SourceGetState(source.get()) != kSourceLoaded ||
        SourceGetContentKind(source.get()) != kContentNotShowable) {
        return false;
    }
    // A download kept in memory must become a file for the other program.
    if (!SourceSaveDataToTemp(source.get(), context)) return false;
    WString file;
    if (WStrLength(SourceGetLocalFileName(source.get(), file)) == 0) return false;

    const HWND frame = ViewerGetFrameHwnd(context);
    if (IsExecutableFile(file) &&
        MessageBoxW(frame, ViewerGetText(context, text::kExecutableWarning),
                    ViewerGetText(context, text::kWarning), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        return false;
    }
    WString directory;
    WStrGetDirectory(file, directory);
    if (ShellOpenDocument(L"open", file, WString(), directory, nullptr)) return true;
    const DWORD error = GetLastError();
    if (frame) PostMessageW(frame, kFrameShellErrorMessage, 0, static_cast<LPARAM>(error));
    ViewerShowMessage(context, text::kNoProgram, kMessageError);
    return false;
}
