#include "platform/com_types.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kLengthPrefix = sizeof(std::uint32_t);

}  // namespace

BSTR SysAllocStringLen(LPCOLESTR text, UINT length) {
    auto* block = static_cast<char*>(std::malloc(kLengthPrefix + length + 1));
    if (!block)
        return nullptr;
    std::uint32_t count = length;
    std::memcpy(block, &count, kLengthPrefix);
    BSTR result = block + kLengthPrefix;
    if (text && length)
        std::memcpy(result, text, length);
    else
        std::memset(result, 0, length);
    result[length] = 0;
    return result;
}

BSTR SysAllocString(LPCOLESTR text) {
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::strlen(text)));
}

void SysFreeString(BSTR text) {
    if (text)
        std::free(text - kLengthPrefix);
}

UINT SysStringLen(BSTR text) {
    if (!text)
        return 0;
    std::uint32_t count = 0;
    std::memcpy(&count, text - kLengthPrefix, kLengthPrefix);
    return count;
}

void VariantInit(VARIANT* value) {
    std::memset(value, 0, sizeof(*value));
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
    if (!value)
        return E_INVALIDARG;
    switch (value->vt) {
    case VT_BSTR:
        SysFreeString(value->bstrVal);
        break;
    case VT_DISPATCH:
        if (value->pdispVal)
            value->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (value->punkVal)
            value->punkVal->Release();
        break;
    default:
        break;
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
    if (!destination || !source)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    VariantClear(destination);
    *destination = *source;
    switch (source->vt) {
    case VT_BSTR:
        destination->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (source->bstrVal && !destination->bstrVal) {
            VariantInit(destination);
            return E_OUTOFMEMORY;
        }
        break;
    case VT_DISPATCH:
        if (destination->pdispVal)
            destination->pdispVal->AddRef();
        break;
    case VT_UNKNOWN:
        if (destination->punkVal)
            destination->punkVal->AddRef();
        break;
    default:
        break;
    }
    return S_OK;
}
