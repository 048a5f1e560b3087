#pragma once
// The file systems of the POS side of a poll, chosen from the site's settings: dial-up or not,
// and SMB for a sales path on a share that is not mounted here, else the local file system.

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

// "\\POS1" for a sales path on a share ("\\POS1\Export\", "//POS1/Export", "smb://POS1/..."),
// empty otherwise.
std::string ServerPartOf(const std::string& salesPath);

// One POS-side file system. Every call makes a new object (and, with dial-up, a new
// connector), so the sales, item and results handlers never share one.
CountedPtr<FileSystem> MakePosFileSystem(const PosFileSystemSettings& settings,
                                         const platform::PathResolver& resolver,
                                         const RasAutomationFactory& createRas);

}  // namespace tw
