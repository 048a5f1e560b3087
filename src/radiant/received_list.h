#pragma once
// The sales side's work queue: which files of the data directory came from the POS and are not
// filed yet.
//
// A file received from the POS stays in the data directory under its received name until it
// is filed (split and renamed to its slot file, set aside in REJECTED/, or deleted as unwanted).
// Whatever stops a pass half-way (a kill, a power cut, a full disk), the next pass finishes that
// work first. The data directory also holds the back office's own files (maintenance files
// waiting to be sent, slot files, results, settings, histories), which must never be taken for
// left-over work: so the received names are recorded in "RECEIVED.nnn" (nnn: the site), one
// name per line, and only recorded names are ever picked up again.
//
// Order of durability: a name is recorded (durably) before the file is renamed into the data
// directory, and dropped only after the file is gone from it (filed). A name whose file is not
// there is therefore a receipt that never completed, or a filing that completed: it is dropped
// when the list is loaded.

#include <string>
#include <vector>

#include "platform/file_env.h"

namespace tw::radiant {

class ReceivedList {
public:
    // dataDirectory: a local directory ending in '/'. env (not owned) must outlive the list.
    // Used by the sales thread only.
    ReceivedList(platform::FileEnv& env, std::string dataDirectory, int siteNumber);

    // "RECEIVED.nnn" in the data directory.
    const std::string& Path() const { return path_; }

    // Reads the list (a missing file is an empty list) and drops the names whose files are no
    // longer in the data directory. The other calls load the list first when it was not. False,
    // reported to errorMessages(), when it cannot be read or rewritten.
    bool Load();
    // The recorded names, in the order they arrived.
    const std::vector<std::string>& Names() const { return names_; }
    bool Contains(const std::string& name);
    // Records a name; the record is durable when this returns true. False is reported to
    // errorMessages().
    bool Add(const std::string& name);
    // Forgets names (durably); true when nothing had to be written or the write worked. False is
    // reported to errorMessages(): the names stay, and the next pass drops them on loading
    // because their files are gone.
    bool Remove(const std::vector<std::string>& names);

private:
    bool EnsureLoaded();
    bool Listed(const std::string& name) const;
    bool Save();

    platform::FileEnv& env_;
    std::string dataDirectory_;
    std::string path_;
    std::vector<std::string> names_;
    bool loaded_ = false;
};

// Removes what an interrupted pass of the sales side left half-written under the data
// directory: partial files (".~tw<name>.part") in the data directory itself, and every
// temporary file (".~tw...") in the folders only the sales side writes: the month and day
// folders of the journal archive and REJECTED/ and REPLACED/. Other programs' temporary files
// in the data directory are left alone. Each removal is logged.
void RemoveLeftOverPartialFiles(platform::FileEnv& env, const std::string& dataDirectory);

}  // namespace tw::radiant
