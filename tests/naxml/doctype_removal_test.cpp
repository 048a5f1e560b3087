#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "naxml/doctype_removal.h"
#include "platform/file_ops.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

TEST(FindDoctype, FindsTheWholeDeclarationInTheProlog) {
    struct Case {
        std::string text;
        DoctypeSpan::Result result;
        std::string declaration;
    };
    const Case cases[] = {
        {"<a/>", DoctypeSpan::Result::None, ""},
        {"<?xml version=\"1.0\"?>\r\n<!-- c > -->\r\n<!DOCTYPE a SYSTEM \"a>.dtd\">\r\n<a/>",
         DoctypeSpan::Result::Found, "<!DOCTYPE a SYSTEM \"a>.dtd\">"},
        // An internal subset may hold ">" and "]" in literals, comments and instructions.
        {"\xEF\xBB\xBF<!DOCTYPE a [<!ENTITY e 'x>]'><!-- ]> --><?pi ]>?><!ELEMENT a ANY>]><a/>",
         DoctypeSpan::Result::Found,
         "<!DOCTYPE a [<!ENTITY e 'x>]'><!-- ]> --><?pi ]>?><!ELEMENT a ANY>]>"},
        // A declaration-like text after the root element is content, not a declaration.
        {"<a><![CDATA[<!DOCTYPE b>]]></a>", DoctypeSpan::Result::None, ""},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY", DoctypeSpan::Result::Incomplete, ""},
        {"<!DOC", DoctypeSpan::Result::Incomplete, ""},
    };
    for (const auto& c : cases) {
        const DoctypeSpan span = FindDoctype(c.text);
        EXPECT_EQ(span.result, c.result) << c.text;
        if (span.result == DoctypeSpan::Result::Found) {
            EXPECT_EQ(c.text.substr(span.begin, span.end - span.begin), c.declaration);
        }
    }
}

TEST(RemoveDocumentTypeDeclaration, RemovesOnlyTheDeclarationAndKeepsEveryOtherByte) {
    test::ScratchDir dir;
    // Larger than one read: the rest of the file must follow unchanged.
    const std::string body = "<a>\r\n" + std::string(200000, 'x') + "\n</a>\r\n";
    const std::string head = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
    const std::string path =
        dir.Write("MSM.XML", head + "<!DOCTYPE a [<!ENTITY e \"1>2\">]>\r\n" + body);
    ASSERT_TRUE(platform::SetModificationTime(path, 1700000000, nullptr));

    std::string error;
    EXPECT_EQ(RemoveDocumentTypeDeclaration(path, &error), DoctypeRemoval::Removed) << error;
    EXPECT_EQ(test::ReadAll(path), head + "\r\n" + body);
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StatPath(path, entry, nullptr));
    EXPECT_EQ(entry.modified, 1700000000) << "the received file keeps its time";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left";

    // Once removed, there is nothing more to do; an unreadable file is a failure.
    EXPECT_EQ(RemoveDocumentTypeDeclaration(path, &error), DoctypeRemoval::NotPresent);
    EXPECT_EQ(RemoveDocumentTypeDeclaration(dir.File("absent.xml"), &error),
              DoctypeRemoval::Failed);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tw
