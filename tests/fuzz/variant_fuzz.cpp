// The runtime's variant coercion: a value of any scalar type (any bit pattern, any text) changed
// to every scalar type, with the flags the input gives.
#include <cstring>
#include <string>

#include "comlite/bstr.h"
#include "comlite/variant.h"
#include "fuzz_support.h"

namespace {

constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2,    VT_I4,   VT_R4,   VT_R8,     VT_CY,
                              VT_DATE,  VT_BSTR, VT_ERROR, VT_BOOL, VT_I1,   VT_UI1,    VT_UI2,
                              VT_UI4,   VT_I8,   VT_UI8,   VT_INT,  VT_UINT, VT_DECIMAL};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const VARTYPE from = kTypes[data[0] % std::size(kTypes)];
    const USHORT flags = static_cast<USHORT>(data[1] | (data[2] << 8));
    data += 3;
    size -= 3;
    if (from == VT_DECIMAL)
        return 0;  // built by coercion only: its layout is not a raw bit pattern
    VARIANT source;
    VariantInit(&source);
    source.vt = from;
    if (from == VT_BSTR) {
        std::u16string text(size / 2, u'\0');
        std::memcpy(text.data(), data, text.size() * 2);
        source.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } else {
        std::memcpy(&source.llVal, data, std::min(size, sizeof source.llVal));
    }
    for (VARTYPE to : kTypes) {
        VARIANT result;
        VariantInit(&result);
        if (SUCCEEDED(VariantChangeType(&result, &source, flags, to))) {
            // A coerced value coerces back without harm too.
            VARIANT back;
            VariantInit(&back);
            (void)VariantChangeType(&back, &result, 0, from);
            VariantClear(&back);
        }
        VariantClear(&result);
    }
    VariantClear(&source);
    return 0;
}
