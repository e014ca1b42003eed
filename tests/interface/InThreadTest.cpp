// The receive buffer's reader contract, overrun rules, wraps, and the position reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <iterator>
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

// A wrapped pass ends after the buffer's last byte: 431900..431999, then 0.. on the next tick.
TEST_F(DrainTest, WrappedPassEndsAfterTheLastByte) {
  readPos = 431900;
  thread.WritePos = 200;
  thread.WrapCount = 1;
  auto taken = Drain();
  ASSERT_EQ(taken.size(), 100u);
  EXPECT_EQ(taken.back(), 431999 % 251);
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
  EXPECT_EQ(Drain().size(), 1000u);
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

// A tone measurement restarts the writer, and the decoder at 0, while a wrap is still unread:
// the old pass must not come back as the whole buffer's worth of samples.
TEST_F(DrainTest, AResetDropsTheWrapNotices) {
  thread.WritePos = 300;
  thread.WrapCount = 1;
  thread.Wrapped = true;
  thread.ResetWritePos();
  readPos = 0;
  EXPECT_EQ(thread.WrapCount.load(), 0);
  EXPECT_FALSE(thread.Wrapped.load());
  thread.WritePos = 40;
  EXPECT_EQ(Drain().size(), 40u);
}

TEST_F(DrainTest, SpectrumTakesEveryByteOfAWrappedPass) {
  std::int32_t spectrumPos = 431800;
  thread.WritePos = 400;
  thread.Wrapped = true;
  std::vector<std::uint8_t> taken;
  const auto keep = [&](const std::uint8_t* b, std::size_t n) {
    taken.insert(taken.end(), b, b + n);
  };
  EXPECT_EQ(DrainSpectrum(thread, spectrumPos, keep), 200);  // 431800..431999
  EXPECT_EQ(taken.back(), 431999 % 251);
  EXPECT_EQ(spectrumPos, 0);  // the new pass from its start
  EXPECT_FALSE(thread.Wrapped.load());
  EXPECT_EQ(DrainSpectrum(thread, spectrumPos, keep), 400);
  EXPECT_EQ(spectrumPos, 400);
  // Overrun: wrapped and passed this reader.
  spectrumPos = 100;
  thread.WritePos = 900;
  thread.Wrapped = true;
  EXPECT_EQ(DrainSpectrum(thread, spectrumPos, [](const std::uint8_t*, std::size_t) {}), 0);
  EXPECT_EQ(spectrumPos, 900);
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

// Reads of every size, silences and wraps, with both readers draining as the GUI thread does:
// each byte the port gave reaches each reader once, in order, and no read straddles the end.
TEST(InThread, EveryByteReachesBothReadersOnceAcrossWraps) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread thread(buffer.get());
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
    const std::int64_t left = kTotal - produced;
    const int size = kSizes[next++ % std::size(kSizes)];
    const int count = static_cast<int>(std::min<std::int64_t>({size, n, left}));
    if (count == 0) std::this_thread::sleep_for(100us);  // silent for a moment
    for (int i = 0; i < count; ++i) b[i] = value(produced + i);
    produced += count;
    return count;
  };
  struct Reader {
    std::int32_t Pos = 0;
    std::int64_t Count = 0;
    std::int64_t FirstWrong = -1;
    SampleSink Sink;
  };
  Reader decoder, spectrum;
  for (Reader* r : {&decoder, &spectrum}) {
    r->Sink = [r, &value](const std::uint8_t* b, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i, ++r->Count)
        if (r->FirstWrong < 0 && b[i] != value(r->Count)) r->FirstWrong = r->Count;
    };
  }
  thread.Resume(port);
  const auto end = std::chrono::steady_clock::now() + 60s;
  while ((decoder.Count < kTotal || spectrum.Count < kTotal) &&
         std::chrono::steady_clock::now() < end) {
    DrainDecoder(thread, decoder.Pos, decoder.Sink);
    DrainSpectrum(thread, spectrum.Pos, spectrum.Sink);
    consumed = std::min(decoder.Count, spectrum.Count);
    std::this_thread::sleep_for(200us);
  }
  thread.Suspend();
  EXPECT_FALSE(straddled.load());
  EXPECT_EQ(decoder.Count, kTotal);
  EXPECT_EQ(decoder.FirstWrong, -1);
  EXPECT_EQ(spectrum.Count, kTotal);
  EXPECT_EQ(spectrum.FirstWrong, -1);
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
