#include <gtest/gtest.h>

#include <cerrno>

#include "app/Version.h"
#include "platform/Messages.h"
#include "platform/ScreenSaverRule.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using Strings = std::vector<std::string>;
const std::string kShutdown = "\n\nZarvo Meteo will now shutdown...";
const std::string kTooLong = "ReportNote: Text too long" + kShutdown;

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessageState();
    errno = 0;
  }
  Strings Texts() const {
    Strings texts;
    for (const auto& box : boxes.Shown) texts.push_back(box.Text);
    return texts;
  }
  test::RecordingBoxes boxes;
};

TEST_F(MessagesTest, BoxesCarryTitleIconAndFormattedText) {
  ReportError("Unable to open I/O port \"%s\", check configuration.", "COM3");
  ReportNote("%d faxes", 3);
  boxes.Answer = false;
  EXPECT_FALSE(ReportQuestion("Are you sure you want to exit %s?", "Zarvo Meteo"));
  boxes.Answer = true;
  EXPECT_TRUE(ReportQuestion("Again?"));
  ASSERT_EQ(Texts(), (Strings{"Unable to open I/O port \"COM3\", check configuration.", "3 faxes",
                              "Are you sure you want to exit Zarvo Meteo?", "Again?"}));
  const MessageIcon icons[] = {MessageIcon::Error, MessageIcon::Information, MessageIcon::Question,
                               MessageIcon::Question};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(boxes.Shown[i].Icon, icons[i]) << i;
    EXPECT_EQ(boxes.Shown[i].Title, "Zarvo Meteo") << i;
  }
  EXPECT_EQ(boxes.CloseCount, 0);
}

// An error raised while an error box is open is dropped for good; notes are not guarded.
TEST_F(MessagesTest, NestedErrorIsDroppedNestedNoteIsShown) {
  boxes.WhileOpen = [](const test::ShownBox& box) {
    if (box.Text != "first error") return;
    ReportError("second error");
    ReportNote("a note meanwhile");
  };
  ReportError("first error");
  ReportError("after the box closed");
  EXPECT_EQ(Texts(), (Strings{"first error", "a note meanwhile", "after the box closed"}));
}

// Only the first fatal report is shown, its text unchanged (it is no format), and the main window
// closed once.
TEST_F(MessagesTest, OnlyTheFirstFatalReportIsShown) {
  EXPECT_FALSE(FatalReported());
  ReportFatal("100% %s");
  ReportFatal("second");
  ASSERT_EQ(Texts(), Strings{"100% %s" + kShutdown});
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo fatal error message");
  EXPECT_EQ(boxes.Shown[0].Icon, MessageIcon::Error);
  EXPECT_EQ(boxes.CloseCount, 1);
  EXPECT_TRUE(FatalReported());
}

TEST_F(MessagesTest, OverlongTextsAreFatalAndCut) {
  const std::string x1000(1000, 'x'), x1001(1001, 'x');
  ReportNote("%s", x1001.c_str());
  EXPECT_EQ(Texts(), (Strings{kTooLong, x1000}));
  EXPECT_EQ(boxes.CloseCount, 1);
  ResetMessageState();
  boxes.Shown.clear();
  ReportNote("%s", x1000.c_str());  // exactly at the limit
  EXPECT_TRUE(ReportQuestion("%s", x1001.c_str()));
  EXPECT_EQ(Texts(), (Strings{x1000, kTooLong, x1000}));
}

// The error's limit counts the "." and the system's text for the last error code; the box shows
// the message alone.
TEST_F(MessagesTest, ErrorLimitCountsTheSystemText) {
  ReportError("%s", std::string(999, 'e').c_str());  // 999 + "." fits
  EXPECT_FALSE(FatalReported());
  errno = ENOENT;
  ReportError("%s", std::string(990, 'e').c_str());
  EXPECT_EQ(Texts(), (Strings{std::string(999, 'e'), kTooLong, std::string(990, 'e')}));
}

TEST_F(MessagesTest, ExceptionReportEndsWithAPeriod) {
  const char* whats[] = {"Cannot open file \"a.bmp\"", "Already ends.", "", nullptr};
  for (const char* what : whats) ShowExceptionReport(what);
  EXPECT_EQ(Texts(), (Strings{"Cannot open file \"a.bmp\".", "Already ends.", "Unknown error.",
                              "Unknown error."}));
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
