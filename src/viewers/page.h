#pragma once
// The HTML page every view is: a fixed frame around a body.
//
//   head: "<html><head><title>" TITLE "</title></head><body bgColor=white text=black>\n"
//         "<p><h3>" TITLE "</h3>\n"
//   foot: "</body></html>\n"
//
// The title is escaped (a site may name things with "&"); bodies are HTML already.

#include <string>
#include <string_view>

namespace tw::viewers {

// text with "&", "<", ">" and '"' replaced by their character references.
std::string EscapeHtml(std::string_view text);

std::string PageHead(std::string_view title);
std::string PageFoot();
// head + body + foot.
std::string FramedPage(std::string_view title, std::string_view body);

}  // namespace tw::viewers
