#!/usr/bin/python3
"""Compares corvane_calendar_dump with a second RFC 5545 expander (python3-icalendar for
parsing and VTIMEZONEs, python3-dateutil for the rules) on every .ics file given, over
several 7-day windows. Floating times and all-day events are read in the zone TZ names
(UTC when it is unset), as the dump tool reads them in local time.

    TZ=Europe/Bucharest bench/calendars/compare.py --around build/bench/corvane_calendar_dump bench/calendars/*.ics

With --around, each file is also compared over the weeks of its own events (the Monday before
each of up to six of its DTSTARTs, spread over the file) and the current week, so that
calendars of any year are held against their own dates, not only the fixed ones.
"""
import datetime as dt
import os
import subprocess
import sys
import zoneinfo

import icalendar
import pytz
from dateutil import rrule

WINDOWS = ["2026-03-02", "2026-03-23", "2026-10-19", "2026-12-28", "2027-02-22", "2030-06-03"]
WINDOWS_IDS = {  # the Windows names the calendars use, as CLDR maps them
    "Eastern Standard Time": "America/New_York", "GTB Standard Time": "Europe/Bucharest",
    "W. Europe Standard Time": "Europe/Berlin", "Pacific Standard Time": "America/Los_Angeles",
    "AUS Eastern Standard Time": "Australia/Sydney",
}
UTC = pytz.utc
LOCAL = zoneinfo.ZoneInfo(os.environ.get("TZ") or "UTC")


def zone_for(tzid, vtimezones):
    if tzid is None:
        return None
    if tzid in vtimezones:
        return vtimezones[tzid]
    parts = tzid.split("/")
    for i in range(len(parts)):
        cand = "/".join(parts[i:])
        if cand in pytz.all_timezones_set:
            return pytz.timezone(cand)
    if tzid in WINDOWS_IDS:
        return pytz.timezone(WINDOWS_IDS[tzid])
    return None  # floating


def wall_and_zone(prop, vtimezones):
    """(naive wall datetime or date, zone or None, is_utc)"""
    raw = prop.to_ical().decode()
    tzid = prop.params.get("TZID")
    if len(raw) == 8:
        return dt.date(int(raw[:4]), int(raw[4:6]), int(raw[6:8])), None
    wall = dt.datetime.strptime(raw[:15], "%Y%m%dT%H%M%S")
    if raw.endswith("Z"):
        return wall, UTC
    return wall, zone_for(tzid, vtimezones)


def to_utc(wall, zone):
    if zone is None:
        return wall.replace(tzinfo=LOCAL).astimezone(UTC)  # floating: local time
    if zone is UTC:
        return UTC.localize(wall)
    return zone.normalize(zone.localize(wall, is_dst=False)).astimezone(UTC) if hasattr(zone, "localize") \
        else wall.replace(tzinfo=zone).astimezone(UTC)


def values(comp, name):
    v = comp.get(name)
    if v is None:
        return []
    return v if isinstance(v, list) else [v]


def expand(path, lo=dt.datetime(2026, 1, 1), hi=dt.datetime(2030, 7, 1)):
    cal = icalendar.Calendar.from_ical(open(path, "rb").read())
    vtimezones = {}
    for vtz in cal.walk("VTIMEZONE"):
        try:
            vtimezones[str(vtz["TZID"])] = vtz.to_tz()
        except Exception:
            pass
    chosen = {}
    for i, ev in enumerate(cal.walk("VEVENT")):
        if "DTSTART" not in ev:  # nothing to place in time
            continue
        rid = ev.get("RECURRENCE-ID")
        uid = str(ev["UID"]) if "UID" in ev else f"#{i}"  # without a UID each event stands alone
        key = (uid, rid.to_ical() if rid is not None else None)
        stamp = (int(ev.get("SEQUENCE", 0)), ev["DTSTAMP"].to_ical() if "DTSTAMP" in ev else b"", i)
        if key not in chosen or chosen[key][0] < stamp:
            chosen[key] = (stamp, ev)
    masters = [(uid, s, e) for (uid, rid), (s, e) in chosen.items() if rid is None]
    overrides = {}
    for (uid, rid), (s, e) in chosen.items():
        if rid is not None:
            overrides.setdefault(uid, []).append(e)

    def instance(ev):
        start, zone = wall_and_zone(ev["DTSTART"], vtimezones)
        if isinstance(start, dt.datetime):
            s = to_utc(start, zone)
            if "DTEND" in ev:
                ew, ez = wall_and_zone(ev["DTEND"], vtimezones)
                e = to_utc(ew, ez)
            elif "DURATION" in ev:
                e = s + ev.decoded("DURATION")
            else:
                e = s
            return ("T", s, e)
        days = 1
        if "DTEND" in ev:
            days = max(1, (wall_and_zone(ev["DTEND"], vtimezones)[0] - start).days)
        return ("D", start, days)

    out = []  # (kind, start, end/days, title)
    master_uids = {uid for uid, _, _ in masters}
    for uid, found in overrides.items():  # an instance sent without its series still happens
        if uid in master_uids:
            continue
        for o in found:
            if str(o.get("STATUS", "")).upper() != "CANCELLED":
                k, s, e = instance(o)
                out.append((k, s, e, str(o.get("SUMMARY", ""))))
    for uid, _, ev in masters:
        title = str(ev.get("SUMMARY", ""))
        start, zone = wall_and_zone(ev["DTSTART"], vtimezones)
        base = instance(ev)
        timed = base[0] == "T"
        length = base[2] - base[1] if timed else base[2]
        rset = rrule.rruleset()
        rset.rdate(start if timed else dt.datetime.combine(start, dt.time()))
        for r in values(ev, "RRULE"):
            text = r.to_ical().decode()
            parts = []
            for p in text.split(";"):
                if p.startswith("UNTIL=") and p.endswith("Z") and zone not in (None, UTC) and timed:
                    u = UTC.localize(dt.datetime.strptime(p[6:21], "%Y%m%dT%H%M%S"))
                    p = "UNTIL=" + u.astimezone(zone).strftime("%Y%m%dT%H%M%S")
                elif p.startswith("UNTIL=") and p.endswith("Z"):
                    p = p[:-1]
                parts.append(p)
            rset.rrule(rrule.rrulestr(";".join(parts), dtstart=start if timed else dt.datetime.combine(start, dt.time())))
        for p in values(ev, "RDATE"):
            raw = p.to_ical().decode()
            for item in raw.split(","):
                w = dt.datetime.strptime(item[:15], "%Y%m%dT%H%M%S") if len(item) > 8 else dt.datetime.strptime(item, "%Y%m%d")
                z = UTC if item.endswith("Z") else zone_for(p.params.get("TZID"), vtimezones)
                if z is zone or not timed:
                    rset.rdate(w)
                else:
                    # into the series' wall time; a floating series' wall time is local
                    rset.rdate(to_utc(w, z).astimezone(zone if zone is not None else LOCAL).replace(tzinfo=None))
        excluded = set()
        for p in values(ev, "EXDATE"):
            raw = p.to_ical().decode()
            for item in raw.split(","):
                if len(item) > 8:
                    w = dt.datetime.strptime(item[:15], "%Y%m%dT%H%M%S")
                    z = UTC if item.endswith("Z") else zone_for(p.params.get("TZID"), vtimezones)
                    excluded.add(to_utc(w, z))
                else:
                    excluded.add(dt.datetime.strptime(item, "%Y%m%d").date())
        moved = {}
        for o in overrides.get(uid, []):
            w, z = wall_and_zone(o["RECURRENCE-ID"], vtimezones)
            moved[to_utc(w, z) if isinstance(w, dt.datetime) else w] = o
        cancelled = str(ev.get("STATUS", "")).upper() == "CANCELLED"
        for w in rset.between(lo - dt.timedelta(days=40), hi, inc=True):
            if timed:
                s = to_utc(w, zone)
                key = s
                if s in excluded or key in moved or cancelled:
                    continue
                out.append(("T", s, s + length, title))
            else:
                d = w.date()
                if d in excluded or d in moved or cancelled:
                    continue
                out.append(("D", d, length, title))
        for o in overrides.get(uid, []):
            if str(o.get("STATUS", "")).upper() == "CANCELLED":
                continue
            k, s, e = instance(o)
            out.append((k, s, e, str(o.get("SUMMARY", ""))))
    return out


def windows_around(path):
    """Mondays before the file's own event starts (at most six, spread) and this week's Monday."""
    cal = icalendar.Calendar.from_ical(open(path, "rb").read())
    days = set()
    for ev in cal.walk("VEVENT"):
        if "DTSTART" not in ev:
            continue
        raw = ev["DTSTART"].to_ical().decode()
        try:
            days.add(dt.date(int(raw[:4]), int(raw[4:6]), int(raw[6:8])))
        except ValueError:
            pass
    days = sorted(d for d in days if 1971 <= d.year <= 2099)
    if len(days) > 6:
        days = [days[i * (len(days) - 1) // 5] for i in range(6)]
    today = dt.date.today()
    days.append(today)
    starts = sorted({d - dt.timedelta(days=d.weekday()) for d in days})
    return [d.isoformat() for d in starts]


def reference(path, windows=WINDOWS):
    first_day = dt.datetime.strptime(min(windows), "%Y-%m-%d")
    last_day = dt.datetime.strptime(max(windows), "%Y-%m-%d")
    events = expand(path, min(first_day, dt.datetime(2026, 1, 1)), max(last_day, dt.datetime(2030, 7, 1)))
    lines = []
    for w, first in enumerate(windows):
        lo = UTC.localize(dt.datetime.strptime(first, "%Y-%m-%d"))
        hi = lo + dt.timedelta(days=7)
        for kind, s, e, title in events:
            if kind == "T":
                hit = (e > lo and s < hi) if e > s else (lo <= s < hi)
                if hit:
                    lines.append(f"{w} T {s.strftime('%Y-%m-%dT%H:%M:%SZ')} {e.strftime('%Y-%m-%dT%H:%M:%SZ')} {' '.join(title.split())}")
            else:
                s0 = dt.datetime.combine(s, dt.time()).replace(tzinfo=LOCAL).astimezone(UTC)
                e0 = s0 + dt.timedelta(days=e)
                if e0 > lo and s0 < hi:
                    lines.append(f"{w} D {s.isoformat()} {e} {' '.join(title.split())}")
    return sorted(lines)


def ours(tool, path, windows=WINDOWS):
    lines = []
    for w, first in enumerate(windows):
        res = subprocess.run([tool, path, first, "1"], capture_output=True, text=True, check=True)
        lines += [f"{w} " + l.split(" ", 1)[1] for l in res.stdout.splitlines()]
    return sorted(lines)


def main():
    args = sys.argv[1:]
    around = "--around" in args
    args = [a for a in args if a != "--around"]
    tool, files = args[0], args[1:]
    agree = total_occ = same_occ = 0
    unread = []
    for path in files:
        try:
            windows = sorted(set(WINDOWS) | set(windows_around(path))) if around else WINDOWS
            ref = reference(path, windows)
        except Exception as e:  # the reference cannot read or expand this file
            unread.append(path)
            print(f"REFERENCE FAILED {path}: {type(e).__name__}: {e}")
            continue
        got = ours(tool, path, windows)
        common = len(list((__import__("collections").Counter(ref) & __import__("collections").Counter(got)).elements()))
        total_occ += max(len(ref), len(got))
        same_occ += common
        if ref == got:
            agree += 1
        else:
            print(f"DIFFERS {path}")
            for l in sorted(set(ref) - set(got)):
                print("  reference only:", l)
            for l in sorted(set(got) - set(ref)):
                print("  corvane only:  ", l)
    compared = len(files) - len(unread)
    if unread:
        print(f"reference could not read {len(unread)} of {len(files)} files")
    print(f"calendars agreeing fully: {agree}/{compared} = {100.0 * agree / max(1, compared):.1f} %")
    print(f"occurrences agreeing: {same_occ}/{total_occ} = {100.0 * same_occ / max(1, total_occ):.1f} %")


if __name__ == "__main__":
    main()
