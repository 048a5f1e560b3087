#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <libxml/tree.h>

#include "naxml/xml_document.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

TEST(XmlDocumentNavigation, WalksAndFindsNodesAsTheDomDid) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(R"(
        <r:Root xmlns:r="urn:r" xmlns="urn:d" version="3.3">
          <First a="1" r:b="two"><Inner>text &amp; more</Inner></First>
          <!-- note -->
          <second><Deep><Deeper/></Deep></second>
          <Last><![CDATA[raw]]></Last>
        </r:Root>   )"));
    const XmlNode root = XmlDocument::FirstNodeAfter(doc.DocumentNode());
    EXPECT_EQ(XmlDocument::NodeName(root), "r:Root");
    EXPECT_EQ(XmlDocument::Attribute(root, "version"), "3.3");

    const XmlNode first = XmlDocument::ChildByName(root, "FIRST");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(XmlDocument::Attribute(first, "r:b"), "two");
    EXPECT_EQ(XmlDocument::Attribute(first, "missing"), "");
    EXPECT_EQ(XmlDocument::Text(XmlDocument::ChildByName(first, "inner")), "text & more");
    EXPECT_EQ(XmlDocument::Text(first), "") << "the first child is an element, not text";
    EXPECT_EQ(XmlDocument::Text(XmlDocument::ChildByName(root, "Last")), "")
        << "CDATA is not a text node";

    // Document order: into children first, then to the next sibling of the nearest ancestor.
    const XmlNode deeper = XmlDocument::FindByName(doc.DocumentNode(), "deeper");
    ASSERT_NE(deeper, nullptr);
    EXPECT_EQ(XmlDocument::NodeName(XmlDocument::FirstNodeAfter(deeper)), "Last");
    EXPECT_EQ(XmlDocument::NodeName(XmlDocument::FindByName(root, "#comment")), "#comment");
    const XmlNode second = XmlDocument::ChildByName(root, "Second");
    EXPECT_EQ(XmlDocument::FindByName(doc.DocumentNode(), "Deeper", second), nullptr)
        << "the walk stops at stop";
    EXPECT_EQ(XmlDocument::FindByName(doc.DocumentNode(), "Nowhere"), nullptr);
}

class XmlDocumentFailures : public ::testing::Test {
protected:
    test::ScratchDir dir;
    test::RecordedMessages messages;
};

TEST_F(XmlDocumentFailures, ParseErrorsAreReportedWithLineAndPosition) {
    const std::string path = dir.Write("bad.xml", "<a>\n  <b>\n</a>\n");
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml("<keep/>"));
    EXPECT_FALSE(doc.Load(path));
    EXPECT_EQ(doc.Root(), nullptr) << "a failed load leaves an empty document";
    EXPECT_EQ(doc.LastError().line, 3);
    ASSERT_EQ(messages.log.Texts().size(), 1u);
    EXPECT_THAT(messages.log.Texts()[0], StartsWith("XML Opening and ending tag mismatch"));
    EXPECT_THAT(messages.log.Texts()[0], HasSubstr(" on line 3, position "));
    EXPECT_THAT(messages.log.Texts()[0], HasSubstr(" in \"" + path + "\"."));
}

TEST_F(XmlDocumentFailures, MissingFileFailsSilentlyButOtherFailuresAreReported) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Load(dir.File("absent.xml")));
    EXPECT_THAT(messages.log.Texts(), IsEmpty());

    // A directory cannot be read: a failure without a line.
    EXPECT_FALSE(doc.Load(dir.Path()));
    ASSERT_EQ(messages.log.Texts().size(), 1u);
    EXPECT_THAT(messages.log.Texts()[0], StartsWith("XML "));
    EXPECT_THAT(messages.log.Texts()[0], HasSubstr(" File = \"" + dir.Path() + "\""));

    EXPECT_FALSE(doc.LoadXml("   "));
    EXPECT_FALSE(doc.LoadXml("<a xmlns=\"urn:x\"><p:b/></a>")) << "an undeclared prefix";
    EXPECT_EQ(messages.log.Texts().size(), 3u);
}

TEST_F(XmlDocumentFailures, OutsideContentIsNeverFetched) {
    const std::string secret = dir.Write("secret.txt", "TOP-SECRET");
    const std::string dtd = dir.Write("evil.dtd", "<!ENTITY leak \"DTD-LOADED\">");
    XmlDocument doc;
    // An external entity is neither substituted nor loaded.
    const bool loaded =
        doc.LoadXml("<!DOCTYPE r [<!ENTITY e SYSTEM \"file://" + secret + "\">]><r>&e;</r>");
    if (loaded) {
        EXPECT_THAT(doc.Xml(), Not(HasSubstr("TOP-SECRET")));
    }
    // An external DTD is not loaded, so its entities stay unknown.
    doc.LoadXml("<!DOCTYPE r SYSTEM \"file://" + dtd + "\"><r>&leak;</r>");
    EXPECT_THAT(doc.Xml(), Not(HasSubstr("DTD-LOADED")));
    // XInclude is not processed.
    ASSERT_TRUE(doc.LoadXml("<r xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"" +
                            secret + "\" parse=\"text\"/></r>"));
    EXPECT_THAT(doc.Xml(), Not(HasSubstr("TOP-SECRET")));
    // Internal entities are not expanded either (no amplification through references).
    doc.LoadXml(
        "<!DOCTYPE r [<!ENTITY a \"AAAAAAAAAA\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]><r>&b;</r>");
    EXPECT_THAT(doc.Xml(), Not(HasSubstr("AAAAAAAAAAAAAAAAAAAA")));
}

TEST(XmlDocumentBuilding, BuildsEscapedUtf8AndSavesWithoutDeclarationUnlessAsked) {
    test::ScratchDir dir;
    XmlDocument doc;
    const XmlNode root = doc.AppendElement(doc.DocumentNode(), "NAXML-MaintenanceRequest");
    doc.SetAttribute(root, "version", "3.3");
    EXPECT_EQ(doc.AppendElement(doc.DocumentNode(), "Second"), nullptr) << "one root only";
    const XmlNode header = doc.AppendElement(root, "TransmissionHeader");
    doc.AppendTextElement(header, "VendorName", "A&B <\"Caf\xC3\xA9\">");
    doc.AppendTextElement(header, "Empty", "");
    doc.SetAttribute(XmlDocument::FindByName(root, "Empty"), "type", "x\"<&");

    const std::string expected =
        "<NAXML-MaintenanceRequest version=\"3.3\"><TransmissionHeader><VendorName>A&amp;B "
        "&lt;\"Caf\xC3\xA9\"&gt;</VendorName><Empty type=\"x&quot;&lt;&amp;\"></Empty>"
        "</TransmissionHeader></NAXML-MaintenanceRequest>\n";
    EXPECT_EQ(doc.Xml(), expected);

    const std::string path = dir.File("MCT.XML");
    ASSERT_TRUE(doc.Save(path));
    EXPECT_EQ(test::ReadAll(path), expected);
    ASSERT_TRUE(doc.Save(path, true));
    EXPECT_EQ(test::ReadAll(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + expected);

    // A failed save leaves nothing behind and reports the cause.
    int error = 0;
    EXPECT_FALSE(doc.Save(dir.File("missing/MCT.XML"), false, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);

    // Reading back what was written gives the same texts.
    XmlDocument back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(XmlDocument::Text(XmlDocument::FindByName(back.DocumentNode(), "vendorname")),
              "A&B <\"Caf\xC3\xA9\">");
}

TEST(XmlDocumentBuilding, OtherEncodingsAreWrittenAsUtf8) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>Caf\xE9</r>"));
    EXPECT_EQ(doc.Xml(), "<r>Caf\xC3\xA9</r>\n");
}

TEST(XmlDocumentCopies, CopiesKeepTheirNamespacesWithoutRepeatingThem) {
    XmlDocument source;
    ASSERT_TRUE(source.LoadXml(
        "<Journal xmlns=\"urn:d\" xmlns:x=\"urn:x\" version=\"3.4\"><Header><A x:t=\"1\">a</A>"
        "</Header><Report kind=\"r\"><Event><x:B>b</x:B></Event></Report></Journal>"));
    const XmlNode journal = source.Root();

    XmlDocument target;
    const XmlNode root = target.AppendCopy(target.DocumentNode(), journal, false);
    target.AppendCopy(root, XmlDocument::FindByName(journal, "Header"), true);
    const XmlNode report =
        target.AppendCopy(root, XmlDocument::FindByName(journal, "Report"), false);
    target.AppendCopy(report, XmlDocument::FindByName(journal, "Event"), true);
    EXPECT_EQ(target.Xml(),
              "<Journal xmlns=\"urn:d\" xmlns:x=\"urn:x\" version=\"3.4\"><Header><A x:t=\"1\">"
              "a</A></Header><Report kind=\"r\"><Event><x:B>b</x:B></Event></Report></Journal>\n");

    // Copied without the declaring ancestor, a node brings its namespaces along.
    XmlDocument alone;
    alone.AppendCopy(alone.DocumentNode(), XmlDocument::FindByName(journal, "Event"), true);
    XmlDocument reparsed;
    ASSERT_TRUE(reparsed.LoadXml(alone.Xml()));
    const XmlNode b = XmlDocument::FindByName(reparsed.DocumentNode(), "x:B");
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(b->ns->href), "urn:x");
    EXPECT_STREQ(reinterpret_cast<const char*>(reparsed.Root()->ns->href), "urn:d");

    // Removing a copy leaves the rest alone; the source is never changed.
    XmlDocument::Remove(XmlDocument::FindByName(target.DocumentNode(), "Event"));
    EXPECT_THAT(target.Xml(), Not(HasSubstr("Event")));
    EXPECT_THAT(source.Xml(), HasSubstr("<Event>"));
}

}  // namespace
}  // namespace tw
