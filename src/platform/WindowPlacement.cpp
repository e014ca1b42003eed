#include "platform/WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace zarvo {
namespace {

// One axis; 64-bit so that stored extremes cannot overflow.
void PlaceAxis(int stored, int client, int frame, int screen, int& position, int& clientOut) {
  const std::int64_t outer =
      std::min<std::int64_t>(std::int64_t{client} + frame, std::max(screen, 1));
  clientOut = static_cast<int>(std::max<std::int64_t>(outer - frame, 1));
  const std::int64_t outerNow = std::int64_t{clientOut} + frame;
  position = static_cast<int>(std::min<std::int64_t>(stored, std::int64_t{screen} - outerNow));
}

}  // namespace

WindowPlacement PlaceWindow(int left, int top, int clientWidth, int clientHeight, int frameWidth,
                            int frameHeight, int screenWidth, int screenHeight) {
  WindowPlacement p;
  PlaceAxis(left, clientWidth, frameWidth, screenWidth, p.Left, p.ClientWidth);
  PlaceAxis(top, clientHeight, frameHeight, screenHeight, p.Top, p.ClientHeight);
  return p;
}

}  // namespace zarvo
