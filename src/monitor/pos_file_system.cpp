#include "monitor/pos_file_system.h"

#include "monitor/ftp_file_system.h"
#include "monitor/sftp_file_system.h"
#include "monitor/smb_file_system.h"

namespace tw {

std::string ServerPartOf(const std::string& posPath) {
    platform::ResolvedPath resolved;
    platform::PathResolver plain;  // the server as written, whatever is mapped
    if (!platform::PathResolver::IsUncPath(posPath) || !plain.Resolve(posPath, resolved, nullptr)) {
        return {};
    }
    return "\\\\" + resolved.server;
}

CountedPtr<FileSystem> MakePosFileSystem(const std::string& posPath,
                                         const PosFileSystemSettings& settings,
                                         const platform::PathResolver& resolver,
                                         const RasAutomationFactory& createRas) {
    platform::ResolvedPath resolved;
    CountedPtr<FileSystem> direct;
    if (IsFtpPath(posPath)) {
        direct = CountedPtr<FileSystem>(
            new FtpFileSystem(posPath, settings.userName, settings.password));
    } else if (IsSftpPath(posPath)) {
        direct = CountedPtr<FileSystem>(
            new SftpFileSystem(posPath, settings.userName, settings.password));
    } else if (resolver.Resolve(posPath, resolved, nullptr) &&
               resolved.kind == platform::ResolvedPath::Kind::Network) {
        direct = CountedPtr<FileSystem>(
            new SmbFileSystem(posPath, settings.userName, settings.password, resolver));
    } else {
        direct = CountedPtr<FileSystem>(new LocalWinFileSystem(resolver));
    }
    if (!settings.useRas)
        return direct;

    auto connector = CountedPtr<RasConnector>(
        new RasConnector(createRas ? createRas() : CountedPtr<RasAutomation>()));
    connector->entryName = settings.rasEntry;
    connector->phoneNumber = settings.rasPhoneNumber;
    connector->callbackNumber = settings.rasCallbackNumber;
    connector->userName = settings.rasUserName;
    connector->password = settings.rasPassword;
    connector->domain = settings.rasDomain;
    return CountedPtr<FileSystem>(
        new RasWinFileSystem(connector, direct, ServerPartOf(posPath), settings.rasLoginRetries));
}

CountedPtr<FileSystem> MakePosFileSystem(const PosFileSystemSettings& settings,
                                         const platform::PathResolver& resolver,
                                         const RasAutomationFactory& createRas) {
    return MakePosFileSystem(settings.salesPath, settings, resolver, createRas);
}

}  // namespace tw
