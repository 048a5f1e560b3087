#include "ravelin/poller_table.h"

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/wildcard.h"

namespace tw::ravelin {
namespace {

// Executable names are lower case without extension, as the programs are installed here.
constexpr const char* kRows[][3] = {
    {"ASHGROVE", "ashgrove", "Ashgrove"},    {"BRACKEN", "bracken", "Bracken"},
    {"CORMORANT", "cormorant", "Cormorant"}, {"DUNLIN", "dunlin", "Dunlin"},
    {"EYEBRIGHT", "eyebright", "Eyebright"}, {"FIELDFARE", "fieldfare", "Fieldfare"},
    {"GANNET", "gannet", "Gannet"},          {"HOLLYHOCK", "hollyhock", "Hollyhock"},
    {"IRONWOOD", "ironwood", "Ironwood"},    {"JUNIPER", "juniper", "Juniper"},
    {"KESTREL", "kestrel", "Kestrel"},       {"LARKSPUR", "larkspur", "Larkspur"},
    {"MARLSTONE", "marlstone", "Marlstone"}, {"TIDEWELL", "tidewell", "Tidewell"},
    {"OSPREY", "osprey", "Osprey"},          {"PLOVER", "plover", "Plover"},
    {"QUILLWORT", "quillwort", "Quillwort"}, {"REDSHANK", "redshank", "Redshank"},
    {"SANDPIPER", "sandpiper", "Sandpiper"}, {"TURNSTONE", "turnstone", "Turnstone"},
    {"UPLANDER", "uplander", "Uplander"},    {"VETCHLING", "vetchling", "Vetchling"},
    {"WHIMBREL", "whimbrel", "Whimbrel"},    {"YELLOWHAMMER", "yellowhammer", "Yellowhammer"},
};

}  // namespace

PollerTable::PollerTable() {
    int id = 1;
    for (const auto& row : kRows) rows_.push_back({id++, row[0], row[1], row[2]});
}

const PollerInfo* PollerTable::FindByBaseName(const std::string& name) const {
    for (const auto& row : rows_) {
        if (platform::EqualsIgnoreCase(row.baseName, name))
            return &row;
    }
    return nullptr;
}

const PollerInfo* PollerTable::FindById(int id) const {
    for (const auto& row : rows_) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

int PollerInterfaceGuesser::Guess(const PollerTable& table, const std::string& directory) const {
    int found = 0;
    for (const auto& row : table.Rows()) {
        if (row.executableName.empty())
            continue;
        platform::DirEntry entry;
        if (platform::StatPath(platform::JoinPath(directory, row.executableName), entry, nullptr)) {
            found = row.id;  // later rows win
        }
    }
    return found;
}

}  // namespace tw::ravelin
