#pragma once
// Scale and point placement of a sparkline. y grows downwards; the top of the scale is y = 0.
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <optional>

namespace corvane::sparkline {

// Top of the scale: a usable fixed maximum as given, else the largest finite sample
// (1.0 for a series without one), never below 0.0001. A fixed maximum that is zero,
// negative or not finite cannot scale anything and falls back to the data.
double scaleMax(const QList<double> &samples, std::optional<double> fixedMax);

// Fill, line and pulse need two samples at least.
inline bool hasPlot(const QList<double> &samples) { return samples.size() >= 2; }

// One point per sample, first at x = 0 and last at x = width. Values are not clamped,
// so a fixed maximum lets larger samples rise above the frame. A sample that is not a
// number is drawn at zero rather than breaking the path.
QPolygonF linePoints(const QList<double> &samples, double width, double height, std::optional<double> fixedMax);

// The line closed down to the bottom edge: (0,H), the samples, (W,H).
QPolygonF fillPolygon(const QList<double> &samples, double width, double height, std::optional<double> fixedMax);

// Where the pulse sits: over the newest sample at the right edge.
std::optional<QPointF> pulsePoint(const QList<double> &samples, double width, double height, std::optional<double> fixedMax);

// Heights of the three grid lines, in drawing order.
inline QList<double> gridLines(double height) { return {0.75 * height, 0.5 * height, 0.25 * height}; }

} // namespace corvane::sparkline
