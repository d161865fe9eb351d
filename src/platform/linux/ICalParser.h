#pragma once
// A small iCalendar (RFC 5545) reader: the VEVENTs of a file, expanded into occurrences.
// Understands line folding, escaped text, DATE / DATE-TIME values (UTC, TZID or floating),
// DTEND or DURATION, EXDATE, RECURRENCE-ID overrides and RRULEs with FREQ
// DAILY/WEEKLY/MONTHLY/YEARLY, INTERVAL, COUNT, UNTIL and BYDAY. A rule with parts
// beyond those yields only its first occurrence rather than guessed ones.
#include "platform/CalendarStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>

namespace corvane::ical {

// Joins folded lines (a line break followed by a space or tab continues the line).
QList<QByteArray> unfoldLines(const QByteArray &text);
// Resolves \\, \; \, \n and \N in a TEXT value.
QString unescapeText(const QString &value);

// The occurrences of every event in `text` that overlap [from, to), in file order and,
// within an event, ascending. All-day events start at local midnight.
QList<CalendarEvent> occurrences(const QByteArray &text, const QDateTime &from, const QDateTime &to);

} // namespace corvane::ical
