#include <cerrno>

#include <gtest/gtest.h>

#include "platform/system_text.h"
#include "support/scratch_dir.h"

namespace tw::platform {
namespace {

TEST(SystemText, ErrorTextsAndUnknownNumbers) {
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(EACCES), "Permission denied");
    EXPECT_EQ(SystemErrorText(123456), "");
}

TEST(SystemText, CtimeStampIsTwentyFourCharactersInLocalTime) {
    test::ScopedTimeZone zone("America/Chicago");
    EXPECT_EQ(CtimeStamp(1768465815), "Thu Jan 15 02:30:15 2026");
    EXPECT_EQ(CtimeStamp(1772956800), "Sun Mar  8 03:00:00 2026");
    EXPECT_EQ(CtimeStamp(0).size(), 24u);
}

}  // namespace
}  // namespace tw::platform
