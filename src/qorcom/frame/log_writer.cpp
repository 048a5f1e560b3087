#include "qorcom/frame/log_writer.h"

#include <cstdio>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text_file.h"

namespace tw::qorcom {
namespace {

constexpr std::size_t kSiteColumns = 6;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Size in bytes; a missing or unreadable file counts as 0.
std::uint64_t FileSize(const std::string& path) {
    platform::DirEntry entry;
    int error = 0;
    return platform::StatPath(path, entry, &error) ? entry.size : 0;
}

bool Exists(const std::string& path) {
    platform::DirEntry entry;
    int error = 0;
    return platform::StatPath(path, entry, &error);
}

std::size_t CountCharacters(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
    File file(std::fopen(path.c_str(), "ab"));
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fclose(file.release()) == 0 && written;
}

// The named lock when there is one. Without one (its lock file cannot be made) writing goes on
// unserialised: a log line is not worth losing for that.
class OptionalLockGuard {
public:
    explicit OptionalLockGuard(platform::NamedLock* lock)
        : lock_(lock && lock->IsValid() && lock->Lock() ? lock : nullptr) {}
    ~OptionalLockGuard() {
        if (lock_)
            lock_->Unlock();
    }
    OptionalLockGuard(const OptionalLockGuard&) = delete;
    OptionalLockGuard& operator=(const OptionalLockGuard&) = delete;

private:
    platform::NamedLock* lock_;
};

}  // namespace

std::string ToTextMode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const std::string& LogMessage::DefaultHeader(bool withSite) {
    static const std::string plain = "Date       Time          Message\n";
    static const std::string site = "Site # Date       Time          Message\n";
    return withSite ? site : plain;
}

const std::string& LogMessage::DefaultSeparator() {
    static const std::string separator = std::string(79, '-') + "\n";
    return separator;
}

LogMessage::LogMessage(const platform::Clock& clock)
    : clock_(clock), header_(DefaultHeader(false)), separator_(DefaultSeparator()) {}

void LogMessage::SetSite(std::string site) {
    if (site.empty() != site_.empty()) {
        header_ = DefaultHeader(!site.empty());
        separator_ = DefaultSeparator();
    }
    site_ = std::move(site);
}

std::int32_t LogMessage::GetHeaderSize() const {
    return static_cast<std::int32_t>(header_.size() + separator_.size() + 2);
}

std::string LogMessage::HeaderBlock() const {
    return ToTextMode(header_ + separator_);
}

bool LogMessage::CreateWithHeader() {
    return AppendToFile(path_, HeaderBlock());
}

bool LogMessage::SetLogFile(std::string path) {
    path_ = std::move(path);
    lock_.reset();
    if (path_.empty())
        return true;
    lock_ = std::make_unique<platform::NamedLock>(platform::LogFileLockName(path_));
    OptionalLockGuard guard(lock_.get());
    return Exists(path_) || CreateWithHeader();
}

std::string LogMessage::Line(std::string_view message) const {
    std::string line;
    if (!site_.empty()) {
        line = site_;
        const std::size_t width = CountCharacters(site_);
        if (width < kSiteColumns)
            line.append(kSiteColumns - width, ' ');
        line += ' ';
    }
    line += platform::CtimeStamp(clock_.Now());
    line += ' ';
    line += message;
    line += '\n';
    return ToTextMode(line);
}

void LogMessage::CutIfDue() {
    // Written so that a NaN fraction never cuts.
    if (maxSize_ <= 0 || !(shrinkFraction_ > 0))
        return;
    const std::uint64_t size = FileSize(path_);
    if (size <= static_cast<std::uint64_t>(maxSize_))
        return;
    const double cut = static_cast<double>(size) * shrinkFraction_;
    // A cut at or past the end finds no line end to keep lines after: nothing to do.
    if (cut < 1 || cut >= static_cast<double>(size))
        return;
    CutLogFile(path_, static_cast<std::uint64_t>(cut), HeaderBlock());
}

void LogMessage::Output(std::string_view message) {
    if (path_.empty())
        return;
    OptionalLockGuard guard(lock_.get());
    CutIfDue();
    if (AppendToFile(path_, Line(message)))
        ++count_;
}

void LogMessage::ClearLog() {
    if (path_.empty())
        return;
    OptionalLockGuard guard(lock_.get());
    platform::WriteFileAtomically(path_, HeaderBlock());
}

bool LogMessage::IsEmpty() const {
    return FileSize(path_) <= static_cast<std::uint64_t>(GetHeaderSize());
}

bool CutLogFile(const std::string& path, std::uint64_t cut, std::string_view headerBlock) {
    File in(std::fopen(path.c_str(), "rb"));
    if (!in)
        return false;
    if (std::fseek(in.get(), static_cast<long>(cut), SEEK_SET) != 0)
        return false;
    for (;;) {
        const int c = std::fgetc(in.get());
        if (c == EOF)
            return false;  // the end came first: nothing is replaced
        if (c == '\n')
            break;
    }
    platform::AtomicFileWriter out(path);
    if (!out.Open() || !out.Write(headerBlock))
        return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
        if (n > 0 && !out.Write(std::string_view(buffer.data(), n)))
            return false;
        if (n < buffer.size())
            break;
    }
    if (std::ferror(in.get()))
        return false;
    return out.Commit();
}

}  // namespace tw::qorcom
