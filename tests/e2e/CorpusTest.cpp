// The recorded corpus from an independent generator (tests/corpus) through both detectors, as
// zarvo-decode runs it: each file must give the faxes, tones, phasing and pictures a faithful
// decoder reaches. The limits leave room to do better, not worse.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <sstream>

#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

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
class CorpusTest : public ::testing::TestWithParam<std::tuple<std::size_t, bool>> {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
};

TEST_P(CorpusTest, ReceivedAsAFaithfulDecoderDoes) {
  const auto& [index, described] = GetParam();
  const Expected& expected = kCorpus[index];
  measure::CorpusFile file;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpusFile(
      std::string(ZARVO_CORPUS_DIR) + "/" + expected.Name + ".raw.json", file, error))
      << error;
  std::vector<measure::SentBroadcast> sent;
  ASSERT_TRUE(measure::CorpusBroadcasts(file, sent, error)) << error;
  ASSERT_EQ(sent.size(), expected.Broadcasts.size());

  test::TempDir out;
  decode::DecodeOptions options = measure::CorpusOptions(file, described);
  options.OutDir = out.Path();
  const auto stream = measure::ReadStream(file.Stream);
  ASSERT_EQ(stream.size(), file.TotalSamples);
  const measure::Reception reception = measure::Receive(stream, options);
  EXPECT_TRUE(reception.Errors.empty());
  // A status within a second after its tone still belongs to it.
  const auto score = measure::Score(reception, sent, static_cast<std::uint64_t>(file.Rate));

  std::ostringstream events;
  for (const auto& e : reception.Events) events << e.Sample << " " << e.Text << "\n";
  SCOPED_TRACE(events.str());
  EXPECT_EQ(score.Faxes, static_cast<int>(sent.size()));
  EXPECT_EQ(score.FalseStarts, 0);
  EXPECT_LE(score.FalseStops, expected.FalseStops);

  for (std::size_t k = 0; k < sent.size(); ++k) {
    const auto& b = score.Broadcasts[k];
    const Reference& ref = expected.Broadcasts[k];
    SCOPED_TRACE(testing::Message() << "broadcast " << k << ", reference rows " << ref.RowsSaved
                                    << ", border " << ref.Border << ", grey " << ref.GreyError);
    EXPECT_TRUE(b.StartFound);
    EXPECT_EQ(b.IocFound, sent[k].Ioc);
    EXPECT_EQ(b.ModeAtWaiting, measure::ModeText(sent[k].Lpm, sent[k].Ioc));
    ASSERT_TRUE(b.HaveFax && b.Fax.Valid);
    const auto& fax = b.Fax;
    // Rows: a line of the white margin may go, and the stop may take a second and a half to
    // close the picture (the described counts take up to one).
    const int rowsPerLine = sent[k].Ioc == 288 ? 2 : 1;
    if (expected.RowSlack > 0) {
      EXPECT_LE(std::abs(fax.RowsSaved - fax.RowsSent), expected.RowSlack);
    } else {
      EXPECT_GE(fax.RowsSaved, fax.RowsSent - 2);
      EXPECT_LE(
          fax.RowsSaved,
          fax.RowsSent + rowsPerLine * static_cast<int>(std::ceil(1.5 * sent[k].Lpm / 60)) + 2);
    }
    if (described) {
      // The phasing edge found through a five-sample mean is worth up to four columns.
      if (!std::isnan(ref.Border)) {
        EXPECT_LE(std::abs(fax.Border), std::max(4.0, std::abs(ref.Border) + 1));
      }
      EXPECT_LE(fax.GreyError, 1.25 * ref.GreyError + 1.5);
    } else {
      // The fold finds the pulse's middle to a fraction of a sample: the edge lands within a
      // column and a half (a sample spans 1.4 columns at 240 lines per minute on 5236/s). A
      // line start a fraction of a column off moves every sharp edge of a chart by a pixel, so
      // the grey is held pixel for pixel only up to the sent neighbours.
      if (!std::isnan(ref.Border)) {
        EXPECT_LE(std::abs(fax.Border), 1.5);
      }
      EXPECT_LE(fax.GreyErrorNear, 1.25 * ref.GreyError + 1.5);
      EXPECT_LE(fax.GreyError, 1.25 * ref.GreyError + 8);
    }
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

// A file added to the corpus needs its figures here. Each description holds its stream's
// sections one after the other, nothing left out, and gives the decoder the box's settings.
TEST(CorpusListTest, EveryFileIsDescribedAndHasItsFigures) {
  std::vector<measure::CorpusFile> corpus;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpus(ZARVO_CORPUS_DIR, corpus, error)) << error;
  std::vector<std::string> names, held;
  for (const auto& e : kCorpus) held.push_back(e.Name);
  for (const auto& file : corpus) {
    SCOPED_TRACE(file.Name);
    names.push_back(file.Name);
    std::uint64_t end = 0;
    for (const auto& b : file.Broadcasts)
      for (const auto& s : b.Sections) {
        EXPECT_EQ(s.FirstSample, end);
        end = s.EndSample;
      }
    EXPECT_EQ(end, file.TotalSamples);
  }
  EXPECT_EQ(names, held);
  const auto options = [&](const std::string& prefix, bool described) {
    return measure::CorpusOptions(
        *std::find_if(corpus.begin(), corpus.end(),
                      [&](const auto& f) { return f.Name.rfind(prefix, 0) == 0; }),
        described);
  };
  // Without phasing the receiver is set to the broadcast's drum speed; with it, left alone.
  EXPECT_EQ(options("ramp", false).DrumSpeed, 0);
  EXPECT_EQ(options("grid", false).DrumSpeed, 2);
  EXPECT_FLOAT_EQ(options("text", true).ClockCal, -0.006f);  // 60 ppm fast
  EXPECT_TRUE(options("text", true).DescribedDetector);
  EXPECT_EQ(options("resolution", false).InterfaceType, 3);
}

}  // namespace
}  // namespace zarvo
