#include "ui/surfaces/StripStack.h"

#include <algorithm>

namespace corvane {

StripStack::StripStack(Qt::Orientation orientation, QQuickItem *parent)
    : QQuickItem(parent), m_orientation(orientation)
{
    // Shown again, the children's visibility is known once more.
    connect(this, &QQuickItem::visibleChanged, this, &StripStack::place);
}

StripStack::~StripStack()
{
    // The item's own teardown unparents the children and hides the stack, and both signal;
    // by then this part of the object is gone.
    disconnect(this, nullptr, this, nullptr);
    for (QQuickItem *child : childItems())
        disconnect(child, nullptr, this, nullptr);
}

void StripStack::setSpacing(qreal s)
{
    if (qFuzzyCompare(s, m_spacing))
        return;
    m_spacing = s;
    emit spacingChanged();
    place();
}

void StripStack::itemChange(ItemChange change, const ItemChangeData &data)
{
    if (change == ItemChildAddedChange) {
        watch(data.item);
        place();
    } else if (change == ItemChildRemovedChange) {
        disconnect(data.item, nullptr, this, nullptr);
        place();
    }
    QQuickItem::itemChange(change, data);
}

void StripStack::componentComplete()
{
    QQuickItem::componentComplete();
    place();
}

void StripStack::watch(QQuickItem *child)
{
    connect(child, &QQuickItem::widthChanged, this, &StripStack::place);
    connect(child, &QQuickItem::heightChanged, this, &StripStack::place);
    connect(child, &QQuickItem::visibleChanged, this, &StripStack::place);
}

void StripStack::place()
{
    // While the stack itself is hidden every child reads as hidden: keep the last placement.
    if (m_placing) {
        m_again = true;
        return;
    }
    if (!isVisible())
        return;
    m_placing = true;
    do {
        m_again = false;
        placeOnce();
    } while (m_again);
    m_placing = false;
}

void StripStack::placeOnce()
{
    const bool row = m_orientation == Qt::Horizontal;
    qreal along = 0;
    qreal across = 0;
    bool any = false;
    for (QQuickItem *child : childItems()) {
        if (!child->isVisible() || child->width() == 0 || child->height() == 0)
            continue;
        if (any)
            along += m_spacing;
        if (row)
            child->setX(along);
        else
            child->setY(along);
        along += row ? child->width() : child->height();
        across = std::max(across, row ? child->height() : child->width());
        any = true;
    }
    setImplicitSize(row ? along : across, row ? across : along);
}

} // namespace corvane
