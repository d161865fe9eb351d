#!/usr/bin/env bash
# Sets up (packages, build) and runs every test; then builds the sanitizer configuration
# (clang, ASan + UBSan, the fuzz targets too) in build-asan and runs the suite once more there
# with leak checking on, under ro_RO.UTF-8. CORVANE_SANITIZE=0 skips the second run; CORVANE_JOBS caps parallel jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${CORVANE_JOBS:-$(nproc)}"
scripts/setup.sh build
(
  cd build
  ctest --output-on-failure -j"$jobs" --timeout 300 "$@"
)
[ "${CORVANE_SANITIZE:-1}" = 0 ] && exit 0

export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f build-asan/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON -DCORVANE_BUILD_BENCH=OFF "${LAUNCHER[@]}"
find build-asan -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build build-asan -j"$jobs"
# Full stacks (slower): Qt is built without frame pointers, and suppressions match Qt frames.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cd build-asan
# Slower under the sanitizers: a longer timeout. The OpenGL tests
# (label xvfb) stay out: Mesa's llvmpipe compiling shaders under ASan with full stacks takes
# minutes per frame. This run is also the one under the users' own locale (a decimal comma).
LC_ALL=ro_RO.UTF-8 LANG=ro_RO.UTF-8 ctest --output-on-failure -j"$jobs" --timeout 600 -LE xvfb "$@"
