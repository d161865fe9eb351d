// evolution-data-server started on a private session bus, with its folders in this test's
// private home: the desktop's store as a user's machine runs it.
#include "platform/CalendarStore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvane;

namespace {

class EdsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(QStringLiteral("/usr/libexec/evolution-source-registry")))
            GTEST_SKIP() << "evolution-data-server is not installed";
        // The services the bus starts must see this test's home, not the user's.
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QMap<QString, QString> vars;
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            vars.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("UpdateActivationEnvironment"));
        call << QVariant::fromValue(vars);
        ASSERT_EQ(QDBusConnection::sessionBus().call(call).type(), QDBusMessage::ReplyMessage);
    }

    // The user's own "Personal" calendar, which the registry always offers.
    void writePersonalCalendar(const QByteArray &events)
    {
        const QString dir = qEnvironmentVariable("XDG_DATA_HOME") + "/evolution/calendar/system";
        QDir().mkpath(dir);
        QFile f(dir + "/calendar.ics");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Ximian//NONSGML Evolution Calendar//EN\r\n" + events
                + "END:VCALENDAR\r\n");
    }
};

TEST_F(EdsStore, EventsOfTheUsersCalendarsComeThroughTheStore)
{
    const QDateTime from(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc());
    writePersonalCalendar(
        "BEGIN:VEVENT\r\nUID:standup@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Standup\r\n"
        "DTSTART;TZID=/freeassociation.sourceforge.net/Tzfile/Europe/Bucharest:20260302T100000\r\n"
        "DURATION:PT15M\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\nEND:VEVENT\r\n"
        // Thursday's standup moved to the next week: it leaves this week empty that day.
        "BEGIN:VEVENT\r\nUID:standup@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Standup\r\n"
        "RECURRENCE-ID;TZID=/freeassociation.sourceforge.net/Tzfile/Europe/Bucharest:20260305T100000\r\n"
        "DTSTART;TZID=/freeassociation.sourceforge.net/Tzfile/Europe/Bucharest:20260310T100000\r\n"
        "DURATION:PT15M\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:later@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Later\r\n"
        "DTSTART:20260401T100000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n");

    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store) << "the registry could not be reached";
    const QStringList calendars = store->calendars();
    ASSERT_TRUE(calendars.contains(QStringLiteral("system-calendar"))) << calendars.join(", ").toStdString();
    EXPECT_TRUE(store->isAuthorized());

    QStringList got;
    for (const CalendarEvent &e : store->events(from, from.addDays(7), calendars))
        got.append(e.title + " " + e.startDate.toUTC().toString(Qt::ISODate));
    got.sort();
    EXPECT_EQ(got.join(" | ").toStdString(), "Standup 2026-03-02T08:00:00Z");
}

TEST_F(EdsStore, ListedFoldersAddToTheStoreAndEvolutionsFilesAreNotReadTwice)
{
    const QDateTime from(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc());
    writePersonalCalendar("BEGIN:VEVENT\r\nUID:p@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Personal\r\n"
                          "DTSTART:20260303T100000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n");
    QTemporaryDir folder;
    QFile work(folder.path() + "/work.ics");
    ASSERT_TRUE(work.open(QIODevice::WriteOnly));
    work.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:w@corvane\r\nSUMMARY:Work\r\n"
               "DTSTART:20260304T100000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    work.close();
    QSettings().setValue(QStringLiteral("calendar.icsFolders"), QStringList{folder.path()});

    auto store = makeLinuxCalendarStore();
    const QStringList calendars = store->calendars();
    EXPECT_TRUE(calendars.contains(QStringLiteral("system-calendar")));
    QStringList titles;
    for (const CalendarEvent &e : store->events(from, from.addDays(7), calendars))
        titles.append(e.title);
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"Personal", "Work"}));
    QSettings().remove(QStringLiteral("calendar.icsFolders"));
}

TEST_F(EdsStore, AStoppedQueryReturnsAtOnce)
{
    writePersonalCalendar("");
    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    std::stop_source stop;
    stop.request_stop();
    const QDateTime from = QDateTime::currentDateTimeUtc();
    EXPECT_TRUE(store->events(from, from.addDays(7), store->calendars(), stop.get_token()).isEmpty());
}

TEST(EdsStoreAbsent, WithoutASessionBusTheFilesAreUsed)
{
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_FALSE(makeEdsCalendarStore());
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
}

} // namespace
