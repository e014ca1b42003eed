#pragma once
// The geometry of the reception window: where the picture is stretched, the panel, the strip
// between them, the scroll bar, and the automatic following of the line being written; and the
// title cycle that follows each status. All of it in the window's integer arithmetic.
#include <cstdint>
#include <string>

#include "decoder/Decoder.h"
#include "viewer/PictureOps.h"

namespace zarvo {

struct ReceptionLayout {
  bool PanelVisible = false;
  DisplayRectangle Rect;
  int ClientHeight = 0;  // reduced when the window is taller than its picture
  int StripLeft = 0;     // the two-pixel strip between picture and panel
  int StripRight = 0;
  int ScrollLargeStep = 0;
  int ScrollMax = 0;
  bool SetScrollPosition = false;
  int ScrollPosition = 0;
};

// One run of the window's layout for a client area and the current rectangle.
ReceptionLayout LayOut(int clientWidth, int clientHeight, DisplayRectangle rect, bool userScrolling,
                       bool pictureOpen);

// Following the writer at a new line: true, with `rect.Top` moved, when the line has left the
// client area and the user is not scrolling (the layout must run again).
bool FollowLine(std::int32_t currentLine, int clientHeight, bool slowScroll, bool userScrolling,
                DisplayRectangle& rect);

// The title: a status stays until the next tick, then the mode and the product name for 5 s,
// then the mode alone until the next status.
class TitleCycle {
 public:
  // The caption of a status: "Incoming Fax: <text>", or "Incoming Fax" without text. The timer
  // is then to run with a period of 5000 ms.
  static std::string StatusCaption(const std::string& text);
  // One tick: the caption to show and the timer's next period (0 stops it).
  std::string Tick(bool pictureOpen, const std::string& modeText, int& period);
  bool TitlePhase = true;
};

}  // namespace zarvo
