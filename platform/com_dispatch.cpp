#include "platform/com_dispatch.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <strings.h>

namespace {

std::atomic<long> g_liveObjects{0};

}  // namespace

CDispatchArguments::CDispatchArguments(const DISPPARAMS* params)
    : m_params(params), m_count(params ? params->cArgs - params->cNamedArgs : 0) {
    if (params && params->cNamedArgs > params->cArgs)
        m_count = 0;
}

const VARIANT& CDispatchArguments::PutValue() const {
    if (!m_params || m_params->cArgs < 1 || m_params->cNamedArgs != 1 || !m_params->rgdispidNamedArgs ||
        m_params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        throw DispatchFailure{DISP_E_PARAMNOTFOUND};
    return m_params->rgvarg[0];
}

const VARIANT& CDispatchArguments::At(UINT index) const {
    if (index >= m_count)
        throw DispatchFailure{DISP_E_BADPARAMCOUNT};
    // Named arguments come first in rgvarg; positional ones last parameter first.
    UINT named = m_params->cNamedArgs;
    return m_params->rgvarg[named + (m_count - 1 - index)];
}

LONG CDispatchArguments::Long(UINT index) const { return VariantToLong(At(index)); }
float CDispatchArguments::Float(UINT index) const { return VariantToFloat(At(index)); }
bool CDispatchArguments::Bool(UINT index) const { return VariantToLong(At(index)) != 0; }
std::string CDispatchArguments::String(UINT index) const { return VariantToString(At(index)); }

LONG VariantToLong(const VARIANT& value) {
    switch (value.vt) {
    case VT_I4: return value.lVal;
    case VT_UI1: return value.bVal;
    case VT_BOOL: return value.boolVal;
    case VT_R4:
        if (!std::isfinite(value.fltVal) || std::fabs(value.fltVal) > 2147483520.0f)
            throw DispatchFailure{DISP_E_TYPEMISMATCH};
        return static_cast<LONG>(std::lround(value.fltVal));
    default: throw DispatchFailure{DISP_E_TYPEMISMATCH};
    }
}

float VariantToFloat(const VARIANT& value) {
    switch (value.vt) {
    case VT_R4:
        if (!std::isfinite(value.fltVal))
            throw DispatchFailure{DISP_E_TYPEMISMATCH};
        return value.fltVal;
    case VT_I4: return static_cast<float>(value.lVal);
    case VT_UI1: return value.bVal;
    case VT_BOOL: return value.boolVal;
    default: throw DispatchFailure{DISP_E_TYPEMISMATCH};
    }
}

std::string VariantToString(const VARIANT& value) {
    if (value.vt != VT_BSTR)
        throw DispatchFailure{DISP_E_TYPEMISMATCH};
    return value.bstrVal ? std::string(value.bstrVal, SysStringLen(value.bstrVal)) : std::string();
}

void SetResultLong(VARIANT* result, LONG value) {
    if (!result)
        return;
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void SetResultBool(VARIANT* result, bool value) {
    if (!result)
        return;
    VariantClear(result);
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetResultString(VARIANT* result, const std::string& value) {
    if (!result)
        return;
    VariantClear(result);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
}

void SetResultObject(VARIANT* result, IDispatch* object) {
    if (!result) {
        if (object)
            object->Release();
        return;
    }
    VariantClear(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
}

CDispatchObject::CDispatchObject() { ++g_liveObjects; }
CDispatchObject::~CDispatchObject() { --g_liveObjects; }

long CDispatchObject::LiveObjects() { return g_liveObjects.load(); }

HRESULT CDispatchObject::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        AddRef();
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDispatchObject::AddRef() { return ++m_refs; }

ULONG CDispatchObject::Release() {
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CDispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID, DISPID* dispIds) {
    if (!(riid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !dispIds || nameCount == 0)
        return E_INVALIDARG;
    std::span<const Member> members = Members();
    for (UINT n = 0; n < nameCount; ++n)
        dispIds[n] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < members.size(); ++i)
        if (names[0] && ::strcasecmp(names[0], members[i].name) == 0) {
            dispIds[0] = static_cast<DISPID>(i + 1);
            return nameCount == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    return DISP_E_UNKNOWNNAME;
}

HRESULT CDispatchObject::Invoke(DISPID dispId, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT*) {
    if (!(riid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    std::span<const Member> members = Members();
    if (dispId < 1 || static_cast<std::size_t>(dispId) > members.size())
        return DISP_E_MEMBERNOTFOUND;
    std::size_t index = static_cast<std::size_t>(dispId - 1);
    WORD kind = flags & members[index].kinds;
    if (!kind)
        return DISP_E_MEMBERNOTFOUND;
    // A method that is also a property get answers as the method.
    if (kind & DISPATCH_METHOD)
        kind = DISPATCH_METHOD;
    DISPPARAMS none{};
    CDispatchArguments arguments(params ? params : &none);
    try {
        // Keep this object alive for the call even if a member lets it go.
        AddRef();
        HRESULT hr = Guard(index, kind, arguments, result);
        Release();
        return hr;
    } catch (const DispatchFailure& failure) {
        Release();
        return failure.hr;
    } catch (const std::bad_alloc&) {
        Release();
        return E_OUTOFMEMORY;
    }
}

HRESULT CDispatchObject::Guard(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) {
    return Call(index, kind, arguments, result);
}
