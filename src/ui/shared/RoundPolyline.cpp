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
inline quint32 byteMul(quint32 x, quint32 a)
{
    quint32 t = (x & 0xff00ff) * a;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return x | t;
}

// The share of a pixel on the inner side of an edge at signed distance d from its centre,
// the edge's normal being (nx, ny): a ramp over the pixel's width along the normal.
double edgeCover(double d, double nx, double ny)
{
    const double a = std::max(nx, ny), b = std::min(nx, ny);
    const double flat = (a - b) / 2, wide = (a + b) / 2;
    if (d >= wide)
        return 1;
    if (d <= -wide)
        return 0;
    if (b < 1e-9 || std::abs(d) <= flat)
        return 0.5 + d / a;
    const double t = wide - std::abs(d), corner = t * t / (2 * a * b);
    return d > 0 ? 1 - corner : corner;
}

// The share of a pixel inside a band of half-width `half` whose centre line lies at `d`.
double slab(double d, double half, double nx, double ny)
{
    return std::max(0.0, edgeCover(half - d, nx, ny) + edgeCover(half + d, nx, ny) - 1);
}

// The share of a pixel inside a disc of radius r whose centre lies at distance d, the pixel
// taken as a disc of the same area so that a small cap's curvature counts.
double discCover(double d, double r)
{
    constexpr double p = 0.5641895835477563; // 1 / sqrt(pi)
    if (d >= r + p)
        return 0;
    if (d <= std::abs(r - p))
        return r >= p ? 1.0 : r * r / (p * p);
    const double lens = p * p * std::acos((d * d + p * p - r * r) / (2 * d * p))
                        + r * r * std::acos((d * d + r * r - p * p) / (2 * d * r))
                        - 0.5 * std::sqrt((-d + p + r) * (d + p - r) * (d - p + r) * (d + p + r));
    return std::clamp(lens / (std::numbers::pi * p * p), 0.0, 1.0);
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
    auto byte = [](float v) { return quint32(std::clamp(int(std::lround(v * 255.f)), 0, 255)); };
    return byte(c[0]) << 24 | byte(c[1]) << 16 | byte(c[2]) << 8 | byte(c[3]);
}

// The brush's colour at a device pixel: one colour, or a linear gradient padded at its ends
// and interpolated between premultiplied stops, as QPainter fills it.
class Paint {
public:
    bool set(const QBrush &brush, const QTransform &toDevice)
    {
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
    Paint paint;
    if (!paint.set(brush, t))
        return false;

    const QPolygonF pts = t.map(points);
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
    const int bw = x1 - x0;
    std::vector<float> body(size_t(bw) * size_t(y1 - y0), 0.f), round(body.size(), 0.f);
    auto rowOf = [&](std::vector<float> &buf, int y) { return buf.data() + size_t(y - y0) * size_t(bw); };
    for (qsizetype i = 1; i < pts.size(); ++i) {
        const QPointF a = pts[i - 1], b = pts[i];
        const double len = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (!(len > 0))
            continue;
        const double ux = (b.x() - a.x()) / len, uy = (b.y() - a.y()) / len;
        const double ax = std::abs(ux), ay = std::abs(uy);
        const int sx0 = std::max(x0, int(std::floor(std::min(a.x(), b.x()) - reach)));
        const int sx1 = std::min(x1, int(std::ceil(std::max(a.x(), b.x()) + reach)));
        const int sy0 = std::max(y0, int(std::floor(std::min(a.y(), b.y()) - reach)));
        const int sy1 = std::min(y1, int(std::ceil(std::max(a.y(), b.y()) + reach)));
        for (int y = sy0; y < sy1; ++y) {
            float *row = rowOf(body, y);
            const double ry = y + 0.5 - a.y();
            for (int x = sx0; x < sx1; ++x) {
                const double rx = x + 0.5 - a.x();
                const double across = -rx * uy + ry * ux, along = rx * ux + ry * uy;
                const double side = slab(across, half, ax, ay);
                if (side <= 0)
                    continue;
                const double ends = slab(along - len / 2, len / 2, ax, ay);
                if (ends > 0)
                    row[x - x0] += float(side * ends);
            }
        }
    }
    for (const QPointF &c : pts) {
        const int sx0 = std::max(x0, int(std::floor(c.x() - reach))), sx1 = std::min(x1, int(std::ceil(c.x() + reach)));
        const int sy0 = std::max(y0, int(std::floor(c.y() - reach))), sy1 = std::min(y1, int(std::ceil(c.y() + reach)));
        for (int y = sy0; y < sy1; ++y) {
            float *row = rowOf(round, y);
            for (int x = sx0; x < sx1; ++x)
                row[x - x0] = std::max(row[x - x0], float(discCover(std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y()), half)));
        }
    }

    for (int y = y0; y < y1; ++y) {
        auto *dst = reinterpret_cast<quint32 *>(img->scanLine(y));
        const float *bodyRow = rowOf(body, y), *roundRow = rowOf(round, y);
        for (int x = x0; x < x1; ++x) {
            const float share = std::max(bodyRow[x - x0], roundRow[x - x0]);
            if (!(share > 0))
                continue;
            const auto c = quint32(std::lround(std::min(share, 1.f) * 255));
            if (!c)
                continue;
            quint32 s = paint.at(x + 0.5, y + 0.5);
            if (c != 255)
                s = byteMul(s, c);
            dst[x] = s + byteMul(dst[x], 255 - (s >> 24));
        }
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
