#include <gtest/gtest.h>

#include <cerrno>

#include "app/Version.h"
#include "platform/Messages.h"
#include "platform/ScreenSaverRule.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using test::RecordingBoxes;

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessageState();
    errno = 0;
  }
  RecordingBoxes boxes;
};

TEST_F(MessagesTest, BoxesCarryTitleIconAndFormattedText) {
  ReportError("Unable to open I/O port \"%s\", check configuration.", "COM3");
  ReportNote("%d faxes", 3);
  boxes.Answer = false;
  EXPECT_FALSE(ReportQuestion("Are you sure you want to exit %s?", "Zarvo Meteo"));
  boxes.Answer = true;
  EXPECT_TRUE(ReportQuestion("Again?"));
  ASSERT_EQ(boxes.Shown.size(), 4u);
  EXPECT_EQ(boxes.Shown[0].Icon, MessageIcon::Error);
  EXPECT_EQ(boxes.Shown[0].Text, "Unable to open I/O port \"COM3\", check configuration.");
  EXPECT_EQ(boxes.Shown[1].Icon, MessageIcon::Information);
  EXPECT_EQ(boxes.Shown[1].Text, "3 faxes");
  EXPECT_EQ(boxes.Shown[2].Icon, MessageIcon::Question);
  EXPECT_EQ(boxes.Shown[2].Text, "Are you sure you want to exit Zarvo Meteo?");
  for (const auto& box : boxes.Shown) EXPECT_EQ(box.Title, "Zarvo Meteo");
  EXPECT_EQ(boxes.CloseCount, 0);
}

// An error raised while an error box is open is dropped for good; notes are not guarded.
TEST_F(MessagesTest, NestedErrorIsDroppedNestedNoteIsShown) {
  int depth = 0;
  boxes.WhileOpen = [&](const test::ShownBox&) {
    if (depth++ > 0) return;
    ReportError("second error");
    ReportNote("a note meanwhile");
  };
  ReportError("first error");
  boxes.WhileOpen = nullptr;
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "first error");
  EXPECT_EQ(boxes.Shown[1].Text, "a note meanwhile");
  ReportError("after the box closed");
  ASSERT_EQ(boxes.Shown.size(), 3u);
  EXPECT_EQ(boxes.Shown[2].Text, "after the box closed");
}

TEST_F(MessagesTest, OnlyTheFirstFatalReportIsShownAndClosesOnce) {
  ReportFatal("first");
  ReportFatal("second");
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo fatal error message");
  EXPECT_EQ(boxes.Shown[0].Text, "first\n\nZarvo Meteo will now shutdown...");
  EXPECT_EQ(boxes.Shown[0].Icon, MessageIcon::Error);
  EXPECT_EQ(boxes.CloseCount, 1);
  EXPECT_TRUE(FatalReported());
}

// A fatal text is shown unchanged: it is no format.
TEST_F(MessagesTest, FatalTextIsNotAFormat) {
  ReportFatal("100% %s");
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "100% %s\n\nZarvo Meteo will now shutdown...");
}

TEST_F(MessagesTest, OverlongTextsAreFatalAndCut) {
  const std::string long1001(1001, 'x');
  ReportNote("%s", long1001.c_str());
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "ReportNote: Text too long\n\nZarvo Meteo will now shutdown...");
  EXPECT_EQ(boxes.Shown[1].Text, std::string(1000, 'x'));
  EXPECT_EQ(boxes.CloseCount, 1);

  ResetMessageState();
  boxes.Shown.clear();
  ReportNote("%s", std::string(1000, 'y').c_str());  // exactly at the limit
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text.size(), 1000u);

  boxes.Shown.clear();
  EXPECT_TRUE(ReportQuestion("%s", long1001.c_str()));
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "ReportNote: Text too long\n\nZarvo Meteo will now shutdown...");
}

// The error's limit counts the "." and the system's text for the last error code.
TEST_F(MessagesTest, ErrorLimitCountsTheSystemText) {
  ReportError("%s", std::string(999, 'e').c_str());  // 999 + "." fits
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_FALSE(FatalReported());

  errno = ENOENT;
  ReportError("%s", std::string(990, 'e').c_str());
  ASSERT_EQ(boxes.Shown.size(), 3u);
  EXPECT_TRUE(FatalReported());
  EXPECT_EQ(boxes.Shown[1].Title, "Zarvo Meteo fatal error message");
  EXPECT_EQ(boxes.Shown[2].Text, std::string(990, 'e'));  // shown without the system's text
}

TEST_F(MessagesTest, ExceptionReportEndsWithAPeriod) {
  ShowExceptionReport("Cannot open file \"a.bmp\"");
  ShowExceptionReport("Already ends.");
  ShowExceptionReport(nullptr);
  ASSERT_EQ(boxes.Shown.size(), 3u);
  EXPECT_EQ(boxes.Shown[0].Text, "Cannot open file \"a.bmp\".");
  EXPECT_EQ(boxes.Shown[1].Text, "Already ends.");
  EXPECT_EQ(boxes.Shown[2].Text, "Unknown error.");
  EXPECT_EQ(boxes.CloseCount, 0);
}

TEST(ScreenSaverRule, SwallowsOnlyTheScreenSaverCommandWhileDisabled) {
  EXPECT_TRUE(DiscardSystemMessage(true, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(false, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0112, 0xF060));  // SC_CLOSE passes
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0111, 0xF140));  // not a system command
}

TEST(VersionText, ThirdDecimalCutWhenZero) {
  EXPECT_EQ(VersionText(), "Version 1.02");
  EXPECT_EQ(VersionText(1.025), "Version 1.025");
  EXPECT_EQ(VersionText(2.0), "Version 2.00");
}

}  // namespace
}  // namespace zarvo
