#pragma once
// Splitting a POS journal into one file per transaction event.
//
// A journal ("NAXML-POSJournal") carries a TransmissionHeader, and in its JournalReport a
// JournalHeader followed by the events (SaleEvent, RefundEvent, VoidEvent, ...). Every event
// becomes a small document of its own: the journal's root element (attributes and namespace
// declarations, no children), a copy of the TransmissionHeader, the JournalReport element
// without children holding a copy of the JournalHeader and of the event. It is saved as
//   <data directory>MM/jrnMMDD/jrn<YYYYMMDD><HHMMSS>-<RegisterID>-<TransactionID>.xml
// from the event's EventEndDate and EventEndTime (event_files.h: collision names, idempotence).
// The day folders are archived afterwards.
//
// Elements are recognised by their local names, whatever prefix the journal gives them; the
// parts of the journal must be in the journal element's namespace.
//
// Names come from POS data and are checked before they become paths: dates and times must be
// well-formed, and register and transaction IDs must be safe as part of a file name (no path
// separator, control character or character a Windows share refuses, no leading dot, at most 64
// bytes; letters of any language and blanks are fine). An event without a usable end date (or
// time) takes the JournalHeader's end date (or time; without one the name has no time); an
// event that still has no usable name is refused: reported to errorMessages() and not written
// (the caller keeps the journal whole). An event that could not be written (a full disk) is
// reported to errorMessages() as "Save file %s failed.": the caller must not file the journal,
// so that it is split again. Nothing is written outside the data directory.
//
// Journals are read with libxml2's streaming reader, one event at a time, so memory stays
// small whatever the journal's size; a journal whose parts are not in the usual order is read
// as a whole document instead, with the same result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "naxml/xml_document.h"
#include "platform/file_env.h"
#include "platform/ole_date.h"
#include "radiant/event_files.h"

namespace tw::radiant {

// The report period of a journal or movement report, each time with its validity.
struct JournalHeaderTimes {
    platform::OleDate endTime = platform::OleDate::Invalid();
    platform::OleDate beginTime = platform::OleDate::Invalid();
};

// A date-time from a header's date and time texts: the date without its "-" characters must
// have at least 8 characters (year 1-4, month 5-6, day 7-8), the time at least 5 (hour 1-2,
// minute 4-5; otherwise 00:00); seconds are 0. Invalid when the parts do not form a date.
platform::OleDate HeaderDateTime(std::string_view date, std::string_view time);

// The parts of an event file's name.
struct EventDate {
    std::string year, month, day;  // "2026", "03", "05"
};
// "YYYY-MM-DD" forming a calendar date, optionally followed by a time zone ("Z", "+01:00").
std::optional<EventDate> ParseEventDate(std::string_view text);
// "HH:MM:SS", optionally with a fraction of a second and a time zone, as "HHMMSS".
std::optional<std::string> ParseEventTime(std::string_view text);
// A register or transaction ID that may be part of a file name (an empty one may).
bool IsUsableEventId(std::string_view id);
// The name of an event file without ".xml": "jrn<YYYYMMDD><HHMMSS>-<register>-<transaction>".
std::string EventFileStem(const EventDate& date, std::string_view hhmmss,
                          std::string_view registerId, std::string_view transactionId);

// What one streaming read of an XML file found: whether it is well-formed, whether it holds a
// MovementHeader, whether its document element is a journal, and where the first element of each
// journal part lies (by the order of the reader's nodes). Elements are matched by local name
// without regard to case; the parts (TransmissionHeader, JournalHeader, JournalReport) only in
// the namespace of the first NAXML-POSJournal element.
struct XmlFileSurvey {
    struct Occurrence {
        bool found = false;
        std::int64_t start = 0;  // the element's node number
        std::int64_t end = 0;    // the number of its end (its start when it is empty)
        bool Contains(const Occurrence& other) const {
            return found && other.found && other.start > start && other.start <= end;
        }
    };
    bool wellFormed = false;
    XmlParseError error;  // when not well-formed
    bool hasMovementHeader = false;
    bool rootIsJournal = false;  // the document element is a NAXML-POSJournal
    bool hasDoctype = false;     // a document type declaration precedes the document element
    Occurrence root, transmission, header, report;
};
// Reads the whole file once.
XmlFileSurvey SurveyXmlFile(const std::string& path);

// Splits journals into event files under one data directory. Used by one thread at a time.
class JournalSplitter {
public:
    // dataDirectory: a local directory ending in '/'. env (not owned; null: the real file
    // system) must outlive the splitter.
    explicit JournalSplitter(std::string dataDirectory, platform::FileEnv* env = nullptr);

    // Splits the journal at path, whose survey says it is well-formed. Reports
    // "NAXML-POSJournal tag not found", "JournalReport tag not found." and "JournalHeader tag
    // not found" to logMessages(); the times are then invalid (also for a missing header).
    // "Split to: %s" precedes every event file, "Save file %s failed." (to errorMessages())
    // follows a failed save.
    JournalHeaderTimes Split(const std::string& path, const XmlFileSurvey& survey);
    // The same over a loaded document (the way taken when streaming cannot keep the order),
    // loaded with its blank text kept (XmlDocument::Load(path, true)).
    JournalHeaderTimes SplitDocument(const XmlDocument& journal);

    // Counts of the last Split: event files written; events already filed before (the same
    // bytes in the day folder or archive); events refused for an unusable name; events whose
    // save failed; whether the journal could not be read to its end.
    int EventsWritten() const { return written_; }
    int EventsAlreadyFiled() const { return alreadyFiled_; }
    int EventsRefused() const { return refused_; }
    int EventsFailed() const { return failed_; }
    bool ReadFailed() const { return readFailed_; }

private:
    class EventWriter;

    JournalHeaderTimes SplitStreaming(const std::string& path, const XmlFileSurvey& survey);
    bool CanStream(const XmlFileSurvey& survey) const;
    JournalHeaderTimes ReadHeader(XmlNode header, EventWriter& writer);
    void WriteEvent(EventWriter& writer, XmlNode event, const std::string& journalPath);
    void Reset();

    std::string dataDirectory_;
    EventFileStore store_;
    std::string headerEndDate_, headerEndTime_;
    int written_ = 0;
    int alreadyFiled_ = 0;
    int refused_ = 0;
    int failed_ = 0;
    bool readFailed_ = false;
};

}  // namespace tw::radiant
