// The journal survey and split: any bytes received from a POS as a journal.
#include <string>

#include "fuzz_support.h"
#include "radiant/journal_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tw;
    fuzz::ClearScratchDirectory();
    const std::string path =
        fuzz::WriteScratchFile("NAXML-POSJournal20261130220000.XML", fuzz::AsText(data, size));
    const radiant::XmlFileSurvey survey = radiant::SurveyXmlFile(path);
    if (survey.wellFormed) {
        radiant::JournalSplitter splitter(fuzz::ScratchDirectory() + "/data/");
        splitter.Split(path, survey);
    }
    return 0;
}
