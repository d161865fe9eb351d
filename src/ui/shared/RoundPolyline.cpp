#include "ui/shared/RoundPolyline.h"

#include <QBrush>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace corvane {

namespace {

// x * a / 255 on each byte of a premultiplied pixel, rounded as the raster engine does.
[[gnu::always_inline]] inline quint32 byteMul(quint32 x, quint32 a)
{
    quint32 t = (x & 0xff00ff) * a;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return x | t;
}

// The share of a pixel on the inner side of an edge at signed distance d from its centre,
// the edge's normal being (nx, ny): a ramp over the pixel's width along the normal. Its terms
// hang on the normal alone, so a segment works them out once for all its pixels.
class Ramp {
public:
    Ramp(double nx, double ny)
        : a(std::max(nx, ny)), b(std::min(nx, ny)), flat((a - b) / 2), wide((a + b) / 2), twoAB(2 * a * b)
    {
    }

    // How far past the edge a pixel's centre may lie and still be partly inside.
    double reach() const { return wide; }

    [[gnu::always_inline]] double edge(double d) const
    {
        if (d >= wide)
            return 1;
        if (d <= -wide)
            return 0;
        if (b < 1e-9 || std::abs(d) <= flat)
            return 0.5 + d / a;
        const double t = wide - std::abs(d), corner = t * t / twoAB;
        return d > 0 ? 1 - corner : corner;
    }

    // The share of a pixel inside a band of half-width `half` whose centre line lies at `d`.
    [[gnu::always_inline]] double slab(double d, double half) const
    {
        return std::max(0.0, edge(half - d) + edge(half + d) - 1);
    }

private:
    double a, b, flat, wide, twoAB;
};

// The share of a pixel inside a disc of radius r whose centre lies at distance d, the pixel
// taken as a disc of the same area so that a small cap's curvature counts.
constexpr double kPixelRadius = 0.5641895835477563; // 1 / sqrt(pi)

double discCover(double d, double r)
{
    constexpr double p = kPixelRadius;
    if (d >= r + p)
        return 0;
    if (d <= std::abs(r - p))
        return r >= p ? 1.0 : r * r / (p * p);
    const double lens = p * p * std::acos((d * d + p * p - r * r) / (2 * d * p))
                        + r * r * std::acos((d * d + r * r - p * p) / (2 * d * r))
                        - 0.5 * std::sqrt((-d + p + r) * (d + p - r) * (d - p + r) * (d + p + r));
    return std::clamp(lens / (std::numbers::pi * p * p), 0.0, 1.0);
}

// std::lround on a float, without the call: round half away from zero. v - trunc(v) is exact
// below 2^23, and past a billion (or not a number) the library decides as before.
inline long roundFloat(float v)
{
    if (!(std::abs(v) < 1e9f))
        return std::lround(v);
    long i = long(v);
    const float rest = v - float(i);
    if (rest >= 0.5f)
        ++i;
    else if (rest <= -0.5f)
        --i;
    return i;
}

using Premul = std::array<float, 4>; // a, r, g, b, premultiplied, 0..1

Premul premul(const QColor &c)
{
    const QColor rgb = c.toRgb();
    const float a = rgb.alphaF();
    return {a, rgb.redF() * a, rgb.greenF() * a, rgb.blueF() * a};
}

quint32 pack(const Premul &c)
{
    auto byte = [](float v) { return quint32(std::clamp(int(roundFloat(v * 255.f)), 0, 255)); };
    return byte(c[0]) << 24 | byte(c[1]) << 16 | byte(c[2]) << 8 | byte(c[3]);
}

// The brush's colour at a device pixel: one colour, or a linear gradient padded at its ends
// and interpolated between premultiplied stops, as QPainter fills it.
class Paint {
public:
    bool set(const QBrush &brush, const QTransform &toDevice)
    {
        m_gradient = false;
        m_stops.clear();
        if (brush.style() == Qt::SolidPattern) {
            m_solid = pack(premul(brush.color()));
            return true;
        }
        if (brush.style() != Qt::LinearGradientPattern || !brush.transform().isIdentity())
            return false;
        const auto *g = static_cast<const QLinearGradient *>(brush.gradient());
        if (g->coordinateMode() != QGradient::LogicalMode || g->spread() != QGradient::PadSpread
            || g->interpolationMode() != QGradient::ColorInterpolation || g->stops().isEmpty())
            return false;
        m_start = toDevice.map(g->start());
        const QPointF d = toDevice.map(g->finalStop()) - m_start;
        const double len2 = d.x() * d.x() + d.y() * d.y();
        m_dir = len2 > 0 ? d / len2 : QPointF();
        for (const auto &[at, color] : g->stops())
            m_stops.push_back({float(at), premul(color)});
        m_gradient = true;
        return true;
    }

    quint32 at(double x, double y) const
    {
        if (!m_gradient)
            return m_solid;
        const double t = (x - m_start.x()) * m_dir.x() + (y - m_start.y()) * m_dir.y();
        if (t <= m_stops.front().at)
            return pack(m_stops.front().color);
        for (size_t i = 1; i < m_stops.size(); ++i) {
            const Stop &a = m_stops[i - 1], &b = m_stops[i];
            if (t > b.at)
                continue;
            const float f = b.at > a.at ? float((t - a.at) / (b.at - a.at)) : 1.f;
            Premul c;
            for (int k = 0; k < 4; ++k)
                c[k] = a.color[k] + (b.color[k] - a.color[k]) * f;
            return pack(c);
        }
        return pack(m_stops.back().color);
    }

private:
    struct Stop {
        float at;
        Premul color;
    };
    bool m_gradient = false;
    quint32 m_solid = 0;
    QPointF m_start, m_dir;
    std::vector<Stop> m_stops;
};

// Narrows [from, to) (columns, none negative) to those x where |c + s * (x + 0.5 - origin)| <
// limit may hold: a bound on a value linear along the row. The bound leaves room for the
// rounding of the value itself; a thousandth of a pixel more covers the rounding here.
[[gnu::always_inline]] inline void narrowRow(double c, double s, double limit, double origin, int &from, int &to)
{
    if (s == 0) {
        if (!(std::abs(c) < limit))
            to = from;
        return;
    }
    double lo = (-limit - c) / s, hi = (limit - c) / s;
    if (lo > hi)
        std::swap(lo, hi);
    lo += origin - 0.5 - 1e-3;
    hi += origin - 0.5 + 1e-3;
    // Past `from` (so not negative) a truncation is the floor: the first column at or past lo
    // is the one after it, unless lo is a whole number.
    if (lo > from)
        from = lo < to ? int(lo) + (lo != int(lo)) : to;
    if (hi < to)
        to = hi >= from ? int(hi) + 1 : from;
}

// What one line leaves for the next: a sparkline strokes its line once for every band of rows
// it paints, every second.
struct Scratch {
    Paint paint;
    QPolygonF pts;
    // The covered shares of the pixels in the line's box, all zero between lines: each line
    // clears the columns it wrote. Each row keeps the range it is writing; one left behind (a
    // line seldom comes back to it) goes to the list.
    std::vector<float> body, round;
    std::vector<int> rowFrom, rowTo;
    struct Span {
        int y, from, to;
    };
    std::vector<Span> spans;
    // discCover at kSteps squared distances to the disc's rim, for the half-width they were
    // worked out for: the most a disc gives a pixel that far or farther from its centre.
    static constexpr int kSteps = 32;
    double boundHalf = -1;
    std::array<double, kSteps> bound{};
};

} // namespace

bool strokeRoundPolyline(QPainter *p, const QPolygonF &points, double width, const QBrush &brush)
{
    if (points.size() < 2 || !(width > 0) || !std::isfinite(width) || !p->isActive())
        return false;
    QPaintDevice *device = p->device();
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto *img = static_cast<QImage *>(device);
    if (img->format() != QImage::Format_ARGB32_Premultiplied || p->hasClipping() || p->opacity() != 1.0
        || p->compositionMode() != QPainter::CompositionMode_SourceOver || !p->testRenderHint(QPainter::Antialiasing))
        return false;
    // Translation and an even scale (the device pixel ratio) keep capsules round.
    const QTransform t = p->deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() != t.m22() || !(t.m11() > 0))
        return false;
    // One a thread: the software scene graph may paint on its render thread.
    thread_local Scratch scratch;
    Scratch *m = &scratch;
    Paint &paint = m->paint;
    if (!paint.set(brush, t))
        return false;

    // The points on the device, as QTransform::map(QPolygonF) puts them.
    QPolygonF &pts = m->pts;
    pts.resize(points.size());
    {
        const QPointF *from = points.constData();
        QPointF *to = pts.data();
        const qsizetype n = points.size();
        const double dx = t.dx(), dy = t.dy();
        if (t.type() <= QTransform::TxTranslate) {
            const bool still = QPointF(dx, dy).isNull();
            for (qsizetype i = 0; i < n; ++i)
                to[i] = still ? from[i] : QPointF(from[i].x() + dx, from[i].y() + dy);
        } else {
            const double m11 = t.m11(), m22 = t.m22();
            for (qsizetype i = 0; i < n; ++i)
                to[i] = QPointF(m11 * from[i].x() + dx, m22 * from[i].y() + dy);
        }
    }
    // Far off the image a coordinate would not fit the pixel indices: left to QPainter.
    constexpr double kFar = 1e6;
    for (const QPointF &pt : pts)
        if (!(std::abs(pt.x()) < kFar) || !(std::abs(pt.y()) < kFar))
            return false;
    const double half = width * t.m11() / 2;
    const double reach = half + 1;
    const QRectF bounds = pts.boundingRect().adjusted(-reach, -reach, reach, reach);
    const int x0 = std::max(0, int(std::floor(bounds.left()))), y0 = std::max(0, int(std::floor(bounds.top())));
    const int x1 = std::min(img->width(), int(std::ceil(bounds.right())));
    const int y1 = std::min(img->height(), int(std::ceil(bounds.bottom())));
    if (x0 >= x1 || y0 >= y1)
        return true; // wholly outside the image

    // QPainter fills the stroke's outline by summing each pixel's covered area over the
    // outline's turns: the segments' bodies, flat at each end, add up where they overlap
    // inside a join, while the round caps and joins are discs. Matching that (rather than
    // the exact union) keeps the inner side of sharp joins as full as QPainter draws it.
    const int bw = x1 - x0, rows = y1 - y0;
    const size_t cells = size_t(bw) * size_t(rows);
    if (m->body.size() < cells) {
        m->body.resize(cells, 0.f);
        m->round.resize(cells, 0.f);
    }
    m->rowFrom.assign(size_t(rows), x1);
    m->rowTo.assign(size_t(rows), x0);
    auto rowOf = [&](std::vector<float> &buf, int y) { return buf.data() + size_t(y - y0) * size_t(bw); };
    m->spans.clear();
    // Ranges a few columns apart are taken as one; ranges met twice are harmless, the second
    // finding the shares cleared.
    auto touch = [&](int y, int from, int to) {
        int &f = m->rowFrom[size_t(y - y0)], &e = m->rowTo[size_t(y - y0)];
        if (f < e && (from > e + 8 || to < f - 8)) {
            m->spans.push_back({y, f, e});
            f = from;
            e = to;
        } else {
            f = std::min(f, from);
            e = std::max(e, to);
        }
    };
    const QPointF *pt = pts.constData();
    for (qsizetype i = 1; i < pts.size(); ++i) {
        const QPointF a = pt[i - 1], b = pt[i];
        const int sx0 = std::max(x0, int(std::floor(std::min(a.x(), b.x()) - reach)));
        const int sx1 = std::min(x1, int(std::ceil(std::max(a.x(), b.x()) + reach)));
        const int sy0 = std::max(y0, int(std::floor(std::min(a.y(), b.y()) - reach)));
        const int sy1 = std::min(y1, int(std::ceil(std::max(a.y(), b.y()) + reach)));
        if (sx0 >= sx1 || sy0 >= sy1)
            continue; // off the image (another band's rows)
        const double len = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (!(len > 0))
            continue;
        const double ux = (b.x() - a.x()) / len, uy = (b.y() - a.y()) / len;
        const Ramp ramp(std::abs(ux), std::abs(uy));
        const double halfLen = len / 2;
        // A pixel takes a share only within half the width, and within the segment's length,
        // of the centre line, each widened by the most a pixel's ramp reaches.
        const double margin = ramp.reach() + 1e-6;
        for (int y = sy0; y < sy1; ++y) {
            const double ry = y + 0.5 - a.y();
            const double acrossY = ry * ux, alongY = ry * uy;
            int from = sx0, to = sx1;
            narrowRow(acrossY, -uy, half + margin, a.x(), from, to);
            narrowRow(alongY - halfLen, ux, halfLen + margin, a.x(), from, to);
            if (from >= to)
                continue;
            touch(y, from, to);
            float *row = rowOf(m->body, y);
            for (int x = from; x < to; ++x) {
                // Covered whole already, the pixel is drawn whole whatever else it takes.
                if (row[x - x0] >= 1.f)
                    continue;
                const double rx = x + 0.5 - a.x();
                const double across = -rx * uy + acrossY, along = rx * ux + alongY;
                const double side = ramp.slab(across, half);
                if (side <= 0)
                    continue;
                const double ends = ramp.slab(along - halfLen, halfLen);
                if (ends > 0)
                    row[x - x0] += float(side * ends);
            }
        }
    }
    // A disc reaches no pixel whose centre lies a pixel's radius or more beyond its own: those
    // are told by the squared distance, with room to spare for hypot's rounding. Nor does it
    // change one the bodies cover more than it can: its share only falls with the distance,
    // so the share at the nearest step below bounds it (with room for acos's rounding).
    const double rim = (half + kPixelRadius) * (half + kPixelRadius);
    const double outside = rim * (1 + 1e-9);
    if (m->boundHalf != half) {
        for (int k = 0; k < Scratch::kSteps; ++k)
            m->bound[size_t(k)] = discCover(std::sqrt(rim * k / Scratch::kSteps) * (1 - 1e-12), half);
        m->boundHalf = half;
    }
    const double step = Scratch::kSteps / rim * (1 - 1e-9);
    const double slack = 1e-4 * (1 + half * half);
    for (qsizetype i = 0; i < pts.size(); ++i) {
        const QPointF c = pt[i];
        const int sx0 = std::max(x0, int(std::floor(c.x() - reach))), sx1 = std::min(x1, int(std::ceil(c.x() + reach)));
        const int sy0 = std::max(y0, int(std::floor(c.y() - reach))), sy1 = std::min(y1, int(std::ceil(c.y() + reach)));
        for (int y = sy0; y < sy1; ++y) {
            const double dy = y + 0.5 - c.y();
            if (dy * dy >= outside)
                continue;
            float *row = rowOf(m->round, y);
            const float *bodyRow = rowOf(m->body, y);
            int from = x1, to = x0; // none yet
            for (int x = sx0; x < sx1; ++x) {
                const double dx = x + 0.5 - c.x();
                const double d2 = dx * dx + dy * dy;
                if (d2 >= outside)
                    continue;
                const float body = bodyRow[x - x0];
                if (body >= 1.f || m->bound[size_t(std::min(int(d2 * step), Scratch::kSteps - 1))] + slack <= body)
                    continue;
                row[x - x0] = std::max(row[x - x0], float(discCover(std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y()), half)));
                from = std::min(from, x);
                to = x + 1;
            }
            if (from < to)
                touch(y, from, to);
        }
    }

    const auto draw = [&](int y, int from, int to) {
        auto *dst = reinterpret_cast<quint32 *>(img->scanLine(y));
        float *bodyRow = rowOf(m->body, y), *roundRow = rowOf(m->round, y);
        for (int x = from; x < to; ++x) {
            const float share = std::max(bodyRow[x - x0], roundRow[x - x0]);
            bodyRow[x - x0] = roundRow[x - x0] = 0.f;
            if (!(share > 0))
                continue;
            const auto c = quint32(roundFloat(std::min(share, 1.f) * 255));
            if (!c)
                continue;
            quint32 s = paint.at(x + 0.5, y + 0.5);
            if (c != 255)
                s = byteMul(s, c);
            dst[x] = s + byteMul(dst[x], 255 - (s >> 24));
        }
    };
    for (const Scratch::Span &span : m->spans)
        draw(span.y, span.from, span.to);
    for (int y = y0; y < y1; ++y) {
        const int from = m->rowFrom[size_t(y - y0)], to = m->rowTo[size_t(y - y0)];
        if (from < to)
            draw(y, from, to);
    }
    return true;
}

void drawRoundPolyline(QPainter *p, const QPolygonF &points, double width, const QBrush &brush)
{
    if (strokeRoundPolyline(p, points, width, brush))
        return;
    p->setPen(QPen(brush, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p->setBrush(Qt::NoBrush);
    p->drawPolyline(points);
}

} // namespace corvane
