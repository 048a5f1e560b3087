// The maintenance readers: any bytes as a maintenance file, read by each editor's reader.
#include "fuzz_support.h"
#include "naxml/maintenance/maintenance_readers.h"
#include "naxml/maintenance/pending_deletions.h"
#include "naxml/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw;
    XmlDocument document;
    if (!document.LoadXml(fuzz::AsText(data, size)))
        return 0;
    naxml::PendingDeletions deletions;
    (void)naxml::ReadItemListRecords(document, deletions);
    (void)naxml::ReadComboRecords(document, deletions);
    (void)naxml::ReadMixMatchRecords(document, &deletions);
    (void)naxml::ReadDepartmentRecords(document);
    return 0;
}
