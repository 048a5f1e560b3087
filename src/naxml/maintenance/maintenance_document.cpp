#include "naxml/maintenance/maintenance_document.h"

#include <libxml/tree.h>

#include <cstdio>
#include <new>

#include "platform/text_file.h"

namespace tw::naxml {
namespace {

const xmlChar* Bytes(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

// Declares the NAXML vocabulary as the root's default namespace (every element appended
// later inherits it) and the schema location, in the order the POS's files carry them.
void DeclareNaxmlNamespace(XmlNode root) {
    const std::string naxml(kNaxmlNamespace);
    const std::string schemaInstance(kSchemaInstanceNamespace);
    const std::string location = naxml + " " + std::string(kMaintenanceSchemaFile);
    xmlNsPtr defaultNs = xmlNewNs(root, Bytes(naxml), nullptr);
    xmlNsPtr xsi = xmlNewNs(root, Bytes(schemaInstance), BAD_CAST "xsi");
    if (defaultNs == nullptr || xsi == nullptr)
        throw std::bad_alloc();
    xmlSetNs(root, defaultNs);
    if (xmlNewNsProp(root, xsi, BAD_CAST "schemaLocation", Bytes(location)) == nullptr) {
        throw std::bad_alloc();
    }
}

// The document on one line: the serialiser ends the root with a line feed and writes line
// feeds inside texts as they are; the first is dropped, the others become character
// references so no text changes.
std::string OneLine(std::string xml) {
    while (!xml.empty() && (xml.back() == '\n' || xml.back() == '\r')) xml.pop_back();
    std::string out;
    out.reserve(xml.size());
    for (char c : xml) {
        if (c == '\n') {
            out += "&#10;";
        } else if (c == '\r') {
            out += "&#13;";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::string StoreLocationId(int siteNumber) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", siteNumber);
    return text;
}

void WriteTransmissionHeader(XmlDocument& document, XmlNode root, std::string_view storeLocation,
                             std::string_view nameAndVersion) {
    XmlNode header = document.AppendElement(root, "TransmissionHeader");
    document.AppendTextElement(header, "StoreLocationID", storeLocation);
    document.AppendTextElement(header, "VendorName", kVendorName);
    document.AppendTextElement(header, "VendorModelVersion", nameAndVersion);
}

MaintenanceDocument::MaintenanceDocument(const MaintenanceTable& table, int siteNumber,
                                         std::string_view nameAndVersion)
    : table_(&table) {
    XmlNode root = document_.AppendElement(document_.DocumentNode(), kMaintenanceRootElement);
    if (table.namespacedRoot)
        DeclareNaxmlNamespace(root);
    document_.SetAttribute(root, "version", table.version);
    WriteTransmissionHeader(document_, root, StoreLocationId(siteNumber), nameAndVersion);
    tableElement_ = document_.AppendElement(root, table.tableElement);
    document_.SetAttribute(document_.AppendElement(tableElement_, "TableAction"), "type", "update");
    document_.SetAttribute(document_.AppendElement(tableElement_, "RecordAction"), "type",
                           "addchange");
}

XmlNode MaintenanceDocument::AppendDetail(bool recordAction) {
    XmlNode detail = document_.AppendElement(tableElement_, table_->detailElement);
    if (recordAction) {
        document_.SetAttribute(document_.AppendElement(detail, "RecordAction"), "type",
                               "addchange");
    }
    return detail;
}

void MaintenanceDocument::AppendDeletion(std::string_view key) {
    XmlNode detail = document_.AppendElement(tableElement_, table_->detailElement);
    document_.SetAttribute(document_.AppendElement(detail, "RecordAction"), "type", "delete");
    document_.AppendTextElement(detail, table_->keyElement, key);
}

std::string MaintenanceDocument::FileBytes() const {
    return table_->namespacedRoot ? OneLine(document_.Xml()) : document_.Xml();
}

bool MaintenanceDocument::Save(const std::string& path, int* error) const {
    if (!table_->namespacedRoot)
        return document_.Save(path, false, error);
    return platform::WriteFileAtomically(path, FileBytes(), error);
}

XmlNode AppendAlways(XmlDocument& document, XmlNode parent, std::string_view name,
                     std::string_view text) {
    return document.AppendTextElement(parent, name, text);
}

XmlNode AppendIfSet(XmlDocument& document, XmlNode parent, std::string_view name,
                    std::string_view text) {
    return text.empty() ? nullptr : document.AppendTextElement(parent, name, text);
}

void SetAttributeIfSet(XmlDocument& document, XmlNode element, std::string_view name,
                       std::string_view value) {
    if (!value.empty())
        document.SetAttribute(element, name, value);
}

}  // namespace tw::naxml
