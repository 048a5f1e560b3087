#pragma once
// The poller programs of the product line, and the guess which of them a directory holds.

#include <string>
#include <vector>

namespace tw::ravelin {

struct PollerInfo {
    int id = 0;                  // 1 to 24
    std::string baseName;        // "TIDEWELL"
    std::string executableName;  // "tidewell"
    std::string displayName;     // "Tidewell"
};

// The 24 pollers in their fixed order (the order decides the guess). Tidewell is id 14.
class PollerTable {
public:
    PollerTable();
    const std::vector<PollerInfo>& Rows() const { return rows_; }
    // The first row whose base name equals name ignoring case; null when none.
    const PollerInfo* FindByBaseName(const std::string& name) const;
    const PollerInfo* FindById(int id) const;

private:
    std::vector<PollerInfo> rows_;
};

// The id of the last row (in table order) whose executable exists in directory, or 0.
class PollerInterfaceGuesser {
public:
    int Guess(const PollerTable& table, const std::string& directory) const;
};

}  // namespace tw::ravelin
