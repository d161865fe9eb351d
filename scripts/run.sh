#!/usr/bin/env bash
# Sets up (packages, build) and starts Corvane.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec ./build/corvane "$@"
