#include "radiant/received_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/wildcard.h"

namespace tw::radiant {
namespace {

std::string DirectoryWithoutSeparator(const std::string& directory) {
    return directory.size() > 1 && directory.back() == '/'
               ? directory.substr(0, directory.size() - 1)
               : directory;
}

}  // namespace

ReceivedList::ReceivedList(platform::FileEnv& env, std::string dataDirectory, int siteNumber)
    : env_(env), dataDirectory_(platform::AddSeparator(dataDirectory)) {
    char name[32];
    std::snprintf(name, sizeof name, "RECEIVED.%03d", siteNumber);
    path_ = dataDirectory_ + name;
}

bool ReceivedList::EnsureLoaded() {
    return loaded_ || Load();
}

bool ReceivedList::Load() {
    names_.clear();
    loaded_ = true;
    std::string content;
    int error = 0;
    if (!env_.ReadFile(path_, content, &error)) {
        if (error == ENOENT)
            return true;
        FormatMessageTo(errorMessages(), "Unable to read %s: %s", path_.c_str(),
                        SystemErrorText(error).c_str());
        return false;
    }
    bool dropped = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string name = content.substr(start, end - start);
        start = end + 1;
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        if (name.empty() || Listed(name))
            continue;
        platform::PathStatus status;
        if (!env_.Stat(dataDirectory_ + name, status, nullptr)) {
            dropped = true;  // filed, or never completely received
            continue;
        }
        names_.push_back(std::move(name));
    }
    return !dropped || Save();
}

bool ReceivedList::Contains(const std::string& name) {
    EnsureLoaded();
    return Listed(name);
}

bool ReceivedList::Listed(const std::string& name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool ReceivedList::Add(const std::string& name) {
    if (!EnsureLoaded())
        return false;
    if (Listed(name))
        return true;
    names_.push_back(name);
    if (Save())
        return true;
    names_.pop_back();
    return false;
}

bool ReceivedList::Remove(const std::vector<std::string>& names) {
    if (!EnsureLoaded())
        return false;
    const auto before = names_.size();
    std::erase_if(names_, [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    });
    return names_.size() == before || Save();
}

bool ReceivedList::Save() {
    int error = 0;
    bool saved;
    if (names_.empty()) {
        saved = env_.RemoveFile(path_, &error) || error == ENOENT;
    } else {
        std::string content;
        for (const auto& name : names_) content.append(name).append("\n");
        saved = platform::WriteFileThroughPartial(env_, path_, content, true, &error);
    }
    // The list's new entry (or its removal) is durable only once the directory is.
    if (saved && env_.SyncDirectory(DirectoryWithoutSeparator(dataDirectory_), &error))
        return true;
    FormatMessageTo(errorMessages(), "Unable to write %s: %s", path_.c_str(),
                    SystemErrorText(error).c_str());
    return false;
}

namespace {

void RemoveMatching(platform::FileEnv& env, const std::string& folder,
                    bool (*matches)(std::string_view)) {
    std::vector<std::string> names;
    if (!env.ListNames(folder, names, nullptr))
        return;
    for (const auto& name : names) {
        const std::string path = folder + name;
        platform::PathStatus status;
        if (!matches(name) || !env.Stat(path, status, nullptr) ||
            status.kind != platform::PathStatus::Kind::Regular) {
            continue;
        }
        if (env.RemoveFile(path, nullptr)) {
            FormatMessageTo(logMessages(), "Removed %s, left by an interrupted pass.",
                            path.c_str());
        }
    }
}

}  // namespace

void RemoveLeftOverPartialFiles(platform::FileEnv& env, const std::string& dataDirectory) {
    const std::string data = platform::AddSeparator(dataDirectory);
    RemoveMatching(env, data, &platform::IsPartialFileName);
    for (const char* folder : {"REJECTED/", "REPLACED/"}) {
        RemoveMatching(env, data + folder, &platform::IsTemporaryFileName);
    }
    for (int month = 1; month <= 12; ++month) {
        char name[4];
        std::snprintf(name, sizeof name, "%02d", month);
        const std::string monthFolder = data + name + "/";
        RemoveMatching(env, monthFolder, &platform::IsTemporaryFileName);
        std::vector<std::string> days;
        env.ListNames(monthFolder, days, nullptr);
        for (const auto& day : days) {
            platform::PathStatus status;
            if (day.size() == 7 && platform::MatchMask("jrn????", day) &&
                env.Stat(monthFolder + day, status, nullptr) &&
                status.kind == platform::PathStatus::Kind::Directory) {
                RemoveMatching(env, monthFolder + day + "/", &platform::IsTemporaryFileName);
            }
        }
    }
}

}  // namespace tw::radiant
