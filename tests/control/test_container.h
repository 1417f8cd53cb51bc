// The tests' own OLE container: a site with the client, in-place and
// control-site interfaces and ambient properties, a property bag, a data
// object, the control library loaded from the build, and the waits and
// pixel reads the control tests share.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/handles.h"
#include "plovex_idl.h"
#include "tests/support/test_support.h"

namespace control_test {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using ServerFunction = HRESULT(STDAPICALLTYPE*)();

constexpr wchar_t kMainViewClass[] = L"Plovex50Hauptansicht";

// Automation arguments as scripts pass them; whoever passes one clears it
// after the call.
inline VARIANT Text(const std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text.c_str());
    return value;
}

inline VARIANT Long(long number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

inline VARIANT Flag(bool flag) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

inline bool IsTrue(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_TRUE; }
inline bool IsFalse(const VARIANT& value) { return value.vt == VT_BOOL && value.boolVal == VARIANT_FALSE; }
// No object: nothing at all, or a null one.
inline bool IsNothing(const VARIANT& value) {
    return value.vt == VT_EMPTY || (value.vt == VT_DISPATCH && value.pdispVal == nullptr);
}

// Calls a member by its name through IDispatch, as a script does: the
// arguments in declared order, cleared after the call. `invoked` receives
// Invoke's answer, `code` the member's own failure (with DISP_E_EXCEPTION).
inline VARIANT Call(IDispatch* object, const wchar_t* member, std::vector<VARIANT> arguments = {},
                    WORD flags = DISPATCH_METHOD, HRESULT* invoked = nullptr, SCODE* code = nullptr) {
    VARIANT result;
    VariantInit(&result);
    LPOLESTR name = const_cast<LPOLESTR>(member);
    DISPID id = DISPID_UNKNOWN;
    HRESULT answer = object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    std::vector<VARIANT> positional(arguments.rbegin(), arguments.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {positional.data(), nullptr, static_cast<UINT>(positional.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    if (SUCCEEDED(answer))
        answer = object->Invoke(id, IID_NULL, 0, flags, &params, &result, &exception, nullptr);
    if (invoked) *invoked = answer;
    if (code) *code = exception.scode;
    for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
        SysFreeString(text);
    for (VARIANT& value : positional) VariantClear(&value);
    return result;
}

// Pumps messages until the condition holds or 10 s pass.
inline bool WaitFor(const std::function<bool()>& condition) {
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
        *out = page;
        if (!page) return E_NOINTERFACE;
        page->AddRef();
        return S_OK;
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
    STDMETHODIMP OnUIActivate() override {
        ui_active = true;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *document = nullptr;
        *position = {0, 0, 400, 300};
        *clip = *position;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override {
        ui_active = false;
        return S_OK;
    }
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
    STDMETHODIMP OnFocus(BOOL focused) override {
        has_focus = focused != FALSE;
        return S_OK;
    }
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
    // The control made itself UI-active (and has not been deactivated).
    bool ui_active = false;
    bool has_focus = false;
    bool user_mode = true;
    IOleContainer* page = nullptr;  // the hosting page, when the test gives one

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

// A DROPFILES block holding `names`, each ending in a NUL and the list in
// one more; wide or ANSI as the names are.
template <class Char>
std::vector<uint8_t> DropBlock(const std::basic_string<Char>& names) {
    std::vector<uint8_t> block(sizeof(DROPFILES) + names.size() * sizeof(Char));
    auto* header = reinterpret_cast<DROPFILES*>(block.data());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = sizeof(Char) == sizeof(wchar_t);
    std::memcpy(block.data() + sizeof(DROPFILES), names.data(), names.size() * sizeof(Char));
    return block;
}

// A 24-bit BMP of one colour.
inline std::vector<uint8_t> SolidBmp(int width, int height, uint8_t blue, uint8_t green, uint8_t red) {
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
inline int CountColour(HWND window, COLORREF colour) {
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

inline std::wstring ControlLibraryPath() {
    return WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/bin/PLXAC529.dll");
}

// PLXAC529.dll from the build's bin folder, loaded for one test, with its
// four entry points.
class ControlLibrary {
  public:
    ControlLibrary() {
        module_.Reset(LoadLibraryW(ControlLibraryPath().c_str()));
        if (!module_) return;
        get_class_object = Entry<GetClassObjectFunction>("DllGetClassObject");
        can_unload = Entry<ServerFunction>("DllCanUnloadNow");
        register_server = Entry<ServerFunction>("DllRegisterServer");
        unregister_server = Entry<ServerFunction>("DllUnregisterServer");
    }
    bool loaded() const { return get_class_object && can_unload && register_server && unregister_server; }

    // A new control through the class object, as IOleObject.
    ComPtr<IOleObject> CreateControl() const {
        ComPtr<IOleObject> control;
        if (ComPtr<IDispatch> object = CreateObject(CLSID_PlovexCtrl))
            object->QueryInterface(IID_IOleObject, control.PutVoid());
        return control;
    }

    // A new object of one of the library's classes, unbound, as a script's
    // CreateObject makes it.
    ComPtr<IDispatch> CreateObject(REFCLSID class_id) const {
        ComPtr<IClassFactory> factory;
        ComPtr<IDispatch> object;
        if (get_class_object && SUCCEEDED(get_class_object(class_id, IID_IClassFactory, factory.PutVoid())))
            factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
        return object;
    }

    GetClassObjectFunction get_class_object = nullptr;
    ServerFunction can_unload = nullptr;
    ServerFunction register_server = nullptr;
    ServerFunction unregister_server = nullptr;

  private:
    // Through a data pointer: the entry points' types differ from FARPROC's.
    template <class Function>
    Function Entry(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

    ModuleHandle module_;
};

// A window class of the test's module (a second registration is harmless).
inline void RegisterTestWindowClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = name;
    RegisterClassW(&window_class);
}

// The control's own window (null before activation).
inline HWND ControlWindow(IOleObject* control) {
    ComPtr<IOleInPlaceObject> in_place;
    HWND window = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, in_place.PutVoid())))
        in_place->GetWindow(&window);
    return window;
}

// A file: URL of a Unix path, with forward slashes.
inline std::wstring FileUrlOf(const std::string& unix_path) {
    std::wstring url = L"file:///" + WindowsPathOf(unix_path);
    for (wchar_t& c : url) {
        if (c == L'\\') c = L'/';
    }
    return url;
}

// A new control of the library, given SRC through a property bag when
// `src` is not empty and activated in place in `host` for `site`. With
// `untrusted` (INTERFACESAFE_ bits), the container first says what of the
// page is untrusted, as a browser does.
inline ComPtr<IOleObject> ActivateControl(const ControlLibrary& library, Site& site, HWND host,
                                          const std::wstring& src = L"", DWORD untrusted = 0) {
    ComPtr<IOleObject> control = library.CreateControl();
    if (!control || FAILED(control->SetClientSite(&site))) return nullptr;
    ComPtr<IObjectSafety> safety;
    if (untrusted && SUCCEEDED(control->QueryInterface(IID_IObjectSafety, safety.PutVoid())))
        safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, untrusted, untrusted);
    ComPtr<IPersistPropertyBag> persist;
    if (!src.empty() && SUCCEEDED(control->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid()))) {
        Bag bag(src);
        persist->Load(&bag, nullptr);
    }
    RECT rect = {0, 0, 400, 300};
    control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &rect);
    return control;
}

// Closes the control as a container does, so that it gives every
// reference back.
inline void CloseControl(ComPtr<IOleObject>& control) {
    if (!control) return;
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    control.Reset();
}

// A control hosted as a page hosts it: a window of the test's own, the
// site, and the control activated in place, its viewer running. Closes the
// control as a container does, so that it gives every reference back.
class HostedControl {
  public:
    HostedControl() {
        OleInitialize(nullptr);
        RegisterTestWindowClass(L"ControlTestHost", DefWindowProcW);
        host = CreateWindowExW(0, L"ControlTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               600, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        site = std::make_unique<Site>(host);
        if (host) control = ActivateControl(library, *site, host);
        if (control) control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid());
    }
    ~HostedControl() {
        automation.Reset();
        CloseControl(control);
        if (host) DestroyWindow(host);
        OleUninitialize();
    }
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // The viewer's frame is the control window's child once it runs.
    bool running() const {
        const HWND window = control ? ControlWindow(control.get()) : nullptr;
        return automation && window && GetWindow(window, GW_CHILD);
    }

    ControlLibrary library;
    HWND host = nullptr;
    std::unique_ptr<Site> site;
    ComPtr<IOleObject> control;
    ComPtr<IPlovexCtrl> automation;
};

// Waits, bounded, until the document shows its pages.
inline bool WaitForPages(IPlovexCtrl* control, long id, long pages) {
    return WaitFor([&] {
        ComPtr<IDocument> document;
        long count = 0;
        return SUCCEEDED(control->GetDocument(id, document.Put())) && document &&
               SUCCEEDED(document->get_SubDocCount(&count)) && count == pages;
    });
}

// A Group 4 TIFF made by ImageMagick: two pages of different sizes at 200
// dpi, each with a black bar near its top left corner; the first is large
// enough for one reduced copy at 50 %.
inline bool MakeTwoPageTiff(const std::string& path) {
    return RunHostCommand(
               "convert -density 200 -units PixelsPerInch "
               "\\( -size 2400x1600 xc:white -fill black -draw 'rectangle 20,30 400,90' \\) "
               "\\( -size 600x900 xc:white -fill black -draw 'rectangle 10,10 60,300' \\) "
               "-compress Group4 '" +
               path + "'") == 0;
}

}  // namespace control_test
