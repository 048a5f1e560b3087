// The mail provider over the system's sendmail: libqorcom-mapi.so, the default provider
// installed beside libqorcom.so.
//
//   - MAPILogon opens a session for any profile and password (neither is used).
//   - MAPISendMail composes the message (message_text.h) and pipes it to `sendmail -t -oi`
//     ($QORCOM_SENDMAIL names another program, for tests), started with an argument vector,
//     never a shell. The message leaves as the local user (the From line holds the login
//     name; the mail system completes the address). Recipients come from the message's To, Cc
//     and Bcc lines; sendmail removes the Bcc line. A message needs a To recipient. A sendmail that
//     cannot be started, exits with a status other than 0, ends by a signal, stops reading, or does
//     not finish within $QORCOM_SENDMAIL_TIMEOUT seconds (default 120) gives MAPI_E_FAILURE. An
//     address holding a control character (CR, LF ...) or an angle bracket, or no To recipient,
//     gives MAPI_E_INVALID_RECIPS and nothing is run; an attachment that does not exist
//     MAPI_E_ATTACHMENT_NOT_FOUND, one that cannot be read MAPI_E_ATTACHMENT_OPEN_FAILURE.
//   - Reading: the provider has no inbox. MAPIFindNext answers MAPI_E_NO_MESSAGES;
//     MAPIReadMail and MAPIDeleteMail MAPI_E_INVALID_MESSAGE.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "qorcom/mail/mapi_provider.h"
#include "qorcom/mail/sendmail/message_text.h"

extern char** environ;

namespace {

using namespace tw::qorcom::mail::sendmail;
using tw::qorcom::mail::RecipientType;

constexpr const char* kDefaultSendmail = "/usr/sbin/sendmail";
constexpr long kDefaultTimeLimitSeconds = 120;

std::atomic<QorMapiSession> g_nextSession{1};

std::string SendmailPath() {
    const char* path = std::getenv("QORCOM_SENDMAIL");
    return path && *path ? path : kDefaultSendmail;
}

std::chrono::milliseconds TimeLimit() {
    if (const char* text = std::getenv("QORCOM_SENDMAIL_TIMEOUT"); text && *text) {
        char* end = nullptr;
        const long seconds = std::strtol(text, &end, 10);
        if (*end == '\0' && seconds > 0 && seconds <= 3600)
            return std::chrono::seconds(seconds);
    }
    return std::chrono::seconds(kDefaultTimeLimitSeconds);
}

// Whether an attachment can be sent: the MAPI result code. The composer reads it.
std::uint32_t CheckAttachment(const char* path) {
    struct stat info {};
    if (!path || !*path || ::stat(path, &info) != 0)
        return QOR_MAPI_E_ATTACHMENT_NOT_FOUND;
    if (!S_ISREG(info.st_mode) || ::access(path, R_OK) != 0)
        return QOR_MAPI_E_ATTACHMENT_OPEN_FAILURE;
    return QOR_MAPI_SUCCESS_SUCCESS;
}

// The local user's login name: mail leaves as that user, and the mail system completes the
// address.
std::string LocalUser() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    const char* user = std::getenv("USER");
    return user && *user ? user : "root";
}

// Keeps SIGPIPE from this thread while it writes to a pipe whose reader may be gone: the
// write then fails with EPIPE instead of ending the host program. A SIGPIPE raised meanwhile
// is taken back before the mask is restored.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~PipeSignalBlock() {
        if (!wasPending_) {
            const timespec zero{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &zero) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t pipe_{};
    sigset_t old_{};
    bool wasPending_ = false;
};

using Clock = std::chrono::steady_clock;

// Writes everything to the pipe before the deadline; false on a failed write or when time ran
// out.
bool WriteBefore(int fd, const std::string& text, Clock::time_point deadline) {
    PipeSignalBlock block;
    std::size_t done = 0;
    while (done < text.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd wait{fd, POLLOUT, 0};
        if (::poll(&wait, 1, static_cast<int>(std::min<long long>(left, 1000))) < 0 &&
            errno != EINTR)
            return false;
        if (!(wait.revents & (POLLOUT | POLLERR | POLLHUP)))
            continue;
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Waits for the child until the deadline; ends it (SIGTERM, then SIGKILL) when time runs out.
// True when it exited with status 0.
bool WaitForSuccess(pid_t child, Clock::time_point deadline) {
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child, SIGTERM);
    const auto grace = Clock::now() + std::chrono::seconds(2);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() >= grace) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Runs sendmail -t -oi with the text on its standard input; the MAPI result code.
std::uint32_t RunSendmail(const std::string& text) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return QOR_MAPI_E_FAILURE;
    const std::string program = SendmailPath();
    std::vector<std::string> arguments = {program, "-t", "-oi"};
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    pid_t child = -1;
    const int started =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[0]);
    if (started != 0) {
        ::close(pipeFds[1]);
        return QOR_MAPI_E_FAILURE;
    }
    const auto deadline = Clock::now() + TimeLimit();
    const bool written = WriteBefore(pipeFds[1], text, deadline);
    ::close(pipeFds[1]);
    const bool succeeded = WaitForSuccess(child, written ? deadline : Clock::now());
    return written && succeeded ? QOR_MAPI_SUCCESS_SUCCESS : QOR_MAPI_E_FAILURE;
}

// ---- The functions ----

uint32_t Logon(uint64_t, const char*, const char*, uint32_t, uint32_t, QorMapiSession* session) {
    if (!session)
        return QOR_MAPI_E_FAILURE;
    *session = g_nextSession++;
    return QOR_MAPI_SUCCESS_SUCCESS;
}

uint32_t Logoff(QorMapiSession, uint64_t, uint32_t, uint32_t) {
    return QOR_MAPI_SUCCESS_SUCCESS;
}

uint32_t SendMail(QorMapiSession, uint64_t, const QorMapiMessage* message, uint32_t, uint32_t) {
    if (!message)
        return QOR_MAPI_E_FAILURE;
    OutgoingMessage outgoing;
    for (uint32_t i = 0; message->recips && i < message->recipCount; ++i) {
        const QorMapiRecipDesc& r = message->recips[i];
        RecipientType type;
        switch (r.recipClass) {
            case QOR_MAPI_TO:
                type = RecipientType::kTo;
                break;
            case QOR_MAPI_CC:
                type = RecipientType::kCC;
                break;
            case QOR_MAPI_BCC:
                type = RecipientType::kBCC;
                break;
            default:
                return QOR_MAPI_E_BAD_RECIPTYPE;
        }
        std::string address = r.address ? r.address : "";
        if (address.rfind("SMTP:", 0) == 0 || address.rfind("smtp:", 0) == 0)
            address.erase(0, 5);
        if (address.empty())
            return QOR_MAPI_E_INVALID_RECIPS;
        outgoing.recipients.push_back({address, r.name ? r.name : "", type});
    }
    for (uint32_t i = 0; message->files && i < message->fileCount; ++i) {
        if (const std::uint32_t code = CheckAttachment(message->files[i].pathName))
            return code;
        outgoing.files.emplace_back(message->files[i].pathName);
    }
    outgoing.sender = LocalUser();
    outgoing.subject = message->subject ? message->subject : "";
    outgoing.body = message->noteText ? message->noteText : "";
    outgoing.date = ::time(nullptr);
    ComposeFailure failure = ComposeFailure::None;
    const std::optional<std::string> text = ComposeMessage(outgoing, &failure);
    if (!text)
        return failure == ComposeFailure::Recipients ? QOR_MAPI_E_INVALID_RECIPS
                                                     : QOR_MAPI_E_ATTACHMENT_OPEN_FAILURE;
    return RunSendmail(*text);
}

uint32_t FindNext(QorMapiSession, uint64_t, const char*, const char*, uint32_t, uint32_t,
                  char* messageId) {
    if (messageId)
        messageId[0] = '\0';
    return QOR_MAPI_E_NO_MESSAGES;
}

uint32_t ReadMail(QorMapiSession, uint64_t, const char*, uint32_t, uint32_t,
                  QorMapiMessage** message) {
    if (message)
        *message = nullptr;
    return QOR_MAPI_E_INVALID_MESSAGE;
}

uint32_t FreeBuffer(void*) {
    return QOR_MAPI_SUCCESS_SUCCESS;  // nothing is ever handed out
}

uint32_t DeleteMail(QorMapiSession, uint64_t, const char*, uint32_t, uint32_t) {
    return QOR_MAPI_E_INVALID_MESSAGE;
}

constexpr QorMapiProvider kTable = {QOR_MAPI_PROVIDER_VERSION,
                                    sizeof(QorMapiProvider),
                                    &Logon,
                                    &Logoff,
                                    &SendMail,
                                    &FindNext,
                                    &ReadMail,
                                    &FreeBuffer,
                                    &DeleteMail};

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorMapiProvider* QorcomMapiProvider() {
    return &kTable;
}
