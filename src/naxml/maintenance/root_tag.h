#pragma once
// Rewriting the root start tag of a saved maintenance file. The viewers show a file with the
// plain root (their stylesheets match names without a namespace) and give it back the
// namespaced root afterwards, so a viewed file carries the namespaced root and is one line.
//
// The root start tag is looked for among the first five pieces of the file, each piece
// running up to and including the next '>' (line ends left out); a piece that begins with
// "<NAXML-MaintenanceRequest" is the root start tag. Everything before it is dropped, the new
// start tag replaces it, and the rest follows on the same line: line ends between elements
// are dropped, a line end inside a tag becomes a blank and one inside a text becomes a
// character reference, so no value changes. The root's version is kept ("3.3" when it has
// none).
//
// The file is replaced atomically through a temporary name in its own directory. Both return
// false, leaving the file unchanged, when it cannot be read, its root start tag is not among
// the first five pieces, or it cannot be replaced.

#include <optional>
#include <string>
#include <string_view>

namespace tw::naxml {

// <NAXML-MaintenanceRequest version="...">
bool SetPlainRoot(const std::string& path);
// <NAXML-MaintenanceRequest xmlns="<NAXML>" xmlns:xsi="<XML Schema instance>"
//   xsi:schemaLocation="<NAXML> NAXML-PBIMaintenance33.xsd" version="...">
bool SetNamespacedRoot(const std::string& path);

// The rewriting on bytes, for both: nullopt when the root start tag is not found.
std::optional<std::string> WithRootStartTag(std::string_view bytes, bool namespaced);

}  // namespace tw::naxml
