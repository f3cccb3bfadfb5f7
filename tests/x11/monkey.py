#!/usr/bin/env python3
"""A desktop monkey: a seeded random walk of real X events through the real upgrade program.

Run by scripts/test-x11.sh --monkey (Xvfb, openbox); README.md tells what it does and when it
fails. The random numbers are drawn alike whatever the program does, and each event waits for the
report to settle, so a seed replays the same events as long as the program answers alike. Every
event is logged with its time, the page, boxes and focus it met, to monkey.log in the work folder.
"""

import argparse
import os
import random
import re
import subprocess
import time

from Xlib import X, Xatom, display, error, protocol

from harness import SHEET, App, Failure, Sim, Tail, main, xdo

VERIFY_S = 90  # a verification holds the window's thread: with a login, well under this
PING_S = 10    # otherwise a window answers a ping within this
GOALS = ["page %d" % p for p in (132, 135, 136, 137, 138, 139, 140, 152, 153, 154)] + [
    "box version", "box port", "box refused", "box file", "box details 138", "box details 153", "file dialog",
    "upgrade completed"]
BOXES = (("box version", "Invalid Firmware Version"), ("box port", "Unable to gain access to the COM port"),
         ("box refused", "Unable to initialize ZModem transfer"), ("box file", "Invalid Tarvel boot file"))
NEXT = "Next >"
KEYS = ["Tab"] * 6 + ["shift+Tab"] * 4 + ["Up", "Down", "Left", "Right"] * 2 + ["space", "Return"] * 3 + [
    "Escape", "alt+F4"]


class Desktop:
    """The X side: the program's windows, this client's covering windows, pings."""

    def __init__(self):
        self.d = display.Display()
        self.root = self.d.screen().root
        # Answers to pings come to the root window under either of these masks (toolkits differ).
        self.root.change_attributes(event_mask=X.StructureNotifyMask | X.SubstructureNotifyMask)
        self.clients, self.protocols, self.ping, self.delete, self.active_atom = (
            self.d.intern_atom(n) for n in
            ("_NET_CLIENT_LIST", "WM_PROTOCOLS", "_NET_WM_PING", "WM_DELETE_WINDOW", "_NET_ACTIVE_WINDOW"))
        self.covers = []
        self.pending = {}  # window id -> time of the first ping not answered yet
        self.pongs = 0

    def window(self, wid):
        return self.d.create_resource_object("window", wid)

    def windows(self):
        """The program's top-level windows, oldest first: every client but our covers and the
        window manager's own (such as its offer to end a window that does not answer)."""
        prop = self.root.get_full_property(self.clients, Xatom.WINDOW)
        ours = {c.id for c in self.covers}
        return [w for w in (prop.value if prop else []) if w not in ours and not self.managers(w)]

    def managers(self, wid):
        try:
            return any(c.lower() == "openbox" for c in self.window(wid).get_wm_class() or ())
        except error.XError:
            return False

    def active(self):
        prop = self.root.get_full_property(self.active_atom, Xatom.WINDOW)
        return prop.value[0] if prop and len(prop.value) else None

    def geometry(self, wid):
        try:
            w = self.window(wid)
            g, at = w.get_geometry(), w.translate_coords(self.root, 0, 0)
            return -at.x, -at.y, g.width, g.height
        except error.XError:
            return 0, 0, 400, 300

    def cover(self, target, dx, dy):
        x, y, w, h = self.geometry(target)
        win = self.root.create_window(x + dx, y + dy, w, h, 0, self.d.screen().root_depth,
                                      background_pixel=self.d.screen().white_pixel)
        win.set_wm_name("monkey cover")
        win.set_wm_normal_hints(flags=1 | 4, x=x + dx, y=y + dy)  # USPosition | PPosition
        win.set_wm_protocols([self.delete])  # Alt+F4 asks us, rather than ending our connection
        win.map()
        self.d.flush()
        self.covers.append(win)

    def uncover(self):
        if self.covers:
            self.covers.pop(0).destroy()
            self.d.flush()

    def send_pings(self, now):
        for wid in self.windows():
            try:
                w = self.window(wid)
                protos = w.get_full_property(self.protocols, Xatom.ATOM)
                if protos and self.ping in protos.value:
                    w.send_event(protocol.event.ClientMessage(
                        window=w, client_type=self.protocols, data=(32, [self.ping, X.CurrentTime, wid, 0, 0])),
                        event_mask=0)
                    self.pending.setdefault(wid, now)
            except error.XError:
                self.pending.pop(wid, None)
        self.d.flush()

    def read_pongs(self):
        while self.d.pending_events():
            e = self.d.next_event()
            if e.type == X.ClientMessage and e.data[1][0] == self.ping:
                self.pending.pop(e.data[1][2], None)
                self.pongs += 1
            elif e.type == X.ClientMessage and e.data[1][0] == self.delete:
                # Asked to close one of ours, perhaps twice before this look.
                if any(c.id == e.window.id for c in self.covers):
                    self.covers = [c for c in self.covers if c.id != e.window.id]
                    e.window.destroy()


class Monkey:
    def __init__(self, suite, seed, events, seconds, limit):
        self.s, self.seed, self.events, self.seconds, self.limit = suite, seed, events, seconds, limit
        self.rng = random.Random(seed)
        self.x = Desktop()
        self.seen = set()
        self.count = self.launches = self.prompts = 0
        self.recent = []  # per event: whether it pressed Next on page 152
        self.log = open(os.path.join(suite.work, "monkey.log"), "w")

    def note(self, text):
        self.log.write("%.3f %d %s\n" % (time.time(), self.count, text))
        self.log.flush()

    def missing(self):
        return [g for g in GOALS if g not in self.seen]

    # --- the program ------------------------------------------------------------------------------
    def launch(self):
        self.s.stop_all()
        self.launches += 1
        name = "m%d" % self.launches
        sim_log = os.path.join(self.s.work, name + "-module.log")
        # The module refuses the first download until the refusal box and the failed page's
        # Details have been seen: a program ended in between would otherwise leave no way there.
        refuse = ["--refuse-transfers", "1"] if {"box refused", "box details 153"} - self.seen else []
        sim = Sim(self.s, name, "--log", sim_log, *refuse)
        self.module = Tail(sim_log)
        self.x.pending.clear()
        self.asan = os.path.join(self.s.work, name + "-sanitizer")
        env = {"UPGRADE_COM2": os.path.join(self.s.work, "no-such-port"),
               "ASAN_OPTIONS": "log_path=%s:detect_leaks=0:abort_on_error=1" % self.asan,
               "UBSAN_OPTIONS": "log_path=%s:print_stacktrace=1:halt_on_error=1" % self.asan}
        self.page = self.run = self.verify_from = self.port = None
        self.modal = []  # boxes and dialogs open over the wizard, innermost last
        self.runs = []   # (opened, closed) of each progress window that Next on 152 opened
        self.app = App(self.s, name, self.s.files, sim, env, on_line=self.seen_line)
        self.note("launch %s, pid %d (module %s)" % (name, self.app.proc.pid, " ".join(refuse) or "plain"))
        # The walk starts once the first window has the keyboard.
        deadline = time.time() + 60
        while time.time() < deadline and self.app.proc.poll() is None and self.app.focus is None:
            self.app.read()
            time.sleep(0.02)

    def ended(self):
        """True when the program has ended, legitimately."""
        status = self.app.proc.poll()
        if status is None:
            return False
        self.note("ended with status %d" % status)
        self.sanitizer_check()
        if status != 0:
            raise Failure("the program ended with status %d (%s)" % (status, self.app.proc.args))
        return True

    def sanitizer_check(self):
        paths = [self.app.output] + [os.path.join(self.s.work, f) for f in os.listdir(self.s.work)
                                     if f.startswith(os.path.basename(self.asan))]
        for path in paths:
            with open(path, errors="replace") as f:
                m = re.search(r"(ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer).*", f.read())
            if m:
                raise Failure("sanitizer report: %s (%s)" % (m.group(0), path))

    # --- what the program shows ---------------------------------------------------------------------
    def observe(self):
        self.app.read()
        for line in self.module.new():
            stamp, what = line.split(" ", 1)
            if re.fullmatch(r"console AT\{[Z.]\}", what):
                self.announced(float(stamp), what)

    def seen_line(self, line):
        now, word = time.time(), line.split(" ", 1)[0]
        if self.verify_from and word in ("page", "msgbox"):
            # The verification is over: the window's thread has the pings of its length to answer.
            self.verify_from = None
            for wid in self.x.pending:
                self.x.pending[wid] = now
        if word == "page":
            self.page = int(line.split()[1])
            self.seen.add(line)
        elif line in ("msgbox close", "filedialog close") or line.startswith("dialog 155 close"):
            if self.modal and self.modal.pop() == "progress":
                self.runs.append((self.run, now))
                self.run = None
        elif word in ("msgbox", "filedialog"):
            self.modal.append(word)
            self.seen.update([g for g, text in BOXES if text in line] + ["file dialog"] * (word == "filedialog"))
            if word == "msgbox" and self.page in (138, 153) and not self.modal[:-1]:
                self.seen.add("box details %d" % self.page)
        elif line.startswith("dialog 155 open"):
            self.modal.append("progress")
            self.run, self.verdict = now, False
            legitimate = any(self.recent[-4:])  # the report lags an event or two behind
            self.note("progress window open; by Next on page 152: %s" % legitimate)
            if not legitimate:
                raise Failure("a progress window (a download) opened without Next on page 152; see monkey.log")
        elif line.startswith("text 1061 Download"):
            self.verdict = line.endswith("Please click on the Finished button.")
            if self.verdict and "completed" in line:
                self.seen.add("upgrade completed")

    def announced(self, stamp, what):
        inside = self.run is not None or any(a - 0.5 <= stamp <= b + 0.5 for a, b in self.runs)
        self.note("module: %s at %.3f, inside a progress window opened by Next: %s" % (what, stamp, inside))
        if not inside:
            raise Failure("the module saw %s at %.3f with no progress window opened by Next" % (what, stamp))

    # --- events -------------------------------------------------------------------------------------
    def presses_next(self, kind, values):
        """Whether this event presses Next on the page shown, as far as the report has told us:
        a click on Next, Enter or Space on it, or Enter on a control that is no push button (the
        default button, Next, takes it)."""
        focus = self.app.focus
        if self.page is None or self.modal:
            return False
        if kind == "key":
            return bool(focus) and ((values in ("Return", "space") and focus.text == NEXT) or
                                    (values == "Return" and focus.kind != "button"))
        if kind != "click":
            return False
        c, (wid, px, py) = self.app.control(NEXT), values
        try:
            wizard = self.x.window(wid).get_wm_name() == SHEET
        except error.XError:
            return False
        return bool(c) and wizard and c.x <= px < c.x + c.w and c.y <= py < c.y + c.h

    def act(self, kind, values):
        self.count += 1
        pressed = self.presses_next(kind, values)
        self.recent.append(pressed and self.page == 152)
        if pressed and self.page == 137:
            self.verify_from = self.verify_from or time.time()
        self.note("%s %s (page %s, modal %s, focus %s)" % (
            kind, values, self.page, self.modal, self.app.focus and self.app.focus.text))
        if kind in ("key", "type", "replace") and self.x.managers(self.x.active() or 0):
            # The window manager offers to end a window that has not answered for a moment:
            # a random Enter must not say yes.
            self.prompts += 1
            self.note("  the window manager's prompt is up: Escape instead")
            kind, values = "key", "Escape"
        try:
            if kind == "key":
                xdo("key", "--clearmodifiers", values)
            elif kind in ("type", "replace"):
                xdo("key", "End", *["shift+Home"] * (kind == "replace"))
                xdo("type", "--delay", "5", values)
                xdo("key", "Return")
            elif kind == "click":
                xdo("mousemove", "--window", *map(str, values), "click", "1")
            elif kind == "move":
                xdo("windowmove", *map(str, values))
            elif kind in ("raise", "minimize", "activate"):
                xdo("window" + kind, str(values))
            elif kind == "cover":
                self.x.cover(*values)
            else:
                self.x.uncover()
        except Failure as e:
            self.note("  (%s)" % e)  # a window that went away meanwhile
        self.app.settle(0.025, 0.2)  # so that the next choice sees the event's effect

    def random_event(self, r):
        wins = self.x.windows()
        kinds = ["key"] * 10 + ["click"] * 4 + ["move", "cover", "uncover", "raise", "minimize", "activate",
                                                 "activate", "type"]
        if self.modal and self.modal[-1] != "progress":
            # A box or file dialog is up: mostly what the desktop does around it.
            kinds = ["key", "click", "move", "move", "cover", "uncover", "raise", "minimize", "activate"]
        kind = kinds[int(r[0] * len(kinds))]
        if kind == "type" and self.app.focus and self.app.focus.kind == "edit":
            return kind, "".join("0123456789.ax "[int(v * 14)] for v in r[3:4 + int(r[2] * 5)])
        if kind in ("key", "type") or not wins:
            return "key", KEYS[int(r[2] * len(KEYS))]
        wid = wins[int(r[1] * len(wins))]
        g = self.x.geometry(wid)
        return {"click": (kind, (wid, int(r[2] * g[2]), int(r[3] * g[3]))),
                "move": (kind, (wid, int(r[2] * 700), int(r[3] * 600))),
                "cover": (kind, (wid, int(r[2] * 200) - 100, int(r[3] * 200) - 100)),
                "activate": (kind, self.x.covers[-1].id if self.x.covers and r[2] < 0.3 else wid),
                }.get(kind, (kind, wid))

    def steer(self, r):
        """One step towards what is still to be seen; None when there is nothing to do now."""
        wins = self.x.windows()
        if not wins:
            return None
        top = wins[-1]  # the newest: a box or dialog stands over the older ones
        if self.x.active() != top:
            return "activate", top
        if self.modal:
            if self.modal[-1] == "progress":
                return ("key", "Return") if self.verdict else None
            # Boxes stay up for a while: the desktop's events meet them there.
            return ("key", "Escape" if self.modal[-1] == "filedialog" else "Return") if r[1] < 0.25 else None
        page, missing = self.page, self.missing()
        want_port = "COM2" if "box port" in missing else "COM1"
        target = NEXT
        if page is None:
            target = 1  # 'I accept'
        elif page == 135:
            target = want_port if self.port != want_port else NEXT
        elif page in (138, 153) and "box details %d" % page in missing:
            target = 1032 if page == 138 else 1056
        elif page in (136, 137, 138, 139, 140) and self.port != want_port or page == 138:
            target = "< Back"
        elif page == 136 and "box version" in missing:
            return ("type", "2.x") if self.app.focus and self.app.focus.id == 1020 else ("key", "Tab")
        elif page == 137 and r[0] < 0.5:
            target = 1027 if "page 139" in missing or "page 138" in missing else 1028
        elif page == 140 and "box file" in missing:
            return ("replace", "x.dmf") if self.app.focus and self.app.focus.id == 1042 else ("key", "Tab")
        elif page == 140 and "file dialog" in missing:
            target = 1043
        elif page in (153, 154):
            target = "< Back" if "upgrade completed" in missing else ("Finish" if r[0] < 0.5 else "Cancel")
        c = self.app.control(target)
        if not c:
            return "key", "Tab"
        if target in ("COM1", "COM2"):
            self.port = target
        return "click", (top, c.x + c.w // 2, c.y + c.h // 2)

    def check_pings(self, now):
        self.x.read_pongs()
        verifying = self.page == 137 and self.verify_from and now - self.verify_from < VERIFY_S
        for wid, since in list(self.x.pending.items()):
            if wid not in self.x.windows():
                del self.x.pending[wid]
            elif now - since > PING_S and not verifying:
                self.backtrace()
                raise Failure("window 0x%x has not answered for %.0f s (page %s, modal %s)"
                              % (wid, now - since, self.page, self.modal))

    def backtrace(self):
        """Where the program's threads are, when gdb is at hand."""
        path = os.path.join(self.s.work, "hang-backtrace.txt")
        try:
            with open(path, "w") as f:
                subprocess.run(["gdb", "-p", str(self.app.proc.pid), "-batch", "-ex", "thread apply all bt"],
                               stdout=f, stderr=subprocess.STDOUT, timeout=60)
            print("monkey: threads of the program that stopped answering: %s" % path)
        except (OSError, subprocess.TimeoutExpired):
            pass

    def walk(self):
        print("monkey: seed %d" % self.seed, flush=True)
        self.note("seed %d" % self.seed)
        started = last_ping = time.time()
        self.launch()
        while True:
            now = time.time()
            done = self.count >= self.events or now - started >= self.seconds
            if (done and not self.missing()) or now - started > self.limit:
                break
            if self.ended():
                self.launch()
                continue
            self.observe()
            if now - last_ping >= 1:
                self.sanitizer_check()
                self.check_pings(now)
                self.x.send_pings(now)
                last_ping = now
            # The same count of random numbers for every step, whichever way it goes.
            r = [self.rng.random() for _ in range(10)]
            # Once its events are spent, it only steers towards what it has still to see.
            event = self.steer(r[5:]) if r[4] < 0.45 or done else self.random_event(r)
            if self.verify_from and now - self.verify_from > VERIFY_S:
                self.verify_from = None
            blocked = any(now - t > 1 for t in self.x.pending.values())
            if self.page == 137 and blocked and not self.modal and event and event[0] in ("key", "type", "replace", "click"):
                event = None  # the window's thread is verifying: keys would pile up unread
            if event:
                self.act(*event)
        self.x.read_pongs()
        print("monkey: seed %d, %d events, %d launches, %d pings answered, %d window-manager prompts, %.0f s"
              % (self.seed, self.count, self.launches, self.x.pongs, self.prompts, time.time() - started),
              flush=True)
        if self.missing():
            raise Failure("never reached: %s" % ", ".join(self.missing()))


def monkey(suite):
    a = suite.options
    seed = a.seed if a.seed is not None else random.SystemRandom().randrange(1, 2 ** 31)
    walker = Monkey(suite, seed, a.events, a.seconds, a.limit)
    try:
        walker.walk()
    except Failure as e:
        raise Failure("seed %d, after %d events: %s" % (seed, walker.count, e))


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--seed", type=int, default=int(os.environ.get("TARVEL_MONKEY_SEED", "0")) or None)
    ap.add_argument("--events", type=int, default=3000, help="this many events, or")
    ap.add_argument("--seconds", type=float, default=160, help="this long, then on until all is seen")
    ap.add_argument("--limit", type=float, default=300, help="at most this long, to see everything")
    main([monkey], ap)
