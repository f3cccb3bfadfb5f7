#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds with warnings as errors, runs every
# test (window tests on Qt's offscreen platform), then the windowed program on a real X server
# (scripts/test-x11.sh: Xvfb, openbox, keys and clicks), then one short upgrade at the real line
# speed and a short one of two modules at once, then cross-builds for Windows and runs the core
# tests and an upgrade of tarvel-sim under Wine (scripts/test-windows.sh), then builds the Debian
# package, installs it, runs the installed programs and removes it again
# (scripts/test-package.sh), then tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, with the desktop monkey (tests/x11/monkey.py) driving the sanitized
# program, then runs each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

echo "== build and test"
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_WERROR=ON >/dev/null
cmake --build build/test -j"$jobs"
(cd build/test && ctest --output-on-failure -j"$jobs")

echo "== the windows on a real X server"
bash scripts/test-x11.sh build/test

if [ "${TARVEL_SKIP_PACED:-0}" != 1 ]; then
  # About a minute, mostly the module's and the worker's fixed waits; checks bytes, not speed.
  echo "== a short upgrade at the real line speed: no byte dropped, no resend, files intact"
  build/test/bench/paced_upgrade --boot-kb 8 --code-kb 24 --check
  # About a minute too: two modules of one tarvel-sim bench upgraded at once by one upgrade-cli
  # fleet command; bytes, not speed.
  echo "== two modules at once at the real line speed: both upgraded, files intact, no resend"
  build/test/bench/fleet_upgrade --modules 2 --boot-kb 8 --code-kb 24 --no-single --check
fi

if [ "${TARVEL_SKIP_WINDOWS:-0}" != 1 ]; then
  echo "== Windows build under Wine: core tests, and upgrade-cli.exe upgrading tarvel-sim"
  bash scripts/test-windows.sh
fi

if [ "${TARVEL_SKIP_PACKAGE:-0}" != 1 ]; then
  echo "== Debian package: build, install, run the installed programs, remove"
  bash scripts/test-package.sh
fi

if [ "${TARVEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTARVEL_WERROR=ON -DTARVEL_SANITIZE=ON >/dev/null
  cmake --build build/asan -j"$jobs"
  (cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j"$jobs" -LE benchmark)
  echo "== the desktop monkey: the sanitized upgrade on a real X server (about three minutes)"
  bash scripts/test-x11.sh build/asan --monkey
fi

if [ "${TARVEL_SKIP_FUZZ:-0}" != 1 ] && [ -d tests/fuzz ] && ls tests/fuzz/*.cpp >/dev/null 2>&1; then
  echo "== fuzz targets (brief)"
  CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_FUZZ=ON \
     -DTARVEL_BUILD_GUI=OFF -DTARVEL_BUILD_TESTS=OFF >/dev/null
  fuzz_targets=$(ls tests/fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$//')
  # shellcheck disable=SC2086
  cmake --build build/fuzz -j"$jobs" --target $fuzz_targets
  for f in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    [ -d "tests/fuzz/seeds/$name" ] && cp -n tests/fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
    echo "-- $name"
    "$f" -max_total_time="${TARVEL_FUZZ_SECONDS:-20}" -timeout=10 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3
  done
fi
echo "== all tests passed"
