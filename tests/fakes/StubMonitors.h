#pragma once
// Stand-ins for the monitors the notifiers follow: the same published field names, and
// each refresh assigns its fields in the monitors' order, announcing every assignment.
#include <QObject>
#include <QStringList>

namespace corvane::test {

#define STUB_FIELD(Type, name)                                                                                         \
public:                                                                                                                \
    Type name() const { return m_##name; }                                                                             \
    void set_##name(Type v)                                                                                            \
    {                                                                                                                  \
        m_##name = v;                                                                                                  \
        emit name##Changed();                                                                                          \
    }                                                                                                                  \
                                                                                                                       \
private:                                                                                                               \
    Type m_##name{};

class StubSystemMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(double cpuUsage READ cpuUsage NOTIFY cpuUsageChanged)
    STUB_FIELD(double, cpuUsage)
signals:
    void cpuUsageChanged();
};

class StubBatteryMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(double percentage READ percentage NOTIFY percentageChanged)
    Q_PROPERTY(bool isCharging READ isCharging NOTIFY isChargingChanged)
    Q_PROPERTY(int cycleCount READ cycleCount NOTIFY cycleCountChanged)
    Q_PROPERTY(double healthPercentage READ healthPercentage NOTIFY healthPercentageChanged)
    Q_PROPERTY(double temperatureCelsius READ temperatureCelsius NOTIFY temperatureCelsiusChanged)
    STUB_FIELD(double, percentage)
    STUB_FIELD(bool, isCharging)
    STUB_FIELD(int, cycleCount)
    STUB_FIELD(double, healthPercentage)
    STUB_FIELD(double, temperatureCelsius)
public:
    // One refresh, fields in the monitor's order.
    void refresh(double pct, bool charging, int cycles = 100, double health = 95, double temp = 30)
    {
        set_percentage(pct);
        set_isCharging(charging);
        set_cycleCount(cycles);
        set_healthPercentage(health);
        set_temperatureCelsius(temp);
    }
signals:
    void percentageChanged();
    void isChargingChanged();
    void cycleCountChanged();
    void healthPercentageChanged();
    void temperatureCelsiusChanged();
};

class StubCameraMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isCameraOn READ isCameraOn NOTIFY isCameraOnChanged)
    Q_PROPERTY(QStringList activeCameraNames READ activeCameraNames NOTIFY activeCameraNamesChanged)
    STUB_FIELD(bool, isCameraOn)
    STUB_FIELD(QStringList, activeCameraNames)
public:
    // One evaluation: the flag first, then the names.
    void evaluate(const QStringList &running)
    {
        set_isCameraOn(!running.isEmpty());
        set_activeCameraNames(running);
    }
signals:
    void isCameraOnChanged();
    void activeCameraNamesChanged();
};

class StubMicMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMicrophoneOn READ isMicrophoneOn NOTIFY isMicrophoneOnChanged)
    Q_PROPERTY(QStringList activeMicNames READ activeMicNames NOTIFY activeMicNamesChanged)
    STUB_FIELD(bool, isMicrophoneOn)
    STUB_FIELD(QStringList, activeMicNames)
public:
    void evaluate(const QStringList &running)
    {
        set_isMicrophoneOn(!running.isEmpty());
        set_activeMicNames(running);
    }
signals:
    void isMicrophoneOnChanged();
    void activeMicNamesChanged();
};

class StubTemperatureMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(double cpuTemp READ cpuTemp NOTIFY cpuTempChanged)
    STUB_FIELD(double, cpuTemp)
signals:
    void cpuTempChanged();
};

#undef STUB_FIELD

} // namespace corvane::test
