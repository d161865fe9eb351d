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
    // A figure no reading gave is std::nullopt here and an empty QVariant (undefined) in QML:
    // the screens show "—" for it, never a resting 0 or 100.
    Q_PROPERTY(QVariant percentage READ percentageVariant NOTIFY percentageChanged)
    Q_PROPERTY(bool isCharging READ isCharging NOTIFY isChargingChanged)
    Q_PROPERTY(QVariant cycleCount READ cycleCountVariant NOTIFY cycleCountChanged)
    Q_PROPERTY(QVariant designCapacity READ designCapacityVariant NOTIFY designCapacityChanged)
    Q_PROPERTY(QVariant maxCapacity READ maxCapacityVariant NOTIFY maxCapacityChanged)
    Q_PROPERTY(QVariant healthPercentage READ healthPercentageVariant NOTIFY healthPercentageChanged)
    Q_PROPERTY(QVariant temperatureCelsius READ temperatureCelsiusVariant NOTIFY temperatureCelsiusChanged)
    Q_PROPERTY(qint64 timeRemainingMinutes READ timeRemainingMinutes NOTIFY timeRemainingMinutesChanged)
    Q_PROPERTY(QVariant voltage READ voltageVariant NOTIFY voltageChanged)
    Q_PROPERTY(QVariant amperage READ amperageVariant NOTIFY amperageChanged)
    Q_PROPERTY(QVariant adapterName READ adapterNameVariant NOTIFY adapterNameChanged)
    Q_PROPERTY(QVariant adapterFamily READ adapterFamilyVariant NOTIFY adapterFamilyChanged)
    Q_PROPERTY(qint64 adapterMaxWatts READ adapterMaxWatts NOTIFY adapterMaxWattsChanged)
    Q_PROPERTY(QVariant adapterVoltageV READ adapterVoltageVVariant NOTIFY adapterVoltageVChanged)
    Q_PROPERTY(QVariant adapterCurrentA READ adapterCurrentAVariant NOTIFY adapterCurrentAChanged)
    Q_PROPERTY(QVariant adapterDeliveringWatts READ adapterDeliveringWattsVariant NOTIFY adapterDeliveringWattsChanged)
    Q_PROPERTY(QVariant chargingPowerW READ chargingPowerWVariant NOTIFY chargingPowerWChanged)
    Q_PROPERTY(bool hasBattery READ hasBattery NOTIFY hasBatteryChanged)
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
        std::optional<double> percentage;
        bool isCharging = false;
        std::optional<qint64> cycleCount;
        std::optional<qint64> designCapacity;
        std::optional<qint64> maxCapacity;
        std::optional<double> healthPercentage;
        std::optional<double> temperatureCelsius;
        qint64 timeRemainingMinutes = -1;
        std::optional<double> voltage;
        std::optional<double> amperage;
        std::optional<QString> adapterName;
        std::optional<QString> adapterFamily;
        qint64 adapterMaxWatts = 0; // 0: the adapter gives no rating
        std::optional<double> adapterVoltageV;
        std::optional<double> adapterCurrentA;
        std::optional<double> adapterDeliveringWatts;
        std::optional<double> chargingPowerW;
    };

    std::optional<double> percentage() const { return m_f.percentage; }
    bool isCharging() const { return m_f.isCharging; }
    std::optional<qint64> cycleCount() const { return m_f.cycleCount; }
    std::optional<qint64> designCapacity() const { return m_f.designCapacity; }
    std::optional<qint64> maxCapacity() const { return m_f.maxCapacity; }
    std::optional<double> healthPercentage() const { return m_f.healthPercentage; }
    std::optional<double> temperatureCelsius() const { return m_f.temperatureCelsius; }
    qint64 timeRemainingMinutes() const { return m_f.timeRemainingMinutes; }
    std::optional<double> voltage() const { return m_f.voltage; }
    std::optional<double> amperage() const { return m_f.amperage; }
    const std::optional<QString> &adapterName() const { return m_f.adapterName; }
    const std::optional<QString> &adapterFamily() const { return m_f.adapterFamily; }
    qint64 adapterMaxWatts() const { return m_f.adapterMaxWatts; }
    std::optional<double> adapterVoltageV() const { return m_f.adapterVoltageV; }
    std::optional<double> adapterCurrentA() const { return m_f.adapterCurrentA; }
    std::optional<double> adapterDeliveringWatts() const { return m_f.adapterDeliveringWatts; }
    std::optional<double> chargingPowerW() const { return m_f.chargingPowerW; }
    // A machine without a battery reports no charge, no voltage and no capacities; a flat
    // battery still has a voltage or capacities.
    static bool batteryPresent(std::optional<double> percentage, std::optional<double> voltage,
                               std::optional<qint64> maxCapacity, std::optional<qint64> designCapacity)
    {
        return percentage.value_or(0) > 0 || voltage.value_or(0) > 0 || maxCapacity.value_or(0) > 0
            || designCapacity.value_or(0) > 0;
    }
    bool hasBattery() const { return batteryPresent(m_f.percentage, m_f.voltage, m_f.maxCapacity, m_f.designCapacity); }

    QVariant percentageVariant() const { return variantOf(m_f.percentage); }
    QVariant cycleCountVariant() const { return variantOf(m_f.cycleCount); }
    QVariant designCapacityVariant() const { return variantOf(m_f.designCapacity); }
    QVariant maxCapacityVariant() const { return variantOf(m_f.maxCapacity); }
    QVariant healthPercentageVariant() const { return variantOf(m_f.healthPercentage); }
    QVariant temperatureCelsiusVariant() const { return variantOf(m_f.temperatureCelsius); }
    QVariant voltageVariant() const { return variantOf(m_f.voltage); }
    QVariant amperageVariant() const { return variantOf(m_f.amperage); }
    QVariant adapterNameVariant() const { return variantOf(m_f.adapterName); }
    QVariant adapterFamilyVariant() const { return variantOf(m_f.adapterFamily); }
    QVariant adapterVoltageVVariant() const { return variantOf(m_f.adapterVoltageV); }
    QVariant adapterCurrentAVariant() const { return variantOf(m_f.adapterCurrentA); }
    QVariant adapterDeliveringWattsVariant() const { return variantOf(m_f.adapterDeliveringWatts); }
    QVariant chargingPowerWVariant() const { return variantOf(m_f.chargingPowerW); }

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

private:
    template <class T>
    static QVariant variantOf(const std::optional<T> &v)
    {
        return v ? QVariant::fromValue(*v) : QVariant();
    }

    std::unique_ptr<BatterySampler> m_sampler;
    Fields m_f;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
