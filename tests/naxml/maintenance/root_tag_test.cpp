#include "naxml/maintenance/root_tag.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "naxml/maintenance/maintenance_readers.h"
#include "support/recording_messages.h"
#include "support/scratch_dir.h"

namespace tw::naxml {
namespace {

const std::string kNamespacedStart =
    "<NAXML-MaintenanceRequest xmlns=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.naxml.org/POSBO/Vocabulary/2003-10-16 "
    "NAXML-PBIMaintenance33.xsd\" version=\"";

const std::string kIndentedCombo =
    "<?xml version=\"1.0\"?>\r\n"
    "<NAXML-MaintenanceRequest version=\"3.4\">\r\n"
    "  <ComboMaintenance>\r\n"
    "    <CBTDetail>\r\n"
    "      <ComboID>C1</ComboID>\r\n"
    "    </CBTDetail>\r\n"
    "  </ComboMaintenance>\r\n"
    "</NAXML-MaintenanceRequest>\r\n";

TEST(RootStartTag, NamespacedRootMakesTheFileOneLineAndKeepsItsContent) {
    tw::test::ScratchDir dir;
    const std::string path = dir.Write("CBT.XML", kIndentedCombo);
    ASSERT_TRUE(SetNamespacedRoot(path));
    EXPECT_EQ(tw::test::ReadAll(path),
              kNamespacedStart +
                  "3.4\">  <ComboMaintenance>    <CBTDetail>      <ComboID>C1</ComboID>    "
                  "</CBTDetail>  </ComboMaintenance></NAXML-MaintenanceRequest>");
    PendingDeletions deletions;
    const auto rows = ReadComboFile(dir.Path(), deletions);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, "C1");

    ASSERT_TRUE(SetPlainRoot(path));
    EXPECT_TRUE(tw::test::ReadAll(path).starts_with(
        "<NAXML-MaintenanceRequest version=\"3.4\">  <ComboMaintenance>"));
}

TEST(RootStartTag, RootWithoutVersionGetsThePlainVersion) {
    const auto plain =
        WithRootStartTag("<NAXML-MaintenanceRequest><A/></NAXML-MaintenanceRequest>", false);
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, "<NAXML-MaintenanceRequest version=\"3.3\"><A/></NAXML-MaintenanceRequest>");
    EXPECT_EQ(WithRootStartTag("<NAXML-MaintenanceRequest />", true), kNamespacedStart + "3.3\"/>");
}

TEST(RootStartTag, LineEndsInsideTagsAndTextsKeepTheirMeaning) {
    const auto rewritten = WithRootStartTag(
        "<NAXML-MaintenanceRequest\r\n version=\"3.3\"><Entry\nformat=\"a\nb\">one\r\ntwo</Entry>"
        "<!-- it's\n> here --><Data><![CDATA[x\ny]]></Data></NAXML-MaintenanceRequest>\n",
        false);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(*rewritten,
              "<NAXML-MaintenanceRequest version=\"3.3\"><Entry format=\"a b\">one&#10;two</Entry>"
              "<!-- it's > here --><Data><![CDATA[x]]>&#10;<![CDATA[y]]></Data>"
              "</NAXML-MaintenanceRequest>");
    XmlDocument document;
    ASSERT_TRUE(document.LoadXml(*rewritten));
    const XmlNode entry = XmlDocument::FindByName(document.DocumentNode(), "Entry");
    EXPECT_EQ(XmlDocument::Text(entry), "one\ntwo");
    EXPECT_EQ(XmlDocument::Attribute(entry, "format"), "a b");
}

TEST(RootStartTag, FileIsLeftAloneWhenTheRootIsNotAmongTheFirstFivePieces) {
    tw::test::ScratchDir dir;
    const std::string content =
        "<?xml version=\"1.0\"?><!-- 1 --><!-- 2 --><!-- 3 --><!-- 4 -->"
        "<NAXML-MaintenanceRequest version=\"3.3\"/>";
    const std::string path = dir.Write("MMT.XML", content);
    EXPECT_FALSE(SetNamespacedRoot(path));
    EXPECT_EQ(tw::test::ReadAll(path), content);
    EXPECT_FALSE(SetPlainRoot(dir.File("missing.xml")));

    // The fifth piece still counts; what comes before the root is dropped.
    const std::string fifth =
        "<?xml version=\"1.0\"?><!-- 1 --><!-- 2 --><!-- 3 -->"
        "<NAXML-MaintenanceRequest version=\"3.3\"/>";
    EXPECT_EQ(WithRootStartTag(fifth, false), "<NAXML-MaintenanceRequest version=\"3.3\"/>");
}

}  // namespace
}  // namespace tw::naxml
