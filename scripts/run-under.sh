#!/usr/bin/env bash
# Test launcher: runs a test binary under a display server and/or a private session bus.
#   run-under.sh xvfb CMD...   |  run-under.sh dbus CMD...  |  run-under.sh xvfb-dbus CMD...
#   run-under.sh xvfb-wm CMD... (Xvfb with openbox managing the windows, private session bus)
set -euo pipefail
mode=$1; shift
# Mesa's drivers are unloaded before the leak check at exit, and they keep no frame pointers:
# a fast unwind leaves their allocations nameless, so no suppression can match them. A full
# unwind records the library names while they are still loaded.
if [[ -n "${ASAN_OPTIONS:-}" && "$mode" == xvfb* ]]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0"
fi
case "$mode" in
  xvfb) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" "$@" ;;
  dbus) exec dbus-run-session -- "$@" ;;
  xvfb-dbus) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$@" ;;
  xvfb-wm) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$0" with-openbox "$@" ;;
  with-openbox)
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    # Wait until the manager has claimed the screen.
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.05
    done
    rc=0; "$@" || rc=$?
    kill "$wm" 2>/dev/null || true
    wait "$wm" 2>/dev/null || true
    exit "$rc" ;;
  *) exec "$@" ;;
esac
