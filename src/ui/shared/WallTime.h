#pragma once
// The time of day the screens show: their clocks, dates and greeting all read it here.
#include "platform/Clock.h"

#include <QDateTime>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class WallTime : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    // Local time, to the millisecond.
    static QDateTime current();
    Q_INVOKABLE QDateTime now() const { return current(); }

    // Where current() reads the time; null (the default) is the system's clock. Pictures
    // that must come out the same on every run hand in a clock that stands still.
    static void setClock(const Clock *clock);
};

} // namespace corvane
