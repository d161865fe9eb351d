#include "notify/BatteryHistory.h"

#include "fakes/FakeClock.h"
#include "fakes/MonitorFeeds.h"
#include "platform/PowerSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "support/HistoryWait.h"
#include "support/ParamNames.h"
#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

class BatteryHistoryTest : public ::testing::Test {
protected:
    std::unique_ptr<BatteryHistory> make()
    {
        auto h = std::make_unique<BatteryHistory>(dir.path(), clock);
        EXPECT_TRUE(waitLoaded(*h));
        return h;
    }
    void refresh(double pct, bool charging = false, int cycles = 100, double health = 95, double temp = 30)
    {
        battery.refresh(pct, charging, cycles, health, temp);
        QCoreApplication::processEvents();
    }
    QByteArray fileBytes() const
    {
        QFile f(dir.filePath("battery-history.json"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray &bytes)
    {
        QFile f(dir.filePath("battery-history.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    FakeClock clock;
    BatteryFeed battery;
};

TEST_F(BatteryHistoryTest, BindCapturesAtOnceAndWritesTheFileFormat)
{
    refresh(80.5, true, 321, 91.25, 30.12);
    auto h = make();
    h->bind(&battery.mon);
    ASSERT_EQ(h->snapshots().size(), 1);
    const BatterySnapshot &s = h->snapshots()[0];
    EXPECT_EQ(s.date, clock.wallSeconds() - 978307200.0);
    h->finishSaving(); // written off the GUI thread
    const QRegularExpression format(QStringLiteral(
        R"(^\[\{"id":"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}","date":721692800\.25,)"
        R"("percent":80\.5,"isCharging":true,"healthPercent":91\.25,"cycleCount":321,"temperature":30\.12\}\]$)"));
    EXPECT_TRUE(format.match(QString::fromUtf8(fileBytes())).hasMatch()) << fileBytes().constData();
    // A second process reads back exactly what was written.
    EXPECT_EQ(make()->snapshots(), h->snapshots());
}

struct IntervalCase {
    double gap;
    int expected;
};
class CaptureInterval : public BatteryHistoryTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(CaptureInterval, AtMostOneSnapshotPer600Seconds)
{
    refresh(80);
    auto h = make();
    h->bind(&battery.mon);
    clock.advance(GetParam().gap);
    refresh(79);
    EXPECT_EQ(h->snapshots().size(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Boundary, CaptureInterval, ::testing::Values(IntervalCase{599, 1}, IntervalCase{600, 2}),
    [](const auto &i) { return "After" + corvane::test::numberName(i.param.gap) + "s"; });

TEST_F(BatteryHistoryTest, ConstantPercentageAndZeroPercentTakeNoSnapshot)
{
    auto h = make();
    h->bind(&battery.mon); // 0 % at bind: nothing, and the interval clock doesn't start
    refresh(0);
    clock.advance(10);
    refresh(50);
    ASSERT_EQ(h->snapshots().size(), 1);
    clock.advance(3600);
    refresh(50, true); // same percentage: not a change
    EXPECT_EQ(h->snapshots().size(), 1);
}

TEST_F(BatteryHistoryTest, SnapshotHoldsTheValuesOfTheRefreshThatChangedThePercentage)
{
    refresh(60, true, 10, 99, 25);
    auto h = make();
    h->bind(&battery.mon);
    clock.advance(600);
    refresh(59, false, 11, 98, 33);
    const BatterySnapshot &s = h->snapshots().last();
    EXPECT_EQ(s.percent, 59);
    EXPECT_FALSE(s.isCharging);
    EXPECT_EQ(s.cycleCount, 11);
    EXPECT_EQ(s.healthPercent, 98);
    EXPECT_EQ(s.temperature, 33);
}

// Gauges that don't give every figure: what the driver never gave is stored as null and read
// back as unknown, never as a measured 100 % health, 0 cycles or 0 °C.
TEST_F(BatteryHistoryTest, FiguresTheGaugeNeverGaveStayUnknown)
{
    struct Row {
        const char *tree;
        std::optional<double> health;
        std::optional<qint64> cycles;
        std::optional<double> celsius;
    };
    // capacity-only: a percentage and nothing else. zero-full-energy: a zero full charge
    // (the design figure stands in), 0 cycles (not counted) and 301 tenths of a degree.
    for (const Row &r : {Row{"capacity-only", {}, {}, {}}, Row{"zero-full-energy", 100.0, {}, 30.1}}) {
        QTemporaryDir folder;
        FakeClock clock;
        BatteryMonitor machine(makeLinuxPowerSources(CORVANE_FIXTURES "/power_supply/" + QLatin1String(r.tree)), clock,
                               false);
        machine.publish(machine.sampler().sample());
        BatteryHistory writer(folder.path(), clock);
        ASSERT_TRUE(waitLoaded(writer));
        writer.bind(&machine);
        ASSERT_EQ(writer.snapshots().size(), 1) << r.tree;
        const BatterySnapshot &s = writer.snapshots()[0];
        EXPECT_EQ(s.healthPercent, r.health) << r.tree;
        EXPECT_EQ(s.cycleCount, r.cycles) << r.tree;
        EXPECT_EQ(s.temperature, r.celsius) << r.tree;
        writer.finishSaving();
        BatteryHistory reader(folder.path(), clock);
        ASSERT_TRUE(waitLoaded(reader));
        EXPECT_EQ(reader.snapshots(), writer.snapshots()) << r.tree;
    }
}

// Files written before unknown figures were null stay readable; their 0 cycles (a driver's
// "don't know", or nothing read yet) count as unknown. Every key is still written.
TEST_F(BatteryHistoryTest, OlderFilesStayReadableAndUnknownIsNull)
{
    writeFile(R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":5,"percent":80,"isCharging":false,)"
              R"("healthPercent":100,"cycleCount":0,"temperature":0}])");
    auto h = make();
    ASSERT_EQ(h->snapshots().size(), 1);
    EXPECT_FALSE(h->snapshots()[0].cycleCount);
    EXPECT_EQ(h->snapshots()[0].healthPercent, 100.0);
    const QByteArray bytes = BatteryHistory::encode(h->snapshots());
    EXPECT_TRUE(bytes.contains(R"("cycleCount":null)")) << bytes.constData();
    EXPECT_EQ(BatteryHistory::decode(bytes), h->snapshots());
}

TEST_F(BatteryHistoryTest, RetentionAndRangeBoundaries)
{
    refresh(80);
    auto h = make();
    h->bind(&battery.mon); // t0
    clock.advance(7'776'000 - 604'800);
    refresh(70); // t0 + 83 days
    clock.advance(604'800);
    EXPECT_EQ(h->snapshots(7).size(), 1); // exactly 7 days old stays in range
    EXPECT_EQ(h->snapshots(6).size(), 0);
    refresh(60); // t0 + 90 days: the first is exactly 90 days old and stays
    EXPECT_EQ(h->snapshots().size(), 3);
    clock.advance(600.5);
    refresh(50);
    ASSERT_EQ(h->snapshots().size(), 3);
    EXPECT_EQ(h->snapshots()[0].percent, 70);
}

TEST_F(BatteryHistoryTest, DailyQueries)
{
    auto h = make();
    EXPECT_TRUE(h->snapshots(30).isEmpty());
    EXPECT_TRUE(h->dailyHealthAverages(30).isEmpty());
    EXPECT_TRUE(h->dailyMaxCycleCounts(30).isEmpty());

    // Start at local noon so three captures 10 minutes apart share one calendar day.
    const QDateTime noon(QDate::currentDate().addDays(-3), QTime(12, 0));
    clock.setWall(double(noon.toSecsSinceEpoch()));
    h->bind(&battery.mon);
    const double health[] = {90, 91, 95};
    const int cycles[] = {7, 9, 8};
    for (int i = 0; i < 3; ++i) {
        clock.advance(600);
        refresh(80 - i, false, cycles[i], health[i]);
    }
    clock.advance(2 * 86'400); // skip a day
    refresh(70, false, 12, 80);

    const auto means = h->dailyHealthAverages(30);
    ASSERT_EQ(means.size(), 2);
    EXPECT_EQ(means[0].day, noon.date().startOfDay());
    EXPECT_DOUBLE_EQ(means[0].value, 92);
    EXPECT_EQ(means[1].day, noon.date().addDays(2).startOfDay());
    const auto maxCycles = h->dailyMaxCycleCounts(30);
    ASSERT_EQ(maxCycles.size(), 2);
    EXPECT_EQ(maxCycles[0].value, 9);
    EXPECT_EQ(maxCycles[1].value, 12);
    // What the card shows, from the same pass.
    const QVariantMap summary = h->rangeSummary(30);
    EXPECT_EQ(summary.value("count").toInt(), 4);
    EXPECT_DOUBLE_EQ(summary.value("healthSum").toDouble(), 90 + 91 + 95 + 80);
    EXPECT_EQ(summary.value("firstCycles").toLongLong(), 7);
    EXPECT_EQ(summary.value("lastCycles").toLongLong(), 12);
    EXPECT_EQ(summary.value("health").toList().size(), 2);
    EXPECT_EQ(h->rangeSummary(1).value("count").toInt(), 1);
}

TEST_F(BatteryHistoryTest, UndecodableFileIsKeptAsideNotOverwritten)
{
    const QList<QByteArray> bad = {
        "{not json",
        R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":1,"percent":"80","isCharging":true,)"
        R"("healthPercent":90,"cycleCount":1,"temperature":30}])",
        R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11","date":1,"percent":80,"isCharging":true,)"
        R"("healthPercent":90,"temperature":30}])",
    };
    for (const QByteArray &bytes : bad) {
        for (const QString &f : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(f));
        writeFile(bytes);
        refresh(80);
        auto h = make();
        EXPECT_TRUE(h->snapshots().isEmpty());
        h->bind(&battery.mon);
        EXPECT_EQ(h->snapshots().size(), 1);
        const QStringList aside = QDir(dir.path()).entryList({"battery-history.json.corrupt-*"}, QDir::Files);
        ASSERT_EQ(aside.size(), 1) << bytes.constData();
        QFile kept(dir.filePath(aside[0]));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
    }
}

struct ClampCase {
    const char *name;
    const char *fields; // replace the ordinary ones
    BatterySnapshot expected;
};
void PrintTo(const ClampCase &c, std::ostream *os) { *os << c.name; }
class AbsurdValues : public ::testing::TestWithParam<ClampCase> {};
// Well-typed but beyond what a field can hold: read as the nearest value it can.
TEST_P(AbsurdValues, AreClampedToTheFieldsRange)
{
    const QByteArray bytes = QByteArray(R"([{"id":"7D4B5E7C-3B55-4B26-9B8E-2E1A4E7D8C11",)") + GetParam().fields + "}]";
    const auto list = BatteryHistory::decode(bytes);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1);
    BatterySnapshot expected = GetParam().expected;
    expected.id = (*list)[0].id;
    EXPECT_EQ((*list)[0], expected);
}
INSTANTIATE_TEST_SUITE_P(
    Decode, AbsurdValues,
    ::testing::Values(
        ClampCase{"Ordinary",
                  R"("date":5,"percent":80,"isCharging":true,"healthPercent":91.5,"cycleCount":300,"temperature":31)",
                  {{}, 5, 80, true, 91.5, 300, 31}},
        ClampCase{"Huge", R"("date":1e308,"percent":1e308,"isCharging":false,"healthPercent":1e308,)"
                          R"("cycleCount":9000000000000000000,"temperature":1e308)",
                  {{}, 253'402'300'799.0 - 978'307'200.0, 100, false, 200, 100'000, 200}},
        ClampCase{"NegativeHuge", R"("date":-1e308,"percent":-1e308,"isCharging":false,"healthPercent":-1e308,)"
                                  R"("cycleCount":-9000000000000000000,"temperature":-1e308)",
                  {{}, -978'307'200.0, 0, false, 0, std::nullopt, -100}}),
    [](const auto &i) { return std::string(i.param.name); });

TEST_F(BatteryHistoryTest, ExtraKeysAreIgnoredAndOldEntriesStayUntilTheNextCapture)
{
    writeFile(R"([{"id":"7d4b5e7c-3b55-4b26-9b8e-2e1a4e7d8c11","date":1.5,"percent":80,"isCharging":false,)"
              R"("healthPercent":90,"cycleCount":3,"temperature":30,"extra":[1]}])");
    auto h = make();
    ASSERT_EQ(h->snapshots().size(), 1);
    EXPECT_EQ(h->snapshots()[0].cycleCount, 3);
    refresh(40);
    h->bind(&battery.mon);
    ASSERT_EQ(h->snapshots().size(), 1); // the 2001 entry is pruned
    EXPECT_EQ(h->snapshots()[0].percent, 40);
}

} // namespace
