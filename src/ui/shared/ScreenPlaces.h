#pragma once
// Where each screen was scrolled to. A screen is built anew on every tab switch and whenever
// the main window comes back (its content goes while hidden, and with the engine after a
// while), so the places live with the app's state hub rather than in the screens.
#include <QHash>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class AppState;

class ScreenPlaces : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    // The one that belongs to `hub` (made on first use, lives as long as the hub).
    static ScreenPlaces *of(AppState *hub);
    static ScreenPlaces *create(QQmlEngine *, QJSEngine *);

    // Distance scrolled from the top of the screen `key`; 0 for one never scrolled.
    Q_INVOKABLE double offset(const QString &key) const { return m_offsets.value(key, 0.0); }
    Q_INVOKABLE void keep(const QString &key, double offset);

private:
    // Made only through of(): QML must not build one per engine.
    explicit ScreenPlaces(QObject *owner) : QObject(owner) {}
    QHash<QString, double> m_offsets;
};

} // namespace corvane
