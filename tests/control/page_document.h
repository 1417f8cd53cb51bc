// A page document of the tests' own: the hosting page's container, which
// answers only its MIME type and URL (what the control asks of a page). Every
// other member of the page interface answers E_NOTIMPL.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <mshtml.h>
#include <oleidl.h>

#include <string>

namespace control_test {

class PageDocument : public IHTMLDocument2, public IOleContainer {
  public:
    PageDocument(std::wstring mime_type, std::wstring url)
        : mime_type_(std::move(mime_type)), url_(std::move(url)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleContainer) ||
            IsEqualIID(iid, IID_IParseDisplayName))
            *out = static_cast<IOleContainer*>(this);
        else if (IsEqualIID(iid, IID_IHTMLDocument2) || IsEqualIID(iid, IID_IHTMLDocument) ||
                 IsEqualIID(iid, IID_IDispatch))
            *out = static_cast<IHTMLDocument2*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    // IOleContainer
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP LockContainer(BOOL) override { return S_OK; }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // What the control reads.
    STDMETHODIMP get_URL(BSTR* out) override {
        *out = SysAllocString(url_.c_str());
        return S_OK;
    }
    STDMETHODIMP get_mimeType(BSTR* out) override {
        *out = SysAllocString(mime_type_.c_str());
        return S_OK;
    }

    // The rest of the page interface, which the control never calls.
#define PAGE_UNUSED(name, ...) \
    STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }
#define PAGE_UNUSED_PROPERTY(name, type) PAGE_UNUSED(put_##name, type) PAGE_UNUSED(get_##name, type*)
    // clang-format off
    PAGE_UNUSED(get_Script, IDispatch**) PAGE_UNUSED(get_all, IHTMLElementCollection**)
    PAGE_UNUSED(get_body, IHTMLElement**) PAGE_UNUSED(get_activeElement, IHTMLElement**)
    PAGE_UNUSED(get_images, IHTMLElementCollection**) PAGE_UNUSED(get_applets, IHTMLElementCollection**)
    PAGE_UNUSED(get_links, IHTMLElementCollection**) PAGE_UNUSED(get_forms, IHTMLElementCollection**)
    PAGE_UNUSED(get_anchors, IHTMLElementCollection**) PAGE_UNUSED_PROPERTY(title, BSTR)
    PAGE_UNUSED(get_scripts, IHTMLElementCollection**) PAGE_UNUSED_PROPERTY(designMode, BSTR)
    PAGE_UNUSED(get_selection, IHTMLSelectionObject**) PAGE_UNUSED(get_readyState, BSTR*)
    PAGE_UNUSED(get_frames, IHTMLFramesCollection2**) PAGE_UNUSED(get_embeds, IHTMLElementCollection**)
    PAGE_UNUSED(get_plugins, IHTMLElementCollection**) PAGE_UNUSED_PROPERTY(alinkColor, VARIANT)
    PAGE_UNUSED_PROPERTY(bgColor, VARIANT) PAGE_UNUSED_PROPERTY(fgColor, VARIANT)
    PAGE_UNUSED_PROPERTY(linkColor, VARIANT) PAGE_UNUSED_PROPERTY(vlinkColor, VARIANT)
    PAGE_UNUSED(get_referrer, BSTR*) PAGE_UNUSED(get_location, IHTMLLocation**)
    PAGE_UNUSED(get_lastModified, BSTR*) PAGE_UNUSED(put_URL, BSTR) PAGE_UNUSED_PROPERTY(domain, BSTR)
    PAGE_UNUSED_PROPERTY(cookie, BSTR) PAGE_UNUSED_PROPERTY(expando, VARIANT_BOOL)
    PAGE_UNUSED_PROPERTY(charset, BSTR) PAGE_UNUSED_PROPERTY(defaultCharset, BSTR)
    PAGE_UNUSED(get_fileSize, BSTR*) PAGE_UNUSED(get_fileCreatedDate, BSTR*)
    PAGE_UNUSED(get_fileModifiedDate, BSTR*) PAGE_UNUSED(get_fileUpdatedDate, BSTR*)
    PAGE_UNUSED(get_security, BSTR*) PAGE_UNUSED(get_protocol, BSTR*) PAGE_UNUSED(get_nameProp, BSTR*)
    PAGE_UNUSED(write, SAFEARRAY*) PAGE_UNUSED(writeln, SAFEARRAY*)
    PAGE_UNUSED(open, BSTR, VARIANT, VARIANT, VARIANT, IDispatch**) PAGE_UNUSED(close) PAGE_UNUSED(clear)
    PAGE_UNUSED(queryCommandSupported, BSTR, VARIANT_BOOL*)
    PAGE_UNUSED(queryCommandEnabled, BSTR, VARIANT_BOOL*) PAGE_UNUSED(queryCommandState, BSTR, VARIANT_BOOL*)
    PAGE_UNUSED(queryCommandIndeterm, BSTR, VARIANT_BOOL*) PAGE_UNUSED(queryCommandText, BSTR, BSTR*)
    PAGE_UNUSED(queryCommandValue, BSTR, VARIANT*)
    PAGE_UNUSED(execCommand, BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*)
    PAGE_UNUSED(execCommandShowHelp, BSTR, VARIANT_BOOL*) PAGE_UNUSED(createElement, BSTR, IHTMLElement**)
    PAGE_UNUSED_PROPERTY(onhelp, VARIANT) PAGE_UNUSED_PROPERTY(onclick, VARIANT)
    PAGE_UNUSED_PROPERTY(ondblclick, VARIANT) PAGE_UNUSED_PROPERTY(onkeyup, VARIANT)
    PAGE_UNUSED_PROPERTY(onkeydown, VARIANT) PAGE_UNUSED_PROPERTY(onkeypress, VARIANT)
    PAGE_UNUSED_PROPERTY(onmouseup, VARIANT) PAGE_UNUSED_PROPERTY(onmousedown, VARIANT)
    PAGE_UNUSED_PROPERTY(onmousemove, VARIANT) PAGE_UNUSED_PROPERTY(onmouseout, VARIANT)
    PAGE_UNUSED_PROPERTY(onmouseover, VARIANT) PAGE_UNUSED_PROPERTY(onreadystatechange, VARIANT)
    PAGE_UNUSED_PROPERTY(onafterupdate, VARIANT) PAGE_UNUSED_PROPERTY(onrowexit, VARIANT)
    PAGE_UNUSED_PROPERTY(onrowenter, VARIANT) PAGE_UNUSED_PROPERTY(ondragstart, VARIANT)
    PAGE_UNUSED_PROPERTY(onselectstart, VARIANT) PAGE_UNUSED(elementFromPoint, LONG, LONG, IHTMLElement**)
    PAGE_UNUSED(get_parentWindow, IHTMLWindow2**) PAGE_UNUSED(get_styleSheets, IHTMLStyleSheetsCollection**)
    PAGE_UNUSED_PROPERTY(onbeforeupdate, VARIANT) PAGE_UNUSED_PROPERTY(onerrorupdate, VARIANT)
    PAGE_UNUSED(toString, BSTR*) PAGE_UNUSED(createStyleSheet, BSTR, LONG, IHTMLStyleSheet**)
    // clang-format on
#undef PAGE_UNUSED_PROPERTY
#undef PAGE_UNUSED

                                                                                                    ULONG
        references = 0;

  private:
    std::wstring mime_type_;
    std::wstring url_;
};

}  // namespace control_test
