#include "app/automation/automation_objects.h"

#include <new>

#include "messages/program_messages.h"
#include "platform/paths.h"

namespace tw {
namespace {

// Reports an exception of an automation call as every call site does.
void ReportCallFailure(const std::exception& e) {
    if (const auto* dispatch = dynamic_cast<const DispatchException*>(&e))
        ReportDispatchException(errorMessages(), *dispatch);
    else
        ReportException(errorMessages(), e);
}

// The reason a creation failed, as the ComError that ReportException shows.
ComError CreationError(HRESULT hr, const std::string& detail) {
    std::string text = HresultText(hr);
    if (!detail.empty()) {
        if (text.ends_with('.'))
            text.pop_back();
        text += ": " + detail + ".";
    }
    return ComError(hr, text);
}

}  // namespace

DispatchDriver CreateObject(const std::string& progId) {
    try {
        DispatchDriver object;
        std::string detail;
        const HRESULT hr = object.Create(progId, &detail);
        if (SUCCEEDED(hr))
            return object;
        FormatMessageTo(errorMessages(),
                        "Unable to create object %s.  Make sure libqorcom.so is installed and "
                        "registered with qorregsvr.",
                        progId.c_str());
        ReportException(errorMessages(), CreationError(hr, detail));
    } catch (const std::bad_alloc&) {
        FormatMessageTo(errorMessages(), "Cannot open QORCOM.");
    } catch (const std::exception& e) {
        ReportCallFailure(e);
    }
    return {};
}

DispatchDriver OpenStation(std::int16_t siteNumber, const std::string& backOfficeDirectory) {
    try {
        DispatchDriver station;
        if (FAILED(station.Create(kStationProgId))) {
            FormatMessageTo(errorMessages(), "Unable to open QOR posting destination.");
            return {};
        }
        station.SetProperty(posting::kClientVersion, LongArgument(posting::kClientVersionValue));
        const comlite::Variant path =
            TextArgument(platform::JoinPath(backOfficeDirectory, posting::kDatabaseName));
        const comlite::Variant site = ShortArgument(siteNumber);
        VARIANT args[] = {path, site};  // shallow copies; the Variants keep ownership
        station.CallMethod(posting::kOpen, args);
        return station;
    } catch (const std::bad_alloc&) {
        FormatMessageTo(errorMessages(), "Cannot open %s", "QORPOST");
    } catch (const std::exception& e) {
        ReportCallFailure(e);
    }
    return {};  // a station that failed to open is released, never handed out half-open
}

DispatchDriver OpenInventory(const DispatchDriver& station, bool option) {
    if (!station)
        return {};
    try {
        DispatchDriver inventory;
        if (FAILED(inventory.Create(kInventoryProgId)))
            return {};
        inventory.SetProperty(posting::kClientVersion, LongArgument(posting::kClientVersionValue));
        inventory.SetProperty(posting::kInventoryOption, BoolArgument(option));
        const comlite::Variant stationArgument = DispatchArgument(station.Get());
        VARIANT args[] = {stationArgument};
        inventory.CallMethod(posting::kOpen, args);
        return inventory;
    } catch (const std::bad_alloc&) {
        FormatMessageTo(errorMessages(), "Cannot open %s", "QORPOST");
    } catch (const std::exception& e) {
        ReportCallFailure(e);
    }
    return {};
}

bool BackOfficeInventory::MoveFirst() {
    return ResultAsBool(inventory_.CallMethod(posting::kMoveFirst));
}

bool BackOfficeInventory::MoveNext() {
    return ResultAsBool(inventory_.CallMethod(posting::kMoveNext));
}

comlite::Variant BackOfficeInventory::Field(std::string_view name) {
    const comlite::Variant text = TextArgument(name);
    comlite::Variant value;
    VARIANT args[] = {text, VariantOutArgument(value)};  // shallow: text keeps its string
    inventory_.CallMethod(posting::kGetField, args);
    return value;
}

BackOfficeItem BackOfficeInventory::CurrentItem() {
    BackOfficeItem item;
    item.active = ResultAsBool(Field("active"));
    item.upcCode = ResultAsText(Field("UPC_code"));
    item.upcPackSize = ResultAsLong(Field("UPC_pack_size"));
    item.description = ResultAsText(Field("description"));
    item.id = ResultAsText(Field("id"));
    item.packSize = ResultAsLong(Field("pack_size"));
    return item;
}

std::optional<std::vector<BackOfficeItem>> ReadBackOfficeItems(const DispatchDriver& station) {
    DispatchDriver opened = OpenInventory(station, false);
    if (!opened)
        return std::nullopt;
    try {
        BackOfficeInventory inventory(std::move(opened));
        std::vector<BackOfficeItem> items;
        for (bool more = inventory.MoveFirst(); more; more = inventory.MoveNext())
            items.push_back(inventory.CurrentItem());
        return items;
    } catch (const std::bad_alloc&) {
        FormatMessageTo(errorMessages(), "Cannot open %s", "QORPOST");
    } catch (const std::exception& e) {
        ReportCallFailure(e);
    }
    return std::nullopt;
}

}  // namespace tw
