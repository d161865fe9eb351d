#!/usr/bin/env python3
"""Writes calendars shaped like those of common clients (Google, Outlook, Apple, Evolution,
Thunderbird, hand-made exports) into this folder, with the habits each one has: its own
VTIMEZONE names, vendor-prefixed zone ids, Windows zone names, RDATE/EXDATE, moved and
cancelled instances, several rules, WKST, BYSETPOS, stale duplicates."""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))

VTZ = {
    "America/New_York": ("-0500", "-0400", "1SU", 11, "2SU", 3, "EST", "EDT"),
    "Europe/Bucharest": ("+0200", "+0300", "-1SU", 10, "-1SU", 3, "EET", "EEST"),
    "Europe/Berlin": ("+0100", "+0200", "-1SU", 10, "-1SU", 3, "CET", "CEST"),
    "America/Los_Angeles": ("-0800", "-0700", "1SU", 11, "2SU", 3, "PST", "PDT"),
    "Australia/Sydney": ("+1100", "+1000", "1SU", 4, "1SU", 10, "AEST", "AEDT"),
}
# Outlook's names for the same rules.
WINDOWS = {
    "Eastern Standard Time": "America/New_York",
    "GTB Standard Time": "Europe/Bucharest",
    "W. Europe Standard Time": "Europe/Berlin",
    "Pacific Standard Time": "America/Los_Angeles",
    "AUS Eastern Standard Time": "Australia/Sydney",
}
DISPLAY = {
    "Canberra, Melbourne, Sydney": "Australia/Sydney",
    "(UTC-05:00) Eastern Time (US & Canada)": "America/New_York",
    "custom_America/New_York": "America/New_York",
}


def vtimezone(tzid, iana, start="19700101"):
    std, dst, sday, smon, dday, dmon, sname, dname = VTZ[iana]
    if iana == "Australia/Sydney":
        std_from, std_to, dst_from, dst_to = "+1100", "+1000", "+1000", "+1100"
    else:
        std_from, std_to, dst_from, dst_to = dst, std, std, dst
    return (f"BEGIN:VTIMEZONE\r\nTZID:{tzid}\r\n"
            f"BEGIN:STANDARD\r\nDTSTART:{start}T030000\r\nTZOFFSETFROM:{std_from}\r\nTZOFFSETTO:{std_to}\r\n"
            f"TZNAME:{sname}\r\nRRULE:FREQ=YEARLY;BYMONTH={smon};BYDAY={sday}\r\nEND:STANDARD\r\n"
            f"BEGIN:DAYLIGHT\r\nDTSTART:{start}T020000\r\nTZOFFSETFROM:{dst_from}\r\nTZOFFSETTO:{dst_to}\r\n"
            f"TZNAME:{dname}\r\nRRULE:FREQ=YEARLY;BYMONTH={dmon};BYDAY={dday}\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n")


RULES = [
    "FREQ=WEEKLY;BYDAY=MO,WE,FR", "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,TH;WKST=SU", "FREQ=DAILY;COUNT=40",
    "FREQ=DAILY;INTERVAL=3", "FREQ=MONTHLY;BYMONTHDAY=16", "FREQ=MONTHLY;BYDAY=-1FR", "FREQ=MONTHLY;BYDAY=2TU",
    "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1", "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1",
    "FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=5", "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "FREQ=WEEKLY;UNTIL=20261231T235959Z;BYDAY=TH",
    "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SU;WKST=MO", "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SU;WKST=SU",
    "FREQ=MONTHLY;INTERVAL=2;BYMONTHDAY=1,15", "FREQ=YEARLY;BYWEEKNO=10;BYDAY=MO", "FREQ=MONTHLY;BYMONTHDAY=-1",
    "FREQ=WEEKLY;COUNT=30;BYDAY=MO,TH", "FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR", "FREQ=YEARLY;INTERVAL=2;BYMONTH=6;BYDAY=1SA",
]


def fmt(day, hour, minute):
    return f"{day}T{hour:02d}{minute:02d}00"


def calendar(style, seed):
    rnd = random.Random(seed)
    lines = []
    if style == "google":
        iana = rnd.choice(list(VTZ))
        prodid, zone_ids = "-//Google Inc//Google Calendar 70.9054//EN", [(iana, iana)]
    elif style == "outlook":
        win = rnd.choice(list(WINDOWS))
        disp = rnd.choice(list(DISPLAY))
        prodid, zone_ids = "-//Microsoft Corporation//Outlook 16.0 MIMEDIR//EN", [(win, WINDOWS[win]), (disp, DISPLAY[disp])]
    elif style == "apple":
        iana = rnd.choice(list(VTZ))
        prodid, zone_ids = "-//Apple Inc.//macOS 13.4//EN", [(iana, iana)]
    elif style == "evolution":
        iana = rnd.choice(list(VTZ))
        prefixed = rnd.choice([f"/softwarestudio.org/Olson_20011030_5/{iana}", f"/freeassociation.sourceforge.net/Tzfile/{iana}",
                               f"Tzfile/{iana}"])
        prodid, zone_ids = "-//Ximian//NONSGML Evolution Calendar//EN", [(prefixed, iana)]
    else:  # thunderbird
        iana = rnd.choice(list(VTZ))
        prodid, zone_ids = "-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN", [(iana, iana), (f"/mozilla.org/20070129_1/{iana}", iana)]
    lines.append(f"BEGIN:VCALENDAR\r\nPRODID:{prodid}\r\nVERSION:2.0\r\nCALSCALE:GREGORIAN\r\n")
    for tzid, iana in zone_ids:
        # Evolution often leaves its zones out; Outlook's start in 1601.
        if style == "evolution" and rnd.random() < 0.5:
            continue
        lines.append(vtimezone(tzid, iana, "16010101" if style == "outlook" else "19700101"))
    for n in range(rnd.randint(8, 18)):
        uid = f"{style}-{seed}-{n}@example.com"
        tzid, _ = rnd.choice(zone_ids)
        year = rnd.choice([2019, 2023, 2025, 2026])
        month, dom = rnd.randint(1, 12), rnd.randint(1, 27)
        day = f"{year}{month:02d}{dom:02d}"
        hour, minute = rnd.randint(7, 20), rnd.choice([0, 15, 30, 45])
        kind = rnd.random()
        ev = [f"BEGIN:VEVENT\r\nUID:{uid}\r\nDTSTAMP:20260101T120000Z\r\nSUMMARY:{style} event {n}\r\n"]
        rule = rnd.choice(RULES) if rnd.random() < 0.8 else None
        if kind < 0.15:  # all-day, birthdays and holidays
            ev.append(f"DTSTART;VALUE=DATE:{day}\r\nDTEND;VALUE=DATE:{day[:6]}{dom + 1:02d}\r\n")
            if rule:
                ev.append(f"RRULE:{rule}\r\n")
        else:
            if kind < 0.25:
                ev.append(f"DTSTART:{fmt(day, hour, minute)}Z\r\nDURATION:PT45M\r\n")
            elif kind < 0.3 and style != "evolution":
                ev.append(f"DTSTART:{fmt(day, hour, minute)}\r\nDTEND:{fmt(day, hour + 1, minute)}\r\n")  # floating
            else:
                ev.append(f"DTSTART;TZID=\"{tzid}\":{fmt(day, hour, minute)}\r\nDTEND;TZID=\"{tzid}\":{fmt(day, hour + 1, minute)}\r\n")
            if rule:
                ev.append(f"RRULE:{rule}\r\n")
                if rnd.random() < 0.25:
                    ev.append(f"RRULE:FREQ=WEEKLY;BYDAY={rnd.choice(['SA', 'SU'])}\r\n")
                if rnd.random() < 0.4:
                    ev.append(f"EXDATE;TZID=\"{tzid}\":{fmt('20260304', hour, minute)},{fmt('20261021', hour, minute)}\r\n"
                              if "TZID" in ev[1] else f"EXDATE:{fmt('20260304', hour, minute)}Z\r\n")
            if rnd.random() < 0.3:
                extra = rnd.choice(["20260303", "20260325", "20261020", "20261230", "20270224"])
                ev.append(f"RDATE;TZID=\"{tzid}\":{fmt(extra, hour, minute)}\r\n" if "TZID" in ev[1]
                          else f"RDATE:{fmt(extra, hour, minute)}Z\r\n")
        if rnd.random() < 0.1:
            ev.append("STATUS:CANCELLED\r\n")
        ev.append("END:VEVENT\r\n")
        lines.append("".join(ev))
        # The first instance moved into a week that is looked at, or cancelled.
        if rule and kind >= 0.3 and rnd.random() < 0.3:
            rid = fmt(day, hour, minute)
            status = "STATUS:CANCELLED\r\n" if rnd.random() < 0.3 else ""
            lines.append(f"BEGIN:VEVENT\r\nUID:{uid}\r\nDTSTAMP:20260101T120000Z\r\nSUMMARY:{style} moved {n}\r\n{status}"
                         f"RECURRENCE-ID;TZID=\"{tzid}\":{rid}\r\nDTSTART;TZID=\"{tzid}\":{fmt('20260305', 9, 30)}\r\n"
                         f"DTEND;TZID=\"{tzid}\":{fmt('20260305', 10, 0)}\r\nEND:VEVENT\r\n")
        # A stale copy left by a sync, with a lower sequence.
        if rnd.random() < 0.1:
            lines.append("".join(ev).replace("SUMMARY:", "SEQUENCE:0\r\nSUMMARY:stale ").replace(
                "DTSTAMP:20260101T120000Z", "DTSTAMP:20250101T120000Z"))
            lines[-2] = lines[-2].replace("SUMMARY:", "SEQUENCE:3\r\nSUMMARY:", 1)
    lines.append("END:VCALENDAR\r\n")
    return "".join(lines)


if __name__ == "__main__":
    styles = ["google", "outlook", "apple", "evolution", "thunderbird"]
    for i in range(60):
        style = styles[i % len(styles)]
        with open(os.path.join(HERE, f"{style}-{i:02d}.ics"), "w", newline="") as f:
            f.write(calendar(style, i))
