#pragma once
// POS directories behind a dial-up connection: the connection is dialled (or an active one of
// the same entry reused) through the dial-up automation object, then the directories are
// reached through an inner file system (local or SMB).

#include <functional>
#include <string>

#include "messages/message.h"
#include "monitor/counted_ptr.h"
#include "monitor/file_system.h"

namespace tw {

// The members of the dial-up automation object ("QORPost.Ras") the poller uses. Results are 0
// for success. Calls may throw DispatchException (a failed automation call) or other
// exceptions. The implementation over IDispatch lives with the automation objects.
class RasAutomation {
public:
    virtual ~RasAutomation() = default;
    virtual bool Installed() = 0;
    // Names of the active connections; an empty name ends the walk.
    virtual std::string GetFirstConnection() = 0;
    virtual std::string GetNextConnection() = 0;
    virtual int Dial(const std::string& entry, const std::string& phoneNumber,
                     const std::string& callbackNumber, const std::string& userName,
                     const std::string& password, const std::string& domain) = 0;
    virtual int HangUp() = 0;
    virtual std::string GetResultString(int result) = 0;
};

// Dials one phone-book entry and hangs up only what it dialled itself.
class RasConnector {
public:
    // ras may be empty (its creation failed and was reported): Connect then fails.
    explicit RasConnector(CountedPtr<RasAutomation> ras) : ras_(std::move(ras)) {}
    // Hangs up what this connector dialled.
    virtual ~RasConnector();
    RasConnector(const RasConnector&) = delete;
    RasConnector& operator=(const RasConnector&) = delete;

    // Reuses an active connection of the same entry (ignoring case) without dialling;
    // otherwise dials. Result 2 fails without changing the error text.
    virtual bool Connect();
    virtual std::string GetLastErrorText() const { return lastError_; }
    // Hangs up, unless the connection was already there before Connect.
    virtual bool Disconnect();

    std::string entryName, phoneNumber, callbackNumber, userName, password, domain;

private:
    bool FailWith(const std::exception& e);
    CountedPtr<RasAutomation> ras_;
    std::string lastError_;
    bool alreadyConnected_ = false;
};

// Dials first, waits for the POS machine to answer, then behaves like its inner file system.
class RasWinFileSystem : public FileSystem {
public:
    // remoteName: the server part of the sales path ("\\POS1"), empty for none.
    RasWinFileSystem(CountedPtr<RasConnector> connector, CountedPtr<FileSystem> inner,
                     std::string remoteName, int loginRetries);

    char Separator() const override { return inner_->Separator(); }
    bool Connect() override;
    void Disconnect() override;
    std::string GetLastErrorText() const override;
    bool KeepsFileTimes() const override { return inner_->KeepsFileTimes(); }
    // The rest goes to the inner file system, whose error text then holds.
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override;
    using FileSystem::SetFileTime;
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool flag) override;
    bool GetFile(const std::string& path, const std::string& localPath) override;
    bool PutFile(const std::string& localPath, const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;

    void TakeConnectorError();

    // Pause between tries of the visibility wait (1000 ms; shorter in tests).
    std::chrono::milliseconds visibilityPause{1000};

private:
    CountedPtr<RasConnector> connector_;
    CountedPtr<FileSystem> inner_;
    std::string remoteName_;
    int loginRetries_;
    bool ownError_ = false;  // the last error is ours, not the inner file system's
};

// Waits for a machine ("\\POS1", "POS1" or "POS1:port") to answer: a name lookup and an SMB
// connection attempt per try, pause between tries. With a sink, each failed try reports
// "Machine %s not visible yet.  %d retries left." (the tries left including the current one).
bool WaitForMachineVisible(const std::string& name, int tries, std::chrono::milliseconds pause,
                           Message* sink);

}  // namespace tw
