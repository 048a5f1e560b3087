#include "messages/string_table.h"

namespace tw::strings {
namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry kTable[] = {
    {kMonitoringStopped, "Monitoring stopped."},
    {kDocumentTemplate, "Tidewell\n\nTidewell\n\n\nradiant.Document\nradiant Document"},
    {kStartingMonitoring, "Starting monitoring of %s."},
    {kCmdStartPolling, "Starts polling.\nStart Polling"},
    {kCmdStopPolling, "Stops polling.\nStop Polling"},
    {kCmdSite, "Sets up site number.\nSite"},
    {kCmdSetup, "Sets up site settings.\nSetup"},
    {kCmdViewItemsToSend, "View items to send.\nItems to Send"},
    {kCmdViewItemsLastSent, "View items last sent.\nItems Last Sent"},
    {kApplicationTitle, "Tidewell"},
    {kSiteTitle, "Site %d"},
    {kRavelinCannotOpen, "Cannot open %s."},
    {kRavelinNoDocuments, "No Documents: unable to create message objects."},
    {kRavelinPathDoesNotExist,
     "The path you specified does not exist.  Please enter a valid path."},
    {kRavelinUnableToCopy, "Unable to copy file %s to %s."},
    {kNoDocuments, "No Documents: unable to create message objects."},
    {kUnableToInitCom, "Unable to init COM."},
    {kCannotOpenSite, "Cannot open site."},
    {kUnableToAllocateSetup, "Unable to allocate setup object."},
    {kUnableToSavePollerSettings, "Unable to save poller settings."},
};

}  // namespace

const char* LoadString(int id) {
    for (const auto& entry : kTable) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}

}  // namespace tw::strings
