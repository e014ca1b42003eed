// The decoder on hand-made streams: conversions, clocks, tone windows, phasing, line assembly
// and the end-of-tick sequence.
#include <gtest/gtest.h>

#include <climits>

#include "decoder/Decoder.h"
#include "support/Signals.h"

namespace zarvo {
namespace {

using test::AppendTone;
using test::RecordingHost;
using test::SampleFor;
using test::Samples;
using Texts = std::vector<std::string>;

// The window and the end-to-end tests read the detector's state as a number.
static_assert(TDecoder::Listening == 0 && TDecoder::StartAccepted == 1 && TDecoder::Phasing == 2 &&
              TDecoder::Locked == 3 && TDecoder::Waiting == 4 && TDecoder::Started == 5);

// Most of these cases pin down the half-second edge counts and the pulse timing, which the
// decoder keeps as its described detector.
struct DescribedDecoder : TDecoder {
  DescribedDecoder(TSettings& settings, DecoderHost& host) : TDecoder(settings, host) {
    Detector = DetectorKind::Described;
  }
};

TEST(SampleConversion, ValuesForTheFixedCalibrations) {
  // 28/184: step 1100/156 = 7.05128 Hz per unit.
  EXPECT_EQ(FrequencyToSample(1000, 28, 184), 0);    // -28.36 + 28 + 0.5 -> 0
  EXPECT_EQ(FrequencyToSample(1500, 28, 184), 71);   // 42.55 + 28: rounded up
  EXPECT_EQ(FrequencyToSample(1885, 28, 184), 125);  // 97.14 + 28
  EXPECT_EQ(FrequencyToSample(1900, 28, 184), 127);  // 99.27 + 28
  EXPECT_EQ(FrequencyToSample(1915, 28, 184), 129);  // 101.40 + 28
  EXPECT_EQ(FrequencyToSample(2300, 28, 184), 184);
  EXPECT_EQ(FrequencyToSample(1200, 36, 236), 36);
  EXPECT_EQ(FrequencyToSample(2300, 36, 236), 236);
  // Grey: 351 x (v - low) / (high - low) - 96, truncated, clamped.
  EXPECT_EQ(SampleToGreyLevel(28, 28, 184), 0);     // 1200 Hz
  EXPECT_EQ(SampleToGreyLevel(71, 28, 184), 0);     // 1500 Hz: 96.75 -> 96 - 96
  EXPECT_EQ(SampleToGreyLevel(127, 28, 184), 126);  // 1900 Hz: 222.75 -> 222 - 96
  EXPECT_EQ(SampleToGreyLevel(184, 28, 184), 255);  // 2300 Hz: 351 - 96 clamps
  EXPECT_EQ(SampleToGreyLevel(0, 28, 184), 0);      // below CalLow: negative, black
  EXPECT_EQ(SampleToGreyLevel(255, 0, 100), 255);
  EXPECT_EQ(SampleToGrey(127, 28, 184), 0x7E7E7Eu);
}

TEST(SampleConversion, DamagedCalibrationsAreSafe) {
  for (const auto& [low, high] : {std::pair{INT_MIN, INT_MAX}, std::pair{INT_MAX, INT_MIN},
                                  std::pair{5, 5}, std::pair{255, 0}, std::pair{-1000000, 7}}) {
    CalibrationTable table;
    table.Update(low, high);
    for (int v : {0, 128, 255}) {
      const int g = SampleToGreyLevel(v, low, high);
      EXPECT_GE(g, 0);
      EXPECT_LE(g, 255);
    }
  }
}

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.CalLow = 0;
    settings.CalHigh = 255;
    settings.SamplePeriod = 0.125f;  // 8000 samples per second: clock sums are exact
    settings.IOC = 1;
    settings.DrumSpeed = 2;
    decoder.SetMode(2);
    host.Statuses.clear();
  }
  void Feed(const Samples& s, bool ticks = true) {
    // As the live timer does: a drain and an end of tick every millisecond of stream.
    const std::size_t perTick = ticks ? 8 : s.size();
    for (std::size_t i = 0; i < s.size(); i += perTick) {
      decoder.Process(s.data() + i, std::min(perTick, s.size() - i));
      if (ticks) decoder.EndOfTick();
    }
  }
  // Edges at the given times (ms, on the 0.125 ms grid) after `leadMs` of black.
  Samples Edges(const std::vector<double>& times, double leadMs = 10) {
    Samples s;
    test::Append(s, static_cast<std::size_t>(leadMs / 0.125), SampleFor(1500));
    bool white = false;
    std::size_t next = 0;
    for (double t : times) {
      const auto at = static_cast<std::size_t>((leadMs + t) / 0.125 + 0.5);
      test::Append(s, at - next, white ? SampleFor(2300) : SampleFor(1500));
      next = at;
      white = !white;
    }
    test::Append(s, 80, white ? SampleFor(2300) : SampleFor(1500));
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
  TSettings settings{};
  RecordingHost host;
  DescribedDecoder decoder{settings, host};
};

TEST_F(DecoderTest, ClocksAdvanceBySamplePeriod) {
  settings.SamplePeriod = 1000.0f / 7200;
  Feed(Samples(7200, SampleFor(1500)), false);
  EXPECT_NEAR(decoder.EdgeClock, 1000.0, 0.2);  // float sums of 7200 periods
  EXPECT_NEAR(decoder.PhaseClock, 1000.0, 0.2);
  EXPECT_EQ(decoder.Centre, SampleFor(1500));  // the window has been full since sample 512
}

TEST_F(DecoderTest, FirstWindowUsesTheInitialCentre) {
  EXPECT_EQ(decoder.Centre, 128);
  EXPECT_EQ(decoder.Hysteresis, 10);
  Feed(Samples(511, 200), false);
  EXPECT_EQ(decoder.Centre, 128);
  Feed(Samples(1, 200), false);
  EXPECT_EQ(decoder.Centre, 200);
  EXPECT_EQ(decoder.Hysteresis, 166 - 159);  // 1915 Hz less 1885 Hz at 0/255
}

// The centre is believed only between 1000 and 2300 Hz, those included; outside, the edges are
// counted about mid-grey (1900 Hz).
TEST_F(DecoderTest, CentreOutside1000To2300HzIsTakenAsMidGrey) {
  const struct {
    int CalLow, CalHigh;
    std::uint8_t Level;
    int Centre;
  } cases[] = {
      {28, 184, 150, 150}, {28, 184, 184, 184},  // 2300 Hz is 184
      {28, 184, 185, 127}, {28, 184, 255, 127},  // 1900 Hz is 127
      {100, 200, 82, 82},                        // 1000 Hz is 82
      {100, 200, 81, 164}, {100, 200, 0, 164},   // 1900 Hz is 164
  };
  for (const auto& c : cases) {
    TSettings s = settings;
    s.CalLow = c.CalLow;
    s.CalHigh = c.CalHigh;
    RecordingHost h;
    DescribedDecoder d(s, h);
    const Samples level(512, c.Level);
    d.Process(level.data(), level.size());
    EXPECT_EQ(d.Centre, c.Centre) << c.CalLow << "/" << c.CalHigh << ", level " << int(c.Level);
  }
}

TEST_F(DecoderTest, ToneWindowsAtTheBordersOfTheirRanges) {
  const struct {
    int Count;
    const char* Event;
    int Ioc;
  } cases[] = {{284, nullptr, 1},         {285, "Start IOC 576", 1}, {315, "Start IOC 576", 1},
               {316, nullptr, 1},         {641, nullptr, 1},         {642, "Start IOC 288", 0},
               {708, "Start IOC 288", 0}, {709, nullptr, 1},         {427, nullptr, 1},
               {428, "Stop", 1},          {472, "Stop", 1},          {473, nullptr, 1}};
  for (const auto& c : cases) {
    TSettings s = settings;
    RecordingHost h;
    DescribedDecoder d(s, h);
    const Samples samples = Window(c.Count);
    d.Process(samples.data(), samples.size());
    const Texts events = h.Events();
    if (c.Event) {
      ASSERT_FALSE(events.empty()) << c.Count;
      EXPECT_EQ(events.front(), c.Event) << c.Count;
    } else {
      EXPECT_TRUE(events.empty()) << c.Count << ": " << (events.empty() ? "" : events[0]);
    }
    EXPECT_EQ(s.IOC, c.Ioc) << c.Count;
  }
}

// A gap of 3.333 ms restarts the count: without it, 200 fast edges before the gap would push the
// window out of the start range.
TEST_F(DecoderTest, GapRestartsTheWindow) {
  std::vector<double> times;
  for (int k = 0; k < 200; ++k) times.push_back(k * 0.75);
  const double restart = 149.25 + 3.5;
  for (int k = 0; k <= 320; ++k) times.push_back(restart + std::floor(k * 1.66 / 0.125) * 0.125);
  Feed(Edges(times));
  ASSERT_FALSE(host.Events().empty());
  EXPECT_EQ(host.Events().front(), "Start IOC 576");
}

TEST_F(DecoderTest, EdgesCloserThanTheMinimumAreNotCounted) {
  // Over 600 edges in 500 ms would be out of range; every other gap is 0.25 ms, so only about
  // 300 count.
  std::vector<double> times = {0};
  for (double t = 0; t < 510;) {
    t += 1.375;
    times.push_back(t);
    t += 0.25;
    times.push_back(t);
  }
  Feed(Edges(times));
  ASSERT_FALSE(host.Events().empty());
  EXPECT_EQ(host.Events().front(), "Start IOC 576");
}

// Around the debounce: at 50000 samples per second, edges 18 samples (0.36 ms) after the one
// before are glitches, 19 samples (0.38 ms) after it are counted. Each window holds pairs of
// edges that far apart, about 1.7 or 3.3 ms from pair to pair: a pair counts once or twice, and
// only the right count makes a start tone.
TEST_F(DecoderTest, EdgesJustInsideAndJustOutsideTheDebounce) {
  constexpr double kPeriod = 0.02;
  const struct {
    int Apart;  // samples from a pair's first edge to its second
    int Pairs;
    bool Start;
  } cases[] = {
      {18, 300, true},   // 300 counted
      {18, 150, false},  // 150 counted: no tone
      {19, 150, true},   // 300 counted
      {19, 300, false},  // 600 counted: between the stop and the IOC 288 ranges
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Apart) + " samples apart, " + std::to_string(c.Pairs) + " pairs");
    // Black for 4 ms (a pause that starts the window at the first edge), the first edge, the
    // pairs ending by 498 ms, and the edge at 500.5 ms that closes the window.
    const std::size_t lead = 200;
    std::vector<std::size_t> edges = {lead};
    for (int k = 1; k <= c.Pairs; ++k) {
      const std::size_t end =
          lead + static_cast<std::size_t>(std::lround(498.0 * k / c.Pairs / kPeriod));
      edges.push_back(end - c.Apart);
      edges.push_back(end);
    }
    edges.push_back(lead + static_cast<std::size_t>(500.5 / kPeriod));
    Samples samples;
    bool white = false;
    for (const std::size_t at : edges) {
      test::Append(samples, at - samples.size(), white ? SampleFor(2300) : SampleFor(1500));
      white = !white;
    }
    test::Append(samples, 100, white ? SampleFor(2300) : SampleFor(1500));
    TSettings s = settings;
    s.SamplePeriod = static_cast<float>(kPeriod);
    RecordingHost h;
    DescribedDecoder d(s, h);
    d.Process(samples.data(), samples.size());
    EXPECT_EQ(h.Events(), (c.Start ? Texts{"Start IOC 576", "Synchronizing"} : Texts{}));
  }
}

// A steady carrier at mid-level before the broadcast must not blind the edge trigger.
TEST_F(DecoderTest, SteadyCarrierBeforeTheStartTone) {
  settings.SamplePeriod = 1000.0f / 7200;
  Samples s(14400, SampleFor(1900));  // two seconds
  AppendTone(s, 300, 1000, settings.SamplePeriod);
  Feed(s, false);
  ASSERT_FALSE(host.Events().empty());
  EXPECT_EQ(host.Events().front(), "Start IOC 576");
}

TEST_F(DecoderTest, StopWithAndWithoutAPicture) {
  Feed(Window(450));
  EXPECT_EQ(host.Events(), Texts{"Stop"});
  EXPECT_EQ(host.Saves, 0);
  EXPECT_EQ(decoder.CurrentLine, TDecoder::H + 1);

  decoder.ManualStart();
  Feed(Samples(800, SampleFor(2300)));
  EXPECT_TRUE(host.Attention);
  Feed(Window(450));
  EXPECT_EQ(host.Saves, 1);
  EXPECT_FALSE(decoder.PictureOpen);
  EXPECT_FALSE(host.Attention);
  EXPECT_GE(decoder.CurrentLine, TDecoder::H + 1);
}

TEST_F(DecoderTest, NewStartToneSavesTheOpenPicture) {
  decoder.ManualStart();
  Feed(Samples(8000 * 2, SampleFor(2300)));  // two seconds: four lines at 120 LPM
  EXPECT_EQ(decoder.SaveHeight, 5);
  Samples tone;
  AppendTone(tone, 300, 1000, 0.125);
  Feed(tone);
  EXPECT_EQ(host.Saves, 1);
  EXPECT_EQ(host.Events(), (Texts{"Start IOC 576", "Synchronizing"}));
  EXPECT_LE(decoder.CurrentLine, 1);  // the new picture opened at the top
  EXPECT_EQ(decoder.DecoderState, TDecoder::Phasing);
}

// The start tone sets the IOC; the mode text follows it and is shown before the start itself,
// whichever detector heard the tone.
TEST_F(DecoderTest, StartToneShowsTheNewModeTextFirst) {
  const struct {
    int Ioc;
    int Speed;
    double Hertz;
    Texts Statuses;
    int NewIoc;
  } cases[] = {
      {1, 2, 675, {"120 LPM, IOC 288", "Start IOC 288", "Synchronizing"}, 0},
      {0, 4, 300, {"240 LPM, IOC 576", "Start IOC 576", "Synchronizing"}, 1},
  };
  for (const auto& [c, detector] :
       {std::pair{cases[0], DetectorKind::Robust}, std::pair{cases[1], DetectorKind::Robust},
        std::pair{cases[0], DetectorKind::Described},
        std::pair{cases[1], DetectorKind::Described}}) {
    SCOPED_TRACE(c.Statuses[0] + (detector == DetectorKind::Robust ? " robust" : " described"));
    TSettings s = settings;
    s.IOC = c.Ioc;
    RecordingHost h;
    TDecoder d(s, h);
    d.Detector = detector;
    d.SetMode(c.Speed);
    h.Statuses.clear();
    h.ModeChanges = 0;
    Samples tone;
    AppendTone(tone, c.Hertz, 1000, 0.125);
    d.Process(tone.data(), tone.size());
    EXPECT_EQ(h.Statuses, c.Statuses);
    EXPECT_EQ(d.ModeText, c.Statuses[0]);
    EXPECT_EQ(h.ModeChanges, 1);  // the mode dialog follows the new IOC
    EXPECT_EQ(s.IOC, c.NewIoc);
    EXPECT_EQ(s.DrumSpeed, c.Speed);
  }
}

// Phasing: black lines with a white pulse around each line start; the falling edge of the pulse
// comes 2.5 % into the line.
Samples Phasing(double lineMs, int lines, double period) {
  Samples s;
  const auto perLine = static_cast<std::size_t>(lineMs / period);
  for (int l = 0; l < lines; ++l)
    for (std::size_t i = 0; i < perLine; ++i) {
      const double f = static_cast<double>(i) / static_cast<double>(perLine);
      s.push_back(f < 0.025 || f >= 0.975 ? SampleFor(2300) : SampleFor(1500));
    }
  return s;
}

TEST_F(DecoderTest, PhasingLocksAtTheSecondPulseWhenTheSpeedIsKnown) {
  Feed(Window(300));
  Feed(Phasing(500, 3, 0.125));
  const Texts expected = {"Start IOC 576", "Synchronizing", "Waiting"};
  EXPECT_EQ(host.Events(), expected);
  EXPECT_EQ(settings.DrumSpeed, 2);
  EXPECT_EQ(decoder.DecoderState, TDecoder::Waiting);
  // Locked at the second pulse edge, 2.5 % into its line at column 45: so the stream's line
  // boundaries now fall on column 0.
  EXPECT_TRUE(decoder.CurrentColumn <= 2 || decoder.CurrentColumn >= TDecoder::W - 3)
      << decoder.CurrentColumn;
}

// The pulse edge is where the level falls below mid-grey, not where it reaches it: pulses that
// rest at exactly 1900 Hz for 5 % of a line before the black put the edge there, and the line
// start 90 columns later than after a plain pulse.
TEST_F(DecoderTest, PulseEdgeIsTheFallBelowMidGrey) {
  Feed(Window(300));
  Samples lines;
  for (int l = 0; l < 3; ++l)
    for (int i = 0; i < 4000; ++i) {
      const double f = i / 4000.0;
      lines.push_back(f < 0.025 || f >= 0.975 ? SampleFor(2300)
                      : f < 0.075             ? SampleFor(1900)
                                              : SampleFor(1500));
    }
  ASSERT_EQ(SampleFor(1900), 162);  // the calibration's own 1900 Hz level
  Feed(lines);
  EXPECT_EQ(host.Events(), (Texts{"Start IOC 576", "Synchronizing", "Waiting"}));
  EXPECT_NEAR(decoder.CurrentColumn, TDecoder::W - 90, 3);
}

TEST_F(DecoderTest, PhasingChangesTheSpeedThenLocks) {
  settings.DrumSpeed = 0;
  decoder.SetMode(0);
  Feed(Window(300));
  Feed(Phasing(500, 2, 0.125));
  EXPECT_EQ(settings.DrumSpeed, 2);  // switched at the second pulse edge
  EXPECT_EQ(decoder.DecoderState, TDecoder::Phasing);
  EXPECT_EQ(decoder.ModeText, "120 LPM, IOC 576");
  Feed(Phasing(500, 1, 0.125));
  EXPECT_EQ(decoder.DecoderState, TDecoder::Waiting);  // locked at the third
  // White for a tenth of a line starts the picture at its top.
  Feed(Samples(8 * 60, SampleFor(2300)));
  EXPECT_EQ(host.Events().back(), "Receiving");
  EXPECT_EQ(decoder.DecoderState, TDecoder::Listening);
  EXPECT_EQ(decoder.CurrentLine, 0);
}

TEST_F(DecoderTest, UnmatchedPeriodsRestartTimingUntilTheLimit) {
  settings.DrumSpeed = 0;
  decoder.SetMode(0);
  Feed(Window(300));
  Feed(Phasing(1011, 40, 0.125));  // 1 % + 1 ms off the 60 LPM period: never a match
  EXPECT_EQ(decoder.DecoderState, TDecoder::Phasing);
  EXPECT_EQ(settings.DrumSpeed, 0);
  Feed(Phasing(1011, 6, 0.125));  // past 45 s since the start tone
  const Texts expected = {"Start IOC 576", "Synchronizing", "Waiting", "Receiving"};
  EXPECT_EQ(host.Events(), expected);
  // The rows drawn since the start tone stay: the line is not reset to the top.
  EXPECT_GT(decoder.CurrentLine, 40);
}

// After the lock, a tenth of a line lighter than mid-grey begins the picture, whichever detector
// locked: 1920 Hz does, 1880 Hz does not.
TEST_F(DecoderTest, LightIsLighterThanMidGrey) {
  Samples described = Window(300);
  const Samples phasing = Phasing(500, 3, 0.125);
  described.insert(described.end(), phasing.begin(), phasing.end());
  test::FrequencyStream robust(8000);
  robust.Level(1500, 500);
  robust.Tone(300, 3000);
  robust.Phasing(500, 20);
  for (const auto& [detector, locked] : {std::pair{DetectorKind::Described, described},
                                         std::pair{DetectorKind::Robust, robust.Bytes}})
    for (const double hertz : {1880.0, 1920.0}) {
      SCOPED_TRACE((detector == DetectorKind::Robust ? "robust, " : "described, ") +
                   std::to_string(int(hertz)) + " Hz");
      TSettings s = settings;
      RecordingHost h;
      TDecoder d(s, h);
      d.Detector = detector;
      d.SetMode(2);
      d.Process(locked.data(), locked.size());
      ASSERT_EQ(h.Events(), (Texts{"Start IOC 576", "Synchronizing", "Waiting"}));
      Samples grey(8 * 100, SampleFor(hertz));  // a fifth of a line
      test::Append(grey, 8 * 10, SampleFor(1500));
      d.Process(grey.data(), grey.size());
      EXPECT_EQ(h.Events().back(), hertz > 1900 ? "Receiving" : "Waiting");
    }
}

// Feeds one sample at a time and notes when each event (status other than a mode text) was
// shown, in milliseconds of stream.
struct TimedEvent {
  std::string Text;
  double Ms;
};
std::vector<TimedEvent> TimedEvents(TDecoder& decoder, RecordingHost& host, const Samples& s,
                                    double periodMs) {
  std::vector<TimedEvent> events;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::size_t before = host.Statuses.size();
    decoder.Process(&s[i], 1);
    for (std::size_t k = before; k < host.Statuses.size(); ++k) {
      const std::string& text = host.Statuses[k];
      if (!text.empty() && text.find("LPM") == std::string::npos)
        events.push_back({text, static_cast<double>(i) * periodMs});
    }
  }
  return events;
}

// Phasing that never locks, and a picture that never begins after a lock, are given up 45 s
// after the start tone was taken ("Synchronizing"): not before, and within a millisecond after,
// whichever detector heard the tone.
TEST_F(DecoderTest, PhasingAndTheWaitAreGivenUp45SecondsAfterTheStartTone) {
  const auto described = [&](const Samples& phasing) {
    Samples s = Window(300);
    s.insert(s.end(), phasing.begin(), phasing.end());
    test::Append(s, 8000 * 46, SampleFor(1500));
    return s;
  };
  const auto robust = [](double phasingLines) {
    test::FrequencyStream s(8000);
    s.Level(1500, 500);
    s.Tone(300, 3000);
    s.Phasing(500, phasingLines);
    s.Level(1500, 46000);
    return s.Bytes;
  };
  const struct {
    const char* Name;
    DetectorKind Detector;
    Samples Stream;
    bool Locks;  // the phasing locks, and "Waiting" comes with it
  } cases[] = {
      {"described, no phasing", DetectorKind::Described, described({}), false},
      {"described, phasing", DetectorKind::Described, described(Phasing(500, 3, 0.125)), true},
      {"robust, no phasing", DetectorKind::Robust, robust(0), false},
      {"robust, phasing", DetectorKind::Robust, robust(20), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSettings s = settings;
    RecordingHost h;
    TDecoder d(s, h);
    d.Detector = c.Detector;
    d.SetMode(2);
    const auto events = TimedEvents(d, h, c.Stream, 0.125);
    Texts texts;
    for (const auto& e : events) texts.push_back(e.Text);
    ASSERT_EQ(texts, (Texts{"Start IOC 576", "Synchronizing", "Waiting", "Receiving"}));
    const double waiting = events[2].Ms - events[1].Ms;
    const double receiving = events[3].Ms - events[1].Ms;
    if (c.Locks) {
      EXPECT_LT(waiting, 15000);
    } else {
      EXPECT_GT(waiting, 45000);
      EXPECT_LE(waiting, 45001);
    }
    EXPECT_GT(receiving, 45000);
    EXPECT_LE(receiving, 45001);
  }
}

// At the phasing lock the rows from the current line down are blanked, so that no row of an
// earlier fax stays under the new one; the rows drawn since the start tone stay.
TEST_F(DecoderTest, PhasingLockBlanksAnEarlierFaxBelowTheCurrentLine) {
  constexpr std::uint32_t kOld = GreyColour(0x80);  // neither black, white nor blank
  constexpr std::uint32_t kBlank = TDecoder::kBlankColour;
  // Pixels of `row` in [from, to) that are not blank.
  const auto unblank = [](const Bitmap& b, int row, int from, int to) {
    int n = 0;
    for (int x = from; x < to; ++x) n += b.Pixel(x, row) != kBlank;
    return n;
  };
  // The start tone's window closes 510 ms into the stream, and the picture opens there: 1.02
  // lines of 500 ms, so 0.02 of a line into row 0.
  const struct {
    const char* Name;
    Samples AfterTone;
    int Line;
  } cases[] = {
      // 10 ms of black, then the second pulse edge 1.025 lines in: 1.065 lines, row 1.
      {"pulses", Phasing(500, 3, 0.125), 1},
      // No pulse at all: the lock comes after 45 s, 90 lines of 500 ms: row 90.
      {"limit", Samples(8000 * 46, SampleFor(1500)), 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSettings s = settings;
    RecordingHost h;
    DescribedDecoder d(s, h);
    d.SetMode(2);
    d.Picture.FillRect(0, 0, TDecoder::W, TDecoder::H, kOld);
    Samples stream = Window(300);
    stream.insert(stream.end(), c.AfterTone.begin(), c.AfterTone.end());
    // Stop at the lock: once the picture starts, it is written over from the top.
    for (std::size_t i = 0; i < stream.size() && d.DecoderState != TDecoder::Waiting; ++i)
      d.Process(&stream[i], 1);
    ASSERT_EQ(d.DecoderState, TDecoder::Waiting);
    ASSERT_EQ(d.CurrentLine, c.Line);
    EXPECT_EQ(h.Refreshes, 1);
    const Bitmap& p = d.Picture;
    const int line = d.CurrentLine;
    // Rows above: what was drawn since the start tone, black in the middle, none of it blank.
    for (int y = 0; y < line; ++y) {
      EXPECT_EQ(p.Pixel(TDecoder::W / 2, y), 0u) << y;
      int blanks = 0;
      for (int x = 0; x < TDecoder::W; ++x) blanks += p.Pixel(x, y) == kBlank;
      EXPECT_EQ(blanks, 0) << y;
    }
    // The current row: blank but for the one pixel the writer may have put since the lock.
    const int col = d.CurrentColumn;
    EXPECT_EQ(unblank(p, line, 0, col - 1) + unblank(p, line, col, TDecoder::W), 0) << col;
    int rows = 0;
    for (int y = line + 1; y < TDecoder::H; ++y) rows += unblank(p, y, 0, TDecoder::W) > 0;
    EXPECT_EQ(rows, 0) << "rows below the current line that are not blank";
  }
}

TEST_F(DecoderTest, Ioc288FillsRowsInPairs) {
  settings.IOC = 0;
  decoder.SetMode(2);
  decoder.ManualStart();
  Samples s;
  for (int i = 0; i < 4000; ++i) s.push_back(SampleFor(1500 + (i % 800)));
  Feed(s);
  EXPECT_EQ(decoder.CurrentLine, 2);  // one line (500 ms = 4000 samples) is two rows
  for (int x = 0; x < TDecoder::W; x += 97)
    EXPECT_EQ(decoder.Picture.Pixel(x, 0), decoder.Picture.Pixel(x, 1)) << x;
  Feed(Samples(4000 * 1124, SampleFor(2300)), false);
  decoder.EndOfTick();
  EXPECT_EQ(decoder.CurrentLine, TDecoder::H);  // 1125 lines fill the picture
  EXPECT_EQ(host.Saves, 1);
  EXPECT_EQ(host.Statuses.back(), "");
}

TEST_F(DecoderTest, PixelsByTime) {
  // 60 LPM at 7200/s: 7200 samples a line, about 3.98 samples a pixel.
  settings.SamplePeriod = 1000.0f / 7200;
  decoder.SetMode(0);
  decoder.ManualStart();
  Feed(Samples(7200 * 3, SampleFor(2300)), false);
  EXPECT_EQ(decoder.CurrentLine, 3);
  // 240 LPM at 4800/s: 1200 samples for 1810 pixels, so some samples give two pixels.
  settings.SamplePeriod = 1000.0f / 4800;
  decoder.SetMode(4);
  decoder.ManualStart();
  decoder.CurrentColumn = 0;
  Samples ramp;
  for (int i = 0; i < 1200; ++i) ramp.push_back(static_cast<std::uint8_t>(70 + i % 180));
  Feed(ramp, false);
  int doubles = 0;
  for (int x = 1; x < 1800; ++x)
    doubles += decoder.Picture.Pixel(x, 0) == decoder.Picture.Pixel(x - 1, 0);
  EXPECT_GT(doubles, 500);
}

TEST_F(DecoderTest, SpeedChangeMidPictureKeepsTheRowsDrawn) {
  decoder.ManualStart();
  Feed(Samples(8000, SampleFor(1500)));  // two lines of black at 120 LPM
  const std::uint32_t row0 = decoder.Picture.Pixel(900, 0);
  decoder.SetMode(4);
  EXPECT_FLOAT_EQ(decoder.MsPerPixel, 250.0f / 1810);
  Feed(Samples(2000, SampleFor(2300)));  // one line at 240 LPM
  EXPECT_EQ(decoder.CurrentLine, 3);
  EXPECT_EQ(decoder.Picture.Pixel(900, 0), row0);
  EXPECT_EQ(decoder.Picture.Pixel(900, 2), 0xFFFFFFu);
}

TEST_F(DecoderTest, EndOfTickSequence) {
  decoder.EndOfTick();  // the idle picture at start-up: neither saved nor shown
  EXPECT_EQ(host.Saves, 0);
  EXPECT_EQ(host.NewLines, 0);
  decoder.ManualStart();
  decoder.EndOfTick();
  EXPECT_EQ(decoder.SaveHeight, 1);
  EXPECT_EQ(host.NewLines, 1);
  decoder.EndOfTick();
  EXPECT_EQ(host.NewLines, 1);  // no new line, no redraw
  decoder.CurrentLine = TDecoder::H - 1;
  decoder.EndOfTick();
  EXPECT_EQ(decoder.SaveHeight, TDecoder::H);
  decoder.CurrentLine = TDecoder::H;
  host.OnSave = [&] { EXPECT_EQ(decoder.SaveHeight, TDecoder::H); };
  decoder.EndOfTick();
  decoder.EndOfTick();
  EXPECT_EQ(host.Saves, 1);  // once, not at every tick
  EXPECT_EQ(host.Statuses.back(), "");
  EXPECT_FALSE(host.Attention);
}

// A long drain, as after the window was busy, may hold the end of one fax and the start of the
// next: each fax is saved when it ends, with its own rows, before the next overwrites it.
TEST_F(DecoderTest, LongDrainSavesEveryFaxWhenItEnds) {
  std::vector<int> heights;
  std::vector<std::uint32_t> topRows;
  host.OnSave = [&] {
    heights.push_back(decoder.SaveHeight);
    topRows.push_back(decoder.Picture.Pixel(900, 0));
  };
  // A picture that fills, then a start tone, in one drain.
  decoder.ManualStart();
  decoder.CurrentLine = TDecoder::H - 2;
  Samples s(4000 * 3, SampleFor(1500));  // two lines to the end, then idle
  AppendTone(s, 300, 1000, 0.125);
  test::Append(s, 4000, SampleFor(2300));
  decoder.Process(s.data(), s.size());
  ASSERT_EQ(heights.size(), 1u);
  EXPECT_EQ(heights[0], TDecoder::H);
  // A picture opened by hand while listening, a stop and another start, again in one drain.
  decoder.DecoderState = TDecoder::Listening;
  decoder.ManualStart();
  Samples t(4000 * 6, SampleFor(1500));
  const Samples stop = Window(450);
  t.insert(t.end(), stop.begin(), stop.end());
  AppendTone(t, 300, 1000, 0.125);
  test::Append(t, 4000 * 2, SampleFor(2300));
  decoder.Process(t.data(), t.size());
  ASSERT_EQ(heights.size(), 2u);
  EXPECT_GE(heights[1], 6);
  EXPECT_LE(heights[1], 9);   // six lines, and those of the stop tone
  EXPECT_EQ(topRows[1], 0u);  // still the black of its own picture, not the next one's white
}

TEST_F(DecoderTest, Ioc288SavesBothRowsOfTheLastLine) {
  settings.IOC = 0;
  decoder.SetMode(2);
  decoder.ManualStart();
  Feed(Samples(4000 * 3, SampleFor(2300)));
  EXPECT_EQ(decoder.SaveHeight, 8);  // three lines are six rows, the fourth pair is begun
}

TEST_F(DecoderTest, DamagedSamplePeriodNeitherHangsNorStops) {
  for (float period : {0.0f, -1.0f, 1e30f, std::nanf("")}) {
    settings.SamplePeriod = period;
    decoder.ManualStart();
    Feed(Samples(4000, SampleFor(2300)), false);
    EXPECT_GE(decoder.PixelClock, 0.0f);
  }
}

}  // namespace
}  // namespace zarvo
