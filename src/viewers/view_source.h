#pragma once
// Reading a file for a viewer. Viewing is read-only: the file on disk is never rewritten,
// renamed or copied (the sender may be copying the same maintenance file to the POS at that
// moment, and the POS must receive the bytes the editor wrote). The default NAXML namespace
// that maintenance and movement files carry is stripped in memory, so the stylesheets match
// plain element names.

#include <string>

#include "naxml/xml_document.h"

namespace tw::viewers {

// Loads path into document and strips every element's and attribute's namespace in memory.
// False when the file is missing, unreadable or not well-formed; parse errors are reported to
// logMessages() as the XML document reports them ("XML %s on line %d, position %d in
// \"%s\"." / "XML %s File = \"%s\""), a missing file is not reported.
bool LoadForViewing(const std::string& path, XmlDocument& document);

// Takes every element and attribute of the document out of its namespace (declarations stay,
// unused). "n:ISMDetail" and a default-namespaced "ISMDetail" both become "ISMDetail".
void StripNamespaces(XmlDocument& document);

}  // namespace tw::viewers
