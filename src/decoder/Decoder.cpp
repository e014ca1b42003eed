#include "decoder/Decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "decoder/PictureSlant.h"

namespace zarvo {
namespace {

struct ModeRow {
  const char* Format;
  float LinePeriodMs;
};

constexpr ModeRow kModes[5] = {
    {"60 LPM, IOC %d", 1000.0f}, {"90 LPM, IOC %d", 60000.0f / 90},
    {"120 LPM, IOC %d", 500.0f}, {"180 LPM, IOC %d", 60000.0f / 180},
    {"240 LPM, IOC %d", 250.0f},
};

// The described detector: tones by the signal edges counted in half-second windows, the phasing
// by the time from one pulse edge to the next.

// A tone of f Hz alternates black and white f times a second: 2f edges a second, f in a window.
// A window whose count lies within 5 % of a tone's is taken for that tone.
constexpr int kToneWindowMs = 500;
constexpr int kTonePercent = 5;
constexpr int kStart576Hz = 300;
constexpr int kStart288Hz = 675;
constexpr int kStopHz = 450;

struct EdgeRange {
  std::int32_t Low;
  std::int32_t High;
  constexpr bool Holds(std::int32_t edges) const { return edges >= Low && edges <= High; }
};

// The whole counts within the tolerance, worked out in thousandths of an edge so that the
// borders are exact: 641.25..708.75 edges are 642..708.
constexpr EdgeRange ToneEdges(std::int64_t hertz) {
  const std::int64_t milliEdges = 2 * hertz * kToneWindowMs;
  const std::int64_t low = milliEdges * (100 - kTonePercent);
  const std::int64_t high = milliEdges * (100 + kTonePercent);
  return {static_cast<std::int32_t>((low + 99999) / 100000),
          static_cast<std::int32_t>(high / 100000)};
}

constexpr EdgeRange kStart576Edges = ToneEdges(kStart576Hz);
constexpr EdgeRange kStart288Edges = ToneEdges(kStart288Hz);
constexpr EdgeRange kStopEdges = ToneEdges(kStopHz);
static_assert(kStart576Edges.Low == 285 && kStart576Edges.High == 315);
static_assert(kStart288Edges.Low == 642 && kStart288Edges.High == 708);
static_assert(kStopEdges.Low == 428 && kStopEdges.High == 472);

// Edges closer than this to the one before are glitches: they end the interval uncounted.
constexpr double kDebounceMs = 0.37;
// No tone leaves a pause this long between edges: the window starts again at the next one.
constexpr double kGapMs = 3.333;

// The phasing pulse's falling edge comes 2.5 % into a line: the line start is placed there.
constexpr double kPulseEdgeShare = 0.025;
constexpr std::int32_t kPulseEdgeColumn = static_cast<std::int32_t>(TDecoder::W * kPulseEdgeShare);
static_assert(kPulseEdgeColumn == 45);

// The line periods of the five drum speeds, each matched by the time between pulse edges to
// within 1 %. Worked out from whole numbers, so that each border is the nearest double.
struct PeriodRange {
  double Low;
  double High;
};
constexpr double kPeriodMatchPercent = 1;
constexpr PeriodRange PeriodMatch(int linesPerMinute) {
  return {60000.0 * (100 - kPeriodMatchPercent) / (100 * linesPerMinute),
          60000.0 * (100 + kPeriodMatchPercent) / (100 * linesPerMinute)};
}
constexpr PeriodRange kPeriods[5] = {
    PeriodMatch(60), PeriodMatch(90), PeriodMatch(120), PeriodMatch(180), PeriodMatch(240),
};
static_assert(kPeriods[0].Low == 990 && kPeriods[0].High == 1010);
static_assert(kPeriods[1].Low == 660 && kPeriods[1].High == 2020.0 / 3);
static_assert(kPeriods[2].Low == 495 && kPeriods[2].High == 505);
static_assert(kPeriods[3].Low == 330 && kPeriods[3].High == 1010.0 / 3);
static_assert(kPeriods[4].Low == 247.5 && kPeriods[4].High == 252.5);

// Both detectors: phasing and the wait for the picture are given up this long after the start
// tone, and the picture has begun once a tenth of a line is light.
constexpr float kPhasingGiveUpMs = 45000;
// A line length measured within this many standard errors of the nominal one is taken for it:
// the picture is received as the clock calibration alone gives it.
constexpr double kLeastErrorSigmas = 3;
constexpr double kLightLineShare = 0.1;

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

TDecoder::TDecoder(TSettings& settings, DecoderHost& host)
    : Picture(W, H, kBlankColour), settings_(settings), host_(host), light_(kMaxLightWindow) {
  cal_.Update(settings_.CalLow, settings_.CalHigh);
}

void TDecoder::SetMode(std::int32_t speed) {
  const ModeRow& row = kModes[speed >= 0 && speed <= 4 ? speed : 0];
  char text[32];
  std::snprintf(text, sizeof text, row.Format, settings_.IOC != 0 ? 576 : 288);
  ModeText = text;
  LinePeriodMs = row.LinePeriodMs;
  MsPerPixel = LinePeriodMs / W;
  settings_.DrumSpeed = speed;
  host_.ShowStatus(ModeText);
  host_.ModeChanged();
}

void TDecoder::Process(const std::uint8_t* samples, std::size_t count) {
  // The calibration and the sample period change only between ticks.
  cal_.Update(settings_.CalLow, settings_.CalHigh);
  const float period = HeldPeriod();
  const bool robust = Detector == DetectorKind::Robust;
  pixelStep_ = lineScale_ == 1 ? period : static_cast<float>(period * lineScale_);
  if (!robust) {
    for (std::size_t i = 0; i < count; ++i) Step(samples[i], Tone::None, period, false);
    return;
  }
  // The tone filters hear every sample, so that they know when a start tone has ended. Nothing
  // the steps read from them changes before a block's last sample: the samples up to it are
  // filtered together first.
  for (std::size_t i = 0; i < count;) {
    const auto toBlockEnd = static_cast<std::size_t>(tones_.ToBlockEnd(period));
    const std::size_t run = std::min(count - i, toBlockEnd);
    const std::size_t within = run == toBlockEnd ? run - 1 : run;
    tones_.PushWithin(samples + i, static_cast<int>(within));
    for (const std::size_t last = i + within; i < last;) {
      if (DecoderState == Listening) i += ListenAndWrite(samples + i, last - i, period);
      if (i < last) Step(samples[i++], Tone::None, period, true);
    }
    if (within < run) {
      Step(samples[i], tones_.Push(samples[i], period), period, true);
      ++i;
    }
  }
}

inline void TDecoder::Step(std::int32_t v, Tone tone, float period, bool robust) {
  ++sample_;
  PixelClock += pixelStep_;
  EdgeClock += period;
  PhaseClock += period;
  switch (DecoderState) {
    case Listening:
      if (robust)
        ActOnTone(tone);
      else
        Listen(v);
      WindowClock += period;
      break;
    case StartAccepted:
      if (CurrentLine < H) {
        // The picture as it stood when the start tone began to act (a sample ago for the
        // edge counts).
        const std::int32_t line = robust ? LineAgo(toneLate_ + 1) : CurrentLine;
        SaveHeight = RowsAbove(line < H ? line : CurrentLine);
        SavePending = true;
      }
      SaveIfDue();  // before the new picture overwrites the old one's top
      host_.ShowStatus("Synchronizing");
      MoveToLine(0);
      RingIndex = 0;
      PhaseSeen = false;
      PhaseClock = 0;
      DecoderState = Phasing;
      lineScale_ = 1;  // a new broadcast: its own phasing measures it
      pixelStep_ = period;
      leastShear_ = mostShear_ = 0;
      lines_.Start();
      if (robust) fold_.Start(period);
      break;
    case Phasing:
      if (robust)
        FoldPhasing(v, period);
      else
        Phase(v);
      break;
    case Locked:
      // The phasing lines are measured on every sample between the start tone and the
      // picture: this one too, or the lines after it would seem a sample early.
      if (robust) fold_.Push(GreyLevel(v));
      lines_.Push(GreyLevel(v));
      PhasingLocked();
      break;
    case Waiting:
      if (robust)
        WaitForLight(v, period);
      else
        WaitForPicture(v, period);
      break;
    default:  // Started: listen again while the picture is written
      DecoderState = Listening;
      break;
  }
  WritePixels(v);
}

void TDecoder::Listen(std::int32_t v) {
  levelSum_ += v - LevelWindow[RingIndex];
  LevelWindow[RingIndex] = v;
  if (++RingIndex >= kCentreWindow) {
    RingIndex = 0;
    Centre = levelSum_ >> kCentreWindowLog2;
    if (Centre < cal_.LowestCentre || Centre > cal_.HighestCentre) Centre = cal_.MidGrey;
    Hysteresis = Clamp32(std::int64_t{cal_.EdgeBandHigh} - cal_.EdgeBandLow);
  }
  const std::int64_t low = std::int64_t{Centre} - Hysteresis;
  const std::int64_t high = std::int64_t{Centre} + Hysteresis;
  // A level left inside the dead band (a steady carrier before the broadcast) could never make
  // an edge again; the next sample beyond a threshold takes its place without counting.
  if (PrevLevel > low && PrevLevel < high) {
    if (v <= low || v >= high) PrevLevel = v;
    return;
  }
  const bool edge = (v <= low && PrevLevel >= high) || (v >= high && PrevLevel <= low);
  if (!edge) return;
  PrevLevel = v;
  if (EdgeClock >= kDebounceMs) ++EdgeCount;
  if (EdgeClock >= kGapMs) {
    EdgeCount = 0;
    WindowClock = 0;
  }
  EdgeClock = 0;
  if (WindowClock >= kToneWindowMs) EvaluateWindow();
}

void TDecoder::EvaluateWindow() {
  --EdgeCount;  // the edge that closed the window belongs to the next one
  if (kStart576Edges.Holds(EdgeCount))
    StartTone(1);
  else if (kStart288Edges.Holds(EdgeCount))
    StartTone(0);
  else if (kStopEdges.Holds(EdgeCount))
    StopTone();
  EdgeCount = 0;
  EdgeClock = 0;
  WindowClock = 0;
}

void TDecoder::StartTone(std::int32_t ioc) {
  settings_.IOC = ioc;
  SetMode(settings_.DrumSpeed);  // the mode text of the new IOC
  DecoderState = StartAccepted;
  host_.ShowStatus(ioc == 1 ? "Start IOC 576" : "Start IOC 288");
}

void TDecoder::StopTone(std::int64_t late) {
  if (CurrentLine < H) {
    const std::int32_t line = LineAgo(late);
    SaveHeight = RowsAbove(line < H ? line : CurrentLine);
    SavePending = true;
  }
  MoveToLine(H + 1);
  PictureOpen = false;
  SaveIfDue();
  host_.RefreshDisplay();
  host_.ShowStatus("Stop");
}

void TDecoder::ActOnTone(Tone tone) {
  if (tone == Tone::None) return;
  toneLate_ = tones_.Late();
  switch (tone) {
    case Tone::Start576:
      StartTone(1);
      break;
    case Tone::Start288:
      StartTone(0);
      break;
    case Tone::Stop:
      StopTone(toneLate_);
      break;
    case Tone::None:
      break;
  }
}

void TDecoder::FoldPhasing(std::int32_t v, float period) {
  // The start tone goes on for seconds after it was recognised: the fold begins after it.
  if (tones_.Sounding()) {
    if (fold_.Samples() > 0) {
      fold_.Start(period);
      lines_.Start();
    }
  } else {
    const std::int32_t grey = GreyLevel(v);
    lines_.Push(grey);
    if (fold_.Push(grey)) {
      if (fold_.Speed() != settings_.DrumSpeed) SetMode(fold_.Speed());
      PlaceLineStart(period);
      DecoderState = Locked;
    }
  }
  if (PhaseClock > kPhasingGiveUpMs) DecoderState = Locked;
}

void TDecoder::PlaceLineStart(float period) {
  // The line start found by the fold, to a fraction of a pixel. A pixel is written with the
  // first sample at or after the moment the clock reaches it: reaching it half a pixel less half
  // a sample early gives each pixel the sample nearest its middle.
  const double column = fold_.SamplesSinceLineStart() * period / MsPerPixel;
  CurrentColumn = static_cast<std::int32_t>(column);
  PixelClock = static_cast<float>((column - CurrentColumn + 0.5) * MsPerPixel + 0.5 * period);
}

bool TDecoder::StraightenFromPhasing(float period, int unfolded, const double* centre) {
  // The line the pixel writer draws, in samples: the measured one is drawn in its place.
  const double nominal = static_cast<double>(LinePeriodMs) / period;
  const PhasingLines::Result measured =
      centre != nullptr ? lines_.Measure(nominal, *centre) : lines_.Measure(nominal);
  host_.PhasingMeasured(measured);
  if (!measured.Valid || std::fabs(measured.Ppm) <= kLeastErrorSigmas * measured.SigmaPpm)
    return false;
  lineScale_ = nominal / measured.LineSamples;
  pixelStep_ = static_cast<float>(period * lineScale_);
  // A line drawn longer than the true one leaves each next line's start further right.
  const double columnsPerSample = W / measured.LineSamples;
  leastShear_ = (measured.LineSamples - measured.MostLine) * columnsPerSample;
  mostShear_ = (measured.LineSamples - measured.LeastLine) * columnsPerSample;
  // The line start as the fitted pulse centres run on to the sample just taken.
  const double now = static_cast<double>(lines_.Samples()) - 1 + unfolded;
  double since = std::fmod(now - measured.FirstCentre, measured.LineSamples);
  if (since < 0) since += measured.LineSamples;
  const double column = since / measured.LineSamples * W;
  CurrentColumn = std::min(W - 1, static_cast<std::int32_t>(column));
  PixelClock = static_cast<float>((column - CurrentColumn + 0.5) * MsPerPixel + 0.5 * pixelStep_);
  return true;
}

void TDecoder::WaitForLight(std::int32_t v, float period) {
  // A tenth of a line lighter than mid-grey: the picture's white top has begun. Judged on the
  // means of the tenth's four quarters, so that noise dipping below mid-grey now and then does
  // not hold it off, while a phasing pulse (half a tenth) never fills all four.
  const int length = std::clamp(static_cast<int>(kLightLineShare * LinePeriodMs / period + 0.5), 4,
                                kMaxLightWindow);
  const std::int32_t grey = GreyLevel(v);
  // The phasing goes on until the picture: folded as well, it places the line start finer. The
  // fold takes each sample as it leaves the tenth, so that the picture's white top, which
  // begins at a line start, never widens the pulse there.
  if (lightCount_ >= length) {
    fold_.Push(light_[lightNext_]);
    lines_.Push(light_[lightNext_]);
  }
  lightSum_ += grey - light_[lightNext_];
  light_[lightNext_] = static_cast<std::uint8_t>(grey);
  lightNext_ = (lightNext_ + 1) % length;
  lightCount_ = std::min(lightCount_ + 1, length);
  bool light = lightCount_ >= length && lightSum_ >= std::int64_t{kMidGrey} * length;
  for (int quarter = 0; light && quarter < 4; ++quarter) {
    const int from = quarter * length / 4, to = (quarter + 1) * length / 4;
    std::int64_t sum = 0;
    for (int k = from; k < to; ++k) sum += light_[(lightNext_ + k) % length];
    light = sum >= std::int64_t{kMidGrey} * (to - from);
  }
  if (light || PhaseClock > kPhasingGiveUpMs) {
    if (PhaseClock <= kPhasingGiveUpMs) {
      MoveToLine(0);
      const double centre = fold_.PulseCentre();
      if (fold_.Speed() == settings_.DrumSpeed &&
          !(Straighten && StraightenFromPhasing(period, lightCount_, &centre)) &&
          fold_.Remeasure(lightCount_))
        PlaceLineStart(period);
    }
    host_.ShowStatus("Receiving");
    DecoderState = Started;
  }
}

void TDecoder::ManualStart() {
  CurrentLine = 0;
  lineScale_ = 1;  // no phasing to measure: the clock calibration alone
  leastShear_ = mostShear_ = 0;
}

float TDecoder::HeldPeriod() const {
  // Real interfaces give 0.14..0.21 ms. A damaged value must not stop the clocks or make the
  // pixel writer spin for ever, so it is held to 100..100000 samples per second.
  const float period = settings_.SamplePeriod;
  return !(period >= 0.01f) ? 0.01f : std::min(period, 10.0f);
}

std::int64_t TDecoder::SamplesToLineEnd() const {
  if (CurrentLine < 0 || CurrentLine >= H || CurrentColumn >= W) return -1;
  // The step of the next Process: the one of the last, or the sample period before any.
  const double step = pixelStep_ > 0 ? pixelStep_ : HeldPeriod();
  const double left = (W - std::max(CurrentColumn, 0)) * double{MsPerPixel} - PixelClock;
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(left / step)));
}

void TDecoder::PushRing5(std::int32_t v) {
  Ring5[RingIndex] = v;
  if (++RingIndex >= 5) RingIndex = 0;
  Mean5 = (Ring5[0] + Ring5[1] + Ring5[2] + Ring5[3] + Ring5[4]) / 5;
}

void TDecoder::Phase(std::int32_t v) {
  lines_.Push(GreyLevel(v));
  PushRing5(v);
  if (PrevLevel >= cal_.MidGrey && Mean5 < cal_.MidGrey) {
    if (!PhaseSeen) {
      PhaseSeen = true;
      EdgeClock = 0;
    } else {
      int speed = -1;
      for (int s = 0; s < 5 && speed < 0; ++s)
        if (EdgeClock >= kPeriods[s].Low && EdgeClock <= kPeriods[s].High) speed = s;
      if (speed < 0) {
        EdgeClock = 0;
      } else {
        CurrentColumn = kPulseEdgeColumn;
        if (speed == settings_.DrumSpeed) {
          DecoderState = Locked;
        } else {
          SetMode(speed);
          EdgeClock = 0;
        }
      }
    }
  }
  PrevLevel = Mean5;
  if (PhaseClock > kPhasingGiveUpMs) DecoderState = Locked;
}

void TDecoder::PhasingLocked() {
  host_.ShowStatus("Waiting");
  RingIndex = 0;
  EdgeClock = 0;
  DecoderState = Waiting;
  std::fill(light_.begin(), light_.end(), 0);
  lightSum_ = 0;
  lightNext_ = lightCount_ = 0;
  Picture.FillRect(0, CurrentLine, W, H, kBlankColour);
  host_.RefreshDisplay();
}

void TDecoder::WaitForPicture(std::int32_t v, float period) {
  lines_.Push(GreyLevel(v));
  PushRing5(v);
  if (Mean5 < cal_.MidGrey) EdgeClock = 0;
  if (EdgeClock >= kLightLineShare * LinePeriodMs || PhaseClock > kPhasingGiveUpMs) {
    if (PhaseClock <= kPhasingGiveUpMs) {
      MoveToLine(0);
      // The whole phasing has been taken: the pulse times measure the line length, and the
      // line start placed at the last pulse edge moves to where the fitted pulses run on to.
      if (Straighten) StraightenFromPhasing(period, 0, nullptr);
    }
    host_.ShowStatus("Receiving");
    DecoderState = Started;
  }
}

void TDecoder::WritePixels(std::int32_t v) {
  const std::uint32_t colour = cal_.Grey[v];
  const bool twoRows = settings_.IOC == 0;
  while (CurrentColumn < W && PixelClock >= MsPerPixel) {
    PixelClock -= MsPerPixel;
    if (CurrentColumn >= 0 && CurrentLine >= 0 && CurrentLine < H) {
      Picture.SetPixel(CurrentColumn, CurrentLine, colour);
      if (twoRows && CurrentLine + 1 < H) Picture.SetPixel(CurrentColumn, CurrentLine + 1, colour);
    }
    if (++CurrentColumn >= W) {
      CurrentColumn = 0;
      const bool wasOpen = CurrentLine < H;
      MoveToLine(CurrentLine + (twoRows ? 2 : 1));
      PictureOpen = CurrentLine < H;
      if (wasOpen && !PictureOpen) {
        SaveHeight = H;  // the picture has just filled
        SavePending = true;
        SaveIfDue();
      }
    }
  }
}

std::size_t TDecoder::ListenAndWrite(const std::uint8_t* samples, std::size_t count, float period) {
  return settings_.IOC == 0 ? ListenAndWriteRows<true>(samples, count, period)
                            : ListenAndWriteRows<false>(samples, count, period);
}

template <bool TwoRows>
std::size_t TDecoder::ListenAndWriteRows(const std::uint8_t* samples, std::size_t count,
                                         float period) {
  // Off the left of the line, or at its last pixel, Step takes the sample.
  std::int32_t column = CurrentColumn;
  if (count == 0 || column < 0 || column >= W - 1) return 0;
  const bool onPicture = CurrentLine >= 0 && CurrentLine < H;
  std::uint32_t* row = onPicture ? Picture.Row(CurrentLine) : offPicture_.data();
  std::uint32_t* row2 = TwoRows && onPicture && CurrentLine + 1 < H ? Picture.Row(CurrentLine + 1)
                                                                    : offPicture_.data();
  float pixel = PixelClock, edge = EdgeClock, phase = PhaseClock, window = WindowClock;
  const float pixelStep = pixelStep_, msPerPixel = MsPerPixel;
  // Until a pixel is due its place keeps what it holds, so a run that ends early changes
  // nothing there.
  std::uint32_t keep = row[column], keep2 = row2[column];
  std::size_t i = 0;
  while (i < count && column < W - 1) {
    const std::uint32_t colour = cal_.Grey[samples[i++]];
    pixel += pixelStep;
    edge += period;
    phase += period;
    window += period;
    const bool due = pixel >= msPerPixel;
    pixel = due ? pixel - msPerPixel : pixel;
    row[column] = due ? colour : keep;
    if (TwoRows) row2[column] = due ? colour : keep2;
    column += due;
    keep = row[column];
    if (TwoRows) keep2 = row2[column];
    if (pixel >= msPerPixel) break;  // a second pixel due in this sample
  }
  sample_ += i;
  PixelClock = pixel, EdgeClock = edge, PhaseClock = phase, WindowClock = window;
  CurrentColumn = column;
  if (pixel >= msPerPixel) WritePixels(samples[i - 1]);
  return i;
}

std::int32_t TDecoder::RowsAbove(std::int32_t line) const {
  // An IOC 288 line fills two rows: both belong to the picture.
  return std::min<std::int32_t>(H, line + (settings_.IOC == 0 ? 2 : 1));
}

void TDecoder::MoveToLine(std::int32_t line) {
  lineMarks_[lineMarkNext_] = {sample_, CurrentLine, line};
  lineMarkNext_ = (lineMarkNext_ + 1) % kLineMarks;
  lineMarkCount_ = std::min(lineMarkCount_ + 1, kLineMarks);
  CurrentLine = line;
}

std::int32_t TDecoder::LineAgo(std::int64_t late) const {
  const std::uint64_t since = late < static_cast<std::int64_t>(sample_) ? sample_ - late : 0;
  std::int32_t line = CurrentLine;
  for (int k = 1; k <= lineMarkCount_; ++k) {
    const LineMark& mark = lineMarks_[(lineMarkNext_ - k + kLineMarks) % kLineMarks];
    if (mark.Sample <= since) break;
    // Moved from outside meanwhile (the Start command): no history to go back on.
    if (mark.After != line) return CurrentLine;
    line = mark.Before;
  }
  return line;
}

void TDecoder::SaveIfDue() {
  if (!SavePending && !(LastDrawnLine < H && CurrentLine >= H)) return;
  LastDrawnLine = CurrentLine;
  SavePending = false;
  StraightenWithin();
  host_.AutoSave();
}

void TDecoder::StraightenWithin() {
  const double low = leastShear_, high = mostShear_;
  leastShear_ = mostShear_ = 0;
  const int rowsPerLine = settings_.IOC == 0 ? 2 : 1;
  // Less than a column over the whole picture: nothing to gain.
  if ((high - low) * SaveHeight / rowsPerLine < 1) return;
  const double shear = WholeColumnShear(PictureSlant(Picture, SaveHeight, rowsPerLine, low, high),
                                        SaveHeight / rowsPerLine);
  if (shear == 0) return;
  ShearLines(Picture, SaveHeight, rowsPerLine, shear);
  host_.RefreshDisplay();
}

void TDecoder::EndOfTick() {
  SaveIfDue();
  if (CurrentLine != LastDrawnLine && CurrentLine < H) {
    LastDrawnLine = CurrentLine;
    SaveHeight = RowsSoFar();
    host_.ShowNewLine();
  }
  if (CurrentLine == H) host_.ShowStatus("");
  host_.SetAttention(CurrentLine < H);
}

}  // namespace zarvo
