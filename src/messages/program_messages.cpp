#include "messages/program_messages.h"

namespace tw {
namespace {

class DiscardingMessage final : public Message {
public:
    void Output(const std::string&) override {}
};

DiscardingMessage discardedError, discardedLog, discardedScreen, discardedStatus,
    discardedPosVersion;
ProgramMessages installed;

Message& OrDiscard(Message* message, Message& fallback) {
    return message ? *message : fallback;
}

}  // namespace

Message& errorMessages() {
    return OrDiscard(installed.error, discardedError);
}
Message& logMessages() {
    return OrDiscard(installed.log, discardedLog);
}
Message& screenMessages() {
    return OrDiscard(installed.screen, discardedScreen);
}
Message& statusMessages() {
    return OrDiscard(installed.status, discardedStatus);
}
Message& posVersionLog() {
    return OrDiscard(installed.posVersion, discardedPosVersion);
}

ScopedProgramMessages::ScopedProgramMessages(const ProgramMessages& messages)
    : previous_(installed) {
    installed = messages;
}

ScopedProgramMessages::~ScopedProgramMessages() {
    installed = previous_;
}

}  // namespace tw
