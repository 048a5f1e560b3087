// An in-process server for the creation tests: serves TestCalc through DllGetClassObject, as a
// real server library does.

#include <new>

#include "test_calculator.h"

namespace {

class TestCalcFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* calc = new (std::nothrow) TestCalc();
        if (!calc)
            return E_OUTOFMEMORY;
        const HRESULT hr = calc->QueryInterface(riid, object);
        calc->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~TestCalcFactory() = default;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID riid,
                                                                            void** object) {
    *object = nullptr;
    if (clsid != CLSID_TestCalc)
        return CLASS_E_CLASSNOTAVAILABLE;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(new TestCalcFactory());
    return S_OK;
}
