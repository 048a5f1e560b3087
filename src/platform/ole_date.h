#pragma once
// Date-times as the poller has always held them: OLE automation dates, a double counting days
// since 1899-12-30 00:00 in local civil time. The whole part is the day; the fraction is the
// time of day, counted forward from midnight even for negative values (-1.25 is 1899-12-29
// 06:00). A value also carries a status: valid, invalid (a failed conversion) or null (unset).
//
// The civil arithmetic is our own (proleptic Gregorian, years 100 to 9999) so that dates before
// 1970 and negative values work without the C library. Only conversions to and from file times
// go through the time-zone rules (localtime_r / mktime); file times on disk are UTC.

#include <ctime>
#include <string>
#include <string_view>

namespace tw::platform {

struct CivilTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0;  // 1 = Sunday ... 7 = Saturday
    int dayOfYear = 0;  // 1 = 1 January
};

class OleDate {
public:
    enum class Status { Valid, Invalid, Null };

    // 1899-12-30 00:00, valid.
    OleDate() = default;
    static OleDate FromDays(double days);  // invalid outside 0100-01-01 .. 9999-12-31 23:59:59
    static OleDate Null() { return OleDate(0.0, Status::Null); }
    static OleDate Invalid() { return OleDate(0.0, Status::Invalid); }
    // Invalid for fields out of range (month 1-12, day within the month, hour 0-23,
    // minute and second 0-59, year 100-9999).
    static OleDate FromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0);
    // The current local time, to the second.
    static OleDate Now();
    // A file time (UTC seconds since the epoch) as local civil time; nanoseconds are dropped.
    static OleDate FromFileTime(std::time_t utcSeconds);

    Status GetStatus() const { return status_; }
    bool IsValid() const { return status_ == Status::Valid; }
    bool IsNull() const { return status_ == Status::Null; }
    double Days() const { return days_; }

    // Civil fields, rounded to the nearest second. False when not valid.
    bool ToCivil(CivilTime& out) const;
    // The local civil time as a file time (UTC seconds). In a repeated hour (DST end) the first
    // occurrence is taken; a time inside the skipped hour (DST start) moves forward. False when
    // not valid or not representable.
    bool ToFileTime(std::time_t& out) const;
    // Every instant the local civil time may stand for: one, or two in the repeated hour of a
    // clock change (earliest and latest differ by the shift then). A time inside the skipped
    // hour gives the instant ToFileTime gives. False when not valid or not representable.
    bool ToFileTimeRange(std::time_t& earliest, std::time_t& latest) const;

    // strftime-style formatting of the civil fields in the C locale ("%m/%d/%Y %H:%M:%S" by
    // default). Empty when not valid.
    std::string Format(const char* format = "%m/%d/%Y %H:%M:%S") const;

    // The value on a continuous day scale: negative dates count their whole part backwards, so
    // d < 0 becomes ceil(d) - (d - ceil(d)). Differences and sums are taken on this scale.
    double LinearDays() const;
    static OleDate FromLinearDays(double linear);

    // Difference in days (this - other) on the continuous scale.
    double DaysSince(const OleDate& other) const { return LinearDays() - other.LinearDays(); }
    OleDate AddDays(double span) const;

    // Seconds (and smaller parts) set to 0.
    OleDate TruncatedToMinute() const;

    friend bool operator==(const OleDate& a, const OleDate& b) {
        return a.status_ == b.status_ && a.days_ == b.days_;
    }

private:
    OleDate(double days, Status status) : days_(days), status_(status) {}
    double days_ = 0.0;
    Status status_ = Status::Valid;
};

// The day number (days since 1970-01-01) of a proleptic Gregorian date, and back.
long long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long long days, int& year, int& month, int& day);

}  // namespace tw::platform
