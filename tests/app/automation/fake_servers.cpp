#include "fake_servers.h"

#include <atomic>
#include <new>

#include "comlite/bstr.h"
#include "comlite/dispatch.h"
#include "comlite/error_info.h"

namespace tw::test {
namespace {

RecordedCall Record(const char* object, IDispatch* self, DISPID member, WORD flags,
                    const DISPPARAMS* params) {
    RecordedCall call;
    call.object = object;
    call.member = member;
    call.flags = flags;
    call.self = self;
    if (params) {
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANT& arg = params->rgvarg[i];
            call.types.push_back(arg.vt);
            comlite::Variant copy;
            IUnknown* object = nullptr;
            if (arg.vt == VT_DISPATCH || arg.vt == VT_UNKNOWN)
                object = arg.punkVal;
            else if (!(arg.vt & VT_BYREF))
                VariantCopy(&copy, &arg);
            call.values.push_back(std::move(copy));
            call.objects.push_back(object);
        }
        for (UINT i = 0; i < params->cNamedArgs; ++i)
            call.named.push_back(params->rgdispidNamedArgs[i]);
    }
    std::lock_guard lock(FakeServer().mutex);
    FakeServer().calls.push_back(call);
    return call;
}

// Reference counting and the IDispatch chores shared by the fakes.
template <class Interface>
class FakeObject : public Interface {
public:
    FakeObject() {
        std::lock_guard lock(FakeServer().mutex);
        ++FakeServer().liveObjects;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }

protected:
    virtual ~FakeObject() {
        std::lock_guard lock(FakeServer().mutex);
        --FakeServer().liveObjects;
    }

private:
    std::atomic<ULONG> refs_{1};
};

class ScriptedObject final : public FakeObject<IDispatch> {
public:
    explicit ScriptedObject(const char* name) : name_(name) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT*) override {
        if (result)
            VariantInit(result);
        const RecordedCall call = Record(name_, this, member, flags, params);
        CallHandler handler;
        {
            std::lock_guard lock(FakeServer().mutex);
            handler = FakeServer().handler;
        }
        return handler ? handler(call, params, result, excepInfo) : S_OK;
    }

private:
    const char* name_;
};

// The members of the dial-up interface the poller calls, with the real DISPIDs.
struct IFakeRas : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Installed(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFirstConnection(BSTR* name, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextConnection(BSTR* name, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Dial(BSTR entry, BSTR phone, BSTR callback, BSTR user,
                                           BSTR password, BSTR domain, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE HangUp(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResultString(LONG code, BSTR* text) = 0;

protected:
    ~IFakeRas() = default;
};

using namespace comlite;
constexpr DispatchMember kRasMembers[] = {
    PropertyGet<&IFakeRas::get_Installed>(0x60020000, "Installed", {RetVal(VT_BOOL)}),
    Method<&IFakeRas::GetFirstConnection>(0x60020003, "GetFirstConnection",
                                          {Out(VT_BSTR), RetVal(VT_I4)}),
    Method<&IFakeRas::GetNextConnection>(0x60020004, "GetNextConnection",
                                         {Out(VT_BSTR), RetVal(VT_I4)}),
    Method<&IFakeRas::Dial>(0x60020005, "Dial",
                            {In(VT_BSTR), In(VT_BSTR), In(VT_BSTR), In(VT_BSTR), In(VT_BSTR),
                             In(VT_BSTR), RetVal(VT_I4)}),
    Method<&IFakeRas::HangUp>(0x60020006, "HangUp", {RetVal(VT_I4)}),
    Method<&IFakeRas::GetResultString>(0x6002000b, "GetResultString", {In(VT_I4), RetVal(VT_BSTR)}),
};

class FakeRas final : public FakeObject<IFakeRas> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return DispatchGetIDsOfNames(kRasMembers, riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override {
        Record("Ras", this, member, flags, params);
        return DispatchInvoke(kRasMembers, static_cast<IFakeRas*>(this), member, riid, lcid, flags,
                              params, result, excepInfo, argErr);
    }

    HRESULT STDMETHODCALLTYPE get_Installed(VARIANT_BOOL* value) override {
        if (HRESULT hr = Raised(); FAILED(hr))
            return hr;
        *value = State().installed ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFirstConnection(BSTR* name, LONG* result) override {
        State().next = 0;
        return GetNextConnection(name, result);
    }
    HRESULT STDMETHODCALLTYPE GetNextConnection(BSTR* name, LONG* result) override {
        if (HRESULT hr = Raised(); FAILED(hr))
            return hr;
        FakeRasState& ras = State();
        *name = AllocBstrUtf8(ras.next < ras.connections.size() ? ras.connections[ras.next++] : "");
        *result = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Dial(BSTR entry, BSTR phone, BSTR callback, BSTR user, BSTR password,
                                   BSTR domain, LONG* result) override {
        if (HRESULT hr = Raised(); FAILED(hr))
            return hr;
        const BSTR parts[] = {entry, phone, callback, user, password, domain};
        std::string dialled;
        for (std::size_t i = 0; i < std::size(parts); ++i) {
            if (i > 0)
                dialled += '|';
            dialled += BstrToUtf8(parts[i]);
        }
        State().dialled.push_back(dialled);
        *result = State().dialResult;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HangUp(LONG* result) override {
        if (HRESULT hr = Raised(); FAILED(hr))
            return hr;
        *result = State().hangUpResult;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResultString(LONG code, BSTR* text) override {
        if (HRESULT hr = Raised(); FAILED(hr))
            return hr;
        *text = AllocBstrUtf8(code >= 600 && code <= 868
                                  ? "RAS error " + std::to_string(code) + "."
                                  : "Unknown RAS error " + std::to_string(code) + ".");
        return S_OK;
    }

private:
    // The test thread sets the state before calling; the calls come from the same thread.
    static FakeRasState& State() { return FakeServer().ras; }
    static HRESULT Raised() {
        if (State().raiseText.empty())
            return S_OK;
        return ReportErrorUtf8(static_cast<HRESULT>(0x80040000), "QORCom.Ras", State().raiseText);
    }
};

class FakeFactory final : public IClassFactory {
public:
    explicit FakeFactory(const CLSID& clsid) : clsid_(clsid) {}
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
        IDispatch* created = nullptr;
        if (clsid_ == CLSID_FakeStation)
            created = new ScriptedObject("Station");
        else if (clsid_ == CLSID_FakeInventory)
            created = new ScriptedObject("Inventory");
        else if (clsid_ == CLSID_FakeRas)
            created = static_cast<IFakeRas*>(new FakeRas());
        else
            return E_OUTOFMEMORY;  // the broken class: its server fails to make one
        const HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~FakeFactory() = default;
    std::atomic<ULONG> refs_{1};
    CLSID clsid_;
};

}  // namespace

FakeServerState& FakeServer() {
    static FakeServerState state;
    return state;
}

HRESULT RaiseFakeException(EXCEPINFO* excepInfo, SCODE code, const std::u16string& description) {
    if (!excepInfo)
        return code;
    *excepInfo = EXCEPINFO{};
    excepInfo->scode = code;
    excepInfo->bstrSource = comlite::AllocBstr(u"QORPost.Fake");
    excepInfo->bstrDescription = comlite::AllocBstr(description);
    return DISP_E_EXCEPTION;
}

}  // namespace tw::test

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID riid,
                                                                            void** object) {
    using namespace tw::test;
    *object = nullptr;
    if (clsid != CLSID_FakeStation && clsid != CLSID_FakeInventory && clsid != CLSID_FakeRas &&
        clsid != CLSID_FakeBroken)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new FakeFactory(clsid);
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}
