#pragma once
// A test that starts on a cleared settings record, its message boxes recorded, and the program's
// files in a folder of its own, given back at the end: nothing passes from one test to the next.
#include <gtest/gtest.h>

#include "platform/ProgramFolder.h"
#include "settings/Settings.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

namespace zarvo::test {

class FreshStateTest : public ::testing::Test {
 protected:
  FreshStateTest() {
    ClearSettings(Settings);
    SetProgramFolder(dir.Path());
  }
  ~FreshStateTest() override { SetProgramFolder(""); }

  TempDir dir;
  RecordingBoxes boxes;
};

}  // namespace zarvo::test
