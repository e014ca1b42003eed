#pragma once
// The last fraction of a received picture's slant, found in the picture itself. Sharp phasing
// edges pin the line length only to a band (a 60 LPM broadcast gives 30 lines, each edge known
// to a sample); within that band, the slant that stacks the picture's vertical edges most
// sharply on one another is the true one, when the picture has such edges at all.
#include "platform/Bitmap.h"

namespace zarvo {

// The shear, in columns per line, within low..high, that lines the edges of the picture's top
// `rows` up best: line k shifted right by k times it. Zero when the picture holds too few lines or
// no clear vertical structure (a best shear at either end of the band, or one that stacks the
// edges barely better than the others). An IOC 288 line fills `rowsPerLine` = 2 rows.
double PictureSlant(const Bitmap& picture, int rows, int rowsPerLine, double low, double high);

// The shear whose whole-column shifts of `lines` lines, fitted by a straight line, rise by
// `shear` a line (0 when none comes nearer than no shift at all). Rounding alone would leave a
// single step in a picture that should move by under a column or two, which a fit over 600 lines
// reads as up to 2.5 columns per 1000 rows.
double WholeColumnShear(double shear, int lines);

// Shifts line k of the top `rows` right by k * columnsPerLine whole columns, round the line.
void ShearLines(Bitmap& picture, int rows, int rowsPerLine, double columnsPerLine);

}  // namespace zarvo
