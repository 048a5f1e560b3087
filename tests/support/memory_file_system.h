#pragma once
// An in-memory FileSystem for tests, with faults to inject: the k-th GetFile or PutFile fails,
// List throws, Connect fails. Paths are plain strings; "directory + name" is the key.

#include <map>
#include <stdexcept>
#include <string>

#include "monitor/file_system.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw::test {

class MemoryFileSystem : public FileSystem {
public:
    struct File {
        std::string content;
        platform::OleDate modified = platform::OleDate::FromCivil(2026, 12, 7, 9, 30);
        bool isDirectory = false;
    };

    char Separator() const override { return '/'; }
    bool Connect() override {
        ++connects;
        if (failConnect)
            SetLastError("Unable to establish network connection.  Error 53.  x");
        if (!failConnect)
            connected = true;
        return !failConnect;
    }
    void Disconnect() override {
        ++disconnects;
        connected = false;
    }
    bool KeepsFileTimes() const override { return keepsTimes; }
    void SetFileTime(const std::string& path, const platform::OleDate& modified) override {
        if (files.count(path))
            files[path].modified = modified;
    }
    using FileSystem::SetFileTime;
    bool List(DirFileList& list, const std::string& directory, const std::string& mask,
              bool) override {
        list.Clear(directory);
        ++lists;
        if (throwInList)
            throw std::runtime_error("listing exploded");
        for (const auto& [path, file] : files) {
            if (path.rfind(directory, 0) != 0)
                continue;
            const std::string name = path.substr(directory.size());
            if (name.find('/') != std::string::npos || !platform::MatchMask(mask, name))
                continue;
            FileInfo info;
            info.directory = directory;
            info.name = name;
            info.modified = file.modified;
            info.size = static_cast<std::uint32_t>(file.content.size());
            info.isDirectory = file.isDirectory;
            list.Add(info);
        }
        return !list.Empty();
    }
    bool GetFile(const std::string& path, const std::string& localPath) override {
        if (++gets == failGetNumber)
            return Fail("The network name cannot be found.");
        const auto it = files.find(path);
        if (it == files.end())
            return Fail("The system cannot find the file specified.");
        return platform::WriteFileAtomically(localPath, it->second.content) ||
               Fail("local write failed");
    }
    bool PutFile(const std::string& localPath, const std::string& path) override {
        if (++puts == failPutNumber)
            return Fail(putErrorText);
        auto content = platform::ReadFile(localPath);
        if (!content)
            return Fail("local read failed");
        files[path].content = *content;
        return true;
    }
    bool DeleteFile(const std::string& path) override {
        deleted.push_back(path);
        return files.erase(path) > 0 || Fail("The system cannot find the file specified.");
    }
    bool CreateDirectory(const std::string& path) override {
        files[path].isDirectory = true;
        return true;
    }

    std::map<std::string, File> files;
    std::vector<std::string> deleted;
    bool failConnect = false, throwInList = false, keepsTimes = true, connected = false;
    int failGetNumber = 0, failPutNumber = 0;
    std::string putErrorText = "There is not enough space on the disk.";
    int gets = 0, puts = 0, lists = 0, connects = 0, disconnects = 0;

private:
    bool Fail(const std::string& text) {
        SetLastError(text);
        return false;
    }
};

}  // namespace tw::test
