#!/usr/bin/env bash
# Sets up the machine and runs every test: the posix build under
# AddressSanitizer and UndefinedBehaviorSanitizer (a short, fixed run of
# every fuzz target among them), then the Windows build under wine, then
# every shell example of the README as written.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

build=build-test
cmake -S . -B "$build" -DCE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCE_TESTS=ON -DCE_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure

if [ -x scripts/test-wine.sh ]; then
  scripts/test-wine.sh
fi
# After the Windows build, which the README's Windows example then reuses.
xvfb-run -a tests/readme/run-examples.sh
echo "All tests passed."
