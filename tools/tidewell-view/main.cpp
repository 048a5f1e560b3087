// tidewell-view: writes the HTML page of one of Tidewell's viewers from a site's data
// directory, as the View and Help menus show it, without a window.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/wildcard.h"
#include "radiant/results_reader.h"
#include "settings/poll_hist.h"
#include "viewers/page.h"
#include "viewers/sales_view.h"
#include "platform/version.h"
#include "viewers/viewers.h"

namespace {

using namespace tw;

constexpr const char* kHelp =
    R"(tidewell-view - a viewer's HTML page from a site's data directory

Usage:
  tidewell-view --site-dir DIR --kind KIND [--seq N] [--bak] [--site N] [--log-dir DIR]
                [--naxml-version V] [--file FILE] -o PAGE.html
  tidewell-view --kind KIND --stylesheet -o KIND.xsl
  tidewell-view --help | --version

KIND: itt, mct, fgt, tpt, ilt, cbt, mmt, tit, tlt, tst, fpt (a maintenance file: the file
      to send, or with --bak the copy last sent), results (ILG.XML), sales (the period
      --seq N of the day history, by default its last sequence), versions (the POS and
      poller version logs of the log directory); fgm, ism, mcm, msm (the table of one
      movement report: give it with --file).
--file FILE        show FILE instead of the site's file of the kind (maintenance files, results,
                   movement reports); --site-dir may then be left out.
--stylesheet       writes the kind's XSLT stylesheet instead of a page (for comparisons with
                   xsltproc; the stylesheet expects elements without a namespace).
--site N           the site number (default: the data directory's name when it is three
                   digits, else 1); it names the history and the version logs.
--log-dir DIR      where the version logs are (default: the data directory).
--naxml-version V  the site's NaxmlVersion (default 3.3); the viewers are given 3.3 for
                   exactly "3.3" and 0 otherwise.

Reports go to standard error. Exit status: 0 page written, 1 failed (nothing to show for
the site's version, no such period, the page not written), 2 usage error.
)";

// Reports of the viewers, one line each on standard error.
class StderrMessage final : public Message {
public:
    void Output(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

struct Options {
    std::string siteDir;
    std::string kind;
    std::string output;
    std::string logDir;
    std::string naxmlVersion = "3.3";
    std::string file;
    bool stylesheet = false;
    std::optional<std::int32_t> sequence;
    std::optional<int> site;
    bool lastSent = false;
};

int Usage(const std::string& message) {
    std::fprintf(stderr, "tidewell-view: %s\n(see tidewell-view --help)\n", message.c_str());
    return 2;
}

std::optional<std::int32_t> Number(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The site number a data directory "…/001/" stands for.
int SiteOfDirectory(const std::string& directory) {
    std::string name = directory;
    while (!name.empty() && name.back() == '/') name.pop_back();
    name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
    if (name.size() == 3) {
        if (const std::optional<std::int32_t> site = Number(name); site && *site > 0)
            return *site;
    }
    return 1;
}

// A page is a scratch product for a script to read: written plainly, without the syncs that
// files the POS or the back office rely on get.
bool WritePage(const std::string& path, const std::string& page) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    // Unbuffered: the page is one buffer already, and a stdio buffer allocated after the
    // documents were freed would cost a heap consolidation of all their nodes.
    bool written = file != nullptr && std::setvbuf(file, nullptr, _IONBF, 0) == 0 &&
                   std::fwrite(page.data(), 1, page.size(), file) == page.size();
    int error = errno;
    if (file != nullptr && std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written)
        return true;
    std::fprintf(stderr, "tidewell-view: cannot write %s: %s\n", path.c_str(),
                 platform::SystemErrorText(error).c_str());
    return false;
}

std::optional<std::string> SalesPage(const Options& options, const std::string& dataDir, int site) {
    std::unique_ptr<PollHist> history = OpenHistory(dataDir, site, kDayHistory);
    if (!history)
        return std::nullopt;
    const std::vector<viewers::PeriodChoice> periods = viewers::ListPeriods(*history);
    const std::int32_t wanted = options.sequence.value_or(history->LastSequence());
    for (const viewers::PeriodChoice& period : periods) {
        if (period.sequence == wanted)
            return viewers::RenderSalesPage(dataDir, period.sequence, history->SlotCount(),
                                            period.end);
    }
    std::fprintf(stderr, "tidewell-view: the day history has no period %d.\n",
                 static_cast<int>(wanted));
    return std::nullopt;
}

// The file of a kind: --file, else the exact or case-insensitive name in the data directory.
std::string SourceFile(const Options& options, const std::string& dataDir, std::string_view name) {
    return options.file.empty() ? platform::ExistingOrExactPath(dataDir, name) : options.file;
}

std::optional<viewers::Stylesheet> StylesheetOfKind(const std::string& kind) {
    if (kind == "results")
        return viewers::Stylesheet::kResults;
    if (const viewers::MaintenanceViewer* viewer = viewers::FindMaintenanceViewer(kind))
        return viewer->stylesheet;
    return viewers::MovementStylesheet(kind);
}

std::optional<std::string> Page(const Options& options) {
    const std::string dataDir = platform::AddSeparator(options.siteDir);
    const int site = options.site.value_or(SiteOfDirectory(dataDir));
    const double version = viewers::ViewerNaxmlVersion(options.naxmlVersion);
    if (options.kind == "results")
        return viewers::RenderResultsPage(SourceFile(options, dataDir, radiant::kResultsFileName));
    if (viewers::MovementStylesheet(options.kind)) {
        std::string page = viewers::PageHead(options.file.substr(options.file.rfind('/') + 1));
        viewers::AppendMovementTable(page, options.kind, options.file);
        page += viewers::PageFoot();
        return page;
    }
    if (options.kind == "versions") {
        const std::string logDir =
            platform::AddSeparator(options.logDir.empty() ? options.siteDir : options.logDir);
        return viewers::RenderVersionsPage(
            platform::ExistingOrExactPath(logDir, viewers::PosVersionLogName(site)),
            platform::ExistingOrExactPath(logDir, viewers::PollerVersionLogName(site)));
    }
    if (options.kind == "sales")
        return SalesPage(options, dataDir, site);
    const viewers::MaintenanceViewer* viewer = viewers::FindMaintenanceViewer(options.kind);
    if (viewer == nullptr)
        return std::nullopt;
    if (const std::string_view refusal =
            viewers::MaintenanceRefusal(*viewer, options.lastSent, version);
        !refusal.empty()) {
        SendMessageText(errorMessages(), refusal);
        return std::nullopt;
    }
    const std::string source =
        SourceFile(options, dataDir, viewers::MaintenanceFileName(*viewer, options.lastSent));
    std::optional<std::string> page =
        viewers::RenderMaintenancePage(*viewer, options.lastSent, source, version);
    if (!page) {
        FormatMessageTo(errorMessages(), "Unable to generate view file %s.",
                        std::string(viewers::MaintenanceTitle(*viewer, options.lastSent)).c_str());
    }
    return page;
}

bool KnownKind(const std::string& kind) {
    return kind == "versions" || kind == "sales" || StylesheetOfKind(kind).has_value();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs(platform::VersionText("tidewell-view").c_str(), stdout);
            return 0;
        }
        if (arg == "--bak") {
            options.lastSent = true;
            continue;
        }
        if (arg == "--stylesheet") {
            options.stylesheet = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage(arg + " needs a value, or is unknown");
        const std::string value = argv[++i];
        if (arg == "--site-dir") {
            options.siteDir = value;
        } else if (arg == "--kind") {
            options.kind = value;
        } else if (arg == "-o" || arg == "--output") {
            options.output = value;
        } else if (arg == "--file") {
            options.file = value;
        } else if (arg == "--log-dir") {
            options.logDir = value;
        } else if (arg == "--naxml-version") {
            options.naxmlVersion = value;
        } else if (arg == "--seq") {
            options.sequence = Number(value);
            if (!options.sequence || *options.sequence < 0)
                return Usage("--seq must be a sequence number");
        } else if (arg == "--site") {
            const std::optional<std::int32_t> site = Number(value);
            if (!site || *site < 1 || *site > 999)
                return Usage("--site must be a number from 1 to 999");
            options.site = *site;
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (options.kind.empty() || options.output.empty())
        return Usage("--kind and -o are needed");
    if (!KnownKind(options.kind))
        return Usage("unknown kind \"" + options.kind + "\"");
    if (options.stylesheet) {
        const std::optional<viewers::Stylesheet> stylesheet = StylesheetOfKind(options.kind);
        if (!stylesheet)
            return Usage("the kind \"" + options.kind + "\" has no stylesheet");
        return WritePage(options.output, viewers::StylesheetText(*stylesheet)) ? 0 : 1;
    }
    if (viewers::MovementStylesheet(options.kind) && options.file.empty())
        return Usage("--kind " + options.kind + " needs --file");
    const bool needsSite =
        options.file.empty() || options.kind == "sales" || options.kind == "versions";
    if (options.siteDir.empty() && needsSite)
        return Usage("--site-dir is needed");

    StderrMessage error, log;
    ScopedProgramMessages installed(ProgramMessages{&error, &log, nullptr, nullptr, nullptr});
    const std::optional<std::string> page = Page(options);
    if (!page)
        return 1;
    return WritePage(options.output, *page) ? 0 : 1;
}
