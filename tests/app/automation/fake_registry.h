#pragma once
// A private registry file with the fake servers registered under the ProgIDs Tidewell uses.

#include <gtest/gtest.h>

#include <string>

#include "comlite/registry.h"
#include "fake_servers.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::test {

class FakeServerTest : public ::testing::Test {
protected:
    void SetUp() override { FakeServer().Reset(); }
    void TearDown() override { FakeServer().Reset(); }

    // progId -> clsid, served by the fake server library.
    void Register(const std::string& progId, const CLSID& clsid) {
        std::string error;
        const bool done = comlite::RegistryFile().Update(
            [&](comlite::RegistryTree& t) {
                const std::string clsidText = comlite::GuidToString(clsid);
                return t.SetValue("HKCR\\CLSID\\" + clsidText + "\\InprocServer32", "",
                                  std::string(FAKE_SERVERS)) &&
                       t.SetValue("HKCR\\" + progId + "\\CLSID", "", clsidText);
            },
            &error);
        ASSERT_TRUE(done) << error;
    }

    int LiveObjects() {
        std::lock_guard lock(FakeServer().mutex);
        return FakeServer().liveObjects;
    }

    ScratchDir dir;
    ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    RecordedMessages messages;
};

}  // namespace tw::test
