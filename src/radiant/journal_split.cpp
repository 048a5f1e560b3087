#include "radiant/journal_split.h"

#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/wildcard.h"

namespace tw::radiant {
namespace {

// Register and transaction IDs longer than this (in bytes) make no file name.
constexpr std::size_t kMaxEventIdBytes = 64;
constexpr const char* kJournalElement = "NAXML-POSJournal";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Leading decimal digits as a number, the way the header fields were always read ("3x" is 3,
// "x" is 0).
int LeadingNumber(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c) || value > 100000)
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "Z", "+HH:MM" or "-HH:MM" (or nothing).
bool IsTimeZoneOrEmpty(std::string_view text) {
    if (text.empty() || text == "Z")
        return true;
    return text.size() == 6 && (text[0] == '+' || text[0] == '-') && AllDigits(text.substr(1, 2)) &&
           text[3] == ':' && AllDigits(text.substr(4, 2));
}

bool NameContainsEvent(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("event") != std::string::npos;
}

// POS text fit for a message line: control characters replaced, at most 64 bytes.
std::string Printable(std::string_view text) {
    std::string out(text.substr(0, kMaxEventIdBytes));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return out;
}

std::string ChildText(XmlNode parent, std::string_view name) {
    return std::string(Trimmed(XmlDocument::Text(XmlDocument::ChildByLocalName(parent, name))));
}

bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE || node->content == nullptr)
        return false;
    for (const xmlChar* c = node->content; *c != 0; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r')
            return false;
    }
    return true;
}

// Drops the whitespace-only text of a copied subtree by the rule libxml2 applies when it parses
// a whole document without blanks: such text stays when it is an element's only content, when
// it follows text (mixed content) or precedes an entity reference, and under
// xml:space="preserve"; otherwise it is indentation and goes. Applied to what was read with the
// blanks kept, it gives the same files whether a journal is streamed or read whole, however
// the reader's buffers happen to fall.
void DropBlankText(xmlNodePtr element, bool preserve) {
    if (const xmlChar* space = xmlGetNsProp(element, BAD_CAST "space", XML_XML_NAMESPACE)) {
        preserve = xmlStrEqual(space, BAD_CAST "preserve")  ? true
                   : xmlStrEqual(space, BAD_CAST "default") ? false
                                                            : preserve;
        xmlFree(const_cast<xmlChar*>(space));
    }
    xmlNodePtr firstKept = nullptr;
    xmlNodePtr lastKept = nullptr;
    for (xmlNodePtr child = element->children; child != nullptr;) {
        xmlNodePtr next = child->next;
        bool keep = true;
        if (!preserve && IsBlankText(child)) {
            if (next != nullptr && next->type == XML_ENTITY_REF_NODE) {
                keep = true;
            } else if (lastKept == nullptr) {
                keep = next == nullptr;
            } else {
                keep = lastKept->type == XML_TEXT_NODE || firstKept->type == XML_TEXT_NODE;
            }
        }
        if (keep) {
            if (firstKept == nullptr)
                firstKept = child;
            lastKept = child;
            if (child->type == XML_ELEMENT_NODE)
                DropBlankText(child, preserve);
        } else {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        child = next;
    }
}

// Whether xml:space="preserve" holds at node (from its ancestors or itself).
bool PreservesSpace(XmlNode node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && xmlNodeGetSpacePreserve(node) == 1;
}

// Reading options: the safe ones, with the blanks kept for DropBlankText.
int SplitReadingOptions() {
    return SafeXmlParseOptions() & ~XML_PARSE_NOBLANKS;
}

// libxml2's streaming reader over one file with the safe options, remembering the first error.
class StreamingReader {
public:
    explicit StreamingReader(const std::string& path) : path_(path) {
        file_ = std::fopen(path.c_str(), "rb");
        if (file_ == nullptr) {
            const int error = errno;
            error_ = {error, 0, 0, SystemErrorText(error), path};
            failed_ = true;
            return;
        }
        reader_ = xmlReaderForIO(&StreamingReader::ReadBytes, nullptr, file_, path.c_str(), nullptr,
                                 SplitReadingOptions());
        if (reader_ == nullptr) {
            error_ = {ENOMEM, 0, 0, "Unable to create an XML reader", path};
            failed_ = true;
            return;
        }
        xmlTextReaderSetStructuredErrorHandler(reader_, &StreamingReader::OnError, this);
    }
    ~StreamingReader() {
        if (reader_ != nullptr)
            xmlFreeTextReader(reader_);
        if (file_ != nullptr)
            std::fclose(file_);
    }
    StreamingReader(const StreamingReader&) = delete;
    StreamingReader& operator=(const StreamingReader&) = delete;

    bool Usable() const { return reader_ != nullptr; }
    xmlTextReaderPtr Get() const { return reader_; }
    // Errors and fatal errors count (an undeclared prefix too), warnings do not.
    bool Failed() const { return failed_; }
    void FailUnlessKnown(const char* reason) {
        if (!failed_)
            error_ = {XML_ERR_INTERNAL_ERROR, 0, 0, reason, path_};
        failed_ = true;
    }
    const XmlParseError& Error() const { return error_; }

private:
    static int ReadBytes(void* context, char* buffer, int length) {
        auto* file = static_cast<std::FILE*>(context);
        const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(length), file);
        if (got == 0 && std::ferror(file))
            return -1;
        return static_cast<int>(got);
    }
    static void OnError(void* context, xmlErrorPtr error) {
        auto* self = static_cast<StreamingReader*>(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || self->failed_)
            return;
        std::string reason = error->message ? error->message : "";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
            reason.pop_back();
        }
        self->error_ = {error->code, error->line, error->int2, reason, self->path_};
        self->failed_ = true;
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    xmlTextReaderPtr reader_ = nullptr;
    XmlParseError error_;
    bool failed_ = false;
    RefuseExternalEntities refuse_;
};

// The current element's local name: a prefix ("n:SaleEvent") is not part of it.
std::string ReaderName(xmlTextReaderPtr reader) {
    const xmlChar* name = xmlTextReaderConstLocalName(reader);
    return name ? reinterpret_cast<const char*>(name) : "";
}

std::string ReaderNamespace(xmlTextReaderPtr reader) {
    const xmlChar* uri = xmlTextReaderConstNamespaceUri(reader);
    return uri ? reinterpret_cast<const char*>(uri) : "";
}

}  // namespace

// ---- names ----

platform::OleDate HeaderDateTime(std::string_view date, std::string_view time) {
    std::string digits;
    for (char c : date) {
        if (c != '-')
            digits += c;
    }
    if (digits.size() < 8)
        return platform::OleDate::Invalid();
    const std::string_view view(digits);
    const int year = LeadingNumber(view.substr(0, 4));
    const int month = LeadingNumber(view.substr(4, 2));
    const int day = LeadingNumber(view.substr(6, 2));
    int hour = 0, minute = 0;
    if (time.size() >= 5) {
        hour = LeadingNumber(time.substr(0, 2));
        minute = LeadingNumber(time.substr(3, 2));
    }
    return platform::OleDate::FromCivil(year, month, day, hour, minute, 0);
}

std::optional<EventDate> ParseEventDate(std::string_view text) {
    text = Trimmed(text);
    if (text.size() < 10 || !AllDigits(text.substr(0, 4)) || text[4] != '-' ||
        !AllDigits(text.substr(5, 2)) || text[7] != '-' || !AllDigits(text.substr(8, 2)) ||
        !IsTimeZoneOrEmpty(text.substr(10))) {
        return std::nullopt;
    }
    EventDate date{std::string(text.substr(0, 4)), std::string(text.substr(5, 2)),
                   std::string(text.substr(8, 2))};
    if (!platform::OleDate::FromCivil(LeadingNumber(date.year), LeadingNumber(date.month),
                                      LeadingNumber(date.day))
             .IsValid()) {
        return std::nullopt;
    }
    return date;
}

std::optional<std::string> ParseEventTime(std::string_view text) {
    text = Trimmed(text);
    if (text.size() < 8 || !AllDigits(text.substr(0, 2)) || text[2] != ':' ||
        !AllDigits(text.substr(3, 2)) || text[5] != ':' || !AllDigits(text.substr(6, 2))) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(8);
    if (!rest.empty() && rest.front() == '.') {
        std::size_t digits = 1;
        while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
        if (digits == 1)
            return std::nullopt;
        rest.remove_prefix(digits);
    }
    if (!IsTimeZoneOrEmpty(rest))
        return std::nullopt;
    if (LeadingNumber(text.substr(0, 2)) > 23 || LeadingNumber(text.substr(3, 2)) > 59 ||
        LeadingNumber(text.substr(6, 2)) > 59) {
        return std::nullopt;
    }
    std::string hhmmss;
    hhmmss.append(text.substr(0, 2)).append(text.substr(3, 2)).append(text.substr(6, 2));
    return hhmmss;
}

bool IsUsableEventId(std::string_view id) {
    return id.empty() || platform::IsSafeFileName(id, kMaxEventIdBytes);
}

std::string EventFileStem(const EventDate& date, std::string_view hhmmss,
                          std::string_view registerId, std::string_view transactionId) {
    std::string stem = "jrn" + date.year + date.month + date.day;
    stem.append(hhmmss).append("-").append(registerId).append("-").append(transactionId);
    return stem;
}

// ---- survey ----

XmlFileSurvey SurveyXmlFile(const std::string& path) {
    XmlFileSurvey survey;
    StreamingReader reader(path);
    if (!reader.Usable()) {
        survey.error = reader.Error();
        return survey;
    }
    struct Watched {
        const char* name;
        XmlFileSurvey::Occurrence* occurrence;
        int depth = -1;  // of the open element, -1 when not open
    };
    Watched watched[] = {{kJournalElement, &survey.root},
                         {"TransmissionHeader", &survey.transmission},
                         {"JournalHeader", &survey.header},
                         {"JournalReport", &survey.report}};
    std::string journalNamespace;
    bool documentElementSeen = false;
    std::int64_t count = 0;
    int status;
    while ((status = xmlTextReaderRead(reader.Get())) == 1) {
        ++count;
        const int type = xmlTextReaderNodeType(reader.Get());
        if (type == XML_READER_TYPE_DOCUMENT_TYPE && !documentElementSeen) {
            survey.hasDoctype = true;
        } else if (type == XML_READER_TYPE_ELEMENT) {
            const std::string name = ReaderName(reader.Get());
            if (!documentElementSeen) {
                documentElementSeen = true;
                survey.rootIsJournal = platform::EqualsIgnoreCase(name, kJournalElement);
            }
            if (!survey.hasMovementHeader && platform::EqualsIgnoreCase(name, "MovementHeader")) {
                survey.hasMovementHeader = true;
            }
            for (auto& part : watched) {
                if (part.occurrence->found || !platform::EqualsIgnoreCase(name, part.name)) {
                    continue;
                }
                if (part.occurrence == &survey.root) {
                    journalNamespace = ReaderNamespace(reader.Get());
                } else if (!survey.root.found ||
                           ReaderNamespace(reader.Get()) != journalNamespace) {
                    continue;  // not a part of the journal
                }
                part.occurrence->found = true;
                part.occurrence->start = part.occurrence->end = count;
                if (!xmlTextReaderIsEmptyElement(reader.Get())) {
                    part.depth = xmlTextReaderDepth(reader.Get());
                }
            }
        } else if (type == XML_READER_TYPE_END_ELEMENT) {
            const int depth = xmlTextReaderDepth(reader.Get());
            for (auto& part : watched) {
                if (part.depth == depth) {
                    part.occurrence->end = count;
                    part.depth = -1;
                }
            }
        }
    }
    if (status != 0)
        reader.FailUnlessKnown("The file could not be read to its end");
    survey.wellFormed = !reader.Failed();
    if (!survey.wellFormed)
        survey.error = reader.Error();
    return survey;
}

// ---- the event documents ----

// The document every event file is made of, built once per journal: the root element, the
// transmission header, the report element and the journal header; each event is put under the
// report element in turn and the whole document serialised.
class JournalSplitter::EventWriter {
public:
    void SetRoot(XmlNode root) {
        root_ = document_.AppendCopy(document_.DocumentNode(), root, false);
    }
    void AddTransmission(XmlNode transmission) {
        if (root_ != nullptr)
            DeepCopy(root_, transmission);
    }
    void SetReport(XmlNode report) {
        if (root_ != nullptr)
            report_ = document_.AppendCopy(root_, report, false);
    }
    void AddHeader(XmlNode header) {
        if (report_ != nullptr)
            DeepCopy(report_, header);
    }
    bool Ready() const { return report_ != nullptr; }

    std::string Document(XmlNode event) {
        XmlNode copy = DeepCopy(report_, event);
        std::string text = document_.Xml(true);
        XmlDocument::Remove(copy);
        return text;
    }

private:
    XmlNode DeepCopy(XmlNode parent, XmlNode source) {
        XmlNode copy = document_.AppendCopy(parent, source, true);
        if (copy != nullptr && copy->type == XML_ELEMENT_NODE) {
            DropBlankText(copy, PreservesSpace(source->parent));
        }
        return copy;
    }

    XmlDocument document_;
    XmlNode root_ = nullptr;
    XmlNode report_ = nullptr;
};

// ---- JournalSplitter ----

JournalSplitter::JournalSplitter(std::string dataDirectory, platform::FileEnv* env)
    : dataDirectory_(platform::AddSeparator(dataDirectory)),
      store_(env != nullptr ? *env : platform::DefaultFileEnv(), dataDirectory_) {}

void JournalSplitter::Reset() {
    written_ = alreadyFiled_ = refused_ = failed_ = 0;
    readFailed_ = false;
    // The day folders may have been archived and removed since the last journal.
    store_.Forget();
    headerEndDate_.clear();
    headerEndTime_.clear();
}

JournalHeaderTimes JournalSplitter::ReadHeader(XmlNode header, EventWriter& writer) {
    writer.AddHeader(header);
    headerEndDate_ = ChildText(header, "EndDate");
    headerEndTime_ = ChildText(header, "EndTime");
    JournalHeaderTimes times;
    times.endTime = HeaderDateTime(headerEndDate_, headerEndTime_);
    times.beginTime =
        HeaderDateTime(ChildText(header, "BeginDate"), ChildText(header, "BeginTime"));
    if (auto date = ParseEventDate(headerEndDate_))
        store_.EnsureMonthFolder(date->month);
    return times;
}

void JournalSplitter::WriteEvent(EventWriter& writer, XmlNode event,
                                 const std::string& journalPath) {
    const std::string transaction = ChildText(event, "TransactionID");
    const std::string registerId = ChildText(event, "RegisterID");
    auto date = ParseEventDate(ChildText(event, "EventEndDate"));
    if (!date)
        date = ParseEventDate(headerEndDate_);
    auto time = ParseEventTime(ChildText(event, "EventEndTime"));
    if (!time)
        time = ParseEventTime(headerEndTime_);
    if (!date) {
        FormatMessageTo(
            errorMessages(), "Event %s-%s of %s has no usable end date; it was not split.",
            Printable(registerId).c_str(), Printable(transaction).c_str(), journalPath.c_str());
        ++refused_;
        return;
    }
    if (!IsUsableEventId(registerId) || !IsUsableEventId(transaction)) {
        FormatMessageTo(errorMessages(),
                        "Event %s-%s of %s has an unusable register or transaction ID; it was "
                        "not split.",
                        Printable(registerId).c_str(), Printable(transaction).c_str(),
                        journalPath.c_str());
        ++refused_;
        return;
    }
    const std::string stem = EventFileStem(*date, time.value_or(""), registerId, transaction);
    const EventFileStore::Result placed =
        store_.Place(date->month, date->day, stem, writer.Document(event));
    FormatMessageTo(logMessages(), "Split to: %s", placed.path.c_str());
    switch (placed.placed) {
        case EventFileStore::Placed::Written:
            ++written_;
            break;
        case EventFileStore::Placed::AlreadyFiled:
            ++alreadyFiled_;
            break;
        case EventFileStore::Placed::Failed:
            FormatMessageTo(errorMessages(), "Save file %s failed.", placed.path.c_str());
            ++failed_;
            break;
    }
}

JournalHeaderTimes JournalSplitter::Split(const std::string& path, const XmlFileSurvey& survey) {
    Reset();
    if (!survey.root.found) {
        SendMessageText(logMessages(), "NAXML-POSJournal tag not found");
        return {};
    }
    if (!survey.report.found) {
        SendMessageText(logMessages(), "JournalReport tag not found.");
        return {};
    }
    if (!survey.header.found) {
        SendMessageText(logMessages(), "JournalHeader tag not found");
        return {};
    }
    if (CanStream(survey))
        return SplitStreaming(path, survey);
    XmlDocument journal;
    if (!journal.Load(path, true)) {
        readFailed_ = true;
        return {};
    }
    return SplitDocument(journal);
}

bool JournalSplitter::CanStream(const XmlFileSurvey& survey) const {
    // The streaming reader meets the parts in document order and forgets what it has passed:
    // it serves when the root, the transmission header and the report element all come before
    // the journal header, in the order they are assembled, none inside another that is
    // copied whole.
    const auto& root = survey.root;
    const auto& transmission = survey.transmission;
    const auto& report = survey.report;
    const auto& header = survey.header;
    if (!(root.start < report.start && report.start < header.start))
        return false;
    if (transmission.found &&
        !(root.start < transmission.start && transmission.end < report.start)) {
        return false;
    }
    return true;
}

JournalHeaderTimes JournalSplitter::SplitStreaming(const std::string& path,
                                                   const XmlFileSurvey& survey) {
    StreamingReader reader(path);
    if (!reader.Usable()) {
        SendMessageText(logMessages(), FormatXmlParseError(reader.Error()));
        return {};
    }
    xmlTextReaderPtr stream = reader.Get();
    EventWriter writer;
    JournalHeaderTimes times;
    bool rootSeen = false, transmissionSeen = !survey.transmission.found, reportSeen = false;
    std::string journalNamespace;
    int status = xmlTextReaderRead(stream);
    // The parts before the journal header.
    while (status == 1) {
        if (xmlTextReaderNodeType(stream) != XML_READER_TYPE_ELEMENT) {
            status = xmlTextReaderRead(stream);
            continue;
        }
        const std::string name = ReaderName(stream);
        const bool inJournal = rootSeen && ReaderNamespace(stream) == journalNamespace;
        if (!rootSeen && platform::EqualsIgnoreCase(name, kJournalElement)) {
            writer.SetRoot(xmlTextReaderCurrentNode(stream));
            journalNamespace = ReaderNamespace(stream);
            rootSeen = true;
        } else if (!inJournal) {
            // Not a part of the journal: read on.
        } else if (!transmissionSeen && platform::EqualsIgnoreCase(name, "TransmissionHeader")) {
            XmlNode transmission = xmlTextReaderExpand(stream);
            if (transmission == nullptr) {
                status = -1;
                break;
            }
            writer.AddTransmission(transmission);
            transmissionSeen = true;
            status = xmlTextReaderNext(stream);
            continue;
        } else if (!reportSeen && platform::EqualsIgnoreCase(name, "JournalReport")) {
            writer.SetReport(xmlTextReaderCurrentNode(stream));
            reportSeen = true;
        } else if (platform::EqualsIgnoreCase(name, "JournalHeader")) {
            break;
        }
        status = xmlTextReaderRead(stream);
    }
    XmlNode header = status == 1 ? xmlTextReaderExpand(stream) : nullptr;
    if (header == nullptr || !writer.Ready()) {
        reader.FailUnlessKnown("The journal changed while it was split");
        SendMessageText(logMessages(), FormatXmlParseError(reader.Error()));
        readFailed_ = true;
        return times;
    }
    times = ReadHeader(header, writer);
    const int headerDepth = xmlTextReaderDepth(stream);
    // The header's following siblings: the events.
    status = xmlTextReaderNext(stream);
    while (status == 1 && xmlTextReaderDepth(stream) == headerDepth &&
           xmlTextReaderNodeType(stream) != XML_READER_TYPE_END_ELEMENT) {
        if (xmlTextReaderNodeType(stream) == XML_READER_TYPE_ELEMENT &&
            NameContainsEvent(ReaderName(stream))) {
            XmlNode event = xmlTextReaderExpand(stream);
            if (event == nullptr) {
                status = -1;
                break;
            }
            WriteEvent(writer, event, path);
        }
        status = xmlTextReaderNext(stream);
    }
    if (status == -1 || reader.Failed()) {
        reader.FailUnlessKnown("The journal changed while it was split");
        SendMessageText(logMessages(), FormatXmlParseError(reader.Error()));
        readFailed_ = true;
    }
    return times;
}

JournalHeaderTimes JournalSplitter::SplitDocument(const XmlDocument& journal) {
    Reset();
    const XmlNode start = journal.DocumentNode();
    const XmlNode root = XmlDocument::FindByLocalName(start, kJournalElement);
    if (root == nullptr) {
        SendMessageText(logMessages(), "NAXML-POSJournal tag not found");
        return {};
    }
    const std::string journalNamespace = XmlDocument::NamespaceUri(root);
    const XmlNode transmission =
        XmlDocument::FindByLocalName(start, "TransmissionHeader", &journalNamespace);
    const XmlNode header = XmlDocument::FindByLocalName(start, "JournalHeader", &journalNamespace);
    const XmlNode report = XmlDocument::FindByLocalName(start, "JournalReport", &journalNamespace);
    if (report == nullptr) {
        SendMessageText(logMessages(), "JournalReport tag not found.");
        return {};
    }
    if (header == nullptr) {
        SendMessageText(logMessages(), "JournalHeader tag not found");
        return {};
    }
    EventWriter writer;
    writer.SetRoot(root);
    if (transmission != nullptr)
        writer.AddTransmission(transmission);
    writer.SetReport(report);
    const JournalHeaderTimes times = ReadHeader(header, writer);
    const std::string journalPath = journal.Raw()->URL != nullptr
                                        ? reinterpret_cast<const char*>(journal.Raw()->URL)
                                        : std::string();
    for (XmlNode node = header->next; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && NameContainsEvent(XmlDocument::LocalName(node))) {
            WriteEvent(writer, node, journalPath);
        }
    }
    return times;
}

}  // namespace tw::radiant
