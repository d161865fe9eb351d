#!/usr/bin/env bash
# Installs the build into throw-away prefixes and checks what a desktop needs is there and valid.
#   install_check.sh <build-dir> <source-dir>
set -uo pipefail
build="$1"; src="$2"
# The installed program is started too: on a display of its own, with a window manager.
[ -n "${DISPLAY:-}" ] || exec "$src/scripts/run-under.sh" xvfb-wm "$0" "$@"
id=$(sed -n 's/.*kAppId = QStringLiteral("\(.*\)");/\1/p' "$src/src/common/AppIdentity.h")
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

[ -n "$id" ] || { echo "FAIL: no app id in AppIdentity.h"; exit 1; }

check_prefix() { # <prefix> <root the files land in>
    local prefix="$1" root="$2"
    local expect=(
        bin/corvane
        libexec/corvane/smcfan
        "share/applications/$id.desktop"
        "share/metainfo/$id.metainfo.xml"
        "share/icons/hicolor/scalable/apps/$id.svg"
        share/polkit-1/actions/org.corvane.smcfan.policy
    )
    for s in 16 24 32 48 64 128 256 512; do expect+=("share/icons/hicolor/${s}x${s}/apps/$id.png"); done
    for f in "${expect[@]}"; do [ -s "$root$prefix/$f" ] || bad "$prefix: missing $f"; done
    [ -x "$root$prefix/libexec/corvane/smcfan" ] || bad "$prefix: helper not executable"
    # The modules loaded on first use (calendar store, speed test transfers).
    for m in libcorvane_eds.so libcorvane_speed.so; do
        [ -n "$(find "$root$prefix" -name "$m")" ] || bad "$prefix: missing module $m"
    done
    for s in 16 48 512; do
        local png="$root$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png"
        [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${s}x${s}" ] || bad "$prefix: $png is not ${s}x${s}"
    done
    # polkit matches the helper by the path it is installed at: this prefix, not the build's.
    local policy="$root$prefix/share/polkit-1/actions/org.corvane.smcfan.policy" path
    while IFS= read -r path; do
        [ "$path" = "$prefix/libexec/corvane/smcfan" ] || bad "$prefix: policy names '$path'"
    done < <(sed -n 's|.*policykit.exec.path">\(.*\)</annotate>.*|\1|p' "$policy")
    # Forcing asks for the password; returning to automatic never does (it runs at logout,
    # at shutdown and after a crash, where nobody can answer).
    xmllint --noout "$policy" || bad "$prefix: policy is not well-formed"
    [ "$(xmllint --xpath 'string(//action[@id="org.corvane.smcfan"]/defaults/allow_active)' "$policy")" = auth_admin_keep ] \
        || bad "$prefix: forcing the fans needs no password"
    [ "$(xmllint --xpath 'string(//action[annotate[@key="org.freedesktop.policykit.exec.argv1"]="auto"]/defaults/allow_active)' "$policy")" = yes ] \
        || bad "$prefix: returning the fans to automatic asks for a password"
    desktop-file-validate "$root$prefix/share/applications/$id.desktop" || bad "$prefix: desktop entry invalid"
    grep -qx "Icon=$id" "$root$prefix/share/applications/$id.desktop" || bad "$prefix: entry names another icon"
    appstreamcli validate --no-net --explain "$root$prefix/share/metainfo/$id.metainfo.xml" || bad "$prefix: metainfo invalid"
}

# The installed program loads its modules from its own prefix: the calendar's when Bar Mode
# (Ctrl+D) shows the calendar pill, the speed test's when a run starts (a closed local port
# stands in for the server). Seen in the modules the process has mapped.
check_modules() { # <prefix>
    local prefix="$1" home="$tmp/home" pid i
    mkdir -p "$home/config/Corvane" "$home/run" && chmod 700 "$home/run"
    printf '[General]\ndidFinishOnboarding=true\ndidRequestPrivacyAuth=true\nspeedtest.host=127.0.0.1:9\n' \
        > "$home/config/Corvane/Corvane.conf"
    run_app() {
        HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
            XDG_RUNTIME_DIR="$home/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" QT_QPA_PLATFORM=xcb \
            exec "$prefix/bin/corvane" "$@"
    }
    # Waits up to two minutes for `cmd` while the app runs.
    until_up() { for i in $(seq 1200); do "$@" && return 0; kill -0 "$pid" 2>/dev/null || return 1; sleep 0.1; done; return 1; }
    loaded() { until_up grep -qF "$(find "$prefix" -name "$1")" "/proc/$pid/maps" || bad "$prefix: $1 not loaded from the prefix"; }
    run_app > "$tmp/app.log" 2>&1 & pid=$!
    # Ctrl+D once its window has the keyboard; then a second start hands it the speed test.
    until_up eval '[ "$(xdotool getactivewindow getwindowpid 2>/dev/null)" = "$pid" ]' && xdotool key --clearmodifiers ctrl+d
    loaded libcorvane_eds.so
    (run_app --openCard=network >> "$tmp/app.log" 2>&1)
    loaded libcorvane_speed.so
    kill -TERM "$pid"; wait "$pid"
    [ "$fail" = 0 ] || cat "$tmp/app.log"
}

# A relocated install: the prefix, with a space in it, chosen only when installing.
reloc="$tmp/a b/corvane"
cmake --install "$build" --prefix "$reloc" > "$tmp/log1" || { cat "$tmp/log1"; bad "install failed"; }
check_prefix "$reloc" ""
check_modules "$reloc"
# The policy is written by install code: it must still be listed for removal.
grep -qxF "$reloc/share/polkit-1/actions/org.corvane.smcfan.policy" "$build/install_manifest.txt" \
    || bad "policy missing from the install manifest"
# A packager's staged install: files under DESTDIR, paths inside them for the final prefix.
DESTDIR="$tmp/stage" cmake --install "$build" --prefix /usr > "$tmp/log2" || { cat "$tmp/log2"; bad "staged install failed"; }
check_prefix /usr "$tmp/stage"

echo "installed files:"; (cd "$reloc" && find . -type f | sort)
exit $fail
