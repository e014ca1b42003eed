#pragma once
// A sound recording played through the receiver as if an interface box sent it: the recording is
// demodulated into the box's byte stream as the input thread reads, in real time or as fast as
// the decoder takes it, so the live window, spectrum and automatic saving receive it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "audio/AudioFile.h"
#include "interface/SerialPort.h"

namespace zarvo {

enum class PlaySpeed { RealTime, Fast };

class RecordingPort final : public SerialPort {
 public:
  // nullptr with the reason in `error` when the file is no sound recording, is cut or damaged
  // (found by reading it through once before anything plays, without demodulating, so that
  // nothing is decoded from a broken file), or its rate is outside 8000..96000 Hz; also when
  // the centre is outside 1000..2500 Hz.
  // `backlog` tells how many bytes the input thread has written that the decoder has not yet
  // taken; Fast keeps that below kFastBacklog so the receive buffer never overruns.
  static std::unique_ptr<RecordingPort> Open(const std::string& path, double centreHz,
                                             PlaySpeed speed, std::function<std::int32_t()> backlog,
                                             std::string& error);
  // Five seconds of bytes: well under the receive buffer's sixty.
  static constexpr std::int32_t kFastBacklog = 5 * kAudioByteRate;

  RecordingPort(const RecordingPort&) = delete;
  RecordingPort& operator=(const RecordingPort&) = delete;

  // Every byte, the held-back second included, has been handed out.
  bool Ended() const override { return finished_.load(); }
  double DurationSeconds() const { return duration_; }
  // Bytes handed out / 7200.
  double PlayedSeconds() const;
  // Non-empty once a read error in the middle of the file has made the port fail.
  std::string FailureReason() const override;

  // Up to `count` bytes as they are due; after the last byte, 0 after 100 ms like a silent line.
  int Read(std::uint8_t* buffer, int count) override;
  bool Write(const std::uint8_t*, std::size_t) override { return true; }
  void PurgeTransmit() override {}
  void SetRts(bool) override {}
  void Wake() override;

 private:
  using Clock = std::chrono::steady_clock;
  RecordingPort(PlaySpeed speed, std::function<std::int32_t()> backlog,
                AudioDemodulator demodulator);

  // Bytes that may be handed out now, at most `want`.
  int Allowed(int want, Clock::time_point now);
  // Hands out up to `count` bytes, demodulating more of the file as needed.
  int Take(std::uint8_t* out, int count);
  // Demodulates the next chunk of the file; at its end, or on a read error, the held-back bytes.
  void Demodulate();

  const PlaySpeed speed_;
  const std::function<std::int32_t()> backlog_;
  std::string path_;
  double duration_ = 0;

  // The input thread's alone.
  AudioFileReader reader_;
  AudioDemodulator demodulator_;
  std::vector<float> samples_;
  std::vector<std::uint8_t> pending_;  // demodulated, not yet handed out, from pendingAt_
  std::size_t pendingAt_ = 0;
  bool ended_ = false;       // the file is read to its end and flushed
  bool readFailed_ = false;  // a read error; what came before it is still handed out
  std::string readError_;
  bool started_ = false;
  Clock::time_point start_;

  std::atomic<std::int64_t> handedOut_{0};
  std::atomic<bool> finished_{false};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool failed_ = false;
  std::string failure_;
};

}  // namespace zarvo
