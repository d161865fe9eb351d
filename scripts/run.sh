#!/usr/bin/env bash
# Sets up (packages, build) and starts Corvane. Only the app and its fan helper are built
# (the calendar module comes with the app); `scripts/test.sh` builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build corvane smcfan
exec ./build/corvane "$@"
