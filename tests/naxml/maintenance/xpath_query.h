#pragma once
// XPath queries on a document for the maintenance tests. The prefix "n" is bound to the NAXML
// namespace for the namespaced mix-and-match file.

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <string>
#include <vector>

#include "naxml/maintenance/maintenance_document.h"
#include "naxml/xml_document.h"

namespace tw::naxml::test {

// The nodes the expression selects, in document order.
inline std::vector<xmlNodePtr> Select(const XmlDocument& document, const std::string& expression) {
    std::vector<xmlNodePtr> nodes;
    xmlXPathContextPtr context = xmlXPathNewContext(document.Raw());
    const std::string naxml(kNaxmlNamespace);
    xmlXPathRegisterNs(context, BAD_CAST "n", BAD_CAST naxml.c_str());
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST expression.c_str(), context);
    if (result != nullptr && result->nodesetval != nullptr) {
        nodes.assign(result->nodesetval->nodeTab,
                     result->nodesetval->nodeTab + result->nodesetval->nodeNr);
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return nodes;
}

// The string value of every node selected.
inline std::vector<std::string> Query(const XmlDocument& document, const std::string& expression) {
    std::vector<std::string> values;
    for (xmlNodePtr node : Select(document, expression)) {
        xmlChar* text = xmlNodeGetContent(node);
        values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        xmlFree(text);
    }
    return values;
}

// The names of the element children of the one node selected (none when it is not one).
inline std::vector<std::string> ChildNames(const XmlDocument& document,
                                           const std::string& expression) {
    std::vector<std::string> names;
    const std::vector<xmlNodePtr> nodes = Select(document, expression);
    if (nodes.size() != 1)
        return names;
    for (xmlNodePtr child = nodes[0]->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            names.push_back(XmlDocument::NodeName(child));
    }
    return names;
}

// The document written to bytes and parsed again, as a reader would see the file.
inline XmlDocument Reparsed(const MaintenanceDocument& document) {
    XmlDocument parsed;
    parsed.LoadXml(document.FileBytes());
    return parsed;
}

}  // namespace tw::naxml::test
