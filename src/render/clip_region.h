// SPDX-License-Identifier: GPL-3.0-or-later
// The pixels inside a polygon as a region, built only over the rows a
// picture can use.
#pragma once

#include <QPolygon>
#include <QRect>
#include <QRegion>

namespace hueline {

// The pixels of window inside polygon by the fill rule: the same pixels
// QRegion(polygon, rule) holds there (each edge stepped from its upper end,
// rows from its upper end to just above its lower one, a pixel inside
// when the edges at or left of it say so). Built row by row over the rows
// of window only, in time that grows with those rows and the edges that
// cross them; QRegion's own builder goes over every row of the polygon
// and slows with the square of the rectangles it makes.
QRegion polygonRegion(const QPolygon& polygon, Qt::FillRule rule, const QRect& window);

}  // namespace hueline
