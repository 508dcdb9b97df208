#!/usr/bin/env bash
# Sets up the machine and runs every test: the posix build under
# AddressSanitizer and UndefinedBehaviorSanitizer (a short, fixed run of
# every fuzz target among them), then the Windows build under wine, then
# every shell example of the README as written, then Debian's package
# checker on the .deb.
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

# The .deb of the README's release build (already built by its examples).
# Lintian must report no error, warning or informational tag (-I shows the
# informational ones; only a shown tag can fail); pedantic tags are shown
# too but do not fail: they are lintian's opinions, and change between its
# releases, where the others are Debian's policy.  Misspellings "found" in
# the programs are left out: the checker reads words across the pieces in
# which the compiler stores a message in the machine code ("lentH"), which
# change with every build of the code around them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
rm -f build/packages/*.deb
(cd build && cpack -G DEB >/dev/null)
deb=(build/packages/*.deb)
echo "lintian ${deb[0]}"
if ! lintian --fail-on error,warning,info -I --pedantic --suppress-tags spelling-error-in-binary \
  "${deb[0]}"; then
  echo "lintian rejects ${deb[0]}" >&2
  exit 1
fi
echo "All tests passed."
