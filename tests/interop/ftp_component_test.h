#pragma once
// What the FTP interop tests share: a "QORCom.FTP" object set up for a loopback server, its
// calls with texts in and success out, and a scratch directory for the local side.

#include <gtest/gtest.h>

#include <string>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::test {

class FtpComponentTest : public ::testing::Test {
protected:
    // A new component for 127.0.0.1:port with the user's credentials (not yet connected).
    void Open(int port, const char* user, const char* password) {
        ftp_ = qorcom::test::Create<IQORFTP>(CLSID_QORFTP, IID_IQORFTP);
        ASSERT_TRUE(ftp_);
        ftp_->put_Server(comlite::Bstr::FromUtf8("127.0.0.1").Get());
        ftp_->put_Port(static_cast<SHORT>(port));
        ftp_->put_UserName(comlite::Bstr::FromUtf8(user).Get());
        ftp_->put_Password(comlite::Bstr::FromUtf8(password).Get());
    }
    void TearDown() override {
        if (ftp_)
            ftp_->Disconnect();
    }
    bool Connect() {
        VARIANT_BOOL ok = VARIANT_FALSE;
        ftp_->Connect(&ok);
        return ok == VARIANT_TRUE;
    }
    using Member = HRESULT (STDMETHODCALLTYPE IQORFTP::*)(BSTR, BSTR, VARIANT_BOOL*);
    bool Two(Member member, const std::string& a, const std::string& b) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        (ftp_.Get()->*member)(comlite::Bstr::FromUtf8(a).Get(), comlite::Bstr::FromUtf8(b).Get(),
                              &ok);
        return ok == VARIANT_TRUE;
    }
    using OneMember = HRESULT (STDMETHODCALLTYPE IQORFTP::*)(BSTR, VARIANT_BOOL*);
    bool One(OneMember member, const std::string& a) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        (ftp_.Get()->*member)(comlite::Bstr::FromUtf8(a).Get(), &ok);
        return ok == VARIANT_TRUE;
    }
    std::string Message() {
        comlite::Bstr text;
        ftp_->get_LastErrorMessage(text.Put());
        return text.Utf8();
    }

    comlite::ComPtr<IQORFTP> ftp_;
    ScratchDir local_;
};

}  // namespace tw::test
