#include "qorcom/local/software_message.h"

#include <cstdint>
#include <vector>

#include "comlite/bstr.h"
#include "qorcom/common/base64.h"

namespace tw::qorcom {
namespace {

HRESULT CopyOut(std::u16string_view text, BSTR* value) {
    *value = comlite::AllocBstr(text);
    return *value ? S_OK : E_OUTOFMEMORY;
}

std::u16string Widen(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

}  // namespace

HRESULT CSoftwareMessage::put_Type(BSTR value) {
    return Guarded([&] {
        type_ = comlite::BstrView(value);
        return S_OK;
    });
}

HRESULT CSoftwareMessage::get_Type(BSTR* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] { return CopyOut(type_, value); });
}

HRESULT CSoftwareMessage::put_Message(BSTR value) {
    return Guarded([&] {
        message_ = comlite::BstrView(value);
        return S_OK;
    });
}

HRESULT CSoftwareMessage::get_Message(BSTR* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] { return CopyOut(message_, value); });
}

HRESULT CSoftwareMessage::put_Parameter(BSTR param, BSTR value) {
    return Guarded([&] {
        parameters_[std::u16string(comlite::BstrView(param))] = {
            std::u16string(comlite::BstrView(value)), false};
        return S_OK;
    });
}

HRESULT CSoftwareMessage::get_Parameter(BSTR param, BSTR* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] {
        const auto it = parameters_.find(std::u16string(comlite::BstrView(param)));
        return CopyOut(it == parameters_.end() ? std::u16string_view{} : it->second.text, value);
    });
}

HRESULT CSoftwareMessage::put_BinaryParameter(BSTR param, BSTR value) {
    return Guarded([&] {
        std::vector<std::uint8_t> bytes;
        for (char16_t c : comlite::BstrView(value)) {
            if (c > 0xFF)
                return E_INVALIDARG;
            bytes.push_back(static_cast<std::uint8_t>(c));
        }
        parameters_[std::u16string(comlite::BstrView(param))] = {Widen(Base64Encode(bytes)), true};
        return S_OK;
    });
}

HRESULT CSoftwareMessage::get_BinaryParameter(BSTR param, BSTR* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] {
        const auto it = parameters_.find(std::u16string(comlite::BstrView(param)));
        if (it == parameters_.end())
            return CopyOut({}, value);
        if (!it->second.binary)
            return CopyOut(it->second.text, value);
        // Stored by put_BinaryParameter, so always valid Base64 of ASCII characters.
        const std::u16string& text = it->second.text;
        const auto bytes = Base64Decode(std::string(text.begin(), text.end()));
        std::u16string chars;
        if (bytes)
            chars.assign(bytes->begin(), bytes->end());
        return CopyOut(chars, value);
    });
}

}  // namespace tw::qorcom
