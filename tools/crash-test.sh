#!/usr/bin/env bash
# The kill test of LOGO2.DAT saves, as the reliability figures in the README were measured:
# a writer child saving all nine records and one record in turn, killed with SIGKILL at random
# moments; with "concurrent", two writers saving on one folder at once, each killed at its own
# random moment. Usage: tools/crash-test.sh [KILLS] [concurrent]   (1,000 kills by default; run
# from the project folder after a build into build/).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target settings_crash_test >/dev/null
exec build/tests/logic/settings_crash_test "${1:-1000}" ${2:+"$2"}
