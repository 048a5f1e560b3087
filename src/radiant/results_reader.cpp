#include "radiant/results_reader.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cctype>

#include "messages/program_messages.h"
#include "platform/wildcard.h"

namespace tw::radiant {
namespace {

struct TableMessages {
    const char* detailElement;
    const char* success;
    const char* detail;
};

constexpr TableMessages kTables[] = {
    {"MCTDetail", "Department maintenance file successful.",
     "Department maintenance file: NAXMLDB success=%s warn=%s fail=%s, LHSITEDB success=%s "
     "warn=%s fail=%s"},
    {"ITTDetail", "Item maintenance file successful.",
     "Item maintenance file: NAXMLDB success=%s warn=%s fail=%s, LHSITEDB success=%s warn=%s "
     "fail=%s"},
    {"ILTDetail", "Item Group maintenance file successful.",
     "Item Group maintenance file: NAXMLDB success=%s warn=%s fail=%s, LHSITEDB success=%s "
     "warn=%s fail=%s"},
    {"CBTDetail", "Promotion maintenance file successful.",
     "Promotion maintenance file: NAXMLDB success=%s warn=%s fail=%s, LHSITEDB success=%s "
     "warn=%s fail=%s"},
};

std::string_view NameOf(XmlNode node) {
    return node->name ? reinterpret_cast<const char*>(node->name) : "";
}

// Element names in a results file are matched as the POS writes them, letter case included.
XmlNode FirstElementNamed(XmlNode root, std::string_view name) {
    for (XmlNode node = root; node != nullptr; node = XmlDocument::FirstNodeAfter(node)) {
        if (node->type == XML_ELEMENT_NODE && NameOf(node) == name)
            return node;
    }
    return nullptr;
}

XmlNode ChildElementNamed(XmlNode parent, std::string_view name) {
    for (XmlNode child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && NameOf(child) == name)
            return child;
    }
    return nullptr;
}

void ReadCount(XmlNode detail, const char* name, std::string& naxml, std::string& site) {
    const XmlNode count = ChildElementNamed(detail, name);
    naxml = count ? XmlDocument::Attribute(count, "NAXMLDB") : std::string();
    site = count ? XmlDocument::Attribute(count, "LHSITEDB") : std::string();
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           platform::EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::toupper(x) < std::toupper(y); });
}

}  // namespace

void ReportMaintenanceResults(const XmlDocument& results) {
    const XmlNode root = results.Root();
    if (root == nullptr)
        return;
    for (const TableMessages& table : kTables) {
        const XmlNode detail = FirstElementNamed(root, table.detailElement);
        if (detail == nullptr)
            continue;
        TableResultCounts c;
        ReadCount(detail, "success", c.naxmlSuccess, c.siteSuccess);
        ReadCount(detail, "warn", c.naxmlWarn, c.siteWarn);
        ReadCount(detail, "fail", c.naxmlFail, c.siteFail);
        const bool noProblems =
            c.naxmlWarn == "0" && c.naxmlFail == "0" && c.siteWarn == "0" && c.siteFail == "0";
        if (noProblems && c.naxmlSuccess == "0" && c.siteSuccess == "0")
            continue;
        if (noProblems && c.naxmlSuccess == c.siteSuccess) {
            SendMessageText(logMessages(), table.success);
        } else {
            FormatMessageTo(logMessages(), table.detail, c.naxmlSuccess.c_str(),
                            c.naxmlWarn.c_str(), c.naxmlFail.c_str(), c.siteSuccess.c_str(),
                            c.siteWarn.c_str(), c.siteFail.c_str());
        }
    }
}

// ---- RadiantDestinationResultsFilesProcessor ----

RadiantDestinationResultsFilesProcessor::RadiantDestinationResultsFilesProcessor(
    CountedPtr<FileSystem> fileSystem, std::string dataDirectory, std::int16_t siteNumber)
    : CopyDestinationFilesProcessor(std::move(fileSystem)),
      dataDirectory_(platform::AddSeparator(dataDirectory)),
      siteNumber_(siteNumber) {}

bool RadiantDestinationResultsFilesProcessor::Begin() {
    receivedFiles_.clear();
    return true;
}

bool RadiantDestinationResultsFilesProcessor::Process(const std::string& path) {
    receivedFiles_.push_back(path);
    return true;
}

bool RadiantDestinationResultsFilesProcessor::End() {
    const std::string target = dataDirectory_ + kResultsFileName;
    for (const std::string& received : receivedFiles_) {
        // A POS file called exactly "ILG.XML" arrives in place: copying and deleting it would
        // remove the only copy.
        const bool inPlace = received == target;
        // The copy replaces the old results as a whole, and only once the new ones are
        // complete: the old file is not deleted first.
        if (!inPlace && !fileSystem_->GetFile(received, target)) {
            FormatMessageTo(errorMessages(),
                            "NAXML Maintenance Results file: Unable to move %s to %s.",
                            received.c_str(), target.c_str());
            continue;
        }
        FormatMessageTo(logMessages(), "NAXML Maintenance Results file: Assigned %s to %s.",
                        received.c_str(), target.c_str());
        if (!inPlace)
            fileSystem_->DeleteFile(received);
        if (resultsDocument_.Load(target))
            ReportMaintenanceResults(resultsDocument_);
    }
    return true;
}

// ---- RadiantCopyResultsFiles ----

RadiantCopyResultsFiles::RadiantCopyResultsFiles(
    CountedPtr<Monitor::ProcessData> sourceProcessor,
    CountedPtr<Monitor::ProcessData> destinationProcessor, std::string dataDirectory)
    : CopyFiles(std::move(sourceProcessor), std::move(destinationProcessor),
                std::move(dataDirectory), false, false, false) {}

bool RadiantCopyResultsFiles::ShouldTransfer(FileSystem& /*source*/, const FileInfo& file,
                                             FileSystem& /*destination*/) {
    return !file.isDirectory && StartsWithIgnoringCase(file.name, "ILG") &&
           EndsWithIgnoringCase(file.name, "XML");
}

// ---- RadiantPollerResultsFileMaskHandler ----

bool RadiantPollerResultsFileMaskHandler::DoPass() {
    // Without an import directory there is nothing to read (and the current directory is not
    // the POS's).
    if (directory_.find_first_not_of(" \t") == std::string::npos)
        return true;
    if (!transfer_->Begin())
        return false;
    DirFileList semaphores;
    if (!source_->List(semaphores, directory_, "SEM*.XML", false)) {
        DirFileList list;
        source_->List(list, directory_, mask_, false);
        std::vector<const FileInfo*> files;
        for (const auto& [name, info] : list) files.push_back(&info);
        // Names without regard to case, as the POS's own directory listing orders them: the
        // stamps then come oldest first, and the newest results end as "ILG.XML".
        std::sort(files.begin(), files.end(), [](const FileInfo* a, const FileInfo* b) {
            return LessIgnoringCase(a->name, b->name);
        });
        for (const FileInfo* file : files) {
            TransferFile(*file);
        }
    }
    return transfer_->End();
}

}  // namespace tw::radiant
