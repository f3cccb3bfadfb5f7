#!/usr/bin/env python3
"""The real upgrade program on a real X server, driven with real key and mouse events.

Run by scripts/test-x11.sh (Xvfb, openbox, DISPLAY). Each case starts build/test/upgrade (and,
where the wizard talks to a module, tarvel-sim on a pseudo-terminal, in real time), presses keys
and clicks through xdotool, and reads what the windows show from the program's report file (see
harness.py). Prints one line per case and 'N passed, N failed'.
"""

import argparse
import re

from harness import App, Failure, Sim, main

COMPLETED = "Download completed. Please click on the Finished button."
FAILED = "Download failed. Please click on the Finished button."
RUN_S = 150  # one upgrade run: the module's fixed waits come to about a minute


def completes(s, app, sim):
    """The run in the progress window completes; Enter on "Finished" closes the window on page
    154, and the module holds both files intact."""
    app.wait(r"text 1061 " + re.escape(COMPLETED), RUN_S)
    app.press(1)
    app.wait(r"dialog 155 close \d+")
    app.wait(r"page 154")
    s.expect_intact(sim)


# --- Enter on the buttons of each page ------------------------------------------------------------

def enter_on_each_button_then_an_upgrade_by_keys(s):
    sim = Sim(s, "keys")
    app = App(s, "keys", s.files, sim)
    app.agree()
    app.go("Next >", 135)              # Enter on Back: the Tab case, on page 136
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
    completes(s, app, sim)
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


def check_tab_cycle(app, page):
    """Tab from the focus round the page and back, then Shift+Tab round the other way."""
    app.settle()
    expected, start = TAB_CYCLES[page], app.focused()
    if start not in expected:
        raise Failure("page %d: focus on %r, not in the Tab cycle %r" % (page, start, expected))
    i = expected.index(start)
    want = expected[i:] + expected[:i]
    forward = [start] + [app.step("Tab") for _ in want]
    backward = [forward[-1]] + [app.step("shift+Tab") for _ in want]
    print("      page %d Tab: %s" % (page, " -> ".join(map(str, forward))))
    if forward != want + [start] or backward != [start] + want[::-1]:
        raise Failure("page %d: Tab went %r, Shift+Tab %r; expected %r" % (page, forward, backward, want))


def check_arrows(app, page, start, keys_and_focus):
    app.focus_to(start)
    for keys, want in keys_and_focus:
        got = app.step(keys, moves=want != start)
        print("      page %d %s on %s: focus %s" % (page, keys, start, got))
        if got != want:
            raise Failure("page %d: %s from %r moved the focus to %r, not %r" % (page, keys, start, got, want))
        start = got


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
    app.go("Next >", 136)              # the arrows left the focus on Next: Enter goes on
    app.go("< Back", 135)              # the arrows chose COM1: Tab into the group lands on it
    app.focus_to("Cancel")
    if app.step("Tab") != 1007:
        raise Failure("Tab into the port radios did not land on the checked COM1")
    app.go("Next >", 136)
    app.focus_to(1020)
    check_tab_cycle(app, 136)
    app.go("Next >", 137)
    check_tab_cycle(app, 137)
    check_arrows(app, 137, 1027, [("Down", 1028), ("Up", 1027), ("Down", 1028)])
    check_arrows(app, 137, "Next >", [("Down", "Next >")])
    app.go("Next >", 140)              # "No, upgrade immediately" is checked: to the files
    app.focus_to(1042)
    check_tab_cycle(app, 140)
    app.ends_with("Cancel")


# --- a refused transfer, then Back and Next: the re-attempt completes ---------------------------

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
    completes(s, app, sim)
    app.ends_with("Finish")


if __name__ == "__main__":
    main([enter_on_each_button_then_an_upgrade_by_keys, tab_follows_the_templates_and_arrows_stay_in_the_radio_group,
          noninteractive_run_fails_then_back_and_next_complete_it], argparse.ArgumentParser())
