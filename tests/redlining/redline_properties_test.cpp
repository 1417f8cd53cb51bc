// The markup Properties sheet worked through its windows by messages, as a
// user would (ChooseColorW aside: its fields are typed): which pages a
// selection gets, and what the markup text saves afterwards.
#include "redlining/redline_properties.h"

#include <gtest/gtest.h>

#include "tests/redlining/redline_sheet_test_support.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/settings.h"

TEST(RedlinePropertiesSheet, TypedValuesReachEverySelectedObjectAndTheSavedText) {
    MarkupSheetRig rig;
    Ref<RedlineObject> text = rig.Add(redline_type::kText);
    std::vector<std::wstring> seen;
    rig.Run([&](HWND sheet) {
        seen = {WindowText(sheet), std::to_wstring(CurrentPage(sheet))};
        HWND page = ShowPage(sheet, 0);
        seen.push_back(ItemText(page, IDC_MARKUP_TEXT));
        SetDlgItemTextW(page, IDC_MARKUP_TEXT, L"first\r\nsecond ");
        // The variable list starts on DATE; pasting puts it at the caret.
        SendDlgItemMessageW(page, IDC_MARKUP_TEXT, EM_SETSEL, 14, 14);
        Click(page, IDC_MARKUP_PASTE);
        page = ShowPage(sheet, 1);
        seen.insert(seen.end(), {ItemText(page, IDC_FONT_HEIGHT), ItemText(page, IDC_FONT_ANGLE),
                                 ItemText(page, IDC_FONT_COLOUR), ItemText(page, IDC_FONT_FACE)});
        SetDlgItemTextW(page, IDC_FONT_HEIGHT, L"");
        Type(page, IDC_FONT_HEIGHT, L"4,x5");  // the numeric edit: ',' is '.', a letter is dropped
        SetDlgItemTextW(page, IDC_FONT_COLOUR, L"255");
        CheckDlgButton(page, IDC_FONT_BOLD, BST_CHECKED);
        page = ShowPage(sheet, 2);
        SetDlgItemTextW(page, IDC_FILLING_COLOUR, L"65280");
        CheckDlgButton(page, IDC_FILLING_TRANSPARENT, BST_UNCHECKED);
        ShowPage(sheet, 1);  // the next sheet opens here
    });
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Properties: 1 object", L"0", L"Text", L"10.0", L"0.0", L"0",
                                               L"Arial"}));
    EXPECT_EQ(rig.Saved(), (std::vector<std::string>{"0:65280:0", "4.500000:0:1:0:0:255:0.000000:0:Arial",
                                                     "2:5:first13:second <DATE>",
                                                     "10.000000:10.000000:60.000000:60.000000"}));
    ASSERT_TRUE(rig.record.font && rig.record.filling);
    EXPECT_EQ(rig.record.font->colour, 255u);
    EXPECT_EQ(rig.record.filling->colour, 65280u);
    EXPECT_FALSE(rig.record.outline) << "no Line page";
    // The next sheet opens on the page that was active at the end.
    rig.Run([&](HWND sheet) { seen = {std::to_wstring(CurrentPage(sheet))}; }, PSBTN_CANCEL);
    EXPECT_EQ(seen, std::vector<std::wstring>{L"1"});

    // A line and a multi-line share outline and line ends; the sheet opens
    // on the Line page (no Font page now) and both objects take the values.
    MarkupSheetRig lines;
    lines.Add(redline_type::kLine);
    lines.Add(redline_type::kMultiLine);
    lines.Add(redline_type::kRectangle, false);
    lines.Run([&](HWND sheet) {
        seen = {WindowText(sheet), std::to_wstring(CurrentPage(sheet))};
        HWND page = ShowPage(sheet, 0);
        SetDlgItemTextW(page, IDC_LINE_WIDTH, L"2.5");
        SetDlgItemTextW(page, IDC_LINE_COLOUR, L"16711680");
        page = ShowPage(sheet, 1);
        SelectStyle(page, IDC_LINE_ENDS_START, 1);
        SelectStyle(page, IDC_LINE_ENDS_END, 3);
    });
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Eigenschaften: 2 objects", L"0"}));
    const std::vector<std::string> saved = lines.Saved();
    ASSERT_EQ(saved.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(saved.begin(), saved.begin() + 2),
              (std::vector<std::string>{"0:16711680:0:2.500000", "1:3"}));
    EXPECT_EQ(std::vector<std::string>(saved.begin() + 3, saved.begin() + 5),
              (std::vector<std::string>{"0:16711680:0:2.500000", "1:3"}));
    EXPECT_EQ(saved[6], "0:0:0:1.000000") << "the unselected rectangle keeps its outline";
}

TEST(RedlinePropertiesSheet, EdgeCases) {
    {
        SCOPED_TRACE("a rectangle and a text share only the filling");
        MarkupSheetRig rig;
        rig.Add(redline_type::kRectangle);
        rig.Add(redline_type::kText);
        std::vector<std::wstring> tabs;
        rig.Run([&](HWND sheet) { tabs = Tabs(sheet); });
        EXPECT_EQ(tabs, (std::vector<std::wstring>{L"Filling"}));
    }
    {
        SCOPED_TRACE("a line and a note share nothing");
        MarkupSheetRig rig;
        rig.Add(redline_type::kLine);
        rig.Add(redline_type::kNote);
        const std::vector<std::string> before = rig.Saved();
        EXPECT_EQ(rig.Run([](HWND) { ADD_FAILURE() << "no sheet"; }), kRedlineSheetNoPage);
        EXPECT_EQ(rig.boxes, (std::vector<std::wstring>{
                                 L"Plovex redlining|The selected objects share no common attributes\t"}));
        EXPECT_EQ(rig.Saved(), before);
    }
    {
        SCOPED_TRACE("two texts, then one");
        MarkupSheetRig rig;
        rig.Add(redline_type::kText);
        Ref<RedlineObject> second = rig.Add(redline_type::kText);
        std::vector<std::wstring> tabs;
        rig.Run([&](HWND sheet) { tabs = Tabs(sheet); });
        EXPECT_EQ(tabs, (std::vector<std::wstring>{L"Font", L"Filling"}));
        rig.selection.Remove(second.get());
        rig.Run([&](HWND sheet) { tabs = Tabs(sheet); });
        EXPECT_EQ(tabs, (std::vector<std::wstring>{L"Text", L"Font", L"Filling"}));
    }
    {
        SCOPED_TRACE("cancelling refills the last-used attributes; 370 degrees and a width of 0");
        MarkupSheetRig rig;
        Ref<RedlineObject> rectangle = rig.Add(redline_type::kRectangle);
        rectangle->SetAttribute(MakeRef<LineAttr>(false, 0, 0, 2.0f).get());
        rig.Run(
            [&](HWND sheet) {
                SetDlgItemTextW(ShowPage(sheet, 0), IDC_LINE_COLOUR, L"255");
                SetDlgItemTextW(ShowPage(sheet, 1), IDC_FILLING_COLOUR, L"255");
            },
            PSBTN_CANCEL);
        ASSERT_TRUE(rig.record.outline && rig.record.filling);
        EXPECT_EQ(rig.record.outline->colour, 0u) << "nothing applied";
        EXPECT_EQ(rig.record.outline.get(), rectangle->GetAttribute(redline_attribute::kLine).get());
        EXPECT_EQ(rig.record.filling.get(), rectangle->GetAttribute(redline_attribute::kFill).get());
        EXPECT_FALSE(rig.record.font || rig.record.line_ends);

        rig.Add(redline_type::kText, false);
        rig.selection.Clear();
        rig.selection.Add(rig.page->GetLayer(0)->objects.GetAt(1).get());
        rig.Run([&](HWND sheet) {
            HWND page = ShowPage(sheet, 1);
            SetDlgItemTextW(page, IDC_FONT_ANGLE, L"");
            Type(page, IDC_FONT_ANGLE, L"370");
        });
        rig.selection.Clear();
        rig.selection.Add(rectangle.get());
        rig.Run([&](HWND sheet) { SetDlgItemTextW(ShowPage(sheet, 0), IDC_LINE_WIDTH, L"0"); });
        const std::vector<std::string> saved = rig.Saved();
        ASSERT_EQ(saved.size(), 7u);
        EXPECT_EQ(saved[0], "0:0:0:1.000000");
        EXPECT_EQ(saved[4], "10.000000:0:0:0:0:0:10.000000:0:Arial");
    }
}

TEST(RedlinePropertiesSheet, EachMixedSelectionShowsThePagesItShares) {
    using namespace redline_type;
    const struct {
        std::vector<int32_t> types;
        std::vector<std::wstring> tabs;  // empty: the message instead
    } cases[] = {
        {{kText}, {L"Text", L"Font", L"Filling"}},
        {{kText, kText}, {L"Font", L"Filling"}},
        {{kLine}, {L"Line", L"Line endings"}},
        {{kLine, kMultiLine}, {L"Line", L"Line endings"}},
        {{kRectangle, kEllipse, kPolygon}, {L"Line", L"Filling"}},
        {{kMultiLine, kPolygon}, {L"Line"}},
        {{kLine, kRectangle}, {L"Line"}},
        {{kPolygon, kText}, {L"Filling"}},
        {{kNote}, {L"Text"}},
        {{kNote, kNote}, {}},
        {{kNote, kText}, {}},
        {{kEllipse, kNote}, {}},
    };
    for (const auto& c : cases) {
        MarkupSheetRig rig;
        std::wstring name;
        for (int32_t type : c.types) rig.Add(type), name += std::to_wstring(type) + L" ";
        SCOPED_TRACE(testing::Message() << "types " << name);
        std::vector<std::wstring> tabs;
        rig.Run([&](HWND sheet) { tabs = Tabs(sheet); }, PSBTN_CANCEL);
        EXPECT_EQ(tabs, c.tabs);
        EXPECT_EQ(rig.boxes.size(), c.tabs.empty() ? 1u : 0u);
    }
}

// A face the machine lacks stays the object's, also when the page is
// applied for another change, and so do reals shown rounded; an emptied face
// keeps the face, an emptied angle gives 0.
TEST(RedlinePropertiesSheet, UntouchedFieldsKeepTheObjectsValues) {
    MarkupSheetRig rig;
    Ref<RedlineObject> text = rig.Add(redline_type::kText);
    text->SetAttribute(
        MakeRef<FontAttr>(5.25f, false, false, false, false, 0, 12.25f, 0, WString(L"No Such Face")).get());
    std::vector<std::wstring> shown;
    LRESULT selected = 0, entries = 0;
    rig.Run([&](HWND sheet) {
        HWND page = ShowPage(sheet, 1);
        shown = {ItemText(page, IDC_FONT_FACE), ItemText(page, IDC_FONT_HEIGHT).substr(0, 3)};
        selected = SendDlgItemMessageW(page, IDC_FONT_FACE, CB_GETCURSEL, 0, 0);
        entries = SendDlgItemMessageW(page, IDC_FONT_FACE, CB_GETCOUNT, 0, 0);
        SetDlgItemTextW(page, IDC_FONT_COLOUR, L"128");
    });
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"No Such Face", L"5.2"}));
    EXPECT_EQ(selected, CB_ERR);
    EXPECT_GT(entries, 0) << "the machine's TrueType faces are listed";
    EXPECT_EQ(rig.Saved()[1], "5.250000:0:0:0:0:128:12.250000:0:No Such Face");

    rig.Run([&](HWND sheet) {
        HWND page = ShowPage(sheet, 1);
        SetDlgItemTextW(page, IDC_FONT_FACE, L"");
        SetDlgItemTextW(page, IDC_FONT_ANGLE, L"");
        SetDlgItemTextW(page, IDC_FONT_HEIGHT, L"6");
    });
    EXPECT_EQ(rig.Saved()[1], "6.000000:0:0:0:0:128:0.000000:0:No Such Face");
}

// The title's number is put into the stored text, never formatted with it.
TEST(RedlinePropertiesSheet, TheTitleCountsTheObjectsInBothLanguages) {
    for (uint16_t language : {0, 1}) {
        MarkupSheetRig rig(language);
        for (int i = 0; i < 3; ++i) rig.Add(redline_type::kEllipse);
        std::wstring title;
        rig.Run([&](HWND sheet) { title = WindowText(sheet); }, PSBTN_CANCEL);
        EXPECT_EQ(title, language == 0 ? L"Eigenschaften: 3 Objekte" : L"Eigenschaften: 3 objects");
    }
}

TEST(RedlinePropertiesSheet, VariablesArePastedAndTheirEditingFollowsTheRestriction) {
    for (bool restricted : {false, true}) {
        SCOPED_TRACE(restricted ? "restricted" : "free");
        MarkupSheetRig rig;
        if (restricted) {
            Ref<Settings> settings = ViewerGetSettings(rig.context());
            ASSERT_TRUE(SettingsAddRestrictions(settings.get(), rig.context(), kCallerInternal,
                                                restriction::kEditVariables));
        }
        rig.Add(redline_type::kNote);
        bool edit_enabled = !restricted;
        std::wstring description;
        rig.Run([&](HWND sheet) {
            HWND page = ShowPage(sheet, 0);
            edit_enabled = Enabled(page, IDC_MARKUP_EDIT_VARIABLES);
            SendDlgItemMessageW(page, IDC_MARKUP_VARIABLES, LB_SETCURSEL, 1, 0);
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_MARKUP_VARIABLES, LBN_SELCHANGE),
                         LPARAM(GetDlgItem(page, IDC_MARKUP_VARIABLES)));
            description = ItemText(page, IDC_MARKUP_DESCRIPTION);
            SendDlgItemMessageW(page, IDC_MARKUP_TEXT, EM_SETSEL, 0, -1);
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_MARKUP_VARIABLES, LBN_DBLCLK),
                         LPARAM(GetDlgItem(page, IDC_MARKUP_VARIABLES)));
        });
        EXPECT_EQ(edit_enabled, !restricted);
        EXPECT_EQ(description, L"Current time");
        EXPECT_EQ(rig.Saved()[0], "1:10:Text<TIME>") << "the whole text selected: appended, not replaced";
    }
}

// Through the editor: the sheet's values become what the next markup takes.
TEST(RedlinePropertiesSheet, TheNextMarkupTakesTheAttributesApplied) {
    MarkupSheetRig rig;
    RedlineView view;
    RedlineViewConstruct(&view, rig.context());
    Ref<RedlineObject> rectangle = rig.Add(redline_type::kRectangle, false);
    view.selection.Add(rectangle.get());
    ModalScript driver([&](HWND sheet) {
        SetDlgItemTextW(ShowPage(sheet, 0), IDC_LINE_COLOUR, L"12345");
        CheckDlgButton(ShowPage(sheet, 1), IDC_FILLING_TRANSPARENT, BST_UNCHECKED);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        return true;
    });
    RedlineShowProperties(&view);
    Ref<RedlineObject> ellipse = CreateRedlineObject(2, redline_type::kEllipse);
    RedlineApplyLastAttributes(&view, ellipse.get());
    Ref<RedlineAttribute> outline = ellipse->GetAttribute(redline_attribute::kLine);
    Ref<RedlineAttribute> filling = ellipse->GetAttribute(redline_attribute::kFill);
    EXPECT_EQ(static_cast<LineAttr*>(outline.get())->colour, 12345u);
    EXPECT_FALSE(static_cast<FillAttr*>(filling.get())->transparent);
    EXPECT_EQ(outline.get(), rectangle->GetAttribute(redline_attribute::kLine).get())
        << "one attribute shared";
    RedlineViewDestruct(&view);
}

TEST(RedlinePropertiesSheet, EveryTextFitsItsControlInBothLanguages) {
    for (uint16_t language : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "language " << language);
        MarkupSheetRig rig(language);
        rig.Add(redline_type::kText);
        rig.Add(redline_type::kLine, false);
        std::vector<std::wstring> clipped;
        auto measure = [&](HWND sheet) {
            for (int index = 0; index < TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)); ++index) {
                for (const std::wstring& text : ClippedTexts(ShowPage(sheet, index)))
                    clipped.push_back(Tabs(sheet)[index] + L", item " + text);
            }
        };
        rig.Run(measure, PSBTN_CANCEL);
        rig.selection.Clear();
        rig.selection.Add(rig.page->GetLayer(0)->objects.GetAt(1).get());
        rig.Run(measure, PSBTN_CANCEL);
        EXPECT_EQ(clipped, std::vector<std::wstring>());
    }
}
