#!/usr/bin/env bash
# Builds everything and runs every test (the README's second command; CI runs it too).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ "${CI:-}" = "true" ] && preset=ci
tools/bootstrap.sh "$preset"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
