#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "monitor/pos_file_system.h"
#include "monitor/smb_file_system.h"
#include "support/memory_file_system.h"
#include "support/recording_messages.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

// A scripted dial-up object; the active connections are shared like the system's.
class FakeRas : public RasAutomation {
public:
    bool Installed() override { return installed; }
    std::string GetFirstConnection() override {
        next = 0;
        return GetNextConnection();
    }
    std::string GetNextConnection() override {
        return next < active.size() ? active[next++] : std::string();
    }
    int Dial(const std::string& entry, const std::string& phone, const std::string&,
             const std::string& user, const std::string&, const std::string&) override {
        if (throwOnDial)
            throw DispatchException(static_cast<std::int32_t>(0x80020009),
                                    "RPC server unavailable");
        dialled.push_back(entry + "|" + phone + "|" + user);
        if (dialResult == 0)
            active.push_back(entry);
        return dialResult;
    }
    int HangUp() override {
        ++hangUps;
        return hangUpResult;
    }
    std::string GetResultString(int result) override {
        return "Result text " + std::to_string(result);
    }

    bool installed = true, throwOnDial = false;
    int dialResult = 0, hangUpResult = 0, hangUps = 0;
    std::vector<std::string> active, dialled;
    std::size_t next = 0;
};

struct Connector {
    Connector() : ras(new FakeRas), connector(CountedPtr<RasAutomation>(ras)) {
        connector.entryName = "POS Line";
        connector.phoneNumber = "555-0100";
        connector.userName = "poller";
    }
    FakeRas* ras;
    RasConnector connector;
};

TEST(RasConnector, ReusesAnActiveConnectionAndNeverHangsItUp) {
    Connector c;
    c.ras->active = {"Office", "pos line"};
    EXPECT_TRUE(c.connector.Connect());
    EXPECT_TRUE(c.ras->dialled.empty());
    EXPECT_TRUE(c.connector.Disconnect());
    EXPECT_EQ(c.ras->hangUps, 0);
}

TEST(RasConnector, DialsHangsUpWhatItDialledAndReportsResults) {
    {
        Connector c;
        EXPECT_TRUE(c.connector.Connect());
        EXPECT_EQ(c.ras->dialled, std::vector<std::string>{"POS Line|555-0100|poller"});
        EXPECT_TRUE(c.connector.Disconnect());
        EXPECT_EQ(c.ras->hangUps, 1);
    }
    Connector busy;
    busy.ras->dialResult = 676;
    EXPECT_FALSE(busy.connector.Connect());
    EXPECT_EQ(busy.connector.GetLastErrorText(), "Result text 676");
    busy.ras->dialResult = 2;  // fails without touching the error text
    EXPECT_FALSE(busy.connector.Connect());
    EXPECT_EQ(busy.connector.GetLastErrorText(), "Result text 676");
    busy.ras->hangUpResult = 5;
    EXPECT_FALSE(busy.connector.Disconnect());
    EXPECT_EQ(busy.connector.GetLastErrorText(), "Result text 5");
}

TEST(RasConnector, MissingObjectNotInstalledAndExceptions) {
    RasConnector none{CountedPtr<RasAutomation>()};
    EXPECT_FALSE(none.Connect());
    EXPECT_TRUE(none.Disconnect());
    Connector c;
    c.ras->installed = false;
    EXPECT_FALSE(c.connector.Connect());
    EXPECT_EQ(c.connector.GetLastErrorText(),
              "Unable to connect to remote system, RAS not installed.");
    c.ras->installed = true;
    c.ras->throwOnDial = true;
    EXPECT_FALSE(c.connector.Connect());
    EXPECT_EQ(c.connector.GetLastErrorText(), "RPC server unavailable");
}

// A loopback port that accepts connections, and one that refuses them.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 4);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int Port() const { return port_; }

private:
    int fd_;
    int port_;
};

TEST(WaitForMachineVisible, CountsDownItsTriesAndSeesAListeningMachine) {
    test::RecordingMessage sink;
    int closedPort;
    {
        Listener gone;
        closedPort = gone.Port();
    }
    const std::string closed = "\\\\127.0.0.1:" + std::to_string(closedPort);
    EXPECT_FALSE(WaitForMachineVisible(closed, 2, 1ms, &sink));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                                "Machine " + closed + " not visible yet.  2 retries left.",
                                "Machine " + closed + " not visible yet.  1 retries left."}));
    Listener open;
    EXPECT_TRUE(
        WaitForMachineVisible("\\\\127.0.0.1:" + std::to_string(open.Port()), 1, 1ms, nullptr));
    EXPECT_FALSE(WaitForMachineVisible("\\\\no-such-host.invalid", 1, 1ms, nullptr));
}

TEST(RasWinFileSystem, DialsWaitsForTheMachineAndHangsUpOnDisconnect) {
    auto* ras = new FakeRas;
    auto connector = CountedPtr<RasConnector>(new RasConnector(CountedPtr<RasAutomation>(ras)));
    connector->entryName = "POS";
    auto* inner = new test::MemoryFileSystem;
    RasWinFileSystem fs(connector, CountedPtr<FileSystem>(inner), "\\\\127.0.0.1:1", 2);
    fs.visibilityPause = 1ms;
    EXPECT_TRUE(fs.Connect()) << "the log-on is tried even when the machine never answered";
    EXPECT_EQ(fs.GetLastErrorText(), "Unable to find \\\\127.0.0.1:1.");
    EXPECT_TRUE(inner->connected);
    fs.Disconnect();
    EXPECT_EQ(ras->hangUps, 1);
    EXPECT_FALSE(inner->connected);

    ras->dialResult = 633;
    ras->active.clear();
    EXPECT_FALSE(fs.Connect());
    EXPECT_EQ(fs.GetLastErrorText(), "Result text 633");
    inner->failConnect = true;
    ras->dialResult = 0;
    EXPECT_FALSE(fs.Connect());
    EXPECT_EQ(fs.GetLastErrorText(), "Unable to establish network connection.  Error 53.  x");
}

TEST(PosFileSystemFactory, ChoosesByPathFormAndDialUp) {
    platform::PathResolver resolver;
    resolver.AddMapping("\\\\MOUNTED\\share", "/mnt/pos");
    PosFileSystemSettings settings;
    settings.salesPath = "\\\\POS1\\Export\\";
    EXPECT_NE(dynamic_cast<SmbFileSystem*>(MakePosFileSystem(settings, resolver, {}).Get()),
              nullptr);
    settings.salesPath = "\\\\mounted\\SHARE\\Export\\";
    EXPECT_NE(dynamic_cast<LocalWinFileSystem*>(MakePosFileSystem(settings, resolver, {}).Get()),
              nullptr);
    settings.salesPath = "C:\\POS\\";
    EXPECT_NE(dynamic_cast<LocalWinFileSystem*>(MakePosFileSystem(settings, resolver, {}).Get()),
              nullptr);

    settings.useRas = true;
    int created = 0;
    auto fs = MakePosFileSystem(settings, resolver, [&] {
        ++created;
        return CountedPtr<RasAutomation>();
    });
    EXPECT_NE(dynamic_cast<RasWinFileSystem*>(fs.Get()), nullptr);
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(fs->Connect()) << "no dial-up object: no connection";

    EXPECT_EQ(ServerPartOf("\\\\POS1\\Export\\"), "\\\\POS1");
    EXPECT_EQ(ServerPartOf("\\\\POS1"), "");
    EXPECT_EQ(ServerPartOf("//pos1/x/y"), "\\\\pos1");
    EXPECT_EQ(ServerPartOf("C:\\POS"), "");
}

// Sales and import directories may lie on different machines, or one here and one on a share.
TEST(PosFileSystemFactory, ChoosesEachSideByItsOwnPath) {
    platform::PathResolver resolver;
    PosFileSystemSettings settings;
    settings.salesPath = "/srv/pos/export/";
    const std::string share = "smb://POS1/Import/";
    EXPECT_NE(dynamic_cast<SmbFileSystem*>(MakePosFileSystem(share, settings, resolver, {}).Get()),
              nullptr);
    EXPECT_NE(dynamic_cast<LocalWinFileSystem*>(MakePosFileSystem(settings, resolver, {}).Get()),
              nullptr);
    settings.salesPath = "smb://POS1/Export/";
    EXPECT_NE(dynamic_cast<LocalWinFileSystem*>(
                  MakePosFileSystem("/srv/pos/import/", settings, resolver, {}).Get()),
              nullptr);
    EXPECT_NE(dynamic_cast<SmbFileSystem*>(MakePosFileSystem(settings, resolver, {}).Get()),
              nullptr);

    // Over dial-up, each side waits for the machine of its own path.
    settings.salesPath = "/srv/pos/export/";
    settings.useRas = true;
    settings.rasEntry = "POS Line";
    settings.rasLoginRetries = 1;
    const CountedPtr<RasAutomation> shared(new FakeRas);
    auto dialUp = [&](const std::string& path) {
        auto fs = MakePosFileSystem(path, settings, resolver, [&] { return shared; });
        dynamic_cast<RasWinFileSystem&>(*fs).visibilityPause = 1ms;
        EXPECT_TRUE(fs->Connect());
        return fs->GetLastErrorText();
    };
    EXPECT_EQ(dialUp("\\\\127.0.0.1:1\\Import\\"), "Unable to find \\\\127.0.0.1:1.");
    EXPECT_EQ(dialUp(settings.salesPath), "");
}

}  // namespace
}  // namespace tw
