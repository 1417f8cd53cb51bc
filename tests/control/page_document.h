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

    // The rest of the page interface.
    STDMETHODIMP get_Script(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_all(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_body(IHTMLElement**) override { return E_NOTIMPL; }
    STDMETHODIMP get_activeElement(IHTMLElement**) override { return E_NOTIMPL; }
    STDMETHODIMP get_images(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_applets(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_links(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_forms(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_anchors(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP put_title(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_title(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_scripts(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP put_designMode(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_designMode(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_selection(IHTMLSelectionObject**) override { return E_NOTIMPL; }
    STDMETHODIMP get_readyState(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_frames(IHTMLFramesCollection2**) override { return E_NOTIMPL; }
    STDMETHODIMP get_embeds(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP get_plugins(IHTMLElementCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP put_alinkColor(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_alinkColor(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_bgColor(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_bgColor(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_fgColor(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_fgColor(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_linkColor(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_linkColor(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_vlinkColor(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_vlinkColor(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_referrer(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_location(IHTMLLocation**) override { return E_NOTIMPL; }
    STDMETHODIMP get_lastModified(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_URL(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_domain(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_domain(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_cookie(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_cookie(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_expando(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_expando(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_charset(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_charset(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_defaultCharset(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_defaultCharset(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileSize(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileCreatedDate(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileModifiedDate(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_fileUpdatedDate(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_security(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_protocol(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_nameProp(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP write(SAFEARRAY*) override { return E_NOTIMPL; }
    STDMETHODIMP writeln(SAFEARRAY*) override { return E_NOTIMPL; }
    STDMETHODIMP open(BSTR, VARIANT, VARIANT, VARIANT, IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP close() override { return E_NOTIMPL; }
    STDMETHODIMP clear() override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandSupported(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandEnabled(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandState(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandIndeterm(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandText(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP queryCommandValue(BSTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP execCommand(BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP execCommandShowHelp(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP createElement(BSTR, IHTMLElement**) override { return E_NOTIMPL; }
    STDMETHODIMP put_onhelp(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onhelp(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onclick(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onclick(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondblclick(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondblclick(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeyup(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeyup(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeydown(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeydown(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeypress(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeypress(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseup(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseup(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousedown(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousedown(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousemove(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousemove(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseout(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseout(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseover(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseover(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onreadystatechange(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onreadystatechange(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onafterupdate(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onafterupdate(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowexit(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowexit(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowenter(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowenter(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondragstart(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondragstart(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onselectstart(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onselectstart(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP elementFromPoint(LONG, LONG, IHTMLElement**) override { return E_NOTIMPL; }
    STDMETHODIMP get_parentWindow(IHTMLWindow2**) override { return E_NOTIMPL; }
    STDMETHODIMP get_styleSheets(IHTMLStyleSheetsCollection**) override { return E_NOTIMPL; }
    STDMETHODIMP put_onbeforeupdate(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onbeforeupdate(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_onerrorupdate(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_onerrorupdate(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP toString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP createStyleSheet(BSTR, LONG, IHTMLStyleSheet**) override { return E_NOTIMPL; }

    ULONG references = 0;

  private:
    std::wstring mime_type_;
    std::wstring url_;
};

}  // namespace control_test
