#pragma once
// A soft glow painted once into an image: a text (or symbol) or a rounded shape, blurred and
// tinted, redrawn only when what it shows changes. The blurred shape is kept: a new colour
// tints it again, and only a new shape, size or radius blurs anew. The software scene graph runs no shader
// effects, so the glows of values, symbols and bars come from this there.
#include <QColor>
#include <QFont>
#include <QImage>
#include "ui/shared/RasterItem.h"
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

class SoftGlow : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    // Text drawn in `font`; when empty, the rounded rectangle (or its outline) is the shape.
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY changed)
    // Qt alignment flags of the text inside the shape's box.
    Q_PROPERTY(int alignment READ alignment WRITE setAlignment NOTIFY changed)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY changed)
    // 0 fills the shape; otherwise only its outline this wide (a ring for a circle).
    Q_PROPERTY(qreal strokeWidth READ strokeWidth WRITE setStrokeWidth NOTIFY changed)
    // The shape's box lies this far inside the item, leaving room for the blur.
    Q_PROPERTY(qreal inset READ inset WRITE setInset NOTIFY changed)
    // Up to two glows, painted first the wide one then the tight one; a clear colour or a
    // radius of 0 leaves the second out.
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(QColor color2 READ color2 WRITE setColor2 NOTIFY changed)
    Q_PROPERTY(qreal radius2 READ radius2 WRITE setRadius2 NOTIFY changed)
public:
    explicit SoftGlow(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;

    // Blurs an alpha mask in place with three box passes per axis, close to a Gaussian of
    // `sigma` pixels.
    static void blurAlpha(QImage &mask, qreal sigma);
    // `color` (premultiplied) scaled by each pixel of an alpha mask.
    static QImage tint(const QImage &alpha, const QColor &color);

    // How many times a mask was blurred.
    int blurCount() const { return m_blurs; }

    QString text() const { return m_text; }
    void setText(const QString &t);
    QFont font() const { return m_font; }
    void setFont(const QFont &f);
    int alignment() const { return m_alignment; }
    void setAlignment(int a);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal r);
    qreal strokeWidth() const { return m_strokeWidth; }
    void setStrokeWidth(qreal w);
    qreal inset() const { return m_inset; }
    void setInset(qreal i);
    QColor color() const { return m_color; }
    void setColor(const QColor &c);
    qreal radius() const { return m_radius; }
    void setRadius(qreal r);
    QColor color2() const { return m_color2; }
    void setColor2(const QColor &c);
    qreal radius2() const { return m_radius2; }
    void setRadius2(qreal r);

signals:
    void changed();

private:
    template <typename T> void assign(T &field, const T &v, bool shape);
    QImage mask(qreal dpr) const;
    void drawShape(QPainter &p, const QRectF &box) const;

    // One glow: its mask blurred by `radius` and that tinted with `color`.
    struct Layer {
        qreal radius = -1;
        QColor color;
        QImage blurred, tinted;
    };
    QImage m_shape; // the unblurred mask at m_shapeSize
    QSize m_shapeSize;
    qreal m_shapeDpr = 0;
    bool m_shapeDirty = true;
    Layer m_layers[2];
    int m_blurs = 0;

    QString m_text;
    QFont m_font;
    int m_alignment = Qt::AlignLeft | Qt::AlignTop;
    qreal m_cornerRadius = 0;
    qreal m_strokeWidth = 0;
    qreal m_inset = 0;
    QColor m_color = Qt::transparent;
    qreal m_radius = 0;
    QColor m_color2 = Qt::transparent;
    qreal m_radius2 = 0;
};

} // namespace corvane::effects
