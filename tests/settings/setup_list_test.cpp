#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "settings/poll_hist.h"
#include "settings/setup_list.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Walk(SetupList& list) {
    Entries entries;
    for (bool more = list.First(); more; more = list.Next()) {
        entries.emplace_back(list.CodeText(), list.Caption());
    }
    return entries;
}

std::string Movement(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n"
           "<NAXML-MovementReport "
           "xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\">\n"
           "<Report><MovementHeader><EndDate>2026-12-01</EndDate></"
           "MovementHeader>\n" +
           body + "</Report></NAXML-MovementReport>\n";
}

std::string Department(const std::string& code, const std::string& description) {
    return "<MCMDetail><MerchandiseCode>" + code +
           "</MerchandiseCode>\n  <MerchandiseCodeDescription>" + description +
           "</MerchandiseCodeDescription></MCMDetail>\n";
}

TEST(TaxGroupSetupList, OffersTheSixteenCombinationsAsBitSets) {
    RadiantTaxGroupSetupList list;
    EXPECT_TRUE(list.IsAvailable());
    EXPECT_FALSE(list.Title().empty());
    const Entries entries = Walk(list);
    ASSERT_EQ(entries.size(), 16u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>("0", "No Tax")));
    EXPECT_EQ(entries[3].second, "Tax1 & Tax2");
    EXPECT_EQ(entries[10].second, "Tax2 & Tax4");
    EXPECT_EQ(entries[15].second, "Tax1 & Tax2 & Tax3 & Tax4");
    for (int code = 1; code < 16; ++code) {
        EXPECT_EQ(entries[code].first, std::to_string(code));
        for (int bit = 0; bit < 4; ++bit) {
            const bool named =
                entries[code].second.find("Tax" + std::to_string(bit + 1)) != std::string::npos;
            EXPECT_EQ(named, (code & (1 << bit)) != 0) << code;
        }
    }
    // Walking again starts over.
    EXPECT_EQ(Walk(list), entries);
}

TEST(SetupListBuilder, CodesOfSeveralFilesAreOfferedOnceInNumericOrder) {
    test::ScratchDir dir;
    const std::string newer = dir.Write(
        "MCMD0002.XML", Movement(Department(" 104 ", " Chips &amp; Snacks ") +
                                 Department("20", "Twenty") + Department("abc", "Not a code") +
                                 Department("", "Empty") + Department("99999999999", "Too big")));
    const std::string older = dir.Write(
        "MCMD0001.XML", Movement(Department("104", "Old name") + Department("3", "Three") +
                                 Department("-7", "Negative")));
    RadiantDeptList list;
    EXPECT_FALSE(list.IsAvailable());
    EXPECT_FALSE(list.First());
    EXPECT_TRUE(list.Build(newer));
    EXPECT_TRUE(list.Build(older));
    EXPECT_TRUE(list.IsAvailable());
    // Ascending by number (not by text: "104" after "20"), each code once, with
    // the caption of the file read first, values trimmed.
    EXPECT_EQ(
        Walk(list),
        (Entries{{"-7", "Negative"}, {"3", "Three"}, {"20", "Twenty"}, {"104", "Chips & Snacks"}}));
}

TEST(SetupListBuilder, FuelListsReadTheirElementsAndUnreadableFilesAddNothing) {
    test::ScratchDir dir;
    const std::string fgm =
        dir.Write("FGMD0001.XML", Movement("<FGMDetail><FuelGradeID>2</FuelGradeID>"
                                           "<FGMPriceTierSummary><PriceTierCode>1</"
                                           "PriceTierCode></FGMPriceTierSummary>"
                                           "<FGMPriceTierSummary><PriceTierCode>2</"
                                           "PriceTierCode></FGMPriceTierSummary>"
                                           "</FGMDetail>\n"
                                           "<FGMDetail><FuelGradeID>1</FuelGradeID>"
                                           "<FGMPositionSummary><PriceTierCode>7</"
                                           "PriceTierCode></FGMPositionSummary>"
                                           "</FGMDetail>"));
    RadiantFuelGradeList grades;
    ASSERT_TRUE(grades.Build(fgm));
    EXPECT_EQ(Walk(grades), (Entries{{"1", "1"}, {"2", "2"}}));

    // Only tiers under FGMPriceTierSummary count, every summary of a grade.
    RadiantPriceTierList tiers;
    ASSERT_TRUE(tiers.Build(fgm));
    EXPECT_EQ(Walk(tiers), (Entries{{"1", "1"}, {"2", "2"}}));

    const std::string tpm =
        dir.Write("TPMD0001.XML", Movement("<TPMDetail><TankID>4</TankID></TPMDetail>"
                                           "<TPMDetail><tankid>3</tankid></TPMDetail>"));
    RadiantFuelProductList tanks;
    ASSERT_TRUE(tanks.Build(tpm));
    EXPECT_EQ(Walk(tanks), (Entries{{"3", "3"}, {"4", "4"}}));

    // A file cut short adds nothing, not even the codes before the cut.
    const std::string cut =
        dir.Write("TPMD0002.XML", Movement("<TPMDetail><TankID>9</TankID>").substr(0, 200));
    EXPECT_FALSE(tanks.Build(cut));
    EXPECT_FALSE(tanks.Build(dir.File("TPMD0003.XML")));
    EXPECT_EQ(tanks.Size(), 2u);
}

TEST(SetupListBuilder, NeverFetchesExternalEntities) {
    test::ScratchDir dir;
    dir.Write("secret.txt", "SECRET");
    const std::string file = dir.Write(
        "MCMD0001.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY leak SYSTEM \"file://" +
                            dir.File("secret.txt") +
                            "\">]>\n<r><MCMDetail><MerchandiseCode>5</MerchandiseCode>"
                            "<MerchandiseCodeDescription>x&leak;y</MerchandiseCodeDescription></"
                            "MCMDetail></r>");
    RadiantDeptList list;
    list.Build(file);
    for (const auto& [code, caption] : Walk(list)) {
        EXPECT_EQ(caption.find("SECRET"), std::string::npos) << caption;
    }
}

TEST(TaxSetupList, OffersTheNumericKeysOfTheSalesTaxPairsInMappingOrder) {
    StandardListStringMapper taxes;
    taxes.Add("7", "State tax");
    taxes.Add("2", "County tax");
    taxes.Add("7", "State tax again");
    taxes.Add("X", "Not a code");
    RadiantTaxSetupList list(&taxes);
    EXPECT_TRUE(list.IsAvailable());
    EXPECT_EQ(Walk(list), (Entries{{"7", "State tax"}, {"2", "County tax"}}));
    EXPECT_FALSE(list.Next());

    RadiantTaxSetupList none(nullptr);
    EXPECT_FALSE(none.IsAvailable());
    EXPECT_FALSE(none.First());
}

// A data directory with the day history of site 1.
class BuildSetupListTest : public ::testing::Test {
protected:
    void MakeHistory(int slots, const std::vector<std::int32_t>& sequences) {
        ASSERT_TRUE(CreateHistoryFile(dir.File("POLHISTD.001"), slots));
        auto history = OpenHistory(dir.Path(), 1, kDayHistory);
        ASSERT_TRUE(history);
        for (std::int32_t sequence : sequences) {
            const OleDate day = OleDate::FromCivil(2026, 1, 1).AddDays(sequence);
            history->SetCurrent({sequence, day, day.AddDays(0.5)});
            ASSERT_TRUE(history->WriteRecord());
            history->SetLastSequence(sequence);
        }
        ASSERT_TRUE(history->WriteHeader());
    }

    test::ScratchDir dir;
    test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
    test::RecordedMessages messages;
    std::string data = dir.Path() + "/";
};

TEST_F(BuildSetupListTest, WithoutDayHistoryNoListIsBuilt) {
    for (int kind : {0, 1, 2, 3, 5, 11}) {
        EXPECT_FALSE(BuildSetupList(data, 1, kind, nullptr)) << kind;
    }
    EXPECT_FALSE(messages.error.Texts().empty());
}

TEST_F(BuildSetupListTest, ReadsTheSlotFilesOfTheTenNewestPeriods) {
    // Forty slots: sequence 113 is filed under slot 33, not 13.
    std::vector<std::int32_t> sequences;
    for (std::int32_t sequence = 101; sequence <= 113; ++sequence) {
        sequences.push_back(sequence);
    }
    MakeHistory(40, sequences);
    for (std::int32_t sequence : sequences) {
        char name[32];
        std::snprintf(name, sizeof name, "MCMD%04d.XML", sequence % 40);
        dir.Write(name, Movement(Department(std::to_string(sequence), "Period") +
                                 Department("1", "Name of " + std::to_string(sequence))));
    }
    // Where slot numbers modulo 100 would look.
    dir.Write("MCMD0013.XML", Movement(Department("9999", "Wrong slot")));

    auto list = BuildSetupList(data, 1, 2, nullptr);
    ASSERT_TRUE(list);
    Entries expected = {{"1", "Name of 113"}};  // the newest period's caption
    for (std::int32_t sequence = 104; sequence <= 113; ++sequence) {
        expected.emplace_back(std::to_string(sequence), "Period");
    }
    EXPECT_EQ(Walk(*list), expected);

    EXPECT_EQ(SetupListMovementFile(data, "FGM", 113, 40), data + "FGMD0033.XML");
    EXPECT_TRUE(BuildSetupList(data, 1, 11, nullptr)->IsAvailable());
    EXPECT_FALSE(BuildSetupList(data, 1, 3, nullptr)->IsAvailable()) << "no TPM files";
    EXPECT_FALSE(BuildSetupList(data, 1, 4, nullptr)) << "qualifiers have no list";
}

}  // namespace
}  // namespace tw
