#pragma once
// The qorpost-import command: loads items from a CSV file into the stand-in's item database.
//
//   qorpost-import [--replace] BACK_OFFICE_DIRECTORY ITEMS.csv
//
// Creates BACK_OFFICE_DIRECTORY/qorpost.sqlite when missing. Items are added or updated by id;
// with --replace, items not in the file are removed. The whole file goes in or nothing does.

#include <ostream>
#include <string>
#include <vector>

namespace tw::backoffice {

// args without the program name. Prints a summary line on out, faults and usage on err.
// Returns the exit code: 0 done, 1 failed, 2 wrong usage.
int RunItemImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tw::backoffice
