// Applying a tick: a listener of any field's signal reads the whole tick; only changed fields
// announce themselves; updated() comes once, last.
#include "fakes/FakeClock.h"
#include "fakes/FakeGpuStats.h"
#include "fakes/FakePowerSources.h"
#include "fakes/FakeSamplingSources.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/GPUMonitor.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"

#include <QMetaProperty>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace corvane;
using namespace corvane::test;

namespace {

// Every published field with a change signal, read the way QML reads them.
QVariantMap publishedFields(const QObject *m)
{
    QVariantMap out;
    const QMetaObject *mo = m->metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        if (const QMetaProperty p = mo->property(i); p.hasNotifySignal())
            out.insert(QString::fromLatin1(p.name()), p.read(m));
    return out;
}

// Records, for every signal of a monitor, its name and every field as the listener saw them.
class Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(QObject *monitor)
    {
        const QMetaObject *mo = monitor->metaObject();
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("onSignal()"));
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            if (const QMetaMethod m = mo->method(i); m.methodType() == QMetaMethod::Signal && m.parameterCount() == 0)
                connect(monitor, m, this, slot);
    }
    struct Seen {
        QString signal;
        QVariantMap fields;
    };
    QList<Seen> seen;

public slots:
    void onSignal()
    {
        const QMetaMethod m = sender()->metaObject()->method(senderSignalIndex());
        seen.append({QString::fromLatin1(m.name()), publishedFields(sender())});
    }
};

// A monitor over a fake, and two ticks that change every field that can change.
struct MonitorCase {
    const char *name;
    std::function<std::unique_ptr<QObject>(FakeClock &)> make;
    std::function<void(QObject *, FakeClock &, int tick)> tick;
};

template <class M, class Fake>
MonitorCase sampled(const char *name, std::function<void(Fake &, int)> set)
{
    auto fake = std::make_shared<Fake *>(nullptr);
    return {name,
            [fake](FakeClock &clock) -> std::unique_ptr<QObject> {
                auto f = std::make_unique<Fake>();
                *fake = f.get();
                return std::make_unique<M>(std::move(f), clock, false);
            },
            [fake, set](QObject *m, FakeClock &clock, int tick) {
                set(**fake, tick);
                clock.advance(1.0);
                auto *mon = static_cast<M *>(m);
                mon->publish(mon->sampler().sample());
            }};
}

PowerSourceDescription battery(double pct, const char *state, int64_t minutes)
{
    PowerSourceDescription d;
    d.currentCapacity = int64_t(pct * 10);
    d.maxCapacity = 1000;
    d.powerSourceState = QString::fromLatin1(state);
    d.timeToEmpty = minutes;
    return d;
}

SmartBatteryReading gauge(int64_t cycles, int64_t full, int64_t temp, int64_t mv, int64_t ma)
{
    SmartBatteryReading b;
    b.cycleCount = cycles;
    b.designCapacity = 5000;
    b.fullChargeCapacity = full;
    b.temperature = temp;
    b.voltage = mv;
    b.amperage = ma;
    return b;
}

InterfaceCounters iface(const char *name, uint64_t rx, uint64_t tx)
{
    InterfaceCounters c;
    c.name = QString::fromLatin1(name);
    c.rxBytes = rx;
    c.txBytes = tx;
    return c;
}

DriveCounters drive(const char *name, uint64_t r, uint64_t w)
{
    DriveCounters d;
    d.productName = QString::fromLatin1(name);
    d.bytesRead = r;
    d.bytesWritten = w;
    return d;
}

const MonitorCase kCases[] = {
    sampled<SystemMonitor, FakeHostStats>("System",
                                          [](FakeHostStats &h, int t) {
                                              h.cpu = CpuLoadInfo{100u * t * t, 10, 100u * t + 50, 0};
                                              h.vm = VmCounters{1000u * t, 10, 0};
                                              h.physical = 1u << (20 + t);
                                              h.uptime = 100.0 * t;
                                          }),
    sampled<BatteryMonitor, FakePowerSources>(
        "Battery",
        [](FakePowerSources &p, int t) {
            p.sources = QList{t == 1 ? battery(50, "AC Power", 0) : battery(20, "Battery Power", 90)};
            p.battery = t == 1 ? gauge(100, 4800, 3000, 12000, 1500) : gauge(101, 4700, 4100, 11000, -900);
            AdapterDetails a;
            a.watts = 65;
            a.name = QStringLiteral("USB");
            a.voltage = 20000;
            a.current = 3000;
            p.adapter = a;
        }),
    sampled<NetworkMonitor, FakeNetworkCounters>(
        "Network",
        [](FakeNetworkCounters &n, int t) {
            n.list = QList{iface(t == 1 ? "eth0" : "wlan0", 1000u * t * t, 100u * t * t)};
        }),
    sampled<StorageMonitor, FakeBlockStorage>("Storage",
                                              [](FakeBlockStorage &s, int t) {
                                                  s.list = QList{drive(t == 1 ? "A" : "B", 5000u * t * t, 700u * t * t)};
                                                  VolumeCapacity v;
                                                  v.total = 1000u * t;
                                                  v.available = 100u * t;
                                                  s.volume = v;
                                              }),
    sampled<ProcessMonitor, FakeProcessTable>("Process",
                                              [](FakeProcessTable &p, int t) {
                                                  p.pids.clear();
                                                  p.info.clear();
                                                  for (int i = 1; i <= t + 1; ++i)
                                                      p.add(i * 10, QStringLiteral("p%1").arg(i), 1000u * i * t, 4096u * i * t);
                                              }),
};

void PrintTo(const MonitorCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string caseName(const ::testing::TestParamInfo<MonitorCase> &info)
{
    return info.param.name;
}

class EveryTick : public ::testing::TestWithParam<MonitorCase> {};

TEST_P(EveryTick, ListenersSeeTheWholeTickAndOnlyChangesAnnounce)
{
    FakeClock clock;
    auto mon = GetParam().make(clock);
    GetParam().tick(mon.get(), clock, 1);
    GetParam().tick(mon.get(), clock, 2); // the second tick has a baseline for every rate
    const QVariantMap before = publishedFields(mon.get());

    Listener l(mon.get());
    GetParam().tick(mon.get(), clock, 1);
    const QVariantMap after = publishedFields(mon.get());

    ASSERT_FALSE(l.seen.isEmpty());
    EXPECT_EQ(l.seen.back().signal, QStringLiteral("updated"));
    QStringList announced;
    for (const auto &s : l.seen) {
        // Whatever signal a listener reacts to, every sibling already holds this tick's value.
        EXPECT_EQ(s.fields, after) << s.signal.toStdString();
        if (s.signal != u"updated")
            announced << s.signal;
    }
    EXPECT_EQ(l.seen.size() - announced.size(), 1); // updated() once
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (it.value() != before.value(it.key()))
            changed << it.key() + QStringLiteral("Changed");
    announced.sort();
    changed.sort();
    EXPECT_EQ(announced, changed);
    EXPECT_GE(changed.size(), 2);

    // The same reading twice more: the second time (rates settled at zero) nothing changes,
    // and nothing but updated() is announced.
    GetParam().tick(mon.get(), clock, 1);
    Listener again(mon.get());
    GetParam().tick(mon.get(), clock, 1);
    ASSERT_EQ(again.seen.size(), 1) << again.seen.front().signal.toStdString();
    EXPECT_EQ(again.seen.front().signal, QStringLiteral("updated"));
}

INSTANTIATE_TEST_SUITE_P(Monitors, EveryTick, ::testing::ValuesIn(kCases), caseName);

TEST(SnapshotApply, BatteryListenerReadsTheSameRefresh)
{
    // A percentage listener that reads the charging flag and the gauge: the values of this
    // refresh, never the previous one's.
    FakeClock clock;
    auto *src = new FakePowerSources;
    BatteryMonitor mon(std::unique_ptr<PowerSources>(src), clock, false);
    src->sources = QList{battery(50, "AC Power", 0)};
    src->battery = gauge(100, 4800, 3000, 12000, 1500);
    mon.publish(mon.sampler().sample());

    QList<std::tuple<std::optional<double>, bool, std::optional<qint64>, std::optional<double>>> seen;
    QObject::connect(&mon, &BatteryMonitor::percentageChanged, [&] {
        seen.append({mon.percentage(), mon.isCharging(), mon.cycleCount(), mon.temperatureCelsius()});
    });
    src->sources = QList{battery(10, "Battery Power", 30)};
    src->battery = gauge(101, 4800, 4500, 11000, -900);
    mon.publish(mon.sampler().sample());
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.front(), std::make_tuple(std::optional(10.0), false, std::optional(qint64(101)), std::optional(45.0)));
}

TEST(SnapshotApply, NotANumberTwiceIsNoChange)
{
    FakeClock clock;
    auto *host = new FakeHostStats;
    SystemMonitor mon(std::unique_ptr<HostStats>(host), clock, false);
    QSignalSpy uptime(&mon, &SystemMonitor::uptimeSecondsChanged);
    QSignalSpy updated(&mon, &SystemMonitor::updated);
    host->uptime = std::nan("");
    mon.publish(mon.sampler().sample());
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(uptime.count(), 1); // 0 → NaN, then NaN → NaN
    EXPECT_EQ(updated.count(), 2);
    host->uptime = 5;
    mon.publish(mon.sampler().sample());
    EXPECT_EQ(uptime.count(), 2);
}

TEST(SnapshotApply, HistoriesTakeEveryTickEvenWithoutChange)
{
    FakeClock clock;
    auto *host = new FakeHostStats;
    host->cpu = CpuLoadInfo{0, 0, 0, 0};
    host->physical = 100;
    SystemMonitor mon(std::unique_ptr<HostStats>(host), clock, false);
    for (int i = 0; i < 4; ++i)
        mon.publish(mon.sampler().sample());
    EXPECT_EQ(mon.cpuHistory()->samples(), (QList<double>{0, 0, 0}));
    EXPECT_EQ(mon.ramHistory()->samples().size(), 4);
}

} // namespace

#include "SnapshotApply_test.moc"
