#!/usr/bin/env bash
# Test launcher: runs a test binary under a display server and/or a private session bus.
#   run-under.sh xvfb CMD...   |  run-under.sh dbus CMD...  |  run-under.sh xvfb-dbus CMD...
#   run-under.sh xvfb-wm CMD... (Xvfb with openbox managing the windows, private session bus)
#   run-under.sh xvfb-wm-xfwm4 CMD... / xvfb-wm-fluxbox CMD... (the same under XFCE's or fluxbox's manager)
#   run-under.sh xorg-two-outputs CMD... (Xorg's dummy driver with two outputs side by side, about
#     60 and 75 Hz, under openbox with a private session bus; Xorg needs root here)
#   run-under.sh weston CMD... (natively on a headless weston, with no X display)
set -euo pipefail
mode=$1; shift
# Mesa's driver keeps its allocations in its own globals. Unloaded at exit before the leak
# check, those globals vanish and everything they held shows as leaked from a nameless
# module; a driver loaded up front stays mapped to the end.
swrast=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so
if [[ -n "${ASAN_OPTIONS:-}" && ( "$mode" == xvfb* || "$mode" == weston ) && -e "$swrast" ]]; then
  export LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$swrast"
fi
# Under the display server a full unwind on each allocation hangs the OpenGL tests, and
# with the driver preloaded they leave nothing that only a full unwind could name.
if [[ -n "${ASAN_OPTIONS:-}" && "$mode" == xvfb* ]]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=1"
fi
case "$mode" in
  xvfb) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" "$@" ;;
  dbus) exec dbus-run-session -- "$@" ;;
  xvfb-dbus) export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$@" ;;
  xvfb-wm|xvfb-wm-*)
    wm=openbox; [[ "$mode" == xvfb-wm-* ]] && wm=${mode#xvfb-wm-}
    export QT_QPA_PLATFORM=xcb; exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$0" with-wm "$wm" "$@" ;;
  xorg-two-outputs)
    # Xvfb's modes have no timings; the dummy driver's outputs take theirs from the modelines.
    dir=$(mktemp -d)
    cat >"$dir/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
  Option "Monitor-DUMMY0" "at60"
  Option "Monitor-DUMMY1" "at75"
EndSection
Section "Monitor"
  Identifier "at60"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1280x800_60" 83.50 1280 1352 1480 1680 800 803 809 831 -hsync +vsync
  Option "PreferredMode" "1280x800_60"
  Option "Position" "0 0"
EndSection
Section "Monitor"
  Identifier "at75"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768_75" 82.00 1024 1088 1192 1360 768 771 775 805 -hsync +vsync
  Option "PreferredMode" "1024x768_75"
  Option "Position" "1280 0"
  # The driver reports every output but the first as unplugged.
  Option "Enable" "true"
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "at60"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2304 800
  EndSubSection
EndSection
CONF
    # The server picks a free display number and writes it once it accepts clients.
    Xorg -displayfd 3 -config "$dir/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts -keeptty \
      -logfile "$dir/Xorg.log" 3>"$dir/display" >/dev/null 2>&1 &
    xorg=$!
    trap 'kill "$xorg" 2>/dev/null; wait "$xorg" 2>/dev/null; rm -rf "$dir"' EXIT
    trap 'exit 143' TERM INT HUP
    for _ in $(seq 600); do
      [[ -s "$dir/display" ]] && break
      kill -0 "$xorg" 2>/dev/null || break
      sleep 0.05
    done
    if [[ ! -s "$dir/display" ]]; then
      echo "Xorg with the dummy driver did not start:" >&2; tail -n 20 "$dir/Xorg.log" >&2 || true; exit 1
    fi
    export DISPLAY=":$(head -n1 "$dir/display")" QT_QPA_PLATFORM=xcb
    rc=0; dbus-run-session -- "$0" with-wm openbox "$@" || rc=$?
    exit "$rc" ;;
  with-wm)
    name=$1; shift
    case "$name" in
      openbox) openbox --sm-disable >/dev/null 2>&1 & ;;
      # Its settings daemon and accessibility bus live on the private session bus; its
      # settings (focus stealing prevention on) are XFCE's defaults.
      xfwm4) NO_AT_BRIDGE=1 xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 & ;;
      # A settings file of its own: the first run would set a wallpaper through an external
      # tool and report its failure in a window of its own.
      fluxbox)
        rc=$(mktemp -d)
        printf 'background: none\n' >"$rc/overlay"
        printf 'session.styleOverlay: %s\nsession.screen0.rootCommand: true\n' "$rc/overlay" >"$rc/init"
        fluxbox -rc "$rc/init" >/dev/null 2>&1 & ;;
      *) echo "unknown window manager: $name" >&2; exit 2 ;;
    esac
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
  weston)
    runtime=$(mktemp -d); chmod 700 "$runtime"
    XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=wayland-test --width=1280 --height=800 \
      --idle-time=0 --log="$runtime/weston.log" >/dev/null 2>&1 &
    compositor=$!
    for _ in $(seq 200); do [[ -S "$runtime/wayland-test" ]] && break; sleep 0.05; done
    # Without a seat Qt's Wayland text input crashes; the app itself picks the compose input
    # there as it starts, which a test binary doesn't go through. The software scene graph is
    # what machines without a GPU draw with.
    rc=0
    env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland \
      QT_IM_MODULE=compose QT_QUICK_BACKEND=software "$@" || rc=$?
    kill "$compositor" 2>/dev/null || true
    wait "$compositor" 2>/dev/null || true
    rm -rf "$runtime"
    exit "$rc" ;;
  *) exec "$@" ;;
esac
