// Drives "QORCom.FTP" as any caller does (created by ProgID, called through IQORFTP) for
// bench/ftp/run: one connection with explicit TLS on the logon and the data connections
// (passive, binary), then the transfers asked for, then a disconnect.
//
//   ftp_bench HOST PORT USER PASSWORD get REMOTE LOCAL
//   ftp_bench HOST PORT USER PASSWORD put LOCAL REMOTE
//   ftp_bench HOST PORT USER PASSWORD put-many LOCALDIR REMOTEDIR COUNT
//   ftp_bench HOST PORT USER PASSWORD get-many REMOTEDIR LOCALDIR COUNT
//
// Files of the -many forms are named f0000 ... Exit status 0 when all succeeded.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "comlite/activation.h"
#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "qorcom/interfaces/ftp.h"

namespace {

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "ftp_bench: %s\n", why.c_str());
    std::exit(1);
}

std::string Name(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%04d", i);
    return name;
}

std::string LastError(IQORFTP* ftp) {
    comlite::Bstr text;
    ftp->get_LastErrorMessage(text.Put());
    return text.Utf8();
}

void Transfer(IQORFTP* ftp, bool get, const std::string& from, const std::string& to) {
    VARIANT_BOOL ok = VARIANT_FALSE;
    const comlite::Bstr source = comlite::Bstr::FromUtf8(from), dest = comlite::Bstr::FromUtf8(to);
    const HRESULT hr = get ? ftp->GetFile(source.Get(), dest.Get(), &ok)
                           : ftp->PutFile(source.Get(), dest.Get(), &ok);
    if (hr != S_OK || ok != VARIANT_TRUE)
        Die((get ? "get " : "put ") + from + ": " + LastError(ftp));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8)
        Die("usage: HOST PORT USER PASSWORD get|put|get-many|put-many FROM TO [COUNT]");
    const std::string mode = argv[5], from = argv[6], to = argv[7];
    CLSID clsid{};
    comlite::ComPtr<IQORFTP> ftp;
    if (CLSIDFromProgID(u"QORCom.FTP", &clsid) != S_OK ||
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQORFTP, ftp.PutVoid()) != S_OK)
        Die("cannot create QORCom.FTP (is libqorcom.so registered?)");
    ftp->put_Server(comlite::Bstr::FromUtf8(argv[1]).Get());
    ftp->put_Port(static_cast<SHORT>(std::atoi(argv[2])));
    ftp->put_UserName(comlite::Bstr::FromUtf8(argv[3]).Get());
    ftp->put_Password(comlite::Bstr::FromUtf8(argv[4]).Get());
    ftp->put_SecureLogin(VARIANT_TRUE);
    ftp->put_SecureTransfer(VARIANT_TRUE);
    ftp->put_Passive(VARIANT_TRUE);
    ftp->put_ASCII(VARIANT_FALSE);
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (ftp->Connect(&ok) != S_OK || ok != VARIANT_TRUE)
        Die("connect: " + LastError(ftp.Get()));
    if (mode == "get" || mode == "put") {
        Transfer(ftp.Get(), mode == "get", from, to);
    } else if ((mode == "get-many" || mode == "put-many") && argc > 8) {
        const int count = std::atoi(argv[8]);
        for (int i = 0; i < count; ++i)
            Transfer(ftp.Get(), mode == "get-many", from + "/" + Name(i), to + "/" + Name(i));
    } else {
        Die("unknown mode " + mode);
    }
    ftp->Disconnect();
    return 0;
}
