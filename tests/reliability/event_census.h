#pragma once
// Sales events as the POS exported them and as the poller filed them, keyed the same way on
// both sides so that a lost or doubled sale shows as a key found zero or two times.
//
// An event is an element after the JournalHeader whose name contains "event" (any case). Its
// key is its EventEndDate, EventEndTime, RegisterID, TransactionID (trimmed) and element name.
// The oracle reads XML with libxml2 and archives with minizip directly, sharing no code with
// the poller it checks.

#include <map>
#include <string>
#include <vector>

namespace tw::reliability {

struct EventRecord {
    std::string key;
    std::string fileName;   // the event file name its content gives: jrnYYYYMMDDhhmmss-R-T.xml
    std::string dayFolder;  // "MM/jrnMMDD"
};

// The events of a journal (or of an event file, which is a journal of one event). Empty with
// *error set when the text is not well-formed XML or has no JournalHeader.
std::vector<EventRecord> EventsOfJournal(const std::string& xml, std::string* error);

struct ZipEntry {
    std::string name;
    std::string bytes;
    bool readable = false;  // read whole with a matching CRC
};

// Every entry of a zip archive with its contents. False with *error when the archive cannot be
// opened or its directory walked.
bool ReadZipEntries(const std::string& path, std::vector<ZipEntry>& entries, std::string* error);

struct EventCensus {
    std::map<std::string, int> counts;                       // key -> times found
    std::map<std::string, std::vector<std::string>> places;  // key -> where found
    // Event files or archive entries that do not hold exactly one readable event, and archives
    // that cannot be read.
    std::vector<std::string> unreadable;
    // Events under a file name, day folder or day archive that their content does not give.
    std::vector<std::string> misplaced;
    int eventFiles = 0;      // in day folders
    int archiveEntries = 0;  // event entries of day archives
};

// Reads the event files of the day folders data/MM/jrnMMDD/*.xml and the entries of the day
// archives data/MM/JRNMMDD.ZIP (the set-aside "-ERRn" copies are not filed events).
EventCensus TakeEventCensus(const std::string& data);

}  // namespace tw::reliability
