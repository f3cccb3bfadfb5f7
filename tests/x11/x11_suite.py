#!/usr/bin/env python3
"""The real upgrade program on a real X server, driven with real key and mouse events.

Run by scripts/test-x11.sh (Xvfb, openbox, DISPLAY). Each case starts build/test/upgrade (and,
where the wizard talks to a module, tarvel-sim on a pseudo-terminal, in real time), presses keys
and clicks through xdotool, and reads what the windows show from the program's report file
(TARVEL_UI_REPORT, see platform/ui/UiReport.h). "Enter on a button" is Enter pressed once Tab has
brought the focus there. Prints one line per case and 'N passed, N failed'.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

SHEET = "Tarvel Verification and Upgrade Utility"
COMPLETED = "Download completed. Please click on the Finished button."
FAILED = "Download failed. Please click on the Finished button."
RUN_S = 150  # one upgrade run: the module's fixed waits come to about a minute


class Failure(Exception):
    pass


def xdo(*args):
    r = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=20)
    if r.returncode != 0:
        raise Failure("xdotool %s: %s" % (" ".join(args), r.stderr.strip()))
    return r.stdout.strip()


class Sim:
    """tarvel-sim on a new pseudo-terminal; its command mode repeats itself every second."""

    def __init__(self, suite, name, *options):
        self.store = os.path.join(suite.work, name + "-received")
        self.log_path = os.path.join(suite.work, name + "-sim.log")
        link = ["--link", suite.com1_link] if suite.com1_link else []
        with open(self.log_path, "w") as log:
            self.proc = subprocess.Popen(
                [suite.sim, "--store", self.store, "--verbose", "--repeat-ms", "1000", *link, *options],
                stdout=subprocess.PIPE, stderr=log, text=True)
        suite.processes.append(self.proc)
        self.tty = self.proc.stdout.readline().strip()
        if not self.tty:
            raise Failure("tarvel-sim did not start")

    def received(self, name):
        path = os.path.join(self.store, name)
        deadline = time.time() + 5
        while time.time() < deadline and not os.path.exists(path):
            time.sleep(0.1)
        with open(path, "rb") as f:
            return f.read()


class App:
    """One run of the upgrade program and what its report file says."""

    def __init__(self, suite, name, args=(), sim=None, extra_env=None):
        self.suite = suite
        self.report = os.path.join(suite.work, name + ".report")
        open(self.report, "w").close()
        env = dict(os.environ, TARVEL_UI_REPORT=suite.prefix + self.report)
        port = sim.tty if sim else os.path.join(suite.work, "no-such-port")
        env["UPGRADE_COM1"] = env["UPGRADE_COM2"] = port
        env.update(extra_env or {})
        with open(os.path.join(suite.work, name + ".log"), "w") as log:
            self.proc = subprocess.Popen([*suite.upgrade, *args], env=env, stdout=log, stderr=log)
        suite.processes.append(self.proc)
        self.lines = []
        self.pos = 0      # lines before this one have been consumed by wait()
        self.offset = 0
        self.focus = None
        self.controls = {}

    # --- the report ---------------------------------------------------------------------------
    def _read(self):
        with open(self.report, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        end = data.rfind(b"\n") + 1
        self.offset += end
        for raw in data[:end].decode("latin-1").splitlines():
            self.lines.append(raw)
            words = raw.split(" ", 7)
            if words[0] in ("focus", "control") and len(words) >= 7:
                item = (int(words[1]), words[2], int(words[3]), int(words[4]), int(words[5]),
                        int(words[6]), words[7] if len(words) > 7 else "")
                if words[0] == "focus":
                    self.focus = item
                else:
                    self.controls[(item[0], item[6])] = item

    def wait(self, pattern, timeout=10.0):
        """The next line (after those already consumed) that matches pattern as a whole."""
        rx = re.compile(pattern)
        deadline = time.time() + timeout
        while True:
            self._read()
            for i in range(self.pos, len(self.lines)):
                if rx.fullmatch(self.lines[i]):
                    self.pos = i + 1
                    return self.lines[i]
            if self.proc.poll() is not None and self.offset == os.path.getsize(self.report):
                raise Failure("program ended (status %s) while waiting for '%s'"
                              % (self.proc.returncode, pattern))
            if time.time() > deadline:
                tail = " | ".join(l for l in self.lines[-6:] if not l.startswith("control"))
                raise Failure("no '%s' within %.0f s; last: %s" % (pattern, timeout, tail))
            time.sleep(0.05)

    def absent(self, pattern, seconds=1.0):
        """No line matching pattern comes within seconds (nothing is consumed)."""
        rx = re.compile(pattern)
        time.sleep(seconds)
        self._read()
        for line in self.lines[self.pos:]:
            if rx.fullmatch(line):
                raise Failure("unexpected '%s'" % line)

    # --- keys and mouse ---------------------------------------------------------------------------
    @staticmethod
    def matches(target, item):
        if isinstance(target, int):
            return item[0] == target
        if target.startswith("kind:"):
            return item[1] == target[5:]
        return item[6] == target

    def key(self, *keys):
        xdo("key", "--clearmodifiers", *keys)

    def settle(self, quiet=0.2, limit=3.0):
        """Reads until the report has been quiet for a moment (focus moves come in bursts)."""
        count, changed, deadline = -1, time.time(), time.time() + limit
        while time.time() < deadline:
            self._read()
            if len(self.lines) != count:
                count, changed = len(self.lines), time.time()
            elif time.time() - changed >= quiet:
                return
            time.sleep(0.03)

    def focus_to(self, target):
        """Tab until the focus is on target: a control id, a button text or 'kind:edit|radio'."""
        self.settle()
        for _ in range(16):
            if self.focus and self.matches(target, self.focus):
                return
            if self.proc.poll() is not None:
                raise Failure("program ended (status %s) while Tab sought %r" % (self.proc.returncode, target))
            seen = len(self.lines)
            self.key("Tab")
            deadline = time.time() + 3
            while time.time() < deadline:
                self._read()
                if any(l.startswith("focus ") for l in self.lines[seen:]):
                    break
                time.sleep(0.03)
            self.settle(0.1)
        raise Failure("Tab never brought the focus to %r (last focus %r)" % (target, self.focus))

    def ok_box(self, pattern, timeout=10.0):
        """A message box matching pattern comes up; Enter on its OK button closes it."""
        self.wait(r"msgbox " + pattern, timeout)
        self.press("OK")
        self.wait(r"msgbox close")

    def window_up(self, pattern, timeout=10.0):
        """A window shows (pattern) and takes the keyboard focus."""
        self.wait(pattern, timeout)
        self.wait(r"focus .*")

    def press(self, target):
        """Enter with the focus on target."""
        self.focus_to(target)
        self.key("Return")

    def click(self, target):
        self._read()
        found = [c for c in self.controls.values() if self.matches(target, c)]
        if not found:
            raise Failure("no position reported for %r" % (target,))
        _, _, x, y, w, h, _ = found[-1]
        # The window manager may still name a window that has just closed (a message box under
        # Wine) as the active one for a moment: ask again until the window exists.
        for attempt in range(20):
            try:
                xdo("mousemove", "--window", xdo("getactivewindow"), str(x + w // 2), str(y + h // 2))
                break
            except Failure:
                if attempt == 19:
                    raise
                time.sleep(0.2)
        xdo("click", "1")

    # --- ends -------------------------------------------------------------------------------------
    def ended(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")

    def agree(self):
        self.window_up(r"dialog 171 open")
        self.press(1)  # 'I accept'
        self.wait(r"page 132")

    def go(self, target, page, timeout=10.0):
        """Enter on target; the wizard shows page."""
        self.press(target)
        self.wait(r"page %d" % page, timeout)

    def ends_with(self, target):
        """Enter on target (Finish or Cancel) ends the wizard so, and the program, on this page."""
        self.press(target)
        self.wait(r"dialog 0 close %d" % {"Finish": 0x3025, "Cancel": 2}[target])
        if self.ended() != 0:
            raise Failure("exit status %d" % self.proc.returncode)
        self.absent(r"page \d+", 0)


class Suite:
    def __init__(self, build, work, program=None, com1_link=None, prefix=""):
        # Under Wine: program "wine .../upgrade.exe"; COM1 is the link com1_link (Wine's port
        # mapping), which each Sim makes to its pseudo-terminal; paths are given as "Z:" + path.
        self.upgrade = program.split() if program else [os.path.join(build, "upgrade")]
        self.com1_link, self.prefix = com1_link, prefix
        self.sim = os.path.join(build, "sim", "tool", "tarvel-sim")
        self.work = work
        self.processes = []
        fw = os.path.join(work, "fw")
        os.makedirs(fw, exist_ok=True)
        self.boot = os.path.join(fw, "tarvelboot.dmf")
        self.code = os.path.join(fw, "tarvel.dmf")
        with open(self.boot, "wb") as f:
            f.write(os.urandom(8 * 1024))
        with open(self.code, "wb") as f:
            f.write(os.urandom(20 * 1024))
        self.files = ["-b", prefix + self.boot, "-c", prefix + self.code]

    def stop_all(self):
        for p in self.processes:
            if p.poll() is None:
                p.terminate()
        for p in self.processes:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self.processes = []

    def expect_intact(self, sim):
        for name, path in (("tarvelboot.dmf", self.boot), ("tarvel.dmf", self.code)):
            with open(path, "rb") as f:
                if sim.received(name) != f.read():
                    raise Failure("%s arrived damaged" % name)


CASES = []


def case(fn):
    CASES.append(fn)
    return fn


# --- Enter on the buttons of each page ------------------------------------------------------------

@case
def enter_on_each_button_then_an_upgrade_by_keys(s):
    sim = Sim(s, "keys")
    app = App(s, "keys", s.files, sim)
    app.agree()
    app.go("Next >", 135)
    app.go("< Back", 132)
    app.go("Next >", 135)
    app.go("kind:radio", 136)          # Enter on a radio button: Next
    app.go("kind:edit", 137)           # Enter in an edit box: Next
    app.go("kind:radio", 139, 40)      # "Yes (Recommended)": the verification passes
    app.go("Next >", 140)
    for browse, title, name in ((1043, "boot", "tarvelboot.dmf"), (1047, "code", "tarvel.dmf")):
        app.press(browse)
        app.window_up(r"filedialog Select a Tarvel %s file\. \[Tarvel dmf files \(%s\)\]"
                      % (title, re.escape(name)))
        app.key("Escape")
        app.wait(r"filedialog close")
        app.absent(r"page \d+", 0.3)
    app.go("kind:edit", 152)
    app.press("kind:radio")            # Enter on a radio button: Next runs the upgrade
    app.wait(r"dialog 155 open")
    app.wait(r"text 1061 " + re.escape(COMPLETED), RUN_S)
    app.press(1)                       # Enter on "Finished"
    app.wait(r"dialog 155 close \d+")
    app.wait(r"page 154")
    s.expect_intact(sim)
    app.go("< Back", 152)
    app.ends_with("Cancel")


# --- Tab and the arrow keys ------------------------------------------------------------------------

# Each page's Tab cycle by the templates' flags: its tab stops in template order (a radio group:
# the checked button), then the sheet's enabled buttons.
TAB_CYCLES = {
    171: [1, 2, 1079],                                        # 'I accept', 'I reject', the agreement
    132: ["Next >", "Cancel"],
    135: [1008, "< Back", "Next >", "Cancel"],                # COM2 checked (-o COM2)
    136: [1020, 1018, 1019, "< Back", "Next >", "Cancel"],
    137: [1027, "< Back", "Next >", "Cancel"],                # "Yes (Recommended)" checked
    140: [1042, 1043, 1046, 1047, "< Back", "Next >", "Cancel"],
}


def focus_name(app):
    return app.focus[0] or app.focus[6] if app.focus else None


def step(app, keys, moves=True):
    """Presses keys; the focus it leads to (waiting for a focus line only when one must come)."""
    app.settle(0.1)
    seen = len(app.lines)
    app.key(keys)
    deadline = time.time() + (3 if moves else 0.6)
    while time.time() < deadline:
        app._read()
        if any(l.startswith("focus ") for l in app.lines[seen:]):
            break
        time.sleep(0.03)
    app.settle(0.1)
    return focus_name(app)


def check_tab_cycle(app, page):
    app.settle()
    """Tab from the focus round the page and back, then Shift+Tab round the other way."""
    expected = TAB_CYCLES[page]
    start = focus_name(app)
    if start not in expected:
        raise Failure("page %d: focus on %r, not in the Tab cycle %r" % (page, start, expected))
    i = expected.index(start)
    want = expected[i:] + expected[:i]
    forward = [start] + [step(app, "Tab") for _ in want]
    backward = [forward[-1]] + [step(app, "shift+Tab") for _ in want]
    print("      page %d Tab: %s" % (page, " -> ".join(map(str, forward))))
    if forward != want + [start] or backward != [start] + want[::-1]:
        raise Failure("page %d: Tab went %r, Shift+Tab %r; expected %r" % (page, forward, backward, want))


def check_arrows(app, page, start, keys_and_focus):
    app.focus_to(start)
    for keys, want in keys_and_focus:
        got = step(app, keys, moves=want != start)
        print("      page %d %s on %s: focus %s" % (page, keys, start, got))
        if got != want:
            raise Failure("page %d: %s from %r moved the focus to %r, not %r" % (page, keys, start, got, want))
        start = got


@case
def tab_follows_the_templates_and_arrows_stay_in_the_radio_group(s):
    app = App(s, "tabs", ["-o", "COM2"])
    app.window_up(r"dialog 171 open")
    check_tab_cycle(app, 171)
    check_arrows(app, 171, 1, [("Right", 1), ("Down", 1)])
    app.press(1)
    app.wait(r"page 132")
    check_tab_cycle(app, 132)
    app.go("Next >", 135)
    check_tab_cycle(app, 135)
    # Arrows walk round COM1 and COM2, checking as they go; on Next they move nothing.
    check_arrows(app, 135, 1008, [("Down", 1007), ("Down", 1008), ("Up", 1007), ("Right", 1008), ("Left", 1007)])
    check_arrows(app, 135, "Next >", [("Down", "Next >"), ("Right", "Next >"), ("Up", "Next >"),
                                      ("shift+Down", "Next >"), ("ctrl+Right", "Next >")])
    app.key("Return")                  # Next, not Cancel: the wizard goes on
    app.wait(r"page 136")
    app.go("< Back", 135)              # the arrows chose COM1: Tab into the group lands on it
    app.focus_to("Cancel")
    if step(app, "Tab") != 1007:
        raise Failure("Tab into the port radios did not land on the checked COM1")
    app.go("Next >", 136)
    app.focus_to(1020)
    check_tab_cycle(app, 136)
    app.go("Next >", 137)
    check_tab_cycle(app, 137)
    check_arrows(app, 137, 1027, [("Down", 1028), ("Up", 1027), ("Down", 1028)])
    check_arrows(app, 137, "Next >", [("Down", "Next >")])
    app.key("Return")                  # "No, upgrade immediately" is checked: to the files
    app.wait(r"page 140")
    app.focus_to(1042)
    check_tab_cycle(app, 140)
    app.ends_with("Cancel")


# --- a refused transfer, then Back and Next: the re-attempt completes ---------------------------

@case
def noninteractive_run_fails_then_back_and_next_complete_it(s):
    sim = Sim(s, "reattempt", "--refuse-transfers", "1")
    app = App(s, "reattempt", ["-n", "-o", "COM1", *s.files], sim)
    app.agree()
    app.window_up(r"dialog 155 open")  # -n: the wizard pressed Next by itself
    # During the run every way of closing the window is refused with a beep.
    for keys in (["Return"], ["Escape"], ["alt+F4"]):
        app.key(*keys)
        app.wait(r"beep")
    app.absent(r"dialog 155 close", 0.5)
    app.ok_box(r".*Unable to initialize ZModem transfer\.", RUN_S)
    app.wait(r"text 1061 " + re.escape(FAILED))
    app.click(1)                       # "Finished", with the mouse
    app.wait(r"dialog 155 close \d+")
    app.wait(r"page 153")
    app.click(1056)                    # "Details"
    app.ok_box(r"Unable to download the boot file to the Tarvel\..*")
    app.go("< Back", 152)
    app.click("Next >")
    app.wait(r"dialog 155 open")
    # No restart is needed: the flash preparation begins within seconds, not an hour.
    app.wait(r"text 1061 Preparing flash for download, this may take upto two minutes\.\.\.", 20)
    app.wait(r"text 1061 " + re.escape(COMPLETED), RUN_S)
    app.press(1)
    app.wait(r"page 154")
    s.expect_intact(sim)
    app.ends_with("Finish")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--keep", help="copy the report files and the programs' output here")
    ap.add_argument("--program", help="command that starts the program (default BUILD/upgrade)")
    ap.add_argument("--com1-link", help="each module is linked here, where the program's COM1 leads")
    ap.add_argument("--path-prefix", default="", help="how the program names this machine's paths")
    ap.add_argument("cases", nargs="*", help="run only cases whose name contains one of these")
    a = ap.parse_args()
    # Stopped from outside: end the programs started so far (the finally clauses below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    if not os.environ.get("DISPLAY"):
        print("x11 suite: DISPLAY is not set")
        print("0 passed, 1 failed")
        return 1
    suite = Suite(a.build, os.path.abspath(a.work), a.program, a.com1_link, a.path_prefix)
    passed = failed = 0
    started = time.time()
    try:
        for fn in CASES:
            if a.cases and not any(c in fn.__name__ for c in a.cases):
                continue
            t0 = time.time()
            try:
                fn(suite)
                passed += 1
                print("ok    %-62s %5.1f s" % (fn.__name__, time.time() - t0), flush=True)
            except Failure as e:
                failed += 1
                print("FAIL  %-62s %5.1f s\n      %s" % (fn.__name__, time.time() - t0, e), flush=True)
            finally:
                suite.stop_all()
    finally:
        suite.stop_all()
        if a.keep:
            os.makedirs(a.keep, exist_ok=True)
            for f in os.listdir(suite.work):
                if f.endswith((".report", ".log")):
                    shutil.copy(os.path.join(suite.work, f), a.keep)
    print("x11 suite: %.0f s" % (time.time() - started))
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
