#include "reception/ReceptionLayout.h"

#include <algorithm>

namespace zarvo {

ReceptionLayout LayOut(int clientWidth, int clientHeight, DisplayRectangle rect, bool userScrolling,
                       bool pictureOpen) {
  ReceptionLayout out;
  out.PanelVisible = clientWidth > 250;
  const int panel = out.PanelVisible ? kPanelWidth : 0;
  rect.Left = 0;
  rect.Right = clientWidth - (out.PanelVisible ? panel + 2 : 0);
  const std::int32_t scaled = TDecoder::H * rect.Right / TDecoder::W;
  rect.Bottom = scaled + rect.Top;
  // A picture that fits whole is shown from its top.
  if (rect.Top < 0 && clientHeight > rect.Bottom - rect.Top + 1) {
    rect.Top = 0;
    rect.Bottom = scaled;
  }
  // Never taller than the picture it shows.
  if (rect.Top == 0 && clientHeight > rect.Bottom + 1) clientHeight = rect.Bottom + 1;
  out.Rect = rect;
  out.ClientHeight = clientHeight;
  out.StripLeft = out.PanelVisible ? clientWidth - panel - 2 : clientWidth;
  out.StripRight = out.PanelVisible ? clientWidth - panel : clientWidth;
  out.ScrollLargeStep = clientHeight - 1;
  out.ScrollMax = (rect.Bottom - rect.Top + 1) - clientHeight;
  out.SetScrollPosition = !userScrolling && pictureOpen;
  out.ScrollPosition = -rect.Top;
  return out;
}

bool FollowLine(std::int32_t currentLine, int clientHeight, bool slowScroll, bool userScrolling,
                DisplayRectangle& rect) {
  if (userScrolling) return false;
  const std::int32_t row = currentLine * rect.Right / TDecoder::W;
  const std::int32_t y = row + rect.Top;
  if (y <= clientHeight && y >= 0) return false;
  const int margin = slowScroll ? 16 : 0;
  rect.Top = std::min(0, clientHeight - row - margin);
  return true;
}

std::string TitleCycle::StatusCaption(const std::string& text) {
  return text.empty() ? "Incoming Fax" : "Incoming Fax: " + text;
}

std::string TitleCycle::Tick(bool pictureOpen, const std::string& modeText, int& period) {
  std::string product;
  if (TitlePhase) {
    period = 5000;
    TitlePhase = false;
    product = "Zarvo Meteo";
  } else {
    period = 0;
    TitlePhase = true;
  }
  return pictureOpen ? "Incoming Fax: " + modeText + "     " + product
                     : "Incoming Fax     " + product;
}

}  // namespace zarvo
