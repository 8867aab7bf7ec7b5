#!/usr/bin/env python3
"""End-to-end check of the monitor through the accessibility bus (AT-SPI), on an Xvfb display with a session bus
of its own: one reading sent over loopback, then the grid "Hosts" and the counters read the way a screen reader
reads them. Usage: read_grid_over_atspi.py PATH/TO/zar-are (exit status 0 passed, 1 failed, 2 not run)"""

import contextlib
import ctypes
import os
import secrets
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

READING = b"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C"
# What the reading must show, as (label, how to read it, expected); the counters start at 0 and the
# grid's empty design-time rows give way to the one host row.
EXPECTED = [
    ("Packets Received", ("text", "Packets Received"), "1"),
    ("Bytes Received", ("text", "Bytes Received"), str(len(READING))),
    ("row count", ("rows",), 1),
    ("row 0 header", ("row_header", 0), "OFFICE"),
    ("row 0, column 0 (date)", ("cell", 0, 0), "Sep  9"),
    ("row 0, column 1 (time)", ("cell", 0, 1), "20:04:58"),
    ("row 0, column 2 (sensor name)", ("cell", 0, 2), " CPU Temp"),
    ("row 0, column 3 (value)", ("cell", 0, 3), " 45.0 "),
    ("column 0 header", ("column_header", 0), "Date"),
]
STARTUP_TIMEOUT = 15.0  # a server or the monitor starting, the accessibility bus activated on demand
STEP_TIMEOUT = 5.0  # later waits: the monitor publishes its changes within a frame
libc = ctypes.CDLL(None, use_errno=True)


class CheckFailed(Exception):
    pass


def die_with_parent():
    # Nothing started here may outlive this check, even when the check itself is killed.
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def stop(process):
    if process is not None and process.poll() is None:
        process.terminate()
        with contextlib.suppress(subprocess.TimeoutExpired):
            return process.wait(timeout=5)
        process.kill()
        process.wait()


def start_server(argv, env, log):
    """Starts a server that writes one line (its display number, its address) to the descriptor put
    in place of {fd} once it is ready; returns the process and that line."""
    ready_r, ready_w = os.pipe()
    process = subprocess.Popen([a.replace("{fd}", str(ready_w)) for a in argv], env=env, stdin=subprocess.DEVNULL,
                               stdout=log, stderr=log, pass_fds=(ready_w,), preexec_fn=die_with_parent)
    os.close(ready_w)
    with os.fdopen(ready_r, "rb") as ready:  # the line comes in one write
        line = ready.readline() if select.select([ready], [], [], STARTUP_TIMEOUT)[0] else b""
    if not line.endswith(b"\n"):
        stop(process)
        raise CheckFailed(f"{argv[0]} did not report ready within {STARTUP_TIMEOUT:.0f} s (status {process.poll()})")
    return process, line.decode().strip()


class PrivateSession:
    """Xvfb on a display number it picks itself (no race with other servers), a session bus in a
    private runtime folder, and the accessibility bus that one starts on demand. Its processes are
    reparented here (we are a subreaper), so stop() ends and reaps them too."""

    xvfb = bus = None

    def __init__(self, folder):
        self.folder, self.log_path = folder, os.path.join(folder, "session.log")

    def start(self):
        os.mkdir(self.folder, 0o700)
        libc.prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
        runtime, authority = os.path.join(self.folder, "runtime"), os.path.join(self.folder, "Xauthority")
        os.mkdir(runtime, 0o700)
        # One wildcard entry (family 0xFFFF) fits whichever display the server picks.
        field = lambda b: struct.pack(">H", len(b)) + b  # noqa: E731
        with open(os.open(authority, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "wb") as f:
            f.write(struct.pack(">H", 0xFFFF) + field(b"") + field(b"") + field(b"MIT-MAGIC-COOKIE-1")
                    + field(secrets.token_bytes(16)))
        env = {k: v for k, v in os.environ.items()
               if k not in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        env.update(XDG_RUNTIME_DIR=runtime, XAUTHORITY=authority)
        with open(self.log_path, "ab") as log:
            self.xvfb, display = start_server(["Xvfb", "-displayfd", "{fd}", "-auth", authority, "-nolisten", "tcp",
                                               "-screen", "0", "1280x800x24"], env, log)
            env["DISPLAY"] = ":" + display
            self.bus, env["DBUS_SESSION_BUS_ADDRESS"] = start_server(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address=unix:dir={runtime}",
                 "--print-address={fd}"], env, log)
        os.environ.clear()
        os.environ.update(env)
        print(f"private session: DISPLAY={env['DISPLAY']}, session bus {env['DBUS_SESSION_BUS_ADDRESS']}")

    def orphans(self):  # our children but Xvfb that are still running; the ended ones are reaped
        found = []
        for pid in map(int, filter(str.isdigit, os.listdir("/proc"))):
            with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as f:
                if (int(f.read().rsplit(")", 1)[1].split()[1]) == os.getpid() and pid != getattr(self.xvfb, "pid", 0)
                        and os.waitpid(pid, os.WNOHANG)[0] == 0):
                    found.append(pid)
        return found

    def stop(self):
        stop(self.bus)  # the accessibility bus launcher ends with the session bus, taking its bus along
        for signum in (None, signal.SIGTERM, signal.SIGKILL):
            deadline = time.monotonic() + 5
            while (left := self.orphans()) and time.monotonic() < deadline:
                time.sleep(0.05)
            if left and signum:
                print(f"still running after the session bus ended: {left}, sending {signum.name}", file=sys.stderr)
                for pid in left:
                    with contextlib.suppress(ProcessLookupError):
                        os.kill(pid, signum)
        stop(self.xvfb)


def start_monitor(executable, folder):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:  # a clash shows in the monitor's warning box
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    program = os.path.join(folder, os.path.basename(executable))
    shutil.copy2(executable, program)
    with open(os.path.join(folder, "Zar-Are.ini"), "w", newline="") as f:  # PORT,HEIGHT,WIDTH,TOP,LEFT
        f.write(f"{port},3000,9000,1200,900\r\n")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    with open(os.path.join(folder, "monitor.log"), "wb") as log:
        return subprocess.Popen([program], cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, preexec_fn=die_with_parent), port


def read_until(what, probe, done, deadline, monitor):
    """Calls probe() until done(what it returned) or the deadline, and returns what it last returned; bus
    errors count as "not yet". Fails at once when the monitor has exited, since nothing will change any more."""
    while True:
        if monitor.poll() is not None:
            raise CheckFailed(f"the monitor exited with status {monitor.returncode} while waiting for {what}")
        try:
            value = probe()
        except GLib.Error:
            value = None
        if done(value) or time.monotonic() >= deadline:
            return value
        time.sleep(0.05)


def wait_for(what, probe, monitor, timeout=STARTUP_TIMEOUT):
    if (value := read_until(what, probe, lambda v: v is not None, time.monotonic() + timeout, monitor)) is None:
        raise CheckFailed(f"{what}: not seen within {timeout:.0f} s")
    return value


def children(node):
    return [c for c in map(node.get_child_at_index, range(node.get_child_count())) if c is not None]


def descendants(root):
    """The accessible tree under root, breadth first, without entering tables."""
    queue, seen = [root], 0
    while queue and seen < 500:
        node, seen = queue.pop(0), seen + 1
        yield node
        if node.get_role() not in (Atspi.Role.TABLE, Atspi.Role.TREE_TABLE):
            queue += children(node)


def find_named(root, name, interface):
    return next((n for n in descendants(root) if n.get_name() == name and interface in n.get_interfaces()), None)


def run_checks(monitor, port):
    desktop = Atspi.get_desktop(0)
    app = wait_for("the monitor on the accessibility bus",
                   lambda: next((a for a in children(desktop) if a.get_process_id() == monitor.pid), None), monitor)
    print(f"found application {app.get_name()!r} (pid {monitor.pid})")
    try:
        found = {name: wait_for(f"{name!r} ({interface})", lambda: find_named(app, name, interface), monitor)
                 for name, interface in (("Hosts", "Table"), ("Packets Received", "Text"), ("Bytes Received", "Text"))}
        table = found["Hosts"]
        if table.get_role() != Atspi.Role.TABLE:
            raise CheckFailed(f'"Hosts" has role {table.get_role_name()!r}, not table')

        def read(how):
            if how[0] == "text":
                return Atspi.Text.get_text(found[how[1]], 0, Atspi.Text.get_character_count(found[how[1]]))
            if how[0] == "rows":
                return Atspi.Table.get_n_rows(table)
            item = {"cell": Atspi.Table.get_accessible_at, "row_header": Atspi.Table.get_row_header,
                    "column_header": Atspi.Table.get_column_header}[how[0]](table, *how[1:])
            return None if item is None else item.get_name()

        # So that the 1 read later is this reading's doing.
        if (before := wait_for("a readable packet counter", lambda: read(("text", "Packets Received")), monitor,
                               STEP_TIMEOUT)) != "0":
            raise CheckFailed(f"Packets Received before the reading: read {before!r}, expected '0'")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.sendto(READING, ("127.0.0.1", port))
        print(f"sent {READING.decode()!r} to 127.0.0.1:{port}")
        # Every read waits for its text until one common deadline, so a wrong grid fails in seconds.
        deadline, failures = time.monotonic() + STEP_TIMEOUT, []
        for label, how, expected in EXPECTED:
            last = read_until(label, lambda: read(how), lambda v: v == expected, deadline, monitor)
            print(f"{'ok  ' if last == expected else 'FAIL'} {label}: read {last!r}, expected {expected!r}")
            failures += [label] if last != expected else []
        if failures:
            raise CheckFailed(f"{len(failures)} check(s) failed: {', '.join(failures)}")
    except CheckFailed:
        try:  # the monitor's windows and labels: a warning box says why the grid stayed empty
            for window in children(app):
                labels = [n.get_name() for n in descendants(window) if n.get_role() == Atspi.Role.LABEL and n.get_name()]
                print(f"  window: {window.get_role_name()} {window.get_name()!r}, labels {labels!r}", file=sys.stderr)
        except (GLib.Error, AttributeError) as e:
            print(f"  (could not list the windows: {e})", file=sys.stderr)
        raise


def main(args):
    if len(args) != 1 or not os.access(args[0], os.X_OK):
        print(__doc__ if len(args) != 1 else f"not an executable: {args[0]}", file=sys.stderr)
        return 2
    # A test driver's time limit still stops everything on the way out.
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, lambda n, _: sys.exit(128 + n))
    sys.stdout.reconfigure(line_buffering=True)
    top = tempfile.mkdtemp(prefix="zar-are-atspi-")  # mode 0700: the monitor's copy, settings, session
    folder = os.path.join(top, "monitor")
    os.mkdir(folder)
    session, monitor, status = PrivateSession(os.path.join(top, "session")), None, 1
    try:
        session.start()
        Atspi.init()
        Atspi.get_desktop(0).get_child_count()  # starts the accessibility bus before the monitor looks for it
        monitor, port = start_monitor(os.path.abspath(args[0]), folder)
        print(f"started {args[0]} as pid {monitor.pid} on UDP port {port}")
        run_checks(monitor, port)
        if monitor.poll() is not None:
            raise CheckFailed(f"the monitor exited with status {monitor.returncode} during the checks")
        status = 0
    except (CheckFailed, GLib.Error, FileNotFoundError) as e:  # a bus error, a server not installed
        print(f"FAIL {getattr(e, 'message', e)}", file=sys.stderr)
    finally:
        stop(monitor)
        Atspi.exit()
        session.stop()
        for what, path in (("monitor's", os.path.join(folder, "monitor.log")),
                           ("display's and buses'", session.log_path)):
            with contextlib.suppress(OSError), open(path, errors="replace") as f:
                if status != 0 and (output := f.read().strip()):
                    print(f"the {what} output:\n{output}", file=sys.stderr)
        shutil.rmtree(top, ignore_errors=True)
    print("PASS" if status == 0 else "FAILED")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
