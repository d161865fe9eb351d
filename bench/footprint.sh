#!/usr/bin/env bash
# What Corvane costs at rest, side by side in one run under Xvfb: the app with every surface
# hidden, in Bar Mode, on the dashboard (once with the pointer away, once with it resting on
# a card) and on the tests tab, beside a minimal Qt Quick window (one text redrawn once a
# second, software renderer) and conky, each on a display of its own. Two floors run beside
# them: a Qt Quick window that redraws only what the dashboard must change each second (its
# CPU), and a Qt tray icon whose Quick Controls window was shown and closed (its memory).
# After a settle time, each is measured over the same window of time: CPU % of one core,
# wake-ups a second (the threads' voluntary context switches: each is a sleep the scheduler
# ended), resident and anonymous memory, threads and frames a second, with the ratios to the
# Qt window and to conky. Given a reference build, its app runs the same four modes beside
# them ("ref …" rows) and each mode's ratio to it is printed.
#
# Usage: bench/footprint.sh [--quick] [build-dir [reference-build-dir]]   (--quick: 10 s instead of 60 s)
#        FOOTPRINT_THREADS=1 adds each program's CPU thread by thread; FOOTPRINT_SHOTS=<dir>
#        saves each shown surface's screen; FOOTPRINT_POINTER="x y" moves the resting pointer;
#        FOOTPRINT_SMAPS=1 adds the hidden app's resident memory mapping by mapping.
set -euo pipefail
cd "$(dirname "$0")/.."

SETTLE=10
MEASURE=60
BUILD=build
REFBUILD=""
nbuild=0
for a in "$@"; do
  case "$a" in
    --quick) MEASURE=10 ;;
    *) if ((nbuild == 0)); then BUILD="$a"; else REFBUILD="$a"; fi; nbuild=$((nbuild + 1)) ;;
  esac
done
APP="$PWD/$BUILD/corvane"
REFAPP=""
if [ -n "$REFBUILD" ]; then
  REFAPP="$(cd "$REFBUILD" && pwd)/corvane"
  [ -x "$REFAPP" ] || { echo "missing $REFAPP: build the reference first" >&2; exit 1; }
fi
REF="$PWD/$BUILD/bench/corvane_reference_window"
FLOOR="$PWD/$BUILD/bench/corvane_floor_window"
COUNTER="$PWD/$BUILD/bench/libcorvane_frame_counter.so"
for f in "$APP" "$REF" "$FLOOR" "$COUNTER"; do
  [ -e "$f" ] || { echo "missing $f: build first" >&2; exit 1; }
done
for t in Xvfb openbox trayer xdotool conky dbus-run-session; do
  command -v "$t" >/dev/null || { echo "missing $t (scripts/setup.sh installs it)" >&2; exit 1; }
done

# One private session bus for everything started here.
. bench/session.sh
bench_session FOOTPRINT_IN_BUS footprint "$@"

# Each program on its own display (1280×800, openbox, a tray host), so no window covers
# another (an obscured window draws nothing) and each has a pointer of its own.
declare -A DISP
next_display=90
start_display() { # name
  local d=$next_display
  while [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ]; do d=$((d + 1)); done
  next_display=$((d + 1))
  Xvfb ":$d" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  PIDS+=($!)
  for _ in $(seq 50); do DISPLAY=":$d" xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=":$d" openbox >/dev/null 2>&1 &
  PIDS+=($!)
  DISPLAY=":$d" trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  PIDS+=($!)
  DISP[$1]=":$d"
}
on() { local name=$1; shift; DISPLAY="${DISP[$name]}" "$@"; }

export QT_QPA_PLATFORM=xcb
unset QT_QUICK_BACKEND QSG_RHI_BACKEND

# Each program gets its own home (settings, caches) and frame counter file.
home_for() {
  local h="$WORK/home-$1"
  mkdir -p "$h/.config/Corvane"
  printf '[General]\ndidFinishOnboarding=true\ndidRequestPrivacyAuth=true\n' >"$h/.config/Corvane/Corvane.conf"
  echo "$h"
}

start_qt() { # name program...
  local name=$1; shift
  local h; h=$(home_for "$name")
  start_display "$name"
  sleep 1
  # A runtime folder each: one shared would make every later instance hand over to the first.
  mkdir -p -m 700 "$h/run"
  HOME="$h" XDG_CONFIG_HOME="$h/.config" XDG_CACHE_HOME="$h/.cache" XDG_DATA_HOME="$h/.local/share" XDG_RUNTIME_DIR="$h/run" \
    DISPLAY="${DISP[$name]}" FRAME_COUNT_FILE="$WORK/$name.frames" LD_PRELOAD="$COUNTER" "$@" >"$WORK/$name.log" 2>&1 &
  PIDS+=($!)
  eval "PID_$name=$!"
}

# The app's main window: the largest of its windows with that title (the tray icon's window
# carries it too). A window that goes while it is listed (the hidden window gives back its
# native window) makes xdotool fail: that only means "look again".
shown_main_window() { # name: prints the window, if shown
  local x a best="" area=0 p
  p=$(eval echo "\$PID_$1")
  for x in $(on "$1" xdotool search --all --onlyvisible --pid "$p" --name "Corvane Skerrin Widget" 2>/dev/null || true); do
    a=$(on "$1" xdotool getwindowgeometry "$x" 2>/dev/null | awk '/Geometry/ { split($2, g, "x"); print g[1] * g[2] }' || true)
    if [ "${a:-0}" -gt "$area" ]; then area=$a; best=$x; fi
  done
  [ "$area" -gt 10000 ] && echo "$best"
  return 0
}
main_window_of() { # name: waits for the window
  local w
  for _ in $(seq 50); do
    w=$(shown_main_window "$1")
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.2
  done
}

# Sends keys to the app's main window until `done_when` holds: a key sent while the window is
# still being mapped and activated can be lost.
key_until() { # name keys done_when
  local w
  for _ in 1 2 3 4 5; do
    w=$(main_window_of "$1")
    [ -n "$w" ] && { on "$1" xdotool windowactivate --sync "$w" windowfocus --sync "$w" key --clearmodifiers "$2" 2>/dev/null || true; }
    sleep 1
    eval "$3" && return 0
  done
  echo "warning: $2 did not take effect on $1" >&2
}
main_hidden() { [ -z "$(shown_main_window "$1")" ]; }
bar_shown() { on "$1" xdotool search --all --onlyvisible --pid "$(eval echo "\$PID_$1")" --name "Corvane Bar Mode" >/dev/null 2>&1; }
# The main window at the top-left corner of its screen, the pointer where asked (off the
# window unless told: no hover effects under it).
place_main() { # name [x y]
  local w
  w=$(main_window_of "$1")
  on "$1" xdotool windowmove --sync "$w" 0 0 2>/dev/null || true
  on "$1" xdotool mousemove "${2:-1279}" "${3:-799}"
}

# One instance per mode: hidden (the main window closed; the tray keeps the app), Bar Mode
# (its shortcut), the dashboard, the dashboard with the pointer resting on the CPU card
# (off its centre, so the card tilts), and the tests tab.
start_qt hidden "$APP"
key_until hidden alt+F4 'main_hidden hidden'
start_qt bar "$APP"
key_until bar ctrl+d 'bar_shown bar'
start_qt main "$APP"
place_main main
REFNAMES=()
if [ -n "$REFAPP" ]; then
  start_qt refhidden "$REFAPP"
  key_until refhidden alt+F4 'main_hidden refhidden'
  start_qt refbar "$REFAPP"
  key_until refbar ctrl+d 'bar_shown refbar'
  start_qt refmain "$REFAPP"
  place_main refmain
  start_qt reftests "$REFAPP" --tab=tests
  place_main reftests
  REFNAMES=(refhidden refbar refmain reftests)
fi
start_qt pointer "$APP"
place_main pointer
sleep 2 # the cards' entrance
on pointer xdotool mousemove ${FOOTPRINT_POINTER:-330 190}
start_qt tests "$APP" --tab=tests
place_main tests
start_qt qt "$REF"
start_qt changes "$FLOOR" --changes
start_qt tray "$FLOOR" --tray
on qt xdotool windowmove --sync "$(on qt xdotool search --sync --onlyvisible --pid "$PID_qt" | head -1)" 200 200 2>/dev/null || true

cat >"$WORK/conky.conf" <<'EOF'
conky.config = {
    out_to_x = true, own_window = true, own_window_type = 'normal',
    alignment = 'bottom_right', gap_x = 20, gap_y = 20,
    update_interval = 1.0, double_buffer = true, use_xft = true, font = 'DejaVu Sans Mono:size=10',
    minimum_width = 300, minimum_height = 120,
};
conky.text = [[
${time %H:%M:%S}
CPU ${cpu}%  RAM ${memperc}%
${cpubar 6,200}
Up ${upspeed lo}  Down ${downspeed lo}
]];
EOF
start_display conky
sleep 1
DISPLAY="${DISP[conky]}" conky -q -c "$WORK/conky.conf" >"$WORK/conky.log" 2>&1 &
PIDS+=($!)
PID_conky=$!
sleep 1
if ! main_hidden hidden; then
  echo "warning: the hidden instance still shows its main window" >&2
fi
if [ -n "${FOOTPRINT_SHOTS:-}" ]; then
  mkdir -p "$FOOTPRINT_SHOTS"
  for n in main pointer tests bar changes; do on "$n" import -window root "$FOOTPRINT_SHOTS/$n.png" 2>/dev/null || true; done
fi

echo "settling ${SETTLE} s, then measuring ${MEASURE} s" >&2
sleep "$SETTLE"

NAMES=(qt conky changes tray hidden bar main pointer tests "${REFNAMES[@]}")
# CPU time in nanoseconds, summed over the threads (the scheduler's own account: the
# clock-tick counters of /proc/<pid>/stat are too coarse for a tenth of a per cent). Summed
# as a float: mawk's %d stops at 2^31 ns. Thread by thread against the first reading: a thread
# that ends in between (a pool thread expiring) would otherwise take its whole past with it.
cpu_snapshot() { for t in /proc/"$1"/task/*; do echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null)"; done; }
cpu_ns_since() { # pid snapshot-file
  cpu_snapshot "$1" | awk 'NR == FNR { t0[$1] = $2; next } $2 != "" { t += $2 - t0[$1] } END { printf "%.0f\n", t }' "$2" -
}
frames() { [ -f "$WORK/$1.frames" ] && tr -d ' \n' <"$WORK/$1.frames" | sed 's/^0*//; s/^$/0/' || echo ""; }
status() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
# Wake-ups: per thread "tid voluntary-switches", read each second so that a thread that ends
# during the window (a pool thread expiring) keeps what it did; new threads count from zero.
# A thread that ends between the listing and the read is simply left out.
switches() { for t in /proc/"$1"/task/*; do awk -v t="${t##*/}" '$1 == "voluntary_ctxt_switches:" { print t, $2 }' "$t/status" 2>/dev/null || true; done; }
wakeups_since() { # start-file seen-file seconds
  awk -v s="$3" 'NR == FNR { t0[$1] = $2; next } { if ($2 > m[$1]) m[$1] = $2 }
                 END { for (t in m) n += m[t] - (t in t0 ? t0[t] : 0); printf "%.2f\n", n / s }' "$1" "$2"
}
# Per thread "tid ns name", for FOOTPRINT_THREADS=1.
thread_ns() { for t in /proc/"$1"/task/*; do echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null) $(tr ' ' _ <"$t/comm" 2>/dev/null)"; done; }

declare -A F0 RSS ANON THR
for n in "${NAMES[@]}"; do
  p=$(eval echo "\$PID_$n")
  kill -0 "$p" 2>/dev/null || { echo "$n exited early; see $WORK/$n.log" >&2; cat "$WORK/$n.log" >&2; exit 1; }
  cpu_snapshot "$p" >"$WORK/$n.cpu0"
  switches "$p" >"$WORK/$n.sw0"
  cp "$WORK/$n.sw0" "$WORK/$n.sw"
  F0[$n]=$(frames "$n")
  [ -z "${FOOTPRINT_THREADS:-}" ] || thread_ns "$p" >"$WORK/$n.threads0"
done
start=$(date +%s.%N)
# Memory and threads: the largest seen during the window.
end=$(echo "$start + $MEASURE" | bc)
while (( $(echo "$(date +%s.%N) < $end" | bc) )); do
  for n in "${NAMES[@]}"; do
    p=$(eval echo "\$PID_$n")
    r=$(status "$p" VmRSS); a=$(status "$p" RssAnon); t=$(status "$p" Threads)
    (( r > ${RSS[$n]:-0} )) && RSS[$n]=$r
    (( a > ${ANON[$n]:-0} )) && ANON[$n]=$a
    (( t > ${THR[$n]:-0} )) && THR[$n]=$t
    switches "$p" >>"$WORK/$n.sw"
  done
  sleep 1
done
elapsed=$(echo "$(date +%s.%N) - $start" | bc)

declare -A CPU FPS WAKE
for n in "${NAMES[@]}"; do
  p=$(eval echo "\$PID_$n")
  switches "$p" >>"$WORK/$n.sw"
  WAKE[$n]=$(wakeups_since "$WORK/$n.sw0" "$WORK/$n.sw" "$elapsed")
  CPU[$n]=$(echo "scale=4; $(cpu_ns_since "$p" "$WORK/$n.cpu0") * 100 / 1000000000 / $elapsed" | bc)
  f1=$(frames "$n")
  [ -z "${FOOTPRINT_THREADS:-}" ] || thread_ns "$p" >"$WORK/$n.threads1"
  if [ -n "$f1" ] && [ -n "${F0[$n]}" ]; then
    FPS[$n]=$(echo "scale=3; ($f1 - ${F0[$n]}) / $elapsed" | bc)
  else
    FPS[$n]="-"
  fi
done

label() {
  case "$1" in
    qt) echo "Qt Quick window, 1 Hz text" ;; conky) echo "conky" ;;
    changes) echo "Qt Quick, the dashboard's changes only" ;; tray) echo "Qt tray icon, window closed" ;;
    hidden) echo "corvane, every surface hidden" ;; bar) echo "corvane, Bar Mode" ;;
    main) echo "corvane, dashboard" ;; pointer) echo "corvane, dashboard, pointer on a card" ;;
    tests) echo "corvane, tests tab" ;;
    refhidden) echo "ref corvane, every surface hidden" ;; refbar) echo "ref corvane, Bar Mode" ;;
    refmain) echo "ref corvane, dashboard" ;; reftests) echo "ref corvane, tests tab" ;;
  esac
}
printf '\nFootprint over %.1f s after a %d s settle (Xvfb, software renderer)\n\n' "$elapsed" "$SETTLE"
printf '%-38s %8s %8s %9s %10s %8s %8s %9s %10s %9s\n' "program / mode" "CPU %" "wakes/s" "RSS MB" "anon MB" "threads" "frames/s" "CPU ×Qt" "CPU ×conky" "RSS ×Qt"
num() { printf '%.2f' "$1"; }
for n in "${NAMES[@]}"; do
  fps=${FPS[$n]}; [ "$fps" = "-" ] || fps=$(num "$fps")
  cpux="-"; [ "$(echo "${CPU[qt]} > 0" | bc)" = 1 ] && cpux=$(num "$(echo "scale=4; ${CPU[$n]} / ${CPU[qt]}" | bc)")
  cpuc="-"; [ "$(echo "${CPU[conky]} > 0" | bc)" = 1 ] && cpuc=$(num "$(echo "scale=4; ${CPU[$n]} / ${CPU[conky]}" | bc)")
  printf '%-38s %8.2f %8.2f %9.1f %10.1f %8d %8s %9s %10s %9.2f\n' "$(label "$n")" "${CPU[$n]}" "${WAKE[$n]}" \
    "$(echo "scale=2; ${RSS[$n]} / 1024" | bc)" "$(echo "scale=2; ${ANON[$n]} / 1024" | bc)" "${THR[$n]}" "$fps" \
    "$cpux" "$cpuc" "$(echo "scale=4; ${RSS[$n]} / ${RSS[qt]}" | bc)"
done
# Against the floors: what Qt alone needs for the same work.
ratio_row() { # label numerator denominator
  local r="-"
  [ "$(echo "$3 > 0" | bc)" = 1 ] && r=$(num "$(echo "scale=4; $2 / $3" | bc)")
  printf '%-38s %s\n' "$1" "$r"
}
echo
ratio_row "dashboard CPU × its changes alone" "${CPU[main]}" "${CPU[changes]}"
ratio_row "dashboard wake-ups × its changes alone" "${WAKE[main]}" "${WAKE[changes]}"
ratio_row "changes alone, CPU × conky" "${CPU[changes]}" "${CPU[conky]}"
ratio_row "hidden RSS × the closed tray window" "${RSS[hidden]}" "${RSS[tray]}"
ratio_row "closed tray window, RSS × Qt window" "${RSS[tray]}" "${RSS[qt]}"
if [ -n "$REFAPP" ]; then
  ratio_row "ref dashboard CPU × its changes alone" "${CPU[refmain]}" "${CPU[changes]}"
  ratio_row "ref dashboard wake-ups × changes alone" "${WAKE[refmain]}" "${WAKE[changes]}"
  for m in hidden bar main tests; do
    ratio_row "$m: CPU × the reference's" "${CPU[$m]}" "${CPU[ref$m]}"
    ratio_row "$m: wake-ups × the reference's" "${WAKE[$m]}" "${WAKE[ref$m]}"
  done
fi

# Where each program's CPU went, thread by thread (µs of CPU a second).
if [ -n "${FOOTPRINT_THREADS:-}" ]; then
  for n in "${NAMES[@]}"; do
    printf '\n%s\n' "$(label "$n")"
    awk -v s="$elapsed" 'NR == FNR { t0[$1] = $2; next } { printf "%8.0f  %s\n", ($2 - t0[$1]) / 1000 / s, $3 }' \
      "$WORK/$n.threads0" "$WORK/$n.threads1" | sort -rn | head -8
  done
fi

# Where the memory of the app with every surface hidden goes, mapping by mapping beside the
# Qt window's (resident KB; libraries by file name, heap and anonymous maps by kind).
if [ -n "${FOOTPRINT_SMAPS:-}" ]; then
  by_mapping() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { n = ($6 == "") ? "[anon]" : $6; sub(/.*\//, "", n); next }
         $1 == "Rss:" { rss[n] += $2 } END { for (k in rss) print k, rss[k] }' "/proc/$1/smaps"
  }
  by_mapping "$PID_hidden" >"$WORK/hidden.maps"
  for ref in qt tray; do
    by_mapping "$(eval echo "\$PID_$ref")" >"$WORK/$ref.maps"
    printf '\n%s\n%10s %10s %10s  %s\n' "Resident by mapping, corvane hidden vs $(label "$ref") (KB)" "corvane" "$ref" "more" "mapping"
    awk 'NR == FNR { q[$1] = $2; next } { a[$1] = $2 } END {
           for (k in q) if (!(k in a)) a[k] = 0
           for (k in a) printf "%10d %10d %10d  %s\n", a[k], q[k], a[k] - q[k], k }' \
      "$WORK/$ref.maps" "$WORK/hidden.maps" | sort -k3 -rn | awk '$3 >= 200 || $3 <= -200'
  done
fi
