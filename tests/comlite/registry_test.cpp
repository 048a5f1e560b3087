#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "comlite/registry.h"
#include "support/scratch_dir.h"

namespace {

using comlite::RegistryFile;
using comlite::RegistryTree;
using comlite::RegistryValue;

constexpr const char* kClassKey =
    "HKEY_CLASSES_ROOT\\CLSID\\{A532F892-189E-43E0-86C9-C8A3B6AF4518}";

TEST(RegistryTree, TextRoundTripKeepsEverything) {
    RegistryTree tree;
    const std::string awkward = "quote \" backslash \\ tab \t newline \n end \xC3\xBC";
    ASSERT_TRUE(tree.SetValue(kClassKey, "", std::string("QOR Lock File")));
    ASSERT_TRUE(tree.SetValue(std::string(kClassKey) + "\\InprocServer32", "ThreadingModel",
                              std::string("Apartment")));
    ASSERT_TRUE(tree.SetValue(std::string(kClassKey) + "\\InprocServer32", "",
                              std::string("/usr/lib/libqorcom.so")));
    ASSERT_TRUE(tree.SetValue("HKCU\\Software\\Odd", "name \"with\" = signs", awkward));
    ASSERT_TRUE(tree.SetValue("HKCU\\Software\\Odd", "Count", std::uint32_t{0xDEADBEEF}));
    ASSERT_TRUE(tree.CreateKey(std::string(kClassKey) + "\\Programmable"));

    const std::string text = tree.Serialize();
    std::string error;
    auto back = RegistryTree::Parse(text, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->Serialize(), text);
    EXPECT_EQ(back->GetString(kClassKey), "QOR Lock File");
    EXPECT_EQ(back->GetString(std::string(kClassKey) + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(back->GetString("HKEY_CURRENT_USER\\Software\\Odd", "name \"with\" = signs"),
              awkward);
    EXPECT_EQ(back->GetValue("HKCU\\Software\\Odd", "Count"),
              RegistryValue(std::uint32_t{0xDEADBEEF}));
    EXPECT_FALSE(back->GetString("HKCU\\Software\\Odd", "Count")) << "a number is not a string";
    EXPECT_TRUE(back->KeyExists(std::string(kClassKey) + "\\Programmable")) << "empty keys survive";
    EXPECT_EQ(back->SubKeys(kClassKey),
              (std::vector<std::string>{"InprocServer32", "Programmable"}));
    EXPECT_EQ(back->ValueNames(std::string(kClassKey) + "\\InprocServer32"),
              (std::vector<std::string>{"", "ThreadingModel"}));
    // Windows line ends from a hand-edited copy are accepted too.
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    EXPECT_TRUE(RegistryTree::Parse(crlf));
}

TEST(RegistryTree, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryTree tree;
    ASSERT_TRUE(tree.SetValue("HKEY_CLASSES_ROOT\\QORCom.LockFile\\CLSID", "", std::string("{1}")));
    EXPECT_EQ(tree.GetString("hkcr\\qorcom.LOCKFILE\\clsid"), "{1}");
    ASSERT_TRUE(tree.SetValue("HKCR\\QORCOM.LOCKFILE\\Clsid", "", std::string("{2}")));
    EXPECT_EQ(tree.SubKeys("HKEY_CLASSES_ROOT"), std::vector<std::string>{"QORCom.LockFile"});
    EXPECT_EQ(tree.GetString("HKEY_CLASSES_ROOT\\QORCom.LockFile\\CLSID"), "{2}");

    ASSERT_TRUE(tree.SetValue("HKCR\\X", "ThreadingModel", std::string("Apartment")));
    ASSERT_TRUE(tree.SetValue("HKCR\\X", "THREADINGMODEL", std::string("Both")));
    EXPECT_EQ(tree.ValueNames("HKCR\\X"), std::vector<std::string>{"ThreadingModel"});
    EXPECT_EQ(tree.GetString("HKCR\\X", "threadingmodel"), "Both");
}

TEST(RegistryTree, DeletingATreeTakesEverythingBelowAndNothingElse) {
    RegistryTree tree;
    tree.SetValue("HKCR\\CLSID\\{A}\\InprocServer32", "", std::string("a.so"));
    tree.SetValue("HKCR\\CLSID\\{A}\\ProgID", "", std::string("A.1"));
    tree.SetValue("HKCR\\CLSID\\{AB}", "", std::string("kept"));
    EXPECT_TRUE(tree.DeleteKeyTree("hkcr\\clsid\\{a}"));
    EXPECT_FALSE(tree.KeyExists("HKCR\\CLSID\\{A}\\ProgID"));
    EXPECT_FALSE(tree.KeyExists("HKCR\\CLSID\\{A}"));
    EXPECT_EQ(tree.GetString("HKCR\\CLSID\\{AB}"), "kept");
    EXPECT_FALSE(tree.DeleteKeyTree("HKCR\\CLSID\\{A}")) << "already gone";
    EXPECT_TRUE(tree.DeleteValue("HKCR\\CLSID\\{AB}", ""));
    EXPECT_FALSE(tree.GetValue("HKCR\\CLSID\\{AB}", ""));
    EXPECT_TRUE(tree.KeyExists("HKCR\\CLSID\\{AB}"));

    for (const char* bad : {"", "HKCR\\\\X", "HKCR\\X\\", "\\HKCR", "HKCR\\line\nbreak"})
        EXPECT_FALSE(tree.CreateKey(bad)) << bad;
}

TEST(RegistryTree, MalformedTextNamesTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"a\"=\"b\"\n", "line 1: value outside a key"},
        {"[K]\n\"a\"=\"b\\q\"\n", "line 2: malformed string value"},
        {"[K]\n; fine\n@=dword:123\n", "line 3: malformed dword"},
        {"[K]\n\"a\" \"b\"\n", "line 2: '=' expected"},
        {"[K\n", "line 1: malformed key line"},
        {"[K]\n@=\"unterminated\n", "line 2: malformed string value"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(RegistryTree::Parse(text, &error)) << text;
        EXPECT_EQ(error, expected) << text;
    }
}

class RegistryFileTest : public ::testing::Test {
protected:
    tw::test::ScratchDir dir;
    tw::test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    RegistryFile file{dir.File("comlite/registry.reg")};
};

TEST_F(RegistryFileTest, UpdateCreatesTheFileAndLoadReadsIt) {
    auto empty = file.Load();
    ASSERT_TRUE(empty) << "a missing file is an empty registry";
    EXPECT_TRUE(empty->SubKeys("HKCR").empty());

    std::string error;
    ASSERT_TRUE(file.Update(
        [](RegistryTree& t) { return t.SetValue("HKCR\\A.B\\CLSID", "", std::string("{X}")); },
        &error))
        << error;
    auto loaded = file.Load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetString("HKCR\\a.b\\clsid"), "{X}");

    // A change that declines writes nothing.
    const std::string before = tw::test::ReadAll(file.Path());
    EXPECT_FALSE(file.Update([](RegistryTree& t) {
        t.DeleteKeyTree("HKCR");
        return false;
    }));
    EXPECT_EQ(tw::test::ReadAll(file.Path()), before);
}

TEST_F(RegistryFileTest, AMalformedFileIsReportedAndNeverOverwritten) {
    const std::string damaged = "[HKEY_CLASSES_ROOT\\Good]\n@=\"ok\"\ngarbage line\n";
    dir.Write("comlite/registry.reg", damaged);
    std::string error;
    EXPECT_FALSE(file.Load(&error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_FALSE(file.Update([](RegistryTree& t) { return t.CreateKey("HKCR\\New"); }, &error));
    EXPECT_EQ(tw::test::ReadAll(file.Path()), damaged);
}

TEST_F(RegistryFileTest, ConcurrentWritersInTwoProcessesLoseNoKeys) {
    constexpr int kWriters = 2, kKeysEach = 40;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int k = 0; k < kKeysEach; ++k) {
                const std::string key =
                    "HKCR\\Writer" + std::to_string(w) + "\\Key" + std::to_string(k);
                ok = file.Update([&](RegistryTree& t) {
                    return t.SetValue(key, "", std::to_string(k));
                }) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto tree = file.Load();
    ASSERT_TRUE(tree);
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(tree->SubKeys("HKCR\\Writer" + std::to_string(w)).size(),
                  static_cast<std::size_t>(kKeysEach));
}

// The machine-wide registry (written by root, as the packages do) and each user's own file:
// changes go to one of them by account, lookups see both.
TEST(RegistryPath, WritesGoByAccountAndLookupsReadTheUsersFileThenTheSystems) {
    {
        tw::test::ScopedEnv chosen("COMLITE_REGISTRY", "/tmp/somewhere/reg.reg");
        EXPECT_EQ(comlite::DefaultRegistryPath(), "/tmp/somewhere/reg.reg");
        EXPECT_EQ(comlite::DefaultRegistryLayers(),
                  std::vector<std::string>{"/tmp/somewhere/reg.reg"})
            << "a private registry stands alone";
    }
    tw::test::ScopedEnv unset("COMLITE_REGISTRY", std::string());
    tw::test::ScopedEnv home("HOME", "/home/tester");
    const std::string user = "/home/tester/.local/share/comlite/registry.reg";
    const std::string system = "/etc/comlite/registry.reg";
    if (geteuid() != 0) {
        EXPECT_EQ(comlite::DefaultRegistryPath(), user);
        EXPECT_EQ(comlite::DefaultRegistryLayers(), (std::vector<std::string>{user, system}));
        return;
    }
    EXPECT_EQ(comlite::DefaultRegistryPath(), system);
    EXPECT_EQ(comlite::DefaultRegistryLayers(), std::vector<std::string>{system});
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        const bool ok = comlite::DefaultRegistryPath() == user &&
                        comlite::DefaultRegistryLayers() == std::vector<std::string>{user, system};
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "another account writes its own file and reads it before the system's";
}

// Every account reads the machine's registry, whatever umask root registered under.
TEST_F(RegistryFileTest, ASharedRegistryIsReadableByEveryAccountWhateverTheUmask) {
    tw::test::ScopedUmask strict(077);
    RegistryFile shared{dir.File("etc/comlite/registry.reg"), true};
    ASSERT_TRUE(shared.Update([](RegistryTree& t) { return t.CreateKey("HKCR\\A"); }));
    EXPECT_EQ(tw::test::PermissionsOf(shared.Path()), 0644u);
    EXPECT_EQ(tw::test::PermissionsOf(dir.File("etc/comlite")), 0755u);

    RegistryFile own{dir.File("home/registry.reg")};
    ASSERT_TRUE(own.Update([](RegistryTree& t) { return t.CreateKey("HKCR\\A"); }));
    EXPECT_EQ(tw::test::PermissionsOf(own.Path()), 0600u) << "a user's own file keeps the umask";
}

TEST_F(RegistryFileTest, AnOverlayShowsEveryLayerWithTheFirstLayersValuesWinning) {
    RegistryFile user{dir.File("user.reg")};
    RegistryFile system{dir.File("system.reg")};
    ASSERT_TRUE(system.Update([](RegistryTree& t) {
        return t.SetValue("HKCR\\QORCom.LockFile\\CLSID", "", std::string("{SYSTEM}")) &&
               t.SetValue("HKCR\\QORCom.Log\\CLSID", "", std::string("{LOG}")) &&
               t.SetValue("HKCR\\QORCom.Log", "Kept", std::uint32_t{7});
    }));
    ASSERT_TRUE(user.Update([](RegistryTree& t) {
        return t.SetValue("HKCR\\qorcom.lockfile\\CLSID", "", std::string("{USER}")) &&
               t.SetValue("HKCR\\Mine.Only\\CLSID", "", std::string("{MINE}"));
    }));
    const comlite::RegistryOverlay overlay({user.Path(), dir.File("missing.reg"), system.Path()});
    EXPECT_EQ(overlay.Describe(),
              user.Path() + ", " + dir.File("missing.reg") + " and " + system.Path());
    std::string error;
    auto merged = overlay.Load(&error);
    ASSERT_TRUE(merged) << error;
    EXPECT_EQ(merged->GetString("HKCR\\QORCom.LockFile\\CLSID"), "{USER}");
    EXPECT_EQ(merged->GetString("HKCR\\QORCom.Log\\CLSID"), "{LOG}");
    EXPECT_EQ(merged->GetValue("HKCR\\QORCom.Log", "Kept"), RegistryValue(std::uint32_t{7}));
    EXPECT_EQ(merged->GetString("HKCR\\Mine.Only\\CLSID"), "{MINE}");
    EXPECT_EQ(merged->SubKeys("HKCR").size(), 3u) << "keys differing in case are one key";

    // A broken layer is reported by name, never skipped.
    tw::test::ScratchDir other;
    const std::string broken = other.Write("broken.reg", "[HKCR\\A]\nnot a value line\n");
    error.clear();
    EXPECT_FALSE(comlite::RegistryOverlay({user.Path(), broken}).Load(&error));
    EXPECT_NE(error.find(broken), std::string::npos) << error;
}

}  // namespace
