#include "ui/effects/SoftGlow.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintDevice>

#include <algorithm>
#include <vector>

namespace corvane::effects {

SoftGlow::SoftGlow(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setPaintsInBands(true);
}

template <typename T> void SoftGlow::assign(T &field, const T &v, bool shape)
{
    if (field == v)
        return;
    field = v;
    m_shapeDirty = m_shapeDirty || shape;
    emit changed();
    update();
}

void SoftGlow::setText(const QString &t) { assign(m_text, t, true); }
void SoftGlow::setFont(const QFont &f) { assign(m_font, f, true); }
void SoftGlow::setAlignment(int a) { assign(m_alignment, a, true); }
void SoftGlow::setCornerRadius(qreal r) { assign(m_cornerRadius, r, true); }
void SoftGlow::setStrokeWidth(qreal w) { assign(m_strokeWidth, w, true); }
void SoftGlow::setInset(qreal i) { assign(m_inset, i, true); }
// Colours and radii are looked at against the kept layers when painting.
void SoftGlow::setColor(const QColor &c) { assign(m_color, c, false); }
void SoftGlow::setRadius(qreal r) { assign(m_radius, r, false); }
void SoftGlow::setColor2(const QColor &c) { assign(m_color2, c, false); }
void SoftGlow::setRadius2(qreal r) { assign(m_radius2, r, false); }

namespace {

// One box pass of half-width r along a line of `count` samples `stride` apart.
void boxPass(uchar *line, int count, int stride, int r, std::vector<int> &tmp)
{
    tmp.resize(count);
    const int window = 2 * r + 1;
    int sum = 0;
    // The edges read as clear, so the glow fades out instead of smearing the border.
    for (int i = 0; i <= r && i < count; ++i)
        sum += line[i * stride];
    for (int i = 0; i < count; ++i) {
        tmp[i] = sum;
        const int in = i + r + 1;
        const int out = i - r;
        if (in < count)
            sum += line[in * stride];
        if (out >= 0)
            sum -= line[out * stride];
    }
    for (int i = 0; i < count; ++i)
        line[i * stride] = static_cast<uchar>((tmp[i] + window / 2) / window);
}

} // namespace

void SoftGlow::blurAlpha(QImage &mask, qreal sigma)
{
    if (mask.isNull() || sigma <= 0)
        return;
    Q_ASSERT(mask.format() == QImage::Format_Alpha8);
    const int r = std::max(1, qRound(sigma));
    const int w = mask.width();
    const int h = mask.height();
    const qsizetype bpl = mask.bytesPerLine();
    uchar *bits = mask.bits();
    std::vector<int> tmp;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            boxPass(bits + y * bpl, w, 1, r, tmp);
        for (int x = 0; x < w; ++x)
            boxPass(bits + x, h, static_cast<int>(bpl), r, tmp);
    }
}

QImage SoftGlow::mask(qreal dpr) const
{
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    QImage m(px, QImage::Format_Alpha8);
    m.setDevicePixelRatio(dpr);
    m.fill(0);
    const QRectF box = QRectF(0, 0, width(), height()).adjusted(m_inset, m_inset, -m_inset, -m_inset);
    if (box.isEmpty())
        return m;
    // Band by band like the item's own paint (a tall mask's fill would go to Qt's pool); an
    // outline of a pixel or thinner goes to QPainter's cosmetic stroker, drawn in one go.
    const bool thin = m_text.isEmpty() && m_strokeWidth > 0 && m_strokeWidth * dpr <= 1;
    const int step = thin ? px.height() : kBandRows;
    for (int y = 0; y < px.height(); y += step) {
        QImage band(m.bits() + qsizetype(y) * m.bytesPerLine(), px.width(), std::min(step, px.height() - y),
                    m.bytesPerLine(), m.format());
        band.setDevicePixelRatio(dpr);
        QPainter p(&band);
        p.translate(0, -y / dpr);
        drawShape(p, box);
    }
    return m;
}

void SoftGlow::drawShape(QPainter &p, const QRectF &box) const
{
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (!m_text.isEmpty()) {
        p.setFont(m_font);
        p.setPen(Qt::black);
        p.drawText(box, m_alignment, m_text);
        return;
    }
    const qreal half = std::min(box.width(), box.height()) / 2;
    if (m_strokeWidth > 0) {
        const qreal lw = std::min(m_strokeWidth, half);
        const QRectF line = box.adjusted(lw / 2, lw / 2, -lw / 2, -lw / 2);
        const qreal cr = std::clamp(m_cornerRadius - lw / 2, 0.0, std::min(line.width(), line.height()) / 2);
        p.setPen(QPen(Qt::black, lw));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(line, cr, cr);
    } else {
        const qreal cr = std::clamp(m_cornerRadius, 0.0, half);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(box, cr, cr);
    }
}

QImage SoftGlow::tint(const QImage &alpha, const QColor &color)
{
    Q_ASSERT(alpha.format() == QImage::Format_Alpha8);
    // The colour as an image filled with it holds it, then scaled as DestinationIn scales a
    // pixel by a mask's alpha: the same bytes as painting the mask over such a fill, without
    // handing a tall image's rows to the raster engine's thread pool.
    QImage one(1, 1, QImage::Format_ARGB32_Premultiplied);
    one.fill(color);
    const quint32 c = *reinterpret_cast<const quint32 *>(one.constBits());
    QImage out(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(alpha.devicePixelRatio());
    const auto byteMul = [](quint32 x, quint32 a) {
        quint32 t = (x & 0xff00ff) * a;
        t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
        x = ((x >> 8) & 0xff00ff) * a;
        x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
        return x | t;
    };
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *a = alpha.constScanLine(y);
        auto *o = reinterpret_cast<quint32 *>(out.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x)
            o[x] = byteMul(c, a[x]);
    }
    return out;
}

void SoftGlow::paint(QPainter *painter)
{
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    if (m_shapeDirty || px != m_shapeSize || dpr != m_shapeDpr) {
        m_shape = mask(dpr);
        m_shapeSize = px;
        m_shapeDpr = dpr;
        m_shapeDirty = false;
        for (Layer &l : m_layers)
            l = Layer();
    }
    // A glow's radius is its blur's reach; the Gaussian's sigma is half of it.
    const auto layer = [&](Layer &l, const QColor &c, qreal radius) {
        if (c.alpha() == 0)
            return;
        if (l.radius != radius) {
            l.blurred = m_shape;
            blurAlpha(l.blurred, radius * dpr / 2);
            ++m_blurs;
            l.radius = radius;
            l.tinted = QImage();
        }
        if (l.tinted.isNull() || l.color != c) {
            l.tinted = tint(l.blurred, c);
            l.color = c;
        }
        painter->drawImage(QPointF(0, 0), l.tinted);
    };
    layer(m_layers[0], m_color, m_radius);
    if (m_radius2 > 0)
        layer(m_layers[1], m_color2, m_radius2);
}

} // namespace corvane::effects
