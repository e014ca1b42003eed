// The receive buffer's reader contract, overrun rules, wraps, and the position reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>

#include "interface/InThread.h"
#include "support/FakeSerial.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// A thread that never gets a port: the test moves the positions by hand.
class DrainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Index i holds i % 251, so every byte tells where it came from.
    for (std::int32_t i = 0; i < RxBufferSize; ++i) buffer[i] = static_cast<std::uint8_t>(i % 251);
  }
  std::vector<std::uint8_t> Drain() {
    std::vector<std::uint8_t> taken;
    DrainDecoder(thread, readPos, [&](const std::uint8_t* b, std::size_t n) {
      taken.insert(taken.end(), b, b + n);
    });
    return taken;
  }
  std::unique_ptr<std::uint8_t[]> storage{new std::uint8_t[RxBufferSize]};
  std::uint8_t* buffer = storage.get();
  InThread thread{buffer};
  std::int32_t readPos = 0;
};

TEST_F(DrainTest, TakesWhatIsWrittenInOrder) {
  thread.WritePos = 300;
  const auto taken = Drain();
  ASSERT_EQ(taken.size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(taken[i], i % 251);
  EXPECT_EQ(readPos, 300);
  EXPECT_TRUE(Drain().empty());
}

// A wrapped pass ends before LastIndex: 431900..431998, then 0.. on the next tick.
TEST_F(DrainTest, WrappedPassEndsBeforeTheLastIndex) {
  readPos = 431900;
  thread.WritePos = 200;
  thread.WrapCount = 1;
  auto taken = Drain();
  ASSERT_EQ(taken.size(), 99u);
  EXPECT_EQ(taken.back(), 431998 % 251);
  EXPECT_EQ(readPos, 0);
  EXPECT_EQ(thread.WrapCount.load(), 0);
  taken = Drain();
  EXPECT_EQ(taken.size(), 200u);
  EXPECT_EQ(taken.front(), 0);
}

TEST_F(DrainTest, OverrunGivesUpTheUnreadBytes) {
  // Wrapped and passed the reader.
  readPos = 300;
  thread.WritePos = 500;
  thread.WrapCount = 1;
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(readPos, 500);
  EXPECT_EQ(thread.WrapCount.load(), 0);
  // Wrapped twice, even if the writer is behind the reader now.
  readPos = 431000;
  thread.WritePos = 100;
  thread.WrapCount = 2;
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(readPos, 100);
  EXPECT_EQ(thread.WrapCount.load(), 0);
  // Wrapped once but still behind the reader: no overrun, the pass is finished first.
  readPos = 431000;
  thread.WritePos = 100;
  thread.WrapCount = 1;
  EXPECT_EQ(Drain().size(), 999u);
  EXPECT_EQ(readPos, 0);
}

TEST_F(DrainTest, AfterAResetTheDecoderWaitsForTheWriter) {
  thread.WritePos = 5000;
  readPos = 5000;
  thread.ResetWritePos();
  EXPECT_EQ(thread.WritePos.load(), 0);
  EXPECT_TRUE(Drain().empty());
  thread.WritePos = 5000;
  EXPECT_TRUE(Drain().empty());
  thread.WritePos = 5100;
  EXPECT_EQ(Drain().size(), 100u);
}

TEST_F(DrainTest, SpectrumContinuesAtTheWriterAfterAWrap) {
  std::int32_t spec = 431800;
  thread.WritePos = 400;
  thread.Wrapped = true;
  int taken = DrainSpectrum(thread, spec, [](const std::uint8_t*, std::size_t) {});
  EXPECT_EQ(taken, 199);  // 431800..431998
  EXPECT_EQ(spec, 400);   // not 0
  EXPECT_FALSE(thread.Wrapped.load());
  // Overrun: wrapped and passed this reader.
  spec = 100;
  thread.WritePos = 900;
  thread.Wrapped = true;
  EXPECT_EQ(DrainSpectrum(thread, spec, [](const std::uint8_t*, std::size_t) {}), 0);
  EXPECT_EQ(spec, 900);
}

TEST(InThread, WrapsAreCountedForBothReaders) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread thread(buffer.get());
  // Two wraps, each by the last three blocks of a pass; the port then falls silent.
  for (int wraps = 1; wraps <= 2; ++wraps) {
    thread.WritePos = RxBufferSize - 3 * RxBlockSize;
    auto port = std::make_shared<test::FakeSerialPort>();
    std::atomic<int> reads{0};
    port->ReadHook = [&](std::uint8_t* b, int n) {
      if (reads < 3) {
        std::memset(b, 1, n);
        ++reads;
        return n;
      }
      while (!port->Woken()) std::this_thread::sleep_for(1ms);
      return -1;
    };
    thread.Resume(port);
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (thread.WrapCount.load() < wraps && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(1ms);
    thread.Suspend();
    EXPECT_EQ(thread.WrapCount.load(), wraps);
    EXPECT_TRUE(thread.Wrapped.load());
    EXPECT_EQ(thread.WritePos.load(), 0);
  }
}

// A box that sends less than a block, then nothing: the position moves by what came, and the
// previous pass's bytes behind it are never handed on.
TEST(InThread, AdvancesByWhatWasReadAndNotAtAllOnASilentLine) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread thread(buffer.get());
  std::memset(buffer.get(), 0xEE, RxBufferSize);  // an earlier pass
  auto port = std::make_shared<test::FakeSerialPort>();
  std::atomic<int> reads{0};
  port->ReadHook = [&](std::uint8_t* b, int n) {
    if (reads++ == 0) {
      std::memset(b, 1, std::min(n, 37));
      return std::min(n, 37);
    }
    std::this_thread::sleep_for(1ms);  // a silent line's time-out, shortened
    return 0;
  };
  thread.Resume(port);
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (reads < 20 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
  thread.Suspend();
  EXPECT_EQ(thread.WritePos.load(), 37);
  std::int32_t readPos = 0;
  std::vector<std::uint8_t> taken;
  DrainDecoder(thread, readPos,
               [&](const std::uint8_t* b, std::size_t n) { taken.insert(taken.end(), b, b + n); });
  EXPECT_EQ(taken, std::vector<std::uint8_t>(37, 1));
}

TEST(InThread, SuspendWakesABlockedRead) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread thread(buffer.get());
  auto port = std::make_shared<test::FakeSerialPort>();
  std::promise<void> reading;
  bool once = false;
  port->ReadHook = [&](std::uint8_t*, int) {
    if (!once) reading.set_value();
    once = true;
    while (!port->Woken()) std::this_thread::sleep_for(1ms);  // a read that never times out
    return -1;
  };
  thread.Resume(port);
  reading.get_future().wait();
  auto done = std::async(std::launch::async, [&] { return thread.Suspend(); });
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(done.get(), port);
  EXPECT_FALSE(thread.InRead.load());
  EXPECT_EQ(thread.WritePos.load(), 0);  // a failed read moves nothing
}

// A reset while a block is being read keeps the reset: the block is dropped, not counted.
TEST(InThread, ResetIsNotLostToAReadUnderWay) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread thread(buffer.get());
  thread.WritePos = 5000;
  auto port = std::make_shared<test::FakeSerialPort>();
  std::promise<void> inRead;
  std::promise<void> release;
  auto released = release.get_future().share();
  std::atomic<int> reads{0};
  port->ReadHook = [&](std::uint8_t* b, int n) {
    if (reads++ == 0) {
      inRead.set_value();
      released.wait();
    } else {
      std::this_thread::sleep_for(1ms);
    }
    std::memset(b, 0x77, n);
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
