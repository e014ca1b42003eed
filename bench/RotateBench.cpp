// The viewer turning a whole fax a quarter: from the click on its rotate button until the turned
// picture is painted, with the redraws the turn makes on its way. Alternately right and left, so
// that every turn starts from a picture of the same shape.
#include <stdlib.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/BmpCodec.h"
#include "settings/Settings.h"
#include "viewer/PictureWindow.h"
#include "viewer/ViewPicture.h"

using Clock = std::chrono::steady_clock;
using namespace zarvo;

namespace {

constexpr int kWidth = 1810, kHeight = 2250, kTurns = 8;

// A weather chart as far as drawing cost goes: thin dark lines on white, a grid of latitudes and
// longitudes and rings of isobars.
Bitmap Chart() {
  Bitmap chart(kWidth, kHeight, GreyColour(255));
  for (int x = 0; x < kWidth; x += 90) chart.FillRect(x, 0, x + 1, kHeight, GreyColour(40));
  for (int y = 0; y < kHeight; y += 90) chart.FillRect(0, y, kWidth, y + 1, GreyColour(40));
  for (int ring = 1; ring <= 12; ++ring) {
    const double radius = ring * 70.0;
    for (int step = 0; step < 4000; ++step) {
      const double a = step * 2 * M_PI / 4000;
      const int x = 900 + static_cast<int>(std::lround(radius * std::cos(a)));
      const int y = 1100 + static_cast<int>(std::lround(radius * std::sin(a)));
      if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) chart.SetPixel(x, y, GreyColour(0));
    }
  }
  return chart;
}

}  // namespace

int main(int argc, char** argv) {
  // Smooth display as a user has it by default, not from this user's own settings.
  QTemporaryDir config;
  setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  SmoothDisplay().Set(true);

  QTemporaryDir dir;
  const std::string file = dir.filePath(QStringLiteral("chart.bmp")).toStdString();
  const Bitmap chart = Chart();
  if (!WriteGreyBmp(file, chart, chart.Height())) return 1;

  ClearSettings(Settings);
  Settings.ViewPicWindow = {0, 0, 687, 500};
  TViewPic view;
  view.LoadPicture(file);
  if (!QTest::qWaitForWindowExposed(&view)) return 1;
  QTest::qWait(200);

  std::vector<double> ms;
  for (int turn = 0; turn < kTurns; ++turn) {
    QToolButton* button = turn % 2 == 0 ? view.RotateRightBtn : view.RotateLeftBtn;
    const QPoint at = button->mapTo(&view, button->rect().center());
    const auto start = Clock::now();
    QTest::mouseClick(view.windowHandle(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    QTest::qWait(100);  // out of the double-click time
  }
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  const double median = (sorted[kTurns / 2 - 1] + sorted[kTurns / 2]) / 2;
  std::printf(
      "quarter turn of a %d x %d picture in the viewer: median %.0f ms, max %.0f ms over %d "
      "turns\n",
      kWidth, kHeight, median, sorted.back(), kTurns);
  return view.Picture.Width() == kWidth ? 0 : 1;
}
