#include "ui/effects/StillImage.h"

#include <QImageReader>
#include <QPainter>
#include <QPaintDevice>

namespace corvane::effects {

StillImage::StillImage(QQuickItem *parent) : RasterItem(parent)
{
    setAntialiasing(true);
    setStripRows(kBandRows);
}

void StillImage::setSource(const QUrl &url)
{
    if (url == m_source)
        return;
    m_source = url;
    m_image = QImage();
    emit sourceChanged();
    update();
}

void StillImage::paint(QPainter *p)
{
    const qreal dpr = p->device()->devicePixelRatio();
    const QSize px(qRound(width() * dpr), qRound(height() * dpr));
    if (m_source.isEmpty() || px.isEmpty())
        return;
    if (m_image.size() != px) {
        // Decoded straight at the size it is shown, like an Image given that source size.
        const QString path = m_source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + m_source.path() : m_source.toLocalFile();
        QImageReader reader(path);
        reader.setScaledSize(px);
        m_image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (m_image.isNull())
        return;
    m_image.setDevicePixelRatio(dpr);
    p->drawImage(QPointF(0, 0), m_image);
}

} // namespace corvane::effects
