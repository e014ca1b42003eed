#include "spectrum/SpThread.h"

namespace zarvo {

SpThread::SpThread(GuiThreadRunner& gui, std::function<bool()> update,
                   std::chrono::milliseconds pause)
    : gui_(gui), handOff_(std::make_shared<HandOff>()) {
  handOff_->Update = std::move(update);
  thread_ = std::thread([this, pause] { Run(pause); });
}

SpThread::~SpThread() {
  Terminate();
}

void SpThread::Terminate() {
  {
    std::lock_guard lock(handOff_->Mutex);
    handOff_->Terminate = true;
  }
  handOff_->Changed.notify_all();
  if (thread_.joinable()) thread_.join();
}

void SpThread::Run(std::chrono::milliseconds pause) {
  HandOff& h = *handOff_;
  // The task runs on the GUI thread, as Terminate does: an update either runs whole before
  // Terminate or finds it done and does nothing.
  auto task = [weak = std::weak_ptr<HandOff>(handOff_)] {
    const std::shared_ptr<HandOff> shared = weak.lock();
    if (!shared) return;
    {
      std::lock_guard lock(shared->Mutex);
      if (shared->Terminate) return;
    }
    // Finished also when the update throws (the event loop reports it): the thread goes on. The
    // thread is not woken for it: it looks at its next request.
    struct Finish {
      HandOff& H;
      ~Finish() {
        std::lock_guard lock(H.Mutex);
        H.Pending = false;
      }
    } finish{*shared};
    const bool news = shared->Update();
    std::lock_guard lock(shared->Mutex);
    shared->ShowedNews = news;
  };
  std::unique_lock lock(h.Mutex);
  for (;;) {
    const auto wait = h.ShowedNews ? pause : std::max(pause, IdlePause);
    if (h.Changed.wait_for(lock, wait, [&] { return h.Terminate; })) return;
    // The last update still queued or running (a busy GUI thread): look again after a pause,
    // so that requests never pile up in its queue. One wakeup a request, not two.
    if (h.Pending) continue;
    h.Pending = true;
    lock.unlock();
    gui_.Post(task);
    lock.lock();
  }
}

}  // namespace zarvo
