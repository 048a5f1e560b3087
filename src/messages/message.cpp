#include "messages/message.h"

#include <cstdio>

#include "messages/screen_queue.h"
#include "messages/string_table.h"
#include "messages/ui_interfaces.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace tw {
namespace {

constexpr std::size_t kMaxExceptionChars = 255;
constexpr std::size_t kStampColumns = 31;  // "%-7d" site column + 24-character ctime stamp

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimRight(text);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

std::string FormatToString(const char* format, va_list args) {
    char buffer[4 * (kMaxMessageChars + 1)];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0)
        return {};
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1);
    return CutToChars(std::string_view(buffer, length), kMaxMessageChars);
}

}  // namespace

std::string CutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0, i = 0;
    while (i < text.size() && chars < maxChars) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = lead <= 0xEF ? 3 : 1;
        } else if (lead >= 0xC2) {
            length = 2;
        }
        // A sequence cut short or with wrong continuation bytes counts byte by byte.
        bool whole = i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        i += whole ? length : 1;
        ++chars;
    }
    return std::string(text.substr(0, i));
}

// ---- formatting ----

void FormatMessageToV(Message& message, const char* format, va_list args) {
    message.Output(FormatToString(format, args));
    message.RaiseCount();
}

void FormatMessageTo(Message& message, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatMessageToV(message, format, args);
    va_end(args);
}

void FormatResourceMessageTo(Message& message, int stringId, ...) {
    const char* format = strings::LoadString(stringId);
    va_list args;
    va_start(args, stringId);
    if (format != nullptr) {
        FormatMessageToV(message, format, args);
    } else {
        // A missing text must not lose the report altogether.
        FormatMessageTo(message, "Message %d.", stringId);
    }
    va_end(args);
}

void SendMessageText(Message& message, std::string_view text) {
    message.Output(CutToChars(text, kMaxMessageChars));
    message.RaiseCount();
}

void ReportDispatchException(Message& message, const DispatchException& exception) {
    FormatMessageTo(message, "Exception %x: %s",
                    static_cast<unsigned>(exception.ErrorCode()) & 0xFFFFu,
                    CutToChars(exception.what(), kMaxExceptionChars).c_str());
}

void ReportException(Message& message, const std::exception& exception) {
    FormatMessageTo(message, "Exception: %s",
                    CutToChars(exception.what(), kMaxExceptionChars).c_str());
}

// ---- LogMessage ----

LogMessage::LogMessage(std::int32_t maxBytes, double trimFraction, const platform::Clock& clock)
    : maxBytes_(maxBytes), trimFraction_(trimFraction), clock_(clock) {}

const std::string& LogMessage::HeaderText() {
    static const std::string header =
        "Site # Date       Time          Message\n" + std::string(79, '-') + "\n";
    return header;
}

std::shared_ptr<const LogMessage::Target> LogMessage::CurrentTarget() const {
    std::lock_guard lock(targetMutex_);
    return target_;
}

std::string LogMessage::Path() const {
    const auto target = CurrentTarget();
    return target ? target->path : std::string();
}

bool LogMessage::SetPath(const std::string& path) {
    if (path.empty()) {
        std::lock_guard lock(targetMutex_);
        target_.reset();
        return true;
    }
    auto target = std::make_shared<Target>();
    target->path = path;
    target->lock = std::make_unique<platform::NamedLock>(platform::LogFileLockName(path));
    bool ok = true;
    {
        // Without a lock file writes go unserialised, as the facility never fails for that.
        const bool locked = target->lock->Lock();
        if (!platform::FileSize(path))
            ok = platform::AppendToFile(path, {}, HeaderText());
        if (locked)
            target->lock->Unlock();
    }
    std::lock_guard lock(targetMutex_);
    target_ = std::move(target);
    return ok;
}

void LogMessage::Output(const std::string& text) {
    const auto target = CurrentTarget();
    if (!target)
        return;
    const bool locked = target->lock->Lock();
    AppendLocked(*target, text);
    if (locked)
        target->lock->Unlock();
}

void LogMessage::TrimIfDue(const std::string& path) {
    if (maxBytes_ <= 0 || trimFraction_ <= 0)
        return;
    const std::uint64_t size = platform::FileSize(path).value_or(0);
    if (size <= static_cast<std::uint64_t>(maxBytes_))
        return;
    const auto cut = static_cast<std::uint64_t>(static_cast<double>(size) * trimFraction_);
    if (cut > 0)
        TrimLogFile(path, cut);
}

void LogMessage::AppendLocked(const Target& target, const std::string& text) {
    TrimIfDue(target.path);
    char site[32];
    std::snprintf(site, sizeof site, "%-7d", static_cast<int>(siteNumber_.load()));
    std::string line = site;
    line += platform::CtimeStamp(clock_.Now());
    line += ' ';
    line += text;
    line += '\n';
    // One write per line: even an unserialised writer cannot split it. A log deleted behind
    // our back comes back with its header.
    platform::AppendToFile(target.path, line, HeaderText());
}

bool TrimLogFile(const std::string& path, std::uint64_t cut) {
    // Logs are kept small by this very trimming, so reading one whole is cheap.
    const auto content = platform::ReadFile(path);
    if (!content || cut >= content->size())
        return false;
    // Drop the partial line at the cut: everything up to and including the next newline.
    const auto newline = content->find('\n', cut);
    if (newline == std::string::npos)
        return false;  // the end came first: nothing is replaced
    platform::AtomicFileWriter out(path);
    return out.Open() && out.Write(LogMessage::HeaderText()) &&
           out.Write(std::string_view(*content).substr(newline + 1)) && out.Commit();
}

// ---- LogMessageNoConsecutiveDuplicates ----

std::string LogMessageNoConsecutiveDuplicates::LastLineText(const std::string& path) {
    const auto content = platform::ReadFile(path);
    if (!content)
        return {};
    std::string_view body(*content);
    if (!body.empty() && body.back() == '\n')
        body.remove_suffix(1);
    const auto newline = body.rfind('\n');
    if (newline == std::string_view::npos)
        return {};  // fewer than two lines
    const std::string_view last = body.substr(newline + 1);
    if (last.size() <= kStampColumns)
        return {};
    const std::string_view text = Trim(last.substr(kStampColumns));
    return text.starts_with("---") ? std::string() : std::string(text);
}

void LogMessageNoConsecutiveDuplicates::Output(const std::string& text) {
    const auto target = CurrentTarget();
    if (!target)
        return;
    const std::string trimmed(TrimRight(text));
    const bool locked = target->lock->Lock();
    if (trimmed != LastLineText(target->path))
        AppendLocked(*target, trimmed);
    if (locked)
        target->lock->Unlock();
}

// ---- screen and status ----

ErrorMessage::ErrorMessage(std::int32_t maxBytes, double trimFraction,
                           ScreenMessageQueue* screenQueue, bool showMessageBox, Prompter* prompter,
                           const platform::Clock& clock)
    : LogMessage(maxBytes, trimFraction, clock),
      screenQueue_(screenQueue),
      showMessageBox_(showMessageBox),
      prompter_(prompter) {}

void ErrorMessage::Output(const std::string& text) {
    LogMessage::Output(text);
    if (screenQueue_)
        screenQueue_->Post(text);
    if (showMessageBox_.load() && prompter_)
        prompter_->ShowMessage(text);
}

LogScreenMessage::LogScreenMessage(std::int32_t maxBytes, double trimFraction,
                                   ScreenMessageQueue* screenQueue, const platform::Clock& clock)
    : LogMessage(maxBytes, trimFraction, clock), screenQueue_(screenQueue) {}

void LogScreenMessage::Output(const std::string& text) {
    LogMessage::Output(text);
    if (screenQueue_)
        screenQueue_->Post(text);
}

void ScreenMessage::Output(const std::string& text) {
    if (screenQueue_)
        screenQueue_->Post(text);
}

void StatusMessage::Output(const std::string& text) {
    if (frame_)
        frame_->SetStatusText(text);
}

// ---- headless user interface ----

void HeadlessPrompter::ShowMessage(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (echo_)
        *echo_ << text << '\n' << std::flush;
}

bool HeadlessPrompter::AskYesNo(const std::string& /*title*/, const std::string& question) {
    std::lock_guard lock(mutex_);
    if (echo_)
        *echo_ << question << (answer_ ? " Yes" : " No") << '\n' << std::flush;
    return answer_;
}

void HeadlessUiBridge::PostEndOfPass() {
    endOfPass_.Set();
}

bool HeadlessUiBridge::WaitForEndOfPass(std::chrono::milliseconds timeout) {
    return endOfPass_.WaitFor(timeout);
}

void HeadlessStatusSink::SetStatusText(const std::string& text) {
    std::lock_guard lock(mutex_);
    text_ = text;
}

std::string HeadlessStatusSink::Text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

}  // namespace tw
