#pragma once
// The input thread: reads the port, up to 100 bytes at a time, into the circular receive buffer,
// and nothing else. Positions are atomics written by one side each, so readers need no lock.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "interface/SerialPort.h"

namespace zarvo {

inline constexpr std::int32_t RxBufferSize = 432000;  // 60 s at 7200 samples per second
inline constexpr std::int32_t RxBlockSize = 100;      // the most one read asks for

class InThread {
 public:
  // Created suspended, with the positions at their start and `rxBuffer` (RxBufferSize bytes)
  // cleared. Throws std::system_error when no thread can be started.
  explicit InThread(std::uint8_t* rxBuffer);
  // Terminates and waits for the thread: the buffer outlives the last read.
  ~InThread();
  InThread(const InThread&) = delete;
  InThread& operator=(const InThread&) = delete;

  std::atomic<bool> InRead{false};                  // a read call is under way
  std::atomic<std::int32_t> WritePos{0};            // where the next byte read goes
  const std::int32_t LastIndex = RxBufferSize - 1;  // a pass ends after this byte
  std::atomic<std::int32_t> WrapCount{0};           // wraps not yet taken by the decoder
  std::atomic<bool> Wrapped{false};                 // wrap notice for the spectrum reader
  std::atomic<bool> PortFailed{false};              // its reads fail: the device has gone

  // Hands the thread the port to read (nullptr: none) and lets it run.
  void Resume(std::shared_ptr<SerialPort> port);
  // Takes the port away: wakes a read under way, waits until it has returned, and leaves the
  // thread suspended. Returns the port, which nothing reads any more.
  std::shared_ptr<SerialPort> Suspend();
  // Ends the loop after the read under way and joins the thread.
  void Terminate();
  // Called on the input thread after each read that brought bytes, so that the reader need not
  // poll; the read after this call has it. Empty: none.
  void SetArrivalNotice(std::function<void()> notice);

  // Restarts filling at the start of the buffer, and drops the wrap notices: the readers start
  // again at 0 too. A read under way is dropped, so every byte at 0.. afterwards arrived after
  // this call.
  void ResetWritePos();
  // Waits until WritePos has reached `target` or `limit` has passed; true when reached.
  bool WaitForWritePos(std::int32_t target, std::chrono::milliseconds limit) const;

  // The buffer byte at `index`, safe against the block being written meanwhile.
  std::uint8_t ByteAt(std::int32_t index) const;
  std::thread::native_handle_type NativeHandle() { return thread_.native_handle(); }

 private:
  void Run();
  void Advance(std::int32_t pos, std::int32_t count, std::uint64_t generation);

  std::uint8_t* const buffer_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<SerialPort> port_;  // read by the thread while running
  std::function<void()> arrivalNotice_;
  bool running_ = false;
  bool terminate_ = false;
  std::uint64_t resetGeneration_ = 0;
  std::thread thread_;
};

// Receives drained bytes in order, a run at a time.
using SampleSink = std::function<void(const std::uint8_t* samples, std::size_t count)>;

// Takes every byte the decoder may take by the reader contract, with the overrun rule: a writer
// that has wrapped and passed the reader, or wrapped twice, makes it give up the unread bytes.
// Returns the number of bytes taken.
int DrainDecoder(InThread& in, std::int32_t& readPos, const SampleSink& sink);

// The spectrum's reader: the same contract with its own notice, Wrapped, and the same overrun
// rule for a writer that has wrapped and passed it. Returns the number of bytes taken.
int DrainSpectrum(InThread& in, std::int32_t& readPos, const SampleSink& sink);

}  // namespace zarvo
