#pragma once
// Named images bundled with the application (":/images/<name>.svg").
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class Assets : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    // Empty when there is no such image, so a view can leave its layer blank without a warning.
    Q_INVOKABLE QUrl image(const QString &name) const { return imageUrl(name); }
    static QUrl imageUrl(const QString &name);
};

} // namespace corvane
