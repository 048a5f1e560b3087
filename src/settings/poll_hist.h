#pragma once
// The poll history of a site: which sales sequence number belongs to which period (begin and
// end date-time), so that a file received again gets its old number and the sales viewer can
// offer the periods by number and date. Two files per site, "POLHISTS.nnn" for shifts and
// "POLHISTD.nnn" for days.
//
// File layout (the back office reads these bytes; they never change):
//   A ring of 41-byte records, each ending in CR LF. Record 0 is the header:
//     bytes 0-4    slot count, decimal text (leading blanks or zeros)
//     bytes 5-12   last sequence number written, "%08d"
//     byte  13     ','
//     bytes 14-21  a second number, kept and rewritten as read, "%08d"
//     byte  22     ','
//     bytes 23-40  not ours: never rewritten
//   The record of sequence s lies at byte (s mod slots + 1) * 41:
//     "%08d," sequence, then begin and end, each as "%04d%02d%02d," (or "00000000," when unset
//     or before 1901) followed by "%02d:%02d," (hour, minute; "-1:-1," when unset), CR LF.
//
// Sharing: one object is used by one thread at a time. Any number of objects, in this and
// other processes, may have the same file open: every header or record read and write is a
// single I/O at its fixed offset, taken under a named lock derived from the file's path, so a
// reader never sees half a record and every write reaches the file before the call returns.
// Nothing locks a read-modify-write of the header across calls (FindSequence, then the last
// sequence number + 1, then WriteHeader): there must be one writer per site, which the site
// lock of the poll guarantees. The viewer and the setup lists only read.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/named_lock.h"
#include "platform/ole_date.h"

namespace tw {

using platform::OleDate;

// History kinds: the day history is kind 2, every other kind means the shift history.
inline constexpr int kShiftHistory = 1;
inline constexpr int kDayHistory = 2;

inline constexpr std::size_t kHistRecordSize = 41;
// Largest sequence number the 8-digit field holds; a larger one would shift every later byte.
inline constexpr std::int32_t kMaxHistSequence = 99999999;
// Largest slot count the 5-digit header field holds.
inline constexpr std::int32_t kMaxHistSlots = 99999;

// Tolerances of the period search, in days.
inline constexpr double kHistHalfSecond = 5.787037037037037e-6;
inline constexpr double kHistBeginTolerance = 0.020833333333333332;  // 30 minutes
inline constexpr double kHistOneMinute = 0.0006944444444444445;      // what journals pass
// Differences beyond the span two automation dates can have never match.
inline constexpr double kHistMaxComparableDays = 3615897.0;

// One period of the ring.
struct HistRecord {
    std::int32_t sequence = 0;
    OleDate begin = OleDate::Null();
    OleDate end = OleDate::Null();
};

// Whether a recorded period is the searched one. The ends must both be valid and differ by
// less than endTolerance (by no more than it when endInclusive), or both be null. The begins
// must differ by less than 30 minutes; a begin that is not a valid date on either side leaves
// the decision to the ends. Differences are taken on the continuous day scale
// (OleDate::DaysSince), so periods either side of 1899-12-30 compare correctly, with a slack
// under a millisecond so that whole minutes exactly one tolerance apart compare exactly.
bool HistPeriodMatches(const HistRecord& recorded, const OleDate& begin, const OleDate& end,
                       double endTolerance, bool endInclusive);

// "%m/%d/%Y %H:%M:%S"-like text read as month/day/year hour:minute:second (fields missing at
// the end count as 0). A month or day of 0 or less gives a null date; a year below 100 is
// 2000 + year up to 80 and 1900 + year from 81; fields out of range give an invalid date.
OleDate ParseHistDate(std::string_view text);

// Base of the history formats: the file, the header values and the current record.
class PollHist {
public:
    explicit PollHist(std::string path);
    // Closes the file.
    virtual ~PollHist();
    PollHist(const PollHist&) = delete;
    PollHist& operator=(const PollHist&) = delete;

    // Opens the file for reading and writing (read-only when writing is not permitted; writes
    // then fail). The file must exist. False when it cannot be opened (errno in OpenError()).
    // Reports nothing: OpenHistory reports.
    virtual bool Open() = 0;
    // Reads the header; the current record number becomes 1. False on a short read or a slot
    // count below 1 (such a header cannot address any record). Reports nothing.
    virtual bool ReadHeader() = 0;
    // Reads the record of the current record number (1 = slot 0) and advances. False once the
    // number exceeds the slot count, or on a short read.
    virtual bool ReadNext() = 0;
    // Reads the record of slot sequence mod slot count; later ReadNext calls continue with the
    // slots after it. False for a negative sequence, an unread header or a short read.
    virtual bool ReadRecord(std::int32_t sequence) = 0;
    // The current record has a sequence number above 0 and a valid end.
    virtual bool IsValid() const = 0;
    // Rewrites bytes 5 to 22 of the header from LastSequence() and SecondNumber(). Refuses
    // (reports to errorMessages, returns false) a last sequence number that does not fit 8
    // characters. Other failures return false for the caller to report.
    virtual bool WriteHeader() = 0;
    // Writes the current record into slot sequence mod slot count. Refuses (reports to
    // errorMessages, returns false) a sequence number below 0 or above 99,999,999, and
    // returns false without writing when no header with a slot count was read.
    virtual bool WriteRecord() = 0;
    virtual OleDate ParseDate(std::string_view text) const = 0;

    // The sequence number of the recorded period that ends at end (within half a second, or
    // both null) and begins within 30 minutes of begin, both given times first cut to whole
    // minutes; -1 when none does or the header cannot be read. Re-reads the header, so
    // LastSequence() is the file's afterwards. Slots that never held a period (sequence 0)
    // are passed over. Moves the current record.
    std::int32_t FindSequence(const OleDate& begin, const OleDate& end);
    // The same, the ends matching when they differ by no more than tolerance days.
    std::int32_t FindSequenceNear(const OleDate& begin, const OleDate& end, double tolerance);

    // Reads the header and the valid records in ring order, oldest first: from the slot after
    // the last sequence number written to the end, then from slot 0 up to that slot. Empty
    // when the header cannot be read.
    std::vector<HistRecord> ReadRingOrder();

    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    bool IsReadOnly() const { return readOnly_; }
    int OpenError() const { return openError_; }

    const std::string& Path() const { return path_; }
    std::int32_t SlotCount() const { return slotCount_; }
    std::int32_t LastSequence() const { return lastSequence_; }
    void SetLastSequence(std::int32_t sequence) { lastSequence_ = sequence; }
    std::int32_t SecondNumber() const { return secondNumber_; }
    std::int32_t CurrentRecordNumber() const { return currentRecord_; }

    const HistRecord& Current() const { return current_; }
    std::int32_t Sequence() const { return current_.sequence; }
    const OleDate& Begin() const { return current_.begin; }
    const OleDate& End() const { return current_.end; }
    void SetCurrent(const HistRecord& record) { current_ = record; }

protected:
    std::int32_t FindMatching(const OleDate& begin, const OleDate& end, double tolerance,
                              bool inclusive);

    // Whole-record I/O at a byte offset under the file's lock. False on a short read or a
    // failed write.
    bool ReadAt(long offset, char* buffer, std::size_t size);
    bool WriteAt(long offset, std::string_view bytes);
    bool OpenFile();

    std::string path_;
    std::FILE* file_ = nullptr;
    bool readOnly_ = false;
    int openError_ = 0;
    std::unique_ptr<platform::NamedLock> lock_;

    std::int32_t slotCount_ = 0;
    std::int32_t lastSequence_ = 0;
    std::int32_t secondNumber_ = 0;
    std::int32_t currentRecord_ = 0;
    HistRecord current_;
};

// The fixed-record format described at the top of this file.
class GenericHist : public PollHist {
public:
    explicit GenericHist(std::string path) : PollHist(std::move(path)) {}

    bool Open() override;
    bool ReadHeader() override;
    bool ReadNext() override;
    bool ReadRecord(std::int32_t sequence) override;
    bool IsValid() const override;
    bool WriteHeader() override;
    bool WriteRecord() override;
    OleDate ParseDate(std::string_view text) const override { return ParseHistDate(text); }
};

// A site's history in its data directory: "POLHISTD.nnn" for kind 2, "POLHISTS.nnn" otherwise.
// An existing file is found whatever the case of its name (the files were made on Windows).
class RadiantHist : public GenericHist {
public:
    RadiantHist(const std::string& dataDirectory, int site, int kind);
};

// "POLHISTD.001" / "POLHISTS.001".
std::string HistFileName(int site, int kind);

// Makes a RadiantHist, opens it and reads its header. On failure reports to errorMessages
// ("Unable to allocate history object.", "Cannot open %s.", "Unable to read data from %s.")
// and returns null. dataDirectory is a POSIX directory.
std::unique_ptr<PollHist> OpenHistory(const std::string& dataDirectory, int site, int kind);

// Creates a history file with slotCount empty slots (sequence 0, unset begin and end) and a
// header with last sequence 0, second number 0 and blanks in bytes 23 to 38. For tests, the
// POS simulator and demo set-ups: the history files are made outside Tidewell, which never
// calls this. Refuses an existing file and a slot count outside 1..99999; on failure returns
// false with a reason in *error.
bool CreateHistoryFile(const std::string& path, std::int32_t slotCount,
                       std::string* error = nullptr);

}  // namespace tw
