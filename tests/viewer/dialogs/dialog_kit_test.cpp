#include "viewer/dialogs/dialog_kit.h"

#include <gtest/gtest.h>

#include <string>

#include "viewer/core/app_root.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr int kItem = 100;
constexpr int kOtherItem = 101;

// A top-level window with one child control of id kItem; both go with it.
class Host {
  public:
    Host(const wchar_t* child_class, DWORD child_style) {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                  nullptr);
        child_ =
            CreateWindowExW(0, child_class, L"", WS_CHILD | WS_VISIBLE | child_style, 0, 0, 200, 100, parent_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kItem)), nullptr, nullptr);
    }
    ~Host() {
        if (parent_) DestroyWindow(parent_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND parent() const { return parent_; }
    HWND child() const { return child_; }

    void Type(const wchar_t* characters) const {
        for (const wchar_t* c = characters; *c; ++c) SendMessageW(child_, WM_CHAR, *c, 1);
    }
    std::wstring Text() const {
        wchar_t text[400] = {};
        GetWindowTextW(child_, text, 400);
        return text;
    }

  private:
    HWND parent_ = nullptr;
    HWND child_ = nullptr;
};

std::wstring Wide(const WString& text) { return WStrCStr(text); }

}  // namespace

TEST(NumericEdit, TakesDigitsAndOneDecimalPointOnly) {
    Host host(L"EDIT", ES_AUTOHSCROLL);
    ASSERT_TRUE(host.child());
    ASSERT_TRUE(DlgMakeNumericEdit(host.parent(), kItem));
    // A letter, a second separator (either spelling) and characters past
    // the fifth are dropped; ',' arrives as '.'.
    host.Type(L"1a2,5.x,3");
    EXPECT_EQ(host.Text(), L"12.53");
    host.Type(L"7");
    EXPECT_EQ(host.Text(), L"12.53");
    // Backspace is an editing key, not a character to refuse.
    host.Type(L"\b\b\b");
    EXPECT_EQ(host.Text(), L"12");
    host.Type(L".5");
    EXPECT_EQ(host.Text(), L"12.5");
}

TEST(NumericEdit, MakingItTwiceKeepsOneWorkingFilter) {
    Host host(L"EDIT", ES_AUTOHSCROLL);
    ASSERT_TRUE(DlgMakeNumericEdit(host.parent(), kItem));
    // A second subclass on top of the first would call itself for ever.
    ASSERT_TRUE(DlgMakeNumericEdit(host.parent(), kItem));
    host.Type(L"4b.2.");
    EXPECT_EQ(host.Text(), L"4.2");
    EXPECT_FALSE(DlgMakeNumericEdit(host.parent(), kOtherItem));
    EXPECT_FALSE(DlgMakeEnterEdit(host.parent(), kOtherItem));
}

TEST(EnterEdit, CarriageReturnBreaksTheLine) {
    Host host(L"EDIT", ES_MULTILINE);
    ASSERT_TRUE(DlgMakeEnterEdit(host.parent(), kItem));
    host.Type(L"a\rb");
    EXPECT_EQ(host.Text(), L"a\r\nb");
}

TEST(ComboData, SelectsAndReadsByItemData) {
    Host host(L"COMBOBOX", CBS_DROPDOWNLIST);
    ASSERT_TRUE(host.child());
    // Item data is pointer wide.
    const INT_PTR wide = static_cast<INT_PTR>(1) << (sizeof(INT_PTR) * 8 - 2);
    EXPECT_EQ(ComboAddText(host.parent(), kItem, L"zero", 0), 0);
    EXPECT_EQ(ComboAddText(host.parent(), kItem, L"ninety", 90), 1);
    EXPECT_EQ(ComboAddText(host.parent(), kItem, L"wide", wide), 2);
    EXPECT_EQ(ComboAddText(host.parent(), kOtherItem, L"nowhere", 1), -1);

    INT_PTR data = -5;
    EXPECT_EQ(ComboGetSelData(host.child(), data), -1);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(ComboSelectByData(host.child(), 90), 1);
    EXPECT_EQ(ComboGetSelData(host.child(), data), 1);
    EXPECT_EQ(data, 90);
    EXPECT_EQ(ComboSelectByData(host.child(), wide), 2);
    EXPECT_EQ(ComboGetSelData(host.child(), data), 2);
    EXPECT_EQ(data, wide);
    // No item has it: nothing stays selected.
    EXPECT_EQ(ComboSelectByData(host.child(), 45), -1);
    EXPECT_EQ(ComboGetSelData(host.child(), data), -1);
}

TEST(DialogTexts, LanguageTextsAndItemStringsOfAnyLength) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    const wchar_t* english = ViewerGetText(context.get(), 10201);
    ASSERT_TRUE(english);

    Host combo(L"COMBOBOX", CBS_DROPDOWNLIST);
    EXPECT_EQ(ComboAddTextId(context.get(), combo.parent(), kItem, 10201, 1), 0);
    wchar_t item_text[100] = {};
    SendMessageW(combo.child(), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item_text));
    EXPECT_STREQ(item_text, english);

    Host host(L"EDIT", ES_AUTOHSCROLL);
    DlgSetItemText(context.get(), host.parent(), kItem, 10201);
    EXPECT_EQ(host.Text(), english);
    // A number without a text leaves the item as it was.
    DlgSetItemText(context.get(), host.parent(), kItem, 65000);
    EXPECT_EQ(host.Text(), english);

    for (size_t length : {0u, 1u, 79u, 80u, 81u, 300u}) {
        std::wstring text;
        for (size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
        SetWindowTextW(host.child(), text.c_str());
        EXPECT_EQ(Wide(DlgGetItemString(host.parent(), kItem)), text) << length;
    }
    EXPECT_EQ(Wide(DlgGetItemString(host.parent(), kOtherItem)), L"");
}
