#pragma once
// The 16 x 16 pictures of the windows' tool buttons, drawn by the program itself.
#include <QIcon>
#include <QRect>

class QFrame;
class QToolButton;
class QWidget;

namespace zarvo {

enum class GlyphKind {
  Start,
  MarkLeft,
  Mode,
  Configuration,
  Exit,
  Print,
  View,
  SaveAs,
  RotateLeft,
  RotateRight,
  MarkLower,
  Straighten
};

QIcon Glyph(GlyphKind kind);

// A flat tool button with its glyph, placed in `parent`; its hint is kept in the property
// "hint", so that hints can be switched off and on.
QToolButton* MakeToolButton(QWidget* parent, GlyphKind kind, const char* hint, QRect geometry);

// The tool panel of a picture window: a lowered frame with the arrow cursor that paints its own
// background and keeps the mouse presses on its empty part to itself, so that they never reach
// the picture's handler below (an armed mark or a calibration corner). The right button still
// opens the window's popup menu.
QFrame* MakeToolPanel(QWidget* parent);

}  // namespace zarvo
