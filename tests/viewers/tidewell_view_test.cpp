#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/scratch_dir.h"

namespace tw::viewers {
namespace {

using test::ReadAll;
using test::ScratchDir;

int RunTool(const std::string& arguments) {
    const std::string command = std::string(TIDEWELL_VIEW) + " " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The command line finds the site's files by their names in the data directory, refuses what
// the site's version does not allow as the menu command does, and tells usage errors apart.
TEST(TidewellView, RendersRefusesAndReportsUsage) {
    ScratchDir dir;
    dir.Write("001/mctbak.xml",
              "<NAXML-MaintenanceRequest version=\"3.2\"><MCTDetail><MerchandiseCode>4"
              "</MerchandiseCode><MerchandiseCodeDescription>Snacks</MerchandiseCodeDescription>"
              "</MCTDetail></NAXML-MaintenanceRequest>");
    const std::string site = dir.File("001");
    const std::string page = dir.File("page.html");

    ASSERT_EQ(RunTool("--site-dir " + site + " --kind mct --bak -o " + page), 0);
    EXPECT_NE(ReadAll(page).find("<td>Snacks</td>"), std::string::npos);

    EXPECT_EQ(RunTool("--site-dir " + site + " --kind fgt --naxml-version '3.2 based' -o " + page),
              1);
    ASSERT_EQ(RunTool("--site-dir " + site + " --kind fgt -o " + page), 0);
    EXPECT_NE(ReadAll(page).find("No Grades to View."), std::string::npos);

    EXPECT_EQ(RunTool("--site-dir " + site + " --kind sales -o " + page), 1);  // no day history
    EXPECT_EQ(RunTool("--site-dir " + site + " --kind nope -o " + page), 2);
    EXPECT_EQ(RunTool("--kind ism -o " + page), 2);

    ASSERT_EQ(RunTool("--kind ism --stylesheet -o " + dir.File("ism.xsl")), 0);
    EXPECT_TRUE(ReadAll(dir.File("ism.xsl")).starts_with("<xsl:stylesheet"));
}

}  // namespace
}  // namespace tw::viewers
