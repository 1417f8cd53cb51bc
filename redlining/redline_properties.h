// The Properties sheet of the selected markups: a modal property sheet with
// one page per attribute kind that every selected object holds. Applying
// hands each selected object new attributes; afterwards the first object's
// attributes of the pages shown become the last-used ones that new objects
// take over.
#pragma once

#include <cstdint>

class RedlineObjectList;
class ViewerContext;
struct RedlineLastAttributes;

// The answer when the selection shares no page (nothing was shown).
inline constexpr int32_t kRedlineSheetNoPage = 2;

// The attribute kinds of the pages shown for the selection, in page order
// (text, font, outline, line ends, filling); their count. The text page
// needs a single object.
uint32_t RedlinePropertyPageKinds(RedlineObjectList& selection, int32_t (&kinds)[5]);

// Empties the record, runs the sheet over the frame window (or, without a
// page, tells the user so and answers kRedlineSheetNoPage), then refills the
// record. Otherwise answers the property sheet's result.
int32_t RunRedlinePropertiesSheet(RedlineLastAttributes& record, ViewerContext* context,
                                  RedlineObjectList& selection);
