#pragma once
// Tidewell polling a simulated POS whose directories a server on loopback serves (FTPS, SFTP),
// run as the programs themselves: the sales are received and the POS's copies deleted, a
// maintenance file is delivered, and the POS's results are read back, as with a local POS.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "support/scratch_dir.h"

namespace tw::test {

class RemotePosTest : public ::testing::Test {
protected:
    // The whole round trip over a POS whose directories lie in posDirectory on this machine
    // (owned by user, as a POS's files would be) and are reached as url ("ftps://..."), with
    // setupLines (CR LF ended) added to the site's settings.
    void PollRemotePos(const std::string& posDirectory, const std::string& url,
                       const std::string& user, const std::string& setupLines);

    platform::ProcessOutcome Run(std::vector<std::string> argv) { return launcher.Run(argv, {}); }
    void GiveTo(const std::string& user, const std::string& path);
    // The lines of the site's poll log that hold text.
    int Count(const std::string& text);

    ScratchDir dir;
    ScopedEnv home{"TIDEWELL_HOME", dir.File("home")};
    ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    ScopedEnv noX{"DISPLAY", std::nullopt};
    ScopedEnv noWayland{"WAYLAND_DISPLAY", std::nullopt};
    ScopedEnv noQt{"QT_QPA_PLATFORM", std::nullopt};
    platform::PosixProcessLauncher launcher;
};

}  // namespace tw::test
