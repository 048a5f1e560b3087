#pragma once
// Whether a machine can be reached: a name lookup plus a connection attempt. Stands in for
// asking the Windows network provider about a dialled-up machine.

#include <chrono>
#include <string>

namespace tw::platform {

// True when host resolves and accepts a TCP connection on port within timeout. host may carry
// its own port ("pos1:1445"), which then wins over port.
bool IsHostReachable(const std::string& host, int port, std::chrono::milliseconds timeout);

}  // namespace tw::platform
