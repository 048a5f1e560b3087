#pragma once
// Waiting for a server the test started on 127.0.0.1 to be ready, before the test talks to it.

#include <string_view>

namespace tw::test {

// True once 127.0.0.1:port accepts a connection (waits up to ~10 s).
bool AwaitListening(int port);

// True once the server on 127.0.0.1:port greets with a line starting with code ("220" for FTP
// and SMTP, "+OK" for POP3); the probe then says QUIT. Waits up to ~10 s.
bool AwaitGreeting(int port, std::string_view code);

}  // namespace tw::test
