// The tests' own OLE container: a site with the client, in-place and
// control-site interfaces and ambient properties creates the control from
// PLXAC529.dll, activates it in place, gives it SRC through a property bag
// and reads the viewer's windows and pixels.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/handles.h"
#include "plovex_idl.h"
#include "tests/support/test_support.h"

namespace {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using ServerFunction = HRESULT(STDAPICALLTYPE*)();

constexpr wchar_t kMainViewClass[] = L"Plovex50Hauptansicht";
constexpr wchar_t kHostClass[] = L"ControlContainerTestHost";

// Pumps messages until the condition holds or 10 s pass.
bool WaitFor(const std::function<bool()>& condition) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        if (condition()) return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return condition();
}

// The site: one object with every interface a control asks of its
// container. Lives on the stack; counts its references to check the
// control gives them all back.
class Site : public IOleClientSite, public IOleInPlaceSite, public IOleControlSite, public IDispatch {
  public:
    explicit Site(HWND window) : window_(window) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(iid, IID_IOleControlSite))
            *out = static_cast<IOleControlSite*>(this);
        else if (IsEqualIID(iid, IID_IDispatch))
            *out = static_cast<IDispatch*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* out) override {
        *out = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *document = nullptr;
        *position = {0, 0, 400, 300};
        *clip = *position;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override {
        ++keys_offered;
        return S_FALSE;
    }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BOOL;
        result->boolVal = user_mode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    ULONG references = 0;
    int activations = 0;
    int deactivations = 0;
    int keys_offered = 0;
    bool user_mode = true;

  private:
    HWND window_;
};

// A property bag with one SRC value.
class Bag : public IPropertyBag {
  public:
    explicit Bag(std::wstring src) : src_(std::move(src)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyBag)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (lstrcmpiW(name, L"SRC") != 0) return E_INVALIDARG;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(src_.c_str());
        return S_OK;
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    ULONG references = 0;

  private:
    std::wstring src_;
};

// A data object offering one CF_HDROP medium whose memory its source keeps:
// the release must go through pUnkForRelease.
class DropData : public IDataObject {
  public:
    explicit DropData(HGLOBAL memory) : memory_(memory) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory_;
        medium->pUnkForRelease = static_cast<IDataObject*>(this);
        AddRef();
        ++handed_out;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    ULONG references = 0;
    int handed_out = 0;

  private:
    HGLOBAL memory_;
};

// A 24-bit BMP of one colour.
std::vector<uint8_t> SolidBmp(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
    const int row = (width * 3 + 3) & ~3;
    const uint32_t image = static_cast<uint32_t>(row * height);
    std::vector<uint8_t> bytes(14 + 40 + image);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(bytes.size());
    file.bfOffBits = 54;
    BITMAPINFOHEADER info{};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = image;
    std::memcpy(bytes.data(), &file, 14);
    std::memcpy(bytes.data() + 14, &info, 40);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = bytes.data() + 54 + y * row + x * 3;
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
    return bytes;
}

// How many pixels of the window's WM_PRINTCLIENT picture match the colour.
int CountColour(HWND window, COLORREF colour) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDC dc(nullptr);
    if (!bitmap || !dc) return 0;
    ScopedSelect select(dc.get(), bitmap.get());
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    const uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    int count = 0;
    for (int i = 0; i < width * height; ++i) count += (pixels[i] & 0xFFFFFF) == wanted;
    return count;
}

class ControlContainerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OleInitialize(nullptr);
        const std::wstring path = WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/bin/PLXAC529.dll");
        module_.Reset(LoadLibraryW(path.c_str()));
        ASSERT_TRUE(module_);
        get_class_object_ = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllGetClassObject")));
        can_unload_ = reinterpret_cast<ServerFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(get_class_object_ && can_unload_);
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = kHostClass;
        RegisterClassW(&window_class);
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600, 500,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override {
        if (host_) DestroyWindow(host_);
        OleUninitialize();
    }

    ComPtr<IOleObject> CreateControl() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(get_class_object_(CLSID_PlovexCtrl, IID_IClassFactory, factory.PutVoid()), S_OK);
        ComPtr<IOleObject> control;
        if (factory) EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, control.PutVoid()), S_OK);
        return control;
    }

    HWND ControlWindow(IOleObject* control) {
        ComPtr<IOleInPlaceObject> in_place;
        HWND window = nullptr;
        if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, in_place.PutVoid())))
            in_place->GetWindow(&window);
        return window;
    }

    ModuleHandle module_;
    GetClassObjectFunction get_class_object_ = nullptr;
    ServerFunction can_unload_ = nullptr;
    HWND host_ = nullptr;
};

TEST_F(ControlContainerTest, ActivatedControlShowsItsSrcDocumentAndUnloadsAfterwards) {
    const std::string dir = MakeScratchDir("control_container");
    const std::string file = dir + "/red page+1.bmp";
    ASSERT_TRUE(WriteHostFile(file, SolidBmp(64, 48, 0, 0, 255)));
    std::wstring src = L"file:///" + WindowsPathOf(file);
    for (wchar_t& c : src) {
        if (c == L'\\') c = L'/';
    }
    // A blank in an escape, a '+' as it stands.
    const size_t blank = src.find(L' ');
    ASSERT_NE(blank, std::wstring::npos);
    src.replace(blank, 1, L"%20");

    Site site(host_);
    Bag bag(src);
    {
        ComPtr<IOleObject> control = CreateControl();
        ASSERT_TRUE(control);
        DWORD status = 0;
        EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
        EXPECT_EQ(status, 131473u);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(control->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()), S_OK);
        EXPECT_EQ(persist->InitNew(), S_OK);
        EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);

        // StartUp before activation waits for the window.
        ComPtr<IPlovexCtrl> automation;
        ASSERT_EQ(control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_EQ(ControlWindow(control.get()), nullptr);

        RECT rect = {0, 0, 400, 300};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &rect), S_OK);
        EXPECT_EQ(site.activations, 1);
        const HWND window = ControlWindow(control.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetParent(window), host_);
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_BORDER);
        const HWND frame = GetWindow(window, GW_CHILD);
        ASSERT_NE(frame, nullptr);
        // The host window itself is never shown here: the style tells.
        EXPECT_TRUE(GetWindowLongW(frame, GWL_STYLE) & WS_VISIBLE);

        HWND view = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            view = FindWindowExW(frame, nullptr, kMainViewClass, nullptr);
            return view && CountColour(view, RGB(255, 0, 0)) > 500;
        })) << "the main view never showed the red page";

        // Keys: the site goes first (no properties flag set yet would be the
        // other order; SRC was loaded, so the viewer's table goes first and
        // the site gets what it does not take).
        ComPtr<IOleInPlaceActiveObject> active;
        ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()), S_OK);
        MSG key = {window, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
        active->TranslateAccelerator(&key);
        EXPECT_EQ(site.keys_offered, 1);

        // A second StartUp while running changes nothing; Shutdown and
        // StartUp restart the viewer in the same window.
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_EQ(GetWindow(window, GW_CHILD), frame);
        EXPECT_EQ(automation->Shutdown(), S_OK);
        EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
        EXPECT_EQ(automation->StartUp(), S_OK);
        EXPECT_NE(GetWindow(window, GW_CHILD), nullptr);

        EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(site.deactivations, 1);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
        EXPECT_EQ(can_unload_(), S_FALSE);
    }
    EXPECT_EQ(site.references, 0u);
    EXPECT_EQ(bag.references, 0u);
    EXPECT_EQ(can_unload_(), S_OK);
}

TEST_F(ControlContainerTest, DesignModePaintsItsStateText) {
    Site site(host_);
    site.user_mode = false;
    {
        ComPtr<IOleObject> control = CreateControl();
        ASSERT_TRUE(control);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        RECT rect = {0, 0, 400, 300};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &rect), S_OK);
        const HWND window = ControlWindow(control.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
        EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_BORDER);
        // Black text in the middle of a white rectangle.
        EXPECT_GT(CountColour(window, RGB(0, 0, 0)), 20);
        control->Close(OLECLOSE_NOSAVE);
        control->SetClientSite(nullptr);
    }
    EXPECT_EQ(site.references, 0u);
}

TEST_F(ControlContainerTest, DropReleasesTheMediumThroughItsSource) {
    Site site(host_);
    const std::string dir = MakeScratchDir("control_drop");
    const std::string file = dir + "/dropped.bmp";
    ASSERT_TRUE(WriteHostFile(file, SolidBmp(16, 16, 255, 0, 0)));
    const std::wstring name = WindowsPathOf(file);
    const size_t bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    ASSERT_NE(memory, nullptr);
    {
        GlobalLockScope locked(memory);
        auto* header = static_cast<DROPFILES*>(locked.data());
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        std::memcpy(static_cast<uint8_t*>(locked.data()) + sizeof(DROPFILES), name.c_str(),
                    name.size() * sizeof(wchar_t));
    }
    DropData data(memory);
    {
        ComPtr<IOleObject> control = CreateControl();
        ASSERT_TRUE(control);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        RECT rect = {0, 0, 400, 300};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host_, &rect), S_OK);
        ComPtr<IDropTarget> target;
        ASSERT_EQ(control->QueryInterface(IID_IDropTarget, target.PutVoid()), S_OK);
        DWORD effect = DROPEFFECT_COPY;
        EXPECT_EQ(target->DragEnter(&data, 0, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(target->Drop(&data, 0, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(data.handed_out, 1);
        // The medium went back to its source, which still owns the memory.
        EXPECT_EQ(data.references, 0u);
        EXPECT_EQ(GlobalSize(memory), bytes);
        const HWND frame = GetWindow(ControlWindow(control.get()), GW_CHILD);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(WaitFor([&] {
            HWND view = FindWindowExW(frame, nullptr, kMainViewClass, nullptr);
            return view && CountColour(view, RGB(0, 0, 255)) > 100;
        })) << "the dropped file was not shown";
        target.Reset();
        control->Close(OLECLOSE_NOSAVE);
        control->SetClientSite(nullptr);
    }
    GlobalFree(memory);
    EXPECT_EQ(site.references, 0u);
}

}  // namespace
