#pragma once
// The 16 x 16 pictures of the windows' tool buttons, drawn by the program itself.
#include <QIcon>

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
  MarkLower
};

QIcon Glyph(GlyphKind kind);

}  // namespace zarvo
