#!/usr/bin/env bash
# A long fuzzing run: each libFuzzer target (or those named) for TARVEL_FUZZ_RUNS executions
# (10 million unless set) in a build with UndefinedBehaviorSanitizer only, where libFuzzer itself
# catches crashes, time-outs (10 s an input) and runaway memory; then every input of the corpus
# the run grew once more in the AddressSanitizer build, which also reports leaks. Two targets at
# a time on two cores: TARVEL_FUZZ_JOBS. Logs and corpora in build/fuzz-long/.
#
#   scripts/fuzz-long.sh                       # all six, about two hours on two cores
#   TARVEL_FUZZ_RUNS=100000 scripts/fuzz-long.sh fuzz_console
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${TARVEL_FUZZ_RUNS:-10000000}
jobs=${TARVEL_FUZZ_JOBS:-2}
out=build/fuzz-long
targets=${*:-$(ls tests/fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$//')}

for tree in fuzz:address,undefined fuzzfast:undefined; do
  CXX=clang++ cmake -S . -B "build/${tree%%:*}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_FUZZ=ON \
     -DTARVEL_FUZZ_SANITIZERS="${tree#*:}" -DTARVEL_BUILD_GUI=OFF -DTARVEL_BUILD_TESTS=OFF >/dev/null
  # shellcheck disable=SC2086
  cmake --build "build/${tree%%:*}" -j"$jobs" --target $targets >/dev/null
done
mkdir -p "$out"

one() {
  local t=$1 extra=() start
  # A device tree of 64 records fits in 2 KB; longer inputs only repeat what is there.
  [ "$t" = fuzz_port_discovery ] && extra=(-max_len=2048)
  mkdir -p "$out/$t"
  cp -n tests/fuzz/seeds/"$t"/* "$out/$t"/ 2>/dev/null || true
  start=$(date +%s)
  build/fuzzfast/tests/fuzz/"$t" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "${extra[@]}" \
    "$out/$t" >"$out/$t.log" 2>&1 || { echo "$t: FAILED, see $out/$t.log"; return 1; }
  local seconds=$(( $(date +%s) - start ))
  build/fuzz/tests/fuzz/"$t" -runs=0 -timeout=10 -rss_limit_mb=2048 "$out/$t" >"$out/$t.asan.log" 2>&1 ||
    { echo "$t: the corpus FAILED under AddressSanitizer, see $out/$t.asan.log"; return 1; }
  local done_line
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/$t.log" | tail -n 1)
  echo "$t: ${done_line#\#} in ${seconds} s; corpus of $(ls "$out/$t" | wc -l) inputs clean under ASan"
}

status=0
running=0
for t in $targets; do
  one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit "$status"
