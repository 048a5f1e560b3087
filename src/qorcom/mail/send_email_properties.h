#pragma once
// The message every IQORSendEMail component composes from: To, CC, BCC (";"-separated lists of
// addresses or "Name <address>" entries), Subject, Body and Attachment (a ";"-separated list of
// local file paths), stored as given and handed back unchanged. Each component reads them when
// it sends.

#include <string>
#include <string_view>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/frame/property_values.h"

namespace tw::qorcom {

// Base of a component serving Interface (an interface derived from IQORSendEMail).
template <class Interface>
class SendEMailPropertiesObject : public GenericDispatchObject<Interface> {
public:
    SendEMailPropertiesObject(IUnknown* outer, std::string_view errorSource)
        : GenericDispatchObject<Interface>(outer, errorSource) {}

    HRESULT STDMETHODCALLTYPE get_Attachment(BSTR* value) override {
        return GetString(attachment_, value);
    }
    HRESULT STDMETHODCALLTYPE put_Attachment(BSTR value) override {
        return PutString(value, &attachment_);
    }
    HRESULT STDMETHODCALLTYPE get_BCC(BSTR* value) override { return GetString(bcc_, value); }
    HRESULT STDMETHODCALLTYPE put_BCC(BSTR value) override { return PutString(value, &bcc_); }
    HRESULT STDMETHODCALLTYPE get_CC(BSTR* value) override { return GetString(cc_, value); }
    HRESULT STDMETHODCALLTYPE put_CC(BSTR value) override { return PutString(value, &cc_); }
    HRESULT STDMETHODCALLTYPE get_Subject(BSTR* value) override {
        return GetString(subject_, value);
    }
    HRESULT STDMETHODCALLTYPE put_Subject(BSTR value) override {
        return PutString(value, &subject_);
    }
    HRESULT STDMETHODCALLTYPE get_Body(BSTR* value) override { return GetString(body_, value); }
    HRESULT STDMETHODCALLTYPE put_Body(BSTR value) override { return PutString(value, &body_); }
    HRESULT STDMETHODCALLTYPE get_To(BSTR* value) override { return GetString(to_, value); }
    HRESULT STDMETHODCALLTYPE put_To(BSTR value) override { return PutString(value, &to_); }

protected:
    std::string to_, cc_, bcc_, subject_, body_, attachment_;
};

}  // namespace tw::qorcom
