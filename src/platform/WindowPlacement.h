#pragma once
// Where a window with a stored geometry block appears: the stored client size, the outer size
// limited to the screen, the position pulled back so that the window ends inside the screen.
// There is no lower bound on the position.

namespace zarvo {

struct WindowPlacement {
  int Left = 0;
  int Top = 0;
  int ClientWidth = 0;
  int ClientHeight = 0;
};

// frameWidth/frameHeight: outer size minus client size. Values from a damaged settings file
// (negative sizes, extremes) give a usable placement: sizes are at least 1.
WindowPlacement PlaceWindow(int left, int top, int clientWidth, int clientHeight, int frameWidth,
                            int frameHeight, int screenWidth, int screenHeight);

}  // namespace zarvo
