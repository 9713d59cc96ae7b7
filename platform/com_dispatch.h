#pragma once
// Server side of late-bound calls: an IDispatch whose members are listed by
// name, with their dispatch kinds, and whose arguments are read by position in
// declaration order (DISPPARAMS holds them last parameter first). Member names
// are matched without regard to case, as automation clients expect.
#include <atomic>
#include <span>
#include <string>

#include "platform/com_types.h"

// Thrown by argument readers and member bodies to end a call with `hr`.
struct DispatchFailure {
    HRESULT hr;
};

// The arguments of one call, read in declaration order.
class CDispatchArguments {
public:
    explicit CDispatchArguments(const DISPPARAMS* params);

    UINT Count() const { return m_count; }
    // The value of a property put.
    const VARIANT& PutValue() const;
    // Parameter `index` (0 = first declared); DISP_E_BADPARAMCOUNT when absent,
    // DISP_E_TYPEMISMATCH when it does not convert.
    LONG Long(UINT index) const;
    float Float(UINT index) const;
    bool Bool(UINT index) const;  // any nonzero number
    std::string String(UINT index) const;
    bool Has(UINT index) const { return index < m_count; }

private:
    const VARIANT& At(UINT index) const;
    const DISPPARAMS* m_params;
    UINT m_count;
};

LONG VariantToLong(const VARIANT& value);
float VariantToFloat(const VARIANT& value);
std::string VariantToString(const VARIANT& value);

// Results; each clears `*result` first and does nothing when it is null.
void SetResultLong(VARIANT* result, LONG value);
void SetResultBool(VARIANT* result, bool value);
void SetResultString(VARIANT* result, const std::string& value);
// Hands the reference of `object` to the result (released when no result is wanted).
void SetResultObject(VARIANT* result, IDispatch* object);

class CDispatchObject : public IDispatch {
public:
    struct Member {
        const char* name;
        WORD kinds;  // DISPATCH_METHOD | DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT
    };

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID lcid, DISPID* dispIds) override;
    HRESULT Invoke(DISPID dispId, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) override;

    // Objects alive in this process, for leak checks.
    static long LiveObjects();

protected:
    CDispatchObject();
    ~CDispatchObject() override;

    virtual std::span<const Member> Members() const = 0;
    // Runs member `index` of Members(); may throw DispatchFailure.
    virtual HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) = 0;
    // Wraps every call, so that a server can turn its own failures into codes.
    virtual HRESULT Guard(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result);

private:
    std::atomic<ULONG> m_refs{1};
};
