#include "viewers/view_source.h"

#include <libxml/tree.h>

namespace tw::viewers {

void StripNamespaces(XmlDocument& document) {
    xmlNodePtr root = xmlDocGetRootElement(document.Raw());
    // Iterative walk: a deep document must not exhaust the stack.
    xmlNodePtr node = root;
    while (node != nullptr) {
        if (node->type == XML_ELEMENT_NODE) {
            node->ns = nullptr;
            for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
                 attribute = attribute->next) {
                attribute->ns = nullptr;
            }
            if (node->children != nullptr) {
                node = node->children;
                continue;
            }
        }
        while (node != nullptr && node != root && node->next == nullptr) node = node->parent;
        if (node == nullptr || node == root)
            break;
        node = node->next;
    }
}

bool LoadForViewing(const std::string& path, XmlDocument& document) {
    if (!document.Load(path))
        return false;
    StripNamespaces(document);
    return true;
}

}  // namespace tw::viewers
