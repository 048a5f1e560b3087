#pragma once
// The XSLT stylesheets that turn NAXML files into HTML tables, and the transform that applies
// them.
//
// Every stylesheet is built from a table description held in the program (no stylesheet file
// is ever written or read) and compiled once per process, on first use. Each renders one or
// more tables (style="font-size:10", cellspacing 0, cellpadding 2) with a header row on
// #7F7FBF and data rows alternating #DFDFDF (odd) and #FFFFDD (even). Rows and cells are found
// by element names without a namespace: documents are given to Transform with their
// namespaces stripped (view_source.h). A cell is looked up anywhere below its record element,
// so a POS that nests an element one level deeper or shallower still fills the column.
//
// The transform runs with security preferences that forbid reading and writing files,
// creating directories and network access: a stylesheet cannot reach outside the document.
//
// Threads: TransformInto may be called from several threads at once; the compiled stylesheets are
// shared read-only.

#include <string>

#include "naxml/xml_document.h"

namespace tw::viewers {

enum class Stylesheet {
    // Maintenance files.
    kItems,          // ITT
    kDepartments,    // MCT
    kGrades,         // FGT
    kTanks,          // TPT
    kItemLists,      // ILT
    kCombos,         // CBT
    kMixMatch,       // MMT
    kTaxIncludes,    // TIT
    kTaxLevels,      // TLT
    kTaxStrategies,  // TST
    kFuelProducts,   // FPT
    // The POS's maintenance results (ILG).
    kResults,
    // Movement reports of a sales period.
    kFuelGradeMovement,    // FGM: by price tier, or by fuel position
    kItemSalesMovement,    // ISM
    kMerchandiseMovement,  // MCM
    kMiscSummaryMovement,  // MSM, codes spelled out
};
inline constexpr int kStylesheetCount = static_cast<int>(Stylesheet::kMiscSummaryMovement) + 1;

// The stylesheet's text (what is compiled).
std::string StylesheetText(Stylesheet which);

// Appends the HTML the stylesheet makes of the document (UTF-8, no page frame) to out, so a
// page is built in one string. False, out as it was, when the stylesheet cannot be compiled or
// the transform fails (reported to logMessages()).
bool TransformInto(const XmlDocument& document, Stylesheet which, std::string& out);

}  // namespace tw::viewers
