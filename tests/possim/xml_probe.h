#pragma once
// A few libxml2 helpers with which the tests read what possim wrote,
// independently of possim's own code.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::possim::test {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// Null when the bytes are not a well-formed document.
inline Doc Parse(const std::string& bytes) {
    return Doc(xmlReadMemory(
        bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

inline std::string Name(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

inline std::vector<xmlNode*> Elements(const xmlNode* parent, std::string_view name = {}) {
    std::vector<xmlNode*> out;
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && (name.empty() || Name(child) == name)) {
            out.push_back(child);
        }
    }
    return out;
}

inline xmlNode* Child(const xmlNode* parent, std::string_view name) {
    const auto found = Elements(parent, name);
    return found.empty() ? nullptr : found.front();
}

// Every element of that name below node, in document order.
inline void Descendants(const xmlNode* node, std::string_view name, std::vector<xmlNode*>& out) {
    for (xmlNode* child = node->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (Name(child) == name) {
            out.push_back(child);
        }
        Descendants(child, name, out);
    }
}

inline std::string Text(const xmlNode* node) {
    if (!node) {
        return "<missing>";
    }
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

inline std::string ChildText(const xmlNode* parent, std::string_view name) {
    return Text(Child(parent, name));
}

inline std::string Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

}  // namespace tw::possim::test
