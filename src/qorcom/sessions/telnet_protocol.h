#pragma once
// Takes the Telnet protocol commands out of a received byte stream and says what to answer.
//
// IAC (255) starts a command: IAC IAC is one data byte 255; IAC WILL/WONT/DO/DONT <option> is a
// three-byte option command; IAC SB ... IAC SE is a subnegotiation, skipped whole; any other
// byte after IAC is a two-byte command, dropped. A command may be split across reads: the
// decoder keeps its place between Feed calls.
//
// We take part in no option: a server's WILL is answered DONT and its DO is answered WONT, and
// each option is answered once per kind (a server repeating WILL 1 gets one DONT 1), so two
// peers that refuse each other never loop. WONT and DONT need no answer.

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::qorcom {

inline constexpr unsigned char kTelnetIac = 255;
inline constexpr unsigned char kTelnetDont = 254;
inline constexpr unsigned char kTelnetDo = 253;
inline constexpr unsigned char kTelnetWont = 252;
inline constexpr unsigned char kTelnetWill = 251;
inline constexpr unsigned char kTelnetSb = 250;
inline constexpr unsigned char kTelnetSe = 240;

class TelnetDecoder {
public:
    struct Result {
        std::string data;     // the text without protocol commands
        std::string replies;  // the option answers to send back, in order
        int optionCommands = 0;
    };

    // Decodes the next bytes of the stream. Not thread-safe; one decoder per connection.
    Result Feed(std::string_view bytes);

private:
    enum class State { kData, kIac, kOption, kSub, kSubIac };
    void AnswerOption(unsigned char verb, unsigned char option, std::string& replies);

    State state_ = State::kData;
    unsigned char verb_ = 0;
    std::bitset<256> answeredWill_;
    std::bitset<256> answeredDo_;
};

}  // namespace tw::qorcom
