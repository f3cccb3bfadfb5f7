"""What the real-X suite and the desktop monkey share, under scripts/test-x11.sh (Xvfb, openbox,
DISPLAY): tarvel-sim and the upgrade program started for a case, the program's report file read as
it grows (TARVEL_UI_REPORT, see platform/ui/UiReport.h), keys and clicks through xdotool, waits
on the report, and the command line of both. "Enter on a button" is Enter pressed once Tab has
brought the focus there.
"""

import argparse
import collections
import os
import re
import shutil
import signal
import subprocess
import sys
import time

SHEET = "Tarvel Verification and Upgrade Utility"
# A control as the report gives it: its id, kind, place on the screen and text.
Control = collections.namedtuple("Control", "id kind x y w h text")


class Failure(Exception):
    pass


def xdo(*args):
    r = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=20)
    if r.returncode != 0:
        raise Failure("xdotool %s: %s" % (" ".join(args), r.stderr.strip()))
    return r.stdout.strip()


def matches(target, c):
    """Whether control c is target: a control id, a button text or 'kind:edit|radio'."""
    if isinstance(target, int):
        return c.id == target
    return c.kind == target[5:] if target.startswith("kind:") else c.text == target


class Tail:
    """A file that grows: new() gives the whole lines added since the last call."""

    def __init__(self, path):
        self.path, self.offset = path, 0

    def new(self):
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        data = data[:data.rfind(b"\n") + 1]
        self.offset += len(data)
        return data.decode("latin-1").splitlines()


class Sim:
    """tarvel-sim on a new pseudo-terminal; its command mode repeats itself every second."""

    def __init__(self, suite, name, *options):
        self.store = os.path.join(suite.work, name + "-received")
        link = ["--link", suite.com1_link] if suite.com1_link else []
        with open(os.path.join(suite.work, name + "-sim.log"), "w") as log:
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
    """One run of the upgrade program and what its report file says. on_line, when given, is
    called with each line of the report as it is read."""

    def __init__(self, suite, name, args=(), sim=None, extra_env=None, on_line=None):
        self.report = os.path.join(suite.work, name + ".report")
        self.output = os.path.join(suite.work, name + ".log")
        open(self.report, "w").close()
        port = sim.tty if sim else os.path.join(suite.work, "no-such-port")
        env = dict(os.environ, TARVEL_UI_REPORT=suite.prefix + self.report, UPGRADE_COM1=port, UPGRADE_COM2=port)
        env.update(extra_env or {})
        with open(self.output, "w") as log:
            self.proc = subprocess.Popen([*suite.upgrade, *args], env=env, stdout=log, stderr=log)
        suite.processes.append(self.proc)
        self.tail, self.on_line = Tail(self.report), on_line
        self.lines = []
        self.pos = 0      # lines before this one have been consumed by wait()
        self.focus = None
        self.controls = {}

    # --- the report ---------------------------------------------------------------------------
    def read(self):
        for raw in self.tail.new():
            self.lines.append(raw)
            words = raw.split(" ", 7)
            if words[0] in ("focus", "control") and len(words) >= 7:
                item = Control(int(words[1]), words[2], *map(int, words[3:7]), words[7] if len(words) > 7 else "")
                if words[0] == "focus":
                    self.focus = item
                else:
                    self.controls[(item.id, item.text)] = item
            if self.on_line:
                self.on_line(raw)

    def wait(self, pattern, timeout=10.0):
        """The next line (after those already consumed) that matches pattern as a whole."""
        rx = re.compile(pattern)
        deadline = time.time() + timeout
        while True:
            self.read()
            for i in range(self.pos, len(self.lines)):
                if rx.fullmatch(self.lines[i]):
                    self.pos = i + 1
                    return self.lines[i]
            if self.proc.poll() is not None and self.tail.offset == os.path.getsize(self.report):
                raise Failure("program ended (status %s) while waiting for '%s'"
                              % (self.proc.returncode, pattern))
            if time.time() > deadline:
                tail = " | ".join(l for l in self.lines[-6:] if not l.startswith("control"))
                raise Failure("no '%s' within %.0f s; last: %s" % (pattern, timeout, tail))
            time.sleep(0.05)

    def absent(self, pattern, seconds=1.0):
        """No line matching pattern comes within seconds (nothing is consumed)."""
        time.sleep(seconds)
        self.read()
        for line in self.lines[self.pos:]:
            if re.fullmatch(pattern, line):
                raise Failure("unexpected '%s'" % line)

    def settle(self, quiet=0.2, limit=3.0):
        """Reads until the report has been quiet for a moment (focus moves come in bursts)."""
        count, changed, deadline = -1, time.time(), time.time() + limit
        while time.time() < deadline:
            self.read()
            if len(self.lines) != count:
                count, changed = len(self.lines), time.time()
            elif time.time() - changed >= quiet:
                return
            time.sleep(0.01)

    # --- keys and mouse ---------------------------------------------------------------------------
    def control(self, target):
        """The control last reported as target (see matches)."""
        found = [c for c in self.controls.values() if matches(target, c)]
        return found[-1] if found else None

    def focused(self):
        """The focus by its control id, or a button's by its text."""
        return self.focus and (self.focus.id or self.focus.text)

    def key(self, *keys):
        xdo("key", "--clearmodifiers", *keys)

    def step(self, keys, moves=True):
        """Presses keys; the focus they lead to (waiting for a focus line only when one must come)."""
        self.settle(0.1)
        seen = len(self.lines)
        self.key(keys)
        deadline = time.time() + (3 if moves else 0.6)
        while time.time() < deadline and not any(l.startswith("focus ") for l in self.lines[seen:]):
            time.sleep(0.03)
            self.read()
        self.settle(0.1)
        return self.focused()

    def focus_to(self, target):
        """Tab until the focus is on target (see matches)."""
        self.settle()
        for _ in range(16):
            if self.focus and matches(target, self.focus):
                return
            if self.proc.poll() is not None:
                raise Failure("program ended (status %s) while Tab sought %r" % (self.proc.returncode, target))
            self.step("Tab")
        raise Failure("Tab never brought the focus to %r (last focus %r)" % (target, self.focus))

    def press(self, target):
        """Enter with the focus on target."""
        self.focus_to(target)
        self.key("Return")

    def click(self, target):
        self.read()
        c = self.control(target)
        if not c:
            raise Failure("no position reported for %r" % (target,))
        # The window manager may still name a window that has just closed (a message box under
        # Wine) as the active one for a moment: ask again until the window exists.
        for attempt in range(20):
            try:
                xdo("mousemove", "--window", xdo("getactivewindow"), str(c.x + c.w // 2), str(c.y + c.h // 2))
                break
            except Failure:
                if attempt == 19:
                    raise
                time.sleep(0.2)
        xdo("click", "1")


    # --- the wizard's steps ---------------------------------------------------------------------
    def window_up(self, pattern, timeout=10.0):
        """A window shows (pattern) and takes the keyboard focus."""
        self.wait(pattern, timeout)
        self.wait(r"focus .*")

    def ok_box(self, pattern, timeout=10.0):
        """A message box matching pattern comes up; Enter on its OK button closes it."""
        self.wait(r"msgbox " + pattern, timeout)
        self.press("OK")
        self.wait(r"msgbox close")

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
        try:
            status = self.proc.wait(10)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")
        if status != 0:
            raise Failure("exit status %d" % status)
        self.absent(r"page \d+", 0)


class Suite:
    """The programs, the firmware files of every case, and the processes to end after each."""

    def __init__(self, build, work, program=None, com1_link=None, prefix=""):
        # Under Wine: program "wine .../upgrade.exe"; COM1 is the link com1_link (Wine's port
        # mapping), which each Sim makes to its pseudo-terminal; paths are given as "Z:" + path.
        self.upgrade = program.split() if program else [os.path.join(build, "upgrade")]
        self.com1_link, self.prefix = com1_link, prefix
        self.sim = os.path.join(build, "sim", "tool", "tarvel-sim")
        self.work = work
        self.processes = []
        os.makedirs(os.path.join(work, "fw"), exist_ok=True)
        self.firmware = {}  # name -> path
        for name, size in (("tarvelboot.dmf", 8), ("tarvel.dmf", 20)):
            self.firmware[name] = path = os.path.join(work, "fw", name)
            with open(path, "wb") as f:
                f.write(os.urandom(size * 1024))
        self.files = ["-b", prefix + self.firmware["tarvelboot.dmf"], "-c", prefix + self.firmware["tarvel.dmf"]]

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
        for name, path in self.firmware.items():
            with open(path, "rb") as f:
                if sim.received(name) != f.read():
                    raise Failure("%s arrived damaged" % name)


def main(cases, ap):
    """Runs the cases (functions of the suite that raise Failure), or those whose names contain
    one of the names given, with the options that ap has besides these, in suite.options."""
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--keep", help="copy the report files and the programs' output here")
    ap.add_argument("--program", help="command that starts the program (default BUILD/upgrade)")
    ap.add_argument("--com1-link", help="each module is linked here, where the program's COM1 leads")
    ap.add_argument("--path-prefix", default="", help="how the program names this machine's paths")
    ap.add_argument("cases", nargs="*", help="run only cases whose name contains one of these")
    a = ap.parse_args()
    # Stopped from outside: end the programs started so far (the finally clause below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set\n0 passed, 1 failed")
    passed = failed = 0
    started = time.time()
    suite = Suite(a.build, os.path.abspath(a.work), a.program, a.com1_link, a.path_prefix)
    suite.options = a
    try:
        for fn in cases:
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
            shutil.copytree(suite.work, a.keep, dirs_exist_ok=True, ignore=shutil.ignore_patterns("fw", "*-received"))
    print("%.0f s in all" % (time.time() - started))
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(0 if failed == 0 else 1)
