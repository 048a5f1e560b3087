#pragma once
// "QORCom.DriveOverrider": rewrites the start of paths, drive or share prefixes to others.

#include <map>
#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORDriveOverrider> {
    static constexpr const char* kName = "IQORDriveOverrider";
    static constexpr IID kIid = IID_IQORDriveOverrider;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kDriveOverrider;
};

class CDriveOverrider final : public GenericDispatchObject<IQORDriveOverrider> {
public:
    explicit CDriveOverrider(IUnknown* outer)
        : GenericDispatchObject(outer, "QORCom.DriveOverrider") {}

    // Both strings are stored upper-cased (ASCII letters); a search string given again gets
    // the new replacement.
    HRESULT STDMETHODCALLTYPE Add(BSTR searchString, BSTR replaceString) override;
    // The first search string, in ascending order of the search strings, that starts the path
    // (ignoring case) is replaced by its replacement; the rest of the path keeps the caller's
    // spelling. Without one the path comes back unchanged.
    //
    // The first in that order wins, not the longest: with both "C:" and "C:\DATA" added,
    // "C:" is found first and "C:\DATA" never applies. Installed callers' settings were made
    // against this order, so it stays.
    HRESULT STDMETHODCALLTYPE OverridePath(BSTR existingPath, BSTR* value) override;

private:
    std::map<std::string, std::string> prefixes_;  // search -> replacement, both upper case
};

}  // namespace tw::qorcom
