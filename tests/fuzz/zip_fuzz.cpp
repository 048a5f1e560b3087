// The zip reader: any bytes as a day archive, every entry listed and read (entries that declare
// at most 1 MiB: the reader stops at the declared size).
#include <string>

#include "fuzz_support.h"
#include "zip/unzipper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw;
    const std::string path = fuzz::WriteScratchFile("JRN1130.ZIP", fuzz::AsText(data, size));
    zip::CUnzipper archive;
    if (!archive.OpenUnzip(path))
        return 0;
    (void)archive.EntryCount();
    archive.VisitEntries([&archive](const zip::ZipEntryInfo& info) {
        (void)info.UnixMode();
        (void)info.IsSymbolicLink();
        // The reader stops at the size the directory declares.
        if (!info.isDirectory && info.uncompressedSize <= (1u << 20)) {
            std::string content;
            (void)archive.ReadCurrent(content);
        }
        return true;
    });
    archive.Close();
    return 0;
}
