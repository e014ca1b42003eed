// The measuring helpers of the corpus test and the reception table: the fax comparison, the
// corpus descriptions, and the statuses placed on a stream's sections.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "measure/CorpusFile.h"
#include "measure/FaxCompare.h"
#include "measure/ReceptionScore.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using measure::CompareFax;

// What a receiver draws from `sent` when its first line lands on row `firstRow` and its line
// start on column `border`: the sent lines as one pixel stream, `rowsPerLine` rows per line.
// Rows outside the sent picture are `fill`.
sim::GreyImage Drawn(const sim::GreyImage& sent, int rows, int firstRow, int border,
                     int rowsPerLine = 1, std::uint8_t fill = 128) {
  sim::GreyImage out{sent.Width, rows, {}};
  out.Pixels.assign(static_cast<std::size_t>(sent.Width) * rows, fill);
  const long long total = static_cast<long long>(sent.Width) * sent.Height;
  for (int r = 0; r < rows; ++r) {
    const int offset = r - firstRow;
    if (offset < 0) continue;
    const long long line = offset / rowsPerLine;
    for (int x = 0; x < sent.Width; ++x) {
      const long long i = line * sent.Width + x - border;
      if (i >= 0 && i < total)
        out.Pixels[static_cast<std::size_t>(r) * sent.Width + x] = sent.Pixels[i];
    }
  }
  return out;
}

sim::GreyImage EveryOtherRow(const sim::GreyImage& picture) {
  sim::GreyImage lines{picture.Width, (picture.Height + 1) / 2, {}};
  for (int r = 0; r < picture.Height; r += 2)
    lines.Pixels.insert(lines.Pixels.end(), picture.Pixels.begin() + r * picture.Width,
                        picture.Pixels.begin() + (r + 1) * picture.Width);
  return lines;
}

class FaxCompareTest : public ::testing::Test {
 protected:
  const sim::GreyImage chart = sim::TestChart(120);
};

TEST_F(FaxCompareTest, FindsTheRowAndColumnWhereTheSentPictureLanded) {
  // Two rows of something else above, the stop tone's rows below, the line start two columns
  // early: the tail of each line wraps to the right end of the row above.
  const sim::GreyImage saved = Drawn(chart, chart.Height + 6, 2, -2);
  const auto c = CompareFax(saved, chart, 576);
  ASSERT_TRUE(c.Valid);
  EXPECT_EQ(c.RowsSaved, chart.Height + 6);
  EXPECT_EQ(c.RowsSent, chart.Height);
  EXPECT_EQ(c.FirstRow, 2);
  EXPECT_NEAR(c.Border, -2.0, 0.01);
  EXPECT_EQ(c.GreyError, 0.0);
  EXPECT_EQ(c.GreyErrorNear, 0.0);
  EXPECT_EQ(c.OverlapRows, chart.Height);

  // The top cut off, the line start late.
  const auto late = CompareFax(Drawn(chart, chart.Height - 10, -10, 3), chart, 576);
  EXPECT_EQ(late.FirstRow, -10);
  EXPECT_NEAR(late.Border, 3.0, 0.01);
  EXPECT_EQ(late.GreyError, 0.0);
}

TEST_F(FaxCompareTest, AtIoc288EachSentLineFillsTwoRows) {
  const sim::GreyImage lines = EveryOtherRow(chart);
  const auto c = CompareFax(Drawn(lines, 2 * lines.Height + 4, 0, 4, 2), lines, 288);
  ASSERT_TRUE(c.Valid);
  EXPECT_EQ(c.RowsSent, 2 * lines.Height);
  EXPECT_EQ(c.FirstRow, 0);
  EXPECT_NEAR(c.Border, 4.0, 0.01);
  EXPECT_EQ(c.GreyError, 0.0);
  // Taken as IOC 576 the same fax is half as tall and no longer matches.
  const auto wrong = CompareFax(Drawn(lines, 2 * lines.Height + 4, 0, 4, 2), lines, 576);
  EXPECT_GT(wrong.GreyError, 5.0);
}

TEST_F(FaxCompareTest, FindsALineStartFarFromColumnZero) {
  for (const int border : {400, -700, 905}) {
    const auto c = CompareFax(Drawn(chart, chart.Height + 2, 1, border), chart, 576);
    ASSERT_TRUE(c.Valid);
    // A border half a line off is the same as the other way round one line later.
    if (border == 905)
      EXPECT_TRUE(std::abs(c.Border - 905) < 0.01 || std::abs(c.Border + 905) < 0.01) << c.Border;
    else
      EXPECT_NEAR(c.Border, border, 0.01);
    EXPECT_EQ(c.GreyError, 0.0) << border;
  }
}

TEST_F(FaxCompareTest, BorderBetweenTwoColumnsAndTheHalfPixelTolerance) {
  // Every saved pixel halfway between two sent ones: the line start 1.5 columns late.
  sim::GreyImage saved = Drawn(chart, chart.Height, 0, 1);
  const sim::GreyImage later = Drawn(chart, chart.Height, 0, 2);
  for (std::size_t i = 0; i < saved.Pixels.size(); ++i)
    saved.Pixels[i] = static_cast<std::uint8_t>((saved.Pixels[i] + later.Pixels[i] + 1) / 2);
  const auto c = CompareFax(saved, chart, 576);
  ASSERT_TRUE(c.Valid);
  EXPECT_NEAR(c.Border, 1.5, 0.1);
  EXPECT_GT(c.GreyError, 1.0);        // every edge is off by half its step
  EXPECT_LT(c.GreyErrorNear, 0.001);  // and between its neighbours
}

TEST_F(FaxCompareTest, GreyErrorIsTheMeanDifferenceOverTheOverlap) {
  // A receiver tuned 20 grey levels light, with rows of noise below the picture.
  sim::GreyImage saved = Drawn(chart, chart.Height + 3, 0, 0, 1, 0);
  double expected = 0;
  for (std::size_t i = 0; i < chart.Pixels.size(); ++i) {
    const int lighter = std::min(255, saved.Pixels[i] + 20);
    expected += lighter - saved.Pixels[i];
    saved.Pixels[i] = static_cast<std::uint8_t>(lighter);
  }
  expected /= static_cast<double>(chart.Pixels.size());
  const auto c = CompareFax(saved, chart, 576);
  EXPECT_EQ(c.FirstRow, 0);
  EXPECT_NEAR(c.Border, 0.0, 0.01);
  EXPECT_NEAR(c.GreyError, expected, 1e-9);
  EXPECT_GT(c.GreyErrorNear, 0.5 * expected);
}

TEST_F(FaxCompareTest, NothingToCompare) {
  EXPECT_FALSE(CompareFax(sim::GreyImage{}, chart, 576).Valid);
  EXPECT_FALSE(CompareFax(chart, sim::GreyImage{}, 576).Valid);
  sim::GreyImage narrow{100, 10, std::vector<std::uint8_t>(1000, 0)};
  const auto c = CompareFax(narrow, chart, 576);
  EXPECT_FALSE(c.Valid);
  EXPECT_EQ(c.RowsSaved, 10);
  EXPECT_EQ(c.RowsSent, chart.Height);
}

// The corpus as it lies in the repository: every description readable and consistent with its
// stream and pictures.
TEST(CorpusFileTest, ReadsEveryDescription) {
  std::vector<measure::CorpusFile> corpus;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpus(ZARVO_CORPUS_DIR, corpus, error)) << error;
  ASSERT_EQ(corpus.size(), 6u);
  for (const auto& file : corpus) {
    SCOPED_TRACE(file.Name);
    EXPECT_EQ(std::filesystem::file_size(file.Stream), file.TotalSamples);
    EXPECT_GT(measure::InterfaceTypeForRate(file.Rate), 0);
    ASSERT_FALSE(file.Broadcasts.empty());
    std::uint64_t end = 0;
    for (const auto& b : file.Broadcasts)
      for (const auto& s : b.Sections) {
        EXPECT_EQ(s.FirstSample, end);  // one after the other, nothing left out
        end = s.EndSample;
      }
    EXPECT_EQ(end, file.TotalSamples);
    std::vector<measure::SentBroadcast> sent;
    EXPECT_TRUE(measure::CorpusBroadcasts(file, sent, error)) << error;
    for (const auto& b : sent) EXPECT_EQ(b.Lines.Width, 1810);
  }
  const auto named = [&](const std::string& prefix) -> const measure::CorpusFile& {
    return *std::find_if(corpus.begin(), corpus.end(),
                         [&](const auto& f) { return f.Name.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(named("two-broadcasts").Broadcasts.size(), 2u);
  EXPECT_EQ(named("two-broadcasts").Broadcasts[1].Lpm, 240);
  EXPECT_EQ(named("resolution").Broadcasts[0].Ioc, 288);
  EXPECT_EQ(named("text").ClockPpm, 60);
  const auto& ramp = named("ramp").Broadcasts[0].Sections;
  EXPECT_TRUE(std::none_of(ramp.begin(), ramp.end(),
                           [](const auto& s) { return s.Kind == sim::SectionKind::Phasing; }));
  // Without phasing the receiver is set to the broadcast's drum speed; with it, left alone.
  EXPECT_EQ(measure::CorpusOptions(named("ramp"), false).DrumSpeed, 0);
  EXPECT_EQ(measure::CorpusOptions(named("grid"), false).DrumSpeed, 2);
  EXPECT_FLOAT_EQ(measure::CorpusOptions(named("text"), true).ClockCal, -0.006f);
  EXPECT_TRUE(measure::CorpusOptions(named("text"), true).DescribedDetector);
  EXPECT_EQ(measure::CorpusOptions(named("resolution"), false).InterfaceType, 3);
}

TEST(CorpusFileTest, RefusesBrokenDescriptions) {
  test::TempDir dir;
  const std::string good =
      R"({"rate": 7200, "cal_low": 0, "cal_high": 255, "clock_ppm": 0, "noise_hz": 0,
          "mistune_hz": 0, "total_samples": 100, "note": "a \"quoted\" word\n",
          "broadcasts": [{"lpm": 120, "ioc": 576, "extra": [1, true, null, {}],
            "image": {"rows_sent": 4, "sent_pgm": "x.pgm"},
            "sections": [{"name": "start", "start_sample": 0, "end_sample": 60,
                          "start_s": 0, "end_s": 0.1, "start_pos": 0},
                         {"name": "image", "start_sample": 60, "end_sample": 100,
                          "start_s": 0.1, "end_s": 0.2, "start_pos": 60.0e0}]}]})";
  const auto read = [&](const std::string& text, std::string& error) {
    std::ofstream(dir.File("s.raw.json")) << text;
    measure::CorpusFile file;
    return measure::ReadCorpusFile(dir.File("s.raw.json"), file, error);
  };
  std::string error;
  ASSERT_TRUE(read(good, error)) << error;

  const auto refused = [&](std::string from, const std::string& to, const std::string& why) {
    std::string text = good;
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::string message;
    EXPECT_FALSE(read(text, message)) << to;
    EXPECT_NE(message.find(why), std::string::npos) << message;
  };
  refused(R"("rate": 7200,)", "", "no rate");
  refused(R"("rate": 7200)", R"("rate": "7200")", "no rate");
  refused(R"("ioc": 576)", R"("ioc": 500)", "bad ioc");
  refused(R"("name": "image")", R"("name": "picture")", "unknown section picture");
  refused(R"("end_sample": 100)", R"("end_sample": 101)", "outside the stream");
  refused(R"("cal_low": 0)", R"("cal_low": 255)", "calibration");
  refused(R"("rows_sent": 4, )", "", "no rows_sent");
  refused(R"(}]}]})", R"(}]}])", "at byte");
  refused(R"("note")", R"(note)", "string expected");
  EXPECT_FALSE(read(std::string(100, '[') + std::string(100, ']'), error));
  EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;
  EXPECT_FALSE(read("[]", error));
  measure::CorpusFile none;
  EXPECT_FALSE(measure::ReadCorpusFile(dir.File("none.json"), none, error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

// Statuses placed on two broadcasts' sections, 1000 samples a second.
TEST(ReceptionScoreTest, StatusesAreJudgedByTheSectionTheyFallIn) {
  const auto broadcast = [](std::uint64_t at, int lpm, int ioc) {
    measure::SentBroadcast b;
    b.Lpm = lpm;
    b.Ioc = ioc;
    const std::pair<sim::SectionKind, std::uint64_t> parts[] = {
        {sim::SectionKind::Lead, 2000},     {sim::SectionKind::Start, 5000},
        {sim::SectionKind::Phasing, 10000}, {sim::SectionKind::Picture, 30000},
        {sim::SectionKind::Stop, 5000},     {sim::SectionKind::Trailer, 3000}};
    for (const auto& [kind, length] : parts) {
      sim::Section s;
      s.Kind = kind;
      s.FirstSample = at;
      s.EndSample = at += length;
      b.Sections.push_back(s);
    }
    b.Lines = sim::GreyImage{16, 4, std::vector<std::uint8_t>(64, 255)};
    b.Lines.Pixels[0] = 0;
    return b;
  };
  // Broadcast 0: 0..55000 (start 2000..7000, stop 47000..52000); broadcast 1 from 55000.
  const std::vector<measure::SentBroadcast> sent = {broadcast(0, 120, 576),
                                                    broadcast(55000, 240, 576)};
  measure::Reception r;
  const auto event = [&](std::uint64_t at, const std::string& text, const std::string& mode) {
    r.Events.push_back({at, text, mode});
  };
  event(0, "120 LPM, IOC 576", "120 LPM, IOC 576");
  event(1500, "Start IOC 576", "120 LPM, IOC 576");   // in the lead-in: false
  event(3000, "Stop", "120 LPM, IOC 576");            // in the start tone: false
  event(3500, "Start IOC 576", "120 LPM, IOC 576");   // found
  event(12000, "Waiting", "120 LPM, IOC 576");        // right
  event(30000, "Stop", "120 LPM, IOC 576");           // in the picture: false
  event(52900, "Stop", "120 LPM, IOC 576");           // within the slack after the stop tone
  event(62500, "Start IOC 288", "120 LPM, IOC 288");  // the slack after the start tone: found
  event(63000, "Waiting", "120 LPM, IOC 288");        // the wrong speed and IOC
  event(64000, "Waiting", "240 LPM, IOC 576");        // only the first counts
  event(90000, "Start IOC 576", "240 LPM, IOC 576");  // in the picture: false
  const sim::GreyImage fax{16, 4, sent[0].Lines.Pixels};
  const sim::GreyImage tall{16, 6, std::vector<std::uint8_t>(96, 255)};
  r.Faxes = {{30000, fax}, {61000, tall}, {100000, fax}};
  const auto score = measure::Score(r, sent, 1000);

  EXPECT_EQ(score.Faxes, 3);
  EXPECT_EQ(score.FalseStarts, 2);
  EXPECT_EQ(score.FalseStops, 2);
  ASSERT_EQ(score.Broadcasts.size(), 2u);
  const auto& first = score.Broadcasts[0];
  EXPECT_TRUE(first.StartFound);
  EXPECT_EQ(first.IocFound, 576);
  EXPECT_TRUE(first.PhasingRight);
  // Its largest fax, saved when the next start tone came, is its own.
  ASSERT_TRUE(first.HaveFax);
  EXPECT_EQ(first.Fax.RowsSaved, 6);
  const auto& second = score.Broadcasts[1];
  EXPECT_TRUE(second.StartFound);
  EXPECT_EQ(second.IocFound, 288);
  EXPECT_FALSE(second.PhasingRight);
  EXPECT_EQ(second.ModeAtWaiting, "120 LPM, IOC 288");
  ASSERT_TRUE(second.HaveFax);
  EXPECT_EQ(second.Fax.RowsSaved, 4);
  EXPECT_EQ(second.Fax.GreyError, 0.0);

  // Noise alone: every start and stop is false.
  const auto alone = measure::Score(r, {}, 1000);
  EXPECT_EQ(alone.FalseStarts, 4);
  EXPECT_EQ(alone.FalseStops, 3);
  EXPECT_TRUE(alone.Broadcasts.empty());
}

// A short broadcast through the decoder: statuses at their samples, the fax read back from its
// file and the file gone.
TEST(ReceptionScoreTest, ReceivesABroadcastFromTheSimulator) {
  sim::BroadcastOptions sent;
  sent.Lpm = 240;
  sent.LeadSeconds = 2;
  sent.PhasingSeconds = 5;
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  const auto stream = sim::MakeBroadcast(chart, sent);
  const auto sections = sim::BroadcastLayout(chart.Height, sent);
  test::TempDir out;
  for (const bool described : {false, true}) {
    decode::DecodeOptions options;
    options.OutDir = out.Path();
    options.Start = {2026, 12, 7, 10, 0, 0};
    options.DescribedDetector = described;
    const auto r = measure::Receive(stream, options);
    EXPECT_TRUE(r.Errors.empty());
    ASSERT_EQ(r.Faxes.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(out.Path()));
    EXPECT_EQ(r.Faxes[0].Picture.Width, 1810);
    EXPECT_GE(r.Faxes[0].Sample, sections[4].FirstSample);  // saved at the stop tone
    EXPECT_LT(r.Faxes[0].Sample, sections[4].EndSample);
    EXPECT_TRUE(std::is_sorted(r.Events.begin(), r.Events.end(),
                               [](const auto& a, const auto& b) { return a.Sample < b.Sample; }));
    const auto start = std::find_if(r.Events.begin(), r.Events.end(),
                                    [](const auto& e) { return e.Text == "Start IOC 576"; });
    ASSERT_NE(start, r.Events.end());
    EXPECT_GE(start->Sample, sections[1].FirstSample);
    EXPECT_LT(start->Sample, sections[1].EndSample);

    measure::SentBroadcast b;
    b.Lpm = 240;
    b.Ioc = 576;
    b.Sections = sections;
    b.Lines = chart;
    const auto score = measure::Score(r, {b}, 7200);
    EXPECT_TRUE(score.Broadcasts[0].PhasingRight) << score.Broadcasts[0].ModeAtWaiting;
    EXPECT_EQ(score.FalseStarts + score.FalseStops, 0);
    EXPECT_NEAR(score.Broadcasts[0].Fax.Border, 0, 4);
    EXPECT_LT(score.Broadcasts[0].Fax.GreyError, 5);
  }
}

}  // namespace
}  // namespace zarvo
