#!/usr/bin/env python3
"""End-to-end check of the monitor through the desktop's accessibility bus (AT-SPI).

Starts the monitor from a private folder with a settings file naming a free UDP port, sends it one
reading over loopback, and reads the result back the way a screen reader does: the application by its
process, the grid by its accessible name "Hosts", its first row's cells, row header and a column header
through the Table interface, and the counters through the Text interface.

Usage:
    read_grid_over_atspi.py --private-session PATH/TO/zar-are
        starts a virtual X display (Xvfb) and a session bus of its own, and stops them afterwards
    read_grid_over_atspi.py PATH/TO/zar-are
        uses the current DISPLAY and session bus (e.g. under xvfb-run and dbus-run-session)

Exits 0 when every check passed, 1 when one failed, 2 when it could not be run at all.
"""

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

# What the reading must put in the grid's first row, as (label, how to read it, expected text).
EXPECTED_ROW = [
    ("row 0 header", ("row_header", 0), "OFFICE"),
    ("row 0, column 0 (date)", ("cell", 0, 0), "Sep  9"),
    ("row 0, column 1 (time)", ("cell", 0, 1), "20:04:58"),
    ("row 0, column 2 (sensor name)", ("cell", 0, 2), " CPU Temp"),
    ("row 0, column 3 (value)", ("cell", 0, 3), " 45.0 "),
    ("column 0 header", ("column_header", 0), "Date"),
]

STARTUP_TIMEOUT = 15.0  # a server or the monitor starting, the accessibility bus activated on demand
STEP_TIMEOUT = 5.0  # later waits: the monitor publishes its changes within a frame
STOP_TIMEOUT = 5.0  # each process given this long to end after being asked
POLL_INTERVAL = 0.05
MAX_NODES = 500  # a bound on the widget tree walk (tables are not entered)

libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


class CheckFailed(Exception):
    pass


class MonitorExited(CheckFailed):
    pass


def die_with_parent():
    # Nothing started here may outlive this check, even when the check itself is killed.
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def wait_until_gone(process, timeout=STOP_TIMEOUT):
    """Asks a child to end, then makes it end."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=timeout)


# --- A private session: virtual display, session bus, runtime folder ------------------------------


def read_line(fd, what, process, timeout=STARTUP_TIMEOUT):
    """One line a starting server writes to a pipe when it is ready, waited for at most `timeout`."""
    deadline = time.monotonic() + timeout
    data = b""
    while b"\n" not in data:
        left = deadline - time.monotonic()
        if left <= 0:
            raise CheckFailed(f"{what} did not report ready within {timeout:.0f} s")
        ready, _, _ = select.select([fd], [], [], min(left, 0.5))
        if ready:
            chunk = os.read(fd, 256)
            if not chunk:
                raise CheckFailed(f"{what} ended before reporting ready (status {process.poll()})")
            data += chunk
    return data.split(b"\n", 1)[0].decode().strip()


def write_wildcard_cookie(path):
    """An X authority file whose one entry fits any display of this machine: the display number is
    chosen by the server when it starts. Entry: family, address, display number, name, data, each
    but the family preceded by its length (big-endian 16-bit)."""
    def field(b):
        return struct.pack(">H", len(b)) + b

    family_wild = 0xFFFF
    entry = struct.pack(">H", family_wild) + field(b"") + field(b"") + field(b"MIT-MAGIC-COOKIE-1") + field(
        secrets.token_bytes(16))
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "wb") as f:
        f.write(entry)


def children_of_mine(exclude):
    """Processes whose parent is this one, by reading /proc (orphans come here: we are a subreaper)."""
    me = os.getpid()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in exclude:
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        if int(stat.rsplit(")", 1)[1].split()[1]) == me:
            found.append(int(entry))
    return found


def reap_orphans(keep, timeout):
    """Waits at most `timeout` for the processes reparented here (all but `keep`) to end and reaps
    them; returns those still running."""
    deadline = time.monotonic() + timeout
    while True:
        left = []
        for pid in children_of_mine(keep):
            try:
                if os.waitpid(pid, os.WNOHANG)[0] == 0:
                    left.append(pid)
            except ChildProcessError:
                pass
        if not left or time.monotonic() >= deadline:
            return left
        time.sleep(POLL_INTERVAL)


def start_server(argv, what, env, log):
    """Starts a server that writes one line (its display number, its address) to the descriptor put
    in place of {fd} once it is ready; returns the process and that line."""
    ready_r, ready_w = os.pipe()
    try:
        process = subprocess.Popen([arg.replace("{fd}", str(ready_w)) for arg in argv], env=env,
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(ready_w,),
                                   preexec_fn=die_with_parent)
    finally:
        os.close(ready_w)
    try:
        return process, read_line(ready_r, what, process)
    except BaseException:
        wait_until_gone(process)
        raise
    finally:
        os.close(ready_r)


class PrivateSession:
    """Xvfb on a display number it picks itself (no race with other servers starting or ending), a
    session bus listening in a private runtime folder, and the accessibility bus that the session bus
    starts on demand. Everything it started, including the accessibility bus's processes (they are
    reparented here), is ended by stop()."""

    def __init__(self, folder):
        self.folder = folder
        os.mkdir(folder, 0o700)
        self.log_path = os.path.join(self.folder, "session.log")
        self.xvfb = None
        self.bus = None

    def start(self):
        libc.prctl(PR_SET_CHILD_SUBREAPER, 1)
        runtime = os.path.join(self.folder, "runtime")
        os.mkdir(runtime, 0o700)
        authority = os.path.join(self.folder, "Xauthority")
        write_wildcard_cookie(authority)
        env = dict(os.environ)
        for variable in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(variable, None)
        env.update(XDG_RUNTIME_DIR=runtime, XAUTHORITY=authority)

        with open(self.log_path, "ab") as log:
            self.xvfb, display = start_server(
                ["Xvfb", "-displayfd", "{fd}", "-auth", authority, "-nolisten", "tcp", "-screen", "0", "1280x800x24"],
                "Xvfb", env, log)
            env["DISPLAY"] = ":" + display
            self.bus, env["DBUS_SESSION_BUS_ADDRESS"] = start_server(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address=unix:dir={runtime}",
                 "--print-address={fd}"], "the session bus", env, log)

        os.environ.clear()
        os.environ.update(env)
        print(f"private session: DISPLAY={env['DISPLAY']}, session bus {env['DBUS_SESSION_BUS_ADDRESS']}")

    def stop(self):
        # The session bus first: the accessibility bus launcher ends when it goes, taking its bus and
        # registry with it. Those were started by the session bus, so they are reaped here.
        wait_until_gone(self.bus)
        keep = {self.xvfb.pid} if self.xvfb is not None and self.xvfb.poll() is None else set()
        left = reap_orphans(keep, STOP_TIMEOUT)
        for signum in (signal.SIGTERM, signal.SIGKILL):
            if not left:
                break
            print(f"still running after the session bus ended: {left}, sending {signal.Signals(signum).name}",
                  file=sys.stderr)
            for pid in left:
                try:
                    os.kill(pid, signum)
                except ProcessLookupError:
                    pass
            left = reap_orphans(keep, STOP_TIMEOUT)
        if left:
            print(f"left running: {left}", file=sys.stderr)
        wait_until_gone(self.xvfb)


# --- The monitor ------------------------------------------------------------------------------------


def free_udp_port():
    # A port free on loopback now; the monitor binds it moments later. A clash is reported by the
    # monitor's warning box, which the failure report shows.
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_monitor(executable, folder, port):
    program = os.path.join(folder, os.path.basename(executable))
    shutil.copy2(executable, program)
    # PORT,HEIGHT,WIDTH,TOP,LEFT in twips, read from the executable's folder.
    with open(os.path.join(folder, "Zar-Are.ini"), "w", newline="") as f:
        f.write(f"{port},3000,9000,1200,900\r\n")
    env = dict(os.environ)
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_QPA_PLATFORM"] = "xcb"
    with open(os.path.join(folder, "monitor.log"), "wb") as log:
        return subprocess.Popen([program], cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, preexec_fn=die_with_parent)


# --- Reading it through AT-SPI ----------------------------------------------------------------------


def wait_for(what, probe, timeout, monitor):
    """Calls probe() until it returns something other than None, at most `timeout` seconds.

    Bus errors (an object that went away, a call that timed out) count as "not yet". Fails early
    when the monitor has exited, since nothing will change any more."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        if monitor.poll() is not None:
            raise MonitorExited(f"the monitor exited with status {monitor.returncode} while waiting for {what}")
        try:
            result = probe()
            if result is not None:
                return result
        except GLib.Error as e:
            last_error = e.message
        if time.monotonic() >= deadline:
            detail = f" (last bus error: {last_error})" if last_error else ""
            raise CheckFailed(f"{what}: not seen within {timeout:.0f} s{detail}")
        time.sleep(POLL_INTERVAL)


def find_application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def descendants(root):
    """The accessible tree under root, breadth first, without entering tables (their cells are
    reached through the Table interface)."""
    queue = [root]
    seen = 0
    while queue and seen < MAX_NODES:
        node = queue.pop(0)
        seen += 1
        yield node
        if node.get_role() in (Atspi.Role.TABLE, Atspi.Role.TREE_TABLE):
            continue
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is not None:
                queue.append(child)


def find_named(root, name, interface):
    for node in descendants(root):
        if node.get_name() == name and interface in node.get_interfaces():
            return node
    return None


def text_of(accessible):
    return Atspi.Text.get_text(accessible, 0, Atspi.Text.get_character_count(accessible))


def read_table(table, how):
    kind = how[0]
    if kind == "cell":
        item = Atspi.Table.get_accessible_at(table, how[1], how[2])
    elif kind == "row_header":
        item = Atspi.Table.get_row_header(table, how[1])
    else:
        item = Atspi.Table.get_column_header(table, how[1])
    return None if item is None else item.get_name()


def describe_windows(app):
    """The monitor's windows and the texts in them, for a failure report (a warning box says why)."""
    lines = []
    try:
        for i in range(app.get_child_count()):
            window = app.get_child_at_index(i)
            if window is None:
                continue
            lines.append(f"  window: {window.get_role_name()} {window.get_name()!r}")
            for node in descendants(window):
                if node.get_role() == Atspi.Role.LABEL and node.get_name():
                    lines.append(f"    label: {node.get_name()!r}")
    except GLib.Error as e:
        lines.append(f"  (could not list the windows: {e.message})")
    return "\n".join(lines)


def run_checks(monitor, port):
    failures = []

    def check(label, got, expected):
        ok = got == expected
        print(f"{'ok  ' if ok else 'FAIL'} {label}: read {got!r}, expected {expected!r}")
        if not ok:
            failures.append(label)

    app = wait_for("the monitor on the accessibility bus", lambda: find_application(monitor.pid),
                   STARTUP_TIMEOUT, monitor)
    print(f"found application {app.get_name()!r} (pid {monitor.pid})")
    try:
        # The window's widgets answer once the event loop runs, and the port is bound before that.
        table = wait_for('a table named "Hosts"', lambda: find_named(app, "Hosts", "Table"), STARTUP_TIMEOUT,
                         monitor)
        if table.get_role() != Atspi.Role.TABLE:
            raise CheckFailed(f'"Hosts" has role {table.get_role_name()!r}, not table')
        packets = wait_for('a text field named "Packets Received"',
                           lambda: find_named(app, "Packets Received", "Text"), STEP_TIMEOUT, monitor)
        bytes_ = wait_for('a text field named "Bytes Received"', lambda: find_named(app, "Bytes Received", "Text"),
                          STEP_TIMEOUT, monitor)

        # The counters start at 0, so the 1 read later is this reading's doing.
        check("Packets Received before the reading",
              wait_for("a readable packet counter", lambda: text_of(packets), STEP_TIMEOUT, monitor), "0")

        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.sendto(READING, ("127.0.0.1", port))
        print(f"sent {READING.decode()!r} to 127.0.0.1:{port}")

        # Every read waits for its expected text until one common deadline; past it, the text read once
        # is what gets checked, so a wrong grid fails in seconds rather than in seconds per cell.
        deadline = time.monotonic() + STEP_TIMEOUT

        def settled(read, expected):
            last = [None]

            def probe():
                last[0] = read()
                return last[0] if last[0] == expected else None

            try:
                return wait_for(f"{expected!r}", probe, max(0.0, deadline - time.monotonic()), monitor)
            except MonitorExited:
                raise
            except CheckFailed:
                return last[0]

        check("Packets Received", settled(lambda: text_of(packets), "1"), "1")
        check("Bytes Received", settled(lambda: text_of(bytes_), str(len(READING))), str(len(READING)))
        # One host: the grid's empty design-time rows give way to the one host row.
        check("row count", settled(lambda: Atspi.Table.get_n_rows(table), 1), 1)
        print(f"     column count: {Atspi.Table.get_n_columns(table)}")
        for label, how, expected in EXPECTED_ROW:
            check(label, settled(lambda: read_table(table, how), expected), expected)
    except CheckFailed:
        print("the monitor's windows:\n" + describe_windows(app), file=sys.stderr)
        raise
    if failures:
        print("the monitor's windows:\n" + describe_windows(app), file=sys.stderr)
        raise CheckFailed(f"{len(failures)} check(s) failed: {', '.join(failures)}")


def read_log(path):
    try:
        with open(path, errors="replace") as f:
            return f.read().strip()
    except OSError:
        return ""


def main(argv):
    args = argv[1:]
    private = bool(args) and args[0] == "--private-session"
    if private:
        args = args[1:]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    executable = os.path.abspath(args[0])
    if not os.access(executable, os.X_OK):
        print(f"not an executable: {executable}", file=sys.stderr)
        return 2
    if not private:
        for variable in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            if not os.environ.get(variable):
                print(f"{variable} is not set: use --private-session, or run under xvfb-run and dbus-run-session",
                      file=sys.stderr)
                return 2

    # A terminating signal (a test driver's time limit) still stops everything on the way out.
    def on_signal(signum, _frame):
        raise SystemExit(128 + signum)

    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, on_signal)
    # Output in step with the servers' own messages on the same terminal.
    sys.stdout.reconfigure(line_buffering=True)

    # One private folder (mode 0700) for everything: the monitor's copy and settings, the session's
    # runtime folder, authority file and log.
    top = tempfile.mkdtemp(prefix="zar-are-atspi-")
    folder = os.path.join(top, "monitor")
    os.mkdir(folder)
    session = PrivateSession(os.path.join(top, "session")) if private else None
    monitor = None
    status = 1
    try:
        if session is not None:
            session.start()
        # Connecting here starts the accessibility bus before the monitor looks for it.
        Atspi.init()
        Atspi.get_desktop(0).get_child_count()
        port = free_udp_port()
        monitor = start_monitor(executable, folder, port)
        print(f"started {executable} as pid {monitor.pid} on UDP port {port}")
        run_checks(monitor, port)
        if monitor.poll() is not None:
            raise CheckFailed(f"the monitor exited with status {monitor.returncode} during the checks")
        status = 0
    except CheckFailed as e:
        print(f"FAIL {e}", file=sys.stderr)
    except GLib.Error as e:
        print(f"FAIL accessibility bus error: {e.message}", file=sys.stderr)
    except FileNotFoundError as e:
        print(f"FAIL cannot start {e.filename}: not installed?", file=sys.stderr)
    finally:
        wait_until_gone(monitor)
        Atspi.exit()
        if session is not None:
            session.stop()
        if status != 0:
            output = read_log(os.path.join(folder, "monitor.log"))
            if output:
                print(f"the monitor's output:\n{output}", file=sys.stderr)
            output = read_log(session.log_path) if session is not None else ""
            if output:
                print(f"the display's and buses' output:\n{output}", file=sys.stderr)
        shutil.rmtree(top, ignore_errors=True)
    print("PASS" if status == 0 else "FAILED")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
