#pragma once
// XPath questions about an XML file, for checking the structure of written files. The NAXML
// namespace is bound to the prefix "n".

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <string>

#include "journal_builder.h"

namespace tw::test {

class XmlProbe {
public:
    explicit XmlProbe(const std::string& path) {
        doc_ = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS);
        if (doc_ == nullptr)
            return;
        context_ = xmlXPathNewContext(doc_);
        xmlXPathRegisterNs(context_, BAD_CAST "n", BAD_CAST kNaxmlNamespace);
    }
    ~XmlProbe() {
        if (context_ != nullptr)
            xmlXPathFreeContext(context_);
        if (doc_ != nullptr)
            xmlFreeDoc(doc_);
    }
    XmlProbe(const XmlProbe&) = delete;
    XmlProbe& operator=(const XmlProbe&) = delete;

    bool Loaded() const { return doc_ != nullptr; }

    double Number(const std::string& expression) const {
        if (context_ == nullptr)
            return -1;
        xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST expression.c_str(), context_);
        const double value = result ? xmlXPathCastToNumber(result) : -1;
        if (result != nullptr)
            xmlXPathFreeObject(result);
        return value;
    }
    std::string String(const std::string& expression) const {
        if (context_ == nullptr)
            return "<not loaded>";
        xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST expression.c_str(), context_);
        std::string text;
        if (result != nullptr) {
            xmlChar* value = xmlXPathCastToString(result);
            text = reinterpret_cast<const char*>(value);
            xmlFree(value);
            xmlXPathFreeObject(result);
        }
        return text;
    }

private:
    xmlDocPtr doc_ = nullptr;
    xmlXPathContextPtr context_ = nullptr;
};

}  // namespace tw::test
