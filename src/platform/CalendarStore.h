#pragma once
// The user's calendars: whether any can be read, asking for them, and the events of a
// time range. On Linux: the desktop's calendar store (evolution-data-server), or the
// user's iCalendar files where no store runs.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stop_token>

namespace corvane {

// One occurrence of an event. An invalid start or end means the source gave none.
struct CalendarEvent {
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QDateTime startDate MEMBER startDate)
    Q_PROPERTY(QDateTime endDate MEMBER endDate)
    Q_PROPERTY(bool isAllDay MEMBER isAllDay)
public:
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    bool isAllDay = false;
    bool operator==(const CalendarEvent &) const = default;
};

struct CalendarAccess {
    bool granted = false;
    std::optional<QString> error; // a readable description when the request itself failed
};

// Calls may block on file reads: keep them off the GUI thread.
class CalendarStore {
public:
    virtual ~CalendarStore() = default;
    // Access counts as granted when at least one calendar can be read.
    virtual bool isAuthorized() = 0;
    virtual CalendarAccess requestAccess() = 0;
    // Identifiers of the readable event calendars; a stop request ends the search early.
    virtual QStringList calendars(std::stop_token stop = {}) = 0;
    // Occurrences in those calendars that overlap [start, end), in source order. Gives up
    // early (with what it has) once `stop` is requested.
    virtual QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end,
                                        const QStringList &calendars, std::stop_token stop = {}) = 0;
};

// Evolution's calendars under <dataHome>/evolution/calendar/*/calendar.ics, plus every
// .ics file in `folders` and their real sub-folders (links to folders are not followed).
std::unique_ptr<CalendarStore> makeIcsFileCalendarStore(const QString &dataHome, const QStringList &folders);
// Every enabled calendar of the user's accounts through evolution-data-server; nullptr when
// its registry cannot be reached. Call on the thread that will use the store.
std::unique_ptr<CalendarStore> makeEdsCalendarStore();
// Opens the desktop's calendar settings (an installed calendar application); false when none.
bool openCalendarSettings();
// The user's store: evolution-data-server, decided on first use (on the calling thread),
// falling back to the files of $XDG_DATA_HOME and the folders under "calendar.icsFolders".
std::unique_ptr<CalendarStore> makeLinuxCalendarStore();

} // namespace corvane
