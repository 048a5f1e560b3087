#pragma once
// The sales view: the user picks a sales period of the site's day history, and the page shows
// that period's movement reports (fuel grades, item sales, merchandise codes, miscellaneous
// summary) as four tables in that order.
//
// A period's movement report is its slot file "<data directory><code>D<slot>.XML", the slot
// being the sequence number modulo the history's slot count, as the journal processing names
// it (sequence 113 of a 100-slot ring is "ISMD0013.XML"; of a 10-slot ring "ISMD0003.XML").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ole_date.h"
#include "settings/poll_hist.h"
#include "viewers/stylesheets.h"

namespace tw::viewers {

// One line of the period chooser.
struct PeriodChoice {
    std::int32_t sequence = 0;
    platform::OleDate end;
    std::string line;  // "%-10d %s": sequence, end as "%m/%d/%Y %H:%M:%S"
};

// "%-10d %s" of the sequence and the end date-time: empty text for a null end, "Invalid
// DateTime" for an invalid one.
std::string FormatPeriodLine(std::int32_t sequence, const platform::OleDate& end);

// The valid records of the history (a sequence above 0 and a valid end) in ring order, oldest
// first: from the slot after the last written sequence to the end, then from slot 0 up to
// it. Empty when the header cannot be read or has no slots.
std::vector<PeriodChoice> ListPeriods(PollHist& history);

// The line to select: the first that begins with the previous sequence and a blank, else 0.
// -1 for an empty list.
int PreselectedPeriod(const std::vector<PeriodChoice>& periods, std::int32_t previousSequence);

// The integer at the start of a chooser line; -1 when it has none.
std::int32_t SequenceOfLine(std::string_view line);

// "Sales for Seq #%d  %02d/%02d/%04d" (sequence, month, day, year of the period's end).
std::string SalesTitle(std::int32_t sequence, const platform::OleDate& end);

// The slot file of a movement report (an existing file is found whatever the case of its
// name); empty when slotCount is below 1.
std::string MovementFilePath(const std::string& dataDirectory, std::string_view code,
                             std::int32_t sequence, std::int32_t slotCount);

// Appends the table of one movement report ("FGM", "ISM", "MCM", "MSM", any case) with its
// caption to page, or in its place the caption and "No data in NAME." when the file is missing
// or cannot be read. False, appending nothing, for another code.
bool AppendMovementTable(std::string& page, std::string_view code, const std::string& path);
// The stylesheet of a movement report code; nullopt for another code.
std::optional<Stylesheet> MovementStylesheet(std::string_view code);

// The whole sales page of a period. A movement report that is missing or cannot be read gives,
// in its place, its table's caption and "No data in NAME.".
std::string RenderSalesPage(const std::string& dataDirectory, std::int32_t sequence,
                            std::int32_t slotCount, const platform::OleDate& end);

}  // namespace tw::viewers
