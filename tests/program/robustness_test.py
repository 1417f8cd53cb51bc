"""Robustness of the running desktop program, driven from outside by the
tests' DDE client: generated DDE transactions, command lines, list files,
damaged documents of every format and downloads from a misbehaving server on
127.0.0.1, then a soak of opening and closing documents.

The judge: after every case the program still answers GetProcessID with its
own process id (a crash is the process gone, a hang no answer within
HANG_SECONDS); a failed Convert leaves no file and a written one is a TIFF or
a PDF; after every batch, with the documents closed and the downloads let
go, nothing changed in the scratch tree, the temporary folder or the root of
drive C but the targets the cases named; at the end of the soak the handles
and memory the program holds are within a small margin of the start.

Environment: PROGRAM_ROBUSTNESS_COUNT cases of each generated family
(default 40), PROGRAM_ROBUSTNESS_SEED (default 1),
PROGRAM_ROBUSTNESS_SOAK_SECONDS (default 15), PROGRAM_ROBUSTNESS_LOG=1
prints every case. A longer run:
  PROGRAM_ROBUSTNESS_COUNT=400 PROGRAM_ROBUSTNESS_SEED=7 \\
  PROGRAM_ROBUSTNESS_SOAK_SECONDS=60 ctest -R program.robustness
A failing case's steps are saved under the scratch folder's failures/; a
fault once found keeps its input in KNOWN_BAD_LISTS, which every run replays."""
import os
import pathlib
import random
import re
import shutil
import socket
import subprocess
import sys
import threading
import time

build = os.path.abspath(os.environ.get("TEST_BINARY_DIR", "build"))
source_root = os.environ.get("TEST_SOURCE_DIR", str(pathlib.Path(__file__).resolve().parents[2]))
PROGRAM, PROBE, DDE_CLIENT = (os.path.join(build, "bin", name + ".exe")
                              for name in ("PLXEX529", "window_probe", "dde_test_client"))
work = os.path.join(build, "scratch", "program-robustness")
COUNT = int(os.environ.get("PROGRAM_ROBUSTNESS_COUNT") or 40)
SEED = int(os.environ.get("PROGRAM_ROBUSTNESS_SEED") or 1)
SOAK_SECONDS = float(os.environ.get("PROGRAM_ROBUSTNESS_SOAK_SECONDS") or 15)
LOG = os.environ.get("PROGRAM_ROBUSTNESS_LOG") == "1"
HANG_SECONDS = 30  # Convert may block the program 5 s by design; a loaded machine needs more
BATCH = 25
FRAME, WM_COMMAND = "Plovex5", 273
SETTINGS_KEY = r"HKCU\Software\Ostrel\Plovex5"
# Menu commands that need no dialog: standard view, zoom, mirror, rotate,
# invert, pages, scrolling, pane modes.
VIEW_COMMANDS = [504, 511, 512, 513, 521, 522, 523, 524, 525, 526, 527, 528, 529, 531, 532, 533, 534,
                 548, 549, 550, 551, 552, 553, 554, 555, 556]
EXTENSIONS = {"0": ".tif", "1": ".jpg", "2": ".gif", "3": ".bmp", "4": ".cal"}
counts = {"cases": 0, "crashes": 0, "hangs": 0, "slow": 0, "leaks": 0, "writes": 0, "converts": 0}
failures, rnd = [], random.Random(SEED)

# Lists that once stopped the program answering, opened first in every run,
# beside the million-line lists at the size limit and just under it.
KNOWN_BAD_LISTS = {
    # Named itself under other spellings: every level below opened it again.
    "self.lst": b"self.lst\n.\\self.lst\n.\\.\\self.lst\nsub\\..\\self.lst\nSELF.LST\n",
    # Thousands of entries: each new node searched the whole tree control,
    # a message per node.
    "many.lst": b"; $PLOVEX-LST\n" + b"m\n" * 3000,
    "million.lst": b"\n" * 1000000,
    "under.lst": b"\r" * 999999,
}


def fail(kind, what, steps=()):
    counts[kind] = counts.get(kind, 0) + 1
    failures.append("%s: %s" % (kind, what))
    print("FAILED %s: %s" % (kind, what), flush=True)
    if steps:
        os.makedirs(os.path.join(work, "failures"), exist_ok=True)
        name = os.path.join(work, "failures", "%s-%d.txt" % (kind, len(failures)))
        pathlib.Path(name).write_text("".join(s + "\n" for s in steps), encoding="utf-8", errors="replace")


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def wine(*args, timeout=60):
    done = subprocess.run(["wine", *map(str, args)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def escape(text):
    """A text for the DDE client's steps file (its escapes for CR, LF, TAB)."""
    return text.replace("`", "``").replace("\r", "`r").replace("\n", "`n").replace("\t", "`t")


def execute(text):
    return "x\t" + escape(text)


def request(item):
    return "r\t" + escape(item)


def command(number):
    return "post\t%s\t%d\t%d\t0" % (FRAME, WM_COMMAND, number)


# ---- the program and the DDE client


class Viewer:
    def __init__(self):
        self.process, self.pid = None, None

    def start(self, *args):
        self.process = subprocess.Popen(["wine", PROGRAM, *args], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.monotonic() + 60
        while time.monotonic() < end and self.process.poll() is None:
            answer = run_client([request("GetProcessID")], [])
            if answer and answer[0].startswith("data\t"):
                self.pid = answer[0].split("\t")[3]
                return True
        return False

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def answers(self, seconds):
        """True once GetProcessID answers this program's id within the time."""
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.alive():
            if judge_line(run_client([request("GetProcessID")], [0], limit=seconds)[:1]):
                return True
        return False

    def kill(self):
        if self.alive():
            self.process.kill()
            self.process.wait(30)

    def quit(self):
        run_client([execute("Quit")], [])
        try:
            self.process.wait(HANG_SECONDS)
            return True
        except subprocess.TimeoutExpired:
            self.kill()
            return False


viewer = Viewer()


def judge_line(lines, at=0):
    return len(lines) > at and lines[at] == "data\t%d\t1\t%s" % (len(viewer.pid or "") + 1, viewer.pid)


def run_client(steps, judges, limit=None):
    """The client's answer lines, one a step; stopped at the first judge
    step that is not answered with the process id, or after the limit."""
    steps_file, out_file = os.path.join(work, "steps.txt"), os.path.join(work, "out.txt")
    pathlib.Path(steps_file).write_bytes("".join(s + "\n" for s in steps).encode("utf-8", "replace"))
    pathlib.Path(out_file).write_bytes(b"")
    client = subprocess.Popen(["wine", DDE_CLIENT, "-out", windows_path(out_file), "-service", "Plovex",
                               "-steps", windows_path(steps_file)], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    end = time.monotonic() + (limit or 30 + 12 * len(judges) + len(steps))
    while True:
        finished = client.poll() is not None
        lines = pathlib.Path(out_file).read_bytes().decode("utf-8", "replace").split("\n")[:-1]
        if finished or time.monotonic() > end or any(
                at < len(lines) and not judge_line(lines, at) for at in judges):
            break
        time.sleep(0.05)
    if client.poll() is None:
        client.kill()
        client.wait(30)
    return lines


# ---- the judge of a batch of cases


def snapshot():
    """Size and time of every file where the program must not write unasked."""
    state = {}
    for root, recurse in ((work, True), (temp_dir, True), (drive_c, False)):
        for folder, dirs, files in os.walk(root):
            if not recurse:
                dirs.clear()
            for name in files:
                path = os.path.join(folder, name)
                try:
                    info = os.stat(path)
                    state[path] = (info.st_size, info.st_mtime_ns)
                except OSError:
                    pass
    return state


def unasked(before, after, allowed):
    own = {os.path.join(work, name) for name in ("steps.txt", "out.txt")}
    return sorted(path for path in set(before) | set(after)
                  if before.get(path) != after.get(path) and path not in allowed and path not in own
                  and not path.startswith(os.path.join(work, "failures")))


def settle():
    """Every document closed, every download let go, the temporary files
    gone; False when the program stopped answering on the way."""
    web.release()
    lines = run_client([execute("FileCloseAll"), request("GetProcessID")], [1])
    if not judge_line(lines, 1):
        return False
    end = time.monotonic() + 20
    while time.monotonic() < end and set(os.listdir(temp_dir)) - temp_names - {"plxpers.lst"}:
        time.sleep(0.2)
    return True


def recover(case, steps):
    """After a judge step without the answer: a crash, a hang or a slow case."""
    if viewer.alive() and viewer.answers(HANG_SECONDS):
        counts["slow"] += 1
        print("slow: %s" % case["what"], flush=True)
        return
    kind = "hangs" if viewer.alive() else "crashes"
    fail(kind, "%s (exit code %r)" % (case["what"], viewer.process.returncode), steps)
    viewer.kill()
    if not viewer.start():
        sys.exit("FAILED: the program does not start again")


def check_converts(case, lines, first_line):
    for at, target, existed in case.get("converts", ()):
        answer = lines[first_line + at] if first_line + at < len(lines) else "missing"
        counts["converts"] += answer == "ack"
        try:
            head = pathlib.Path(target).read_bytes()[:5] if os.path.isfile(target) else None
        except OSError:
            head = None
        if answer == "ack" and target.startswith(work) and not (
                head == b"%PDF-" or (head or b"").startswith(b"II*\0")):
            fail("writes", "%s: Convert answered ack but %s holds %r" % (case["what"], target, head))
        if answer == "nack" and existed is None and head is not None:
            fail("writes", "%s: a failed Convert left %s" % (case["what"], target))


def run_cases(cases):
    pending = list(cases)
    while pending:
        batch, pending = pending[:BATCH], pending[BATCH:]
        before = snapshot()
        allowed = {target for case in batch for _, target, _ in case.get("converts", ())}
        steps, starts = [], []
        for case in batch:
            starts.append(len(steps))
            steps += case["steps"] + [request("GetProcessID")]
        judges = [starts[k] + len(case["steps"]) for k, case in enumerate(batch)]
        lines = run_client(steps, judges)
        for k, case in enumerate(batch):
            if LOG:
                print("case %s: %s" % (case["family"], case["what"]), flush=True)
            if judge_line(lines, judges[k]):
                counts["cases"] += 1
                check_converts(case, lines, starts[k])
                continue
            counts["cases"] += 1
            recover(case, steps[starts[k]:judges[k] + 1])
            pending = batch[k + 1:] + pending
            break
        if not settle():
            recover({"what": "closing the documents of a batch"}, [execute("FileCloseAll")])
        for path in unasked(before, snapshot(), allowed):
            fail("writes", "after %s to %s: %s" % (batch[0]["what"], batch[-1]["what"], path))
        # The next batch's snapshot must not count these targets again.
        for path in allowed:
            if os.path.isfile(path):
                os.remove(path)


# ---- the misbehaving download server


class Web:
    """HTTP on 127.0.0.1: /MODE/NAME serves web/NAME in a way of MODE."""
    MODES = ["whole", "stall", "stallhead", "trickle", "early", "headonly", "long", "short", "huge",
             "negative", "badstatus", "redirect", "list"]

    def __init__(self, root):
        self.root, self.released, self.connections = root, threading.Event(), []
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(64)
        self.port = self.server.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def url(self, mode, name):
        return "http://127.0.0.1:%d/%s/%s" % (self.port, mode, name)

    def release(self):
        """Lets every stalled answer end; later requests stall again."""
        self.released.set()
        for connection in list(self.connections):
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.connections.clear()
        self.released = threading.Event()

    def accept(self):
        while True:
            connection, _ = self.server.accept()
            self.connections.append(connection)
            threading.Thread(target=self.serve, args=(connection, self.released), daemon=True).start()

    def serve(self, connection, released):
        try:
            connection.settimeout(15)
            head = b""
            while b"\r\n\r\n" not in head and len(head) < 65536:
                piece = connection.recv(4096)
                if not piece:
                    return
                head += piece
            path = head.split(b" ")[1].decode("latin-1") if head.count(b" ") >= 2 else "/"
            mode, _, name = path.lstrip("/").partition("/")
            file = os.path.join(self.root, os.path.basename(name.split("?")[0]))
            body = pathlib.Path(file).read_bytes() if os.path.isfile(file) else b"nothing"
            self.answer(connection, released, mode, body, path)
        except OSError:
            pass
        finally:
            connection.close()

    def answer(self, connection, released, mode, body, path):
        def head(length, status="200 OK", kind="image/tiff", extra=""):
            connection.sendall(("HTTP/1.1 %s\r\nContent-Type: %s\r\n%s%sConnection: close\r\n\r\n" % (
                status, kind, "" if length is None else "Content-Length: %s\r\n" % length, extra)).encode())
        if mode == "early":
            return
        if mode == "stallhead":
            return released.wait(60)
        if mode == "stall":
            head(len(body))
            connection.sendall(body[:len(body) // 3])
            return released.wait(60)
        if mode == "trickle":
            head(len(body))
            for offset in range(0, len(body), 512):
                if released.wait(0.05):
                    return
                connection.sendall(body[offset:offset + 512])
            return
        lengths = {"whole": len(body), "headonly": len(body), "long": 2 * len(body) + 10,
                   "short": len(body) // 2, "huge": 18446744073709551615, "negative": -5}
        if mode in lengths:
            head(lengths[mode])
            return None if mode == "headonly" else connection.sendall(body)
        if mode == "badstatus":
            return connection.sendall(b"HTTP/1.1 2x0 \xff\r\nContent-Length: 3\r\n\r\nabc")
        if mode == "redirect":
            return head(0, "302 Found", extra="Location: %s\r\n" % path)
        if mode == "list":
            text = "; $PLOVEX-LST\r\n" + "".join("%s\r\n" % entry for entry in (
                "../whole/web0.tif", "/stall/web0.tif", "../list/again.lst", "web0.tif\tweb\t-r:90"))
            head(len(text), kind="application/plovex-list")
            return connection.sendall(text.encode())
        head(len(body), "404 Not Found")
        connection.sendall(body)


# ---- the generators


def pick(*choices):
    return rnd.choice(choices)


def number_text():
    return pick("0", "1", "-1", "7", "2147483647", "2147483648", "-2147483649", "99999999999999999999",
                "4294967295", "1,5", "-0,0001", "1e308", ",", "-", "--1", "1,2,3", "0x10", "NaN", "")


def junk_text(size=None):
    size = size if size is not None else pick(0, 1, 5, 40, 300, 5000)
    alphabet = 'aZ09 ,;()"\'\t\r\n\\/:%*?<>|$-.' + "\u00e9\u03a9\u65e5\U0001f600\u200f\ufffd\x7f\x01"
    return "".join(rnd.choice(alphabet) for _ in range(size))


def path_text():
    return pick(*seed_paths, *special_paths, missing_path, long_path, junk_text(), web_url(), "")


def web_url():
    return pick(web.url(rnd.choice(Web.MODES), "web0.tif"), web.url("whole", "nothing.tif"),
                "ftp://127.0.0.1:%d/web0.tif" % web.port, "https://127.0.0.1:%d/x.tif" % web.port,
                "http://127.0.0.1:1/x.tif", "http://", "http://[::1", "file:///" + seed_paths[0][3:],
                "file://no-such-host/share/x.tif")


def quoted(text):
    return pick('"%s"' % text, "'%s'" % text, '"%s' % text, text, '"%s"' % text.replace(" ", '" "'))


def convert_case(source, stem):
    """A Convert to a target of the scratch tree or one no one can write."""
    kind = pick("pdf", "tif", "pdf", "tif", "tif", "unwritable")
    target = os.path.join(work, "out", stem + "." + kind) if kind != "unwritable" else pick(
        os.path.join(work, "out"), os.path.join(work, "no-such-folder", "x.pdf"), readonly_path,
        os.path.join(work, "out", "bad<>|name.tif"), "", "NUL", "Z:\\proc\\x.tif")
    existed = os.stat(target).st_size if target and os.path.isfile(target) else None
    # Mostly arguments that the command takes, so that files get written.
    sound = rnd.random() < 0.6
    form = pick("PDF", "TIFF", "tiff") if sound else pick("PDF", "TIFF", "GIF", "")
    args = [quoted(source), quoted(windows_path(target) if target.startswith("/") else target), form,
            pick("0", "1") if sound else pick("0", "2", "-1", "x"),
            pick("0", "1", "2", "3", "4", "5") if sound else pick("0", "99999999999", "x"),
            pick("0", "90", "270", "450") if sound else pick("0", "45", "4294967295", ""), pick("0", "-"),
            '"Plan 7"' if sound else quoted(junk_text())]
    if rnd.random() < 0.1:
        del args[rnd.randrange(len(args))]
    return execute("Convert(%s)" % ", ".join(args)), (target if target.startswith("/") else "", existed)


def dde_case(index):
    names = ["FileOpen", "FileOpenCmdLine", "FileClose", "FileCloseAll", "SetActPage", "AppActivate",
             "SetCutOut3", "Convert", "fileopen", "SETCUTOUT3"]
    items = ["GetVersion", "GetCompileDate", "GetWindowInfo3", "GetActiveWindow3", "GetActPage", "GetCutOut3",
             "GetImageSize3", "GetCutOutStatus3", "GetMetricPoint3", "GetPageCount", "getpagecount"]
    steps, converts = [], []
    for _ in range(rnd.randrange(1, 5)):
        args = [pick(number_text(), quoted(path_text()), junk_text(), str(rnd.randrange(0, 200)))
                for _ in range(rnd.randrange(0, 13))]
        arg_text = pick(", ", ",", " ", "\t", ",,").join(args)
        form = pick("%s(%s)", "%s(%s)", "%s(%s", "%s %s", "%s\t(%s)", "%s((%s))", "%s(%s))", "(%s%s)",
                    "%s(%s)\r\n", " %s ( %s ) ")
        kind = rnd.random()
        if kind < 0.35:
            steps.append(execute(form % (rnd.choice(names), arg_text)))
        elif kind < 0.65:
            steps.append(request(form % (rnd.choice(items), arg_text)))
        elif kind < 0.72:
            steps.append(pick(execute, request)(form % (junk_text(pick(1, 8, 64)), arg_text)))
        elif kind < 0.8:
            unit = pick("FileOpen(", '"', "(", ")", "a,", "\t", "\u03a9", "Z:\\x\\")
            steps.append("xrep\t%d\t%s" % (pick(1000, 30000, 100000), escape(unit)))
        elif kind < 0.9:
            step, target = convert_case(pick(*seed_paths, missing_path, web_url(), ""), "d%d" % rnd.randrange(10**9))
            converts.append((len(steps), *target))
            steps.append(step)
        else:
            steps.append(execute('FileOpen("%s", %s, "%s")' % (pick(*seed_paths), quoted(junk_text()),
                                                               switch_text())))
    return {"family": "dde", "what": "dde " + steps[0][:80], "steps": steps, "converts": converts}


def switch_text():
    return " ".join(pick("-", "/", "--") + pick(
        "s", "n", "N", "r:%s" % number_text(), "fh", "FV", "c:%s" % ",".join(number_text() for _ in range(
            rnd.randrange(0, 6))), "ti:%s" % quoted(junk_text()), "fn:%s" % pick(
            "x.tif", "x.gif", "..\\..\\x.tif", "a.\\..\\..\\b", "x." + junk_text(8), junk_text()),
        "dde_logging", "uid:%s" % junk_text(), "pwd:", "cookie:%s" % junk_text(), "ml:%s" % pick(
            "1", "0", "99999999999", "4294968", "x", "-1"), "nosave", "noprint", "ai:%s" % number_text(),
        "sc:%s" % pick("1:50", "0", "-1:2", ":", "1:0", "0.5", "1e400", "1999999999:1", junk_text(6)),
        junk_text(pick(1, 10))) for _ in range(rnd.randrange(0, 6)))


def command_line():
    tokens = [switch_text()] + [quoted(path_text()) for _ in range(rnd.randrange(0, 4))] + [
        pick("%TEMP%", "*.tif", "a?b", "<x>", ",,,", "''", '""', junk_text(pick(3, 30)))]
    rnd.shuffle(tokens)
    return pick(" ", ",", "\t", " , ").join(tokens)


def cmdline_case(index):
    text = command_line()
    # As a second start with -s hands it over: its double quotes single.
    handed = text.replace('"', "'") if rnd.random() < 0.7 else text
    return {"family": "command line", "what": "command line %r" % text[:80],
            "steps": [execute('FileOpenCmdLine("%s")' % handed), request("GetPageCount")]}


def list_case(index):
    lists = [os.path.join(work, "lists", "l%d.lst" % k) for k in range(index - 3, index + 3) if k >= 0]
    own = os.path.join(work, "lists", "l%d.lst" % index)
    name = os.path.basename(own)
    lines = []
    for _ in range(rnd.randrange(0, 14)):
        entry = pick(*seed_paths, name, ".\\" + name, "sub\\..\\" + name, "." + "\\." * 3 + "\\" + name,
                     windows_path(own).upper(), "file:///" + windows_path(own)[3:].replace("\\", "/"),
                     "..\\seeds\\" + os.path.basename(pick(*seed_paths)), "\\no-such-file.tif",
                     *(os.path.basename(other) for other in lists), missing_path, web_url(), "", long_path)
        fields = [entry] + [pick("", junk_text(), "Title") for _ in range(rnd.randrange(0, 2))] + (
            [switch_text()] if rnd.random() < 0.5 else []) + ([junk_text(9)] if rnd.random() < 0.1 else [])
        lines.append(pick("\t".join(fields), "\t".join(fields), "; $TITLE=" + junk_text(), "; $nosave",
                          "; $PLOVEX-LST", "\t\t", "   "))
    data = pick("\r\n", "\n", "\r", "\n\r").join(lines).encode("cp1252", "replace")
    if rnd.random() < 0.2:
        at = rnd.randrange(len(data) + 1)
        data = data[:at] + b"\0" + bytes(rnd.randrange(256) for _ in range(8)) + data[at:]
    pathlib.Path(own).write_bytes(data)
    return {"family": "list", "what": "list %s %r" % (name, data[:60]),
            "steps": [execute('FileOpen("%s")' % windows_path(own)), request("GetPageCount")]}


def mutated(data):
    d = bytearray(data)
    for _ in range(pick(1, 1, 2, 3, 8)):
        at = min(rnd.randrange(len(d) + 1), rnd.randrange(300)) if rnd.random() < 0.6 else rnd.randrange(len(d) + 1)
        operation = rnd.randrange(6)
        if operation == 0 and at < len(d):
            d[at] ^= 1 << rnd.randrange(8)
        elif operation == 1:
            del d[at:]
        elif operation == 2:
            size = pick(1, 2, 4)
            d[at:at + size] = rnd.choice([0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF]).to_bytes(
                8, pick("little", "big"))[:size]
        elif operation == 3:
            d[at:at] = d[rnd.randrange(len(d) + 1):][:rnd.randrange(1, 2000)]
        elif operation == 4:
            d[at:at + rnd.randrange(1, 64)] = pick(b"\0", b"\xff") * 64
        else:
            d[at:] = pathlib.Path(rnd.choice(seed_paths_unix)).read_bytes()[at:]
    return bytes(d)


def document_case(index):
    seed = rnd.choice(seed_paths_unix)
    name = "c%d%s" % (index, os.path.splitext(seed)[1])
    path = os.path.join(work, "docs", name)
    pathlib.Path(path).write_bytes(mutated(pathlib.Path(seed).read_bytes()))
    options = pick("", "", ", \"\", \"-r:90\"", ", \"\", \"-n -fh -fv\"", ", \"\", \"-c:0,0,5,5 -ai:2\"")
    steps = [execute('FileOpen("%s"%s)' % (windows_path(path), options)), request("GetPageCount(%s)" % name)]
    converts = []
    for _ in range(rnd.randrange(2, 9)):
        kind = rnd.random()
        if kind < 0.4:
            steps.append(command(rnd.choice(VIEW_COMMANDS)))
        elif kind < 0.6:
            steps.append(execute("SetActPage(%s, %s)" % (name, pick("0", "1", "2", "3", "-1", "99999"))))
        elif kind < 0.75:
            steps.append(execute("SetCutOut3(%s, %s, %s, %s, %s, , , %s)" % (
                name, *(pick("0", "10", "500", "-100", "99999999", "0,5") for _ in range(4)), pick("0", "1"))))
        else:
            steps.append(request("%s(%s)" % (pick("GetWindowInfo3", "GetImageSize3", "GetCutOut3",
                                                  "GetActPage"), name)))
    if rnd.random() < 0.4:
        step, target = convert_case(windows_path(path), "c%d" % index)
        converts.append((len(steps), *target))
        steps.append(step)
    if rnd.random() < 0.8:
        steps.append(execute("FileClose(%s)" % name))
    return {"family": "document", "what": "document %s from %s" % (name, os.path.basename(seed)),
            "steps": steps, "converts": converts}


def download_case(index):
    seed = rnd.choice(seed_paths_unix)
    name = "w%d%s" % (index, os.path.splitext(seed)[1])
    body = pathlib.Path(seed).read_bytes()
    pathlib.Path(web.root, name).write_bytes(mutated(body) if rnd.random() < 0.3 else body)
    mode = rnd.choice(Web.MODES)
    url = web.url(mode, name) + pick("", "", "?plxfn=x.gif", "?plxdn=" + junk_text(6), "?plxfn=..%5C..%5Cy.tif")
    steps = [execute('FileOpen("%s"%s)' % (url, pick("", ", \"\", \"-ml:2\"", ", \"t\", \"-uid:u -pwd:p\"")))]
    steps += [request("GetProcessID")] * rnd.randrange(0, 6)
    steps.append(pick(execute("FileClose(%s)" % name), execute("FileClose()"), request("GetPageCount(%s)" % name),
                      execute("FileCloseAll")))
    converts = []
    # Convert waits for the load, 5 s at most for a server that stalls.
    if rnd.random() < 0.1:
        step, target = convert_case(url, "w%d" % index)
        converts.append((len(steps), *target))
        steps.append(step)
    return {"family": "download", "what": "download %s %s" % (mode, name), "steps": steps, "converts": converts}


# ---- real starts, the soak


def start_cases(count):
    """Generated command lines given to a second start with -s (handed over)
    and to a start of its own."""
    log = os.path.join(drive_c, "plovexdde.log")
    for k in range(count):
        text = command_line()
        args = [a for a in re.split(r"\s+", text) if a]
        if os.path.exists(log):
            os.remove(log)
        counts["cases"] += 1
        second = subprocess.Popen(["wine", PROGRAM, "-s", *args], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            code = second.wait(HANG_SECONDS)
            if code != 0:
                fail("crashes", "a second start with -s %r ended with %r" % (args, code))
        except subprocess.TimeoutExpired:
            # A command line that no quoting carries intact is not handed
            # over: the second start is a viewer of its own, which closes.
            frames = [f[0] for f in (line.split("\t") for line in wine(PROBE, "windows", FRAME)[1].splitlines())
                      if len(f) > 1 and f[1] != viewer.pid]
            for frame in frames:
                wine(PROBE, "post", frame, 16, 0, 0)
            try:
                second.wait(HANG_SECONDS)
            except subprocess.TimeoutExpired:
                second.kill()
                fail("hangs", "a second start with -s %r did not end (%d frames)" % (args, len(frames)))
        if not viewer.answers(HANG_SECONDS):
            recover({"what": "hand-over of %r" % args}, [])
        if k % 2 == 0:
            counts["cases"] += 1
            settle()
            viewer.quit()
            if not viewer.start(*args):
                fail("crashes" if viewer.process.poll() is not None else "hangs",
                     "a start with %r (exit code %r)" % (args, viewer.process.returncode))
                viewer.kill()
                viewer.start()
            if os.path.exists(log) and "dde_logging" not in text.lower():
                fail("writes", "a start with %r wrote the DDE log" % args)


def holdings():
    fields = wine(PROBE, "process", viewer.pid, timeout=30)[1].split()
    values = dict(zip(fields[::2], fields[1::2]))
    return {key: int(values.get(key, -1)) for key in ("handles", "gdi", "user", "working_set", "private")}


def soak(seconds):
    """Opening and closing the seeds in a loop: the program ends it holding
    what it held after the first rounds."""
    def one_round():
        steps = []
        for path in seed_paths:
            name = path.rsplit("\\", 1)[1]
            steps += [execute('FileOpen("%s")' % path), request("GetPageCount(%s)" % name),
                      command(524), execute("SetActPage(%s, 1)" % name), execute("FileClose(%s)" % name)]
        lines = run_client(steps + [request("GetProcessID")], [len(steps)])
        counts["cases"] += 1
        if not judge_line(lines, len(steps)):
            recover({"what": "a soak round"}, steps)
            return False
        return True
    for _ in range(2):
        one_round()
    settle()
    start_holdings, rounds, end = holdings(), 0, time.monotonic() + seconds
    while time.monotonic() < end and one_round():
        rounds += 1
    settle()
    end_holdings = holdings()
    print("soak: %d rounds of %d documents; at the start %r, at the end %r" % (
        rounds, len(seed_paths), start_holdings, end_holdings), flush=True)
    margins = {"handles": 10, "gdi": 20, "user": 20, "working_set": 8 << 20, "private": 8 << 20}
    for key, margin in margins.items():
        if start_holdings[key] >= 0 and end_holdings[key] > start_holdings[key] + margin:
            fail("leaks", "%s grew from %d to %d over %d soak rounds" % (
                key, start_holdings[key], end_holdings[key], rounds))


# ---- the run


def prepare():
    global seed_paths, seed_paths_unix, special_paths, missing_path, long_path, readonly_path
    shutil.rmtree(work, ignore_errors=True)
    for folder in ("seeds", "docs", "lists", "out", "web", "deep"):
        os.makedirs(os.path.join(work, folder))
    seeds = os.path.join(work, "seed-data")
    subprocess.run(["/usr/bin/python3", os.path.join(source_root, "tests", "data", "make-robustness-seeds.py"),
                    seeds], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    seed_paths_unix = []
    for name in pathlib.Path(seeds, "cases.txt").read_text().split():
        reader = pathlib.Path(seeds, name + ".meta").read_text().split()[1]
        seed_paths_unix.append(os.path.join(work, "seeds", name + EXTENSIONS[reader]))
        shutil.copyfile(os.path.join(seeds, name + ".data"), seed_paths_unix[-1])
    shutil.copyfile(seed_paths_unix[0], os.path.join(work, "web", "web0.tif"))
    shutil.rmtree(seeds)
    seed_paths = [windows_path(p) for p in seed_paths_unix]
    special_paths = []
    for name in ("\u03a9mega \u03c0lan.tif", "\u65e5\u672c\u8a9e.tif", "smile \U0001f600.gif", "a'b, c.tif"):
        shutil.copyfile(seed_paths_unix[0], os.path.join(work, "seeds", name))
        special_paths.append(windows_path(os.path.join(work, "seeds", name)))
    deep = os.path.join(work, "deep", *["d" * 60] * 5)
    os.makedirs(deep)
    shutil.copyfile(seed_paths_unix[1], os.path.join(deep, "far.tif"))
    long_path = windows_path(os.path.join(deep, "far.tif"))
    missing_path = windows_path(os.path.join(work, "no such file.tif"))
    readonly_path = os.path.join(work, "out", "readonly.pdf")
    pathlib.Path(readonly_path).write_bytes(b"%PDF-1.2 kept")
    os.chmod(readonly_path, 0o444)
    special_paths += [windows_path(os.path.join(work, "seeds")), "NUL", "CON", "CONIN$", "\\\\?\\" + seed_paths[2],
                      seed_paths[3].replace("\\", "/"), "\\\\no-such-host\\share\\x.tif", "Z:", "\\\\"]
    for name, data in KNOWN_BAD_LISTS.items():
        pathlib.Path(work, "lists", name).write_bytes(data)
    return [{"family": "list", "what": "list " + name,
             "steps": [execute('FileOpen("%s")' % windows_path(os.path.join(work, "lists", name))),
                       request("GetPageCount")]} for name in KNOWN_BAD_LISTS]


def main():
    global web, temp_dir, drive_c, temp_names
    known_bad = prepare()
    web = Web(os.path.join(work, "web"))
    prefix = os.environ.get("WINEPREFIX", os.path.join(build, "wineprefix"))
    drive_c = os.path.join(prefix, "drive_c")
    temp = wine("cmd", "/c", "echo", "%TEMP%")[1].strip().splitlines()[-1].strip()
    temp_dir = subprocess.run(["winepath", "-u", temp], capture_output=True, timeout=60).stdout.decode().strip()
    session_list = os.path.join(temp_dir, "plxpers.lst")
    if os.path.exists(session_list):
        os.remove(session_list)
    started = time.monotonic()
    temp_names = set(os.listdir(temp_dir))
    # The pane commands change settings that the program saves at its end;
    # the checks that run after this one expect them as they were.
    saved_settings = os.path.join(work, "settings.reg")
    had_settings = wine("reg", "export", SETTINGS_KEY, windows_path(saved_settings), "/y")[0] == 0
    if not viewer.start():
        sys.exit("FAILED: the program does not answer GetProcessID")
    try:
        run_cases(known_bad)
        families = [(dde_case, 3), (cmdline_case, 1), (list_case, 1), (document_case, 2), (download_case, 1)]
        for generator, weight in families:
            run_cases([generator(k) for k in range(COUNT * weight)])
        start_cases(max(2, COUNT // 20))
        soak(SOAK_SECONDS)
        settle()
        if not viewer.quit():
            fail("hangs", "Quit did not end the program")
    finally:
        viewer.kill()
        web.release()
        wine("reg", "delete", SETTINGS_KEY, "/f")
        if had_settings:
            wine("reg", "import", windows_path(saved_settings))
    print("%d cases, %d crashes, %d hangs, %d slow, %d leaks, %d unasked writes, %d converts written, %.0f s"
          % (counts["cases"], counts["crashes"], counts["hangs"], counts["slow"], counts["leaks"],
             counts["writes"], counts["converts"], time.monotonic() - started), flush=True)


if __name__ == "__main__":
    if not all(map(os.path.exists, (PROGRAM, PROBE, DDE_CLIENT))):
        sys.exit("FAILED: not built, nothing was checked")
    main()
    print("%d failure(s)" % len(failures))
    sys.exit(1 if failures else 0)
