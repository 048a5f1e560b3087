#include "monitor/ras_file_system.h"

#include <thread>

#include "messages/program_messages.h"
#include "platform/net_probe.h"
#include "platform/wildcard.h"

namespace tw {
namespace {

constexpr std::size_t kMaxErrorChars = 511;
constexpr int kSmbPort = 445;
constexpr std::chrono::milliseconds kProbeTimeout{3000};

// "\\POS1\share" -> "POS1"
std::string HostOf(const std::string& name) {
    std::size_t start = 0;
    while (start < name.size() && (name[start] == '\\' || name[start] == '/')) ++start;
    const auto end = name.find_first_of("\\/", start);
    return name.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

// ---- RasConnector ----

RasConnector::~RasConnector() {
    Disconnect();
}

bool RasConnector::FailWith(const std::exception& e) {
    lastError_ = CutToChars(e.what(), kMaxErrorChars);
    return false;
}

bool RasConnector::Connect() {
    if (!ras_)
        return false;
    try {
        if (!ras_->Installed()) {
            lastError_ = "Unable to connect to remote system, RAS not installed.";
            return false;
        }
        for (std::string name = ras_->GetFirstConnection(); !name.empty();
             name = ras_->GetNextConnection()) {
            if (platform::EqualsIgnoreCase(name, entryName)) {
                alreadyConnected_ = true;
                return true;
            }
        }
        alreadyConnected_ = false;
        const int result =
            ras_->Dial(entryName, phoneNumber, callbackNumber, userName, password, domain);
        if (result == 0)
            return true;
        if (result != 2)
            lastError_ = ras_->GetResultString(result);
        return false;
    } catch (const std::exception& e) {
        return FailWith(e);
    }
}

bool RasConnector::Disconnect() {
    if (!ras_ || alreadyConnected_)
        return true;
    try {
        const int result = ras_->HangUp();
        if (result == 0)
            return true;
        lastError_ = ras_->GetResultString(result);
        return false;
    } catch (const std::exception& e) {
        return FailWith(e);
    }
}

// ---- RasWinFileSystem ----

RasWinFileSystem::RasWinFileSystem(CountedPtr<RasConnector> connector, CountedPtr<FileSystem> inner,
                                   std::string remoteName, int loginRetries)
    : connector_(std::move(connector)),
      inner_(std::move(inner)),
      remoteName_(std::move(remoteName)),
      loginRetries_(loginRetries) {}

std::string RasWinFileSystem::GetLastErrorText() const {
    return ownError_ ? FileSystem::GetLastErrorText() : inner_->GetLastErrorText();
}

void RasWinFileSystem::TakeConnectorError() {
    SetLastError(connector_->GetLastErrorText());
    ownError_ = true;
}

bool RasWinFileSystem::Connect() {
    if (!connector_) {
        SetLastError("No dial-up connection is configured.");
        ownError_ = true;
        return false;
    }
    const bool dialled = connector_->Connect();
    if (dialled && loginRetries_ > 0 && !remoteName_.empty()) {
        if (!WaitForMachineVisible(remoteName_, loginRetries_, visibilityPause, nullptr)) {
            SetLastError("Unable to find " + remoteName_ + ".");
            ownError_ = true;
        }
    } else if (!dialled) {
        TakeConnectorError();
    }
    if (!dialled)
        return false;
    if (!inner_->Connect()) {
        ownError_ = false;
        return false;
    }
    return true;
}

void RasWinFileSystem::Disconnect() {
    inner_->Disconnect();
    if (connector_ && !connector_->Disconnect())
        TakeConnectorError();
}

void RasWinFileSystem::SetFileTime(const std::string& path, const platform::OleDate& modified) {
    ownError_ = false;
    inner_->SetFileTime(path, modified);
}

bool RasWinFileSystem::List(DirFileList& list, const std::string& directory,
                            const std::string& mask, bool flag) {
    ownError_ = false;
    return inner_->List(list, directory, mask, flag);
}

bool RasWinFileSystem::GetFile(const std::string& path, const std::string& localPath) {
    ownError_ = false;
    return inner_->GetFile(path, localPath);
}

bool RasWinFileSystem::PutFile(const std::string& localPath, const std::string& path) {
    ownError_ = false;
    return inner_->PutFile(localPath, path);
}

bool RasWinFileSystem::DeleteFile(const std::string& path) {
    ownError_ = false;
    return inner_->DeleteFile(path);
}

bool RasWinFileSystem::CreateDirectory(const std::string& path) {
    ownError_ = false;
    return inner_->CreateDirectory(path);
}

bool WaitForMachineVisible(const std::string& name, int tries, std::chrono::milliseconds pause,
                           Message* sink) {
    const std::string host = HostOf(name);
    for (int left = tries; left > 0; --left) {
        if (platform::IsHostReachable(host, kSmbPort, kProbeTimeout))
            return true;
        if (sink)
            FormatMessageTo(*sink, "Machine %s not visible yet.  %d retries left.", name.c_str(),
                            left);
        if (left > 1)
            std::this_thread::sleep_for(pause);
    }
    return false;
}

}  // namespace tw
