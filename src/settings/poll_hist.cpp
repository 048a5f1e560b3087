#include "settings/poll_hist.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <new>
#include <optional>

#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw {
namespace {

constexpr long kRecordSize = static_cast<long>(kHistRecordSize);
// Day fractions of whole minutes carry rounding errors of about 1e-11 days; comparing with a
// slack well under a millisecond lets periods exactly one tolerance apart compare as whole
// minutes do ("no more than one minute" includes one minute, "less than 30" excludes 30).
constexpr double kSlack = 1e-8;
// The 8-character fields of the header hold "%08d" of these values and no others.
constexpr std::int32_t kMinHeaderNumber = -9999999;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads an integer the way the C library's %d does: blanks skipped, an optional sign, then
// digits up to the first non-digit. Values beyond 32 bits are clamped rather than wrapped.
class IntScanner {
public:
    explicit IntScanner(std::string_view text) : text_(text) {}

    bool Next(std::int32_t& value) {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        std::size_t p = pos_;
        bool negative = false;
        if (p < text_.size() && (text_[p] == '+' || text_[p] == '-'))
            negative = text_[p++] == '-';
        if (p >= text_.size() || !IsDigit(text_[p]))
            return false;
        long long magnitude = 0;
        for (; p < text_.size() && IsDigit(text_[p]); ++p) {
            if (magnitude <= INT_MAX)
                magnitude = magnitude * 10 + (text_[p] - '0');
        }
        pos_ = p;
        const long long signedValue = negative ? -magnitude : magnitude;
        value = static_cast<std::int32_t>(
            signedValue > INT_MAX ? INT_MAX : (signedValue < INT_MIN ? INT_MIN : signedValue));
        return true;
    }
    bool Literal(char c) {
        if (pos_ >= text_.size() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::int32_t LeadingInt(std::string_view text) {
    std::int32_t value = 0;
    IntScanner(text).Next(value);
    return value;
}

void AppendInt(std::string& out, std::int32_t value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "MM/DD/YYYY H:M:00" from the fixed columns of a record, as the stored date is read back.
std::string RecordDateText(std::string_view record, std::size_t yearAt, std::size_t timeAt) {
    const std::size_t monthAt = yearAt + 4;
    std::string text;
    text += record[monthAt];
    text += record[monthAt + 1];
    text += '/';
    text += record[monthAt + 2];
    text += record[monthAt + 3];
    text += '/';
    text.append(record.substr(yearAt, 4));
    text += ' ';
    AppendInt(text, LeadingInt(record.substr(timeAt)));
    text += ':';
    AppendInt(text, LeadingInt(record.substr(timeAt + 3)));
    text += ":00";
    return text;
}

// Date and time columns of one end of a period: 15 characters.
std::string FormatRecordDate(const OleDate& date) {
    platform::CivilTime civil;
    const bool valid = date.ToCivil(civil);
    char buffer[48];
    if (valid && civil.year > 1900) {
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d,", civil.year, civil.month, civil.day);
    } else {
        std::snprintf(buffer, sizeof buffer, "00000000,");
    }
    std::string text = buffer;
    std::snprintf(buffer, sizeof buffer, "%02d:%02d,", valid ? civil.hour : -1,
                  valid ? civil.minute : -1);
    text += buffer;
    return text;
}

std::string FormatRecord(const HistRecord& record) {
    char sequence[16];
    std::snprintf(sequence, sizeof sequence, "%0*d,", 8, record.sequence);
    return sequence + FormatRecordDate(record.begin) + FormatRecordDate(record.end) + "\r\n";
}

bool FitsHeaderField(std::int32_t value) {
    return value >= kMinHeaderNumber && value <= kMaxHistSequence;
}

void ReportUnfitSequence(std::int32_t sequence, const std::string& path) {
    FormatMessageTo(errorMessages(), "Sequence number %d does not fit the history file %s.",
                    sequence, path.c_str());
}

double Difference(const OleDate& a, const OleDate& b) {
    return std::fabs(a.DaysSince(b));
}

}  // namespace

OleDate ParseHistDate(std::string_view text) {
    // month/day/year hour:minute:second; fields after the first mismatch stay 0.
    std::int32_t fields[6] = {0, 0, 0, 0, 0, 0};
    IntScanner scanner(text);
    for (int i = 0; i < 6; ++i) {
        if (i == 1 || i == 2) {
            if (!scanner.Literal('/'))
                break;
        } else if (i == 3) {
            scanner.SkipBlanks();
        } else if (i > 3) {
            if (!scanner.Literal(':'))
                break;
        }
        if (!scanner.Next(fields[i]))
            break;
    }
    const std::int32_t month = fields[0], day = fields[1];
    std::int32_t year = fields[2];
    if (month <= 0 || day <= 0)
        return OleDate::Null();
    if (year < 100)
        year = year <= 80 ? 2000 + year : 1900 + year;
    return OleDate::FromCivil(year, month, day, fields[3], fields[4], fields[5]);
}

bool HistPeriodMatches(const HistRecord& recorded, const OleDate& begin, const OleDate& end,
                       double endTolerance, bool endInclusive) {
    bool endsMatch;
    if (recorded.end.IsNull() && end.IsNull()) {
        endsMatch = true;
    } else if (recorded.end.IsValid() && end.IsValid()) {
        const double difference = Difference(recorded.end, end);
        endsMatch = difference <= kHistMaxComparableDays &&
                    (endInclusive ? difference <= endTolerance + kSlack
                                  : difference < endTolerance - kSlack);
    } else {
        endsMatch = false;
    }
    if (!endsMatch)
        return false;
    if (!recorded.begin.IsValid() || !begin.IsValid())
        return true;
    const double difference = Difference(recorded.begin, begin);
    return difference <= kHistMaxComparableDays && difference < kHistBeginTolerance - kSlack;
}

// ---- PollHist ----

PollHist::PollHist(std::string path) : path_(std::move(path)) {}

PollHist::~PollHist() {
    Close();
}

void PollHist::Close() {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
}

bool PollHist::OpenFile() {
    Close();
    readOnly_ = false;
    // 'e': the descriptor is not inherited by the programs the poller starts.
    file_ = std::fopen(path_.c_str(), "r+be");
    if (file_ == nullptr && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        file_ = std::fopen(path_.c_str(), "rbe");
        readOnly_ = file_ != nullptr;
    }
    if (file_ == nullptr) {
        openError_ = errno;
        return false;
    }
    openError_ = 0;
    // Unbuffered: every record is one read or write at its offset, so other processes see
    // each write at once and this object never serves a stale buffered record.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!lock_) {
        lock_ = std::make_unique<platform::NamedLock>("HIST" + platform::LogFileLockName(path_));
    }
    return true;
}

bool PollHist::ReadAt(long offset, char* buffer, std::size_t size) {
    if (file_ == nullptr)
        return false;
    // Without a lock file the records are still read whole in one call; only a write racing
    // the read could then be seen in part.
    std::optional<platform::NamedLockGuard> guard;
    if (lock_ && lock_->IsValid())
        guard.emplace(*lock_);
    std::clearerr(file_);
    if (std::fseek(file_, offset, SEEK_SET) != 0)
        return false;
    return std::fread(buffer, 1, size, file_) == size;
}

bool PollHist::WriteAt(long offset, std::string_view bytes) {
    if (file_ == nullptr)
        return false;
    int error = EBADF;
    if (!readOnly_) {
        std::optional<platform::NamedLockGuard> guard;
        if (lock_ && lock_->IsValid())
            guard.emplace(*lock_);
        std::clearerr(file_);
        if (std::fseek(file_, offset, SEEK_SET) == 0 &&
            std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
            std::fflush(file_) == 0) {
            return true;
        }
        error = errno;
    }
    FormatMessageTo(logMessages(), "Cannot write %s: %s.", path_.c_str(),
                    SystemErrorText(error).c_str());
    return false;
}

std::int32_t PollHist::FindSequence(const OleDate& begin, const OleDate& end) {
    return FindMatching(begin, end, kHistHalfSecond, false);
}

std::int32_t PollHist::FindSequenceNear(const OleDate& begin, const OleDate& end,
                                        double tolerance) {
    return FindMatching(begin, end, tolerance, true);
}

std::int32_t PollHist::FindMatching(const OleDate& begin, const OleDate& end, double tolerance,
                                    bool inclusive) {
    if (!ReadHeader())
        return -1;
    const OleDate wholeBegin = begin.TruncatedToMinute();
    const OleDate wholeEnd = end.TruncatedToMinute();
    while (ReadNext()) {
        // A slot that never held a period is no match, even for a search with null ends.
        if (current_.sequence < 1)
            continue;
        if (HistPeriodMatches(current_, wholeBegin, wholeEnd, tolerance, inclusive)) {
            return current_.sequence;
        }
    }
    return -1;
}

std::vector<HistRecord> PollHist::ReadRingOrder() {
    std::vector<HistRecord> records;
    if (!ReadHeader())
        return records;
    const std::int32_t slots = slotCount_;
    const std::int32_t first = lastSequence_ >= 0 ? (lastSequence_ % slots + 1) % slots : 0;
    for (std::int32_t i = 0; i < slots; ++i) {
        if (ReadRecord((first + i) % slots) && IsValid())
            records.push_back(current_);
    }
    return records;
}

// ---- GenericHist ----

bool GenericHist::Open() {
    return OpenFile();
}

bool GenericHist::ReadHeader() {
    char header[kHistRecordSize];
    slotCount_ = 0;
    if (!ReadAt(0, header, sizeof header))
        return false;
    const std::string_view bytes(header, sizeof header);
    // A slot count below 1 cannot address a record (the slot is the sequence modulo it).
    const std::int32_t slots = LeadingInt(bytes.substr(0, 5));
    if (slots < 1)
        return false;
    slotCount_ = slots;
    lastSequence_ = LeadingInt(bytes.substr(5, 8));
    secondNumber_ = LeadingInt(bytes.substr(14, 8));
    currentRecord_ = 1;
    return true;
}

bool GenericHist::ReadNext() {
    if (slotCount_ < 1 || currentRecord_ < 1 || currentRecord_ > slotCount_)
        return false;
    char record[kHistRecordSize];
    if (!ReadAt(currentRecord_ * kRecordSize, record, sizeof record)) {
        current_ = HistRecord{};
        return false;
    }
    const std::string_view bytes(record, sizeof record);
    current_.sequence = LeadingInt(bytes);
    current_.begin = ParseDate(RecordDateText(bytes, 9, 18));
    current_.end = ParseDate(RecordDateText(bytes, 24, 33));
    ++currentRecord_;
    return true;
}

bool GenericHist::ReadRecord(std::int32_t sequence) {
    if (sequence < 0 || slotCount_ < 1)
        return false;
    currentRecord_ = sequence % slotCount_ + 1;
    return ReadNext();
}

bool GenericHist::IsValid() const {
    return current_.sequence > 0 && current_.end.IsValid();
}

bool GenericHist::WriteHeader() {
    if (!FitsHeaderField(lastSequence_)) {
        ReportUnfitSequence(lastSequence_, path_);
        return false;
    }
    // Without a header read there is no second number to keep.
    if (slotCount_ < 1 || !FitsHeaderField(secondNumber_))
        return false;
    char fields[32];
    std::snprintf(fields, sizeof fields, "%08d,%08d,", lastSequence_, secondNumber_);
    return WriteAt(5, fields);
}

bool GenericHist::WriteRecord() {
    if (current_.sequence < 0 || current_.sequence > kMaxHistSequence) {
        ReportUnfitSequence(current_.sequence, path_);
        return false;
    }
    if (slotCount_ < 1)
        return false;
    const long slot = current_.sequence % slotCount_;
    return WriteAt((slot + 1) * kRecordSize, FormatRecord(current_));
}

// ---- RadiantHist ----

std::string HistFileName(int site, int kind) {
    char name[32];
    std::snprintf(name, sizeof name, "POLHIST%c.%03d", kind == kDayHistory ? 'D' : 'S', site);
    return name;
}

RadiantHist::RadiantHist(const std::string& dataDirectory, int site, int kind)
    : GenericHist(platform::ExistingOrExactPath(dataDirectory, HistFileName(site, kind))) {}

std::unique_ptr<PollHist> OpenHistory(const std::string& dataDirectory, int site, int kind) {
    std::unique_ptr<PollHist> history;
    try {
        history = std::make_unique<RadiantHist>(dataDirectory, site, kind);
    } catch (const std::bad_alloc&) {
        FormatMessageTo(errorMessages(), "Unable to allocate history object.");
        return nullptr;
    }
    if (!history->Open()) {
        FormatMessageTo(errorMessages(), "Cannot open %s.", history->Path().c_str());
        return nullptr;
    }
    if (!history->ReadHeader()) {
        FormatMessageTo(errorMessages(), "Unable to read data from %s.", history->Path().c_str());
        return nullptr;
    }
    return history;
}

bool CreateHistoryFile(const std::string& path, std::int32_t slotCount, std::string* error) {
    auto fail = [error](std::string reason) {
        if (error != nullptr)
            *error = std::move(reason);
        return false;
    };
    if (slotCount < 1 || slotCount > kMaxHistSlots) {
        return fail("slot count must be 1 to 99999");
    }
    std::string directory(platform::DirectoryPart(path));
    if (directory.empty())
        directory = ".";
    if (platform::FindExistingName(directory, platform::FileNamePart(path))) {
        return fail(path + " exists");
    }
    char header[kHistRecordSize + 1];
    std::snprintf(header, sizeof header, "%05d%08d,%08d,%16s\r\n", slotCount, 0, 0, "");
    std::string content(header, kHistRecordSize);
    const std::string empty = FormatRecord(HistRecord{});
    content.reserve(kHistRecordSize * (static_cast<std::size_t>(slotCount) + 1));
    for (std::int32_t i = 0; i < slotCount; ++i) content += empty;
    int errorNumber = 0;
    if (!platform::WriteFileAtomically(path, content, &errorNumber)) {
        return fail(path + ": " + platform::SystemErrorText(errorNumber));
    }
    return true;
}

}  // namespace tw
