#include "capture/PulseSound.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>

#include "audio/AudioDemodulator.h"

namespace zarvo {
namespace {

// A server that has stopped answering must not freeze whoever asked it.
constexpr auto kServerWait = std::chrono::seconds(3);
constexpr auto kReadWait = std::chrono::milliseconds(100);
constexpr pa_usec_t kFragmentUsec = 50000;

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

// Where the server was looked for, for the messages: only PULSE_SERVER names it.
std::string ServerPlace() {
  const char* server = std::getenv("PULSE_SERVER");
  return server && *server ? std::string(" at ") + server : std::string();
}

std::string ServerError(int code) {
  const std::string why = std::string(" (") + pa_strerror(code) + ")";
  if (code == PA_ERR_CONNECTIONREFUSED || code == PA_ERR_INVALIDSERVER)
    return "no audio server is running" + ServerPlace() + why;
  if (code == PA_ERR_CONNECTIONTERMINATED) return "the audio server has gone" + why;
  return "cannot reach the audio server" + ServerPlace() + why;
}

// The threaded main loop with a context on it. The callbacks only record what happened under
// `mutex` and notify `changed`; the other threads wait there, never in the loop's own wait, so
// that each wait can be bounded and nobody holds the loop's lock while waiting.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  ~Connection() {
    if (!loop_) return;
    {
      LoopLock lock(loop_);
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
  }

  // Connects without ever starting a server of its own; true once the context is ready.
  bool Connect(std::string& error) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) {
      error = "cannot start the audio server's client";
      return false;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Zarvo Meteo");
    if (!context_) {
      pa_threaded_mainloop_free(loop_);
      loop_ = nullptr;
      error = "cannot start the audio server's client";
      return false;
    }
    pa_context_set_state_callback(context_, &Connection::OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      error = ServerError(pa_context_errno(context_));
      return false;
    }
    if (pa_threaded_mainloop_start(loop_) < 0) {
      error = "cannot start the audio server's client";
      return false;
    }
    std::unique_lock lock(mutex);
    if (!WaitUntil(lock, [this] { return contextReady_; })) {
      error = serverGone_ ? ServerError(contextError_) : "the audio server does not answer";
      return false;
    }
    return true;
  }

  // Waits, bounded, until `done` holds or the connection has broken; returns `done`.
  template <class Done>
  bool WaitUntil(std::unique_lock<std::mutex>& lock, Done done) {
    changed.wait_for(lock, kServerWait, [&] { return done() || serverGone_; });
    return done();
  }

  pa_threaded_mainloop* Loop() const { return loop_; }
  pa_context* Context() const { return context_; }
  // Under `mutex`.
  bool ServerGone() const { return serverGone_; }

  std::mutex mutex;
  std::condition_variable changed;

 private:
  static void OnContextState(pa_context* context, void* self) {
    auto* c = static_cast<Connection*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    {
      std::lock_guard lock(c->mutex);
      c->contextReady_ = state == PA_CONTEXT_READY;
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        c->serverGone_ = true;
        c->contextError_ = pa_context_errno(context);
      }
    }
    c->changed.notify_all();
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  bool contextReady_ = false;  // under mutex
  bool serverGone_ = false;    // under mutex
  int contextError_ = 0;       // under mutex
};

struct SourceListing {
  Connection* Owner = nullptr;
  std::vector<SoundSource> Sources;
  bool Done = false;
  bool Failed = false;
};

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* self) {
  auto* listing = static_cast<SourceListing*>(self);
  {
    std::lock_guard lock(listing->Owner->mutex);
    if (eol != 0) {
      listing->Done = true;
      listing->Failed = eol < 0;
    } else if (info) {
      listing->Sources.push_back({info->name ? info->name : "",
                                  info->description ? info->description : "",
                                  info->monitor_of_sink != PA_INVALID_INDEX});
    }
  }
  if (eol != 0) listing->Owner->changed.notify_all();
}

}  // namespace

bool ListPulseSources(std::vector<SoundSource>& out, std::string& error) {
  out.clear();
  Connection connection;
  if (!connection.Connect(error)) return false;
  SourceListing listing;
  listing.Owner = &connection;
  pa_operation* operation = nullptr;
  {
    LoopLock lock(connection.Loop());
    operation = pa_context_get_source_info_list(connection.Context(), &OnSourceInfo, &listing);
  }
  if (!operation) {
    error = "the audio server refused to list its sources";
    return false;
  }
  bool done = false;
  bool failed = false;
  bool gone = false;
  {
    std::unique_lock lock(connection.mutex);
    done = connection.WaitUntil(lock, [&] { return listing.Done; });
    failed = listing.Failed;
    gone = connection.ServerGone();
  }
  {
    // Cancelled under the loop's lock, the listing is never called again.
    LoopLock lock(connection.Loop());
    if (!done) pa_operation_cancel(operation);
    pa_operation_unref(operation);
  }
  if (done && !failed) {
    std::stable_partition(listing.Sources.begin(), listing.Sources.end(),
                          [](const SoundSource& s) { return !s.Monitor; });
    out = std::move(listing.Sources);
    return true;
  }
  if (gone)
    error = "the audio server has gone";
  else if (failed)
    error = "the audio server refused to list its sources";
  else
    error = "the audio server does not answer";
  return false;
}

struct PulseSoundPort::Impl : Connection {
  explicit Impl(double centreHz) : demodulator(kSampleRate, centreHz) {}

  ~Impl() {
    if (!stream) return;
    LoopLock lock(Loop());
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
  }

  static void OnStreamState(pa_stream* s, void* self) {
    auto* impl = static_cast<Impl*>(self);
    const pa_stream_state_t state = pa_stream_get_state(s);
    {
      std::lock_guard lock(impl->mutex);
      impl->streamReady = state == PA_STREAM_READY;
      if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        impl->streamEnded = true;
        impl->streamError = pa_context_errno(pa_stream_get_context(s));
      }
    }
    impl->changed.notify_all();
  }

  // Loop thread: every fragment waiting through the demodulator, its bytes onto the queue.
  static void OnRead(pa_stream* s, std::size_t, void* self) {
    auto* impl = static_cast<Impl*>(self);
    const void* data = nullptr;
    std::size_t size = 0;
    while (pa_stream_peek(s, &data, &size) == 0 && size > 0) {
      // No data with a size is a hole in the stream: nothing to hear there.
      if (data)
        impl->demodulator.Push(static_cast<const float*>(data), size / sizeof(float), impl->fresh);
      pa_stream_drop(s);
    }
    if (impl->fresh.empty()) return;
    {
      std::lock_guard lock(impl->mutex);
      impl->queue.insert(impl->queue.end(), impl->fresh.begin(), impl->fresh.end());
      if (impl->queue.size() > kQueueBytes) {
        const std::size_t excess = impl->queue.size() - kQueueBytes;
        impl->queue.erase(impl->queue.begin(), impl->queue.begin() + static_cast<long>(excess));
        impl->dropped += excess;
      }
    }
    impl->fresh.clear();
    impl->changed.notify_all();
  }

  // Under mutex.
  bool Ended() const { return ServerGone() || streamEnded; }
  // Under mutex: why the capture has ended, "" while it runs.
  std::string Failure() const {
    if (ServerGone()) return "the audio server has gone";
    if (!streamEnded) return {};
    if (streamError == PA_ERR_KILLED || streamError == PA_ERR_NOENTITY)
      return "the sound source was removed";
    return std::string("the sound stream has ended (") + pa_strerror(streamError) + ")";
  }

  pa_stream* stream = nullptr;      // under the loop's lock
  AudioDemodulator demodulator;     // loop thread
  std::vector<std::uint8_t> fresh;  // loop thread
  // Under mutex:
  std::deque<std::uint8_t> queue;
  std::uint64_t dropped = 0;
  bool streamReady = false;
  bool streamEnded = false;
  int streamError = 0;
  bool woken = false;
};

PulseSoundPort::PulseSoundPort(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PulseSoundPort::~PulseSoundPort() = default;

int PulseSoundPort::Read(std::uint8_t* buffer, int count) {
  if (count <= 0) return 0;
  Impl& impl = *impl_;
  const auto wanted = static_cast<std::size_t>(count);
  std::unique_lock lock(impl.mutex);
  if (impl.woken) return -1;
  // Bytes still queued when the capture ends came before the end: they go out first.
  impl.changed.wait_for(lock, kReadWait,
                        [&] { return impl.woken || impl.queue.size() >= wanted || impl.Ended(); });
  const std::size_t got = std::min(wanted, impl.queue.size());
  std::copy_n(impl.queue.begin(), got, buffer);
  impl.queue.erase(impl.queue.begin(), impl.queue.begin() + static_cast<long>(got));
  if (got > 0) return static_cast<int>(got);
  return impl.woken || impl.Ended() ? -1 : 0;
}

bool PulseSoundPort::Write(const std::uint8_t*, std::size_t) {
  return true;
}

void PulseSoundPort::Wake() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->woken = true;
  }
  impl_->changed.notify_all();
}

std::string PulseSoundPort::FailureReason() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->Failure();
}

std::uint64_t PulseSoundPort::DroppedBytes() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->dropped;
}

std::unique_ptr<SerialPort> OpenPulseSound(const std::string& source, double centreHz,
                                           std::string& error) {
  std::unique_ptr<PulseSoundPort::Impl> impl;
  try {
    impl = std::make_unique<PulseSoundPort::Impl>(centreHz);
  } catch (const std::invalid_argument& e) {
    error = e.what();
    return nullptr;
  }
  if (!impl->Connect(error)) return nullptr;

  const pa_sample_spec format = {PA_SAMPLE_FLOAT32NE, PulseSoundPort::kSampleRate, 1};
  // One channel placed front left: the server hands a stereo source's left channel unmixed (as
  // the recordings' reader takes it) and copies a mono source's one channel there.
  pa_channel_map map;
  pa_channel_map_init(&map);
  map.channels = 1;
  map.map[0] = PA_CHANNEL_POSITION_FRONT_LEFT;
  // Fragments of 50 ms: few wake-ups, and little added to the demodulator's second.
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
  // A source chosen by name is held to: when it goes, the capture fails rather than moving on
  // to another. The default source follows the server's default.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    (source.empty() ? 0 : PA_STREAM_DONT_MOVE));
  int connectError = 0;
  {
    LoopLock lock(impl->Loop());
    impl->stream = pa_stream_new(impl->Context(), "Fax reception", &format, &map);
    if (impl->stream) {
      pa_stream_set_state_callback(impl->stream, &PulseSoundPort::Impl::OnStreamState, impl.get());
      pa_stream_set_read_callback(impl->stream, &PulseSoundPort::Impl::OnRead, impl.get());
      if (pa_stream_connect_record(impl->stream, source.empty() ? nullptr : source.c_str(), &attr,
                                   flags) < 0)
        connectError = pa_context_errno(impl->Context());
    } else {
      connectError = pa_context_errno(impl->Context());
    }
  }
  bool ready = false;
  int streamError = connectError;
  bool gone = false;
  if (connectError == 0) {
    std::unique_lock lock(impl->mutex);
    ready = impl->WaitUntil(lock, [&] { return impl->streamReady || impl->streamEnded; }) &&
            impl->streamReady;
    streamError = impl->streamError;
    gone = impl->ServerGone();
    if (!ready && streamError == 0 && !gone) {
      error = "the audio server does not answer";
      return nullptr;
    }
  }
  if (ready) return std::unique_ptr<SerialPort>(new PulseSoundPort(std::move(impl)));
  if (gone)
    error = "the audio server has gone";
  else if (streamError == PA_ERR_NOENTITY)
    error = "no sound source named \"" + source + "\"";
  else
    error = std::string("cannot capture from the sound source (") + pa_strerror(streamError) + ")";
  return nullptr;
}

}  // namespace zarvo
