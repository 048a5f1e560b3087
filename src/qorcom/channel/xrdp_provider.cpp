// The virtual-channel provider inside an xrdp session: libqorcom-channel.so, installed beside
// libqorcom.so. It takes the channel functions at run time from xrdp's own libxrdpapi (shipped
// in the xrdp package, in xrdp's private library directory), so neither building nor loading
// it needs xrdp; without xrdp every Open fails with ENOENT.
//
// libxrdpapi hands over each read as plain data without the chunk header that channel readers
// expect, so this provider puts one in front: the data's length, and both the first and last
// flags (each read is a whole message as far as the reader can tell).

#include <dlfcn.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "qorcom/channel/channel_provider.h"

namespace {

// The session functions as libxrdpapi declares them (true for success).
using OpenFunction = void* (*)(void* server, unsigned int sessionId, const char* name);
using WriteFunction = int (*)(void* channel, const char* buffer, unsigned int length,
                              unsigned int* written);
using ReadFunction = int (*)(void* channel, unsigned int timeoutMs, char* buffer, unsigned int size,
                             unsigned int* read);
using CloseFunction = int (*)(void* channel);

constexpr unsigned int kCurrentSession = 0xFFFFFFFFu;

struct XrdpApi {
    OpenFunction open = nullptr;
    WriteFunction write = nullptr;
    ReadFunction read = nullptr;
    CloseFunction close = nullptr;
};

const XrdpApi* LoadXrdpApi() {
    static XrdpApi api;
    static std::once_flag once;
    std::call_once(once, [] {
        const char* candidates[] = {
            "libxrdpapi.so.0",
#ifdef QOR_XRDP_LIBRARY_DIR
            QOR_XRDP_LIBRARY_DIR "/libxrdpapi.so.0",
#endif
            "/usr/lib/xrdp/libxrdpapi.so.0",
        };
        for (const char* path : candidates) {
            void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
            if (!library)
                continue;
            api.open = reinterpret_cast<OpenFunction>(::dlsym(library, "WTSVirtualChannelOpen"));
            api.write = reinterpret_cast<WriteFunction>(::dlsym(library, "WTSVirtualChannelWrite"));
            api.read = reinterpret_cast<ReadFunction>(::dlsym(library, "WTSVirtualChannelRead"));
            api.close = reinterpret_cast<CloseFunction>(::dlsym(library, "WTSVirtualChannelClose"));
            if (api.open && api.write && api.read && api.close)
                return;
            api = {};
        }
    });
    return api.open ? &api : nullptr;
}

std::uint32_t LastError() {
    return errno != 0 ? static_cast<std::uint32_t>(errno) : EIO;
}

void PutLittleEndian32(unsigned char* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t XrdpOpen(const char* name, QorChannel** channel) {
    const XrdpApi* api = LoadXrdpApi();
    if (!api)
        return ENOENT;
    errno = 0;
    void* handle = api->open(nullptr, kCurrentSession, name);
    if (!handle)
        return LastError();
    *channel = static_cast<QorChannel*>(handle);
    return 0;
}

std::uint32_t XrdpWrite(QorChannel* channel, const void* data, std::uint32_t length,
                        std::uint32_t* written) {
    unsigned int done = 0;
    errno = 0;
    const int ok = LoadXrdpApi()->write(channel, static_cast<const char*>(data), length, &done);
    *written = done;
    return ok ? 0 : LastError();
}

std::uint32_t XrdpRead(QorChannel* channel, std::uint32_t timeoutMs, void* buffer,
                       std::uint32_t size, std::uint32_t* read) {
    *read = 0;
    if (size <= QOR_CHANNEL_HEADER_SIZE)
        return EMSGSIZE;
    auto* bytes = static_cast<unsigned char*>(buffer);
    unsigned int got = 0;
    errno = 0;
    if (!LoadXrdpApi()->read(channel, timeoutMs,
                             reinterpret_cast<char*>(bytes + QOR_CHANNEL_HEADER_SIZE),
                             size - QOR_CHANNEL_HEADER_SIZE, &got))
        return LastError();
    if (got == 0)
        return 0;
    if (got > size - QOR_CHANNEL_HEADER_SIZE)
        return EMSGSIZE;
    PutLittleEndian32(bytes, got);
    PutLittleEndian32(bytes + 4, QOR_CHANNEL_FLAG_FIRST | QOR_CHANNEL_FLAG_LAST);
    *read = got + QOR_CHANNEL_HEADER_SIZE;
    return 0;
}

std::uint32_t XrdpClose(QorChannel* channel) {
    return LoadXrdpApi()->close(channel) ? 0 : LastError();
}

const QorChannelProvider kTable = {QOR_CHANNEL_PROVIDER_VERSION,
                                   sizeof(QorChannelProvider),
                                   &XrdpOpen,
                                   &XrdpWrite,
                                   &XrdpRead,
                                   &XrdpClose};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorChannelProvider*
QorcomChannelProvider() {
    return &kTable;
}
