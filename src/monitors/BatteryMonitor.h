#pragma once
// Battery charge, health and electrical figures and the external adapter, every 5 s.
// Never paused: the threshold alerts and the battery history depend on it.
#include "monitors/SamplerScheduler.h"
#include "platform/PowerSources.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

namespace corvane {

// The three raw readings of one refresh, taken off the GUI thread.
struct BatteryReadings {
    std::optional<QList<PowerSourceDescription>> sources;
    std::optional<SmartBatteryReading> battery;
    std::optional<AdapterDetails> adapter;
};

// The sampling side: reads the power sources. Sampler thread only.
class BatterySampler {
public:
    explicit BatterySampler(std::unique_ptr<PowerSources> source) : m_source(std::move(source)) {}
    BatteryReadings sample();

private:
    std::unique_ptr<PowerSources> m_source;
};

class BatteryMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(double percentage READ percentage NOTIFY percentageChanged)
    Q_PROPERTY(bool isCharging READ isCharging NOTIFY isChargingChanged)
    Q_PROPERTY(qint64 cycleCount READ cycleCount NOTIFY cycleCountChanged)
    Q_PROPERTY(qint64 designCapacity READ designCapacity NOTIFY designCapacityChanged)
    Q_PROPERTY(qint64 maxCapacity READ maxCapacity NOTIFY maxCapacityChanged)
    Q_PROPERTY(double healthPercentage READ healthPercentage NOTIFY healthPercentageChanged)
    Q_PROPERTY(double temperatureCelsius READ temperatureCelsius NOTIFY temperatureCelsiusChanged)
    Q_PROPERTY(qint64 timeRemainingMinutes READ timeRemainingMinutes NOTIFY timeRemainingMinutesChanged)
    Q_PROPERTY(double voltage READ voltage NOTIFY voltageChanged)
    Q_PROPERTY(double amperage READ amperage NOTIFY amperageChanged)
    Q_PROPERTY(QVariant adapterName READ adapterNameVariant NOTIFY adapterNameChanged)
    Q_PROPERTY(QVariant adapterFamily READ adapterFamilyVariant NOTIFY adapterFamilyChanged)
    Q_PROPERTY(qint64 adapterMaxWatts READ adapterMaxWatts NOTIFY adapterMaxWattsChanged)
    Q_PROPERTY(double adapterVoltageV READ adapterVoltageV NOTIFY adapterVoltageVChanged)
    Q_PROPERTY(double adapterCurrentA READ adapterCurrentA NOTIFY adapterCurrentAChanged)
    Q_PROPERTY(double adapterDeliveringWatts READ adapterDeliveringWatts NOTIFY adapterDeliveringWattsChanged)
    Q_PROPERTY(double chargingPowerW READ chargingPowerW NOTIFY chargingPowerWChanged)
    Q_PROPERTY(bool hasBattery READ hasBattery NOTIFY hasBatteryChanged)
    // Whether the figure was ever read: until then its field holds the resting value, which
    // the screens show as "—".
    Q_PROPERTY(bool percentageKnown READ percentageKnown NOTIFY percentageKnownChanged)
    Q_PROPERTY(bool cycleCountKnown READ cycleCountKnown NOTIFY cycleCountKnownChanged)
    Q_PROPERTY(bool temperatureKnown READ temperatureKnown NOTIFY temperatureKnownChanged)
    Q_PROPERTY(bool voltageKnown READ voltageKnown NOTIFY voltageKnownChanged)
    Q_PROPERTY(bool healthKnown READ healthKnown NOTIFY healthKnownChanged)
    Q_PROPERTY(bool maxCapacityKnown READ maxCapacityKnown NOTIFY maxCapacityKnownChanged)
    Q_PROPERTY(bool designCapacityKnown READ designCapacityKnown NOTIFY designCapacityKnownChanged)
    Q_PROPERTY(bool adapterVoltageKnown READ adapterVoltageKnown NOTIFY adapterVoltageKnownChanged)
    Q_PROPERTY(bool adapterCurrentKnown READ adapterCurrentKnown NOTIFY adapterCurrentKnownChanged)
    Q_PROPERTY(bool adapterDeliveringKnown READ adapterDeliveringKnown NOTIFY adapterDeliveringKnownChanged)
    Q_PROPERTY(bool chargingPowerKnown READ chargingPowerKnown NOTIFY chargingPowerKnownChanged)
public:
    using Snapshot = BatteryReadings;

    explicit BatteryMonitor(QObject *parent = nullptr);
    BatteryMonitor(std::unique_ptr<PowerSources> source, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~BatteryMonitor() override;

    // Refreshes at once, then every 5 s; calling it again restarts the cadence.
    void start();
    void stop();

    // Every published field, as one value.
    struct Fields {
        double percentage = 0;
        bool isCharging = false;
        qint64 cycleCount = 0;
        qint64 designCapacity = 0;
        qint64 maxCapacity = 0;
        double healthPercentage = 100;
        double temperatureCelsius = 0;
        qint64 timeRemainingMinutes = -1;
        double voltage = 0;
        double amperage = 0;
        std::optional<QString> adapterName;
        std::optional<QString> adapterFamily;
        qint64 adapterMaxWatts = 0;
        double adapterVoltageV = 0;
        double adapterCurrentA = 0;
        double adapterDeliveringWatts = 0;
        double chargingPowerW = 0;
        bool percentageKnown = false;
        bool cycleCountKnown = false;
        bool temperatureKnown = false;
        bool voltageKnown = false;
        bool healthKnown = false;
        bool maxCapacityKnown = false;
        bool designCapacityKnown = false;
        bool adapterVoltageKnown = false;
        bool adapterCurrentKnown = false;
        bool adapterDeliveringKnown = false;
        bool chargingPowerKnown = false;
        bool amperageKnown = false; // not shown; the charging power needs it
    };

    double percentage() const { return m_f.percentage; }
    bool isCharging() const { return m_f.isCharging; }
    qint64 cycleCount() const { return m_f.cycleCount; }
    qint64 designCapacity() const { return m_f.designCapacity; }
    qint64 maxCapacity() const { return m_f.maxCapacity; }
    double healthPercentage() const { return m_f.healthPercentage; }
    double temperatureCelsius() const { return m_f.temperatureCelsius; }
    qint64 timeRemainingMinutes() const { return m_f.timeRemainingMinutes; }
    double voltage() const { return m_f.voltage; }
    double amperage() const { return m_f.amperage; }
    const std::optional<QString> &adapterName() const { return m_f.adapterName; }
    const std::optional<QString> &adapterFamily() const { return m_f.adapterFamily; }
    qint64 adapterMaxWatts() const { return m_f.adapterMaxWatts; }
    double adapterVoltageV() const { return m_f.adapterVoltageV; }
    double adapterCurrentA() const { return m_f.adapterCurrentA; }
    double adapterDeliveringWatts() const { return m_f.adapterDeliveringWatts; }
    double chargingPowerW() const { return m_f.chargingPowerW; }
    bool percentageKnown() const { return m_f.percentageKnown; }
    bool cycleCountKnown() const { return m_f.cycleCountKnown; }
    bool temperatureKnown() const { return m_f.temperatureKnown; }
    bool voltageKnown() const { return m_f.voltageKnown; }
    bool healthKnown() const { return m_f.healthKnown; }
    bool maxCapacityKnown() const { return m_f.maxCapacityKnown; }
    bool designCapacityKnown() const { return m_f.designCapacityKnown; }
    bool adapterVoltageKnown() const { return m_f.adapterVoltageKnown; }
    bool adapterCurrentKnown() const { return m_f.adapterCurrentKnown; }
    bool adapterDeliveringKnown() const { return m_f.adapterDeliveringKnown; }
    bool chargingPowerKnown() const { return m_f.chargingPowerKnown; }
    // A machine without a battery reports no charge, no voltage and no capacities (the
    // initial values); a flat battery still has a voltage or capacities.
    static bool batteryPresent(double percentage, double voltage, qint64 maxCapacity, qint64 designCapacity)
    {
        return percentage > 0 || voltage > 0 || maxCapacity > 0 || designCapacity > 0;
    }
    bool hasBattery() const { return batteryPresent(m_f.percentage, m_f.voltage, m_f.maxCapacity, m_f.designCapacity); }
    QVariant adapterNameVariant() const { return m_f.adapterName ? QVariant(*m_f.adapterName) : QVariant(); }
    QVariant adapterFamilyVariant() const { return m_f.adapterFamily ? QVariant(*m_f.adapterFamily) : QVariant(); }

    // One refresh of `f` from a snapshot: a reading that is absent leaves its fields as they were.
    static Fields refreshed(Fields f, const Snapshot &s);

    // Applies one refresh on the main thread: the fields first, then their signals, then updated().
    void publish(const Snapshot &s);
    // The sampler thread's; tests drive it by hand while the monitor is not started.
    BatterySampler &sampler() const { return *m_sampler; }
    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void percentageChanged();
    void isChargingChanged();
    void cycleCountChanged();
    void designCapacityChanged();
    void maxCapacityChanged();
    void healthPercentageChanged();
    void temperatureCelsiusChanged();
    void timeRemainingMinutesChanged();
    void voltageChanged();
    void amperageChanged();
    void adapterNameChanged();
    void adapterFamilyChanged();
    void adapterMaxWattsChanged();
    void adapterVoltageVChanged();
    void adapterCurrentAChanged();
    void adapterDeliveringWattsChanged();
    void chargingPowerWChanged();
    void hasBatteryChanged();
    void percentageKnownChanged();
    void cycleCountKnownChanged();
    void temperatureKnownChanged();
    void voltageKnownChanged();
    void healthKnownChanged();
    void maxCapacityKnownChanged();
    void designCapacityKnownChanged();
    void adapterVoltageKnownChanged();
    void adapterCurrentKnownChanged();
    void adapterDeliveringKnownChanged();
    void chargingPowerKnownChanged();

private:
    std::unique_ptr<BatterySampler> m_sampler;
    Fields m_f;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
