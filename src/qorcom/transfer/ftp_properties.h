#pragma once
// The connection settings every file-transfer component of the IQORFTP family keeps: Server,
// Port, UserName, Password, Passive, LongFileInfo, ASCII, PathPrefix, SecureLogin,
// SecureTransfer and VerifyServerCertificate, stored as given and handed back unchanged. Each
// component reads them when it connects or transfers; one that cannot honour a setting
// overrides its accessors to refuse it.

#include <string>
#include <string_view>

#include "qorcom/frame/generic_dispatch.h"
#include "qorcom/frame/property_values.h"

namespace tw::qorcom {

// Base of a component serving Interface (IQORFTP or an interface derived from it).
template <class Interface>
class FtpPropertiesObject : public GenericDispatchObject<Interface> {
public:
    FtpPropertiesObject(IUnknown* outer, std::string_view errorSource, SHORT defaultPort)
        : GenericDispatchObject<Interface>(outer, errorSource), port_(defaultPort) {}

    HRESULT STDMETHODCALLTYPE put_Server(BSTR value) override { return PutString(value, &server_); }
    HRESULT STDMETHODCALLTYPE get_Server(BSTR* value) override { return GetString(server_, value); }
    HRESULT STDMETHODCALLTYPE put_Port(SHORT value) override {
        port_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Port(SHORT* value) override {
        if (!value)
            return E_POINTER;
        *value = port_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_UserName(BSTR value) override {
        return PutString(value, &userName_);
    }
    HRESULT STDMETHODCALLTYPE get_UserName(BSTR* value) override {
        return GetString(userName_, value);
    }
    HRESULT STDMETHODCALLTYPE put_Password(BSTR value) override {
        return PutString(value, &password_);
    }
    HRESULT STDMETHODCALLTYPE get_Password(BSTR* value) override {
        return GetString(password_, value);
    }
    HRESULT STDMETHODCALLTYPE put_Passive(VARIANT_BOOL value) override {
        passive_ = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Passive(VARIANT_BOOL* value) override {
        return GetBool(passive_, value);
    }
    HRESULT STDMETHODCALLTYPE put_LongFileInfo(VARIANT_BOOL value) override {
        longFileInfo_ = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LongFileInfo(VARIANT_BOOL* value) override {
        return GetBool(longFileInfo_, value);
    }
    HRESULT STDMETHODCALLTYPE put_ASCII(VARIANT_BOOL value) override {
        ascii_ = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ASCII(VARIANT_BOOL* value) override {
        return GetBool(ascii_, value);
    }
    HRESULT STDMETHODCALLTYPE put_PathPrefix(BSTR value) override {
        return PutString(value, &pathPrefix_);
    }
    HRESULT STDMETHODCALLTYPE get_PathPrefix(BSTR* value) override {
        return GetString(pathPrefix_, value);
    }

    HRESULT STDMETHODCALLTYPE get_SecureLogin(VARIANT_BOOL* value) override {
        return GetBool(secureLogin_, value);
    }
    HRESULT STDMETHODCALLTYPE put_SecureLogin(VARIANT_BOOL value) override {
        secureLogin_ = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SecureTransfer(VARIANT_BOOL* value) override {
        return GetBool(secureTransfer_, value);
    }
    HRESULT STDMETHODCALLTYPE put_SecureTransfer(VARIANT_BOOL value) override {
        secureTransfer_ = value != VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_VerifyServerCertificate(VARIANT_BOOL* value) override {
        return GetBool(verifyServerCertificate_, value);
    }
    HRESULT STDMETHODCALLTYPE put_VerifyServerCertificate(VARIANT_BOOL value) override {
        verifyServerCertificate_ = value != VARIANT_FALSE;
        return S_OK;
    }

protected:
    std::string server_, userName_, password_, pathPrefix_;
    SHORT port_;
    bool passive_ = true;
    bool longFileInfo_ = false;
    bool ascii_ = false;
    bool secureLogin_ = false;
    bool secureTransfer_ = false;
    bool verifyServerCertificate_ = false;
};

}  // namespace tw::qorcom
