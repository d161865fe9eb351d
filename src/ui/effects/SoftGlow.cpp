#include "ui/effects/SoftGlow.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintDevice>

#include <algorithm>
#include <vector>

namespace corvane::effects {

SoftGlow::SoftGlow(QQuickItem *parent) : RasterItem(parent) { setAntialiasing(true); }

template <typename T> void SoftGlow::assign(T &field, const T &v)
{
    if (field == v)
        return;
    field = v;
    emit changed();
    update();
}

void SoftGlow::setText(const QString &t) { assign(m_text, t); }
void SoftGlow::setFont(const QFont &f) { assign(m_font, f); }
void SoftGlow::setAlignment(int a) { assign(m_alignment, a); }
void SoftGlow::setCornerRadius(qreal r) { assign(m_cornerRadius, r); }
void SoftGlow::setStrokeWidth(qreal w) { assign(m_strokeWidth, w); }
void SoftGlow::setInset(qreal i) { assign(m_inset, i); }
void SoftGlow::setColor(const QColor &c) { assign(m_color, c); }
void SoftGlow::setRadius(qreal r) { assign(m_radius, r); }
void SoftGlow::setColor2(const QColor &c) { assign(m_color2, c); }
void SoftGlow::setRadius2(qreal r) { assign(m_radius2, r); }

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
    QPainter p(&m);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (!m_text.isEmpty()) {
        p.setFont(m_font);
        p.setPen(Qt::black);
        p.drawText(box, m_alignment, m_text);
        return m;
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
    return m;
}

void SoftGlow::paint(QPainter *painter)
{
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QImage shape = mask(dpr);
    // A glow's radius is its blur's reach; the Gaussian's sigma is half of it.
    const auto layer = [&](const QColor &c, qreal radius) {
        if (c.alpha() == 0)
            return;
        QImage a = shape;
        blurAlpha(a, radius * dpr / 2);
        QImage tinted(a.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.setDevicePixelRatio(dpr);
        tinted.fill(c);
        QPainter tp(&tinted);
        tp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tp.drawImage(0, 0, a);
        tp.end();
        painter->drawImage(QPointF(0, 0), tinted);
    };
    layer(m_color, m_radius);
    if (m_radius2 > 0)
        layer(m_color2, m_radius2);
}

} // namespace corvane::effects
