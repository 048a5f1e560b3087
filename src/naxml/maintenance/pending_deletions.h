#pragma once
// The keys the user deleted in each editor's grid since they were last written, per editor
// identifier (maintenance_records.h). The application owns one for the whole run; the grid
// adds a row's key when the row is deleted, the readers add the deletions of a file that is
// read back, and the writers write one deletion record per key.
//
// Threads: not locked; used from the user-interface thread only.

#include <map>
#include <string>
#include <vector>

namespace tw::naxml {

class PendingDeletions {
public:
    // Records a deleted key; a key deleted twice is recorded twice.
    void Add(int editorId, std::string key);
    // Records key unless that editor already has it (reading the same file again must not
    // multiply its deletions).
    void AddIfAbsent(int editorId, std::string key);
    // A copy of the editor's keys in the order they were recorded.
    std::vector<std::string> List(int editorId) const;
    bool Empty(int editorId) const;
    void Clear(int editorId);

private:
    std::map<int, std::vector<std::string>> keys_;
};

}  // namespace tw::naxml
