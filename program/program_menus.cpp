#include "program/program_menus.h"

#include "foundation/handles.h"
#include "foundation/strings.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/app/print_dispatch.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/commands.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

// Texts of the items.

WString Text(ViewerContext* context, uint32_t id) {
    const wchar_t* text = ViewerGetText(context, id);
    return WString(text ? text : L"");
}

bool AddItem(HMENU menu, uint32_t id, const WString& text) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.wID = id;
    WString copy = text;
    // The call copies the text; it only wants a writable pointer.
    item.dwTypeData = const_cast<wchar_t*>(WStrCStr(copy));
    return InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item) != FALSE;
}

bool AddSeparator(HMENU menu) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    return InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item) != FALSE;
}

}  // namespace

HMENU FileMenuBuild(ViewerContext* context) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return nullptr;
    HMENU popup = menu.get();
    bool ok = AddItem(popup, command::kOpen, Text(context, text::kMenuOpen));
    ok &= AddItem(popup, command::kClose, Text(context, text::kMenuClose));
    ok &= AddItem(popup, command::kCloseAll, Text(context, text::kMenuCloseAll));
    ok &= AddSeparator(popup);
    ok &= AddItem(popup, command::kSaveAs, Text(context, text::kMenuSaveAs));
    ok &= AddItem(popup, command::kConvert, Text(context, text::kMenuConvert));
    ok &= AddSeparator(popup);
    const uint32_t providers = ViewerPrintProviderCount(context);
    for (uint32_t i = 0; i < providers && command::kFirstPrinter + i <= command::kLastPrinter; ++i) {
        WString text = Text(context, text::kMenuPrint);
        PrintMenuItemSuffix(context, i, providers, WStrCStr(Text(context, text::kMenuPrintKey)), text);
        ok &= AddItem(popup, command::kFirstPrinter + i, text);
    }
    if (providers > 0) ok &= AddSeparator(popup);
    ok &= AddItem(popup, command::kExit, Text(context, text::kMenuExit));
    ok &= AddSeparator(popup);
    ok &= AddItem(popup, command::kReopenSession, Text(context, text::kMenuReopenSession));
    return ok ? menu.Release() : nullptr;
}

HMENU HelpMenuBuild(ViewerContext* context) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return nullptr;
    HMENU popup = menu.get();
    const WString custom_title = SettingsGetCustomAppInfoTitle(ViewerGetSettings(context).get());
    const bool custom = WStrLength(custom_title) > 0;
    bool ok = AddItem(popup, command::kWebSite, Text(context, text::kMenuWebSite));
    WString about = Text(context, text::kMenuAbout);
    if (!custom) WStrAppendChars(about, L"\tF1");
    ok &= AddItem(popup, command::kAbout, about);
    if (custom) {
        WString title = custom_title;
        WStrAppendChars(title, L"\tF1");
        ok &= AddSeparator(popup);
        ok &= AddItem(popup, command::kInformation, title);
    }
    return ok ? menu.Release() : nullptr;
}
