#include "support/fault_file_env.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

std::string ParentOf(const std::string& path) {
    return fs::path(path).parent_path().lexically_normal().string();
}

std::string Normal(const std::string& path) {
    std::string normal = fs::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

// Passes every call to the real file, after asking the environment.
class FaultFileEnv::TrackedFile : public platform::WritableFile {
public:
    TrackedFile(FaultFileEnv& env, std::string path, std::unique_ptr<platform::WritableFile> real)
        : env_(env), path_(std::move(path)), real_(std::move(real)) {}
    bool Append(std::string_view bytes, int* error) override {
        return env_.Admit(error) && real_->Append(bytes, error);
    }
    bool Sync(int* error) override {
        if (!env_.Admit(error) || !real_->Sync(error))
            return false;
        std::lock_guard lock(env_.mutex_);
        env_.unsyncedData_.erase(path_);  // its bytes are durable now
        return true;
    }
    bool Close(int* error) override { return real_->Close(error); }

private:
    FaultFileEnv& env_;
    std::string path_;
    std::unique_ptr<platform::WritableFile> real_;
};

void FaultFileEnv::FailAt(int n, int error) {
    std::lock_guard lock(mutex_);
    failAt_ = n;
    failError_ = error;
}

void FaultFileEnv::FailFrom(int n, int error) {
    std::lock_guard lock(mutex_);
    failFrom_ = n;
    failError_ = error;
}

void FaultFileEnv::CrashAt(int n) {
    std::lock_guard lock(mutex_);
    crashAt_ = n;
}

void FaultFileEnv::Heal() {
    std::lock_guard lock(mutex_);
    failAt_ = failFrom_ = 0;
}

int FaultFileEnv::Changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

int FaultFileEnv::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

bool FaultFileEnv::Admit(int* error) {
    std::lock_guard lock(mutex_);
    ++changes_;
    int fail = 0;
    if (crashAt_ > 0 && changes_ >= crashAt_) {
        fail = EIO;
    } else if (changes_ == failAt_ || (failFrom_ > 0 && changes_ >= failFrom_)) {
        fail = failError_;
    }
    if (fail == 0)
        return true;
    ++failures_;
    if (error != nullptr)
        *error = fail;
    return false;
}

std::optional<std::string> FaultFileEnv::Snapshot(const std::string& path) const {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(path, ec)))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::string> FaultFileEnv::Durable(const std::string& path) const {
    const auto unsynced = unsyncedData_.find(path);
    if (unsynced == unsyncedData_.end())
        return Snapshot(path);
    // A file whose bytes were never synced is there, empty, once its entry is durable.
    return Snapshot(path) ? std::optional<std::string>(unsynced->second.value_or(std::string()))
                          : std::nullopt;
}

void FaultFileEnv::Record(std::string directory, std::vector<Before> paths) {
    undurable_.push_back({Normal(directory), std::move(paths)});
}

void FaultFileEnv::MoveData(const std::string& from, const std::string& to) {
    unsyncedData_.erase(to);
    const auto found = unsyncedData_.find(from);
    if (found == unsyncedData_.end())
        return;
    unsyncedData_[to] = found->second;
    unsyncedData_.erase(from);
}

std::unique_ptr<platform::WritableFile> FaultFileEnv::NewWritableFile(const std::string& path,
                                                                      int* error,
                                                                      unsigned permissions) {
    std::lock_guard lock(mutex_);
    if (!Admit(error))
        return nullptr;
    Before before{path, Durable(path)};
    auto real = real_.NewWritableFile(path, error, permissions);
    if (!real)
        return nullptr;
    if (!before.bytes)
        Record(ParentOf(path), {before});
    // Until it is synced, what the file durably holds is what it held before (nothing for a
    // new file).
    unsyncedData_[path] = before.bytes;
    return std::make_unique<TrackedFile>(*this, path, std::move(real));
}

bool FaultFileEnv::Rename(const std::string& from, const std::string& to, int* error) {
    std::lock_guard lock(mutex_);
    if (!Admit(error))
        return false;
    std::vector<Before> before{{to, Durable(to)}, {from, Durable(from)}};
    if (!real_.Rename(from, to, error))
        return false;
    Record(ParentOf(to), std::move(before));
    MoveData(from, to);
    return true;
}

bool FaultFileEnv::RemoveFile(const std::string& path, int* error) {
    std::lock_guard lock(mutex_);
    if (!Admit(error))
        return false;
    std::vector<Before> before{{path, Durable(path)}};
    if (!real_.RemoveFile(path, error))
        return false;
    Record(ParentOf(path), std::move(before));
    unsyncedData_.erase(path);
    return true;
}

bool FaultFileEnv::MakeDirectory(const std::string& path, int* error) {
    std::lock_guard lock(mutex_);
    if (!Admit(error))
        return false;
    if (!real_.MakeDirectory(path, error))
        return false;
    Record(ParentOf(Normal(path)), {{Normal(path), std::nullopt, true}});
    return true;
}

bool FaultFileEnv::RemoveDirectory(const std::string& path, int* error) {
    std::lock_guard lock(mutex_);
    return Admit(error) && real_.RemoveDirectory(path, error);
}

bool FaultFileEnv::SetModificationTime(const std::string& path, std::time_t utcSeconds,
                                       int* error) {
    std::lock_guard lock(mutex_);
    return Admit(error) && real_.SetModificationTime(path, utcSeconds, error);
}

bool FaultFileEnv::SyncDirectory(const std::string& directory, int* error) {
    std::lock_guard lock(mutex_);
    if (!Admit(error) || !real_.SyncDirectory(directory, error))
        return false;
    const std::string synced = Normal(directory);
    std::erase_if(undurable_, [&](const Change& change) { return change.directory == synced; });
    return true;
}

bool FaultFileEnv::SyncFileSystem(const std::string& path, int* error) {
    std::lock_guard lock(mutex_);
    if (!Admit(error) || !real_.SyncFileSystem(path, error))
        return false;
    undurable_.clear();
    unsyncedData_.clear();
    return true;
}

void FaultFileEnv::PowerCut(Cut cut) {
    std::lock_guard lock(mutex_);
    // Bytes first (at the names the files have now), then the directory changes, newest first.
    for (const auto& [path, bytes] : unsyncedData_) {
        std::error_code ec;
        if (fs::is_regular_file(fs::symlink_status(path, ec)))
            WriteBytes(path, bytes.value_or(std::string()));
    }
    unsyncedData_.clear();
    if (cut == Cut::LoseUnsyncedBytes)
        undurable_.clear();
    for (auto change = undurable_.rbegin(); change != undurable_.rend(); ++change) {
        for (const Before& before : change->paths) {
            std::error_code ec;
            if (before.directory) {
                fs::remove_all(before.path, ec);
            } else if (before.bytes) {
                WriteBytes(before.path, *before.bytes);
            } else {
                fs::remove(before.path, ec);
            }
        }
    }
    undurable_.clear();
    crashAt_ = 0;
    failAt_ = failFrom_ = 0;
}

}  // namespace tw::test
