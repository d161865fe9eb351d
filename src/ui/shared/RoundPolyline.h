#pragma once
// A thin open polyline with round caps and joins, drawn straight into the painter's image.
// QPainter strokes it by building an outline (every round join a run of curves) and filling
// that; for a sparkline redrawn each second this is most of its paint. Here each pixel near
// the line takes its covered share of the segments' bodies and of the discs at their ends,
// which is the same round-joined shape without building or scan-converting an outline.
#include <QPolygonF>

class QBrush;
class QPainter;

namespace corvane {

// Draws what p->drawPolyline(points) would with QPen(brush, width, Qt::SolidLine,
// Qt::RoundCap, Qt::RoundJoin) and antialiasing. Returns false, drawing nothing, where it
// would not match: not a premultiplied ARGB image, a clip, a rotation, opacity, another
// composition mode, a brush other than a solid colour or a padded linear gradient, fewer
// than two points or any that is not finite or lies far off the image.
bool strokeRoundPolyline(QPainter *p, const QPolygonF &points, double width, const QBrush &brush);

// The same line, drawn by QPainter where the above would not match it.
void drawRoundPolyline(QPainter *p, const QPolygonF &points, double width, const QBrush &brush);

} // namespace corvane
