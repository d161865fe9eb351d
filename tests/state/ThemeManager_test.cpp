#include "state/ThemeManager.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <limits>

using namespace corvane;

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
