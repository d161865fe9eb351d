#pragma once
// The laptop of the fixture trees: its battery, chargers and USB devices, handed to a hub's
// monitors as their own snapshots would be.
#include "fakes/FakeClock.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/USBMonitor.h"
#include "platform/PowerSources.h"
#include "platform/UsbRegistry.h"
#include "state/AppState.h"

namespace corvane::test {

// `power`: one of the power-supply trees under fixtures/power_supply.
inline void publishFixtureLaptop(AppState &hub, const QString &power = QStringLiteral("laptop"))
{
    FakeClock clock;
    const QString fx = QStringLiteral(CORVANE_FIXTURES);
    BatteryMonitor battery(makeLinuxPowerSources(fx + "/power_supply/" + power), clock, false);
    hub.battery()->publish(battery.sampler().sample());
    USBMonitor usb(makeLinuxUsbRegistry(fx + "/usb/laptop"), clock, false);
    if (auto s = usb.sampler().sample())
        hub.usb()->publish(*s);
}

} // namespace corvane::test
