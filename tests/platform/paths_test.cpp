#include <gtest/gtest.h>

#include "platform/paths.h"
#include "platform/wildcard.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

TEST(PathHelpers, AddSeparatorAndParts) {
    EXPECT_EQ(AddSeparator("/srv/qor"), "/srv/qor/");
    EXPECT_EQ(AddSeparator("/srv/qor/"), "/srv/qor/");
    EXPECT_EQ(AddSeparator("C:\\QOR\\"), "C:\\QOR\\");
    EXPECT_EQ(AddSeparator(""), "");
    EXPECT_EQ(JoinPath("/d", "SETUP.001"), "/d/SETUP.001");
    EXPECT_EQ(FileNamePart("C:\\QOR\\DATA\\POLL.LOG"), "POLL.LOG");
    EXPECT_EQ(DirectoryPart("/var/log/POLL.LOG"), "/var/log/");
    EXPECT_EQ(DirectoryPart("POLL.LOG"), "");
}

class PathResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resolver.AddMapping("c:", "/srv/qor/"));
        ASSERT_TRUE(resolver.AddMapping("\\\\POS1\\Export", "/mnt/pos1"));
    }
    std::string Local(std::string_view stored) {
        std::string error;
        auto path = resolver.ResolveLocal(stored, &error);
        return path ? *path : "ERROR: " + error;
    }
    PathResolver resolver;
};

TEST_F(PathResolverTest, PosixPathsAndBackslashes) {
    EXPECT_EQ(Local("/var/qor/data/"), "/var/qor/data/");
    EXPECT_EQ(Local("data\\jrn1207"), "data/jrn1207");
}

TEST_F(PathResolverTest, MappedDriveKeepsTrailingSeparatorAndIgnoresCase) {
    EXPECT_EQ(Local("C:\\QOR\\DATA\\"), "/srv/qor/QOR/DATA/");
    EXPECT_EQ(Local("c:\\QOR"), "/srv/qor/QOR");
    EXPECT_EQ(Local("C:"), "/srv/qor");
    EXPECT_EQ(Local("C:QOR"), "/srv/qor/QOR");
}

TEST_F(PathResolverTest, UnmappedDriveIsAnErrorNeverRelative) {
    std::string error;
    ResolvedPath out;
    EXPECT_FALSE(resolver.Resolve("D:\\QOR", out, &error));
    EXPECT_NE(error.find("D:"), std::string::npos);
    EXPECT_NE(error.find("PATHMAP"), std::string::npos);
    EXPECT_FALSE(resolver.Resolve("", out, &error));
}

TEST_F(PathResolverTest, UncPathsInEverySpelling) {
    for (const char* stored :
         {"\\\\server\\share\\dir\\sub", "//server/share/dir/sub", "smb://server/share/dir/sub"}) {
        ResolvedPath out;
        std::string error;
        ASSERT_TRUE(resolver.Resolve(stored, out, &error)) << stored;
        EXPECT_EQ(out.kind, ResolvedPath::Kind::Network) << stored;
        EXPECT_EQ(out.server, "server");
        EXPECT_EQ(out.share, "share");
        EXPECT_EQ(out.rest, "dir/sub");
        EXPECT_EQ(out.path, "smb://server/share/dir/sub");
        EXPECT_TRUE(PathResolver::IsUncPath(stored));
    }
    // A mapped share leads to its mount point, whatever the case of server and share.
    EXPECT_EQ(Local("\\\\pos1\\EXPORT\\Sales\\"), "/mnt/pos1/Sales/");
    EXPECT_EQ(Local("//POS1/export"), "/mnt/pos1");
    // An unmapped share is not a local path.
    EXPECT_EQ(Local("\\\\other\\share").rfind("ERROR", 0), 0u);
    EXPECT_FALSE(PathResolver::IsUncPath("\\\\server"));
    EXPECT_FALSE(PathResolver::IsUncPath("/srv/share"));
}

TEST(PathResolverFile, ReadsMappingsAndRejectsMalformedLines) {
    test::ScratchDir dir;
    std::string error;
    auto resolver = PathResolver::FromMapFile(
        dir.Write("PATHMAP", "# drives\r\nC: = /srv/qor\r\n\r\n; shares\n\\\\pos\\x = /mnt/x\n"),
        &error);
    ASSERT_TRUE(resolver) << error;
    EXPECT_EQ(*resolver->ResolveLocal("C:\\A", nullptr), "/srv/qor/A");
    EXPECT_EQ(*resolver->ResolveLocal("\\\\POS\\X\\y", nullptr), "/mnt/x/y");

    EXPECT_TRUE(PathResolver::FromMapFile(dir.File("missing"), &error));
    EXPECT_FALSE(PathResolver::FromMapFile(dir.Write("bad", "C: /srv\n"), &error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
}

// A share is mapped as a whole: taking "\\pos\x\sub = /mnt/x" for the share x would send
// every other folder of x (\\pos\x\other) below /mnt/x as well.
TEST(PathResolverFile, AFolderBelowAShareIsRefusedWithItsLineNumber) {
    test::ScratchDir dir;
    std::string error;
    EXPECT_FALSE(PathResolver::FromMapFile(
        dir.Write("PATHMAP", "C: = /srv/qor\n# shares\n\\\\pos\\x\\sub = /mnt/x\n"), &error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    PathResolver resolver;
    for (const char* below : {"\\\\pos\\x\\sub", "//pos/x/sub", "smb://pos/x/sub/"}) {
        EXPECT_FALSE(resolver.AddMapping(below, "/mnt/x")) << below;
    }
    EXPECT_EQ(resolver.ResolveLocal("\\\\pos\\x\\other", nullptr), std::nullopt);
}

TEST(MatchMask, WildcardsIgnoreCase) {
    EXPECT_TRUE(MatchMask("*.XML", "jrn.xml"));
    EXPECT_TRUE(MatchMask("ILG*.XML", "ilg20261207.Xml"));
    EXPECT_FALSE(MatchMask("ILG*.XML", "XILG.XML"));
    EXPECT_TRUE(MatchMask("jrn????", "JRN1207"));
    EXPECT_FALSE(MatchMask("jrn????", "jrn120"));
    EXPECT_FALSE(MatchMask("jrn????", "jrn12071"));
    EXPECT_TRUE(MatchMask("RAVELIN.???", "ravelin.001"));
    EXPECT_TRUE(MatchMask("*.*", "NODOT"));
    EXPECT_TRUE(MatchMask("", "anything"));
    EXPECT_TRUE(MatchMask("*", ""));
    EXPECT_FALSE(MatchMask("?", ""));
    EXPECT_TRUE(MatchMask("a*b*c", "aXXbYYbZc"));
    EXPECT_FALSE(MatchMask("a*b*c", "aXXbYYbZ"));
    EXPECT_TRUE(MatchMask("SEM*.XML", "SEM.XML"));
}

TEST(FindExistingName, ExactFirstThenIgnoringCase) {
    test::ScratchDir dir;
    dir.Write("setup.001", "a");
    EXPECT_EQ(FindExistingName(dir.Path(), "SETUP.001"), "setup.001");
    dir.Write("SETUP.001", "b");
    EXPECT_EQ(FindExistingName(dir.Path(), "SETUP.001"), "SETUP.001");
    EXPECT_EQ(FindExistingName(dir.Path(), "ILG.XML"), std::nullopt);
    EXPECT_EQ(ExistingOrExactPath(dir.Path(), "ILG.XML"), dir.File("ILG.XML"));
    EXPECT_EQ(FindExistingName(dir.File("missing-dir"), "X"), std::nullopt);
}

}  // namespace
}  // namespace tw::platform
