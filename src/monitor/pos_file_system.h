#pragma once
// The file systems of the POS side of a poll, chosen from the site's settings and the POS
// directory each side works in: dial-up or not, and SMB for a directory on a share that is not
// mounted here, else the local file system. The sales side works in SalesPath, the maintenance
// sender and the results reader in ImportDestinationPath, which may lie elsewhere.

#include <functional>
#include <string>

#include "monitor/counted_ptr.h"
#include "monitor/file_system.h"
#include "monitor/ras_file_system.h"
#include "platform/paths.h"

namespace tw {

// What the POS side needs from the site's settings.
struct PosFileSystemSettings {
    std::string salesPath;
    std::string userName;  // may be "DOMAIN\user"
    std::string password;
    bool useRas = false;
    std::string rasEntry, rasPhoneNumber, rasCallbackNumber, rasUserName, rasPassword, rasDomain;
    int rasLoginRetries = 0;
};

// Creates the dial-up automation object; an empty pointer when that failed (the failure has
// been reported).
using RasAutomationFactory = std::function<CountedPtr<RasAutomation>()>;

// "\\POS1" for a POS path on a share ("\\POS1\Export\", "//POS1/Export", "smb://POS1/..."),
// empty otherwise.
std::string ServerPartOf(const std::string& posPath);

// One file system for the POS directory posPath (as stored): SFTP for "sftp://..."; SMB, logged
// on to posPath's share, when posPath is a UNC path not mapped to a mounted share; the local
// file system otherwise.
// With dial-up it is wrapped in a RasWinFileSystem that waits for posPath's server. Every call
// makes a new object (and, with dial-up, a new connector), so the sales, item and results
// handlers never share one.
CountedPtr<FileSystem> MakePosFileSystem(const std::string& posPath,
                                         const PosFileSystemSettings& settings,
                                         const platform::PathResolver& resolver,
                                         const RasAutomationFactory& createRas);

// The sales side's file system: MakePosFileSystem for settings.salesPath.
CountedPtr<FileSystem> MakePosFileSystem(const PosFileSystemSettings& settings,
                                         const platform::PathResolver& resolver,
                                         const RasAutomationFactory& createRas);

}  // namespace tw
