#include "printing/printer_workarounds.h"

#include "foundation/string_split.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

void PrinterWorkaroundsParse(PrinterWorkarounds& table, const WString& text) {
    table.entries.clear();
    table.default_value = 0;
    WStrSplit* items = WStrSplitChar(text, L';', true);
    if (!items) return;
    for (uint32_t i = 0; i < items->count; ++i) {
        WString item;
        WStrSplitGet(*items, i, item);
        const int32_t equals = WStrFindChar(item, L'=');
        if (equals <= 0) continue;
        WString name, value;
        WStrLeft(item, static_cast<uint32_t>(equals), name);
        WStrMid(item, static_cast<uint32_t>(equals) + 1, -1, value);
        WStrTrim(name);
        WStrTrim(value);
        if (!WStrLength(value) || !WStrIsDigits(value)) continue;
        const int32_t number = WStrToInt(value);
        if (!WStrLength(name) || WStrEqualsChars(name, L"*"))
            table.default_value = number;
        else
            table.entries.push_back({name, number});
    }
    StrSplitFree(items);
}

int32_t PrinterWorkaroundsLookup(const PrinterWorkarounds& table, const WString& printer_name) {
    if (!WStrLength(printer_name)) return table.default_value;
    for (const PrinterWorkarounds::Entry& entry : table.entries) {
        if (WStrFindStr(printer_name, WStrCStr(entry.name), false) >= 0) return entry.value;
    }
    return table.default_value;
}

uint32_t PrinterWorkaroundsFor(ViewerContext* context, const WString& printer_name) {
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings) return 0;
    PrinterWorkarounds table;
    PrinterWorkaroundsParse(table, SettingsGetPrinterWorkaround(settings.get()));
    return static_cast<uint32_t>(PrinterWorkaroundsLookup(table, printer_name));
}
