#pragma once
// A stream through the receiver's decoder as zarvo-decode runs it, with every status placed at
// its sample, and the reception judged against what was sent: start tones, phasing, stops and
// the saved faxes.
#include <cstdint>
#include <string>
#include <vector>

#include "decode/DecodeRun.h"
#include "measure/CorpusFile.h"
#include "measure/FaxCompare.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"

namespace zarvo::measure {

struct SentBroadcast {
  int Lpm = 120;
  int Ioc = 576;
  std::vector<sim::Section> Sections;  // in order; a missing kind was not sent
  sim::GreyImage Lines;                // the picture as sent, one row per scan line
};

struct StatusEvent {
  std::uint64_t Sample = 0;  // within a millisecond: the decoder reports once per drained tick
  std::string Text;
  std::string Mode;  // the mode text in force when it was shown
};

struct SavedPicture {
  std::uint64_t Sample = 0;
  sim::GreyImage Picture;
};

// The decoder's statuses and saved faxes for one stream; the faxes are read back from the files
// DecodeRun wrote into `options.OutDir`, which are then removed.
struct Reception {
  std::vector<StatusEvent> Events;
  std::vector<SavedPicture> Faxes;
  std::vector<std::string> Errors;
};
Reception Receive(const std::vector<std::uint8_t>& stream, const decode::DecodeOptions& options);

struct BroadcastScore {
  bool StartFound = false;  // a start status during the start tone (or just after it)
  int IocFound = 0;         // the IOC of that status
  bool PhasingRight = false;
  std::string ModeAtWaiting;  // empty when "Waiting" never came
  bool HaveFax = false;
  FaxComparison Fax;  // the largest fax saved for this broadcast
};

struct ReceptionScore {
  std::vector<BroadcastScore> Broadcasts;
  int Faxes = 0;
  int FalseStarts = 0;  // start statuses outside every start tone
  int FalseStops = 0;   // "Stop" outside every stop tone
};

// `slackSamples` is how long after a tone's end its status still counts as found in it.
ReceptionScore Score(const Reception& reception, const std::vector<SentBroadcast>& sent,
                     std::uint64_t slackSamples);

// The mode text the decoder shows for a drum speed and IOC ("120 LPM, IOC 576").
std::string ModeText(int lpm, int ioc);

// The broadcasts of a corpus file with their sent pictures; false with `error` when a picture
// cannot be read or has the wrong number of rows.
bool CorpusBroadcasts(const CorpusFile& file, std::vector<SentBroadcast>& out, std::string& error);
// Decoding options for a corpus file: its interface type and calibration, the clock
// calibration that takes out the box's clock error, and the drum speed of a broadcast without
// phasing lines.
decode::DecodeOptions CorpusOptions(const CorpusFile& file, bool describedDetector);
// The stream's bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadStream(const std::string& path);

}  // namespace zarvo::measure
