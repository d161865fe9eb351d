#include "platform/linux/ICalParser.h"

#include <QHash>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <optional>

namespace corvane::ical {
namespace {

// Upper bound on recurrence periods walked per event, so a hostile rule cannot hang us.
constexpr int kMaxPeriods = 20000;

struct Property {
    QString name; // upper case
    QHash<QString, QString> params; // upper-case keys, values without quotes
    QString value;
};

std::optional<Property> parseLine(const QByteArray &raw)
{
    const QString line = QString::fromUtf8(raw);
    Property p;
    int i = 0;
    const int n = line.size();
    while (i < n && line[i] != u';' && line[i] != u':')
        ++i;
    if (i == n)
        return std::nullopt;
    p.name = line.left(i).trimmed().toUpper();
    while (i < n && line[i] == u';') {
        ++i;
        const int keyStart = i;
        while (i < n && line[i] != u'=' && line[i] != u';' && line[i] != u':')
            ++i;
        const QString key = line.mid(keyStart, i - keyStart).trimmed().toUpper();
        QString value;
        if (i < n && line[i] == u'=') {
            ++i;
            // A parameter value may be quoted and then hold ';', ':' and ','.
            bool quoted = false;
            while (i < n && (quoted || (line[i] != u';' && line[i] != u':'))) {
                if (line[i] == u'"')
                    quoted = !quoted;
                else
                    value += line[i];
                ++i;
            }
        }
        p.params.insert(key, value);
    }
    if (i >= n || line[i] != u':')
        return std::nullopt;
    p.value = line.mid(i + 1);
    return p;
}

struct DateValue {
    QDateTime dt; // in its zone: UTC, a named zone, or local time for floating values
    bool isDate = false;
};

QTimeZone zoneFor(QString tzid)
{
    tzid = tzid.trimmed();
    if (tzid.isEmpty())
        return {};
    QTimeZone tz(tzid.toUtf8());
    if (tz.isValid())
        return tz;
    // Some producers prefix the Olson name with a vendor path ("/mozilla.org/.../Europe/Paris").
    static const QRegularExpression olson(QStringLiteral("([A-Za-z_]+/[A-Za-z_+\\-]+(?:/[A-Za-z_+\\-]+)?)$"));
    if (auto m = olson.match(tzid); m.hasMatch()) {
        QTimeZone t(m.captured(1).toUtf8());
        if (t.isValid())
            return t;
    }
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(tzid.toUtf8());
    if (!iana.isEmpty())
        return QTimeZone(iana);
    return {};
}

std::optional<DateValue> parseDate(const QString &text, const QHash<QString, QString> &params)
{
    const QString v = text.trimmed();
    static const QRegularExpression dateRe(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression dtRe(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})T(\\d{2})(\\d{2})(\\d{2})(Z?)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (auto m = dateRe.match(v); m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!d.isValid())
            return std::nullopt;
        return DateValue{QDateTime(d, QTime(0, 0), Qt::LocalTime), true};
    }
    auto m = dtRe.match(v);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    // Second 60 (a leap second) is clamped rather than rejected.
    const QTime t(m.captured(4).toInt(), m.captured(5).toInt(), std::min(m.captured(6).toInt(), 59));
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    if (!m.captured(7).isEmpty())
        return DateValue{QDateTime(d, t, QTimeZone::utc()), false};
    if (const QTimeZone tz = zoneFor(params.value(QStringLiteral("TZID"))); tz.isValid())
        return DateValue{QDateTime(d, t, tz), false};
    return DateValue{QDateTime(d, t, Qt::LocalTime), false};
}

QList<DateValue> parseDateList(const Property &p)
{
    QList<DateValue> out;
    for (const QString &part : p.value.split(u',', Qt::SkipEmptyParts))
        if (auto d = parseDate(part, p.params))
            out.append(*d);
    return out;
}

struct Duration {
    qint64 days = 0;
    qint64 seconds = 0;
};

std::optional<Duration> parseDuration(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^([+-]?)P(?:(\\d+)W)?(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+)S)?)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const qint64 sign = m.captured(1) == u"-" ? -1 : 1;
    Duration d;
    d.days = sign * (m.captured(2).toLongLong() * 7 + m.captured(3).toLongLong());
    d.seconds = sign * (m.captured(4).toLongLong() * 3600 + m.captured(5).toLongLong() * 60 + m.captured(6).toLongLong());
    return d;
}

struct WeekdayRule {
    int ordinal = 0; // 0: every such weekday of the period; n: the n-th; -n: n-th from the end
    int weekday = 1; // Qt numbering, Monday = 1
};

struct Rule {
    enum Freq { Daily, Weekly, Monthly, Yearly } freq = Daily;
    int interval = 1;
    std::optional<int> count;
    std::optional<DateValue> until;
    QList<WeekdayRule> byDay;
    bool understood = true;
};

std::optional<Rule> parseRule(const QString &text)
{
    Rule r;
    bool haveFreq = false;
    static const QRegularExpression dayRe(QStringLiteral("^([+-]?\\d{1,2})?(MO|TU|WE|TH|FR|SA|SU)$"));
    static const QStringList days = {QStringLiteral("MO"), QStringLiteral("TU"), QStringLiteral("WE"),
                                     QStringLiteral("TH"), QStringLiteral("FR"), QStringLiteral("SA"),
                                     QStringLiteral("SU")};
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const int eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed().toUpper();
        const QString value = part.mid(eq + 1).trimmed().toUpper();
        if (key == u"FREQ") {
            haveFreq = true;
            if (value == u"DAILY")
                r.freq = Rule::Daily;
            else if (value == u"WEEKLY")
                r.freq = Rule::Weekly;
            else if (value == u"MONTHLY")
                r.freq = Rule::Monthly;
            else if (value == u"YEARLY")
                r.freq = Rule::Yearly;
            else
                r.understood = false; // SECONDLY..HOURLY
        } else if (key == u"INTERVAL") {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (!ok || v < 1)
                return std::nullopt;
            r.interval = v;
        } else if (key == u"COUNT") {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (!ok || v < 0)
                return std::nullopt;
            r.count = v;
        } else if (key == u"UNTIL") {
            r.until = parseDate(value, {});
            if (!r.until)
                return std::nullopt;
        } else if (key == u"BYDAY") {
            for (const QString &d : value.split(u',', Qt::SkipEmptyParts)) {
                const auto m = dayRe.match(d.trimmed());
                if (!m.hasMatch())
                    return std::nullopt;
                WeekdayRule w;
                w.ordinal = m.captured(1).toInt();
                w.weekday = int(days.indexOf(m.captured(2))) + 1;
                r.byDay.append(w);
            }
        } else if (key == u"WKST") {
            // Only shifts which week a day falls in for WEEKLY with INTERVAL > 1; Monday assumed.
        } else {
            r.understood = false;
        }
    }
    if (!haveFreq)
        return std::nullopt;
    const bool ordinals = std::any_of(r.byDay.begin(), r.byDay.end(), [](const WeekdayRule &w) { return w.ordinal != 0; });
    if (ordinals && r.freq != Rule::Monthly)
        r.understood = false;
    if (!r.byDay.isEmpty() && r.freq == Rule::Yearly)
        r.understood = false;
    return r;
}

// Candidate dates of period `k` (ascending); empty when the period has none.
QList<QDate> periodDates(const Rule &r, const QDate &first, qint64 k)
{
    QList<QDate> out;
    auto dayAllowed = [&](const QDate &d) {
        if (r.byDay.isEmpty())
            return true;
        return std::any_of(r.byDay.begin(), r.byDay.end(), [&](const WeekdayRule &w) { return w.weekday == d.dayOfWeek(); });
    };
    switch (r.freq) {
    case Rule::Daily: {
        const QDate d = first.addDays(k * r.interval);
        if (dayAllowed(d))
            out.append(d);
        break;
    }
    case Rule::Weekly: {
        const QDate monday = first.addDays(1 - first.dayOfWeek()).addDays(7 * k * r.interval);
        if (r.byDay.isEmpty()) {
            out.append(monday.addDays(first.dayOfWeek() - 1));
        } else {
            for (int wd = 1; wd <= 7; ++wd) {
                const QDate d = monday.addDays(wd - 1);
                if (dayAllowed(d))
                    out.append(d);
            }
        }
        break;
    }
    case Rule::Monthly: {
        const QDate month = QDate(first.year(), first.month(), 1).addMonths(static_cast<int>(k * r.interval));
        if (r.byDay.isEmpty()) {
            const QDate d(month.year(), month.month(), first.day()); // invalid on the 31st of short months
            if (d.isValid())
                out.append(d);
            break;
        }
        const int len = month.daysInMonth();
        for (const WeekdayRule &w : r.byDay) {
            QList<QDate> matching;
            for (int day = 1; day <= len; ++day) {
                const QDate d(month.year(), month.month(), day);
                if (d.dayOfWeek() == w.weekday)
                    matching.append(d);
            }
            if (w.ordinal == 0)
                out.append(matching);
            else if (w.ordinal > 0 && w.ordinal <= matching.size())
                out.append(matching[w.ordinal - 1]);
            else if (w.ordinal < 0 && -w.ordinal <= matching.size())
                out.append(matching[matching.size() + w.ordinal]);
        }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        break;
    }
    case Rule::Yearly: {
        const QDate d(first.year() + static_cast<int>(k * r.interval), first.month(), first.day());
        if (d.isValid()) // 29 February only in leap years
            out.append(d);
        break;
    }
    }
    return out;
}

struct Event {
    QString uid;
    QString summary;
    std::optional<DateValue> start;
    std::optional<DateValue> end;
    std::optional<Duration> duration;
    QString rrule;
    QList<DateValue> exdates;
    std::optional<DateValue> recurrenceId;
};

QDateTime atSameWallTime(const DateValue &start, const QDate &date)
{
    QDateTime dt = start.dt;
    dt.setDate(date);
    return dt;
}

bool sameOccurrence(const DateValue &a, const QDateTime &start, bool isDate)
{
    if (a.isDate || isDate)
        return a.dt.date() == start.date();
    return a.dt.toMSecsSinceEpoch() == start.toMSecsSinceEpoch();
}

class Expander {
public:
    Expander(const QDateTime &from, const QDateTime &to) : m_from(from), m_to(to) {}

    void expand(const Event &e, const QList<DateValue> &overridden, QList<CalendarEvent> &out) const
    {
        if (!e.start)
            return;
        const DateValue &s = *e.start;
        // Length of one occurrence: DTEND, else DURATION, else one day / zero length.
        qint64 lengthDays = 0;
        qint64 lengthSecs = 0;
        if (e.end) {
            if (s.isDate)
                lengthDays = s.dt.date().daysTo(e.end->dt.date());
            else
                lengthSecs = s.dt.secsTo(e.end->dt);
        } else if (e.duration) {
            lengthDays = e.duration->days;
            lengthSecs = e.duration->seconds;
        } else if (s.isDate) {
            lengthDays = 1;
        }
        if (lengthDays < 0 || lengthSecs < 0 || (lengthDays == 0 && lengthSecs < 0))
            lengthDays = lengthSecs = 0;
        auto add = [&](const QDateTime &st) {
            if (std::any_of(e.exdates.begin(), e.exdates.end(), [&](const DateValue &x) { return sameOccurrence(x, st, s.isDate); }))
                return;
            if (std::any_of(overridden.begin(), overridden.end(), [&](const DateValue &x) { return sameOccurrence(x, st, s.isDate); }))
                return;
            QDateTime en = st.addDays(lengthDays).addSecs(lengthSecs);
            // A zero-length event is listed while it starts within the range.
            const bool overlaps = st < m_to && (en > m_from || (en == st && st >= m_from));
            if (overlaps)
                out.append(CalendarEvent{e.summary, st, en, s.isDate});
        };

        std::optional<Rule> rule;
        if (!e.rrule.isEmpty())
            rule = parseRule(e.rrule);
        if (!rule || !rule->understood) {
            add(s.dt);
            return;
        }
        const Rule &r = *rule;
        auto pastUntil = [&](const QDateTime &st) {
            if (!r.until)
                return false;
            if (r.until->isDate || s.isDate)
                return st.date() > r.until->dt.date();
            // A floating UNTIL is read in the event's own zone.
            const QDateTime until = r.until->dt.timeSpec() == Qt::LocalTime
                ? QDateTime(r.until->dt.date(), r.until->dt.time(), s.dt.timeZone())
                : r.until->dt;
            return st > until;
        };

        // DTSTART is always the first occurrence.
        int produced = 0;
        if (r.count && *r.count == 0)
            return;
        add(s.dt);
        ++produced;

        const QDate first = s.dt.date();
        qint64 k = 0;
        if (!r.count && (r.freq == Rule::Daily || r.freq == Rule::Weekly)) {
            // Without COUNT earlier periods need not be walked: jump to just before the range.
            const qint64 periodDays = (r.freq == Rule::Daily ? 1 : 7) * qint64(r.interval);
            const QDate threshold = m_from.toTimeZone(s.dt.timeZone()).date().addDays(-lengthDays - 2 - lengthSecs / 86400);
            const qint64 gap = first.daysTo(threshold);
            if (gap > 0)
                k = std::max<qint64>(0, gap / periodDays - 1);
        }
        for (int walked = 0; walked < kMaxPeriods; ++walked, ++k) {
            const QList<QDate> dates = periodDates(r, first, k);
            for (const QDate &d : dates) {
                if (d <= first)
                    continue;
                const QDateTime st = atSameWallTime(s, d);
                if (pastUntil(st) || st >= m_to)
                    return;
                if (r.count && produced >= *r.count)
                    return;
                add(st);
                ++produced;
            }
            // Stop once a whole period lies past the range.
            if (!dates.isEmpty() && atSameWallTime(s, dates.first()) >= m_to)
                return;
        }
    }

private:
    QDateTime m_from;
    QDateTime m_to;
};

} // namespace

QList<QByteArray> unfoldLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    QByteArray current;
    bool have = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i <= n) {
        qsizetype eol = text.indexOf('\n', i);
        if (eol < 0)
            eol = n;
        QByteArray line = text.mid(i, eol - i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (have && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            current += line.mid(1);
        } else {
            if (have && !current.isEmpty())
                lines.append(current);
            current = line;
            have = true;
        }
        i = eol + 1;
    }
    if (have && !current.isEmpty())
        lines.append(current);
    return lines;
}

QString unescapeText(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == u'n' || next == u'N')
            out += u'\n';
        else
            out += next; // \\ \; \, and anything else taken literally
    }
    return out;
}

QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to)
{
    QList<Event> events;
    std::optional<Event> current;
    int nested = 0; // depth of components inside the VEVENT (VALARM)
    for (const QByteArray &raw : unfoldLines(text)) {
        auto p = parseLine(raw);
        if (!p)
            continue;
        const QString value = p->value.trimmed().toUpper();
        if (p->name == u"BEGIN") {
            if (current)
                ++nested;
            else if (value == u"VEVENT")
                current.emplace();
            continue;
        }
        if (p->name == u"END") {
            if (current && nested > 0) {
                --nested;
            } else if (current && value == u"VEVENT") {
                events.append(*current);
                current.reset();
            }
            continue;
        }
        if (!current || nested > 0)
            continue;
        Event &e = *current;
        if (p->name == u"UID")
            e.uid = p->value.trimmed();
        else if (p->name == u"SUMMARY")
            e.summary = unescapeText(p->value);
        else if (p->name == u"DTSTART")
            e.start = parseDate(p->value, p->params);
        else if (p->name == u"DTEND")
            e.end = parseDate(p->value, p->params);
        else if (p->name == u"DURATION")
            e.duration = parseDuration(p->value);
        else if (p->name == u"RRULE")
            e.rrule = p->value;
        else if (p->name == u"EXDATE")
            e.exdates += parseDateList(*p);
        else if (p->name == u"RECURRENCE-ID")
            e.recurrenceId = parseDate(p->value, p->params);
    }

    // Instances moved or changed by an override replace the series' own occurrence.
    QHash<QString, QList<DateValue>> overrides;
    for (const Event &e : events)
        if (e.recurrenceId && !e.uid.isEmpty())
            overrides[e.uid].append(*e.recurrenceId);

    QList<CalendarEvent> out;
    const Expander expander(from, to);
    for (const Event &e : events) {
        if (e.recurrenceId) {
            Event single = e;
            single.rrule.clear();
            expander.expand(single, {}, out);
        } else {
            expander.expand(e, overrides.value(e.uid), out);
        }
    }
    return out;
}

} // namespace corvane::ical
