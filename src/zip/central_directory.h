#pragma once
// A fast walk over an archive's directory (internal to the zip library).
//
// minizip parses each directory record a byte at a time, twice per entry (once to move to it,
// once to report it); listing the 20,000 entries of a busy day's archive that way costs more
// than deleting the day's files. This reads the whole directory in one piece and walks it in
// memory. It takes only single-disk archives (with or without zip64 records) and refuses
// anything it does not fully understand, so that the caller can fall back to minizip.

#include <cstdint>
#include <functional>
#include <string>

#include "zip/unzipper.h"

namespace tw::zip {

// Checks the whole directory of the archive at path first, then calls visit for each entry
// until it returns false. False, without any call to visit, when the directory cannot be read
// or is not laid out as expected.
bool WalkCentralDirectory(const std::string& path,
                          const std::function<bool(const ZipEntryInfo&)>& visit);
// The same, also giving where each entry's local header begins in the file (any data in front
// of the archive counted in).
bool WalkCentralDirectory(
    const std::string& path,
    const std::function<bool(const ZipEntryInfo&, std::uint64_t localHeader)>& visit);

// Fills the fields of info that come from the directory record's attributes.
void ClassifyEntry(ZipEntryInfo& info);

}  // namespace tw::zip
