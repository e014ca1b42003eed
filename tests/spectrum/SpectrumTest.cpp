// The spectrum window over the reception window's buffer, on the offscreen platform.
#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>
#include <chrono>
#include <thread>

#include "reception/InVideo.h"
#include "spectrum/Spectrum.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

class SpectrumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SetInterfaceTypeFields(1);
    SetComPortFields(1);
    Settings.CalHigh = 255;
    Settings.SpecWindow = {30, 40, 64, 256};  // left, top, client height, client width
    invid = std::make_unique<TInVid>();
    // The test is the writer: the port is closed and the samples laid in by hand.
    invid->Receive.Link.ClosePort(*invid->Receive.InputThread);
    invid->Receive.InputThread->ResetWritePos();
  }
  // Lays in the samples and lets the spectrum thread's requests run until they are taken.
  void Feed(std::initializer_list<std::uint8_t> values, int times) {
    InThread& in = *invid->Receive.InputThread;
    for (int i = 0; i < times; ++i)
      for (std::uint8_t v : values) invid->Receive.RxBuffer[in.WritePos++] = v;
    for (int wait = 0; wait < 500 && spec->Histogram->SpecReadPos != in.WritePos; ++wait)
      QTest::qWait(10);
    ASSERT_EQ(spec->Histogram->SpecReadPos, in.WritePos.load());
  }
  test::FakeSerialOpener opener;
  test::RecordingBoxes boxes;
  std::unique_ptr<TInVid> invid;
  std::unique_ptr<TSpec> spec;  // destroyed first
};

TEST_F(SpectrumTest, CreatedHiddenYetKeptCurrent) {
  Settings.HideSpectrum = 1;
  spec = std::make_unique<TSpec>();
  EXPECT_FALSE(spec->isVisible());
  Feed({70}, 100);
  EXPECT_EQ(spec->Histogram->SpecHeights[45], 25);  // 26 after 13 samples, shortened at 45
  // Without the receive side nothing is taken.
  invid->Receive.ReleaseBuffer();
  QTest::qWait(50);
  invid.reset();
  QTest::qWait(50);
  EXPECT_EQ(spec->Histogram->SpecReadPos, 100);
}

TEST_F(SpectrumTest, DoubleClickGivesBackThePictureSizeAndCloseIsRefused) {
  spec = std::make_unique<TSpec>();
  EXPECT_TRUE(spec->isVisible());
  EXPECT_EQ(spec->size(), QSize(256, 64));
  spec->showMaximized();
  QTest::mouseDClick(spec.get(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(spec->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(spec->size(), QSize(128, 32));
  EXPECT_EQ(QSize(Settings.SpecWindow.ClientWidth, Settings.SpecWindow.ClientHeight),
            QSize(128, 32));
  EXPECT_FALSE(spec->close() || spec->windowHandle()->close());
  EXPECT_TRUE(spec->isVisible());
  EXPECT_EQ(spec->size(), QSize(128, 32));
}

// The worst moment: a request waits for the GUI thread, which is busy destroying the window.
TEST_F(SpectrumTest, DestroyedWhileItsThreadWaitsForTheGuiThread) {
  for (int round = 0; round < 10; ++round) {
    spec = std::make_unique<TSpec>();
    Feed({static_cast<std::uint8_t>(60 + round)}, 300);
    std::this_thread::sleep_for(50ms);  // a request is now waiting
    const auto start = std::chrono::steady_clock::now();
    spec.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    QTest::qWait(30);  // a request still queued must not reach the window that has gone
  }
}

// Tones at 1500 and 2300 Hz and a short burst at 200 (column (157 + 36) / 2 = 96), four screen
// pixels to a picture pixel.
TEST_F(SpectrumTest, PictureIsStretchedOverTheWindowWithoutSmoothing) {
  Settings.SpecWindow = {30, 40, 128, 512};
  spec = std::make_unique<TSpec>();
  Feed({70, 255}, 400);
  Feed({200}, 5);
  QTest::qWait(50);
  const QImage shot = spec->grab().toImage();
  ASSERT_EQ(shot.size(), QSize(512, 128));
  const SpectrumHistogram& h = *spec->Histogram;
  EXPECT_GE(h.SpecHeights[45] + h.SpecHeights[118], 48);
  EXPECT_EQ(h.SpecHeights[96], 10);  // the leak is at 800 % 128 = 32..37 meanwhile
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(shot.pixel(x, y) & 0xFFFFFFu, h.SpecBitmap.Pixel(x / 4, y / 4)) << x << "," << y;
}

}  // namespace
}  // namespace zarvo
