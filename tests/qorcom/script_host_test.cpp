#include <gtest/gtest.h>

#include <sstream>

#include "qorauto/script_host.h"
#include "qorcom/frame/registration.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

class QorautoScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegisterServer(comlite::RegistryFile(), QORCOM_LIBRARY), S_OK);
    }
    int Run(const std::string& script) {
        std::istringstream in(script);
        return host.Run(in);
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    tw::test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    tw::test::ScopedEnv provider{"QORCOM_RAS_PROVIDER", dir.File("none.so")};
    std::ostringstream out, diagnostics;
    qorauto::ScriptHost host{out, diagnostics};
};

TEST_F(QorautoScriptTest, OutArgumentsLandInVariablesAndFailuresArePrintedInOneForm) {
    EXPECT_EQ(Run("# comment\n"
                  "Set ras = CreateObject(\"QORPost.Ras\")\n"
                  "entry = \"before\"\n"
                  "print ras.Installed, entry  ' trailing comment\n"
                  "code = ras.GetFirstEntry(entry)\n"
                  "print \"after\", code, entry\n"
                  "ras = Nothing\n"
                  "print ras, 12, -3, 2.5, True, \"say \"\"hi\"\"\"\n"
                  "x = CreateObject(\"QORCom.NoSuchThing\")\n"
                  "print x.Anything\n"),
              1);
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, text.find("HRESULT 0x800401F3")),
              "False before\n"
              "HRESULT 0x80040000 (QORCom.Ras): RAS not found.\n"
              "after  before\n"
              "Nothing 12 -3 2.5 True say \"hi\"\n");
    EXPECT_NE(text.find("HRESULT 0x800401F3: ProgID QORCom.NoSuchThing is not registered"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("HRESULT 0x80020005: Object required.\n"), std::string::npos) << text;
    EXPECT_EQ(diagnostics.str(), "");
}

TEST_F(QorautoScriptTest, PropertiesChainAndUnknownNamesFail) {
    EXPECT_EQ(Run("a = CreateObject(\"QORCom.LockFile\")\n"
                  "b = CreateObject(\"QORCom.LockFile\")\n"
                  "a.Filename = \"" +
                  dir.File("x.lck") +
                  "\"\n"
                  "b.Filename = a.Filename\n"
                  "print b.Filename = 1\n"),
              2);
    EXPECT_EQ(diagnostics.str(), "line 5: expected ','\n");
    out.str("");
    EXPECT_EQ(Run("print b.filename\nprint b.Nope\n"), 1);
    EXPECT_EQ(out.str(), dir.File("x.lck") + "\nHRESULT 0x80020006: Unknown name.\n");
    EXPECT_EQ(Run("print \"open\n"), 2);
}

TEST_F(QorautoScriptTest, PropertiesWithArgumentsAreSetAndArraysPrint) {
    dir.Write("find/b.txt", "x");
    dir.Write("find/A.TXT", "x");
    EXPECT_EQ(Run("msg = CreateObject(\"QORCom.SoftwareMessage\")\n"
                  "msg.Parameter(\"Site\") = \"12\"\n"
                  "print msg.Parameter(\"Site\"), msg.Parameter(\"Other\"), \"|\"\n"
                  "files = CreateObject(\"QORCom.FindFiles\")\n"
                  "print files.Find(\"" +
                  dir.File("find/*.txt") +
                  "\")\n"
                  "print files.Find(\"" +
                  dir.File("find/*.none") + "\")\n"),
              0);
    EXPECT_EQ(out.str(),
              "12  |\n[" + dir.File("find/A.TXT") + ", " + dir.File("find/b.txt") + "]\n[]\n");
    EXPECT_EQ(Run("msg.Parameter(\"Site\" = \"12\"\n"), 2) << "an unclosed argument list";
}

}  // namespace
}  // namespace tw::qorcom
