#pragma once
// The spectrum thread: it only asks the GUI thread to run the spectrum update, pauses, and asks
// again once that update has run, until it is terminated. An update that found nothing new earns
// a longer pause.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace zarvo {

// "Run on the GUI thread": Post hands `task` to the GUI thread's loop and returns at once. A task
// still queued when its target has gone may be dropped. The waiting is SpThread's, so that it
// can give up waiting when it is told to end while the GUI thread is busy ending it.
class GuiThreadRunner {
 public:
  virtual ~GuiThreadRunner() = default;
  virtual void Post(std::function<void()> task) = 0;
};

class SpThread {
 public:
  // Between two requests: 20 pictures a second keep the bars moving smoothly for the eye that
  // tunes by them, and each costs the GUI thread a hand-off and a repaint, the repaint a round
  // trip to the display server.
  static constexpr std::chrono::milliseconds DefaultPause{50};
  // After an update that showed nothing new (a silent line): the hand-off to the GUI thread is
  // most of the program's work at rest, and the bars come back within a fifth of a second.
  static constexpr std::chrono::milliseconds IdlePause{200};

  // Starts the thread; `gui` must outlive it. `update` tells whether it had anything new to show.
  // Throws std::system_error when no thread can be started.
  SpThread(GuiThreadRunner& gui, std::function<bool()> update,
           std::chrono::milliseconds pause = DefaultPause);
  ~SpThread();
  SpThread(const SpThread&) = delete;
  SpThread& operator=(const SpThread&) = delete;

  // On the GUI thread: wakes the thread also while it waits for an update, joins it, and makes
  // every update still queued do nothing. No update runs after this returns.
  void Terminate();

 private:
  // Shared with the queued tasks, which may outlive this object in the GUI thread's queue.
  struct HandOff {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Terminate = false;
    bool Pending = false;    // an update asked for and not yet run
    bool ShowedNews = true;  // what the last update said
    std::function<bool()> Update;
  };
  void Run(std::chrono::milliseconds pause);

  GuiThreadRunner& gui_;
  std::shared_ptr<HandOff> handOff_;
  std::thread thread_;
};

}  // namespace zarvo
