#include "qorcom/local/drive_overrider.h"

#include "comlite/bstr.h"
#include "platform/wildcard.h"

namespace tw::qorcom {

HRESULT CDriveOverrider::Add(BSTR searchString, BSTR replaceString) {
    return Guarded([&] {
        prefixes_[platform::UpperCaseAscii(comlite::BstrToUtf8(searchString))] =
            platform::UpperCaseAscii(comlite::BstrToUtf8(replaceString));
        return S_OK;
    });
}

HRESULT CDriveOverrider::OverridePath(BSTR existingPath, BSTR* value) {
    if (!value)
        return E_POINTER;
    *value = nullptr;
    return Guarded([&] {
        const std::string path = comlite::BstrToUtf8(existingPath);
        std::string result = path;
        for (const auto& [search, replacement] : prefixes_) {
            if (path.size() >= search.size() &&
                platform::EqualsIgnoreCase(std::string_view(path).substr(0, search.size()),
                                           search)) {
                result = replacement + path.substr(search.size());
                break;
            }
        }
        *value = comlite::AllocBstrUtf8(result);
        return *value ? S_OK : E_OUTOFMEMORY;
    });
}

}  // namespace tw::qorcom
