#pragma once
// "QORCom.SoftwareMessage": a typed message (Type, Message) with named parameters. A text
// parameter holds its text; a binary parameter holds bytes, kept Base64-encoded as a document
// of the "bin.base64" data type keeps them, and given and returned as a string of one character
// per byte (U+0000 to U+00FF).

#include <map>
#include <string>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/interfaces/local.h"

namespace tw::qorcom {

template <>
struct InterfaceTraits<IQORSoftwareMessage> {
    static constexpr const char* kName = "IQORSoftwareMessage";
    static constexpr IID kIid = IID_IQORSoftwareMessage;
    static constexpr const IID* kBaseIid = nullptr;
    static constexpr comlite::DispatchTable kMembers = members::kSoftwareMessage;
};

// Parameter names are exact (case counts). A parameter never set reads as an empty string.
class CSoftwareMessage final : public GenericDispatchObject<IQORSoftwareMessage> {
public:
    explicit CSoftwareMessage(IUnknown* outer)
        : GenericDispatchObject(outer, "QORCom.SoftwareMessage") {}

    HRESULT STDMETHODCALLTYPE put_Type(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Type(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Message(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Parameter(BSTR param, BSTR value) override;
    // A binary parameter reads as its Base64 text.
    HRESULT STDMETHODCALLTYPE get_Parameter(BSTR param, BSTR* value) override;
    // E_INVALIDARG (the parameter unchanged) for a character above U+00FF.
    HRESULT STDMETHODCALLTYPE put_BinaryParameter(BSTR param, BSTR value) override;
    // A text parameter reads as its text.
    HRESULT STDMETHODCALLTYPE get_BinaryParameter(BSTR param, BSTR* value) override;

private:
    struct Parameter {
        std::u16string text;  // Base64 for a binary parameter
        bool binary = false;
    };
    std::u16string type_;
    std::u16string message_;
    std::map<std::u16string, Parameter> parameters_;
};

}  // namespace tw::qorcom
