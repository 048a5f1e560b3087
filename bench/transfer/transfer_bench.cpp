// Drives a file-transfer component as any caller does (created by ProgID, called through
// IQORFTP) for bench/ftp/run and bench/sftp/run: one connection, then the transfers asked for,
// then a disconnect. "QORCom.FTP" uses explicit TLS on the logon and the data connections
// (passive, binary); "QORCom.SFTP" logs on with the password, or with the user's key when the
// password is "".
//
//   transfer_bench PROGID HOST PORT USER PASSWORD get REMOTE LOCAL
//   transfer_bench PROGID HOST PORT USER PASSWORD put LOCAL REMOTE
//   transfer_bench PROGID HOST PORT USER PASSWORD put-many LOCALDIR REMOTEDIR COUNT
//   transfer_bench PROGID HOST PORT USER PASSWORD get-many REMOTEDIR LOCALDIR COUNT
//
// Files of the -many forms are named f0000 ... Exit status 0 when all succeeded.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "comlite/activation.h"
#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/text.h"
#include "qorcom/interfaces/ftp.h"

namespace {

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "transfer_bench: %s\n", why.c_str());
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
    if (argc < 9)
        Die("usage: PROGID HOST PORT USER PASSWORD get|put|get-many|put-many FROM TO [COUNT]");
    const std::string progId = argv[1], mode = argv[6], from = argv[7], to = argv[8];
    CLSID clsid{};
    comlite::ComPtr<IQORFTP> ftp;
    if (CLSIDFromProgID(comlite::Utf8ToUtf16(progId).c_str(), &clsid) != S_OK ||
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQORFTP, ftp.PutVoid()) != S_OK)
        Die("cannot create " + progId + " (is libqorcom.so registered?)");
    ftp->put_Server(comlite::Bstr::FromUtf8(argv[2]).Get());
    ftp->put_Port(static_cast<SHORT>(std::atoi(argv[3])));
    ftp->put_UserName(comlite::Bstr::FromUtf8(argv[4]).Get());
    if (*argv[5] != '\0')
        ftp->put_Password(comlite::Bstr::FromUtf8(argv[5]).Get());
    if (progId == "QORCom.FTP") {
        ftp->put_SecureLogin(VARIANT_TRUE);
        ftp->put_SecureTransfer(VARIANT_TRUE);
        ftp->put_Passive(VARIANT_TRUE);
        ftp->put_ASCII(VARIANT_FALSE);
    }
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (ftp->Connect(&ok) != S_OK || ok != VARIANT_TRUE)
        Die("connect: " + LastError(ftp.Get()));
    if (mode == "get" || mode == "put") {
        Transfer(ftp.Get(), mode == "get", from, to);
    } else if ((mode == "get-many" || mode == "put-many") && argc > 9) {
        const int count = std::atoi(argv[9]);
        for (int i = 0; i < count; ++i)
            Transfer(ftp.Get(), mode == "get-many", from + "/" + Name(i), to + "/" + Name(i));
    } else {
        Die("unknown mode " + mode);
    }
    ftp->Disconnect();
    return 0;
}
