#pragma once
// The site settings dialog without its widgets: the values it shows, the dial-up entries it
// offers, the reset of the start of polling, and OK (copy the values into the settings, save
// them). The widget (settings/ui) only moves these values in and out of its controls.
//
// Threads: the UI thread, while no poll of the site runs (see EditSiteSettings). Failures are
// reported through the program-wide message objects.

#include <string>
#include <vector>

#include "messages/ui_interfaces.h"
#include "settings/radiant_setup.h"

namespace tw {

// What the dialog edits, as its controls hold it.
struct SiteSettingsValues {
    bool receiveSales = true;         // "Receive sales"
    bool sendItems = true;            // "Send configuration"
    bool deletePOSSourceFile = true;  // "Remove sales from POS"
    bool useRas = false;              // "Dial Up"
    std::string importDestinationPath;
    std::string salesPath;
    std::string exSalesPath;
    std::string userName;
    std::string password;
    std::string rasEntry;
    std::string rasPhoneNumber;
    std::string rasCallbackNumber;
    std::string rasUserName;
    std::string rasPassword;  // plain text; enciphered when the settings are saved
    std::string rasDomain;
    std::string naxmlVersion;

    bool operator==(const SiteSettingsValues&) const = default;
};

SiteSettingsValues ValuesOf(const RadiantSetup& setup);
void CopyValuesInto(const SiteSettingsValues& values, RadiantSetup& setup);

// The phone-book entries of the dial-up service, for the entry list.
class DialUpDirectory {
public:
    struct Listing {
        bool available = false;            // dial-up is installed and its object answered
        std::vector<std::string> entries;  // in the service's order
    };
    virtual ~DialUpDirectory() = default;
    // Not available when the service is not installed or its object cannot be created (a
    // creation failure reported); a failure while listing is reported with the object's error
    // text and leaves the entries empty. Must not throw.
    virtual Listing ListEntries() = 0;
};

// For programs and tests without dial-up: nothing is available, nothing is reported.
class NoDialUp final : public DialUpDirectory {
public:
    Listing ListEntries() override { return {}; }
};

class SiteSettingsForm {
public:
    // The texts of the NAXML version list, in the order shown.
    static const std::vector<std::string>& NaxmlVersionChoices();
    static constexpr const char* kResetQuestion = "Reset start polling date time?";

    // setup and prompter must outlive the form. Lists the dial-up entries at once.
    SiteSettingsForm(RadiantSetup& setup, Prompter& prompter, DialUpDirectory& dialUp);

    // The values the dialog opens with.
    const SiteSettingsValues& Initial() const { return initial_; }
    // Whether the dial-up controls can be used; false leaves them disabled with their values.
    bool DialUpAvailable() const { return dialUpAvailable_; }
    // The dial-up entry list: the service's entries, and the stored entry when the service
    // does not list it (so that OK never drops it).
    const std::vector<std::string>& DialUpEntries() const { return dialUpEntries_; }
    // The NAXML choices, and the stored version when it is none of them (kept the same way).
    std::vector<std::string> NaxmlVersions() const;

    // Asks the reset question (Yes/No, No by default); Yes sets the start of polling to its
    // default in the settings object at once, whatever the dialog ends with; it reaches the
    // SETUP file with the next save. True for Yes.
    bool AskResetStartOfPolling();

    // OK: copies the values into the settings and saves them. False after "Unable to save
    // poller settings." was reported; the settings object then holds the values it had
    // before, so that a Cancel after a failed save does not leave a poll working with values
    // no file holds.
    bool Accept(const SiteSettingsValues& values);

private:
    RadiantSetup& setup_;
    Prompter& prompter_;
    SiteSettingsValues initial_;
    bool dialUpAvailable_ = false;
    std::vector<std::string> dialUpEntries_;
};

}  // namespace tw
