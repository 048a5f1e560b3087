#pragma once
// The programs' numbered texts, kept with their original numbers so menus, status lines and
// messages read exactly as before.

namespace tw::strings {

inline constexpr int kMonitoringStopped = 1;  // "Monitoring stopped."
inline constexpr int kDocumentTemplate = 128;
inline constexpr int kStartingMonitoring = 130;  // "Starting monitoring of %s."
inline constexpr int kCmdStartPolling = 32771;
inline constexpr int kCmdStopPolling = 32772;
inline constexpr int kCmdSite = 32773;
inline constexpr int kCmdSetup = 32774;
inline constexpr int kCmdViewItemsToSend = 40001;
inline constexpr int kCmdViewItemsLastSent = 40002;
inline constexpr int kApplicationTitle = 57344;  // "Tidewell"
inline constexpr int kSiteTitle = 61204;         // "Site %d"
// Ravelin's texts.
inline constexpr int kRavelinCannotOpen = 61209;  // "Cannot open %s."
inline constexpr int kRavelinNoDocuments = 61212;
inline constexpr int kRavelinPathDoesNotExist = 61213;
inline constexpr int kRavelinUnableToCopy = 61214;  // "Unable to copy file %s to %s."
inline constexpr int kNoDocuments = 61222;
inline constexpr int kUnableToInitCom = 61223;
inline constexpr int kCannotOpenSite = 61224;
inline constexpr int kUnableToAllocateSetup = 61225;
inline constexpr int kUnableToSavePollerSettings = 61226;

// The text of a string identifier, or nullptr when the table has none.
const char* LoadString(int id);

}  // namespace tw::strings
