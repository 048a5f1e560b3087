#include "naxml/xml_document.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <new>
#include <utility>

#include "messages/program_messages.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"

namespace tw {
namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

const xmlChar* Bytes(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string Str(const xmlChar* text) {
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

// ---- the external entity loader ----

thread_local bool refusingEntities = false;
xmlExternalEntityLoader defaultLoader = nullptr;

xmlParserInputPtr GuardedLoader(const char* url, const char* id, xmlParserCtxtPtr context) {
    if (refusingEntities || defaultLoader == nullptr)
        return nullptr;
    return defaultLoader(url, id, context);
}

void InstallGuardedLoader() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        defaultLoader = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(GuardedLoader);
    });
}

std::string TrimmedReason(const char* message) {
    std::string reason = message ? message : "";
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

std::string_view TrimWhiteSpace(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Serialises a node (or the whole document) in UTF-8 without a declaration.
std::string Serialise(xmlDocPtr doc, xmlNodePtr node) {
    xmlBufferPtr buffer = xmlBufferCreate();
    if (buffer == nullptr)
        throw std::bad_alloc();
    std::string text;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
    if (save != nullptr) {
        if (node == nullptr) {
            xmlSaveDoc(save, doc);
        } else {
            xmlSaveTree(save, node);
        }
        xmlSaveClose(save);
        text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<std::size_t>(xmlBufferLength(buffer)));
    }
    xmlBufferFree(buffer);
    return text;
}

bool IsDocument(const xmlNode* node) {
    return node != nullptr &&
           (node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE);
}

// Entity references point into shared declarations and DTD children are declarations: a walk
// through the document's content does not enter either.
bool WalkEntersChildren(const xmlNode* node) {
    return node->type != XML_ENTITY_REF_NODE && node->type != XML_DTD_NODE &&
           node->type != XML_ATTRIBUTE_NODE;
}

// Points every reference to from in the subtree at to.
void Redirect(xmlNodePtr node, xmlNsPtr from, xmlNsPtr to) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (node->ns == from)
            node->ns = to;
        for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
             attribute = attribute->next) {
            if (attribute->ns == from)
                attribute->ns = to;
        }
        Redirect(node->children, from, to);
    }
}

// A copy attached under its new parent: the declarations the copy had to add (those after its
// source's own keep declarations) that the parent already has in scope, with the same meaning,
// are dropped, so the written document does not repeat them on every copied element.
void DropDeclarationsInScope(xmlNodePtr copy, int keep) {
    xmlNsPtr* link = &copy->nsDef;
    for (int i = 0; i < keep && *link != nullptr; ++i) link = &(*link)->next;
    while (*link != nullptr) {
        xmlNsPtr declared = *link;
        xmlNsPtr inScope = xmlSearchNs(copy->doc, copy->parent, declared->prefix);
        if (inScope == nullptr || !xmlStrEqual(inScope->href, declared->href)) {
            link = &declared->next;
            continue;
        }
        if (copy->ns == declared)
            copy->ns = inScope;
        for (xmlAttrPtr attribute = copy->properties; attribute != nullptr;
             attribute = attribute->next) {
            if (attribute->ns == declared)
                attribute->ns = inScope;
        }
        Redirect(copy->children, declared, inScope);
        *link = declared->next;
        declared->next = nullptr;
        xmlFreeNs(declared);
    }
}

// Keeps the first error of a parse (the one the user can act on), not the last.
void KeepFirstError(void* data, xmlErrorPtr error) {
    auto* context = static_cast<xmlParserCtxtPtr>(data);
    auto* first = static_cast<XmlParseError*>(context->_private);
    if (first == nullptr || error == nullptr || error->level < XML_ERR_ERROR || first->code != 0) {
        return;
    }
    first->code = error->code;
    first->line = error->line;
    first->column = error->int2;
    first->reason = TrimmedReason(error->message);
}

}  // namespace

int SafeXmlParseOptions() {
    return XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
}

bool IsWellFormedXml(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    RefuseExternalEntities refuse;
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                  SafeXmlParseOptions());
    if (doc == nullptr)
        return false;
    xmlFreeDoc(doc);
    return true;
}

RefuseExternalEntities::RefuseExternalEntities() : previous_(refusingEntities) {
    InstallGuardedLoader();
    refusingEntities = true;
}

RefuseExternalEntities::~RefuseExternalEntities() {
    refusingEntities = previous_;
}

std::string FormatXmlParseError(const XmlParseError& error) {
    char text[2048];
    if (error.line < 1) {
        std::snprintf(text, sizeof text, "XML %s File = \"%s\"", error.reason.c_str(),
                      error.url.c_str());
    } else {
        std::snprintf(text, sizeof text, "XML %s on line %d, position %d in \"%s\".",
                      error.reason.c_str(), error.line, error.column, error.url.c_str());
    }
    return text;
}

// ---- XmlDocument ----

XmlDocument::XmlDocument() {
    InstallGuardedLoader();
    doc_ = xmlNewDoc(BAD_CAST "1.0");
    if (doc_ == nullptr)
        throw std::bad_alloc();
}

XmlDocument::~XmlDocument() {
    if (doc_ != nullptr)
        xmlFreeDoc(doc_);
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : doc_(std::exchange(other.doc_, nullptr)), lastError_(std::move(other.lastError_)) {}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    std::swap(doc_, other.doc_);
    std::swap(lastError_, other.lastError_);
    return *this;
}

void XmlDocument::Clear() {
    xmlDocPtr fresh = xmlNewDoc(BAD_CAST "1.0");
    if (fresh == nullptr)
        throw std::bad_alloc();
    if (doc_ != nullptr)
        xmlFreeDoc(doc_);
    doc_ = fresh;
}

void XmlDocument::Fail(XmlParseError error, bool report) {
    lastError_ = std::move(error);
    if (report)
        SendMessageText(logMessages(), FormatXmlParseError(lastError_));
}

bool XmlDocument::Load(const std::string& path, bool keepBlankText) {
    Clear();
    lastError_ = {};
    auto bytes = platform::ReadFile(path);
    if (!bytes) {
        const int error = errno;
        // A file that is not there is the caller's business (it falls back to another).
        Fail({error, 0, 0, SystemErrorText(error), path}, error != ENOENT);
        return false;
    }
    const int options =
        keepBlankText ? SafeXmlParseOptions() & ~XML_PARSE_NOBLANKS : SafeXmlParseOptions();
    return Parse(bytes->data(), bytes->size(), path, options);
}

bool XmlDocument::LoadXml(std::string_view text) {
    Clear();
    lastError_ = {};
    text = TrimWhiteSpace(text);
    return Parse(text.data(), text.size(), std::string(), SafeXmlParseOptions());
}

bool XmlDocument::Parse(const char* bytes, std::size_t size, const std::string& url, int options) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        Fail({EFBIG, 0, 0, "Document is too large", url}, true);
        return false;
    }
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr)
        throw std::bad_alloc();
    XmlParseError error;
    error.url = url;
    context->_private = &error;
    context->sax->serror = KeepFirstError;
    xmlDocPtr parsed;
    {
        RefuseExternalEntities refuse;
        parsed = xmlCtxtReadMemory(context, bytes, static_cast<int>(size),
                                   url.empty() ? nullptr : url.c_str(), nullptr, options);
    }
    // A document with an undeclared prefix is not namespace-well-formed: refused as well.
    const bool ok = parsed != nullptr && context->wellFormed && context->nsWellFormed;
    if (ok) {
        xmlFreeDoc(doc_);
        doc_ = parsed;
        xmlFreeParserCtxt(context);
        return true;
    }
    if (error.code == 0) {
        if (const xmlError* last = xmlCtxtGetLastError(context); last != nullptr && last->code) {
            error.code = last->code;
            error.line = last->line;
            error.column = last->int2;
            error.reason = TrimmedReason(last->message);
        } else {
            error.code = XML_ERR_DOCUMENT_EMPTY;
            error.reason = "Document is empty";
        }
    }
    if (parsed != nullptr)
        xmlFreeDoc(parsed);
    xmlFreeParserCtxt(context);
    Fail(std::move(error), true);
    return false;
}

std::string XmlDocument::Xml(bool withDeclaration) const {
    std::string text = Serialise(doc_, nullptr);
    return withDeclaration ? kDeclaration + text : text;
}

bool XmlDocument::Save(const std::string& path, bool withDeclaration, int* error) const {
    return platform::WriteFileAtomically(path, Xml(withDeclaration), error);
}

std::string XmlDocument::NodeXml(XmlNode node) {
    if (node == nullptr)
        return {};
    if (IsDocument(node))
        return Serialise(reinterpret_cast<xmlDocPtr>(node), nullptr);
    return Serialise(node->doc, node);
}

XmlNode XmlDocument::DocumentNode() const {
    return reinterpret_cast<xmlNodePtr>(doc_);
}

XmlNode XmlDocument::Root() const {
    return xmlDocGetRootElement(doc_);
}

XmlNode XmlDocument::FirstNodeAfter(XmlNode node) {
    if (node == nullptr)
        return nullptr;
    if (node->children != nullptr && WalkEntersChildren(node))
        return node->children;
    for (XmlNode at = node; at != nullptr && !IsDocument(at); at = at->parent) {
        if (at->next != nullptr)
            return at->next;
    }
    return nullptr;
}

std::string XmlDocument::NodeName(XmlNode node) {
    if (node == nullptr)
        return {};
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
            if (node->ns != nullptr && node->ns->prefix != nullptr) {
                return Str(node->ns->prefix) + ":" + Str(node->name);
            }
            return Str(node->name);
        case XML_TEXT_NODE:
            return "#text";
        case XML_CDATA_SECTION_NODE:
            return "#cdata-section";
        case XML_COMMENT_NODE:
            return "#comment";
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return "#document";
        case XML_DOCUMENT_FRAG_NODE:
            return "#document-fragment";
        default:
            return Str(node->name);
    }
}

XmlNode XmlDocument::ChildByName(XmlNode parent, std::string_view name) {
    if (parent == nullptr || !WalkEntersChildren(parent))
        return nullptr;
    for (XmlNode child = parent->children; child != nullptr; child = child->next) {
        if (platform::EqualsIgnoreCase(NodeName(child), name))
            return child;
    }
    return nullptr;
}

XmlNode XmlDocument::FindByName(XmlNode start, std::string_view name, XmlNode stop) {
    for (XmlNode node = start; node != nullptr && node != stop; node = FirstNodeAfter(node)) {
        if (platform::EqualsIgnoreCase(NodeName(node), name))
            return node;
    }
    return nullptr;
}

std::string XmlDocument::LocalName(XmlNode node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE ? Str(node->name) : std::string();
}

std::string XmlDocument::NamespaceUri(XmlNode node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr
               ? Str(node->ns->href)
               : std::string();
}

XmlNode XmlDocument::ChildByLocalName(XmlNode parent, std::string_view localName) {
    if (parent == nullptr || !WalkEntersChildren(parent))
        return nullptr;
    for (XmlNode child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE &&
            platform::EqualsIgnoreCase(Str(child->name), localName))
            return child;
    }
    return nullptr;
}

XmlNode XmlDocument::FindByLocalName(XmlNode start, std::string_view localName,
                                     const std::string* namespaceUri, XmlNode stop) {
    for (XmlNode node = start; node != nullptr && node != stop; node = FirstNodeAfter(node)) {
        if (node->type == XML_ELEMENT_NODE &&
            platform::EqualsIgnoreCase(Str(node->name), localName) &&
            (namespaceUri == nullptr || NamespaceUri(node) == *namespaceUri)) {
            return node;
        }
    }
    return nullptr;
}

std::string XmlDocument::Text(XmlNode node) {
    if (node == nullptr || node->type == XML_ENTITY_REF_NODE)
        return {};
    const XmlNode child = node->children;
    if (child == nullptr || child->type != XML_TEXT_NODE)
        return {};
    return Str(child->content);
}

std::string XmlDocument::Attribute(XmlNode node, std::string_view name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE)
        return {};
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (NodeName(reinterpret_cast<xmlNodePtr>(attribute)) != name)
            continue;
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute));
        std::string text = Str(value);
        xmlFree(value);
        return text;
    }
    return {};
}

XmlNode XmlDocument::AppendElement(XmlNode parent, std::string_view name) {
    if (parent == nullptr)
        return nullptr;
    const std::string elementName(name);
    if (IsDocument(parent)) {
        if (Root() != nullptr)
            return nullptr;
        XmlNode element = xmlNewDocNode(doc_, nullptr, Bytes(elementName), nullptr);
        if (element == nullptr)
            throw std::bad_alloc();
        xmlDocSetRootElement(doc_, element);
        return element;
    }
    XmlNode element = xmlNewChild(parent, nullptr, Bytes(elementName), nullptr);
    if (element == nullptr)
        throw std::bad_alloc();
    return element;
}

XmlNode XmlDocument::AppendTextElement(XmlNode parent, std::string_view name,
                                       std::string_view text) {
    if (parent == nullptr)
        return nullptr;
    const std::string elementName(name);
    const std::string content(text);
    if (IsDocument(parent)) {
        XmlNode element = AppendElement(parent, name);
        if (element != nullptr)
            xmlAddChild(element, xmlNewDocText(doc_, Bytes(content)));
        return element;
    }
    XmlNode element = xmlNewTextChild(parent, nullptr, Bytes(elementName), Bytes(content));
    if (element == nullptr)
        throw std::bad_alloc();
    return element;
}

void XmlDocument::SetAttribute(XmlNode element, std::string_view name, std::string_view value) {
    if (element == nullptr || element->type != XML_ELEMENT_NODE)
        return;
    const std::string attributeName(name);
    const std::string content(value);
    if (xmlSetProp(element, Bytes(attributeName), Bytes(content)) == nullptr) {
        throw std::bad_alloc();
    }
}

XmlNode XmlDocument::AppendCopy(XmlNode parent, XmlNode source, bool deep) {
    if (parent == nullptr || source == nullptr || IsDocument(source))
        return nullptr;
    const bool underDocument = IsDocument(parent);
    if (underDocument && source->type == XML_ELEMENT_NODE && Root() != nullptr)
        return nullptr;
    // The copy declares on itself every namespace it uses from outside the copied nodes
    // (extended copy 2: attributes and namespaces, no children).
    XmlNode copy = xmlDocCopyNode(source, doc_, deep ? 1 : 2);
    if (copy == nullptr)
        throw std::bad_alloc();
    if (underDocument && copy->type == XML_ELEMENT_NODE) {
        xmlDocSetRootElement(doc_, copy);
        return copy;
    }
    XmlNode added = xmlAddChild(parent, copy);
    if (added == copy && copy->type == XML_ELEMENT_NODE) {
        int ownDeclarations = 0;
        for (xmlNsPtr ns = source->nsDef; ns != nullptr; ns = ns->next) ++ownDeclarations;
        DropDeclarationsInScope(copy, ownDeclarations);
    }
    return added;
}

void XmlDocument::Remove(XmlNode node) {
    if (node == nullptr || IsDocument(node))
        return;
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

}  // namespace tw
