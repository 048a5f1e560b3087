#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "comlite/interfaces.h"
#include "comlite/variant.h"
#include "variant_internal.h"

// Arrays made here carry their element type in the 4 bytes just before the descriptor (flagged
// by FADF_HAVEVARTYPE), where Windows keeps it too.

namespace {

using namespace comlite::detail;

struct ArrayBlock {
    ULONG unused;
    ULONG vt;
    SAFEARRAY descriptor;
};
static_assert(offsetof(ArrayBlock, descriptor) == 8);

constexpr USHORT kForeignStorage = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED;

USHORT FeatureFor(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_BSTR;
        case VT_UNKNOWN:
            return FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_DISPATCH;
        case VT_VARIANT:
            return FADF_VARIANT;
        default:
            return 0;
    }
}

bool ElementType(const SAFEARRAY* psa, VARTYPE& vt) {
    if (psa->fFeatures & FADF_HAVEVARTYPE) {
        ULONG stored;
        std::memcpy(&stored, reinterpret_cast<const char*>(psa) - sizeof(ULONG), sizeof stored);
        vt = static_cast<VARTYPE>(stored);
        return true;
    }
    if (psa->fFeatures & FADF_BSTR)
        vt = VT_BSTR;
    else if (psa->fFeatures & FADF_VARIANT)
        vt = VT_VARIANT;
    else if (psa->fFeatures & FADF_DISPATCH)
        vt = VT_DISPATCH;
    else if (psa->fFeatures & FADF_UNKNOWN)
        vt = VT_UNKNOWN;
    else
        return false;
    return true;
}

bool OwnsResources(VARTYPE vt) {
    return vt == VT_BSTR || vt == VT_VARIANT || vt == VT_UNKNOWN || vt == VT_DISPATCH;
}

HRESULT ElementAt(SAFEARRAY* psa, const LONG* index, void** element) {
    if (!psa || !index || !element)
        return E_INVALIDARG;
    if (psa->cDims != 1)
        return E_INVALIDARG;
    const long long offset = static_cast<long long>(*index) - psa->rgsabound[0].lLbound;
    if (offset < 0 || offset >= psa->rgsabound[0].cElements)
        return DISP_E_BADINDEX;
    *element = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

void ReleaseElements(SAFEARRAY* psa, VARTYPE vt) {
    if (!OwnsResources(vt) || !psa->pvData)
        return;
    auto* p = static_cast<char*>(psa->pvData);
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i)
        ReleaseValue(vt, p + std::size_t{i} * psa->cbElements);
}

}  // namespace

extern "C" {

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* bounds) noexcept {
    if (cDims != 1 || !bounds || !IsValidElementType(vt))
        return nullptr;
    const std::size_t size = ValueSize(vt);
    const std::size_t count = bounds[0].cElements;
    if (count > (std::size_t{1} << 31) / size)
        return nullptr;
    auto* block = static_cast<ArrayBlock*>(std::calloc(1, sizeof(ArrayBlock)));
    if (!block)
        return nullptr;
    void* data = nullptr;
    if (count) {
        data = std::calloc(count, size);
        if (!data) {
            std::free(block);
            return nullptr;
        }
    }
    block->vt = vt;
    SAFEARRAY* psa = &block->descriptor;
    psa->cDims = 1;
    psa->fFeatures = FADF_HAVEVARTYPE | FeatureFor(vt);
    psa->cbElements = static_cast<ULONG>(size);
    psa->cLocks = 0;
    psa->pvData = data;
    psa->rgsabound[0] = bounds[0];
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) noexcept {
    SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept {
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    VARTYPE vt = VT_EMPTY;
    if (ElementType(psa, vt))
        ReleaseElements(psa, vt);
    if (psa->fFeatures & kForeignStorage)
        return S_OK;  // storage belongs to whoever built it
    std::free(psa->pvData);
    if (psa->fFeatures & FADF_HAVEVARTYPE)
        std::free(reinterpret_cast<char*>(psa) - offsetof(ArrayBlock, descriptor));
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** result) noexcept {
    if (!result)
        return E_INVALIDARG;
    *result = nullptr;
    if (!psa)
        return S_OK;
    VARTYPE vt;
    if (psa->cDims != 1 || !ElementType(psa, vt) || !IsValidElementType(vt))
        return E_INVALIDARG;
    SAFEARRAY* copy = SafeArrayCreate(vt, 1, psa->rgsabound);
    if (!copy)
        return E_OUTOFMEMORY;
    const auto* from = static_cast<const char*>(psa->pvData);
    auto* to = static_cast<char*>(copy->pvData);
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
        const std::size_t offset = std::size_t{i} * copy->cbElements;
        const HRESULT hr = CopyValue(vt, from + offset, to + offset);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *result = copy;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept {
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt) noexcept {
    if (!psa || !vt)
        return E_INVALIDARG;
    return ElementType(psa, *vt) ? S_OK : E_INVALIDARG;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT dim, LONG* bound) noexcept {
    if (!psa || !bound)
        return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims)
        return DISP_E_BADINDEX;
    *bound = psa->rgsabound[dim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT dim, LONG* bound) noexcept {
    if (!psa || !bound)
        return E_INVALIDARG;
    if (dim < 1 || dim > psa->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[dim - 1];
    *bound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* index, void** element) noexcept {
    return ElementAt(psa, index, element);
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* index, void* value) noexcept {
    if (!value)
        return E_INVALIDARG;
    void* element;
    HRESULT hr = ElementAt(psa, index, &element);
    if (FAILED(hr))
        return hr;
    VARTYPE vt;
    if (!ElementType(psa, vt)) {
        std::memcpy(value, element, psa->cbElements);
        return S_OK;
    }
    return CopyValue(vt, element, value);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* index, void* value) noexcept {
    void* element;
    HRESULT hr = ElementAt(psa, index, &element);
    if (FAILED(hr))
        return hr;
    VARTYPE vt;
    if (!ElementType(psa, vt)) {
        if (!value)
            return E_INVALIDARG;
        std::memcpy(element, value, psa->cbElements);
        return S_OK;
    }
    switch (vt) {
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            // The pointer itself was passed, not its address.
            char fresh[sizeof(void*)];
            hr = CopyValue(vt, &value, fresh);
            if (FAILED(hr))
                return hr;
            ReleaseValue(vt, element);
            std::memcpy(element, fresh, sizeof fresh);
            return S_OK;
        }
        case VT_VARIANT:
            if (!value)
                return E_INVALIDARG;
            return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(value));
        default:
            if (!value)
                return E_INVALIDARG;
            std::memcpy(element, value, psa->cbElements);
            return S_OK;
    }
}

HRESULT SafeArrayLock(SAFEARRAY* psa) noexcept {
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks >= 0xFFFF)
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) noexcept {
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) noexcept {
    if (!psa || !data)
        return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr))
        return hr;
    *data = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept {
    return SafeArrayUnlock(psa);
}

}  // extern "C"
