"""What the black-box checks of the desktop program share: PLXEX529 started
under Wine in the build's prefix, and the tests' own peers that drive it
from a second Wine process: the DDE client (tests/tools/dde_test_client.cpp,
one conversation per step) and the window probe (tests/tools/window_probe.cpp).
Every wait polls within a bound. The checks change the user's settings,
the session list and the file-type association of the test prefix, and put
them back when they end."""
import os
import re
import shutil
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
build = os.environ.get("TEST_BINARY_DIR", os.path.join(top, "build"))
bin_dir = os.path.join(build, "bin")
PROGRAM = os.path.join(bin_dir, "PLXEX529.exe")
PROBE = os.path.join(bin_dir, "window_probe.exe")
DDE_CLIENT = os.path.join(bin_dir, "dde_test_client.exe")
FRAME_CLASS = "Plovex5"
MESSAGE_BOX_CLASS = "#32770"
SERVICE = "Plovex"
SETTINGS_KEY = r"HKCU\Software\Ostrel\Plovex5"
# The extensions the checks let the program register: scratch ones, so that
# the prefix's real types stay free for the other tests.
SCRATCH_TYPES = " plxbb-a, .PLXBB-B,,.plxbb-c\\shell\\open\\command, *.plxbb-d, plxbb-a"
WM_COMMAND = 273
failures = []
_started = []
_dde_runs = 0


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, flush=True)
    return ok


def finish():
    for program in _started:
        program.kill()
    if _dde_runs:
        shutil.rmtree(os.path.join(build, "scratch", "program-dde-%d" % os.getpid()), ignore_errors=True)
    print("%d failure(s)" % len(failures))
    sys.exit(1 if failures else 0)


def require_build():
    """Ends the check, failing, when the program or its peers are not built."""
    missing = [path for path in (PROGRAM, PROBE, DDE_CLIENT) if not os.path.exists(path)]
    if missing:
        sys.exit("FAILED: not built, nothing was checked: " + " ".join(missing))


def scratch_dir(name):
    """A fresh empty folder of the build for one check."""
    path = os.path.join(build, "scratch", "program-" + name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def wine(*args, timeout=60):
    """(exit code, standard output as text) of a Windows program."""
    done = subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def wait_for(condition, timeout, interval=0.1):
    """Polls until the condition answers something true; that answer, or None
    when the time is up."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            return None
        time.sleep(interval)


class Program:
    """One run of PLXEX529 with the given arguments (a list of texts that
    Wine joins into the Windows command line, quoting those with blanks)."""

    def __init__(self, *args):
        # The program's output is not the check's: an inherited pipe would
        # keep ctest waiting after the check ended.
        self.process = subprocess.Popen(["wine", PROGRAM, *args], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started = time.monotonic()
        _started.append(self)

    def ended(self, timeout):
        try:
            self.process.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def probe(*args, timeout=30):
    """(exit code, lines) of the window probe."""
    code, text = wine(PROBE, *[str(a) for a in args], timeout=timeout)
    return code, [line for line in text.splitlines() if line]


def frames():
    """(hwnd, pid, visible, title) of every frame window."""
    found = []
    for line in probe("windows", FRAME_CLASS)[1]:
        hwnd, pid, visible, title = (line.split("\t") + ["", "", "", ""])[:4]
        found.append((int(hwnd), int(pid), visible == "1", title))
    return found


def wait_for_frame(timeout=30, title_part=""):
    """The first frame window (whose title holds the text), or None."""
    def one():
        for frame in frames():
            if title_part in frame[3]:
                return frame
        return None
    return wait_for(one, timeout)


def dde(*steps, timeout=90):
    """The DDE client's output lines, one per step (steps as the client reads
    them: "x\\tTEXT" executes, "r\\tITEM" requests)."""
    global _dde_runs
    _dde_runs += 1
    if _dde_runs == 1:
        scratch_dir("dde-%d" % os.getpid())
    work = os.path.join(build, "scratch", "program-dde-%d" % os.getpid())
    steps_path = os.path.join(work, "steps-%d.txt" % _dde_runs)
    out_path = os.path.join(work, "out-%d.txt" % _dde_runs)
    with open(steps_path, "w", encoding="utf-8") as f:
        f.write("".join(step + "\n" for step in steps))
    wine(DDE_CLIENT, "-out", windows_path(out_path), "-service", SERVICE, "-steps", windows_path(steps_path),
         timeout=timeout)
    if not os.path.exists(out_path):
        return []
    with open(out_path, encoding="utf-8", errors="replace") as f:
        return f.read().splitlines()


def request(item):
    """The text of the viewer's answer to a request item, or None."""
    lines = dde("r\t" + item)
    if len(lines) != 1 or not lines[0].startswith("data\t"):
        return None
    return lines[0].split("\t", 3)[3]


def execute(text):
    return dde("x\t" + text) == ["ack"]


def window_info(item=""):
    """GetWindowInfo3's fields (the page id first, then file and item names
    without their quotes), or None."""
    answer = request("GetWindowInfo3(%s)" % item if item else "GetWindowInfo3")
    if not answer:
        return None
    return [field.strip().strip('"') for field in answer.split(",")]


def wait_for_active_file(file_name, timeout=30):
    """The active page's id once the active item belongs to the file."""
    info = wait_for(lambda: (lambda i: i if i and i[1] == file_name else None)(window_info()), timeout)
    return int(info[0]) if info else None


def quit_program(program, timeout=30):
    """Quit over DDE; True once the process has ended."""
    execute("Quit")
    return program.ended(timeout)


def temp_dir():
    """The Unix path of the prefix's %TEMP%, where the session list lives."""
    _, text = wine("cmd", "/c", "echo", "%TEMP%")
    windows = text.strip().splitlines()[-1].strip()
    done = subprocess.run(["winepath", "-u", windows], capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
    return done.stdout.decode().strip()


def reg_query(key, value=None):
    """The data of a registry value (the default value without a name), or
    None when key or value is missing."""
    code, text = wine("reg", "query", key, *(["/v", value] if value else ["/ve"]))
    if code != 0:
        return None
    for line in text.splitlines():
        match = re.match(r"\s+(\S.*?)\s+REG_\w+\s+(.*)$", line)
        if match:
            return match.group(2).rstrip("\r")
    return None


def reg_key_exists(key):
    return wine("reg", "query", key)[0] == 0


def reg_set(key, value, data):
    wine("reg", "add", key, "/v", value, "/d", data, "/f")


def reg_delete_value(key, value):
    wine("reg", "delete", key, "/v", value, "/f")


def reg_delete_key(key):
    wine("reg", "delete", key, "/f")


def prepare_settings():
    """The settings the checks start from: scratch file types, no stored frame."""
    reg_set(SETTINGS_KEY, "SUPPORTED_FILETYPES", SCRATCH_TYPES)
    reg_delete_value(SETTINGS_KEY, "RECT_MAINWINDOW")


def restore_settings():
    reg_delete_value(SETTINGS_KEY, "SUPPORTED_FILETYPES")
    reg_delete_value(SETTINGS_KEY, "RECT_MAINWINDOW")
    for key in (".plxbb-a", ".PLXBB-B", ".plxbb-c", "Plovex.Document"):
        reg_delete_key("HKCR\\" + key)


def make_tiff(path, sizes):
    """A Group 4 TIFF with one white page per (width, height), 200 dpi, made
    by ImageMagick; each page carries a black box."""
    command = ["convert", "-density", "200", "-units", "PixelsPerInch"]
    for width, height in sizes:
        command += ["(", "-size", "%dx%d" % (width, height), "xc:white", "-fill", "black",
                    "-draw", "rectangle 20,20 %d,%d" % (width // 3, height // 3), ")"]
    subprocess.run(command + ["-compress", "group4", path], check=True, stdin=subprocess.DEVNULL,
                   capture_output=True)
