// The decoder on hand-made streams: conversions, clocks, tone windows, phasing, line assembly
// and the end-of-tick sequence, through both detectors.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "decoder/Decoder.h"
#include "support/Signals.h"

namespace zarvo {
namespace {

using test::Append;
using test::AppendTone;
using test::SampleFor;
using test::Samples;
using Texts = std::vector<std::string>;
constexpr auto kDescribed = DetectorKind::Described, kRobust = DetectorKind::Robust;
constexpr int W = TDecoder::W, H = TDecoder::H;
constexpr std::size_t kOneDrain = 0;

// The window and the end-to-end tests read the detector's state as a number.
static_assert(TDecoder::Listening == 0 && TDecoder::StartAccepted == 1 && TDecoder::Phasing == 2 &&
              TDecoder::Locked == 3 && TDecoder::Waiting == 4 && TDecoder::Started == 5);

TEST(SampleConversion, FixedAndDamagedCalibrations) {
  // 28/184: step 1100/156 = 7.05128 Hz per unit. 1000 Hz: -28.36 + 28 + 0.5; 1500 Hz: 42.55 +
  // 28, rounded up; 1885 Hz: 97.14 + 28; 1900 Hz: 99.27 + 28; 1915 Hz: 101.40 + 28.
  const std::tuple<double, int, int, int> samples[] = {
      {1000, 28, 184, 0},   {1500, 28, 184, 71},  {1885, 28, 184, 125}, {1900, 28, 184, 127},
      {1915, 28, 184, 129}, {2300, 28, 184, 184}, {1200, 36, 236, 36},  {2300, 36, 236, 236}};
  for (const auto& [hertz, low, high, sample] : samples)
    EXPECT_EQ(FrequencyToSample(hertz, low, high), sample) << hertz << " Hz at " << low;
  // Grey: 351 x (v - low) / (high - low) - 96, truncated, clamped. 1200 Hz; 1500 Hz: 96.75 ->
  // 96 - 96; 1900 Hz: 222.75 -> 222 - 96; 2300 Hz: 351 - 96 clamps; below CalLow: black.
  const std::tuple<int, int, int, int> greys[] = {{28, 28, 184, 0},    {71, 28, 184, 0},
                                                  {127, 28, 184, 126}, {184, 28, 184, 255},
                                                  {0, 28, 184, 0},     {255, 0, 100, 255}};
  for (const auto& [v, low, high, grey] : greys)
    EXPECT_EQ(SampleToGreyLevel(v, low, high), grey) << v << " at " << low << "/" << high;
  EXPECT_EQ(SampleToGrey(127, 28, 184), 0x7E7E7Eu);
  // Whatever a damaged settings file holds: a table, and grey levels.
  for (const auto& [low, high] :
       {std::pair{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {5, 5}, {255, 0}, {-1000000, 7}}) {
    CalibrationTable table;
    table.Update(low, high);
    for (int v : {0, 128, 255}) {
      const int g = SampleToGreyLevel(v, low, high);
      EXPECT_TRUE(g >= 0 && g <= 255) << low << "/" << high << ": " << g;
    }
  }
}

// A decoder with settings and a host of its own: calibrated 0..255, at 8000 samples a second
// (so that clock sums are exact), 120 LPM, IOC 576. Most cases pin down the half-second edge
// counts and the pulse timing, which the decoder keeps as its described detector.
struct Rig {
  explicit Rig(DetectorKind detector = kDescribed, int speed = 2, int ioc = 1,
               float period = 0.125f) {
    settings.CalHigh = 255;
    settings.SamplePeriod = period;
    settings.IOC = ioc;
    decoder.Detector = detector;
    decoder.SetMode(speed);
    host.Statuses.clear();
    host.ModeChanges = 0;
    host.OnSave = [this] { Saved.push_back(decoder.SaveHeight); };
  }
  // As the live timer does, a drain and an end of tick every `perTick` samples; or one drain.
  void Feed(const Samples& s, std::size_t perTick = 8) {
    const std::size_t n = perTick > 0 ? perTick : s.size();
    for (std::size_t i = 0; i < s.size(); i += n) {
      decoder.Process(s.data() + i, std::min(n, s.size() - i));
      if (perTick > 0) decoder.EndOfTick();
    }
  }
  TSettings settings{};
  test::RecordingHost host;
  TDecoder decoder{settings, host};
  std::vector<int> Saved;  // the rows of each fax saved
};
class DecoderTest : public ::testing::Test, protected Rig {};

Samples Cat(Samples a, const Samples& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Black, then edges (white, black, ...) at the given times in ms after `leadMs`, on a grid of
// `period` ms, and 80 samples after the last.
Samples Edges(const std::vector<double>& times, double period = 0.125, double leadMs = 10) {
  Samples s;
  for (std::size_t k = 0; k <= times.size(); ++k) {
    const std::size_t at = k < times.size()
                               ? static_cast<std::size_t>((leadMs + times[k]) / period + 0.5)
                               : s.size() + 80;
    Append(s, at - s.size(), SampleFor(k % 2 ? 2300 : 1500));
  }
  return s;
}

// A window of exactly `count` counted edges: a first edge, `count` edges before 500 ms, and
// the edge at 500 ms that closes the window.
Samples Window(int count) {
  std::vector<double> times = {0};
  for (int k = 1; k <= count; ++k) times.push_back(std::floor(k * 499.0 / count / 0.125) * 0.125);
  times.push_back(500);
  return Edges(times);
}

// Phasing lines at 8000 samples a second: black, with a white pulse around each line start whose
// falling edge comes 2.5 % into the line; the pulse may rest at 1900 Hz for `shoulder` of a line
// before the black.
Samples Phasing(double lineMs, int lines, double shoulder = 0) {
  Samples s;
  const auto perLine = static_cast<std::size_t>(lineMs * 8);
  for (int l = 0; l < lines; ++l)
    for (std::size_t i = 0; i < perLine; ++i) {
      const double f = static_cast<double>(i) / static_cast<double>(perLine);
      s.push_back(SampleFor(f < 0.025 || f >= 0.975 ? 2300 : f < 0.025 + shoulder ? 1900 : 1500));
    }
  return s;
}

// A start tone and, with `phasing`, the phasing lines it locks on, for either detector at 8000
// samples a second.
Samples StartTone(DetectorKind detector, bool phasing = true) {
  if (detector == kDescribed) return phasing ? Cat(Window(300), Phasing(500, 3)) : Window(300);
  test::FrequencyStream s(8000);
  s.Level(1500, 500);
  s.Tone(300, 3000);
  s.Phasing(500, phasing ? 20 : 0);
  return s.Bytes;
}
std::string Name(DetectorKind detector) {
  return detector == kRobust ? "robust" : "described";
}

TEST_F(DecoderTest, ClocksAdvanceBySamplePeriod) {
  settings.SamplePeriod = 1000.0f / 7200;
  Feed(Samples(7200, SampleFor(1500)), kOneDrain);
  EXPECT_NEAR(decoder.EdgeClock, 1000.0, 0.2);  // float sums of 7200 periods
  EXPECT_NEAR(decoder.PhaseClock, 1000.0, 0.2);
}

// The edges are counted about the mean of each full window of 512 samples, 128 until the first,
// with a dead band of 1885 to 1915 Hz (7 at 0/255, 4 at 28/184, 3 at 100/200). The mean is
// believed only between 1000 and 2300 Hz, those included; outside, mid-grey (1900 Hz) is taken.
// At 28/184 2300 Hz is 184 and 1900 Hz 127; at 100/200 1000 Hz is 82 and 1900 Hz 164.
TEST(Decoder, CentreOfEachFullWindow) {
  const std::tuple<int, int, int, int, int> cases[] = {
      {0, 255, 70, 70, 7},    {28, 184, 150, 150, 4}, {28, 184, 184, 184, 4},
      {28, 184, 185, 127, 4}, {28, 184, 255, 127, 4}, {100, 200, 82, 82, 3},
      {100, 200, 81, 164, 3}, {100, 200, 0, 164, 3}};
  for (const auto& [low, high, level, centre, band] : cases) {
    SCOPED_TRACE(std::to_string(low) + "/" + std::to_string(high) + ", level " +
                 std::to_string(level));
    Rig r;
    r.settings.CalLow = low;
    r.settings.CalHigh = high;
    r.Feed(Samples(511, static_cast<std::uint8_t>(level)), kOneDrain);
    EXPECT_EQ(std::pair(r.decoder.Centre, r.decoder.Hysteresis), std::pair(128, 10));
    r.Feed(Samples(1, static_cast<std::uint8_t>(level)), kOneDrain);
    EXPECT_EQ(std::pair(r.decoder.Centre, r.decoder.Hysteresis), std::pair(centre, band));
  }
}

// Half-second edge counts: windows at the borders of each tone's range, a gap that restarts the
// window, the debounce, and a steady carrier before the tone.
TEST(Decoder, EdgeCounts) {
  using Case = std::tuple<std::string, Samples, float, std::string, int>;  // ..., event, IOC
  std::vector<Case> cases;
  const std::tuple<int, std::string, int> windows[] = {
      {284, "", 1}, {285, "Start IOC 576", 1}, {315, "Start IOC 576", 1}, {316, "", 1},
      {641, "", 1}, {642, "Start IOC 288", 0}, {708, "Start IOC 288", 0}, {709, "", 1},
      {427, "", 1}, {428, "Stop", 1},          {472, "Stop", 1},          {473, "", 1}};
  for (const auto& [count, event, ioc] : windows)
    cases.push_back({std::to_string(count) + " edges", Window(count), 0.125f, event, ioc});
  // A gap of 3.333 ms restarts the count: without it, 200 fast edges before the gap would push
  // the window out of the start range.
  std::vector<double> gap;
  for (int k = 0; k < 200; ++k) gap.push_back(k * 0.75);
  for (int k = 0; k <= 320; ++k) gap.push_back(152.75 + std::floor(k * 1.66 / 0.125) * 0.125);
  cases.push_back({"gap", Edges(gap), 0.125f, "Start IOC 576", 1});
  // Around the debounce: at 50000 samples per second, edges 18 samples (0.36 ms) after the one
  // before are glitches, 19 samples (0.38 ms) after it are counted. Each window holds pairs of
  // edges that far apart, about 1.7 or 3.3 ms from pair to pair: a pair counts once or twice,
  // and only the right count makes a start tone. 18 apart: 300 counted, or 150 (no tone). 19
  // apart: 300, or 600 (between the stop and the IOC 288 ranges).
  for (const auto& [apart, pairs, start] :
       {std::tuple{18, 300, true}, {18, 150, false}, {19, 150, true}, {19, 300, false}}) {
    std::vector<double> times = {0};
    for (int k = 1; k <= pairs; ++k) {
      const long end = std::lround(498.0 * k / pairs / 0.02);
      times.insert(times.end(),
                   {static_cast<double>(end - apart) * 0.02, static_cast<double>(end) * 0.02});
    }
    times.push_back(500.5);
    cases.push_back({std::to_string(apart) + " apart, " + std::to_string(pairs) + " pairs",
                     Edges(times, 0.02, 4), 0.02f, start ? "Start IOC 576" : "", 1});
  }
  // A steady carrier at mid-level before the broadcast must not blind the edge trigger.
  Samples carrier(16000, SampleFor(1900));
  AppendTone(carrier, 300, 1000, 0.125);
  cases.push_back({"steady carrier", carrier, 0.125f, "Start IOC 576", 1});
  for (const auto& [name, stream, period, event, ioc] : cases) {
    Rig r(kDescribed, 2, 1, period);
    r.Feed(stream, kOneDrain);
    const Texts heard = event.empty()     ? Texts{}
                        : event == "Stop" ? Texts{"Stop"}
                                          : Texts{event, "Synchronizing"};
    EXPECT_EQ(r.host.Events(), heard) << name;
    EXPECT_EQ(r.settings.IOC, ioc) << name;
  }
}

// A stop closes the open picture and saves it, and without one saves nothing; a new start tone
// saves the open picture before the new one opens at the top.
TEST_F(DecoderTest, StopAndStartToneCloseThePicture) {
  Feed(Window(450));
  EXPECT_EQ(host.Events(), Texts{"Stop"});
  EXPECT_EQ(host.Saves, 0);
  EXPECT_EQ(decoder.CurrentLine, H + 1);
  decoder.ManualStart();
  Feed(Samples(800, SampleFor(2300)));
  EXPECT_TRUE(host.Attention);
  Feed(Window(450));
  EXPECT_EQ(host.Saves, 1);
  EXPECT_FALSE(decoder.PictureOpen);
  EXPECT_FALSE(host.Attention);
  EXPECT_GE(decoder.CurrentLine, H + 1);

  decoder.ManualStart();
  Feed(Samples(8000 * 2, SampleFor(2300)));  // two seconds: four lines at 120 LPM
  EXPECT_EQ(decoder.SaveHeight, 5);
  Samples tone;
  AppendTone(tone, 300, 1000, 0.125);
  Feed(tone);
  EXPECT_EQ(host.Saves, 2);
  EXPECT_EQ(host.Events(), (Texts{"Stop", "Stop", "Start IOC 576", "Synchronizing"}));
  EXPECT_LE(decoder.CurrentLine, 1);  // the new picture opened at the top
  EXPECT_EQ(decoder.DecoderState, TDecoder::Phasing);
}

// The start tone sets the IOC; the mode text follows it and is shown before the start itself,
// whichever detector heard the tone.
TEST(Decoder, StartToneShowsTheNewModeTextFirst) {
  for (const auto detector : {kRobust, kDescribed})
    for (const auto& [ioc, speed, hertz, statuses, newIoc] :
         {std::tuple{1, 2, 675.0, Texts{"120 LPM, IOC 288", "Start IOC 288", "Synchronizing"}, 0},
          {0, 4, 300.0, Texts{"240 LPM, IOC 576", "Start IOC 576", "Synchronizing"}, 1}}) {
      SCOPED_TRACE(statuses[0] + ", " + Name(detector));
      Rig r(detector, speed, ioc);
      Samples tone;
      AppendTone(tone, hertz, 1000, 0.125);
      r.Feed(tone, kOneDrain);
      EXPECT_EQ(r.host.Statuses, statuses);
      EXPECT_EQ(r.decoder.ModeText, statuses[0]);
      EXPECT_EQ(r.host.ModeChanges, 1);  // the mode dialog follows the new IOC
      EXPECT_EQ(std::pair(r.settings.IOC, r.settings.DrumSpeed), std::pair(newIoc, speed));
    }
}

// Phasing at the known speed locks at the second pulse edge, 2.5 % into its line at column 45,
// so that the stream's line boundaries then fall on column 0; at another speed the second edge
// switches to it and the third locks. The edge is where the level falls below mid-grey, not where
// it reaches it: pulses that rest at exactly 1900 Hz for 5 % of a line put it 90 columns later.
// White for a tenth of a line then starts the picture at its top.
TEST(Decoder, PhasingFindsTheSpeedAndTheLineStart) {
  for (const auto& [speed, shoulder, column] :
       {std::tuple{2, 0.0, 0}, {2, 0.05, W - 90}, {0, 0.0, 0}}) {
    SCOPED_TRACE(std::to_string(speed) + ", " + std::to_string(shoulder));
    Rig r(kDescribed, speed);
    r.Feed(Cat(Window(300), Phasing(500, 2, shoulder)));
    EXPECT_EQ(r.decoder.DecoderState, speed == 2 ? TDecoder::Waiting : TDecoder::Phasing);
    r.Feed(Phasing(500, 1, shoulder));
    EXPECT_EQ(r.host.Events(), (Texts{"Start IOC 576", "Synchronizing", "Waiting"}));
    EXPECT_EQ(std::tuple(r.settings.DrumSpeed, r.decoder.ModeText, r.decoder.DecoderState),
              std::tuple(2, "120 LPM, IOC 576", +TDecoder::Waiting));
    const int apart = (r.decoder.CurrentColumn - column + W) % W;
    EXPECT_LE(std::min(apart, W - apart), 3) << r.decoder.CurrentColumn << ", not " << column;
    r.Feed(Samples(8 * 60, SampleFor(2300)));
    EXPECT_EQ(r.host.Events(), (Texts{"Start IOC 576", "Synchronizing", "Waiting", "Receiving"}));
    EXPECT_EQ(std::tuple(r.decoder.DecoderState, r.decoder.CurrentLine),
              std::tuple(+TDecoder::Listening, 0));
  }
}

// After the lock, a tenth of a line lighter than mid-grey begins the picture, whichever detector
// locked: 1920 Hz does, 1880 Hz does not.
TEST(Decoder, LightIsLighterThanMidGrey) {
  for (const auto detector : {kDescribed, kRobust})
    for (const double hertz : {1880.0, 1920.0}) {
      SCOPED_TRACE(Name(detector) + ", " + std::to_string(hertz));
      Rig r(detector);
      r.Feed(StartTone(detector), kOneDrain);
      ASSERT_EQ(r.host.Events(), (Texts{"Start IOC 576", "Synchronizing", "Waiting"}));
      Samples grey(8 * 100, SampleFor(hertz));  // a fifth of a line
      Append(grey, 8 * 10, SampleFor(1500));
      r.Feed(grey, kOneDrain);
      EXPECT_EQ(r.host.Events().back(), hertz > 1900 ? "Receiving" : "Waiting");
    }
}

// Phasing that never locks, and a picture that never begins after a lock, are given up 45 s
// after the start tone was taken ("Synchronizing"): not before, within a millisecond after, and
// without moving the picture back to its top, whichever detector heard the tone.
TEST(Decoder, PhasingAndTheWaitAreGivenUp45SecondsAfterTheStartTone) {
  const Samples black(8000 * 46, SampleFor(1500));
  // The third case's pulses are 1 % and 1 ms off the 60 LPM period: never a match, the timing
  // restarts at every pulse.
  const std::tuple<DetectorKind, Samples, bool> cases[] = {
      {kDescribed, Cat(StartTone(kDescribed, false), black), false},
      {kDescribed, Cat(StartTone(kDescribed), black), true},
      {kDescribed, Cat(Window(300), Phasing(1011, 46)), false},
      {kRobust, Cat(StartTone(kRobust, false), black), false},
      {kRobust, Cat(StartTone(kRobust), black), true}};
  for (const auto& [detector, stream, locks] : cases) {
    SCOPED_TRACE(Name(detector) + (locks ? ", locking" : ", not locking") + ", " +
                 std::to_string(stream.size()) + " samples");
    Rig r(detector, 0);
    // One sample at a time, noting when each event was shown, in ms of stream.
    Texts events;
    std::vector<double> at;
    for (std::size_t i = 0; i < stream.size(); ++i) {
      const std::size_t before = r.host.Statuses.size();
      r.decoder.Process(&stream[i], 1);
      for (std::size_t k = before; k < r.host.Statuses.size(); ++k)
        if (r.host.Statuses[k].find("LPM") == std::string::npos) {
          events.push_back(r.host.Statuses[k]);
          at.push_back(static_cast<double>(i) * 0.125);
        }
    }
    ASSERT_EQ(events, (Texts{"Start IOC 576", "Synchronizing", "Waiting", "Receiving"}));
    const double waiting = at[2] - at[1], receiving = at[3] - at[1];
    EXPECT_TRUE(locks ? waiting < 15000 : waiting > 45000 && waiting <= 45001) << waiting;
    EXPECT_TRUE(receiving > 45000 && receiving <= 45001) << receiving;
    EXPECT_GT(r.decoder.CurrentLine, 40);  // the rows drawn since the start tone stay
    EXPECT_EQ(r.settings.DrumSpeed, locks ? 2 : 0);
  }
}

// At the phasing lock the rows from the current line down are blanked, so that no row of an
// earlier fax stays under the new one; the rows drawn since the start tone stay.
TEST(Decoder, PhasingLockBlanksAnEarlierFaxBelowTheCurrentLine) {
  // The start tone's window closes 510 ms into the stream, and the picture opens there: 1.02
  // lines of 500 ms, so 0.02 of a line into row 0.
  for (const auto& [name, afterTone, line] :
       // 10 ms of black, then the second pulse edge 1.025 lines in: 1.065 lines, row 1.
       {std::tuple{"pulses", Phasing(500, 3), 1},
        // No pulse at all: the lock comes after 45 s, 90 lines of 500 ms: row 90.
        {"limit", Samples(8000 * 46, SampleFor(1500)), 90}}) {
    SCOPED_TRACE(name);
    Rig r;
    const Bitmap& p = r.decoder.Picture;
    r.decoder.Picture.FillRect(0, 0, W, H, GreyColour(0x80));  // neither black, white nor blank
    const Samples stream = Cat(Window(300), afterTone);
    // Stop at the lock: once the picture starts, it is written over from the top.
    for (std::size_t i = 0; i < stream.size() && r.decoder.DecoderState != TDecoder::Waiting; ++i)
      r.decoder.Process(&stream[i], 1);
    ASSERT_EQ(r.decoder.DecoderState, TDecoder::Waiting);
    ASSERT_EQ(r.decoder.CurrentLine, line);
    EXPECT_EQ(r.host.Refreshes, 1);
    const auto unblank = [&](int y, int from, int to) {
      int n = 0;
      for (int x = from; x < to; ++x) n += p.Pixel(x, y) != TDecoder::kBlankColour;
      return n;
    };
    // Rows above: what was drawn since the start tone, black in the middle, none of it blank.
    for (int y = 0; y < line; ++y) EXPECT_TRUE(p.Pixel(W / 2, y) == 0 && unblank(y, 0, W) == W);
    // The current row: blank but for the one pixel the writer may have put since the lock.
    const int col = r.decoder.CurrentColumn;
    EXPECT_EQ(unblank(line, 0, col - 1) + unblank(line, col, W), 0) << col;
    for (int y = line + 1; y < H; ++y) ASSERT_EQ(unblank(y, 0, W), 0) << "row " << y;
  }
}

TEST(Decoder, Ioc288WritesAndSavesRowsInPairs) {
  Rig r(kDescribed, 2, 0);
  r.decoder.ManualStart();
  Samples s;
  for (int i = 0; i < 4000; ++i) s.push_back(SampleFor(1500 + (i % 800)));
  r.Feed(s);
  EXPECT_EQ(r.decoder.CurrentLine, 2);  // one line (500 ms = 4000 samples) is two rows
  for (int x = 0; x < W; x += 97)
    EXPECT_EQ(r.decoder.Picture.Pixel(x, 0), r.decoder.Picture.Pixel(x, 1));
  r.Feed(Samples(4000 * 2, SampleFor(2300)));
  EXPECT_EQ(r.decoder.SaveHeight, 8);  // three lines are six rows, the fourth pair is begun
  r.decoder.CurrentLine = H - 2;
  r.Feed(Samples(4000, SampleFor(2300)));
  EXPECT_EQ(r.decoder.CurrentLine, H);  // the last line fills the last two rows
  EXPECT_EQ(r.host.Saves, 1);
  EXPECT_TRUE(!r.host.Statuses.empty() && r.host.Statuses.back().empty());
}

// A speed change mid-picture keeps the rows drawn: two lines of black at 120 LPM, one of white
// at 240.
TEST_F(DecoderTest, SpeedChangeMidPictureKeepsTheRowsDrawn) {
  decoder.ManualStart();
  Feed(Samples(8000, SampleFor(1500)));
  decoder.SetMode(4);
  Feed(Samples(2000, SampleFor(2300)));
  EXPECT_EQ(decoder.CurrentLine, 3);
  EXPECT_EQ(decoder.Picture.Pixel(900, 0), 0u);
  EXPECT_EQ(decoder.Picture.Pixel(900, 2), 0xFFFFFFu);
}

TEST_F(DecoderTest, PixelsByTime) {
  // 60 LPM at 7200/s: 7200 samples a line, about 3.98 samples a pixel.
  settings.SamplePeriod = 1000.0f / 7200;
  decoder.SetMode(0);
  decoder.ManualStart();
  Feed(Samples(7200 * 3, SampleFor(2300)), kOneDrain);
  EXPECT_EQ(decoder.CurrentLine, 3);
  // 240 LPM at 4800/s: 1200 samples for 1810 pixels, so some samples give two pixels.
  settings.SamplePeriod = 1000.0f / 4800;
  decoder.SetMode(4);
  decoder.ManualStart();
  decoder.CurrentColumn = 0;
  Samples ramp;
  for (int i = 0; i < 1200; ++i) ramp.push_back(static_cast<std::uint8_t>(70 + i % 180));
  Feed(ramp, kOneDrain);
  int doubles = 0;
  for (int x = 1; x < 1800; ++x)
    doubles += decoder.Picture.Pixel(x, 0) == decoder.Picture.Pixel(x - 1, 0);
  EXPECT_GT(doubles, 500);
  // A damaged sample period neither hangs nor stops the clocks.
  for (float period : {0.0f, -1.0f, 1e30f, std::nanf("")}) {
    settings.SamplePeriod = period;
    decoder.ManualStart();
    Feed(Samples(4000, SampleFor(2300)), kOneDrain);
    EXPECT_GE(decoder.PixelClock, 0.0f);
  }
}

TEST_F(DecoderTest, EndOfTickSequence) {
  decoder.EndOfTick();  // the idle picture at start-up: neither saved nor shown
  EXPECT_EQ(std::pair(host.Saves, host.NewLines), std::pair(0, 0));
  decoder.ManualStart();
  decoder.EndOfTick();
  EXPECT_EQ(std::pair(decoder.SaveHeight, host.NewLines), std::pair(1, 1));
  decoder.EndOfTick();
  EXPECT_EQ(host.NewLines, 1);  // no new line, no redraw
  decoder.CurrentLine = H - 1;
  decoder.EndOfTick();
  EXPECT_EQ(decoder.SaveHeight, H);
  decoder.CurrentLine = H;
  decoder.EndOfTick();
  decoder.EndOfTick();
  EXPECT_EQ(Saved, std::vector<int>{H});  // once, not at every tick
  EXPECT_TRUE(!host.Statuses.empty() && host.Statuses.back().empty());
  EXPECT_FALSE(host.Attention);
}

// A long drain, as after the window was busy, may hold the end of one fax and the start of the
// next: each fax is saved when it ends, with its own rows, before the next overwrites it.
TEST_F(DecoderTest, LongDrainSavesEveryFaxWhenItEnds) {
  std::vector<std::uint32_t> topRows;
  host.OnSave = [&] {
    Saved.push_back(decoder.SaveHeight);
    topRows.push_back(decoder.Picture.Pixel(900, 0));
  };
  // A picture that fills, then a start tone, in one drain.
  decoder.ManualStart();
  decoder.CurrentLine = H - 2;
  Samples s(4000 * 3, SampleFor(1500));  // two lines to the end, then idle
  AppendTone(s, 300, 1000, 0.125);
  Append(s, 4000, SampleFor(2300));
  Feed(s, kOneDrain);
  ASSERT_EQ(Saved, std::vector<int>{H});
  // A picture opened by hand while listening, a stop and another start, again in one drain.
  decoder.DecoderState = TDecoder::Listening;
  decoder.ManualStart();
  Samples t = Cat(Samples(4000 * 6, SampleFor(1500)), Window(450));
  AppendTone(t, 300, 1000, 0.125);
  Append(t, 4000 * 2, SampleFor(2300));
  Feed(t, kOneDrain);
  ASSERT_EQ(Saved.size(), 2u);
  EXPECT_TRUE(Saved[1] >= 6 && Saved[1] <= 9) << Saved[1];  // six lines, and the stop tone's
  EXPECT_EQ(topRows[1], 0u);  // still the black of its own picture, not the next one's white
}

// A whole broadcast under 300 Hz of noise through the robust detector: every stage in order,
// the rows of the picture saved, and nothing else heard.
TEST(RobustDecoder, NoisyBroadcastFromStartToStop) {
  Rig r(kRobust, 0, 0, 1000.0f / 7200);  // the phasing must find 120 lines per minute
  test::FrequencyStream s(7200, 0, 255, 300, 11);
  s.Level(1900, 3000);
  s.Tone(300, 5000);
  s.Phasing(500, 20);
  s.Level(2300, 500);    // the white top: row 0
  s.Chart(10000, 0.28);  // rows 1 to 20
  s.Tone(450, 3000);     // recognised half a second in: row 21
  s.Level(1500, 2000);
  r.Feed(s.Bytes, 7);  // drains of about a millisecond each
  EXPECT_EQ(r.host.Events(),
            (Texts{"Start IOC 576", "Synchronizing", "Waiting", "Receiving", "Stop"}));
  EXPECT_EQ(std::pair(r.settings.DrumSpeed, r.settings.IOC), std::pair(2, 1));
  ASSERT_EQ(r.Saved.size(), 1u);
  EXPECT_NEAR(r.Saved[0], 22, 1);
}

// A stop acts as from half a second into its tone, and closes the picture as it stood then. When
// Start was pressed between then and the stop's recognition, there is no going back past it:
// the picture opened by hand is closed as it stands, and the old one's rows are not saved under
// its name.
TEST(RobustDecoder, StartPressedWhileAStopIsRecognisedClosesThePictureOpenedByHand) {
  Rig r(kRobust, 2, 1, 1000.0f / 7200);
  r.decoder.ManualStart();
  // Lines of 500 ms from the start: the stop tone from 10.3 s acts from 10.8 s, the old picture
  // moves to row 22 at 11 s, Start is pressed at 11.15 s, the stop is recognised at 11.3 s.
  test::FrequencyStream s(7200);
  s.Level(1500, 10300);
  s.Tone(450, 3000);
  s.Level(1500, 1000);
  const std::size_t pressed = 11150 * 72 / 10;
  r.decoder.Process(s.Bytes.data(), pressed);
  EXPECT_EQ(r.decoder.CurrentLine, 22);
  r.decoder.ManualStart();
  r.decoder.Process(s.Bytes.data() + pressed, s.Size() - pressed);
  EXPECT_EQ(r.host.Events(), Texts{"Stop"});
  EXPECT_EQ(r.Saved, std::vector<int>{1});
}

}  // namespace
}  // namespace zarvo
