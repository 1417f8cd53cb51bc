// A page's script engine of the tests' own: Wine's VBScript engine
// (IActiveScript) runs a script against a hosted control as a browser page
// runs it, with the control as the named item "Plovex". The test calls the
// script's procedures by name (a page's handlers, between which the
// container pumps its messages) and reads its global variables.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <activscp.h>

#include <string>

#include "foundation/handles.h"

namespace control_test {

class PageScript : public IActiveScriptSite {
  public:
    explicit PageScript(IUnknown* control) : control_(control) {}
    ~PageScript() {
        globals_.Reset();
        // Close gives the site back, so the engine never outlives it.
        if (engine_) engine_->Close();
    }
    PageScript(const PageScript&) = delete;
    PageScript& operator=(const PageScript&) = delete;

    // Parses the script and runs its top level; false (with `errors` set
    // when the engine reported one) when any step failed.
    bool Load(const std::wstring& text) {
        CLSID engine_class;
        ComPtr<IActiveScriptParse> parse;
        if (FAILED(CLSIDFromProgID(L"VBScript", &engine_class)) ||
            FAILED(CoCreateInstance(engine_class, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                                    engine_.PutVoid())) ||
            FAILED(engine_->QueryInterface(__uuidof(IActiveScriptParse), parse.PutVoid())) ||
            FAILED(parse->InitNew()) || FAILED(engine_->SetScriptSite(this)) ||
            FAILED(engine_->AddNamedItem(L"Plovex", SCRIPTITEM_ISVISIBLE))) {
            return false;
        }
        EXCEPINFO exception{};
        if (FAILED(parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE,
                                          nullptr, &exception)) ||
            FAILED(engine_->SetScriptState(SCRIPTSTATE_CONNECTED))) {
            return false;
        }
        return SUCCEEDED(engine_->GetScriptDispatch(nullptr, globals_.Put())) && errors.empty();
    }

    // Calls a procedure of the script; its result (empty for a Sub).
    VARIANT Call(const wchar_t* name) { return Invoke(name, DISPATCH_METHOD); }
    // A global variable of the script.
    VARIANT Get(const wchar_t* name) { return Invoke(name, DISPATCH_PROPERTYGET); }

    // What the engine reported: description and line of each script error.
    std::wstring errors;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IActiveScriptSite)) return E_NOINTERFACE;
        *out = static_cast<IActiveScriptSite*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }

    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    // The control is the one named item; the engine needs no type information
    // to call its members.
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** type_info) override {
        if (item) *item = nullptr;
        if (type_info) *type_info = nullptr;
        if (lstrcmpiW(name, L"Plovex") != 0 || !(mask & SCRIPTINFO_IUNKNOWN) || !item)
            return TYPE_E_ELEMENTNOTFOUND;
        *item = control_;
        control_->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        EXCEPINFO exception{};
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetExceptionInfo(&exception);
        error->GetSourcePosition(&context, &line, &column);
        errors += L"line " + std::to_wstring(line + 1) + L": " +
                  (exception.bstrDescription ? exception.bstrDescription : L"?") + L"\n";
        for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
            SysFreeString(text);
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }

  private:
    VARIANT Invoke(const wchar_t* name, WORD kind) {
        VARIANT result;
        VariantInit(&result);
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (globals_ && SUCCEEDED(globals_->GetIDsOfNames(IID_NULL, names, 1, 0, &id)))
            globals_->Invoke(id, IID_NULL, 0, kind, &none, &result, nullptr, nullptr);
        return result;
    }

    IUnknown* control_;  // borrowed: the test holds the control
    ComPtr<IActiveScript> engine_;
    ComPtr<IDispatch> globals_;
    ULONG references_ = 0;
};

}  // namespace control_test
