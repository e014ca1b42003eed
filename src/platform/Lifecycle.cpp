#include "platform/Lifecycle.h"

namespace zarvo {
namespace {
LifecycleObserver lifecycleObserver;
}

void SetLifecycleObserver(LifecycleObserver observer) {
  lifecycleObserver = std::move(observer);
}

void NoteLifecycle(const std::string& event) {
  if (lifecycleObserver) lifecycleObserver(event);
}

}  // namespace zarvo
