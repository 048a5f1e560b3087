#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "comlite/activation.h"
#include "comlite/com_ptr.h"
#include "comlite/registry.h"
#include "comlite/text.h"
#include "platform/process.h"
#include "qorcom/frame/component_table.h"
#include "qorcom/frame/exports.h"
#include "qorcom/frame/lock_file.h"
#include "qorcom/frame/registration.h"
#include "qorcom/remote/ras.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

// key -> value name -> data, for the whole registry.
using Snapshot = std::map<std::string, std::map<std::string, std::string>>;

void Collect(const comlite::RegistryTree& tree, const std::string& key, Snapshot& out) {
    auto& values = out[key];
    for (const std::string& name : tree.ValueNames(key))
        values[name] = tree.GetString(key, name).value_or("?");
    for (const std::string& sub : tree.SubKeys(key)) Collect(tree, key + "\\" + sub, out);
}

Snapshot Take(const comlite::RegistryTree& tree) {
    Snapshot out;
    for (const std::string& sub : tree.SubKeys("HKEY_CLASSES_ROOT"))
        Collect(tree, "HKEY_CLASSES_ROOT\\" + sub, out);
    return out;
}

void AddKey(Snapshot& s, const std::string& key, const std::string& name = "",
            std::optional<std::string> value = std::nullopt) {
    // Parent keys exist (without values) as the registry creates them.
    for (auto at = key.find('\\', std::string("HKEY_CLASSES_ROOT\\").size());
         at != std::string::npos; at = key.find('\\', at + 1))
        s[key.substr(0, at)];
    if (value)
        s[key][name] = *value;
    else
        s[key];
}

struct Row {
    const char* clsid;
    const char* friendly;
    const char* progId;
};

// What registering the module at `path` writes, written out from the component list.
Snapshot ExpectedKeys(const std::string& path, const std::string& directory) {
    const Row rows[] = {
        {"{395D4681-327A-11D4-92C2-00E02950EEDE}", "QOR Remote Access Server", "QORPost.Ras"},
        {"{13F58631-4B73-11D4-92DA-00E02950EEDE}", "QOR Send Mail", "QORPost.SendMail"},
        {"{DDF2CCE8-AE14-4E30-BA86-256DB1C9A7EC}", "QOR Read Mail", "QORPost.ReadMail"},
        {"{952432CD-7953-422C-BD74-78E661A1CB72}", "QOR StdOutStatus", "QORPost.StdOutStatus"},
        {"{FC03E897-8E05-4401-A3B4-76BAA0907537}", "QOR Read Mail POP3", "QORPost.ReadMailPOP3"},
        {"{551530F7-F153-4CEF-B897-34F432A34275}", "QOR Send Mail SMTP", "QORPost.SendMailSMTP"},
        {"{1409E2A2-8561-4B38-A3A0-4003F5E59EBD}", "QOR FTP", "QORPost.FTP"},
        {"{395D4681-327A-11D4-92C2-00E02950EEDE}", "QOR Remote Access Server", "QORCom.Ras"},
        {"{952432CD-7953-422C-BD74-78E661A1CB72}", "QOR StdOutStatus", "QORCom.StdOutStatus"},
        {"{13F58631-4B73-11D4-92DA-00E02950EEDE}", "QOR Send Mail", "QORCom.SendMail"},
        {"{DDF2CCE8-AE14-4E30-BA86-256DB1C9A7EC}", "QOR Read Mail", "QORCom.ReadMail"},
        {"{E4496082-0E62-401E-B106-0D6FCB5C4555}", "QOR Send EMail MAPI", "QORCom.SendEMailMAPI"},
        {"{4FE27532-58BC-4126-9C56-0BE8CC160EFA}", "QOR Read EMail MAPI", "QORCom.ReadEMailMAPI"},
        {"{FC03E897-8E05-4401-A3B4-76BAA0907537}", "QOR Read Mail POP3", "QORCom.ReadMailPOP3"},
        {"{551530F7-F153-4CEF-B897-34F432A34275}", "QOR Send Mail SMTP", "QORCom.SendMailSMTP"},
        {"{1409E2A2-8561-4B38-A3A0-4003F5E59EBD}", "QOR FTP", "QORCom.FTP"},
        {"{19FA051B-E88A-4A0E-A198-42FC931EFC46}", "QOR Send EMail SMTP", "QORCom.SendEMailSMTP"},
        {"{56610B59-6F53-48CB-BEC5-DF60ACC14913}", "QOR Read EMail POP3", "QORCom.ReadEMailPOP3"},
        {"{06B035C1-4723-488E-B206-FFD44C7A5CA3}", "QOR Software Message",
         "QORCom.SoftwareMessage"},
        {"{3EB9B02B-B63F-43AD-9281-83612453E2E6}", "QOR Terminal Server Channel",
         "QORCom.TerminalServerChannel"},
        {"{62C1815E-E221-4AD3-B193-18FDDFDBDE53}", "QOR Global Queue", "QORCom.GlobalQueue"},
        {"{A532F892-189E-43E0-86C9-C8A3B6AF4518}", "QOR Lock File", "QORCom.LockFile"},
        {"{39FEB25E-EEE1-4841-903F-30520181738D}", "QOR Soundex", "QORCom.Soundex"},
        {"{45A44DB1-63B7-45EB-AD47-622DE2B3BAB1}", "QOR Drive Overrider", "QORCom.DriveOverrider"},
        {"{08C1D918-0AD0-43FA-93D3-87865E06A494}", "QOR Log Message", "QORCom.LogMessage"},
        {"{2CD88B0B-9481-4399-84F1-6F2F94CFAE90}", "QOR Telnet", "QORCom.Telnet"},
        {"{6B25A2FB-F695-45FC-B943-88A4802D6543}", "QOR SFTP", "QORCom.SFTP"},
        {"{ED9330EC-738F-4DEE-B53D-C617BBEC3096}", "QOR SFTP wod", "QORCom.SFTPwod"},
        {"{7CDDA671-F6BF-4483-9EBD-195BF5A94C14}", "QOR Internet Explorer FTP", "QORCom.IEFTP"},
        {"{9E9926BD-AE9E-4F87-94AC-C772F4E6BB7A}", "QOR HTTP", "QORCom.HTTP"},
        {"{D1B86170-4D9B-4643-A821-5E7264F04FBB}", "QOR Find Files", "QORCom.FindFiles"},
    };
    const std::string root = "HKEY_CLASSES_ROOT\\";
    const std::string libid = "{9F4749B4-1893-472D-99BB-ACE8E8FFBD58}";
    Snapshot s;
    for (const Row& r : rows) {
        const std::string cls = root + "CLSID\\" + r.clsid;
        const std::string p1 = r.progId, p2 = p1 + ".1";
        AddKey(s, cls, "", r.friendly);
        AddKey(s, cls + "\\InprocServer32", "", path);
        AddKey(s, cls + "\\InprocServer32", "ThreadingModel", "Apartment");
        AddKey(s, cls + "\\ProgID", "", p1);  // the unversioned one, as installed clients expect
        AddKey(s, cls + "\\VersionIndependentProgID", "", p2);
        AddKey(s, cls + "\\TypeLib", "", libid);
        AddKey(s, root + p2, "", r.friendly);
        AddKey(s, root + p2 + "\\CLSID", "", r.clsid);
        AddKey(s, root + p2 + "\\CurVer", "", p1);
        AddKey(s, root + p1, "", r.friendly);
        AddKey(s, root + p1 + "\\CLSID", "", r.clsid);
    }
    const std::string lib = root + "TypeLib\\" + libid + "\\1.0";
    AddKey(s, lib, "", "QORCom Type Library");
    AddKey(s, lib + "\\0\\win32", "", path);
    AddKey(s, lib + "\\FLAGS", "", "0");
    AddKey(s, lib + "\\HELPDIR", "", directory);
    const std::pair<const char*, const char*> interfaces[] = {
        {"{395D4680-327A-11D4-92C2-00E02950EEDE}", "IQORRas"},
        {"{FA0D1229-960C-4B37-85E5-E7C1DAE80F28}", "IQORStatus"},
        {"{A7B35E60-EA78-4EB6-B55A-A3D9C9EC81AE}", "IQORTerminalServerChannel"},
        {"{B6692127-48F1-45BA-9065-F09E3F29691D}", "IQORSoftwareMessage"},
        {"{E08295A2-12E9-45EB-82F8-16E71E6FFDB6}", "IQORGlobalQueue"},
        {"{69796218-70AF-444B-A2F9-4C1E2BC35AA3}", "IQORLockFile"},
        {"{136EEA20-FEF5-46BD-9D31-6EC40AF257B3}", "IQORSoundex"},
        {"{9EB3A0DA-058A-4DEB-9A9C-D520AA29897B}", "IQORDriveOverrider"},
        {"{498090DF-6032-4C08-939C-DC43916AB602}", "IQOROutputMessage"},
        {"{3BEF8858-2840-4779-BE05-48E2201BE181}", "IQORLogMessage"},
        {"{8B2FFD94-61F7-4230-A91F-D826183023AA}", "IQORHTTP"},
        {"{A328DF08-074C-412E-A09C-55E3AB39699B}", "IQORFindFiles"},
        {"{554FC71F-7ADC-4130-8265-679528E2A9EC}", "IQORTelnet"},
        {"{EF865D0E-C0C1-4AAB-B095-9465F91C87F2}", "IQORFTP"},
        {"{B9292AA9-EBA6-4F2E-948B-4CF4DD4F06E5}", "IQORSFTPwod"},
        {"{13F58630-4B73-11D4-92DA-00E02950EEDE}", "IQORSendMail"},
        {"{646FA1D6-EDEA-4FA7-AD21-38D4A276E812}", "IQORReadMail"},
        {"{54FFC917-5A35-4DE2-80D3-815F439D1F63}", "IQORSendMailSMTP"},
        {"{B3E35CB3-89A6-4589-8478-A68F2C3AA384}", "IQORSendEMail"},
        {"{6E6406D9-9BF7-4BD8-A1F1-AF1CFA63ECA0}", "IQORSendEMailMAPI"},
        {"{181F31AA-A5D1-4A7E-8AD8-2703224A9759}", "IQORSendEMailSMTP"},
        {"{8DF07613-68CF-43AE-80A4-008247A94402}", "IQORReadMailPOP3"},
        {"{0CAAE42A-CF96-41CF-8DB9-1EDE80A3FF25}", "IQORReadEMail"},
        {"{D135DD67-1BC1-4799-8BE4-DF138B3741DA}", "IQORReadEMailMAPI"},
        {"{361467EB-AC34-462B-82D2-B75F1F85C98E}", "IQORReadEMailPOP3"},
    };
    for (const auto& [iid, name] : interfaces) {
        const std::string key = root + "Interface\\" + iid;
        AddKey(s, key, "", name);
        AddKey(s, key + "\\ProxyStubClsid", "", "{00020424-0000-0000-C000-000000000046}");
        AddKey(s, key + "\\ProxyStubClsid32", "", "{00020424-0000-0000-C000-000000000046}");
        AddKey(s, key + "\\TypeLib", "", libid);
        AddKey(s, key + "\\TypeLib", "Version", "1.0");
    }
    return s;
}

class QorcomRegistrationTest : public ::testing::Test {
protected:
    Snapshot Load() const {
        std::string error;
        auto tree = file.Load(&error);
        EXPECT_TRUE(tree) << error;
        return tree ? Take(*tree) : Snapshot{};
    }
    bool Change(const std::function<bool(comlite::RegistryTree&)>& change) const {
        return file.Update(change);
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv locks{"TIDEWELL_LOCK_DIR", dir.Path()};
    tw::test::ScopedEnv registryPath{"COMLITE_REGISTRY", dir.File("registry.reg")};
    comlite::RegistryFile file{dir.File("registry.reg")};
};

TEST_F(QorcomRegistrationTest, WritesExactlyTheKeysOfEveryRowAndTheTypeLibrary) {
    const std::string module = "/opt/qor/lib/libqorcom.so";
    ASSERT_EQ(RegisterServer(file, module), S_OK);
    EXPECT_EQ(Load(), ExpectedKeys(module, "/opt/qor/lib/"));
    // Registering again changes nothing.
    ASSERT_EQ(RegisterServer(file, module), S_OK);
    EXPECT_EQ(Load(), ExpectedKeys(module, "/opt/qor/lib/"));
}

TEST_F(QorcomRegistrationTest, UnregisteringRemovesOurKeysOnlyAndSparesLocalServers) {
    ASSERT_TRUE(Change([](comlite::RegistryTree& t) {
        return t.SetValue("HKEY_CLASSES_ROOT\\Other.Thing\\CLSID", "", std::string("{1}"));
    }));
    ASSERT_EQ(RegisterServer(file, "/opt/qor/libqorcom.so"), S_OK);
    const std::string lockClass =
        "HKEY_CLASSES_ROOT\\CLSID\\{A532F892-189E-43E0-86C9-C8A3B6AF4518}";
    ASSERT_TRUE(Change([&](comlite::RegistryTree& t) {
        return t.SetValue(lockClass + "\\LocalServer32", "", std::string("/opt/qor/lockd"));
    }));

    ASSERT_EQ(UnregisterServer(file), S_OK);
    Snapshot remaining = Load();
    EXPECT_TRUE(remaining.count("HKEY_CLASSES_ROOT\\Other.Thing\\CLSID"));
    EXPECT_TRUE(remaining.count(lockClass + "\\LocalServer32"));
    EXPECT_FALSE(remaining.count(lockClass + "\\InprocServer32"));
    EXPECT_TRUE(remaining.count("HKEY_CLASSES_ROOT\\QORCom.LockFile\\CLSID"));
    EXPECT_TRUE(remaining.count("HKEY_CLASSES_ROOT\\QORCom.LockFile.1\\CurVer"));
    EXPECT_FALSE(
        remaining.count("HKEY_CLASSES_ROOT\\CLSID\\{395D4681-327A-11D4-92C2-00E02950EEDE}"));
    for (const auto& [key, values] : remaining) {
        EXPECT_EQ(key.find("Ras"), std::string::npos) << key;
        EXPECT_EQ(key.find("LogMessage"), std::string::npos) << key;
        EXPECT_NE(key.rfind("HKEY_CLASSES_ROOT\\TypeLib\\", 0), 0u) << key;
        EXPECT_NE(key.rfind("HKEY_CLASSES_ROOT\\Interface\\", 0), 0u) << key;
    }
    // Unregistering what is not there is no failure.
    EXPECT_EQ(UnregisterServer(file), S_OK);
}

TEST_F(QorcomRegistrationTest, ARegistryThatCannotBeWrittenFailsBothWays) {
    // A path below a regular file can be neither read nor written, whoever runs the test.
    const std::string blocker = dir.Write("blocker", "x");
    comlite::RegistryFile unwritable(blocker + "/registry.reg");
    EXPECT_EQ(RegisterServer(unwritable, "/opt/qor/libqorcom.so"), SELFREG_E_CLASS);
    EXPECT_EQ(UnregisterServer(unwritable), SELFREG_E_CLASS);

    const std::string malformed = "[HKEY_CLASSES_ROOT\\X]\nthis is not a value line\n";
    const std::string path = dir.Write("malformed.reg", malformed);
    comlite::RegistryFile broken(path);
    EXPECT_EQ(RegisterServer(broken, "/opt/qor/libqorcom.so"), SELFREG_E_CLASS);
    EXPECT_EQ(UnregisterServer(broken), SELFREG_E_CLASS);
    EXPECT_EQ(tw::test::ReadAll(path), malformed) << "a malformed registry is never overwritten";
}

platform::ProcessOutcome RunTool(const std::vector<std::string>& argv) {
    platform::PosixProcessLauncher launcher;
    platform::ProcessOptions options;
    options.timeLimit = std::chrono::seconds(60);
    return launcher.Run(argv, options);
}

TEST_F(QorcomRegistrationTest, ARenamedLibraryRegistersUnderItsOwnPathAndServesBothProgIds) {
    const std::string renamed = dir.File("libqorcom-7.2.so");
    std::filesystem::copy_file(QORCOM_LIBRARY, renamed);
    ASSERT_TRUE(RunTool({QORREGSVR, "-s", renamed}).Succeeded());
    EXPECT_EQ(
        Load()["HKEY_CLASSES_ROOT\\CLSID\\{A532F892-189E-43E0-86C9-C8A3B6AF4518}\\InprocServer32"]
              [""],
        renamed);

    CLSID post{}, com{};
    ASSERT_EQ(CLSIDFromProgID(u"QORPost.Ras", &post), S_OK);
    ASSERT_EQ(CLSIDFromProgID(u"QORCom.Ras", &com), S_OK);
    EXPECT_EQ(post, com);
    EXPECT_EQ(post, CLSID_QORRas);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_QORRas, &progId), S_OK);
    EXPECT_EQ(std::u16string_view(progId), u"QORCom.Ras") << "the later row's ProgID stays";
    CoTaskMemFree(progId);

    comlite::ComPtr<IQORLockFile> lock;
    ASSERT_EQ(CoCreateInstance(CLSID_QORLockFile, nullptr, CLSCTX_INPROC_SERVER, IID_IQORLockFile,
                               lock.PutVoid()),
              S_OK)
        << comlite::LastActivationError();
    lock.Reset();

    ASSERT_TRUE(RunTool({QORREGSVR, "/u", "/s", renamed}).Succeeded());
    EXPECT_EQ(CLSIDFromProgID(u"QORCom.LockFile", &com), CO_E_CLASSSTRING);
    EXPECT_EQ(RunTool({QORREGSVR, "-s", dir.File("no-such-library.so")}).exitCode, 1);
}

// All 31 rows are in the table, and every one creates by both its ProgIDs after registration and
// by neither after unregistration.
TEST_F(QorcomRegistrationTest, EveryRowRegistersAndCreatesByBothProgIds) {
    ASSERT_EQ(ComponentTable().size(), 31u);
    ASSERT_TRUE(RunTool({QORREGSVR, "-s", QORCOM_LIBRARY}).Succeeded());
    for (const ComponentRow& row : ComponentTable()) {
        for (const char* progId : {row.progId, row.versionedProgId}) {
            SCOPED_TRACE(progId);
            const std::u16string wide = comlite::Utf8ToUtf16(progId);
            CLSID clsid{};
            ASSERT_EQ(CLSIDFromProgID(wide.c_str(), &clsid), S_OK);
            EXPECT_EQ(clsid, *row.clsid);
            comlite::ComPtr<IDispatch> object;
            EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                       object.PutVoid()),
                      S_OK)
                << comlite::LastActivationError();
        }
    }
    ASSERT_TRUE(RunTool({QORREGSVR, "/u", "/s", QORCOM_LIBRARY}).Succeeded());
    for (const ComponentRow& row : ComponentTable()) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(comlite::Utf8ToUtf16(row.progId).c_str(), &clsid),
                  CO_E_CLASSSTRING)
            << row.progId;
    }
}

TEST_F(QorcomRegistrationTest, TwoProcessesRegisteringAtOnceLeaveACompleteRegistry) {
    const std::string first = dir.File("a/libqorcom.so"), second = dir.File("b/libqorcom.so");
    std::filesystem::create_directories(dir.File("a"));
    std::filesystem::create_directories(dir.File("b"));
    std::filesystem::copy_file(QORCOM_LIBRARY, first);
    std::filesystem::copy_file(QORCOM_LIBRARY, second);
    for (int round = 0; round < 4; ++round) {
        int error = 0;
        auto a = platform::ChildProcess::Start({QORREGSVR, "-s", first}, "", &error);
        auto b = platform::ChildProcess::Start({QORREGSVR, "-s", second}, "", &error);
        ASSERT_TRUE(a && b) << error;
        EXPECT_TRUE(a->Wait(std::chrono::seconds(60)).Succeeded());
        EXPECT_TRUE(b->Wait(std::chrono::seconds(60)).Succeeded());
        // Each run writes every key in one locked update, so the result is one run's whole set.
        const Snapshot keys = Load();
        const std::string winner = keys.at("HKEY_CLASSES_ROOT\\CLSID\\{08C1D918-0AD0-43FA-93D3-"
                                           "87865E06A494}\\InprocServer32")
                                       .at("");
        ASSERT_TRUE(winner == first || winner == second) << winner;
        const std::string directory = std::filesystem::path(winner).parent_path().string() + "/";
        EXPECT_EQ(keys, ExpectedKeys(winner, directory));
    }
}

}  // namespace
}  // namespace tw::qorcom
