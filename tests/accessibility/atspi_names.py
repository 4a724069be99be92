#!/usr/bin/python3
"""Every window of the program as a screen reader meets it.

Starts a virtual X server and an accessibility bus of its own (in a D-Bus
session of its own), shows the console and each registered window on it in
simplified Chinese, traditional Chinese and English, reads them through AT-SPI
as Orca does, and fails on a control a user works with whose name is empty,
only symbols ("<<"), the same as another control's in the window, or (a combo
box) just its value; and on a column header named only by a number. In the first
language it also walks each window with Tab alone (Ctrl+Tab out of a grid) and
fails on a control that takes the focus but is never reached.

Exits with 77 (skipped), saying why, where python3-pyatspi, Xvfb or the bus is
missing or does not start.

Usage: atspi_names.py PATH/TO/wayfind
"""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
LANGUAGES = ("chs", "cht", "en")
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIPPED)


def in_own_session():
    """Runs this script again inside a D-Bus session of its own."""
    if os.environ.get("WAYFIND_ATSPI_SESSION") == "1":
        return
    runner = shutil.which("dbus-run-session")
    if not runner:
        skip("dbus-run-session is not installed")
    env = dict(os.environ, WAYFIND_ATSPI_SESSION="1")
    os.execve(runner, [runner, "--", "/usr/bin/python3", os.path.abspath(__file__)] + sys.argv[1:], env)


def start_xvfb(logs):
    xvfb = shutil.which("Xvfb")
    if not xvfb:
        skip("Xvfb is not installed")
    read_end, write_end = os.pipe()
    server = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=logs, stderr=logs)
    os.close(write_end)
    number = b""
    deadline = time.time() + 20
    while time.time() < deadline and not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], 0.5)
        if ready:
            chunk = os.read(read_end, 32)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip():
        server.kill()
        skip("the virtual X server did not start")
    return server, ":" + number.decode().strip()


def start_bus(display, logs):
    if not os.access(BUS_LAUNCHER, os.X_OK):
        skip("the accessibility bus (at-spi2-core) is not installed")
    os.environ["DISPLAY"] = display
    launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], stdout=logs, stderr=logs)
    try:
        import pyatspi  # noqa: F401  (connects to the bus on first use)
    except ImportError:
        launcher.kill()
        skip("python3-pyatspi is not installed (scripts/setup installs it)")
    deadline = time.time() + 20
    while time.time() < deadline:
        try:
            pyatspi.Registry.getDesktop(0).childCount
            return launcher, pyatspi
        except Exception:  # the bus is still coming up
            time.sleep(0.3)
    launcher.kill()
    skip("the accessibility bus did not start")


def registered_windows(wayfind, env):
    """The windows `wayfind screenshot --help` lists."""
    text = subprocess.run([wayfind, "screenshot", "--help"], env=env, capture_output=True, text=True).stdout
    names, listing = [], False
    for line in text.splitlines():
        if "The windows:" in line:
            listing = True
        elif listing and line.startswith("  ") and line.strip() and " " not in line.strip():
            names.append(line.strip())
        elif listing:
            break
    return names


def interactive_roles(pyatspi):
    return {
        pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
        pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
        pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE,
        pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_LINK,
    }


def has_words(text):
    return any(c.isalnum() for c in text)


def walk(pyatspi, node, found, roles):
    """The interactive controls under node that are showing; lists, trees and
    tables are not entered (their items are data), only their column headers
    are read."""
    try:
        states = node.getState()
        role = node.getRole()
    except Exception:
        return
    if not states.contains(pyatspi.STATE_SHOWING):
        return
    if role in roles:
        found.append(node)
        if role in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST,
                    pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_COMBO_BOX):
            return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(pyatspi, child, found, roles)


def column_headers(node):
    try:
        table = node.queryTable()
    except NotImplementedError:
        return []
    headers = []
    for column in range(min(table.nColumns, 12)):
        header = table.getColumnHeader(column)
        if header is not None:
            headers.append(header.name or "")
    return headers


def faults_of(pyatspi, app):
    """What a screen-reader user would miss in each window of app."""
    roles = interactive_roles(pyatspi)
    faults = []
    for w in range(app.childCount):
        window = app.getChildAtIndex(w)
        if window is None:
            continue
        controls = []
        walk(pyatspi, window, controls, roles)
        seen = {}
        for control in controls:
            role = control.getRoleName()
            name = control.name or ""
            where = "%s: %s \"%s\"" % (window.name, role, name)
            if not name.strip():
                faults.append(where + ": no name")
                continue
            if not has_words(name):
                faults.append(where + ": a name of symbols only")
            if control.getRole() == pyatspi.ROLE_COMBO_BOX:
                try:
                    value = control.queryText().getText(0, -1)
                except NotImplementedError:
                    value = ""
                shown = [control.getChildAtIndex(i).name for i in range(control.childCount)
                         if control.getChildAtIndex(i) is not None]
                if name == value or name in shown:
                    faults.append(where + ": named by its value, not by what it is")
            if name in seen:
                faults.append(where + ": the same name as another " + seen[name])
            seen.setdefault(name, role)
            for header in column_headers(control):
                if not has_words(header) or header.strip().isdigit():
                    faults.append(where + ": a column header \"%s\"" % header)
    return faults


TAB_KEYCODE, CONTROL_KEYCODE = 23, 37  # the X server's default keymap


def focused_control(pyatspi, controls):
    for control in controls:
        try:
            if control.getState().contains(pyatspi.STATE_FOCUSED):
                return control
        except Exception:
            pass
    return None


def key(pyatspi, keycode, with_control=False):
    registry = pyatspi.Registry
    if with_control:
        registry.generateKeyboardEvent(CONTROL_KEYCODE, None, pyatspi.KEY_PRESS)
    registry.generateKeyboardEvent(keycode, None, pyatspi.KEY_PRESSRELEASE)
    if with_control:
        registry.generateKeyboardEvent(CONTROL_KEYCODE, None, pyatspi.KEY_RELEASE)
    time.sleep(0.12)


def keyboard_faults(pyatspi, app):
    """Walks the active window with Tab alone (Ctrl+Tab out of a grid, as Qt's
    item views take Tab for their cells), as a user without a mouse does, and
    tells which controls that take the focus were never reached."""
    roles = interactive_roles(pyatspi)
    faults = []
    window = None
    for w in range(app.childCount):
        candidate = app.getChildAtIndex(w)
        if candidate is not None and candidate.getState().contains(pyatspi.STATE_ACTIVE):
            window = candidate
    if window is None:
        return []  # no window has the keyboard (no window manager gave it one)
    controls = []
    walk(pyatspi, window, controls, roles)
    takers = [c for c in controls if c.getState().contains(pyatspi.STATE_FOCUSABLE)
              and c.getState().contains(pyatspi.STATE_ENABLED)]
    grids = (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE)
    reached = set()
    for _ in range(2 * len(takers) + 4):
        now = focused_control(pyatspi, takers)
        if now is not None:
            reached.add(takers.index(now))
        key(pyatspi, TAB_KEYCODE, with_control=now is not None and now.getRole() in grids)
    for i, control in enumerate(takers):
        if i not in reached:
            faults.append("%s: %s \"%s\" never reached by Tab" % (window.name, control.getRoleName(), control.name))
    return faults


def application_of(pyatspi, pid, deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:
                pass
        time.sleep(0.3)
    return None


def read_window(pyatspi, argv, env, logs, keyboard):
    """Starts the program showing one window, reads it (and walks it with the
    keyboard), ends the program."""
    program = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=logs, text=True)
    try:
        if "console" not in argv:
            line = program.stdout.readline()
            if not line.startswith("shown"):
                return ["%s: the window was not shown (%s)" % (" ".join(argv[1:3]), line.strip() or "no answer")]
        app = application_of(pyatspi, program.pid, time.time() + 60)
        if app is None:
            return ["%s: not found on the accessibility bus" % " ".join(argv[1:3])]
        time.sleep(0.5)  # the window's children are announced as it lays out
        return faults_of(pyatspi, app) + (keyboard_faults(pyatspi, app) if keyboard else [])
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    wayfind = os.path.abspath(sys.argv[1])
    in_own_session()
    scratch = tempfile.mkdtemp(prefix="wayfind-atspi-")
    logs = open(os.path.join(scratch, "log.txt"), "w")
    server, display = start_xvfb(logs)
    launcher = None
    try:
        launcher, pyatspi = start_bus(display, logs)
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", WAYFIND_SHOW_ON_DISPLAY="1",
                   WAYFIND_DB=os.path.join(scratch, "demo.db"), WAYFIND_CACHE_DIR=os.path.join(scratch, "cache"),
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"), HOME=scratch)
        env.pop("QT_SCALE_FACTOR", None)
        windows = registered_windows(wayfind, env)
        if not windows:
            print("FAILED: `wayfind screenshot --help` listed no windows")
            return 1
        faults = []
        for language in LANGUAGES:
            keyboard = language == LANGUAGES[0]
            faults += read_window(pyatspi, [wayfind, "console", "--lang", language], env, logs, keyboard)
            for window in windows:
                picture = os.path.join(scratch, "%s-%s.png" % (window, language))
                faults += read_window(pyatspi, [wayfind, "screenshot", window, picture, "--lang", language], env, logs,
                                      keyboard)
            print("read the console and %d windows in %s" % (len(windows), language))
        for fault in faults:
            print("FAULT: " + fault)
        return 1 if faults else 0
    finally:
        if launcher:
            launcher.terminate()
        server.terminate()
        logs.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
