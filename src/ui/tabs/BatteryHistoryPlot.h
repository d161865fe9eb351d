#pragma once
// The battery history card's chart: dashed grid, the daily mean health and the daily highest
// cycle count as two lines over the same days. Points are not clamped to the area.
#include <QColor>
#include <QList>
#include <QPolygonF>
#include "ui/shared/RasterItem.h"
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace corvane {

namespace batterychart {
// Health scale: top max(largest, 1), bottom max(50, min(top − 1, smallest)), span at least 1.
QPolygonF healthPoints(const QList<double> &health, double width, double height);
// Cycle scale: smallest to largest, span at least 1. `days` sets the step (the health count).
QPolygonF cyclePoints(const QList<double> &cycles, qsizetype days, double width, double height);
} // namespace batterychart

class BatteryHistoryPlot : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    // Lists of {day, value} as BatteryHistory's daily queries give them.
    Q_PROPERTY(QVariantList health READ health WRITE setHealth NOTIFY changed)
    Q_PROPERTY(QVariantList cycles READ cycles WRITE setCycles NOTIFY changed)
    Q_PROPERTY(QColor healthColor READ healthColor WRITE setHealthColor NOTIFY changed)
    Q_PROPERTY(QColor cycleColor READ cycleColor WRITE setCycleColor NOTIFY changed)
    Q_PROPERTY(bool glows READ glows WRITE setGlows NOTIFY changed)
public:
    explicit BatteryHistoryPlot(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QVariantList health() const { return m_health; }
    void setHealth(const QVariantList &v) { m_health = v; touch(); }
    QVariantList cycles() const { return m_cycles; }
    void setCycles(const QVariantList &v) { m_cycles = v; touch(); }
    QColor healthColor() const { return m_healthColor; }
    void setHealthColor(const QColor &c) { m_healthColor = c; touch(); }
    QColor cycleColor() const { return m_cycleColor; }
    void setCycleColor(const QColor &c) { m_cycleColor = c; touch(); }
    bool glows() const { return m_glows; }
    void setGlows(bool v) { m_glows = v; touch(); }

    static QList<double> values(const QVariantList &daily);

signals:
    void changed();

private:
    void touch() { emit changed(); update(); }
    QVariantList m_health, m_cycles;
    QColor m_healthColor = Qt::green, m_cycleColor = Qt::yellow;
    bool m_glows = true;
};

} // namespace corvane
