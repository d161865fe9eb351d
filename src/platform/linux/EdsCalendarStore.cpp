// The desktop's calendar store: every enabled calendar of the user's accounts (local,
// CalDAV, Google, Exchange…) through evolution-data-server. The store hands out the
// events of a range with their rules; they are expanded here like a file's, with the
// same bounded work.

// GLib's headers use "signals" as a name: they come before Qt's keyword macros.
#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include "platform/CalendarStore.h"
#include "platform/linux/ICalParser.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <map>

namespace corvane {
namespace {

// A client connects once; a remote calendar not online within this time is read from its
// cache (and connects in the background).
constexpr guint32 kConnectSeconds = 2;

struct GFree {
    void operator()(gpointer p) const { g_object_unref(p); }
};
template <typename T> using GRef = std::unique_ptr<T, GFree>;

QByteArray isoUtc(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
}

class EdsCalendarStore final : public CalendarStore {
public:
    explicit EdsCalendarStore(GRef<ESourceRegistry> registry) : m_registry(std::move(registry)) {}

    bool isAuthorized() override { return !calendars().isEmpty(); }

    CalendarAccess requestAccess() override { return {isAuthorized(), std::nullopt}; }

    QStringList calendars() override
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
        QList<CalendarEvent> out;
        GRef<GCancellable> cancellable(g_cancellable_new());
        std::stop_callback onStop(stop, [c = cancellable.get()] { g_cancellable_cancel(c); });
        ical::Budget budget;
        budget.stop = stop;
        const QByteArray sexp = "(occur-in-time-range? (make-time \"" + isoUtc(start) + "\") (make-time \""
            + isoUtc(end) + "\"))";
        for (const QString &uid : calendars) {
            if (budget.spent())
                break;
            ECalClient *client = clientFor(uid, cancellable.get());
            if (!client)
                continue;
            GSList *objects = nullptr;
            GError *error = nullptr;
            if (!e_cal_client_get_object_list_sync(client, sexp.constData(), &objects, cancellable.get(), &error)) {
                g_clear_error(&error);
                continue;
            }
            const QByteArray text = asCalendar(client, objects, cancellable.get());
            e_client_util_free_object_slist(objects);
            out += ical::occurrences(text, start, end, budget);
        }
        return out;
    }

private:
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

    static bool hasProperty(ICalComponent *c, ICalPropertyKind kind)
    {
        ICalProperty *p = i_cal_component_get_first_property(c, kind);
        if (!p)
            return false;
        g_object_unref(p);
        return true;
    }

    // The objects with the zones they name, as one calendar text for the file reader. A series
    // comes whole, with every moved instance: one moved out of the range still hides the
    // occurrence it replaces.
    static QByteArray asCalendar(ECalClient *client, GSList *objects, GCancellable *cancellable)
    {
        QByteArray events;
        QSet<QByteArray> series;
        auto append = [&events](ICalComponent *c) {
            if (gchar *s = i_cal_component_as_ical_string(c)) {
                events += s;
                g_free(s);
            }
        };
        for (GSList *l = objects; l; l = l->next) {
            ICalComponent *c = I_CAL_COMPONENT(l->data);
            const char *uid = i_cal_component_get_uid(c);
            const bool recurring = hasProperty(c, I_CAL_RRULE_PROPERTY) || hasProperty(c, I_CAL_RDATE_PROPERTY)
                || hasProperty(c, I_CAL_RECURRENCEID_PROPERTY);
            if (!recurring || !uid) {
                append(c);
                continue;
            }
            if (series.contains(uid))
                continue;
            series.insert(uid);
            GSList *all = nullptr;
            GError *error = nullptr;
            if (e_cal_client_get_objects_for_uid_sync(client, uid, &all, cancellable, &error)) {
                for (GSList *a = all; a; a = a->next)
                    append(e_cal_component_get_icalcomponent(E_CAL_COMPONENT(a->data)));
                g_slist_free_full(all, g_object_unref);
            } else {
                g_clear_error(&error);
                append(c);
            }
        }

        static const QRegularExpression tzidParam(QStringLiteral("TZID=(\"[^\"]*\"|[^:;\\r\\n]*)"));
        QSet<QString> tzids;
        for (auto m = tzidParam.globalMatch(QString::fromUtf8(events)); m.hasNext();) {
            QString id = m.next().captured(1);
            if (id.startsWith(QLatin1Char('"')))
                id = id.mid(1, id.size() - 2);
            tzids.insert(id);
        }
        QByteArray zones;
        for (const QString &id : std::as_const(tzids)) {
            ICalTimezone *zone = nullptr; // owned by the client
            GError *error = nullptr;
            if (!e_cal_client_get_timezone_sync(client, id.toUtf8().constData(), &zone, cancellable, &error) || !zone) {
                g_clear_error(&error);
                continue; // the reader falls back to the id itself
            }
            if (ICalComponent *vtz = i_cal_timezone_get_component(zone)) {
                if (gchar *s = i_cal_component_as_ical_string(vtz)) {
                    zones += s;
                    g_free(s);
                }
                g_object_unref(vtz);
            }
        }
        return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + zones + events + "END:VCALENDAR\r\n";
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
