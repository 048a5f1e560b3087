#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "settings/poll_hist.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

OleDate At(int y, int mo, int d, int h, int mi, int s = 0) {
    return OleDate::FromCivil(y, mo, d, h, mi, s);
}

// A scratch data directory with the day history of site 1.
class HistoryFile : public ::testing::Test {
protected:
    void Make(int slots) {
        ASSERT_TRUE(CreateHistoryFile(path, slots));
        history = OpenHistory(dir.Path(), 1, kDayHistory);
        ASSERT_TRUE(history);
    }
    void Put(std::int32_t sequence, const OleDate& begin, const OleDate& end) {
        history->SetCurrent({sequence, begin, end});
        ASSERT_TRUE(history->WriteRecord()) << sequence;
    }
    std::string Bytes(std::size_t offset, std::size_t size = kHistRecordSize) const {
        return test::ReadAll(path).substr(offset, size);
    }

    test::ScratchDir dir;
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::RecordedMessages messages;
    std::string path = dir.File("POLHISTD.001");
    std::unique_ptr<PollHist> history;
};

TEST_F(HistoryFile, NewFileAndRecordsHaveTheirExactBytes) {
    Make(100);
    EXPECT_EQ(Bytes(0), "0010000000000,00000000,                \r\n");
    EXPECT_EQ(Bytes(41), "00000000,00000000,-1:-1,00000000,-1:-1,\r\n");
    EXPECT_EQ(test::ReadAll(path).size(), 101 * kHistRecordSize);

    Put(105, At(2024, 3, 5, 6, 7), At(2024, 3, 5, 22, 45));
    EXPECT_EQ(Bytes(246), "00000105,20240305,06:07,20240305,22:45,\r\n");
    // Sequence 205 shares slot 5 (byte 6 * 41) with 105 and replaces it.
    Put(205, OleDate::Null(), At(1900, 6, 1, 12, 30));
    EXPECT_EQ(Bytes(246), "00000205,00000000,-1:-1,00000000,12:30,\r\n");
    ASSERT_TRUE(history->ReadRecord(105));
    EXPECT_EQ(history->Sequence(), 205);
    // Neither an unset date nor one before 1901 survives: both read back as null.
    EXPECT_TRUE(history->Begin().IsNull());
    EXPECT_TRUE(history->End().IsNull());
    EXPECT_FALSE(history->IsValid());

    std::string error;
    EXPECT_FALSE(CreateHistoryFile(dir.File("polhistd.001"), 10, &error)) << "exists already";
    EXPECT_FALSE(CreateHistoryFile(dir.File("POLHISTS.001"), 0, &error));
    EXPECT_FALSE(CreateHistoryFile(dir.File("POLHISTS.001"), 100000, &error));
}

TEST_F(HistoryFile, HeaderRewriteKeepsSlotCountSecondNumberAndTail) {
    dir.Write("POLHISTD.001", "  01000000007,00000042,ABCDEFGHIJKLMNOP\r\n" +
                                  std::string(10 * kHistRecordSize, ' '));
    history = OpenHistory(dir.Path(), 1, kDayHistory);
    ASSERT_TRUE(history);
    EXPECT_EQ(history->SlotCount(), 10);
    EXPECT_EQ(history->LastSequence(), 7);
    EXPECT_EQ(history->SecondNumber(), 42);
    history->SetLastSequence(8);
    ASSERT_TRUE(history->WriteHeader());
    EXPECT_EQ(Bytes(0), "  01000000008,00000042,ABCDEFGHIJKLMNOP\r\n");
}

TEST_F(HistoryFile, OpeningReportsMissingAndUnusableFiles) {
    EXPECT_FALSE(OpenHistory(dir.Path(), 1, kDayHistory));
    // A header that cannot address a slot (count 0 or negative) or is cut short is unreadable.
    for (const std::string header : {"00000000000000,00000000,", "-0005", "    0"}) {
        dir.Write("POLHISTD.001", header + std::string(41, ' '));
        EXPECT_FALSE(OpenHistory(dir.Path(), 1, kDayHistory)) << header;
    }
    dir.Write("POLHISTD.001", "00010");
    EXPECT_FALSE(OpenHistory(dir.Path(), 1, kDayHistory));
    const std::string unreadable = "Unable to read data from " + path + ".";
    EXPECT_EQ(messages.error.Texts(),
              (std::vector<std::string>{"Cannot open " + path + ".", unreadable, unreadable,
                                        unreadable, unreadable}));
}

TEST_F(HistoryFile, FindsFilesByKindWhateverTheirCase) {
    ASSERT_TRUE(CreateHistoryFile(dir.File("polhistd.007"), 3));
    ASSERT_TRUE(CreateHistoryFile(dir.File("PolHists.007"), 4));
    auto slots = [&](const std::string& directory, int kind) {
        auto opened = OpenHistory(directory, 7, kind);
        return opened ? opened->SlotCount() : -1;
    };
    EXPECT_EQ(slots(dir.Path() + "/", kDayHistory), 3);
    EXPECT_EQ(slots(dir.Path(), kShiftHistory), 4);
    EXPECT_EQ(slots(dir.Path(), 0), 4);
    EXPECT_EQ(HistFileName(12, kDayHistory), "POLHISTD.012");
}

TEST_F(HistoryFile, RefusesSequenceNumbersTheFieldCannotHold) {
    Make(10);
    Put(kMaxHistSequence, At(2024, 1, 1, 0, 0), At(2024, 1, 1, 23, 59));
    const std::string before = test::ReadAll(path);
    for (std::int32_t sequence : {kMaxHistSequence + 1, -1}) {
        history->SetCurrent({sequence, At(2024, 1, 2, 0, 0), At(2024, 1, 2, 23, 59)});
        EXPECT_FALSE(history->WriteRecord());
    }
    history->SetLastSequence(kMaxHistSequence + 1);
    EXPECT_FALSE(history->WriteHeader());
    EXPECT_EQ(test::ReadAll(path), before);
    EXPECT_EQ(messages.error.Texts().size(), 3u);
    EXPECT_EQ(messages.error.Texts()[0],
              "Sequence number 100000000 does not fit the history file " + path + ".");
}

TEST_F(HistoryFile, FindSequenceToleratesThirtyMinutesOnTheBeginAndSecondsOnTheEnd) {
    Make(100);
    const OleDate begin = At(2024, 3, 5, 6, 0), end = At(2024, 3, 5, 22, 45);
    Put(7, begin, end);
    Put(8, At(2024, 3, 6, 6, 0), OleDate::Null());

    EXPECT_EQ(history->FindSequence(At(2024, 3, 5, 6, 29), end), 7);
    EXPECT_EQ(history->FindSequence(At(2024, 3, 5, 5, 31), end), 7);
    EXPECT_EQ(history->FindSequence(At(2024, 3, 5, 6, 31), end), -1);
    EXPECT_EQ(history->FindSequence(At(2024, 3, 5, 5, 29), end), -1);
    EXPECT_EQ(history->FindSequence(At(2024, 3, 5, 6, 30), end), -1);
    // Given times are cut to whole minutes first.
    EXPECT_EQ(history->FindSequence(begin, At(2024, 3, 5, 22, 45, 58)), 7);
    EXPECT_EQ(history->FindSequence(begin, At(2024, 3, 5, 22, 46)), -1);
    EXPECT_EQ(history->FindSequenceNear(begin, At(2024, 3, 5, 22, 46), kHistOneMinute), 7);
    EXPECT_EQ(history->FindSequenceNear(begin, At(2024, 3, 5, 22, 47), kHistOneMinute), -1);
    // A null end matches only a null end; empty slots (sequence 0) never match.
    EXPECT_EQ(history->FindSequence(At(2024, 3, 6, 6, 0), OleDate::Null()), 8);
    EXPECT_EQ(history->FindSequence(begin, OleDate::Null()), -1);
    EXPECT_EQ(history->FindSequence(At(2024, 3, 6, 6, 0), At(2024, 3, 6, 22, 0)), -1);
}

TEST(HistPeriodMatches, EdgesOfTheTolerances) {
    const OleDate end = At(2024, 3, 5, 22, 45);
    const HistRecord recorded{1, At(2024, 3, 5, 6, 0), end};
    auto endShiftedBy = [&](double seconds) { return end.AddDays(seconds / 86400.0); };
    EXPECT_TRUE(
        HistPeriodMatches(recorded, recorded.begin, endShiftedBy(0.4), kHistHalfSecond, false));
    EXPECT_TRUE(
        HistPeriodMatches(recorded, recorded.begin, endShiftedBy(-0.4), kHistHalfSecond, false));
    EXPECT_FALSE(
        HistPeriodMatches(recorded, recorded.begin, endShiftedBy(0.6), kHistHalfSecond, false));
    EXPECT_FALSE(HistPeriodMatches(recorded, recorded.begin, OleDate::Null(), 1.0, true));
    EXPECT_FALSE(HistPeriodMatches(recorded, recorded.begin, OleDate::Invalid(), 1.0, true));
    // An unknown begin leaves the decision to the end.
    EXPECT_TRUE(
        HistPeriodMatches({1, OleDate::Null(), end}, recorded.begin, end, kHistHalfSecond, false));

    // Across 1899-12-30 the day part of negative dates counts backwards: 23:50 the day before
    // and 00:10 are 20 minutes apart, not two days.
    const HistRecord old{2, At(1899, 12, 29, 23, 50), At(1899, 12, 29, 23, 50)};
    EXPECT_TRUE(HistPeriodMatches(old, At(1899, 12, 30, 0, 10), old.end, kHistHalfSecond, false));
    EXPECT_TRUE(HistPeriodMatches(old, old.begin, At(1899, 12, 30, 0, 0), 11 / 1440.0, true));
    // Dates further apart than any two automation dates can be never match.
    const HistRecord first{3, At(100, 1, 1, 0, 0), At(100, 1, 1, 0, 0)};
    EXPECT_FALSE(HistPeriodMatches(first, first.begin, At(9999, 12, 31, 23, 59), 1e9, true));
}

TEST(HistDate, ParsesTheStoredTextWithTwoDigitYears) {
    GenericHist hist("unused");
    EXPECT_EQ(hist.ParseDate("03/05/2024 22:45:00"), At(2024, 3, 5, 22, 45));
    EXPECT_EQ(hist.ParseDate("1/2/80 1:2:3"), At(2080, 1, 2, 1, 2, 3));
    EXPECT_EQ(hist.ParseDate("1/2/81 1:2:3"), At(1981, 1, 2, 1, 2, 3));
    EXPECT_EQ(hist.ParseDate("12/31/0 23:59:59"), At(2000, 12, 31, 23, 59, 59));
    EXPECT_EQ(hist.ParseDate("12/31/99"), At(1999, 12, 31, 0, 0));
    EXPECT_TRUE(hist.ParseDate("00/05/2024 10:00:00").IsNull());
    EXPECT_TRUE(hist.ParseDate("03/-1/2024 10:00:00").IsNull());
    EXPECT_TRUE(hist.ParseDate("").IsNull());
    EXPECT_EQ(hist.ParseDate("13/05/2024 10:00:00").GetStatus(), OleDate::Status::Invalid);
    EXPECT_EQ(hist.ParseDate("03/05/2024 -1:-1:00").GetStatus(), OleDate::Status::Invalid);
    EXPECT_EQ(hist.ParseDate("03/05/2024 99999999999:00:00").GetStatus(), OleDate::Status::Invalid);
}

TEST_F(HistoryFile, RingOfTenSlotsWraps) {
    Make(10);
    for (int sequence = 1; sequence <= 13; ++sequence) {
        Put(sequence, At(2024, 1, sequence, 6, 0), At(2024, 1, sequence, 22, 0));
    }
    history->SetLastSequence(13);
    ASSERT_TRUE(history->WriteHeader());

    std::vector<std::int32_t> order;
    for (const auto& record : history->ReadRingOrder()) order.push_back(record.sequence);
    EXPECT_EQ(order, (std::vector<std::int32_t>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    ASSERT_TRUE(history->ReadHeader());
    order.clear();
    while (history->ReadNext()) order.push_back(history->Sequence());
    EXPECT_EQ(order, (std::vector<std::int32_t>{10, 11, 12, 13, 4, 5, 6, 7, 8, 9}));

    EXPECT_EQ(history->FindSequence(At(2024, 1, 3, 6, 0), At(2024, 1, 3, 22, 0)), -1);
    EXPECT_EQ(history->FindSequence(At(2024, 1, 13, 6, 0), At(2024, 1, 13, 22, 0)), 13);
    EXPECT_EQ(history->LastSequence(), 13);
}

// The viewer reads with its own object while the journal processing writes: every read sees
// the latest complete record, never a stale or half-written one.
TEST_F(HistoryFile, ReaderSeesEveryWriteWhole) {
    Make(10);
    auto reader = OpenHistory(dir.Path(), 1, kDayHistory);
    ASSERT_TRUE(reader);
    Put(3, At(2024, 1, 1, 6, 0), At(2024, 1, 1, 22, 0));
    ASSERT_TRUE(reader->ReadRecord(3));
    EXPECT_EQ(reader->End(), At(2024, 1, 1, 22, 0));
    Put(13, At(2024, 2, 2, 7, 0), At(2024, 2, 2, 23, 0));
    ASSERT_TRUE(reader->ReadRecord(3));
    EXPECT_EQ(reader->Sequence(), 13);

    // Two versions of slot 3 alternate; a torn read would pair one's number with the other's end.
    auto versionOf = [](std::int32_t sequence) {
        const int day = sequence == 3 ? 1 : 2;
        return HistRecord{sequence, At(2024, 1, day, 6, 0), At(2024, 1, day, 22, 0)};
    };
    history->SetCurrent(versionOf(3));
    ASSERT_TRUE(history->WriteRecord());
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 400; ++i) {
            history->SetCurrent(versionOf(i % 2 ? 13 : 3));
            EXPECT_TRUE(history->WriteRecord());
        }
        done = true;
    });
    int mismatches = 0;
    while (!done) {
        if (!reader->ReadRecord(3) || !(reader->End() == versionOf(reader->Sequence()).end)) {
            ++mismatches;
        }
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace tw
