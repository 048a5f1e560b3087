#include "monitor/ftp_file_system.h"

#include <ctime>
#include <vector>

#include "platform/wildcard.h"
#include "qorcom/transfer/ftp_listing.h"

namespace tw {
namespace {

namespace transfer = qorcom::transfer;

constexpr std::string_view kPlain = "ftp://";
constexpr std::string_view kSecure = "ftps://";
constexpr std::uint16_t kFtpPort = 21;

// The "YYYYMMDDHHMMSS" form of a UTC time, as MDTM and MFMT write it.
std::string FtpTimeText(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &utc);
    return text;
}

// The temporary name an upload is written under: beside the target and beginning with ".~tw",
// which no file mask of the system selects.
std::string TemporaryName(const std::string& remote) {
    const auto slash = remote.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    return remote.substr(0, nameAt) + ".~tw" + remote.substr(nameAt);
}

}  // namespace

bool IsFtpPath(const std::string& stored) {
    return HasScheme(stored, kPlain) || HasScheme(stored, kSecure);
}

std::optional<FtpLocation> ParseFtpPath(const std::string& stored) {
    const bool secure = HasScheme(stored, kSecure);
    auto parts = ParseRemotePath(stored, secure ? kSecure : kPlain, kFtpPort);
    if (!parts)
        return std::nullopt;
    FtpLocation location;
    static_cast<RemoteLocation&>(location) = std::move(*parts);
    location.secure = secure;
    return location;
}

std::optional<std::time_t> ParseMdtmReply(const std::string& reply) {
    if (reply.size() < 18 || reply.compare(0, 4, "213 ") != 0)
        return std::nullopt;
    int fields[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    std::size_t at = 4;
    for (int i = 0; i < 6; ++i) {
        for (int k = 0; k < widths[i]; ++k, ++at) {
            const char c = reply[at];
            if (c < '0' || c > '9')
                return std::nullopt;
            fields[i] = fields[i] * 10 + (c - '0');
        }
    }
    if (at < reply.size() && reply[at] != '.' && reply[at] != ' ')
        return std::nullopt;
    if (fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 || fields[3] > 23 ||
        fields[4] > 59 || fields[5] > 60)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = fields[0] - 1900;
    utc.tm_mon = fields[1] - 1;
    utc.tm_mday = fields[2];
    utc.tm_hour = fields[3];
    utc.tm_min = fields[4];
    utc.tm_sec = fields[5];
    return timegm(&utc);
}

std::optional<platform::DirEntry> ReadListingLine(const std::string& line,
                                                  const platform::OleDate& now) {
    transfer::ListingEntry parsed;
    if (line.empty() || !transfer::ParseListingEntry(line, now, &parsed))
        return std::nullopt;
    const char kind = line.front();
    const bool dosForm = kind >= '0' && kind <= '9';
    platform::DirEntry entry;
    entry.name = std::move(parsed.name);
    if (kind == 'l')
        if (const auto arrow = entry.name.find(" -> "); arrow != std::string::npos)
            entry.name.erase(arrow);
    if (entry.name.empty() || entry.name == "." || entry.name == "..")
        return std::nullopt;
    entry.isDirectory = parsed.directory;
    entry.isRegular = !parsed.directory && (dosForm || kind == '-');
    entry.size = parsed.size < 0 ? 0 : static_cast<std::uint64_t>(parsed.size);
    std::time_t listed = 0;
    parsed.date.ToFileTime(listed);
    entry.modified = listed;
    return entry;
}

FtpFileSystem::FtpFileSystem(std::string logonPath, std::string userName, std::string password)
    : logonPath_(std::move(logonPath)),
      userName_(std::move(userName)),
      password_(std::move(password)) {}

bool FtpFileSystem::Fail(const std::string& error) {
    SetLastError(error);
    return false;
}

bool FtpFileSystem::FailCommand() {
    return Fail(client_.LastMessage());
}

bool FtpFileSystem::Connect() {
    if (client_.Connected())
        return true;
    const auto location = ParseFtpPath(logonPath_);
    if (!location)
        return Fail(logonPath_ + " is not an FTP address (ftp://user@host[:port]/dir/).");
    transfer::FtpSecurity security;
    security.secureLogin = location->secure;
    security.secureTransfer = location->secure;
    client_.SetSecurity(security);
    hasMdtm_ = hasMfmt_ = true;
    if (!client_.LogOn(location->host, location->port,
                       location->user.empty() ? userName_ : location->user, password_, {}))
        return FailCommand();
    return true;
}

void FtpFileSystem::Disconnect() {
    client_.Quit();
}

bool FtpFileSystem::Remote(const std::string& stored, std::string& remote) {
    const auto location = ParseFtpPath(stored);
    const auto logon = ParseFtpPath(logonPath_);
    if (!location || !logon || location->host != logon->host || location->port != logon->port ||
        location->secure != logon->secure)
        return Fail(stored + " is not on the FTP server of " + logonPath_ + ".");
    if (!transfer::IsSafeArgument(location->path))
        return Fail(transfer::kUnsafeArgument);
    if (!Connect())
        return false;
    remote = location->path;
    while (remote.size() > 1 && remote.back() == '/') remote.pop_back();
    return true;
}

std::optional<std::time_t> FtpFileSystem::ModificationTime(const std::string& remote) {
    if (!hasMdtm_)
        return std::nullopt;
    if (client_.Command("MDTM " + remote))
        return ParseMdtmReply(client_.LastMessage());
    // 500/502: the server lacks the command; any other refusal concerns this file only.
    if (client_.LastMessage().rfind("50", 0) == 0)
        hasMdtm_ = false;
    return std::nullopt;
}

void FtpFileSystem::SetFileTime(const std::string& path, const platform::OleDate& modified) {
    std::string remote;
    std::time_t when = 0;
    if (!hasMfmt_ || !Remote(path, remote) || !modified.ToFileTime(when))
        return;
    if (client_.Command("MFMT " + FtpTimeText(when) + " " + remote))
        return;
    if (client_.LastMessage().rfind("50", 0) == 0)
        hasMfmt_ = false;  // left as the upload made it, as KeepsFileTimes says
    else
        FailCommand();
}

bool FtpFileSystem::List(DirFileList& list, const std::string& directory, const std::string& mask,
                         bool /*flag*/) {
    list.Clear(directory);
    std::string remote, text;
    if (!Remote(directory, remote))
        return false;
    const auto failListing = [&] {
        return Fail("Error finding file matching " + directory + (mask.empty() ? "*.*" : mask) +
                    ".  " + client_.LastMessage());
    };
    if (!client_.SetType(true) || !client_.Listing("LIST " + remote, true, &text))
        return failListing();
    const auto now = platform::OleDate::Now();
    const std::string prefix = remote == "/" ? "/" : remote + "/";
    std::vector<platform::DirEntry> entries;
    for (const auto& line : transfer::SplitListing(text, true)) {
        auto entry = ReadListingLine(line, now);
        if (!entry || !platform::MatchMask(mask, entry->name))
            continue;
        if (entry->isRegular)
            if (const auto exact = ModificationTime(prefix + entry->name))
                entry->modified = *exact;
        entries.push_back(std::move(*entry));
    }
    SetLastError({});
    AddMatching(list, directory, mask, entries);
    return !list.Empty();
}

bool FtpFileSystem::GetFile(const std::string& path, const std::string& localPath) {
    std::string remote;
    if (!Remote(path, remote))
        return false;
    return (client_.SetType(false) && client_.Download(remote, localPath, false, true)) ||
           FailCommand();
}

bool FtpFileSystem::PutFile(const std::string& localPath, const std::string& path) {
    std::string remote;
    if (!Remote(path, remote))
        return false;
    const std::string temporary = TemporaryName(remote);
    const auto discard = [&] {
        const std::string error = client_.LastMessage();
        if (client_.Connected())
            client_.Command("DELE " + temporary);
        return Fail(error);
    };
    if (!client_.SetType(false) || !client_.Upload(localPath, temporary, false, true))
        return discard();
    // RNFR is answered "350" (more to come), not with a class 2 reply.
    client_.Command("RNFR " + temporary);
    if (client_.ReplyClass() != 3 || !client_.Command("RNTO " + remote))
        return discard();
    return true;
}

bool FtpFileSystem::DeleteFile(const std::string& path) {
    std::string remote;
    if (!Remote(path, remote))
        return false;
    return client_.Command("DELE " + remote) || FailCommand();
}

bool FtpFileSystem::CreateDirectory(const std::string& path) {
    std::string remote;
    if (!Remote(path, remote))
        return false;
    return client_.Command("MKD " + remote) || FailCommand();
}

}  // namespace tw
