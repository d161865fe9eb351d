#include "platform/linux/ICalParser.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTime>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <map>
#include <mutex>
#include <optional>

namespace corvane::ical {
namespace {

constexpr int64_t kDay = 86'400;
// Zone offsets reach ±26 h: ranges in wall time are widened by this much on each side.
constexpr int64_t kZoneSlack = 2 * kDay;
// A this-and-future change moved by more than this does not widen the range further.
constexpr int64_t kMaxLookBack = 31 * kDay;
constexpr int64_t kMaxDuration = 100LL * 366 * kDay;
// One rule may take this many iterator steps (a COUNT rule is walked from its first date).
constexpr int64_t kMaxStepsPerRule = 50'000;

void quietLibical()
{
    static std::once_flag once;
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

// ---- zones ----

struct Zone {
    enum Kind { Floating, Utc, Ical, Qt } kind = Floating;
    icaltimezone *ical = nullptr; // owned by the parsed calendar
    // Qt: the zone. Ical: the system's zone of the same name, if any, for wall times outside
    // [coveredFrom, coveredTo] (civil seconds), the years the file's definition speaks of.
    QTimeZone qt;
    int64_t coveredFrom = std::numeric_limits<int64_t>::min();
    int64_t coveredTo = std::numeric_limits<int64_t>::max();
};

// Wall time as seconds since an arbitrary epoch (Julian day 0), for stepping without a zone.
int64_t civil(const icaltimetype &t)
{
    const QDate d(t.year, t.month, t.day);
    if (!d.isValid())
        return 0;
    return d.toJulianDay() * kDay + (t.is_date ? 0 : t.hour * 3600 + t.minute * 60 + t.second);
}

icaltimetype fromCivil(int64_t s, bool isDate)
{
    icaltimetype t = icaltime_null_time();
    const QDate d = QDate::fromJulianDay(s / kDay);
    const int64_t rest = s % kDay;
    t.year = d.year();
    t.month = d.month();
    t.day = d.day();
    t.is_date = isDate ? 1 : 0;
    if (!isDate) {
        t.hour = static_cast<int>(rest / 3600);
        t.minute = static_cast<int>(rest / 60 % 60);
        t.second = static_cast<int>(rest % 60);
    }
    return t;
}

bool validWall(const icaltimetype &t)
{
    return !icaltime_is_null_time(t) && QDate(t.year, t.month, t.day).isValid() && t.hour >= 0 && t.hour < 24
        && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second <= 60;
}

// Whether an Ical zone hands this wall time to the system's zone of the same name.
bool bySystemZone(const Zone &zone, const icaltimetype &wall)
{
    if (!zone.qt.isValid())
        return false;
    const int64_t c = civil(wall);
    return c < zone.coveredFrom || c > zone.coveredTo;
}

// Of the two instants a local time names in the hour repeated when clocks go back, the first
// one counts (the time is read with the offset from before the change). `foundMs` is the
// instant a conversion gave; `offsetAt` is the zone's offset in seconds at an instant.
template <typename OffsetAt>
int64_t firstOfRepeatedHour(int64_t wallAsUtcMs, int64_t foundMs, OffsetAt offsetAt)
{
    // A day earlier is before the change whatever the offset (changes are months apart).
    const int before = offsetAt(wallAsUtcMs - kDay * 1000);
    const int64_t earlier = wallAsUtcMs - int64_t(before) * 1000;
    return earlier < foundMs && offsetAt(earlier) == before ? earlier : foundMs;
}

// A libical zone's offset in seconds at an instant.
int icalOffsetAt(icaltimezone *zone, int64_t ms)
{
    icaltimetype at = icaltime_from_timet_with_zone(time_t(ms / 1000), 0, icaltimezone_get_utc_timezone());
    int daylight = 0;
    return icaltimezone_get_utc_offset_of_utc_time(zone, &at, &daylight);
}

// A local time in a change to summer time does not exist (Qt makes it invalid): it is read
// with the offset from before the change, i.e. moved forward by the gap.
int64_t zonedMsecs(const QDate &date, const QTime &time, const QTimeZone *zone)
{
    auto offsetAt = [zone](int64_t ms) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        return zone ? zone->offsetFromUtc(at) : at.toLocalTime().offsetFromUtc();
    };
    const QDateTime t = zone ? QDateTime(date, time, *zone) : QDateTime(date, time, Qt::LocalTime);
    const int64_t asUtc = QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch();
    if (t.isValid())
        return firstOfRepeatedHour(asUtc, t.toMSecsSinceEpoch(), offsetAt);
    return asUtc - int64_t(offsetAt(asUtc - kDay * 1000)) * 1000;
}

std::optional<int64_t> utcMsecs(const Zone &zone, icaltimetype wall)
{
    if (!validWall(wall))
        return std::nullopt;
    const QDate date(wall.year, wall.month, wall.day);
    const QTime time(wall.is_date ? 0 : wall.hour, wall.is_date ? 0 : wall.minute,
                     wall.is_date ? 0 : std::min(wall.second, 59));
    switch (zone.kind) {
    case Zone::Utc:
        return QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch();
    case Zone::Qt:
        return zonedMsecs(date, time, &zone.qt);
    case Zone::Ical: {
        if (bySystemZone(zone, wall))
            return zonedMsecs(date, time, &zone.qt);
        wall.zone = nullptr;
        wall.is_date = 0;
        icaltimezone_convert_time(&wall, zone.ical, icaltimezone_get_utc_timezone());
        if (!validWall(wall))
            return std::nullopt;
        const int64_t found = QDateTime(QDate(wall.year, wall.month, wall.day),
                                        QTime(wall.hour, wall.minute, std::min(wall.second, 59)), QTimeZone::utc())
                                  .toMSecsSinceEpoch();
        return firstOfRepeatedHour(QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch(), found,
                                   [&zone](int64_t ms) { return icalOffsetAt(zone.ical, ms); });
    }
    case Zone::Floating:
        break;
    }
    return zonedMsecs(date, time, nullptr);
}

// The wall time in `zone` of an instant.
icaltimetype wallFromUtc(const Zone &zone, int64_t ms)
{
    QDateTime t;
    switch (zone.kind) {
    case Zone::Utc:
        t = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        break;
    case Zone::Qt:
        t = QDateTime::fromMSecsSinceEpoch(ms, zone.qt);
        break;
    case Zone::Ical: {
        icaltimetype w = icaltime_from_timet_with_zone(static_cast<time_t>(ms / 1000), 0, zone.ical);
        w.zone = nullptr;
        if (!bySystemZone(zone, w))
            return w;
        t = QDateTime::fromMSecsSinceEpoch(ms, zone.qt);
        break;
    }
    case Zone::Floating:
        t = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
        break;
    }
    icaltimetype w = icaltime_null_time();
    w.year = t.date().year();
    w.month = t.date().month();
    w.day = t.date().day();
    w.hour = t.time().hour();
    w.minute = t.time().minute();
    w.second = t.time().second();
    return w;
}

// An id of the system's zone database, aliases included ("US/Eastern", "Asia/Calcutta",
// "Etc/GMT"), which Qt builds but does not list. QTimeZone("Eastern") is "valid" at UTC+0
// as a POSIX rule, so the id must name a zone file.
bool isZoneIdSyntax(const QByteArray &id)
{
    if (id.isEmpty() || id.size() > 64)
        return false;
    for (const QByteArray &part : id.split('/')) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
        for (char c : part)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
                  || c == '+' || c == '.'))
                return false;
    }
    return true;
}

bool isZoneFile(const QByteArray &id)
{
    // Where Qt's zone backend looks for them.
    for (const char *dir : {"/usr/share/zoneinfo/", "/usr/lib/zoneinfo/"}) {
        QFile f(QString::fromLatin1(dir) + QString::fromLatin1(id));
        if (f.open(QIODevice::ReadOnly))
            return f.read(4) == "TZif";
    }
    return false;
}

std::optional<QTimeZone> ianaZone(const QByteArray &id)
{
    if (!isZoneIdSyntax(id))
        return std::nullopt;
    if (!QTimeZone::isTimeZoneIdAvailable(id) && !isZoneFile(id))
        return std::nullopt;
    QTimeZone z(id);
    if (!z.isValid())
        return std::nullopt;
    return z;
}

bool zoneRulesAreYearly(icalcomponent *calendar, const QByteArray &tzid);

class ZoneResolver {
public:
    Zone resolve(icalcomponent *calendar, const char *tzidText)
    {
        if (!tzidText || !*tzidText)
            return {};
        const QByteArray tzid(tzidText);
        const auto key = std::make_pair(calendar, tzid);
        const auto hit = m_cache.find(key);
        if (hit != m_cache.end())
            return hit->second;
        Zone z = lookUp(calendar, tzid);
        m_cache.emplace(key, z);
        return z;
    }

private:
    static Zone lookUp(icalcomponent *calendar, const QByteArray &tzid)
    {
        const Zone byName = systemZone(tzid);
        // The file's own definition comes first: Outlook's "Canberra, Melbourne, Sydney",
        // "custom_America/New_York" and the like only make sense through it.
        if (calendar && icalcomponent_isa(calendar) == ICAL_VCALENDAR_COMPONENT
            && zoneRulesAreYearly(calendar, tzid)) {
            if (icaltimezone *tz = icalcomponent_get_timezone(calendar, tzid.constData())) {
                Zone z;
                z.kind = Zone::Ical;
                z.ical = tz;
                // Outside the years it speaks of (an 1893-only Berlin, one year's changes, a
                // first change with a made-up TZOFFSETFROM) a zone the system knows is read there.
                if (byName.kind != Zone::Floating) {
                    z.qt = byName.kind == Zone::Utc ? QTimeZone::utc() : byName.qt;
                    coverage(icaltimezone_get_component(tz), z);
                }
                return z;
            }
        }
        return byName;
    }

    static Zone systemZone(const QByteArray &tzid)
    {
        Zone z;
        if (tzid == "UTC" || tzid == "GMT" || tzid == "Z") {
            z.kind = Zone::Utc;
            return z;
        }
        // An IANA id, whole or after a vendor prefix: "/softwarestudio.org/Olson_20011030_5/
        // America/New_York", "/freeassociation.sourceforge.net/Tzfile/America/Chicago",
        // "Tzfile/America/Chicago", "/mozilla.org/20050126_1/Europe/Bucharest".
        for (qsizetype from = 0; from >= 0 && from < tzid.size();) {
            if (auto q = ianaZone(tzid.mid(from))) {
                z.kind = Zone::Qt;
                z.qt = *q;
                return z;
            }
            const qsizetype slash = tzid.indexOf('/', from);
            from = slash < 0 ? -1 : slash + 1;
        }
        const QByteArray windows = QTimeZone::windowsIdToDefaultIanaId(tzid);
        if (auto q = ianaZone(windows)) {
            z.kind = Zone::Qt;
            z.qt = *q;
        }
        return z; // unknown: floating, as the file's own local time
    }

    // The wall times from a VTIMEZONE's first change to its last one (open-ended while a
    // rule goes on without UNTIL or COUNT).
    static void coverage(icalcomponent *vtimezone, Zone &z)
    {
        int64_t first = std::numeric_limits<int64_t>::max(), last = std::numeric_limits<int64_t>::min();
        bool open = false;
        for (icalcomponent *part = vtimezone ? icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT) : nullptr;
             part; part = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(part);
            if (kind != ICAL_XSTANDARD_COMPONENT && kind != ICAL_XDAYLIGHT_COMPONENT)
                continue;
            icalproperty *startProp = icalcomponent_get_first_property(part, ICAL_DTSTART_PROPERTY);
            const icaltimetype start = startProp ? icalproperty_get_dtstart(startProp) : icaltime_null_time();
            if (!validWall(start))
                continue;
            first = std::min(first, civil(start));
            last = std::max(last, civil(start));
            for (icalproperty *p = icalcomponent_get_first_property(part, ICAL_RRULE_PROPERTY); p;
                 p = icalcomponent_get_next_property(part, ICAL_RRULE_PROPERTY)) {
                const icalrecurrencetype r = icalproperty_get_rrule(p);
                if (r.freq == ICAL_NO_RECURRENCE)
                    continue;
                if (!icaltime_is_null_time(r.until)) {
                    if (validWall(r.until))
                        last = std::max(last, civil(r.until));
                } else if (r.count > 0) {
                    last = std::max(last, lastOfCount(r, start));
                } else {
                    open = true;
                }
            }
            for (icalproperty *p = icalcomponent_get_first_property(part, ICAL_RDATE_PROPERTY); p;
                 p = icalcomponent_get_next_property(part, ICAL_RDATE_PROPERTY)) {
                const icaldatetimeperiodtype v = icalproperty_get_rdate(p);
                const icaltimetype t = icaltime_is_null_time(v.time) ? v.period.start : v.time;
                if (validWall(t))
                    last = std::max(last, civil(t));
            }
        }
        z.coveredFrom = first;
        z.coveredTo = open ? std::numeric_limits<int64_t>::max() : last;
    }

    static int64_t lastOfCount(const icalrecurrencetype &r, icaltimetype start)
    {
        start.zone = nullptr;
        int64_t last = civil(start);
        icalrecur_iterator *it = icalrecur_iterator_new(r, start);
        if (!it)
            return last;
        for (int i = 0; i < 1000; ++i) { // zone changes are yearly: a thousand years at most
            const icaltimetype n = icalrecur_iterator_next(it);
            if (icaltime_is_null_time(n) || !validWall(n))
                break;
            last = std::max(last, civil(n));
        }
        icalrecur_iterator_free(it);
        return last;
    }

    std::map<std::pair<icalcomponent *, QByteArray>, Zone> m_cache;
};

// ---- reading one event ----

struct Stamp {
    int sequence = 0;
    int64_t modified = 0;
    int order = 0;
    auto operator<=>(const Stamp &) const = default;
};

struct Entry {
    icalcomponent *event = nullptr;
    icalcomponent *calendar = nullptr; // the VCALENDAR holding it, for its zones
    QByteArray uid;
    bool hasRecurrenceId = false;
    bool cancelled = false;
    Stamp stamp;
};

const char *tzidOf(icalproperty *p)
{
    icalparameter *param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    return param ? icalparameter_get_tzid(param) : nullptr;
}

// A time property as wall time (zone stripped) plus the zone it is meant in.
struct WallTime {
    icaltimetype wall = icaltime_null_time();
    Zone zone;
};

Zone zoneFor(ZoneResolver &zones, icalcomponent *calendar, icalproperty *p, const icaltimetype &t)
{
    if (icaltime_is_utc(t)) {
        Zone z;
        z.kind = Zone::Utc;
        return z;
    }
    return zones.resolve(calendar, tzidOf(p));
}

std::optional<WallTime> readTime(ZoneResolver &zones, icalcomponent *calendar, icalproperty *p, icaltimetype t)
{
    if (!p || !validWall(t))
        return std::nullopt;
    WallTime w;
    w.zone = zoneFor(zones, calendar, p, t);
    w.wall = t;
    w.wall.zone = nullptr;
    return w;
}

int64_t durationSeconds(const icaldurationtype &d)
{
    // The fields are unsigned ints; their sum in seconds needs 64 bits (and libical's own int does not).
    const int64_t s = (static_cast<int64_t>(d.weeks) * 7 + static_cast<int64_t>(d.days)) * kDay
        + static_cast<int64_t>(d.hours) * 3600 + static_cast<int64_t>(d.minutes) * 60 + static_cast<int64_t>(d.seconds);
    return d.is_neg ? -s : s;
}

int64_t timeStamp(icalcomponent *c, icalproperty_kind kind)
{
    icalproperty *p = icalcomponent_get_first_property(c, kind);
    if (!p)
        return 0;
    const icalvalue *v = icalproperty_get_value(p);
    if (!v || icalvalue_isa(v) != ICAL_DATETIME_VALUE)
        return 0;
    const icaltimetype t = icalvalue_get_datetime(v);
    if (!validWall(t))
        return 0;
    return civil(t);
}

// ---- rules that cannot match ----
// libical searches for the next occurrence until the year 2582 when a rule's parts never
// agree (BYMONTH=2;BYMONTHDAY=31, a weekday an interval never reaches): a tenth of a second
// for a monthly rule, minutes for a minutely one. Such rules are checked first, day by day
// (and period by period below a day) over the range that is actually wanted.

bool listEmpty(const short *list) { return list[0] == ICAL_RECURRENCE_ARRAY_MAX; }

bool listHas(const short *list, int size, int value)
{
    for (int i = 0; i < size && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        if (list[i] == value)
            return true;
    return false;
}

int icalWeekday(const QDate &d) { return d.dayOfWeek() % 7 + 1; } // SUNDAY = 1

// Whether `t` falls on one of the rule's BYDAY weekdays (any day when it has none).
bool weekdayListed(const icalrecurrencetype &r, const icaltimetype &t)
{
    if (listEmpty(r.by_day))
        return true;
    const int day = icalWeekday(QDate(t.year, t.month, t.day));
    for (int i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        if (static_cast<int>(icalrecurrencetype_day_day_of_week(r.by_day[i])) == day)
            return true;
    return false;
}

bool dayAllowed(const icalrecurrencetype &r, const QDate &d)
{
    if (!listEmpty(r.by_month)) {
        bool any = false;
        for (int i = 0; i < ICAL_BY_MONTH_SIZE && r.by_month[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
            any = any || icalrecurrencetype_month_month(r.by_month[i]) == d.month();
        if (!any)
            return false;
    }
    if (!listEmpty(r.by_month_day)
        && !listHas(r.by_month_day, ICAL_BY_MONTHDAY_SIZE, d.day())
        && !listHas(r.by_month_day, ICAL_BY_MONTHDAY_SIZE, d.day() - d.daysInMonth() - 1))
        return false;
    if (!listEmpty(r.by_year_day)
        && !listHas(r.by_year_day, ICAL_BY_YEARDAY_SIZE, d.dayOfYear())
        && !listHas(r.by_year_day, ICAL_BY_YEARDAY_SIZE, d.dayOfYear() - d.daysInYear() - 1))
        return false;
    if (!listEmpty(r.by_day)) {
        const bool inMonth = r.freq == ICAL_MONTHLY_RECURRENCE
            || (r.freq == ICAL_YEARLY_RECURRENCE && !listEmpty(r.by_month));
        const bool inYear = r.freq == ICAL_YEARLY_RECURRENCE && !inMonth && listEmpty(r.by_week_no);
        bool any = false;
        for (int i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX && !any; ++i) {
            if (static_cast<int>(icalrecurrencetype_day_day_of_week(r.by_day[i])) != icalWeekday(d))
                continue;
            const int pos = icalrecurrencetype_day_position(r.by_day[i]);
            if (pos == 0 || (!inMonth && !inYear))
                any = true;
            else if (inMonth)
                any = pos == (d.day() - 1) / 7 + 1 || pos == -((d.daysInMonth() - d.day()) / 7 + 1);
            else
                any = pos == (d.dayOfYear() - 1) / 7 + 1 || pos == -((d.daysInYear() - d.dayOfYear()) / 7 + 1);
        }
        if (!any)
            return false;
    }
    return true;
}

bool periodReached(const icalrecurrencetype &r, const QDate &first, const QDate &d)
{
    const int64_t interval = std::max<int64_t>(1, r.interval);
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE:
        return first.daysTo(d) % interval == 0;
    case ICAL_WEEKLY_RECURRENCE: {
        const int wkst = r.week_start == ICAL_NO_WEEKDAY ? ICAL_MONDAY_WEEKDAY : static_cast<int>(r.week_start);
        auto weekStart = [wkst](const QDate &x) { return x.addDays(-((icalWeekday(x) - wkst + 7) % 7)); };
        return weekStart(first).daysTo(weekStart(d)) / 7 % interval == 0;
    }
    case ICAL_MONTHLY_RECURRENCE:
        return ((int64_t(d.year()) - first.year()) * 12 + d.month() - first.month()) % interval == 0;
    case ICAL_YEARLY_RECURRENCE:
        return (int64_t(d.year()) - first.year()) % interval == 0;
    default:
        return true;
    }
}

bool timeAllowed(const icalrecurrencetype &r, int64_t secondOfDay)
{
    const int h = static_cast<int>(secondOfDay / 3600), m = static_cast<int>(secondOfDay / 60 % 60),
              s = static_cast<int>(secondOfDay % 60);
    // Parts finer than the frequency add times; only the coarser ones (and its own) restrict.
    if (!listEmpty(r.by_hour) && !listHas(r.by_hour, ICAL_BY_HOUR_SIZE, h))
        return false;
    if (r.freq != ICAL_HOURLY_RECURRENCE && !listEmpty(r.by_minute) && !listHas(r.by_minute, ICAL_BY_MINUTE_SIZE, m))
        return false;
    if (r.freq == ICAL_SECONDLY_RECURRENCE && !listEmpty(r.by_second) && !listHas(r.by_second, ICAL_BY_SECOND_SIZE, s))
        return false;
    return true;
}

// Whether some occurrence may fall in [from, to] (wall time). A "maybe" is fine: libical decides.
bool mayMatch(const icalrecurrencetype &r, const icaltimetype &first, int64_t from, int64_t to, Budget &budget)
{
    const int64_t start = civil(first);
    from = std::max(from, start);
    if (from > to)
        return false;
    const QDate firstDate(first.year, first.month, first.day);
    int64_t unit = 0;
    switch (r.freq) {
    case ICAL_SECONDLY_RECURRENCE: unit = 1; break;
    case ICAL_MINUTELY_RECURRENCE: unit = 60; break;
    case ICAL_HOURLY_RECURRENCE: unit = 3600; break;
    default: break;
    }
    if (unit == 0) {
        int64_t work = 0;
        for (int64_t day = from / kDay; day <= to / kDay; ++day) {
            if (++work % 16 == 0 && (--budget.steps, budget.spent())) // years back for a long event
                return false;
            const QDate d = QDate::fromJulianDay(day);
            if (periodReached(r, firstDate, d) && dayAllowed(r, d))
                return true;
        }
        return false;
    }
    const int64_t step = unit * std::max<int64_t>(1, r.interval);
    int64_t t = start + (from - start + step - 1) / step * step;
    int64_t work = 0;
    QDate lastDay;
    bool lastAllowed = false;
    for (; t <= to; t += step) {
        if (++work % 1024 == 0 && (--budget.steps, budget.spent()))
            return false;
        const QDate d = QDate::fromJulianDay(t / kDay);
        if (d != lastDay) {
            lastDay = d;
            lastAllowed = dayAllowed(r, d);
        }
        if (lastAllowed && timeAllowed(r, t % kDay))
            return true;
    }
    return false;
}

// A zone's changes are yearly. libical expands any other rule while converting a time, where
// a rule that never matches (FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=31) costs minutes; such a
// definition is not used and the id is read by name instead.
bool zoneRulesAreYearly(icalcomponent *calendar, const QByteArray &tzid)
{
    for (icalcomponent *tz = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); tz;
         tz = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty *idProp = icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY);
        const char *id = idProp ? icalproperty_get_tzid(idProp) : nullptr;
        if (!id || tzid != id)
            continue;
        for (icalcomponent *part = icalcomponent_get_first_component(tz, ICAL_ANY_COMPONENT); part;
             part = icalcomponent_get_next_component(tz, ICAL_ANY_COMPONENT)) {
            icalproperty *start = icalcomponent_get_first_property(part, ICAL_DTSTART_PROPERTY);
            for (icalproperty *p = icalcomponent_get_first_property(part, ICAL_RRULE_PROPERTY); p;
                 p = icalcomponent_get_next_property(part, ICAL_RRULE_PROPERTY)) {
                const icalrecurrencetype r = icalproperty_get_rrule(p);
                if (r.freq != ICAL_YEARLY_RECURRENCE || !start)
                    return false;
                const icaltimetype first = icalproperty_get_dtstart(start);
                Budget budget;
                if (!validWall(first) || !mayMatch(r, first, civil(first), civil(first) + 8 * 366 * kDay, budget))
                    return false;
            }
        }
        return true;
    }
    return true; // not defined here: nothing to check
}

// ---- expansion ----

// libical resumes a sub-daily rule skipped ahead on a grid of the day, not the rule's own
// (every 5 hours from 00:30 would go on at 10:30 whatever the first date). Such a rule is
// walked instead from a later first date on its grid, just before `from`.
bool isSubDaily(const icalrecurrencetype &r) { return r.freq <= ICAL_HOURLY_RECURRENCE; }

icaltimetype gridStart(const icalrecurrencetype &r, const icaltimetype &start, int64_t from)
{
    static constexpr int64_t units[] = {1, 60, 3600};
    const int64_t first = civil(start);
    const int64_t step = units[r.freq] * std::max<int64_t>(1, r.interval);
    if (start.is_date || from - first <= step)
        return start;
    return fromCivil(first + (from - first - 1) / step * step, false);
}

// The event's rules. COUNT together with UNTIL is invalid and libical drops the whole rule
// (leaving an X-LIC-ERROR with its text); such a rule is kept and ends at whichever comes first.
// A COUNT that is no positive whole number ("-1", "0", which libical refuses even alone)
// limits nothing: UNTIL, if any, ends the rule.
std::vector<icalrecurrencetype> rulesOf(icalcomponent *event)
{
    std::vector<icalrecurrencetype> rules;
    for (icalproperty *p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY))
        rules.push_back(icalproperty_get_rrule(p));
    static const QByteArray marker = "in RRULE property. Removing entire property: ";
    for (icalproperty *p = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_XLICERROR_PROPERTY)) {
        const char *error = icalproperty_get_xlicerror(p);
        const QByteArray text = error ? QByteArray(error) : QByteArray();
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            continue;
        QList<QByteArray> parts = text.mid(at + marker.size()).split(';');
        int count = 0;
        bool hasUntil = false, hasCount = false;
        for (qsizetype i = parts.size() - 1; i >= 0; --i) {
            const QByteArray name = parts[i].left(parts[i].indexOf('=')).trimmed().toUpper();
            if (name == "UNTIL")
                hasUntil = true;
            if (name == "COUNT") {
                bool ok = false;
                const int n = parts[i].mid(parts[i].indexOf('=') + 1).trimmed().toInt(&ok);
                count = ok && n > 0 ? n : 0;
                hasCount = true;
                parts.removeAt(i);
            }
        }
        if (!hasCount || (count > 0 && !hasUntil))
            continue; // some other fault: left out, as libical did
        icalrecurrencetype r = icalrecurrencetype_from_string(parts.join(';').constData());
        if (r.freq == ICAL_NO_RECURRENCE)
            continue;
        r.count = count;
        rules.push_back(r);
    }
    return rules;
}

struct Instance {
    int64_t key = 0;      // UTC msecs (timed) or the Julian day (all-day)
    int64_t startMs = 0;  // timed
    int64_t endMs = 0;
    QDate startDay;       // all-day
    qint64 days = 1;
    QString title;
};

class Expander {
public:
    Expander(const QDateTime &from, const QDateTime &to, Budget &budget)
        : m_fromMs(from.toMSecsSinceEpoch()), m_toMs(to.toMSecsSinceEpoch()), m_budget(budget)
    {
    }

    void run(icalcomponent *root, QList<CalendarEvent> &out);

private:
    struct Base {
        WallTime start;
        bool allDay = false;
        Zone fileZone;           // all-day: the zone the file's own instants are read in
        int64_t durationMs = 0;  // timed; with nominalDays, as if each day were 24 h
        int64_t nominalDays = 0; // timed: the days and weeks of a DURATION
        qint64 days = 1;         // all-day
        QString title;
    };
    // A series' EXDATEs: instants (UTC msecs) and whole days (Julian days).
    struct Exclusions {
        QSet<int64_t> keys;
        QSet<qint64> days;
    };
    std::optional<Base> readBase(const Entry &e);
    // The zone of an all-day series' file: its DTSTART's TZID, else the file's VTIMEZONE, else UTC.
    Zone fileZoneOf(const Entry &e, icalproperty *startProp);
    std::optional<int64_t> keyOf(const WallTime &w, bool allDay);
    Exclusions exclusionsOf(const Entry &e, const Base &b);
    // A rule's UNTIL as wall time of the series' start (nullopt: none; a null time: unusable).
    std::optional<icaltimetype> untilInStartWall(const icalrecurrencetype &r, const Base &b);
    // Whether a newer master has taken the changed instance at `rid` out of its series.
    bool dropsInstance(const Entry &master, const Base &b, const WallTime &rid);
    QList<Instance> expand(const Entry &e, const Base &b, int64_t widenMs);
    // The end of an instance of `b` starting at `startMs`.
    static int64_t endOf(const Base &b, int64_t startMs);
    void emitOverlapping(const Instance &i, bool allDay, QList<CalendarEvent> &out) const;

    int64_t m_fromMs, m_toMs;
    Budget &m_budget;
    ZoneResolver m_zones;
};

void collect(icalcomponent *c, icalcomponent *calendar, QList<Entry> &entries, int &order)
{
    const icalcomponent_kind kind = icalcomponent_isa(c);
    if (kind == ICAL_VEVENT_COMPONENT) {
        Entry e;
        e.event = c;
        e.calendar = calendar;
        if (const char *uid = icalcomponent_get_uid(c))
            e.uid = QByteArray(uid);
        e.hasRecurrenceId = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) != nullptr;
        e.cancelled = icalcomponent_get_status(c) == ICAL_STATUS_CANCELLED;
        icalproperty *seq = icalcomponent_get_first_property(c, ICAL_SEQUENCE_PROPERTY);
        e.stamp.sequence = seq ? icalproperty_get_sequence(seq) : 0;
        e.stamp.modified = std::max(timeStamp(c, ICAL_LASTMODIFIED_PROPERTY), timeStamp(c, ICAL_DTSTAMP_PROPERTY));
        e.stamp.order = order++;
        entries.append(e);
        return;
    }
    if (kind != ICAL_VCALENDAR_COMPONENT && kind != ICAL_XROOT_COMPONENT)
        return;
    const icalcomponent *holder = kind == ICAL_VCALENDAR_COMPONENT ? c : calendar;
    for (icalcomponent *child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        collect(child, const_cast<icalcomponent *>(holder), entries, order);
}

std::optional<int64_t> Expander::keyOf(const WallTime &w, bool allDay)
{
    if (allDay || w.wall.is_date)
        return QDate(w.wall.year, w.wall.month, w.wall.day).toJulianDay();
    return utcMsecs(w.zone, w.wall);
}

// An exclusion or a moved instance names one of the series' own instances, whatever the
// viewer's zone: a floating time on a zoned series is in the series' zone, and a UTC time on
// a floating series is the wall time its instances are written in (as libical compares them;
// an exclusion may also name its instant, see exclusionsOf).
WallTime asSeriesTime(WallTime w, const WallTime &seriesStart)
{
    if (w.wall.is_date || seriesStart.wall.is_date)
        return w;
    const bool floatingSeries = seriesStart.zone.kind == Zone::Floating;
    if ((w.zone.kind == Zone::Floating && !floatingSeries) || (w.zone.kind == Zone::Utc && floatingSeries))
        w.zone = seriesStart.zone;
    return w;
}

Expander::Exclusions Expander::exclusionsOf(const Entry &e, const Base &b)
{
    Exclusions x;
    for (icalproperty *p = icalcomponent_get_first_property(e.event, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(e.event, ICAL_EXDATE_PROPERTY)) {
        auto w = readTime(m_zones, e.calendar, p, icalproperty_get_exdate(p));
        if (!w)
            continue;
        const WallTime written = *w;
        *w = asSeriesTime(*w, b.start);
        // An all-day series' days are named by their dates, also where written as midnight
        // in some zone (Exchange: "EXDATE;TZID=W. Europe Standard Time:20260218T000000").
        if (w->wall.is_date || b.allDay) {
            x.days.insert(QDate(w->wall.year, w->wall.month, w->wall.day).toJulianDay());
            continue;
        }
        if (auto k = utcMsecs(w->zone, w->wall))
            x.keys.insert(*k);
        // Clients that convert the author's local time to UTC name a floating instance by its
        // instant: the one the viewer's clock shows at that moment is excluded too.
        if (written.zone.kind == Zone::Utc && w->zone.kind == Zone::Floating)
            if (auto k = utcMsecs(written.zone, written.wall))
                x.keys.insert(*k);
    }
    return x;
}

std::optional<icaltimetype> Expander::untilInStartWall(const icalrecurrencetype &r, const Base &b)
{
    if (icaltime_is_null_time(r.until))
        return std::nullopt;
    icaltimetype until = r.until;
    if (b.allDay && !until.is_date) {
        // The last day is UNTIL's date where the file was written (Exchange ends at midnight
        // of its own zone, in UTC), the same days for every viewer.
        if (icaltime_is_utc(until)) {
            const auto ms = utcMsecs(Zone{Zone::Utc, nullptr, {}}, until);
            if (!ms)
                return icaltime_null_time();
            until = wallFromUtc(b.fileZone, *ms);
        }
        until.is_date = 1;
        until.hour = until.minute = until.second = 0;
    } else if (icaltime_is_utc(until) && b.start.zone.kind != Zone::Utc && !until.is_date) {
        // UNTIL in UTC against a zoned start: compare in the start's wall time.
        const auto ms = utcMsecs(Zone{Zone::Utc, nullptr, {}}, until);
        if (!ms)
            return icaltime_null_time();
        until = wallFromUtc(b.start.zone, *ms);
    }
    until.zone = nullptr;
    return until;
}

bool Expander::dropsInstance(const Entry &master, const Base &b, const WallTime &rid)
{
    // The instance's wall time in the series' zone, as the series' own dates are written.
    icaltimetype wall = rid.wall;
    std::optional<int64_t> ms;
    if (!rid.wall.is_date && !b.allDay) {
        ms = utcMsecs(rid.zone, rid.wall);
        if (!ms)
            return false;
        wall = wallFromUtc(b.start.zone, *ms);
    }
    const Exclusions excluded = exclusionsOf(master, b);
    if (excluded.days.contains(QDate(wall.year, wall.month, wall.day).toJulianDay()) || (ms && excluded.keys.contains(*ms)))
        return true;
    // Ended before it: every rule has an UNTIL earlier than the instance, and no RDATE names it.
    std::vector<icalrecurrencetype> rules = rulesOf(master.event);
    std::erase_if(rules, [](const icalrecurrencetype &r) { return r.freq == ICAL_NO_RECURRENCE || r.interval < 1; });
    if (rules.empty() || civil(wall) == civil(b.start.wall))
        return false;
    for (const icalrecurrencetype &r : rules) {
        const auto until = untilInStartWall(r, b);
        if (!until || icaltime_is_null_time(*until))
            return false;
        const bool ended = until->is_date || wall.is_date
            ? QDate(until->year, until->month, until->day) < QDate(wall.year, wall.month, wall.day)
            : civil(*until) < civil(wall);
        if (!ended)
            return false;
    }
    for (icalproperty *p = icalcomponent_get_first_property(master.event, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(master.event, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype v = icalproperty_get_rdate(p);
        auto w = readTime(m_zones, master.calendar, p, icaltime_is_null_time(v.time) ? v.period.start : v.time);
        if (!w)
            continue;
        if (ms ? utcMsecs(w->zone, w->wall) == ms
               : QDate(w->wall.year, w->wall.month, w->wall.day) == QDate(wall.year, wall.month, wall.day))
            return false;
    }
    return true;
}

Zone Expander::fileZoneOf(const Entry &e, icalproperty *startProp)
{
    const char *tzid = tzidOf(startProp);
    if ((!tzid || !*tzid) && e.calendar && icalcomponent_isa(e.calendar) == ICAL_VCALENDAR_COMPONENT) {
        icalcomponent *tz = icalcomponent_get_first_component(e.calendar, ICAL_VTIMEZONE_COMPONENT);
        icalproperty *idProp = tz ? icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY) : nullptr;
        tzid = idProp ? icalproperty_get_tzid(idProp) : nullptr;
    }
    Zone z = m_zones.resolve(e.calendar, tzid);
    if (z.kind == Zone::Floating)
        z.kind = Zone::Utc;
    return z;
}

std::optional<Expander::Base> Expander::readBase(const Entry &e)
{
    icalproperty *startProp = icalcomponent_get_first_property(e.event, ICAL_DTSTART_PROPERTY);
    if (!startProp)
        return std::nullopt;
    auto start = readTime(m_zones, e.calendar, startProp, icalproperty_get_dtstart(startProp));
    if (!start)
        return std::nullopt;
    Base b;
    b.start = *start;
    b.allDay = start->wall.is_date;
    if (const char *s = icalcomponent_get_summary(e.event))
        b.title = QString::fromUtf8(s);

    icalproperty *endProp = icalcomponent_get_first_property(e.event, ICAL_DTEND_PROPERTY);
    icalproperty *durProp = icalcomponent_get_first_property(e.event, ICAL_DURATION_PROPERTY);
    if (b.allDay) {
        b.fileZone = fileZoneOf(e, startProp);
        const QDate first(b.start.wall.year, b.start.wall.month, b.start.wall.day);
        if (endProp) {
            const icaltimetype end = icalproperty_get_dtend(endProp);
            if (validWall(end))
                b.days = first.daysTo(QDate(end.year, end.month, end.day));
        } else if (durProp) {
            b.days = durationSeconds(icalproperty_get_duration(durProp)) / kDay;
        }
        b.days = std::clamp<qint64>(b.days, 1, kMaxDuration / kDay);
        return b;
    }
    const auto startMs = utcMsecs(b.start.zone, b.start.wall);
    if (!startMs)
        return std::nullopt;
    if (endProp) {
        if (auto end = readTime(m_zones, e.calendar, endProp, icalproperty_get_dtend(endProp)))
            if (auto endMs = utcMsecs(end->zone, end->wall))
                b.durationMs = *endMs - *startMs;
    } else if (durProp) {
        const icaldurationtype d = icalproperty_get_duration(durProp);
        b.durationMs = durationSeconds(d) * 1000;
        b.nominalDays = (static_cast<int64_t>(d.weeks) * 7 + d.days) * (d.is_neg ? -1 : 1);
    }
    b.durationMs = std::clamp<int64_t>(b.durationMs, 0, kMaxDuration * 1000);
    return b;
}

int64_t Expander::endOf(const Base &b, int64_t startMs)
{
    const int64_t exact = startMs + b.durationMs;
    if (b.nominalDays == 0 || b.start.zone.kind == Zone::Utc || b.durationMs == 0)
        return exact;
    // Days and weeks are calendar days in the event's zone (one may be 23 or 25 hours long);
    // hours and less are exact.
    const int64_t days = std::clamp<int64_t>(b.nominalDays, -kMaxDuration / kDay, kMaxDuration / kDay);
    const icaltimetype wall = wallFromUtc(b.start.zone, startMs);
    const auto dayLater = utcMsecs(b.start.zone, fromCivil(civil(wall) + days * kDay, false));
    if (!dayLater)
        return exact;
    const int64_t end = *dayLater + (b.durationMs - days * kDay * 1000);
    return std::clamp<int64_t>(end, startMs, startMs + kMaxDuration * 1000);
}

QList<Instance> Expander::expand(const Entry &e, const Base &b, int64_t widenMs)
{
    QList<Instance> out;
    QHash<int64_t, qsizetype> seen; // key: index in out
    const Exclusions excluded = exclusionsOf(e, b);
    const QSet<int64_t> &excludedKeys = excluded.keys;
    const QSet<qint64> &excludedDays = excluded.days;

    auto add = [&](const WallTime &w, std::optional<int64_t> endMs) {
        if (out.size() >= kMaxOccurrencesPerEvent)
            return;
        const qint64 day = QDate(w.wall.year, w.wall.month, w.wall.day).toJulianDay();
        Instance i;
        i.title = b.title;
        if (b.allDay) {
            if (!w.wall.is_date)
                return; // a timed extra date of an all-day series: ambiguous, left out
            i.key = day;
            i.startDay = QDate::fromJulianDay(day);
            i.days = b.days;
            if (excludedDays.contains(day))
                return;
        } else {
            const auto ms = utcMsecs(w.zone, w.wall);
            if (!ms)
                return;
            i.key = *ms;
            i.startMs = *ms;
            i.endMs = endMs ? std::max(*ms, *endMs) : endOf(b, *ms);
            if (excludedKeys.contains(*ms) || excludedDays.contains(day))
                return;
        }
        if (const auto at = seen.constFind(i.key); at != seen.cend()) {
            // A period on DTSTART or a rule's date gives that instance the period's length.
            if (endMs && !b.allDay)
                out[*at].endMs = i.endMs;
            return;
        }
        seen.insert(i.key, out.size());
        out.append(i);
    };

    // The range to expand in wall time, wide enough for any zone; an instance starting up to
    // its length before it is still under way, however long that is.
    const int64_t length = b.allDay ? b.days * kDay : b.durationMs / 1000;
    const int64_t epochJd = QDate(1970, 1, 1).toJulianDay() * kDay;
    const int64_t from = epochJd + (m_fromMs - widenMs) / 1000 - kZoneSlack;
    const int64_t to = epochJd + (m_toMs + widenMs) / 1000 + kZoneSlack;
    const bool isDate = b.start.wall.is_date;
    const int64_t first = civil(b.start.wall);

    // DTSTART is always the first instance.
    if (first >= from - length && first <= to)
        add(b.start, std::nullopt);

    for (icalrecurrencetype r : rulesOf(e.event)) {
        if (m_budget.spent())
            break;
        if (r.freq == ICAL_NO_RECURRENCE || r.interval < 1)
            continue;
        // Occurrences longer than their spacing overlap: more than the per-event cap of them
        // can never be shown, so the walk goes back no further than that many periods.
        static constexpr int64_t periods[] = {1, 60, 3600, kDay, 7 * kDay, 28 * kDay, 365 * kDay};
        const int64_t period = r.freq <= ICAL_YEARLY_RECURRENCE ? periods[r.freq] : kDay;
        const int64_t ruleFrom =
            from - std::min(length, kMaxOccurrencesPerEvent * period * std::max<int64_t>(1, r.interval));
        if (!icaltime_is_null_time(r.until)) {
            const auto until = untilInStartWall(r, b);
            if (!until || icaltime_is_null_time(*until))
                continue;
            r.until = *until;
            if (civil(r.until) < ruleFrom)
                continue;
        }
        if (!listEmpty(r.by_week_no) && listEmpty(r.by_day) && listEmpty(r.by_month_day) && listEmpty(r.by_year_day)) {
            // The day within the week comes from DTSTART; libical finds no date at all when
            // DTSTART itself lies outside the listed weeks.
            r.by_day[0] = static_cast<short>(icalWeekday(QDate(b.start.wall.year, b.start.wall.month, b.start.wall.day)));
            r.by_day[1] = ICAL_RECURRENCE_ARRAY_MAX;
        }
        if (!mayMatch(r, b.start.wall, ruleFrom, to, m_budget))
            continue;
        ++m_budget.rulesExpanded;
        // Start near the range, never from the series' first date (COUNT needs the walk).
        // Week-number rules are walked from DTSTART: libical 3.0 puts a wrong first date after
        // a set start for them (and can crash there); they are yearly, so the walk is short.
        const bool byWeekNo = !listEmpty(r.by_week_no);
        const bool skipAhead = r.count == 0 && ruleFrom > first && !byWeekNo;
        icalrecur_iterator *it =
            icalrecur_iterator_new(r, skipAhead && isSubDaily(r) ? gridStart(r, b.start.wall, ruleFrom) : b.start.wall);
        if (!it)
            continue;
        if (skipAhead && !isSubDaily(r))
            icalrecur_iterator_set_start(it, fromCivil(ruleFrom, isDate));
        for (int64_t steps = 0; steps < kMaxStepsPerRule && out.size() < kMaxOccurrencesPerEvent; ++steps) {
            if (--m_budget.steps, m_budget.spent())
                break;
            const icaltimetype n = icalrecur_iterator_next(it);
            if (icaltime_is_null_time(n) || !validWall(n))
                break;
            const int64_t c = civil(n);
            if (c > to)
                break;
            if (c < ruleFrom)
                continue;
            if (byWeekNo && !weekdayListed(r, n)) // libical's first date of such a rule can be any day
                continue;
            WallTime w = b.start;
            w.wall = n;
            w.wall.zone = nullptr;
            add(w, std::nullopt);
        }
        icalrecur_iterator_free(it);
    }

    for (icalproperty *p = icalcomponent_get_first_property(e.event, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(e.event, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype v = icalproperty_get_rdate(p);
        const bool isPeriod = icaltime_is_null_time(v.time);
        auto w = readTime(m_zones, e.calendar, p, isPeriod ? v.period.start : v.time);
        if (!w)
            continue;
        const int64_t c = civil(w->wall);
        if (c > to)
            continue;
        std::optional<int64_t> endMs;
        if (isPeriod && !b.allDay) {
            if (auto end = readTime(m_zones, e.calendar, p, v.period.end)) {
                endMs = utcMsecs(end->zone, end->wall);
            } else if (!icaldurationtype_is_null_duration(v.period.duration)) {
                if (auto s = utcMsecs(w->zone, w->wall))
                    endMs = *s + std::clamp<int64_t>(durationSeconds(v.period.duration), 0, kMaxDuration) * 1000;
            }
        }
        const auto startMs = endMs ? utcMsecs(w->zone, w->wall) : std::nullopt;
        const int64_t ownLength = startMs ? std::clamp<int64_t>((*endMs - *startMs) / 1000, 0, kMaxDuration) : length;
        if (c < from - ownLength)
            continue;
        add(*w, endMs);
    }
    std::sort(out.begin(), out.end(), [](const Instance &a, const Instance &b) { return a.key < b.key; });
    return out;
}

void Expander::emitOverlapping(const Instance &i, bool allDay, QList<CalendarEvent> &out) const
{
    CalendarEvent ev;
    ev.title = i.title;
    ev.isAllDay = allDay;
    if (allDay) {
        // From the first instant of each day: where midnight is skipped, the day starts later.
        ev.startDate = i.startDay.startOfDay();
        ev.endDate = i.startDay.addDays(i.days).startOfDay();
    } else {
        ev.startDate = QDateTime::fromMSecsSinceEpoch(i.startMs, QTimeZone::utc());
        ev.endDate = QDateTime::fromMSecsSinceEpoch(i.endMs, QTimeZone::utc());
    }
    if (!ev.startDate.isValid() || !ev.endDate.isValid())
        return;
    const int64_t s = ev.startDate.toMSecsSinceEpoch(), e = ev.endDate.toMSecsSinceEpoch();
    const bool overlaps = e > s ? (e > m_fromMs && s < m_toMs) : (s >= m_fromMs && s < m_toMs);
    if (overlaps)
        out.append(ev);
}

void Expander::run(icalcomponent *root, QList<CalendarEvent> &out)
{
    QList<Entry> entries;
    int order = 0;
    collect(root, icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT ? root : nullptr, entries, order);
    m_budget.eventsHeld += entries.size();

    // One event per UID and RECURRENCE-ID: the newest copy.
    QHash<QByteArray, int> newest;
    auto keyFor = [](const Entry &e) -> QByteArray {
        if (e.uid.isEmpty())
            return "#" + QByteArray::number(e.stamp.order);
        QByteArray k = e.uid + '\n';
        if (icalproperty *rid = icalcomponent_get_first_property(e.event, ICAL_RECURRENCEID_PROPERTY))
            k += icalproperty_get_value_as_string(rid);
        return k;
    };
    for (int i = 0; i < entries.size(); ++i) {
        const QByteArray k = keyFor(entries[i]);
        auto it = newest.find(k);
        if (it == newest.end() || entries[*it].stamp < entries[i].stamp)
            newest[k] = i;
    }
    QList<int> kept = newest.values();
    std::sort(kept.begin(), kept.end());

    QHash<QByteArray, QList<int>> overridesOf;
    QSet<QByteArray> seriesUids;
    for (int i : kept) {
        if (entries[i].hasRecurrenceId)
            overridesOf[entries[i].uid].append(i);
        else if (!entries[i].uid.isEmpty())
            seriesUids.insert(entries[i].uid);
    }

    struct Override {
        int64_t key;
        bool thisAndFuture;
        const Entry *entry;
        std::optional<Base> base;
    };

    auto emitOverride = [&](const Entry &e, const std::optional<Base> &b) {
        if (e.cancelled || !b)
            return;
        Instance i;
        i.title = b->title;
        if (b->allDay) {
            i.startDay = QDate(b->start.wall.year, b->start.wall.month, b->start.wall.day);
            i.days = b->days;
        } else if (auto ms = utcMsecs(b->start.zone, b->start.wall)) {
            i.startMs = *ms;
            i.endMs = endOf(*b, *ms);
        } else {
            return;
        }
        emitOverlapping(i, b->allDay, out);
    };

    for (int idx : kept) {
        if (m_budget.spent())
            return;
        const Entry &e = entries[idx];
        if (e.hasRecurrenceId) {
            if (!seriesUids.contains(e.uid))
                emitOverride(e, readBase(e)); // a moved instance whose series is not here
            continue;
        }
        const auto base = readBase(e);
        if (!base)
            continue;
        QList<Override> overrides;
        int64_t widen = 0;
        for (int o : overridesOf.value(e.uid)) {
            const Entry &oe = entries[o];
            icalproperty *ridProp = icalcomponent_get_first_property(oe.event, ICAL_RECURRENCEID_PROPERTY);
            auto rid = readTime(m_zones, oe.calendar, ridProp, icalproperty_get_recurrenceid(ridProp));
            if (!rid)
                continue;
            *rid = asSeriesTime(*rid, base->start);
            const auto key = keyOf(*rid, base->allDay);
            if (!key)
                continue;
            // A newer master that excludes the date or ends before it has taken the change back.
            if (e.stamp.sequence > oe.stamp.sequence && dropsInstance(e, *base, *rid))
                continue;
            icalparameter *range = icalproperty_get_first_parameter(ridProp, ICAL_RANGE_PARAMETER);
            Override ov{*key, range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE, &oe, readBase(oe)};
            if (ov.thisAndFuture && ov.base && !base->allDay && !ov.base->allDay) {
                if (auto ms = utcMsecs(ov.base->start.zone, ov.base->start.wall))
                    widen = std::max(widen, std::min(std::abs(*ms - *key), kMaxLookBack * 1000));
            }
            overrides.append(std::move(ov));
        }
        const QList<Instance> instances = expand(e, *base, widen);
        if (!e.cancelled) {
            for (Instance i : instances) {
                bool replaced = false;
                const Override *future = nullptr;
                for (const Override &o : overrides) {
                    if (o.key == i.key)
                        replaced = true;
                    else if (o.thisAndFuture && o.key < i.key && (!future || future->key < o.key))
                        future = &o;
                }
                if (replaced)
                    continue;
                if (future && future->base && !base->allDay && !future->base->allDay && !future->entry->cancelled) {
                    // Later instances follow the change made from that one on.
                    if (auto ms = utcMsecs(future->base->start.zone, future->base->start.wall)) {
                        i.startMs += *ms - future->key;
                        i.endMs = endOf(*future->base, i.startMs);
                        i.title = future->base->title;
                    }
                } else if (future && future->entry->cancelled) {
                    continue;
                }
                emitOverlapping(i, base->allDay, out);
            }
        }
        for (const Override &o : overrides)
            emitOverride(*o.entry, o.base);
    }
}

} // namespace

int64_t instantMs(const icaltimetype &wall, icaltimezone *zone)
{
    quietLibical();
    const int64_t found = int64_t(icaltime_as_timet_with_zone(wall, zone)) * 1000;
    if (!zone || zone == icaltimezone_get_utc_timezone() || !validWall(wall))
        return found;
    const QDate date(wall.year, wall.month, wall.day);
    const QTime time(wall.is_date ? 0 : wall.hour, wall.is_date ? 0 : wall.minute, wall.is_date ? 0 : std::min(wall.second, 59));
    return firstOfRepeatedHour(QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch(), found,
                               [zone](int64_t ms) { return icalOffsetAt(zone, ms); });
}

int64_t endAfter(const icaltimetype &start, icaltimezone *zone, const icaldurationtype &duration)
{
    const int64_t startMs = instantMs(start, zone);
    const int64_t seconds = std::clamp<int64_t>(durationSeconds(duration), 0, kMaxDuration);
    const int64_t days = std::min<int64_t>((static_cast<int64_t>(duration.weeks) * 7 + duration.days), kMaxDuration / kDay);
    if (seconds == 0 || days == 0 || !zone || zone == icaltimezone_get_utc_timezone() || !validWall(start))
        return startMs + seconds * 1000;
    const icaltimetype later = fromCivil(civil(start) + days * kDay, false);
    return std::clamp<int64_t>(instantMs(later, zone) + (seconds - days * kDay) * 1000, startMs,
                               startMs + kMaxDuration * 1000);
}

bool boundRules(icalcomponent *event, const QDateTime &from, const QDateTime &to, Budget &budget)
{
    quietLibical();
    icalproperty *startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    std::vector<icalproperty *> props;
    for (icalproperty *p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY))
        props.push_back(p);
    if (props.empty())
        return true;
    icaltimetype start = startProp ? icalproperty_get_dtstart(startProp) : icaltime_null_time();
    if (!validWall(start) || budget.spent())
        return false;
    start.zone = nullptr;
    const int64_t first = civil(start);
    int64_t length = start.is_date ? kDay : 0;
    if (icalproperty *endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        const icaltimetype end = icalproperty_get_dtend(endProp);
        if (validWall(end))
            length = civil(end) - first;
    } else if (icalproperty *durProp = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        length = durationSeconds(icalproperty_get_duration(durProp));
    }
    length = std::clamp<int64_t>(length, 0, kMaxDuration);

    // Wall time of any zone, as the expansion of files reads it.
    const int64_t epochJd = QDate(1970, 1, 1).toJulianDay() * kDay;
    const int64_t lo = epochJd + from.toSecsSinceEpoch() - kZoneSlack;
    const int64_t hi = epochJd + to.toSecsSinceEpoch() + kZoneSlack;
    for (icalproperty *p : props) {
        const icalrecurrencetype r = icalproperty_get_rrule(p);
        static constexpr int64_t periods[] = {1, 60, 3600, kDay, 7 * kDay, 28 * kDay, 365 * kDay};
        const int64_t step = (r.freq <= ICAL_YEARLY_RECURRENCE ? periods[r.freq] : kDay) * std::max<int64_t>(1, r.interval);
        const int64_t ruleFrom = lo - std::min(length, kMaxOccurrencesPerEvent * step);
        bool keep = r.freq != ICAL_NO_RECURRENCE && r.interval >= 1;
        // UNTIL may be in UTC against a zoned start: a day either way is close enough here.
        if (keep && !icaltime_is_null_time(r.until))
            keep = validWall(r.until) && civil(r.until) >= ruleFrom - kZoneSlack;
        // libical hunts for a match until the year 2582 when a rule's parts never agree.
        keep = keep && mayMatch(r, start, ruleFrom, hi, budget);
        if (budget.spent())
            return false;
        if (!keep) {
            icalcomponent_remove_property(event, p);
            icalproperty_free(p);
            continue;
        }
        const int64_t walk = (hi - first) / step;
        if (walk <= kMaxStepsPerRule || (r.count > 0 && r.count <= kMaxOccurrencesPerEvent)) {
            budget.steps -= std::min<int64_t>(walk, kMaxStepsPerRule);
            continue;
        }
        // A long walk starts at the rule's first date near the range. COUNT needs the walk
        // from the start; week-number rules get a wrong first date after a set start; a date
        // of one rule may be no date of another.
        if (r.count > 0 || !listEmpty(r.by_week_no) || props.size() > 1 || ruleFrom <= first
            || (hi - ruleFrom) / step > kMaxStepsPerRule) {
            budget.steps -= kMaxStepsPerRule;
            return false;
        }
        budget.steps -= (hi - ruleFrom) / step;
        icaltimetype next = isSubDaily(r) ? gridStart(r, start, ruleFrom) : icaltime_null_time();
        if (!isSubDaily(r)) {
            icalrecur_iterator *it = icalrecur_iterator_new(r, start);
            if (!it)
                return false;
            icalrecur_iterator_set_start(it, fromCivil(ruleFrom, start.is_date));
            next = icalrecur_iterator_next(it);
            icalrecur_iterator_free(it);
            if (icaltime_is_null_time(next) || !validWall(next) || civil(next) < ruleFrom) {
                icalcomponent_remove_property(event, p); // nothing left of it near the range
                icalproperty_free(p);
                continue;
            }
        }
        const int64_t shift = civil(next) - first;
        auto moveBy = [shift](icaltimetype t) {
            icaltime_adjust(&t, static_cast<int>(shift / kDay), 0, 0, static_cast<int>(shift % kDay));
            return t;
        };
        icalproperty_set_dtstart(startProp, moveBy(icalproperty_get_dtstart(startProp)));
        if (icalproperty *endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY))
            icalproperty_set_dtend(endProp, moveBy(icalproperty_get_dtend(endProp)));
    }
    return !budget.spent();
}

namespace {

// ---- reading a file one event at a time ----
// libical's tree of a whole file takes some 25 times the file's size; a calendar kept for
// years is mostly events far from any window. Each VEVENT is parsed alone and kept only when
// it may show near the range, or shares its UID with one that may: the newest copy of a UID,
// and a series' moved instances, are decided among all of them.

struct CalendarText {
    QByteArray skeleton;                          // the VCALENDAR's own lines and its VTIMEZONEs
    std::vector<std::pair<qsizetype, qsizetype>> events; // each VEVENT's bytes: offset, length
};

// The name after "BEGIN:" or "END:" on an unfolded line, upper-cased; empty for other lines.
QByteArray componentLine(const char *line, qsizetype size, const char *keyword)
{
    const qsizetype k = qsizetype(std::strlen(keyword));
    if (size <= k || qstrnicmp(line, keyword, k) != 0)
        return {};
    return QByteArray(line + k, size - k).trimmed().toUpper();
}

// The file's VCALENDARs, or nullopt when it is anything else (bare components, a component
// left open, nested calendars): libical then reads it whole, as it always has.
std::optional<std::vector<CalendarText>> splitCalendars(const QByteArray &text)
{
    std::vector<CalendarText> out;
    std::vector<QByteArray> open;
    qsizetype childStart = 0;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype eol = text.indexOf('\n', at);
        const qsizetype next = eol < 0 ? text.size() : eol + 1;
        if (eol < 0)
            eol = text.size();
        qsizetype size = eol - at;
        if (size > 0 && text[at + size - 1] == '\r')
            --size;
        const char *line = text.constData() + at;
        const QByteArray begins = componentLine(line, size, "BEGIN:");
        const QByteArray ends = begins.isEmpty() ? componentLine(line, size, "END:") : QByteArray();
        const QByteArray raw = QByteArray::fromRawData(line, next - at);
        if (!begins.isEmpty()) {
            if (open.empty() ? begins != "VCALENDAR" : begins == "VCALENDAR")
                return std::nullopt;
            if (open.empty()) {
                out.emplace_back();
                out.back().skeleton = raw;
            } else if (open.size() == 1) {
                childStart = at;
            }
            open.push_back(begins);
        } else if (!ends.isEmpty()) {
            if (open.empty() || open.back() != ends)
                return std::nullopt;
            open.pop_back();
            if (open.empty()) {
                out.back().skeleton += raw;
            } else if (open.size() == 1) {
                if (ends == "VEVENT")
                    out.back().events.emplace_back(childStart, next - childStart);
                else if (ends == "VTIMEZONE")
                    out.back().skeleton += QByteArray::fromRawData(text.constData() + childStart, next - childStart);
                // other components (to-dos, journals) hold no events
            }
        } else if (open.size() == 1) {
            out.back().skeleton += raw; // the calendar's own properties
        } else if (open.empty() && !QByteArray::fromRawData(line, size).trimmed().isEmpty()) {
            return std::nullopt;
        }
        at = next;
    }
    if (!open.empty() || out.empty())
        return std::nullopt;
    for (CalendarText &c : out)
        if (!c.skeleton.endsWith('\n'))
            c.skeleton += "\r\n";
    return out;
}

// Whether a VEVENT read alone may have an occurrence in [from, to] (wall seconds, already
// widened for any zone). Series and rules libical refused (repaired later) always may.
bool mayShow(icalcomponent *event, int64_t from, int64_t to)
{
    if (icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY)
        || icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY)
        || icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY))
        return true;
    icalproperty *startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    const icaltimetype start = startProp ? icalproperty_get_dtstart(startProp) : icaltime_null_time();
    if (!validWall(start))
        return false;
    const int64_t first = civil(start);
    int64_t length = start.is_date ? kDay : 0;
    if (icalproperty *endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        const icaltimetype end = icalproperty_get_dtend(endProp);
        if (validWall(end))
            length = std::max(length, civil(end) - first);
    } else if (icalproperty *durProp = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        length = std::max(length, durationSeconds(icalproperty_get_duration(durProp)));
    }
    // The end may be written in another zone than the start.
    length = std::clamp<int64_t>(length, 0, kMaxDuration) + 2 * kZoneSlack;
    return first <= to && first + length >= from;
}

// The events of `calendars` that may show in [from, to), with every copy of their UIDs, under
// calendars of their own as in the file; nullptr when a calendar's own part does not parse.
icalcomponent *nearEvents(const QByteArray &text, const std::vector<CalendarText> &calendars, const QDateTime &from,
                          const QDateTime &to, const Budget &budget)
{
    const int64_t epochJd = QDate(1970, 1, 1).toJulianDay() * kDay;
    const int64_t lo = epochJd + from.toSecsSinceEpoch() - kZoneSlack;
    const int64_t hi = epochJd + to.toSecsSinceEpoch() + kZoneSlack;
    std::string one;
    auto parse = [&](std::pair<qsizetype, qsizetype> bytes) -> icalcomponent * {
        one.assign(text.constData() + bytes.first, size_t(bytes.second));
        icalcomponent *c = icalparser_parse_string(one.c_str());
        if (c && icalcomponent_isa(c) != ICAL_VEVENT_COMPONENT) {
            icalcomponent_free(c);
            c = nullptr;
        }
        return c;
    };
    std::vector<std::vector<icalcomponent *>> kept(calendars.size());
    QSet<QByteArray> nearUids;
    std::vector<std::tuple<size_t, size_t, QByteArray>> farWithUid; // calendar, event, UID
    for (size_t c = 0; c < calendars.size(); ++c) {
        kept[c].assign(calendars[c].events.size(), nullptr);
        for (size_t i = 0; i < calendars[c].events.size() && !budget.stop.stop_requested(); ++i) {
            icalcomponent *event = parse(calendars[c].events[i]);
            if (!event)
                continue;
            const char *uid = icalcomponent_get_uid(event);
            if (mayShow(event, lo, hi)) {
                kept[c][i] = event;
                if (uid && *uid)
                    nearUids.insert(QByteArray(uid));
                continue;
            }
            if (uid && *uid)
                farWithUid.emplace_back(c, i, QByteArray(uid));
            icalcomponent_free(event);
        }
    }
    for (const auto &[c, i, uid] : farWithUid)
        if (nearUids.contains(uid))
            kept[c][i] = parse(calendars[c].events[i]);

    icalcomponent *root = calendars.size() > 1 ? icalcomponent_new(ICAL_XROOT_COMPONENT) : nullptr;
    bool ok = true;
    for (size_t c = 0; c < calendars.size(); ++c) {
        icalcomponent *calendar = ok ? icalparser_parse_string(calendars[c].skeleton.constData()) : nullptr;
        ok = calendar && icalcomponent_isa(calendar) == ICAL_VCALENDAR_COMPONENT;
        for (icalcomponent *event : kept[c]) {
            if (event && ok)
                icalcomponent_add_component(calendar, event);
            else if (event)
                icalcomponent_free(event);
        }
        if (!ok) {
            if (calendar)
                icalcomponent_free(calendar);
            continue;
        }
        if (root)
            icalcomponent_add_component(root, calendar);
        else
            root = calendar;
    }
    if (!ok && root) {
        icalcomponent_free(root);
        return nullptr;
    }
    return root;
}

} // namespace

QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to, Budget &budget)
{
    QList<CalendarEvent> out;
    if (text.isEmpty() || !from.isValid() || !to.isValid() || budget.spent())
        return out;
    quietLibical();
    const auto calendars = splitCalendars(text);
    icalcomponent *root = calendars ? nearEvents(text, *calendars, from, to, budget) : nullptr;
    // libical reads up to the first NUL; QByteArray always ends in one.
    if (!root)
        root = icalparser_parse_string(text.constData());
    if (!root)
        return out;
    Expander(from, to, budget).run(root, out);
    icalcomponent_free(root);
    return out;
}

QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to)
{
    Budget budget;
    return occurrences(text, from, to, budget);
}

} // namespace corvane::ical
