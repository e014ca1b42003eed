#include "capture/RecordingPort.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace zarvo {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr auto kReadLimit = std::chrono::milliseconds(100);
// How soon Fast looks at a full backlog again.
constexpr auto kBacklogPoll = std::chrono::milliseconds(5);

}  // namespace

std::unique_ptr<RecordingPort> RecordingPort::Open(const std::string& path, double centreHz,
                                                   PlaySpeed speed,
                                                   std::function<std::int32_t()> backlog,
                                                   std::string& error) {
  if (!(centreHz >= kLowestAudioCentreHz && centreHz <= kHighestAudioCentreHz)) {
    error = "the centre frequency must be 1000..2500 Hz";
    return nullptr;
  }
  // libsndfile's own words for a file that is not there are not the system's.
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
  } else {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  // Every frame the header announces must be there before a fax is received from it.
  AudioFileReader check;
  if (!check.Open(path, error)) return nullptr;
  std::vector<float> samples(kChunkFrames);
  long n;
  while ((n = check.Read(samples.data(), samples.size(), error)) > 0) {
  }
  if (n < 0) {
    error = path + ": " + error;
    return nullptr;
  }

  std::unique_ptr<RecordingPort> port(
      new RecordingPort(speed, std::move(backlog), AudioDemodulator(check.Rate(), centreHz)));
  if (!port->reader_.Open(path, error)) return nullptr;
  port->path_ = path;
  port->duration_ = static_cast<double>(check.Frames()) / check.Rate();
  port->samples_.resize(kChunkFrames);
  return port;
}

RecordingPort::RecordingPort(PlaySpeed speed, std::function<std::int32_t()> backlog,
                             AudioDemodulator demodulator)
    : speed_(speed), backlog_(std::move(backlog)), demodulator_(std::move(demodulator)) {}

double RecordingPort::PlayedSeconds() const {
  return static_cast<double>(handedOut_.load()) / kAudioByteRate;
}

std::string RecordingPort::FailureReason() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void RecordingPort::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

int RecordingPort::Read(std::uint8_t* buffer, int count) {
  const auto deadline = Clock::now() + kReadLimit;
  if (!started_) {
    started_ = true;
    start_ = Clock::now();
  }
  int got = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (woken_ || failed_) return got > 0 ? got : -1;
    lock.unlock();
    const auto now = Clock::now();
    got += Take(buffer + got, Allowed(count - got, now));
    lock.lock();
    if (got == count) return got;
    if (readFailed_ && pendingAt_ == pending_.size()) {
      // Everything read before the error is out: from now on the port has failed.
      failed_ = true;
      failure_ = path_ + ": " + readError_;
      return got > 0 ? got : -1;
    }
    if (now >= deadline) return got;
    auto until = deadline;
    if (!finished_.load() && speed_ == PlaySpeed::RealTime) {
      // Until the rest of the request is due, when the last byte asked for is; rounded up, so
      // that the wait never ends just short of it and spins.
      const std::int64_t last = handedOut_.load() + (count - got) - 1;
      const std::chrono::nanoseconds due((last * 1'000'000'000 + kAudioByteRate - 1) /
                                         kAudioByteRate);
      until = std::min(until, start_ + std::chrono::duration_cast<Clock::duration>(due));
    } else if (!finished_.load()) {
      until = std::min(until, Clock::now() + kBacklogPoll);
    }
    wake_.wait_until(lock, until, [this] { return woken_; });
  }
}

int RecordingPort::Allowed(int want, Clock::time_point now) {
  if (speed_ == PlaySpeed::Fast) return !backlog_ || backlog_() < kFastBacklog ? want : 0;
  // Byte k is due k / 7200 s after the first read.
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_).count();
  const std::int64_t due = elapsed * kAudioByteRate / 1'000'000'000 + 1;
  return static_cast<int>(std::clamp<std::int64_t>(due - handedOut_.load(), 0, want));
}

int RecordingPort::Take(std::uint8_t* out, int count) {
  const auto available = [this] { return pending_.size() - pendingAt_; };
  while (available() < static_cast<std::size_t>(count) && !ended_ && !readFailed_) Demodulate();
  const int n = static_cast<int>(std::min(available(), static_cast<std::size_t>(count)));
  if (n > 0) std::memcpy(out, pending_.data() + pendingAt_, static_cast<std::size_t>(n));
  pendingAt_ += static_cast<std::size_t>(n);
  handedOut_.fetch_add(n);
  if (ended_ && available() == 0) finished_.store(true);
  return n;
}

void RecordingPort::Demodulate() {
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
  pendingAt_ = 0;
  const long n = reader_.Read(samples_.data(), samples_.size(), readError_);
  if (n > 0) {
    demodulator_.Push(samples_.data(), static_cast<std::size_t>(n), pending_);
    return;
  }
  // The second held back belongs to the sound read so far, whether the file ended or broke.
  demodulator_.Flush(pending_);
  (n == 0 ? ended_ : readFailed_) = true;
}

}  // namespace zarvo
