// The desktop's calendar store: every enabled calendar of the user's accounts (local,
// CalDAV, Google, Exchange…) through evolution-data-server. The store expands recurrences
// in its own zones; the rules the files' reader applies after that (moved and cancelled
// instances, this-and-future changes, all-day days) are applied here the same way.

// GLib's headers use "signals" as a name: they come before Qt's keyword macros.
#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include "platform/CalendarStore.h"
#include "platform/linux/ICalParser.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace corvane {
namespace {

// A client connects once; a remote calendar not online within this time is read from its
// cache (and connects in the background).
constexpr guint32 kConnectSeconds = 2;
constexpr int64_t kDayMs = 86'400'000;
// A this-and-future change moved by more than this does not widen the range further.
constexpr int64_t kMaxLookBackMs = 31 * kDayMs;
constexpr int64_t kMaxDays = 100LL * 366;

struct GFree {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T> using GRef = std::unique_ptr<T, GFree>;

QByteArray isoUtc(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
}

// Floating times and dates are the user's local time, as Qt reads it (TZ included).
ICalTimezone *localZone()
{
    if (ICalTimezone *z = i_cal_timezone_get_builtin_timezone(QTimeZone::systemTimeZoneId().constData()))
        return z;
    ICalTimezone *z = e_cal_util_get_system_timezone();
    return z ? z : i_cal_timezone_get_utc_timezone();
}

QDate dateOf(ICalTime *t)
{
    return QDate(i_cal_time_get_year(t), i_cal_time_get_month(t), i_cal_time_get_day(t));
}

// libical's own value behind a libical-glib object.
template <typename Native, typename T> Native *nativeOf(T *object)
{
    return object ? static_cast<Native *>(i_cal_object_get_native(I_CAL_OBJECT(object))) : nullptr;
}

// A time read in `zone` (nullptr: as UTC); in the hour repeated when clocks go back, the first.
int64_t instantMs(ICalTime *t, ICalTimezone *zone)
{
    return ical::instantMs(*nativeOf<icaltimetype>(t), nativeOf<icaltimezone>(zone));
}

bool hasProperty(ICalComponent *c, ICalPropertyKind kind)
{
    GRef<ICalProperty> p(i_cal_component_get_first_property(c, kind));
    return p != nullptr;
}

// One occurrence: an instant (timed) or local days (all-day).
struct Span {
    int64_t key = 0;     // start msecs (timed) or the Julian day (all-day)
    int64_t startMs = 0; // timed
    int64_t endMs = 0;
    bool allDay = false;
    QDate day;           // all-day
    qint64 days = 1;
    QString title;
};

class EdsCalendarStore final : public CalendarStore {
public:
    explicit EdsCalendarStore(GRef<ESourceRegistry> registry) : m_registry(std::move(registry)) {}

    bool isAuthorized() override { return !calendars().isEmpty(); }

    CalendarAccess requestAccess() override { return {isAuthorized(), std::nullopt}; }

    QStringList calendars(std::stop_token = {}) override
    {
        QStringList out;
        GList *sources = e_source_registry_list_enabled(m_registry.get(), E_SOURCE_EXTENSION_CALENDAR);
        for (GList *l = sources; l; l = l->next)
            out.append(QString::fromUtf8(e_source_get_uid(E_SOURCE(l->data))));
        g_list_free_full(sources, g_object_unref);
        return out;
    }

    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QStringList &calendars,
                                std::stop_token stop) override
    {
        GRef<GCancellable> cancellable(g_cancellable_new());
        std::stop_callback onStop(stop, [c = cancellable.get()] { g_cancellable_cancel(c); });
        Query q{start.toMSecsSinceEpoch(), end.toMSecsSinceEpoch(), {}, cancellable.get(), nullptr, localZone(), {}};
        q.budget.stop = stop;
        const QByteArray sexp = "(occur-in-time-range? (make-time \"" + isoUtc(start) + "\") (make-time \""
            + isoUtc(end) + "\"))";
        for (const QString &uid : calendars) {
            if (q.budget.spent())
                break;
            q.client = clientFor(uid, q.cancellable);
            if (!q.client)
                continue;
            GSList *objects = nullptr;
            GError *error = nullptr;
            if (!e_cal_client_get_object_list_sync(q.client, sexp.constData(), &objects, q.cancellable, &error)) {
                g_clear_error(&error);
                continue;
            }
            readObjects(q, objects);
            e_client_util_free_object_slist(objects);
        }
        return q.out;
    }

private:
    struct Query {
        int64_t fromMs, toMs;
        ical::Budget budget;
        GCancellable *cancellable;
        ECalClient *client;
        ICalTimezone *local;
        QList<CalendarEvent> out;
    };

    ECalClient *clientFor(const QString &uid, GCancellable *cancellable)
    {
        const auto hit = m_clients.find(uid);
        if (hit != m_clients.end())
            return hit->second.get();
        GRef<ESource> source(e_source_registry_ref_source(m_registry.get(), uid.toUtf8().constData()));
        if (!source)
            return nullptr;
        GError *error = nullptr;
        EClient *client =
            e_cal_client_connect_sync(source.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kConnectSeconds, cancellable, &error);
        if (!client) {
            g_clear_error(&error);
            return nullptr; // tried again next refresh
        }
        auto [it, inserted] = m_clients.emplace(uid, GRef<ECalClient>(E_CAL_CLIENT(client)));
        return it->second.get();
    }

    // A series comes whole, with every moved instance: one moved out of the range still
    // hides the occurrence it replaces.
    static void readObjects(Query &q, GSList *objects)
    {
        QHash<QByteArray, std::vector<ICalComponent *>> found;
        std::vector<QByteArray> series;
        for (GSList *l = objects; l; l = l->next) {
            ICalComponent *c = I_CAL_COMPONENT(l->data);
            const char *uid = i_cal_component_get_uid(c);
            const bool recurring = hasProperty(c, I_CAL_RRULE_PROPERTY) || hasProperty(c, I_CAL_RDATE_PROPERTY)
                || hasProperty(c, I_CAL_RECURRENCEID_PROPERTY);
            if (!recurring || !uid) {
                readSeries(q, {c});
                continue;
            }
            auto &parts = found[QByteArray(uid)];
            if (parts.empty())
                series.push_back(QByteArray(uid));
            parts.push_back(c);
        }
        for (const QByteArray &uid : series) {
            if (q.budget.spent())
                return;
            GSList *all = nullptr;
            GError *error = nullptr;
            if (e_cal_client_get_objects_for_uid_sync(q.client, uid.constData(), &all, q.cancellable, &error)) {
                std::vector<ICalComponent *> parts;
                for (GSList *a = all; a; a = a->next)
                    parts.push_back(e_cal_component_get_icalcomponent(E_CAL_COMPONENT(a->data)));
                readSeries(q, parts);
                g_slist_free_full(all, g_object_unref);
            } else {
                g_clear_error(&error);
                readSeries(q, found.value(uid));
            }
        }
    }

    // The zone a time of `p` is written in: UTC, its TZID's, or nullptr (floating, or a date).
    static ICalTimezone *zoneOf(Query &q, ICalProperty *p, ICalTime *t)
    {
        if (i_cal_time_is_utc(t))
            return i_cal_timezone_get_utc_timezone();
        if (i_cal_time_is_date(t) || !p)
            return nullptr;
        GRef<ICalParameter> tzid(i_cal_property_get_first_parameter(p, I_CAL_TZID_PARAMETER));
        return tzid ? e_cal_client_tzlookup_cb(i_cal_parameter_get_tzid(tzid.get()), q.client, q.cancellable, nullptr)
                    : nullptr;
    }

    // The instant of a time property, in the zone the store resolves its TZID to; a floating
    // one in `floating` (else the user's zone).
    static std::optional<int64_t> instant(Query &q, ICalProperty *p, ICalTime *t, ICalTimezone *floating = nullptr)
    {
        if (!t || i_cal_time_is_null_time(t) || !i_cal_time_is_valid_time(t))
            return std::nullopt;
        ICalTimezone *zone = zoneOf(q, p, t);
        return instantMs(t, zone ? zone : floating ? floating : q.local);
    }

    static std::optional<int64_t> instant(Query &q, ICalComponent *c, ICalPropertyKind kind, ICalTime *t)
    {
        GRef<ICalProperty> p(i_cal_component_get_first_property(c, kind));
        return instant(q, p.get(), t);
    }

    // An exclusion or a moved instance names one of the series' own instances, whatever the
    // user's zone: a floating time on a zoned series is in the series' zone, and a UTC time on
    // a floating series is the wall time its instances are written in.
    static std::optional<int64_t> seriesInstant(Query &q, ICalTimezone *seriesZone, ICalProperty *p, ICalTime *t)
    {
        if (!seriesZone && t && i_cal_time_is_utc(t) && i_cal_time_is_valid_time(t))
            return instantMs(t, q.local);
        return instant(q, p, t, seriesZone);
    }

    // A single event or moved instance as written: its own DTSTART and end.
    static std::optional<Span> spanOf(Query &q, ICalComponent *c)
    {
        GRef<ICalTime> start(i_cal_component_get_dtstart(c));
        if (!start || i_cal_time_is_null_time(start.get()) || !i_cal_time_is_valid_time(start.get()))
            return std::nullopt;
        Span s;
        if (const char *summary = i_cal_component_get_summary(c))
            s.title = QString::fromUtf8(summary);
        GRef<ICalTime> end(hasProperty(c, I_CAL_DTEND_PROPERTY) ? i_cal_component_get_dtend(c) : nullptr);
        GRef<ICalDuration> duration(hasProperty(c, I_CAL_DURATION_PROPERTY) ? i_cal_component_get_duration(c) : nullptr);
        if (i_cal_time_is_date(start.get())) {
            s.allDay = true;
            s.day = dateOf(start.get());
            s.key = s.day.toJulianDay();
            if (end && i_cal_time_is_valid_time(end.get()))
                s.days = s.day.daysTo(dateOf(end.get()));
            else if (duration)
                s.days = i_cal_duration_as_int(duration.get()) / 86'400;
            s.days = std::clamp<qint64>(s.days, 1, kMaxDays);
            return s;
        }
        const auto startMs = instant(q, c, I_CAL_DTSTART_PROPERTY, start.get());
        if (!startMs)
            return std::nullopt;
        s.key = s.startMs = s.endMs = *startMs;
        if (end) {
            if (auto endMs = instant(q, c, I_CAL_DTEND_PROPERTY, end.get()))
                s.endMs = *endMs;
        } else if (duration) {
            GRef<ICalProperty> startProp(i_cal_component_get_first_property(c, I_CAL_DTSTART_PROPERTY));
            ICalTimezone *zone = zoneOf(q, startProp.get(), start.get());
            s.endMs = ical::endAfter(*nativeOf<icaltimetype>(start.get()), nativeOf<icaltimezone>(zone ? zone : q.local),
                                     *nativeOf<icaldurationtype>(duration.get()));
        }
        s.endMs = std::clamp(s.endMs, s.startMs, s.startMs + kMaxDays * kDayMs);
        return s;
    }

    struct Expansion {
        Query &q;
        bool allDay;
        std::optional<icaldurationtype> duration; // the series' DURATION (it has no DTEND)
        QList<Span> spans;
    };

    static gboolean onInstance(ICalComponent *, ICalTime *start, ICalTime *end, gpointer data, GCancellable *, GError **)
    {
        auto &x = *static_cast<Expansion *>(data);
        if (--x.q.budget.steps, x.q.budget.spent())
            return FALSE;
        Span s;
        if (x.allDay) {
            if (!i_cal_time_is_date(start))
                return TRUE; // a timed extra date of an all-day series: ambiguous, left out
            s.allDay = true;
            s.day = dateOf(start);
            s.key = s.day.toJulianDay();
            s.days = std::clamp<qint64>(s.day.daysTo(dateOf(end)), 1, kMaxDays);
        } else {
            ICalTimezone *zone = i_cal_time_get_timezone(start);
            s.key = s.startMs = instantMs(start, zone);
            // Our own end for a DURATION: its days are calendar days in the series' zone.
            s.endMs = x.duration ? ical::endAfter(*nativeOf<icaltimetype>(start), nativeOf<icaltimezone>(zone), *x.duration)
                                 : instantMs(end, i_cal_time_get_timezone(end));
            s.endMs = std::max(s.startMs, s.endMs);
        }
        x.spans.append(s);
        return x.spans.size() < ical::kMaxOccurrencesPerEvent;
    }

    // The store's expansion of a series over [fromMs, toMs], ascending.
    static QList<Span> expand(Query &q, ICalComponent *master, bool allDay, int64_t fromMs, int64_t toMs)
    {
        Expansion x{q, allDay, std::nullopt, {}};
        if (!hasProperty(master, I_CAL_DTEND_PROPERTY) && hasProperty(master, I_CAL_DURATION_PROPERTY)) {
            GRef<ICalDuration> duration(i_cal_component_get_duration(master));
            if (duration)
                x.duration = *nativeOf<icaldurationtype>(duration.get());
        }
        GRef<ICalComponent> copy(i_cal_component_clone(master));
        auto *event = static_cast<icalcomponent *>(i_cal_object_get_native(I_CAL_OBJECT(copy.get())));
        if (!ical::boundRules(event, QDateTime::fromMSecsSinceEpoch(fromMs, QTimeZone::utc()),
                              QDateTime::fromMSecsSinceEpoch(toMs, QTimeZone::utc()), q.budget))
            return {};
        ICalTimezone *utc = i_cal_timezone_get_utc_timezone();
        // A day wider: the walker compares dates of all-day series without a zone.
        GRef<ICalTime> from(i_cal_time_new_from_timet_with_zone((fromMs - kDayMs) / 1000, 0, utc));
        GRef<ICalTime> to(i_cal_time_new_from_timet_with_zone((toMs + kDayMs) / 1000, 0, utc));
        e_cal_recur_generate_instances_sync(copy.get(), from.get(), to.get(), onInstance, &x, e_cal_client_tzlookup_cb,
                                            q.client, q.local, q.cancellable, nullptr);
        return x.spans;
    }

    static void publish(Query &q, const Span &s)
    {
        CalendarEvent ev;
        ev.title = s.title;
        ev.isAllDay = s.allDay;
        if (s.allDay) {
            // From the first instant of each day: where midnight is skipped, the day starts later.
            ev.startDate = s.day.startOfDay();
            ev.endDate = s.day.addDays(s.days).startOfDay();
        } else {
            ev.startDate = QDateTime::fromMSecsSinceEpoch(s.startMs, QTimeZone::utc());
            ev.endDate = QDateTime::fromMSecsSinceEpoch(s.endMs, QTimeZone::utc());
        }
        if (!ev.startDate.isValid() || !ev.endDate.isValid())
            return;
        const int64_t b = ev.startDate.toMSecsSinceEpoch(), e = ev.endDate.toMSecsSinceEpoch();
        const bool overlaps = e > b ? (e > q.fromMs && b < q.toMs) : (b >= q.fromMs && b < q.toMs);
        if (overlaps)
            q.out.append(ev);
    }

    static bool cancelled(ICalComponent *c) { return i_cal_component_get_status(c) == I_CAL_STATUS_CANCELLED; }

    struct Override {
        ICalComponent *event = nullptr;
        int64_t key = 0;
        bool thisAndFuture = false;
        std::optional<Span> span;
    };

    // One series: its master (if the store holds it) and its moved or cancelled instances.
    static void readSeries(Query &q, const std::vector<ICalComponent *> &parts)
    {
        ICalComponent *master = nullptr;
        for (ICalComponent *c : parts)
            if (!hasProperty(c, I_CAL_RECURRENCEID_PROPERTY))
                master = c;
        if (!master) { // moved instances whose series is not here
            for (ICalComponent *c : parts)
                if (auto s = spanOf(q, c); s && !cancelled(c))
                    publish(q, *s);
            return;
        }
        GRef<ICalTime> masterStart(i_cal_component_get_dtstart(master));
        if (!masterStart || !i_cal_time_is_valid_time(masterStart.get()))
            return;
        const bool allDay = i_cal_time_is_date(masterStart.get());
        GRef<ICalProperty> startProp(i_cal_component_get_first_property(master, I_CAL_DTSTART_PROPERTY));
        ICalTimezone *seriesZone = zoneOf(q, startProp.get(), masterStart.get());
        // The store misses exclusions written in another form than the series; they are
        // applied again as the series' own keys (dates, also for midnights of an all-day one).
        QSet<int64_t> excluded;
        for (GRef<ICalProperty> p(i_cal_component_get_first_property(master, I_CAL_EXDATE_PROPERTY)); p;
             p.reset(i_cal_component_get_next_property(master, I_CAL_EXDATE_PROPERTY))) {
            GRef<ICalTime> t(i_cal_property_get_exdate(p.get()));
            if (!t || !i_cal_time_is_valid_time(t.get()))
                continue;
            if (allDay) {
                excluded.insert(dateOf(t.get()).toJulianDay());
            } else if (!i_cal_time_is_date(t.get())) {
                if (auto ms = seriesInstant(q, seriesZone, p.get(), t.get()))
                    excluded.insert(*ms);
                // On a floating series a UTC time may also be the instant a client converted the
                // author's local time to: the instance the user's clock shows then goes too.
                if (!seriesZone && i_cal_time_is_utc(t.get()))
                    if (auto ms = instant(q, p.get(), t.get()))
                        excluded.insert(*ms);
            }
        }
        QString title;
        if (const char *summary = i_cal_component_get_summary(master))
            title = QString::fromUtf8(summary);

        std::vector<Override> overrides;
        int64_t widen = 0;
        for (ICalComponent *c : parts) {
            if (c == master)
                continue;
            GRef<ICalTime> rid(i_cal_component_get_recurrenceid(c));
            GRef<ICalProperty> ridProp(i_cal_component_get_first_property(c, I_CAL_RECURRENCEID_PROPERTY));
            const auto ms = seriesInstant(q, seriesZone, ridProp.get(), rid.get());
            if (!ms)
                continue;
            Override o;
            o.event = c;
            o.key = allDay || i_cal_time_is_date(rid.get()) ? dateOf(rid.get()).toJulianDay() : *ms;
            // A newer master that no longer holds the date has taken the change back.
            if (i_cal_component_get_sequence(master) > i_cal_component_get_sequence(c)) {
                const int64_t at = allDay ? dateOf(rid.get()).startOfDay().toMSecsSinceEpoch() : *ms;
                const QList<Span> there = expand(q, master, allDay, at, at + 1000);
                if (std::none_of(there.begin(), there.end(), [&o](const Span &s) { return s.key == o.key; }))
                    continue;
            }
            GRef<ICalParameter> range(ridProp ? i_cal_property_get_first_parameter(ridProp.get(), I_CAL_RANGE_PARAMETER)
                                              : nullptr);
            o.thisAndFuture = range && i_cal_parameter_get_range(range.get()) == I_CAL_RANGE_THISANDFUTURE;
            o.span = spanOf(q, c);
            if (o.thisAndFuture && o.span && !allDay && !o.span->allDay)
                widen = std::max(widen, std::min(std::abs(o.span->startMs - o.key), kMaxLookBackMs));
            overrides.push_back(std::move(o));
        }

        if (!cancelled(master)) {
            for (Span s : expand(q, master, allDay, q.fromMs - widen, q.toMs + widen)) {
                s.title = title;
                if (excluded.contains(s.key))
                    continue;
                bool replaced = false;
                const Override *future = nullptr;
                for (const Override &o : overrides) {
                    if (o.key == s.key)
                        replaced = true;
                    else if (o.thisAndFuture && o.key < s.key && (!future || future->key < o.key))
                        future = &o;
                }
                if (replaced)
                    continue;
                if (future && cancelled(future->event))
                    continue;
                if (future && future->span && !allDay && !future->span->allDay) {
                    // Later instances follow the change made from that one on.
                    s.startMs += future->span->startMs - future->key;
                    s.endMs = s.startMs + (future->span->endMs - future->span->startMs);
                    s.title = future->span->title;
                }
                publish(q, s);
            }
        }
        for (const Override &o : overrides)
            if (o.span && !cancelled(o.event))
                publish(q, *o.span);
    }

    GRef<ESourceRegistry> m_registry;
    std::map<QString, GRef<ECalClient>> m_clients;
};

} // namespace

// Built as a module of its own: the evolution-data-server libraries are loaded only when a
// calendar is first read (EdsCalendarModule.cpp).
static std::unique_ptr<CalendarStore> openEdsCalendarStore()
{
    // Without a session bus the registry cannot run (and must not autolaunch one).
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return nullptr;
    GError *error = nullptr;
    ESourceRegistry *registry = e_source_registry_new_sync(nullptr, &error);
    if (!registry) {
        g_clear_error(&error);
        return nullptr;
    }
    return std::make_unique<EdsCalendarStore>(GRef<ESourceRegistry>(registry));
}

} // namespace corvane

extern "C" __attribute__((visibility("default"))) corvane::CalendarStore *corvane_open_eds_calendar_store()
{
    return corvane::openEdsCalendarStore().release();
}
