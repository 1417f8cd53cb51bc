// What the tests of the markup Properties sheet share: a page of markups
// with a selection, the sheet run and worked from a timer, and the markup
// text it leaves.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ptr_array.h"
#include "redlining/redline_format.h"
#include "redlining/redline_properties.h"
#include "redlining/redline_view.h"
#include "resources/resource_ids.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/app_texts.h"

using Script = std::function<void(HWND sheet)>;

// A page of markups, a selection on it and the record the sheet fills.
struct MarkupSheetRig {
    explicit MarkupSheetRig(uint16_t language = 1) {
        ViewerGetApp(context())->texts = AppTextTableCreate(GetModuleHandleW(nullptr), language);
        ScopedLock hold(context()->lock);
        context()->language = language;
        page->CreateLayer();
    }
    ViewerContext* context() const { return viewer.context.get(); }
    Ref<RedlineObject> Add(int32_t type, bool select = true) {
        PtrArray none(1, true);
        const int32_t id = static_cast<int32_t>(page->GetLayer(0)->objects.Count()) + 1;
        const bool chain = type == redline_type::kPolygon || type == redline_type::kMultiLine;
        Ref<RedlineObject> object = CreateRedlineObjectFromData(
            2, id, type, 0, none, WString(chain ? L"3:10:10:40:20:30:35" : L"10:10:40:30"));
        page->GetLayer(0)->objects.Add(object.get());
        if (select) selection.Add(object.get());
        return object;
    }
    // Runs the sheet; `script` works it, then `button` is pressed. Message
    // boxes are read and closed.
    int32_t Run(const Script& script, int button = PSBTN_OK) {
        ModalScript driver([&](HWND window) {
            if (!PropSheet_GetTabControl(window)) {
                boxes.push_back(WindowText(window) + L"|" + BoxText(window));
                return Post(window, IDOK), true;
            }
            script(window);
            if (button >= 0) PostMessageW(window, PSM_PRESSBUTTON, WPARAM(button), 0);
            return true;
        });
        return RunRedlinePropertiesSheet(record, context(), selection);
    }
    // The data lines of the saved markup text: each object's attributes in
    // kind order, then its geometry.
    std::vector<std::string> Saved() {
        AStrBuilder text(256);
        EXPECT_TRUE(WriteRedlineDocument(text, page.get(), nullptr));
        std::vector<std::string> lines;
        const std::string all(text.data, text.length);
        for (size_t at = all.find("<r:data>"); at != std::string::npos; at = all.find("<r:data>", at + 1)) {
            lines.push_back(all.substr(at + 8, all.find("</r:data>", at) - at - 8));
        }
        return lines;
    }

    RunningViewer viewer;
    Ref<RedlinePage> page = MakeRef<RedlinePage>();
    RedlineObjectList selection;
    RedlineLastAttributes record;
    std::vector<std::wstring> boxes;
};

inline int CurrentPage(HWND sheet) {
    return PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
}
inline void SelectStyle(HWND page, int list, int style) {
    SendDlgItemMessageW(page, list, CB_SETCURSEL, style, 0);
}
