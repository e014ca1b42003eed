#include "interface/InThread.h"

#include <algorithm>
#include <cstring>

namespace zarvo {

InThread::InThread(std::uint8_t* rxBuffer) : buffer_(rxBuffer) {
  std::memset(buffer_, 0, RxBufferSize);
  thread_ = std::thread([this] { Run(); });
}

InThread::~InThread() {
  Terminate();
}

void InThread::Resume(std::shared_ptr<SerialPort> port) {
  {
    std::lock_guard lock(mutex_);
    port_ = std::move(port);
    running_ = true;
    PortFailed.store(false);
  }
  changed_.notify_all();
}

std::shared_ptr<SerialPort> InThread::Suspend() {
  std::unique_lock lock(mutex_);
  std::shared_ptr<SerialPort> port = std::move(port_);
  port_.reset();
  running_ = false;
  // A descriptor closed under a blocked read is not woken on POSIX, and its number may come
  // back with the next open: so wake the read, and close only once it has returned.
  if (port && InRead.load()) port->Wake();
  changed_.wait(lock, [this] { return !InRead.load(); });
  return port;
}

void InThread::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminate_ = true;
    if (port_ && InRead.load()) port_->Wake();
  }
  changed_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void InThread::SetArrivalNotice(std::function<void()> notice) {
  std::lock_guard lock(mutex_);
  arrivalNotice_ = std::move(notice);
}

void InThread::ResetWritePos() {
  std::lock_guard lock(mutex_);
  ++resetGeneration_;
  // A wrap still unread would hand the old pass on as if it were new.
  WrapCount.store(0);
  Wrapped.store(false);
  WritePos.store(0);
}

bool InThread::WaitForWritePos(std::int32_t target, std::chrono::milliseconds limit) const {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (WritePos.load() < target) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::uint8_t InThread::ByteAt(std::int32_t index) const {
  return std::atomic_ref<std::uint8_t>(buffer_[index]).load(std::memory_order_relaxed);
}

void InThread::Advance(std::int32_t pos, std::int32_t count, std::uint64_t generation) {
  std::lock_guard lock(mutex_);
  if (generation != resetGeneration_) return;  // reset while reading: keep the reset
  std::int32_t next = pos + count;
  if (next >= RxBufferSize) {
    next = 0;
    WrapCount.fetch_add(1);
    Wrapped.store(true);
  }
  WritePos.store(next, std::memory_order_release);
}

void InThread::Run() {
  constexpr auto kRetryPause = std::chrono::milliseconds(100);
  std::uint8_t block[RxBlockSize];
  for (;;) {
    std::shared_ptr<SerialPort> port;
    std::function<void()> notice;
    std::int32_t pos = 0;
    std::uint64_t generation = 0;
    {
      // Suspended, or running without a port: sleep until that changes.
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return terminate_ || (running_ && port_); });
      if (terminate_) return;
      port = port_;
      notice = arrivalNotice_;
      InRead.store(true);
      pos = WritePos.load();
      generation = resetGeneration_;
    }
    // Never past the end of the buffer, so that a read lands in one piece.
    const int want = std::min(RxBlockSize, RxBufferSize - pos);
    const int got = std::min(port->Read(block, want), want);
    if (got > 0) {
      // Only what came moves the writer: a silent line stops the decoder's time rather than
      // handing on the previous pass's bytes.
      for (int i = 0; i < got; ++i)
        std::atomic_ref<std::uint8_t>(buffer_[pos + i]).store(block[i], std::memory_order_relaxed);
      Advance(pos, got, generation);
      if (notice) notice();
    }
    // Let go of the port before saying the read is over: whoever took it away closes it then,
    // and a reopen of the same device must not find it still held here.
    const SerialPort* const readFrom = port.get();
    port.reset();
    {
      std::lock_guard lock(mutex_);
      InRead.store(false);
      if (got < 0 && port_.get() == readFrom) PortFailed.store(true);  // not woken by Suspend
    }
    changed_.notify_all();
    if (got < 0) {
      // A device that has gone fails at once, again and again: try again at a calm pace.
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, kRetryPause, [&] { return terminate_ || port_.get() != readFrom; });
    }
  }
}

namespace {

// Copies the bytes out (the writer may be filling the block next to them) and hands them on in
// runs, so that the consumer works on plain memory.
class RunCollector {
 public:
  RunCollector(const InThread& in, const SampleSink& sink) : in_(in), sink_(sink) {}
  ~RunCollector() { Flush(); }
  void Take(std::int32_t index) {
    run_[count_++] = in_.ByteAt(index);
    ++taken_;
    if (count_ == sizeof run_) Flush();
  }
  int Taken() const { return taken_; }

 private:
  void Flush() {
    if (count_ > 0) sink_(run_, count_);
    count_ = 0;
  }
  const InThread& in_;
  const SampleSink& sink_;
  std::uint8_t run_[4096];
  std::size_t count_ = 0;
  int taken_ = 0;
};

}  // namespace

int DrainDecoder(InThread& in, std::int32_t& readPos, const SampleSink& sink) {
  const std::int32_t wraps = in.WrapCount.load();
  if ((wraps >= 1 && in.WritePos.load(std::memory_order_acquire) > readPos) || wraps >= 2) {
    in.WrapCount.fetch_sub(wraps);  // a wrap that comes in meanwhile stays counted
    readPos = in.WritePos.load(std::memory_order_acquire);
  }
  int taken = 0;
  {
    RunCollector run(in, sink);
    for (;;) {
      const bool available = readPos < in.WritePos.load(std::memory_order_acquire) ||
                             (in.WrapCount.load() > 0 && readPos <= in.LastIndex);
      if (!available) break;
      run.Take(readPos++);
    }
    taken = run.Taken();
  }
  // Only a pass read to its last byte goes back to 0: a wrap that came in after the loop's last
  // look leaves the rest of the pass for the next tick.
  if (readPos > in.LastIndex && in.WrapCount.load() > 0) {
    readPos = 0;
    in.WrapCount.fetch_sub(1);
  }
  return taken;
}

int DrainSpectrum(InThread& in, std::int32_t& readPos, const SampleSink& sink) {
  if (in.Wrapped.load() && in.WritePos.load(std::memory_order_acquire) > readPos) {
    in.Wrapped.store(false);
    readPos = in.WritePos.load(std::memory_order_acquire);
  }
  int taken = 0;
  {
    RunCollector run(in, sink);
    for (;;) {
      const bool available = readPos < in.WritePos.load(std::memory_order_acquire) ||
                             (in.Wrapped.load() && readPos <= in.LastIndex);
      if (!available) break;
      run.Take(readPos++);
    }
    taken = run.Taken();
  }
  // As the decoder's: the new pass from its start, once the old one is read to its last byte.
  if (readPos > in.LastIndex && in.Wrapped.exchange(false)) readPos = 0;
  return taken;
}

}  // namespace zarvo
