#pragma once
// The identities of Tidewell's menu commands. The numbers are those the program always used,
// so the menus, the status-line texts and anything that names a command stay as they were.

namespace tw::commands {

inline constexpr int kStartPolling = 32771;
inline constexpr int kStopPolling = 32772;
inline constexpr int kSiteNumber = 32773;
inline constexpr int kSiteSettings = 32774;
inline constexpr int kViewSales = 32775;

// File > Edit: the maintenance editors (kept only with /EDITOR).
inline constexpr int kEditDepartments = 40004;
inline constexpr int kEditItemGroups = 40017;
inline constexpr int kEditPromotions = 40018;
// The mix-and-match editor: a command without a menu entry.
inline constexpr int kEditMixMatch = 40019;

// File > View.
inline constexpr int kViewItemsToSend = 40001;
inline constexpr int kViewDepartmentsToSend = 40006;
inline constexpr int kViewItemGroupsToSend = 40024;
inline constexpr int kViewPromotionsToSend = 40026;
inline constexpr int kViewItemsLastSent = 40002;
inline constexpr int kViewDepartmentsLastSent = 40007;
inline constexpr int kViewItemGroupsLastSent = 40025;
inline constexpr int kViewPromotionsLastSent = 40027;
inline constexpr int kViewLastResults = 40044;

// File > Purge Pending (the mix-and-match file has no menu entry).
inline constexpr int kPurgeItems = 40046;
inline constexpr int kPurgeDepartments = 40047;
inline constexpr int kPurgeItemGroups = 40048;
inline constexpr int kPurgePromotions = 40049;
inline constexpr int kPurgeMixMatch = 40050;

inline constexpr int kVersions = 40051;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;

// Commands that act on the open site: enabled only while one is open.
constexpr bool NeedsSite(int id) {
    return (id >= kSiteNumber && id <= kViewSales) || (id >= 40001 && id <= 40050);
}

}  // namespace tw::commands
