#include "comlite/dispatch.h"

#include <exception>
#include <new>

#include "comlite/error_info.h"
#include "comlite/text.h"
#include "variant_internal.h"

namespace comlite {
namespace {

bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

bool IsPut(MemberKind kind) {
    return kind == MemberKind::PropertyPut || kind == MemberKind::PropertyPutRef;
}

// Per declared parameter: where its argument comes from, what the method receives, and the
// temporary the engine owns for it.
struct Slot {
    int source = -1;               // index into rgvarg, -1 when not supplied
    VARIANT arg;                   // handed to the method
    VARIANT storage;               // owned: coerced [in] value or [out] buffer
    VARIANT* writeBack = nullptr;  // the caller's VARIANT that receives storage after success
};

// Owns the temporaries of one call; whatever the method left in them is released on every
// path that does not move it to the caller.
class CallFrame {
public:
    explicit CallFrame(std::size_t count) : count_(count) {
        for (std::size_t i = 0; i < count_; ++i) {
            VariantInit(&slots_[i].arg);
            VariantInit(&slots_[i].storage);
        }
        VariantInit(&retval_);
    }
    ~CallFrame() {
        for (std::size_t i = 0; i < count_; ++i) VariantClear(&slots_[i].storage);
        VariantClear(&retval_);
    }
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;

    Slot& operator[](std::size_t i) { return slots_[i]; }
    VARIANT& Retval() { return retval_; }
    VARIANT* Args() { return args_.data(); }
    void CollectArgs() {
        for (std::size_t i = 0; i < count_; ++i) args_[i] = slots_[i].arg;
    }

private:
    std::size_t count_;
    std::array<Slot, kMaxDispatchParams> slots_;
    std::array<VARIANT, kMaxDispatchParams> args_{};
    VARIANT retval_;
};

// Points `arg` at typed storage (VARIANT storage is passed as a whole).
void PointAtStorage(const ParamDesc& p, VARIANT& storage, VARIANT& arg) {
    arg.vt = static_cast<VARTYPE>(VT_BYREF | p.vt);
    if (p.vt == VT_VARIANT)
        arg.pvarVal = &storage;
    else if (p.vt == VT_DECIMAL)
        arg.pdecVal = &storage.decVal;
    else
        arg.byref = &storage.llVal;
}

void PrepareStorage(const ParamDesc& p, VARIANT& storage) {
    VariantInit(&storage);
    if (p.vt != VT_VARIANT)
        storage.vt = p.vt;  // zero value of the declared type
}

// A method that wrote a DECIMAL through its pointer also wrote the overlaid vt.
void RestoreDecimalType(const ParamDesc& p, VARIANT& storage) {
    if (p.vt == VT_DECIMAL)
        storage.vt = VT_DECIMAL;
}

HRESULT FillExcepInfo(HRESULT hr, EXCEPINFO* info) {
    *info = EXCEPINFO{};
    info->scode = hr;
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&info->bstrSource);
        error->GetDescription(&info->bstrDescription);
        error->GetHelpFile(&info->bstrHelpFile);
        error->GetHelpContext(&info->dwHelpContext);
        error->Release();
    }
    return DISP_E_EXCEPTION;
}

HRESULT CallMember(const DispatchMember& member, IDispatch* self, VARIANT* args) {
    try {
        return member.call(self, args);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        return ReportErrorUtf8(E_FAIL, "", e.what());
    } catch (...) {
        return E_FAIL;
    }
}

const DispatchMember* SelectMember(DispatchTable table, DISPID id, WORD flags) {
    for (const DispatchMember& m : table)
        if (m.dispid == id && (static_cast<WORD>(m.kind) & flags))
            return &m;
    return nullptr;
}

// Prepares the argument of one declared parameter. `supplied` is the caller's argument or null.
HRESULT PrepareArgument(const ParamDesc& p, VARIANT* supplied, Slot& slot, LCID lcid) {
    switch (p.dir) {
        case ParamDir::In: {
            HRESULT hr;
            if (p.vt == VT_VARIANT) {
                hr = VariantCopyInd(&slot.storage, supplied);
            } else {
                hr = VariantChangeTypeEx(&slot.storage, supplied, lcid, 0, p.vt);
            }
            if (FAILED(hr))
                return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
            slot.arg = slot.storage;
            return S_OK;
        }
        case ParamDir::Out:
        case ParamDir::InOut: {
            const auto exact = static_cast<VARTYPE>(VT_BYREF | p.vt);
            const bool byrefVariant = supplied->vt == (VT_BYREF | VT_VARIANT) && supplied->pvarVal;
            // An [out] VARIANT reference is filled through storage so that the caller's old
            // value is released rather than overwritten; exact typed references pass through.
            if (supplied->vt == exact && supplied->byref &&
                !(p.dir == ParamDir::Out && byrefVariant)) {
                slot.arg = *supplied;
                return S_OK;
            }
            if (!byrefVariant)
                return DISP_E_TYPEMISMATCH;
            PrepareStorage(p, slot.storage);
            if (p.dir == ParamDir::InOut) {
                const HRESULT hr =
                    VariantChangeTypeEx(&slot.storage, supplied->pvarVal, lcid, 0, p.vt);
                if (FAILED(hr))
                    return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
            }
            PointAtStorage(p, slot.storage, slot.arg);
            slot.writeBack = supplied->pvarVal;
            return S_OK;
        }
        case ParamDir::RetVal:
            break;
    }
    return E_UNEXPECTED;
}

}  // namespace

const DispatchMember* FindMember(DispatchTable table, std::u16string_view name) {
    for (const DispatchMember& m : table)
        if (m.name && EqualsIgnoreCase(name, m.name))
            return &m;
    return nullptr;
}

HRESULT DispatchGetIDsOfNames(DispatchTable table, REFIID riid, LPOLESTR* names, UINT count,
                              DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const DispatchMember* member = names[0] ? FindMember(table, names[0]) : nullptr;
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        // A property's get and put share the DISPID; a parameter name of either counts.
        for (const DispatchMember& m : table) {
            if (m.dispid != member->dispid || !names[i])
                continue;
            for (std::size_t p = 0; p < m.paramCount; ++p) {
                if (m.params[p].name &&
                    EqualsIgnoreCase(std::u16string_view(names[i]), m.params[p].name)) {
                    ids[i] = static_cast<DISPID>(p);
                    break;
                }
            }
            if (ids[i] != DISPID_UNKNOWN)
                break;
        }
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchInvoke(DispatchTable table, IDispatch* self, DISPID id, REFIID riid, LCID lcid,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                       UINT* argErr) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!self || !params)
        return E_INVALIDARG;
    const UINT cArgs = params->cArgs;
    const UINT cNamed = params->cNamedArgs;
    if (cNamed > cArgs || (cArgs && !params->rgvarg) || (cNamed && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (result)
        VariantInit(result);

    const DispatchMember* member = SelectMember(table, id, flags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    auto fail = [argErr](HRESULT hr, UINT index) {
        if (argErr)
            *argErr = index;
        return hr;
    };

    const std::size_t count = member->paramCount;
    const bool hasRetval = count > 0 && member->params[count - 1].dir == ParamDir::RetVal;
    const std::size_t values = hasRetval ? count - 1 : count;
    const bool put = IsPut(member->kind);
    CallFrame frame(count);

    // Named arguments first: rgvarg[i] belongs to rgdispidNamedArgs[i].
    bool putValueGiven = false;
    for (UINT i = 0; i < cNamed; ++i) {
        const DISPID name = params->rgdispidNamedArgs[i];
        std::size_t target;
        if (name == DISPID_PROPERTYPUT && put) {
            target = values - 1;
            putValueGiven = true;
        } else if (name >= 0 && static_cast<std::size_t>(name) < values) {
            target = static_cast<std::size_t>(name);
        } else {
            return fail(DISP_E_PARAMNOTFOUND, i);
        }
        if (frame[target].source != -1)
            return fail(DISP_E_PARAMNOTFOUND, i);
        frame[target].source = static_cast<int>(i);
    }
    if (put && !putValueGiven)
        return DISP_E_PARAMNOTFOUND;

    // Positional arguments, last in rgvarg being the first parameter.
    const UINT positional = cArgs - cNamed;
    if (positional > (put ? values - 1 : values))
        return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < positional; ++p) {
        const UINT index = cArgs - 1 - p;
        if (frame[p].source != -1)
            return fail(DISP_E_PARAMNOTFOUND, index);
        frame[p].source = static_cast<int>(index);
    }

    for (std::size_t p = 0; p < values; ++p) {
        const ParamDesc& desc = member->params[p];
        Slot& slot = frame[p];
        VARIANT* supplied = slot.source >= 0 ? &params->rgvarg[slot.source] : nullptr;
        if (!supplied || IsMissing(*supplied)) {
            if (desc.optional) {
                slot.storage.vt = VT_ERROR;
                slot.storage.scode = DISP_E_PARAMNOTFOUND;
                slot.arg = slot.storage;
                continue;
            }
            if (supplied)
                return fail(DISP_E_PARAMNOTOPTIONAL, static_cast<UINT>(slot.source));
            return cNamed > (put ? 1u : 0u) ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
        }
        const HRESULT hr = PrepareArgument(desc, supplied, slot, lcid);
        if (FAILED(hr))
            return fail(hr, static_cast<UINT>(slot.source));
    }
    if (hasRetval) {
        const ParamDesc& desc = member->params[count - 1];
        PrepareStorage(desc, frame.Retval());
        PointAtStorage(desc, frame.Retval(), frame[count - 1].arg);
    }

    frame.CollectArgs();
    SetErrorInfo(0, nullptr);  // whatever is there afterwards was left by this call
    const HRESULT hr = CallMember(*member, self, frame.Args());
    // Before anything clears the temporaries, whatever the result.
    for (std::size_t p = 0; p < values; ++p)
        if (frame[p].writeBack)
            RestoreDecimalType(member->params[p], frame[p].storage);
    if (hasRetval)
        RestoreDecimalType(member->params[count - 1], frame.Retval());
    if (FAILED(hr))
        return excepInfo ? FillExcepInfo(hr, excepInfo) : hr;

    for (std::size_t p = 0; p < values; ++p) {
        Slot& slot = frame[p];
        if (!slot.writeBack)
            continue;
        VariantClear(slot.writeBack);
        *slot.writeBack = slot.storage;
        VariantInit(&slot.storage);
    }
    if (hasRetval && result) {
        *result = frame.Retval();
        VariantInit(&frame.Retval());
    }
    return S_OK;
}

}  // namespace comlite
