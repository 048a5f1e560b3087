#include "interop/ftp_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace tw::test {

bool AwaitFtpGreeting(int port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool greeted = false;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            timeval wait{2, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char buffer[3] = {};
            greeted = ::recv(fd, buffer, sizeof buffer, MSG_WAITALL) == 3 &&
                      std::string(buffer, 3) == "220";
            ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
        }
        ::close(fd);
        if (greeted)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool PyFtpServer::Start(std::string* why) {
    if (::access("/usr/bin/python3", X_OK) != 0) {
        *why = "no /usr/bin/python3 (scripts/install-deps installs python3-pyftpdlib)";
        return false;
    }
    work_ = std::make_unique<ScratchDir>();
    ::mkdir(Home().c_str(), 0755);
    const std::string script = work_->File("server.py");
    std::ofstream(script)
        << "import logging, sys\n"
           "from pyftpdlib.authorizers import DummyAuthorizer\n"
           "from pyftpdlib.handlers import FTPHandler\n"
           "from pyftpdlib.servers import FTPServer\n"
           "logging.basicConfig(level=logging.WARNING)\n"
           "a = DummyAuthorizer()\n"
           "a.add_user(sys.argv[1], sys.argv[2], sys.argv[3], perm='elradfmwMT')\n"
           "h = FTPHandler\n"
           "h.authorizer = a\n"
           "h.passive_ports = range(int(sys.argv[5]), int(sys.argv[5]) + 40)\n"
           "FTPServer(('127.0.0.1', int(sys.argv[4])), h).serve_forever(timeout=0.5)\n";
    int error = 0;
    auto started =
        platform::ChildProcess::Start({"/usr/bin/python3", script, kUser, kPassword, Home(),
                                       std::to_string(kPort), std::to_string(kFirstPassivePort)},
                                      "", &error);
    if (!started) {
        *why = "python3 did not start";
        return false;
    }
    process_.emplace(std::move(*started));
    if (!AwaitFtpGreeting(kPort)) {
        *why = "pyftpdlib did not answer on port " + std::to_string(kPort) +
               " (is python3-pyftpdlib installed?)";
        Stop();
        return false;
    }
    return true;
}

void PyFtpServer::Stop() {
    if (process_)
        process_->Terminate(std::chrono::milliseconds(3000));
    process_.reset();
}

}  // namespace tw::test
