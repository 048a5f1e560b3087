#pragma once
// Checks that a writer replaces a file instead of writing into it: what a reader, or another
// program, holding the old file sees while the new one is put in place.

#include <gtest/gtest.h>

#include <string>

namespace tw::test {

// Made just before a writer replaces the file at path (which must exist), checked after it.
// - Via::Descriptor keeps a descriptor open on the file as it is. Replaced() holds when that
//   descriptor still reads the old bytes and the path now names another inode: the new file
//   was written elsewhere and renamed into place, never truncated and rewritten.
// - Via::SymbolicLink first moves the file to "<path>.link-target" and puts a symbolic link to
//   it at path. Replaced() holds when path is now a regular file and the link's target still
//   holds the old bytes: the link was replaced, never written through.
// Failures of the set-up are reported by Replaced().
class ReplacementWatch {
public:
    enum class Via { Descriptor, SymbolicLink };

    ReplacementWatch(std::string path, Via via);
    ~ReplacementWatch();
    ReplacementWatch(const ReplacementWatch&) = delete;
    ReplacementWatch& operator=(const ReplacementWatch&) = delete;

    ::testing::AssertionResult Replaced() const;

private:
    std::string path_;
    Via via_;
    std::string oldBytes_;
    std::string linkTarget_;
    std::string setupError_;
    int fd_ = -1;
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
};

}  // namespace tw::test
