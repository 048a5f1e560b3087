#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "platform/process.h"
#include "possim/consume.h"
#include "possim/export_files.h"
#include "support/scratch_dir.h"
#include "xml_probe.h"

namespace tw::possim {
namespace {

using test::Attribute;
using test::Child;
using test::ChildText;
using test::Elements;
using test::Parse;

std::vector<std::string> Names(const std::string& directory) {
    std::vector<platform::DirEntry> entries;
    int error = 0;
    platform::ListDirectory(directory, entries, &error);
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        if (entry.name != "." && entry.name != "..") {
            names.push_back(entry.name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::time_t ModifiedTime(const std::string& path) {
    platform::DirEntry entry;
    int error = 0;
    EXPECT_TRUE(platform::StatPath(path, entry, &error)) << path;
    return entry.modified;
}

TEST(ExportDirectory, LaysOutConsecutivePeriodsWithTheirNamesAndTimes) {
    tw::test::ScratchDir dir;
    tw::test::ScopedTimeZone zone{"Europe/Berlin"};
    SimulationOptions options;
    options.events = 60;
    options.periodSeconds = 24 * 3600;
    options.start = *LocalTime::Parse("2026-12-06T06:00");
    options.sequence = 41;
    const std::string out = dir.File("pos/export");
    const ExportOutcome outcome = ExportDirectory(options, 2, {}, {}, FuelSummary::kPriceTier, out);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.files.size(), 12u);
    EXPECT_EQ(
        Names(out),
        (std::vector<std::string>{
            "FGM33020261207060000.XML", "FGM33020261208060000.XML", "ISM33020261207060000.XML",
            "ISM33020261208060000.XML", "MCM33020261207060000.XML", "MCM33020261208060000.XML",
            "MSM33020261207060000.XML", "MSM33020261208060000.XML",
            "NAXML-POSJournal20261207060000.XML", "NAXML-POSJournal20261208060000.XML",
            "TPM33020261207060000.XML", "TPM33020261208060000.XML"}));
    // 06:00 in Berlin in December is 05:00 UTC.
    const std::time_t firstEnd = 1796619600;
    EXPECT_EQ(ModifiedTime(out + "/FGM33020261207060000.XML"), firstEnd);
    EXPECT_EQ(ModifiedTime(out + "/NAXML-POSJournal20261208060000.XML"), firstEnd + 86400);

    // The second period goes on where the first stopped: its own sequence number,
    // and no register reuses a transaction number.
    std::set<std::pair<std::string, std::string>> transactions;
    int sequence = 41;
    for (const char* name :
         {"NAXML-POSJournal20261207060000.XML", "NAXML-POSJournal20261208060000.XML"}) {
        const auto doc = Parse(tw::test::ReadAll(out + "/" + name));
        ASSERT_TRUE(doc);
        const xmlNode* report = Child(xmlDocGetRootElement(doc.get()), "JournalReport");
        const auto children = Elements(report);
        EXPECT_EQ(ChildText(children.at(0), "ReportSequenceNumber"), std::to_string(sequence++));
        for (std::size_t i = 1; i < children.size(); ++i) {
            EXPECT_TRUE(transactions
                            .emplace(ChildText(children[i], "RegisterID"),
                                     ChildText(children[i], "TransactionID"))
                            .second);
        }
    }
    EXPECT_EQ(transactions.size(), 120u);

    // A name that would leave the directory is refused.
    EXPECT_FALSE(ExportJournal(options, {}, out, "../escape.XML").ok);
    EXPECT_FALSE(ExportJournal(options, {}, out, "a/b.XML").ok);
}

// An import directory as the poller's maintenance sender leaves it.
class Consume : public ::testing::Test {
protected:
    std::string Maintenance(const std::string& table, const std::vector<std::string>& keys) {
        const std::string key = table == "MCT"   ? "MerchandiseCode"
                                : table == "ITT" ? "ItemCode><POSCode"
                                                 : "ItemListID";
        const std::string close = table == "ITT" ? "POSCode></ItemCode" : key;
        std::string text =
            "<NAXML-MaintenanceRequest version=\"3.3\"><TransmissionHeader>"
            "<StoreLocationID>0001</StoreLocationID></TransmissionHeader><Table>";
        for (const std::string& value : keys) {
            text += "<" + table + "Detail><RecordAction type=\"addchange\"/><" + key + ">" + value +
                    "</" + close + "></" + table + "Detail>";
        }
        return text + "</Table></NAXML-MaintenanceRequest>";
    }

    void Semaphore(const std::string& name, const std::vector<std::string>& files) {
        std::string text = "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n";
        for (const std::string& file : files) {
            text += " <File>" + file + "</File>\r\n";
        }
        dir.Write("import/" + name, text + "</FileList>");
    }

    // The six counts of a table: NAXMLDB success, warn, fail, then LHSITEDB's.
    static std::vector<std::string> Counts(const xmlDoc* doc, const std::string& table) {
        std::vector<xmlNode*> details;
        test::Descendants(xmlDocGetRootElement(doc), table + "Detail", details);
        std::vector<std::string> counts;
        for (const char* db : {"NAXMLDB", "LHSITEDB"}) {
            for (const char* kind : {"success", "warn", "fail"}) {
                counts.push_back(details.empty() ? "" : Attribute(Child(details[0], kind), db));
            }
        }
        return counts;
    }

    ConsumeOutcome Run(int warnEvery = 0, int rejectEvery = 0) {
        ConsumeOptions options;
        options.importDirectory = import;
        options.resultsTime = LocalTime::Parse("2026-12-06T14:05:09");
        options.warnEvery = warnEvery;
        options.rejectEvery = rejectEvery;
        return ConsumeDeliveries(options);
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedTimeZone zone{"America/Chicago"};
    std::string import = dir.File("import");
};

TEST_F(Consume, ImportsTheListedFilesAndLeavesResultsBeforeRemovingTheSemaphore) {
    dir.Write("import/MCT33020261206140500.XML", Maintenance("MCT", {"101", "102", "103"}));
    dir.Write("import/ITT33020261206140500.XML", Maintenance("ITT", {"0123", "", "0456"}));
    dir.Write("import/ILT33020261206140500.XML", "<NAXML-MaintenanceRequest><ILTDetail>");
    dir.Write("import/unrelated.txt", "stays");
    dir.Write("outside.XML", Maintenance("MCT", {"1"}));
    Semaphore("SEM33020261206140501.XML",
              {"MCT33020261206140500.XML", "ITT33020261206140500.XML", "ILT33020261206140500.XML",
               "MMT33020261206140500.XML", "../outside.XML"});

    const ConsumeOutcome outcome = Run(0, 2);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.semaphores, 1);
    EXPECT_EQ(outcome.problems.size(), 2u) << "the missing file and the unsafe name";
    ASSERT_EQ(outcome.resultsFiles.size(), 1u);
    EXPECT_EQ(Names(import), (std::vector<std::string>{"ILG20261206140509.XML", "unrelated.txt"}));
    EXPECT_EQ(tw::test::ReadAll(dir.File("outside.XML")), Maintenance("MCT", {"1"}));

    const auto results = Parse(tw::test::ReadAll(outcome.resultsFiles[0]));
    ASSERT_TRUE(results);
    // Every second record is refused by the site database only.
    EXPECT_EQ(Counts(results.get(), "MCT"),
              (std::vector<std::string>{"3", "0", "0", "2", "0", "1"}));
    // A record without its key fails in both.
    EXPECT_EQ(Counts(results.get(), "ITT"),
              (std::vector<std::string>{"2", "0", "1", "2", "0", "1"}));
    // A file that is not well-formed, and one that never came, fail as a whole.
    EXPECT_EQ(Counts(results.get(), "ILT"),
              (std::vector<std::string>{"0", "0", "1", "0", "0", "1"}));
    EXPECT_EQ(Counts(results.get(), "MMT"),
              (std::vector<std::string>{"0", "0", "1", "0", "0", "1"}));
    EXPECT_EQ(Counts(results.get(), "CBT"),
              (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));
    std::vector<xmlNode*> errors;
    test::Descendants(xmlDocGetRootElement(results.get()), "error", errors);
    EXPECT_GE(errors.size(), 5u);
}

TEST_F(Consume, WaitsForASemaphoreAndKeepsEarlierResults) {
    dir.Write("import/MCT33020261206140500.XML", Maintenance("MCT", {"101", "102"}));
    ConsumeOutcome outcome = Run();
    EXPECT_EQ(outcome.semaphores, 0);
    EXPECT_EQ(Names(import), (std::vector<std::string>{"MCT33020261206140500.XML"}));

    // Results the poller has not fetched yet are never overwritten; warnings
    // count for both.
    dir.Write("import/ILG20261206140509.XML", "earlier");
    Semaphore("sem33020261206140501.xml", {"mct33020261206140500.xml"});
    outcome = Run(2, 0);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(Names(import),
              (std::vector<std::string>{"ILG20261206140509.XML", "ILG20261206140510.XML"}));
    EXPECT_EQ(tw::test::ReadAll(dir.File("import/ILG20261206140509.XML")), "earlier");
    const auto results = Parse(tw::test::ReadAll(dir.File("import/ILG20261206140510.XML")));
    ASSERT_TRUE(results);
    EXPECT_EQ(Counts(results.get(), "MCT"),
              (std::vector<std::string>{"1", "1", "0", "1", "1", "0"}));

    // A semaphore that is not a file list stays, and the run says so.
    dir.Write("import/SEM33020261206150000.XML", "<FileList><File>x");
    outcome = Run();
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.semaphores, 0);
    EXPECT_EQ(tw::test::ReadAll(dir.File("import/SEM33020261206150000.XML")), "<FileList><File>x");
}

#ifdef POSSIM_EXECUTABLE
TEST(PossimProgram, CommandLineWritesTheSameFilesForTheSameSeed) {
    tw::test::ScratchDir dir;
    platform::PosixProcessLauncher launcher;
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), POSSIM_EXECUTABLE);
        platform::ProcessOptions options;
        options.timeLimit = std::chrono::seconds(120);
        const auto outcome = launcher.Run(args, options);
        return outcome.status == platform::ProcessOutcome::Status::Exited ? outcome.exitCode : -1;
    };
    for (const char* out : {"a", "b"}) {
        ASSERT_EQ(run({"journal", "--seed", "9", "--events", "2500", "--registers", "5",
                       "--start=2026-01-31T23:30", "--minutes", "90", "--variant", "crlf",
                       "--variant", "doctype", "--out", dir.File(out)}),
                  0);
    }
    const std::string name = "/NAXML-POSJournal20260201010000.XML";
    const std::string journal = tw::test::ReadAll(dir.File("a") + name);
    EXPECT_GT(journal.size(), 1000000u);
    EXPECT_EQ(tw::test::ReadAll(dir.File("b") + name), journal);

    EXPECT_EQ(run({"movement", "--type", "fgm,MCM", "--out", dir.File("m")}), 0);
    EXPECT_EQ(Names(dir.File("m")).size(), 2u);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_EQ(run({"journal", "--events", "-1"}), 2);
    EXPECT_EQ(run({"journal", "--colour", "red"}), 2);
    EXPECT_EQ(run({"movement", "--type", "XYZ"}), 2);
    EXPECT_EQ(run({"consume"}), 2);
    EXPECT_EQ(run({"consume", "--import", dir.File("missing")}), 1);
}
#endif

}  // namespace
}  // namespace tw::possim
