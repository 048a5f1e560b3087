// viewer_layout_bench PAGE.html [REPEAT]: the time the viewer dialog takes to lay out a page
// (setting the UTF-8 HTML into its text browser and laying out the whole document), offscreen.
// Prints the best of REPEAT runs in milliseconds and the number of table rows.

#include <QApplication>
#include <QElapsedTimer>
#include <QTextBrowser>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "viewers/ui/view_page_dialog.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: viewer_layout_bench PAGE.html [REPEAT]\n");
        return 2;
    }
    QApplication app(argc, argv);
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string html = buffer.str();
    const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    tw::ui::ViewPageDialog dialog(nullptr, "Layout", "<html></html>");
    dialog.resize(1200, 800);
    dialog.show();
    qint64 best = -1;
    for (int i = 0; i < repeat; ++i) {
        dialog.SetPage("<html></html>");
        QElapsedTimer timer;
        timer.start();
        dialog.SetPage(html);
        QApplication::processEvents();
        const qint64 elapsed = timer.elapsed();
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    std::size_t rows = 0;
    for (std::size_t at = html.find("<tr"); at != std::string::npos; at = html.find("<tr", at + 3))
        ++rows;
    std::printf("%lld %zu\n", static_cast<long long>(best), rows);
    return 0;
}
