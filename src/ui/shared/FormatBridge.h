#pragma once
// The shared formatters as a QML singleton ("Fmt").
#include "common/Formatters.h"
#include "common/Numbers.h"
#include "state/ThemeManager.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class FormatBridge : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Fmt)
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE QString bitRate(double bytesPerSecond) const { return bitRateText(saturatingCast<uint64_t>(bytesPerSecond)); }
    Q_INVOKABLE QString byteRate(double bytesPerSecond) const { return byteRateText(saturatingCast<uint64_t>(bytesPerSecond)); }
    Q_INVOKABLE QString byteCount(double bytes) const { return byteCountText(saturatingCast<uint64_t>(bytes)); }
    Q_INVOKABLE QString whole(double value) const { return wholeText(value); }
    Q_INVOKABLE QString fixed(double value, int precision) const { return printfFixed(value, precision); }
    Q_INVOKABLE QColor temperatureColor(double celsius) const { return corvane::temperatureColor(celsius); }
};

} // namespace corvane
