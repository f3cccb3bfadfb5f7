#!/usr/bin/env bash
# Benchmark (run by hand, not a test): whole upgrades in a row against the virtual module at the
# real line speed (tarvel-sim --pace), with upgrade-cli or with the windowed program.
#   bench/paced_loop.sh cli|gui RUNS SPEED...      SPEED: 38400 or 115200 (the latter: -f)
# Files: 64 KB boot and 600 KB code of random data (out/bench). The windowed runs need Xvfb,
# openbox and xdotool (scripts/install-deps.sh installs them) and use the display in
# TARVEL_BENCH_DISPLAY (default :80): the agreement is accepted with Enter, the wizard runs
# itself (-n), the progress window's "Finished" and the result page's Finish are pressed once
# the module has the code file. A message box on the way fails the run.
# Prints one line per run: what, speed, run, verdict, wall seconds, and per file the share of the
# line's payload limit (baud / 10 x 0.967) with the resends the module asked for.
#   BUILD=dir   build folder with cli/upgrade-cli, sim/tool/tarvel-sim and upgrade (build/test)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build/test}
kind=${1:?cli or gui}
runs=${2:?number of runs}
shift 2
speeds=("$@")
[ ${#speeds[@]} -gt 0 ] || speeds=(38400)

cli=$root/$build/cli/upgrade-cli
gui=$root/$build/upgrade
sim=$root/$build/sim/tool/tarvel-sim
work=$root/out/bench/$kind-$$
mkdir -p "$work" out/bench
[ -s out/bench/tarvelboot.dmf ] || head -c 65536 /dev/urandom > out/bench/tarvelboot.dmf
[ -s out/bench/tarvel.dmf ] || head -c 614400 /dev/urandom > out/bench/tarvel.dmf
boot=$root/out/bench/tarvelboot.dmf
code=$root/out/bench/tarvel.dmf

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

caption="Tarvel Verification and Upgrade Utility"
progressCaption="Upgrading the Tarvel router module using ZModem."
if [ "$kind" = gui ]; then
  export DISPLAY=${TARVEL_BENCH_DISPLAY:-:80}
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  pids+=($!)
  sleep 1
  openbox > "$work/openbox.log" 2>&1 &
  pids+=($!)
  sleep 1
fi

# Visible windows whose title is exactly $1.
windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
press() {  # press key $2 in window $1
  xdotool windowactivate --sync "$1" > /dev/null 2>&1
  xdotool key --clearmodifiers "$2" > /dev/null 2>&1
}

share() {  # share of the payload limit for file $1 at speed $2, from the module's report in $3
  awk -v f="$1" -v baud="$2" '
    $0 ~ "received " f ":" {
      for (i = 1; i <= NF; i++) { if ($i == "bytes,") n = $(i-1); if ($i == "from") a = $(i+1); if ($i == "to") b = $(i+1); if ($i == "resyncs,") r = $(i-1) }
      printf "%s %.1f%% resyncs %s", f, 100 * n / ((b - a) / 1e6) / (baud / 10 * 0.967), r; found = 1
    }
    END { if (!found) printf "%s not received", f }' "$3"
}

guiRun() {  # $1 tty, $2 speed option, $3 log; result in verdict
  UPGRADE_COM1="$1" UPGRADE_COM2="$1" "$gui" -n -o "$1" -b "$boot" -c "$code" $2 > "$3" 2>&1 &
  local app=$!
  local w="" t
  for t in $(seq 100); do w=$(windows "$caption" | head -n 1); [ -n "$w" ] && break; sleep 0.2; done
  [ -n "$w" ] || { verdict="no agreement window"; kill $app; wait $app; return; }
  press "$w" Return
  # The transfers: wait for the module to report the code file, or for a message box (a second
  # window with the utility's caption), or for the program to end.
  local limit=$(( ${4:-38400} == 115200 ? 600 : 1200 ))
  for t in $(seq "$limit"); do
    grep -q "received tarvel.dmf:" "$simlog" && break
    kill -0 $app 2>/dev/null || { verdict="program ended early"; return; }
    [ "$(windows "$caption" | wc -l)" -gt 1 ] && { verdict="message box"; kill $app; wait $app; return; }
    sleep 1
  done
  grep -q "received tarvel.dmf:" "$simlog" || { verdict="code file not received"; kill $app; wait $app; return; }
  # The worker ends the transfer (ZFIN, "OO") and shows its verdict; then "Finished" closes the
  # window (before the verdict Enter only beeps).
  local p
  for t in $(seq 30); do
    sleep 1
    [ "$(windows "$caption" | wc -l)" -gt 1 ] && { verdict="message box"; kill $app; wait $app; return; }
    p=$(windows "$progressCaption" | head -n 1)
    [ -z "$p" ] && break
    press "$p" Return
  done
  [ -z "$(windows "$progressCaption")" ] || { verdict="progress window stayed"; kill $app; wait $app; return; }
  # The result page; its Finish ends the program.
  w=$(windows "$caption" | head -n 1)
  [ -n "$w" ] && press "$w" Return
  for t in $(seq 50); do kill -0 $app 2>/dev/null || break; sleep 0.2; done
  if kill -0 $app 2>/dev/null; then verdict="wizard stayed"; kill $app; wait $app; return; fi
  wait $app
  local rc=$?
  [ $rc -eq 0 ] && verdict=ok || verdict="exit status $rc"
}

echo "what  speed   run  verdict  wall s  boot file, code file"
for speed in "${speeds[@]}"; do
  opt=""
  [ "$speed" = 115200 ] && opt="-f"
  for run in $(seq "$runs"); do
    dir=$work/$speed-$run
    mkdir -p "$dir"
    simlog=$dir/sim.log
    "$sim" --pace --link "$dir/tty" --store "$dir/received" > "$dir/sim.out" 2> "$simlog" &
    simpid=$!
    pids+=($simpid)
    for _ in $(seq 50); do [ -L "$dir/tty" ] && break; sleep 0.1; done
    start=$(date +%s.%N)
    if [ "$kind" = cli ]; then
      "$cli" -y -n -o "$dir/tty" -b "$boot" -c "$code" $opt > "$dir/cli.out" 2> "$dir/cli.err"
      rc=$?
      [ $rc -eq 0 ] && verdict=ok || verdict="exit status $rc"
    else
      guiRun "$dir/tty" "$opt" "$dir/gui.log" "$speed"
    fi
    end=$(date +%s.%N)
    sleep 0.5
    kill $simpid 2>/dev/null
    wait $simpid 2>/dev/null
    if [ "$verdict" = ok ] && ! { cmp -s "$boot" "$dir/received/tarvelboot.dmf" && cmp -s "$code" "$dir/received/tarvel.dmf"; }; then
      verdict="files differ"
    fi
    printf "%-5s %-7s %3s  %-7s %7.1f  %s, %s\n" "$kind" "$speed" "$run" "$verdict" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" \
      "$(share tarvelboot.dmf "$speed" "$simlog")" "$(share tarvel.dmf "$speed" "$simlog")"
  done
done
