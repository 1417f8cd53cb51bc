"""What the black-box checks of tests/program share: starting PLXEX529 under
Wine and driving it as a peer program would, through the tests' own DDE
client and window probe (tests/tools/), and judging with `wine reg`.

A check calls begin() with its scratch folder's name, records its findings
with check() and ends with finish(), which kills what it started and gives
the exit code."""
import contextlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

build = os.environ.get("TEST_BINARY_DIR", "build")
PROGRAM, PROBE, DDE_CLIENT = (os.path.join(build, "bin", name + ".exe")
                              for name in ("PLXEX529", "window_probe", "dde_test_client"))
SETTINGS_KEY = r"HKCU\Software\Ostrel\Plovex5"
FRAME, MAIN, TREE, PREVIEW = "Plovex5", "Plovex50Hauptansicht", "Plovex50DokTree", "Plovex50Voransicht"
WM_COMMAND, IDOK = 273, 1
FILE_NAME_EDIT, FILE_NAME_COMBO = 1152, 1148  # the name field of the common file dialogs
work = os.path.join(build, "scratch")
failures, started = [], []


def begin(name):
    """A fresh scratch folder for the check; stops at once when not built."""
    global work
    if not all(map(os.path.exists, (PROGRAM, PROBE, DDE_CLIENT))):
        sys.exit("FAILED: not built, nothing was checked")
    work = os.path.join(build, "scratch", name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    return work


def run_check(name, main, settings=None, cleanup=None):
    """begin(name), the settings set, main(work); whatever happens the
    settings deleted again, the cleanup run and the exit code finish()'s."""
    work = begin(name)
    reg_set(settings or {})
    try:
        main(work)
    finally:
        code = finish()
        reg_set({name: None for name in settings or {}})
        if cleanup:
            cleanup()
    sys.exit(code)


def finish():
    for process in started:
        process.kill()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, flush=True)
    return ok


def wait_for(condition, timeout):
    """The first true answer of the condition within the time, else None."""
    end = time.monotonic() + timeout
    while not (value := condition()) and time.monotonic() < end:
        time.sleep(0.1)
    return value or None


def wine(*args, timeout=60):
    """(exit code, standard output) of a Windows program."""
    done = subprocess.run(["wine", *map(str, args)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def start(*args):
    """PLXEX529 with these arguments; no pipe of its own keeps ctest waiting."""
    started.append(subprocess.Popen(["wine", PROGRAM, *args], stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    return started[-1]


def probe(*args):
    """The window probe's output lines, split at the TABs."""
    return [line.split("\t") for line in wine(PROBE, *args, timeout=30)[1].splitlines() if line]


def wait_for_frame(title_part="", timeout=30):
    return wait_for(lambda: next((f for f in probe("windows", FRAME) if title_part in f[3]), None), timeout)


def dde(*steps):
    """The DDE client's answer lines, one per step ("x\\tTEXT" executes,
    "r\\tITEM" requests); a single step gives its line alone."""
    steps_file, out = os.path.join(work, "steps.txt"), os.path.join(work, "out.txt")
    pathlib.Path(steps_file).write_text("".join(step + "\n" for step in steps), encoding="utf-8")
    pathlib.Path(out).write_bytes(b"")
    wine(DDE_CLIENT, "-out", windows_path(out), "-service", "Plovex", "-steps", windows_path(steps_file),
         timeout=30 + 15 * len(steps))
    lines = pathlib.Path(out).read_text(encoding="utf-8", errors="replace").strip().split("\n")
    return lines[0] if len(steps) == 1 else lines


def request(item):
    """The fields of the answer to a request item, without their quotes, or None."""
    answer = dde("r\t" + item).split("\t", 3)
    return [field.strip().strip('"') for field in answer[3].split(",")] if answer[0] == "data" else None


def wait_for_active_file(file_name, timeout=30):
    """The active page's id once it belongs to the file (GetWindowInfo3)."""
    info = wait_for(lambda: (lambda i: i if i and i[1] == file_name else None)(request("GetWindowInfo3")), timeout)
    return int(info[0]) if info else None


def cut_out(page_id):
    """GetCutOut3's left, top, width and height in millimetres, or None."""
    fields = request("GetCutOut3(%d)" % page_id)
    return [int(v) / 1000.0 for v in fields[1:5]] if fields and len(fields) == 7 else None


def fill_file_dialog(box, path):
    """Types the path into a file dialog's name field and presses OK."""
    for child in probe("children", box):
        if child[2] in (str(FILE_NAME_EDIT), str(FILE_NAME_COMBO)):
            probe("text", child[0], windows_path(path))
    probe("post", box, WM_COMMAND, IDOK, 0)


def quit_program(process):
    dde("x\tQuit")
    return wait_for(lambda: process.poll() is not None, 30)


def program_texts(*names):
    """The program's texts of those names, each in German and English (resources/texts.tsv)."""
    found = []
    table = pathlib.Path(__file__).resolve().parents[2] / "resources" / "texts.tsv"
    for line in table.read_text(encoding="utf-8").splitlines():
        fields = line.split("\t")
        if len(fields) >= 4 and fields[1] in names:
            found += fields[2:4]
    return found


def program_boxes(pid):
    """The dialog windows of the process: [(hwnd, title, [child texts])]."""
    return [(w[0], w[3], [c[-1] for c in probe("children", w[0]) if len(c) > 8])
            for w in probe("windows", "#32770") if len(w) > 1 and w[1] == pid]


WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP = 0x200, 0x201, 0x202, 0x204, 0x205
MK_LBUTTON, MK_RBUTTON = 1, 2


class View:
    def __init__(self, frame):
        self.frame = frame
        self.window = next(c[0] for c in probe("children", frame) if c[1] == MAIN)
        self.client = [int(v) for v in probe("rect", self.window)[1]]  # screen: left top right bottom

    def at(self, fx, fy):
        """The client point at the fractions of the client size."""
        return (int((self.client[2] - self.client[0]) * fx), int((self.client[3] - self.client[1]) * fy))

    def post(self, message, keys, point):
        probe("post", self.window, message, keys, (point[1] << 16) | point[0])

    def choose(self, command):
        """The tool, once the tool bar shows it pressed (the view has then
        taken the mode and painted, which binds its page)."""
        probe("post", self.frame, WM_COMMAND, command, 0)
        bar = wait_for(lambda: next((c[0] for w in probe("windows", "PLOVEX_RLTOOLBAR") if w[2] == "1"
                                     for c in probe("children", w[0]) if c[1] == "ToolbarWindow32"), None), 15)
        return bar and wait_for(lambda: probe("buttons", bar, command)[0][3] == "1", 15)

    def drag(self, a, b):
        self.post(WM_LBUTTONDOWN, MK_LBUTTON, a)
        self.post(WM_MOUSEMOVE, MK_LBUTTON, ((a[0] + b[0]) // 2, (a[1] + b[1]) // 2))
        self.post(WM_MOUSEMOVE, MK_LBUTTON, b)
        self.post(WM_LBUTTONUP, 0, b)

    def click(self, point):
        """A left click where the mouse has come to rest (the select tool picks
        the object under it)."""
        self.post(WM_MOUSEMOVE, 0, point)
        self.post(WM_LBUTTONDOWN, MK_LBUTTON, point)
        self.post(WM_LBUTTONUP, 0, point)

    def clicks(self, points):
        for point in points:
            self.post(WM_LBUTTONDOWN, MK_LBUTTON, point)
            self.post(WM_LBUTTONUP, 0, point)
        self.post(WM_RBUTTONDOWN, MK_RBUTTON, points[-1])
        self.post(WM_RBUTTONUP, 0, points[-1])


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def reg_query(key, value=None):
    """The data of a registry value (the key's default without a name), or None."""
    code, text = wine("reg", "query", key, *(["/v", value] if value else ["/ve"]))
    match = re.search(r"^\s+\S.*?\s+REG_\w+\s+(.*?)\r?$", text, re.M) if code == 0 else None
    return match.group(1) if match else None


def reg_values(key):
    """{name: data} of every value of the key ({} without the key)."""
    code, text = wine("reg", "query", key)
    return dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s*(.*?)\r?$", text, re.M)) if code == 0 else {}


def reg_set(values, key=SETTINGS_KEY):
    """Adds the values, deletes those given as None."""
    for name, data in values.items():
        wine("reg", *(["delete", key, "/v", name] if data is None else ["add", key, "/v", name, "/d", data]), "/f")


def windows_temp():
    """The Unix path of the Windows temporary folder of the Wine prefix."""
    temp = wine("cmd", "/c", "echo", "%TEMP%")[1].strip().splitlines()[-1].strip()
    return subprocess.run(["winepath", "-u", temp], capture_output=True, timeout=60).stdout.decode().strip()


@contextlib.contextmanager
def settings_kept(folder):
    """Puts the program's settings back as they were when the block began
    (the checks that run after this one expect them so)."""
    saved = os.path.join(folder, "settings.reg")
    had = wine("reg", "export", SETTINGS_KEY, windows_path(saved), "/y")[0] == 0
    try:
        yield
    finally:
        wine("reg", "delete", SETTINGS_KEY, "/f")
        if had:
            wine("reg", "import", windows_path(saved))


def with_numpy():
    """numpy and PIL.Image, run again under /usr/bin/python3 when this interpreter lacks them."""
    try:
        import numpy
        from PIL import Image
        return numpy, Image
    except ImportError:
        if os.path.realpath(sys.executable) == os.path.realpath("/usr/bin/python3"):
            sys.exit("FAILED: /usr/bin/python3 has no numpy or Pillow (tools/setup installs them)")
        os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(sys.argv[0]), *sys.argv[1:]])


def show_document(script, page, shot, settings, screen="800x600", **environment):
    """Shows the page in the program on a virtual X screen (tools/show-document),
    which runs the script again with --while-shown while the viewer is shown;
    (exit code, output), the output printed."""
    environment = dict(os.environ, SCREEN_SIZE=screen, SHOW_SETTINGS=settings, **environment,
                       SHOW_THEN="%s %s --while-shown" % (sys.executable, os.path.abspath(script)))
    environment.pop("DISPLAY", None)
    done = subprocess.run([os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/show-document"),
                           build, page, shot], env=environment, capture_output=True, timeout=300)
    output = done.stdout.decode() + done.stderr.decode()
    print(output, end="")
    return done.returncode, output


def exit_with(problems, passed="0 failure(s)"):
    """Prints the problems (a text, a list, or none) and ends with their exit code."""
    problems = [problems] if isinstance(problems, str) else problems or []
    for problem in problems:
        print("FAILED:", problem, flush=True)
    print(passed if not problems else "%d failure(s)" % len(problems), flush=True)
    sys.exit(1 if problems else 0)


def make_tiff(path, sizes, density=200):
    """A bilevel Group 4 TIFF with one white page per "WxH" size."""
    subprocess.run(["convert", "-density", str(density), "-units", "PixelsPerInch"] + [
        part for size in sizes for part in ("-size", size, "xc:white")] + [
        "-compress", "group4", path], check=True, capture_output=True)
    return windows_path(path)
