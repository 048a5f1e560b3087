#include "viewers/sales_view.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "platform/paths.h"
#include "platform/wildcard.h"
#include "radiant/journal_processing.h"
#include "viewers/page.h"
#include "viewers/stylesheets.h"
#include "viewers/view_source.h"

namespace tw::viewers {
namespace {

struct Movement {
    std::string_view code;
    std::string_view caption;
    Stylesheet stylesheet;
};

constexpr Movement kMovements[] = {
    {"FGM", "Fuel Grades", Stylesheet::kFuelGradeMovement},
    {"ISM", "Item Sales", Stylesheet::kItemSalesMovement},
    {"MCM", "Merchandise Codes", Stylesheet::kMerchandiseMovement},
    {"MSM", "Miscellaneous Summary", Stylesheet::kMiscSummaryMovement},
};

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AppendMovementTable(std::string& page, const Movement& movement, const std::string& path) {
    XmlDocument document;
    if (!path.empty() && LoadForViewing(path, document) &&
        TransformInto(document, movement.stylesheet, page)) {
        return;
    }
    page += "<p><b>" + EscapeHtml(movement.caption) + "</b></p>\n<p>No data in " +
            EscapeHtml(path.empty() ? std::string(movement.code) : FileNameOf(path)) + ".</p>\n";
}

}  // namespace

bool AppendMovementTable(std::string& page, std::string_view code, const std::string& path) {
    for (const Movement& movement : kMovements) {
        if (platform::EqualsIgnoreCase(movement.code, code)) {
            AppendMovementTable(page, movement, path);
            return true;
        }
    }
    return false;
}

std::optional<Stylesheet> MovementStylesheet(std::string_view code) {
    for (const Movement& movement : kMovements) {
        if (platform::EqualsIgnoreCase(movement.code, code))
            return movement.stylesheet;
    }
    return std::nullopt;
}

std::string FormatPeriodLine(std::int32_t sequence, const platform::OleDate& end) {
    std::string date;
    if (end.IsValid()) {
        date = end.Format("%m/%d/%Y %H:%M:%S");
    } else if (!end.IsNull()) {
        date = "Invalid DateTime";
    }
    char number[32];
    std::snprintf(number, sizeof number, "%-10d ", static_cast<int>(sequence));
    return number + date;
}

std::vector<PeriodChoice> ListPeriods(PollHist& history) {
    std::vector<PeriodChoice> periods;
    for (const HistRecord& record : history.ReadRingOrder()) {
        periods.push_back(
            {record.sequence, record.end, FormatPeriodLine(record.sequence, record.end)});
    }
    return periods;
}

int PreselectedPeriod(const std::vector<PeriodChoice>& periods, std::int32_t previousSequence) {
    if (periods.empty())
        return -1;
    const std::string prefix = std::to_string(previousSequence) + " ";
    for (std::size_t i = 0; i < periods.size(); ++i) {
        if (periods[i].line.starts_with(prefix))
            return static_cast<int>(i);
    }
    return 0;
}

std::int32_t SequenceOfLine(std::string_view line) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    std::int32_t sequence = -1;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), sequence);
    (void)end;
    return error == std::errc() ? sequence : -1;
}

std::string SalesTitle(std::int32_t sequence, const platform::OleDate& end) {
    platform::CivilTime civil;
    if (!end.ToCivil(civil))
        civil = {};
    char title[96];
    std::snprintf(title, sizeof title, "Sales for Seq #%d  %02d/%02d/%04d",
                  static_cast<int>(sequence), civil.month, civil.day, civil.year);
    return title;
}

std::string MovementFilePath(const std::string& dataDirectory, std::string_view code,
                             std::int32_t sequence, std::int32_t slotCount) {
    if (slotCount < 1 || sequence < 0)
        return {};
    const std::string exact = radiant::SlotFileName(dataDirectory, code, sequence, slotCount);
    return platform::ExistingOrExactPath(platform::AddSeparator(dataDirectory), FileNameOf(exact));
}

std::string RenderSalesPage(const std::string& dataDirectory, std::int32_t sequence,
                            std::int32_t slotCount, const platform::OleDate& end) {
    std::string page = PageHead(SalesTitle(sequence, end));
    for (const Movement& movement : kMovements) {
        AppendMovementTable(page, movement,
                            MovementFilePath(dataDirectory, movement.code, sequence, slotCount));
    }
    page += PageFoot();
    return page;
}

}  // namespace tw::viewers
