#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "possim/documents.h"
#include "possim/export_files.h"
#include "support/scratch_dir.h"
#include "xml_probe.h"

namespace tw::possim {
namespace {

using test::Attribute;
using test::Child;
using test::ChildText;
using test::Elements;
using test::Name;
using test::Parse;
using test::Text;

// "12.34" / "-0.05" / "10.123" in units of 10^-digits.
std::int64_t Fixed(const std::string& text, int digits) {
    const std::size_t dot = text.find('.');
    const bool negative = !text.empty() && text[0] == '-';
    const std::int64_t whole = std::llabs(std::atoll(text.substr(0, dot).c_str()));
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    fraction.resize(digits, '0');
    std::int64_t scale = 1;
    for (int i = 0; i < digits; ++i) {
        scale *= 10;
    }
    const std::int64_t value = whole * scale + std::atoll(fraction.c_str());
    return negative ? -value : value;
}

class Documents : public ::testing::Test {
protected:
    // Writes a journal of the default period and returns its bytes.
    std::string Journal(const SimulationOptions& options, const Variants& variants = {}) {
        const std::string name = "journal" + std::to_string(count_++) + ".XML";
        const ExportOutcome outcome = ExportJournal(options, variants, dir.Path(), name);
        EXPECT_TRUE(outcome.ok) << outcome.error;
        return tw::test::ReadAll(dir.File(name));
    }

    static Variants Only(const char* list) {
        std::string error;
        const auto variants = ParseVariants(list, &error);
        EXPECT_TRUE(variants) << error;
        return variants.value_or(Variants{});
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedTimeZone zone{"America/Chicago"};
    int count_ = 0;
};

TEST_F(Documents, SameSeedGivesTheSameBytesAndAnotherSeedOthers) {
    SimulationOptions options;
    options.seed = 42;
    options.events = 300;
    options.registers = 4;
    const std::string first = Journal(options);
    EXPECT_EQ(Journal(options), first);
    options.seed = 43;
    EXPECT_NE(Journal(options), first);

    // Variants change how the journal is written, never which events it holds.
    options.seed = 42;
    const std::string crlf = Journal(options, Only("crlf"));
    std::string unix;
    for (char c : crlf) {
        if (c != '\r') {
            unix += c;
        }
    }
    EXPECT_EQ(unix, first);
}

TEST_F(Documents, JournalHoldsTheRequestedEventsWithinItsPeriod) {
    SimulationOptions options;
    options.events = 400;
    options.registers = 3;
    const auto doc = Parse(Journal(options));
    ASSERT_TRUE(doc);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    EXPECT_EQ(Name(root), "NAXML-POSJournal");
    ASSERT_TRUE(root->ns);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(root->ns->href)), kNaxmlNamespace);
    EXPECT_EQ(ChildText(Child(root, "TransmissionHeader"), "StoreLocationID"), "0001");

    const xmlNode* report = Child(root, "JournalReport");
    ASSERT_TRUE(report);
    const auto children = Elements(report);
    ASSERT_EQ(children.size(), 401u);
    const xmlNode* header = children[0];
    ASSERT_EQ(Name(header), "JournalHeader");
    // The default period crosses midnight at the end of November.
    EXPECT_EQ(ChildText(header, "BeginDate"), "2026-11-30");
    EXPECT_EQ(ChildText(header, "BeginTime"), "22:00:00");
    EXPECT_EQ(ChildText(header, "EndDate"), "2026-12-01");
    EXPECT_EQ(ChildText(header, "EndTime"), "06:00:00");
    const std::string begin = "2026-11-30T22:00:00", end = "2026-12-01T06:00:00";

    std::map<std::string, int> kinds;
    std::set<std::pair<std::string, std::string>> transactions;
    std::string previousStart;
    for (std::size_t i = 1; i < children.size(); ++i) {
        const xmlNode* event = children[i];
        ++kinds[Name(event)];
        const std::string registerId = ChildText(event, "RegisterID");
        ASSERT_TRUE(registerId == "1" || registerId == "2" || registerId == "3") << registerId;
        EXPECT_TRUE(transactions.emplace(registerId, ChildText(event, "TransactionID")).second)
            << "a register repeated a transaction number";
        const std::string start =
            ChildText(event, "EventStartDate") + "T" + ChildText(event, "EventStartTime");
        const std::string stop =
            ChildText(event, "EventEndDate") + "T" + ChildText(event, "EventEndTime");
        EXPECT_LE(begin, start);
        EXPECT_LE(start, stop);
        EXPECT_LE(stop, end);
        EXPECT_LE(previousStart, start);
        previousStart = start;
        EXPECT_EQ(ChildText(event, "EventSequenceID"), std::to_string(i));
    }
    for (const char* kind :
         {"SaleEvent", "RefundEvent", "VoidEvent", "OtherEvent", "FinancialEvent"}) {
        EXPECT_GT(kinds[kind], 0) << kind;
    }
    EXPECT_GT(kinds["SaleEvent"], kinds["RefundEvent"]);
}

TEST_F(Documents, SalesAddUpAndArePaidInFull) {
    SimulationOptions options;
    options.events = 500;
    const auto doc = Parse(Journal(options));
    ASSERT_TRUE(doc);
    std::vector<xmlNode*> sales;
    test::Descendants(xmlDocGetRootElement(doc.get()), "SaleEvent", sales);
    ASSERT_GT(sales.size(), 300u);
    int withFuel = 0, withChange = 0, cancelled = 0;
    for (const xmlNode* sale : sales) {
        std::int64_t lines = 0, tax = 0, paid = 0;
        for (const xmlNode* line : Elements(Child(sale, "TransactionDetailGroup"))) {
            if (Attribute(line, "status") == "cancel") {
                ++cancelled;
                continue;
            }
            const xmlNode* content = Elements(line).at(0);
            const std::string kind = Name(content);
            if (kind == "FuelLine") {
                ++withFuel;
                const std::int64_t volume = Fixed(ChildText(content, "SalesQuantity"), 3);
                const std::int64_t price = Fixed(ChildText(content, "ActualSalesPrice"), 3);
                EXPECT_EQ(Fixed(ChildText(content, "SalesAmount"), 2),
                          (volume * price + 5000) / 10000);
            }
            if (kind == "FuelLine" || kind == "ItemLine" || kind == "MerchandiseCodeLine") {
                lines += Fixed(ChildText(content, "SalesAmount"), 2);
            } else if (kind == "TransactionTax") {
                tax += Fixed(ChildText(content, "TaxCollectedAmount"), 2);
            } else if (kind == "TenderInfo") {
                const bool change = Attribute(Child(content, "ChangeFlag"), "value") == "yes";
                withChange += change ? 1 : 0;
                paid += (change ? -1 : 1) * Fixed(ChildText(content, "TenderAmount"), 2);
            }
        }
        const xmlNode* summary = Child(sale, "TransactionSummary");
        EXPECT_EQ(Fixed(ChildText(summary, "TransactionTotalNetAmount"), 2), lines);
        EXPECT_EQ(Fixed(ChildText(summary, "TransactionTotalTaxNetAmount"), 2), tax);
        EXPECT_EQ(Fixed(ChildText(summary, "TransactionTotalGrandAmount"), 2), lines + tax);
        EXPECT_EQ(paid, lines + tax);
    }
    EXPECT_GT(withFuel, 0);
    EXPECT_GT(withChange, 0);
    EXPECT_GT(cancelled, 0);
}

TEST_F(Documents, EncodingVariantsAreWellFormedAndCarryTheSameText) {
    SimulationOptions options;
    options.events = 200;
    const std::string plain = Journal(options);
    const std::string bom = Journal(options, Only("bom"));
    const std::string latin1 = Journal(options, Only("latin1,crlf"));
    const std::string doctype = Journal(options, Only("doctype,plain"));

    EXPECT_EQ(bom.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bom.substr(3), plain);

    EXPECT_NE(latin1.find("encoding=\"ISO-8859-1\""), std::string::npos);
    EXPECT_NE(plain.find("Jalape\xC3\xB1o"), std::string::npos);
    EXPECT_NE(latin1.find("Jalape\xF1o"), std::string::npos);
    EXPECT_EQ(latin1.find("\xC3"), std::string::npos) << "no UTF-8 left in the Latin-1 file";
    for (std::size_t pos = latin1.find('\n'); pos != std::string::npos;
         pos = latin1.find('\n', pos + 1)) {
        ASSERT_EQ(latin1[pos - 1], '\r');
    }

    EXPECT_EQ(doctype.find("<!DOCTYPE NAXML-POSJournal SYSTEM \"NAXML-POSJournal.dtd\" ["),
              doctype.find('\n') + 1);
    EXPECT_NE(doctype.find("<NAXML-POSJournal version=\"3.4\">"), std::string::npos);

    // Whatever the bytes, a reader sees the same document.
    const auto reference = Parse(plain);
    ASSERT_TRUE(reference);
    const std::string expected = Text(xmlDocGetRootElement(reference.get()));
    for (const std::string* bytes : {&bom, &latin1, &doctype}) {
        const auto doc = Parse(*bytes);
        ASSERT_TRUE(doc);
        EXPECT_EQ(Text(xmlDocGetRootElement(doc.get())), expected);
    }
}

TEST_F(Documents, DamagedVariantsDamageWhatTheySay) {
    SimulationOptions options;
    options.events = 90;
    const std::string full = Journal(options);

    const auto hostile = Parse(Journal(options, Only("hostile")));
    ASSERT_TRUE(hostile);
    std::vector<xmlNode*> ids;
    test::Descendants(xmlDocGetRootElement(hostile.get()), "TransactionID", ids);
    test::Descendants(xmlDocGetRootElement(hostile.get()), "RegisterID", ids);
    std::set<std::string> unsafe;
    for (const xmlNode* id : ids) {
        const std::string text = Text(id);
        if (text.empty() || text.find('/') != std::string::npos || text == ".." ||
            text.find('\\') != std::string::npos) {
            unsafe.insert(text);
        }
    }
    EXPECT_GE(unsafe.size(), 4u);
    EXPECT_TRUE(unsafe.count("../../../../etc/passwd"));

    const auto badDates = Parse(Journal(options, Only("baddates")));
    ASSERT_TRUE(badDates);
    std::vector<xmlNode*> dates;
    test::Descendants(xmlDocGetRootElement(badDates.get()), "EventEndDate", dates);
    ASSERT_EQ(dates.size(), 90u);
    int malformed = 0;
    for (const xmlNode* date : dates) {
        const std::string text = Text(date);
        malformed += text.size() != 10 || text[4] != '-' || text[7] != '-' ||
                     text.substr(5, 2) > "12" || text.substr(8, 2) > "31";
    }
    EXPECT_GE(malformed, 20);

    const auto badHeader = Parse(Journal(options, Only("badheader")));
    ASSERT_TRUE(badHeader);
    std::vector<xmlNode*> headers;
    test::Descendants(xmlDocGetRootElement(badHeader.get()), "JournalHeader", headers);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(ChildText(headers[0], "EndDate"), "0000-00-00");

    // A truncated journal is the start of the whole one, cut inside an event.
    const std::string cut = Journal(options, Only("truncated"));
    EXPECT_FALSE(Parse(cut));
    EXPECT_EQ(full.compare(0, cut.size(), cut), 0);
    EXPECT_GT(cut.size(), full.size() / 2);
    EXPECT_LT(cut.size(), full.size() * 5 / 6);

    std::string error;
    EXPECT_FALSE(ParseVariants("crlf,nonsense", &error));
    EXPECT_NE(error.find("nonsense"), std::string::npos);
    EXPECT_FALSE(ParseVariants("latin1,bom", &error));
}

TEST_F(Documents, MovementReportsSummariseTheJournalOfTheSameOptions) {
    SimulationOptions options;
    options.seed = 7;
    options.events = 600;
    const auto journal = Parse(Journal(options));
    ASSERT_TRUE(journal);
    // Voided transactions show their lines but sold nothing.
    std::vector<xmlNode*> sales, fuelLines;
    test::Descendants(xmlDocGetRootElement(journal.get()), "SaleEvent", sales);
    for (const xmlNode* sale : sales) {
        test::Descendants(sale, "FuelLine", fuelLines);
    }
    std::map<std::pair<std::string, std::string>, std::int64_t> volumes;  // (grade, tier)
    std::int64_t totalVolume = 0;
    for (const xmlNode* line : fuelLines) {
        const std::int64_t volume = Fixed(ChildText(line, "SalesQuantity"), 3);
        volumes[{ChildText(line, "FuelGradeID"), ChildText(line, "PriceTierCode")}] += volume;
        totalVolume += volume;
    }

    const ExportOutcome outcome =
        ExportMovement(options, {std::begin(kAllMovementTypes), std::end(kAllMovementTypes)}, {},
                       FuelSummary::kPriceTier, dir.File("movement"));
    ASSERT_TRUE(outcome.ok) << outcome.error;
    ASSERT_EQ(outcome.files.size(), 5u);
    const std::string stamp = "20261201060000";
    std::map<std::string, test::Doc> reports;
    for (const std::string& path : outcome.files) {
        const std::string name = path.substr(path.rfind('/') + 1);
        EXPECT_EQ(name, name.substr(0, 3) + "330" + stamp + ".XML");
        auto doc = Parse(tw::test::ReadAll(path));
        ASSERT_TRUE(doc) << name;
        const xmlNode* root = xmlDocGetRootElement(doc.get());
        EXPECT_EQ(Name(root), "NAXML-MovementReport");
        const xmlNode* header = Child(Elements(root).at(1), "MovementHeader");
        ASSERT_TRUE(header) << name;
        EXPECT_EQ(ChildText(header, "BeginDate") + ChildText(header, "BeginTime") +
                      ChildText(header, "EndDate") + ChildText(header, "EndTime"),
                  "2026-11-3022:00:002026-12-0106:00:00");
        reports[name.substr(0, 3)] = std::move(doc);
    }

    const xmlNode* fgm = Elements(xmlDocGetRootElement(reports["FGM"].get())).at(1);
    EXPECT_EQ(Name(fgm), "FuelGradeMovement");
    std::int64_t reported = 0;
    for (const xmlNode* detail : Elements(fgm, "FGMDetail")) {
        const auto tiers = Elements(detail, "FGMPriceTierSummary");
        EXPECT_EQ(tiers.size(), 2u);
        for (const xmlNode* tier : tiers) {
            const std::int64_t volume =
                Fixed(ChildText(Child(tier, "FGMSalesTotals"), "FuelGradeSalesVolume"), 3);
            EXPECT_EQ(
                volume,
                (volumes[{ChildText(detail, "FuelGradeID"), ChildText(tier, "PriceTierCode")}]));
            reported += volume;
        }
    }
    EXPECT_EQ(reported, totalVolume);

    // Tanks share the fuel volume between them.
    std::vector<xmlNode*> tankVolumes;
    test::Descendants(xmlDocGetRootElement(reports["TPM"].get()), "TankSalesVolume", tankVolumes);
    std::int64_t tanked = 0;
    for (const xmlNode* volume : tankVolumes) {
        tanked += Fixed(Text(volume), 3);
    }
    EXPECT_EQ(tanked, totalVolume);

    // Descriptions that need escaping come through intact.
    std::vector<xmlNode*> descriptions;
    test::Descendants(xmlDocGetRootElement(reports["MCM"].get()), "MerchandiseCodeDescription",
                      descriptions);
    std::set<std::string> texts;
    for (const xmlNode* description : descriptions) {
        texts.insert(Text(description));
    }
    EXPECT_TRUE(texts.count("Chips <Salty> & \"Snacks\""));
    EXPECT_TRUE(texts.count("Caf\xC3\xA9 & P\xC3\xA2tisserie"));

    const ExportOutcome positions = ExportMovement(options, {MovementType::kFuelGrade}, {},
                                                   FuelSummary::kPosition, dir.File("pos"));
    ASSERT_TRUE(positions.ok);
    const std::string bytes = tw::test::ReadAll(positions.files.at(0));
    EXPECT_NE(bytes.find("<FGMPositionSummary>"), std::string::npos);
    EXPECT_EQ(bytes.find("FGMPriceTierSummary"), std::string::npos);
}

TEST(XmlText, EscapesAndConvertsWhatXmlCannotHoldAsIs) {
    std::string out;
    AppendEscaped(out, "a<b>&\"c\"\r\x01", false, false);
    EXPECT_EQ(out, "a&lt;b&gt;&amp;\"c\"&#13;?");
    out.clear();
    AppendEscaped(out, "\"x\"\n\t", true, false);
    EXPECT_EQ(out, "&quot;x&quot;&#10;&#9;");
    out.clear();
    // Malformed UTF-8 (a lone continuation byte, an overlong form, a cut
    // sequence) becomes '?'.
    AppendEscaped(out, "\x80|\xC0\xAF|\xE2\x82", false, false);
    EXPECT_EQ(out, "?|??|??");
    out.clear();
    // Latin-1: single bytes up to U+00FF, references beyond.
    AppendEscaped(out, "\xC3\xA9\xE2\x82\xAC", false, true);
    EXPECT_EQ(out, "\xE9&#8364;");
}

TEST(CivilTimes, ParseAndStampLocalTimes) {
    const auto time = LocalTime::Parse("2024-02-29T23:59:30");
    ASSERT_TRUE(time);
    EXPECT_EQ(time->Plus(30).Stamp14(), "20240301000000");
    EXPECT_EQ(LocalTime::Parse("2026-12-06 22:00")->Iso(), "2026-12-06T22:00:00");
    for (const char* bad : {"2023-02-29T00:00", "2026-12-06", "2026-13-01T00:00",
                            "2026-12-06T24:00", "2026-12-06T22:00:0x", "x026-12-06T22:00"}) {
        EXPECT_FALSE(LocalTime::Parse(bad)) << bad;
    }
}

}  // namespace
}  // namespace tw::possim
