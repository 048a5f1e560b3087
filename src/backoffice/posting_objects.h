#pragma once
// The stand-in's objects: the station and the inventory (interfaces in posting_interfaces.h),
// and the class factory that makes them.
//
// Objects are used by one thread at a time (as apartment objects are); reference counts are
// atomic so that releases from any thread are safe.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "backoffice/item_store.h"
#include "backoffice/posting_interfaces.h"

namespace tw::backoffice {

// Live objects and factory locks of the module, for DllCanUnloadNow.
std::atomic<long>& ModuleReferences();

// The database file the station reads, for a "QORSETUP.MDB" path: kItemDatabaseName in the
// same directory (found exactly, else ignoring case). The path is resolved as Tidewell
// resolves stored paths, through the PATHMAP of the program directory ($TIDEWELL_HOME, else
// the running program's directory). False with *error for a path that cannot be resolved to a
// local absolute path (an unmapped drive, an unmapped share, a relative path).
bool ItemDatabaseFor(const std::string& setupPath, std::string& databasePath, std::string* error);

class PostingStation final : public IPostingStation, public ISupportErrorInfo {
public:
    PostingStation();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    HRESULT STDMETHODCALLTYPE get_ClientVersion(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_ClientVersion(LONG value) override;
    // Checks that the item database can be read; nothing stays open.
    HRESULT STDMETHODCALLTYPE Open(BSTR databasePath, SHORT siteNumber) override;
    HRESULT STDMETHODCALLTYPE get_SiteNumber(SHORT* value) override;
    // The item database's path; empty until opened.
    HRESULT STDMETHODCALLTYPE get_DatabasePath(BSTR* value) override;

private:
    ~PostingStation();
    std::atomic<ULONG> refs_{1};
    LONG clientVersion_ = 0;
    SHORT siteNumber_ = 0;
    std::string databasePath_;
};

class PostingInventory final : public IPostingInventory, public ISupportErrorInfo {
public:
    PostingInventory();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    HRESULT STDMETHODCALLTYPE get_ClientVersion(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_ClientVersion(LONG value) override;
    // Reads the station's items (a snapshot: later imports show after the next MoveFirst).
    HRESULT STDMETHODCALLTYPE Open(IDispatch* station) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* value) override;
    // Reads the items afresh and positions on the first.
    HRESULT STDMETHODCALLTYPE MoveFirst(VARIANT_BOOL* positioned) override;
    // At the last record, moves past it (AtEnd) and answers false; stays there.
    HRESULT STDMETHODCALLTYPE MoveNext(VARIANT_BOOL* moved) override;
    HRESULT STDMETHODCALLTYPE get_AtEnd(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE GetField(BSTR name, VARIANT* value) override;

    HRESULT STDMETHODCALLTYPE get_ItemID(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_UPCCode(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_UPCPackSize(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_PackSize(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_SiteNumber(SHORT* value) override;
    HRESULT STDMETHODCALLTYPE get_ActiveOnly(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_ActiveOnly(VARIANT_BOOL value) override;

private:
    ~PostingInventory();
    HRESULT Load();
    // The current record, or an error result (not open, no current record).
    HRESULT Current(const ItemRecord*& item);

    std::atomic<ULONG> refs_{1};
    LONG clientVersion_ = 0;
    bool activeOnly_ = false;
    bool open_ = false;
    SHORT siteNumber_ = 0;
    std::string databasePath_;
    std::vector<ItemRecord> items_;
    std::size_t position_ = 0;  // items_.size() when past the end or before the first move
};

// Makes stations or inventories; its own reference count, no shared state.
class PostingClassFactory final : public IClassFactory {
public:
    explicit PostingClassFactory(const CLSID& clsid);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ~PostingClassFactory();
    std::atomic<ULONG> refs_{1};
    CLSID clsid_;
};

}  // namespace tw::backoffice
