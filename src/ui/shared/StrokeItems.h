#pragma once
// Painted items for strokes that Qt Quick Shapes cannot draw: a shape's stroke there takes a
// single colour, while the gauge, ring and sparkline stroke with a two-stop gradient.
// `paint` takes a colour or an AppPalette gradient (unit points over the item's bounds).
#include <QColor>
#include <QFont>
#include <QList>
#include "ui/shared/RasterItem.h"
#include <QBrush>
#include <QImage>
#include <QPolygonF>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace corvane {

// Bindings write again whenever a dependency changes; an equal value costs no paint.
template <typename T>
bool assignChanged(T &field, const T &v)
{
    if (field == v)
        return false;
    field = v;
    return true;
}

// The brush a colour or a palette gradient gives over `bounds`; transparent for anything else.
QBrush brushForPaint(const QVariant &paint, const QRectF &bounds);

// An arc about the item's centre from startAngle to endAngle (degrees, clockwise on screen,
// 0 pointing right). A negative radius means "fit the item".
class ArcStroke : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariant paint READ paint WRITE setPaint NOTIFY changed)
    Q_PROPERTY(double radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(double startAngle READ startAngle WRITE setStartAngle NOTIFY changed)
    Q_PROPERTY(double endAngle READ endAngle WRITE setEndAngle NOTIFY changed)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    Q_PROPERTY(bool roundCap READ roundCap WRITE setRoundCap NOTIFY changed)
public:
    explicit ArcStroke(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QVariant paint() const { return m_paint; }
    void setPaint(const QVariant &v) { set(m_paint, v); }
    double radius() const { return m_radius; }
    void setRadius(double v) { set(m_radius, v); }
    double startAngle() const { return m_start; }
    void setStartAngle(double v) { set(m_start, v); }
    double endAngle() const { return m_end; }
    void setEndAngle(double v) { set(m_end, v); }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double v) { set(m_lineWidth, v); }
    bool roundCap() const { return m_roundCap; }
    void setRoundCap(bool v) { set(m_roundCap, v); }

signals:
    void changed();

private:
    void touch() { emit changed(); update(); }
    template <typename T>
    void set(T &field, const T &v) { if (assignChanged(field, v)) touch(); }
    QVariant m_paint;
    double m_radius = -1, m_start = 0, m_end = 360, m_lineWidth = 1;
    bool m_roundCap = true;
};

// The gauge needle: one segment from the item's centre along angleDegrees, stroked with a
// vertical gradient from `topColor` to `bottomColor` over the item.
class NeedleShape : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double angleDegrees READ angleDegrees WRITE setAngleDegrees NOTIFY changed)
    Q_PROPERTY(double length READ length WRITE setLength NOTIFY changed)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    Q_PROPERTY(QColor topColor READ topColor WRITE setTopColor NOTIFY changed)
    Q_PROPERTY(QColor bottomColor READ bottomColor WRITE setBottomColor NOTIFY changed)
public:
    explicit NeedleShape(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;
    static QPointF tip(const QRectF &rect, double angleDegrees, double length);

    double angleDegrees() const { return m_angle; }
    void setAngleDegrees(double v) { set(m_angle, v); }
    double length() const { return m_length; }
    void setLength(double v) { set(m_length, v); }
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double v) { set(m_lineWidth, v); }
    QColor topColor() const { return m_top; }
    void setTopColor(const QColor &c) { set(m_top, c); }
    QColor bottomColor() const { return m_bottom; }
    void setBottomColor(const QColor &c) { set(m_bottom, c); }

signals:
    void changed();

private:
    void touch() { emit changed(); update(); }
    template <typename T>
    void set(T &field, const T &v) { if (assignChanged(field, v)) touch(); }
    double m_angle = 0, m_length = 0, m_lineWidth = 3.5;
    QColor m_top = Qt::white, m_bottom = Qt::white;
};

// The sparkline's grid, fill and line. `normalizedMax` is a number or undefined.
class SparklinePlot : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    // Any list of numbers: a history's samples, a JS array or a variant list.
    Q_PROPERTY(QVariant samples READ samplesVariant WRITE setSamples NOTIFY changed)
    Q_PROPERTY(QVariant paint READ paint WRITE setPaint NOTIFY changed)
    Q_PROPERTY(QColor glowColor READ glowColor WRITE setGlowColor NOTIFY changed)
    Q_PROPERTY(QVariant normalizedMax READ normalizedMax WRITE setNormalizedMax NOTIFY changed)
    Q_PROPERTY(bool showGrid READ showGrid WRITE setShowGrid NOTIFY changed)
    Q_PROPERTY(bool drawGrid READ drawGrid WRITE setDrawGrid NOTIFY changed)
    Q_PROPERTY(bool drawFill READ drawFill WRITE setDrawFill NOTIFY changed)
    Q_PROPERTY(bool drawLine READ drawLine WRITE setDrawLine NOTIFY changed)
    Q_PROPERTY(bool hasPlot READ hasPlot NOTIFY changed)
    Q_PROPERTY(QPointF pulsePoint READ pulsePoint NOTIFY changed)
public:
    explicit SparklinePlot(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QList<double> samples() const { return m_samples; }
    QVariant samplesVariant() const { return QVariant::fromValue(m_samples); }
    void setSamples(const QVariant &v);
    QVariant paint() const { return m_paint; }
    void setPaint(const QVariant &v) { set(m_paint, v); }
    QColor glowColor() const { return m_glow; }
    void setGlowColor(const QColor &c) { set(m_glow, c); }
    QVariant normalizedMax() const { return m_max; }
    void setNormalizedMax(const QVariant &v) { set(m_max, v); }
    bool showGrid() const { return m_showGrid; }
    void setShowGrid(bool v) { set(m_showGrid, v); }
    // The layers can be split over several items so that only the line glows.
    bool drawGrid() const { return m_drawGrid; }
    void setDrawGrid(bool v) { set(m_drawGrid, v); }
    bool drawFill() const { return m_drawFill; }
    void setDrawFill(bool v) { set(m_drawFill, v); }
    bool drawLine() const { return m_drawLine; }
    void setDrawLine(bool v) { set(m_drawLine, v); }
    bool hasPlot() const;
    QPointF pulsePoint() const;
    // How many times the picture was drawn whole (a new sample that only moves the history
    // along by whole pixels shifts the kept picture and draws its ends).
    int wholeRedraws() const { return m_wholeRedraws; }

signals:
    void changed();

protected:
    void geometryChange(const QRectF &n, const QRectF &o) override
    {
        RasterItem::geometryChange(n, o);
        emit changed();
    }

private:
    std::optional<double> fixedMax() const;
    void touch() { emit changed(); update(); }
    template <typename T>
    void set(T &field, const T &v) { if (assignChanged(field, v)) touch(); }
    static constexpr double kLineWidth = 2.2;
    // What each band of a redraw draws: the grid's rows, fill and line in the item's
    // coordinates, and the rows (device pixels) the fill and line reach.
    struct Layers {
        QList<int> gridRows;
        bool fill = false, line = false;
        QBrush fillBrush, lineBrush;
        QPolygonF fillPolygon, linePoints;
        double fillTop = 0, lineTop = 0, lineBottom = 0;
    };
    Layers plotLayers(qreal dpr);
    // Draws the kept picture's pixels in `area` again from the samples.
    void redraw(const QRect &area);
    bool shiftPicture(qreal dpr);
    QList<double> m_samples;
    QImage m_grid; // the dashed grid at the current size
    QList<int> m_gridRows; // and the rows its dashes touch
    QVariant m_paint, m_max;
    QColor m_glow = Qt::white;
    bool m_showGrid = false, m_drawGrid = true, m_drawFill = true, m_drawLine = true;
    // The whole picture over a clear ground, and what it was drawn from.
    QImage m_picture;
    QList<double> m_pictureSamples;
    QVariant m_pictureKey;
    int m_wholeRedraws = 0;
};

// One line of text filled with a horizontal gradient over the item's width: `baseColor` at
// both ends, `highlightColor` at the middle (rising from 35 % and gone again at 65 %). Its
// implicit size is the text's advance and the font's height. Painted rather than a Shape's
// text path: the software scene graph kept drawing such a path after its item was gone.
class GradientText : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY changed)
    Q_PROPERTY(QColor baseColor READ baseColor WRITE setBaseColor NOTIFY changed)
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor NOTIFY changed)
public:
    explicit GradientText(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QString text() const { return m_text; }
    void setText(const QString &t);
    QFont font() const { return m_font; }
    void setFont(const QFont &f);
    QColor baseColor() const { return m_base; }
    void setBaseColor(const QColor &c);
    QColor highlightColor() const { return m_highlight; }
    void setHighlightColor(const QColor &c);

signals:
    void changed();

private:
    void relayout();
    QString m_text;
    QFont m_font;
    QColor m_base = Qt::white;
    QColor m_highlight = Qt::white;
};

// The gauge ring's tick marks, every fifth a major one, drawn as one image: sixty rotated
// rectangles would be sixty scene-graph nodes that the software renderer walks and
// clips every frame although they never change.
class RingTicks : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
public:
    explicit RingTicks(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    int count() const { return m_count; }
    void setCount(int v) { set(m_count, v); }
    QColor color() const { return m_color; }
    void setColor(const QColor &c) { set(m_color, c); }

signals:
    void changed();

private:
    template <typename T>
    void set(T &field, const T &v) { if (assignChanged(field, v)) { emit changed(); update(); } }
    int m_count = 60;
    QColor m_color = Qt::white;
};

} // namespace corvane
