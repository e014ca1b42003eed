#include "decoder/Decoder.h"

#include <algorithm>
#include <cstdio>

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

// Line periods of the five drum speeds, each +-1 %, as the phasing pulses time them.
struct PeriodRange {
  double Low;
  double High;
};
constexpr PeriodRange kPeriods[5] = {
    {990, 1010}, {660, 2020.0 / 3}, {495, 505}, {330, 1010.0 / 3}, {247.5, 252.5},
};

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
  // Real interfaces give 0.14..0.21 ms. A damaged value must not stop the clocks or make the
  // pixel writer spin for ever, so it is held to 100..100000 samples per second.
  float period = settings_.SamplePeriod;
  if (!(period >= 0.01f)) period = 0.01f;
  if (period > 10.0f) period = 10.0f;
  const bool robust = Detector == DetectorKind::Robust;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t v = samples[i];
    ++sample_;
    PixelClock += period;
    EdgeClock += period;
    PhaseClock += period;
    // The tone filters hear every sample, so that they know when a start tone has ended.
    const Tone tone = robust ? tones_.Push(v, period) : Tone::None;
    switch (DecoderState) {
      case 0:
        if (robust)
          ActOnTone(tone);
        else
          Listen(v);
        WindowClock += period;
        break;
      case 1:
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
        DecoderState = 2;
        if (robust) fold_.Start(period);
        break;
      case 2:
        if (robust)
          FoldPhasing(v, period);
        else
          Phase(v);
        break;
      case 3:
        PhasingLocked();
        break;
      case 4:
        if (robust)
          WaitForLight(v, period);
        else
          WaitForPicture(v);
        break;
      default:  // 5: the picture has started; listen again while it is written
        DecoderState = 0;
        break;
    }
    WritePixels(v);
  }
}

void TDecoder::Listen(std::int32_t v) {
  levelSum_ += v - LevelWindow[RingIndex];
  LevelWindow[RingIndex] = v;
  if (++RingIndex >= 512) {
    RingIndex = 0;
    Centre = levelSum_ >> 9;
    if (Centre < cal_.F1000 || Centre > cal_.F2300) Centre = cal_.F1900;
    Hysteresis = Clamp32(std::int64_t{cal_.F1915} - cal_.F1885);
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
  if (EdgeClock >= 0.37) ++EdgeCount;
  if (EdgeClock >= 3.333) {
    EdgeCount = 0;
    WindowClock = 0;
  }
  EdgeClock = 0;
  if (WindowClock >= 500) EvaluateWindow();
}

void TDecoder::EvaluateWindow() {
  --EdgeCount;  // the edge that closed the window belongs to the next one
  if (EdgeCount >= 285 && EdgeCount <= 315)
    StartTone(1);
  else if (EdgeCount >= 642 && EdgeCount <= 708)
    StartTone(0);
  else if (EdgeCount >= 428 && EdgeCount <= 472)
    StopTone();
  EdgeCount = 0;
  EdgeClock = 0;
  WindowClock = 0;
}

void TDecoder::StartTone(std::int32_t ioc) {
  settings_.IOC = ioc;
  SetMode(settings_.DrumSpeed);  // the mode text of the new IOC
  DecoderState = 1;
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
    if (fold_.Samples() > 0) fold_.Start(period);
  } else if (fold_.Push(GreyLevel(v))) {
    if (fold_.Speed() != settings_.DrumSpeed) SetMode(fold_.Speed());
    PlaceLineStart(period);
    DecoderState = 3;
  }
  if (PhaseClock > kPhasingGiveUpMs) DecoderState = 3;
}

void TDecoder::PlaceLineStart(float period) {
  // The line start found by the fold, to a fraction of a pixel. A pixel is written with the
  // first sample at or after the moment the clock reaches it: reaching it half a pixel less half
  // a sample early gives each pixel the sample nearest its middle.
  const double column = fold_.SamplesSinceLineStart() * period / MsPerPixel;
  CurrentColumn = static_cast<std::int32_t>(column);
  PixelClock = static_cast<float>((column - CurrentColumn + 0.5) * MsPerPixel + 0.5 * period);
}

void TDecoder::WaitForLight(std::int32_t v, float period) {
  // A tenth of a line lighter than mid-grey: the picture's white top has begun. Judged on the
  // means of the tenth's four quarters, so that noise dipping below mid-grey now and then does
  // not hold it off, while a phasing pulse (half a tenth) never fills all four.
  const int length =
      std::clamp(static_cast<int>(0.1 * LinePeriodMs / period + 0.5), 4, kMaxLightWindow);
  const std::int32_t grey = GreyLevel(v);
  // The phasing goes on until the picture: folded as well, it places the line start finer. The
  // fold takes each sample as it leaves the tenth, so that the picture's white top, which
  // begins at a line start, never widens the pulse there.
  if (lightCount_ >= length) fold_.Push(light_[lightNext_]);
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
      if (fold_.Speed() == settings_.DrumSpeed && fold_.Remeasure(lightCount_))
        PlaceLineStart(period);
    }
    host_.ShowStatus("Receiving");
    DecoderState = 5;
  }
}

void TDecoder::PushRing5(std::int32_t v) {
  Ring5[RingIndex] = v;
  if (++RingIndex >= 5) RingIndex = 0;
  Mean5 = (Ring5[0] + Ring5[1] + Ring5[2] + Ring5[3] + Ring5[4]) / 5;
}

void TDecoder::Phase(std::int32_t v) {
  PushRing5(v);
  if (PrevLevel >= cal_.F1900 && Mean5 < cal_.F1900) {
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
        CurrentColumn = static_cast<std::int32_t>(W * 0.025);  // the pulse edge is 2.5 % in
        if (speed == settings_.DrumSpeed) {
          DecoderState = 3;
        } else {
          SetMode(speed);
          EdgeClock = 0;
        }
      }
    }
  }
  PrevLevel = Mean5;
  if (PhaseClock > kPhasingGiveUpMs) DecoderState = 3;
}

void TDecoder::PhasingLocked() {
  host_.ShowStatus("Waiting");
  RingIndex = 0;
  EdgeClock = 0;
  DecoderState = 4;
  std::fill(light_.begin(), light_.end(), 0);
  lightSum_ = 0;
  lightNext_ = lightCount_ = 0;
  Picture.FillRect(0, CurrentLine, W, H, kBlankColour);
  host_.RefreshDisplay();
}

void TDecoder::WaitForPicture(std::int32_t v) {
  PushRing5(v);
  if (Mean5 < cal_.F1900) EdgeClock = 0;
  if (EdgeClock >= 0.1 * LinePeriodMs || PhaseClock > kPhasingGiveUpMs) {
    if (PhaseClock <= kPhasingGiveUpMs) MoveToLine(0);
    host_.ShowStatus("Receiving");
    DecoderState = 5;
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
  host_.AutoSave();
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
