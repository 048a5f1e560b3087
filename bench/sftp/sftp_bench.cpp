// Drives "QORCom.SFTP" as any caller does (created by ProgID, called through IQORFTP) for
// bench/sftp/run: one connection, then the transfers asked for, then a disconnect.
//
//   sftp_bench HOST PORT USER get REMOTE LOCAL
//   sftp_bench HOST PORT USER put LOCAL REMOTE
//   sftp_bench HOST PORT USER put-many LOCALDIR REMOTEDIR COUNT
//   sftp_bench HOST PORT USER get-many REMOTEDIR LOCALDIR COUNT
//
// Files of the -many forms are named f0000 ... The key and known-hosts file come from the
// environment (QORCOM_SSH_IDENTITY, QORCOM_SSH_KNOWN_HOSTS). Exit status 0 when all succeeded.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "comlite/activation.h"
#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "qorcom/interfaces/ftp.h"

namespace {

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "sftp_bench: %s\n", why.c_str());
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
    if (argc < 7)
        Die("usage: HOST PORT USER get|put|get-many|put-many FROM TO [COUNT]");
    const std::string mode = argv[4], from = argv[5], to = argv[6];
    CLSID clsid{};
    comlite::ComPtr<IQORFTP> ftp;
    if (CLSIDFromProgID(u"QORCom.SFTP", &clsid) != S_OK ||
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQORFTP, ftp.PutVoid()) !=
            S_OK)
        Die("cannot create QORCom.SFTP (is libqorcom.so registered?)");
    ftp->put_Server(comlite::Bstr::FromUtf8(argv[1]).Get());
    ftp->put_Port(static_cast<SHORT>(std::atoi(argv[2])));
    ftp->put_UserName(comlite::Bstr::FromUtf8(argv[3]).Get());
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (ftp->Connect(&ok) != S_OK || ok != VARIANT_TRUE)
        Die("connect: " + LastError(ftp.Get()));
    if (mode == "get" || mode == "put") {
        Transfer(ftp.Get(), mode == "get", from, to);
    } else if ((mode == "get-many" || mode == "put-many") && argc > 7) {
        const int count = std::atoi(argv[7]);
        for (int i = 0; i < count; ++i)
            Transfer(ftp.Get(), mode == "get-many", from + "/" + Name(i), to + "/" + Name(i));
    } else {
        Die("unknown mode " + mode);
    }
    ftp->Disconnect();
    return 0;
}
