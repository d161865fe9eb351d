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
public:
    // The three raw readings of one refresh, taken off the GUI thread.
    struct Snapshot {
        std::optional<QList<PowerSourceDescription>> sources;
        std::optional<SmartBatteryReading> battery;
        std::optional<AdapterDetails> adapter;
    };

    explicit BatteryMonitor(QObject *parent = nullptr);
    BatteryMonitor(std::unique_ptr<PowerSources> source, const Clock &clock, bool autoStart,
                   QObject *parent = nullptr);
    ~BatteryMonitor() override;

    // Refreshes at once, then every 5 s; calling it again restarts the cadence.
    void start();
    void stop();

    double percentage() const { return m_percentage; }
    bool isCharging() const { return m_isCharging; }
    qint64 cycleCount() const { return m_cycleCount; }
    qint64 designCapacity() const { return m_designCapacity; }
    qint64 maxCapacity() const { return m_maxCapacity; }
    double healthPercentage() const { return m_healthPercentage; }
    double temperatureCelsius() const { return m_temperatureCelsius; }
    qint64 timeRemainingMinutes() const { return m_timeRemainingMinutes; }
    double voltage() const { return m_voltage; }
    double amperage() const { return m_amperage; }
    const std::optional<QString> &adapterName() const { return m_adapterName; }
    const std::optional<QString> &adapterFamily() const { return m_adapterFamily; }
    qint64 adapterMaxWatts() const { return m_adapterMaxWatts; }
    double adapterVoltageV() const { return m_adapterVoltageV; }
    double adapterCurrentA() const { return m_adapterCurrentA; }
    double adapterDeliveringWatts() const { return m_adapterDeliveringWatts; }
    double chargingPowerW() const { return m_chargingPowerW; }
    QVariant adapterNameVariant() const { return m_adapterName ? QVariant(*m_adapterName) : QVariant(); }
    QVariant adapterFamilyVariant() const { return m_adapterFamily ? QVariant(*m_adapterFamily) : QVariant(); }

    Snapshot sample();
    void publish(const Snapshot &s);
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

private:
    void applyPowerSources(const std::optional<QList<PowerSourceDescription>> &sources);
    void applySmartBattery(const std::optional<SmartBatteryReading> &battery);
    void applyAdapter(const std::optional<AdapterDetails> &adapter);

    std::unique_ptr<PowerSources> m_source;
    double m_percentage = 0;
    bool m_isCharging = false;
    qint64 m_cycleCount = 0;
    qint64 m_designCapacity = 0;
    qint64 m_maxCapacity = 0;
    double m_healthPercentage = 100;
    double m_temperatureCelsius = 0;
    qint64 m_timeRemainingMinutes = -1;
    double m_voltage = 0;
    double m_amperage = 0;
    std::optional<QString> m_adapterName;
    std::optional<QString> m_adapterFamily;
    qint64 m_adapterMaxWatts = 0;
    double m_adapterVoltageV = 0;
    double m_adapterCurrentA = 0;
    double m_adapterDeliveringWatts = 0;
    double m_chargingPowerW = 0;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane
