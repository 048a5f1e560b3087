#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "radiant/results_reader.h"
#include "site_fixture.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::string Detail(const std::string& table, const std::string& success, const std::string& warn,
                   const std::string& fail) {
    return "<" + table + "Detail>" + success + warn + fail + "</" + table + "Detail>";
}
std::string Count(const std::string& name, const std::string& naxml, const std::string& site) {
    return "<" + name + " NAXMLDB=\"" + naxml + "\" LHSITEDB=\"" + site + "\"/>";
}
std::string Clean(const std::string& table, const std::string& success) {
    return Detail(table, Count("success", success, success), Count("warn", "0", "0"),
                  Count("fail", "0", "0"));
}

TEST(MaintenanceResults, CountsAreComparedAsWrittenAndMissingOnesPrintEmpty) {
    test::RecordedMessages messages;
    XmlDocument results;
    ASSERT_TRUE(
        results.LoadXml("<ImportLog><counts>" + Clean("MCT", "0") + Clean("ITT", "12") +
                        Detail("ILT", Count("success", "12", "11"), Count("warn", "0", "0"),
                               Count("fail", "0", "1")) +
                        // "00" is not "0"; LHSITEDB of fail and the whole warn element are missing.
                        Detail("CBT", Count("success", "3", "3"), "", "<fail NAXMLDB=\"00\"/>") +
                        Clean("MMT", "4") + Detail("ITT", Count("success", "1", "2"), "", "") +
                        "</counts></ImportLog>"));

    ReportMaintenanceResults(results);

    EXPECT_THAT(
        messages.log.Texts(),
        ElementsAre("Item maintenance file successful.",
                    "Item Group maintenance file: NAXMLDB success=12 warn=0 fail=0, LHSITEDB "
                    "success=11 warn=0 fail=1",
                    "Promotion maintenance file: NAXMLDB success=3 warn= fail=00, LHSITEDB "
                    "success=3 warn= fail="));

    messages.log.Clear();
    ASSERT_TRUE(
        results.LoadXml("<ImportLog>" + Clean("CBT", "2") + Clean("MCT", "5") + "</ImportLog>"));
    ReportMaintenanceResults(results);
    EXPECT_THAT(messages.log.Texts(), ElementsAre("Department maintenance file successful.",
                                                  "Promotion maintenance file successful."));
}

// Warn and fail all "0" is not enough for success: the two databases must agree on what
// they took.
TEST(MaintenanceResults, UnequalSuccessCountsGiveTheDetailLine) {
    test::RecordedMessages messages;
    XmlDocument results;
    ASSERT_TRUE(results.LoadXml("<ImportLog>" +
                                Detail("MCT", Count("success", "12", "11"), Count("warn", "0", "0"),
                                       Count("fail", "0", "0")) +
                                Clean("ITT", "12") + "</ImportLog>"));
    ReportMaintenanceResults(results);
    EXPECT_THAT(messages.log.Texts(),
                ElementsAre("Department maintenance file: NAXMLDB success=12 warn=0 fail=0, "
                            "LHSITEDB success=11 warn=0 fail=0",
                            "Item maintenance file successful."));
}

TEST(MaintenanceResults, OnlyResultsFilesAreFetched) {
    RadiantCopyResultsFiles copy({}, {}, "/data/");
    LocalWinFileSystem local;
    const auto takes = [&](const std::string& name, bool isDirectory = false) {
        FileInfo file;
        file.name = name;
        file.isDirectory = isDirectory;
        return copy.ShouldTransfer(local, file, local);
    };
    EXPECT_TRUE(takes("ILG20261206140509.XML"));
    EXPECT_TRUE(takes("ilg20261206140509.xml"));
    EXPECT_FALSE(takes("XILG2026.XML"));
    EXPECT_FALSE(takes("ILG2026.XM"));
    EXPECT_FALSE(takes("ILG2026.XML", true));
}

// The reader as the poll monitor builds it, over a local POS import directory.
class ResultsReader : public ::testing::Test {
protected:
    ResultsReader() { fs::create_directories(import); }

    void Pass() {
        CountedPtr<FileSystem> pos(new LocalWinFileSystem), backOffice(new LocalWinFileSystem);
        auto transfer = MakeCounted<RadiantCopyResultsFiles>(
            MakeCounted<FileSystemMonitor::CopySourceFilesProcessor>(pos, true),
            MakeCounted<RadiantDestinationResultsFilesProcessor>(backOffice, site.data, 1),
            site.data);
        auto handler = MakeCounted<RadiantPollerResultsFileMaskHandler>(transfer, pos, backOffice,
                                                                        import, "ILG*.XML");
        handler->connectSourceEachPass = handler->connectDestinationEachPass = true;
        EXPECT_TRUE(handler->Process());
    }

    std::string Assigned(const std::string& name) {
        return "NAXML Maintenance Results file: Assigned " + site.data + name + " to " + site.data +
               "ILG.XML.";
    }

    test::RecordedMessages messages;
    test::TestSite site;
    const std::string import = site.dir.Path() + "/import/";
};

TEST_F(ResultsReader, WaitsForTheSemaphoreToGoThenKeepsTheNewestResults) {
    site.dir.Write("import/SEM33020261206140509.XML", "<FileList/>");
    site.dir.Write("import/ILG20261206140700.XML",
                   "<ImportLog>" + Clean("ITT", "7") + "</ImportLog>");
    site.dir.Write("import/ilg20261206140600.xml",
                   "<ImportLog>" + Clean("MCT", "1") + "</ImportLog>");

    Pass();
    EXPECT_THAT(messages.log.Texts(), IsEmpty()) << "the import is still pending";
    EXPECT_FALSE(fs::exists(site.data + "ILG.XML"));

    fs::remove(import + "SEM33020261206140509.XML");
    Pass();
    EXPECT_THAT(
        messages.log.Texts(),
        ElementsAre(Assigned("ilg20261206140600.xml"), "Department maintenance file successful.",
                    Assigned("ILG20261206140700.XML"), "Item maintenance file successful."));
    EXPECT_THAT(test::ReadAll(site.data + "ILG.XML"), testing::HasSubstr("ITTDetail"));
    EXPECT_FALSE(fs::exists(site.data + "ILG20261206140700.XML"));
    EXPECT_TRUE(fs::is_empty(import)) << "fetched files are deleted on the POS";
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

TEST_F(ResultsReader, ResultsThatCannotBePutInPlaceOrReadAreKept) {
    // A POS file called exactly ILG.XML arrives in place and must survive.
    site.dir.Write("import/ILG.XML", "<ImportLog>" + Clean("CBT", "2") + "</ImportLog>");
    Pass();
    EXPECT_THAT(messages.log.Texts(),
                ElementsAre(Assigned("ILG.XML"), "Promotion maintenance file successful."));
    EXPECT_TRUE(fs::exists(site.data + "ILG.XML"));

    // Not well-formed: kept as ILG.XML, no counts.
    messages.log.Clear();
    site.dir.Write("import/ILG2.XML", "<ImportLog>");
    Pass();
    ASSERT_FALSE(messages.log.Texts().empty());
    EXPECT_EQ(messages.log.Texts()[0], Assigned("ILG2.XML"));
    EXPECT_THAT(messages.log.Texts(),
                testing::Not(testing::Contains(testing::HasSubstr("maintenance file"))));
    EXPECT_EQ(test::ReadAll(site.data + "ILG.XML"), "<ImportLog>");

    // No room for ILG.XML: the received file stays under its own name.
    fs::remove(site.data + "ILG.XML");
    fs::create_directories(site.data + "ILG.XML/x");
    site.dir.Write("import/ILG3.XML", "<ImportLog/>");
    Pass();
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("NAXML Maintenance Results file: Unable to move " + site.data +
                            "ILG3.XML to " + site.data + "ILG.XML."));
    EXPECT_TRUE(fs::exists(site.data + "ILG3.XML"));
}

}  // namespace
}  // namespace tw::radiant
