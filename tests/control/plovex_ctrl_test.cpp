// The control's automation methods, called as containers call them, against
// a control hosted in the tests' own container: every method through
// IDispatch by member and parameter names (the type library's dispatch then
// calls the vtable slot it names, so the two must agree), and the edge cases
// straight through the vtable.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/control/test_container.h"

namespace {

using namespace control_test;

bool IsTrue(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_TRUE; }
bool IsFalse(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_FALSE; }
bool IsNothing(const VARIANT& value) {
    return value.vt == VT_EMPTY || (value.vt == VT_DISPATCH && value.pdispVal == nullptr);
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

class ControlMethods : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(hosted.running());
        ASSERT_EQ(hosted.automation->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
        dir = MakeScratchDir("control_methods");
        ASSERT_TRUE(MakeTwoPageTiff(dir + "/two pages.tif"));
        ASSERT_TRUE(WriteHostFile(dir + "/red.bmp", SolidBmp(32, 24, 0, 0, 255)));
        tiff = WindowsPathOf(dir + "/two pages.tif");
    }

    // Calls member n (its dispid) through IDispatch with every argument
    // named, listed in the declared order (the reverse of positional order),
    // so that only the names can place them; checks that the names resolve
    // to the member's dispid and the parameters' positions.
    VARIANT Call(int member, std::vector<VARIANT> arguments, bool succeeds = true) {
        const Member& entry = kMembers[member - 1];
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(entry.name)};
        for (const wchar_t* parameter : entry.parameters) names.push_back(const_cast<LPOLESTR>(parameter));
        std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
        EXPECT_EQ(
            dispatch->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()),
            S_OK);
        EXPECT_EQ(ids[0], member);
        for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<DISPID>(i - 1)) << member;
        EXPECT_EQ(arguments.size(), entry.parameters.size()) << member;
        DISPPARAMS params = {arguments.data(), ids.data() + 1, static_cast<UINT>(arguments.size()),
                             static_cast<UINT>(arguments.size())};
        VARIANT result;
        VariantInit(&result);
        const HRESULT invoked =
            dispatch->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        EXPECT_EQ(SUCCEEDED(invoked), succeeds) << member;
        for (VARIANT& value : arguments) VariantClear(&value);
        return result;
    }
    // Waits, bounded, until the document shows its pages.
    bool WaitForPages(long id, long pages) {
        return WaitFor([&] {
            ComPtr<IDocument> document;
            long count = 0;
            return SUCCEEDED(hosted.automation->GetDocument(id, document.Put())) && document &&
                   SUCCEEDED(document->get_SubDocCount(&count)) && count == pages;
        });
    }
    long PageId(long document_id, long index) {
        ComPtr<IDocument> document;
        ComPtr<IDocument> page;
        long id = -1;
        hosted.automation->GetDocument(document_id, document.Put());
        if (document) document->GetSubDoc(index, page.Put());
        if (page) page->get_ID(&id);
        return id;
    }

    HostedControl hosted;
    ComPtr<IDispatch> dispatch;
    std::string dir;
    std::wstring tiff;
};

TEST_F(ControlMethods, EveryMethodByParameterName) {
    const VARIANT id = Call(2, {Text(tiff), Text(L""), Text(L"")});
    ASSERT_EQ(id.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(id.lVal, 2));
    VARIANT document = Call(17, {Long(id.lVal)});
    EXPECT_TRUE(document.vt == VT_DISPATCH && document.pdispVal);
    VariantClear(&document);
    const VARIANT other = Call(1, {Text(L"DO_OPENFILE"), Text(WindowsPathOf(dir + "/red.bmp"))});
    ASSERT_EQ(other.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(other.lVal, 1));

    EXPECT_TRUE(IsTrue(Call(5, {Long(id.lVal), Long(1)})));
    EXPECT_TRUE(IsFalse(Call(5, {Long(id.lVal), Long(2)})));
    EXPECT_EQ(Call(16, {}).lVal, PageId(id.lVal, 1));
    // A name that matches no document, or a value that is no text, closes
    // nothing (not the active document either); a name closes its document.
    EXPECT_EQ(Call(1, {Text(L"DO_CLOSEFILE"), Text(L"no such.bmp")}).vt, VT_EMPTY);
    Call(1, {Text(L"DO_CLOSEFILE"), Long(id.lVal)});
    EXPECT_EQ(Call(16, {}).lVal, PageId(id.lVal, 1));
    Call(1, {Text(L"do_closefile"), Text(L"RED.BMP")});
    EXPECT_TRUE(IsNothing(Call(17, {Long(other.lVal)})));
    EXPECT_TRUE(IsTrue(Call(6, {Long(1024)})));

    // Panes: the modes each view takes, and where the popups are.
    EXPECT_TRUE(IsFalse(Call(7, {Long(7), Long(0)})));
    EXPECT_TRUE(IsTrue(Call(7, {Long(2), Long(2)})));
    EXPECT_EQ(Call(8, {Long(2)}).lVal, 2);
    EXPECT_EQ(Call(8, {Long(0)}).lVal, -1);
    EXPECT_TRUE(IsTrue(Call(9, {Long(2), Long(5), Long(6), Long(150), Long(120)})));
    EXPECT_EQ(Call(10, {Long(2)}).lVal, 5);
    EXPECT_EQ(Call(11, {Long(2)}).lVal, 6);
    EXPECT_EQ(Call(12, {Long(2)}).lVal, 150);
    EXPECT_EQ(Call(13, {Long(2)}).lVal, 120);
    EXPECT_EQ(Call(12, {Long(3)}).lVal, 0);
    // A floating view that may not be moved is made again without caption.
    EXPECT_TRUE(IsTrue(Call(7, {Long(1), Long(2)})));
    EXPECT_TRUE(IsTrue(Call(14, {Flag(false)})));
    EXPECT_TRUE(WaitFor([] {
        const HWND popup = FindWindowW(kMainViewClass, nullptr);
        return popup && (GetWindowLongW(popup, GWL_STYLE) & WS_CAPTION) != WS_CAPTION;
    }));
    EXPECT_TRUE(IsTrue(Call(15, {Flag(true)})));
    EXPECT_EQ(Call(18, {Flag(true)}).vt, VT_EMPTY);

    EXPECT_TRUE(IsFalse(Call(4, {Long(123456)})));
    EXPECT_TRUE(IsTrue(Call(4, {Long(id.lVal)})));
    EXPECT_EQ(Call(16, {}).lVal, -1);
    const VARIANT again = Call(2, {Text(tiff), Text(L""), Text(L"")});
    Call(3, {});
    EXPECT_TRUE(IsNothing(Call(17, {Long(again.lVal)})));
    Call(21, {Text(L"")}, false);

    // Stopped, the viewer answers the failure values; started, it runs again.
    Call(19, {});
    EXPECT_FALSE(hosted.running());
    EXPECT_EQ(Call(16, {}).lVal, -1);
    Call(20, {});
    EXPECT_TRUE(hosted.running());
}

TEST_F(ControlMethods, EdgeCasesThroughTheVtable) {
    IPlovexCtrl* control = hosted.automation.get();
    // The display name is set after the options, so it wins over their title.
    BSTR path = SysAllocString(tiff.c_str());
    BSTR shown = SysAllocString(L"Shown");
    BSTR options = SysAllocString(L"-ti:Other");
    long id = -1;
    EXPECT_EQ(control->FileOpen(path, shown, options, &id), S_OK);
    ASSERT_TRUE(WaitForPages(id, 2));
    ComPtr<IDocument> document;
    ASSERT_EQ(control->GetDocument(id, document.Put()), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(document->get_Name(&name), S_OK);
    EXPECT_STREQ(name, L"Shown");

    VARIANT_BOOL done = VARIANT_TRUE;
    EXPECT_EQ(control->SetViewMode(3, 2, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(control->SetViewRect(1, 0, 0, 9, 100, &done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);

    ComPtr<IConverter> converter;
    BSTR missing = SysAllocString(WindowsPathOf(dir + "/missing.tif").c_str());
    EXPECT_EQ(control->ConvertDoc(missing, converter.Put()), S_OK);
    EXPECT_FALSE(converter);
    EXPECT_EQ(control->ConvertDoc(nullptr, converter.Put()), E_INVALIDARG);
    EXPECT_FALSE(converter);
    for (BSTR text : {path, shown, options, name, missing}) SysFreeString(text);
}

}  // namespace
