#include "platform/linux/ICalParser.h"

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
