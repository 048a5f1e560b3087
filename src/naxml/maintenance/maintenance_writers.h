#pragma once
// Writing the four maintenance request files from the editors' records.
//
// The Build functions make the whole document: one detail per record whose key column is not
// empty, in record order, then one deletion per key in the order the keys were recorded. The
// Save functions build, report "Saving ..." as a status, write the file atomically into the
// site's maintenance directory and report a failure as an error. A confirmed save always
// writes, even without records.
//
// Pending deletions: every writer clears its editor's keys once the file is safely written (a
// failed save keeps them for the next try), so a key deleted, sent and entered again is not
// deleted again by a later save. The department writer first forgets the keys of departments
// its rows still list.
//
// Packed list cells: every group the cell holds is examined, however many there are.

#include <span>
#include <string>

#include "naxml/maintenance/maintenance_document.h"
#include "naxml/maintenance/maintenance_records.h"
#include "naxml/maintenance/pending_deletions.h"

namespace tw::naxml {

MaintenanceDocument BuildDepartmentDocument(const MaintenanceSite& site,
                                            std::span<const DepartmentRow> rows,
                                            std::span<const std::string> deletions);
MaintenanceDocument BuildItemListDocument(const MaintenanceSite& site,
                                          std::span<const ItemListRow> rows,
                                          std::span<const std::string> deletions);
MaintenanceDocument BuildComboDocument(const MaintenanceSite& site, std::span<const ComboRow> rows,
                                       std::span<const std::string> deletions);
MaintenanceDocument BuildMixMatchDocument(const MaintenanceSite& site,
                                          std::span<const MixMatchRow> rows,
                                          std::span<const std::string> deletions);

// Status and failure texts of the editors.
inline constexpr const char* kSavingDepartmentFile = "Saving Department Maintenance File %s.";
inline constexpr const char* kDepartmentWriteFailed =
    "Unable to write Department Maintenance record.";
inline constexpr const char* kSavingComboFile = "Saving Combo/Promotion Maintenance File %s.";
inline constexpr const char* kComboWriteFailed =
    "Unable to write Combo/Promotion Maintenance record.";
inline constexpr const char* kMixMatchWriteFailed =
    "Unable to write Promotion/Mix Match Maintenance record.";

// Each writes its table's file into site.directory; true when the file was written. Failures
// have been reported through errorMessages().
bool SaveDepartmentFile(const MaintenanceSite& site, std::span<const DepartmentRow> rows,
                        PendingDeletions& deletions);
bool SaveItemListFile(const MaintenanceSite& site, std::span<const ItemListRow> rows,
                      PendingDeletions& deletions);
bool SaveComboFile(const MaintenanceSite& site, std::span<const ComboRow> rows,
                   PendingDeletions& deletions);
bool SaveMixMatchFile(const MaintenanceSite& site, std::span<const MixMatchRow> rows,
                      PendingDeletions& deletions);

// Forgets the department deletions whose department the rows list again (entered anew after
// it was deleted): a department the grid shows is never deleted by the same file.
void ForgetListedDepartments(std::span<const DepartmentRow> rows, PendingDeletions& deletions);

// Where a table's file is written: the maintenance directory and the file name.
std::string MaintenanceFilePath(const MaintenanceSite& site, const MaintenanceTable& table);

}  // namespace tw::naxml
