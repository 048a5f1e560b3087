#pragma once
// Where the event files of a day live: in the day folder D/MM/jrnMMDD/ until they are archived,
// then in the day archive D/MM/JRNMMDD.ZIP under the same name.
//
// Placing an event is idempotent, so a journal split again (after a pass stopped half-way, or
// received twice) gives the same files and never a second copy: an event whose file is already
// in the day folder with the same bytes, or in the day archive with the same size and CRC-32,
// is already filed. An existing file is never replaced by other bytes: two different events
// that would have the same name (the same end time and register, no transaction ID, say) get
// collision names, "<name>~2.xml", "<name>~3.xml", ..., the first that is free or already holds
// the same bytes; the order of the journal decides which gets which, so splitting again gives
// the same names. A file of the name that is not a document at all (its bytes lost in a power
// cut before its journal was filed: event files are only ever written whole) is written again.
//
// Event files are written through a partial file and renamed into place, without a sync each:
// the caller syncs the file system once before it files the journal they came from.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_env.h"

namespace tw::radiant {

class EventFileStore {
public:
    enum class Placed {
        Written,       // a new event file
        AlreadyFiled,  // the same bytes were already in the day folder or archive
        Failed,        // not written (the reason in Result::error)
    };
    struct Result {
        Placed placed = Placed::Failed;
        std::string path;  // the event file's path (in the day folder)
        int error = 0;     // errno of a failure
    };

    // dataDirectory: a local directory ending in '/'. env (not owned) must outlive the store.
    // Used by one thread at a time.
    EventFileStore(platform::FileEnv& env, std::string dataDirectory);

    // The month folder D/MM/, made when missing. False when it cannot be made.
    bool EnsureMonthFolder(const std::string& month);
    // Places one event: month "03", day "05", stem "jrn20260305220102-1-1002" (the name without
    // ".xml").
    Result Place(const std::string& month, const std::string& day, const std::string& stem,
                 std::string_view bytes);
    // Forgets what it learned of folders and archives (they may change between journals).
    void Forget();

private:
    using ArchiveEntries = std::map<std::string, std::pair<std::uint64_t, std::uint32_t>>;

    bool EnsureFolder(const std::string& path, int* error);
    const ArchiveEntries& DayArchive(const std::string& month, const std::string& day);

    platform::FileEnv& env_;
    std::string dataDirectory_;
    std::set<std::string> madeFolders_;
    std::map<std::string, ArchiveEntries> archives_;  // by month + day
};

}  // namespace tw::radiant
