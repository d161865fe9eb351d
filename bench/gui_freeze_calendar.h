#pragma once
// The large-calendar step of corvane_gui_freeze: a calendar monitor over the user's .ics
// folders, as the Bar Mode strip has it, reading one 31 MB calendar of 135,802 events.
#include <QString>

namespace corvane::bench {

// Writes calendars/make_big_calendar.py's calendar of `events` events into `folder`.
bool writeBigCalendar(const QString &folder, int events);
// One read of every calendar in `folder`, from a new monitor's start until its next event
// has landed, while a small animated window is drawn on the calling (GUI) thread.
bool readCalendars(const QString &folder);

} // namespace corvane::bench
