// zarvo-bench-reception: how each detector receives broadcasts from the simulator at every
// interface rate and growing frequency noise, noise with no broadcast at all, and the recorded
// corpus. One table per detector, a row per case, totals below; plain text for a note.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "measure/TableText.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"
#include "support/TempDir.h"

namespace {

constexpr int kColumnWidths[] = {46, 5, 7, 5, 7, 6, 11, 10, 10, 15, 0};
void PrintColumns(const std::vector<std::string>& cells) {
  zarvo::measure::PrintColumns(cells, kColumnWidths);
}

using namespace zarvo;
using measure::Fixed;
using measure::ReceptionScore;
using measure::SentBroadcast;
using measure::SentLines;

struct Interface {
  int Rate;
  int CalLow;
  int CalHigh;
  int Type;
};
constexpr Interface kInterfaces[] = {
    {7200, 0, 255, 1}, {5760, 28, 184, 3}, {5236, 36, 236, 5}, {4800, 36, 236, 4}};

struct Case {
  std::string Name;
  std::vector<std::uint8_t> Stream;
  decode::DecodeOptions Options;
  std::vector<SentBroadcast> Sent;
  int Rate = 7200;
  bool Clean = false;  // a noise-free simulator broadcast: its grey error goes into the worst
};

struct Row {
  std::string Name;
  ReceptionScore Score;
  std::vector<SentBroadcast> Sent;  // only the lines' sizes and modes are used
  bool Clean = false;
};

decode::DecodeOptions OptionsFor(const Interface& i) {
  decode::DecodeOptions options;
  options.InterfaceType = i.Type;
  options.HaveCal = true;
  options.CalLow = i.CalLow;
  options.CalHigh = i.CalHigh;
  options.Start = {2026, 12, 7, 10, 0, 0};
  return options;
}

std::string RateName(const Interface& i) {
  char text[16];
  std::snprintf(text, sizeof text, "%d/s", i.Rate);
  return text;
}

// A broadcast of the test chart: a noisy carrier lead-in, the start tone, 10..30 s of phasing,
// the chart with its black bar as a clear left edge, the stop tone and a black trailer.
Case SimulatorCase(const Interface& i, int noiseHz, int seed, const sim::GreyImage& chart) {
  sim::BroadcastOptions sent;
  sent.DataRate = i.Rate;
  sent.CalLow = i.CalLow;
  sent.CalHigh = i.CalHigh;
  sent.NoiseHz = noiseHz;
  sent.Seed = static_cast<unsigned>(seed);
  sent.StopSeconds = 5;
  sent.TrailerSeconds = 3;
  switch (seed) {
    case 1:
      sent.Lpm = 120, sent.Ioc = 576, sent.LeadSeconds = 3, sent.PhasingSeconds = 20;
      break;
    case 2:
      sent.Lpm = 240, sent.Ioc = 288, sent.LeadSeconds = 2, sent.PhasingSeconds = 10;
      break;
    default:
      sent.Lpm = noiseHz / 50 % 2 == 0 ? 60 : 90, sent.Ioc = 576, sent.LeadSeconds = 4;
      sent.PhasingSeconds = 30;
      break;
  }
  Case c;
  char name[64];
  std::snprintf(name, sizeof name, "sim %-7s %3d Hz s%d %3d/%d", RateName(i).c_str(), noiseHz, seed,
                sent.Lpm, sent.Ioc);
  c.Name = name;
  c.Stream = sim::MakeBroadcast(chart, sent);
  c.Options = OptionsFor(i);
  c.Rate = i.Rate;
  c.Clean = noiseHz == 0;
  SentBroadcast b;
  b.Lpm = sent.Lpm;
  b.Ioc = sent.Ioc;
  b.Sections = sim::BroadcastLayout(chart.Height, sent);
  b.Lines = SentLines(chart, sent.Ioc);
  c.Sent.push_back(std::move(b));
  return c;
}

// A minute of the carrier at 1900 Hz with noise and nothing else.
Case NoiseCase(const Interface& i, int noiseHz, int seed) {
  sim::BroadcastOptions sent;
  sent.DataRate = i.Rate;
  sent.CalLow = i.CalLow;
  sent.CalHigh = i.CalHigh;
  sent.NoiseHz = noiseHz;
  sent.Seed = static_cast<unsigned>(100 + seed);
  sent.LeadSeconds = 60;
  sent.LeadHz = 1900;
  sent.StartSeconds = sent.PhasingSeconds = sent.StopSeconds = sent.TrailerSeconds = 0;
  Case c;
  char name[64];
  std::snprintf(name, sizeof name, "noise %-7s %3d Hz s%d", RateName(i).c_str(), noiseHz, seed);
  c.Name = name;
  c.Stream = sim::MakeBroadcast(sim::GreyImage{}, sent);
  c.Options = OptionsFor(i);
  c.Rate = i.Rate;
  return c;
}

std::string Fraction(int found, int expected) {
  return std::to_string(found) + "/" + std::to_string(expected);
}

struct Totals {
  int Tones = 0, TonesExpected = 0, WrongIoc = 0;
  int Phasing = 0, PhasingExpected = 0;
  int Faxes = 0, FaxesExpected = 0, ExtraFaxes = 0;
  int FalseStarts = 0, FalseStops = 0;
  double MaxBorder = 0;
  double WorstCleanGrey = 0;
};

bool HasSection(const SentBroadcast& b, sim::SectionKind kind) {
  return std::any_of(b.Sections.begin(), b.Sections.end(), [kind](const auto& s) {
    return s.Kind == kind && s.EndSample > s.FirstSample;
  });
}

void PrintTable(const char* title, const std::vector<Row>& rows) {
  std::printf("%s\n", title);
  PrintColumns({"case", "start", "phasing", "faxes", "f.start", "f.stop", "border", "grey",
                "grey+-1", "rows saved/sent", "notes"});
  Totals t;
  for (const auto& row : rows) {
    const auto& s = row.Score;
    int tones = 0, phasing = 0, tonesExpected = 0;
    std::string border, grey, near, size, notes;
    for (std::size_t k = 0; k < row.Sent.size(); ++k) {
      const auto& b = s.Broadcasts[k];
      const auto& sent = row.Sent[k];
      const bool hasPhasing = HasSection(sent, sim::SectionKind::Phasing);
      const int rowsSent = sent.Lines.Height * (sent.Ioc == 288 ? 2 : 1);
      if (HasSection(sent, sim::SectionKind::Start)) ++tonesExpected;
      if (b.StartFound && b.IocFound == sent.Ioc) ++tones;
      if (b.StartFound && b.IocFound != sent.Ioc) {
        notes += "start IOC " + std::to_string(b.IocFound) + "; ";
        ++t.WrongIoc;
      }
      if (b.PhasingRight) {
        ++phasing;
      } else {
        notes += "waiting at " + (b.ModeAtWaiting.empty() ? "-" : b.ModeAtWaiting) + "; ";
      }
      if (!hasPhasing) notes += "no phasing sent; ";
      const std::string sep = k == 0 ? "" : ",";
      if (b.HaveFax && b.Fax.Valid) {
        border += sep + Fixed(b.Fax.Border);
        grey += sep + Fixed(b.Fax.GreyError);
        near += sep + Fixed(b.Fax.GreyErrorNear);
        size += sep + std::to_string(b.Fax.RowsSaved) + "/" + std::to_string(rowsSent);
        // The line start is judged on a fax worth the name, placed by its own phasing.
        if (hasPhasing && b.PhasingRight && 2 * b.Fax.RowsSaved >= rowsSent)
          t.MaxBorder = std::max(t.MaxBorder, std::abs(b.Fax.Border));
        if (row.Clean) t.WorstCleanGrey = std::max(t.WorstCleanGrey, b.Fax.GreyError);
      } else {
        border += sep + "-";
        grey += sep + "-";
        near += sep + "-";
        size += sep + "-/" + std::to_string(rowsSent);
        if (row.Clean) t.WorstCleanGrey = std::max(t.WorstCleanGrey, 255.0);
      }
    }
    const int expected = static_cast<int>(row.Sent.size());
    if (!notes.empty()) notes.resize(notes.size() - 2);
    const std::string none = "-";
    PrintColumns({row.Name, expected ? Fraction(tones, tonesExpected) : none,
                  expected ? Fraction(phasing, expected) : none, Fraction(s.Faxes, expected),
                  std::to_string(s.FalseStarts), std::to_string(s.FalseStops),
                  expected ? border : none, expected ? grey : none, expected ? near : none,
                  expected ? size : none, notes});
    t.Tones += tones;
    t.TonesExpected += tonesExpected;
    t.Phasing += phasing;
    t.PhasingExpected += expected;
    t.Faxes += std::min(s.Faxes, expected);
    t.ExtraFaxes += std::max(0, s.Faxes - expected);
    t.FaxesExpected += expected;
    t.FalseStarts += s.FalseStarts;
    t.FalseStops += s.FalseStops;
  }
  std::printf("totals: start tones found %d/%d (wrong IOC %d), phasing right %d/%d\n", t.Tones,
              t.TonesExpected, t.WrongIoc, t.Phasing, t.PhasingExpected);
  std::printf("        faxes %d/%d (%d more than sent), false starts %d, false stops %d\n", t.Faxes,
              t.FaxesExpected, t.ExtraFaxes, t.FalseStarts, t.FalseStops);
  std::printf(
      "        max |border| %.1f columns (faxes of at least half the sent rows after a "
      "right phasing)\n",
      t.MaxBorder);
  std::printf(
      "        worst grey error %.1f (noise-free simulator broadcasts; 255 when one was "
      "lost)\n\n",
      t.WorstCleanGrey);
}

}  // namespace

int main() {
  std::vector<Row> robust, described;
  test::TempDir out;
  const auto run = [&](Case c) {
    for (const bool useDescribed : {false, true}) {
      decode::DecodeOptions options = c.Options;
      options.OutDir = out.Path();
      options.DescribedDetector = useDescribed;
      const measure::Reception reception = measure::Receive(c.Stream, options);
      for (const auto& e : reception.Errors)
        std::fprintf(stderr, "%s: %s\n", c.Name.c_str(), e.c_str());
      Row row{c.Name,
              measure::Score(reception, c.Sent, static_cast<std::uint64_t>(c.Rate)),
              {},
              c.Clean};
      for (const auto& b : c.Sent) {
        SentBroadcast brief;
        brief.Lpm = b.Lpm;
        brief.Ioc = b.Ioc;
        brief.Sections = b.Sections;
        brief.Lines.Width = b.Lines.Width;
        brief.Lines.Height = b.Lines.Height;
        row.Sent.push_back(std::move(brief));
      }
      (useDescribed ? described : robust).push_back(std::move(row));
    }
  };

  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  for (const auto& i : kInterfaces)
    for (int noise = 0; noise <= 400; noise += 50)
      for (int seed = 1; seed <= 3; ++seed) run(SimulatorCase(i, noise, seed, chart));
  for (const auto& i : kInterfaces)
    for (int noise : {100, 200, 400})
      for (int seed = 1; seed <= 3; ++seed) run(NoiseCase(i, noise, seed));

  std::vector<measure::CorpusFile> corpus;
  std::string error;
  if (!measure::ReadCorpus(ZARVO_CORPUS_DIR, corpus, error)) {
    std::fprintf(stderr, "zarvo-bench-reception: %s\n", error.c_str());
    return 1;
  }
  for (const auto& file : corpus) {
    Case c;
    c.Name = "corpus " + file.Name;
    if (!measure::CorpusBroadcasts(file, c.Sent, error)) {
      std::fprintf(stderr, "zarvo-bench-reception: %s\n", error.c_str());
      return 1;
    }
    c.Stream = measure::ReadStream(file.Stream);
    c.Options = measure::CorpusOptions(file, false);
    c.Rate = file.Rate;
    run(std::move(c));
  }

  std::printf(
      "start, phasing: broadcasts whose start tone gave the right IOC (a second of slack after "
      "the tone),\n"
      "  and whose mode at \"Waiting\" was the one sent; faxes: saved / sent; f.start, f.stop: "
      "start\n"
      "  statuses outside the start tones, \"Stop\" outside the stop tones; border: the column "
      "where\n"
      "  the sent left edge landed; grey: mean absolute grey difference over the rows both hold "
      "(grey+-1:\n"
      "  a pixel between its sent neighbours counts as right); rows: saved / sent (two per line "
      "at IOC 288)\n\n");
  PrintTable("Robust detector", robust);
  PrintTable("Described detector", described);
  return 0;
}
