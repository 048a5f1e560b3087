#include "platform/smb_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

// Some declarations of the header lie outside its own extern "C" block.
extern "C" {
#include <libsmbclient.h>
}

#include <cerrno>
#include <cstdio>
#include <random>

namespace tw::platform {
namespace {

constexpr int kTimeoutMs = 20000;
constexpr std::size_t kBufferBytes = 64 * 1024;

bool Fail(int* error, int value = errno) {
    if (error)
        *error = value != 0 ? value : EIO;
    return false;
}

// libsmbclient asks for credentials through this callback; the client object rides along as
// the context's user data.
void ProvideCredentials(SMBCCTX* ctx, const char* /*server*/, const char* /*share*/,
                        char* workgroup, int workgroupSize, char* user, int userSize,
                        char* password, int passwordSize) {
    const auto* credentials = static_cast<const SmbCredentials*>(smbc_getOptionUserData(ctx));
    auto copy = [](char* out, int size, const std::string& value) {
        if (size <= 0)
            return;
        std::snprintf(out, static_cast<std::size_t>(size), "%s", value.c_str());
    };
    if (!credentials->workgroup.empty())
        copy(workgroup, workgroupSize, credentials->workgroup);
    copy(user, userSize, credentials->user);
    copy(password, passwordSize, credentials->password);
}

std::string ParentUrl(const std::string& url) {
    const auto slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(0, slash);
}

}  // namespace

struct SmbClient::Context {
    SMBCCTX* ctx = nullptr;
    ~Context() {
        if (ctx)
            smbc_free_context(ctx, 1);
    }
};

SmbClient::SmbClient(std::string workgroup, std::string user, std::string password)
    : credentials_{std::move(workgroup), std::move(user), std::move(password)} {}

SmbClient::~SmbClient() = default;

bool SmbClient::EnsureContext(int* error) {
    if (context_)
        return true;
    auto context = std::make_unique<Context>();
    context->ctx = smbc_new_context();
    if (!context->ctx)
        return Fail(error, ENOMEM);
    smbc_setTimeout(context->ctx, kTimeoutMs);
    smbc_setOptionNoAutoAnonymousLogin(context->ctx, 1);
    smbc_setOptionUserData(context->ctx, &credentials_);
    smbc_setFunctionAuthDataWithContext(context->ctx, &ProvideCredentials);
    if (!smbc_init_context(context->ctx))
        return Fail(error);
    context_ = std::move(context);
    return true;
}

bool SmbClient::Connect(const std::string& url, int* error) {
    if (!EnsureContext(error))
        return false;
    SMBCCTX* ctx = context_->ctx;
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
    if (!dir)
        return Fail(error);
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    return true;
}

bool SmbClient::List(const std::string& directoryUrl, std::vector<DirEntry>& entries, int* error) {
    entries.clear();
    if (!EnsureContext(error))
        return false;
    SMBCCTX* ctx = context_->ctx;
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, directoryUrl.c_str());
    if (!dir)
        return Fail(error);
    struct stat st {};
    while (const libsmb_file_info* info = smbc_getFunctionReaddirPlus2(ctx)(ctx, dir, &st)) {
        DirEntry entry;
        entry.name = info->name ? info->name : "";
        entry.isDirectory = S_ISDIR(st.st_mode);
        entry.isRegular = S_ISREG(st.st_mode);
        entry.modified = info->mtime_ts.tv_sec;
        entry.size = info->size;
        entries.push_back(std::move(entry));
    }
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    return true;
}

bool SmbClient::Stat(const std::string& url, DirEntry& entry, int* error) {
    if (!EnsureContext(error))
        return false;
    struct stat st {};
    if (smbc_getFunctionStat(context_->ctx)(context_->ctx, url.c_str(), &st) != 0) {
        return Fail(error);
    }
    const auto slash = url.rfind('/');
    entry.name = slash == std::string::npos ? url : url.substr(slash + 1);
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.isRegular = S_ISREG(st.st_mode);
    entry.modified = st.st_mtime;
    entry.size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool SmbClient::Download(const std::string& url, const std::string& localPath, int* error) {
    if (!EnsureContext(error))
        return false;
    SMBCCTX* ctx = context_->ctx;
    SMBCFILE* in = smbc_getFunctionOpen(ctx)(ctx, url.c_str(), O_RDONLY, 0);
    if (!in)
        return Fail(error);
    const int out = ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        smbc_getFunctionClose(ctx)(ctx, in);
        return Fail(error, err);
    }
    std::vector<char> buffer(kBufferBytes);
    int err = 0;
    for (;;) {
        const ssize_t n = smbc_getFunctionRead(ctx)(ctx, in, buffer.data(), buffer.size());
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0)
            break;
        if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) {
            err = errno;
            break;
        }
    }
    smbc_getFunctionClose(ctx)(ctx, in);
    if (err == 0 && ::fsync(out) != 0)
        err = errno;
    ::close(out);
    if (err != 0) {
        ::unlink(localPath.c_str());
        return Fail(error, err);
    }
    return true;
}

bool SmbClient::Upload(const std::string& localPath, const std::string& url, int* error) {
    if (!EnsureContext(error))
        return false;
    SMBCCTX* ctx = context_->ctx;
    const int in = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(error);
    std::random_device random;
    const std::string temp = ParentUrl(url) + "/.~tw" + std::to_string(random()) + ".tmp";
    SMBCFILE* out =
        smbc_getFunctionOpen(ctx)(ctx, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_TRUNC, 0644);
    if (!out) {
        const int err = errno;
        ::close(in);
        return Fail(error, err);
    }
    std::vector<char> buffer(kBufferBytes);
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        if (n == 0)
            break;
        if (smbc_getFunctionWrite(ctx)(ctx, out, buffer.data(), static_cast<std::size_t>(n)) != n) {
            err = errno;
            break;
        }
    }
    ::close(in);
    if (smbc_getFunctionClose(ctx)(ctx, out) != 0 && err == 0)
        err = errno;
    if (err == 0 && smbc_getFunctionRename(ctx)(ctx, temp.c_str(), ctx, url.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        smbc_getFunctionUnlink(ctx)(ctx, temp.c_str());
        return Fail(error, err);
    }
    return true;
}

bool SmbClient::Remove(const std::string& url, int* error) {
    if (!EnsureContext(error))
        return false;
    if (smbc_getFunctionUnlink(context_->ctx)(context_->ctx, url.c_str()) != 0)
        return Fail(error);
    return true;
}

bool SmbClient::MakeDirectory(const std::string& url, int* error) {
    if (!EnsureContext(error))
        return false;
    if (smbc_getFunctionMkdir(context_->ctx)(context_->ctx, url.c_str(), 0777) != 0) {
        return Fail(error);
    }
    return true;
}

bool SmbClient::SetModificationTime(const std::string& url, std::time_t utcSeconds, int* error) {
    if (!EnsureContext(error))
        return false;
    struct stat st {};
    if (smbc_getFunctionStat(context_->ctx)(context_->ctx, url.c_str(), &st) != 0) {
        return Fail(error);
    }
    // SMB sets both times at once: keep the access time as it is.
    timeval times[2] = {{st.st_atime, 0}, {utcSeconds, 0}};
    if (smbc_getFunctionUtimes(context_->ctx)(context_->ctx, url.c_str(), times) != 0) {
        return Fail(error);
    }
    return true;
}

}  // namespace tw::platform
