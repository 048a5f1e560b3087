// tidewell-view: writes the HTML page of one of Tidewell's viewers from a site's data
// directory, as the View and Help menus show it, without a window.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/system_text.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "radiant/results_reader.h"
#include "settings/poll_hist.h"
#include "viewers/sales_view.h"
#include "viewers/viewers.h"

namespace {

using namespace tw;

constexpr const char* kHelp =
    R"(tidewell-view - a viewer's HTML page from a site's data directory

Usage:
  tidewell-view --site-dir DIR --kind KIND [--seq N] [--bak] [--site N] [--log-dir DIR]
                [--naxml-version V] -o PAGE.html
  tidewell-view --help

KIND: itt, mct, fgt, tpt, ilt, cbt, mmt, tit, tlt, tst, fpt (a maintenance file: the file
      to send, or with --bak the copy last sent), results (ILG.XML), sales (the period
      --seq N of the day history, by default its last sequence), versions (the POS and
      poller version logs of the log directory).
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

bool WritePage(const std::string& path, const std::string& page) {
    int error = 0;
    if (platform::WriteFileAtomically(path, page, &error))
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

std::optional<std::string> Page(const Options& options) {
    const std::string dataDir = platform::AddSeparator(options.siteDir);
    const int site = options.site.value_or(SiteOfDirectory(dataDir));
    const double version = viewers::ViewerNaxmlVersion(options.naxmlVersion);
    if (options.kind == "results") {
        return viewers::RenderResultsPage(
            platform::ExistingOrExactPath(dataDir, radiant::kResultsFileName));
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
    const std::string source = platform::ExistingOrExactPath(
        dataDir, viewers::MaintenanceFileName(*viewer, options.lastSent));
    std::optional<std::string> page =
        viewers::RenderMaintenancePage(*viewer, options.lastSent, source, version);
    if (!page) {
        FormatMessageTo(errorMessages(), "Unable to generate view file %s.",
                        std::string(viewers::MaintenanceTitle(*viewer, options.lastSent)).c_str());
    }
    return page;
}

bool KnownKind(const std::string& kind) {
    return kind == "results" || kind == "versions" || kind == "sales" ||
           viewers::FindMaintenanceViewer(kind) != nullptr;
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
        if (arg == "--bak") {
            options.lastSent = true;
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
    if (options.siteDir.empty() || options.kind.empty() || options.output.empty())
        return Usage("--site-dir, --kind and -o are needed");
    if (!KnownKind(options.kind))
        return Usage("unknown kind \"" + options.kind + "\"");

    StderrMessage error, log;
    ScopedProgramMessages installed(ProgramMessages{&error, &log, nullptr, nullptr, nullptr});
    const std::optional<std::string> page = Page(options);
    if (!page)
        return 1;
    return WritePage(options.output, *page) ? 0 : 1;
}
