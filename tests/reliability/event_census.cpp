#include "event_census.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "ascii_case.h"
#include "tree_snapshot.h"

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Without(std::string text, char drop) {
    text.erase(std::remove(text.begin(), text.end(), drop), text.end());
    return text;
}

bool IsElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string(reinterpret_cast<const char*>(node->name)) == name;
}

const xmlNode* FindElement(const xmlNode* node, const char* name) {
    for (; node != nullptr; node = node->next) {
        if (IsElement(node, name))
            return node;
        if (const xmlNode* found = FindElement(node->children, name))
            return found;
    }
    return nullptr;
}

std::string ChildText(const xmlNode* parent, const char* name) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (!IsElement(child, name))
            continue;
        std::unique_ptr<xmlChar, void (*)(void*)> text(xmlNodeGetContent(child), xmlFree);
        return text ? Trimmed(reinterpret_cast<const char*>(text.get())) : std::string();
    }
    return {};
}

EventRecord RecordOf(const xmlNode* event) {
    const std::string date = ChildText(event, "EventEndDate");
    const std::string time = ChildText(event, "EventEndTime");
    const std::string registerId = ChildText(event, "RegisterID");
    const std::string transaction = ChildText(event, "TransactionID");
    EventRecord record;
    record.key = date + "|" + time + "|" + registerId + "|" + transaction + "|" +
                 reinterpret_cast<const char*>(event->name);
    record.fileName = "jrn" + Without(date, '-') + Without(time, ':') + "-" + registerId + "-" +
                      transaction + ".xml";
    if (date.size() == 10)
        record.dayFolder = date.substr(5, 2) + "/jrn" + date.substr(5, 2) + date.substr(8, 2);
    return record;
}

bool IsTwoDigits(const std::string& name) {
    return name.size() == 2 && std::isdigit(static_cast<unsigned char>(name[0])) &&
           std::isdigit(static_cast<unsigned char>(name[1]));
}

// Adds the events of one event file or archive entry. `folder` is where it lies, as the
// record's dayFolder would say it ("MM/jrnMMDD"; for an archive "MM/JRNMMDD.ZIP" is compared
// upper-cased).
void Count(EventCensus& census, const std::string& place, const std::string& bytes,
           const std::string& name, const std::string& folder, bool inArchive) {
    std::string error;
    const std::vector<EventRecord> events = EventsOfJournal(bytes, &error);
    if (events.size() != 1) {
        census.unreadable.push_back(
            place + (error.empty() ? ": holds " + std::to_string(events.size()) + " events"
                                   : ": " + error));
    }
    for (const EventRecord& event : events) {
        ++census.counts[event.key];
        census.places[event.key].push_back(place);
        const bool rightFolder = inArchive
                                     ? UpperAscii(event.dayFolder) + ".ZIP" == UpperAscii(folder)
                                     : event.dayFolder == folder;
        if (!rightFolder || event.fileName != name)
            census.misplaced.push_back(place + " holds " + event.key);
    }
}

}  // namespace

std::vector<EventRecord> EventsOfJournal(const std::string& xml, std::string* error) {
    std::vector<EventRecord> events;
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> document(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "events.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE),
        xmlFreeDoc);
    if (!document) {
        if (error != nullptr)
            *error = "not well-formed XML";
        return events;
    }
    const xmlNode* header = FindElement(xmlDocGetRootElement(document.get()), "JournalHeader");
    if (header == nullptr) {
        if (error != nullptr)
            *error = "no JournalHeader";
        return events;
    }
    for (const xmlNode* node = header->next; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE &&
            LowerAscii(reinterpret_cast<const char*>(node->name)).find("event") !=
                std::string::npos) {
            events.push_back(RecordOf(node));
        }
    }
    return events;
}

bool ReadZipEntries(const std::string& path, std::vector<ZipEntry>& entries, std::string* error) {
    entries.clear();
    unzFile zip = unzOpen64(path.c_str());
    if (zip == nullptr) {
        *error = "cannot be opened as a zip archive";
        return false;
    }
    int rc = unzGoToFirstFile(zip);
    while (rc == UNZ_OK) {
        char name[1024];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            *error = "an entry's header cannot be read";
            unzClose(zip);
            return false;
        }
        ZipEntry entry;
        entry.name = name;
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            char buffer[65536];
            int got = 0;
            while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
                entry.bytes.append(buffer, static_cast<std::size_t>(got));
            // unzCloseCurrentFile checks the CRC of an entry read to its end.
            entry.readable = unzCloseCurrentFile(zip) == UNZ_OK && got == 0 &&
                             entry.bytes.size() == info.uncompressed_size;
        }
        entries.push_back(std::move(entry));
        rc = unzGoToNextFile(zip);
    }
    unzClose(zip);
    if (rc != UNZ_END_OF_LIST_OF_FILE) {
        *error = "its directory cannot be walked";
        return false;
    }
    return true;
}

EventCensus TakeEventCensus(const std::string& data) {
    EventCensus census;
    std::error_code error;
    for (const auto& month : fs::directory_iterator(data, error)) {
        const std::string monthName = month.path().filename().string();
        if (!month.is_directory() || !IsTwoDigits(monthName))
            continue;
        for (const auto& item : fs::directory_iterator(month.path(), error)) {
            const std::string name = item.path().filename().string();
            const std::string upper = UpperAscii(name);
            const std::string relative = monthName + "/" + name;
            if (item.is_directory() && name.size() == 7 && upper.rfind("JRN", 0) == 0) {
                for (const auto& file : fs::directory_iterator(item.path(), error)) {
                    const std::string fileName = file.path().filename().string();
                    if (!file.is_regular_file() ||
                        UpperAscii(fs::path(fileName).extension().string()) != ".XML")
                        continue;
                    ++census.eventFiles;
                    Count(census, relative + "/" + fileName, ReadFileBytes(file.path().string()),
                          fileName, relative, false);
                }
            } else if (item.is_regular_file() && upper.size() == 11 && upper.rfind("JRN", 0) == 0 &&
                       upper.ends_with(".ZIP")) {
                std::vector<ZipEntry> entries;
                std::string why;
                if (!ReadZipEntries(item.path().string(), entries, &why)) {
                    census.unreadable.push_back(relative + ": " + why);
                    continue;
                }
                for (const ZipEntry& entry : entries) {
                    if (entry.name.ends_with("/"))
                        continue;  // the folder entry named after the day folder
                    ++census.archiveEntries;
                    const std::string place = relative + ":" + entry.name;
                    if (!entry.readable) {
                        census.unreadable.push_back(place + ": cannot be read whole");
                        continue;
                    }
                    Count(census, place, entry.bytes, entry.name, relative, true);
                }
            }
        }
    }
    return census;
}

}  // namespace tw::reliability
