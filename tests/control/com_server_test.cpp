// The control library seen from outside through its four entry points: the
// class objects and the module's unload answer, and the type library read
// back by Wine's oleaut32 after the library registered itself.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "tests/control/test_container.h"

namespace {

using namespace control_test;

class ComApartment {
  public:
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
};

std::wstring Documentation(ITypeInfo* info, MEMBERID member) {
    BSTR text = nullptr;
    if (FAILED(info->GetDocumentation(member, nullptr, &text, nullptr, nullptr))) return L"?";
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

// "Method Name(parameter, ...)": the help string, then the names of the
// parameters, as the type library gives them.
std::wstring Signature(ITypeInfo* help, ITypeInfo* vtable, MEMBERID member) {
    BSTR names[16] = {};
    UINT count = 0;
    std::wstring result = Documentation(help, member) + L"(";
    if (FAILED(vtable->GetNames(member, names, 16, &count))) return result;
    for (UINT i = 0; i < count; ++i) {
        if (i > 1) result += L", ";
        if (i > 0) result += names[i] ? names[i] : L"";
        SysFreeString(names[i]);
    }
    return result + L")";
}

// Each interface's members in dispid order, from 1.
const wchar_t* const kControlMembers[] = {
    L"Method GetInfo(pszName, vValue, pvResult)",
    L"Method FileOpen(pszFilename, pszAnzeigename, pszOptionen, plDocumentID)",
    L"Method FileCloseAll()",
    L"Method FileClose(lDocumentID, pbResult)",
    L"Method SetPage(lDocumentID, iPageIndexBase0, pbResult)",
    L"Method SetRestrictions(lNewRestrictions, pbResult)",
    L"Method SetViewMode(lView, lMode, pbResult)",
    L"Method GetViewMode(lViewID, plMode)",
    L"Method SetViewRect(lViewID, lLeft, lTop, lWidth, lHeight, pbResult)",
    L"Method GetViewPosX(lViewID, plPos)",
    L"Method GetViewPosY(lViewID, plPos)",
    L"Method GetViewWidth(lViewID, plWidth)",
    L"Method GetViewHeight(lViewID, plHeight)",
    L"Method SetPopupsAreMoveable(vbMoveable, pbResult)",
    L"Method SetMovePopupsWithMainWindow(vbMoveWithMainWindow, pbResult)",
    L"Method GetCurrentDocumentID(plDokID)",
    L"Method GetDocument(lDocumentID, ppDocument)",
    L"Method SetPreferPlovexShortcuts(bPreferPlovex)",
    L"Method Shutdown()",
    L"Method StartUp()",
    L"Method ConvertDoc(pszFilename, pConverter)"};

const wchar_t* const kDocumentMembers[] = {
    L"Property ID(pVal)",
    L"Property Name(pVal)",
    L"Property Type(pVal)",
    L"Property FileName(pVal)",
    L"Property PageIndex(pVal)",
    L"Property WidthMM(pVal)",
    L"Property HeightMM(pVal)",
    L"Property IsInverted(pVal)",
    L"Property IsFlippedX(pVal)",
    L"Property IsFlippedY(pVal)",
    L"Property Rotation(pVal)",
    L"Method SetInverted(bInvert, pbResult)",
    L"Method SetFlipX(bFlip, pbResult)",
    L"Method SetFlipY(bFlip, pbResult)",
    L"Method SetRotation(lRotation, pbResult)",
    L"Method SetZoomRect(dLeftMM, dTopMM, dWidthMM, dHeightMM, pbResult)",
    L"Method Zoom(dFactor, pbResult)",
    L"Property SubDocCount(pVal)",
    L"Method GetSubDoc(lIndexBase0, ppSubDoc)",
    L"Method Convert(bPreserveViewSettings, pConverter)"};

const wchar_t* const kConverterMembers[] = {L"Method Convert(pszTargetFileName, pbResult)",
                                            L"Property Rotation(pDegree)",
                                            L"Property TargetType(pVal)",
                                            L"Property Compression(pVal)",
                                            L"Property Quality(pVal)",
                                            L"Property ImageDescription(pVal)",
                                            L"Method AddTiffStringTag(lTagID, pszContent, pbResult)",
                                            L"Property Layout(pVal)"};

struct InterfaceCase {
    const IID* iid;
    const wchar_t* help;
    bool extensible;
    const wchar_t* const* members;
    size_t member_count;
};

// Dispids from 1 in member order, the help strings and parameter names,
// and the dual and extensibility flags of one interface.
void CheckInterface(ITypeLib* library, const InterfaceCase& expected) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(*expected.iid, info.Put()), S_OK);
    EXPECT_EQ(Documentation(info.get(), MEMBERID_NIL), expected.help);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL) << "dual";
    EXPECT_EQ((attributes->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE) == 0, expected.extensible);
    info->ReleaseTypeAttr(attributes);
    // The dispatch side hides the retval parameter; the interface side of
    // the dual interface names every parameter.
    HREFTYPE vtable_reference = 0;
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(info->GetRefTypeOfImplType(-1, &vtable_reference), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(vtable_reference, vtable.Put()), S_OK);
    for (size_t i = 0; i < expected.member_count; ++i) {
        const std::wstring signature = expected.members[i];
        SCOPED_TRACE(std::string(signature.begin(), signature.end()));
        const size_t name_start = signature.find(L' ') + 1;
        std::wstring name = signature.substr(name_start, signature.find(L'(') - name_start);
        LPOLESTR names[] = {name.data()};
        MEMBERID id = MEMBERID_NIL;
        ASSERT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
        EXPECT_EQ(id, static_cast<MEMBERID>(i + 1));
        EXPECT_EQ(Signature(info.get(), vtable.get(), id), signature);
    }
}

class ComServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.loaded()) << "PLXAC529.dll not built or without its entry points";
    }

    ComApartment apartment;
    ControlLibrary server;
};

TEST_F(ComServerTest, UnknownClassIsNotAvailable) {
    const CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.get_class_object(unknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    // A known class asked for an interface its factory does not have.
    EXPECT_EQ(server.get_class_object(CLSID_Converter, IID_IDispatch, &factory), E_NOINTERFACE);
    EXPECT_EQ(factory, nullptr);
}

TEST_F(ComServerTest, ObjectsAndLocksHoldTheModule) {
    ASSERT_EQ(server.can_unload(), S_OK);
    for (const CLSID* class_id : {&CLSID_Converter, &CLSID_Document, &CLSID_PlovexCtrl}) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(server.get_class_object(*class_id, IID_IClassFactory, factory.PutVoid()), S_OK);
        EXPECT_EQ(server.can_unload(), S_FALSE) << "a factory lives";
        ComPtr<IDispatch> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), S_OK);
        ComPtr<IUnknown> outer;
        void* refused = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, &refused), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        factory.Reset();
        object.Reset();
        EXPECT_EQ(server.can_unload(), S_FALSE) << "a lock holds";
        // Only the lock holds the module now: a new factory takes it off.
        ASSERT_EQ(server.get_class_object(*class_id, IID_IClassFactory, factory.PutVoid()), S_OK);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        factory.Reset();
        EXPECT_EQ(server.can_unload(), S_OK);
    }
}

TEST_F(ComServerTest, ObjectsAnswerTheirInterfacesAndClassInfo) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.get_class_object(CLSID_PlovexCtrl, IID_IClassFactory, factory.PutVoid()), S_OK);
    ComPtr<IPlovexCtrl> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPlovexCtrl, control.PutVoid()), S_OK);
    ComPtr<IProvideClassInfo2> class_info;
    ASSERT_EQ(control->QueryInterface(IID_IProvideClassInfo2, class_info.PutVoid()), S_OK);
    GUID source = GUID_NULL;
    EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID__IPlovexCtrlEvents));
    // Identity: IUnknown from any interface is the same pointer.
    ComPtr<IUnknown> first;
    ComPtr<IUnknown> second;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, first.PutVoid()), S_OK);
    ASSERT_EQ(class_info->QueryInterface(IID_IUnknown, second.PutVoid()), S_OK);
    EXPECT_EQ(first.get(), second.get());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(control->QueryInterface(IID_IConverter, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    ComPtr<IConverter> converter;

    ASSERT_EQ(server.get_class_object(CLSID_Converter, IID_IClassFactory, factory.PutVoid()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IConverter, converter.PutVoid()), S_OK);
    ComPtr<ISupportErrorInfo> error_info;
    ASSERT_EQ(converter->QueryInterface(IID_ISupportErrorInfo, error_info.PutVoid()), S_OK);
    EXPECT_EQ(error_info->InterfaceSupportsErrorInfo(IID_IConverter), S_FALSE);
    ASSERT_EQ(converter->QueryInterface(IID_IProvideClassInfo2, class_info.PutVoid()), S_OK);
    EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), E_INVALIDARG);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(class_info->GetClassInfo(coclass.Put()), S_OK);
    EXPECT_EQ(Documentation(coclass.get(), MEMBERID_NIL), L"Plovex Converter Class");
}

TEST_F(ComServerTest, RegisteredTypeLibraryReadsBack) {
    ASSERT_EQ(server.register_server(), S_OK);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_PLOVEXACTIVEXCTRLLib, 1, 0, 0x409, library.Put()), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->lcid, 0x409u);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"PLOVEXACTIVEXCTRLLib");
    EXPECT_STREQ(help, L"Plovex ActiveX 5.2.9 Typbibliothek");
    SysFreeString(name);
    SysFreeString(help);

    const InterfaceCase interfaces[] = {
        {&IID_IPlovexCtrl, L"IPlovexCtrl Interface", true, kControlMembers, std::size(kControlMembers)},
        {&IID_IDocument, L"Plovex::IDocument Interface", true, kDocumentMembers, std::size(kDocumentMembers)},
        {&IID_IConverter, L"IConverter-Schnittstelle", false, kConverterMembers,
         std::size(kConverterMembers)},
    };
    for (const InterfaceCase& expected : interfaces) CheckInterface(library.get(), expected);

    ComPtr<ITypeInfo> events;
    ASSERT_EQ(library->GetTypeInfoOfGuid(DIID__IPlovexCtrlEvents, events.Put()), S_OK);
    LPOLESTR selection = const_cast<LPOLESTR>(L"SelectionChanged");
    MEMBERID id = MEMBERID_NIL;
    ASSERT_EQ(events->GetIDsOfNames(&selection, 1, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(Documentation(events.get(), id), L"Method SelectionChanged");

    // The classes' help strings, and the control's default source interface.
    const std::pair<const CLSID*, const wchar_t*> classes[] = {
        {&CLSID_PlovexCtrl, L"PlovexCtrl Class"},
        {&CLSID_Document, L"Plovex Dokument Class"},
        {&CLSID_Converter, L"Plovex Converter Class"},
    };
    for (const auto& [class_id, class_help] : classes) {
        ComPtr<ITypeInfo> coclass;
        ASSERT_EQ(library->GetTypeInfoOfGuid(*class_id, coclass.Put()), S_OK);
        EXPECT_EQ(Documentation(coclass.get(), MEMBERID_NIL), class_help);
    }
    ComPtr<ITypeInfo> control;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_PlovexCtrl, control.Put()), S_OK);
    TYPEATTR* control_attributes = nullptr;
    ASSERT_EQ(control->GetTypeAttr(&control_attributes), S_OK);
    const UINT implemented = control_attributes->cImplTypes;
    control->ReleaseTypeAttr(control_attributes);
    GUID default_source = GUID_NULL;
    GUID default_interface = GUID_NULL;
    for (UINT i = 0; i < implemented; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> implementation;
        ASSERT_EQ(control->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(control->GetRefTypeOfImplType(i, &reference), S_OK);
        ASSERT_EQ(control->GetRefTypeInfo(reference, implementation.Put()), S_OK);
        TYPEATTR* implementation_attributes = nullptr;
        ASSERT_EQ(implementation->GetTypeAttr(&implementation_attributes), S_OK);
        if ((flags & IMPLTYPEFLAG_FDEFAULT) && (flags & IMPLTYPEFLAG_FSOURCE)) {
            default_source = implementation_attributes->guid;
        } else if (flags & IMPLTYPEFLAG_FDEFAULT) {
            default_interface = implementation_attributes->guid;
        }
        implementation->ReleaseTypeAttr(implementation_attributes);
    }
    EXPECT_TRUE(IsEqualGUID(default_source, DIID__IPlovexCtrlEvents));
    EXPECT_TRUE(IsEqualGUID(default_interface, IID_IPlovexCtrl));

    library.Reset();
    ASSERT_EQ(server.unregister_server(), S_OK);
    EXPECT_NE(LoadRegTypeLib(LIBID_PLOVEXACTIVEXCTRLLib, 1, 0, 0x409, library.Put()), S_OK);
    // Removing what is no longer registered is no failure.
    EXPECT_EQ(server.unregister_server(), S_OK);
}

// A form designer shows the control in its toolbox by the picture that the
// registration names: "module path, resource number", a bitmap of the
// module, 16 by 16.
TEST_F(ComServerTest, RegisteredToolboxBitmapIsInTheModule) {
    ASSERT_EQ(server.register_server(), S_OK);
    wchar_t class_text[40] = {};
    ASSERT_GT(StringFromGUID2(CLSID_PlovexCtrl, class_text, 40), 0);
    const std::wstring key = std::wstring(L"CLSID\\") + class_text + L"\\ToolboxBitmap32";
    wchar_t value[MAX_PATH + 20] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    const std::wstring text = value;
    const size_t comma = text.rfind(L',');
    ASSERT_NE(comma, std::wstring::npos) << Utf8Of(text);
    const std::wstring path = text.substr(0, comma);
    const int number = _wtoi(text.c_str() + comma + 1);
    EXPECT_EQ(lstrcmpiW(path.c_str(), ControlLibraryPath().c_str()), 0) << Utf8Of(path);
    ModuleHandle module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(module.get(), MAKEINTRESOURCEW(number), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ASSERT_TRUE(bitmap) << "no bitmap " << number << " in the module";
    BITMAP picture{};
    ASSERT_EQ(GetObjectW(bitmap.get(), sizeof(picture), &picture), static_cast<int>(sizeof(picture)));
    EXPECT_EQ(picture.bmWidth, 16);
    EXPECT_EQ(picture.bmHeight, 16);
    EXPECT_EQ(server.unregister_server(), S_OK);
}

}  // namespace
