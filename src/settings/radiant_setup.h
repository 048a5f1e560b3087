#pragma once
// The settings of a site polled from a Radiant POS: PollerSetup plus the keys of the NAXML file
// exchange and the dial-up connection, and the Radiant code maps.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_env.h"
#include "platform/ole_date.h"
#include "settings/crypt_setup.h"
#include "settings/poller_setup.h"

namespace tw {

// Marks settings whose POS exchanges NAXML maintenance files (callers test for it with
// dynamic_cast before they write such files).
class NaxmlSetup {
public:
    virtual ~NaxmlSetup() = default;
};

// The start of polling kept under the key FileDateTime: the newest journal already taken.
// Written month first, "%m/%d/%Y %H:%M:%S"; the default keeps its short historical form.
inline constexpr std::string_view kDefaultFileDateTimeText = "1/1/1990 00:00:00";
platform::OleDate DefaultFileDateTime();
// Reads "M/D/YYYY" with an optional " H:MM" or " H:MM:SS" (one or two digits for month, day
// and hour), whatever the user's locale. Invalid when the text is not in that form.
platform::OleDate ParseFileDateTime(std::string_view text);
// The default as kDefaultFileDateTimeText, any other valid value "%m/%d/%Y %H:%M:%S"; an
// invalid value as the default.
std::string FormatFileDateTime(const platform::OleDate& value);

class RadiantSetup : public PollerSetup, public NaxmlSetup {
public:
    static constexpr const char* kProgramName = "Tidewell";
    static constexpr const char* kExecutableName = "tidewell";

    // crypt must outlive the object.
    RadiantSetup(int siteNumber, std::string programDirectory,
                 platform::ProcessLauncher& launcher = DefaultProcessLauncher(),
                 const CryptSetup& crypt = ProgramCryptSetup());
    ~RadiantSetup() override;

    StdListStringMapping* GetListMapping() override { return salesTaxes_.get(); }
    MapColumnCaptions ColumnCaptions(int kind) const override;
    // Only the departments, levels, grades, products, sales taxes and tax groups have a map
    // file; other kinds give an empty name.
    std::string MapFileName(int kind) const override;
    void SetDefaults() override;
    // The sales-tax list first, then the maps of kinds 2, 0, 1, 3, 4, 6, 7, 8, 9, 11.
    bool OpenMaps() override;

    // The start of polling. Read by the item side and advanced by the sales side of a poll,
    // hence locked.
    platform::OleDate FileDateTime() const;
    void SetFileDateTime(const platform::OleDate& value);
    // Writes FileDateTime into the SETUP file and nothing else: every other line keeps its bytes,
    // so values set for one run only (SendItems and ReceiveSales of /GETSALES or /SENDITEMS)
    // never reach the file. The line is added when missing. Durable when true; false is
    // reported to logMessages() and leaves the file as it was.
    bool SaveFileDateTime(platform::FileEnv& env = platform::DefaultFileEnv());

    // Keys of the SETUP file (and NaxmlVersion, TotalDeposits of both files). Changed only
    // while no poll runs.
    std::string importDestinationPath;
    std::string salesPath;
    std::string exSalesPath;
    bool sendItems = true;
    bool receiveSales = true;
    bool deletePOSSourceFile = true;
    bool useRas = false;
    std::string rasEntry;
    std::string rasPhoneNumber;
    std::string rasCallbackNumber;
    std::string rasUserName;
    std::string rasPassword;  // plain text; enciphered only in the file
    std::string rasDomain;
    std::int32_t rasLoginRetries = 30;
    std::string journalName;
    bool useSevenZip = true;
    bool totalDeposits = false;
    std::string naxmlVersion = "3.3";

protected:
    bool ApplyKey(std::string_view key, std::string_view value) override;
    std::string WriteKeys(KeyFile which) const override;

private:
    const CryptSetup& crypt_;
    mutable std::mutex fileDateTimeMutex_;
    platform::OleDate fileDateTime_;
    std::unique_ptr<StdListStringMapping> salesTaxes_;
};

}  // namespace tw
