#include "ui/shared/StrokeItems.h"

#include "state/Palette.h"
#include "ui/shared/GaugeGeometry.h"
#include "ui/shared/MotionGeometry.h"
#include "ui/shared/RoundPolyline.h"
#include "ui/shared/SparklineGeometry.h"

#include <QJSValue>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace corvane {

QBrush brushForPaint(const QVariant &paint, const QRectF &bounds)
{
    if (paint.canConvert<PaletteGradient>() && paint.metaType() == QMetaType::fromType<PaletteGradient>()) {
        const auto g = paint.value<PaletteGradient>();
        auto at = [&](QPointF u) { return QPointF(bounds.x() + u.x() * bounds.width(), bounds.y() + u.y() * bounds.height()); };
        QLinearGradient lg(at(g.start), at(g.end));
        lg.setColorAt(0, g.from);
        lg.setColorAt(1, g.to);
        return QBrush(lg);
    }
    if (paint.metaType() == QMetaType::fromType<QColor>() || paint.metaType() == QMetaType::fromType<QString>()) {
        const QColor c = paint.value<QColor>();
        if (c.isValid())
            return QBrush(c);
    }
    return QBrush(Qt::transparent);
}

ArcStroke::ArcStroke(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setPaintsInBands(true);
}

void ArcStroke::paint(QPainter *p)
{
    const QRectF b = boundingRect();
    const double r = m_radius >= 0 ? m_radius : std::min(b.width(), b.height()) / 2 - m_lineWidth / 2;
    const double sweep = m_end - m_start;
    if (!(r > 0) || !std::isfinite(sweep) || sweep == 0 || !(m_lineWidth > 0))
        return;
    QPainterPath path;
    const QRectF circle(b.center() - QPointF(r, r), QSizeF(2 * r, 2 * r));
    // QPainter counts angles anticlockwise; ours run clockwise on screen.
    path.arcMoveTo(circle, -m_start);
    path.arcTo(circle, -m_start, -sweep);
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(brushForPaint(m_paint, b), m_lineWidth, Qt::SolidLine, m_roundCap ? Qt::RoundCap : Qt::FlatCap,
                   Qt::MiterJoin));
    p->drawPath(path);
}

NeedleShape::NeedleShape(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setPaintsInBands(true);
}

QPointF NeedleShape::tip(const QRectF &rect, double angleDegrees, double length)
{
    return gauge::pointAt(rect.center(), length, angleDegrees);
}

void NeedleShape::paint(QPainter *p)
{
    const QRectF b = boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    g.setColorAt(0, m_top);
    g.setColorAt(1, m_bottom);
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(QPen(QBrush(g), m_lineWidth, Qt::SolidLine, Qt::RoundCap));
    p->drawLine(b.center(), tip(b, m_angle, m_length));
}

SparklinePlot::SparklinePlot(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setPaintsInBands(true);
}

std::optional<double> SparklinePlot::fixedMax() const
{
    bool ok = false;
    const double v = m_max.toDouble(&ok);
    if (!m_max.isValid() || m_max.isNull() || !ok)
        return std::nullopt;
    return v;
}

void SparklinePlot::setSamples(const QVariant &v)
{
    QVariant value = v;
    if (value.metaType() == QMetaType::fromType<QJSValue>())
        value = value.value<QJSValue>().toVariant();
    QList<double> out;
    if (value.metaType() == QMetaType::fromType<QList<double>>()) {
        out = value.value<QList<double>>();
    } else if (value.canConvert<QVariantList>()) {
        for (const QVariant &item : value.toList()) {
            bool ok = false;
            const double d = item.toDouble(&ok);
            out << (ok ? d : std::numeric_limits<double>::quiet_NaN());
        }
    }
    // A history read again without a new sample draws the same line (a gap, NaN, never
    // compares equal: such a list repaints).
    if (out == m_samples)
        return;
    m_samples = out;
    touch();
}

bool SparklinePlot::hasPlot() const { return sparkline::hasPlot(m_samples); }

QPointF SparklinePlot::pulsePoint() const
{
    return sparkline::pulsePoint(m_samples, width(), height(), fixedMax()).value_or(QPointF());
}

void SparklinePlot::paint(QPainter *p)
{
    // The picture is kept over a clear ground and copied onto the item's: a copy onto a clear
    // image gives the same bytes as drawing there.
    const qreal dpr = p->device()->devicePixelRatio();
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    // What the whole picture depends on besides the samples.
    const QVariant key = QVariantList{px, dpr, m_max, m_paint, m_glow, m_showGrid, m_drawGrid, m_drawFill, m_drawLine};
    if (m_picture.isNull() || key != m_pictureKey || m_samples != m_pictureSamples) {
        const bool kept = !m_picture.isNull() && key == m_pictureKey && shiftPicture(dpr);
        if (!kept) {
            m_picture = QImage(px, QImage::Format_ARGB32_Premultiplied);
            m_picture.setDevicePixelRatio(dpr);
            redraw(m_picture.rect());
            ++m_wholeRedraws;
        }
        m_pictureKey = key;
        m_pictureSamples = m_samples;
    }
    p->drawImage(QPointF(0, 0), m_picture);
}

void SparklinePlot::redraw(const QRect &area)
{
    // Band by band and column range by column range, each a view on the picture's pixels:
    // the raster engine meets no more rows than a band's, and a range's edges cut nothing
    // QPainter strokes (the grid is a kept image, the line the round-polyline stroker's).
    const qreal dpr = m_picture.devicePixelRatio();
    const Layers layers = plotLayers(dpr);
    for (int y = area.top(); y <= area.bottom(); y += kBandRows) {
        const int h = std::min(kBandRows, area.bottom() + 1 - y);
        uchar *first = m_picture.bits() + qsizetype(y) * m_picture.bytesPerLine() + qsizetype(area.left()) * 4;
        QImage view(first, area.width(), h, m_picture.bytesPerLine(), m_picture.format());
        view.fill(Qt::transparent);
        // A layer that cannot reach these rows would leave them as they are: a band none
        // reaches needs no painter. Each layer's reach is widened by two rows for rounding.
        const auto near = [&](double top, double bottom) { return top - 2 < y + h && bottom + 2 > y; };
        bool grid = false;
        for (int row : layers.gridRows)
            grid = grid || near(row, row + 1);
        const bool fill = layers.fill && near(layers.fillTop, m_picture.height());
        const bool line = layers.line && near(layers.lineTop, layers.lineBottom);
        if (!grid && !fill && !line)
            continue;
        view.setDevicePixelRatio(dpr);
        QPainter p(&view);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        p.translate(-area.left() / dpr, -y / dpr);
        if (grid)
            p.drawImage(QPointF(0, 0), m_grid);
        if (fill) {
            p.setPen(Qt::NoPen);
            p.setBrush(layers.fillBrush);
            p.drawPolygon(layers.fillPolygon);
        }
        if (line)
            drawRoundPolyline(&p, layers.linePoints, kLineWidth, layers.lineBrush);
    }
}

bool SparklinePlot::shiftPicture(qreal dpr)
{
    // A new sample moves the history along: the same numbers k places to the left. When that
    // is a whole number of pixels, every pixel but those at the two ends (and on the grid,
    // which stays put) is an old pixel moved; otherwise the whole picture is drawn.
    const qsizetype n = m_samples.size();
    if (n < 3 || m_pictureSamples.size() != n)
        return false;
    if (fixedMax() == std::nullopt)
        return false; // a scale that follows the data may have moved with the new sample
    // A line whose colour changes along the item (a diagonal gradient) is coloured by where
    // it lies: moved, it would keep the colours of where it was.
    if (m_drawLine && m_paint.metaType() == QMetaType::fromType<PaletteGradient>()) {
        const auto g = m_paint.value<PaletteGradient>();
        if (g.start.x() != g.end.x() && g.from != g.to)
            return false;
    }
    const double step = width() * dpr / double(n - 1);
    for (qsizetype k = 1; k < std::min<qsizetype>(n - 1, 4); ++k) {
        if (!std::equal(m_samples.cbegin(), m_samples.cend() - k, m_pictureSamples.cbegin() + k))
            continue;
        const double shift = step * double(k);
        const int s = qRound(shift);
        if (std::abs(shift - s) > 1e-9 || s <= 0 || s >= m_picture.width())
            return false;
        const int w = m_picture.width();
        for (int y = 0; y < m_picture.height(); ++y) {
            auto *row = reinterpret_cast<quint32 *>(m_picture.scanLine(y));
            std::memmove(row, row + s, sizeof(quint32) * std::size_t(w - s));
        }
        // The line's reach (half its width and a pixel of edge) past the points it joins.
        const int reach = int(std::ceil(kLineWidth / 2 * dpr)) + 2;
        redraw(QRect(0, 0, std::min(w, reach), m_picture.height()));
        const int from = std::max(0, int(std::floor(w - 1 - shift)) - reach);
        redraw(QRect(from, 0, w - from, m_picture.height()));
        if (m_showGrid && m_drawGrid) {
            for (double gy : sparkline::gridLines(height())) {
                const int top = std::max(0, int(std::floor(gy * dpr)) - 2);
                const int bottom = std::min(m_picture.height() - 1, int(std::ceil(gy * dpr)) + 2);
                redraw(QRect(0, top, w, bottom - top + 1));
            }
        }
        return true;
    }
    return false;
}

SparklinePlot::Layers SparklinePlot::plotLayers(qreal dpr)
{
    const double w = width(), h = height();
    Layers l;
    if (m_showGrid && m_drawGrid) {
        // The dashes only change with the size: stroked once, then copied.
        const QSize px(qRound(w * dpr), qRound(h * dpr));
        if (m_grid.size() != px || m_grid.devicePixelRatio() != dpr) {
            m_grid = QImage(px, QImage::Format_ARGB32_Premultiplied);
            m_grid.setDevicePixelRatio(dpr);
            m_grid.fill(Qt::transparent);
            QPainter g(&m_grid);
            g.setRenderHint(QPainter::Antialiasing);
            QPen pen(QColor::fromRgbF(1, 1, 1, 0.06f), 0.5, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
            // Dash lengths are in pen widths: 2 on and 3 off in points.
            pen.setDashPattern({2 / 0.5, 3 / 0.5});
            g.setPen(pen);
            for (double y : sparkline::gridLines(h))
                g.drawLine(QPointF(0, y), QPointF(w, y));
            g.end();
            // The rows the dashes touch: clear rows copied over a clear band change nothing.
            m_gridRows.clear();
            for (int y = 0; y < m_grid.height(); ++y) {
                const auto *row = reinterpret_cast<const quint32 *>(m_grid.constScanLine(y));
                if (std::any_of(row, row + m_grid.width(), [](quint32 px) { return px != 0; }))
                    m_gridRows << y;
            }
        }
        l.gridRows = m_gridRows;
    }
    if (!sparkline::hasPlot(m_samples))
        return l;
    const auto max = fixedMax();
    if (m_drawFill) {
        QLinearGradient fill(0, 0, 0, h);
        QColor top = m_glow, bottom = m_glow;
        top.setAlphaF(0.55f * m_glow.alphaF());
        bottom.setAlphaF(0);
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        l.fill = true;
        l.fillBrush = QBrush(fill);
        l.fillPolygon = sparkline::fillPolygon(m_samples, w, h, max);
        l.fillTop = l.fillPolygon.boundingRect().top() * dpr;
    }
    if (m_drawLine) {
        l.line = true;
        l.lineBrush = brushForPaint(m_paint, boundingRect());
        l.linePoints = sparkline::linePoints(m_samples, w, h, max);
        const QRectF b = l.linePoints.boundingRect();
        const double reach = kLineWidth / 2 * dpr + 1;
        l.lineTop = b.top() * dpr - reach;
        l.lineBottom = b.bottom() * dpr + reach;
    }
    return l;
}

GradientText::GradientText(QQuickItem *parent) : RasterItem(parent)
{
    relayout();
}

void GradientText::setText(const QString &t)
{
    if (t == m_text)
        return;
    m_text = t;
    relayout();
}

void GradientText::setFont(const QFont &f)
{
    if (f == m_font)
        return;
    m_font = f;
    relayout();
}

void GradientText::setBaseColor(const QColor &c)
{
    if (c == m_base)
        return;
    m_base = c;
    emit changed();
    update();
}

void GradientText::setHighlightColor(const QColor &c)
{
    if (c == m_highlight)
        return;
    m_highlight = c;
    emit changed();
    update();
}

void GradientText::relayout()
{
    const QFontMetricsF fm(m_font);
    setImplicitSize(fm.horizontalAdvance(m_text), fm.height());
    emit changed();
    update();
}

void GradientText::paint(QPainter *p)
{
    if (m_text.isEmpty() || width() <= 0)
        return;
    QLinearGradient g(0, 0, width(), 0);
    g.setColorAt(0.0, m_base);
    g.setColorAt(0.35, m_base);
    g.setColorAt(0.5, m_highlight);
    g.setColorAt(0.65, m_base);
    g.setColorAt(1.0, m_base);
    p->setFont(m_font);
    p->setPen(QPen(QBrush(g), 0));
    p->drawText(QPointF(0, QFontMetricsF(m_font).ascent()), m_text);
}

RingTicks::RingTicks(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setPaintsInBands(true);
}

void RingTicks::paint(QPainter *p)
{
    // Each tick as the rectangle it replaces: centred on the top edge of the item's square,
    // turned about the square's centre, majors brighter and larger.
    const double side = std::min(width(), height());
    const QPointF centre(width() / 2, height() / 2);
    const QPointF corner = centre - QPointF(side / 2, side / 2);
    p->setPen(Qt::NoPen);
    for (const auto &t : ring::ticks(std::max(0, m_count))) {
        const double w = t.major ? 2 : 1, h = t.major ? 6 : 3, c = t.major ? 3 : 1.5;
        p->save();
        p->translate(centre);
        p->rotate(t.angle);
        p->translate(-centre);
        p->setOpacity(t.major ? 0.20 : 0.08);
        p->setBrush(m_color);
        p->drawRect(QRectF(corner.x() + side / 2 - w / 2, corner.y() + c - h / 2, w, h));
        p->restore();
    }
}

} // namespace corvane
