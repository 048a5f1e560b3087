#pragma once
// A private dovecot POP3 server on 127.0.0.1:42110 for the mail-reading tests, started from its
// own configuration in a scratch directory and stopped by PID. One user ("poller", password
// "secret") whose Maildir the test seeds directly; the mail files belong to the Unix test user
// of scripts/interop-setup. Plain POP3 with plaintext logins: dovecot trusts loopback.

#include <memory>
#include <optional>
#include <string>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class DovecotServer {
public:
    static constexpr int kPort = 42110;
    static constexpr const char* kUser = "poller";
    static constexpr const char* kPassword = "secret";
    static constexpr const char* kMailOwner = "qortest";

    DovecotServer() = default;
    ~DovecotServer() { Stop(); }

    // False with *why when the server cannot run here (no dovecot, no test user, not root) or
    // does not greet within ~10 s.
    bool Start(std::string* why);
    void Stop();

    // Drops a message into the Maildir's new/ folder, owned by the mail owner.
    bool Seed(const std::string& name, const std::string& message);
    // How many messages the Maildir holds (new/ and cur/).
    int MessageCount() const;

private:
    std::string Maildir() const { return work_->File("mail/poller"); }
    std::unique_ptr<ScratchDir> work_;
    std::optional<platform::ChildProcess> process_;
    unsigned uid_ = 0, gid_ = 0;
};

}  // namespace tw::test
