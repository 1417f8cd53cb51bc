// The control's automation methods, called as a container calls them: once
// through the vtable, once through IDispatch by member and parameter names,
// against a control hosted in the tests' own container.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/control/test_container.h"

namespace {

using namespace control_test;

// A BSTR for the span of one call.
class Text {
  public:
    explicit Text(const std::wstring& text) : value_(SysAllocString(text.c_str())) {}
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    operator BSTR() const { return value_; }

  private:
    BSTR value_;
};

VARIANT TextVariant(const std::wstring& text) {
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text.c_str());
    return value;
}

VARIANT IntVariant(long number) {
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

class ControlMethods : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(hosted.running());
        dir = MakeScratchDir("control_methods");
        ASSERT_TRUE(MakeTwoPageTiff(dir + "/two pages.tif"));
        ASSERT_TRUE(WriteHostFile(dir + "/red.bmp", SolidBmp(32, 24, 0, 0, 255)));
        tiff = WindowsPathOf(dir + "/two pages.tif");
        bmp = WindowsPathOf(dir + "/red.bmp");
    }

    // The document of this id, or null.
    ComPtr<IDocument> Document(long id) {
        ComPtr<IDocument> document;
        EXPECT_EQ(automation()->GetDocument(id, document.Put()), S_OK);
        return document;
    }
    // Waits, bounded, until the document shows its pages.
    bool WaitForPages(long id, long pages) {
        return WaitFor([&] {
            ComPtr<IDocument> document = Document(id);
            long count = 0;
            return document && SUCCEEDED(document->get_SubDocCount(&count)) && count == pages;
        });
    }
    long PageId(long document_id, long index) {
        ComPtr<IDocument> page;
        long id = -1;
        if (ComPtr<IDocument> document = Document(document_id)) document->GetSubDoc(index, page.Put());
        if (page) page->get_ID(&id);
        return id;
    }
    IPlovexCtrl* automation() { return hosted.automation.get(); }

    HostedControl hosted;
    std::string dir;
    std::wstring tiff;
    std::wstring bmp;
};

TEST_F(ControlMethods, ThroughTheVtableTheyOpenArrangeAndCloseDocuments) {
    IPlovexCtrl* control = automation();
    long id = -1;
    // The display name is set after the options, so it wins over their title.
    ASSERT_EQ(control->FileOpen(Text(tiff), Text(L"Shown"), Text(L"-ti:Other"), &id), S_OK);
    ASSERT_GE(id, 0);
    ASSERT_TRUE(WaitForPages(id, 2));
    BSTR name = nullptr;
    ASSERT_EQ(Document(id)->get_Name(&name), S_OK);
    EXPECT_STREQ(name, L"Shown");
    SysFreeString(name);

    VARIANT opened;
    VARIANT path = TextVariant(bmp);
    ASSERT_EQ(control->GetInfo(Text(L"DO_OPENFILE"), path, &opened), S_OK);
    VariantClear(&path);
    ASSERT_EQ(opened.vt, VT_I4);
    const long bmp_id = opened.lVal;
    ASSERT_TRUE(WaitForPages(bmp_id, 1));

    VARIANT_BOOL done = VARIANT_FALSE;
    EXPECT_EQ(control->SetPage(id, 1, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    long current = -1;
    EXPECT_EQ(control->GetCurrentDocumentID(&current), S_OK);
    EXPECT_EQ(current, PageId(id, 1));
    EXPECT_EQ(control->SetPage(-1, 0, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->SetPage(id, 2, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);

    // A name that matches no document, or a value that is no text, closes
    // nothing (not the active document either).
    VARIANT result;
    VARIANT unknown = TextVariant(L"no such.bmp");
    EXPECT_EQ(control->GetInfo(Text(L"DO_CLOSEFILE"), unknown, &result), S_OK);
    VariantClear(&unknown);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(control->GetInfo(Text(L"DO_CLOSEFILE"), IntVariant(id), &result), S_OK);
    EXPECT_EQ(control->GetCurrentDocumentID(&current), S_OK);
    EXPECT_EQ(current, PageId(id, 1));
    VARIANT known = TextVariant(L"RED.BMP");
    EXPECT_EQ(control->GetInfo(Text(L"do_closefile"), known, &result), S_OK);
    VariantClear(&known);
    EXPECT_FALSE(Document(bmp_id));
    EXPECT_TRUE(Document(id));

    // Views: modes each view takes, and where the popups are.
    EXPECT_EQ(control->SetViewMode(3, 2, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->SetViewMode(7, 0, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->SetViewMode(1, 2, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    long value = 0;
    EXPECT_EQ(control->GetViewMode(1, &value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(control->GetViewMode(0, &value), S_OK);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(control->SetViewRect(1, 30, 40, 9, 160, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->SetViewRect(1, 30, 40, 220, 160, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_EQ(control->GetViewPosX(1, &value), S_OK);
    EXPECT_EQ(value, 30);
    EXPECT_EQ(control->GetViewPosY(1, &value), S_OK);
    EXPECT_EQ(value, 40);
    EXPECT_EQ(control->GetViewWidth(1, &value), S_OK);
    EXPECT_EQ(value, 220);
    EXPECT_EQ(control->GetViewHeight(1, &value), S_OK);
    EXPECT_EQ(value, 160);
    EXPECT_EQ(control->GetViewWidth(3, &value), S_OK);
    EXPECT_EQ(value, 0);
    // A popup that may not be moved is made again without its caption.
    EXPECT_EQ(control->SetPopupsAreMoveable(VARIANT_FALSE, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_TRUE(WaitFor([] {
        const HWND popup = FindWindowW(kMainViewClass, nullptr);
        return popup && (GetWindowLongW(popup, GWL_STYLE) & WS_CAPTION) != WS_CAPTION;
    }));
    EXPECT_EQ(control->SetMovePopupsWithMainWindow(VARIANT_TRUE, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_EQ(control->SetRestrictions(1024, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);

    EXPECT_EQ(control->FileClose(123456, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->FileClose(id, &done), S_OK);
    EXPECT_EQ(done, VARIANT_TRUE);
    EXPECT_FALSE(Document(id));
    EXPECT_EQ(control->GetCurrentDocumentID(&current), S_OK);
    EXPECT_EQ(current, -1);

    ASSERT_EQ(control->FileOpen(Text(tiff), Text(L""), Text(L""), &id), S_OK);
    ASSERT_TRUE(WaitForPages(id, 2));
    EXPECT_EQ(control->GetInfo(Text(L"do_closeall"), VARIANT{}, &result), S_OK);
    EXPECT_FALSE(Document(id));

    ComPtr<IConverter> converter;
    EXPECT_EQ(control->ConvertDoc(Text(WindowsPathOf(dir + "/missing.tif")), converter.Put()), S_OK);
    EXPECT_FALSE(converter);
    EXPECT_EQ(control->ConvertDoc(Text(L""), converter.Put()), E_INVALIDARG);
    EXPECT_FALSE(converter);
}

// The members in dispid order, each with its parameter names.
struct Member {
    const wchar_t* name;
    std::vector<const wchar_t*> parameters;
};
const Member kMembers[] = {
    {L"GetInfo", {L"pszName", L"vValue"}},
    {L"FileOpen", {L"pszFilename", L"pszAnzeigename", L"pszOptionen"}},
    {L"FileCloseAll", {}},
    {L"FileClose", {L"lDocumentID"}},
    {L"SetPage", {L"lDocumentID", L"iPageIndexBase0"}},
    {L"SetRestrictions", {L"lNewRestrictions"}},
    {L"SetViewMode", {L"lView", L"lMode"}},
    {L"GetViewMode", {L"lViewID"}},
    {L"SetViewRect", {L"lViewID", L"lLeft", L"lTop", L"lWidth", L"lHeight"}},
    {L"GetViewPosX", {L"lViewID"}},
    {L"GetViewPosY", {L"lViewID"}},
    {L"GetViewWidth", {L"lViewID"}},
    {L"GetViewHeight", {L"lViewID"}},
    {L"SetPopupsAreMoveable", {L"vbMoveable"}},
    {L"SetMovePopupsWithMainWindow", {L"vbMoveWithMainWindow"}},
    {L"GetCurrentDocumentID", {}},
    {L"GetDocument", {L"lDocumentID"}},
    {L"SetPreferPlovexShortcuts", {L"bPreferPlovex"}},
    {L"Shutdown", {}},
    {L"StartUp", {}},
    {L"ConvertDoc", {L"pszFilename"}},
};

// Calls the member through IDispatch with every argument named, listed in
// the declared order (the reverse of positional order), so that only the
// names can place them. Checks that the names resolve to the member's
// dispid and the parameters' positions.
VARIANT Call(IDispatch* target, int member, std::vector<VARIANT> arguments, HRESULT* outcome = nullptr) {
    VARIANT result;
    VariantInit(&result);
    const Member& entry = kMembers[member - 1];
    std::vector<LPOLESTR> names{const_cast<LPOLESTR>(entry.name)};
    for (const wchar_t* parameter : entry.parameters) names.push_back(const_cast<LPOLESTR>(parameter));
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    EXPECT_EQ(target->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()),
              S_OK)
        << "names of " << member;
    EXPECT_EQ(ids[0], member);
    for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<DISPID>(i - 1)) << "of " << member;
    EXPECT_EQ(arguments.size(), entry.parameters.size());
    std::vector<VARIANT> values;
    std::vector<DISPID> named;
    for (size_t i = 0; i < arguments.size(); ++i) {
        values.push_back(arguments[i]);
        named.push_back(ids[i + 1]);
    }
    DISPPARAMS params = {values.data(), named.data(), static_cast<UINT>(values.size()),
                         static_cast<UINT>(named.size())};
    const HRESULT invoked =
        target->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    if (outcome) {
        *outcome = invoked;
    } else {
        EXPECT_EQ(invoked, S_OK) << "member " << member;
    }
    for (VARIANT& value : arguments) VariantClear(&value);
    return result;
}

bool IsTrue(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_TRUE; }
bool IsFalse(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_FALSE; }
VARIANT Bool(bool value) {
    VARIANT variant;
    variant.vt = VT_BOOL;
    variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

TEST_F(ControlMethods, ThroughDispatchByParameterName) {
    ComPtr<IDispatch> control;
    ASSERT_EQ(automation()->QueryInterface(IID_IDispatch, control.PutVoid()), S_OK);
    IDispatch* target = control.get();

    VARIANT id = Call(target, 2, {TextVariant(tiff), TextVariant(L"Shown"), TextVariant(L"-ti:Other")});
    ASSERT_EQ(id.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(id.lVal, 2));
    VARIANT document = Call(target, 17, {IntVariant(id.lVal)});
    ASSERT_EQ(document.vt, VT_DISPATCH);
    ASSERT_NE(document.pdispVal, nullptr);
    VariantClear(&document);
    VARIANT other = Call(target, 1, {TextVariant(L"DO_OPENFILE"), TextVariant(bmp)});
    ASSERT_EQ(other.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(other.lVal, 1));

    EXPECT_TRUE(IsTrue(Call(target, 5, {IntVariant(id.lVal), IntVariant(1)})));
    VARIANT current = Call(target, 16, {});
    EXPECT_EQ(current.vt, VT_I4);
    EXPECT_EQ(current.lVal, PageId(id.lVal, 1));
    EXPECT_TRUE(IsTrue(Call(target, 6, {IntVariant(0)})));
    EXPECT_TRUE(IsFalse(Call(target, 7, {IntVariant(3), IntVariant(2)})));
    EXPECT_TRUE(IsTrue(Call(target, 7, {IntVariant(2), IntVariant(2)})));
    VARIANT mode = Call(target, 8, {IntVariant(2)});
    EXPECT_EQ(mode.lVal, 2);
    EXPECT_TRUE(IsFalse(
        Call(target, 9, {IntVariant(2), IntVariant(5), IntVariant(6), IntVariant(9), IntVariant(50)})));
    EXPECT_TRUE(IsTrue(
        Call(target, 9, {IntVariant(2), IntVariant(5), IntVariant(6), IntVariant(150), IntVariant(120)})));
    EXPECT_EQ(Call(target, 10, {IntVariant(2)}).lVal, 5);
    EXPECT_EQ(Call(target, 11, {IntVariant(2)}).lVal, 6);
    EXPECT_EQ(Call(target, 12, {IntVariant(2)}).lVal, 150);
    EXPECT_EQ(Call(target, 13, {IntVariant(2)}).lVal, 120);
    EXPECT_TRUE(IsTrue(Call(target, 14, {Bool(true)})));
    EXPECT_TRUE(IsTrue(Call(target, 15, {Bool(false)})));
    EXPECT_EQ(Call(target, 18, {Bool(true)}).vt, VT_EMPTY);

    EXPECT_TRUE(IsTrue(Call(target, 4, {IntVariant(other.lVal)})));
    Call(target, 3, {});
    VARIANT gone = Call(target, 17, {IntVariant(id.lVal)});
    EXPECT_TRUE(gone.vt == VT_EMPTY || (gone.vt == VT_DISPATCH && gone.pdispVal == nullptr));

    VARIANT converter = Call(target, 21, {TextVariant(WindowsPathOf(dir + "/missing.tif"))});
    EXPECT_TRUE(converter.vt == VT_EMPTY || (converter.vt == VT_DISPATCH && converter.pdispVal == nullptr));
    HRESULT refused = S_OK;
    Call(target, 21, {TextVariant(L"")}, &refused);
    EXPECT_NE(refused, S_OK);

    // Stopped, the viewer answers the failure values; started, it runs again.
    Call(target, 19, {});
    EXPECT_FALSE(hosted.running());
    EXPECT_EQ(Call(target, 16, {}).lVal, -1);
    Call(target, 20, {});
    EXPECT_TRUE(hosted.running());
}

}  // namespace
