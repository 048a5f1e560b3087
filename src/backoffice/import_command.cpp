#include "backoffice/import_command.h"

#include <cerrno>

#include "backoffice/item_csv.h"
#include "backoffice/item_store.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw::backoffice {
namespace {

constexpr const char* kUsage =
    "usage: qorpost-import [--replace] BACK_OFFICE_DIRECTORY ITEMS.csv\n";

}  // namespace

int RunItemImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool replace = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--replace") {
            replace = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        } else if (arg.starts_with("--")) {
            err << "qorpost-import: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 2) {
        err << kUsage;
        return 2;
    }
    const std::string& directory = operands[0];
    const std::string& csvPath = operands[1];

    const auto text = platform::ReadFile(csvPath);
    if (!text) {
        const int readError = errno;
        err << "qorpost-import: cannot read " << csvPath << ": "
            << platform::SystemErrorText(readError) << "\n";
        return 1;
    }
    std::vector<ItemRecord> items;
    std::string error;
    if (!ParseItemCsv(*text, items, &error)) {
        err << "qorpost-import: " << csvPath << ", " << error << "; nothing imported.\n";
        return 1;
    }
    platform::DirEntry entry;
    int statError = 0;
    if (!platform::StatPath(directory, entry, &statError) || !entry.isDirectory) {
        err << "qorpost-import: " << directory << " is not a directory.\n";
        return 1;
    }
    const std::string database = platform::ExistingOrExactPath(directory, kItemDatabaseName);
    auto store = ItemStore::OpenForWriting(database, &error);
    if (!store) {
        err << "qorpost-import: cannot open " << database << ": " << error << "\n";
        return 1;
    }
    if (!store->Import(items, replace, &error)) {
        err << "qorpost-import: " << database << ": " << error << "; nothing imported.\n";
        return 1;
    }
    out << "Imported " << items.size() << (items.size() == 1 ? " item" : " items") << " into "
        << database << ".\n";
    return 0;
}

}  // namespace tw::backoffice
