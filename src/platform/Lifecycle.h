#pragma once
// The program's windows come and go in a fixed order; tests watch it ("create Conf",
// "destroy Conf"). Each window's single instance is a global pointer declared beside its class,
// set when its construction begins and cleared when it is destroyed, so code that may run
// before a window exists checks for null.
#include <functional>
#include <string>

namespace zarvo {

using LifecycleObserver = std::function<void(const std::string& event)>;
void SetLifecycleObserver(LifecycleObserver observer);
void NoteLifecycle(const std::string& event);

}  // namespace zarvo
