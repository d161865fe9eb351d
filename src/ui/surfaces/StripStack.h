#pragma once
// Row and Column for the strip that place their children as soon as one of them changes size
// or visibility. Qt's positioners wait for the next frame's polish to do it, and a reading that
// widens a text then moves its neighbours while that frame is being prepared, so the software
// render loop draws a second frame for it. Placement follows Row and Column exactly: children
// that are hidden or have no width or height take no room, others follow one another at
// `spacing`, unrounded; the stack's implicit size is their extent.
#include <QPointer>
#include <QQuickItem>

namespace corvane {

class StripStack : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY spacingChanged)
public:
    explicit StripStack(Qt::Orientation orientation, QQuickItem *parent = nullptr);
    ~StripStack() override;

    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal s);

signals:
    void spacingChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &data) override;
    void componentComplete() override;

private:
    void watch(QQuickItem *child);
    void place();
    void placeOnce();

    Qt::Orientation m_orientation;
    qreal m_spacing = 0;
    bool m_placing = false;
    bool m_again = false;
};

class StripRow : public StripStack {
    Q_OBJECT
    QML_ELEMENT
public:
    explicit StripRow(QQuickItem *parent = nullptr) : StripStack(Qt::Horizontal, parent) {}
};

class StripColumn : public StripStack {
    Q_OBJECT
    QML_ELEMENT
public:
    explicit StripColumn(QQuickItem *parent = nullptr) : StripStack(Qt::Vertical, parent) {}
};

} // namespace corvane
