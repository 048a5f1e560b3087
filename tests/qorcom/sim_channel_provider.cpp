// A simulated virtual-channel provider for the tests: the channel is a UNIX sequenced-packet
// socket to a peer that stands for the remote desktop client, so chunk boundaries survive.
//
// Environment:
//   QORCOM_CHANNEL_SIM_SOCKET   the peer's listening socket (required)
//
// Open connects and sends the channel name as the first packet. Each packet the peer sends is
// one chunk as a read delivers it (header included); each write is sent as one packet of the
// written bytes.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qorcom/channel/channel_provider.h"

struct QorChannel {
    int fd;
};

namespace {

std::uint32_t SimOpen(const char* name, QorChannel** channel) {
    const char* path = std::getenv("QORCOM_CHANNEL_SIM_SOCKET");
    sockaddr_un address{};
    if (!path || std::strlen(path) >= sizeof address.sun_path)
        return ENOENT;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return static_cast<std::uint32_t>(errno);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd, name, std::strlen(name), MSG_NOSIGNAL) < 0) {
        const int error = errno;
        ::close(fd);
        return static_cast<std::uint32_t>(error);
    }
    *channel = new QorChannel{fd};
    return 0;
}

std::uint32_t SimWrite(QorChannel* channel, const void* data, std::uint32_t length,
                       std::uint32_t* written) {
    *written = 0;
    const ssize_t sent = ::send(channel->fd, data, length, MSG_NOSIGNAL);
    if (sent < 0)
        return static_cast<std::uint32_t>(errno);
    *written = static_cast<std::uint32_t>(sent);
    return 0;
}

std::uint32_t SimRead(QorChannel* channel, std::uint32_t timeoutMs, void* buffer,
                      std::uint32_t size, std::uint32_t* read) {
    *read = 0;
    pollfd wait{channel->fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(timeoutMs));
    if (ready < 0)
        return static_cast<std::uint32_t>(errno);
    if (ready == 0)
        return 0;
    const ssize_t got = ::recv(channel->fd, buffer, size, MSG_TRUNC | MSG_DONTWAIT);
    if (got < 0)
        return errno == EAGAIN ? 0 : static_cast<std::uint32_t>(errno);
    if (got == 0 && (wait.revents & POLLHUP))
        return EPIPE;  // the peer went away
    if (static_cast<std::uint32_t>(got) > size)
        return EMSGSIZE;
    *read = static_cast<std::uint32_t>(got);
    return 0;
}

std::uint32_t SimClose(QorChannel* channel) {
    ::close(channel->fd);
    delete channel;
    return 0;
}

const QorChannelProvider kTable = {QOR_CHANNEL_PROVIDER_VERSION,
                                   sizeof(QorChannelProvider),
                                   &SimOpen,
                                   &SimWrite,
                                   &SimRead,
                                   &SimClose};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorChannelProvider*
QorcomChannelProvider() {
    return &kTable;
}
