#include "state/ThemeManager.h"
#include "ui/shared/Formatters.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <limits>

using namespace corvane;

TEST(Formatters, BitRateSteps)
{
    struct Case { uint64_t bytes; const char *want; };
    const Case cases[] = {
        {0, "0.0 bps"},
        {124, "992.0 bps"},
        {125, "1.0 Kbps"},
        {124'999, "1000.0 Kbps"}, // threshold on the unrounded value
        {125'000, "1.0 Mbps"},
        {125'000'000, "1.0 Gbps"},
        {125'000'000'000ULL, "1000.0 Gbps"}, // no unit above Gbps
        {1'537'500, "12.3 Mbps"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bitRateText(c.bytes), QString::fromUtf8(c.want)) << c.bytes;
    EXPECT_TRUE(bitRateText(std::numeric_limits<uint64_t>::max()).endsWith(QStringLiteral(" Gbps")));
}

TEST(Formatters, ByteRateSteps)
{
    struct Case { uint64_t bytes; const char *want; };
    const Case cases[] = {
        {0, "0.0 B/s"},
        {512, "512.0 B/s"},
        {1023, "1023.0 B/s"},
        {1024, "1.0 KB/s"},
        {1'048'575, "1024.0 KB/s"},
        {1'048'576, "1.0 MB/s"},
        {1'073'741'824, "1.0 GB/s"},
        {1'099'511'627'776ULL, "1024.0 GB/s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(byteRateText(c.bytes), QString::fromUtf8(c.want)) << c.bytes;
    EXPECT_TRUE(byteRateText(std::numeric_limits<uint64_t>::max()).endsWith(QStringLiteral(" GB/s")));
}

TEST(Formatters, TemperatureColourFollowsThresholdsAndTheme)
{
    ThemeManager *tm = ThemeManager::shared();
    tm->setTheme(AppTheme::aurora);
    const AppTheme a = AppTheme::aurora;
    EXPECT_EQ(temperatureColor(54.9), Themes::good(a));
    EXPECT_EQ(temperatureColor(55.0), Themes::warning(a));
    EXPECT_EQ(temperatureColor(79.9), Themes::warning(a));
    EXPECT_EQ(temperatureColor(80.0), Themes::critical(a));
    EXPECT_EQ(temperatureColor(-10.0), Themes::good(a));
    EXPECT_EQ(temperatureColor(std::numeric_limits<double>::quiet_NaN()), Themes::critical(a));

    tm->setTheme(AppTheme::sunset);
    EXPECT_EQ(temperatureColor(60.0), Themes::warning(AppTheme::sunset));
    tm->setTheme(AppTheme::aurora);
}

TEST(Themes, RawValuesAndStoredTheme)
{
    QList<QString> raws;
    for (AppTheme t : Themes::allCases())
        raws << Themes::rawValue(t);
    EXPECT_EQ(raws, (QList<QString>{"aurora", "cyber", "sunset", "mono", "ocean"}));
    EXPECT_FALSE(Themes::fromRawValue(QStringLiteral("Cyber")));
    EXPECT_FALSE(Themes::fromRawValue(QString()));

    QSettings s;
    s.setValue(QStringLiteral("widget.theme"), QStringLiteral("Cyber"));
    EXPECT_EQ(ThemeManager::loadTheme(), AppTheme::aurora);
    EXPECT_EQ(s.value(QStringLiteral("widget.theme")).toString(), QStringLiteral("Cyber")); // left untouched

    // Assigning stores the raw value, also when the theme is already current.
    ThemeManager *tm = ThemeManager::shared();
    int announced = 0;
    auto c = QObject::connect(tm, &ThemeManager::themeChanged, [&] {
        ++announced;
        EXPECT_EQ(ThemeManager::current(), tm->theme()); // current is set before observers run
    });
    tm->setTheme(AppTheme::mono);
    tm->setTheme(AppTheme::mono);
    QObject::disconnect(c);
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(s.value(QStringLiteral("widget.theme")).toString(), QStringLiteral("mono"));
    EXPECT_EQ(ThemeManager::loadTheme(), AppTheme::mono);
    EXPECT_EQ(Themes::critical(AppTheme::mono), QColor::fromRgbF(1.0f, 0.55f, 0.55f));
    tm->setTheme(AppTheme::aurora);
}
