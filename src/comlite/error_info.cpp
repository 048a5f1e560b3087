#include "comlite/error_info.h"

#include <atomic>
#include <new>
#include <string>

#include "comlite/bstr.h"
#include "comlite/text.h"

namespace {

// One object with both faces, as the system's own error object has. Reference counting is
// atomic because the object may be handed to another thread through GetErrorInfo.
class ErrorObject final : public ICreateErrorInfo, public IErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
            *object = static_cast<ICreateErrorInfo*>(this);
        } else if (riid == IID_IErrorInfo) {
            *object = static_cast<IErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) override {
        guid_ = guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Store(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override {
        return Store(description_, text);
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Store(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
        if (!guid)
            return E_INVALIDARG;
        *guid = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* text) override { return Fetch(source_, text); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* text) override {
        return Fetch(description_, text);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* text) override { return Fetch(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override {
        if (!context)
            return E_INVALIDARG;
        *context = helpContext_;
        return S_OK;
    }

private:
    ~ErrorObject() = default;

    static HRESULT Store(std::u16string& field, LPOLESTR text) {
        try {
            field = text ? std::u16string(text) : std::u16string();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    // An unset text comes back as NULL, which callers treat as empty.
    static HRESULT Fetch(const std::u16string& field, BSTR* text) {
        if (!text)
            return E_INVALIDARG;
        *text = field.empty() ? nullptr : comlite::AllocBstr(field);
        return (field.empty() || *text) ? S_OK : E_OUTOFMEMORY;
    }

    std::atomic<ULONG> refs_{1};
    GUID guid_{};
    std::u16string source_;
    std::u16string description_;
    std::u16string helpFile_;
    DWORD helpContext_ = 0;
};

// The per-thread slot; its destructor runs at thread exit and drops a reference left behind.
class ErrorSlot {
public:
    ~ErrorSlot() { Reset(nullptr); }
    void Reset(IErrorInfo* info) {
        if (info)
            info->AddRef();
        IErrorInfo* old = info_;
        info_ = info;
        // Released last: the old object's destructor may itself touch the slot.
        if (old)
            old->Release();
    }
    IErrorInfo* Take() {
        IErrorInfo* info = info_;
        info_ = nullptr;
        return info;
    }

private:
    IErrorInfo* info_ = nullptr;
};

thread_local ErrorSlot t_errorSlot;

}  // namespace

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** result) noexcept {
    if (!result)
        return E_INVALIDARG;
    *result = new (std::nothrow) ErrorObject();
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) noexcept {
    if (reserved != 0)
        return E_INVALIDARG;
    t_errorSlot.Reset(info);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) noexcept {
    if (!info)
        return E_INVALIDARG;
    *info = nullptr;
    if (reserved != 0)
        return E_INVALIDARG;
    *info = t_errorSlot.Take();
    return *info ? S_OK : S_FALSE;
}

}  // extern "C"

namespace comlite {

HRESULT ReportError(HRESULT hr, std::u16string_view source, std::u16string_view description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return hr;
    try {
        std::u16string s(source), d(description);
        create->SetSource(s.data());
        create->SetDescription(d.data());
    } catch (const std::bad_alloc&) {
        create->Release();
        return hr;
    }
    void* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, &info))) {
        SetErrorInfo(0, static_cast<IErrorInfo*>(info));
        static_cast<IErrorInfo*>(info)->Release();
    }
    create->Release();
    return hr;
}

HRESULT ReportErrorUtf8(HRESULT hr, std::string_view source, std::string_view description) {
    try {
        return ReportError(hr, Utf8ToUtf16(source), Utf8ToUtf16(description));
    } catch (const std::bad_alloc&) {
        return hr;
    }
}

}  // namespace comlite
