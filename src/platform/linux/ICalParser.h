#pragma once
// iCalendar files read and expanded with libical: the occurrences of their VEVENTs in a
// time range. Zones come from the file's VTIMEZONEs (outside the years one covers, from the
// system's zone of that name where there is one), then the system's zone database (aliases
// included, also behind Evolution's and Mozilla's prefixes), then Windows ids; anything else
// is floating (local) time.
#include "platform/CalendarStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <cstdint>
#include <stop_token>

typedef struct icalcomponent_impl icalcomponent;
typedef struct _icaltimezone icaltimezone;
struct icaltimetype;
struct icaldurationtype;

namespace corvane::ical {

// The work one refresh may do over all of its files. Foreign rules can ask for
// arbitrarily many iterations; once the steps are spent the rest is skipped.
struct Budget {
    int64_t steps = 200'000;
    std::stop_token stop;
    int64_t rulesExpanded = 0; // rules handed to libical's iterator (its own search is uncounted)
    int64_t eventsHeld = 0;    // VEVENTs kept parsed for the expansion; a file's others are let go
    bool spent() const { return steps <= 0 || stop.stop_requested(); }
};

// At most this many occurrences of one event in one range (a SECONDLY rule has 604,800 a week).
inline constexpr int kMaxOccurrencesPerEvent = 2000;

// The occurrences of every event in `text` that overlap [from, to), in file order and,
// within an event, ascending; a moved instance follows its series. All-day events span
// their local days, each from its first instant. Cancelled events and instances are left
// out; of copies with the same UID (and RECURRENCE-ID) the newest (SEQUENCE, then
// LAST-MODIFIED/DTSTAMP, then the later one in the file) counts.
QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to,
                                 Budget &budget);
QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to);

// Readies an event for a walker that starts at DTSTART with no budget of its own (the
// desktop store's): rules that cannot match near [from, to) are removed and a long walk
// begins near the range. False when the walk would still be too long (the steps are spent).
bool boundRules(icalcomponent *event, const QDateTime &from, const QDateTime &to, Budget &budget);

// The instant (UTC msecs) of a wall time read in `zone` (nullptr: as UTC); of the two that a
// time in the hour repeated when clocks go back names, the first.
int64_t instantMs(const icaltimetype &wall, icaltimezone *zone);
// The end of a timed event starting at `start` in `zone` that lasts `duration`: its days and
// weeks are calendar days there, its hours and less exact.
int64_t endAfter(const icaltimetype &start, icaltimezone *zone, const icaldurationtype &duration);

} // namespace corvane::ical
