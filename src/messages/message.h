#pragma once
// The message family: every report of Tidewell and Ravelin (progress, warnings, failures) goes
// through one of these objects, which decides where the text goes: the shared log file, the
// screen list, a message box or the status bar. Operations elsewhere return a success flag and
// have already reported why they failed here.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/named_lock.h"
#include "platform/system_text.h"

namespace tw {

class ScreenMessageQueue;
class Prompter;
class StatusSink;

// Base of the family. Output is called from any thread; implementations are thread-safe.
class Message {
public:
    virtual ~Message() = default;
    // Sends one text to the object's destinations. Never throws, never reports its own
    // failures (a log that cannot be written loses the line).
    virtual void Output(const std::string& text) = 0;

    // How many texts were sent through the formatting functions; never reset. The count of
    // the error object decides the exit code.
    std::int32_t Count() const { return count_.load(); }
    void RaiseCount() { ++count_; }

private:
    std::atomic<std::int32_t> count_{0};
};

// Appends lines to a log file shared by threads and processes:
//   "Site # Date       Time          Message"
//   79 hyphens
//   "%-7d" site, the 24-character ctime stamp, a blank, the text.
// Appends (and trims) are serialised across processes by a named lock derived from the path,
// so two spellings of one path that differ in case share the lock.
class LogMessage : public Message {
public:
    // maxBytes <= 0 or trimFraction <= 0: the file is never trimmed. Otherwise a file grown past
    // maxBytes loses its oldest size * trimFraction bytes (whole lines) before the next line.
    LogMessage(std::int32_t maxBytes, double trimFraction,
               const platform::Clock& clock = platform::SystemClock::Instance());

    // Points the object at a log file (a POSIX path; an empty path stops file logging). Creates
    // the file with its header when missing. False only when it had to be created and could
    // not be; the path is kept all the same.
    bool SetPath(const std::string& path);
    std::string Path() const;

    void SetSiteNumber(std::int16_t site) { siteNumber_.store(site); }
    std::int16_t SiteNumber() const { return siteNumber_.load(); }

    void Output(const std::string& text) override;

    // The two header lines that every log file starts with.
    static const std::string& HeaderText();

protected:
    // The log file and its lock, replaced as a whole by SetPath so that an Output running on
    // another thread keeps a consistent pair.
    struct Target {
        std::string path;
        std::unique_ptr<platform::NamedLock> lock;
    };
    std::shared_ptr<const Target> CurrentTarget() const;

    // Trim when due, then append one line. The caller holds the target's lock.
    void AppendLocked(const Target& target, const std::string& text);

private:
    void TrimIfDue(const std::string& path);

    const std::int32_t maxBytes_;
    const double trimFraction_;
    const platform::Clock& clock_;
    std::atomic<std::int16_t> siteNumber_{1};
    mutable std::mutex targetMutex_;
    std::shared_ptr<const Target> target_;
};

// Trims the log at path: keeps the header and every whole line that starts after the first
// newline at or after byte cut. Written to a temporary file in the log's directory and renamed
// over the log, so a crash leaves either the old or the new log. False when nothing was
// replaced (unreadable log, no newline after the cut, write failure).
bool TrimLogFile(const std::string& path, std::uint64_t cut);

// A log that skips a text equal to the text of its last line (the version logs). The last line
// is read under the file's lock, so two processes cannot both append the same text.
class LogMessageNoConsecutiveDuplicates : public LogMessage {
public:
    using LogMessage::LogMessage;
    void Output(const std::string& text) override;

    // The text of the file's last line: without its first 31 characters, trimmed; empty when
    // the file has fewer than two lines or the line begins with "---".
    static std::string LastLineText(const std::string& path);
};

// Log line, then the screen list, then (when enabled) a message box.
class ErrorMessage : public LogMessage {
public:
    ErrorMessage(std::int32_t maxBytes, double trimFraction, ScreenMessageQueue* screenQueue,
                 bool showMessageBox, Prompter* prompter,
                 const platform::Clock& clock = platform::SystemClock::Instance());
    void Output(const std::string& text) override;
    void SetShowMessageBox(bool show) { showMessageBox_.store(show); }
    bool ShowsMessageBox() const { return showMessageBox_.load(); }

private:
    ScreenMessageQueue* screenQueue_;
    std::atomic<bool> showMessageBox_;
    Prompter* prompter_;
};

// Log line, then the screen list.
class LogScreenMessage : public LogMessage {
public:
    LogScreenMessage(std::int32_t maxBytes, double trimFraction, ScreenMessageQueue* screenQueue,
                     const platform::Clock& clock = platform::SystemClock::Instance());
    void Output(const std::string& text) override;

private:
    ScreenMessageQueue* screenQueue_;
};

// The screen list only.
class ScreenMessage : public Message {
public:
    explicit ScreenMessage(ScreenMessageQueue* screenQueue) : screenQueue_(screenQueue) {}
    void Output(const std::string& text) override;

private:
    ScreenMessageQueue* screenQueue_;
};

// The status bar's first pane only.
class StatusMessage : public Message {
public:
    explicit StatusMessage(StatusSink* frame) : frame_(frame) {}
    void Output(const std::string& text) override;

private:
    StatusSink* frame_;
};

// The exception a failed automation call raises: the error code of the call and the error
// object's description.
class DispatchException : public std::runtime_error {
public:
    DispatchException(std::int32_t errorCode, const std::string& description)
        : std::runtime_error(description), errorCode_(errorCode) {}
    std::int32_t ErrorCode() const { return errorCode_; }

private:
    std::int32_t errorCode_;
};

// Longest text (in characters) a formatting call produces; longer results are cut.
inline constexpr std::size_t kMaxMessageChars = 1023;

// printf-style formatting into one text (cut at kMaxMessageChars), passed to Output, then the
// object's count is raised.
void FormatMessageTo(Message& message, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void FormatMessageToV(Message& message, const char* format, va_list args);
// The same with the format taken from the string table by its identifier.
void FormatResourceMessageTo(Message& message, int stringId, ...);
// Sends a ready text (never used as a format), cut as above; raises the count.
void SendMessageText(Message& message, std::string_view text);

// "Exception %x: %s": low 16 bits of the error code, the description (at most 255 characters).
void ReportDispatchException(Message& message, const DispatchException& exception);
// "Exception: %s" with the exception's text (at most 255 characters).
void ReportException(Message& message, const std::exception& exception);

using platform::SystemErrorText;

// The first maxChars characters (UTF-8 code points) of text; bytes that are not valid UTF-8
// count one each.
std::string CutToChars(std::string_view text, std::size_t maxChars);

}  // namespace tw
