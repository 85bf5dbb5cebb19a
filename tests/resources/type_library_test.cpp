// The type library that each built DLL carries, loaded from the DLL's path
// as the server's own IDispatch and the registration load it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dll_under_test.h"
#include "platform/com_ref.h"
#include "platform/owned_string.h"
#include "server_ids.h"

namespace {

// The text of a string the type library handed out, "<null>" when it gave none.
std::wstring TextOf(const platform::SystemString& text) { return text ? text.Text() : L"<null>"; }

GUID Guid(const char* text) {
    const std::string narrow(text);
    std::wstring wide(narrow.begin(), narrow.end());
    GUID guid{};
    EXPECT_EQ(CLSIDFromString(wide.c_str(), &guid), S_OK) << text;
    return guid;
}

struct Documentation { std::wstring name; std::wstring help; };

template <typename T>
Documentation Document(T* owner, MEMBERID member) {
    platform::SystemString name, help;
    EXPECT_EQ(owner->GetDocumentation(member, name.Receive(), help.Receive(), nullptr, nullptr), S_OK);
    return {TextOf(name), TextOf(help)};
}

class TypeLibrary : public ::testing::TestWithParam<DllUnderTest> {
protected:
    void SetUp() override {
        ASSERT_DLL_PRESENT(GetParam());
        ASSERT_EQ(LoadTypeLibEx(WideWindowsPath(GetParam()).c_str(), REGKIND_NONE, library_.Receive()), S_OK);
    }
    // The dispatch description of IControlInstaller and the interface behind it.
    void Interface(platform::ComRef<ITypeInfo>& dispatch, platform::ComRef<ITypeInfo>& vtable) {
        ASSERT_EQ(library_->GetTypeInfoOfGuid(Guid(TERVAGON_IID_TEXT), dispatch.Receive()), S_OK);
        HREFTYPE behind = 0;
        ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &behind), S_OK);  // -1: the dual interface's vtable side
        ASSERT_EQ(dispatch->GetRefTypeInfo(behind, vtable.Receive()), S_OK);
    }
    platform::ComRef<ITypeLib> library_;
};

TEST_P(TypeLibrary, LibraryIsTervagonLibVersion1_0) {
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, Guid(TERVAGON_LIBID_TEXT)));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->syskind, GetParam().syskind);
    library_->ReleaseTLibAttr(attributes);
    const Documentation doc = Document(library_.Get(), -1);
    EXPECT_EQ(doc.name, L"TervagonLib");
    EXPECT_EQ(doc.help, L"Tervagon 1.0 Type Library");
    EXPECT_EQ(library_->GetTypeInfoCount(), 2u);  // the interface and the class
}

TEST_P(TypeLibrary, InterfaceIsDualNonextensibleOleAutomation) {
    platform::ComRef<ITypeInfo> dispatch, vtable;
    ASSERT_NO_FATAL_FAILURE(Interface(dispatch, vtable));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    // The dispatch side of a dual interface: what script sees.
    EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
    dispatch->ReleaseTypeAttr(attributes);
    const Documentation doc = Document(dispatch.Get(), MEMBERID_NIL);
    EXPECT_EQ(doc.name, L"IControlInstaller");
    EXPECT_EQ(doc.help, L"IControlInstaller Interface");

    ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->wTypeFlags,
              TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attributes->cFuncs, 3);  // its own methods; the seven of IDispatch come first
    EXPECT_EQ(attributes->cbSizeVft, 10 * GetParam().pointerSize);  // as stored for the library's platform
    vtable->ReleaseTypeAttr(attributes);
}

TEST_P(TypeLibrary, InterfaceDerivesFromTheStandardIDispatch) {
    platform::ComRef<ITypeInfo> dispatch, vtable;
    ASSERT_NO_FATAL_FAILURE(Interface(dispatch, vtable));
    HREFTYPE base = 0;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &base), S_OK);
    platform::ComRef<ITypeInfo> baseInfo;
    ASSERT_EQ(vtable->GetRefTypeInfo(base, baseInfo.Receive()), S_OK);
    EXPECT_EQ(Document(baseInfo.Get(), MEMBERID_NIL).name, L"IDispatch");
    platform::ComRef<ITypeLib> imported;
    UINT index = 0;
    ASSERT_EQ(baseInfo->GetContainingTypeLib(imported.Receive(), &index), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(imported->GetLibAttr(&attributes), S_OK);
    // The standard OLE automation library, stdole2.tlb.
    EXPECT_TRUE(IsEqualGUID(attributes->guid, Guid("{00020430-0000-0000-C000-000000000046}")));
    imported->ReleaseTLibAttr(attributes);
}

struct Parameter {
    const wchar_t* name;
    USHORT flags;
    bool out;  // BSTR* rather than BSTR
};

struct Method { const wchar_t* name; MEMBERID dispid; std::vector<Parameter> parameters; const wchar_t* help; };

const Method kMethods[] = {
    {L"isValidControl",
     1,
     {{L"inBstrGuid", PARAMFLAG_FIN, false},
      {L"inBstrVersion", PARAMFLAG_FIN, false},
      {L"outBstrRetValue", PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, true}},
     L"method isValidControl"},
    {L"getControlVersion",
     2,
     {{L"inBstrGuid", PARAMFLAG_FIN, false}, {L"outBstrRetValue", PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, true}},
     L"method getControlVersion"},
    {L"getPackageVersion", 3, {{L"outBstrRetValue", PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, true}},
     L"method getPackageVersion"},
};

TEST_P(TypeLibrary, MethodsHaveTheirDispidsParametersAndHelp) {
    platform::ComRef<ITypeInfo> dispatch, vtable;
    ASSERT_NO_FATAL_FAILURE(Interface(dispatch, vtable));
    for (UINT index = 0; index < 3; ++index) {
        const Method& method = kMethods[index];
        SCOPED_TRACE(testing::Message() << "method " << index);
        FUNCDESC* function = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(index, &function), S_OK);
        EXPECT_EQ(function->memid, method.dispid);
        EXPECT_EQ(function->invkind, INVOKE_FUNC);
        // Slot offsets are given for the loading process's pointers, whatever the library's platform.
        EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(static_cast<std::size_t>(function->cParams), method.parameters.size());
        for (std::size_t p = 0; p < method.parameters.size(); ++p) {
            const ELEMDESC& parameter = function->lprgelemdescParam[p];
            EXPECT_EQ(parameter.paramdesc.wParamFlags, method.parameters[p].flags) << p;
            if (method.parameters[p].out) {
                ASSERT_EQ(parameter.tdesc.vt, VT_PTR) << p;
                EXPECT_EQ(parameter.tdesc.lptdesc->vt, VT_BSTR) << p;
            } else {
                EXPECT_EQ(parameter.tdesc.vt, VT_BSTR) << p;
            }
        }
        vtable->ReleaseFuncDesc(function);

        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(vtable->GetNames(method.dispid, names, 8, &count), S_OK);
        std::vector<std::wstring> got;
        for (UINT i = 0; i < count; ++i) got.push_back(platform::SystemString(names[i]).Text());
        std::vector<std::wstring> expected = {method.name};
        for (const Parameter& parameter : method.parameters) expected.emplace_back(parameter.name);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(Document(vtable.Get(), method.dispid).help, method.help);

        // Script finds the method by name through the dispatch description.
        LPOLESTR name = const_cast<LPOLESTR>(method.name);
        MEMBERID found = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(&name, 1, &found), S_OK);
        EXPECT_EQ(found, method.dispid);
    }
}

TEST_P(TypeLibrary, ClassIsCreatableWithTheInterfaceAsDefault) {
    platform::ComRef<ITypeInfo> coclass;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(Guid(TERVAGON_CLSID_TEXT), coclass.Receive()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    EXPECT_EQ(attributes->cImplTypes, 1);
    coclass->ReleaseTypeAttr(attributes);
    const Documentation doc = Document(coclass.Get(), MEMBERID_NIL);
    EXPECT_EQ(doc.name, L"ControlInstaller");
    EXPECT_EQ(doc.help, L"ControlInstaller Class");
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE implemented = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &implemented), S_OK);
    platform::ComRef<ITypeInfo> interfaceInfo;
    ASSERT_EQ(coclass->GetRefTypeInfo(implemented, interfaceInfo.Receive()), S_OK);
    ASSERT_EQ(interfaceInfo->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, Guid(TERVAGON_IID_TEXT)));
    interfaceInfo->ReleaseTypeAttr(attributes);
}

INSTANTIATE_TEST_SUITE_P(Built, TypeLibrary, ::testing::ValuesIn(kDllsUnderTest), PrintDll);

}  // namespace
