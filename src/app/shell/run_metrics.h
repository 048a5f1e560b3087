#pragma once
// What one automatic run did, for monitoring: the counts of a pass taken from its log texts,
// and the node-exporter textfile (the Prometheus text format) written from them with
// `tidewell --metrics FILE`.
//
// The file is replaced atomically (written under a temporary name in its directory, then
// renamed), so the textfile collector never reads half of one; the temporary name does not end
// in ".prom", so the collector never picks it up either. A run that did not poll successfully
// keeps the time of the last successful poll from the file it replaces: that is what an alert
// ("no successful poll of site N for 30 minutes") watches.
//
// Header-only: the program and its tests include it; it needs only the platform library.

#include <atomic>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_file.h"

namespace tw {

// Counts the kinds of progress a pass logs (the texts are the poller's own, kept to the
// letter). Observe is called from any thread; Totals may be read at any time.
class PassTally {
public:
    struct Counts {
        int eventsSplit = 0;    // event files written by the journal split
        int filesReceived = 0;  // sales and movement files filed, results files read
        int filesSent = 0;      // maintenance files and their semaphores delivered to the POS
    };

    void Observe(std::string_view logText) {
        if (logText.starts_with("Split to: "))
            ++eventsSplit_;
        else if (logText.starts_with("Assigned ") ||
                 logText.starts_with("NAXML Maintenance Results file: Assigned "))
            ++filesReceived_;
        else if (logText.starts_with("Transfered "))
            ++filesSent_;
    }

    Counts Totals() const {
        return {eventsSplit_.load(), filesReceived_.load(), filesSent_.load()};
    }

private:
    std::atomic<int> eventsSplit_{0};
    std::atomic<int> filesReceived_{0};
    std::atomic<int> filesSent_{0};
};

struct RunMetrics {
    int site = 0;          // 0 when the command line named no site
    double startedAt = 0;  // Unix time, seconds
    double durationSeconds = 0;
    int exitCode = 0;     // the run's exit code: 0, or 1 when an error was reported
    bool polled = false;  // a pass ran (not refused, not left to another poller)
    int errors = 0;       // texts reported as errors
    PassTally::Counts counts;
    // The last run that polled without an error: this one, or one before it.
    std::optional<double> lastSuccessAt;
};

namespace metrics_detail {

inline constexpr std::string_view kLastSuccess = "tidewell_last_success_timestamp_seconds";

inline std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string out(text);
    // Whole numbers without a fraction: "12", not "12.000".
    if (out.ends_with(".000"))
        out.resize(out.size() - 4);
    return out;
}

inline void Gauge(std::string& out, std::string_view name, std::string_view help, int site,
                  double value) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += " gauge\n";
    out += name;
    out += "{site=\"" + std::to_string(site) + "\"} " + Number(value) + "\n";
}

}  // namespace metrics_detail

// The textfile: one gauge per line with its HELP and TYPE, every sample labelled with the site.
inline std::string NodeExporterText(const RunMetrics& m) {
    using metrics_detail::Gauge;
    std::string out;
    Gauge(out, "tidewell_last_run_timestamp_seconds", "When the last run started (Unix time).",
          m.site, m.startedAt);
    Gauge(out, "tidewell_last_run_duration_seconds", "How long the last run took.", m.site,
          m.durationSeconds);
    Gauge(out, "tidewell_last_run_result", "Exit code of the last run: 0 success, 1 errors.",
          m.site, m.exitCode);
    Gauge(out, "tidewell_last_run_polled",
          "1 when the last run polled the site, 0 when it could not or another poller had it.",
          m.site, m.polled ? 1 : 0);
    Gauge(out, "tidewell_last_run_errors", "Errors the last run reported.", m.site, m.errors);
    Gauge(out, "tidewell_last_run_events_split", "Event files the last run split from journals.",
          m.site, m.counts.eventsSplit);
    Gauge(out, "tidewell_last_run_files_received",
          "Files the last run received from the POS and filed.", m.site, m.counts.filesReceived);
    Gauge(out, "tidewell_last_run_files_sent",
          "Files the last run sent to the POS (maintenance files, semaphores).", m.site,
          m.counts.filesSent);
    if (m.lastSuccessAt) {
        Gauge(out, metrics_detail::kLastSuccess,
              "When a run last polled the site without an error (Unix time).", m.site,
              *m.lastSuccessAt);
    }
    return out;
}

// The last successful poll recorded in an earlier textfile, when it has one.
inline std::optional<double> LastSuccessIn(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(metrics_detail::kLastSuccess) ||
            line.size() <= metrics_detail::kLastSuccess.size() ||
            line[metrics_detail::kLastSuccess.size()] != '{')
            continue;
        const std::size_t blank = line.rfind(' ');
        double value = 0;
        const auto [ptr, ec] =
            std::from_chars(line.data() + blank + 1, line.data() + line.size(), value);
        if (blank != std::string_view::npos && ec == std::errc() &&
            ptr == line.data() + line.size())
            return value;
    }
    return std::nullopt;
}

// Writes the textfile atomically. A run that did not poll without error takes the last success
// from the file it replaces. False with *error (errno) when the file cannot be written; the
// old file then stays as it was.
inline bool WriteRunMetrics(const std::string& path, RunMetrics metrics, int* error = nullptr) {
    if (metrics.polled && metrics.exitCode == 0) {
        metrics.lastSuccessAt = metrics.startedAt;
    } else if (!metrics.lastSuccessAt) {
        if (const auto previous = platform::ReadFile(path))
            metrics.lastSuccessAt = LastSuccessIn(*previous);
    }
    return platform::WriteFileAtomically(path, NodeExporterText(metrics), error);
}

}  // namespace tw
