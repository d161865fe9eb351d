#pragma once
// The tinted layers and the border of a strip pill. Both run corner to corner, which a
// Rectangle's gradient cannot do, and the border fades from the accent to white.
#include <QColor>
#include "ui/shared/RasterItem.h"
#include <QtQml/qqmlregistration.h>

namespace corvane {

class PillChrome : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor accent READ accent WRITE setAccent NOTIFY accentChanged)
    Q_PROPERTY(double radius READ radius WRITE setRadius NOTIFY radiusChanged)
    // Filled under the layers where no backdrop item draws it: under the software renderer a
    // scaled rounded Rectangle is drawn in strips that leave seams, one painted path does not.
    Q_PROPERTY(QColor backdrop READ backdrop WRITE setBackdrop NOTIFY backdropChanged)
public:
    explicit PillChrome(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QColor accent() const { return m_accent; }
    void setAccent(const QColor &c);
    double radius() const { return m_radius; }
    void setRadius(double r);
    QColor backdrop() const { return m_backdrop; }
    void setBackdrop(const QColor &c);

signals:
    void accentChanged();
    void radiusChanged();
    void backdropChanged();

private:
    QColor m_accent = Qt::white;
    double m_radius = 14;
    QColor m_backdrop = Qt::transparent;
};

} // namespace corvane
