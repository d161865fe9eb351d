#pragma once
// A bundled image drawn as it is, at the item's size, for a picture that does not move: an
// Image's single texture of a tall picture goes to Qt's thread pool each time the software
// renderer draws it under a frame's changes; this one reaches the renderer in strips.
#include "ui/shared/RasterItem.h"

#include <QImage>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace corvane::effects {

class StillImage : public RasterItem {
    Q_OBJECT
    QML_ELEMENT
    // A "qrc:" address, as Assets.image gives.
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
public:
    explicit StillImage(QQuickItem *parent = nullptr);
    void paint(QPainter *p) override;

    QUrl source() const { return m_source; }
    void setSource(const QUrl &url);

signals:
    void sourceChanged();

private:
    QUrl m_source;
    QImage m_image; // decoded at m_image's size, as an Image with that source size decodes it
};

} // namespace corvane::effects
