// The recorded corpus from an independent generator (tests/corpus) through both detectors, as
// zarvo-decode runs it: each file must give the faxes, tones, phasing and pictures a faithful
// decoder reaches. The limits leave room to do better, not worse. And the measuring library
// itself, held to hand-made figures: where a fax landed and its grey error, the descriptions
// read, statuses judged by section.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "measure/TableText.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using measure::CompareFax;

// A faithful decoder's figures for one broadcast, measured with measure::CompareFax.
struct Reference {
  int RowsSaved;
  double Border;  // NAN: not held (no phasing, the line start falls anywhere)
  double GreyError;
};

struct Expected {
  const char* Name;
  std::vector<Reference> Broadcasts;
  int FalseStops = 0;  // stops today's decoder shows where no stop tone was sent
  int RowSlack = 0;    // rows either side of the sent ones instead of the usual limits
};

// The figures that came with the corpus, but for three grey errors given there that this
// comparison does not reproduce (27.7 for the text, 9.2 for the bars, 15.3 for the ramp at a
// border of 0); for those the figure is the one measured here with today's decoder.
const Expected kCorpus[] = {
    {"grid-90-576-4800-noise40", {{155, -1.5, 7.3}}},
    {"ramp-60-576-7200-nophasing", {{59, NAN, 1.9}}, 0, 8},
    {"resolution-240-288-5760", {{254, -3.9, 2.5}}},
    {"text-180-576-7200-clock60ppm-mistune40", {{206, -2.1, 2.5}}},
    // Its noise lead-in makes today's decoder show a stop just before the first start tone.
    {"two-broadcasts-7200", {{126, -1.0, 0.1}, {167, -2.9, 1.0}}, 1},
    {"weather-120-576-7200", {{246, -1.0, 3.2}}},
};

// Each corpus file through the robust and the described detector.
class CorpusTest : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {};

TEST_P(CorpusTest, ReceivedAsAFaithfulDecoderDoes) {
  const auto& [index, described] = GetParam();
  const Expected& expected = kCorpus[index];
  measure::CorpusFile file;
  std::vector<measure::SentBroadcast> sent;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpusFile(
                  std::string(ZARVO_CORPUS_DIR) + "/" + expected.Name + ".raw.json", file, error) &&
              measure::CorpusBroadcasts(file, sent, error))
      << error;
  ASSERT_EQ(sent.size(), expected.Broadcasts.size());

  test::TempDir out;
  decode::DecodeOptions options = measure::CorpusOptions(file, described);
  options.OutDir = out.Path();
  const measure::Reception reception = measure::Receive(measure::ReadStream(file.Stream), options);
  EXPECT_TRUE(reception.Errors.empty());
  // A status within a second after its tone still belongs to it.
  const auto score = measure::Score(reception, sent, static_cast<std::uint64_t>(file.Rate));
  std::string events;
  for (const auto& e : reception.Events) events += std::to_string(e.Sample) + " " + e.Text + "\n";
  SCOPED_TRACE(events);
  EXPECT_EQ(std::tuple(score.Faxes, score.FalseStarts), std::tuple(int(sent.size()), 0));
  EXPECT_LE(score.FalseStops, expected.FalseStops);

  for (std::size_t k = 0; k < sent.size(); ++k) {
    const auto& b = score.Broadcasts[k];
    const Reference& ref = expected.Broadcasts[k];
    SCOPED_TRACE(testing::Message() << "broadcast " << k << ", reference rows " << ref.RowsSaved
                                    << ", border " << ref.Border << ", grey " << ref.GreyError);
    EXPECT_EQ(std::tuple(b.StartFound, b.IocFound, b.ModeAtWaiting),
              std::tuple(true, sent[k].Ioc, measure::ModeText(sent[k].Lpm, sent[k].Ioc)));
    ASSERT_TRUE(b.HaveFax && b.Fax.Valid);
    const auto& fax = b.Fax;
    // Rows: a line of the white margin may go, and the stop may take a second and a half to
    // close the picture (the described counts take up to one).
    const int slack = expected.RowSlack, perLine = sent[k].Ioc == 288 ? 2 : 1;
    EXPECT_GE(fax.RowsSaved, fax.RowsSent - (slack ? slack : 2));
    const int late = slack ? slack : perLine * int(std::ceil(1.5 * sent[k].Lpm / 60)) + 2;
    EXPECT_LE(fax.RowsSaved, fax.RowsSent + late);
    // The described detector finds the phasing edge through a five-sample mean, worth up to four
    // columns. The robust fold finds the pulse's middle to a fraction of a sample: the edge lands
    // within a column and a half (a sample spans 1.4 columns at 240 lines per minute on 5236/s).
    // A line start a fraction of a column off moves every sharp edge of a chart by a pixel, so
    // the grey is held pixel for pixel only up to the sent neighbours.
    if (!std::isnan(ref.Border)) {
      EXPECT_LE(std::abs(fax.Border), described ? std::max(4.0, std::abs(ref.Border) + 1) : 1.5);
    }
    EXPECT_LE(fax.GreyErrorNear, 1.25 * ref.GreyError + 1.5);
    EXPECT_LE(fax.GreyError, 1.25 * ref.GreyError + (described ? 1.5 : 8));
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest,
                         testing::Combine(testing::Range<std::size_t>(0, std::size(kCorpus)),
                                          testing::Bool()),
                         [](const auto& p) {
                           std::string name = kCorpus[std::get<0>(p.param)].Name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name + (std::get<1>(p.param) ? "_Described" : "_Robust");
                         });

// A file added to the corpus needs its figures here.
TEST(CorpusListTest, EveryFileHasItsFiguresAndItsClockCalibration) {
  std::vector<measure::CorpusFile> corpus;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpus(ZARVO_CORPUS_DIR, corpus, error)) << error;
  ASSERT_EQ(corpus.size(), std::size(kCorpus));
  for (std::size_t i = 0; i < corpus.size(); ++i) EXPECT_EQ(corpus[i].Name, kCorpus[i].Name);
  // The clock calibration takes out the box's 60 ppm.
  const auto text = measure::CorpusOptions(corpus[3], true);
  EXPECT_EQ(std::tuple(text.ClockCal, text.DescribedDetector), std::tuple(-0.006f, true));
}

// What a receiver draws from `sent` when its first line lands on row `firstRow` and its line
// start on column `border`: the sent lines as one pixel stream, `rowsPerLine` rows per line.
// Rows outside the sent picture are `fill`.
sim::GreyImage Drawn(const sim::GreyImage& sent, int rows, int firstRow, int border,
                     int rowsPerLine = 1, std::uint8_t fill = 128) {
  sim::GreyImage out{sent.Width, rows, {}};
  out.Pixels.assign(static_cast<std::size_t>(sent.Width) * rows, fill);
  const auto total = static_cast<long long>(sent.Pixels.size());
  for (int r = std::max(0, firstRow); r < rows; ++r)
    for (int x = 0; x < sent.Width; ++x) {
      const long long i =
          static_cast<long long>((r - firstRow) / rowsPerLine) * sent.Width + x - border;
      if (i >= 0 && i < total)
        out.Pixels[static_cast<std::size_t>(r) * sent.Width + x] = sent.Pixels[i];
    }
  return out;
}

TEST(FaxCompare, FindsWhereTheSentPictureLanded) {
  const sim::GreyImage chart = sim::TestChart(120), lines = measure::SentLines(chart, 288);
  struct Row {
    const char* What;
    int Ioc, ExtraRows, FirstRow, Border;
  };
  const Row rows[] = {
      // The tail of each line wraps to the right end of the row above.
      {"rows of something else above, the stop tone below, the line start early", 576, 6, 2, -2},
      {"the top cut off, the line start late", 576, -10, -10, 3},
      {"the line start far right", 576, 2, 1, 400},
      {"the line start far left", 576, 2, 1, -700},
      {"each sent line fills two rows", 288, 4, 0, 4},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.What);
    const sim::GreyImage& sent = r.Ioc == 288 ? lines : chart;
    const int perLine = r.Ioc == 288 ? 2 : 1, height = perLine * sent.Height + r.ExtraRows;
    const auto c = CompareFax(Drawn(sent, height, r.FirstRow, r.Border, perLine), sent, r.Ioc);
    EXPECT_EQ(
        std::tuple(c.Valid, c.RowsSaved, c.RowsSent, c.FirstRow, c.GreyError, c.GreyErrorNear),
        std::tuple(true, height, perLine * sent.Height, r.FirstRow, 0.0, 0.0));
    EXPECT_NEAR(c.Border, r.Border, 0.01);
  }
  // Taken as IOC 576 the IOC 288 fax is half as tall and no longer matches.
  EXPECT_GT(CompareFax(Drawn(lines, 124, 0, 4, 2), lines, 576).GreyError, 5.0);
  // A border half a line off is the same as the other way round one line later.
  EXPECT_NEAR(std::abs(CompareFax(Drawn(chart, 122, 1, 905), chart, 576).Border), 905, 0.01);
  EXPECT_FALSE(CompareFax({}, chart, 576).Valid || CompareFax(chart, {}, 576).Valid);
  const auto narrow = CompareFax({100, 10, std::vector<std::uint8_t>(1000, 0)}, chart, 576);
  EXPECT_EQ(std::tuple(narrow.Valid, narrow.RowsSaved, narrow.RowsSent),
            std::tuple(false, 10, 120));
}

TEST(FaxCompare, GreyErrorAndTheHalfPixelTolerance) {
  const sim::GreyImage chart = sim::TestChart(120);
  // Every saved pixel halfway between two sent ones: the line start 1.5 columns late.
  sim::GreyImage saved = Drawn(chart, chart.Height, 0, 1);
  const sim::GreyImage later = Drawn(chart, chart.Height, 0, 2);
  for (std::size_t i = 0; i < saved.Pixels.size(); ++i)
    saved.Pixels[i] = static_cast<std::uint8_t>((saved.Pixels[i] + later.Pixels[i] + 1) / 2);
  auto c = CompareFax(saved, chart, 576);
  ASSERT_TRUE(c.Valid);
  EXPECT_NEAR(c.Border, 1.5, 0.1);
  EXPECT_GT(c.GreyError, 1.0);        // every edge is off by half its step
  EXPECT_LT(c.GreyErrorNear, 0.001);  // and between its neighbours

  // A receiver tuned 20 grey levels light, with rows of black below the picture.
  saved = Drawn(chart, chart.Height + 3, 0, 0, 1, 0);
  double expected = 0;
  for (std::size_t i = 0; i < chart.Pixels.size(); ++i) {
    const int lighter = std::min(255, saved.Pixels[i] + 20);
    expected += (lighter - saved.Pixels[i]) / static_cast<double>(chart.Pixels.size());
    saved.Pixels[i] = static_cast<std::uint8_t>(lighter);
  }
  c = CompareFax(saved, chart, 576);
  EXPECT_EQ(std::tuple(c.FirstRow, c.RowsSaved), std::tuple(0, chart.Height + 3));
  EXPECT_NEAR(c.Border, 0.0, 0.01);
  EXPECT_NEAR(c.GreyError, expected, 1e-9);
  EXPECT_GT(c.GreyErrorNear, 0.5 * expected);
}

// A description that would be read as a wrong broadcast is refused.
TEST(CorpusFile, RefusesDescriptionsThatWouldMislead) {
  test::TempDir dir;
  const std::string good =
      R"({"rate": 7200, "cal_low": 0, "cal_high": 255, "clock_ppm": 0, "noise_hz": 0,
 "mistune_hz": 0, "total_samples": 100, "note": "a \"quoted\" word\n", "broadcasts": [{"lpm": 120,
 "ioc": 576, "extra": [1, true, null, {}], "image": {"rows_sent": 4, "sent_pgm": "x.pgm"},
 "sections": [{"name": "start", "start_sample": 0, "end_sample": 60, "start_s": 0, "end_s": 0.1,
 "start_pos": 0}, {"name": "image", "start_sample": 60, "end_sample": 100, "start_s": 0.1,
 "end_s": 0.2, "start_pos": 60.0e0}]}]})";
  const auto read = [&](const std::string& from, const std::string& to, std::string& error) {
    std::string text = good;
    if (const auto at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
    std::ofstream(dir.File("s.raw.json")) << text;
    measure::CorpusFile file;
    return measure::ReadCorpusFile(dir.File("s.raw.json"), file, error);
  };
  std::string error;
  ASSERT_TRUE(read("", "", error)) << error;
  const std::string refused[][3] = {
      {R"("rate": 7200,)", "", "no rate"},
      {R"("rate": 7200)", R"("rate": "7200")", "no rate"},
      {R"("ioc": 576)", R"("ioc": 500)", "bad ioc"},
      {R"("name": "image")", R"("name": "picture")", "unknown section picture"},
      {R"("end_sample": 100)", R"("end_sample": 101)", "outside the stream"},
      {R"("cal_low": 0)", R"("cal_low": 255)", "calibration"},
      {R"("rows_sent": 4, )", "", "no rows_sent"},
  };
  for (const auto& [from, to, why] : refused) {
    EXPECT_FALSE(read(from, to, error)) << from;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
}

// Statuses placed on two broadcasts' sections, 1000 samples a second.
TEST(ReceptionScore, StatusesAreJudgedByTheSectionTheyFallIn) {
  const auto broadcast = [](std::uint64_t at, int lpm) {
    measure::SentBroadcast b{.Lpm = lpm, .Ioc = 576, .Sections = {}, .Lines = {16, 4, {}}};
    // Lead-in, start, phasing, picture, stop and trailer.
    for (int k = 0; const int length : {2000, 5000, 10000, 30000, 5000, 3000})
      b.Sections.push_back(
          {.Kind = sim::SectionKind(k++), .FirstSample = at, .EndSample = at += length});
    b.Lines.Pixels.assign(64, 255);
    b.Lines.Pixels[0] = 0;
    return b;
  };
  // Broadcast 0: 0..55000 (start 2000..7000, stop 47000..52000); broadcast 1 from 55000.
  const std::vector<measure::SentBroadcast> sent = {broadcast(0, 120), broadcast(55000, 240)};
  const std::string m120 = "120 LPM, IOC 576", m288 = "120 LPM, IOC 288", m240 = "240 LPM, IOC 576";
  measure::Reception r;
  r.Events = {
      {0, m120, m120},
      {1500, "Start IOC 576", m120},   // in the lead-in: false
      {3000, "Stop", m120},            // in the start tone: false
      {3500, "Start IOC 576", m120},   // found
      {12000, "Waiting", m120},        // right
      {30000, "Stop", m120},           // in the picture: false
      {52900, "Stop", m120},           // within the slack after the stop tone
      {62500, "Start IOC 288", m288},  // the slack after the start tone: found
      {63000, "Waiting", m288},        // the wrong speed and IOC
      {64000, "Waiting", m240},        // only the first counts
      {90000, "Start IOC 576", m240},  // in the picture: false
  };
  const sim::GreyImage fax{16, 4, sent[0].Lines.Pixels};
  r.Faxes = {{30000, fax}, {61000, {16, 6, std::vector<std::uint8_t>(96, 255)}}, {100000, fax}};
  const auto score = measure::Score(r, sent, 1000);
  EXPECT_EQ(std::tuple(score.Faxes, score.FalseStarts, score.FalseStops), std::tuple(3, 2, 2));
  ASSERT_EQ(score.Broadcasts.size(), 2u);
  // The first one's largest fax, saved when the next start tone came, is its own.
  const auto& [first, second] = std::tie(score.Broadcasts[0], score.Broadcasts[1]);
  EXPECT_EQ(std::tuple(first.StartFound, first.IocFound, first.PhasingRight, first.HaveFax,
                       first.Fax.RowsSaved),
            std::tuple(true, 576, true, true, 6));
  EXPECT_EQ(
      std::tuple(second.StartFound, second.IocFound, second.PhasingRight, second.ModeAtWaiting,
                 second.HaveFax, second.Fax.RowsSaved, second.Fax.GreyError),
      std::tuple(true, 288, false, m288, true, 4, 0.0));

  // Noise alone: every start and stop is false.
  const auto alone = measure::Score(r, {}, 1000);
  EXPECT_EQ(std::tuple(alone.FalseStarts, alone.FalseStops, alone.Broadcasts.size()),
            std::tuple(4, 3, 0u));
}

}  // namespace
}  // namespace zarvo
