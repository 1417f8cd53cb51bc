// The document a conversion reads: loaded into a source of its own (no list
// entry in the tree) while the caller's thread waits. The DDE command
// Convert and the control's ConvertDoc both block the GUI thread here, so
// the wait is bounded: a file that stays locked or a download that stalls
// must not freeze the viewer.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DocumentSource;
class OpenParams;
class ViewerContext;

// How long a conversion waits for its document to load. DDE clients give
// up after 10 s, so an answer must come well before that.
inline constexpr uint32_t kConvertLoadLimitMs = 5000;

// The loaded source with its handler built, or null when the path gives no
// source, the load failed, or it did not end within kConvertLoadLimitMs (the
// source is then released, which cancels its worker). `params` (may be null)
// as SourceCreate takes them.
Ref<DocumentSource> ConvertLoadSource(ViewerContext* context, const WString& path, OpenParams* params);
