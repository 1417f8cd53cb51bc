// The control's automation methods, called as containers call them, against
// a control hosted in the tests' own container: every method through
// IDispatch by its name (the type library's dispatch then calls the vtable
// slot it names, so the two must agree), and the edge cases straight
// through the vtable.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/control/test_container.h"

namespace {

using namespace control_test;

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

    VARIANT Call(const wchar_t* member, std::vector<VARIANT> arguments = {}, bool succeeds = true) {
        HRESULT invoked = E_FAIL;
        VARIANT result =
            control_test::Call(dispatch.get(), member, std::move(arguments), DISPATCH_METHOD, &invoked);
        EXPECT_EQ(SUCCEEDED(invoked), succeeds) << member;
        return result;
    }
    bool WaitForPages(long id, long pages) {
        return control_test::WaitForPages(hosted.automation.get(), id, pages);
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

TEST_F(ControlMethods, EveryMethodByName) {
    const VARIANT id = Call(L"FileOpen", {Text(tiff), Text(L""), Text(L"")});
    ASSERT_EQ(id.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(id.lVal, 2));
    VARIANT document = Call(L"GetDocument", {Long(id.lVal)});
    EXPECT_TRUE(document.vt == VT_DISPATCH && document.pdispVal);
    VariantClear(&document);
    const VARIANT other = Call(L"GetInfo", {Text(L"DO_OPENFILE"), Text(WindowsPathOf(dir + "/red.bmp"))});
    ASSERT_EQ(other.vt, VT_I4);
    ASSERT_TRUE(WaitForPages(other.lVal, 1));

    EXPECT_TRUE(IsTrue(Call(L"SetPage", {Long(id.lVal), Long(1)})));
    EXPECT_TRUE(IsFalse(Call(L"SetPage", {Long(id.lVal), Long(2)})));
    EXPECT_EQ(Call(L"GetCurrentDocumentID").lVal, PageId(id.lVal, 1));
    // A name that matches no document, or a value that is no text, closes
    // nothing (not the active document either); a name closes its document.
    EXPECT_EQ(Call(L"GetInfo", {Text(L"DO_CLOSEFILE"), Text(L"no such.bmp")}).vt, VT_EMPTY);
    Call(L"GetInfo", {Text(L"DO_CLOSEFILE"), Long(id.lVal)});
    EXPECT_EQ(Call(L"GetCurrentDocumentID").lVal, PageId(id.lVal, 1));
    Call(L"GetInfo", {Text(L"do_closefile"), Text(L"RED.BMP")});
    EXPECT_TRUE(IsNothing(Call(L"GetDocument", {Long(other.lVal)})));
    EXPECT_TRUE(IsTrue(Call(L"SetRestrictions", {Long(1024)})));

    // Panes: the modes each view takes, and where the popups are.
    EXPECT_TRUE(IsFalse(Call(L"SetViewMode", {Long(7), Long(0)})));
    EXPECT_TRUE(IsFalse(Call(L"SetViewMode", {Long(3), Long(2)})));
    EXPECT_TRUE(IsFalse(Call(L"SetViewRect", {Long(1), Long(0), Long(0), Long(9), Long(100)})));
    EXPECT_TRUE(IsTrue(Call(L"SetViewMode", {Long(2), Long(2)})));
    EXPECT_EQ(Call(L"GetViewMode", {Long(2)}).lVal, 2);
    EXPECT_EQ(Call(L"GetViewMode", {Long(0)}).lVal, -1);
    EXPECT_TRUE(IsTrue(Call(L"SetViewRect", {Long(2), Long(5), Long(6), Long(150), Long(120)})));
    EXPECT_EQ(Call(L"GetViewPosX", {Long(2)}).lVal, 5);
    EXPECT_EQ(Call(L"GetViewPosY", {Long(2)}).lVal, 6);
    EXPECT_EQ(Call(L"GetViewWidth", {Long(2)}).lVal, 150);
    EXPECT_EQ(Call(L"GetViewHeight", {Long(2)}).lVal, 120);
    EXPECT_EQ(Call(L"GetViewWidth", {Long(3)}).lVal, 0);
    // A floating view that may not be moved is made again without caption.
    EXPECT_TRUE(IsTrue(Call(L"SetViewMode", {Long(1), Long(2)})));
    EXPECT_TRUE(IsTrue(Call(L"SetPopupsAreMoveable", {Flag(false)})));
    EXPECT_TRUE(WaitFor([] {
        const HWND popup = FindWindowW(kMainViewClass, nullptr);
        return popup && (GetWindowLongW(popup, GWL_STYLE) & WS_CAPTION) != WS_CAPTION;
    }));
    EXPECT_TRUE(IsTrue(Call(L"SetMovePopupsWithMainWindow", {Flag(true)})));
    EXPECT_EQ(Call(L"SetPreferPlovexShortcuts", {Flag(true)}).vt, VT_EMPTY);

    EXPECT_TRUE(IsFalse(Call(L"FileClose", {Long(123456)})));
    EXPECT_TRUE(IsTrue(Call(L"FileClose", {Long(id.lVal)})));
    EXPECT_EQ(Call(L"GetCurrentDocumentID").lVal, -1);
    const VARIANT again = Call(L"FileOpen", {Text(tiff), Text(L""), Text(L"")});
    Call(L"FileCloseAll");
    EXPECT_TRUE(IsNothing(Call(L"GetDocument", {Long(again.lVal)})));
    Call(L"ConvertDoc", {Text(L"")}, false);
    EXPECT_TRUE(IsNothing(Call(L"ConvertDoc", {Text(WindowsPathOf(dir + "/missing.tif"))})));

    // Stopped, the viewer answers the failure values; started, it runs again.
    Call(L"Shutdown");
    EXPECT_FALSE(hosted.running());
    EXPECT_EQ(Call(L"GetCurrentDocumentID").lVal, -1);
    Call(L"StartUp");
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

    // The out-pointer is set even when the call is refused.
    IConverter* converter = reinterpret_cast<IConverter*>(1);
    EXPECT_EQ(control->ConvertDoc(nullptr, &converter), E_INVALIDARG);
    EXPECT_EQ(converter, nullptr);
    for (BSTR text : {path, shown, options, name}) SysFreeString(text);
}

}  // namespace
