#pragma once
// Reading the maintenance files back into the editors' records, so the user continues from
// the file waiting to be sent, or else from the copy last sent.
//
// The item-list, combo and mix-and-match readers read a document only when its root element
// is "NAXML-MaintenanceRequest" (exact case) with a version they accept (item lists 3.3; combos
// and mix-and-match 3.3 or 3.4); an XML declaration, comments or processing instructions
// before the root do not matter. They visit the first detail element and its following
// sibling details. Deletion records of item-list and combo files return to the editor's
// pending deletions (once per key); those of the mix-and-match file only when read from the
// file waiting to be sent, not from the copy already sent.
//
// The department reader checks neither root nor version, and stops at the first detail that
// has no RecordAction.
//
// Sub-lists come back as packed list cells with every field of every group present.

#include <optional>
#include <string>
#include <vector>

#include "naxml/maintenance/maintenance_records.h"
#include "naxml/maintenance/pending_deletions.h"
#include "naxml/xml_document.h"

namespace tw::naxml {

// Loads the table's file from directory (a local path), else its last-sent copy; nullopt
// when neither loads. Parse errors have been reported by XmlDocument; missing files are not.
std::optional<XmlDocument> LoadMaintenanceFile(const std::string& directory,
                                               const MaintenanceTable& table);

// Records of a loaded document; empty when its root or version is not accepted.
std::vector<ItemListRow> ReadItemListRecords(const XmlDocument& document,
                                             PendingDeletions& deletions);
std::vector<ComboRow> ReadComboRecords(const XmlDocument& document, PendingDeletions& deletions);
// deletions: where the document's deletion records go; null to skip them.
std::vector<MixMatchRow> ReadMixMatchRecords(const XmlDocument& document,
                                             PendingDeletions* deletions);
std::vector<DepartmentRow> ReadDepartmentRecords(const XmlDocument& document);

// The same from the files of directory (LoadMaintenanceFile); empty when nothing was read.
std::vector<ItemListRow> ReadItemListFile(const std::string& directory,
                                          PendingDeletions& deletions);
std::vector<ComboRow> ReadComboFile(const std::string& directory, PendingDeletions& deletions);
std::vector<MixMatchRow> ReadMixMatchFile(const std::string& directory,
                                          PendingDeletions& deletions);

// The department editor reads both files: the last-sent copy, then the pending file, which
// wins when it loads.
enum class DepartmentSet { kNone, kLastSent, kPending };
struct DepartmentFiles {
    DepartmentSet shown = DepartmentSet::kNone;
    std::vector<DepartmentRow> rows;  // codes as "%d"
};
DepartmentFiles ReadDepartmentFiles(const std::string& directory);

// The item list IDs the combo and mix-and-match sub-editors offer: every ItemListID of a
// record that is not a deletion, in file order, from the item-list file of directory or its
// last-sent copy (root version 3.3 or 3.4).
std::vector<std::string> ReadItemListIds(const std::string& directory);

}  // namespace tw::naxml
