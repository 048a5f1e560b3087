#pragma once
// Wall-clock times of the simulated store: local civil time counted in seconds,
// without a time zone. The POS writes local times into its files and names;
// only the modification times of the files it leaves need the zone
// (LocalToFileTime).

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tw::possim {

struct CivilStamp {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00:00 of the civil calendar.
class LocalTime {
public:
    LocalTime() = default;
    static LocalTime FromSeconds(std::int64_t seconds) { return LocalTime(seconds); }
    static LocalTime FromCivil(const CivilStamp& civil);
    // "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank may stand for the T).
    // Nothing when the text is not such a time or names a day that does not
    // exist.
    static std::optional<LocalTime> Parse(std::string_view text);

    std::int64_t Seconds() const { return seconds_; }
    LocalTime Plus(std::int64_t seconds) const { return LocalTime(seconds_ + seconds); }
    CivilStamp Civil() const;

    std::string Date() const;     // "YYYY-MM-DD"
    std::string Time() const;     // "HH:MM:SS"
    std::string Stamp14() const;  // "YYYYMMDDHHMMSS", as the POS stamps its file names
    std::string Iso() const;      // "YYYY-MM-DDTHH:MM:SS"

    friend auto operator<=>(const LocalTime&, const LocalTime&) = default;

private:
    explicit LocalTime(std::int64_t seconds) : seconds_(seconds) {}
    std::int64_t seconds_ = 0;
};

// The file time (UTC seconds) of a local civil time in the process's time zone
// (TZ); nothing when the zone cannot place it.
std::optional<std::time_t> LocalToFileTime(const LocalTime& local);

}  // namespace tw::possim
