// The receive buffer's reader contract, overrun rules, wraps, and the position reset.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <iterator>

#include "interface/InThread.h"
#include "support/FakeSerial.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

class InThreadTest : public ::testing::Test {
 protected:
  // Resumes the thread on a port that delivers `bytes` bytes of 1, then waits until woken.
  std::shared_ptr<test::FakeSerialPort> Serve(int bytes) {
    auto port = std::make_shared<test::FakeSerialPort>();
    port->ReadHook = [p = port.get(), left = bytes](std::uint8_t* b, int n) mutable {
      if (left == 0) {
        while (!p->Woken()) std::this_thread::sleep_for(1ms);
        return -1;
      }
      n = std::min(n, left);
      std::memset(b, 1, static_cast<std::size_t>(n));
      left -= n;
      return n;
    };
    thread.Resume(port);
    return port;
  }
  static bool Until(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (; !done(); std::this_thread::sleep_for(1ms))
      if (std::chrono::steady_clock::now() > end) return false;
    return true;
  }
  std::unique_ptr<std::uint8_t[]> buffer{new std::uint8_t[RxBufferSize]};
  InThread thread{buffer.get()};
};

// The positions set by hand, the buffer's byte i holding i % 251: every byte taken must be the
// next one from where the reader stood.
TEST_F(InThreadTest, DrainFollowsTheReaderContract) {
  for (std::int32_t i = 0; i < RxBufferSize; ++i) buffer[i] = static_cast<std::uint8_t>(i % 251);
  struct Row {
    const char* What;
    bool Spectrum;  // DrainSpectrum and its notice Wrapped, else DrainDecoder and WrapCount
    std::int32_t Read, Write;
    int Wraps, Taken;
    std::int32_t ReadAfter;
    int WrapsAfter;
  };
  const Row rows[] = {
      {"in order", false, 0, 300, 0, 300, 300, 0},
      {"nothing new", false, 300, 300, 0, 0, 300, 0},
      // After a reset the reader waits for the writer to come round to it.
      {"writer reset behind the reader", false, 5000, 0, 0, 0, 5000, 0},
      // A wrapped pass ends after the buffer's last byte; the new one on the next tick.
      {"wrapped pass", false, 431900, 200, 1, 100, 0, 0},
      {"wrapped once, writer behind", false, 431000, 100, 1, 1000, 0, 0},
      {"overrun: wrapped and passed the reader", false, 300, 500, 1, 0, 500, 0},
      {"overrun: wrapped twice, writer behind", false, 431000, 100, 2, 0, 100, 0},
      {"spectrum in order", true, 0, 400, 0, 400, 400, 0},
      {"spectrum wrapped pass", true, 431800, 400, 1, 200, 0, 0},
      {"spectrum overrun", true, 100, 900, 1, 0, 900, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.What);
    thread.WritePos = r.Write;
    thread.WrapCount = r.Spectrum ? 0 : r.Wraps;
    thread.Wrapped = r.Spectrum && r.Wraps != 0;
    std::int32_t pos = r.Read;
    std::vector<std::uint8_t> taken, expected;
    const SampleSink keep = [&](const std::uint8_t* b, std::size_t n) {
      taken.insert(taken.end(), b, b + n);
    };
    EXPECT_EQ((r.Spectrum ? DrainSpectrum : DrainDecoder)(thread, pos, keep), r.Taken);
    for (std::int32_t i = r.Read; i < r.Read + r.Taken; ++i)
      expected.push_back(static_cast<std::uint8_t>(i % 251));
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(pos, r.ReadAfter);
    EXPECT_EQ(r.Spectrum ? int{thread.Wrapped.load()} : thread.WrapCount.load(), r.WrapsAfter);
  }
}

// A tone measurement restarts the writer, and the decoder at 0, while a wrap is still unread:
// the old pass must not come back as the whole buffer's worth of samples.
TEST_F(InThreadTest, AResetDropsTheWrapNotices) {
  thread.WritePos = 300;
  thread.WrapCount = 1;
  thread.Wrapped = true;
  thread.ResetWritePos();
  EXPECT_EQ(thread.WritePos.load(), 0);
  EXPECT_EQ(thread.WrapCount.load(), 0);
  EXPECT_FALSE(thread.Wrapped.load());
}

// Two wraps, each by the last three blocks of a pass, with no reader between them.
TEST_F(InThreadTest, WrapsAreCountedUntilTaken) {
  for (int wraps = 1; wraps <= 2; ++wraps) {
    thread.WritePos = RxBufferSize - 3 * RxBlockSize;
    Serve(3 * RxBlockSize);
    EXPECT_TRUE(Until([&] { return thread.WrapCount.load() >= wraps; }));
    thread.Suspend();
    EXPECT_EQ(thread.WrapCount.load(), wraps);
    EXPECT_TRUE(thread.Wrapped.load());
    EXPECT_EQ(thread.WritePos.load(), 0);
  }
}

// Reads of every size, silences and wraps, with both readers draining as the GUI thread does:
// each byte the port gave reaches each reader once, in order, and no read straddles the end.
TEST_F(InThreadTest, EveryByteReachesBothReadersOnceAcrossWraps) {
  constexpr std::int64_t kTotal = 2 * std::int64_t{RxBufferSize} + 54321;
  const auto value = [](std::int64_t i) { return static_cast<std::uint8_t>(i % 251); };
  std::atomic<std::int64_t> produced{0}, consumed{0};
  std::atomic<bool> straddled{false};
  constexpr int kSizes[] = {100, 37, 0, 1, 99, 64, 100, 100, 3, 0, 100, 58};
  std::size_t next = 0;
  auto port = std::make_shared<test::FakeSerialPort>();
  port->ReadHook = [&](std::uint8_t* b, int n) {
    if (n < 1 || n > RxBlockSize || n > RxBufferSize - thread.WritePos.load()) straddled = true;
    // Never a pass ahead of the slower reader: the live drain keeps up too.
    while (produced - consumed > RxBufferSize / 2 && !port->Woken())
      std::this_thread::sleep_for(100us);
    const int count = static_cast<int>(
        std::min<std::int64_t>({kSizes[next++ % std::size(kSizes)], n, kTotal - produced}));
    if (count == 0) std::this_thread::sleep_for(100us);  // silent for a moment
    for (int i = 0; i < count; ++i) b[i] = value(produced + i);
    produced += count;
    return count;
  };
  struct Reader {
    std::int32_t Pos = 0;
    std::int64_t Count = 0, FirstWrong = -1;
    void Take(const std::uint8_t* b, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i, ++Count)
        if (FirstWrong < 0 && b[i] != static_cast<std::uint8_t>(Count % 251)) FirstWrong = Count;
    }
  } decoder, spectrum;
  thread.Resume(port);
  Until(
      [&] {
        DrainDecoder(thread, decoder.Pos, [&](auto b, auto n) { decoder.Take(b, n); });
        DrainSpectrum(thread, spectrum.Pos, [&](auto b, auto n) { spectrum.Take(b, n); });
        consumed = std::min(decoder.Count, spectrum.Count);
        return consumed == kTotal || straddled || decoder.FirstWrong >= 0 ||
               spectrum.FirstWrong >= 0;
      },
      60s);
  thread.Suspend();
  EXPECT_FALSE(straddled.load());
  EXPECT_EQ(decoder.Count, kTotal);
  EXPECT_EQ(decoder.FirstWrong, -1);
  EXPECT_EQ(spectrum.Count, kTotal);
  EXPECT_EQ(spectrum.FirstWrong, -1);
}

TEST_F(InThreadTest, ArrivalNoticeFollowsEachReadThatBroughtBytes) {
  std::atomic<int> notices{0};
  std::atomic<std::int32_t> seenAt{-1};
  thread.SetArrivalNotice([&] {
    seenAt = thread.WritePos.load();
    ++notices;
  });
  Serve(250);  // reads of 100, 100 and 50, then none that brings a byte
  ASSERT_TRUE(Until([&] { return notices == 3; }));
  EXPECT_EQ(seenAt, 250);  // after the writer has moved
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(notices, 3);
}

TEST_F(InThreadTest, SuspendWakesABlockedRead) {
  const auto port = Serve(0);  // a read that never times out
  ASSERT_TRUE(Until([&] { return thread.InRead.load(); }));
  auto done = std::async(std::launch::async, [&] { return thread.Suspend(); });
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(done.get(), port);
  EXPECT_FALSE(thread.InRead.load());
  EXPECT_EQ(thread.WritePos.load(), 0);  // a failed read moves nothing
}

// A reset while a block is being read keeps the reset: the block is dropped, not counted.
TEST_F(InThreadTest, ResetIsNotLostToAReadUnderWay) {
  thread.WritePos = 5000;
  auto port = std::make_shared<test::FakeSerialPort>();
  std::promise<void> inRead, release;
  auto released = release.get_future().share();
  std::atomic<int> reads{0};
  port->ReadHook = [&](std::uint8_t* b, int n) {
    if (reads++ == 0) {
      inRead.set_value();
      released.wait();
    } else {
      std::this_thread::sleep_for(1ms);
    }
    std::memset(b, 0x77, static_cast<std::size_t>(n));
    return n;
  };
  thread.Resume(port);
  inRead.get_future().wait();
  thread.ResetWritePos();
  release.set_value();
  ASSERT_TRUE(thread.WaitForWritePos(10000, 10s));
  thread.Suspend();
  // Blocks from the start are fresh; the block read at 5000 before the reset did not count.
  EXPECT_EQ(thread.ByteAt(0), 0x77);
  EXPECT_EQ(thread.ByteAt(9999), 0x77);
}

}  // namespace
}  // namespace zarvo
