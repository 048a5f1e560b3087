#pragma once
// A FileEnv for tests that injects the faults a back office lives with, over the real file
// system:
// - FailAt / FailFrom: the N-th change (every write, rename, removal, sync ... counts), or every
//   change from the N-th on, fails with the given errno: a full disk, an I/O error.
// - CrashAt: from the N-th change on nothing reaches the disk any more (every change fails with
//   EIO): what the disk sees of a process killed at that point.
// - PowerCut: throws away what was not made durable, as the disk would after a power cut: the
//   bytes of a file written since its last sync (the file keeps its last synced bytes, or none),
//   and, unless the directory entries are kept (Cut::LoseUnsyncedBytes: what a file system that
//   writes its metadata first may do), every creation, rename and removal in a directory since
//   that directory was synced (undone, newest first). A syncfs makes everything durable.
// Only what goes through this object is tracked; other writers count as durable at once.
// Thread-safe: one lock around every call.

#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_env.h"

namespace tw::test {

class FaultFileEnv : public platform::FileEnv {
public:
    explicit FaultFileEnv(platform::FileEnv& real = platform::DefaultFileEnv()) : real_(real) {}

    void FailAt(int n, int error = ENOSPC);
    void FailFrom(int n, int error = ENOSPC);
    void CrashAt(int n);
    // No more faults (a crash stays until PowerCut).
    void Heal();
    enum class Cut { UndoChanges, LoseUnsyncedBytes };
    void PowerCut(Cut cut = Cut::UndoChanges);

    // Changes made so far (failed ones included), and how many failed.
    int Changes() const;
    int Failures() const;

    std::unique_ptr<platform::WritableFile> NewWritableFile(const std::string& path, int* error,
                                                            unsigned permissions) override;
    bool Rename(const std::string& from, const std::string& to, int* error) override;
    bool RemoveFile(const std::string& path, int* error) override;
    bool MakeDirectory(const std::string& path, int* error) override;
    bool RemoveDirectory(const std::string& path, int* error) override;
    bool SetModificationTime(const std::string& path, std::time_t utcSeconds, int* error) override;
    bool SyncDirectory(const std::string& directory, int* error) override;
    bool SyncFileSystem(const std::string& path, int* error) override;

private:
    class TrackedFile;
    // What a path held before an undurable change: nothing, or a file's bytes.
    struct Before {
        std::string path;
        std::optional<std::string> bytes;  // nullopt: no file there
        bool directory = false;            // the change made a directory
    };
    struct Change {
        std::string directory;      // undone unless this directory is synced
        std::vector<Before> paths;  // restored in this order when undone
    };

    // Counts one change; false (with *error set) when it must fail.
    bool Admit(int* error);
    std::optional<std::string> Snapshot(const std::string& path) const;
    // What a power cut would leave at path now (nullopt: no file).
    std::optional<std::string> Durable(const std::string& path) const;
    void Record(std::string directory, std::vector<Before> paths);
    void MoveData(const std::string& from, const std::string& to);

    platform::FileEnv& real_;
    mutable std::recursive_mutex mutex_;
    int changes_ = 0;
    int failures_ = 0;
    int failAt_ = 0;
    int failFrom_ = 0;
    int crashAt_ = 0;
    int failError_ = ENOSPC;
    std::vector<Change> undurable_;
    // The bytes each written file had at its last sync (nullopt: never synced), by path.
    std::map<std::string, std::optional<std::string>> unsyncedData_;
};

}  // namespace tw::test
