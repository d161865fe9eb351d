#!/usr/bin/env bash
# Test launcher: runs a test binary under a display server and/or a private session bus.
#   run-under.sh xvfb CMD...   |  run-under.sh dbus CMD...  |  run-under.sh xvfb-dbus CMD...
set -euo pipefail
mode=$1; shift
case "$mode" in
  xvfb) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" "$@" ;;
  dbus) exec dbus-run-session -- "$@" ;;
  xvfb-dbus) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$@" ;;
  *) exec "$@" ;;
esac
