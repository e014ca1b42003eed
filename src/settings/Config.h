#pragma once
#include <QWidget>

#include "settings/SettingsFile.h"

namespace zarvo {

// The configuration window. Its creation loads the settings file and its destruction writes it,
// so it is created right after the main window and destroyed last but one.
class TConf final : public QWidget {
  Q_OBJECT
 public:
  TConf();
  ~TConf() override;
  bool SettingsLoaded() const { return file_.Loaded(); }

 private:
  TSettingsFile file_;
};

}  // namespace zarvo
