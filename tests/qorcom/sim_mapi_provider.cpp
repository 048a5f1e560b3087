// A simulated mail provider for the tests: an inbox directory, an outbox directory, and result
// codes scripted by the environment, so that the MAPI mail components can be checked without a
// mail system.
//
// Environment (read on every call):
//   QORCOM_MAPI_SIM_INBOX    the inbox: each regular file whose name does not start with "." is
//                            one RFC 822 message, its name the message id; walked in name order
//   QORCOM_MAPI_SIM_OUTBOX   MAPISendMail writes each message there as "sent-NNNN.eml": To, Cc
//                            and Bcc headers (name <address>, comma-separated), Subject, the body
//                            and the attachments' bytes as MIME. What it is given is written as
//                            it is, so the tests see exactly what the component passed.
//   QORCOM_MAPI_SIM_RESULTS  scripted results, "MAPILogon=3,MAPISendMail=11": that function
//                            returns that code without doing its work. A scripted MAPIReadMail
//                            still hands out the message, as a careless provider might.
//   QORCOM_MAPI_SIM_REFUSED_PROFILE  MAPILogon of this profile fails with MAPI_E_LOGIN_FAILURE
//   QORCOM_MAPI_SIM_MISSING  function names (comma-separated) the table leaves out
//   QORCOM_MAPI_SIM_LOG      when set, every call appends one line: "MAPILogon|profile|password|
//                            flags|uiParam", "MAPISendMail|flags", "MAPILogoff", "MAPIReadMail|id",
//                            "MAPIDeleteMail|id"
//
// The inbox is read with the tests' small MIME reader (mail/mini_mime.h), not the library's
// parser: the parser cleans attachment names, and this provider must hand them out as the
// sender wrote them, as any provider may, so that the tests see the component clean them.
//
// QorcomMapiSimOutstanding() tells how many messages MAPIReadMail handed out that were not yet
// given back to MAPIFreeBuffer.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mail/mini_mime.h"
#include "qorcom/mail/mapi_provider.h"

namespace {

using tw::qorcom::test::MiniAttachment;
using tw::qorcom::test::MiniMessage;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty())
            items.push_back(item);
    return items;
}

// The scripted result of a function, or -1 when it should do its work.
long Scripted(const char* function) {
    for (const std::string& item : SplitCommas(Env("QORCOM_MAPI_SIM_RESULTS"))) {
        const auto eq = item.find('=');
        if (eq != std::string::npos && item.substr(0, eq) == function)
            return std::strtol(item.c_str() + eq + 1, nullptr, 10);
    }
    return -1;
}

void Log(const std::string& line) {
    const std::string path = Env("QORCOM_MAPI_SIM_LOG");
    if (path.empty())
        return;
    std::ofstream(path, std::ios::app) << line << "\n";
}

std::mutex g_mutex;
std::set<QorMapiSession> g_sessions;
QorMapiSession g_nextSession = 100;
std::atomic<long> g_outstanding{0};

bool SessionOpen(QorMapiSession session) {
    std::lock_guard lock(g_mutex);
    return g_sessions.contains(session);
}

std::vector<std::string> InboxIds() {
    std::vector<std::string> ids;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(Env("QORCOM_MAPI_SIM_INBOX"), ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name[0] != '.')
            ids.push_back(name);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool ValidId(const std::string& id) {
    return !id.empty() && id[0] != '.' && id.find('/') == std::string::npos;
}

std::string RecipientText(const QorMapiRecipDesc& r) {
    const std::string name = r.name ? r.name : "";
    const std::string address = r.address ? r.address : "";
    return name.empty() ? address : name + " <" + address + ">";
}

// ---- Messages handed out: one block, the message first ----

struct Block {
    QorMapiMessage message{};
    std::deque<std::string> texts;  // a deque keeps the addresses of its strings
    QorMapiRecipDesc originator{};
    std::vector<QorMapiRecipDesc> recips;
    std::vector<QorMapiFileDesc> files;

    const char* Keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
};

std::set<void*> g_blocks;

QorMapiRecipDesc ParseRecipient(Block& block, std::uint32_t recipClass, const std::string& text) {
    const auto open = text.rfind('<');
    const auto close = text.rfind('>');
    std::string name, address = text;
    if (open != std::string::npos && close != std::string::npos && open < close) {
        address = text.substr(open + 1, close - open - 1);
        name = text.substr(0, open);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
    }
    return {recipClass, block.Keep(name), block.Keep(address)};
}

Block* BuildBlock(const MiniMessage& m) {
    auto* block = new Block;
    block->originator = ParseRecipient(*block, QOR_MAPI_ORIG, m.Header("from"));
    block->message.originator = &block->originator;
    for (const auto& [header, recipClass] :
         {std::pair{"to", QOR_MAPI_TO}, std::pair{"cc", QOR_MAPI_CC},
          std::pair{"bcc", QOR_MAPI_BCC}})
        for (const std::string& item : tw::qorcom::test::SplitHeaderList(m.Header(header)))
            block->recips.push_back(ParseRecipient(*block, recipClass, item));
    for (const MiniAttachment& a : m.attachments) {
        const std::string& bytes = block->texts.emplace_back(a.bytes);
        block->files.push_back({nullptr, block->Keep(a.name),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                bytes.size()});
    }
    block->message.subject = block->Keep(m.Header("subject"));
    block->message.noteText = block->Keep(m.body);
    block->message.dateReceived = block->Keep(m.Header("date"));
    block->message.recipCount = static_cast<std::uint32_t>(block->recips.size());
    block->message.recips = block->recips.data();
    block->message.fileCount = static_cast<std::uint32_t>(block->files.size());
    block->message.files = block->files.data();
    return block;
}

// ---- The functions ----

uint32_t SimLogon(uint64_t uiParam, const char* profile, const char* password, uint32_t flags,
                  uint32_t, QorMapiSession* session) {
    Log(std::string("MAPILogon|") + (profile ? profile : "") + "|" + (password ? password : "") +
        "|" + std::to_string(flags) + "|" + std::to_string(uiParam));
    if (const long code = Scripted("MAPILogon"); code >= 0)
        return static_cast<uint32_t>(code);
    if (const std::string refused = Env("QORCOM_MAPI_SIM_REFUSED_PROFILE");
        !refused.empty() && profile && refused == profile)
        return QOR_MAPI_E_LOGIN_FAILURE;
    std::lock_guard lock(g_mutex);
    *session = g_nextSession++;
    g_sessions.insert(*session);
    return QOR_MAPI_SUCCESS_SUCCESS;
}

uint32_t SimLogoff(QorMapiSession session, uint64_t, uint32_t, uint32_t) {
    Log("MAPILogoff");
    if (const long code = Scripted("MAPILogoff"); code >= 0)
        return static_cast<uint32_t>(code);
    std::lock_guard lock(g_mutex);
    return g_sessions.erase(session) ? QOR_MAPI_SUCCESS_SUCCESS : QOR_MAPI_E_INVALID_SESSION;
}

uint32_t SimSendMail(QorMapiSession session, uint64_t, const QorMapiMessage* message,
                     uint32_t flags, uint32_t) {
    Log("MAPISendMail|" + std::to_string(flags));
    if (const long code = Scripted("MAPISendMail"); code >= 0)
        return static_cast<uint32_t>(code);
    if (!SessionOpen(session))
        return QOR_MAPI_E_INVALID_SESSION;
    std::vector<std::string> lists[3];
    for (uint32_t i = 0; i < message->recipCount; ++i) {
        const QorMapiRecipDesc& r = message->recips[i];
        if (r.recipClass < QOR_MAPI_TO || r.recipClass > QOR_MAPI_BCC)
            return QOR_MAPI_E_BAD_RECIPTYPE;
        lists[r.recipClass - QOR_MAPI_TO].push_back(RecipientText(r));
    }
    std::vector<MiniAttachment> attachments;
    for (uint32_t i = 0; i < message->fileCount; ++i) {
        const std::string path = message->files[i].pathName ? message->files[i].pathName : "";
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return QOR_MAPI_E_ATTACHMENT_NOT_FOUND;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        attachments.push_back({std::filesystem::path(path).filename().string(), bytes.str()});
    }
    auto join = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
        return text;
    };
    const std::string text = tw::qorcom::test::WriteMiniMessage(
        {"To: " + join(lists[0]), "Cc: " + join(lists[1]), "Bcc: " + join(lists[2]),
         std::string("Subject: ") + (message->subject ? message->subject : "")},
        message->noteText ? message->noteText : "", attachments);
    const std::string outbox = Env("QORCOM_MAPI_SIM_OUTBOX");
    for (int n = 1; n < 10000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/sent-%04d.eml", n);
        const int fd =
            ::open((outbox + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return QOR_MAPI_E_FAILURE;
        }
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        return written ? QOR_MAPI_SUCCESS_SUCCESS : QOR_MAPI_E_DISK_FULL;
    }
    return QOR_MAPI_E_FAILURE;
}

uint32_t SimFindNext(QorMapiSession session, uint64_t, const char*, const char* seed, uint32_t,
                     uint32_t, char* messageId) {
    if (const long code = Scripted("MAPIFindNext"); code >= 0)
        return static_cast<uint32_t>(code);
    if (!SessionOpen(session))
        return QOR_MAPI_E_INVALID_SESSION;
    const std::string after = seed ? seed : "";
    for (const std::string& id : InboxIds()) {
        if (after.empty() || id > after) {
            std::snprintf(messageId, QOR_MAPI_MESSAGE_ID_SIZE, "%s", id.c_str());
            return QOR_MAPI_SUCCESS_SUCCESS;
        }
    }
    return QOR_MAPI_E_NO_MESSAGES;
}

uint32_t SimReadMail(QorMapiSession session, uint64_t, const char* messageId, uint32_t, uint32_t,
                     QorMapiMessage** message) {
    *message = nullptr;
    const std::string id = messageId ? messageId : "";
    Log("MAPIReadMail|" + id);
    const long scripted = Scripted("MAPIReadMail");
    if (scripted < 0 && !SessionOpen(session))
        return QOR_MAPI_E_INVALID_SESSION;
    if (!ValidId(id))
        return QOR_MAPI_E_INVALID_MESSAGE;
    std::ifstream in(Env("QORCOM_MAPI_SIM_INBOX") + "/" + id, std::ios::binary);
    if (!in)
        return QOR_MAPI_E_INVALID_MESSAGE;
    std::ostringstream text;
    text << in.rdbuf();
    Block* block = BuildBlock(tw::qorcom::test::ParseMiniMessage(text.str()));
    {
        std::lock_guard lock(g_mutex);
        g_blocks.insert(block);
    }
    ++g_outstanding;
    *message = &block->message;
    return scripted >= 0 ? static_cast<uint32_t>(scripted) : QOR_MAPI_SUCCESS_SUCCESS;
}

uint32_t SimFreeBuffer(void* memory) {
    if (!memory)
        return QOR_MAPI_SUCCESS_SUCCESS;
    {
        std::lock_guard lock(g_mutex);
        if (!g_blocks.erase(memory))
            return QOR_MAPI_E_FAILURE;
    }
    --g_outstanding;
    delete static_cast<Block*>(memory);
    return QOR_MAPI_SUCCESS_SUCCESS;
}

uint32_t SimDeleteMail(QorMapiSession session, uint64_t, const char* messageId, uint32_t,
                       uint32_t) {
    const std::string id = messageId ? messageId : "";
    Log("MAPIDeleteMail|" + id);
    if (const long code = Scripted("MAPIDeleteMail"); code >= 0)
        return static_cast<uint32_t>(code);
    if (!SessionOpen(session))
        return QOR_MAPI_E_INVALID_SESSION;
    if (!ValidId(id) || ::unlink((Env("QORCOM_MAPI_SIM_INBOX") + "/" + id).c_str()) != 0)
        return QOR_MAPI_E_INVALID_MESSAGE;
    return QOR_MAPI_SUCCESS_SUCCESS;
}

QorMapiProvider FullTable() {
    return {QOR_MAPI_PROVIDER_VERSION,
            sizeof(QorMapiProvider),
            &SimLogon,
            &SimLogoff,
            &SimSendMail,
            &SimFindNext,
            &SimReadMail,
            &SimFreeBuffer,
            &SimDeleteMail};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const QorMapiProvider* QorcomMapiProvider() {
    // One table per set of missing functions, kept for the process: a component may hold one.
    static std::mutex mutex;
    static std::map<std::string, QorMapiProvider> tables;
    const std::string missing = Env("QORCOM_MAPI_SIM_MISSING");
    std::lock_guard lock(mutex);
    auto [it, added] = tables.try_emplace(missing, FullTable());
    if (added) {
        QorMapiProvider& t = it->second;
        for (const std::string& name : SplitCommas(missing)) {
            if (name == "MAPILogon")
                t.MAPILogon = nullptr;
            if (name == "MAPILogoff")
                t.MAPILogoff = nullptr;
            if (name == "MAPISendMail")
                t.MAPISendMail = nullptr;
            if (name == "MAPIFindNext")
                t.MAPIFindNext = nullptr;
            if (name == "MAPIReadMail")
                t.MAPIReadMail = nullptr;
            if (name == "MAPIFreeBuffer")
                t.MAPIFreeBuffer = nullptr;
            if (name == "MAPIDeleteMail")
                t.MAPIDeleteMail = nullptr;
        }
    }
    return &it->second;
}

extern "C" __attribute__((visibility("default"))) long QorcomMapiSimOutstanding() {
    return g_outstanding.load();
}
