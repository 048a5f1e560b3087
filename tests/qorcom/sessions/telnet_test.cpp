#include "qorcom/sessions/telnet.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "comlite/bstr.h"
#include "fake_telnet_server.h"
#include "qorcom/sessions/telnet_protocol.h"
#include "qorcom_test_support.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using test::FakeTelnetServer;

std::string Iac(unsigned char verb, unsigned char option) {
    return {static_cast<char>(kTelnetIac), static_cast<char>(verb), static_cast<char>(option)};
}

// ---- The protocol decoder ----

TEST(TelnetDecoderTest, TakesOptionCommandsOutOfTheText) {
    TelnetDecoder decoder;
    const auto result = decoder.Feed("ab" + Iac(kTelnetDo, 1) + "cd");
    EXPECT_EQ(result.data, "abcd");
    EXPECT_EQ(result.optionCommands, 1);
    EXPECT_EQ(result.replies, Iac(kTelnetWont, 1));
}

TEST(TelnetDecoderTest, DoubledIacIsDataAndSubnegotiationsAndCommandsAreDropped) {
    TelnetDecoder decoder;
    const std::string sub = "\xFF\xFA\x18\x01\xFF\xFF\x02\xFF\xF0";  // IAC SB 24 1 IAC IAC 2 IAC SE
    const auto result = decoder.Feed(
        "a\xFF\xFF"
        "b" +
        sub +
        "c\xFF\xF1"
        "d");  // IAC NOP
    EXPECT_EQ(result.data,
              "a\xFF"
              "bcd");
    EXPECT_EQ(result.replies, "");
}

// A command split between two reads is still a command, and its bytes never become text.
TEST(TelnetDecoderTest, CommandsSplitAcrossReadsAreRecognised) {
    using namespace std::string_literals;
    const std::string stream = "x" + Iac(kTelnetWill, 3) + "\xFF\xFA\x1F\x00\x50\xFF\xF0y"s;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        TelnetDecoder decoder;
        const auto first = decoder.Feed(stream.substr(0, cut));
        const auto second = decoder.Feed(stream.substr(cut));
        EXPECT_EQ(first.data + second.data, "xy") << cut;
        EXPECT_EQ(first.replies + second.replies, Iac(kTelnetDont, 3)) << cut;
    }
}

// Refusing is answered once per option and kind, so two refusing peers never loop; a server's
// own refusals (WONT, DONT) need no answer.
TEST(TelnetDecoderTest, EachOptionIsAnsweredOncePerKind) {
    TelnetDecoder decoder;
    auto result = decoder.Feed(Iac(kTelnetWill, 1) + Iac(kTelnetWill, 1) + Iac(kTelnetDo, 1) +
                               Iac(kTelnetDo, 24) + Iac(kTelnetWont, 5) + Iac(kTelnetDont, 5));
    EXPECT_EQ(result.replies, Iac(kTelnetDont, 1) + Iac(kTelnetWont, 1) + Iac(kTelnetWont, 24));
    EXPECT_EQ(result.optionCommands, 6);
    EXPECT_EQ(decoder.Feed(Iac(kTelnetDo, 24) + Iac(kTelnetWill, 1)).replies, "");
}

// ---- The component against a scripted server ----

class TelnetTest : public ::testing::Test {
protected:
    comlite::ComPtr<IQORTelnet> Make(std::uint16_t port) {
        auto telnet = test::Create<IQORTelnet>(CLSID_QORTelnet, IID_IQORTelnet);
        EXPECT_EQ(telnet->put_Server(Bstr(u"127.0.0.1").Get()), S_OK);
        EXPECT_EQ(telnet->put_Port(static_cast<SHORT>(port)), S_OK);
        return telnet;
    }
    static CTelnet& Object(IQORTelnet* telnet) { return *static_cast<CTelnet*>(telnet); }
    static bool Connect(IQORTelnet* telnet) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(telnet->Connect(&ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    static bool Send(IQORTelnet* telnet, const char16_t* text) {
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(telnet->SendCommand(Bstr(text).Get(), &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    static std::string LastError(IQORTelnet* telnet) {
        Bstr text;
        telnet->get_LastErrorMessage(text.Put());
        return text.Utf8();
    }
};

// The whole session as the server sees it: option answers, the commands unchanged, and the
// five bytes of "exit\n" before the connection closes. Ports above 32767 arrive as negative
// shorts and still reach the right port.
TEST_F(TelnetTest, SendsCommandsAnswersOptionsAndEndsWithExit) {
    FakeTelnetServer server("login: " + Iac(kTelnetDo, 24) + Iac(kTelnetWill, 1) + "\r\n");
    auto telnet = Make(server.Port());
    ASSERT_TRUE(Connect(telnet.Get())) << LastError(telnet.Get());
    EXPECT_EQ(server.WaitFor(0, 6), Iac(kTelnetWont, 24) + Iac(kTelnetDont, 1));
    EXPECT_TRUE(Send(telnet.Get(), u"user\r\n"));
    EXPECT_EQ(telnet->Disconnect(), S_OK);
    EXPECT_EQ(server.ReceivedOn(0), Iac(kTelnetWont, 24) + Iac(kTelnetDont, 1) + "user\r\nexit\n");
    EXPECT_EQ(Object(telnet.Get()).ReceivedText(), "login: \r\n");
    // Closed: a later send fails instead of pretending.
    EXPECT_FALSE(Send(telnet.Get(), u"late\n"));
    EXPECT_EQ(LastError(telnet.Get()), "Not connected.");
}

TEST_F(TelnetTest, TwoObjectsHaveTwoConnections) {
    FakeTelnetServer server;
    auto first = Make(server.Port());
    auto second = Make(server.Port());
    ASSERT_TRUE(Connect(first.Get()));
    ASSERT_TRUE(Connect(second.Get()));
    EXPECT_TRUE(Send(first.Get(), u"one\n"));
    EXPECT_TRUE(Send(second.Get(), u"two\n"));
    first->Disconnect();
    second->Disconnect();
    ASSERT_EQ(server.Connections(), 2u);
    EXPECT_EQ(server.ReceivedOn(0), "one\nexit\n");
    EXPECT_EQ(server.ReceivedOn(1), "two\nexit\n");
}

TEST_F(TelnetTest, ClosedPortOrNoServerGivesFalseWithTheReason) {
    // A port that was just free: bind, note it, close.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);

    auto telnet = Make(ntohs(address.sin_port));
    EXPECT_FALSE(Connect(telnet.Get()));
    EXPECT_NE(LastError(telnet.Get()).find("Connection refused"), std::string::npos)
        << LastError(telnet.Get());
    EXPECT_FALSE(Send(telnet.Get(), u"x\n"));
    EXPECT_EQ(telnet->Disconnect(), S_OK);

    ASSERT_EQ(telnet->put_Server(Bstr(u"").Get()), S_OK);
    EXPECT_FALSE(Connect(telnet.Get()));
}

// A server that stops reading: the send cannot complete and is reported as failed once the
// time-out passes, not as success.
TEST_F(TelnetTest, SendThatCannotCompleteIsFalse) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    auto telnet = Make(ntohs(address.sin_port));
    Object(telnet.Get()).SetTimeout(std::chrono::milliseconds(300));
    ASSERT_TRUE(Connect(telnet.Get()));
    const std::u16string big(16 * 1024 * 1024, u'x');  // beyond any socket buffers
    EXPECT_FALSE(Send(telnet.Get(), big.c_str()));
    EXPECT_NE(LastError(telnet.Get()).find("timed out"), std::string::npos)
        << LastError(telnet.Get());
    ::close(listener);
}

// A talkative server cannot make the object hold unbounded text.
TEST_F(TelnetTest, ReceivedTextKeepsOnlyTheNewest) {
    std::string script(kReceivedTextLimit + 1000, 'a');
    script += "END";
    FakeTelnetServer server(script);
    auto telnet = Make(server.Port());
    ASSERT_TRUE(Connect(telnet.Get()));
    for (int i = 0; i < 200 && Object(telnet.Get()).ReceivedText().ends_with("END") == false; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string text = Object(telnet.Get()).ReceivedText();
    EXPECT_EQ(text.size(), kReceivedTextLimit);
    EXPECT_TRUE(text.ends_with("aEND"));
    telnet->Disconnect();
}

}  // namespace
}  // namespace tw::qorcom
