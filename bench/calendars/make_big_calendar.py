#!/usr/bin/python3
"""Writes one large calendar shaped like a long-kept work calendar: years of single meetings
in a named zone (with its VTIMEZONE), some all-day days, a few weekly series with moved and
cancelled instances, re-sent copies of the same UID, and a dozen meetings in the coming
week, the only ones a 7-day window can show.

    bench/calendars/make_big_calendar.py OUT.ics [EVENTS]   (default 135802 events: 31 MB)
"""
import datetime as dt
import random
import sys

out = sys.argv[1]
events = int(sys.argv[2]) if len(sys.argv) > 2 else 135_802

rng = random.Random(40)
ZONE = "Europe/Bucharest"
now = dt.datetime.utcnow().replace(minute=0, second=0, microsecond=0)
first = dt.datetime(2004, 1, 5, 9, 0)
span = (now - first).days - 14
lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Corvane//big calendar//EN", "CALSCALE:GREGORIAN",
         "BEGIN:VTIMEZONE", f"TZID:{ZONE}",
         "BEGIN:DAYLIGHT", "TZOFFSETFROM:+0200", "TZOFFSETTO:+0300", "TZNAME:EEST", "DTSTART:19970330T030000",
         "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "END:DAYLIGHT",
         "BEGIN:STANDARD", "TZOFFSETFROM:+0300", "TZOFFSETTO:+0200", "TZNAME:EET", "DTSTART:19971026T040000",
         "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "END:STANDARD", "END:VTIMEZONE"]
head = "\r\n".join(lines) + "\r\n"


def wall(t):
    return t.strftime("%Y%m%dT%H%M%S")


def event(i, start, minutes, extra=()):
    stamp = start - dt.timedelta(days=rng.randint(1, 30))
    body = [f"UID:{wall(start)}-{i}@corvane.example", f"DTSTAMP:{wall(stamp)}Z",
            f"DTSTART;TZID={ZONE}:{wall(start)}", f"DTEND;TZID={ZONE}:{wall(start + dt.timedelta(minutes=minutes))}",
            f"SUMMARY:Întâlnire proiect {i % 977}", f"LOCATION:Sala {i % 12 + 1}", *extra]
    return body


blocks = []
for i in range(events):
    kind = i % 100
    if i < 12:  # the coming week
        start = now + dt.timedelta(hours=3 + 13 * i)
        blocks.append(event(i, start, 45))
        continue
    start = first + dt.timedelta(days=rng.randrange(span), hours=rng.randrange(10), minutes=15 * rng.randrange(4))
    if kind == 0:  # all day
        day = start.date()
        blocks.append([f"UID:day-{i}@corvane.example", f"DTSTAMP:{wall(start)}Z",
                       f"DTSTART;VALUE=DATE:{day:%Y%m%d}", f"DTEND;VALUE=DATE:{day + dt.timedelta(days=1):%Y%m%d}",
                       f"SUMMARY:Concediu {i % 53}", "TRANSP:TRANSPARENT"])
    elif kind == 1:  # a weekly series that ended, with one moved and one cancelled instance
        until = start + dt.timedelta(weeks=rng.randint(4, 40))
        uid = f"series-{i}@corvane.example"
        blocks.append([f"UID:{uid}", f"DTSTAMP:{wall(start)}Z", f"DTSTART;TZID={ZONE}:{wall(start)}",
                       f"DTEND;TZID={ZONE}:{wall(start + dt.timedelta(minutes=30))}", f"SUMMARY:Sincron {i % 31}",
                       f"RRULE:FREQ=WEEKLY;UNTIL={wall(until)}Z", "SEQUENCE:1"])
        moved = start + dt.timedelta(weeks=2)
        blocks.append([f"UID:{uid}", f"RECURRENCE-ID;TZID={ZONE}:{wall(moved)}", f"DTSTAMP:{wall(start)}Z",
                       f"DTSTART;TZID={ZONE}:{wall(moved + dt.timedelta(hours=2))}",
                       f"DTEND;TZID={ZONE}:{wall(moved + dt.timedelta(hours=2, minutes=30))}",
                       f"SUMMARY:Sincron {i % 31} (mutat)", "SEQUENCE:1"])
        gone = start + dt.timedelta(weeks=3)
        blocks.append([f"UID:{uid}", f"RECURRENCE-ID;TZID={ZONE}:{wall(gone)}", f"DTSTAMP:{wall(start)}Z",
                       f"DTSTART;TZID={ZONE}:{wall(gone)}", f"DTEND;TZID={ZONE}:{wall(gone + dt.timedelta(minutes=30))}",
                       "STATUS:CANCELLED", f"SUMMARY:Sincron {i % 31}", "SEQUENCE:1"])
    elif kind == 2:  # re-sent with a later sequence
        body = event(i, start, 60)
        blocks.append(body)
        blocks.append(body + ["SEQUENCE:1"])
    else:
        blocks.append(event(i, start, rng.choice((30, 45, 60, 90))))
    if len(blocks) >= events:
        break
blocks = blocks[:events]

with open(out, "wb") as f:
    f.write(head.encode())
    for b in blocks:
        f.write(("BEGIN:VEVENT\r\n" + "".join(l + "\r\n" for l in b) + "END:VEVENT\r\n").encode())
    f.write(b"END:VCALENDAR\r\n")
