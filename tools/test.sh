#!/usr/bin/env bash
# Builds everything and runs every test (the README's second command; CI runs it too), then
# builds the tests once more with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# them all again, fuzz seeds and regression inputs included. SORRELBOX_NO_ASAN=1 skips that
# second pass. Last, the loading flows and the commands that share their reader threads run
# under ThreadSanitizer (preset tsan, build-tsan); SORRELBOX_NO_TSAN=1 skips that pass.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ "${CI:-}" = "true" ] && preset=ci
tools/bootstrap.sh "$preset"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300

if [ "${SORRELBOX_NO_ASAN:-}" != "1" ]; then
  cmake --preset asan -G Ninja >/dev/null
  cmake --build --preset asan -j "$(nproc)"
  # Any report fails its test: UBSan is built not to recover, ASan stops at the first error and
  # LeakSanitizer runs at each test's exit.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600
fi

[ "${SORRELBOX_NO_TSAN:-}" = "1" ] && exit 0
cmake --preset tsan -G Ninja >/dev/null
cmake --build --preset tsan -j "$(nproc)" --target test_loading test_cli sorrelbox-cli
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" --timeout 600 \
  -R '^(LoadingTest|ScanCommandTest|OutputCliTest)\.'
