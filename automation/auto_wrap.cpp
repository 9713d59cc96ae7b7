#include "automation/auto_wrap.h"

#include <cstring>

HRESULT AutoWrapArguments(WORD kind, VARIANT* result, IDispatch* object, LPCOLESTR member, int argumentCount,
                          VARIANT* arguments) {
    // The result is empty on every failure too: callers clear it whatever happened.
    if (result)
        VariantInit(result);
    if (!object)
        return E_FAIL;

    LPOLESTR name = const_cast<LPOLESTR>(member);
    DISPID dispId = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispId);
    if (FAILED(hr))
        return hr;

    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(argumentCount);
    params.rgvarg = argumentCount > 0 ? arguments : nullptr;
    if (kind & DISPATCH_PROPERTYPUT) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &namedPut;
    }
    return object->Invoke(dispId, IID_NULL, LOCALE_SYSTEM_DEFAULT, kind, &params, result, nullptr, nullptr);
}

CComVariant CComVariant::I4(LONG value) {
    CComVariant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

CComVariant CComVariant::R4(float value) {
    CComVariant v;
    v.vt = VT_R4;
    v.fltVal = value;
    return v;
}

CComVariant CComVariant::Bool(VARIANT_BOOL value) {
    CComVariant v;
    v.vt = VT_BOOL;
    v.boolVal = value;
    return v;
}

CComVariant CComVariant::UI1(BYTE value) {
    CComVariant v;
    v.vt = VT_UI1;
    v.bVal = value;
    return v;
}

CComVariant CComVariant::Bstr(const std::string& text) {
    CComVariant v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

CComVariant::CComVariant(CComVariant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
