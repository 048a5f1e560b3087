#pragma once
// The automation objects Tidewell creates by ProgID: the dial-up object of qorcom and the two
// objects of the back office's posting server, which lies outside this system and is reached
// only through the ProgIDs and dispatch identifiers below.
//
// Every function here reports its own failures on errorMessages() (none for a failed
// inventory creation, which callers treat as "no back-office items") and returns an empty
// driver; callers only test for that. Call from one thread at a time per object.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/automation/dispatch_driver.h"

namespace tw {

inline constexpr const char* kStationProgId = "QORPost.Station";
inline constexpr const char* kInventoryProgId = "QORPost.Inventory";

// Dispatch identifiers of the posting server's objects.
namespace posting {
inline constexpr DISPID kClientVersion = 0x60020000;    // property, both objects: long
inline constexpr DISPID kOpen = 0x60020001;             // Station: (text path, short site);
                                                        // Inventory: (station object)
inline constexpr DISPID kMoveFirst = 0x60020004;        // Inventory: -> boolean
inline constexpr DISPID kMoveNext = 0x60020005;         // Inventory: -> boolean
inline constexpr DISPID kGetField = 0x60020007;         // Inventory: (text name, [out] variant)
inline constexpr DISPID kInventoryOption = 0x60030007;  // Inventory property: boolean
// The value the client sets kClientVersion to on both objects.
inline constexpr std::int32_t kClientVersionValue = 1537;  // 0x601
// The database name the station is opened with, in the back-office directory.
inline constexpr const char* kDatabaseName = "QORSETUP.MDB";
}  // namespace posting

// Creates an object by ProgID. On failure reports "Unable to create object %s.  Make sure
// libqorcom.so is installed and registered with qorregsvr." and then the reason (through
// ReportException); "Cannot open QORCOM." when out of memory.
DispatchDriver CreateObject(const std::string& progId);

// Opens the back-office station of a site: creates "QORPost.Station", sets its client version
// to 1537 and opens it with backOfficeDirectory + "QORSETUP.MDB" (a separator is added to the
// directory when it has none) and the site number as a 16-bit integer. The directory is
// passed as given: the posting server resolves it. A failed creation reports "Unable to open
// QOR posting destination."; a failed call is reported as an automation exception.
DispatchDriver OpenStation(std::int16_t siteNumber, const std::string& backOfficeDirectory);

// Opens the item inventory of an open station: creates "QORPost.Inventory" (empty result,
// nothing reported, when that fails), sets its client version to 1537 and its one boolean
// option, then opens it on the station. A failed call is reported as an automation exception.
DispatchDriver OpenInventory(const DispatchDriver& station, bool option);

// One record of the back office's items, as the item-list editor reads it.
struct BackOfficeItem {
    bool active = false;
    std::string upcCode;
    std::int32_t upcPackSize = 0;
    std::string description;
    std::string id;
    std::int32_t packSize = 0;
};

// Walking an opened inventory. Calls throw DispatchException or ComError (see
// dispatch_driver.h).
class BackOfficeInventory {
public:
    explicit BackOfficeInventory(DispatchDriver inventory) : inventory_(std::move(inventory)) {}

    // Positions on the first record; false when there is none.
    bool MoveFirst();
    // Moves to the next record; false past the last one.
    bool MoveNext();
    // One field of the current record ("active", "UPC_code", "id", ...).
    comlite::Variant Field(std::string_view name);
    // The six fields the item-list editor uses, of the current record.
    BackOfficeItem CurrentItem();

private:
    DispatchDriver inventory_;
};

// Every item of the station's inventory, first record to last (inventory option off). nullopt
// when the inventory could not be opened or read; a failed read has been reported.
std::optional<std::vector<BackOfficeItem>> ReadBackOfficeItems(const DispatchDriver& station);

}  // namespace tw
