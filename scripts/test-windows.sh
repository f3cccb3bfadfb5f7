#!/usr/bin/env bash
# The Windows build under Wine, no Windows machine needed: builds upgrade.exe, upgrade-cli.exe
# and the core tests (scripts/build-windows.sh), runs the tests under Wine, upgrades tarvel-sim
# (the Linux build, on a pseudo-terminal) with upgrade-cli.exe through Wine's serial port
# emulation, two modules at once (COM1 and COM2), and checks that both received both files intact, then drives upgrade.exe on
# Xvfb from the agreement to the completed page with real keys and clicks, twice: by Enter on
# each focused button, and with -n (a first run refused by the module, then Back and Next), and
# presses Tab, Shift+Tab and the arrows on the agreement and the first pages — three
# cases of the real-X suite, tests/x11/x11_suite.py, through scripts/test-x11.sh; then lets the
# desktop monkey (tests/x11/monkey.py) loose on it. The last line is "N passed, N failed" (test
# cases, the upgrade, the window run and the monkey as one more each).
#
# Wine's COM ports: HKLM\Software\Wine\Ports maps COM1 and COM2 to the links that two tarvel-sim
# instances make (build/windows/run/com1 and com2); Wine rebuilds the dosdevices/comN links from
# that key whenever it starts, so links made by hand alone would be replaced by /dev/ttyS*.
# COM2's module is the far end of the serial port tests (TARVEL_TEST_PORT); after them it is
# replaced by a fresh one, and upgrade-cli.exe upgrades COM1's and COM2's modules at once.
#
# Where Wine is not Windows the product follows Windows, and these tests are left out here:
#   ComPort.SecondOpenIsRefused   Wine opens a port twice although it is opened without sharing
#   ComPort.RtsHandshakeIsReadBack  Wine reports RTS handshake as RTS enabled in GetCommState
# Tests that need a pseudo-terminal or other POSIX facilities are not built for Windows at all
# (TARVEL_POSIX_ONLY_TESTS in cmake/TarvelHelpers.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/windows
run=$out/run
wine_skips=(ComPort.SecondOpenIsRefused ComPort.RtsHandshakeIsReadBack)

mkdir -p "$out"
bash scripts/build-windows.sh | tee "$out/build.log"
gui=$(tail -n 2 "$out/build.log" | head -n 1)
cli=$(tail -n 1 "$out/build.log")

sim=$root/build/test/sim/tool/tarvel-sim
if [ ! -x "$sim" ]; then
  echo "== tarvel-sim (build/test)"
  cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_WERROR=ON >/dev/null
  cmake --build build/test --target tarvel-sim -j"${JOBS:-2}" >/dev/null
fi

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$run"
rm -rf "$run/received" "$run/logs"
mkdir -p "$run/logs"

sim_pids=()
declare -A sim_pid_of
stop_all() {
  for pid in "${sim_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  sim_pids=()
  wineserver -k 2>/dev/null || true
}
trap stop_all EXIT

start_sim() {  # start_sim NAME EXTRA-ARGS...: a module behind $run/NAME
  local name=$1
  shift
  rm -f "$run/$name"
  "$sim" --link "$run/$name" "$@" > "$run/$name.out" 2> "$run/$name.log" &
  sim_pids+=($!)
  sim_pid_of[$name]=$!
  for _ in $(seq 100); do
    [ -L "$run/$name" ] && [ -s "$run/$name.out" ] && return 0
    sleep 0.1
  done
  cat "$run/$name.log" >&2
  echo "tarvel-sim did not start for $name" >&2
  exit 1
}

echo "== Wine: COM1 and COM2 on tarvel-sim"
start_sim com1 --store "$run/received" --verbose
start_sim com2
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$run/com1" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$run/com2" /f >/dev/null
wineserver -w
ln -sfn "$run/com1" "$WINEPREFIX/dosdevices/com1"
ln -sfn "$run/com2" "$WINEPREFIX/dosdevices/com2"
# Debian's Wine looks for the faces its registry names (MS Sans Serif in sserife.fon, Tahoma) only
# in the prefix's Fonts folder, not where fonts-wine puts them: without these links every dialog
# face falls back to Liberation Sans.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
# One server for all the runs below: starting it is most of the cost of a small program.
wineserver -p > "$run/logs/wineserver.log" 2>&1
wine cmd /c exit >/dev/null 2>&1 || true
for n in 1 2; do
  link=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
  [ "$link" = "$run/com$n" ] || { echo "Wine maps COM$n to '$link', not to $run/com$n" >&2; exit 1; }
  echo "COM$n -> $run/com$n -> $(readlink "$run/com$n")"
done

echo "== core tests under Wine"
passed=0
failed=0
filter="-$(IFS=:; echo "${wine_skips[*]}")"
for exe in "$out"/tarvel/tests/*_tests.exe; do
  name=$(basename "$exe" .exe)
  log=$run/logs/$name.log
  status=0
  runner=()
  [[ $name == *_ui_tests ]] && runner=(xvfb-run -a)  # the window backend's tests need a display
  TARVEL_TEST_PORT=COM2 timeout 600 "${runner[@]}" wine "$exe" --gtest_filter="$filter" > "$log" 2>&1 || status=$?
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log")
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log")
  p=${p:-0}
  f=${f:-0}
  # A crash or a hang reports no count of its own.
  [ "$status" -ne 0 ] && [ "$f" -eq 0 ] && f=1
  passed=$((passed + p))
  failed=$((failed + f))
  echo "$name: $p passed, $f failed"
  grep -E "^(text fit|misfit)" "$log" || true  # what the window texts' fit test measured
  if [ "$f" -ne 0 ]; then
    grep -E "Failure|FAILED|^\.\./" "$log" | head -n 30 || tail -n 30 "$log"
  fi
done

echo "== upgrade-cli.exe upgrades tarvel-sim on COM1 and COM2 at once"
# A fresh module on COM2: the serial port tests left theirs in a state of their own.
kill "${sim_pid_of[com2]}" 2>/dev/null || true
wait "${sim_pid_of[com2]}" 2>/dev/null || true
rm -rf "$run/received2"
start_sim com2 --store "$run/received2" --verbose
# The firmware lies in a folder whose name has a letter outside ASCII that the ANSI code page
# holds (0xEF in cp1252): the program gets the path in that code page and must open, size and
# send the files by it, and hand it on to the process of each port. Wine reads the Unix name as
# UTF-8 only in a UTF-8 locale.
sample="$run/Fïrmware"
mkdir -p "$sample"
head -c 16384 /dev/urandom > "$sample/tarvelboot.dmf"
head -c 131072 /dev/urandom > "$sample/tarvel.dmf"
status=0
LC_ALL=C.UTF-8 timeout 600 wine "$cli" -y -o COM1 -o COM2 -b "Z:$sample/tarvelboot.dmf" -c "Z:$sample/tarvel.dmf" \
  --json "Z:$run/fleet.json" || status=$?
echo "upgrade-cli.exe exit status: $status"
sleep 0.5
stop_all
for n in 1 2; do
  echo "-- what the virtual module on COM$n did ($run/com$n.log)"
  cat "$run/com$n.log"
done
if [ "$status" -eq 0 ] && [ "$(grep -c '"result": 0,' "$run/fleet.json")" -eq 2 ] &&
   cmp "$sample/tarvelboot.dmf" "$run/received/tarvelboot.dmf" &&
   cmp "$sample/tarvel.dmf" "$run/received/tarvel.dmf" &&
   cmp "$sample/tarvelboot.dmf" "$run/received2/tarvelboot.dmf" &&
   cmp "$sample/tarvel.dmf" "$run/received2/tarvel.dmf"; then
  echo "Both modules received both files intact."
  passed=$((passed + 1))
else
  echo "The upgrade of two modules under Wine failed."
  failed=$((failed + 1))
fi

echo "== upgrade.exe by keys, Tab and arrows, and with -n on Xvfb, COM1 on tarvel-sim"
# The suite's module makes the link that Wine's COM1 leads to ($run/com1, see above).
rm -f "$run/com1"
status=0
rm -rf "$run/x11"
TARVEL_X11_KEEP=$run/x11 bash scripts/test-x11.sh build/test --program "wine $gui" --com1-link "$run/com1" \
  --path-prefix Z: enter_on_each_button_then_an_upgrade_by_keys tab_follows noninteractive_run | tee "$run/logs/x11.log" || status=$?
wineserver -k 2>/dev/null || true
for report in "$run"/x11/*.report; do
  echo "-- what upgrade.exe showed at the end ($report)"
  grep -E "^(page 15[234]|text 1061 Download|dialog 0 close)" "$report" || true
done
if [ "$status" -eq 0 ] && tail -n 1 "$run/logs/x11.log" | grep -qx "3 passed, 0 failed"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "== the desktop monkey drives upgrade.exe (two to seven minutes)"
rm -f "$run/com1"
# COM2 leads to a folder, which no program can open as a port: choosing it brings the port's
# box (a link to nothing would not do: Wine then maps COM2 to a serial device of its own).
mkdir -p "$run/no-port"
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$run/no-port" /f >/dev/null
wineserver -w
status=0
TARVEL_X11_KEEP=$run/monkey bash scripts/test-x11.sh build/test --monkey --program "wine $gui" \
  --com1-link "$run/com1" --path-prefix Z: --events 1000 --seconds 100 --limit 420 | tee "$run/logs/monkey.log" || status=$?
wineserver -k 2>/dev/null || true
if [ "$status" -eq 0 ] && tail -n 1 "$run/logs/monkey.log" | grep -qx "1 passed, 0 failed"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
