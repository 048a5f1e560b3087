#pragma once
// The program-wide message objects every part of Tidewell and Ravelin reports through. The
// application creates them at start-up and installs them here; until then (and in tests that
// install nothing) each accessor gives an object that counts texts and discards them.

#include "messages/message.h"

namespace tw {

struct ProgramMessages {
    Message* error = nullptr;       // failures; its count decides the exit code
    Message* log = nullptr;         // progress of a poll (log file and screen list)
    Message* screen = nullptr;      // screen list only
    Message* status = nullptr;      // status bar
    Message* posVersion = nullptr;  // the POS version log
};

Message& errorMessages();
Message& logMessages();
Message& screenMessages();
Message& statusMessages();
Message& posVersionLog();

// Installs a set for the object's lifetime and restores the previous one afterwards. Install
// before starting threads that report, and remove after they are joined: the accessors do not
// synchronise with installation. Null members fall back to the discarding objects.
class ScopedProgramMessages {
public:
    explicit ScopedProgramMessages(const ProgramMessages& messages);
    ~ScopedProgramMessages();
    ScopedProgramMessages(const ScopedProgramMessages&) = delete;
    ScopedProgramMessages& operator=(const ScopedProgramMessages&) = delete;

private:
    ProgramMessages previous_;
};

}  // namespace tw
