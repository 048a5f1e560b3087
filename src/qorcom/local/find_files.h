#pragma once
// "QORCom.FindFiles": the entries of one directory that a mask selects, files and directories
// alike, as full paths in ascending byte order.

#include <string>
#include <string_view>
#include <vector>

#include "qorcom/frame/unknown.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

// The mask is a directory part (up to its last '/'; none means the current directory, and
// the paths then have none either) and a name mask matched as file names always were: '*' any
// run, '?' one character, letters without regard to case, "*.*" everything. "." and ".." are
// entries too, when the name mask selects them. A directory that cannot be read, and an empty
// name mask, select nothing.
std::vector<std::string> FindEntries(std::string_view mask);

// Has no ISupportErrorInfo face and raises nothing: Find fails only with E_POINTER or
// E_OUTOFMEMORY, and an unmatched mask gives an empty array.
class CFindFiles final : public CUnknown, public IQORFindFiles {
public:
    explicit CFindFiles(IUnknown* outer) : CUnknown(outer) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return OuterUnknown()->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterUnknown()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterUnknown()->Release(); }
    HRESULT NondelegatingQueryInterface(REFIID riid, void** object) override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    // *fileList becomes a VT_ARRAY | VT_VARIANT of BSTR paths.
    HRESULT STDMETHODCALLTYPE Find(BSTR fileMask, VARIANT* fileList) override;
};

}  // namespace tw::qorcom
