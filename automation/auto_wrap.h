#pragma once
// The one way the program calls a member of an automation object: by name,
// with the arguments given last parameter first.
#include <string>
#include <type_traits>

#include "platform/com_types.h"

// Resolves `member` on `object` and invokes it with `kind` (DISPATCH_METHOD,
// DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT). `arguments` holds
// `argumentCount` VARIANTs, last parameter first. A property put passes its one
// value as the named argument DISPID_PROPERTYPUT. E_FAIL without a call when
// `object` is null; otherwise the failure of GetIDsOfNames or the result of
// Invoke. `result` (may be null) is initialised before the call.
HRESULT AutoWrapArguments(WORD kind, VARIANT* result, IDispatch* object, LPCOLESTR member, int argumentCount,
                          VARIANT* arguments);

template <typename... Arguments>
HRESULT AutoWrap(WORD kind, VARIANT* result, IDispatch* object, LPCOLESTR member, int argumentCount,
                 const Arguments&... arguments) {
    static_assert((std::is_base_of_v<VARIANT, Arguments> && ...), "automation arguments are VARIANTs");
    if (argumentCount != static_cast<int>(sizeof...(Arguments)))
        return E_INVALIDARG;
    // Shallow copies: the caller keeps owning what its arguments hold.
    VARIANT list[sizeof...(Arguments) + 1] = {static_cast<const VARIANT&>(arguments)...};
    return AutoWrapArguments(kind, result, object, member, argumentCount, list);
}

// A VARIANT that frees what it holds. Built by the named constructors, so that
// every argument states its type.
class CComVariant : public VARIANT {
public:
    CComVariant() { VariantInit(this); }
    ~CComVariant() { VariantClear(this); }
    CComVariant(const CComVariant&) = delete;
    CComVariant& operator=(const CComVariant&) = delete;

    static CComVariant I4(LONG value);
    static CComVariant R4(float value);
    static CComVariant Bool(VARIANT_BOOL value);
    static CComVariant UI1(BYTE value);
    static CComVariant Bstr(const std::string& text);

    CComVariant(CComVariant&& other) noexcept;
};
