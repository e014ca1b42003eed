#pragma once
// How well a saved fax shows the picture that was sent: the row and column where the sent
// picture landed, and the grey error over the rows both hold.
#include <cstdint>

#include "sim/Picture.h"

namespace zarvo::measure {

struct CompareLimits {
  int RowShift = 24;     // the first sent line is looked for this many saved rows either way
  int ColumnShift = 32;  // the left edge is looked for this many columns either way, and near
                         // the best match of the column means anywhere on the line
};

struct FaxComparison {
  bool Valid = false;  // false: no overlap, or the widths differ
  int RowsSaved = 0;
  int RowsSent = 0;  // saved rows the sent lines should fill: two per line at IOC 288
  // The saved row that shows the top of the first sent line; negative when it was cut off.
  int FirstRow = 0;
  // The column where the sent left edge landed, to a fraction; negative: left of column 0.
  double Border = 0;
  // Mean absolute grey difference (0..255) per pixel over the overlap.
  double GreyError = 0;
  // The same forgiving the half-pixel sampling: a saved pixel between the darkest and lightest
  // of the three sent pixels around its place counts as right, otherwise its error is the
  // distance to the nearer of them. What is left is noise, misplaced lines and wrong greys.
  double GreyErrorNear = 0;
  int OverlapRows = 0;
};

// Compares `saved` (a saved fax, one row per row of the picture) with `sentLines` (one row per
// scan line sent; at IOC 288 each fills two saved rows). Both must have the same width.
//
// The sent lines are taken as one stream of pixels, line after line, as the receiver's pixel
// clock sees them; saved pixel (x, r) shows stream pixel (line(r) * width + x - border), so a
// line start off column 0 wraps into the neighbouring line as it does on the drum. The first
// row and the integer border are those with the least mean absolute difference: first on a few
// rows, over the limits and around the best circular match of the column means (a line start
// anywhere on the line), then on every row. The fraction of the border comes from a V fitted
// through the differences one column either side.
FaxComparison CompareFax(const sim::GreyImage& saved, const sim::GreyImage& sentLines, int ioc,
                         const CompareLimits& limits = {});

// How far the sent left edge drifts down the fax, in columns per 1000 saved rows (positive: to
// the right): the border of the top third of the rows the sent lines fill against that of the
// bottom third. `whole` is the comparison of the whole fax. NaN when a third finds no match.
double SlantPer1000Rows(const sim::GreyImage& saved, const sim::GreyImage& sentLines, int ioc,
                        const FaxComparison& whole);

}  // namespace zarvo::measure
