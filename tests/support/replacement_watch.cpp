#include "support/replacement_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text_file.h"

namespace tw::test {
namespace {

// Everything the descriptor reads from the start of its file.
std::string ReadFromStart(int fd) {
    std::string content;
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n <= 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

}  // namespace

ReplacementWatch::ReplacementWatch(std::string path, Via via) : path_(std::move(path)), via_(via) {
    const auto bytes = platform::ReadFile(path_);
    if (!bytes) {
        setupError_ = path_ + " cannot be read: " + std::strerror(errno);
        return;
    }
    oldBytes_ = *bytes;
    if (via_ == Via::SymbolicLink) {
        linkTarget_ = path_ + ".link-target";
        if (::rename(path_.c_str(), linkTarget_.c_str()) != 0 ||
            ::symlink(linkTarget_.c_str(), path_.c_str()) != 0) {
            setupError_ = "no link at " + path_ + ": " + std::strerror(errno);
        }
        return;
    }
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        setupError_ = path_ + " cannot be opened: " + std::strerror(errno);
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
}

ReplacementWatch::~ReplacementWatch() {
    if (fd_ >= 0)
        ::close(fd_);
}

::testing::AssertionResult ReplacementWatch::Replaced() const {
    if (!setupError_.empty())
        return ::testing::AssertionFailure() << setupError_;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0)
        return ::testing::AssertionFailure() << path_ << " is gone: " << std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return ::testing::AssertionFailure() << path_ << " is not a regular file (still a link?)";
    if (via_ == Via::SymbolicLink) {
        const auto target = platform::ReadFile(linkTarget_);
        if (!target || *target != oldBytes_) {
            return ::testing::AssertionFailure()
                   << "the file a link at " << path_ << " pointed to was written through";
        }
        return ::testing::AssertionSuccess();
    }
    if (ReadFromStart(fd_) != oldBytes_) {
        return ::testing::AssertionFailure() << "a descriptor opened on the old " << path_
                                             << " reads other bytes: written in place";
    }
    if (st.st_dev == device_ && st.st_ino == inode_)
        return ::testing::AssertionFailure() << path_ << " is still the old inode";
    return ::testing::AssertionSuccess();
}

}  // namespace tw::test
