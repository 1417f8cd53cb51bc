// The DDE request items: GetVersion, GetCompileDate, GetWindowInfo3,
// GetActiveWindow3, GetActPage, GetCutOut3, GetImageSize3,
// GetCutOutStatus3, GetMetricPoint3, GetPageCount and GetProcessID. Each
// answers 8-bit text; the server sends it with its terminating NUL.
#pragma once

#include "foundation/strings.h"
#include "viewer/dde/dde_targets.h"

class ViewerContext;

// The viewer's version as GetVersion and the writers name it.
inline constexpr const char* kDdeVersionText = "5.2.9";

// Parses the item name (arguments in parentheses, as for execute strings)
// and answers it in `answer`. kDone with an answer; kFailed for a known
// item that has none (no such document, no page, no context).
DdeOutcome DdeAnswerRequest(ViewerContext* context, const WString& text, AString& answer);
