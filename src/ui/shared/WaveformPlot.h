#pragma once
// The speaker test's live waveform line.
#include "checks/ToneGenerator.h"
#include "ui/shared/RasterItem.h"

#include <QColor>
#include <QPointer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace corvane {

// The live waveform line: the buffer's points across the item, positive upward.
class WaveformPlot : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(corvane::WaveformBuffer *buffer READ buffer WRITE setBuffer NOTIFY changed)
    Q_PROPERTY(QVariant paint READ paint WRITE setPaint NOTIFY changed)
    Q_PROPERTY(QColor glowColor READ glowColor WRITE setGlowColor NOTIFY changed)
public:
    explicit WaveformPlot(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;
    WaveformBuffer *buffer() const { return m_buffer; }
    void setBuffer(WaveformBuffer *b);
    QVariant paint() const { return m_paint; }
    void setPaint(const QVariant &v) { m_paint = v; emit changed(); update(); }
    QColor glowColor() const { return m_glow; }
    void setGlowColor(const QColor &c) { m_glow = c; emit changed(); update(); }
signals:
    void changed();
private:
    QPointer<WaveformBuffer> m_buffer;
    QVariant m_paint;
    QColor m_glow = Qt::white;
};

} // namespace corvane
