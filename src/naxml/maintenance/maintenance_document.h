#pragma once
// The envelope every maintenance request file shares:
//
//   NAXML-MaintenanceRequest [version]
//     TransmissionHeader: StoreLocationID ("%04d" site), VendorName, VendorModelVersion
//     <table element>
//       TableAction [type="update"]
//       RecordAction [type="addchange"]
//       one detail per record to add or change, then one per deletion
//
// The mix-and-match file carries the NAXML namespace declarations on its root and is written
// as one line without a line end; the others carry only the version and are written as the
// XML document serialises them. No XML declaration is written.

#include <string>
#include <string_view>

#include "naxml/maintenance/maintenance_records.h"
#include "naxml/xml_document.h"

namespace tw::naxml {

inline constexpr std::string_view kMaintenanceRootElement = "NAXML-MaintenanceRequest";
inline constexpr std::string_view kVendorName = "TORV";
inline constexpr std::string_view kNaxmlNamespace =
    "http://www.naxml.org/POSBO/Vocabulary/2003-10-16";
inline constexpr std::string_view kSchemaInstanceNamespace =
    "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kMaintenanceSchemaFile = "NAXML-PBIMaintenance33.xsd";

// The site number as StoreLocationID: "%04d" (site 1 is "0001").
std::string StoreLocationId(int siteNumber);

// Appends TransmissionHeader with StoreLocationID, VendorName and VendorModelVersion to root.
void WriteTransmissionHeader(XmlDocument& document, XmlNode root, std::string_view storeLocation,
                             std::string_view nameAndVersion);

// One maintenance file under construction. Throws std::bad_alloc when memory runs out.
class MaintenanceDocument {
public:
    // Builds the envelope up to and including the table's RecordAction.
    MaintenanceDocument(const MaintenanceTable& table, int siteNumber,
                        std::string_view nameAndVersion);

    XmlDocument& Document() { return document_; }
    const XmlDocument& Document() const { return document_; }
    XmlNode TableElement() const { return tableElement_; }

    // A new detail element at the end of the table; with recordAction its first child is
    // RecordAction [type="addchange"].
    XmlNode AppendDetail(bool recordAction);
    // A deletion: the detail, RecordAction [type="delete"], then the key element with key.
    void AppendDeletion(std::string_view key);

    // The bytes of the file.
    std::string FileBytes() const;
    // Writes FileBytes() to path atomically, through a temporary name in the same directory
    // that no "*.XML" mask selects, so the sender never picks up part of a file. False (errno
    // in *error when given) with the old file left in place.
    bool Save(const std::string& path, int* error = nullptr) const;

private:
    const MaintenanceTable* table_;
    XmlDocument document_;
    XmlNode tableElement_ = nullptr;
};

// Element helpers for the writers.
// An element with text, written even when text is empty.
XmlNode AppendAlways(XmlDocument& document, XmlNode parent, std::string_view name,
                     std::string_view text);
// An element with text, written only when text is not empty; null otherwise.
XmlNode AppendIfSet(XmlDocument& document, XmlNode parent, std::string_view name,
                    std::string_view text);
// An attribute written only when value is not empty.
void SetAttributeIfSet(XmlDocument& document, XmlNode element, std::string_view name,
                       std::string_view value);

}  // namespace tw::naxml
