"""Robustness of the running desktop program, driven from outside through the
tests' DDE client: generated DDE transactions, command lines, list files,
damaged documents of every format, downloads from a misbehaving server on
127.0.0.1 and real starts, then a soak. The judge: after every case the
program answers GetProcessID with its own id (a crash is the process gone, a
hang no answer within HANG_SECONDS); a failed Convert leaves no file and an
acknowledged one wrote a TIFF or a PDF; after every batch, the documents
closed and the downloads let go, nothing changed in the scratch tree, the
temporary folder or the root of drive C but the targets the cases named; the
soak ends holding the handles and memory of its start, within a margin.

PROGRAM_ROBUSTNESS_COUNT cases of each family (default 40), _SEED (1),
_SOAK_SECONDS (15), _LOG=1 prints every case. A failing case's steps are saved
under the scratch folder's failures/; an input that once found a fault stays
in KNOWN_BAD_LISTS, which every run replays."""
import contextlib, os, pathlib, random, re, shutil, socket, subprocess, sys, threading, time

from program_peer import (FRAME, PROGRAM, WM_COMMAND, begin, build, probe, settings_kept, windows_path,
                          windows_temp)
from robustness_judge import HANG_SECONDS, QUIET, Judge, execute, request, setting

COUNT, SEED, SOAK_SECONDS = (setting("PROGRAM_ROBUSTNESS", name, default)
                             for name, default in (("COUNT", 40), ("SEED", 1), ("SOAK_SECONDS", 15.0)))
LOG = setting("PROGRAM_ROBUSTNESS", "LOG", "") == "1"
BATCH = 25
rnd, CONVERTS = random.Random(SEED), {}  # CONVERTS: a Convert step's (target, size before)
# Lists that once stopped the program answering, beside lists at the size limit and just under it.
KNOWN_BAD_LISTS = {
    # Named itself under other spellings: every level below opened it again.
    "self.lst": b"self.lst\n.\\self.lst\n.\\.\\self.lst\nsub\\..\\self.lst\nSELF.LST\n",
    # Thousands of entries: each new node searched the whole tree control.
    "many.lst": b"; $PLOVEX-LST\n" + b"m\n" * 3000,
    "million.lst": b"\n" * 1000000,
    "under.lst": b"\r" * 999999,
}


def opening(target, options="", name=""):
    """The steps that open a document and ask for its pages."""
    return [execute('FileOpen("%s"%s)' % (target, options)), request("GetPageCount" + ("(%s)" % name if name else ""))]


def settle():
    """Every document closed, every download let go, the temporary files gone; False without an answer."""
    web.release()
    if not judge.judge_line(judge.run_client([execute("FileCloseAll"), request("GetProcessID")], [1]), 1):
        return False
    end = time.monotonic() + 20
    while time.monotonic() < end and set(os.listdir(temp_dir)) - temp_names - {"plxpers.lst"}:
        time.sleep(0.2)
    return True


def run_cases(cases):
    """The cases in batches, each case followed by GetProcessID, each batch
    by settle(); True when every case was answered at once."""
    pending, answered = list(cases), True
    while pending:
        batch, pending = pending[:BATCH], pending[BATCH:]
        before = judge.snapshot()
        targets = {CONVERTS[step][0] for case in batch for step in case["steps"] if step in CONVERTS}
        # Started with dde_logging, the program writes its DDE log as asked.
        dde_log_on = any("dde_logging" in arg.lower() for arg in judge.args)
        allowed = targets | ({os.path.join(drive_c, "plovexdde.log")} if dde_log_on else set())
        steps, starts = [], []
        for case in batch:
            starts.append(len(steps))
            steps += case["steps"] + [request("GetProcessID")]
        judges = [starts[k] + len(case["steps"]) for k, case in enumerate(batch)]
        lines = judge.run_client(steps, judges)
        for k, case in enumerate(batch):
            judge.counts["cases"] += 1
            if LOG:
                print("case %s" % case["what"], flush=True)
            if not judge.judge_line(lines, judges[k]):
                judge.recover(case["what"], steps[starts[k]:judges[k] + 1])
                pending, answered = batch[k + 1:] + pending, False
                break
            for answer, (target, existed) in ((lines[starts[k] + at], CONVERTS[step])
                                              for at, step in enumerate(case["steps"]) if step in CONVERTS):
                judge.counts["converts"] += answer == "ack"
                head = None
                with contextlib.suppress(OSError):
                    head = pathlib.Path(target).read_bytes()[:5] if os.path.isfile(target) else None
                if answer == "ack" and target.startswith(work) and head != b"%PDF-" and (head or b"")[:4] != b"II*\0":
                    judge.fail("writes", "%s: Convert answered ack but %s holds %r" % (case["what"], target, head))
                if answer == "nack" and existed is None and head is not None:
                    judge.fail("writes", "%s: a failed Convert left %s" % (case["what"], target))
        if not settle():
            judge.recover("closing the documents of a batch", [execute("FileCloseAll")])
        for path in judge.changed(before, allowed):
            judge.fail("writes", "after %s to %s: %s" % (batch[0]["what"], batch[-1]["what"], path))
        for path in filter(os.path.isfile, targets):  # not to be counted by the next batch
            os.remove(path)
    return answered


# ---- the misbehaving download server: /MODE/NAME serves web/NAME in a way of MODE

MODES = ["whole", "stall", "stallhead", "trickle", "early", "headonly", "long", "short", "huge", "negative",
         "badstatus", "redirect", "list"]


class Web:
    def __init__(self, root):
        self.root, self.released, self.connections = root, threading.Event(), []
        self.server = socket.create_server(("127.0.0.1", 0), backlog=64)
        self.port = self.server.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def release(self):
        """Lets every stalled answer end; later requests stall again."""
        self.released.set()
        for connection in self.connections:
            with contextlib.suppress(OSError):
                connection.shutdown(socket.SHUT_RDWR)
        self.connections, self.released = [], threading.Event()

    def accept(self):
        while True:
            connection, _ = self.server.accept()
            self.connections.append(connection)
            threading.Thread(target=self.serve, args=(connection, self.released), daemon=True).start()

    def serve(self, connection, released):
        with connection, contextlib.suppress(OSError):
            connection.settimeout(15)
            asked = b""
            while b"\r\n\r\n" not in asked and len(asked) < 65536 and (piece := connection.recv(4096)):
                asked += piece
            path = (asked.split(b" ") + [b"", b"/"])[1].decode("latin-1")
            mode, _, name = path.lstrip("/").partition("/")
            file = os.path.join(self.root, os.path.basename(name.split("?")[0]))
            body = pathlib.Path(file).read_bytes() if os.path.isfile(file) else b"nothing"
            if mode == "list":
                body = (b"; $PLOVEX-LST\r\n../whole/web0.tif\r\n/stall/web0.tif\r\n../list/again.lst\r\n"
                        b"web0.tif\tweb\t-r:90\r\n")
            length = {"long": 2 * len(body) + 10, "short": len(body) // 2, "huge": 18446744073709551615,
                      "negative": -5, "redirect": 0}.get(mode, len(body))
            head = "HTTP/1.1 %s\r\nContent-Type: %s\r\nContent-Length: %s\r\n%sConnection: close\r\n\r\n" % (
                "302 Found" if mode == "redirect" else "200 OK" if mode in MODES else "404 Not Found",
                "application/plovex-list" if mode == "list" else "image/tiff", length,
                "Location: %s\r\n" % path if mode == "redirect" else "")
            if mode == "badstatus":
                head, body = "HTTP/1.1 2x0 \xff\r\nContent-Length: 3\r\n\r\n", b"abc"
            if mode in ("early", "stallhead"):  # no answer at all, or none until released
                return mode == "stallhead" and released.wait(60)
            connection.sendall(head.encode("latin-1"))
            if mode == "stall":
                connection.sendall(body[:len(body) // 3])
                released.wait(60)
            for offset in range(0, len(body), 512) if mode == "trickle" else ():
                if released.wait(0.05):
                    break
                connection.sendall(body[offset:offset + 512])
            if mode not in ("stall", "trickle", "headonly", "redirect"):
                connection.sendall(body)


# ---- the generators


def pick(*choices):
    return rnd.choice(choices)


def junk(size):
    alphabet = 'aZ09 ,;()"\'\t\r\n\\/:%*?<>|$-.' + "\u00e9\u03a9\u65e5\U0001f600\u200f\ufffd\x7f\x01"
    return "".join(rnd.choice(alphabet) for _ in range(size))


def quoted(text):
    return pick('"%s"' % text, "'%s'" % text, '"%s' % text, text, '"%s"' % text.replace(" ", '" "'))


def some(symbol, most, separators=(" ",)):
    return lambda: rnd.choice(separators).join(gen(symbol) for _ in range(rnd.randrange(most)))


def convert(source="{path}"):
    """A Convert to a target of the scratch tree or one no one can write,
    mostly with arguments the command takes, so that files get written."""
    kind, sound = pick("pdf", "tif", "pdf", "tif", "tif", "unwritable"), rnd.random() < 0.6
    target = os.path.join(work, "out", "t%d.%s" % (len(CONVERTS), kind)) if kind != "unwritable" else pick(
        os.path.join(work, "out"), os.path.join(work, "no-such-folder", "x.pdf"), readonly_path,
        os.path.join(work, "out", "bad<>|name.tif"), "", "NUL", "Z:\\proc\\x.tif")
    args = [quoted(gen("source", source=source)), quoted(windows_path(target) if target[:1] == "/" else target)] + [
        gen("a", a=rnd.choice((good if sound else bad).split("|"))) for good, bad in (
            ("PDF|TIFF|tiff", "PDF|TIFF|GIF|"), ("0|1", "0|2|-1|x"), ("0|1|2|3|4|5", "0|99999999999|x"),
            ("0|90|270|450", "0|45|4294967295|"), ("0|-", "0|-"), ('"Plan 7"', "{qjunk}"))]
    if rnd.random() < 0.1:
        del args[rnd.randrange(len(args))]
    step = execute("Convert(%s)" % ", ".join(args))
    CONVERTS[step] = (target if target[:1] == "/" else "", os.stat(target).st_size if os.path.isfile(target) else None)
    return step


# The generator table: a symbol's alternatives (a list, or a text of them
# separated by "|"), as often as each is to be chosen; "{name}" in one stands
# for a text of that symbol, a callable makes its own. prepare() adds the
# files ("seed", "special") and the server's port.
TABLE = {
    "number": "0|1|-1|7|2147483647|2147483648|-2147483649|99999999999999999999|4294967295|1,5|-0,0001|1e308|,|-|--1|"
              "1,2,3|0x10|NaN|",
    "junk": [lambda: junk(pick(0, 1, 5, 40, 300, 5000))],
    "short": [lambda: junk(pick(1, 6, 10))],
    "path": ["{seed}"] * 12 + ["{special}"] * 6 + ["{junk}", "{url}", ""],
    "qpath": [lambda: quoted(gen("path"))],
    "qjunk": [lambda: quoted(gen("junk"))],
    "url": "http://127.0.0.1:{port}/{mode}/web0.tif|http://127.0.0.1:{port}/whole/nothing.tif|ftp://127.0.0.1:{port}/"
           "web0.tif|https://127.0.0.1:{port}/x.tif|http://127.0.0.1:1/x.tif|http://|http://[::1|file:///{seed}|"
           "file://no-such-host/share/x.tif",
    "mode": MODES,
    "query": "||?plxfn=x.gif|?plxdn={short}|?plxfn=..%5C..%5Cy.tif",
    "switch": "-{sw}|/{sw}|--{sw}",
    "sw": "s|n|N|r:{number}|fh|FV|c:{numbers}|ti:{qjunk}|fn:{fn}|dde_logging|uid:{junk}|pwd:|cookie:{junk}|ml:{ml}|"
          "nosave|noprint|ai:{number}|sc:{sc}|{short}",
    "numbers": [some("number", 6, ",")],
    "switches": [some("switch", 6)],
    "fn": "x.tif|x.gif|..\\..\\x.tif|a.\\..\\..\\b|x.{short}|{junk}",
    "ml": "1|0|99999999999|4294968|x|-1",
    "sc": "1:50|0|-1:2|:|1:0|0.5|1e400|1999999999:1|{short}",
    "token": "{qpath}|{qpath}|%TEMP%|*.tif|a?b|<x>|,,,|''|\"\"|{short}",
    "cmdline": [lambda: pick(" ", ",", "\t", " , ").join(rnd.sample(
        tokens := [gen("switches"), gen("token")] + [gen("qpath") for _ in range(rnd.randrange(4))], len(tokens)))],
    "call": "{head}({args})|{head}({args})|{head}({args}|{head} {args}|{head}\t({args})|{head}(({args}))|"
            "{head}({args}))|({head}{args})|{head}({args})\r\n| {head} ( {args} ) ",
    "args": [some("arg", 13, (", ", ",", " ", "\t", ",,"))],
    "arg": ["{number}", "{qpath}", "{junk}", lambda: str(rnd.randrange(200))],
    "executed": "FileOpen|FileOpenCmdLine|FileClose|FileCloseAll|SetActPage|AppActivate|SetCutOut3|Convert|fileopen|"
                "SETCUTOUT3",
    "requested": "GetVersion|GetCompileDate|GetWindowInfo3|GetActiveWindow3|GetActPage|GetCutOut3|GetImageSize3|"
                 "GetCutOutStatus3|GetMetricPoint3|GetPageCount|getpagecount",
    "dde_step": [lambda: execute(gen("call", head="{executed}"))] * 4 + [
        lambda: request(gen("call", head="{requested}"))] * 3 + [
        lambda: pick(execute, request)(gen("call", head="{short}")),
        lambda: "xrep\t%d\t%s" % (pick(1000, 30000, 100000), execute(pick(
            "FileOpen(", '"', "(", ")", "a,", "\t", "\u03a9", "Z:\\x\\"))[2:]), convert,
        lambda: execute('FileOpen("%s", %s, "%s")' % (gen("seed"), gen("qjunk"), gen("switches")))],
    "line": "{entry}{fields}|{entry}{fields}|; $TITLE={junk}|; $nosave|; $PLOVEX-LST|\t\t|   ",
    "entry": ["{seed}", "{seed}", "{seed}", "{name}", ".\\{name}", "sub\\..\\{name}", ".\\.\\.\\.\\{name}", "{upper}",
              "file:///{url_path}", lambda: "..\\seeds\\" + gen("seed").rsplit("\\", 1)[1], "\\no-such-file.tif",
              "{special}", "{url}", "", "{near}", "{near}"],
    "fields": "|\t{title}|\t{title}\t{switches}|\t{switches}|\t\t{switches}\t{short}",
    "title": "|{junk}|Title",
    "mm": "0|10|500|-100|99999999|0,5",
    "page": "0|1|2|3|-1|99999",
    # Menu commands that need no dialog: standard view, zoom, mirror,
    # rotate, invert, pages, scrolling, pane modes.
    "view": [str(n) for n in (504, 511, 512, 513, *range(521, 530), *range(531, 535), *range(548, 557))],
    "doc_step": ["post\t%s\t%d\t{view}\t0" % (FRAME, WM_COMMAND)] * 4 + ["x\tSetActPage({name}, {page})"] * 2 + [
        "x\tSetCutOut3({name}, {mm}, {mm}, {mm}, {mm}, , , {page})", "r\t{requested}({name})"],
}


def gen(symbol, **given):
    """A random text of the symbol; `given` fixes symbols for this text."""
    choices = TABLE[symbol] if symbol not in given else [given[symbol]]
    choice = rnd.choice(choices.split("|") if isinstance(choices, str) else choices)
    return choice() if callable(choice) else re.sub(r"\{(\w+)\}", lambda m: gen(m.group(1), **given), choice)


def damaged_seed(folder, stem, chance):
    """A seed's copy, damaged at that chance in 1 to 8 places, most of them
    in its first 300 bytes: its path and its name."""
    seed = rnd.choice(seed_paths_unix)
    name, d = stem + os.path.splitext(seed)[1], pathlib.Path(seed).read_bytes()
    for _ in range(pick(1, 1, 2, 3, 8) if rnd.random() < chance else 0):
        at = min(rnd.randrange(len(d) + 1), rnd.randrange(300)) if rnd.random() < 0.6 else rnd.randrange(len(d) + 1)
        size, number = pick(1, 2, 4), rnd.choice([0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF])
        # A bit flipped, the rest cut, a number written, a piece repeated, a
        # run of 0 or 255, another seed's tail.
        d = d[:at] + pick(bytes([d[at] ^ 1 << rnd.randrange(8)]) + d[at + 1:] if at < len(d) else b"", b"",
                          number.to_bytes(8, pick("little", "big"))[:size] + d[at + size:],
                          d[rnd.randrange(len(d) + 1):][:rnd.randrange(1, 2000)] + d[at:],
                          pick(b"\0", b"\xff") * 64 + d[at + rnd.randrange(1, 64):],
                          pathlib.Path(rnd.choice(seed_paths_unix)).read_bytes()[at:])
    pathlib.Path(work, folder, name).write_bytes(d)
    return os.path.join(work, folder, name), name


def list_case(index):
    """A list naming seeds, itself under other spellings, its neighbours
    (chains and cycles across lists), downloads and missing files."""
    own = os.path.join(work, "lists", "l%d.lst" % index)
    lines = [gen("line", name=os.path.basename(own), upper=windows_path(own).upper(), url_path=windows_path(own)[3:]
                 .replace("\\", "/"), near=lambda: "l%d.lst" % rnd.randrange(max(0, index - 3), index + 3))
             for _ in range(rnd.randrange(14))]
    data = pick("\r\n", "\n", "\r", "\n\r").join(lines).encode("cp1252", "replace")
    if rnd.random() < 0.2:
        at = rnd.randrange(len(data) + 1)
        data = data[:at] + b"\0" + bytes(rnd.randrange(256) for _ in range(8)) + data[at:]
    pathlib.Path(own).write_bytes(data)
    return {"what": "list l%d.lst %r" % (index, data[:60]), "steps": opening(windows_path(own))}


def document_case(index):
    path, name = damaged_seed("docs", "c%d" % index, 1)
    steps = opening(windows_path(path), pick("", "", ', "", "-r:90"', ', "", "-n -fh -fv"',
                                             ', "", "-c:0,0,5,5 -ai:2"'), name)
    steps += [gen("doc_step", name=name) for _ in range(rnd.randrange(2, 9))]
    steps += ([convert(windows_path(path))] if rnd.random() < 0.4 else []) + (
        [execute("FileClose(%s)" % name)] if rnd.random() < 0.8 else [])
    return {"what": "document %s" % name, "steps": steps}


def download_case(index):
    path, name = damaged_seed("web", "w%d" % index, 0.3)
    url = "http://127.0.0.1:%d/%s/%s%s" % (web.port, rnd.choice(MODES), name, gen("query"))
    steps = [execute('FileOpen("%s"%s)' % (url, pick("", ', "", "-ml:2"', ', "t", "-uid:u -pwd:p"')))]
    steps += [request("GetProcessID")] * rnd.randrange(6) + [pick(
        execute("FileClose(%s)" % name), execute("FileClose()"), request("GetPageCount(%s)" % name),
        execute("FileCloseAll"))]
    # Convert waits for the load, 5 s at most for a server that stalls.
    return {"what": "download " + url, "steps": steps + ([convert(url)] if rnd.random() < 0.1 else [])}


def dde_case(index):
    steps = [gen("dde_step") for _ in range(rnd.randrange(1, 5))]
    return {"what": "dde " + steps[0][:80], "steps": steps}


def cmdline_case(index):
    text = gen("cmdline")  # as a second start with -s hands it over: its double quotes single
    handed = text.replace('"', "'") if rnd.random() < 0.7 else text
    return {"what": "command line %r" % text[:80], "steps": [execute('FileOpenCmdLine("%s")' % handed),
                                                               request("GetPageCount")]}


# Each family and how many times COUNT of its cases run.
FAMILIES = [(dde_case, 3), (cmdline_case, 1), (list_case, 1), (document_case, 2), (download_case, 1)]


# ---- real starts, the soak


def start_cases(count):
    """Generated command lines given to a second start with -s (handed over) and to a start of its own."""
    log = os.path.join(drive_c, "plovexdde.log")
    for k in range(count):
        text = gen("cmdline")
        args = text.split()
        if os.path.exists(log):
            os.remove(log)
        judge.counts["cases"] += 1
        second = subprocess.Popen(["wine", PROGRAM, "-s", *args], **QUIET)
        for attempt in range(2):
            with contextlib.suppress(subprocess.TimeoutExpired):
                if second.wait(HANG_SECONDS) != 0 and attempt == 0:
                    judge.fail("crashes", "a second start with -s %r ended with %r" % (args, second.returncode))
                break
            # A command line that no quoting carries intact is not handed
            # over: the second start is a viewer of its own, which is closed.
            for frame in [f[0] for f in probe("windows", FRAME) if len(f) > 1 and f[1] != judge.pid]:
                probe("post", frame, 16, 0, 0)
        else:
            second.kill()
            judge.fail("hangs", "a second start with -s %r did not end" % args)
        if not judge.answers(HANG_SECONDS):
            judge.recover("hand-over of %r" % args, [])
        if k % 2 == 0:
            judge.counts["cases"] += 1
            settle()
            judge.stop(by_quit=True)
            if not judge.start(*args):
                judge.fail("crashes" if judge.program.poll() is not None else "hangs",
                     "a start with %r (exit code %r)" % (args, judge.program.returncode))
                judge.stop()
                judge.start()
            if os.path.exists(log) and "dde_logging" not in text.lower():
                judge.fail("writes", "a start with %r wrote the DDE log" % args)


def soak(seconds):
    """Opening and closing the seeds in a loop, which must end holding what the first rounds held."""
    steps = []
    for path, name in ((path, path.rsplit("\\", 1)[1]) for path in seed_paths):
        steps += opening(path, name=name) + ["post\t%s\t%d\t524\t0" % (FRAME, WM_COMMAND),
                                             execute("SetActPage(%s, 1)" % name), execute("FileClose(%s)" % name)]
    run_cases([{"what": "a soak round", "steps": steps}] * 2)
    first, rounds, end = judge.holdings(), 0, time.monotonic() + seconds
    while time.monotonic() < end and run_cases([{"what": "a soak round", "steps": steps}]):
        rounds += 1
    final = judge.holdings()
    print("soak: %d rounds of %d documents; at the start %r, at the end %r" % (rounds, len(seed_paths), first, final),
          flush=True)
    judge.check_holdings(first, final, "over %d soak rounds" % rounds)


# ---- the run


def prepare():
    """The seeds, their copies under special names, and the known bad lists as cases."""
    global seed_paths, seed_paths_unix, readonly_path
    for folder in ("seeds", "docs", "lists", "out", "web"):
        os.makedirs(os.path.join(work, folder))
    seeds = os.path.join(work, "seed-data")
    subprocess.run(["/usr/bin/python3", str(pathlib.Path(__file__).resolve().parents[1] / "data" /
                                            "make-robustness-seeds.py"), seeds], check=True, timeout=300, **QUIET)
    seed_paths_unix = []
    for name in pathlib.Path(seeds, "cases.txt").read_text().split():
        reader = int(pathlib.Path(seeds, name + ".meta").read_text().split()[1])
        seed_paths_unix.append(os.path.join(work, "seeds", name + (".tif", ".jpg", ".gif", ".bmp", ".cal")[reader]))
        shutil.copyfile(os.path.join(seeds, name + ".data"), seed_paths_unix[-1])
    shutil.copyfile(seed_paths_unix[0], os.path.join(work, "web", "web0.tif"))
    shutil.rmtree(seeds)
    seed_paths, special = [windows_path(p) for p in seed_paths_unix], []
    for name in ("\u03a9mega \u03c0lan.tif", "\u65e5\u672c\u8a9e.tif", "smile \U0001f600.gif", "a'b, c.tif",
                 os.path.join(*["d" * 60] * 5, "far.tif")):
        os.makedirs(os.path.dirname(os.path.join(work, "seeds", name)), exist_ok=True)
        shutil.copyfile(seed_paths_unix[1], os.path.join(work, "seeds", name))
        special.append(windows_path(os.path.join(work, "seeds", name)))
    readonly_path = os.path.join(work, "out", "readonly.pdf")
    pathlib.Path(readonly_path).write_bytes(b"%PDF-1.2 kept")
    os.chmod(readonly_path, 0o444)
    TABLE.update(seed=seed_paths, port=[str(web.port)], special=special + [
        windows_path(os.path.join(work, "seeds")), "NUL", "CON", "CONIN$", "\\\\?\\" + seed_paths[2],
        seed_paths[3].replace("\\", "/"), "\\\\no-such-host\\share\\x.tif", "Z:", "\\\\",
        windows_path(os.path.join(work, "no such file.tif"))])
    for name, data in KNOWN_BAD_LISTS.items():
        pathlib.Path(work, "lists", name).write_bytes(data)
    return [{"what": "list " + name, "steps": opening(windows_path(os.path.join(work, "lists", name)))}
            for name in KNOWN_BAD_LISTS]


def main():
    global work, web, temp_dir, drive_c, temp_names, judge
    work = os.path.abspath(begin("program-robustness"))
    judge = Judge(work, ["converts"])
    web = Web(os.path.join(work, "web"))
    known_bad = prepare()
    drive_c = os.path.join(os.environ.get("WINEPREFIX", os.path.join(build, "wineprefix")), "drive_c")
    temp_dir = windows_temp()
    if os.path.exists(os.path.join(temp_dir, "plxpers.lst")):
        os.remove(os.path.join(temp_dir, "plxpers.lst"))
    began, temp_names = time.monotonic(), set(os.listdir(temp_dir))
    judge.roots += [(temp_dir, True), (drive_c, False)]
    # The pane commands change settings that the program saves at its end.
    with settings_kept(work):
        judge.start_answering()
        try:
            run_cases(known_bad)
            for generator, weight in FAMILIES:
                run_cases([generator(k) for k in range(COUNT * weight)])
            start_cases(max(2, COUNT // 20))
            soak(SOAK_SECONDS)
            settle()
            if not judge.stop(by_quit=True):
                judge.fail("hangs", "Quit did not end the program")
        finally:
            judge.stop()
            web.release()
    return judge.summary(began)


if __name__ == "__main__":
    sys.exit(main())
