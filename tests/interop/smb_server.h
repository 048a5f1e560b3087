#pragma once
// A private Samba server on 127.0.0.1:42445 with one share "pos" and the test user, for the
// tests of the SMB file system. Started and stopped by the test program itself (by PID).

#include <memory>
#include <optional>
#include <string>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class SmbServer {
public:
    static constexpr int kPort = 42445;
    static constexpr const char* kUser = "qortest";
    static constexpr const char* kPassword = "Qor-test-1";

    SmbServer() = default;
    ~SmbServer() { Stop(); }

    // False with *why when the server cannot run here (no smbd, no test user, not root).
    bool Start(std::string* why);
    void Stop();

    // The local directory behind the share.
    std::string ShareDirectory() const;
    // The share as a stored UNC path, with a trailing backslash.
    static std::string UncRoot();

private:
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> smbd_;
};

}  // namespace tw::test
