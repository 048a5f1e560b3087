#include "qorcom/local/find_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "comlite/bstr.h"
#include "comlite/dispatch.h"
#include "comlite/error_info.h"
#include "comlite/variant.h"
#include "platform/wildcard.h"
#include "qorcom/frame/errors.h"

namespace tw::qorcom {

std::vector<std::string> FindEntries(std::string_view mask) {
    const std::size_t slash = mask.rfind('/');
    const std::string directory(slash == std::string_view::npos ? std::string_view{}
                                                                : mask.substr(0, slash + 1));
    const std::string_view nameMask =
        slash == std::string_view::npos ? mask : mask.substr(slash + 1);
    std::vector<std::string> found;
    if (nameMask.empty())
        return found;
    std::error_code error;
    std::filesystem::directory_iterator entries(directory.empty() ? "." : directory, error);
    if (error)
        return found;
    // The directory iterator leaves out the two entries every directory has.
    for (const char* special : {".", ".."})
        if (platform::MatchMask(nameMask, special))
            found.push_back(directory + special);
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (platform::MatchMask(nameMask, name))
            found.push_back(directory + name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

HRESULT CFindFiles::NondelegatingQueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IQORFindFiles || riid == IID_IDispatch)
        return Hand(static_cast<IQORFindFiles*>(this), object);
    return CUnknown::NondelegatingQueryInterface(riid, object);
}

HRESULT CFindFiles::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CFindFiles::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return index != 0 ? DISP_E_BADINDEX : E_NOTIMPL;
}

HRESULT CFindFiles::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return comlite::DispatchGetIDsOfNames(members::kFindFiles, riid, names, count, ids);
}

HRESULT CFindFiles::Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    SetErrorInfo(0, nullptr);
    return comlite::DispatchInvoke(members::kFindFiles, static_cast<IQORFindFiles*>(this), member,
                                   riid, lcid, flags, params, result, excepInfo, argErr);
}

HRESULT CFindFiles::Find(BSTR fileMask, VARIANT* fileList) {
    if (!fileList)
        return E_POINTER;
    VariantInit(fileList);
    return Guarded([&] {
        const std::vector<std::string> paths = FindEntries(comlite::BstrToUtf8(fileMask));
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(paths.size()));
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < static_cast<LONG>(paths.size()); ++i) {
            comlite::Variant path = comlite::Variant::TextUtf8(paths[static_cast<std::size_t>(i)]);
            if (!path.bstrVal || FAILED(SafeArrayPutElement(array, &i, &path))) {
                SafeArrayDestroy(array);
                return E_OUTOFMEMORY;
            }
        }
        fileList->vt = VT_ARRAY | VT_VARIANT;
        fileList->parray = array;
        return S_OK;
    });
}

}  // namespace tw::qorcom
