#include "backoffice/posting_objects.h"

#include <cstdlib>
#include <optional>

#include "platform/os_services.h"

#include <new>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "comlite/text.h"
#include "platform/paths.h"
#include "platform/wildcard.h"

namespace tw::backoffice {
namespace {

HRESULT Raise(const char* source, PostingError code, const std::string& text) {
    return comlite::ReportErrorUtf8(
        MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, static_cast<unsigned>(code)), source, text);
}

HRESULT RaiseStation(PostingError code, const std::string& text) {
    return Raise(kStationProgId, code, text);
}

HRESULT RaiseInventory(PostingError code, const std::string& text) {
    return Raise(kInventoryProgId, code, text);
}

HRESULT ReturnText(const std::string& text, BSTR* value) {
    *value = comlite::AllocBstrUtf8(text);
    return *value ? S_OK : E_OUTOFMEMORY;
}

// The stand-in runs inside the program that created it, so it reads that program's path
// mappings: PATHMAP in $TIDEWELL_HOME, else in the program's own directory.
std::optional<platform::PathResolver> ProgramPathResolver(std::string* error) {
    std::string home;
    if (const char* value = std::getenv("TIDEWELL_HOME"); value != nullptr && *value != '\0')
        home = value;
    else
        home = std::string(platform::DirectoryPart(platform::ExecutablePath()));
    return platform::PathResolver::FromMapFile(
        platform::ExistingOrExactPath(home, platform::PathResolver::kMapFileName), error);
}

}  // namespace

std::atomic<long>& ModuleReferences() {
    static std::atomic<long> count{0};
    return count;
}

bool ItemDatabaseFor(const std::string& setupPath, std::string& databasePath, std::string* error) {
    std::string reason;
    const std::optional<platform::PathResolver> resolver = ProgramPathResolver(&reason);
    std::optional<std::string> path;
    if (resolver)
        path = resolver->ResolveLocal(setupPath, &reason);
    if (!path) {
        if (error)
            *error = "The back-office path " + setupPath + " cannot be used here: " + reason;
        return false;
    }
    if (path->empty() || path->front() != '/') {
        if (error)
            *error = "The back-office path " + setupPath + " is not an absolute local path.";
        return false;
    }
    databasePath = platform::ExistingOrExactPath(std::string(platform::DirectoryPart(*path)),
                                                 kItemDatabaseName);
    return true;
}

// ---- PostingStation ----

PostingStation::PostingStation() {
    ++ModuleReferences();
}
PostingStation::~PostingStation() {
    --ModuleReferences();
}

HRESULT PostingStation::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IPostingStation) {
        *object = static_cast<IPostingStation*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG PostingStation::AddRef() {
    return ++refs_;
}

ULONG PostingStation::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT PostingStation::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IPostingStation ? S_OK : S_FALSE;
}

HRESULT PostingStation::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT PostingStation::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT PostingStation::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return comlite::DispatchGetIDsOfNames(posting_members::kStation, riid, names, count, ids);
}

HRESULT PostingStation::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    return comlite::DispatchInvoke(posting_members::kStation, static_cast<IPostingStation*>(this),
                                   id, riid, lcid, flags, params, result, excepInfo, argErr);
}

HRESULT PostingStation::get_ClientVersion(LONG* value) {
    *value = clientVersion_;
    return S_OK;
}

HRESULT PostingStation::put_ClientVersion(LONG value) {
    clientVersion_ = value;
    return S_OK;
}

HRESULT PostingStation::Open(BSTR databasePath, SHORT siteNumber) {
    const std::string setupPath = comlite::BstrToUtf8(databasePath);
    if (siteNumber < 1) {
        return RaiseStation(PostingError::InvalidArgument,
                            "Site number " + std::to_string(siteNumber) + " is not valid.");
    }
    std::string path, error;
    if (!ItemDatabaseFor(setupPath, path, &error))
        return RaiseStation(PostingError::CannotOpen, error);
    if (!ItemStore::OpenForReading(path, &error))
        return RaiseStation(PostingError::CannotOpen,
                            "Cannot open the back-office database " + path + ": " + error + ".");
    databasePath_ = std::move(path);
    siteNumber_ = siteNumber;
    return S_OK;
}

HRESULT PostingStation::get_SiteNumber(SHORT* value) {
    *value = siteNumber_;
    return S_OK;
}

HRESULT PostingStation::get_DatabasePath(BSTR* value) {
    return ReturnText(databasePath_, value);
}

// ---- PostingInventory ----

PostingInventory::PostingInventory() {
    ++ModuleReferences();
}
PostingInventory::~PostingInventory() {
    --ModuleReferences();
}

HRESULT PostingInventory::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IPostingRecordSet ||
        riid == IID_IPostingInventory) {
        *object = static_cast<IPostingInventory*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG PostingInventory::AddRef() {
    return ++refs_;
}

ULONG PostingInventory::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT PostingInventory::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IPostingInventory || riid == IID_IPostingRecordSet ? S_OK : S_FALSE;
}

HRESULT PostingInventory::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT PostingInventory::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT PostingInventory::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
    return comlite::DispatchGetIDsOfNames(posting_members::kInventory, riid, names, count, ids);
}

HRESULT PostingInventory::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    return comlite::DispatchInvoke(posting_members::kInventory,
                                   static_cast<IPostingInventory*>(this), id, riid, lcid, flags,
                                   params, result, excepInfo, argErr);
}

HRESULT PostingInventory::get_ClientVersion(LONG* value) {
    *value = clientVersion_;
    return S_OK;
}

HRESULT PostingInventory::put_ClientVersion(LONG value) {
    clientVersion_ = value;
    return S_OK;
}

HRESULT PostingInventory::Open(IDispatch* station) {
    Close();
    comlite::ComPtr<IPostingStation> ours;
    if (!station || FAILED(station->QueryInterface(IID_IPostingStation, ours.PutVoid())))
        return RaiseInventory(PostingError::InvalidArgument,
                              "The station is not a back-office station.");
    comlite::Bstr path;
    SHORT site = 0;
    if (FAILED(ours->get_DatabasePath(path.Put())) || FAILED(ours->get_SiteNumber(&site)))
        return E_OUTOFMEMORY;
    if (path.Length() == 0)
        return RaiseInventory(PostingError::NotOpen, "The station is not open.");
    databasePath_ = path.Utf8();
    siteNumber_ = site;
    open_ = true;
    const HRESULT hr = Load();
    if (FAILED(hr))
        open_ = false;
    return hr;
}

HRESULT PostingInventory::Load() {
    std::string error;
    auto store = ItemStore::OpenForReading(databasePath_, &error);
    if (!store || !store->LoadItems(activeOnly_, items_, &error)) {
        items_.clear();
        position_ = 0;
        return RaiseInventory(PostingError::CannotOpen,
                              "Cannot read the items of " + databasePath_ + ": " + error + ".");
    }
    position_ = 0;
    return S_OK;
}

HRESULT PostingInventory::Close() {
    open_ = false;
    items_.clear();
    position_ = 0;
    return S_OK;
}

HRESULT PostingInventory::get_RecordCount(LONG* value) {
    *value = static_cast<LONG>(items_.size());
    return S_OK;
}

HRESULT PostingInventory::MoveFirst(VARIANT_BOOL* positioned) {
    if (!open_)
        return RaiseInventory(PostingError::NotOpen, "The inventory is not open.");
    const HRESULT hr = Load();
    if (FAILED(hr))
        return hr;
    *positioned = items_.empty() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT PostingInventory::MoveNext(VARIANT_BOOL* moved) {
    if (!open_)
        return RaiseInventory(PostingError::NotOpen, "The inventory is not open.");
    if (position_ < items_.size())
        ++position_;
    *moved = position_ < items_.size() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT PostingInventory::get_AtEnd(VARIANT_BOOL* value) {
    *value = position_ >= items_.size() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT PostingInventory::Current(const ItemRecord*& item) {
    if (!open_)
        return RaiseInventory(PostingError::NotOpen, "The inventory is not open.");
    if (position_ >= items_.size())
        return RaiseInventory(PostingError::NoCurrentRecord, "There is no current record.");
    item = &items_[position_];
    return S_OK;
}

HRESULT PostingInventory::GetField(BSTR name, VARIANT* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    const std::u16string_view field = comlite::BstrView(name);
    comlite::Variant result;
    if (comlite::EqualsIgnoreCase(field, "id")) {
        result = comlite::Variant::TextUtf8(item->id);
    } else if (comlite::EqualsIgnoreCase(field, "UPC_code")) {
        result = comlite::Variant::TextUtf8(item->upcCode);
    } else if (comlite::EqualsIgnoreCase(field, "UPC_pack_size")) {
        result = comlite::Variant::I4(item->upcPackSize);
    } else if (comlite::EqualsIgnoreCase(field, "description")) {
        result = comlite::Variant::TextUtf8(item->description);
    } else if (comlite::EqualsIgnoreCase(field, "pack_size")) {
        result = comlite::Variant::I4(item->packSize);
    } else if (comlite::EqualsIgnoreCase(field, "active")) {
        result = comlite::Variant::Bool(item->active);
    } else {
        return RaiseInventory(PostingError::UnknownField,
                              "Unknown field " + comlite::Utf16ToUtf8(field) + ".");
    }
    if (result.vt == VT_BSTR && !result.bstrVal)
        return E_OUTOFMEMORY;
    *value = result.Detach();
    return S_OK;
}

HRESULT PostingInventory::get_ItemID(BSTR* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    return ReturnText(item->id, value);
}

HRESULT PostingInventory::get_UPCCode(BSTR* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    return ReturnText(item->upcCode, value);
}

HRESULT PostingInventory::get_UPCPackSize(LONG* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    *value = item->upcPackSize;
    return S_OK;
}

HRESULT PostingInventory::get_Description(BSTR* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    return ReturnText(item->description, value);
}

HRESULT PostingInventory::get_PackSize(LONG* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    *value = item->packSize;
    return S_OK;
}

HRESULT PostingInventory::get_Active(VARIANT_BOOL* value) {
    const ItemRecord* item = nullptr;
    if (const HRESULT hr = Current(item); FAILED(hr))
        return hr;
    *value = item->active ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT PostingInventory::get_SiteNumber(SHORT* value) {
    *value = siteNumber_;
    return S_OK;
}

HRESULT PostingInventory::get_ActiveOnly(VARIANT_BOOL* value) {
    *value = activeOnly_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT PostingInventory::put_ActiveOnly(VARIANT_BOOL value) {
    activeOnly_ = value != VARIANT_FALSE;
    return S_OK;
}

// ---- PostingClassFactory ----

PostingClassFactory::PostingClassFactory(const CLSID& clsid) : clsid_(clsid) {
    ++ModuleReferences();
}
PostingClassFactory::~PostingClassFactory() {
    --ModuleReferences();
}

HRESULT PostingClassFactory::QueryInterface(REFIID riid, void** object) {
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

ULONG PostingClassFactory::AddRef() {
    return ++refs_;
}

ULONG PostingClassFactory::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT PostingClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* created = nullptr;
    if (clsid_ == CLSID_PostingStation)
        created = static_cast<IPostingStation*>(new (std::nothrow) PostingStation());
    else if (clsid_ == CLSID_PostingInventory)
        created = static_cast<IPostingInventory*>(new (std::nothrow) PostingInventory());
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    if (!created)
        return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

HRESULT PostingClassFactory::LockServer(BOOL lock) {
    if (lock)
        ++ModuleReferences();
    else
        --ModuleReferences();
    return S_OK;
}

}  // namespace tw::backoffice
