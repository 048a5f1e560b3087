#include "naxml/maintenance/pending_deletions.h"

#include <algorithm>

namespace tw::naxml {

void PendingDeletions::Add(int editorId, std::string key) {
    keys_[editorId].push_back(std::move(key));
}

void PendingDeletions::AddIfAbsent(int editorId, std::string key) {
    std::vector<std::string>& keys = keys_[editorId];
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
        keys.push_back(std::move(key));
}

std::vector<std::string> PendingDeletions::List(int editorId) const {
    const auto found = keys_.find(editorId);
    return found == keys_.end() ? std::vector<std::string>() : found->second;
}

bool PendingDeletions::Empty(int editorId) const {
    const auto found = keys_.find(editorId);
    return found == keys_.end() || found->second.empty();
}

void PendingDeletions::Clear(int editorId) {
    keys_.erase(editorId);
}

}  // namespace tw::naxml
