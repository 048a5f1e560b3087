#pragma once
// The poll monitor of a Radiant site: a single-pass PollerWaiter whose one pass fetches the
// POS's sales files and processes them (sales_intake.h, journal_processing.h), while the
// maintenance sender and the results reader run on two threads of their own.
//
// The three sides share no file system: the sales side uses the POS file system P1 and the back
// office's A, the sender B and P2, the reader P3 and a back-office file system of its own.

#include "messages/ui_interfaces.h"
#include "monitor/counted_ptr.h"
#include "monitor/pos_file_system.h"
#include "monitor/waiters.h"
#include "radiant/journal_processing.h"

namespace tw {
class RadiantSetup;
}

namespace tw::radiant {

// Builds the monitor. notify (may be null) hears the end of the pass and pumps while the UI
// thread waits; settings must be loaded and must outlive the monitor (the sales side advances
// and saves its FileDateTime); createRas makes the dial-up object when UseRas is set (may be
// empty: dialling then fails and is reported). Builds on the caller's thread; nothing runs
// until Start.
CountedPtr<PollerWaiter> BuildRadiantPollMonitor(UiBridge* notify, RadiantSetup& settings,
                                                 const RasAutomationFactory& createRas,
                                                 const JournalProcessingOptions& options = {});

// NaxmlVersion as a number in the C locale ("3.3" is 3.3); 0 when it is not one.
double NaxmlVersionNumber(const std::string& text);

}  // namespace tw::radiant
