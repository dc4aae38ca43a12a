#!/usr/bin/env python3
"""The Windows analysis for real: under Wine, the viewer in a tmux pane fed
by tickwell-feed.exe through the real channels of one wineserver, and the
Windows chart printer. The printer prints the viewer's chart lines, T draws
the trend line on empty cells only and takes it away, P shows the printer's
analysis text.

    wine_analysis_e2e.py BIN_DIR WINE_RUN [VIEWER OPTIONS...]

With viewer options (a grid, say) it only checks that the viewer started
with them draws what the printer prints with them.

Exit 0 on success, 1 on a fault, 77 when Wine or tmux is missing.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

BIN, WINE_RUN = sys.argv[1], sys.argv[2]
VIEWER_OPTIONS = sys.argv[3:]
BARS = 500
RULE = "-" * 96


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(77)


if not os.access("/usr/lib/wine/wine64", os.X_OK):
    skip("Wine is not installed")
if not shutil.which("tmux"):
    skip("tmux is not installed")

WORK = tempfile.mkdtemp(prefix="wine_analysis_e2e_")
SOCKET = "tavelund-wine-analysis-%d" % os.getpid()
feed = None


def tmux(*args):
    return subprocess.run(["tmux", "-L", SOCKET, "-f", "/dev/null"] + list(args),
                          capture_output=True, text=True)


def screen():
    return tmux("capture-pane", "-p", "-J").stdout


def cleanup():
    tmux("kill-server")
    if feed is not None:
        feed.terminate()
        try:
            feed.wait(timeout=10)
        except subprocess.TimeoutExpired:
            feed.kill()
            feed.wait()
    shutil.rmtree(WORK, ignore_errors=True)


def fail(message):
    print("FAILED: " + message)
    print("--- screen:\n" + screen())
    try:
        with open(os.path.join(WORK, "feed.log")) as log:
            print("--- feed:\n" + log.read())
    except OSError:
        pass
    cleanup()
    sys.exit(1)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.05)
    return True


def wait_stable():
    """A key pressed while a command still draws is overwritten when it
    ends: wait until the screen stops changing first."""
    previous = [None]

    def still():
        current = screen()
        same = current != "" and current == previous[0]
        previous[0] = current
        if not same:
            time.sleep(0.4)
        return same

    wait_for(still, 30)


def lines_of(text):
    return [line.rstrip(" \r") for line in text.replace("\r\n", "\n").split("\n")]


def chart_on_screen(text):
    chart, rules, inside = [], 0, False
    for line in lines_of(text):
        if line.startswith("LAST LINE : "):
            inside = True
        if not inside:
            continue
        chart.append(line)
        if line == RULE:
            rules += 1
            if rules == 2:
                break
    return chart


def analysis_block(lines):
    block, inside = [], False
    for line in lines:
        if line == "         POINT AND FIGURE ANALYSIS":
            inside = True
        if not inside:
            continue
        block.append(line)
        if "'t'          Key" in line:
            break
    return block


def bar_date(i, separator):
    return "%04d%s%02d%s%02d" % (2001 + i // 336, separator, 1 + (i // 28) % 12, separator,
                                 1 + i % 28)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def printed(*options):
    run = subprocess.run([WINE_RUN, os.path.join(BIN, "tickwell-chart.exe")] + list(options) +
                         [windows_path(os.path.join(WORK, "bars.csv"))],
                         capture_output=True, timeout=120)
    if run.returncode != 0:
        fail("tickwell-chart.exe ended with %d: %s" % (run.returncode, run.stderr))
    lines = lines_of(run.stdout.decode("ascii", "replace"))
    while lines and lines[-1] == "":
        lines.pop()
    return lines


def main():
    global feed
    for name in ("ConsoleTavelundPF.exe", "tickwell.dll"):
        shutil.copy(os.path.join(BIN, name), WORK)
    with open(os.path.join(WORK, "bars.csv"), "w") as bars:
        bars.write("date,open,high,low,close\n")
        for i in range(BARS):
            mid = 1000 * (1 + 0.09 * math.sin(i / 11.0) + 0.035 * math.sin(i / 2.9))
            bars.write("%s,%.5f,%.5f,%.5f,%.5f\n" % (bar_date(i, "-"), mid, mid * 1.01,
                                                     mid * 0.99, mid * 1.002))

    log = open(os.path.join(WORK, "feed.log"), "w")
    feed = subprocess.Popen([WINE_RUN, os.path.join(BIN, "tickwell-feed.exe"), "--first",
                             str(BARS), windows_path(os.path.join(WORK, "bars.csv"))],
                            stdout=log, stderr=subprocess.STDOUT)
    if not wait_for(lambda: "published" in open(os.path.join(WORK, "feed.log")).read(), 60):
        fail("the feed did not publish")

    newest = "=> %s 00:00(" % bar_date(BARS - 1, "/")
    if VIEWER_OPTIONS:
        # With chart options (a grid): the viewer draws the printer's chart.
        tmux("new-session", "-d", "-x", "140", "-y", "110",
             "cd '%s' && '%s' ./ConsoleTavelundPF.exe %s; exec sleep 600" %
             (WORK, WINE_RUN, " ".join(VIEWER_OPTIONS)))
        if not wait_for(lambda: newest in screen() and "(Now)" in screen(), 120):
            fail("no chart of the bars with %s" % " ".join(VIEWER_OPTIONS))
        wait_stable()
        if chart_on_screen(screen()) != printed(*VIEWER_OPTIONS):
            fail("with %s, the printer's chart differs from the viewer's:\n" %
                 " ".join(VIEWER_OPTIONS) + "\n".join(printed(*VIEWER_OPTIONS)))
        print("ok: with %s, the same chart" % " ".join(VIEWER_OPTIONS))
        tmux("send-keys", "q")
        cleanup()
        return

    tmux("new-session", "-d", "-x", "140", "-y", "110",
         "cd '%s' && '%s' ./ConsoleTavelundPF.exe; exec sleep 600" % (WORK, WINE_RUN))
    if not wait_for(lambda: newest in screen() and "(Now)" in screen(), 120):
        fail("no chart of the bars")
    wait_stable()
    plain = chart_on_screen(screen())
    if len(plain) < 8:
        fail("the chart is not on the screen")
    expected = printed()
    if plain != expected:
        fail("the printer's chart differs from the viewer's:\n" + "\n".join(expected))
    print("ok: tickwell-chart.exe prints the viewer's %d chart lines" % len(plain))

    tmux("send-keys", "t")
    if not wait_for(lambda: chart_on_screen(screen()) != plain, 30):
        fail("T changed nothing")
    wait_stable()
    marked = chart_on_screen(screen())
    if len(marked) != len(plain):
        fail("T changed the number of chart lines")
    changed = 0
    for before, after in zip(plain, marked):
        if len(before) != len(after):
            fail("T changed a line's length:\n%s\n%s" % (before, after))
        for b, a in zip(before, after):
            if b != a:
                if (b, a) != (".", "+"):
                    fail("T changed %r into %r" % (b, a))
                changed += 1
    if changed == 0:
        fail("T marked no cell")
    tmux("send-keys", "t")
    if not wait_for(lambda: chart_on_screen(screen()) == plain, 30):
        fail("T again did not give the plain chart back")
    print("ok: T marked %d empty cells and took them away again" % changed)

    wait_stable()
    tmux("send-keys", "p")
    if not wait_for(lambda: "POINT AND FIGURE ANALYSIS" in screen(), 30):
        fail("P showed no analysis")
    wait_stable()
    shown = analysis_block(lines_of(screen()))
    wanted = analysis_block(printed("--analysis"))
    if len(shown) < 10 or shown != wanted:
        fail("the analysis screen differs from the printer's:\n" + "\n".join(wanted))
    print("ok: P shows the printer's analysis (%d lines)" % len(shown))

    tmux("send-keys", "NPage")
    if not wait_for(lambda: chart_on_screen(screen())[:1] not in ([], plain[:1]), 30):
        fail("PAGE DOWN did not go back to an older chart")
    wait_stable()
    if chart_on_screen(screen()) != printed("--offset", "30"):
        fail("one page back, the printer's chart differs from the viewer's")
    print("ok: one page back, the same chart")

    wait_stable()
    tmux("send-keys", "q")
    cleanup()


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # a fault of the test itself still cleans up
        fail("%s: %s" % (type(error).__name__, error))
