#include "platform/file_env.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/finally.h"

namespace tw::platform {
namespace {

constexpr std::string_view kPartialPrefix = ".~tw";
constexpr std::string_view kPartialSuffix = ".part";
constexpr std::size_t kCopyPiece = 256 * 1024;

bool Fail(int* error, int value = errno) {
    if (error != nullptr)
        *error = value;
    return false;
}

std::string DirectoryOf(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

// Opens a file for reading that must be a regular file: a link is not followed and a FIFO does
// not block the open.
int OpenRegularFile(const std::string& path, struct stat& st, int* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        // ELOOP: a symbolic link at path.
        Fail(error, errno == ELOOP ? EINVAL : errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int why = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        Fail(error, why);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

class PosixWritableFile : public WritableFile {
public:
    explicit PosixWritableFile(int fd) : fd_(fd) {}
    ~PosixWritableFile() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Append(std::string_view bytes, int* error) override {
        if (fd_ < 0)
            return Fail(error, EBADF);
        return WriteAll(fd_, bytes) || Fail(error);
    }
    bool Sync(int* error) override {
        if (fd_ < 0)
            return Fail(error, EBADF);
        return ::fdatasync(fd_) == 0 || Fail(error);
    }
    bool Close(int* error) override {
        if (fd_ < 0)
            return Fail(error, EBADF);
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || Fail(error);
    }

private:
    int fd_;
};

class PosixFileEnv : public FileEnv {
public:
    std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int* error,
                                                  unsigned permissions) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                              static_cast<mode_t>(permissions & 0777));
        if (fd < 0) {
            Fail(error);
            return nullptr;
        }
        return std::make_unique<PosixWritableFile>(fd);
    }
    bool Rename(const std::string& from, const std::string& to, int* error) override {
        return ::rename(from.c_str(), to.c_str()) == 0 || Fail(error);
    }
    bool RemoveFile(const std::string& path, int* error) override {
        return ::unlink(path.c_str()) == 0 || Fail(error);
    }
    bool MakeDirectory(const std::string& path, int* error) override {
        return ::mkdir(path.c_str(), 0777) == 0 || Fail(error);
    }
    bool RemoveDirectory(const std::string& path, int* error) override {
        return ::rmdir(path.c_str()) == 0 || Fail(error);
    }
    bool SetModificationTime(const std::string& path, std::time_t utcSeconds, int* error) override {
        return platform::SetModificationTime(path, utcSeconds, error);
    }
    bool SyncDirectory(const std::string& directory, int* error) override {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return Fail(error);
        const bool synced = ::fsync(fd) == 0;
        const int why = errno;
        ::close(fd);
        return synced || Fail(error, why);
    }
    bool SyncFileSystem(const std::string& path, int* error) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Fail(error);
        const bool synced = ::syncfs(fd) == 0;
        const int why = errno;
        ::close(fd);
        return synced || Fail(error, why);
    }
};

}  // namespace

bool FileEnv::ReadFile(const std::string& path, std::string& content, int* error) {
    struct stat st {};
    const int fd = OpenRegularFile(path, st, error);
    if (fd < 0)
        return false;
    Finally closeFile([fd] { ::close(fd); });
    content.clear();
    content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ReadSome(fd, buffer, sizeof buffer);
        if (n < 0)
            return Fail(error);
        if (n == 0)
            return true;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool FileEnv::Stat(const std::string& path, PathStatus& status, int* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return Fail(error);
    status.kind = S_ISREG(st.st_mode)   ? PathStatus::Kind::Regular
                  : S_ISDIR(st.st_mode) ? PathStatus::Kind::Directory
                                        : PathStatus::Kind::Other;
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.modified = st.st_mtim.tv_sec;
    status.permissions = static_cast<unsigned>(st.st_mode & 0777);
    return true;
}

bool FileEnv::ListNames(const std::string& directory, std::vector<std::string>& names, int* error) {
    names.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), &::closedir);
    if (!dir)
        return Fail(error);
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    return errno == 0 || Fail(error);
}

FileEnv& DefaultFileEnv() {
    static PosixFileEnv env;
    return env;
}

std::string PartialFilePath(std::string_view path) {
    const auto slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::string partial(path.substr(0, nameStart));
    partial.append(kPartialPrefix).append(path.substr(nameStart)).append(kPartialSuffix);
    return partial;
}

bool IsTemporaryFileName(std::string_view name) {
    return name.starts_with(kPartialPrefix);
}

bool IsPartialFileName(std::string_view name) {
    return name.size() > kPartialPrefix.size() + kPartialSuffix.size() &&
           name.starts_with(kPartialPrefix) && name.ends_with(kPartialSuffix);
}

bool WriteFileThroughPartial(FileEnv& env, const std::string& path, std::string_view bytes,
                             bool sync, int* error) {
    const std::string partial = PartialFilePath(path);
    auto file = env.NewWritableFile(partial, error);
    if (!file)
        return false;
    bool ok = file->Append(bytes, error) && (!sync || file->Sync(error));
    ok = file->Close(ok ? error : nullptr) && ok;
    if (ok && env.Rename(partial, path, error))
        return true;
    env.RemoveFile(partial, nullptr);
    return false;
}

bool CopyFileThroughPartial(FileEnv& env, const std::string& from, const std::string& to, bool sync,
                            int* error) {
    struct stat st {};
    const int in = OpenRegularFile(from, st, error);
    if (in < 0)
        return false;
    Finally closeSource([in] { ::close(in); });
    const std::string partial = PartialFilePath(to);
    PathStatus target;
    const bool replacing =
        env.Stat(to, target, nullptr) && target.kind == PathStatus::Kind::Regular;
    // A partial file left by an interrupted copy may have any mode: it goes first.
    env.RemoveFile(partial, nullptr);
    auto file = env.NewWritableFile(partial, error, replacing ? target.permissions : 0666);
    if (!file)
        return false;
    std::string piece(kCopyPiece, '\0');
    bool ok = true;
    while (ok) {
        const ssize_t n = ReadSome(in, piece.data(), piece.size());
        if (n < 0) {
            ok = Fail(error);
        } else if (n == 0) {
            break;
        } else {
            ok = file->Append(std::string_view(piece.data(), static_cast<std::size_t>(n)), error);
        }
    }
    ok = ok && (!sync || file->Sync(error));
    ok = file->Close(ok ? error : nullptr) && ok;
    ok = ok && env.SetModificationTime(partial, st.st_mtim.tv_sec, error);
    if (ok && env.Rename(partial, to, error))
        return !sync || env.SyncDirectory(DirectoryOf(to), error);
    env.RemoveFile(partial, nullptr);
    return false;
}

bool SameFileContent(FileEnv& env, const std::string& a, const std::string& b) {
    PathStatus first, second;
    if (!env.Stat(a, first, nullptr) || !env.Stat(b, second, nullptr) ||
        first.kind != PathStatus::Kind::Regular || second.kind != PathStatus::Kind::Regular ||
        first.size != second.size) {
        return false;
    }
    struct stat st {};
    const int fa = OpenRegularFile(a, st, nullptr);
    if (fa < 0)
        return false;
    Finally closeA([fa] { ::close(fa); });
    const int fb = OpenRegularFile(b, st, nullptr);
    if (fb < 0)
        return false;
    Finally closeB([fb] { ::close(fb); });
    std::string pa(64 * 1024, '\0'), pb(64 * 1024, '\0');
    for (;;) {
        const ssize_t na = ReadSome(fa, pa.data(), pa.size());
        if (na <= 0)
            return na == 0 && ReadSome(fb, pb.data(), 1) == 0;
        std::size_t got = 0;
        while (got < static_cast<std::size_t>(na)) {
            const ssize_t nb = ReadSome(fb, pb.data() + got, static_cast<std::size_t>(na) - got);
            if (nb <= 0)
                return false;
            got += static_cast<std::size_t>(nb);
        }
        if (std::memcmp(pa.data(), pb.data(), got) != 0)
            return false;
    }
}

}  // namespace tw::platform
