// The redlining layer's side of the viewer's markup contract: documents and
// pages of markups, a RedlineView per window or job, the redlining tool bar.
// The shell installs it on the root (AppSetMarkups) right after AppCreate.
#pragma once

#include "foundation/ref_counted.h"
#include "viewer/contracts/markups.h"

class RedlinePage;
class RedlineView;

Ref<MarkupProvider> RedlineMarkupsCreate();
// What this layer's own wrappers hold (borrowed); null for another provider's.
RedlinePage* RedlineMarkupsPageOf(MarkupPage* page);
RedlineView* RedlineMarkupsViewOf(MarkupView* view);
