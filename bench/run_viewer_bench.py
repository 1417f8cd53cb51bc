#!/usr/bin/python3
"""Runs the viewer's benchmark: the desktop program, timed inside its Wine
process by viewer_bench.exe (one process per case and round), against a
fresh render of the page for the same view in the same process, and its
conversions against tiffcp and tiff2pdf on the same file in the same run
(timed around their processes). Returns a Markdown table; run_bench.py
prints it and writes it with the imaging table to BUILD/bench-results.md.

The markup rows paint the A0 sheet with 1,000 markups against a fresh
render of the page for the same view; the printing row prints the sheet 1:1
on the test printer (under the printer lock, as the print tests do) against
tiff2ps on the same part of the page, and reports the job's peak working set
and private memory; two more print scans of the sheet at 300 and at 600 dpi
1:1 on A0 through the 600 dpi A0 queue (PlovexTestA0), and a grey and a
colour scan of it at 300 dpi the same way, with no outside tool beside them.

Environment: BENCH_RUNS runs per measurement (default 7), BENCH_ROUNDS
alternating rounds (default 3), BENCH_CONVERT_RUNS conversions per
measurement (default 3), BENCH_PRINT_RUNS prints per round (default 3); the
figure reported is the median of the rounds' medians. BENCH_ONLY, a regular
expression, runs only the rows whose label it finds.
"""
import os
import re
import statistics
import subprocess
import sys
import tarfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RUNS = int(os.environ.get("BENCH_RUNS", "7"))
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))
CONVERT_RUNS = int(os.environ.get("BENCH_CONVERT_RUNS", "3"))
PRINT_RUNS = int(os.environ.get("BENCH_PRINT_RUNS", "3"))
ONLY = re.compile(os.environ.get("BENCH_ONLY", ""))
A0_HEIGHT = 18724

# The actions' rows: label, the action's name in viewer_bench's output, the
# goal (the largest ratio to the render that meets it) or None.
ACTIONS = (
    ("next page of the 20-page A0 document", "next_page", None),
    ("rotate by 90 degrees", "rotate_90", None),
    ("invert (cache)", "invert", 0.1),
    ("mirror (cache)", "mirror", 0.1),
    ("zoom to 1:1 at the bottom right corner", "zoom_1to1_corner", None),
    ("scroll up by a screen page at 1:1", "scroll_screen", None),
)

# The markup rows: label, the measurement's name in viewer_bench's output.
MARKUP_ACTIONS = (
    ("1,000 markups: view's paint drawing them anew", "first_paint"),
    ("1,000 markups: view's paint from their cached picture", "cached_paint"),
    ("1,000 markups: RedlinePaint alone, anew", "redline_paint_anew"),
    ("1,000 markups: RedlinePaint alone, cached", "redline_paint_cached"),
    ("1,000 markups: repaint after dragging one markup", "move_repaint"),
    ("1,000 markups: RedlinePaint alone, anew, while one is held", "redline_paint_dragging"),
)
PRINTER_LOCK = "/tmp/plovex-printer.lock"
PRINT_OUTPUT = "/var/spool/plovex/PlovexTest.ps"
LARGE_PRINTER = "PlovexTestA0"
LARGE_PRINT_OUTPUT = "/var/spool/plovex/PlovexTestA0.ps"
A0_DPI = 400


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def parse_pairs(text):
    return dict(re.findall(r"(\w+)=(\S+)", text))


def timed_peak(command, stdout=subprocess.DEVNULL):
    """Milliseconds and the peak resident size in bytes of one run."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=stdout)
    # Reaped while the object is held, so that its finaliser cannot reap a
    # quick child first; the object is told the status, so it waits no more.
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise subprocess.CalledProcessError(child.returncode, command)
    return (time.perf_counter() - start) * 1000, usage.ru_maxrss * 1024


class ViewerBench:
    def __init__(self, build):
        self.build = build
        self.data = os.path.join(build, "bench-data")
        self.exe = os.path.join(build, "bin", "viewer_bench.exe")
        self.sheet = os.path.join(self.data, "a0-g4.tif")
        self.sheet_300 = os.path.join(self.data, "a0-300dpi-g4.tif")
        self.sheet_600 = os.path.join(self.data, "a0-600dpi-g4.tif")
        self.grey_300 = os.path.join(self.data, "a0-300dpi-grey-lzw.tif")
        self.colour_300 = os.path.join(self.data, "a0-300dpi-colour.jpg")
        self.document = os.path.join(self.data, "a0-g4-20pages.tif")
        self.long_document = os.path.join(self.data, "a0-g4-200pages.tif")
        self.marked_sheet = os.path.join(self.data, "a0-g4-markups.tif")
        # The converted files, replaced by every run.
        self.scratch = os.path.join(build, "bench-out")
        os.makedirs(self.scratch, exist_ok=True)
        self.rows = []
        self.memory = None
        # (format, pages) -> our peak and working set before, theirs (bytes)
        self.convert_memory = {}
        self.print_results = []

    def ours_locked(self, case, path, runs, *extra):
        """As ours, holding the shared printer's lock for the whole process."""
        return self.ours(case, path, runs, *extra, lock=True)

    def ours(self, case, path, runs, *extra, lock=False):
        """The lines viewer_bench prints for one case, keyed by action."""
        command = ["wine", self.exe, case, windows_path(path), str(runs)] + list(extra)
        if lock:
            command = ["flock", PRINTER_LOCK] + command
        result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            sys.stderr.write("viewer_bench %s failed: %s\n" % (case, result.stderr.strip()[-400:]))
            return None
        return {p.get("action", p.get("case")): p for p in map(parse_pairs, result.stdout.splitlines()) if p}

    def add_row(self, label, mine, idle, theirs_label, other, goal, note="", paint=None):
        row = (label, mine, paint, idle, theirs_label, other, goal, note)
        self.rows.append(row)
        if mine is None:
            print("%-44s not available" % label, flush=True)
            return
        extra = "".join("  %s %.1f ms" % (name, value) for name, value in (("paint", paint), ("idle", idle))
                        if value is not None)
        print("%-44s %8.1f ms  %-28s %8.1f ms  ratio %6.3f%s" % (
            label, mine, theirs_label, other, mine / other, extra), flush=True)

    def open_case(self):
        label = "open to first paint (A0 Group 4 sheet)"
        if not ONLY.search(label):
            return
        ours, idle, render, paint = [], [], [], []
        for _ in range(ROUNDS):
            out = self.ours("open", self.sheet, RUNS)
            if not out:
                return self.add_row(label, None, None, "page to screen", None, 1.2)
            ours.append(float(out["first_paint"]["median_ms"]))
            idle.append(float(out["first_paint"]["idle_ms"]))
            render.append(float(out["first_paint"]["render_ms"]))
            paint.append(float(out["first_paint"]["paint_ms"]))
            view = out["first_paint"]["view"]
        self.add_row(label, statistics.median(ours), statistics.median(idle), "page to screen alone",
                     statistics.median(render), 1.2, "view " + view, statistics.median(paint))

    def action_cases(self):
        wanted = [a for a in ACTIONS if ONLY.search(a[0])]
        if not wanted:
            return
        rounds = [self.ours("actions", self.document, RUNS) for _ in range(ROUNDS)]
        rounds = [r for r in rounds if r]
        for label, action, goal in wanted:
            found = [r[action] for r in rounds if action in r]
            if not found:
                self.add_row(label, None, None, "fresh page to screen", None, goal)
                continue
            self.add_row(label, statistics.median(float(f["median_ms"]) for f in found),
                         statistics.median(float(f["idle_ms"]) for f in found), "fresh page to screen",
                         statistics.median(float(f["render_ms"]) for f in found), goal,
                         paint=statistics.median(float(f["paint_ms"]) for f in found))

    def page_text(self):
        """The markups' page text as stored in the companion file: the tar
        archive's first member, a 10-byte header, raw deflate."""
        with tarfile.open(os.path.splitext(self.marked_sheet)[0] + ".PLR") as archive:
            member = archive.extractfile(archive.getmembers()[0]).read()
        text = os.path.join(self.scratch, "markups-page.txt")
        with open(text, "wb") as f:
            f.write(zlib.decompressobj(-15).decompress(member[10:]))
        return text

    def gzip_ms(self, text):
        times = []
        for _ in range(RUNS):
            start = time.perf_counter()
            subprocess.run(["gzip", "-9", "-c", text], stdout=subprocess.DEVNULL, check=True)
            times.append((time.perf_counter() - start) * 1000)
        return statistics.median(times)

    def markup_cases(self):
        wanted = [a for a in MARKUP_ACTIONS if ONLY.search(a[0])]
        opened = "1,000 markups: open to first paint"
        saved = "1,000 markups: save to the companion file"
        if wanted or ONLY.search(saved):
            rounds, gzip = [], []
            for _ in range(ROUNDS):
                rounds.append(self.ours("markups", self.marked_sheet, RUNS))
                if rounds[-1] and ONLY.search(saved):
                    gzip.append(self.gzip_ms(self.page_text()))
            rounds = [r for r in rounds if r]
            if ONLY.search(saved):
                found = [r["save"] for r in rounds if "save" in r]
                if found and gzip:
                    self.add_row(saved, statistics.median(float(f["median_ms"]) for f in found), None,
                                 "gzip -9 of the page's text", statistics.median(gzip), None,
                                 "%d bytes of text" % os.path.getsize(os.path.join(self.scratch,
                                                                                  "markups-page.txt")))
                else:
                    self.add_row(saved, None, None, "gzip -9 of the page's text", None, None)
            for label, action in wanted:
                found = [r[action] for r in rounds if action in r]
                if not found:
                    self.add_row(label, None, None, "fresh page to screen", None, None)
                    continue
                check = rounds[0].get("move_check", {}) if action == "move_repaint" else {}
                note = "moved by %s mm" % check["moved_mm"] if "moved_mm" in check else ""
                self.add_row(label, statistics.median(float(f["median_ms"]) for f in found),
                             statistics.median(float(f["idle_ms"]) for f in found), "fresh page to screen",
                             statistics.median(float(f["render_ms"]) for f in found), None, note,
                             statistics.median(float(f["paint_ms"]) for f in found))
        if ONLY.search(opened):
            # The companion file is the markups case's: it must have run once.
            if not os.path.exists(os.path.splitext(self.marked_sheet)[0] + ".PLR"):
                self.ours("markups", self.marked_sheet, 1)
            ours, idle, render, paint = [], [], [], []
            for _ in range(ROUNDS):
                out = self.ours("open", self.marked_sheet, RUNS)
                if not out:
                    return self.add_row(opened, None, None, "page to screen alone", None, None)
                ours.append(float(out["first_paint"]["median_ms"]))
                idle.append(float(out["first_paint"]["idle_ms"]))
                render.append(float(out["first_paint"]["render_ms"]))
                paint.append(float(out["first_paint"]["paint_ms"]))
            self.add_row(opened, statistics.median(ours), statistics.median(idle), "page to screen alone",
                         statistics.median(render), None, "", statistics.median(paint))

    def print_cases(self):
        """The sheet 1:1 on the test printer's largest paper, then scans of it
        at 300 and at 600 dpi 1:1 on A0 through the 600 dpi A0 queue."""
        self.print_case("print the A0 Group 4 sheet 1:1 to the test printer", self.sheet, A0_DPI,
                        PRINT_OUTPUT, [])
        for dpi, sheet in ((300, self.sheet_300), (600, self.sheet_600)):
            self.print_case("print the %d dpi A0 sheet 1:1 on A0" % dpi, sheet, dpi, LARGE_PRINT_OUTPUT,
                            [LARGE_PRINTER])
        for kind, sheet in (("grey", self.grey_300), ("colour", self.colour_300)):
            self.print_case("print the 300 dpi %s A0 scan 1:1 on A0" % kind, sheet, 300, LARGE_PRINT_OUTPUT,
                            [LARGE_PRINTER], against_tiff2ps=False)

    def print_case(self, label, sheet, sheet_dpi, output, printer, against_tiff2ps=True):
        if not ONLY.search(label):
            return
        scratch = self.scratch
        ours, jobs, peaks, privates, sizes = [], [], [], [], []
        theirs = {"1": [], "2": []} if against_tiff2ps else {}
        their_sizes = {}
        crop = os.path.join(scratch, "printed-part.tif")
        if os.path.exists(crop):
            os.remove(crop)  # cut anew for this row's layout
        layout = None
        for _ in range(ROUNDS):
            out = self.ours_locked("print", sheet, PRINT_RUNS, windows_path(output), *printer)
            if not out or "to_file" not in out:
                return self.add_row(label, None, None, "tiff2ps", None, None)
            ours.append(float(out["to_file"]["median_ms"]))
            jobs.append(float(out["to_file"]["idle_ms"]))
            memory = out["print-memory"]
            peaks.append((int(memory["peak"]), int(memory["start"])))
            privates.append(int(memory["private_peak"]) - int(memory["private_base"]))
            sizes.append(int(memory["size"]))
            layout = (out["print-layout"], memory, out.get("print-render", {}), out.get("print-bands", {}))
            if theirs and not os.path.exists(crop):
                self.crop_printed_part(sheet, sheet_dpi, out["print-layout"], crop)
            for level in theirs:
                target = os.path.join(scratch, "tiff2ps-%s.ps" % level)
                measured = []
                for _ in range(PRINT_RUNS):
                    with open(target, "w") as f:
                        measured.append(timed_peak(["tiff2ps", "-" + level, crop], stdout=f))
                theirs[level].append(statistics.median(t for t, _ in measured))
                their_sizes[level] = os.path.getsize(target)
        peak = sorted(peaks)[len(peaks) // 2]
        result = {
            "label": label, "sheet_dpi": sheet_dpi,
            "ours": statistics.median(ours), "job": statistics.median(jobs), "size": statistics.median(sizes),
            "peak": peak[0], "base": peak[1], "private": max(privates), "layout": layout[0],
            "memory": layout[1], "render": layout[2], "bands": layout[3],
            "theirs": {k: statistics.median(v) for k, v in theirs.items()}, "their_sizes": their_sizes}
        self.print_results.append(result)
        r = result
        against = "".join("  tiff2ps -%s %.1f ms %.1f MB" % (level, r["theirs"][level], their_sizes[level] / 1e6)
                          for level in sorted(theirs))
        print("%-44s %8.1f ms (job %.1f ms)  %.1f MB%s  %s bands  peak +%.1f MB, private +%.1f MB" % (
            label, r["ours"], r["job"], r["size"] / 1e6, against, r["bands"].get("count", "?"),
            (r["peak"] - r["base"]) / 1e6, r["private"] / 1e6), flush=True)

    def crop_printed_part(self, sheet, dpi, layout, crop):
        """The part of the sheet the printed page shows, cut out by tiffcrop at
        the sheet's own resolution and stored as Group 4 as the sheet is."""
        x, y, w, h = (float(v) for v in layout["page_mm"].split(","))
        px = lambda mm: int(round(mm * dpi / 25.4))
        region = "%d,%d,%d,%d" % (px(x), px(y), px(x + w) - 1, px(y + h) - 1)
        subprocess.run(["tiffcrop", "-U", "px", "-z", region, "-c", "g4", sheet, crop], check=True,
                       stdout=subprocess.DEVNULL)

    def memory_case(self):
        if not ONLY.search("working set"):
            return
        found = [self.ours("memory", self.document, 1) for _ in range(ROUNDS)]
        found = [f["memory"] for f in found if f and "memory" in f]
        if not found:
            print("working set not available", flush=True)
            return
        median = lambda key: statistics.median(int(f[key]) for f in found)
        self.memory = {"empty": median("ws_empty"), "shown": median("ws_shown"), "peak": median("peak"),
                       "bitmap": int(found[0]["bitmap"]), "reset": found[0]["peak_reset"] == "1"}
        m = self.memory
        print("working set: %.1f MB without a document, %.1f MB shown (%.2f times), peak %.1f MB" % (
            m["empty"] / 1e6, m["shown"] / 1e6, m["shown"] / m["empty"], m["peak"] / 1e6), flush=True)

    def convert_case(self, label, case, theirs_label, theirs, document, pages, runs):
        if not ONLY.search(label):
            return
        target = os.path.join(self.scratch, "ours." + ("pdf" if case == "convert-pdf" else "tif"))
        ours, them, peaks, their_peaks = [], [], [], []
        for _ in range(ROUNDS):
            out = self.ours(case, document, runs, windows_path(target))
            if not out:
                return self.add_row(label, None, None, theirs_label, None, None)
            ours.append(float(out["convert"]["median_ms"]))
            memory = out.get("convert-memory")
            if memory:
                peaks.append((int(memory["peak"]), int(memory["base"])))
            measured = [theirs() for _ in range(runs)]
            them.append(statistics.median(t for t, _ in measured))
            their_peaks.append(max(p for _, p in measured))
        if peaks:
            peak = sorted(peaks)[len(peaks) // 2]
            self.convert_memory[(case, pages)] = (peak[0], peak[1], statistics.median(their_peaks))
        self.add_row(label, statistics.median(ours), None, theirs_label, statistics.median(them), None,
                     self.check_pages(target))

    def check_pages(self, path):
        """The written file's page count as an outside tool reads it."""
        if path.endswith(".pdf"):
            out = subprocess.run(["qpdf", "--show-npages", path], capture_output=True, text=True)
            return "%s pages (qpdf)" % out.stdout.strip() if out.returncode == 0 else "qpdf refused the file"
        out = subprocess.run(["tiffinfo", path], capture_output=True, text=True)
        return "%d pages (tiffinfo)" % out.stdout.count("TIFF Directory")

    def run(self):
        subprocess.run(["/usr/bin/python3", os.path.join(HERE, "make_inputs.py"), self.data], check=True)
        self.open_case()
        self.action_cases()
        self.markup_cases()
        self.print_cases()
        self.memory_case()
        tiff_out = os.path.join(self.scratch, "tiffcp.tif")
        pdf_out = os.path.join(self.scratch, "tiff2pdf.pdf")
        for pages, document, runs in ((20, self.document, CONVERT_RUNS), (200, self.long_document, 1)):
            self.convert_case("convert %d pages to TIFF" % pages, "convert-tiff", "tiffcp -c g4",
                              lambda d=document: timed_peak(["tiffcp", "-c", "g4", "-r", str(A0_HEIGHT), d,
                                                             tiff_out]), document, pages, runs)
            self.convert_case("convert %d pages to PDF" % pages, "convert-pdf", "tiff2pdf",
                              lambda d=document: timed_peak(["tiff2pdf", "-o", pdf_out, d]), document, pages,
                              runs)
        return self.report()

    def report(self):
        lines = ["| case | ours (ms) | view's paint (ms) | to idle (ms) | against | theirs (ms) | ratio | goal | |",
                 "|---|---:|---:|---:|---|---:|---:|---:|---|"]
        optional = lambda value: "" if value is None else "%.1f" % value
        for label, mine, paint, idle, theirs_label, other, goal, note in self.rows:
            goal_text = "" if goal is None else "%.1f" % goal
            if mine is None:
                lines.append("| %s | n/a | | | %s | | | %s | |" % (label, theirs_label, goal_text))
                continue
            ratio = mine / other
            verdict = "" if goal is None else ("met" if ratio <= goal else "missed")
            lines.append("| %s | %.1f | %s | %s | %s | %.1f | %.3f | %s | %s |" % (
                label, mine, optional(paint), optional(idle), theirs_label, other, ratio, goal_text,
                "; ".join(t for t in (verdict, note) if t)))
        if self.memory:
            m = self.memory
            grown = m["shown"] - m["empty"]
            ratio = m["shown"] / m["empty"]
            lines += ["", "| working set | MB | |", "|---|---:|---|",
                      "| program without a document | %.1f | |" % (m["empty"] / 1e6),
                      "| 20-page A0 document open, page 1 shown | %.1f | %.2f times the empty program (goal 1.25: %s) |"
                      % (m["shown"] / 1e6, ratio, "met" if ratio <= 1.25 else "missed"),
                      "| grown by | %.1f | %.2f of the page's 1-bit bitmap (%.1f MB) |"
                      % (grown / 1e6, grown / m["bitmap"], m["bitmap"] / 1e6),
                      "| peak while opening | %.1f | %s |" % (
                          m["peak"] / 1e6, "peak counter reset before the open" if m["reset"]
                          else "peak of the whole process")]
        if self.convert_memory:
            lines += ["", "| conversion's peak working set | pages | ours (MB) | ours above the start (MB) |"
                      " theirs' peak (MB) | ours at 200 against 20 | |", "|---|---:|---:|---:|---:|---:|---|"]
            for case, name in (("convert-tiff", "to TIFF (tiffcp)"), ("convert-pdf", "to PDF (tiff2pdf)")):
                for pages in (20, 200):
                    found = self.convert_memory.get((case, pages))
                    if not found:
                        continue
                    peak, base, theirs = found
                    short = self.convert_memory.get((case, 20))
                    ratio = peak / short[0] if pages == 200 and short else None
                    lines.append("| %s | %d | %.1f | %.1f | %.1f | %s | %s |" % (
                        name, pages, peak / 1e6, (peak - base) / 1e6, theirs / 1e6,
                        "" if ratio is None else "%.2f" % ratio,
                        "" if ratio is None else ("goal 1.2: met" if ratio <= 1.2 else "goal 1.2: missed")))
        for result in self.print_results:
            lines += [""] + self.print_report(result)
        text = "\n".join(lines) + "\n"
        print("\n" + text)
        return text

    def print_report(self, r):
        size = r["memory"]
        bitmap = ((13244 + 31) // 32 * 4) * A0_HEIGHT
        image = r["layout"]["image"]
        width, height = (int(v) for v in image.split("x"))
        image_bits = (width + 31) // 32 * 4 * height
        grown = r["peak"] - r["base"]
        render = r["render"]
        bands = r["bands"]
        # 0: the one render could not be made; the source's depth then.
        bits = int(render.get("bits", "1")) or int(bands.get("source_bits", "1"))
        image_bytes = (width * bits + 31) // 32 * 4 * height
        lines = ["| %s: %s paper (%s mm), %s dpi | ours (ms) | job alone (ms) | PostScript (MB) | against |"
                 " theirs (ms) | their PostScript (MB) | ratio |" % (
                     r["label"], size["paper"], size["paper_mm"], size["dpi"]),
                 "|---|---:|---:|---:|---|---:|---:|---:|"]
        if not r["theirs"]:
            lines.append("| to the finished PostScript file | %.1f | %.1f | %.1f | | | | |" % (
                r["ours"], r["job"], r["size"] / 1e6))
        for level, name in (("1", "tiff2ps -1 (hex image)"), ("2", "tiff2ps -2 (Group 4 passed through)")):
            if level not in r["theirs"]:
                continue
            lines.append("| to the finished PostScript file | %.1f | %.1f | %.1f | %s | %.1f | %.2f | %.2f |" % (
                r["ours"], r["job"], r["size"] / 1e6, name, r["theirs"][level], r["their_sizes"][level] / 1e6,
                r["ours"] / r["theirs"][level]))
        lines += ["", "| print job's memory (sampled every millisecond) | MB | |", "|---|---:|---|",
                  "| the program with the sheet open and shown (working set) | %.1f | the start of the figures "
                  "below |" % (r["base"] / 1e6),
                  "| peak working set during the jobs | %.1f | %s |" % (
                      r["peak"] / 1e6, "sampled" if size.get("sampled") == "1" else "no sampling thread"),
                  "| the jobs' peak working set above the start | %.1f | %.2f of the A0 400 dpi page's 1-bit "
                  "bitmap (%.1f MB); %.2f of the printed part's 1-bit bitmap (%s, %.1f MB) |" % (
                      grown / 1e6, grown / bitmap, bitmap / 1e6, grown / image_bits, image, image_bits / 1e6),
                  "| the jobs' peak private memory above the start of each job | %.1f | goal under 100: %s |" % (
                      r["private"] / 1e6, "met" if r["private"] < 100e6 else "missed")]
        if render and render.get("bits") == "0":
            lines.append("| the page's render for the layout alone (before any job) | | could not be made: %d bits "
                         "per pixel, %.1f MB |" % (bits, image_bytes / 1e6))
        elif render:
            lines.append("| the page's render for the layout alone (before any job), its peak above the start | "
                         "%.1f | %.1f ms; the one image has %d bits per pixel (%.1f MB) |" % (
                             (int(render["peak"]) - int(render["base"])) / 1e6, float(render["render_ms"]), bits,
                             image_bytes / 1e6))
        if bands and int(bands.get("count", "0")):
            whole = "" if render.get("bits") == "0" else "; the one render above %.1f ms" % float(bands["whole_ms"])
            lines.append("| rendering the job's %s bands alone, one after the other (ms) | %.1f | the first "
                         "%.1f ms, the last %.1f ms%s |" % (
                             bands["count"], float(bands["total_ms"]), float(bands["first_ms"]),
                             float(bands["last_ms"]), whole))
        lines += ["", "Printed part of the page (mm): %s%s" % (
            r["layout"]["page_mm"], "; tiff2ps prints the same part cut out by tiffcrop at the sheet's %d dpi."
            % r["sheet_dpi"] if r["theirs"] else ".")]
        return lines
