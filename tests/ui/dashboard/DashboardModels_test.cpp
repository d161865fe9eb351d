// The sensor and USB lists: order, search and favourites, and rows kept in place by identity.
#include "fakes/FakeClock.h"
#include "fakes/FakeSmcTransport.h"
#include "ui/dashboard/DashboardModels.h"
#include "ui/dashboard/DashboardRules.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace corvane;

namespace {
SMCTemperatureReading reading(const char *key, const char *name, double c)
{
    return {QString::fromUtf8(key), QString::fromUtf8(name), c};
}

QStringList keys(const SensorListModel &m)
{
    QStringList out;
    for (const auto &r : m.rows())
        out << r.reading.key;
    return out;
}

struct SmcRig {
    test::FakeClock clock;
    SMCMonitor mon{std::make_unique<test::FakeSmcTransport>(), clock, false};
    void publish(const QList<SMCTemperatureReading> &temps)
    {
        SMCMonitor::Snapshot s;
        s.connected = true;
        s.temperatures = temps;
        mon.publish(s);
    }
};

const QList<SMCTemperatureReading> kSensors{
    reading("TC0P", "CPU Proximity", 52), reading("TG0P", "GPU Proximity", 61), reading("TH0a", "SSD", 38),
    reading("Ts0P", "Palm Rest", 30), reading("TB0T", "Baterie", 61), reading("TW0P", "Wi-Fi", 45)};
} // namespace

struct OrderCase {
    const char *name;
    const char *query;
    const char *favorites;
    QStringList order;
};
class SensorOrder : public ::testing::TestWithParam<OrderCase> {};
TEST_P(SensorOrder, FavouritesFirstThenHottest)
{
    const auto &c = GetParam();
    const auto rows = SensorListModel::visible(kSensors, QString::fromUtf8(c.query),
                                               dashboard::parseFavorites(QString::fromUtf8(c.favorites)));
    QStringList got;
    for (const auto &r : rows)
        got << r.reading.key;
    EXPECT_EQ(got, c.order);
}
INSTANTIATE_TEST_SUITE_P(
    Dashboard, SensorOrder,
    ::testing::Values(
        // Equal temperatures keep the monitor's order (TG0P before TB0T).
        OrderCase{"all_hottest_first", "", "", {"TG0P", "TB0T", "TC0P", "TW0P", "TH0a", "Ts0P"}},
        OrderCase{"favourites_first", "", "Ts0P,TH0a", {"TH0a", "Ts0P", "TG0P", "TB0T", "TC0P", "TW0P"}},
        OrderCase{"unknown_favourite_ignored", "", "ZZZZ", {"TG0P", "TB0T", "TC0P", "TW0P", "TH0a", "Ts0P"}},
        OrderCase{"lower_case_finds_capitals", "proximity", "", {"TG0P", "TC0P"}},
        OrderCase{"key_matches_any_case", "th0A", "", {"TH0a"}},
        OrderCase{"one_space", " ", "", {"TG0P", "TC0P", "Ts0P"}},
        OrderCase{"nothing_matches", "xyz", "", {}}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(SensorList, NotANumberSortsLastInItsGroup)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QList<SMCTemperatureReading> temps{reading("Ta", "A", nan), reading("Tb", "B", 10), reading("Tc", "C", nan),
                                             reading("Td", "D", 90), reading("Te", "E", nan)};
    QStringList got;
    for (const auto &r : SensorListModel::visible(temps, {}, {"Te", "Tb"}))
        got << r.reading.key;
    EXPECT_EQ(got, (QStringList{"Tb", "Te", "Td", "Ta", "Tc"}));
}

TEST(SensorList, RowsStayInPlaceAcrossRefreshes)
{
    SmcRig rig;
    SensorListModel model;
    model.setSmc(&rig.mon);
    rig.publish(kSensors);
    ASSERT_EQ(model.count(), 6);

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Same sensors, one new value: one row changes and nothing else.
    auto next = kSensors;
    next[3].celsius = 31;
    rig.publish(next);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(inserted.count() + removed.count() + moved.count() + reset.count(), 0);

    // The SSD heats past the CPU: its row moves up, no row is rebuilt.
    next[2].celsius = 55;
    rig.publish(next);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(inserted.count() + removed.count() + reset.count(), 0);
    EXPECT_EQ(keys(model), (QStringList{"TG0P", "TB0T", "TH0a", "TC0P", "TW0P", "Ts0P"}));

    // A sensor goes away and another appears.
    next.removeAt(4);
    next.append(reading("TA0P", "Ambient", 25));
    rig.publish(next);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(keys(model), (QStringList{"TG0P", "TH0a", "TC0P", "TW0P", "Ts0P", "TA0P"}));
    EXPECT_EQ(reset.count(), 0);
}

TEST(SensorList, StarAndQueryReorderAtOnce)
{
    SmcRig rig;
    rig.publish(kSensors);
    SensorListModel model;
    model.setSmc(&rig.mon);
    model.setFavoriteKeys(QStringLiteral("Ts0P"));
    EXPECT_EQ(keys(model).first(), QStringLiteral("Ts0P"));
    EXPECT_TRUE(model.data(model.index(0), SensorListModel::FavoriteRole).toBool());
    model.setFavoriteKeys(QStringLiteral("Ts0P,TH0a"));
    EXPECT_EQ(keys(model).mid(0, 2), (QStringList{"TH0a", "Ts0P"}));
    model.setFavoriteKeys(QString());
    EXPECT_EQ(keys(model).last(), QStringLiteral("Ts0P"));
    model.setQuery(QStringLiteral("gpu"));
    EXPECT_EQ(keys(model), QStringList{"TG0P"});
}

TEST(SensorList, FavouritesPersistUnderTheirKey)
{
    QSettings().remove(FavoriteSensors::kKey);
    {
        FavoriteSensors fav;
        EXPECT_EQ(fav.raw(), QString());
        fav.toggle(QStringLiteral("TG0P"));
        fav.toggle(QStringLiteral("TC0P"));
    }
    EXPECT_EQ(QSettings().value(FavoriteSensors::kKey).toString(), QStringLiteral("TC0P,TG0P"));
    FavoriteSensors again;
    EXPECT_TRUE(again.contains(QStringLiteral("TG0P")));
    again.toggle(QStringLiteral("TG0P"));
    again.toggle(QStringLiteral("TC0P"));
    EXPECT_EQ(QSettings().value(FavoriteSensors::kKey).toString(), QString());
}

// Stars saved under the keys earlier versions gave hwmon sensors move to today's keys as soon
// as the monitor knows them, and are stored so; stars of sensors not present now stay.
TEST(SensorList, FavouritesUnderFormerKeysAreRenamedOnce)
{
    const QString former = QStringLiteral("hwmon/k10temp@pci0000:00/0000:00:18.3/Tctl");
    const QString today = QStringLiteral("k10temp-pci-00c3/temp1");
    class Source final : public SensorSource {
    public:
        QHash<QString, QString> former;
        bool open() override { return true; }
        std::vector<SensorTemperature> temperatures() override { return {}; }
        std::vector<SensorFan> fans() override { return {}; }
        QHash<QString, QString> formerKeys() const override { return former; }
    };
    auto source = std::make_unique<Source>();
    source->former = {{former, today}};
    test::FakeClock clock;
    SMCMonitor smc(std::move(source), clock, false);
    const QString saved = QStringLiteral("TC0P,") + former + QStringLiteral(",hwmon/nvme@gone/Composite");
    QSettings().setValue(FavoriteSensors::kKey, saved);
    FavoriteSensors fav;
    QSignalSpy renamed(&fav, &FavoriteSensors::rawChanged);
    fav.setSmc(&smc);
    EXPECT_EQ(fav.raw(), saved); // nothing known before the first reading
    smc.publish(smc.sampler().sample());
    const QString expected = QStringLiteral("TC0P,hwmon/nvme@gone/Composite,") + today;
    EXPECT_EQ(fav.raw(), expected);
    EXPECT_EQ(QSettings().value(FavoriteSensors::kKey).toString(), expected);
    EXPECT_TRUE(fav.contains(today));
    fav.toggle(today);
    smc.publish(smc.sampler().sample());
    EXPECT_EQ(fav.raw(), QStringLiteral("TC0P,hwmon/nvme@gone/Composite"));
    EXPECT_EQ(renamed.count(), 2);
    QSettings().remove(FavoriteSensors::kKey);
}
