#pragma once
// Haptic feedback. Linux desktops have no haptic hardware: the service records the
// requested pattern (so behaviour can be checked) and does nothing else.
#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class Haptics : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    enum Pattern { Generic = 0, Alignment = 1, LevelChange = 2 };
    Q_ENUM(Pattern)

    static Haptics *shared();
    static Haptics *create(QQmlEngine *, QJSEngine *);

    Q_INVOKABLE void perform(int pattern);
    const QList<int> &performed() const { return m_performed; }
    void clear() { m_performed.clear(); }

signals:
    void performedPattern(int pattern);

private:
    explicit Haptics(QObject *parent);
    QList<int> m_performed;
};

} // namespace corvane
