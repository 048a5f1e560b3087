#include "comlite/activation.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>

#include "comlite/registry.h"
#include "comlite/text.h"
#include "platform/os_services.h"

namespace {

constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT\\";
// A ProgID may name its current version through CurVer; a few hops are plenty and stop loops.
constexpr int kMaxCurVerHops = 4;

thread_local std::string t_lastError;

void SetLastActivationError(std::string text) {
    t_lastError = std::move(text);
}

std::optional<comlite::RegistryTree> LoadRegistry() {
    std::string error;
    auto tree = comlite::RegistryOverlay().Load(&error);
    if (!tree)
        SetLastActivationError(error);
    return tree;
}

std::string ClassKey(REFCLSID clsid) {
    return std::string(kClassesRoot) + "CLSID\\" + comlite::GuidToString(clsid);
}

std::string HexResult(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
    return buffer;
}

HRESULT LookUpProgId(const std::u16string& progId, CLSID& clsid) {
    auto tree = LoadRegistry();
    if (!tree)
        return REGDB_E_READREGDB;
    std::string name = comlite::Utf16ToUtf8(progId);
    for (int hop = 0; hop <= kMaxCurVerHops; ++hop) {
        if (name.empty() || name.find('\\') != std::string::npos)
            break;
        const std::string key = kClassesRoot + name;
        if (auto text = tree->GetString(key + "\\CLSID")) {
            if (auto guid = comlite::ParseGuid(*text)) {
                clsid = *guid;
                return S_OK;
            }
            SetLastActivationError("the CLSID of " + name + " is malformed: " + *text);
            return CO_E_CLASSSTRING;
        }
        auto next = tree->GetString(key + "\\CurVer");
        if (!next)
            break;
        name = *next;
    }
    SetLastActivationError("ProgID " + comlite::Utf16ToUtf8(progId) + " is not registered in " +
                           comlite::RegistryOverlay().Describe());
    return CO_E_CLASSSTRING;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    auto tree = LoadRegistry();
    if (!tree)
        return REGDB_E_READREGDB;
    const auto path = tree->GetString(ClassKey(clsid) + "\\InprocServer32");
    if (!path || path->empty()) {
        SetLastActivationError("class " + comlite::GuidToString(clsid) +
                               " has no InprocServer32 in " +
                               comlite::RegistryOverlay().Describe());
        return REGDB_E_CLASSNOTREG;
    }
    bool loaded = false;
    std::string error;
    void* entry = tw::platform::LoadPinnedSymbol(*path, "DllGetClassObject", &loaded, &error);
    if (!entry) {
        SetLastActivationError(error);
        return loaded ? CO_E_ERRORINDLL : CO_E_DLLNOTFOUND;
    }
    const HRESULT hr = reinterpret_cast<LPFNGETCLASSOBJECT>(entry)(clsid, riid, object);
    if (FAILED(hr)) {
        *object = nullptr;
        SetLastActivationError("DllGetClassObject of " + *path + " failed with " + HexResult(hr));
    }
    return hr;
}

}  // namespace

extern "C" {

HRESULT CoInitialize(void*) noexcept {
    return S_OK;
}
HRESULT CoInitializeEx(void*, DWORD) noexcept {
    return S_OK;
}
void CoUninitialize() noexcept {}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) noexcept {
    if (!progId || !clsid)
        return E_INVALIDARG;
    *clsid = CLSID_NULL;
    try {
        SetLastActivationError({});
        return LookUpProgId(progId, *clsid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) noexcept {
    if (!clsid)
        return E_INVALIDARG;
    *clsid = CLSID_NULL;
    if (!text)
        return S_OK;
    if (text[0] == u'{') {
        try {
            auto guid = comlite::ParseGuid(std::u16string_view(text));
            if (!guid || std::u16string_view(text).size() != 38)
                return CO_E_CLASSSTRING;
            *clsid = *guid;
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    return CLSIDFromProgID(text, clsid);
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) noexcept {
    if (!progId)
        return E_INVALIDARG;
    *progId = nullptr;
    try {
        SetLastActivationError({});
        auto tree = LoadRegistry();
        if (!tree)
            return REGDB_E_READREGDB;
        const auto name = tree->GetString(ClassKey(clsid) + "\\ProgID");
        if (!name || name->empty())
            return REGDB_E_CLASSNOTREG;
        const std::u16string wide = comlite::Utf8ToUtf16(*name);
        auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
        if (!out)
            return E_OUTOFMEMORY;
        std::copy(wide.begin(), wide.end(), out);
        out[wide.size()] = 0;
        *progId = out;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* serverInfo, REFIID riid,
                         void** object) noexcept {
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    if (serverInfo)
        return E_INVALIDARG;
    try {
        SetLastActivationError({});
        if (!(clsContext & CLSCTX_INPROC_SERVER)) {
            SetLastActivationError("only in-process servers can be created");
            return REGDB_E_CLASSNOTREG;
        }
        return GetClassObject(clsid, riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** object) noexcept {
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, clsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, riid, object);
    factory->Release();
    if (FAILED(hr)) {
        *object = nullptr;
        try {
            SetLastActivationError("CreateInstance of " + comlite::GuidToString(clsid) +
                                   " failed with " + HexResult(hr));
        } catch (const std::bad_alloc&) {
        }
    }
    return hr;
}

}  // extern "C"

namespace comlite {

std::string LastActivationError() {
    return t_lastError;
}

}  // namespace comlite
