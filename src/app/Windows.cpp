#include "app/Windows.h"

namespace zarvo {

TSplashForm* SplashForm = nullptr;
TMain* Main = nullptr;
TConf* Conf = nullptr;
TInVid* InVid = nullptr;
TSpec* Spec = nullptr;
TModeDlg* ModeDlg = nullptr;
TViewPic* ViewPic = nullptr;
TDetail* Detail = nullptr;

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
