#pragma once
// Reads a rendered page back as HTML and answers XPath questions about its structure, so
// tests check tables, headers, rows and colours rather than golden bytes.

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <string>
#include <vector>

namespace tw::test {

class HtmlReader {
public:
    explicit HtmlReader(const std::string& html)
        : doc_(htmlReadMemory(html.data(), static_cast<int>(html.size()), "page.html", "UTF-8",
                              HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET)) {}
    ~HtmlReader() { xmlFreeDoc(doc_); }
    HtmlReader(const HtmlReader&) = delete;
    HtmlReader& operator=(const HtmlReader&) = delete;

    bool Parsed() const { return doc_ != nullptr; }

    // The string values of the nodes an expression selects, in document order.
    std::vector<std::string> Texts(const std::string& xpath) const {
        std::vector<std::string> texts;
        if (doc_ == nullptr)
            return texts;
        xmlXPathContextPtr context = xmlXPathNewContext(doc_);
        xmlXPathObjectPtr result =
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
        if (result != nullptr && result->nodesetval != nullptr) {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                xmlChar* text = xmlXPathCastNodeToString(result->nodesetval->nodeTab[i]);
                texts.emplace_back(reinterpret_cast<const char*>(text));
                xmlFree(text);
            }
        }
        xmlXPathFreeObject(result);
        xmlXPathFreeContext(context);
        return texts;
    }
    std::size_t Count(const std::string& xpath) const { return Texts(xpath).size(); }

    // Table n (1-based): its header texts, its data rows' colours, the cells of data row r.
    std::vector<std::string> Headers(int table) const {
        return Texts("(//table)[" + std::to_string(table) + "]/tr[1]/th");
    }
    std::vector<std::string> RowColours(int table) const {
        return Texts("(//table)[" + std::to_string(table) + "]/tr[position() > 1]/@bgcolor");
    }
    std::vector<std::string> Row(int table, int row) const {
        return Texts("(//table)[" + std::to_string(table) + "]/tr[" + std::to_string(row + 1) +
                     "]/td");
    }
    std::size_t TableCount() const { return Count("//table"); }
    // Captions written above tables.
    std::vector<std::string> Captions() const { return Texts("//p/b"); }

private:
    xmlDocPtr doc_;
};

}  // namespace tw::test
