#include "viewers/page.h"

namespace tw::viewers {

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string PageHead(std::string_view title) {
    const std::string escaped = EscapeHtml(title);
    return "<html><head><title>" + escaped +
           "</title></head><body bgColor=white text=black>\n<p><h3>" + escaped + "</h3>\n";
}

std::string PageFoot() {
    return "</body></html>\n";
}

std::string FramedPage(std::string_view title, std::string_view body) {
    std::string page = PageHead(title);
    page.append(body);
    page += PageFoot();
    return page;
}

}  // namespace tw::viewers
