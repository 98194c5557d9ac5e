#!/usr/bin/env bash
# Installs what is needed, builds Lumivista and runs every test:
#   1. the whole suite (unit, window, viewer and desktop end-to-end tests);
#   2. the suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the libFuzzer targets for a short, bounded time.
# It first checks that every C++ file is formatted as .clang-format says.
# --no-sanitizers runs step 1 alone (the second release's pass in CI).
set -euo pipefail
cd "$(dirname "$0")/.."
stages=all
[ "${1:-}" = "--no-sanitizers" ] && stages=suite
scripts/install-packages.sh --test
jobs=$(nproc)

echo "== format =="
find src tests tools assets \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

echo "== build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMI_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
# Every test ends every process it starts: what the suite leaves running fails it.
spawned='^(Xvfb|Xwayland|openbox|icewm|i3|kwin_x11|sway|dbus-daemon|dbus-run-sessio|lumivista.*|QtWebEngineProc|xdotool)$'
running() { ps -e -o pid=,comm= | awk -v names="$spawned" '$2 ~ names { print $1, $2 }' | sort; }
before=$(running)
(cd build && ctest --output-on-failure --timeout 600 -LE crash)
sleep 2
left=$(comm -13 <(echo "$before") <(running))
if [ -n "$left" ]; then
  echo "The tests left these processes running:"; echo "$left"
  exit 1
fi

if [ "$stages" = suite ]; then
  echo "All tests passed (sanitizers and fuzzing left out)."
  exit 0
fi

echo "== sanitizers =="
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMI_SANITIZE=ON -DLUMI_WEBENGINE=OFF -DLUMI_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure --timeout 600 -LE 'webengine|e2e|crash')

echo "== fuzzing =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DLUMI_FUZZ=ON -DLUMI_SANITIZE=ON -DLUMI_WEBENGINE=OFF -DLUMI_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzzers
for f in $(cat build-fuzz/fuzzers.txt); do
  corpus=$(mktemp -d)
  "build-fuzz/tests/fuzz/$f" -max_total_time="${FUZZ_SECONDS:-30}" -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done
echo "All tests passed."
