#include "qorcom/frame/factory.h"

namespace tw::qorcom {

HRESULT CFactory::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CFactory::AddRef() {
    return ++refs_;
}

ULONG CFactory::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    CUnknown* created = nullptr;
    const HRESULT creation = row_.create(outer, &created);
    if (FAILED(creation))
        return creation;
    if (!created)
        return E_UNEXPECTED;
    HRESULT hr = created->Init();
    if (SUCCEEDED(hr))
        hr = created->NondelegatingQueryInterface(riid, object);
    created->NondelegatingRelease();
    return hr;
}

HRESULT CFactory::LockServer(BOOL lock) {
    tw::qorcom::LockServer(lock != 0);
    return S_OK;
}

}  // namespace tw::qorcom
