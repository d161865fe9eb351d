#!/usr/bin/env bash
# Installs the build into throw-away prefixes and checks what a desktop needs is there and valid.
#   install_check.sh <build-dir> <source-dir>
set -uo pipefail
build="$1"; src="$2"
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
    for path in $(sed -n 's|.*policykit.exec.path">\(.*\)</annotate>.*|\1|p' "$policy"); do
        [ "$path" = "$prefix/libexec/corvane/smcfan" ] || bad "$prefix: policy names '$path'"
    done
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

# A relocated install: the prefix chosen only when installing.
cmake --install "$build" --prefix "$tmp/opt/corvane" > "$tmp/log1" || { cat "$tmp/log1"; bad "install failed"; }
check_prefix "$tmp/opt/corvane" ""
# The policy is written by install code: it must still be listed for removal.
grep -qxF "$tmp/opt/corvane/share/polkit-1/actions/org.corvane.smcfan.policy" "$build/install_manifest.txt" \
    || bad "policy missing from the install manifest"
# A packager's staged install: files under DESTDIR, paths inside them for the final prefix.
DESTDIR="$tmp/stage" cmake --install "$build" --prefix /usr > "$tmp/log2" || { cat "$tmp/log2"; bad "staged install failed"; }
check_prefix /usr "$tmp/stage"

echo "installed files:"; (cd "$tmp/opt/corvane" && find . -type f | sort)
exit $fail
