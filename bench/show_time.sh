#!/usr/bin/env bash
# How long the main window takes to come back after it was closed to the tray and every
# surface has been hidden long enough for the app to let its screens go, side by side for two
# builds in one run (each on a display of its own under Xvfb with openbox and a tray host).
# A second launch hands over and brings the window to the front, as a launcher would; the
# time runs from that launch to the first frame the window puts on screen.
#
# Usage: bench/show_time.sh [rounds] build-dir [reference-build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."

ROUNDS=5
case "${1:-}" in [0-9]*) ROUNDS=$1; shift ;; esac
BUILDS=("${1:-build}")
[ -n "${2:-}" ] && BUILDS+=("$2")
for t in Xvfb openbox trayer xdotool dbus-run-session; do
  command -v "$t" >/dev/null || { echo "missing $t (scripts/setup.sh installs it)" >&2; exit 1; }
done
. bench/session.sh
bench_session SHOWTIME_IN_BUS showtime "$ROUNDS" "$@"
export QT_QPA_PLATFORM=xcb
unset QT_QUICK_BACKEND QSG_RHI_BACKEND

next_display=120
run_one() { # index build-dir: prints the show times in ms, one a line
  local i=$1 dir="$PWD/$2" d h app log
  app="$dir/corvane"
  [ -x "$app" ] && [ -e "$dir/bench/libcorvane_frame_counter.so" ] || { echo "missing $app or its frame counter: build first" >&2; return 1; }
  d=$((next_display + i * 10))
  while [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ]; do d=$((d + 1)); done
  Xvfb ":$d" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! >>"$WORK/pids"
  for _ in $(seq 50); do DISPLAY=":$d" xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=":$d" openbox >/dev/null 2>&1 &
  echo $! >>"$WORK/pids"
  DISPLAY=":$d" trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  echo $! >>"$WORK/pids"
  h="$WORK/home-$i"
  mkdir -p "$h/.config/Corvane" "$h/run" && chmod 700 "$h/run"
  printf '[General]\ndidFinishOnboarding=true\ndidRequestPrivacyAuth=true\n' >"$h/.config/Corvane/Corvane.conf"
  log="$WORK/app-$i.log"
  launch() {
    HOME="$h" XDG_CONFIG_HOME="$h/.config" XDG_CACHE_HOME="$h/.cache" XDG_DATA_HOME="$h/.local/share" \
      XDG_RUNTIME_DIR="$h/run" DISPLAY=":$d" "$@"
  }
  FRAME_TRACE=1 FRAME_COUNT_FILE="$WORK/frames-$i" LD_PRELOAD="$dir/bench/libcorvane_frame_counter.so" \
    launch "$app" >"$log" 2>&1 &
  echo $! >>"$WORK/pids"
  shown() { DISPLAY=":$d" xdotool search --onlyvisible --name "Corvane Skerrin Widget" 2>/dev/null | head -1 || true; }
  local w r t0 line f
  for r in $(seq 0 "$ROUNDS"); do
    for _ in $(seq 100); do w=$(shown); [ -n "$w" ] && break; sleep 0.1; done
    [ -n "$w" ] || { echo "the window did not come back" >&2; return 1; }
    sleep 3 # the cards' entrance
    for _ in 1 2 3 4 5; do
      DISPLAY=":$d" xdotool windowactivate --sync "$w" key --clearmodifiers alt+F4 2>/dev/null || true
      sleep 0.5
      [ -z "$(shown)" ] && break
    done
    sleep 15 # every surface hidden long enough that the app lets its screens and its engine go
    line=$(wc -l <"$log")
    t0=$(date +%s.%N)
    launch "$app" --tab=live >/dev/null 2>&1
    for _ in $(seq 100); do
      f=$(tail -n +"$((line + 1))" "$log" | awk '/^frame / { print $4; exit }')
      [ -n "$f" ] && break
      sleep 0.05
    done
    [ -n "$f" ] || { echo "no frame after the launch" >&2; return 1; }
    # The frame counter stamps seconds modulo 100.
    [ "$r" -eq 0 ] || awk -v t0="$t0" -v f="${f%:}" 'BEGIN { s = t0 % 100; d = f - s; if (d < 0) d += 100; printf "%.0f\n", d * 1000 }'
  done
  return 0
}

for i in "${!BUILDS[@]}"; do
  run_one "$i" "${BUILDS[$i]}" >"$WORK/times-$i" &
  echo $! >>"$WORK/pids.runs"
done
wait $(cat "$WORK/pids.runs") || true
mapfile -t PIDS <"$WORK/pids"

printf '\nMain window shown again after every surface was hidden (ms from a second launch to its first frame, %d rounds)\n' "$ROUNDS"
printf '%-28s %8s %8s %8s\n' build median min max
for i in "${!BUILDS[@]}"; do
  sort -n "$WORK/times-$i" | awk -v b="${BUILDS[$i]}" '{ v[NR] = $1 } END {
    if (NR == 0) { printf "%-28s %8s\n", b, "failed"; exit }
    printf "%-28s %8d %8d %8d\n", b, v[int((NR + 1) / 2)], v[1], v[NR] }'
done
