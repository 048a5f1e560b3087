#include "qorcom/sessions/telnet_protocol.h"

namespace tw::qorcom {

TelnetDecoder::Result TelnetDecoder::Feed(std::string_view bytes) {
    Result result;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (state_) {
            case State::kData:
                if (byte == kTelnetIac)
                    state_ = State::kIac;
                else
                    result.data.push_back(c);
                break;
            case State::kIac:
                if (byte == kTelnetIac) {
                    result.data.push_back(c);
                    state_ = State::kData;
                } else if (byte == kTelnetSb) {
                    state_ = State::kSub;
                } else if (byte >= kTelnetWill) {
                    verb_ = byte;
                    state_ = State::kOption;
                } else {
                    state_ = State::kData;
                }
                break;
            case State::kOption:
                ++result.optionCommands;
                AnswerOption(verb_, byte, result.replies);
                state_ = State::kData;
                break;
            case State::kSub:
                if (byte == kTelnetIac)
                    state_ = State::kSubIac;
                break;
            case State::kSubIac:
                // IAC IAC inside a subnegotiation is a data byte of it; IAC SE ends it.
                state_ = byte == kTelnetSe ? State::kData : State::kSub;
                break;
        }
    }
    return result;
}

void TelnetDecoder::AnswerOption(unsigned char verb, unsigned char option, std::string& replies) {
    unsigned char answer = 0;
    if (verb == kTelnetWill && !answeredWill_.test(option)) {
        answeredWill_.set(option);
        answer = kTelnetDont;
    } else if (verb == kTelnetDo && !answeredDo_.test(option)) {
        answeredDo_.set(option);
        answer = kTelnetWont;
    }
    if (answer != 0) {
        replies.push_back(static_cast<char>(kTelnetIac));
        replies.push_back(static_cast<char>(answer));
        replies.push_back(static_cast<char>(option));
    }
}

}  // namespace tw::qorcom
