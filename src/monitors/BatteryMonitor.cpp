#include "monitors/BatteryMonitor.h"

namespace corvane {

BatteryMonitor::BatteryMonitor(QObject *parent)
    : BatteryMonitor(makeLinuxPowerSources(), Clock::system(), true, parent)
{
}

BatteryMonitor::BatteryMonitor(std::unique_ptr<PowerSources> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_source(std::move(source))
{
    // Gauge reads can be slow (ACPI); they stay off the GUI thread.
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.battery"), Cadence::offsetThenEvery(0.0, 5.0),
        sampleThenPublish(this),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

BatteryMonitor::~BatteryMonitor()
{
    m_scheduler.reset();
}

void BatteryMonitor::start() { m_scheduler->start(); }
void BatteryMonitor::stop() { m_scheduler->stop(); }

BatteryMonitor::Snapshot BatteryMonitor::sample()
{
    Snapshot s;
    s.sources = m_source->powerSources();
    s.battery = m_source->smartBattery();
    s.adapter = m_source->adapterDetails();
    return s;
}

void BatteryMonitor::publish(const Snapshot &s)
{
    applyPowerSources(s.sources);
    applySmartBattery(s.battery);
    applyAdapter(s.adapter);
    emit updated();
}

void BatteryMonitor::applyPowerSources(const std::optional<QList<PowerSourceDescription>> &sources)
{
    if (!sources)
        return;
    // Later sources overwrite what earlier ones set.
    for (const auto &d : *sources) {
        if (d.currentCapacity && d.maxCapacity && *d.maxCapacity > 0) {
            m_percentage = static_cast<double>(*d.currentCapacity) / static_cast<double>(*d.maxCapacity) * 100.0;
            emit percentageChanged();
        }
        if (d.powerSourceState) {
            m_isCharging = *d.powerSourceState == QLatin1String(kACPowerState);
            emit isChargingChanged();
        }
        if (d.timeToEmpty) {
            m_timeRemainingMinutes = *d.timeToEmpty;
            emit timeRemainingMinutesChanged();
        }
    }
}

void BatteryMonitor::applySmartBattery(const std::optional<SmartBatteryReading> &battery)
{
    if (!battery)
        return;
    const SmartBatteryReading &b = *battery;
    if (b.cycleCount) {
        m_cycleCount = *b.cycleCount;
        emit cycleCountChanged();
    }
    if (b.designCapacity) {
        m_designCapacity = *b.designCapacity;
        emit designCapacityChanged();
    }
    if (b.fullChargeCapacity) {
        m_maxCapacity = *b.fullChargeCapacity;
        emit maxCapacityChanged();
    }
    // Uses the published capacities, so a figure missing this time keeps the last one's ratio.
    if (m_designCapacity > 0 && m_maxCapacity > 0) {
        m_healthPercentage = static_cast<double>(m_maxCapacity) / static_cast<double>(m_designCapacity) * 100.0;
        emit healthPercentageChanged();
    }
    if (b.temperature) {
        m_temperatureCelsius = static_cast<double>(*b.temperature) / 100.0;
        emit temperatureCelsiusChanged();
    }
    if (b.voltage) {
        m_voltage = static_cast<double>(*b.voltage) / 1000.0;
        emit voltageChanged();
    }
    if (b.amperage) {
        m_amperage = static_cast<double>(*b.amperage) / 1000.0;
        emit amperageChanged();
    }
}

void BatteryMonitor::applyAdapter(const std::optional<AdapterDetails> &adapter)
{
    if (!m_isCharging) {
        m_adapterName.reset();
        emit adapterNameChanged();
        m_adapterFamily.reset();
        emit adapterFamilyChanged();
        m_adapterMaxWatts = 0;
        emit adapterMaxWattsChanged();
        m_adapterVoltageV = 0;
        emit adapterVoltageVChanged();
        m_adapterCurrentA = 0;
        emit adapterCurrentAChanged();
        m_adapterDeliveringWatts = 0;
        emit adapterDeliveringWattsChanged();
        m_chargingPowerW = 0;
        emit chargingPowerWChanged();
        return;
    }
    if (adapter) {
        const AdapterDetails &a = *adapter;
        m_adapterMaxWatts = a.watts.value_or(0);
        emit adapterMaxWattsChanged();
        m_adapterName = a.name ? a.name : a.description;
        emit adapterNameChanged();
        m_adapterFamily = a.familyCode ? a.familyCode : a.manufacturer;
        emit adapterFamilyChanged();
        m_adapterCurrentA = static_cast<double>(a.current.value_or(0)) / 1000.0;
        emit adapterCurrentAChanged();
        m_adapterVoltageV = static_cast<double>(a.voltage.value_or(0)) / 1000.0;
        emit adapterVoltageVChanged();
        m_adapterDeliveringWatts = m_adapterVoltageV * m_adapterCurrentA;
        emit adapterDeliveringWattsChanged();
    }
    const double p = m_voltage * m_amperage;
    m_chargingPowerW = p >= 0 ? p : 0;
    emit chargingPowerWChanged();
}

} // namespace corvane
