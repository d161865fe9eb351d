#include "platform/linux/ICalParser.h"
#include "support/ViewerZone.h"

#include <QFile>
#include <QMap>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Monday 2 March 2026 00:00 UTC, a week long.
const QDateTime kFrom(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc());
const QDateTime kTo = kFrom.addDays(7);

QByteArray calendar(const char *events)
{
    return QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n") + events + "END:VCALENDAR\r\n";
}

QString utc(const QDateTime &dt)
{
    return dt.toUTC().toString(Qt::ISODate);
}

struct RuleCase {
    const char *label;
    const char *body; // the VEVENT's lines
    std::vector<const char *> startsUtc; // expected occurrence starts within the week
};

void PrintTo(const RuleCase &c, std::ostream *os) { *os << c.label; }

class Recurrence : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Recurrence, ExpandsWithinTheWeek)
{
    const RuleCase &c = GetParam();
    const QByteArray text = calendar((std::string("BEGIN:VEVENT\r\nUID:x\r\nSUMMARY:e\r\n") + c.body + "END:VEVENT\r\n").c_str());
    QStringList got;
    for (const CalendarEvent &e : ical::occurrences(text, kFrom, kTo))
        got.append(utc(e.startDate));
    QStringList want;
    for (const char *s : c.startsUtc)
        want.append(QString::fromLatin1(s));
    EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Recurrence,
    ::testing::Values(
        RuleCase{"single_utc", "DTSTART:20260303T080000Z\r\nDTEND:20260303T083000Z\r\n", {"2026-03-03T08:00:00Z"}},
        RuleCase{"outside_window", "DTSTART:20260311T080000Z\r\nDTEND:20260311T083000Z\r\n", {}},
        RuleCase{"tzid_converts", "DTSTART;TZID=Europe/Bucharest:20260304T100000\r\nDTEND;TZID=Europe/Bucharest:20260304T110000\r\n",
                 {"2026-03-04T08:00:00Z"}},
        RuleCase{"daily_count", "DTSTART:20260301T090000Z\r\nDTEND:20260301T091500Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n",
                 {"2026-03-02T09:00:00Z", "2026-03-03T09:00:00Z"}},
        RuleCase{"daily_since_years_without_end", "DTSTART:20150105T070000Z\r\nDTEND:20150105T071000Z\r\nRRULE:FREQ=DAILY;INTERVAL=3\r\n",
                 // 2015-01-05 + 3k days
                 {"2026-03-02T07:00:00Z", "2026-03-05T07:00:00Z", "2026-03-08T07:00:00Z"}},
        RuleCase{"hourly_interval_since_decades", "DTSTART:19900101T003000Z\r\nDURATION:PT10M\r\nRRULE:FREQ=HOURLY;INTERVAL=41\r\n",
                 // 1990-01-01T00:30 + 41k hours: the grid of the first date, not of the window's days
                 {"2026-03-03T13:30:00Z", "2026-03-05T06:30:00Z", "2026-03-06T23:30:00Z", "2026-03-08T16:30:00Z"}},
        RuleCase{"weekly_byday_interval_until",
                 "DTSTART:20260216T120000Z\r\nDTEND:20260216T130000Z\r\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,FR;UNTIL=20260306T120000Z\r\n",
                 {"2026-03-02T12:00:00Z", "2026-03-06T12:00:00Z"}},
        RuleCase{"weekly_until_excludes_later", "DTSTART:20260216T120000Z\r\nDTEND:20260216T130000Z\r\nRRULE:FREQ=WEEKLY;UNTIL=20260301\r\n", {}},
        RuleCase{"monthly_last_friday", "DTSTART:20260130T150000Z\r\nDTEND:20260130T160000Z\r\nRRULE:FREQ=MONTHLY;BYDAY=-1FR\r\n", {}},
        RuleCase{"monthly_first_tuesday", "DTSTART:20260106T150000Z\r\nDTEND:20260106T160000Z\r\nRRULE:FREQ=MONTHLY;BYDAY=1TU\r\n",
                 {"2026-03-03T15:00:00Z"}},
        RuleCase{"monthly_day_of_month", "DTSTART:20251204T100000Z\r\nDTEND:20251204T110000Z\r\nRRULE:FREQ=MONTHLY\r\n",
                 {"2026-03-04T10:00:00Z"}},
        RuleCase{"yearly", "DTSTART:20200305T100000Z\r\nDTEND:20200305T110000Z\r\nRRULE:FREQ=YEARLY\r\n", {"2026-03-05T10:00:00Z"}},
        RuleCase{"exdate_skips_one", "DTSTART:20260302T090000Z\r\nDTEND:20260302T091500Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20260303T090000Z\r\n",
                 {"2026-03-02T09:00:00Z", "2026-03-04T09:00:00Z"}},
        RuleCase{"duration_instead_of_end", "DTSTART:20260302T235000Z\r\nDURATION:PT20M\r\n", {"2026-03-02T23:50:00Z"}},
        RuleCase{"event_under_way_at_start", "DTSTART:20260301T233000Z\r\nDTEND:20260302T003000Z\r\n", {"2026-03-01T23:30:00Z"}},
        RuleCase{"last_weekday_by_setpos",
                 "DTSTART:20260302T090000Z\r\nDTEND:20260302T091500Z\r\nRRULE:FREQ=MONTHLY;BYSETPOS=-1;BYDAY=MO,TU\r\n",
                 {"2026-03-02T09:00:00Z"}},
        RuleCase{"bad_rule_gives_first_only", "DTSTART:20260302T090000Z\r\nDTEND:20260302T091500Z\r\nRRULE:FREQ=DAILY;INTERVAL=0\r\n",
                 {"2026-03-02T09:00:00Z"}}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(ICalParser, AllDayEventsStartAtLocalMidnightAndLastADay)
{
    const auto evs = ical::occurrences(
        calendar("BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:Ziua mamei\r\nDTSTART;VALUE=DATE:20260304\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:b\r\nSUMMARY:Weekly\r\nDTSTART;VALUE=DATE:20260226\r\nDTEND;VALUE=DATE:20260227\r\n"
                 "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"),
        kFrom, kTo);
    ASSERT_EQ(evs.size(), 2);
    EXPECT_TRUE(evs[0].isAllDay);
    EXPECT_EQ(evs[0].startDate, QDateTime(QDate(2026, 3, 4), QTime(0, 0), Qt::LocalTime));
    EXPECT_EQ(evs[0].endDate, QDateTime(QDate(2026, 3, 5), QTime(0, 0), Qt::LocalTime));
    EXPECT_EQ(evs[1].startDate.date(), QDate(2026, 3, 5));
    EXPECT_TRUE(evs[1].isAllDay);
}

TEST(ICalParser, FoldedEscapedTextAndNestedAlarms)
{
    const QByteArray text = calendar(
        "BEGIN:VEVENT\r\nUID:f\r\nDTSTART:20260303T080000Z\r\nDTEND:20260303T090000Z\r\n"
        "SUMMARY:Șed\xc8\r\n"                  // the fold splits the UTF-8 bytes of "ț"
        " \x9b" "ință\\, buget\\; plan\\nrev\\\\izie\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nSUMMARY:alarm text\r\nDTSTART:20260101T000000Z\r\nEND:VALARM\r\n"
        "END:VEVENT\r\n");
    const auto evs = ical::occurrences(text, kFrom, kTo);
    ASSERT_EQ(evs.size(), 1);
    EXPECT_EQ(evs[0].title, QString::fromUtf8("Ședțință, buget; plan\nrev\\izie"));
    EXPECT_EQ(utc(evs[0].startDate), "2026-03-03T08:00:00Z");
}

TEST(ICalParser, MovedInstanceReplacesItsOccurrence)
{
    const QByteArray text = calendar(
        "BEGIN:VEVENT\r\nUID:s\r\nSUMMARY:Sync\r\nDTSTART:20260302T090000Z\r\nDTEND:20260302T093000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:s\r\nSUMMARY:Sync (moved)\r\nRECURRENCE-ID:20260303T090000Z\r\n"
        "DTSTART:20260303T140000Z\r\nDTEND:20260303T143000Z\r\nEND:VEVENT\r\n");
    QStringList got;
    for (const auto &e : ical::occurrences(text, kFrom, kTo))
        got.append(e.title + " " + utc(e.startDate));
    EXPECT_EQ(got, (QStringList{"Sync 2026-03-02T09:00:00Z", "Sync 2026-03-04T09:00:00Z", "Sync (moved) 2026-03-03T14:00:00Z"}));
}

TEST(ICalParser, FloatingTimesAreLocalAndGarbageIsIgnored)
{
    const QByteArray text = calendar(
        "garbage line without colon\r\n"
        "BEGIN:VEVENT\r\nUID:g\r\nSUMMARY:Broken\r\nDTSTART:2026-03-0x\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:l\r\nSUMMARY;LANGUAGE=ro:Local\r\nDTSTART;TZID=\"Nowhere/Unknown\":20260303T100000\r\nDTEND:20260303T110000\r\nEND:VEVENT\r\n");
    const auto evs = ical::occurrences(text, kFrom, kTo);
    ASSERT_EQ(evs.size(), 1);
    EXPECT_EQ(evs[0].title, "Local");
    EXPECT_EQ(evs[0].startDate, QDateTime(QDate(2026, 3, 3), QTime(10, 0), Qt::LocalTime));
}

} // namespace

namespace {

// Whole calendars as the clients write them, one per way a reader goes wrong, in two viewers' zones.
struct CalendarCase {
    const char *label;
    const char *text; // between BEGIN:VCALENDAR and END:VCALENDAR
    // "title start" in output order: in UTC, or the viewer's wall time (`wallTime`), with "/end" (`ends`);
    // all-day ones by their first date.
    std::vector<const char *> want;
    QDate from = QDate(2026, 3, 2); // the range, in UTC days
    int days = 7;
    bool wallTime = false;
    bool ends = false;
    std::vector<const char *> zones = {"Europe/Bucharest", "America/New_York"};
};

void PrintTo(const CalendarCase &c, std::ostream *os) { *os << c.label; }

class ClientCalendars : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(ClientCalendars, ExpandLikeTheClientMeantIt)
{
    const CalendarCase &c = GetParam();
    auto shown = [&c](const QDateTime &t) { return c.wallTime ? t.toLocalTime().toString("yyyy-MM-ddTHH:mm") : utc(t); };
    QStringList want;
    for (const char *s : c.want)
        want.append(QString::fromUtf8(s));
    for (const char *zone : c.zones) {
        const test::ViewerZone viewer(zone);
        const QDateTime from(c.from, QTime(0, 0), QTimeZone::utc());
        QStringList got;
        for (const CalendarEvent &e : ical::occurrences(calendar(c.text), from, from.addDays(c.days))) {
            const QDate day = e.startDate.toLocalTime().date(), end = e.endDate.toLocalTime().date();
            if (e.isAllDay && (e.startDate != day.startOfDay() || e.endDate != end.startOfDay()))
                got.append("not from the first instant of its days:");
            got.append(e.title + " " + (e.isAllDay ? day.toString(Qt::ISODate) : shown(e.startDate))
                       + (c.ends ? "/" + shown(e.endDate) : QString()));
        }
        EXPECT_EQ(got.join(" | ").toStdString(), want.join(" | ").toStdString()) << zone;
    }
}

#define EV(uid, lines) "BEGIN:VEVENT\r\nUID:" uid "\r\nDTSTAMP:20260101T000000Z\r\n" lines "END:VEVENT\r\n"
#define DAY(date) EV(date, "SUMMARY:D\r\nDTSTART;VALUE=DATE:" date "\r\n")
#define WEEKLY_UNTIL_UTC EV("w", "SUMMARY:W\r\nDTSTART;VALUE=DATE:20200910\r\nRRULE:FREQ=WEEKLY;UNTIL=20200923T230000Z\r\n")

const char kOutlookSydney[] =
    "BEGIN:VTIMEZONE\r\nTZID:Canberra, Melbourne, Sydney\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16010101T030000\r\nTZOFFSETFROM:+1100\r\nTZOFFSETTO:+1000\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:+1000\r\nTZOFFSETTO:+1100\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=10\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    EV("syd", "SUMMARY:Sydney\r\nDTSTART;TZID=\"Canberra, Melbourne, Sydney\":20260305T100000\r\n"
              "DTEND;TZID=\"Canberra, Melbourne, Sydney\":20260305T110000\r\n");

const char kCustomNewYork[] =
    "BEGIN:VTIMEZONE\r\nTZID:custom_America/New_York\r\n"
    "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    // The weekly series crosses the change to summer time on 8 March: 10:00 stays 10:00.
    EV("ny", "SUMMARY:NY\r\nDTSTART;TZID=custom_America/New_York:20260302T100000\r\nDURATION:PT1H\r\n"
             "RRULE:FREQ=DAILY;INTERVAL=6\r\n");

// New York's clocks go back at 02:00 on 2 November 2025: 01:30 comes twice, first at UTC-4. The
// zone is named by the system, by Windows and by a VTIMEZONE of New York's rules under Outlook's
// display name, known only from the file.
const char kRepeatedHour[] =
    "BEGIN:VTIMEZONE\r\nTZID:Eastern Time (US & Canada)\r\n"
    "BEGIN:STANDARD\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:16010101T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    EV("s", "SUMMARY:System\r\nDTSTART;TZID=America/New_York:20251101T013000\r\nDURATION:PT30M\r\n"
            "RRULE:FREQ=DAILY;COUNT=2\r\n")
    EV("f", "SUMMARY:File\r\nDTSTART;TZID=\"Eastern Time (US & Canada)\":20251102T013000\r\nDURATION:PT30M\r\n")
    EV("w", "SUMMARY:Windows\r\nDTSTART;TZID=Eastern Standard Time:20251102T013000\r\nDURATION:PT30M\r\n");

INSTANTIATE_TEST_SUITE_P(
    Causes, ClientCalendars,
    ::testing::Values(
        CalendarCase{"rdate_adds_dates",
                     EV("r", "SUMMARY:R\r\nDTSTART:20260226T090000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=1\r\n"
                             "RDATE:20260304T090000Z,20260306T100000Z\r\nRDATE;VALUE=PERIOD:20260308T120000Z/PT2H\r\n"),
                     {"R 2026-03-04T09:00:00Z", "R 2026-03-06T10:00:00Z", "R 2026-03-08T12:00:00Z"}},
        CalendarCase{"outlook_zone_named_by_its_vtimezone", kOutlookSydney, {"Sydney 2026-03-04T23:00:00Z"}},
        CalendarCase{"custom_prefixed_zone_with_vtimezone_across_dst", kCustomNewYork,
                     {"NY 2026-03-02T15:00:00Z", "NY 2026-03-08T14:00:00Z"}},
        CalendarCase{"evolution_softwarestudio_prefix",
                     EV("e1", "SUMMARY:E\r\nDTSTART;TZID=/softwarestudio.org/Olson_20011030_5/America/New_York:20260304T100000\r\n"
                              "DURATION:PT1H\r\n"),
                     {"E 2026-03-04T15:00:00Z"}},
        CalendarCase{"evolution_tzfile_prefix",
                     EV("e2", "SUMMARY:E\r\nDTSTART;TZID=Tzfile/America/Chicago:20260304T100000\r\nDURATION:PT1H\r\n")
                     EV("e3", "SUMMARY:F\r\nDTSTART;TZID=/freeassociation.sourceforge.net/Tzfile/Europe/Bucharest:20260304T100000\r\n"
                              "DURATION:PT1H\r\n"),
                     {"E 2026-03-04T16:00:00Z", "F 2026-03-04T08:00:00Z"}},
        CalendarCase{"utc_until_ends_a_zoned_series_at_that_instant",
                     // Thursday 5 March 20:15 in New York is 01:15Z on the 6th: after UNTIL.
                     EV("u", "SUMMARY:U\r\nDTSTART;TZID=America/New_York:20260226T201500\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=WEEKLY;UNTIL=20260305T235959Z\r\n"),
                     {}},
        CalendarCase{"windows_zone_id",
                     EV("w", "SUMMARY:W\r\nDTSTART;TZID=W. Europe Standard Time:20260304T100000\r\nDURATION:PT1H\r\n"),
                     {"W 2026-03-04T09:00:00Z"}},
        CalendarCase{"google_monthly_by_month_day",
                     EV("g", "SUMMARY:G\r\nDTSTART:20250804T080000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=4;WKST=SU\r\n"),
                     {"G 2026-03-04T08:00:00Z"}},
        CalendarCase{"outlook_yearly_by_month",
                     EV("y", "SUMMARY:Y\r\nDTSTART:20190305T080000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=5\r\n"),
                     {"Y 2026-03-05T08:00:00Z"}},
        CalendarCase{"first_weekday_of_month_by_setpos",
                     EV("s", "SUMMARY:S\r\nDTSTART:20250101T080000Z\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1\r\n"),
                     {"S 2026-03-02T08:00:00Z"}},
        CalendarCase{"several_rules_all_count",
                     EV("m", "SUMMARY:M\r\nDTSTART:20260223T080000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n"
                             "RRULE:FREQ=WEEKLY;BYDAY=TH\r\n"),
                     {"M 2026-03-02T08:00:00Z", "M 2026-03-05T08:00:00Z"}},
        CalendarCase{"week_start_monday_pairs_tuesday_with_the_next_sunday",
                     EV("k", "SUMMARY:K\r\nDTSTART:20260303T090000Z\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=MO\r\n"),
                     {"K 2026-03-03T09:00:00Z", "K 2026-03-08T09:00:00Z"}},
        CalendarCase{"week_start_sunday_skips_that_sunday",
                     EV("k", "SUMMARY:K\r\nDTSTART:20260303T090000Z\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=SU\r\n"),
                     {"K 2026-03-03T09:00:00Z"}},
        CalendarCase{"cancelled_event_and_cancelled_instance",
                     EV("c1", "SUMMARY:Gone\r\nSTATUS:CANCELLED\r\nDTSTART:20260303T080000Z\r\nDURATION:PT1H\r\n")
                     EV("c2", "SUMMARY:Daily\r\nDTSTART:20260302T100000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=3\r\n")
                     EV("c2", "SUMMARY:Daily\r\nRECURRENCE-ID:20260303T100000Z\r\nSTATUS:CANCELLED\r\n"
                              "DTSTART:20260303T100000Z\r\nDURATION:PT1H\r\n"),
                     {"Daily 2026-03-02T10:00:00Z", "Daily 2026-03-04T10:00:00Z"}},
        CalendarCase{"duplicate_uid_keeps_the_newest_copy",
                     "BEGIN:VEVENT\r\nUID:d\r\nSEQUENCE:2\r\nSUMMARY:New\r\nDTSTART:20260304T090000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n"
                     "BEGIN:VEVENT\r\nUID:d\r\nSEQUENCE:1\r\nSUMMARY:Stale\r\nDTSTART:20260303T090000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n",
                     {"New 2026-03-04T09:00:00Z"}},
        CalendarCase{"this_and_future_moves_the_rest_of_the_series",
                     EV("t", "SUMMARY:Old\r\nDTSTART:20260302T090000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=4\r\n")
                     EV("t", "SUMMARY:New\r\nRECURRENCE-ID;RANGE=THISANDFUTURE:20260303T090000Z\r\n"
                             "DTSTART:20260303T110000Z\r\nDURATION:PT30M\r\n"),
                     {"Old 2026-03-02T09:00:00Z", "New 2026-03-04T11:00:00Z", "New 2026-03-05T11:00:00Z",
                      "New 2026-03-03T11:00:00Z"}},
        CalendarCase{"moved_into_the_week_from_outside",
                     EV("o", "SUMMARY:Base\r\nDTSTART:20260223T090000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n")
                     EV("o", "SUMMARY:Moved\r\nRECURRENCE-ID:20260223T090000Z\r\nDTSTART:20260303T090000Z\r\nDURATION:PT1H\r\n"),
                     {"Base 2026-03-02T09:00:00Z", "Moved 2026-03-03T09:00:00Z"}},
        // Exclusions and moved instances in another form than their series name its own instances.
        CalendarCase{"utc_exclusion_on_a_floating_series",
                     EV("a", "SUMMARY:A\r\nDTSTART:20240101T100000\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20240102T100000Z\r\n"),
                     {"A 2024-01-01T10:00", "A 2024-01-03T10:00"}, QDate(2023, 12, 31), 5, true},
        // Or by the instant a client converted the author's 10:00 to: 08:00Z in Berlin (UTC+2 in June),
        // 14:00Z in New York (UTC-4); each viewer loses the 3rd, and the 5th by its wall time.
        CalendarCase{"utc_exclusions_on_a_floating_series_by_wall_time_or_by_instant",
                     EV("a", "SUMMARY:A\r\nDTSTART:20250602T100000\r\nRRULE:FREQ=DAILY;COUNT=5\r\n"
                             "EXDATE:20250603T080000Z,20250603T140000Z\r\nEXDATE:20250605T100000Z\r\n"),
                     {"A 2025-06-02T10:00", "A 2025-06-04T10:00", "A 2025-06-06T10:00"}, QDate(2025, 6, 1), 7, true,
                     false, {"Europe/Berlin", "America/New_York"}},
        CalendarCase{"floating_exclusion_and_move_on_a_zoned_series",
                     EV("b", "SUMMARY:B\r\nDTSTART;TZID=Europe/Berlin:20240101T100000\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                             "EXDATE:20240102T100000\r\n")
                     EV("b", "SUMMARY:B moved\r\nRECURRENCE-ID:20240103T100000\r\nDTSTART;TZID=Europe/Berlin:20240103T150000\r\n"),
                     {"B 2024-01-01T09:00:00Z", "B moved 2024-01-03T14:00:00Z"}, QDate(2023, 12, 31), 5},
        CalendarCase{"midnight_exclusions_on_an_all_day_series", // Exchange's, and a floating one
                     EV("c", "SUMMARY:C\r\nDTSTART;VALUE=DATE:20260216\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                             "EXDATE;TZID=W. Europe Standard Time:20260217T000000\r\nEXDATE:20260218T000000\r\n"),
                     {"C 2026-02-16"}, QDate(2026, 2, 15), 5},
        // An all-day series' UTC UNTIL is a date in the file's own zone (else UTC), for every viewer.
        CalendarCase{"all_day_until_at_midnight_of_the_files_zone",
                     "BEGIN:VTIMEZONE\r\nTZID:GMT Standard Time\r\nBEGIN:STANDARD\r\nDTSTART:16010101T020000\r\n"
                     "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nEND:STANDARD\r\n"
                     "BEGIN:DAYLIGHT\r\nDTSTART:16010101T010000\r\nTZOFFSETFROM:+0000\r\nTZOFFSETTO:+0100\r\n"
                     "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n" WEEKLY_UNTIL_UTC,
                     {"W 2020-09-10", "W 2020-09-17", "W 2020-09-24"}, QDate(2020, 9, 7), 21},
        CalendarCase{"all_day_until_in_utc_without_a_zone", WEEKLY_UNTIL_UTC, {"W 2020-09-10", "W 2020-09-17"},
                     QDate(2020, 9, 7), 21},
        CalendarCase{"periods_on_dtstart_and_on_a_rule_date",
                     EV("p", "SUMMARY:P\r\nDTSTART;TZID=Europe/Berlin:20150219T133000\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=DAILY;COUNT=2\r\nRDATE;VALUE=PERIOD;TZID=Europe/Berlin:20150219T133000/PT10H\r\n"
                             "RDATE;VALUE=PERIOD;TZID=Europe/Berlin:20150220T133000/20150220T233000\r\n"),
                     {"P 2015-02-19T12:30:00Z/2015-02-19T22:30:00Z", "P 2015-02-20T12:30:00Z/2015-02-20T22:30:00Z"},
                     QDate(2015, 2, 18), 4, false, true},
        // A local time skipped by the viewer's clock moves forward by the gap; all-day events on a
        // skipped midnight and the day before (which ends there) keep their days.
        CalendarCase{"floating_time_in_the_spring_gap", EV("f", "SUMMARY:F\r\nDTSTART:20240331T033000\r\n"),
                     {"F 2024-03-31T04:30"}, QDate(2024, 3, 30), 2, true, false, {"Europe/Bucharest"}},
        CalendarCase{"first_of_a_repeated_hour_in_every_named_zone", kRepeatedHour,
                     {"System 2025-11-01T05:30:00Z", "System 2025-11-02T05:30:00Z", "File 2025-11-02T05:30:00Z",
                      "Windows 2025-11-02T05:30:00Z"},
                     QDate(2025, 10, 31), 4},
        // Floating, in the viewer's zone (Toronto changes with New York), also right after a winter time.
        CalendarCase{"floating_time_in_the_repeated_hour_is_the_first",
                     EV("l", "SUMMARY:Later\r\nDTSTART:20251103T013000\r\n") EV("f", "SUMMARY:F\r\nDTSTART:20251102T013000\r\n"),
                     {"Later 2025-11-03T06:30:00Z", "F 2025-11-02T05:30:00Z"}, QDate(2025, 11, 1), 3, false, false,
                     {"America/New_York", "America/Toronto"}},
        // Days and weeks last until the same time on a later calendar day: Bucharest moves from
        // UTC+2 to UTC+3 on 29 March 2026, so noon on the 28th plus a day ends at 09:00Z.
        CalendarCase{"day_and_week_durations_are_calendar_days",
                     EV("d", "SUMMARY:Day\r\nDTSTART;TZID=Europe/Bucharest:20260328T120000\r\nDURATION:P1D\r\n")
                     EV("h", "SUMMARY:Hours\r\nDTSTART;TZID=Europe/Bucharest:20260328T120000\r\nDURATION:PT24H\r\n")
                     EV("m", "SUMMARY:Mixed\r\nDTSTART;TZID=Europe/Bucharest:20260328T120000\r\nDURATION:P1DT1H\r\n")
                     EV("w", "SUMMARY:Week\r\nDTSTART;TZID=Europe/Bucharest:20260325T120000\r\nDURATION:P1W\r\n"),
                     {"Day 2026-03-28T10:00:00Z/2026-03-29T09:00:00Z", "Hours 2026-03-28T10:00:00Z/2026-03-29T10:00:00Z",
                      "Mixed 2026-03-28T10:00:00Z/2026-03-29T10:00:00Z", "Week 2026-03-25T10:00:00Z/2026-04-01T09:00:00Z"},
                     QDate(2026, 3, 27), 3, false, true},
        // Floating: in the viewer's zone (New York changes on 8 March, Bucharest on 29 March).
        CalendarCase{"floating_days_are_calendar_days_of_the_viewer",
                     EV("f", "SUMMARY:F\r\nDTSTART:20260307T120000\r\nDURATION:P1D\r\nRRULE:FREQ=WEEKLY;INTERVAL=3;COUNT=2\r\n"),
                     {"F 2026-03-07T12:00/2026-03-08T12:00", "F 2026-03-28T12:00/2026-03-29T12:00"}, QDate(2026, 3, 6), 24,
                     true, true},
        CalendarCase{"all_day_events_on_a_skipped_midnight",
                     DAY("20240907") DAY("20240908") DAY("20240309") DAY("20240310") DAY("20240330") DAY("20240331")
                     DAY("20240425") DAY("20240426") DAY("20230930") DAY("20231001") DAY("20220321") DAY("20220322")
                     DAY("20181103") DAY("20181104"),
                     {"D 2024-09-07", "D 2024-09-08", "D 2024-03-09", "D 2024-03-10", "D 2024-03-30", "D 2024-03-31",
                      "D 2024-04-25", "D 2024-04-26", "D 2023-09-30", "D 2023-10-01", "D 2022-03-21", "D 2022-03-22",
                      "D 2018-11-03", "D 2018-11-04"},
                     QDate(2018, 11, 1), 6 * 366, false, false,
                     {"America/Santiago", "America/Havana", "Asia/Beirut", "Africa/Cairo", "America/Asuncion",
                      "Asia/Tehran", "America/Sao_Paulo"}}),
    [](const auto &info) { return std::string(info.param.label); });

// One-word names are no zones (Qt calls them valid at UTC+0): the time is the file's local time.
TEST(ICalParser, MadeUpZoneNamesReadAsLocalTime)
{
    const auto evs = ical::occurrences(
        calendar(EV("a", "SUMMARY:A\r\nDTSTART;TZID=Eastern:20260304T100000\r\nDURATION:PT1H\r\n")
                     EV("b", "SUMMARY:B\r\nDTSTART;TZID=FOO:20260304T110000\r\nDURATION:PT1H\r\n")),
        kFrom, kTo);
    ASSERT_EQ(evs.size(), 2);
    EXPECT_EQ(evs[0].startDate, QDateTime(QDate(2026, 3, 4), QTime(10, 0), Qt::LocalTime));
    EXPECT_EQ(evs[1].startDate, QDateTime(QDate(2026, 3, 4), QTime(11, 0), Qt::LocalTime));
}

// Week-number series seen from windows far into them: only the Tuesdays of ISO week 1 (the
// weekday of DTSTART when the rule names none, even when DTSTART lies in another week), also
// where the week straddles New Year or the year has a week 53, and never a day off the rule.
TEST(ICalParser, WeekNumberSeriesFarFromTheirStart)
{
    QFile f(QStringLiteral(CORVANE_FIXTURES "/ics/series/week-numbers.ics"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    auto fortnight = [&](QDate first) {
        const QDateTime from(first, QTime(0, 0), QTimeZone::utc());
        QStringList got;
        for (const CalendarEvent &e : ical::occurrences(text, from, from.addDays(14)))
            got.append(e.title + ' ' + utc(e.startDate));
        return got.join(QStringLiteral(" | ")).toStdString();
    };
    EXPECT_EQ(fortnight(QDate(2025, 12, 29)), "First week 2025-12-30T10:00:00Z | First week Tuesday 2025-12-30T09:00:00Z | Autumn start 2025-12-30T08:00:00Z");
    // 2026 has a week 53; week 1 of 2027 starts on 4 January.
    EXPECT_EQ(fortnight(QDate(2026, 12, 28)), "First week 2027-01-05T10:00:00Z | First week Tuesday 2027-01-05T09:00:00Z | Autumn start 2027-01-05T08:00:00Z");
    EXPECT_EQ(fortnight(QDate(2004, 12, 27)), "First week 2005-01-04T10:00:00Z | First week Tuesday 2005-01-04T09:00:00Z | Autumn start 2005-01-04T08:00:00Z");
    EXPECT_EQ(fortnight(QDate(1997, 12, 22)), "First week Tuesday 1997-12-30T09:00:00Z | Autumn start 1997-12-30T08:00:00Z");
}

// COUNT beside UNTIL makes libical drop the rule. A COUNT that is no positive whole number
// says nothing: UNTIL ends the series (every fourth Monday from 2 October 2023 to the end of
// March 2024 is 7 dates), or nothing does; a real one ends it where it comes first.
TEST(ICalParser, CountBesideUntil)
{
    QFile f(QStringLiteral(CORVANE_FIXTURES "/ics/series/count-with-until.ics"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QDateTime from(QDate(2023, 9, 1), QTime(0, 0), QTimeZone::utc());
    QMap<QString, QStringList> days;
    for (const CalendarEvent &e : ical::occurrences(f.readAll(), from, from.addYears(1)))
        days[e.title].append(e.startDate.date().toString(Qt::ISODate));
    auto of = [&](const char *title) { return days.value(QString::fromLatin1(title)).join(' ').toStdString(); };
    const std::string everyFourthMonday = "2023-10-02 2023-10-30 2023-11-27 2023-12-25 2024-01-22 2024-02-19 2024-03-18";
    EXPECT_EQ(of("Count minus one"), everyFourthMonday);
    EXPECT_EQ(of("Count zero"), everyFourthMonday);
    EXPECT_EQ(of("Count fraction"), everyFourthMonday);
    EXPECT_EQ(of("Count three"), "2023-10-02 2023-10-30 2023-11-27");
    EXPECT_EQ(of("Count zero, no end"), everyFourthMonday + " 2024-04-15 2024-05-13 2024-06-10 2024-07-08 2024-08-05");
}

} // namespace

namespace {

// Hostile and careless files: each refresh does a bounded amount of work and nothing
// overflows. The work is counted, not timed: the budget's steps (iterator steps, and day or
// minute checks in thousands) and the rules handed to libical, whose own search is uncounted.
class BoundedWork : public ::testing::Test {
protected:
    ical::Budget budget;
    QList<CalendarEvent> read(const QByteArray &text, const QDateTime &from = kFrom, const QDateTime &to = kTo)
    {
        return ical::occurrences(text, from, to, budget);
    }
    int64_t steps() const { return ical::Budget{}.steps - budget.steps; }
    void TearDown() override { EXPECT_FALSE(budget.spent()) << "the refresh ran out of budget"; }
};

// A calendar kept for years: of its thousands of past events only those that can show near
// the week stay parsed, with every copy of their UIDs, so the newest copy still decides (here
// one that moved far away) and a series keeps its moved instances wherever they went.
TEST_F(BoundedWork, LargeCalendarHoldsOnlyWhatCanShowNearTheRange)
{
    QByteArray events;
    for (int i = 0; i < 3000; ++i)
        events += "BEGIN:VEVENT\r\nUID:past-" + QByteArray::number(i) + "\r\nSUMMARY:Past\r\nDTSTART:"
            + QDate(2015, 1, 1).addDays(i).toString("yyyyMMdd").toLatin1() + "T090000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n";
    events += EV("week", "SUMMARY:This week\r\nDTSTART:20260303T090000Z\r\nDURATION:PT1H\r\n");
    // Sent again with a later sequence, moved out of the week: the old copy no longer shows.
    events += EV("moved", "SUMMARY:Moved away\r\nDTSTART:20260304T090000Z\r\nDURATION:PT1H\r\n");
    events += EV("moved", "SUMMARY:Moved away\r\nSEQUENCE:2\r\nDTSTART:20300304T090000Z\r\nDURATION:PT1H\r\n");
    // A series from 2010 whose instance of this week moved to 2012.
    events += EV("weekly", "SUMMARY:Weekly\r\nDTSTART:20100105T120000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY\r\n");
    events += EV("weekly", "SUMMARY:Weekly\r\nRECURRENCE-ID:20260303T120000Z\r\nDTSTART:20120101T120000Z\r\nDURATION:PT1H\r\n");
    events += EV("under-way", "SUMMARY:Long\r\nDTSTART;VALUE=DATE:20260220\r\nDTEND;VALUE=DATE:20260310\r\n");
    QStringList got;
    for (const CalendarEvent &e : read(calendar(events.constData())))
        got << e.title + ' ' + e.startDate.toUTC().toString(Qt::ISODate);
    EXPECT_EQ(got.join(" | ").toStdString(), "This week 2026-03-03T09:00:00Z | Long " +
              QDateTime(QDate(2026, 2, 20), QTime(0, 0)).toUTC().toString(Qt::ISODate).toStdString());
    EXPECT_EQ(budget.eventsHeld, 6);
}

TEST_F(BoundedWork, NinetyByteFileWithAnImpossibleHugeRule)
{
    const QByteArray text = "BEGIN:VEVENT\nDTSTART:20260101\nRRULE:FREQ=MONTHLY;INTERVAL=2147483647;BYDAY=9MO\nEND:VEVENT\n";
    ASSERT_EQ(text.size(), 90);
    const QDateTime newYear(QDate(2026, 1, 1), QTime(0, 0), Qt::LocalTime);
    const auto evs = read(text, newYear, newYear.addDays(7));
    ASSERT_EQ(evs.size(), 1); // the first date is all that is left of it
    EXPECT_TRUE(evs[0].isAllDay);
    EXPECT_TRUE(read(text, kFrom, kTo).isEmpty());
    EXPECT_EQ(budget.rulesExpanded, 0) << "a period that never comes round is not searched";
    EXPECT_EQ(steps(), 0);
}

TEST_F(BoundedWork, ThousandEventsWithHugeIntervals)
{
    QByteArray text = "BEGIN:VCALENDAR\r\n";
    const char *rules[] = {"FREQ=DAILY;INTERVAL=2147483647", "FREQ=MONTHLY;INTERVAL=2147483647",
                           "FREQ=YEARLY;INTERVAL=2147483647", "FREQ=WEEKLY;INTERVAL=32767",
                           "FREQ=MONTHLY;INTERVAL=999"};
    for (int i = 0; i < 1000; ++i)
        text += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nDTSTART:19900101T080000Z\r\nDURATION:PT1H\r\nRRULE:"
            + rules[i % 5] + "\r\nEND:VEVENT\r\n";
    text += "END:VCALENDAR\r\n";
    EXPECT_TRUE(read(text, kFrom, kTo).isEmpty());
    EXPECT_EQ(budget.rulesExpanded, 0);
    EXPECT_EQ(steps(), 0);
}

TEST_F(BoundedWork, RulesWhosePartsNeverAgree)
{
    // libical would search each of these until the year 2582 (minutes of CPU for the minutely one).
    QByteArray events;
    const char *rules[] = {"FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=31", "FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30",
                           "FREQ=DAILY;INTERVAL=7;BYDAY=TU", "FREQ=HOURLY;INTERVAL=24;BYHOUR=5",
                           "FREQ=YEARLY;BYMONTH=4;BYMONTHDAY=31"};
    for (int i = 0; i < 50; ++i)
        events += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i) + "\r\nDTSTART:20260223T100000Z\r\nDURATION:PT1H\r\nRRULE:"
            + rules[i % 5] + "\r\nEND:VEVENT\r\n";
    EXPECT_TRUE(read(calendar(events.constData()), kFrom, kTo).isEmpty());
    EXPECT_EQ(budget.rulesExpanded, 0) << "libical was left to search";
    EXPECT_LE(steps(), 50 * 20); // the window's minutes checked in thousands
}

TEST_F(BoundedWork, ZoneWhoseChangesNeverHappenIsReadByName)
{
    // libical would search this zone's change until the year 2582, minute by minute.
    const auto evs = read(
        calendar("BEGIN:VTIMEZONE\r\nTZID:Europe/Bucharest\r\nBEGIN:STANDARD\r\nDTSTART:20000101T030000\r\n"
                 "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0000\r\nRRULE:FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=31\r\n"
                 "END:STANDARD\r\nEND:VTIMEZONE\r\n"
                 EV("a", "SUMMARY:A\r\nDTSTART;TZID=Europe/Bucharest:20260303T100000\r\nDURATION:PT1H\r\n")),
        kFrom, kTo);
    ASSERT_EQ(evs.size(), 1);
    EXPECT_EQ(utc(evs[0].startDate), "2026-03-03T08:00:00Z"); // by the file's definition: 10:00
}

TEST_F(BoundedWork, OldMonthlySeriesInAFarWindowStartsNearTheWindow)
{
    const QDateTime from(QDate(2050, 3, 1), QTime(0, 0), QTimeZone::utc());
    QByteArray events;
    for (int i = 0; i < 1300; ++i)
        events += "BEGIN:VEVENT\r\nUID:" + QByteArray::number(i)
            + "\r\nDTSTART:19900303T100000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=MONTHLY;BYDAY=1TH\r\nEND:VEVENT\r\n";
    const auto evs = read(calendar(events.constData()), from, from.addDays(7));
    ASSERT_EQ(evs.size(), 1300);
    EXPECT_EQ(utc(evs[0].startDate), "2050-03-03T10:00:00Z");
    // A few steps per series, not the 720 months since 1990.
    EXPECT_LE(steps(), 3 * 1300);
}

TEST_F(BoundedWork, HugeDurationsAndCountsDoNotOverflow)
{
    const auto evs = read(
        calendar(EV("d1", "SUMMARY:Weeks\r\nDTSTART:20260303T080000Z\r\nDURATION:P4294967295W\r\n")
                     EV("d2", "SUMMARY:Parts\r\nDTSTART:20260303T090000Z\r\nDURATION:P4294967295DT4294967295H4294967295M4294967295S\r\n")
                     EV("d3", "SUMMARY:Back\r\nDTSTART:20260303T100000Z\r\nDURATION:-P4294967295W\r\n")
                     EV("c", "SUMMARY:Count\r\nDTSTART:20000101T000000Z\r\nRRULE:FREQ=SECONDLY;COUNT=2147483647\r\n")),
        kFrom, kTo);
    QStringList titles;
    for (const auto &e : evs) {
        titles.append(e.title);
        EXPECT_TRUE(e.endDate.isValid());
        EXPECT_GE(e.endDate, e.startDate) << e.title.toStdString();
    }
    EXPECT_EQ(titles.mid(0, 3), (QStringList{"Weeks", "Parts", "Back"}));
    EXPECT_LE(titles.size(), 3 + ical::kMaxOccurrencesPerEvent);
    // The COUNT rule is walked from 2000, but no further than one rule's share.
    EXPECT_EQ(budget.rulesExpanded, 1);
    EXPECT_LE(steps(), 50'000);
}

TEST_F(BoundedWork, AStopRequestEndsTheWorkAtOnce)
{
    std::stop_source stop;
    stop.request_stop();
    ical::Budget budget;
    budget.stop = stop.get_token();
    const QByteArray text = calendar(EV("a", "SUMMARY:A\r\nDTSTART:20260303T080000Z\r\nDURATION:PT1H\r\n"));
    EXPECT_TRUE(ical::occurrences(text, kFrom, kTo, budget).isEmpty());
}

} // namespace
