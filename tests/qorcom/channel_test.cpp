#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qorcom/channel/terminal_server_channel.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;

constexpr HRESULT kChannelError = HRESULT(0x8004201E);

// The remote desktop client's end of the channel: a sequenced-packet socket the simulated
// provider connects to.
class Peer {
public:
    explicit Peer(const std::string& path) {
        listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listener_, 4), 0);
    }
    ~Peer() {
        if (client_ >= 0)
            ::close(client_);
        ::close(listener_);
    }
    // Takes the component's connection; returns the channel name it opened.
    std::string Accept() {
        client_ = ::accept(listener_, nullptr, nullptr);
        return Receive();
    }
    std::string Receive() {
        char buffer[4096];
        const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
    void SendRaw(const std::string& packet) {
        ASSERT_EQ(::send(client_, packet.data(), packet.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(packet.size()));
    }
    // One chunk: total length and flags (little-endian), then the data.
    void SendChunk(std::uint32_t total, std::uint32_t flags, const std::string& data) {
        std::string packet(8, '\0');
        for (int i = 0; i < 4; ++i) {
            packet[i] = static_cast<char>(total >> (8 * i));
            packet[4 + i] = static_cast<char>(flags >> (8 * i));
        }
        SendRaw(packet + data);
    }
    void Hang() {
        ::close(client_);
        client_ = -1;
    }

private:
    int listener_ = -1;
    int client_ = -1;
};

class QorcomChannelTest : public ::testing::Test {
protected:
    ComPtr<IQORTerminalServerChannel> OpenChannel(const std::string& name) {
        auto channel = test::Create<IQORTerminalServerChannel>(CLSID_QORTerminalServerChannel,
                                                               IID_IQORTerminalServerChannel);
        EXPECT_EQ(channel->put_Channel(Bstr::FromUtf8(name).Get()), S_OK);
        EXPECT_EQ(channel->Open(), S_OK) << test::TakeError();
        EXPECT_EQ(peer.Accept(), name.substr(0, 7));
        return channel;
    }
    struct Chunk {
        LONG length = -1;
        std::string data;
        bool first = false, last = false;
    };
    static Chunk Receive(IQORTerminalServerChannel* channel) {
        Chunk chunk;
        Bstr data;
        EXPECT_EQ(channel->ReceiveData(&chunk.length, data.Put()), S_OK) << test::TakeError();
        chunk.data.assign(reinterpret_cast<const char*>(data.Get()), SysStringByteLen(data.Get()));
        VARIANT_BOOL flag = 0;
        channel->get_First(&flag);
        chunk.first = flag == VARIANT_TRUE;
        channel->get_Last(&flag);
        chunk.last = flag == VARIANT_TRUE;
        return chunk;
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv provider{"QORCOM_CHANNEL_PROVIDER", QORCOM_SIM_CHANNEL};
    tw::test::ScopedEnv socket{"QORCOM_CHANNEL_SIM_SOCKET", dir.File("client.sock")};
    Peer peer{dir.File("client.sock")};
};

TEST_F(QorcomChannelTest, OpeningNeedsANameAndAPeerAndUsesSevenCharacters) {
    auto channel = test::Create<IQORTerminalServerChannel>(CLSID_QORTerminalServerChannel,
                                                           IID_IQORTerminalServerChannel);
    LONG length = -1;
    Bstr data;
    EXPECT_EQ(channel->Open(), kChannelError);
    EXPECT_EQ(test::TakeError(),
              "QORCom.TerminalServerChannel: You must specify a channel before you can open it.");
    EXPECT_EQ(channel->ReceiveData(&length, data.Put()), kChannelError);
    EXPECT_EQ(test::TakeError(), "QORCom.TerminalServerChannel: Channel not open.");
    EXPECT_EQ(length, 0);
    EXPECT_EQ(channel->WriteString(Bstr::FromUtf8("x").Get()), kChannelError);
    EXPECT_EQ(test::TakeError(), "QORCom.TerminalServerChannel: Channel not open.");
    EXPECT_EQ(channel->ReceiveData(nullptr, data.Put()), E_POINTER);

    {
        tw::test::ScopedEnv nobody("QORCOM_CHANNEL_SIM_SOCKET", dir.File("nobody.sock"));
        ASSERT_EQ(channel->put_Channel(Bstr::FromUtf8("POSDATA").Get()), S_OK);
        EXPECT_EQ(channel->Open(), kChannelError);
        EXPECT_EQ(test::TakeError(),
                  "QORCom.TerminalServerChannel: Unable to open virtual channel.");
    }
    {
        tw::test::ScopedEnv none("QORCOM_CHANNEL_PROVIDER", dir.File("libnothing.so"));
        auto without = test::Create<IQORTerminalServerChannel>(CLSID_QORTerminalServerChannel,
                                                               IID_IQORTerminalServerChannel);
        without->put_Channel(Bstr::FromUtf8("POSDATA").Get());
        EXPECT_EQ(without->Open(), kChannelError);
        EXPECT_EQ(test::TakeError(),
                  "QORCom.TerminalServerChannel: Unable to open virtual channel.");
    }

    {
        // Outside an xrdp session (or without xrdp) the xrdp provider opens nothing.
        tw::test::ScopedEnv xrdp("QORCOM_CHANNEL_PROVIDER", QORCOM_XRDP_CHANNEL);
        auto outside = test::Create<IQORTerminalServerChannel>(CLSID_QORTerminalServerChannel,
                                                               IID_IQORTerminalServerChannel);
        outside->put_Channel(Bstr::FromUtf8("POSDATA").Get());
        EXPECT_EQ(outside->Open(), kChannelError);
        EXPECT_EQ(test::TakeError(),
                  "QORCom.TerminalServerChannel: Unable to open virtual channel.");
    }

    auto longName = OpenChannel("CLIPBOARDX");  // the peer sees "CLIPBOA"
    Bstr name;
    EXPECT_EQ(longName->get_Channel(name.Put()), S_OK);
    EXPECT_EQ(name.Utf8(), "CLIPBOARDX") << "the property keeps the whole name";
}

TEST_F(QorcomChannelTest, ChunksArriveOneAtATimeWithTheirFlags) {
    auto channel = OpenChannel("POSDATA");
    Chunk idle = Receive(channel.Get());
    EXPECT_EQ(idle.length, 0) << "nothing pending is not -8";
    EXPECT_EQ(idle.data, "");

    peer.SendChunk(9, 0x01, "abc");
    peer.SendChunk(9, 0x00, "def");
    peer.SendChunk(9, 0x02, "ghi");
    std::string message;
    const Chunk one = Receive(channel.Get()), two = Receive(channel.Get()),
                three = Receive(channel.Get());
    EXPECT_EQ(one.length, 3);
    EXPECT_TRUE(one.first && !one.last);
    EXPECT_TRUE(!two.first && !two.last);
    EXPECT_TRUE(!three.first && three.last);
    EXPECT_EQ(one.data + two.data + three.data, "abcdefghi");

    // A chunk of binary data in one piece.
    peer.SendChunk(4, 0x03, std::string("\0\x01\xff\x02", 4));
    const Chunk binary = Receive(channel.Get());
    EXPECT_EQ(binary.length, 4);
    EXPECT_EQ(binary.data, std::string("\0\x01\xff\x02", 4));
    EXPECT_TRUE(binary.first && binary.last);

    // A header without data changes nothing; a chunk cut inside its header is a failed read,
    // never a negative length.
    peer.SendChunk(0, 0x00, "");
    const Chunk empty = Receive(channel.Get());
    EXPECT_EQ(empty.length, 0);
    EXPECT_TRUE(empty.first && empty.last) << "flags of the last chunk with data";
    peer.SendRaw("12345");
    LONG length = -1;
    Bstr data;
    EXPECT_EQ(channel->ReceiveData(&length, data.Put()), kChannelError);
    EXPECT_EQ(test::TakeError(),
              "QORCom.TerminalServerChannel: Unable to read data from virtual channel.");
    EXPECT_EQ(length, 0);
}

TEST_F(QorcomChannelTest, WritesStayWithinTheirStringAndReportFailures) {
    auto channel = OpenChannel("POSDATA");
    EXPECT_EQ(channel->WriteString(Bstr::FromUtf8("AB").Get()), S_OK);
    EXPECT_EQ(peer.Receive(), std::string("A\0B\0", 4));

    Bstr bytes = Bstr::Attach(SysAllocStringByteLen("xyz", 3));
    EXPECT_EQ(channel->WriteData(bytes.Get(), 2), S_OK);
    EXPECT_EQ(peer.Receive(), "xy");
    for (LONG length : {-1, 4, 1 << 30}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(channel->WriteData(bytes.Get(), length), kChannelError);
        EXPECT_EQ(test::TakeError(), "QORCom.TerminalServerChannel: Length exceeds data.");
    }
    EXPECT_EQ(channel->WriteData(nullptr, 1), kChannelError) << "a null string holds no bytes";
    EXPECT_EQ(test::TakeError(), "QORCom.TerminalServerChannel: Length exceeds data.");
    EXPECT_EQ(channel->WriteData(bytes.Get(), 3), S_OK);
    EXPECT_EQ(peer.Receive(), "xyz") << "nothing of the refused writes went out";

    peer.Hang();
    EXPECT_EQ(channel->WriteString(Bstr::FromUtf8("AB").Get()), kChannelError);
    EXPECT_EQ(test::TakeError(),
              "QORCom.TerminalServerChannel: Unable to write data to virtual channel. Error 32. "
              "Broken pipe");
    EXPECT_EQ(channel->Close(), S_OK);
    EXPECT_EQ(channel->WriteString(Bstr::FromUtf8("AB").Get()), kChannelError);
    EXPECT_EQ(test::TakeError(), "QORCom.TerminalServerChannel: Channel not open.");
}

}  // namespace
}  // namespace tw::qorcom
