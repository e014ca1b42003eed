#pragma once
// The single instances of the program's windows. Each global is set when the window's
// construction begins and cleared when it is destroyed, so code that may run before a window
// exists checks for null.
#include <functional>
#include <string>

namespace zarvo {

class TSplashForm;
class TMain;
class TConf;
class TInVid;
class TSpec;
class TModeDlg;
class TViewPic;
class TDetail;

extern TSplashForm* SplashForm;
extern TMain* Main;
extern TConf* Conf;
extern TInVid* InVid;
extern TSpec* Spec;
extern TModeDlg* ModeDlg;
extern TViewPic* ViewPic;
extern TDetail* Detail;

// Tests watch the order in which windows come and go ("create Conf", "destroy Conf").
using LifecycleObserver = std::function<void(const std::string& event)>;
void SetLifecycleObserver(LifecycleObserver observer);
void NoteLifecycle(const std::string& event);

}  // namespace zarvo
