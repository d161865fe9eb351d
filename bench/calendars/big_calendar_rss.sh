#!/usr/bin/env bash
# Resident memory of the app reading one large calendar: the file is written by
# make_big_calendar.py (135,802 events, 31 MB) into a folder listed under
# "calendar.icsFolders", and the app runs under Xvfb in Bar Mode with the calendar pill (the
# calendar's only reader) for SECONDS: it reads the calendar at once, then every minute.
#
#   bench/calendars/big_calendar_rss.sh <build-dir or corvane binary> [SECONDS]   (default 75)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
app="$(realpath "$1")"
[ -d "$app" ] && app="$app/corvane"
seconds="${2:-75}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/calendars" "$work/home/.config/Corvane" "$work/run"
chmod 700 "$work/run"
"$here/make_big_calendar.py" "$work/calendars/big.ics"
printf '[General]\ndidFinishOnboarding=true\nbar.pill.calendar=true\ncalendar.icsFolders=%s\n' "$work/calendars" \
  > "$work/home/.config/Corvane/Corvane.conf"

cat > "$work/measure.sh" <<EOF
#!/usr/bin/env bash
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/run"
"$app" >/dev/null 2>&1 &
pid=\$!
kb() { awk -v k="\$1:" '\$1 == k { print \$2 }' /proc/\$pid/status; }
sleep 2
start=\$(kb VmRSS)
xdotool windowfocus --sync "\$(xdotool search --sync --pid \$pid --onlyvisible | head -1)" key ctrl+d
end=\$(( \$(date +%s) + $seconds ))
while [ "\$(date +%s)" -lt "\$end" ]; do sleep 0.5; done
printf 'resident: %d MB before Bar Mode, peak %d MB, %d MB after %d s\n' \$((start / 1024)) \$((\$(kb VmHWM) / 1024)) \
  \$((\$(kb VmRSS) / 1024)) $seconds
kill \$pid
wait \$pid 2>/dev/null || true
EOF
chmod +x "$work/measure.sh"
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session "$work/measure.sh" 2>/dev/null
