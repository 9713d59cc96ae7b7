// The late-bound call layer: strings and variants, the server registry, and
// how a server reads the arguments that a client sends.
#include <gtest/gtest.h>

#include <string>

#include "automation/auto_wrap.h"
#include "platform/com_dispatch.h"
#include "platform/com_runtime.h"
#include "platform/com_windows.h"

namespace {

TEST(ComStrings, BstrKeepsItsLengthAndZeroBytes) {
    BSTR text = SysAllocStringLen("a\0b", 3);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(std::string(text, 3), std::string("a\0b", 3));
    EXPECT_EQ(text[3], '\0');
    SysFreeString(text);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(ComVariants, CopyDuplicatesStringsAndClearFreesThem) {
    CComVariant original = CComVariant::Bstr("Calibri");
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &original), S_OK);
    EXPECT_NE(copy.bstrVal, original.bstrVal);
    EXPECT_STREQ(copy.bstrVal, "Calibri");
    VariantClear(&copy);
    EXPECT_EQ(copy.vt, VT_EMPTY);
}

// A server object with one method M(first, second) and a property P.
class CTwoArguments : public CDispatchObject {
public:
    std::string seen;

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Method", DISPATCH_METHOD},
                                         {"Prop", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        if (index == 0)
            seen = arguments.String(0) + "," + std::to_string(arguments.Float(1));
        else if (kind == DISPATCH_PROPERTYPUT)
            seen = std::to_string(VariantToLong(arguments.PutValue()));
        else
            SetResultLong(result, 42);
        return S_OK;
    }
};

TEST(ComDispatch, ArgumentsArriveLastFirstAndAreReadInDeclarationOrder) {
    auto* object = new CTwoArguments;
    // Method(first: "x", second: 15 as a byte), passed second first.
    EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, object, "method", 2, CComVariant::UI1(15), CComVariant::Bstr("x")),
              S_OK);
    EXPECT_EQ(object->seen, "x,15.000000");
    EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYPUT, nullptr, object, "Prop", 1, CComVariant::Bool(1)), S_OK);
    EXPECT_EQ(object->seen, "1");

    VARIANT result;
    EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &result, object, "Prop", 0), S_OK);
    EXPECT_EQ(result.lVal, 42);

    // Wrong name, kind, count or type fail with the dispatch codes.
    EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, object, "Missing", 0), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYPUT, nullptr, object, "Method", 1, CComVariant::I4(1)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, object, "Method", 1, CComVariant::Bstr("x")), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, object, "Method", 2, CComVariant::Bstr("15"), CComVariant::Bstr("x")),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(AutoWrap(DISPATCH_METHOD, nullptr, nullptr, "Method", 0), E_FAIL);
    object->Release();
}

TEST(ComDispatch, APropertyPutNeedsItsNamedArgument) {
    auto* object = new CTwoArguments;
    LPOLESTR name = const_cast<LPOLESTR>("Prop");
    DISPID id = 0;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    CComVariant value = CComVariant::I4(3);
    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    EXPECT_EQ(object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr,
                             nullptr),
              DISP_E_PARAMNOTFOUND);
    object->Release();
}

TEST(ComRuntime, ServersAreFoundByProgIdOnInitialisedThreads) {
    const std::string progId = "Deckmend.TestServer";
    const CLSID clsid = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &found), CO_E_CLASSSTRING);

    auto previous = CoRegisterServer(progId, clsid, [](REFIID riid, void** object) {
        auto* server = new CTwoArguments;
        HRESULT hr = server->QueryInterface(riid, object);
        server->Release();
        return hr;
    });
    EXPECT_FALSE(previous.has_value());
    ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &found), S_OK);
    EXPECT_EQ(found, clsid);

    IDispatch* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              S_OK);
    IUnknown* running = nullptr;
    EXPECT_EQ(GetActiveObject(clsid, nullptr, &running), MK_E_UNAVAILABLE);
    DWORD registration = 0;
    ASSERT_EQ(RegisterActiveObject(object, clsid, 0, &registration), S_OK);
    ASSERT_EQ(GetActiveObject(clsid, nullptr, &running), S_OK);
    running->Release();
    EXPECT_EQ(RevokeActiveObject(registration, nullptr), S_OK);
    object->Release();
    EXPECT_EQ(CDispatchObject::LiveObjects(), 0);

    CoRestoreServer(progId, previous);
    EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &found), CO_E_CLASSSTRING);
    CoUninitialize();
    CoUninitialize();
    EXPECT_FALSE(CoIsInitialized());
}

TEST(ComWindows, FrameWindowsAreFoundByClassUntilDestroyed) {
    int closes = 0;
    HWND frame = CreateFrameWindow("TestFrameClass", [&](UINT message, WPARAM, LPARAM) { closes += message == WM_CLOSE; });
    EXPECT_EQ(FindWindowW("TestFrameClass", nullptr), frame);
    EXPECT_EQ(FindWindowW("OtherClass", nullptr), nullptr);
    EXPECT_TRUE(IsWindowVisible(frame));
    ShowWindow(frame, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_TRUE(PostMessageW(frame, WM_CLOSE, 0, 0));
    EXPECT_EQ(closes, 1);
    DestroyFrameWindow(frame);
    EXPECT_EQ(FindWindowW("TestFrameClass", nullptr), nullptr);
    EXPECT_FALSE(PostMessageW(frame, WM_CLOSE, 0, 0));
}

}  // namespace
