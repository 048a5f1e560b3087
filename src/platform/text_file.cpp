#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/file_ops.h"

namespace tw::platform {
namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a new file "<prefix>XXXXXX" (six random letters and digits) with open(2), so that the
// kernel applies the process's umask to mode as it does for any file created plainly; nothing
// here reads or changes the umask, which every thread of the process shares. Returns the
// descriptor (read and write) and the path, or -1 with errno set.
int CreateUniqueFile(const std::string& prefix, mode_t mode, std::string& path) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    constexpr int kTries = 100;
    for (int tries = 0; tries < kTries; ++tries) {
        std::string candidate = prefix;
        for (int i = 0; i < 6; ++i) candidate += kLetters[pick(random)];
        const int fd =
            ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            path = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

std::string TemporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    if (dir != nullptr && *dir != '\0')
        return dir;
    return "/tmp";
}

// ---- LineReader ----

LineReader::~LineReader() {
    Close();
}

bool LineReader::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rbe");
    error_ = file_ ? 0 : errno;
    return file_ != nullptr;
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    if (!file_)
        return false;
    bool any = false;
    int c;
    while ((c = std::getc(file_)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!any)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

void LineReader::Close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    LineReader reader;
    if (!reader.Open(path)) {
        errno = reader.Error();
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    return lines;
}

std::optional<std::string> ReadFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            errno = err;
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool AppendToFile(const std::string& path, std::string_view bytes, std::string_view header,
                  int* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        if (error)
            *error = errno;
        return false;
    }
    bool ok = true;
    struct stat st {};
    if (!header.empty() && ::fstat(fd, &st) == 0 && st.st_size == 0)
        ok = WriteAll(fd, header);
    if (ok && !bytes.empty())
        ok = WriteAll(fd, bytes);
    const int err = errno;
    ::close(fd);
    if (!ok && error)
        *error = err;
    return ok;
}

// ---- AtomicFileWriter ----

AtomicFileWriter::AtomicFileWriter(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFileWriter::~AtomicFileWriter() {
    Abandon();
}

bool AtomicFileWriter::Fail(int err) {
    error_ = err;
    Abandon();
    return false;
}

bool AtomicFileWriter::Open() {
    Abandon();
    std::string path;
    const int fd =
        CreateUniqueFile(DirectoryOf(target_) + "/.~tw" + BaseNameOf(target_) + ".", 0644, path);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    fd_ = fd;
    temp_ = std::move(path);
    error_ = 0;
    return true;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0)
        return false;
    if (!WriteAll(fd_, bytes))
        return Fail(errno);
    return true;
}

bool AtomicFileWriter::Commit() {
    if (fd_ < 0)
        return false;
    // A new target keeps the mode the file was created with (0644 less the umask).
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && ::fchmod(fd_, st.st_mode & 07777) != 0)
        return Fail(errno);
    if (::fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail(errno);
    temp_.clear();
    // The rename is durable only once the directory entry is on disk.
    const int dirFd = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFileWriter::Abandon() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, int* error) {
    AtomicFileWriter writer(path);
    if (writer.Open() && writer.Write(bytes) && writer.Commit())
        return true;
    if (error)
        *error = writer.Error();
    return false;
}

// ---- TempFile ----

std::optional<TempFile> TempFile::Create(std::string_view prefix, std::string dir) {
    // The shared temporary directory holds scratch that is nobody else's business; a file made
    // in a directory of the caller's choosing is made to be renamed over a target there.
    const bool scratch = dir.empty();
    if (scratch)
        dir = TemporaryDirectory();
    std::string prefixPath = dir;
    if (prefixPath.back() != '/')
        prefixPath += '/';
    prefixPath.append(prefix);
    std::string path;
    const int fd = CreateUniqueFile(prefixPath, scratch ? 0600 : 0666, path);
    if (fd < 0)
        return std::nullopt;
    return TempFile(std::move(path), fd);
}

TempFile::TempFile(TempFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_), keep_(other.keep_) {
    other.path_.clear();
    other.fd_ = -1;
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        Close();
        if (!keep_ && !path_.empty())
            ::unlink(path_.c_str());
        path_ = std::move(other.path_);
        fd_ = other.fd_;
        keep_ = other.keep_;
        other.path_.clear();
        other.fd_ = -1;
    }
    return *this;
}

TempFile::~TempFile() {
    Close();
    if (!keep_ && !path_.empty())
        ::unlink(path_.c_str());
}

void TempFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

}  // namespace tw::platform
