#include "consume.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "export_files.h"
#include "platform/file_ops.h"
#include "platform/ole_date.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "xml_text.h"

namespace tw::possim {

namespace {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// Parses without touching the network, without loading external DTDs or
// substituting entities: a delivery is data, never instructions to fetch more.
DocPtr ParseXml(const std::string& bytes, std::string* error) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        *error = "file too large";
        return nullptr;
    }
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        *error = "out of memory";
        return nullptr;
    }
    DocPtr doc(xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                 nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        const xmlError* last = xmlCtxtGetLastError(context);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "not well-formed XML (line %d)",
                      last ? last->line : 0);
        *error = buffer;
        if (last && last->message) {
            std::string message = last->message;
            while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
                message.pop_back();
            }
            *error += ": " + message;
        }
    }
    xmlFreeParserCtxt(context);
    return doc;
}

bool NameIs(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

std::string Trimmed(std::string text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.back())) {
        text.pop_back();
    }
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first])) {
        ++first;
    }
    return text.substr(first);
}

std::string TextOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return Trimmed(std::move(text));
}

const xmlNode* FindDescendant(const xmlNode* node, std::string_view name) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (NameIs(child, name)) {
            return child;
        }
        if (const xmlNode* found = FindDescendant(child, name)) {
            return found;
        }
    }
    return nullptr;
}

void CollectElements(const xmlNode* node, std::string_view name, std::vector<const xmlNode*>& out) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (NameIs(child, name)) {
            out.push_back(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            CollectElements(child, name, out);
        }
    }
}

// The maintenance tables, in the order the results list them.
struct TableRule {
    std::string_view code;
    std::string_view key;  // the element that identifies a record
};
constexpr std::array<TableRule, 5> kTables = {{
    {"MCT", "MerchandiseCode"},
    {"ITT", "POSCode"},
    {"ILT", "ItemListID"},
    {"MMT", "MixMatchDescription"},
    {"CBT", "ComboID"},
}};

struct Counts {
    long success = 0, warn = 0, fail = 0;
};

struct TableResult {
    Counts naxmlDb, lhSiteDb;
    long records = 0;
};

struct ResultError {
    std::string table, file, record, text;
};

class Delivery {
public:
    explicit Delivery(const ConsumeOptions& options) : options_(options) {}

    // Imports one listed file that exists; a file that cannot be read or parsed
    // fails once.
    void Import(const std::string& name, const std::string& path) {
        const std::size_t table = TableOf(name);
        if (table == kTables.size()) {
            AddError("", name, "", "Unknown maintenance table.");
            return;
        }
        const auto bytes = platform::ReadFile(path);
        if (!bytes) {
            FailFile(table, name, "Cannot read the file: " + platform::SystemErrorText(errno));
            return;
        }
        std::string error;
        const DocPtr doc = ParseXml(*bytes, &error);
        if (!doc) {
            FailFile(table, name, error);
            return;
        }
        const xmlNode* root = xmlDocGetRootElement(doc.get());
        if (!root || !NameIs(root, "NAXML-MaintenanceRequest")) {
            FailFile(table, name, "The root element is not NAXML-MaintenanceRequest.");
            return;
        }
        std::vector<const xmlNode*> details;
        CollectElements(root, std::string(kTables[table].code) + "Detail", details);
        for (const xmlNode* detail : details) {
            ImportRecord(table, name, detail);
        }
    }

    void Missing(const std::string& name, const std::string& why) {
        const std::size_t table = TableOf(name);
        if (table == kTables.size()) {
            AddError("", name, "", why);
        } else {
            FailFile(table, name, why);
        }
    }

    void Write(XmlTextWriter& xml, const std::string& semaphore, const LocalTime& when) const {
        xml.Prolog();
        xml.Open("ImportLog", {{"version", "3.4"}});
        xml.Leaf("SemaphoreFile", semaphore);
        xml.Leaf("ImportDate", when.Date());
        xml.Leaf("ImportTime", when.Time());
        xml.Open("counts");
        for (std::size_t i = 0; i < kTables.size(); ++i) {
            const TableResult& result = results_[i];
            xml.Open(std::string(kTables[i].code) + "Detail");
            WriteCount(xml, "success", result.naxmlDb.success, result.lhSiteDb.success);
            WriteCount(xml, "warn", result.naxmlDb.warn, result.lhSiteDb.warn);
            WriteCount(xml, "fail", result.naxmlDb.fail, result.lhSiteDb.fail);
            xml.Close();
        }
        xml.Close();
        xml.Open("errors");
        for (const ResultError& error : errors_) {
            xml.Leaf("error", error.text,
                     {{"table", error.table}, {"file", error.file}, {"record", error.record}});
        }
        xml.CloseAll();
    }

private:
    static std::size_t TableOf(const std::string& name) {
        for (std::size_t i = 0; i < kTables.size(); ++i) {
            if (name.size() >= 3 &&
                platform::EqualsIgnoreCase(name.substr(0, 3), kTables[i].code)) {
                return i;
            }
        }
        return kTables.size();
    }

    static void WriteCount(XmlTextWriter& xml, std::string_view name, long naxml, long site) {
        const std::string a = std::to_string(naxml);
        const std::string b = std::to_string(site);
        xml.Empty(name, {{"NAXMLDB", a}, {"LHSITEDB", b}});
    }

    void ImportRecord(std::size_t table, const std::string& file, const xmlNode* detail) {
        TableResult& result = results_[table];
        const long number = ++result.records;
        const std::string record = std::to_string(number);
        const xmlNode* key = FindDescendant(detail, kTables[table].key);
        if (!key || TextOf(key).empty()) {
            ++result.naxmlDb.fail;
            ++result.lhSiteDb.fail;
            AddError(kTables[table].code, file, record,
                     "Missing " + std::string(kTables[table].key) + ".");
            return;
        }
        const bool warn = options_.warnEvery > 0 && number % options_.warnEvery == 0;
        const bool reject = options_.rejectEvery > 0 && number % options_.rejectEvery == 0;
        ++(warn ? result.naxmlDb.warn : result.naxmlDb.success);
        if (reject) {
            ++result.lhSiteDb.fail;
            AddError(kTables[table].code, file, record,
                     "Record " + TextOf(key) + " rejected by the site database.");
        } else {
            ++(warn ? result.lhSiteDb.warn : result.lhSiteDb.success);
        }
        if (warn) {
            AddError(kTables[table].code, file, record,
                     "Record " + TextOf(key) + " accepted with a warning.");
        }
    }

    void FailFile(std::size_t table, const std::string& file, const std::string& why) {
        ++results_[table].naxmlDb.fail;
        ++results_[table].lhSiteDb.fail;
        AddError(kTables[table].code, file, "", why);
    }

    void AddError(std::string_view table, const std::string& file, const std::string& record,
                  const std::string& text) {
        errors_.push_back({std::string(table), file, record, text});
    }

    const ConsumeOptions& options_;
    std::array<TableResult, kTables.size()> results_{};
    std::vector<ResultError> errors_;
};

LocalTime CurrentLocalTime() {
    platform::CivilTime civil;
    platform::OleDate::Now().ToCivil(civil);
    return LocalTime::FromCivil(
        {civil.year, civil.month, civil.day, civil.hour, civil.minute, civil.second});
}

// The names listed by a semaphore, or nothing when it is not a file list.
std::optional<std::vector<std::string>> ReadFileList(const std::string& path, std::string* error) {
    const auto bytes = platform::ReadFile(path);
    if (!bytes) {
        *error = platform::SystemErrorText(errno);
        return std::nullopt;
    }
    const DocPtr doc = ParseXml(*bytes, error);
    if (!doc) {
        return std::nullopt;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || !NameIs(root, "FileList")) {
        *error = "the root element is not FileList";
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (NameIs(child, "File")) {
            names.push_back(TextOf(child));
        }
    }
    return names;
}

}  // namespace

ConsumeOutcome ConsumeDeliveries(const ConsumeOptions& options) {
    ConsumeOutcome outcome;
    const std::string& directory = options.importDirectory;
    std::vector<platform::DirEntry> entries;
    int err = 0;
    if (!platform::ListDirectory(directory, entries, &err)) {
        outcome.ok = false;
        outcome.problems.push_back(directory + ": " + platform::SystemErrorText(err));
        return outcome;
    }
    std::vector<std::string> semaphores;
    for (const auto& entry : entries) {
        if (!entry.isDirectory && platform::MatchMask("SEM*.XML", entry.name)) {
            semaphores.push_back(entry.name);
        }
    }
    std::sort(semaphores.begin(), semaphores.end());

    LocalTime stamp = options.resultsTime ? *options.resultsTime : CurrentLocalTime();
    for (const std::string& semaphore : semaphores) {
        const std::string semaphorePath = platform::JoinPath(directory, semaphore);
        std::string error;
        const auto names = ReadFileList(semaphorePath, &error);
        if (!names) {
            outcome.ok = false;
            outcome.problems.push_back(semaphorePath + ": " + error + "; left in place");
            continue;
        }

        Delivery delivery(options);
        std::vector<std::string> imported;
        for (const std::string& name : *names) {
            if (!IsPlainFileName(name)) {
                outcome.problems.push_back(semaphore + " lists \"" + name +
                                           "\", which is not a plain file name");
                delivery.Missing(name, "Not a plain file name.");
                continue;
            }
            const auto existing = platform::FindExistingName(directory, name);
            if (!existing) {
                outcome.problems.push_back(semaphore + " lists " + name + ", which is missing");
                delivery.Missing(name, "File not found.");
                continue;
            }
            const std::string path = platform::JoinPath(directory, *existing);
            delivery.Import(name, path);
            imported.push_back(path);
        }

        // Never overwrite earlier results that the poller has not fetched yet.
        std::string resultsName;
        for (;;) {
            resultsName = "ILG" + stamp.Stamp14() + ".XML";
            stamp = stamp.Plus(1);
            if (!platform::FindExistingName(directory, resultsName)) {
                break;
            }
        }
        const LocalTime written = stamp.Plus(-1);
        const std::string resultsPath = platform::JoinPath(directory, resultsName);
        XmlOutputFile file(resultsPath);
        XmlTextWriter xml(XmlStyle{});
        delivery.Write(xml, semaphore, written);
        if (!file.Open() || !file.Finish(xml)) {
            outcome.ok = false;
            outcome.problems.push_back(file.ErrorText() + "; the delivery is left in place");
            continue;
        }
        if (options.resultsTime) {
            if (const auto fileTime = LocalToFileTime(written)) {
                platform::SetModificationTime(resultsPath, *fileTime, &err);
            }
        }
        outcome.resultsFiles.push_back(resultsPath);
        ++outcome.semaphores;

        imported.push_back(semaphorePath);
        for (const std::string& path : imported) {
            if (!platform::RemoveFile(path, &err) && err != ENOENT) {
                outcome.ok = false;
                outcome.problems.push_back(path +
                                           ": cannot remove: " + platform::SystemErrorText(err));
            }
        }
    }
    return outcome;
}

}  // namespace tw::possim
