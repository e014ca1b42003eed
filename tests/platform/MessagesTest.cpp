// The message helpers: the boxes' texts, titles and icons, the guards against nested errors and
// repeated fatal reports, and the length limit.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/Version.h"
#include "platform/Messages.h"
#include "platform/ScreenSaverRule.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using Strings = std::vector<std::string>;
const std::string kTooLong = "ReportNote: Text too long\n\nZarvo Meteo will now shutdown...";

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

// Formatted texts under the program's title. An error raised while an error box is open is
// dropped for good; notes are not guarded.
TEST_F(MessagesTest, BoxesAndTheNestedErrorGuard) {
  boxes.WhileOpen = [](const test::ShownBox& box) {
    if (box.Text != "COM3 failed") return;
    ReportError("second error");
    ReportNote("%d faxes", 3);
  };
  ReportError("%s failed", "COM3");
  boxes.Answer = false;
  EXPECT_FALSE(ReportQuestion("Exit %s?", "Zarvo Meteo"));
  ReportError("after the box closed");
  ASSERT_EQ(Texts(),
            (Strings{"COM3 failed", "3 faxes", "Exit Zarvo Meteo?", "after the box closed"}));
  const MessageIcon icons[] = {MessageIcon::Error, MessageIcon::Information, MessageIcon::Question,
                               MessageIcon::Error};
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(std::pair(boxes.Shown[i].Icon, boxes.Shown[i].Title),
              std::pair(icons[i], std::string("Zarvo Meteo")))
        << i;
  EXPECT_EQ(boxes.CloseCount, 0);
}

// Only the first fatal report is shown, its text unchanged (it is no format), and the main window
// closed once.
TEST_F(MessagesTest, OnlyTheFirstFatalReportIsShown) {
  EXPECT_FALSE(FatalReported());
  ReportFatal("100% %s");
  ReportFatal("second");
  ASSERT_EQ(Texts(), Strings{"100% %s\n\nZarvo Meteo will now shutdown..."});
  EXPECT_EQ(std::tuple(boxes.Shown[0].Icon, boxes.CloseCount, FatalReported()),
            std::tuple(MessageIcon::Error, 1, true));
}

// Texts over 1000 characters are fatal, then shown cut. The error's limit counts the "." and the
// system's text for the last error code; the box shows the message alone.
TEST_F(MessagesTest, OverlongTextsAreFatalAndCut) {
  const std::string x1000(1000, 'x'), x1001(1001, 'x'), e999(999, 'e'), e990(990, 'e');
  ReportNote("%s", x1000.c_str());
  ReportError("%s", e999.c_str());
  EXPECT_FALSE(FatalReported());
  EXPECT_TRUE(ReportQuestion("%s", x1001.c_str()));
  EXPECT_EQ(Texts(), (Strings{x1000, e999, kTooLong, x1000}));
  EXPECT_EQ(boxes.CloseCount, 1);
  ResetMessageState();
  boxes.Shown.clear();
  errno = ENOENT;
  ReportError("%s", e990.c_str());
  EXPECT_EQ(Texts(), (Strings{kTooLong, e990}));
}

TEST_F(MessagesTest, ExceptionReportEndsWithAPeriod) {
  const char* whats[] = {"Already ends.", "", nullptr};
  for (const char* what : whats) ShowExceptionReport(what);
  EXPECT_EQ(Texts(), (Strings{"Already ends.", "Unknown error.", "Unknown error."}));
}

TEST(ScreenSaverRule, SwallowsOnlyTheScreenSaverCommandWhileDisabled) {
  EXPECT_TRUE(DiscardSystemMessage(true, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(false, 0x0112, 0xF140));
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0112, 0xF060));  // SC_CLOSE passes
  EXPECT_FALSE(DiscardSystemMessage(true, 0x0111, 0xF140));  // not a system command
}

TEST(VersionText, ThirdDecimalCutWhenZero) {
  EXPECT_EQ(VersionText(1.025), "Version 1.025");
  EXPECT_EQ(VersionText(2.0), "Version 2.00");
}

}  // namespace
}  // namespace zarvo
