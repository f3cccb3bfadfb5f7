#!/usr/bin/env bash
# Runs the utility against the virtual module, no module or cable needed: builds upgrade-cli
# and tarvel-sim, makes sample firmware files, starts the virtual module on a pseudo-terminal,
# upgrades it with upgrade-cli, and shows that the module received both files intact.
# Where a display exists (DISPLAY or WAYLAND_DISPLAY set) the windowed utility is started
# instead, with the port and both sample files preset: accept the agreement and go through the
# wizard; the files are checked after it has closed. The port page can only store COM1 or COM2,
# so both names are pointed at the virtual module's pseudo-terminal for that run.
#   TARVEL_RUN_CLI=1    use upgrade-cli even where a display exists
#   TARVEL_SIM_PACE=1   the module's side at the real line speed too (the port keeps the line's
#                       pace anyway, so the transfers take minutes either way)
#   JOBS=N              parallel build jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}

bash scripts/install-deps.sh

echo "== build upgrade-cli and tarvel-sim (build/run)"
if [ ! -f build/run/CMakeCache.txt ]; then
  cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_BUILD_GUI=OFF -DTARVEL_BUILD_TESTS=OFF >/dev/null
else
  cmake -S . -B build/run >/dev/null
fi
cmake --build build/run --target upgrade-cli tarvel-sim -j"$jobs" >/dev/null
cli=build/run/cli/upgrade-cli
sim=build/run/sim/tool/tarvel-sim

gui=""
if [ "${TARVEL_RUN_CLI:-0}" != 1 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "== build the windowed utility (build/run-gui)"
  if [ ! -f build/run-gui/CMakeCache.txt ]; then
    cmake -S . -B build/run-gui -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_BUILD_TESTS=OFF >/dev/null
  else
    cmake -S . -B build/run-gui >/dev/null
  fi
  cmake --build build/run-gui --target upgrade -j"$jobs" >/dev/null
  gui=build/run-gui/upgrade
fi

echo "== sample firmware files (out/sample)"
mkdir -p out/sample
[ -s out/sample/tarvelboot.dmf ] || head -c 65536 /dev/urandom > out/sample/tarvelboot.dmf
[ -s out/sample/tarvel.dmf ] || head -c 614400 /dev/urandom > out/sample/tarvel.dmf
ls -l out/sample

echo "== virtual module"
rm -rf out/sim-received
rm -f out/sim-tty out/sim.out
sim_args=(--link "$root/out/sim-tty" --store "$root/out/sim-received" --verbose)
[ "${TARVEL_SIM_PACE:-0}" = 1 ] && sim_args+=(--pace)
"$sim" "${sim_args[@]}" > out/sim.out 2> out/sim.log &
sim_pid=$!
stop_sim() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_sim EXIT

for _ in $(seq 100); do
  [ -s out/sim.out ] && [ -L out/sim-tty ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat out/sim.log >&2; echo "tarvel-sim did not start" >&2; exit 1; }
  sleep 0.1
done
tty=$(head -n 1 out/sim.out)
[ -n "$tty" ] || { echo "tarvel-sim did not report its device" >&2; exit 1; }
echo "tarvel-sim runs on $tty (link out/sim-tty)"

status=0
if [ -n "$gui" ]; then
  echo "== upgrade -o $tty -b out/sample/tarvelboot.dmf -c out/sample/tarvel.dmf (windowed)"
  UPGRADE_COM1="$tty" UPGRADE_COM2="$tty" "$gui" -o "$tty" -b "$root/out/sample/tarvelboot.dmf" -c "$root/out/sample/tarvel.dmf" || status=$?
  echo "upgrade exit status: $status"
else
  echo "== upgrade-cli -y -o $tty -b out/sample/tarvelboot.dmf -c out/sample/tarvel.dmf"
  timeout 1200 "$cli" -y -o "$tty" -b "$root/out/sample/tarvelboot.dmf" -c "$root/out/sample/tarvel.dmf" || status=$?
  echo "upgrade-cli exit status: $status"
fi

# Give the module a moment to store the last file, then stop it.
sleep 0.5
stop_sim
trap - EXIT
echo "== what the virtual module did (out/sim.log)"
cat out/sim.log

echo "== received files (out/sim-received)"
[ "$status" -eq 0 ] || exit "$status"
if [ -n "$gui" ] && { [ ! -f out/sim-received/tarvelboot.dmf ] || [ ! -f out/sim-received/tarvel.dmf ]; }; then
  echo "The wizard ended without a complete upgrade; nothing to compare."
  exit 0
fi
cmp out/sample/tarvelboot.dmf out/sim-received/tarvelboot.dmf
cmp out/sample/tarvel.dmf out/sim-received/tarvel.dmf
ls -l out/sim-received
echo "The module received both files intact."
