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

// The member's name and its parameters' names, as the type library gives them.
std::vector<std::wstring> Names(ITypeInfo* info, MEMBERID member) {
    BSTR names[16] = {};
    UINT count = 0;
    std::vector<std::wstring> result;
    if (FAILED(info->GetNames(member, names, 16, &count))) return result;
    for (UINT i = 0; i < count; ++i) {
        result.push_back(names[i] ? names[i] : L"");
        SysFreeString(names[i]);
    }
    return result;
}

// A member's name, then its parameters' names; its help string names it as
// a method or as a property.
struct Member {
    std::vector<std::wstring> names;
    bool property = false;
};
constexpr bool kProperty = true;

const Member kControlMembers[] = {
    {{L"GetInfo", L"pszName", L"vValue", L"pvResult"}},
    {{L"FileOpen", L"pszFilename", L"pszAnzeigename", L"pszOptionen", L"plDocumentID"}},
    {{L"FileCloseAll"}},
    {{L"FileClose", L"lDocumentID", L"pbResult"}},
    {{L"SetPage", L"lDocumentID", L"iPageIndexBase0", L"pbResult"}},
    {{L"SetRestrictions", L"lNewRestrictions", L"pbResult"}},
    {{L"SetViewMode", L"lView", L"lMode", L"pbResult"}},
    {{L"GetViewMode", L"lViewID", L"plMode"}},
    {{L"SetViewRect", L"lViewID", L"lLeft", L"lTop", L"lWidth", L"lHeight", L"pbResult"}},
    {{L"GetViewPosX", L"lViewID", L"plPos"}},
    {{L"GetViewPosY", L"lViewID", L"plPos"}},
    {{L"GetViewWidth", L"lViewID", L"plWidth"}},
    {{L"GetViewHeight", L"lViewID", L"plHeight"}},
    {{L"SetPopupsAreMoveable", L"vbMoveable", L"pbResult"}},
    {{L"SetMovePopupsWithMainWindow", L"vbMoveWithMainWindow", L"pbResult"}},
    {{L"GetCurrentDocumentID", L"plDokID"}},
    {{L"GetDocument", L"lDocumentID", L"ppDocument"}},
    {{L"SetPreferPlovexShortcuts", L"bPreferPlovex"}},
    {{L"Shutdown"}},
    {{L"StartUp"}},
    {{L"ConvertDoc", L"pszFilename", L"pConverter"}},
};

const Member kDocumentMembers[] = {
    {{L"ID", L"pVal"}, kProperty},
    {{L"Name", L"pVal"}, kProperty},
    {{L"Type", L"pVal"}, kProperty},
    {{L"FileName", L"pVal"}, kProperty},
    {{L"PageIndex", L"pVal"}, kProperty},
    {{L"WidthMM", L"pVal"}, kProperty},
    {{L"HeightMM", L"pVal"}, kProperty},
    {{L"IsInverted", L"pVal"}, kProperty},
    {{L"IsFlippedX", L"pVal"}, kProperty},
    {{L"IsFlippedY", L"pVal"}, kProperty},
    {{L"Rotation", L"pVal"}, kProperty},
    {{L"SetInverted", L"bInvert", L"pbResult"}},
    {{L"SetFlipX", L"bFlip", L"pbResult"}},
    {{L"SetFlipY", L"bFlip", L"pbResult"}},
    {{L"SetRotation", L"lRotation", L"pbResult"}},
    {{L"SetZoomRect", L"dLeftMM", L"dTopMM", L"dWidthMM", L"dHeightMM", L"pbResult"}},
    {{L"Zoom", L"dFactor", L"pbResult"}},
    {{L"SubDocCount", L"pVal"}, kProperty},
    {{L"GetSubDoc", L"lIndexBase0", L"ppSubDoc"}},
    {{L"Convert", L"bPreserveViewSettings", L"pConverter"}},
};

const Member kConverterMembers[] = {
    {{L"Convert", L"pszTargetFileName", L"pbResult"}},
    {{L"Rotation", L"pDegree"}, kProperty},
    {{L"TargetType", L"pVal"}, kProperty},
    {{L"Compression", L"pVal"}, kProperty},
    {{L"Quality", L"pVal"}, kProperty},
    {{L"ImageDescription", L"pVal"}, kProperty},
    {{L"AddTiffStringTag", L"lTagID", L"pszContent", L"pbResult"}},
    {{L"Layout", L"pVal"}, kProperty},
};

struct InterfaceCase {
    const IID* iid;
    const wchar_t* help;
    bool extensible;
    const Member* members;
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
        const Member& member = expected.members[i];
        SCOPED_TRACE(std::string(member.names[0].begin(), member.names[0].end()));
        LPOLESTR name = const_cast<LPOLESTR>(member.names[0].c_str());
        MEMBERID id = MEMBERID_NIL;
        ASSERT_EQ(info->GetIDsOfNames(&name, 1, &id), S_OK);
        EXPECT_EQ(id, static_cast<MEMBERID>(i + 1));
        EXPECT_EQ(Names(vtable.get(), id), member.names);
        EXPECT_EQ(Documentation(info.get(), id),
                  (member.property ? L"Property " : L"Method ") + member.names[0]);
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
    // The unstarted control's methods answer without a viewer.
    long id = 0;
    EXPECT_EQ(control->GetCurrentDocumentID(&id), S_OK);
    EXPECT_EQ(id, -1);
    ComPtr<IConverter> converter;
    BSTR empty = SysAllocString(L"");
    EXPECT_EQ(control->ConvertDoc(empty, converter.Put()), E_INVALIDARG);
    SysFreeString(empty);
    EXPECT_FALSE(converter);

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

}  // namespace
