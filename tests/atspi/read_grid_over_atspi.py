#!/usr/bin/env python3
"""End-to-end check of the monitor through the accessibility bus (AT-SPI), on the X display it is run on (Xvfb)
with a session bus of its own: one reading sent over loopback, then the grid "Hosts" and the packet counter read
the way a screen reader reads them. Usage: read_grid_over_atspi.py PATH/TO/zar-are (exit status 0 passed)"""

import contextlib
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

READING = b"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C"
# What the reading must show, as (what, how to read it from the grid and the counter, expected); the grid's
# empty design-time rows give way to the one host row.
EXPECTED = [
    ("Packets Received", lambda grid, counter: Atspi.Text.get_text(counter, 0, -1), "1"),
    ("row count", lambda grid, counter: Atspi.Table.get_n_rows(grid), 1),
    ("row 0 header", lambda grid, counter: Atspi.Table.get_row_header(grid, 0).get_name(), "OFFICE"),
    ("row 0, column 0 (date)", lambda grid, counter: Atspi.Table.get_accessible_at(grid, 0, 0).get_name(), "Sep  9"),
    ("row 0, column 3 (value)", lambda grid, counter: Atspi.Table.get_accessible_at(grid, 0, 3).get_name(), " 45.0 "),
    ("column 0 header", lambda grid, counter: Atspi.Table.get_column_header(grid, 0).get_name(), "Date"),
]
STARTUP_TIMEOUT = 15.0  # the monitor starting, the accessibility bus activated on demand
STEP_TIMEOUT = 5.0  # later waits: the monitor publishes its changes within a frame
libc = ctypes.CDLL(None, use_errno=True)


def spawn(argv, **options):  # nothing started here may outlive this check, even when the check is killed
    return subprocess.Popen(argv, stdin=subprocess.DEVNULL, preexec_fn=lambda: libc.prctl(1, signal.SIGTERM),
                            **options)  # PR_SET_PDEATHSIG


def stop(process):
    if process is not None and process.poll() is None:
        process.terminate()
        with contextlib.suppress(subprocess.TimeoutExpired):
            return process.wait(timeout=5)
        process.kill()
        process.wait()


def orphans():  # what the buses started, reparented here (we are a subreaper) and still running
    found = []
    for pid in map(int, filter(str.isdigit, os.listdir("/proc"))):
        with contextlib.suppress(OSError), open(f"/proc/{pid}/stat") as f:
            if int(f.read().rsplit(")", 1)[1].split()[1]) == os.getpid() and os.waitpid(pid, os.WNOHANG)[0] == 0:
                found.append(pid)
    return found


def start_session_bus(runtime):
    """A session bus in a private runtime folder, where the accessibility bus it starts on demand lives too."""
    os.environ.pop("AT_SPI_BUS_ADDRESS", None)
    os.environ["XDG_RUNTIME_DIR"] = runtime
    bus = spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address=unix:dir={runtime}",
                 "--print-address=1"], stdout=subprocess.PIPE)
    if not (address := bus.stdout.readline().decode().strip()):
        raise AssertionError(f"the session bus did not start (status {bus.wait()})")
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    return bus


def end_session(bus):
    stop(bus)  # the accessibility bus launcher ends with the session bus, taking its bus along
    deadline = time.monotonic() + 5
    while (left := orphans()) and time.monotonic() < deadline:
        time.sleep(0.05)
    for pid in left:  # still running: holding on to our output, they would keep the test driver waiting
        with contextlib.suppress(ProcessLookupError):
            os.kill(pid, signal.SIGKILL)


def start_monitor(executable, folder):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:  # a clash shows in the monitor's warning box
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    os.mkdir(folder)
    program = shutil.copy2(executable, folder)
    with open(os.path.join(folder, "Zar-Are.ini"), "w", newline="") as f:  # PORT,HEIGHT,WIDTH,TOP,LEFT
        f.write(f"{port},3000,9000,1200,900\r\n")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    return spawn([program], cwd=folder, env=env), port


def read_until(what, probe, monitor, timeout, done=lambda value: value is not None):
    """Calls probe() until done(what it returned), and returns that; bus errors and missing objects count as
    "not yet". Fails when the time is up, or at once when the monitor has exited: nothing will change any more."""
    deadline = time.monotonic() + timeout
    while monitor.poll() is None:
        try:
            value = probe()
        except (GLib.Error, AttributeError):
            value = None
        if done(value):
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"{what}: read {value!r} after {timeout:.0f} s")
        time.sleep(0.05)
    raise AssertionError(f"the monitor exited with status {monitor.returncode} while waiting for {what}")


def children(node):
    return [c for c in map(node.get_child_at_index, range(node.get_child_count())) if c is not None]


def find_named(root, name, interface):
    """Breadth first through the accessible tree under root, without entering tables."""
    queue, seen = [root], 0
    while queue and seen < 500:
        node, seen = queue.pop(0), seen + 1
        if node.get_name() == name and interface in node.get_interfaces():
            return node
        if node.get_role() not in (Atspi.Role.TABLE, Atspi.Role.TREE_TABLE):
            queue += children(node)


def run_checks(monitor, port):
    app = read_until("the monitor on the accessibility bus", lambda: next(
        (a for a in children(Atspi.get_desktop(0)) if a.get_process_id() == monitor.pid), None), monitor,
        STARTUP_TIMEOUT)
    grid, counter = (read_until(name, lambda: find_named(app, name, interface), monitor, STARTUP_TIMEOUT)
                     for name, interface in (("Hosts", "Table"), ("Packets Received", "Text")))
    # So that the 1 read later is this reading's doing.
    read_until("Packets Received before the reading, expected '0'", lambda: Atspi.Text.get_text(counter, 0, -1),
               monitor, STEP_TIMEOUT, lambda value: value == "0")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(READING, ("127.0.0.1", port))
    for what, read, expected in EXPECTED:
        read_until(f"{what}, expected {expected!r}", lambda: read(grid, counter), monitor, STEP_TIMEOUT,
                   lambda value: value == expected)
    if monitor.poll() is not None:
        raise AssertionError(f"the monitor exited with status {monitor.returncode} during the checks")


def main(args):
    if len(args) != 1:
        sys.exit(__doc__)
    # A test driver's time limit still stops everything on the way out.
    for signum in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(signum, lambda n, _: sys.exit(128 + n))
    libc.prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
    top = tempfile.mkdtemp(prefix="zar-are-atspi-")  # mode 0700: the runtime folder, the monitor's copy
    bus = monitor = None
    try:
        bus = start_session_bus(top)
        Atspi.init()
        Atspi.get_desktop(0).get_child_count()  # starts the accessibility bus before the monitor looks for it
        monitor, port = start_monitor(os.path.abspath(args[0]), os.path.join(top, "monitor"))
        run_checks(monitor, port)
        print("PASS")
        return 0
    except (AssertionError, GLib.Error, OSError) as e:  # a check, a bus error, a server not installed
        print(f"FAIL {getattr(e, 'message', e)}", file=sys.stderr)
        return 1
    finally:
        stop(monitor)
        Atspi.exit()
        end_session(bus)
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
