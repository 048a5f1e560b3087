#pragma once
// The components that need no network: the shared queue, Soundex, file search, the path
// rewriter, the standard-output status sink and the software message.

#include "comlite/dispatch.h"
#include "comlite/guid.h"

// A first-in, first-out queue of strings in named shared memory, seen by every process that
// opens the same Name with the same Visibility ("Global": every user of the machine; "Local"
// or none: the user's own). The queue exists while at least one object uses it. The first
// Add, Remove or Empty binds the object to its queue; later changes of Name or Visibility do
// not move it. Errors are raised with code 0x201E ("Queue is full!", "Queue is corrupt.", ...).
struct IQORGlobalQueue : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Empty(VARIANT_BOOL* value) = 0;
    // Stores the text up to its first NUL character.
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR value) = 0;
    // The oldest entry and true; an empty string and false when the queue is empty.
    virtual HRESULT STDMETHODCALLTYPE Remove(BSTR* value, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Visibility(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Visibility(BSTR value) = 0;

protected:
    ~IQORGlobalQueue() = default;
};

// Phonetic codes of names and a similarity score of two names. E_POINTER for a null out
// pointer.
struct IQORSoundex : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Soundex(BSTR text, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SoundexPercentage(BSTR text1, BSTR text2, double* value) = 0;

protected:
    ~IQORSoundex() = default;
};

// The entries a mask selects, as a one-dimensional array of VARIANTs holding full paths in
// ascending byte order.
struct IQORFindFiles : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Find(BSTR fileMask, VARIANT* fileList) = 0;

protected:
    ~IQORFindFiles() = default;
};

// Rewrites the start of paths: drive or share prefixes to others.
struct IQORDriveOverrider : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR searchString, BSTR replaceString) = 0;
    virtual HRESULT STDMETHODCALLTYPE OverridePath(BSTR existingPath, BSTR* value) = 0;

protected:
    ~IQORDriveOverrider() = default;
};

// A progress sink for long operations: they report through Status and poll CallCanceled.
struct IQORStatus : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Status(BSTR statusMsg) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel(VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCancel(VARIANT_BOOL result) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallCanceled(VARIANT_BOOL* result) = 0;

protected:
    ~IQORStatus() = default;
};

// A typed message with named text and binary parameters. A binary parameter's value is a
// string of bytes, one character (U+0000 to U+00FF) per byte.
struct IQORSoftwareMessage : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Type(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Type(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Message(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Message(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Parameter(BSTR param, BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Parameter(BSTR param, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BinaryParameter(BSTR param, BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BinaryParameter(BSTR param, BSTR* value) = 0;

protected:
    ~IQORSoftwareMessage() = default;
};

inline constexpr IID IID_IQORGlobalQueue =
    comlite::MakeGuid("{E08295A2-12E9-45EB-82F8-16E71E6FFDB6}");
inline constexpr IID IID_IQORSoundex = comlite::MakeGuid("{136EEA20-FEF5-46BD-9D31-6EC40AF257B3}");
inline constexpr IID IID_IQORFindFiles =
    comlite::MakeGuid("{A328DF08-074C-412E-A09C-55E3AB39699B}");
inline constexpr IID IID_IQORDriveOverrider =
    comlite::MakeGuid("{9EB3A0DA-058A-4DEB-9A9C-D520AA29897B}");
inline constexpr IID IID_IQORStatus = comlite::MakeGuid("{FA0D1229-960C-4B37-85E5-E7C1DAE80F28}");
inline constexpr IID IID_IQORSoftwareMessage =
    comlite::MakeGuid("{B6692127-48F1-45BA-9065-F09E3F29691D}");

inline constexpr CLSID CLSID_QORGlobalQueue =
    comlite::MakeGuid("{62C1815E-E221-4AD3-B193-18FDDFDBDE53}");
inline constexpr CLSID CLSID_QORSoundex =
    comlite::MakeGuid("{39FEB25E-EEE1-4841-903F-30520181738D}");
inline constexpr CLSID CLSID_QORFindFiles =
    comlite::MakeGuid("{D1B86170-4D9B-4643-A821-5E7264F04FBB}");
inline constexpr CLSID CLSID_QORDriveOverrider =
    comlite::MakeGuid("{45A44DB1-63B7-45EB-AD47-622DE2B3BAB1}");
// Also "QORPost.StdOutStatus".
inline constexpr CLSID CLSID_QORStdOutStatus =
    comlite::MakeGuid("{952432CD-7953-422C-BD74-78E661A1CB72}");
inline constexpr CLSID CLSID_QORSoftwareMessage =
    comlite::MakeGuid("{06B035C1-4723-488E-B206-FFD44C7A5CA3}");

namespace tw::qorcom::members {
using namespace comlite;

inline constexpr DispatchMember kGlobalQueue[] = {
    PropertyGet<&IQORGlobalQueue::get_Name>(0x60020000, "Name", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORGlobalQueue::put_Name>(0x60020000, "Name", {In(VT_BSTR, "Value")}),
    PropertyGet<&IQORGlobalQueue::get_Empty>(0x60020002, "Empty", {RetVal(VT_BOOL)}),
    Method<&IQORGlobalQueue::Add>(0x60020003, "Add", {In(VT_BSTR, "Value")}),
    Method<&IQORGlobalQueue::Remove>(0x60020004, "Remove",
                                     {Out(VT_BSTR, "Value"), RetVal(VT_BOOL, "Result")}),
    PropertyGet<&IQORGlobalQueue::get_Visibility>(0x60020005, "Visibility", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORGlobalQueue::put_Visibility>(0x60020005, "Visibility", {In(VT_BSTR, "Value")}),
};

inline constexpr DispatchMember kSoundex[] = {
    Method<&IQORSoundex::Soundex>(0x60020000, "Soundex",
                                  {In(VT_BSTR, "str"), RetVal(VT_BSTR, "Value")}),
    Method<&IQORSoundex::SoundexPercentage>(
        0x60020001, "SoundexPercentage",
        {In(VT_BSTR, "str1"), In(VT_BSTR, "str2"), RetVal(VT_R8, "Value")}),
};

inline constexpr DispatchMember kFindFiles[] = {
    Method<&IQORFindFiles::Find>(0x60020000, "Find",
                                 {In(VT_BSTR, "FileMask"), RetVal(VT_VARIANT, "FileList")}),
};

inline constexpr DispatchMember kDriveOverrider[] = {
    Method<&IQORDriveOverrider::Add>(0x60020000, "Add",
                                     {In(VT_BSTR, "SearchString"), In(VT_BSTR, "ReplaceString")}),
    Method<&IQORDriveOverrider::OverridePath>(
        0x60020001, "OverridePath", {In(VT_BSTR, "ExistingPath"), RetVal(VT_BSTR, "Value")}),
};

inline constexpr DispatchMember kStatus[] = {
    Method<&IQORStatus::Status>(0x60020000, "Status", {In(VT_BSTR, "StatusMsg")}),
    Method<&IQORStatus::Cancel>(0x60020001, "Cancel", {RetVal(VT_BOOL, "Result")}),
    Method<&IQORStatus::SetCancel>(0x60020002, "SetCancel", {In(VT_BOOL, "Result")}),
    Method<&IQORStatus::CallCanceled>(0x60020003, "CallCanceled", {RetVal(VT_BOOL, "Result")}),
};

inline constexpr DispatchMember kSoftwareMessage[] = {
    PropertyPut<&IQORSoftwareMessage::put_Type>(0x60020000, "Type", {In(VT_BSTR)}),
    PropertyGet<&IQORSoftwareMessage::get_Type>(0x60020000, "Type", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSoftwareMessage::put_Message>(0x60020002, "Message", {In(VT_BSTR)}),
    PropertyGet<&IQORSoftwareMessage::get_Message>(0x60020002, "Message", {RetVal(VT_BSTR)}),
    PropertyPut<&IQORSoftwareMessage::put_Parameter>(0x60020004, "Parameter",
                                                     {In(VT_BSTR, "Param"), In(VT_BSTR)}),
    PropertyGet<&IQORSoftwareMessage::get_Parameter>(0x60020004, "Parameter",
                                                     {In(VT_BSTR, "Param"), RetVal(VT_BSTR)}),
    PropertyPut<&IQORSoftwareMessage::put_BinaryParameter>(0x60020006, "BinaryParameter",
                                                           {In(VT_BSTR, "Param"), In(VT_BSTR)}),
    PropertyGet<&IQORSoftwareMessage::get_BinaryParameter>(0x60020006, "BinaryParameter",
                                                           {In(VT_BSTR, "Param"), RetVal(VT_BSTR)}),
};

}  // namespace tw::qorcom::members
