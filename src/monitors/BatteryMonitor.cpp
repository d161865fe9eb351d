#include "monitors/BatteryMonitor.h"
#include "monitors/Publish.h"

#include <algorithm>
#include <cmath>

namespace corvane {

// CORVANE_POWER_SYSFS_ROOT: a fixture tree in place of /sys (tests of the whole app).
BatteryMonitor::BatteryMonitor(QObject *parent)
    : BatteryMonitor(makeLinuxPowerSources(qEnvironmentVariable("CORVANE_POWER_SYSFS_ROOT", QStringLiteral("/sys"))),
                     Clock::system(), true, parent)
{
}

BatteryMonitor::BatteryMonitor(std::unique_ptr<PowerSources> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<BatterySampler>(std::move(source)))
{
    // Gauge reads can be slow (ACPI); they stay off the GUI thread. With nothing on screen a
    // reading rides along with the main thread's next flush rather than waking it: the alerts
    // and the history that use it can wait that second.
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.battery"), Cadence::offsetThenEvery(0.0, 5.0),
        sampleThenPublish(m_sampler.get(), this, PublicationBatch::Delivery::Riding),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

BatteryMonitor::~BatteryMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void BatteryMonitor::start() { m_scheduler->start(); }
void BatteryMonitor::stop() { m_scheduler->stop(); }

BatteryReadings BatterySampler::sample()
{
    BatteryReadings s;
    s.sources = m_source->powerSources();
    s.battery = m_source->smartBattery();
    s.adapter = m_source->adapterDetails();
    return s;
}

namespace {

void refreshPowerSources(BatteryMonitor::Fields &f, const std::optional<QList<PowerSourceDescription>> &sources)
{
    if (!sources)
        return;
    // Later sources overwrite what earlier ones set.
    for (const auto &d : *sources) {
        if (d.currentCapacity && d.maxCapacity && *d.maxCapacity > 0) {
            // Scaled before the division, so a charge that is a whole percent in the gauge's
            // own units stays whole (58 of 100 is 58, where 58 / 100 × 100 is 57.999…) and
            // every surface that truncates shows the same number as those that round. A gauge
            // that counts past its full charge is full, not at 102 %.
            f.percentage = std::clamp(
                static_cast<double>(*d.currentCapacity) * 100.0 / static_cast<double>(*d.maxCapacity), 0.0, 100.0);
        }
        if (d.powerSourceState)
            f.isCharging = *d.powerSourceState == QLatin1String(kACPowerState);
        if (d.timeToEmpty)
            f.timeRemainingMinutes = *d.timeToEmpty;
    }
}

void refreshSmartBattery(BatteryMonitor::Fields &f, const std::optional<SmartBatteryReading> &battery)
{
    if (!battery)
        return;
    const SmartBatteryReading &b = *battery;
    if (b.cycleCount)
        f.cycleCount = *b.cycleCount;
    if (b.designCapacity)
        f.designCapacity = *b.designCapacity;
    if (b.fullChargeCapacity)
        f.maxCapacity = *b.fullChargeCapacity;
    // Uses the refreshed capacities, so a figure missing this time keeps the last one's ratio.
    // A gauge without mAh figures may still know the ratio (in energy).
    if (f.designCapacity.value_or(0) > 0 && f.maxCapacity.value_or(0) > 0)
        f.healthPercentage = static_cast<double>(*f.maxCapacity) * 100.0 / static_cast<double>(*f.designCapacity);
    else if (b.healthPercent && std::isfinite(*b.healthPercent))
        f.healthPercentage = *b.healthPercent;
    if (b.temperature)
        f.temperatureCelsius = static_cast<double>(*b.temperature) / 100.0;
    if (b.voltage)
        f.voltage = static_cast<double>(*b.voltage) / 1000.0;
    if (b.amperage)
        f.amperage = static_cast<double>(*b.amperage) / 1000.0;
}

void refreshAdapter(BatteryMonitor::Fields &f, const std::optional<AdapterDetails> &adapter)
{
    if (!f.isCharging) {
        f.adapterName.reset();
        f.adapterFamily.reset();
        f.adapterMaxWatts = 0;
        f.adapterVoltageV.reset();
        f.adapterCurrentA.reset();
        f.adapterDeliveringWatts.reset();
        f.chargingPowerW.reset();
        return;
    }
    if (adapter) {
        // The usual ACPI adapter says only that it is online: what it doesn't report stays
        // unknown, never a measured 0 V or 0 W.
        const AdapterDetails &a = *adapter;
        f.adapterMaxWatts = a.watts.value_or(0);
        f.adapterName = a.name ? a.name : a.description;
        f.adapterFamily = a.familyCode ? a.familyCode : a.manufacturer;
        f.adapterCurrentA.reset();
        f.adapterVoltageV.reset();
        f.adapterDeliveringWatts.reset();
        if (a.current)
            f.adapterCurrentA = static_cast<double>(*a.current) / 1000.0;
        if (a.voltage)
            f.adapterVoltageV = static_cast<double>(*a.voltage) / 1000.0;
        if (f.adapterCurrentA && f.adapterVoltageV)
            f.adapterDeliveringWatts = *f.adapterVoltageV * *f.adapterCurrentA;
    }
    f.chargingPowerW.reset();
    if (f.voltage && f.amperage) {
        const double p = *f.voltage * *f.amperage;
        f.chargingPowerW = p >= 0 ? p : 0;
    }
}

} // namespace

BatteryMonitor::Fields BatteryMonitor::refreshed(Fields f, const Snapshot &s)
{
    refreshPowerSources(f, s.sources);
    refreshSmartBattery(f, s.battery);
    refreshAdapter(f, s.adapter);
    return f;
}

void BatteryMonitor::publish(const Snapshot &s)
{
    Fields n = refreshed(m_f, s);
    const bool hadBattery = hasBattery();
    ChangeSet c;
    using B = BatteryMonitor;
    c.set(this, m_f.percentage, n.percentage, &B::percentageChanged);
    c.set(this, m_f.isCharging, n.isCharging, &B::isChargingChanged);
    c.set(this, m_f.cycleCount, n.cycleCount, &B::cycleCountChanged);
    c.set(this, m_f.designCapacity, n.designCapacity, &B::designCapacityChanged);
    c.set(this, m_f.maxCapacity, n.maxCapacity, &B::maxCapacityChanged);
    c.set(this, m_f.healthPercentage, n.healthPercentage, &B::healthPercentageChanged);
    c.set(this, m_f.temperatureCelsius, n.temperatureCelsius, &B::temperatureCelsiusChanged);
    c.set(this, m_f.timeRemainingMinutes, n.timeRemainingMinutes, &B::timeRemainingMinutesChanged);
    c.set(this, m_f.voltage, n.voltage, &B::voltageChanged);
    c.set(this, m_f.amperage, n.amperage, &B::amperageChanged);
    c.set(this, m_f.adapterName, std::move(n.adapterName), &B::adapterNameChanged);
    c.set(this, m_f.adapterFamily, std::move(n.adapterFamily), &B::adapterFamilyChanged);
    c.set(this, m_f.adapterMaxWatts, n.adapterMaxWatts, &B::adapterMaxWattsChanged);
    c.set(this, m_f.adapterVoltageV, n.adapterVoltageV, &B::adapterVoltageVChanged);
    c.set(this, m_f.adapterCurrentA, n.adapterCurrentA, &B::adapterCurrentAChanged);
    c.set(this, m_f.adapterDeliveringWatts, n.adapterDeliveringWatts, &B::adapterDeliveringWattsChanged);
    c.set(this, m_f.chargingPowerW, n.chargingPowerW, &B::chargingPowerWChanged);
    bool has = hadBattery;
    c.set(this, has, hasBattery(), &B::hasBatteryChanged);
    c.emitAll();
    emit updated();
}

} // namespace corvane
