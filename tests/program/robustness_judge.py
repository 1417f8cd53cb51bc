"""The judge that the robustness runs of the desktop program share: the
program started under Wine, every case followed by a GetProcessID request
through the tests' DDE client (a crash is the process gone, a hang no answer
within HANG_SECONDS), the tallies of what went wrong, the failing steps saved
for a replay, the files where the program must not write unasked, and what
the process holds (handles, GDI and USER objects, memory) for a leak check.

A run makes one Judge on its scratch folder, starts the program with
judge.start(), sends its cases with judge.run_client() and judge.answered(),
and ends with judge.summary()."""
import contextlib
import os
import pathlib
import subprocess
import sys
import time

from program_peer import DDE_CLIENT, FRAME, PROGRAM, probe, program_boxes, windows_path

HANG_SECONDS = 30  # Convert may block the program 5 s by design; a loaded machine needs more
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def setting(prefix, name, default):
    """The environment's PREFIX_NAME, of the default's type."""
    return type(default)(os.environ.get(prefix + "_" + name) or default)


def execute(text):
    """A step of the DDE client (its escapes for CR, LF, TAB)."""
    return "x\t" + text.replace("`", "``").replace("\r", "`r").replace("\n", "`n").replace("\t", "`t")


def request(item):
    return "r" + execute(item)[1:]


class Judge:
    KINDS = ("cases", "crashes", "hangs", "slow", "leaks", "writes")

    def __init__(self, work, kinds=()):
        self.work, self.program, self.pid, self.args = work, None, "", ()
        self.counts = dict.fromkeys(self.KINDS + tuple(kinds), 0)
        self.failures = []
        # Where the program must not write unasked: (folder, recurse).
        self.roots = [(work, True)]
        self.own = {os.path.join(work, name) for name in ("steps.txt", "out.txt")}

    def fail(self, kind, what, steps=()):
        self.counts[kind] += 1
        self.failures.append("%s: %s" % (kind, what))
        print("FAILED %s: %s" % (kind, what), flush=True)
        if steps:
            os.makedirs(os.path.join(self.work, "failures"), exist_ok=True)
            pathlib.Path(self.work, "failures", "%s-%d.txt" % (kind, len(self.failures))).write_text(
                "".join(s + "\n" for s in steps), encoding="utf-8", errors="replace")

    # ---- the program

    def start(self, *args, executable=None):
        """The program (the last one started unless named) started with the
        arguments; True once it answers GetProcessID."""
        self.args, self.executable = args, executable or getattr(self, "executable", PROGRAM)
        self.program = subprocess.Popen(["wine", self.executable, *args], **QUIET)
        return self.answers(60, learn=True)

    def start_answering(self, executable=None):
        """start(), ending the run when the program does not answer."""
        if not self.start(executable=executable):
            sys.exit("FAILED: %s does not answer GetProcessID" % self.executable)

    def answers(self, seconds, learn=False):
        """True once GetProcessID answers the program's id (learnt when asked) within the time."""
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.program.poll() is None:
            lines = self.run_client([request("GetProcessID")], [] if learn else [0],
                                    limit=None if learn else seconds)
            if learn and lines[:1] and lines[0].startswith("data\t"):
                self.pid = lines[0].split("\t")[3]
            if self.judge_line(lines):
                return True
        return False

    def stop(self, by_quit=False):
        """Ends the program, by Quit when asked; False when Quit did not end it."""
        if by_quit:
            self.run_client([execute("Quit")], [])
        try:
            return self.program.wait(HANG_SECONDS if by_quit else 0) is not None
        except subprocess.TimeoutExpired:
            self.program.kill()
            self.program.wait(30)
            return False

    def frame(self):
        """The frame window of the program now running (a restart makes a new one)."""
        if getattr(self, "_frame_of", None) != self.pid:
            self._frame = next((f[0] for f in probe("windows", FRAME) if len(f) > 1 and f[1] == self.pid), None)
            self._frame_of = self.pid if self._frame else None
        return self._frame

    def boxes(self):
        """The dialog windows of the program now running."""
        return program_boxes(self.pid)

    def judge_line(self, lines, at=0):
        return len(lines) > at and lines[at] == "data\t%d\t1\t%s" % (len(self.pid) + 1, self.pid)

    def run_client(self, steps, judges, limit=None):
        """The client's answer lines, one a step, up to the first judge step not answered with the id."""
        steps_file, out_file = os.path.join(self.work, "steps.txt"), os.path.join(self.work, "out.txt")
        pathlib.Path(steps_file).write_bytes("".join(s + "\n" for s in steps).encode("utf-8", "replace"))
        pathlib.Path(out_file).write_bytes(b"")
        client = subprocess.Popen(["wine", DDE_CLIENT, "-out", windows_path(out_file), "-service", "Plovex",
                                   "-steps", windows_path(steps_file)], **QUIET)
        end = time.monotonic() + (limit or 30 + 12 * len(judges) + len(steps))
        while True:
            finished = client.poll() is not None
            lines = pathlib.Path(out_file).read_bytes().decode("utf-8", "replace").split("\n")[:-1]
            if finished or time.monotonic() > end or any(at < len(lines) and not self.judge_line(lines, at)
                                                          for at in judges):
                break
            time.sleep(0.05)
        if client.poll() is None:
            client.kill()
            client.wait(30)
        return lines

    def answered(self, what, steps=()):
        """One more case judged by a GetProcessID of its own; False after a crash or a hang."""
        self.counts["cases"] += 1
        if self.judge_line(self.run_client([request("GetProcessID")], [0])):
            return True
        self.recover(what, steps)
        return False

    def recover(self, what, steps):
        """After a judge step without the answer: a crash, a hang or a slow case."""
        if self.program.poll() is None and self.answers(HANG_SECONDS):
            self.counts["slow"] += 1
            return print("slow: %s" % what, flush=True)
        self.fail("hangs" if self.program.poll() is None else "crashes",
                  "%s (exit code %r)" % (what, self.program.returncode), steps)
        self.stop()
        if not self.start():
            sys.exit("FAILED: the program does not start again")

    # ---- what the program leaves

    def snapshot(self):
        """Size and time of every file where the program must not write unasked."""
        state = {}
        for root, recurse in self.roots:
            for folder, dirs, files in os.walk(root):
                dirs[:] = [d for d in dirs if recurse and os.path.join(folder, d) != os.path.join(self.work, "failures")]
                for path in {os.path.join(folder, name) for name in files} - self.own:
                    with contextlib.suppress(OSError):
                        state[path] = ((info := os.stat(path)).st_size, info.st_mtime_ns)
        return state

    def changed(self, before, allowed=()):
        """The files that differ from the snapshot, beside those allowed."""
        after = self.snapshot()
        return sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p) and p not in allowed)

    def holdings(self):
        """What the process holds: handles, gdi, user, working_set, private (-1 where unknown)."""
        fields = (probe("process", self.pid) or [[]])[0]
        values = dict(zip(fields[::2], fields[1::2]))
        return {key: int(values.get(key, -1)) for key in ("handles", "gdi", "user", "working_set", "private")}

    def check_holdings(self, first, final, what, margins=None):
        margins = margins or {"handles": 10, "gdi": 20, "user": 20, "working_set": 8 << 20, "private": 8 << 20}
        for key, margin in margins.items():
            if first[key] >= 0 and final[key] > first[key] + margin:
                self.fail("leaks", "%s grew from %d to %d %s" % (key, first[key], final[key], what))

    def summary(self, began, extra=""):
        print("%s, %.0f s%s" % (", ".join("%d %s" % (n, k) for k, n in self.counts.items()),
                                time.monotonic() - began, extra), flush=True)
        print("%d failure(s)" % len(self.failures))
        return 1 if self.failures else 0
