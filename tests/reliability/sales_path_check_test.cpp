#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "event_census.h"
#include "sales_path_check.h"
#include "sales_site.h"
#include "support/scratch_dir.h"
#include "tree_snapshot.h"

namespace tw::reliability {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A data directory left by one undisturbed pass over a small export that crosses midnight:
// the ground truth each fault below is injected into.
class SalesPathCheck : public ::testing::Test {
protected:
    void SetUp() override {
        programs = BuiltPrograms();
        if (programs.tidewellPass.empty() || programs.possim.empty())
            GTEST_SKIP() << "tidewell-pass or possim is not built";
        PosLayout layout;
        layout.periods = 1;
        layout.events = 60;
        layout.start = "2026-03-05T22:00";
        layout.hours = 4;
        std::string error;
        ASSERT_TRUE(ExportPos(programs, layout, Path("pristine"), Path("possim.out"), &error))
            << error;
        exported = ReadPosExport(Path("pristine"));
        ASSERT_EQ(exported.journals.size(), 1u);
        ASSERT_EQ(exported.events.size(), 60u);
        ASSERT_EQ(exported.movementReports.size(), 5u);

        SalesSite site(programs, Path("site"), Path("site/pos"), Path("baseline"), {});
        ASSERT_TRUE(CopyPosDirectory(Path("pristine"), site.Pos(), &error)) << error;
        ASSERT_TRUE(site.PrepareData(&error)) << error;
        ASSERT_TRUE(site.RunPass().Exited(0)) << LastLineOf(site.OutputPath());
    }

    std::string Path(const std::string& name) const { return scratch.File(name); }

    // A copy of the baseline with one fault injected, checked.
    SalesPathVerdict CheckWith(const std::function<void(const std::string& data)>& inject) {
        const std::string data = Path("faulty");
        fs::remove_all(data);
        fs::copy(Path("baseline"), data, fs::copy_options::recursive);
        inject(data);
        CheckOptions options;
        options.scratch = scratch.Path();
        return CheckSalesPath(exported, data, options);
    }

    // The first event entry of the first day's archive.
    ZipEntry FirstArchivedEvent() const {
        std::vector<ZipEntry> entries;
        std::string error;
        EXPECT_TRUE(ReadZipEntries(Path("baseline/03/JRN0305.ZIP"), entries, &error)) << error;
        for (const auto& entry : entries) {
            if (!entry.name.ends_with("/"))
                return entry;
        }
        ADD_FAILURE() << "no event in the archive";
        return {};
    }

    // Removes the files at the top of data that hold exactly these bytes.
    static void RemoveCopiesOf(const std::string& data, const std::string& bytes) {
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(data)) {
            if (entry.is_regular_file() && ReadFileBytes(entry.path().string()) == bytes)
                copies.push_back(entry.path());
        }
        for (const auto& copy : copies) fs::remove(copy);
    }

    void DeleteFromArchive(const std::string& archive, const std::string& entry) {
        ProgramRun run;
        run.argv = {"zip", "-qd", archive, entry};
        ASSERT_TRUE(RunProgram(run).Exited(0)) << "zip -d " << entry;
    }

    test::ScratchDir scratch;
    Programs programs;
    PosExport exported;
};

TEST_F(SalesPathCheck, AnUndisturbedPassKeepsTheGuaranteeAndEveryFaultIsNoticed) {
    const SalesPathVerdict clean = CheckWith([](const std::string&) {});
    ASSERT_TRUE(clean.Holds()) << clean.Details();
    EXPECT_EQ(clean.eventsFiledOnce, 60u);

    const ZipEntry event = FirstArchivedEvent();
    ASSERT_TRUE(event.readable);
    struct Fault {
        const char* what;
        std::function<void(const std::string&)> inject;
        std::size_t SalesPathVerdict::*figure;
    };
    const Fault faults[] = {
        {"an archived event deleted and its journal gone",
         [&](const std::string& data) {
             DeleteFromArchive(data + "/03/JRN0305.ZIP", event.name);
             RemoveCopiesOf(data, exported.journals.begin()->second);
         },
         &SalesPathVerdict::eventsLost},
        {"an archived event deleted and its journal left as received",
         [&](const std::string& data) {
             DeleteFromArchive(data + "/03/JRN0305.ZIP", event.name);
             RemoveCopiesOf(data, exported.journals.begin()->second);
             WriteBytes(data + "/" + exported.journals.begin()->first,
                        exported.journals.begin()->second);
         },
         &SalesPathVerdict::eventsLostJournalKept},
        {"an archived event also left in its day folder",
         [&](const std::string& data) {
             WriteBytes(data + "/03/jrn0305/" + event.name, event.bytes);
         },
         &SalesPathVerdict::eventsDuplicated},
        {"an event filed under the next day",
         [&](const std::string& data) {
             DeleteFromArchive(data + "/03/JRN0305.ZIP", event.name);
             WriteBytes(data + "/03/jrn0306/" + event.name, event.bytes);
         },
         &SalesPathVerdict::misplaced},
        {"an event file cut short",
         [&](const std::string& data) {
             WriteBytes(data + "/03/jrn0305/jrn20260305000000-9-9.xml",
                        event.bytes.substr(0, event.bytes.size() / 2));
         },
         &SalesPathVerdict::unreadable},
        {"an event the POS never exported",
         [&](const std::string& data) {
             std::string other = event.bytes;
             other.replace(other.find("<TransactionID>") + 15, 1, "9");
             WriteBytes(data + "/03/jrn0305/other.xml", other);
         },
         &SalesPathVerdict::eventsUnexpected},
        {"an archive damaged",
         [&](const std::string& data) {
             const std::string path = data + "/03/JRN0306.ZIP";
             std::string bytes = ReadFileBytes(path);
             bytes[bytes.size() / 2] ^= 0x55;
             WriteBytes(path, bytes);
         },
         &SalesPathVerdict::badArchives},
        {"a history file cut short",
         [&](const std::string& data) {
             fs::resize_file(data + "/POLHISTD.001", fs::file_size(data + "/POLHISTD.001") - 1);
         },
         &SalesPathVerdict::badHistories},
        {"a slot file changed",
         [&](const std::string& data) {
             std::ofstream(data + "/FGMD0001.XML", std::ios::app) << " ";
         },
         &SalesPathVerdict::movementReportsMissing},
        {"a temporary file left in a month folder",
         [&](const std::string& data) { WriteBytes(data + "/03/.~twJRN0305.ZIP.a1b2c3", "x"); },
         &SalesPathVerdict::tempFiles},
        {"a received file left under the POS's name",
         [&](const std::string& data) {
             const auto& [name, bytes] = *exported.movementReports.begin();
             WriteBytes(data + "/" + name, bytes);
         },
         &SalesPathVerdict::rawFilesLeft},
        {"a file on the list of received but unfiled files",
         [&](const std::string& data) { WriteBytes(data + "/RECEIVED.001", "FGM.XML\r\n\r\n"); },
         &SalesPathVerdict::receivedListed},
        {"a file rejected",
         [&](const std::string& data) { WriteBytes(data + "/REJECTED/X.XML", "<x/>"); },
         &SalesPathVerdict::rejectedFiles},
    };
    for (const Fault& fault : faults) {
        const SalesPathVerdict verdict = CheckWith(fault.inject);
        EXPECT_EQ(verdict.*fault.figure, 1u) << fault.what << ": " << verdict.Details();
        EXPECT_FALSE(verdict.Holds()) << fault.what;
    }
}

// A slot file set aside when a newer file took its name still counts as filed.
TEST_F(SalesPathCheck, AMovementReportKeptInReplacedIsFiled) {
    const SalesPathVerdict verdict = CheckWith([](const std::string& data) {
        fs::create_directories(data + "/REPLACED");
        fs::rename(data + "/FGMD0001.XML", data + "/REPLACED/FGMD0001.XML");
        WriteBytes(data + "/RECEIVED.001", "");
    });
    EXPECT_TRUE(verdict.Holds()) << verdict.Details();
}

}  // namespace
}  // namespace tw::reliability
