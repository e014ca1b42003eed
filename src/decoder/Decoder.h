#pragma once
// The fax decoder and the reception state it writes: the picture, the write position, the drum
// speed mode, the detector of start, stop and phasing, and the pixel writer. Samples become
// pixels purely by time, counted by adding the sample period per sample.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/PhasingFold.h"
#include "decoder/PhasingLines.h"
#include "decoder/SampleConversion.h"
#include "decoder/ToneDetector.h"
#include "platform/Bitmap.h"
#include "settings/Settings.h"

namespace zarvo {

// What the decoder does to the world outside the core: the reception window in the program,
// a recorder in the tests, the console in zarvo-decode.
class DecoderHost {
 public:
  virtual ~DecoderHost() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  // The picture changed outside the line being written (a stop, rows cleared at phasing lock).
  virtual void RefreshDisplay() = 0;
  // The drum speed or IOC changed (the mode dialog follows while it is visible).
  virtual void ModeChanged() = 0;
  // A fax has ended or been cut short: save the top SaveHeight rows.
  virtual void AutoSave() = 0;
  // A new line has been reached: redraw and follow it, refresh the detailed view.
  virtual void ShowNewLine() = 0;
  // Taskbar attention while a picture is open.
  virtual void SetAttention(bool on) = 0;
  // The phasing lines of a broadcast have been measured, before its picture begins.
  virtual void PhasingMeasured(const PhasingLines::Result&) {}
};

// A host that ignores everything: for measuring and fuzzing the decoder alone.
class NullDecoderHost final : public DecoderHost {
 public:
  void ShowStatus(const std::string&) override {}
  void RefreshDisplay() override {}
  void ModeChanged() override {}
  void AutoSave() override {}
  void ShowNewLine() override {}
  void SetAttention(bool) override {}
};

// How start and stop tones and the phasing are recognised. Robust: tone filters judged against
// their neighbouring frequencies, and the phasing lines folded over each drum speed's period.
// Described: half-second edge counts and pulse edges timed one by one, kept exactly as they were
// for comparison (zarvo-decode --described-detector).
enum class DetectorKind { Robust, Described };

class TDecoder {
 public:
  static constexpr int W = 1810;  // 576 x pi: one IOC 576 line
  static constexpr int H = 2250;
  static constexpr std::uint32_t kBlankColour = 0xC0C0C0;
  // The edge counter's centre is the mean of the last 512 samples (a shift divides by it).
  static constexpr int kCentreWindowLog2 = 9;
  static constexpr int kCentreWindow = 1 << kCentreWindowLog2;

  // The detector's states, as DecoderState holds them (the window and the tests read the
  // number).
  enum State : std::int32_t {
    Listening = 0,      // for tones; a picture that is open goes on being written
    StartAccepted = 1,  // a start tone: the open picture is saved, the new one opens at the top
    Phasing = 2,        // the drum speed and the line start sought in the phasing lines
    Locked = 3,         // the line start found, or the phasing given up
    Waiting = 4,        // for the picture's white top
    Started = 5,        // the picture has begun: listening again from the next sample
  };

  // `settings` supplies CalLow, CalHigh, SamplePeriod, IOC and DrumSpeed, and receives IOC and
  // DrumSpeed from the detector.
  TDecoder(TSettings& settings, DecoderHost& host);

  // The per-sample step for each sample: clocks, detector, pixel writer.
  void Process(const std::uint8_t* samples, std::size_t count);
  // After each drain: save check, line change, status at a full picture, taskbar attention.
  void EndOfTick();
  // Chooses the drum speed 0..4 (60, 90, 120, 180, 240 lines per minute) with the mode text for
  // the current IOC; other values take the 60 lines per minute row.
  void SetMode(std::int32_t speed);
  // Opens a picture at the top without touching the detector (the Start command).
  void ManualStart();
  // How many more samples finish the line being written, so that a reader can wait for exactly
  // those; -1 while no picture line is being written. Tones and phasing may move the line sooner.
  std::int64_t SamplesToLineEnd() const;

  DetectorKind Detector = DetectorKind::Robust;
  // Receive each picture with the line length its phasing lines measured (robust detector), so
  // that it comes out straight whatever the clock error; off: with the nominal line length at
  // SamplePeriod alone.
  bool Straighten = true;

  // Reception state.
  Bitmap Picture;
  std::int32_t CurrentLine = H;
  std::int32_t CurrentColumn = 0;
  bool PictureOpen = false;
  std::int32_t SaveHeight = 0;
  std::int32_t LastDrawnLine = 99999;
  float LinePeriodMs = 1000.0f;
  float MsPerPixel = 1000.0f / W;
  std::string ModeText;

  // Clocks, milliseconds.
  float PixelClock = 0;
  float EdgeClock = 0;
  float PhaseClock = 0;
  float WindowClock = 0;

  // Detector.
  std::int32_t DecoderState = Listening;
  std::int32_t LevelWindow[kCentreWindow] = {};
  std::int32_t RingIndex = 0;
  std::int32_t Centre = 128;
  std::int32_t Hysteresis = 10;
  std::int32_t PrevLevel = 0;
  std::int32_t EdgeCount = 0;
  std::int32_t Ring5[5] = {};
  std::int32_t Mean5 = 0;
  bool PhaseSeen = false;
  bool SavePending = false;

 private:
  void Listen(std::int32_t v);
  void EvaluateWindow();
  void StartTone(std::int32_t ioc);
  // A stop; `late`: samples since it began to act (the robust detector recognises a tone after a
  // second of it, and acts as from its first half second).
  void StopTone(std::int64_t late = 0);
  // The robust detector's stages.
  void ActOnTone(Tone tone);
  // One sample through the detector's state and the pixel writer.
  void Step(std::int32_t v, Tone tone, float period, bool robust);
  void FoldPhasing(std::int32_t v, float period);
  void WaitForLight(std::int32_t v, float period);
  void PlaceLineStart(float period);
  // Measures the line length on the phasing lines taken, and receives the picture with it: true
  // when the measurement held and the line start has been placed by it. `unfolded`: samples
  // taken since the last one measured; `centre`: where the fold found the pulse, if it did.
  bool StraightenFromPhasing(float period, int unfolded, const double* centre);
  // SamplePeriod, held to what the clocks can run on.
  float HeldPeriod() const;
  std::int32_t GreyLevel(std::int32_t v) const {
    return static_cast<std::int32_t>(cal_.Grey[v & 0xFF] & 0xFF);
  }
  void Phase(std::int32_t v);
  void WaitForPicture(std::int32_t v, float period);
  void PhasingLocked();
  void PushRing5(std::int32_t v);
  void WritePixels(std::int32_t v);
  // Step for a run of samples while listening without a tone, with the clocks held in registers
  // and the due pixel chosen without a branch: the same sums in the same order, so every pixel
  // lands where Step puts it. Leaves the line's last pixel to Step (the line change, the save
  // check) and a second pixel due in one sample to WritePixels; returns the samples taken.
  std::size_t ListenAndWrite(const std::uint8_t* samples, std::size_t count, float period);
  template <bool TwoRows>
  std::size_t ListenAndWriteRows(const std::uint8_t* samples, std::size_t count, float period);
  // The save check. It runs as soon as a fax ends, also in the middle of a drain: a long drain
  // (after the window was busy) can hold the end of one fax and the start of the next.
  void SaveIfDue();
  // Before the save: the picture sheared within the band its phasing left open, by its own edges.
  void StraightenWithin();
  std::int32_t RowsSoFar() const { return RowsAbove(CurrentLine); }
  std::int32_t RowsAbove(std::int32_t line) const;
  // Moves the write position to `line`, remembering where the line was.
  void MoveToLine(std::int32_t line);
  // The row being written `late` samples ago.
  std::int32_t LineAgo(std::int64_t late) const;

  TSettings& settings_;
  DecoderHost& host_;
  CalibrationTable cal_;
  std::int32_t levelSum_ = 0;  // sum of LevelWindow, kept as it changes

  // Where the last lines began, so that a tone recognised late closes the picture as it stood
  // when the tone began to act.
  struct LineMark {
    std::uint64_t Sample;
    std::int32_t Before, After;
  };
  static constexpr int kLineMarks = 64;
  std::array<LineMark, kLineMarks> lineMarks_{};
  int lineMarkNext_ = 0, lineMarkCount_ = 0;
  std::uint64_t sample_ = 0;  // samples taken
  std::int64_t toneLate_ = 0;

  ToneDetector tones_;
  PhasingFold fold_;
  PhasingLines lines_;
  // The pixel clock's step: the sample period, stretched by the measured line length.
  double lineScale_ = 1;
  float pixelStep_ = 0;
  // The shears, in columns per line, that the measured line length left open: the saved picture
  // is straightened within them by its own edges.
  double leastShear_ = 0, mostShear_ = 0;
  // Where ListenAndWrite writes while no picture row is being written.
  std::array<std::uint32_t, W> offPicture_{};
  // The last tenth of a line's grey levels while waiting for the picture.
  static constexpr int kMaxLightWindow = 16384;
  static constexpr std::int32_t kMidGrey = 128;  // 1900 Hz
  std::vector<std::uint8_t> light_;
  std::int64_t lightSum_ = 0;
  int lightNext_ = 0, lightCount_ = 0;
};

}  // namespace zarvo
