// The decoder on hand-made streams (levels, edges at chosen times, tones): conversions, tone
// windows, phasing, line assembly and the end-of-tick sequence, through both detectors; and the
// robust detector's parts on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <random>
#include <tuple>

#include "decoder/Decoder.h"
#include "decoder/PhasingFold.h"
#include "decoder/PictureSlant.h"

namespace zarvo {
namespace {

// The byte an interface calibrated low/high gives for a frequency.
std::uint8_t SampleFor(double hertz, int low = 0, int high = 255) {
  const double v = low + (hertz - 1200.0) * (high - low) / 1100.0;
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

using Samples = std::vector<std::uint8_t>;

// Frequencies as an interface box of the given rate and calibration measures them. Each part
// returns the stream.
struct Stream {
  Stream(double rate, int calLow = 0, int calHigh = 255) : Rate(rate), Low(calLow), High(calHigh) {}
  Stream& Level(double hz, double ms) {
    for (long n = 0, count = std::lround(ms * Rate / 1000); n < count; ++n) Push(hz);
    return *this;
  }
  // The black/white alternation of a start or stop tone.
  Stream& Tone(double toneHz, double ms) {
    for (long n = 0, count = std::lround(ms * Rate / 1000); n < count; ++n)
      Push(std::fmod(static_cast<double>(n) * toneHz / Rate, 1.0) < 0.5 ? 2300 : 1500);
    return *this;
  }
  // Phasing lines: black, white for 2.5 % of a line either side of each line start, then 1900 Hz
  // for `shoulder` of a line. The stream begins `offset` (a share of a line) after a line start.
  Stream& Phasing(double lineMs, double lines, double offset = 0, double shoulder = 0) {
    const double perLine = lineMs * Rate / 1000;
    for (long n = 0, count = std::lround(lines * perLine); n < count; ++n) {
      const double f = std::fmod(static_cast<double>(n) / perLine + offset, 1.0);
      Push(f < 0.025 || f >= 0.975 ? 2300 : f < 0.025 + shoulder ? 1900 : 1500);
    }
    return *this;
  }
  Stream& Add(const Samples& s) {
    Bytes.insert(Bytes.end(), s.begin(), s.end());
    return *this;
  }
  void Push(double hz) { Bytes.push_back(SampleFor(hz, Low, High)); }

  double Rate;
  int Low, High;
  Samples Bytes;
};

// Records what the decoder asks of its host, and calls back at each event, lock and save. Events
// are the status texts other than the mode texts and the empty status of an idle full picture.
struct RecordingHost final : DecoderHost {
  void ShowStatus(const std::string& text) override {
    Statuses.push_back(text);
    if (text.empty() || text.find("LPM") != std::string::npos) return;
    Events.push_back(text);
    OnEvent();
  }
  void RefreshDisplay() override { OnRefresh(++Refreshes); }
  void ModeChanged() override { ++ModeChanges; }
  void AutoSave() override { OnSave(); }
  void ShowNewLine() override { ++NewLines; }
  void SetAttention(bool on) override { Attention = on; }

  std::vector<std::string> Statuses, Events;
  int Refreshes = 0, ModeChanges = 0, NewLines = 0;
  bool Attention = false;
  std::function<void()> OnEvent = [] {}, OnSave = [] {};
  std::function<void(int)> OnRefresh = [](int) {};
};

using Texts = std::vector<std::string>;
constexpr auto kDescribed = DetectorKind::Described, kRobust = DetectorKind::Robust;
constexpr int W = TDecoder::W, H = TDecoder::H;
constexpr std::size_t kOneDrain = SIZE_MAX;
const std::uint8_t kBlack = SampleFor(1500), kWhite = SampleFor(2300);

// The samples of the frequencies the decoder's levels stand for are pinned down in
// CentreOfEachFullWindow, and those of 1200 and 2300 Hz in SpecColumn.
TEST(SampleConversion, FixedAndDamagedCalibrations) {
  // 28/184: step 1100/156 = 7.05128 Hz per unit; 1500 Hz: 42.55 + 28, rounded up.
  EXPECT_EQ(FrequencyToSample(1500, 28, 184), 71);
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
    CalibrationTable().Update(low, high);
    for (int v : {0, 128, 255})
      EXPECT_LE(static_cast<unsigned>(SampleToGreyLevel(v, low, high)), 255u) << low << "/" << high;
  }
}

// A decoder with settings and a host of its own: calibrated 0..255, at 8000 samples a second
// (so that clock sums are exact), 120 LPM, IOC 576. Most cases pin down the half-second edge
// counts and the pulse timing, which the decoder keeps as its described detector.
struct Rig {
  explicit Rig(DetectorKind detector = kDescribed, int speed = 2, int ioc = 1,
               float period = 0.125f, int calLow = 0, int calHigh = 255) {
    std::tie(settings.CalLow, settings.CalHigh, settings.SamplePeriod, settings.IOC) =
        std::tuple(calLow, calHigh, period, ioc);
    decoder.Detector = detector;
    decoder.SetMode(speed);
    host.Statuses.clear(), host.ModeChanges = 0;  // the mode text set here is none of a test's
    host.OnSave = [this] {
      Saved.push_back(decoder.SaveHeight);
      Tops.push_back(decoder.Picture.Pixel(900, 0));
    };
  }
  // As the live timer does, a drain and an end of tick every `perTick` samples; or one drain.
  void Feed(const Samples& s, std::size_t perTick = 8) {
    for (std::size_t i = 0; i < s.size(); i += std::min(perTick, s.size())) {
      decoder.Process(s.data() + i, std::min(perTick, s.size() - i));
      if (perTick != kOneDrain) decoder.EndOfTick();
    }
  }
  TSettings settings{};
  RecordingHost host;
  TDecoder decoder{settings, host};
  std::vector<int> Saved;  // the rows of each fax saved, and the middle of its top row
  std::vector<std::uint32_t> Tops;
};

// Black, then edges (white, black, ...) at the given times in ms after `leadMs`, on a grid of
// `period` ms, and 80 samples after the last.
Samples Edges(const std::vector<double>& times, double period = 0.125, double leadMs = 10) {
  Samples s;
  for (std::size_t k = 0; k < times.size(); ++k) {
    const auto at = static_cast<std::size_t>((leadMs + times[k]) / period + 0.5);
    s.insert(s.end(), at - s.size(), k % 2 ? kWhite : kBlack);
  }
  s.insert(s.end(), 80, times.size() % 2 ? kWhite : kBlack);
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

// A start tone and, with `phasing`, the phasing lines it locks on, for either detector.
Samples StartTone(DetectorKind detector, bool phasing = true) {
  if (detector == kDescribed)
    return Stream(8000).Add(Window(300)).Phasing(500, phasing ? 3 : 0).Bytes;
  return Stream(8000).Level(1500, 500).Tone(300, 3000).Phasing(500, phasing ? 20 : 0).Bytes;
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
    SCOPED_TRACE(testing::Message() << low << "/" << high << ", level " << level);
    Rig r(kDescribed, 2, 1, 0.125f, low, high);
    r.Feed(Samples(511, static_cast<std::uint8_t>(level)), kOneDrain);
    EXPECT_EQ(std::pair(r.decoder.Centre, r.decoder.Hysteresis), std::pair(128, 10));
    r.Feed(Samples(1, static_cast<std::uint8_t>(level)), kOneDrain);
    EXPECT_EQ(std::pair(r.decoder.Centre, r.decoder.Hysteresis), std::pair(centre, band));
  }
}

// Half-second edge counts: windows at the borders of each tone's range, a gap that restarts the
// window, the debounce, and a steady carrier before the tone.
TEST(Decoder, EdgeCounts) {
  const Texts start = {"Start IOC 576", "Synchronizing"}, none;
  std::vector<std::tuple<std::string, Samples, float, Texts>> cases;  // ..., the events heard
  for (const auto& [low, high, heard] : {std::tuple{285, 315, start},
                                         {642, 708, Texts{"Start IOC 288", "Synchronizing"}},
                                         {428, 472, Texts{"Stop"}}})
    for (const int count : {low - 1, low, high, high + 1})
      cases.push_back({std::to_string(count) + " edges", Window(count), 0.125f,
                       count >= low && count <= high ? heard : none});
  // A gap of 3.333 ms restarts the count: without it, 200 fast edges before the gap would push
  // the window out of the start range.
  std::vector<double> gap;
  for (int k = 0; k < 200; ++k) gap.push_back(k * 0.75);
  for (int k = 0; k <= 320; ++k) gap.push_back(152.75 + std::floor(k * 1.66 / 0.125) * 0.125);
  cases.push_back({"gap", Edges(gap), 0.125f, start});
  // Around the debounce: at 50000 samples per second, edges 18 samples (0.36 ms) after the one
  // before are glitches, 19 samples (0.38 ms) after it are counted. Each window holds pairs of
  // edges that far apart, about 1.7 or 3.3 ms from pair to pair: a pair counts once or twice,
  // and only the right count makes a start tone. 18 apart: 300 counted, or 150 (no tone). 19
  // apart: 300, or 600 (between the stop and the IOC 288 ranges).
  for (const auto& [apart, pairs, starts] :
       {std::tuple{18, 300, true}, {18, 150, false}, {19, 150, true}, {19, 300, false}}) {
    std::vector<double> times = {0};
    for (int k = 1; k <= pairs; ++k) {
      const double end = 0.02 * std::round(498.0 * k / pairs / 0.02);
      times.insert(times.end(), {end - 0.02 * apart, end});
    }
    times.push_back(500.5);
    cases.push_back({std::to_string(apart) + " apart, " + std::to_string(pairs) + " pairs",
                     Edges(times, 0.02, 4), 0.02f, starts ? start : none});
  }
  // A steady carrier at mid-level before the broadcast must not blind the edge trigger.
  cases.push_back(
      {"steady carrier", Stream(8000).Level(1900, 2000).Tone(300, 1000).Bytes, 0.125f, start});
  for (const auto& [name, stream, period, heard] : cases) {
    Rig r(kDescribed, 2, 1, period);
    r.Feed(stream, kOneDrain);
    EXPECT_EQ(r.host.Events, heard) << name;
    EXPECT_EQ(r.settings.IOC, heard.empty() || heard[0] != "Start IOC 288" ? 1 : 0) << name;
  }
}

// Each fax is saved once, when it ends, with its own rows: one closed by a new start tone (which
// opens the next at the top), one by a stop; also when it all comes in one long drain, as after
// the window was busy, where the next fax must not overwrite the old one's rows before the save.
TEST(Decoder, EachFaxIsSavedWhenItEnds) {
  for (const std::size_t perTick : {std::size_t{8}, kOneDrain}) {
    SCOPED_TRACE(perTick);
    Rig r;
    r.Feed(Window(450), perTick);  // no picture open: nothing to save
    r.decoder.ManualStart();
    r.Feed(Stream(8000).Level(2300, 2000).Tone(300, 1000).Bytes, perTick);  // four lines, a start
    EXPECT_TRUE(r.decoder.CurrentLine <= 1 && r.decoder.DecoderState == TDecoder::Phasing);
    r.decoder.DecoderState = TDecoder::Listening;
    r.decoder.ManualStart();
    r.Feed(Stream(8000).Level(1900, 3000).Add(Window(450)).Tone(300, 1000).Level(2300, 1000).Bytes,
           perTick);
    EXPECT_EQ(r.host.Events, (Texts{"Stop", "Start IOC 576", "Synchronizing", "Stop",
                                    "Start IOC 576", "Synchronizing"}));
    ASSERT_EQ(r.Saved.size(), 2u);
    EXPECT_TRUE(r.Saved[0] >= 5 && r.Saved[0] <= 6) << r.Saved[0];
    EXPECT_TRUE(r.Saved[1] >= 6 && r.Saved[1] <= 9) << r.Saved[1];  // six lines, the stop tone's
    EXPECT_EQ(r.Tops[1], SampleToGrey(SampleFor(1900), 0, 255));    // its own, not the next one's
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
    SCOPED_TRACE(testing::Message() << speed << ", " << shoulder);
    Rig r(kDescribed, speed);
    r.Feed(Stream(8000).Add(Window(300)).Phasing(500, 2, 0, shoulder).Bytes);
    EXPECT_EQ(r.decoder.DecoderState, speed == 2 ? TDecoder::Waiting : TDecoder::Phasing);
    r.Feed(Stream(8000).Phasing(500, 1, 0, shoulder).Bytes);
    EXPECT_EQ(std::tuple(r.host.Events.back(), r.settings.DrumSpeed, r.decoder.ModeText),
              std::tuple("Waiting", 2, "120 LPM, IOC 576"));
    const int apart = (r.decoder.CurrentColumn - column + W) % W;
    EXPECT_LE(std::min(apart, W - apart), 3) << r.decoder.CurrentColumn << ", not " << column;
    r.Feed(Samples(8 * 60, kWhite));
    EXPECT_EQ(std::tuple(r.host.Events.back(), r.decoder.DecoderState, r.decoder.CurrentLine),
              std::tuple("Receiving", +TDecoder::Listening, 0));
  }
}

// A start tone sets the IOC, and the new mode text is shown before the start itself. After the
// lock, a tenth of a line lighter than mid-grey begins the picture: 1920 Hz does, 1880 Hz does
// not. Both whichever detector heard the tone.
TEST(Decoder, ModeTextFirstAndLightIsLighterThanMidGrey) {
  for (const auto detector : {kDescribed, kRobust})
    for (const double hertz : {1880.0, 1920.0}) {
      SCOPED_TRACE(testing::Message() << (detector == kRobust ? "robust, " : "") << hertz);
      Rig r(detector, 2, 0);
      r.Feed(StartTone(detector), kOneDrain);
      ASSERT_EQ(r.host.Statuses,
                (Texts{"120 LPM, IOC 576", "Start IOC 576", "Synchronizing", "Waiting"}));
      EXPECT_EQ(std::pair(r.settings.IOC, r.host.ModeChanges), std::pair(1, 1));  // and the dialog
      r.Feed(Stream(8000).Level(hertz, 100).Level(1500, 10).Bytes, kOneDrain);  // a fifth of a line
      EXPECT_EQ(r.host.Events.back(), hertz > 1900 ? "Receiving" : "Waiting");
    }
}

// Phasing that never locks, and a picture that never begins after a lock, are given up 45 s
// after the start tone was taken ("Synchronizing"): not before, within a millisecond after, and
// without moving the picture back to its top, whichever detector heard the tone. At the lock the
// rows from the current line down are blanked, so that no row of an earlier fax stays under the
// new one; the rows drawn since the start tone stay.
TEST(Decoder, PhasingAndTheWaitAreGivenUp45SecondsAfterTheStartTone) {
  const Samples black(8000 * 46, kBlack);
  // The third case's pulses are 1 % and 1 ms off the 60 LPM period: never a match, the timing
  // restarts at every pulse.
  const std::tuple<DetectorKind, Samples, bool> cases[] = {
      {kDescribed, Stream(8000).Add(StartTone(kDescribed, false)).Add(black).Bytes, false},
      {kDescribed, Stream(8000).Add(StartTone(kDescribed)).Add(black).Bytes, true},
      {kDescribed, Stream(8000).Add(Window(300)).Phasing(1011, 46).Bytes, false},
      {kRobust, Stream(8000).Add(StartTone(kRobust, false)).Add(black).Bytes, false},
      {kRobust, Stream(8000).Add(StartTone(kRobust)).Add(black).Bytes, true}};
  for (const auto& [detector, stream, locks] : cases) {
    SCOPED_TRACE(testing::Message() << (detector == kRobust ? "robust" : "described")
                                    << (locks ? ", locking, " : ", ") << stream.size());
    Rig r(detector, 0);
    r.decoder.Picture.FillRect(0, 0, W, H, GreyColour(0x80));  // neither black, white nor blank
    std::size_t i = 0;
    std::vector<double> at;  // when each event was shown, in ms of stream
    r.host.OnEvent = [&] { at.push_back(static_cast<double>(i) * 0.125); };
    r.host.OnRefresh = [&](int) {
      const std::uint32_t* p = r.decoder.Picture.Data();
      for (int y = 0; y < H; ++y)
        ASSERT_EQ(std::count(p + y * W, p + (y + 1) * W, TDecoder::kBlankColour),
                  y < r.decoder.CurrentLine ? 0 : W)
            << "row " << y;
    };
    for (; i < stream.size(); ++i) r.decoder.Process(&stream[i], 1);
    ASSERT_EQ(r.host.Events, (Texts{"Start IOC 576", "Synchronizing", "Waiting", "Receiving"}));
    const double waiting = at[2] - at[1], receiving = at[3] - at[1];
    EXPECT_TRUE(locks ? waiting < 15000 : waiting > 45000 && waiting <= 45001) << waiting;
    EXPECT_TRUE(receiving > 45000 && receiving <= 45001) << receiving;
    EXPECT_GT(r.decoder.CurrentLine, 40);  // the rows drawn since the start tone stay
    EXPECT_EQ(std::pair(r.settings.DrumSpeed, r.host.Refreshes), std::pair(locks ? 2 : 0, 1));
  }
}

TEST(Decoder, Ioc288WritesAndSavesRowsInPairs) {
  Rig r(kDescribed, 2, 0);
  r.decoder.ManualStart();
  r.Feed(Stream(8000).Tone(50, 500).Bytes);
  const std::uint32_t* rows = r.decoder.Picture.Data();  // one line (500 ms) is two equal rows
  EXPECT_TRUE(r.decoder.CurrentLine == 2 && std::equal(rows, rows + W, rows + W));
  r.Feed(Samples(4000 * 2, kWhite));
  EXPECT_EQ(r.decoder.SaveHeight, 8);  // three lines are six rows, the fourth pair is begun
  r.decoder.CurrentLine = H - 2;
  r.Feed(Samples(4000, kWhite));
  EXPECT_EQ(r.Saved, std::vector<int>{H});  // the last line fills the last two rows
}

// The samples still to come before the line being written is finished: none is promised while
// no picture is open, and the line moves on exactly with the last sample promised, also at a
// sample rate whose period is no exact float, in rows of two, and with a line length measured
// 400 ppm long on the phasing lines.
TEST(Decoder, SamplesToLineEndIsExact) {
  const struct {
    DetectorKind Detector;
    int Speed, Ioc;
    double Rate;
    bool Phasing;
  } cases[] = {{kDescribed, 2, 1, 8000, false},
               {kDescribed, 4, 0, 5236, false},
               {kRobust, 0, 1, 4800, false},
               {kRobust, 2, 1, 7200, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Rate << " samples/s, speed " << c.Speed);
    Rig r(c.Detector, c.Speed, c.Ioc, static_cast<float>(1000 / c.Rate));
    EXPECT_EQ(r.decoder.SamplesToLineEnd(), -1);
    if (c.Phasing) {
      r.Feed(
          Stream(c.Rate).Level(1500, 500).Tone(300, 3000).Phasing(500.2, 20).Level(2300, 100).Bytes,
          kOneDrain);
      ASSERT_EQ(r.host.Events.back(), "Receiving");
    } else {
      r.decoder.ManualStart();
    }
    // The sample that finishes the line, as promised at the line's first.
    std::int64_t due = -1;
    for (std::int64_t k = 0, lines = 0; lines < 5; ++k) {
      if (due < 0) due = k + r.decoder.SamplesToLineEnd() - 1;
      const int line = r.decoder.CurrentLine;
      const auto v = static_cast<std::uint8_t>(k / 37);  // a slow ramp: no tone in it
      r.decoder.Process(&v, 1);
      const bool moved = r.decoder.CurrentLine != line;
      ASSERT_EQ(moved, k == due) << "sample " << k << ", promised " << due;
      if (moved) ++lines, due = -1;
    }
  }
  Rig r;
  r.decoder.ManualStart();
  r.Feed(Stream(8000).Level(1500, 100).Tone(450, 3000).Bytes);  // a stop closes the picture
  EXPECT_EQ(std::pair(r.decoder.PictureOpen, r.decoder.SamplesToLineEnd()),
            std::pair(false, std::int64_t{-1}));
}

// The idle picture at start-up is neither saved nor shown. A speed change mid-picture keeps the
// rows drawn: two lines of black at 120 LPM, one of white at 240; each new row is shown once. A
// full picture is saved once, not at every tick, and no longer asks for attention. A damaged
// sample period neither hangs nor stops the clocks.
TEST(Decoder, RowsSpeedChangeAndTheEndOfTick) {
  Rig r;
  r.decoder.EndOfTick();
  EXPECT_EQ(std::pair(r.Saved.size(), r.host.NewLines), std::pair(std::size_t{0}, 0));
  r.decoder.ManualStart();
  r.Feed(Samples(8000, kBlack));
  r.decoder.SetMode(4);
  r.Feed(Samples(2000, kWhite));
  EXPECT_EQ(std::tuple(r.decoder.CurrentLine, r.decoder.SaveHeight, r.host.NewLines,
                       r.decoder.Picture.Pixel(900, 0), r.decoder.Picture.Pixel(900, 2),
                       r.host.Attention),
            std::tuple(3, 4, 4, 0u, 0xFFFFFFu, true));
  for (const int line : {H - 1, H, H}) r.decoder.CurrentLine = line, r.decoder.EndOfTick();
  EXPECT_EQ(r.Saved, std::vector<int>{H});
  EXPECT_TRUE(!r.host.Statuses.empty() && r.host.Statuses.back().empty() && !r.host.Attention);
  for (float period : {0.0f, -1.0f, 1e30f, std::nanf("")}) {
    r.settings.SamplePeriod = period;
    r.decoder.ManualStart();
    r.Feed(Samples(4000, kWhite), kOneDrain);
    EXPECT_GE(r.decoder.PixelClock, 0.0f);
  }
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
  const Samples s = Stream(7200).Level(1500, 10300).Tone(450, 3000).Level(1500, 1000).Bytes;
  const std::size_t pressed = 11150 * 72 / 10;
  r.decoder.Process(s.data(), pressed);
  EXPECT_EQ(r.decoder.CurrentLine, 22);
  r.decoder.ManualStart();
  r.decoder.Process(s.data() + pressed, s.size() - pressed);
  EXPECT_EQ(std::pair(r.host.Events, r.Saved), std::pair(Texts{"Stop"}, std::vector<int>{1}));
}

// The robust detector's tone filters and phasing fold on their own, on streams as the interface
// boxes of every rate measure them. Under noise and in charts they are held by the end-to-end
// tests, through whole broadcasts.
const Stream kBoxes[] = {{7200, 0, 255}, {5760, 28, 184}, {5236, 36, 236}, {4800, 36, 236}};
constexpr std::pair<double, Tone> kTones[] = {
    {300, Tone::Start576}, {675, Tone::Start288}, {450, Tone::Stop}};

// Each tone is heard a second after it began and once until it ends; it acts as from half a
// second into it. A tone must last a second: broadcasts send theirs for three to five, while a
// chart's hatching of the tone's period seldom fills two lines without a break.
TEST(ToneDetector, EachToneAfterASecondActingAfterHalfOneAndOnceUntilItEnds) {
  for (Stream s : kBoxes)
    for (const auto& [hz, kind] : kTones) {
      SCOPED_TRACE(testing::Message() << s.Rate << "/s, " << hz << " Hz");
      s.Bytes.clear();
      s.Level(1500, 300).Tone(hz, 900).Level(1900, 200).Tone(hz, 600).Level(1900, 1000);
      const std::size_t onset = s.Bytes.size();
      const std::size_t again = s.Tone(hz, 3000).Level(1500, 1000).Bytes.size();
      s.Tone(hz, 1500);
      ToneDetector detector(1000 / s.Rate);
      std::vector<std::pair<std::size_t, std::size_t>> heard;  // recognised at, acts from
      for (std::size_t i = 0; i < s.Bytes.size(); ++i)
        if (const Tone t = detector.Push(s.Bytes[i], 1000 / s.Rate); t != Tone::None)
          heard.push_back({t == kind ? i : 0, i - static_cast<std::size_t>(detector.Late())});
      ASSERT_EQ(heard.size(), 2u);
      // Forty-nine whole blocks of about 20 ms, and the block the tone began in: 0.97 to 1.05 s.
      const double in = static_cast<double>(heard[0].first - onset) / s.Rate;
      EXPECT_TRUE(in >= 0.97 && in <= 1.05) << in;
      // Half a second, and the 3 ms its beginning may be off (it is read from the part of a
      // block it filled): 500 to 506 ms.
      for (const auto& [h, began] : {std::pair{heard[0], onset}, {heard[1], again}}) {
        const double acts = static_cast<double>(h.second - began) / s.Rate;
        EXPECT_TRUE(h.first > 0 && acts >= 0.5 && acts <= 0.506) << acts;
      }
    }
}

// Pushes phasing lines into a fold until it decides; the sample it decided with, or -1.
long Fold(PhasingFold& fold, const Stream& s) {
  fold.Start(1000 / s.Rate);
  for (std::size_t i = 0; i < s.Bytes.size(); ++i)
    if (fold.Push(SampleToGreyLevel(s.Bytes[i], s.Low, s.High))) return static_cast<long>(i);
  return -1;
}

TEST(PhasingFold, FindsTheSpeedAndTheLineStartButNothingWithoutPulses) {
  PhasingFold fold;
  EXPECT_FALSE(fold.Push(255));  // not started yet: nothing to fold into
  for (Stream s : {kBoxes[0], kBoxes[3]})
    for (int speed = 0; speed < PhasingFold::kSpeeds; ++speed) {
      const double lineMs = PhasingFold::kLinePeriodMs[speed], perLine = lineMs * s.Rate / 1000;
      SCOPED_TRACE(testing::Message() << s.Rate << "/s, " << lineMs << " ms");
      const long at = Fold(fold, s.Phasing(lineMs, 12, 0.3));
      ASSERT_GE(at, 0);
      EXPECT_EQ(fold.Speed(), speed);
      // At least four lines folded: a multiple of the true period makes as high a peak.
      EXPECT_GE(at, 4 * perLine - 1);
      // The stream began 0.3 of a line after a line start; the pulse is centred on it, half a
      // sample early where the samples fall evenly on both its edges.
      const double since = std::fmod(static_cast<double>(at) + 0.3 * perLine, perLine);
      const double apart = std::fabs(fold.SamplesSinceLineStart() - since);
      EXPECT_LE(std::min(apart, perLine - apart), 1.0) << fold.SamplesSinceLineStart();
      s.Bytes.clear();
    }
  EXPECT_EQ(Fold(fold, Stream(7200).Level(1500, 20000)), -1);
}

// Phasing lines `line` samples long: black, with a white pulse of 5 % of a line centred on each
// line start (the first at `centre`); edges that swing over `ramp` samples (0: within one), and
// Gaussian noise of `noise` grey levels.
PhasingLines Phasing(double line, double centre, int lines, double ramp, double noise) {
  PhasingLines phasing;
  std::mt19937 random(7);
  std::normal_distribution<double> gauss(0, noise);
  const double half = 0.025 * line;
  for (int i = 0; i < static_cast<int>(line * lines); ++i) {
    const double k = std::round((i - centre) / line);
    const double inside = half - std::fabs(i - centre - k * line);
    const double white = ramp > 0 ? std::clamp(inside / ramp + 0.5, 0.0, 1.0) : inside > 0;
    phasing.Push(static_cast<int>(std::clamp(255 * white + gauss(random), 0.0, 255.0)));
  }
  return phasing;
}

TEST(PhasingLines, MeasuresTheLineLengthAndWhereTheLinesStartFromClearPulsesOnly) {
  struct Case {
    double Ppm, Ramp, Noise, Tolerance;
  } cases[] = {
      // Sharp edges: the band of slopes their samples allow, about a sample over all the lines.
      {100, 0, 0, 1},
      {-30, 0, 30, 1},
      {60, 3, 0, 0.3},  // edges that swing: the share of light samples around each
      {-100, 3, 40, 1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Ppm << " ppm, ramp " << c.Ramp << ", noise " << c.Noise);
    const double line = 3600 * (1 + c.Ppm * 1e-6);
    const PhasingLines::Result r = Phasing(line, 1234.5, 30, c.Ramp, c.Noise).Measure(3600, 1234);
    ASSERT_TRUE(r.Valid);
    EXPECT_NEAR(r.Ppm, c.Ppm, c.Tolerance);
    EXPECT_GE(r.Lines, 28);
    // The band left open holds the true line, and is narrower than the lines' spread allows.
    EXPECT_LE(r.LeastLine, line);
    EXPECT_GE(r.MostLine, line);
    EXPECT_LT(r.MostLine - r.LeastLine, 0.2);
    // The last line's start, where the picture's line start is placed from.
    EXPECT_NEAR(r.FirstCentre + 29 * r.LineSamples, 1234.5 + 29 * line, 0.5);
  }
  // Nothing but clear pulses is trusted.
  EXPECT_FALSE(Phasing(3600, 1000, 4, 0, 0).Measure(3600, 1000).Valid);  // too few lines
  PhasingLines grey;
  for (int i = 0; i < 3600 * 30; ++i) grey.Push(128 + (i * 7919) % 81 - 40);
  EXPECT_FALSE(grey.Measure(3600, 1000).Valid);
  // Another drum speed's phasing: five short pulses a line are no pulse of 5 %.
  EXPECT_FALSE(Phasing(720, 200, 150, 0, 0).Measure(3600, 1000).Valid);
}

// A chart of a bar and thin lines, upright, whose line k starts k * drift columns further right,
// IOC 576 or 288 (each line on two rows), each pixel as dark as the share of it they cover, with
// Gaussian noise of `noise` grey levels.
Bitmap Drifting(int lines, int perLine, double drift, double noise) {
  Bitmap picture(1810, lines * perLine);
  std::mt19937 random(11);
  std::normal_distribution<double> gauss(0, noise);
  const auto cover = [](int x, double from, double to) {
    return std::max(0.0, std::min(x + 1.0, to) - std::max(double(x), from));
  };
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const double left = drift * (y / perLine);
      double dark = cover(x, 100 + left, 140 + left);
      for (int line = 300; line < 1810; line += 301) dark += cover(x, line + left, line + 3 + left);
      const double grey = std::clamp(255 * (1 - dark) + gauss(random), 0.0, 255.0);
      picture.SetPixel(x, y, static_cast<std::uint32_t>(grey) * 0x010101u);
    }
  return picture;
}

TEST(PictureSlant, FindsTheShearThatStandsTheEdgesUpWithinTheBandAndOnlyThere) {
  struct Case {
    int PerLine;
    double Drift, Noise;
  } cases[] = {{1, 0.004, 0}, {1, -0.0061, 50}, {2, 0.0033, 0}, {1, 0, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.PerLine << " rows a line, drift " << c.Drift);
    Bitmap picture = Drifting(600, c.PerLine, c.Drift, c.Noise);
    const int rows = picture.Height();
    // Undoing the drift: a tenth of a column over the 600 lines.
    const double shear = PictureSlant(picture, rows, c.PerLine, -0.008, 0.008);
    EXPECT_NEAR(shear, -c.Drift, 0.1 / 600);
    // Whole columns: the bar's middle at the bottom within half a column of the top's.
    ShearLines(picture, rows, c.PerLine, -c.Drift);
    const auto bar = [&](int y) {
      double dark = 0, moment = 0;
      for (int x = 80; x < 170; ++x) {
        const double ink = 255.0 - (picture.Pixel(x, y) & 0xFF);
        dark += ink, moment += x * ink;
      }
      return moment / dark;
    };
    if (c.Noise == 0) {
      EXPECT_NEAR(bar(rows - 1), bar(0), 0.5);
    }
  }
  // A shear the band leaves out, a picture of noise alone, or too few lines: nothing to go by.
  EXPECT_EQ(PictureSlant(Drifting(600, 1, 0.004, 0), 600, 1, 0.001, 0.008), 0);
  EXPECT_EQ(PictureSlant(Drifting(600, 1, 0.004, 0), 600, 1, -0.002, 0.002), 0);
  // Noise stacks as well at one shear as at another only on average: its best lies anywhere.
  for (unsigned seed = 1; seed <= 6; ++seed) {
    Bitmap noise(1810, 600);
    std::mt19937 random(seed);
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 1810; ++x) noise.SetPixel(x, y, (random() & 0xFF) * 0x010101u);
    EXPECT_EQ(PictureSlant(noise, 600, 1, -0.008, 0.008), 0) << seed;
  }
  EXPECT_EQ(PictureSlant(Bitmap(1810, 600, 0xFFFFFF), 600, 1, -0.008, 0.008), 0);
  EXPECT_EQ(PictureSlant(Drifting(40, 1, 0.004, 0), 40, 1, -0.008, 0.008), 0);
}

// 600 lines to move by 0.9 columns: rounded, one step at line 333 which a fitted line reads as
// 6 * 0.555 * 0.445 / 600 = 0.00247 a line. The shear chosen instead steps where the fit reads
// 0.0015; under a twentieth of a column over the picture, no shift comes nearer than none.
TEST(PictureSlant, ShiftsLinesByWholeColumnsThatFitTheShearWanted) {
  const auto fitted = [](double shear, int lines) {
    double moment = 0, spread = 0, middle = (lines - 1) / 2.0;
    for (int k = 0; k < lines; ++k)
      moment += (k - middle) * static_cast<double>(std::lround(shear * k)),
          spread += (k - middle) * (k - middle);
    return moment / spread;
  };
  EXPECT_NEAR(fitted(0.0015, 600), 0.00247, 0.00002);
  const double shear = WholeColumnShear(0.0015, 600);
  EXPECT_NEAR(fitted(shear, 600), 0.0015, 0.00002);
  EXPECT_NEAR(fitted(WholeColumnShear(-0.004, 1125), 1125), -0.004, 0.00002);
  EXPECT_EQ(WholeColumnShear(0.00008, 600), 0);
}

}  // namespace
}  // namespace zarvo
