#!/usr/bin/env bash
# The windowed utility on a real X server: Xvfb with openbox on a free display, and the suite
# tests/x11/x11_suite.py driving build/test/upgrade (or the program its --program names) by real
# keys against tarvel-sim in real time. Fails (never skips) when a tool is missing.
# With --monkey after the build folder it runs the desktop monkey (tests/x11/monkey.py) instead.
# Usage: scripts/test-x11.sh [build-dir [--monkey] [suite option or case ...]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
suite=tests/x11/x11_suite.py
if [ "${2:-}" = --monkey ]; then
  suite=tests/x11/monkey.py
  set -- "$1" "${@:3}"
fi

missing=()
program=("$build/upgrade")
[[ " ${*:2} " == *" --program "* ]] && program=()  # the suite is told which program to run
for need in Xvfb xauth openbox xdotool python3 "${program[@]}" "$build/sim/tool/tarvel-sim"; do
  command -v "$need" >/dev/null 2>&1 || missing+=("$need")
done
# Debian's own Python, which has Debian's python3-xlib (a python3 earlier on the PATH may not).
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
[ "$suite" = tests/x11/x11_suite.py ] || "$py" -c 'import Xlib' 2>/dev/null || missing+=(python3-xlib)
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-x11: missing: ${missing[*]} (scripts/install-deps.sh installs the tools)" >&2
  echo "0 passed, 1 failed"; exit 1
fi

unset QT_QPA_PLATFORM WAYLAND_DISPLAY
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvel-x11.XXXXXX")
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
# Waits up to 10 s for a command to succeed; else shows the log and fails.
await() {
  local log=$1; shift
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  cat "$log" >&2; echo "test-x11: $* did not succeed"; echo "0 passed, 1 failed"; exit 1
}

# The server takes the first free display itself (-displayfd) and admits only holders of the
# cookie; the cookie is written for a placeholder display first and for the real one once known.
export XAUTHORITY="$work/Xauthority"
cookie=$(python3 -c 'import secrets; print(secrets.token_hex(16))')
xauth -q -f "$XAUTHORITY" add :0 . "$cookie" 2>/dev/null
Xvfb -displayfd 3 -auth "$XAUTHORITY" -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
await "$work/xvfb.log" test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"

# A window manager of known settings: alt-F4 closes the active window, new windows get the focus.
cat > "$work/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
  <keyboard><keybind key="A-F4"><action name="Close"/></keybind></keyboard>
</openbox_config>
XML
# Started again when it could not open the display: seen now and then on a busy machine, with
# the server's display number already written.
for _ in 1 2 3; do
  openbox --sm-disable --config-file "$work/rc.xml" >"$work/openbox.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 30); do
    kill -0 "${pids[-1]}" 2>/dev/null || break
    xdotool get_num_desktops >/dev/null 2>&1 && break 2
    sleep 0.1
  done
  sleep 0.5
done
await "$work/openbox.log" xdotool get_num_desktops

echo "== windows on a real X server ($DISPLAY, openbox)"
# In the background, so that a signal is handled at once; the suite ends its programs when stopped.
"$py" "$suite" --build "$build" --work "$work" ${TARVEL_X11_KEEP:+--keep "$TARVEL_X11_KEEP"} \
  "${@:2}" &
pids+=($!)
wait "${pids[-1]}"
