// The sales path under injected faults. Every change the sales side makes to the data directory
// is counted; a pass is run with a fault at each count in turn, then passes without faults
// until the work is done. Whatever the fault, every event of the POS's journals must end up
// filed exactly once, every report in its slot, nothing half-written left behind; and a pass
// that left work undone must have said so.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "journal_builder.h"
#include "platform/file_ops.h"
#include "site_fixture.h"
#include "support/fault_file_env.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;

// What a finished site holds: the event files (by name and size, each once), the bytes of every
// file filed (in a slot file, or in REPLACED/ when a later file took its slot: which file gets
// which number depends on what arrived in which pass), and whatever else is left in the data
// directory that should not be.
struct SiteState {
    std::multiset<std::string> events;
    std::multiset<std::string> filed;
    std::vector<std::string> leftOvers;  // received files, partial files, rejected files
    bool posDrained = false;

    friend bool operator==(const SiteState&, const SiteState&) = default;
};

std::ostream& operator<<(std::ostream& out, const SiteState& state) {
    out << state.events.size() << " events, " << state.filed.size() << " files filed";
    out << ", left over:";
    for (const auto& name : state.leftOvers) out << " " << name;
    return out << (state.posDrained ? ", POS drained" : ", POS not drained");
}

class SalesFaults : public ::testing::TestWithParam<bool> {
protected:
    bool DeleteSource() const { return GetParam(); }

    // A site whose POS exported two journals (the second crossing midnight) and three movement
    // reports of their periods.
    std::unique_ptr<test::TestSite> NewSite() {
        auto site = std::make_unique<test::TestSite>();
        site->setup->deletePOSSourceFile = DeleteSource();
        std::time_t when = 1772900000;
        const auto put = [&](const std::string& name, const std::string& content) {
            const std::string path = site->dir.Write("pos/export/" + name, content);
            EXPECT_TRUE(platform::SetModificationTime(path, when += 60, nullptr));
        };
        test::JournalLayout day;
        day.beginDate = "2026-03-05", day.beginTime = "06:00:00";
        day.endDate = "2026-03-05", day.endTime = "14:00:00";
        day.events = test::EventsFrom(5, 5, 9, 0, 60, 100001);
        put("NAXML-POSJournal20260305140000.XML", test::JournalXml(day));
        put("MSM33020260305140000.XML",
            test::MovementReportXml("MSM", "2026-03-05", "06:00", "2026-03-05", "14:00"));
        test::JournalLayout night;
        night.beginDate = "2026-03-05", night.beginTime = "14:00:00";
        night.endDate = "2026-03-06", night.endTime = "02:00:00";
        night.events = test::EventsFrom(5, 5, 23, 58, 60, 200001);
        put("NAXML-POSJournal20260306020000.XML", test::JournalXml(night));
        put("MSM33020260306020000.XML",
            test::MovementReportXml("MSM", "2026-03-05", "14:00", "2026-03-06", "02:00"));
        put("FGM33020260306020000.XML",
            test::MovementReportXml("FGM", "2026-03-05", "14:00", "2026-03-06", "02:00"));
        return site;
    }

    static SiteState StateOf(const test::TestSite& site) {
        SiteState state;
        state.events = test::EventFileNames(site.data, true);
        for (const auto& entry : fs::recursive_directory_iterator(site.data)) {
            const std::string name = entry.path().filename().string();
            const std::string relative = fs::relative(entry.path(), site.data).string();
            if (!entry.is_regular_file())
                continue;
            if ((IsSlotFileName(name) && relative == name) || relative.rfind("REPLACED/", 0) == 0) {
                state.filed.insert(test::ReadAll(entry.path().string()));
            } else if (name.rfind(".~tw", 0) == 0 || relative.rfind("REJECTED", 0) == 0 ||
                       name.rfind("NAXML", 0) == 0 || name.find("330") != std::string::npos ||
                       name.rfind("RECEIVED", 0) == 0) {
                state.leftOvers.push_back(relative);
            }
        }
        std::error_code ec;
        state.posDrained = fs::is_empty(site.pos, ec);
        return state;
    }

    // Passes without faults until one reports nothing (at most five).
    static void FinishWork(test::TestSite& site, test::RecordedMessages& messages) {
        for (int pass = 0; pass < 5; ++pass) {
            messages.error.Clear();
            test::PollSite(site);
            if (messages.error.Texts().empty())
                return;
        }
        ADD_FAILURE() << "the work was never finished: " << messages.error.Texts().front();
    }

    // The state after an undisturbed pass, and how many changes that pass made.
    void Measure() {
        auto site = NewSite();
        test::FaultFileEnv env;
        test::PollSite(*site, &env);
        ASSERT_THAT(messages.error.Texts(), ::testing::IsEmpty());
        changes = env.Changes();
        expected = StateOf(*site);
        ASSERT_EQ(expected.events.size(), 10u);
        ASSERT_EQ(expected.filed.size(), 5u);
        ASSERT_TRUE(expected.leftOvers.empty());
        ASSERT_EQ(expected.posDrained, DeleteSource());
    }

    test::RecordedMessages messages;
    int changes = 0;
    SiteState expected;
};

// A change that fails at any point: once (an I/O error, or a disk full for a moment), or with
// every change after it (a disk that stays full for the rest of the pass). The pass says so
// unless its work is done, and the next passes finish everything.
TEST_P(SalesFaults, AFailedWriteAtAnyPointIsReportedAndLosesNothing) {
    Measure();
    for (const bool stays : {false, true}) {
        for (int n = 1; n <= changes && !HasFailure(); ++n) {
            SCOPED_TRACE("change " + std::to_string(n) + (stays ? " and every later one" : "") +
                         " failed");
            messages.error.Clear();
            auto site = NewSite();
            test::FaultFileEnv env;
            if (stays) {
                env.FailFrom(n);
            } else {
                env.FailAt(n, EIO);
            }
            test::PollSite(*site, &env);
            if (messages.error.Texts().empty()) {
                EXPECT_EQ(StateOf(*site), expected)
                    << "a pass that reported nothing left work undone";
            }
            FinishWork(*site, messages);
            EXPECT_EQ(StateOf(*site), expected);
        }
    }
}

// A pass killed at any point, and the power cut at the same moment: what was not synced is
// lost. Two ways a disk may come back: with every change not synced undone, or with the names
// kept and only the bytes of files not synced lost (files of the right name but empty). The order
// of syncs must be such that the next passes still find every sale.
TEST_P(SalesFaults, APowerCutAtAnyPointLosesNothing) {
    Measure();
    for (const auto cut :
         {test::FaultFileEnv::Cut::UndoChanges, test::FaultFileEnv::Cut::LoseUnsyncedBytes}) {
        for (int n = 1; n <= changes && !HasFailure(); ++n) {
            SCOPED_TRACE("killed at change " + std::to_string(n) + ", then the power went" +
                         (cut == test::FaultFileEnv::Cut::UndoChanges ? "" : " (names kept)"));
            auto site = NewSite();
            test::FaultFileEnv env;
            env.CrashAt(n);
            test::PollSite(*site, &env);
            env.PowerCut(cut);
            FinishWork(*site, messages);
            EXPECT_EQ(StateOf(*site), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DeleteOrKeep, SalesFaults, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Delete" : "Keep");
                         });

}  // namespace
}  // namespace tw::radiant
