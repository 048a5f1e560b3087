#pragma once
// Text files: line reading that accepts CR LF files, atomic replacement of files that other
// programs read or that must survive a crash, and unique temporary files.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

// Reads a text file line by line, each line whole whatever its length. A trailing CR is
// dropped from every line (files written on Windows end lines in CR LF). Not thread-safe.
class LineReader {
public:
    LineReader() = default;
    explicit LineReader(const std::string& path) { Open(path); }
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Open(const std::string& path);  // false and Error() set when the file cannot be opened
    bool IsOpen() const { return file_ != nullptr; }
    // Next line without its line end; false at the end of the file.
    bool ReadLine(std::string& line);
    void Close();
    int Error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

// All lines of a file (see LineReader), or nullopt when it cannot be opened (errno kept).
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// Whole content of a file as bytes, or nullopt (errno kept).
std::optional<std::string> ReadFile(const std::string& path);

// The size of a file in bytes; nullopt when it cannot be examined.
std::optional<std::uint64_t> FileSize(const std::string& path);

// Appends bytes to a file with one write(2) call, so appends by several processes never
// interleave within one call. A missing file is created first and given header (an existing
// empty file gets it too). False, with *error = errno when given, when the file cannot be
// opened or written.
bool AppendToFile(const std::string& path, std::string_view bytes, std::string_view header,
                  int* error = nullptr);

// Writes a file under a unique temporary name in the target's directory and renames it over
// the target on Commit, so readers see either the old file or the complete new one, never a
// part. The temporary name begins with ".~tw" so that no file mask of the system selects it.
// Destroying the writer without a successful Commit removes the temporary file and leaves the
// target untouched. Not thread-safe; one writer per target at a time is the caller's business
// (take the target's NamedLock when several writers may race).
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string targetPath);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file. False (Error() = errno) when the directory is not writable.
    bool Open();
    bool Write(std::string_view bytes);
    // Flushes to disk, closes, renames over the target and syncs the directory. A new target
    // has mode 0644 less the umask (the kernel applies it when Open creates the file; the
    // process-wide umask is never read or changed); a replaced target keeps its mode exactly.
    // False on any failure; the target is then unchanged.
    bool Commit();
    // Removes the temporary file; the target is unchanged.
    void Abandon();

    int Error() const { return error_; }
    const std::string& TargetPath() const { return target_; }
    const std::string& TemporaryPath() const { return temp_; }

private:
    bool Fail(int err);
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int error_ = 0;
};

// Replaces a file with the given bytes atomically (see AtomicFileWriter). On failure returns
// false, sets *error to errno when error is given, and leaves the old file in place.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, int* error = nullptr);

// A new, uniquely named file "<dir>/<prefix>XXXXXX", created exclusively (never through a
// link). Without dir it is the program's own scratch in the temporary directory ($TMPDIR or
// /tmp) and only its owner may read it (0600). In a directory of the caller's choosing it is
// made to be renamed over a target there (Keep()), so it gets the mode of any plainly created
// file: 0666 less the umask. Removed when the object is destroyed unless Keep().
class TempFile {
public:
    static std::optional<TempFile> Create(std::string_view prefix, std::string dir = {});
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    ~TempFile();

    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_; }  // open for reading and writing until Close()
    void Close();
    void Keep() { keep_ = true; }

private:
    TempFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::string path_;
    int fd_ = -1;
    bool keep_ = false;
};

// The temporary directory: $TMPDIR when set and non-empty, else /tmp.
std::string TemporaryDirectory();

}  // namespace tw::platform
