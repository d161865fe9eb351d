// evolution-data-server started on a private session bus, with its folders in this test's
// private home: the desktop's store as a user's machine runs it.
#include "platform/CalendarStore.h"
#include "support/ViewerZone.h"

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

    // "Title start" (or "Title start/end") of each event, in UTC, sorted.
    static QStringList described(const QList<CalendarEvent> &events, bool ends = false)
    {
        QStringList out;
        for (const CalendarEvent &e : events)
            out.append(e.title + " " + e.startDate.toUTC().toString(Qt::ISODate)
                       + (ends ? "/" + e.endDate.toUTC().toString(Qt::ISODate) : QString()));
        out.sort();
        return out;
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

// Outlook's zone name, defined only by the calendar's own VTIMEZONE; New York's rules, so the
// series crosses a change to summer time (8 March) that the system's zone does not have.
TEST_F(EdsStore, ASeriesInTheCalendarsOwnZoneKeepsItsMovedExcludedAndCancelledDays)
{
    const QByteArray zone = "TZID=Eastern Standard Time:";
    auto event = [](const QByteArray &lines) {
        return "BEGIN:VEVENT\r\nUID:sync@corvane\r\nDTSTAMP:20260101T000000Z\r\n" + lines + "END:VEVENT\r\n";
    };
    writePersonalCalendar(
        "BEGIN:VTIMEZONE\r\nTZID:Eastern Standard Time\r\n"
        "BEGIN:STANDARD\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
        "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
        "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        + event("SUMMARY:Sync\r\nDTSTART;" + zone + "20260302T090000\r\nDURATION:PT30M\r\n"
                "RRULE:FREQ=DAILY;COUNT=10\r\nEXDATE;" + zone + "20260304T090000\r\n")
        + event("SUMMARY:Sync moved\r\nRECURRENCE-ID;" + zone + "20260305T090000\r\nDTSTART;" + zone
                + "20260305T150000\r\nDURATION:PT30M\r\n")
        + event("SUMMARY:Sync\r\nSTATUS:CANCELLED\r\nRECURRENCE-ID;" + zone + "20260306T090000\r\nDTSTART;" + zone
                + "20260306T090000\r\nDURATION:PT30M\r\n")
        // Moved out of the range: its own day stays empty.
        + event("SUMMARY:Sync\r\nRECURRENCE-ID;" + zone + "20260309T090000\r\nDTSTART;" + zone
                + "20260320T090000\r\nDURATION:PT30M\r\n"));

    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    const QDateTime from(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc());
    const QList<CalendarEvent> events = store->events(from, from.addDays(8), {QStringLiteral("system-calendar")});
    EXPECT_EQ(described(events).join(" | ").toStdString(),
              "Sync 2026-03-02T14:00:00Z | Sync 2026-03-03T14:00:00Z | Sync 2026-03-07T14:00:00Z | "
              "Sync 2026-03-08T13:00:00Z | Sync moved 2026-03-05T20:00:00Z");
    for (const CalendarEvent &e : events)
        EXPECT_EQ(e.startDate.secsTo(e.endDate), 30 * 60) << e.title.toStdString();
}

TEST_F(EdsStore, EventsUnderWayAtTheStartOfTheRangeAreKept)
{
    writePersonalCalendar(
        "BEGIN:VEVENT\r\nUID:standup@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Standup\r\n"
        "DTSTART:20260301T100000Z\r\nDURATION:PT30M\r\nRRULE:FREQ=DAILY\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:offsite@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Offsite\r\n"
        "DTSTART;VALUE=DATE:20260303\r\nDTEND;VALUE=DATE:20260305\r\nEND:VEVENT\r\n"
        // Every five hours since 1990: a long way to the range, on the rule's own grid.
        "BEGIN:VEVENT\r\nUID:pulse@corvane\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Pulse\r\n"
        "DTSTART:19900101T003000Z\r\nDURATION:PT1M\r\nRRULE:FREQ=HOURLY;INTERVAL=5\r\nEND:VEVENT\r\n");

    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    const QDateTime from(QDate(2026, 3, 3), QTime(10, 10), QTimeZone::utc());
    const QList<CalendarEvent> events = store->events(from, from.addDays(7), {QStringLiteral("system-calendar")});
    const QStringList got = described(events);
    EXPECT_EQ(got.filter("Standup").size(), 8);
    EXPECT_TRUE(got.contains("Standup 2026-03-03T10:00:00Z")) << got.join(" | ").toStdString();
    const QStringList pulses = got.filter("Pulse");
    ASSERT_EQ(pulses.size(), 34) << pulses.join(" | ").toStdString();
    EXPECT_EQ(pulses.first().toStdString(), "Pulse 2026-03-03T10:30:00Z");
    EXPECT_EQ(pulses.last().toStdString(), "Pulse 2026-03-10T07:30:00Z");

    const auto offsite = std::find_if(events.begin(), events.end(), [](const CalendarEvent &e) { return e.title == "Offsite"; });
    ASSERT_NE(offsite, events.end());
    EXPECT_TRUE(offsite->isAllDay);
    EXPECT_EQ(offsite->startDate, QDateTime(QDate(2026, 3, 3), QTime(0, 0), Qt::LocalTime));
    EXPECT_EQ(offsite->endDate, QDateTime(QDate(2026, 3, 5), QTime(0, 0), Qt::LocalTime));
}

// Where the viewer's clock skips midnight (Santiago, 8 September 2024: -04:00, then -03:00 from
// 01:00), that day and the one before it, which ends there, keep their days.
TEST_F(EdsStore, AllDayEventsAroundASkippedMidnightKeepTheirDays)
{
    writePersonalCalendar("BEGIN:VEVENT\r\nUID:eve@corvane\r\nSUMMARY:Eve\r\nDTSTART;VALUE=DATE:20240907\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:day@corvane\r\nSUMMARY:Day\r\nDTSTART;VALUE=DATE:20240908\r\n"
                          "RRULE:FREQ=YEARLY\r\nEND:VEVENT\r\n");
    const test::ViewerZone santiago("America/Santiago");
    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    const QDateTime from(QDate(2024, 9, 6), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(described(store->events(from, from.addDays(4), {QStringLiteral("system-calendar")}), true).join(" | ").toStdString(),
              "Day 2024-09-08T04:00:00Z/2024-09-09T03:00:00Z | Eve 2024-09-07T04:00:00Z/2024-09-08T04:00:00Z");
}

// Exclusions and a moved instance written in another form than their series, seen from
// Bucharest: floating ones on a Berlin series, a UTC one on a floating series.
TEST_F(EdsStore, ExclusionsAndMovesNameTheSeriesOwnInstances)
{
    writePersonalCalendar("BEGIN:VEVENT\r\nUID:b@corvane\r\nSUMMARY:B\r\nDTSTART;TZID=Europe/Berlin:20240101T100000\r\n"
                          "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20240102T100000\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:b@corvane\r\nSUMMARY:B moved\r\nRECURRENCE-ID:20240103T100000\r\n"
                          "DTSTART;TZID=Europe/Berlin:20240103T150000\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:a@corvane\r\nSUMMARY:A\r\nDTSTART:20240101T100000\r\n"
                          "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20240102T100000Z\r\nEND:VEVENT\r\n");
    const test::ViewerZone bucharest("Europe/Bucharest");
    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    const QDateTime from(QDate(2023, 12, 31), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(described(store->events(from, from.addDays(5), {QStringLiteral("system-calendar")})).join(" | ").toStdString(),
              "A 2024-01-01T08:00:00Z | A 2024-01-03T08:00:00Z | B 2024-01-01T09:00:00Z | B moved 2024-01-03T14:00:00Z");
}

// Seen from New York, whose clocks go back at 02:00 on 2 November 2025: a UTC exclusion naming a
// floating 10:00 by its instant (14:00Z in summer time), the first of the repeated 01:30 (UTC-4),
// and a day's DURATION across the change ending at the same wall time (noon, UTC-5), not 24 h on.
TEST_F(EdsStore, InstantExclusionsRepeatedHoursAndCalendarDays)
{
    writePersonalCalendar("BEGIN:VEVENT\r\nUID:a@corvane\r\nSUMMARY:A\r\nDTSTART:20251030T100000\r\n"
                          "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20251031T140000Z\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:r@corvane\r\nSUMMARY:R\r\nDTSTART;TZID=America/New_York:20251101T013000\r\n"
                          "DURATION:PT30M\r\nRRULE:FREQ=DAILY;COUNT=2\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:d@corvane\r\nSUMMARY:D\r\nDTSTART;TZID=America/New_York:20251101T120000\r\n"
                          "DURATION:P1D\r\nEND:VEVENT\r\n"
                          "BEGIN:VEVENT\r\nUID:h@corvane\r\nSUMMARY:H\r\nDTSTART;TZID=America/New_York:20251101T120000\r\n"
                          "DURATION:PT24H\r\nEND:VEVENT\r\n");
    const test::ViewerZone newYork("America/New_York");
    auto store = makeEdsCalendarStore();
    ASSERT_TRUE(store);
    const QDateTime from(QDate(2025, 10, 29), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(described(store->events(from, from.addDays(6), {QStringLiteral("system-calendar")}), true).join(" | ").toStdString(),
              "A 2025-10-30T14:00:00Z/2025-10-30T15:00:00Z | A 2025-11-01T14:00:00Z/2025-11-01T15:00:00Z | "
              "D 2025-11-01T16:00:00Z/2025-11-02T17:00:00Z | H 2025-11-01T16:00:00Z/2025-11-02T16:00:00Z | "
              "R 2025-11-01T05:30:00Z/2025-11-01T06:00:00Z | R 2025-11-02T05:30:00Z/2025-11-02T06:00:00Z");
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
