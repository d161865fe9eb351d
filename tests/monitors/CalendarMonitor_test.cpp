#include "monitors/CalendarMonitor.h"

#include "fakes/FakeCalendarStore.h"
#include "fakes/FakeClock.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

using namespace corvane;
using corvane::test::FakeCalendarStore;
using corvane::test::FakeClock;

namespace {

constexpr double kNow = 1'772'000'000; // a fixed instant

QDateTime at(double offsetSeconds)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>((kNow + offsetSeconds) * 1000), QTimeZone::utc());
}

CalendarEvent event(const QString &title, double startOffset, double endOffset, bool allDay = false)
{
    return CalendarEvent{title, at(startOffset), at(endOffset), allDay};
}

struct TextCase {
    const char *label;
    double start;
    double end;
    const char *expected; // nullptr: no text
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.label; }

class RelativeText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RelativeText, MatchesTheClock)
{
    const TextCase &c = GetParam();
    const auto text = CalendarMonitor::relativeText(event("e", c.start, c.end), kNow);
    if (!c.expected) {
        EXPECT_FALSE(text.has_value());
        return;
    }
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelativeText,
    ::testing::Values(TextCase{"under a minute", 45, 3600, "în 0 min"},
                      TextCase{"just under an hour", 3599, 7200, "în 59 min"},
                      TextCase{"exactly an hour", 3600, 7200, "în 1h 0m"},
                      TextCase{"hours and minutes", 2 * 3600 + 5 * 60, 9 * 3600, "în 2h 5m"},
                      TextCase{"a day and hours", 1660 * 60, 1700 * 60, "în 1z 3h"},
                      TextCase{"started, still running", -600, 1200, "în desfășurare"},
                      TextCase{"starting this instant", 0, 1200, "în desfășurare"},
                      TextCase{"already over", -1200, -60, nullptr}),
    [](const auto &info) {
        std::string n = info.param.label;
        for (char &ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(CalendarNext, NoEventHasNoText)
{
    EXPECT_FALSE(CalendarMonitor::relativeText(std::nullopt, kNow).has_value());
}

TEST(CalendarNext, SkipsAllDayAndFinishedEventsAndKeepsTheRunningOne)
{
    const QList<CalendarEvent> evs = {
        event("all day tomorrow", 86400, 2 * 86400, true),
        event("in three days", 3 * 86400, 3 * 86400 + 3600),
        event("finished", -7200, -3600),
        event("starts in 5 min", 300, 1800),
        event("running meeting", -600, 1200),
    };
    const auto next = CalendarMonitor::pickNext(evs, kNow);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->title, "running meeting");

    const auto onlyTimed = CalendarMonitor::pickNext({evs[0], evs[1]}, kNow);
    ASSERT_TRUE(onlyTimed);
    EXPECT_EQ(onlyTimed->title, "in three days");
}

TEST(CalendarNext, EqualStartsKeepTheSourceOrderAndUndatedEventsAreDropped)
{
    CalendarEvent undated = event("no end", 60, 120);
    undated.endDate = QDateTime();
    const auto next = CalendarMonitor::pickNext({undated, event("first", 600, 900), event("second", 600, 900)}, kNow);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->title, "first");
}

class CalendarMonitorTest : public ::testing::Test {
protected:
    FakeClock clock;
    void SetUp() override { clock.setWall(kNow); }

    std::unique_ptr<CalendarMonitor> make(std::unique_ptr<FakeCalendarStore> store, bool autoStart = true)
    {
        return std::make_unique<CalendarMonitor>(std::move(store), clock, autoStart);
    }
};

TEST_F(CalendarMonitorTest, AuthorisedStoreIsReadOffTheGuiThreadAndTheTimerRuns)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->authorized = true;
    store->all = {event("in eight days", 8 * 86400, 8 * 86400 + 600), event("standup", 45, 900)};
    auto m = make(std::move(store));
    QSignalSpy spy(m.get(), &CalendarMonitor::nextEventChanged);
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_TRUE(m->authorized());
    ASSERT_TRUE(m->nextEvent());
    EXPECT_EQ(m->nextEvent()->title, "standup");
    EXPECT_EQ(m->relativeText().toString(), "în 0 min");
    EXPECT_TRUE(m->timer()->isActive());
}

TEST_F(CalendarMonitorTest, EventBeyondSevenDaysIsNotFound)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->authorized = true;
    store->all = {event("in eight days", 8 * 86400, 8 * 86400 + 600)};
    auto m = make(std::move(store));
    QSignalSpy spy(m.get(), &CalendarMonitor::updated);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() == 2; }, 2000)); // the authorisation, then the search
    EXPECT_FALSE(m->nextEvent());
    EXPECT_FALSE(m->relativeText().isValid());
}

TEST_F(CalendarMonitorTest, WithoutAccessNothingRunsUntilARequestCompletes)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->all = {event("standup", 600, 900)};
    FakeCalendarStore *raw = store.get();
    auto m = make(std::move(store));
    QSignalSpy auth(m.get(), &CalendarMonitor::updated);
    ASSERT_TRUE(auth.wait(2000));
    EXPECT_FALSE(m->authorized());
    EXPECT_FALSE(m->timer()->isActive());
    m->refresh(); // refused at once, on this thread
    EXPECT_FALSE(m->refreshRunning());
    EXPECT_EQ(raw->queries.load(), 0);

    // Refused without an error: no error text, yet the timer runs (and does nothing).
    QSignalSpy err(m.get(), &CalendarMonitor::updated);
    m->requestAccess();
    ASSERT_TRUE(err.wait(2000));
    EXPECT_FALSE(m->authorized());
    EXPECT_FALSE(m->lastError());
    EXPECT_TRUE(m->timer()->isActive());
    EXPECT_EQ(raw->queries.load(), 0);

    // Granted later: the request publishes the answer, then the event.
    raw->accessAnswer = {true, std::nullopt};
    QSignalSpy next(m.get(), &CalendarMonitor::nextEventChanged);
    m->requestAccess();
    ASSERT_TRUE(next.wait(2000));
    EXPECT_TRUE(m->authorized());
    ASSERT_TRUE(m->nextEvent());
    EXPECT_EQ(m->nextEvent()->title, "standup");
}

TEST_F(CalendarMonitorTest, RequestErrorIsKeptUntilTheNextRequest)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->accessAnswer = {false, QStringLiteral("Calendarul nu poate fi citit")};
    FakeCalendarStore *raw = store.get();
    auto m = make(std::move(store), false);
    QSignalSpy err(m.get(), &CalendarMonitor::lastErrorChanged);
    m->requestAccess();
    ASSERT_TRUE(err.wait(2000));
    EXPECT_EQ(m->lastError().value_or(QString()), "Calendarul nu poate fi citit");
    EXPECT_EQ(m->lastErrorVariant().toString(), "Calendarul nu poate fi citit");

    raw->accessAnswer = {true, std::nullopt};
    m->requestAccess();
    ASSERT_TRUE(err.wait(2000));
    EXPECT_FALSE(m->lastError());
}

TEST_F(CalendarMonitorTest, RefreshesAskedDuringOneAreMergedIntoOneMore)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->authorized = true;
    store->all = {event("standup", 600, 900)};
    std::atomic<bool> release{false};
    store->duringQuery = [&](std::stop_token) {
        while (!release)
            QThread::msleep(1);
    };
    FakeCalendarStore *raw = store.get();
    auto m = make(std::move(store));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raw->queries.load() == 1; }, 2000));
    EXPECT_TRUE(m->refreshRunning());
    for (int i = 0; i < 5; ++i)
        m->refresh(); // e.g. timer ticks behind a slow calendar
    release = true;
    QSignalSpy updated(m.get(), &CalendarMonitor::updated);
    ASSERT_TRUE(QTest::qWaitFor([&] { return updated.count() == 2; }, 10000));
    EXPECT_EQ(raw->queries.load(), 2);
    EXPECT_FALSE(m->refreshRunning()); // and none more asked for
    EXPECT_EQ(m->nextEvent()->title, "standup");
}

TEST_F(CalendarMonitorTest, GoingAwayStopsARefreshInsteadOfWaitingForIt)
{
    auto store = std::make_unique<FakeCalendarStore>();
    store->authorized = true;
    std::atomic<bool> stopped{false};
    store->duringQuery = [&](std::stop_token stop) {
        while (!stop.stop_requested())
            QThread::msleep(1); // a read that would otherwise take minutes
        stopped = true;
    };
    FakeCalendarStore *raw = store.get();
    auto m = make(std::move(store));
    ASSERT_TRUE(QTest::qWaitFor([&] { return raw->queries.load() == 1; }, 2000));
    m.reset(); // waiting for the read instead would never end
    EXPECT_TRUE(stopped);
}

TEST(LinuxCalendarStore, FindsEvolutionAndFolderCalendars)
{
    const QString root = QStringLiteral(CORVANE_FIXTURES "/ics");
    auto store = makeIcsFileCalendarStore(root + "/data", {root + "/folder"});
    ASSERT_TRUE(store->isAuthorized());
    const QStringList cals = store->calendars();
    ASSERT_EQ(cals.size(), 2);
    EXPECT_TRUE(cals[0].endsWith("evolution/calendar/system/calendar.ics"));
    EXPECT_TRUE(cals[1].endsWith("folder/work.ics"));

    const QDateTime from(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc());
    const QList<CalendarEvent> evs = store->events(from, from.addDays(7), cals);
    QStringList titles;
    for (const auto &e : evs)
        titles.append(e.title);
    EXPECT_EQ(titles, (QStringList{"Dentist", "Planning, Q2", "Planning, Q2"}));
}

// A listed folder holding a Wine-style drive link to a folder out of the list, links back into
// the tree (one a loop) and a link to a file elsewhere; one of its sub-folders is listed too.
TEST(LinuxCalendarStore, OnlyTheListedTreeIsReadEachFolderOnce)
{
    QTemporaryDir root;
    const QString cal = root.path() + "/cal", elsewhere = root.path() + "/elsewhere";
    for (const char *title : {"cal/Work", "cal/team/deep/Team", "elsewhere/Other", "elsewhere/Shared"}) {
        const QString path = root.path() + "/" + title + ".ics";
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:" + QFileInfo(path).baseName().toUtf8()
                + "\r\nDTSTART:20260303T100000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    }
    QDir().mkpath(cal + "/wine/dosdevices");
    ASSERT_TRUE(QFile::link(elsewhere, cal + "/wine/dosdevices/z:") && QFile::link(cal + "/team", cal + "/a-team")
                && QFile::link(cal, cal + "/team/deep/loop") && QFile::link(elsewhere + "/Shared.ics", cal + "/Shared.ics"));

    // Each opening of a folder, as the kernel reports it.
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QMap<int, QString> folders;
    for (const QString &dir : {cal, cal + "/team", cal + "/team/deep", cal + "/wine", cal + "/wine/dosdevices", elsewhere})
        folders.insert(inotify_add_watch(watcher, QFile::encodeName(dir).constData(), IN_OPEN | IN_ONLYDIR), dir);
    ASSERT_FALSE(folders.contains(-1));
    auto store = makeIcsFileCalendarStore(QString(), {cal, cal + "/team"});
    const QStringList cals = store->calendars();
    QMap<QString, int> opened;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n, at; (n = read(watcher, buffer, sizeof buffer)) > 0;)
        for (at = 0; at < n; at += ssize_t(sizeof(inotify_event)) + reinterpret_cast<inotify_event *>(buffer + at)->len)
            if (const auto *e = reinterpret_cast<inotify_event *>(buffer + at); e->len == 0) // the folder, not a file in it
                ++opened[folders.value(e->wd)];
    close(watcher);
    for (const QString &dir : folders)
        EXPECT_EQ(opened.value(dir), dir == elsewhere ? 0 : 1) << dir.toStdString();

    QStringList titles;
    for (const CalendarEvent &e : store->events(QDateTime(QDate(2026, 3, 3), QTime(0, 0), QTimeZone::utc()),
                                                QDateTime(QDate(2026, 3, 4), QTime(0, 0), QTimeZone::utc()), cals))
        titles.append(e.title);
    titles.sort();
    EXPECT_EQ(titles.join(", ").toStdString(), "Shared, Team, Work");

    std::stop_source quit; // quitting stops the search
    quit.request_stop();
    EXPECT_TRUE(store->calendars(quit.get_token()).isEmpty());
}

// A seven-week exhibition that opened on 20 October, seen on 10 December: it is under way and
// comes before the meeting of the next morning.
TEST(LinuxCalendarStore, EventUnderWayForWeeksIsTheNextOne)
{
    FakeClock clock;
    clock.setWall(1'765'368'000); // 2025-12-10 12:00 UTC
    CalendarMonitor m(makeIcsFileCalendarStore(QString(), {QStringLiteral(CORVANE_FIXTURES "/ics/under-way")}), clock, true);
    QSignalSpy spy(&m, &CalendarMonitor::nextEventChanged);
    ASSERT_TRUE(spy.wait(5000));
    ASSERT_TRUE(m.nextEvent());
    EXPECT_EQ(m.nextEvent()->title.toStdString(), "Expoziție de toamnă");
    EXPECT_EQ(m.relativeText().toString().toStdString(), "în desfășurare");
}

TEST(LinuxCalendarStore, NoCalendarMeansNoAccess)
{
    QTemporaryDir empty;
    auto store = makeIcsFileCalendarStore(empty.path(), {empty.path() + "/missing"});
    EXPECT_FALSE(store->isAuthorized());
    EXPECT_FALSE(store->requestAccess().granted);
    EXPECT_FALSE(store->requestAccess().error.has_value());
}

TEST(LinuxCalendarStore, ConnectingWithNothingConfiguredOpensTheCalendarApplication)
{
    // A machine with Evolution but no calendar yet, and no store running.
    QTemporaryDir bin;
    const QString marker = bin.path() + "/launched";
    QFile script(bin.path() + "/evolution");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Written aside and renamed: the test sees the file only once it is complete.
    script.write(("#!/bin/sh\necho \"$@\" > " + marker + ".part && /bin/mv " + marker + ".part " + marker + "\n").toUtf8());
    script.close();
    script.setPermissions(QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray path = qgetenv("PATH"), bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("PATH", bin.path().toUtf8());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");

    auto store = makeLinuxCalendarStore();
    const CalendarAccess access = store->requestAccess();
    qputenv("PATH", path);
    if (!bus.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);

    EXPECT_FALSE(access.granted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 3000));
    QFile out(marker);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll().trimmed(), "--component=calendar");
}

TEST(CalendarMonitorShared, RunsWithoutCalendarsOnThisMachine)
{
    CalendarMonitor *m = CalendarMonitor::shared();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m, CalendarMonitor::shared());
    QSignalSpy auth(m, &CalendarMonitor::updated);
    m->checkAuthorization();
    ASSERT_TRUE(auth.wait(2000));
    // The test environment has an empty data folder: no calendar, no event, no text.
    EXPECT_FALSE(m->authorized());
    EXPECT_FALSE(m->nextEvent());
    EXPECT_FALSE(m->relativeText().isValid());
}

} // namespace
