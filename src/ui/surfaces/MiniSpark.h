#pragma once
// The strip's small sparkline: the last 40 samples as a filled area under a glowing line.
#include <QColor>
#include <QList>
#include <QPointF>
#include "ui/shared/RasterItem.h"
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class MiniSpark : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariant samples READ samplesVariant WRITE setSamples NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    // Room around the plot's frame, inside the item, for the line's width and glow: a line
    // along the frame's top or bottom edge is drawn whole, not cut flat by the item's edge.
    Q_PROPERTY(double bleed READ bleed WRITE setBleed NOTIFY changed)
public:
    static constexpr int kMaxSamples = 40;

    explicit MiniSpark(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    // Where each of the last 40 samples sits in a w × h frame, scaled to their largest value.
    static QList<QPointF> points(const QList<double> &samples, double w, double h);

    QVariant samplesVariant() const { return QVariant::fromValue(m_samples); }
    void setSamples(const QVariant &v);
    QColor color() const { return m_color; }
    void setColor(const QColor &c);
    double bleed() const { return m_bleed; }
    void setBleed(double b);

signals:
    void changed();

private:
    QList<double> m_samples;
    QColor m_color = Qt::white;
    double m_bleed = 0;
};

} // namespace corvane
