#pragma once
// The XML document object through which the poller reads and writes every XML file: a DOM over
// libxml2 with the operations the NAXML code needs.
//
// Parsing is safe for files that come from outside: no network access, no DTD loading, no
// entity substitution, and no external entity is ever loaded (the document itself is read by
// us, not by the parser). Whitespace-only text between elements is dropped. Node names are the
// qualified names as written ("SaleEvent", "xsi:type"); name searches ignore letter case.
//
// Threads: one document is used by one thread at a time; several documents may be parsed and
// saved on different threads at once.

#include <cstddef>
#include <string>
#include <string_view>

struct _xmlNode;
struct _xmlDoc;

namespace tw {

// A node of a document; valid while the document holds it. Null means "none".
using XmlNode = ::_xmlNode*;

// Why the last load failed.
struct XmlParseError {
    int code = 0;  // the parser's error number, or errno when the file could not be read
    int line = 0;  // 0 when the failure has no position
    int column = 0;
    std::string reason;  // the parser's text without its line end
    std::string url;     // the file, empty for text
};

class XmlDocument {
public:
    // An empty document. Throws std::bad_alloc when libxml2 cannot make one.
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the document with the file's content. On failure the document is empty, the
    // reason is in LastError() and has been reported to logMessages():
    //   "XML %s File = \"%s\""                         (a failure without a line)
    //   "XML %s on line %d, position %d in \"%s\"."    (a parse error)
    // A file that does not exist fails without a report. keepBlankText keeps whitespace-only
    // text between elements, for a caller that drops it by a rule of its own.
    bool Load(const std::string& path, bool keepBlankText = false);
    // The same for text, after trimming white space at both ends; the file name is empty.
    bool LoadXml(std::string_view text);
    const XmlParseError& LastError() const { return lastError_; }

    // The serialised document in UTF-8, without an XML declaration unless asked for. Every
    // top-level node ends in a line feed.
    std::string Xml(bool withDeclaration = false) const;
    // Writes Xml(withDeclaration) to path atomically: readers see the old file or the whole new
    // one. False (errno in *error when given) with the old file left in place.
    bool Save(const std::string& path, bool withDeclaration = false, int* error = nullptr) const;
    // The serialised node and its descendants.
    static std::string NodeXml(XmlNode node);

    // The document as a node (the parent of the root element).
    XmlNode DocumentNode() const;
    // The root element, or null.
    XmlNode Root() const;

    // The node's first child; without one, the next node in document order (the next sibling,
    // else the next sibling of the nearest ancestor that has one). Null at the end.
    static XmlNode FirstNodeAfter(XmlNode node);
    // "SaleEvent", "ns:SaleEvent", "#text", "#comment", "#cdata-section", "#document", or the
    // target of a processing instruction.
    static std::string NodeName(XmlNode node);
    // The first direct child whose name equals name without regard to case.
    static XmlNode ChildByName(XmlNode parent, std::string_view name);
    // Walks from start (itself first) in document order to the first node whose name equals
    // name without regard to case; null when stop or the end comes first.
    static XmlNode FindByName(XmlNode start, std::string_view name, XmlNode stop = nullptr);
    // The same searches by an element's local name (its name without a prefix), for documents
    // that may carry a prefix on every element ("<n:JournalHeader>"). With namespaceUri, only
    // elements of that namespace match ("" is no namespace); without, any namespace does.
    static XmlNode ChildByLocalName(XmlNode parent, std::string_view localName);
    static XmlNode FindByLocalName(XmlNode start, std::string_view localName,
                                   const std::string* namespaceUri = nullptr,
                                   XmlNode stop = nullptr);
    // An element's local name, and its namespace's URI ("" without one).
    static std::string LocalName(XmlNode node);
    static std::string NamespaceUri(XmlNode node);
    // The first child's value when that child is a text node; otherwise empty.
    static std::string Text(XmlNode node);
    // The value of the attribute of that qualified name; empty when absent.
    static std::string Attribute(XmlNode node, std::string_view name);

    // A new element as parent's last child. Under the document node it becomes the root
    // element; null when the document already has one.
    XmlNode AppendElement(XmlNode parent, std::string_view name);
    // The same with one text child holding text (escaped when serialised).
    XmlNode AppendTextElement(XmlNode parent, std::string_view name, std::string_view text);
    // Adds or replaces an attribute.
    void SetAttribute(XmlNode element, std::string_view name, std::string_view value);

    // Appends a copy of source (a node of any document) as parent's last child and returns it.
    // deep copies the descendants; a shallow copy is the node with its attributes and
    // namespace declarations only. Namespaces used by the copy keep their meaning: a
    // declaration already in scope at parent is reused, a missing one is added to the copy.
    // Under the document node the copy becomes the root element (null when there is one).
    XmlNode AppendCopy(XmlNode parent, XmlNode source, bool deep);

    // Removes node and its descendants from the document and frees them.
    static void Remove(XmlNode node);

    // Empties the document.
    void Clear();

    // The libxml2 document, for code that works on it directly (XPath, the streaming split).
    ::_xmlDoc* Raw() const { return doc_; }

private:
    bool Parse(const char* bytes, std::size_t size, const std::string& url, int options);
    void Fail(XmlParseError error, bool report);

    ::_xmlDoc* doc_ = nullptr;
    XmlParseError lastError_;
};

// Parser options for documents that come from outside (see the top of this file).
int SafeXmlParseOptions();

// Whether text is a well-formed document, parsed with those options; reports nothing.
bool IsWellFormedXml(std::string_view text);

// While alive on a thread, the external entity loader refuses every entity asked for on that
// thread (parsers of other code keep the default loader). XmlDocument and the streaming journal
// reader hold one around each parse.
class RefuseExternalEntities {
public:
    RefuseExternalEntities();
    ~RefuseExternalEntities();
    RefuseExternalEntities(const RefuseExternalEntities&) = delete;
    RefuseExternalEntities& operator=(const RefuseExternalEntities&) = delete;

private:
    bool previous_;
};

// "XML %s File = \"%s\"" or "XML %s on line %d, position %d in \"%s\".", as Load reports.
std::string FormatXmlParseError(const XmlParseError& error);

}  // namespace tw
