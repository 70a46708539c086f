#pragma once

#include <QList>
#include <QPointF>

// The points of a line that a view of `columns` pixel columns over the positions [left, right]
// needs to draw it as all of them would: in each column its first, lowest, highest and last
// point, in their order, and beyond the view the nearest point on either side, which the edge
// segments run to. The points keep their exact values; they come in increasing x. A line with
// no more than four points a column is returned whole.
QList<QPointF> decimatedLine(const QList<QPointF> &points, double left, double right, int columns);
