#include "settings/site_settings_form.h"

#include <algorithm>

#include "messages/program_messages.h"
#include "messages/string_table.h"

namespace tw {

SiteSettingsValues ValuesOf(const RadiantSetup& setup) {
    SiteSettingsValues values;
    values.receiveSales = setup.receiveSales;
    values.sendItems = setup.sendItems;
    values.deletePOSSourceFile = setup.deletePOSSourceFile;
    values.useRas = setup.useRas;
    values.importDestinationPath = setup.importDestinationPath;
    values.salesPath = setup.salesPath;
    values.exSalesPath = setup.exSalesPath;
    values.userName = setup.userName;
    values.password = setup.password;
    values.rasEntry = setup.rasEntry;
    values.rasPhoneNumber = setup.rasPhoneNumber;
    values.rasCallbackNumber = setup.rasCallbackNumber;
    values.rasUserName = setup.rasUserName;
    values.rasPassword = setup.rasPassword;
    values.rasDomain = setup.rasDomain;
    values.naxmlVersion = setup.naxmlVersion;
    return values;
}

void CopyValuesInto(const SiteSettingsValues& values, RadiantSetup& setup) {
    setup.receiveSales = values.receiveSales;
    setup.sendItems = values.sendItems;
    setup.deletePOSSourceFile = values.deletePOSSourceFile;
    setup.useRas = values.useRas;
    setup.importDestinationPath = values.importDestinationPath;
    setup.salesPath = values.salesPath;
    setup.exSalesPath = values.exSalesPath;
    setup.userName = values.userName;
    setup.password = values.password;
    setup.rasEntry = values.rasEntry;
    setup.rasPhoneNumber = values.rasPhoneNumber;
    setup.rasCallbackNumber = values.rasCallbackNumber;
    setup.rasUserName = values.rasUserName;
    setup.rasPassword = values.rasPassword;
    setup.rasDomain = values.rasDomain;
    setup.naxmlVersion = values.naxmlVersion;
}

const std::vector<std::string>& SiteSettingsForm::NaxmlVersionChoices() {
    static const std::vector<std::string> choices{"3.2 based", "3.3"};
    return choices;
}

SiteSettingsForm::SiteSettingsForm(RadiantSetup& setup, Prompter& prompter, DialUpDirectory& dialUp)
    : setup_(setup), prompter_(prompter), initial_(ValuesOf(setup)) {
    DialUpDirectory::Listing listing = dialUp.ListEntries();
    dialUpAvailable_ = listing.available;
    dialUpEntries_ = std::move(listing.entries);
    if (!initial_.rasEntry.empty() && std::find(dialUpEntries_.begin(), dialUpEntries_.end(),
                                                initial_.rasEntry) == dialUpEntries_.end()) {
        dialUpEntries_.insert(dialUpEntries_.begin(), initial_.rasEntry);
    }
}

std::vector<std::string> SiteSettingsForm::NaxmlVersions() const {
    std::vector<std::string> versions = NaxmlVersionChoices();
    if (std::find(versions.begin(), versions.end(), initial_.naxmlVersion) == versions.end())
        versions.push_back(initial_.naxmlVersion);
    return versions;
}

bool SiteSettingsForm::AskResetStartOfPolling() {
    if (!prompter_.AskYesNo(setup_.ProgramName(), kResetQuestion))
        return false;
    setup_.SetFileDateTime(DefaultFileDateTime());
    return true;
}

bool SiteSettingsForm::Accept(const SiteSettingsValues& values) {
    const SiteSettingsValues before = ValuesOf(setup_);
    CopyValuesInto(values, setup_);
    if (setup_.SaveSettings())
        return true;
    CopyValuesInto(before, setup_);
    FormatResourceMessageTo(errorMessages(), strings::kUnableToSavePollerSettings);
    return false;
}

}  // namespace tw
