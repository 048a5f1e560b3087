#pragma once
// Items for the back-office stand-in from CSV text, as a spreadsheet exports it.
//
// The first non-blank line names the columns, in any order and any letter case: "id"
// (required), "UPC_code", "UPC_pack_size", "description", "pack_size", "active" (the field
// names the inventory object answers to). Missing columns take the defaults of the item table;
// empty cells too. Fields are separated by commas and may be quoted ("" inside quotes is one
// quote; quoted fields may hold commas and line breaks); unquoted fields are trimmed of blanks.
// Lines may end in CR LF; a UTF-8 byte order mark is skipped; blank lines are ignored.
//
// Checked, because a damaged export must not reach the tills: every row has exactly the
// header's number of fields; ids are present and unique; UPC codes are digits only (at most
// 14: a spreadsheet's "1.23457E+11" is refused); pack sizes are whole numbers from 1 to
// 999999; "active" is one of 1/0, true/false, yes/no, y/n, t/f (any case).

#include <string>
#include <string_view>
#include <vector>

#include "backoffice/item_store.h"

namespace tw::backoffice {

// The items of the text, in order. False with *error naming the line ("line 7: ...") at the
// first fault; items is then empty.
bool ParseItemCsv(std::string_view text, std::vector<ItemRecord>& items, std::string* error);

}  // namespace tw::backoffice
