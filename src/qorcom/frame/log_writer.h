#pragma once
// The text log writer behind "QORCom.LogMessage": time-stamped lines appended to a file that
// several processes may share, below a fixed two-line header, the file kept under a size limit
// by cutting off its oldest part.
//
// File format (every "\n" stored as CR LF):
//   header                       "Date       Time          Message\n" by default
//   separator                    79 '-' and "\n" by default
//   [site padded to 6 and ' ']<ctime stamp, 24 characters> <message>
//
// Writers of one path (objects of this and other processes, and Tidewell's own log writer)
// serialise on the named lock of the path (platform::LogFileLockName), for the size check, the
// cut, the append and the clearing. Readers are never locked out: a cut or a clear replaces the
// file by renaming a complete copy over it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/named_lock.h"
#include "platform/system_text.h"

namespace tw::qorcom {

class OutputMessage {
public:
    virtual ~OutputMessage() = default;
    virtual std::int32_t NumMessages() const { return count_; }
    virtual void ResetNumMessages() { count_ = 0; }
    virtual void Output(std::string_view message) = 0;

protected:
    std::int32_t count_ = 0;
};

// Used by one thread at a time; processes and other objects are excluded by the named lock.
class LogMessage : public OutputMessage {
public:
    static constexpr std::int32_t kDefaultMaxSize = 0x40000;
    static constexpr double kDefaultShrinkFraction = 0.5;
    static const std::string& DefaultHeader(bool withSite);
    static const std::string& DefaultSeparator();

    explicit LogMessage(const platform::Clock& clock = platform::SystemClock::Instance());

    // A change between empty and non-empty also resets header and separator to the defaults
    // for that case.
    void SetSite(std::string site);
    const std::string& Site() const { return site_; }
    // Above this many bytes the file is cut before the next line; 0 or less: never cut.
    void SetMaxSize(std::int32_t bytes) { maxSize_ = bytes; }
    std::int32_t MaxSize() const { return maxSize_; }
    // The share of the file cut off (0.5: half); 0 or less: never cut.
    void SetShrinkFraction(double fraction) { shrinkFraction_ = fraction; }
    double ShrinkFraction() const { return shrinkFraction_; }
    void SetHeader(std::string header) { header_ = std::move(header); }
    const std::string& Header() const { return header_; }
    void SetHeaderSeparator(std::string separator) { separator_ = std::move(separator); }
    const std::string& HeaderSeparator() const { return separator_; }

    // Binds to a file (empty: none) and creates it with the header block when missing. An
    // existing file is left unchanged whatever header it has. False when the file is missing
    // and cannot be created; the path stays set.
    bool SetLogFile(std::string path);
    const std::string& LogFile() const { return path_; }

    // Appends one line (cutting the file first when it is too big) and counts it. A file that
    // cannot be opened drops the line silently; no file set: nothing happens. The message is
    // written as given, never interpreted.
    void Output(std::string_view message) override;
    // Replaces the file by one holding only the header block.
    void ClearLog();
    // True when the file (a missing one counts as empty) holds no more than the header block.
    bool IsEmpty() const;
    // length(header) + length(separator) + 2: the header block's size with CR LF line ends.
    std::int32_t GetHeaderSize() const;

    // The header and separator as stored in the file.
    virtual std::string HeaderBlock() const;

private:
    std::string Line(std::string_view message) const;
    void CutIfDue();
    bool CreateWithHeader();

    const platform::Clock& clock_;
    double shrinkFraction_ = kDefaultShrinkFraction;
    std::int32_t maxSize_ = kDefaultMaxSize;
    std::string path_;
    std::string header_;
    std::string separator_;
    std::string site_;
    std::unique_ptr<platform::NamedLock> lock_;
};

// Text mode of the original platform: every "\n" becomes CR LF.
std::string ToTextMode(std::string_view text);

// Cuts `cut` bytes off the front of a log, plus the rest of the line the cut falls in, and
// puts `headerBlock` in front of what remains. The result is written to a temporary file in the
// log's directory and renamed over the log, so the log is only ever replaced by a complete
// copy. False (the log unchanged) when it cannot be read, the cut falls in its last line, or
// the copy cannot be written.
bool CutLogFile(const std::string& path, std::uint64_t cut, std::string_view headerBlock);

}  // namespace tw::qorcom
