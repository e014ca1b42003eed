#include "measure/ReceptionScore.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace zarvo::measure {
namespace {

constexpr std::uint64_t Never = std::numeric_limits<std::uint64_t>::max();

const sim::Section* FindSection(const SentBroadcast& b, sim::SectionKind kind) {
  for (const auto& s : b.Sections)
    if (s.Kind == kind) return &s;
  return nullptr;
}

struct Window {
  std::uint64_t First = Never;
  std::uint64_t End = 0;  // one past the last sample that still counts
  bool Holds(std::uint64_t sample) const { return sample >= First && sample < End; }
};

Window ToneWindow(const SentBroadcast& b, sim::SectionKind kind, std::uint64_t slack) {
  const sim::Section* s = FindSection(b, kind);
  if (!s || s->EndSample <= s->FirstSample) return {};
  return {s->FirstSample, s->EndSample + slack};
}

}  // namespace

std::string ModeText(int lpm, int ioc) {
  return std::to_string(lpm) + " LPM, IOC " + std::to_string(ioc);
}

Reception Receive(const std::vector<std::uint8_t>& stream, const decode::DecodeOptions& options) {
  Reception result;
  std::vector<std::uint64_t> savedAt;
  decode::DecodeRun* self = nullptr;  // the first mode text comes while the run is being built
  decode::DecodeRun run(options, [&](const std::string& line) {
    const auto space = line.find(' ');
    const std::string text = space == std::string::npos ? line : line.substr(space + 1);
    const std::uint64_t sample = self ? self->Samples() : 0;
    if (text.rfind("saved ", 0) == 0) {
      savedAt.push_back(sample);
      return;
    }
    result.Events.push_back({sample, text, self ? self->Decoder().ModeText : text});
  });
  self = &run;
  run.Feed(stream.data(), stream.size());
  run.Finish();
  result.Errors = run.Errors();
  for (std::size_t i = 0; i < run.Saved().size(); ++i) {
    const auto& saved = run.Saved()[i];
    SavedPicture picture;
    picture.Sample = i < savedAt.size() ? savedAt[i] : run.Samples();
    std::string error;
    if (!sim::ReadPicture(saved.Path, picture.Picture, error)) result.Errors.push_back(error);
    std::error_code ignored;
    std::filesystem::remove(saved.Path, ignored);
    result.Faxes.push_back(std::move(picture));
  }
  return result;
}

ReceptionScore Score(const Reception& reception, const std::vector<SentBroadcast>& sent,
                     std::uint64_t slack) {
  ReceptionScore score;
  score.Faxes = static_cast<int>(reception.Faxes.size());
  score.Broadcasts.resize(sent.size());
  std::vector<Window> starts, stops;
  for (const auto& b : sent) {
    starts.push_back(ToneWindow(b, sim::SectionKind::Start, slack));
    stops.push_back(ToneWindow(b, sim::SectionKind::Stop, slack));
  }
  // Each broadcast owns the stream from the end of its start tone to the end of the next one's:
  // a fax saved there is its fax, also when only the next start tone closed it.
  std::vector<Window> owned(sent.size());
  for (std::size_t k = 0; k < sent.size(); ++k) {
    owned[k].First = k == 0 ? 0 : owned[k - 1].End;
    owned[k].End = k + 1 < sent.size() && starts[k + 1].End > 0 ? starts[k + 1].End : Never;
  }

  for (const auto& event : reception.Events) {
    if (event.Text.rfind("Start IOC ", 0) == 0) {
      bool inTone = false;
      for (std::size_t k = 0; k < sent.size(); ++k) {
        if (!starts[k].Holds(event.Sample)) continue;
        inTone = true;
        if (!score.Broadcasts[k].StartFound) {
          score.Broadcasts[k].StartFound = true;
          score.Broadcasts[k].IocFound = std::atoi(event.Text.c_str() + 10);
        }
      }
      if (!inTone) ++score.FalseStarts;
    } else if (event.Text == "Stop") {
      bool inTone = false;
      for (const auto& w : stops) inTone = inTone || w.Holds(event.Sample);
      if (!inTone) ++score.FalseStops;
    }
  }

  for (std::size_t k = 0; k < sent.size(); ++k) {
    BroadcastScore& b = score.Broadcasts[k];
    // The first "Waiting" from this start tone on, before the next start tone.
    const std::uint64_t from = starts[k].First != Never ? starts[k].First : owned[k].First;
    const std::uint64_t until =
        k + 1 < sent.size() && starts[k + 1].First != Never ? starts[k + 1].First : Never;
    for (const auto& event : reception.Events)
      if (event.Text == "Waiting" && event.Sample >= from && event.Sample < until) {
        b.ModeAtWaiting = event.Mode;
        break;
      }
    b.PhasingRight = b.ModeAtWaiting == ModeText(sent[k].Lpm, sent[k].Ioc);

    const SavedPicture* largest = nullptr;
    for (const auto& fax : reception.Faxes)
      if (owned[k].Holds(fax.Sample) && (!largest || fax.Picture.Height > largest->Picture.Height))
        largest = &fax;
    if (largest) {
      b.HaveFax = true;
      b.Fax = CompareFax(largest->Picture, sent[k].Lines, sent[k].Ioc);
    }
  }
  return score;
}

bool CorpusBroadcasts(const CorpusFile& file, std::vector<SentBroadcast>& out, std::string& error) {
  const std::filesystem::path folder = std::filesystem::path(file.Stream).parent_path();
  std::vector<SentBroadcast> broadcasts;
  for (const auto& b : file.Broadcasts) {
    SentBroadcast s;
    s.Lpm = b.Lpm;
    s.Ioc = b.Ioc;
    s.Sections = b.Sections;
    if (!sim::ReadPicture((folder / b.SentPicture).string(), s.Lines, error)) return false;
    if (s.Lines.Height != b.RowsSent)
      return error = b.SentPicture + ": " + std::to_string(s.Lines.Height) + " rows, " +
                     std::to_string(b.RowsSent) + " described",
             false;
    broadcasts.push_back(std::move(s));
  }
  out = std::move(broadcasts);
  return true;
}

decode::DecodeOptions CorpusOptions(const CorpusFile& file, bool describedDetector) {
  decode::DecodeOptions options;
  const int type = InterfaceTypeForRate(file.Rate);
  options.InterfaceType = type > 0 ? type : 1;
  options.DataRate = file.Rate;
  options.HaveCal = true;
  options.CalLow = file.CalLow;
  options.CalHigh = file.CalHigh;
  // Percent, negative for a fast box, to the receiver's resolution of 0.0001 %.
  options.ClockCal = static_cast<float>(std::round(-file.ClockPpm) / 10000.0);
  options.Start = {2026, 12, 7, 10, 0, 0};
  options.DescribedDetector = describedDetector;
  // Without phasing lines nothing in the signal gives the drum speed: the operator sets it.
  const int speeds[] = {60, 90, 120, 180, 240};
  if (!file.Broadcasts.empty()) {
    const auto& first = file.Broadcasts.front();
    const bool phasing = std::any_of(first.Sections.begin(), first.Sections.end(), [](auto& s) {
      return s.Kind == sim::SectionKind::Phasing && s.EndSample > s.FirstSample;
    });
    for (int speed = 0; speed < 5 && !phasing; ++speed)
      if (speeds[speed] == first.Lpm) options.DrumSpeed = speed;
  }
  return options;
}

std::vector<std::uint8_t> ReadStream(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace zarvo::measure
