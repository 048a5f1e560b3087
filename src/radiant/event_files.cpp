#include "radiant/event_files.h"

#include <cerrno>

#include "naxml/xml_document.h"
#include "platform/paths.h"
#include "radiant/journal_archive.h"
#include "zip/archive_entries.h"
#include "zip/unzipper.h"

namespace tw::radiant {
namespace {

// More collisions than this for one name means something is wrong with the journal.
constexpr int kMaxCollisionNames = 999;

}  // namespace

EventFileStore::EventFileStore(platform::FileEnv& env, std::string dataDirectory)
    : env_(env), dataDirectory_(platform::AddSeparator(dataDirectory)) {}

void EventFileStore::Forget() {
    madeFolders_.clear();
    archives_.clear();
}

bool EventFileStore::EnsureFolder(const std::string& path, int* error) {
    if (madeFolders_.count(path) != 0)
        return true;
    platform::PathStatus status;
    if (!env_.MakeDirectory(path, error)) {
        if (*error != EEXIST)
            return false;
        if (!env_.Stat(path, status, nullptr) ||
            status.kind != platform::PathStatus::Kind::Directory) {
            *error = ENOTDIR;
            return false;
        }
    }
    madeFolders_.insert(path);
    return true;
}

bool EventFileStore::EnsureMonthFolder(const std::string& month) {
    int error = 0;
    return EnsureFolder(dataDirectory_ + month, &error);
}

const EventFileStore::ArchiveEntries& EventFileStore::DayArchive(const std::string& month,
                                                                 const std::string& day) {
    const std::string key = month + day;
    const auto known = archives_.find(key);
    if (known != archives_.end())
        return known->second;
    ArchiveEntries& entries = archives_[key];
    const std::string monthFolder = dataDirectory_ + month + "/";
    const std::string archive = DayArchivePath(monthFolder, "jrn" + month + day);
    platform::PathStatus status;
    if (!env_.Stat(archive, status, nullptr) || status.kind != platform::PathStatus::Kind::Regular)
        return entries;
    // A damaged archive counts for what it lists; the archiver sets it aside and keeps every
    // file not provably in the archive that replaces it.
    zip::CUnzipper reader;
    if (reader.OpenUnzip(archive)) {
        reader.VisitEntries([&](const zip::ZipEntryInfo& entry) {
            if (!entry.isDirectory)
                entries.emplace(entry.name, std::make_pair(entry.uncompressedSize, entry.crc));
            return true;
        });
    }
    return entries;
}

EventFileStore::Result EventFileStore::Place(const std::string& month, const std::string& day,
                                             const std::string& stem, std::string_view bytes) {
    Result result;
    const std::string dayFolder = dataDirectory_ + month + "/jrn" + month + day + "/";
    if (!EnsureFolder(dataDirectory_ + month, &result.error) ||
        !EnsureFolder(dayFolder, &result.error)) {
        result.path = dayFolder + stem + ".xml";
        return result;
    }
    const ArchiveEntries& archived = DayArchive(month, day);
    std::uint32_t crc = 0;
    bool crcKnown = false;
    std::string existing;
    for (int n = 1; n <= kMaxCollisionNames; ++n) {
        const std::string name = n == 1 ? stem + ".xml" : stem + "~" + std::to_string(n) + ".xml";
        result.path = dayFolder + name;
        platform::PathStatus status;
        if (env_.Stat(result.path, status, nullptr)) {
            if (status.kind != platform::PathStatus::Kind::Regular ||
                !env_.ReadFile(result.path, existing, nullptr)) {
                continue;
            }
            if (existing == bytes) {
                result.placed = Placed::AlreadyFiled;
                return result;
            }
            // Event files are only ever written whole: one that is not a document lost its
            // bytes in a power cut before its journal was filed, and is written again.
            if (IsWellFormedXml(existing))
                continue;
        } else if (const auto entry = archived.find(name); entry != archived.end()) {
            if (!crcKnown) {
                crc = zip::Crc32Of(bytes);
                crcKnown = true;
            }
            if (entry->second.first == bytes.size() && entry->second.second == crc) {
                result.placed = Placed::AlreadyFiled;
                return result;
            }
            continue;
        }
        int error = 0;
        if (platform::WriteFileThroughPartial(env_, result.path, bytes, false, &error)) {
            result.placed = Placed::Written;
        } else {
            result.error = error;
        }
        return result;
    }
    result.path = dayFolder + stem + ".xml";
    result.error = EEXIST;
    return result;
}

}  // namespace tw::radiant
