#pragma once
// The automation interfaces of the back-office stand-in: "QORPost.Station" (a site's
// back-office database) and "QORPost.Inventory" (its items). Dispatch identifiers are numbered
// in declaration order, a property's get and put sharing one: from 0x60020000 for interfaces
// derived from IDispatch, from 0x60030000 for the inventory's own members, which extend the
// record-set interface every table of the posting server shares.
//
//   Station                                Inventory
//   0x60020000 ClientVersion  get/put long  0x60020000 ClientVersion get/put long
//   0x60020001 Open(text path, short site)  0x60020001 Open(object station)
//   0x60020002 SiteNumber     get short     0x60020002 Close()
//   0x60020003 DatabasePath   get text      0x60020003 RecordCount get long
//                                           0x60020004 MoveFirst() -> bool
//                                           0x60020005 MoveNext() -> bool
//                                           0x60020006 AtEnd get bool
//                                           0x60020007 GetField(text name, [out] variant)
//                                           0x60030000 ItemID get text
//                                           0x60030001 UPCCode get text
//                                           0x60030002 UPCPackSize get long
//                                           0x60030003 Description get text
//                                           0x60030004 PackSize get long
//                                           0x60030005 Active get bool
//                                           0x60030006 SiteNumber get short
//                                           0x60030007 ActiveOnly get/put bool
//
// Station.Open takes the path of the back-office database "QORSETUP.MDB"; the stand-in reads
// its items from "qorpost.sqlite" in the same directory (see item_store.h). The path is a
// POSIX path, or a Windows-form path without a drive letter (backslashes are taken as '/').
// GetField knows the fields "id", "UPC_code", "UPC_pack_size", "description", "pack_size" and
// "active" (any letter case). With ActiveOnly set, the walk skips inactive items.
//
// Failures are raised as automation errors (HRESULT 0x80040000 + code, with an error object
// whose source is the ProgID).

#include "comlite/dispatch.h"
#include "comlite/guid.h"
#include "comlite/interfaces.h"

namespace tw::backoffice {

inline constexpr IID IID_IPostingStation =
    comlite::MakeGuid("{5C3E2A10-7B4D-4F6A-9E21-3D8C0B7A1F01}");
inline constexpr IID IID_IPostingRecordSet =
    comlite::MakeGuid("{5C3E2A11-7B4D-4F6A-9E21-3D8C0B7A1F01}");
inline constexpr IID IID_IPostingInventory =
    comlite::MakeGuid("{5C3E2A12-7B4D-4F6A-9E21-3D8C0B7A1F01}");
inline constexpr CLSID CLSID_PostingStation =
    comlite::MakeGuid("{5C3E2A20-7B4D-4F6A-9E21-3D8C0B7A1F01}");
inline constexpr CLSID CLSID_PostingInventory =
    comlite::MakeGuid("{5C3E2A21-7B4D-4F6A-9E21-3D8C0B7A1F01}");

inline constexpr const char* kStationProgId = "QORPost.Station";
inline constexpr const char* kInventoryProgId = "QORPost.Inventory";

// Error codes (HRESULT 0x80040000 + code).
enum class PostingError : int {
    CannotOpen = 1,  // the database cannot be opened or read
    NotOpen = 2,     // the object has not been opened
    NoCurrentRecord = 3,
    UnknownField = 4,
    InvalidArgument = 5,
};

struct IPostingStation : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ClientVersion(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ClientVersion(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(BSTR databasePath, SHORT siteNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SiteNumber(SHORT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DatabasePath(BSTR* value) = 0;

protected:
    ~IPostingStation() = default;
};

struct IPostingRecordSet : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ClientVersion(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ClientVersion(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(IDispatch* station) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveFirst(VARIANT_BOOL* positioned) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext(VARIANT_BOOL* moved) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AtEnd(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetField(BSTR name, VARIANT* value) = 0;

protected:
    ~IPostingRecordSet() = default;
};

struct IPostingInventory : IPostingRecordSet {
    virtual HRESULT STDMETHODCALLTYPE get_ItemID(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UPCCode(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UPCPackSize(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PackSize(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SiteNumber(SHORT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ActiveOnly(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ActiveOnly(VARIANT_BOOL value) = 0;

protected:
    ~IPostingInventory() = default;
};

namespace posting_members {
using namespace comlite;

inline constexpr DispatchMember kStation[] = {
    PropertyGet<&IPostingStation::get_ClientVersion>(0x60020000, "ClientVersion", {RetVal(VT_I4)}),
    PropertyPut<&IPostingStation::put_ClientVersion>(0x60020000, "ClientVersion",
                                                     {In(VT_I4, "value")}),
    Method<&IPostingStation::Open>(0x60020001, "Open",
                                   {In(VT_BSTR, "DatabasePath"), In(VT_I2, "SiteNumber")}),
    PropertyGet<&IPostingStation::get_SiteNumber>(0x60020002, "SiteNumber", {RetVal(VT_I2)}),
    PropertyGet<&IPostingStation::get_DatabasePath>(0x60020003, "DatabasePath", {RetVal(VT_BSTR)}),
};

inline constexpr DispatchMember kInventory[] = {
    PropertyGet<&IPostingInventory::get_ClientVersion>(0x60020000, "ClientVersion",
                                                       {RetVal(VT_I4)}),
    PropertyPut<&IPostingInventory::put_ClientVersion>(0x60020000, "ClientVersion",
                                                       {In(VT_I4, "value")}),
    Method<&IPostingInventory::Open>(0x60020001, "Open", {In(VT_DISPATCH, "Station")}),
    Method<&IPostingInventory::Close>(0x60020002, "Close"),
    PropertyGet<&IPostingInventory::get_RecordCount>(0x60020003, "RecordCount", {RetVal(VT_I4)}),
    Method<&IPostingInventory::MoveFirst>(0x60020004, "MoveFirst", {RetVal(VT_BOOL)}),
    Method<&IPostingInventory::MoveNext>(0x60020005, "MoveNext", {RetVal(VT_BOOL)}),
    PropertyGet<&IPostingInventory::get_AtEnd>(0x60020006, "AtEnd", {RetVal(VT_BOOL)}),
    Method<&IPostingInventory::GetField>(0x60020007, "GetField",
                                         {In(VT_BSTR, "Name"), Out(VT_VARIANT, "Value")}),
    PropertyGet<&IPostingInventory::get_ItemID>(0x60030000, "ItemID", {RetVal(VT_BSTR)}),
    PropertyGet<&IPostingInventory::get_UPCCode>(0x60030001, "UPCCode", {RetVal(VT_BSTR)}),
    PropertyGet<&IPostingInventory::get_UPCPackSize>(0x60030002, "UPCPackSize", {RetVal(VT_I4)}),
    PropertyGet<&IPostingInventory::get_Description>(0x60030003, "Description", {RetVal(VT_BSTR)}),
    PropertyGet<&IPostingInventory::get_PackSize>(0x60030004, "PackSize", {RetVal(VT_I4)}),
    PropertyGet<&IPostingInventory::get_Active>(0x60030005, "Active", {RetVal(VT_BOOL)}),
    PropertyGet<&IPostingInventory::get_SiteNumber>(0x60030006, "SiteNumber", {RetVal(VT_I2)}),
    PropertyGet<&IPostingInventory::get_ActiveOnly>(0x60030007, "ActiveOnly", {RetVal(VT_BOOL)}),
    PropertyPut<&IPostingInventory::put_ActiveOnly>(0x60030007, "ActiveOnly",
                                                    {In(VT_BOOL, "value")}),
};

}  // namespace posting_members
}  // namespace tw::backoffice
