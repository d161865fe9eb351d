#!/usr/bin/env bash
# The screens of two builds, pixel by pixel: runs corvane_screen_shots from each and prints,
# for every picture, how many pixels differ and the largest difference of one channel (0-255).
# Pictures that differ get a diff picture (the differences in red over the dimmed reference).
# Usage: bench/screen_diff.sh <build-dir> <reference-build-dir> [out-dir]
#   (out-dir defaults to <build-dir>/screen-diff: build/, reference/ and diff/ under it)
# Exits 0 when every picture is the same, 1 when one differs or is missing, 2 when a build's
# pictures could not be made.
set -uo pipefail

if (($# < 2 || $# > 3)); then
  echo "usage: $0 <build-dir> <reference-build-dir> [out-dir]" >&2
  exit 2
fi
BUILD=$(realpath "$1")
REF=$(realpath "$2")
OUT=$(realpath -m "${3:-$BUILD/screen-diff}")
SHOTS=bench/corvane_screen_shots

for dir in "$BUILD" "$REF"; do
  if [ ! -x "$dir/$SHOTS" ]; then
    echo "no $dir/$SHOTS (scripts/setup.sh $dir corvane_screen_shots builds it)" >&2
    exit 2
  fi
done

rm -rf "$OUT/build" "$OUT/reference" "$OUT/diff"
mkdir -p "$OUT/diff"
for side in build reference; do
  dir=$BUILD
  [ "$side" = reference ] && dir=$REF
  if ! "$dir/$SHOTS" "$OUT/$side" >"$OUT/$side.log" 2>&1; then
    echo "the $side's pictures could not be made as they should ($OUT/$side.log):" >&2
    grep '^warning: ' "$OUT/$side.log" >&2 || tail -n 20 "$OUT/$side.log" >&2
    exit 2
  fi
done

status=0
names=$( (cd "$OUT/build" && ls ./*.png; cd "$OUT/reference" && ls ./*.png) 2>/dev/null | sed 's|^\./||' | sort -u)
width=$(printf '%s\n' "$names" | awk '{ if (length > w) w = length } END { print w }')
for name in $names; do
  if [ ! -f "$OUT/build/$name" ] || [ ! -f "$OUT/reference/$name" ]; then
    printf '%-*s  only in the %s\n' "$width" "$name" "$([ -f "$OUT/build/$name" ] && echo build || echo reference)"
    status=1
    continue
  fi
  result=$("$BUILD/$SHOTS" --compare "$OUT/reference/$name" "$OUT/build/$name" "$OUT/diff/$name")
  rc=$?
  printf '%-*s  %s\n' "$width" "$name" "$result"
  ((rc == 0)) || status=1
done
if ((status == 0)); then
  echo "all pictures are the same ($OUT)"
else
  echo "pictures differ: $OUT/diff"
fi
exit $status
