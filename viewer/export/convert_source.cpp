#include "viewer/export/convert_source.h"

#include <windows.h>

#include "viewer/documents/document_source.h"

namespace {

constexpr uint32_t kSourcePollMs = 100;

}  // namespace

Ref<DocumentSource> ConvertLoadSource(ViewerContext* context, const WString& path, OpenParams* params) {
    Ref<DocumentSource> source = SourceCreate(context, path, params);
    if (!source) return nullptr;
    SourceStartLoad(source.get(), context);
    for (uint32_t waited = 0; SourceGetState(source.get()) < kSourceLoaded; waited += kSourcePollMs) {
        if (waited >= kConvertLoadLimitMs) return nullptr;
        Sleep(kSourcePollMs);
    }
    if (SourceGetState(source.get()) != kSourceLoaded) return nullptr;
    // The worker builds the handler after it has set the state, and not at
    // all once the viewer stops running: make sure of it here.
    SourceBuildHandler(source.get(), context);
    return source;
}
