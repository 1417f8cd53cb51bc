#!/usr/bin/python3
"""Runs the benchmarks and writes their tables to BUILD/bench-results.md.

The imaging benchmark: for each case our render (timed inside the Wine
process by imaging_bench.exe) and the outside tool on the same file in the
same run (libtiff's bare decode timed natively by libtiff_decode, or djpeg),
their ratio, and the render's peak working set against the page's full 1-bit
bitmap. The viewer's benchmark (bench/run_viewer_bench.py) times the running
program.

Usage: run_bench.py BUILD_DIR        (tools/bench calls it)
Environment: BENCH_SUITE, "imaging", "viewer" or both (the default), each
word one benchmark. BENCH_RUNS renders per measurement (default 7),
BENCH_ROUNDS alternating rounds of ours and theirs (default 3); the figure
reported is the median of the rounds' medians. BENCH_ONLY, a regular
expression, runs only the cases whose label it finds.
"""
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RUNS = int(os.environ.get("BENCH_RUNS", "7"))
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))
ONLY = re.compile(os.environ.get("BENCH_ONLY", ""))
A0_BITMAP = ((13244 + 31) // 32 * 4) * 18724  # bytes of the A0 page as a 1-bit image


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def parse_pairs(text):
    return dict(re.findall(r"(\w+)=(\S+)", text))


class Bench:
    def __init__(self, build):
        self.build = build
        self.data = os.path.join(build, "bench-data")
        self.exe = os.path.join(build, "bin", "imaging_bench.exe")
        self.libtiff = os.path.join(build, "libtiff_decode")
        self.rows = []

    def prepare(self):
        subprocess.run(["/usr/bin/python3", os.path.join(HERE, "make_inputs.py"), self.data], check=True)
        source = os.path.join(HERE, "libtiff_decode.c")
        if not os.path.exists(self.libtiff) or os.path.getmtime(self.libtiff) < os.path.getmtime(source):
            subprocess.run(["gcc", "-O2", "-o", self.libtiff, source, "-ltiff"], check=True)

    def ours(self, input_name, case):
        result = subprocess.run(["wine", self.exe, input_name, case, str(RUNS)], capture_output=True, text=True)
        if result.returncode != 0:
            return None
        return parse_pairs(result.stdout)

    def libtiff_ms(self, path):
        result = subprocess.run([self.libtiff, path, str(RUNS)], capture_output=True, text=True, check=True)
        return float(parse_pairs(result.stdout)["median_ms"])

    def djpeg_ms(self, path, scale):
        times = []
        for _ in range(RUNS):
            start = time.perf_counter()
            subprocess.run(["djpeg"] + (["-scale", scale] if scale else []) + ["-outfile", "/dev/null", path],
                           check=True)
            times.append((time.perf_counter() - start) * 1000)
        return statistics.median(times)

    def case(self, label, input_name, case, theirs_label, theirs, bitmap=None):
        """One row: rounds of ours and theirs, alternating."""
        if not ONLY.search(label):
            return None
        ours, them, first = [], [], None
        for _ in range(ROUNDS):
            result = self.ours(input_name, case)
            if result is None:
                self.rows.append((label, None, theirs_label, None, None, None))
                print("%-44s not available (the reader is missing or failed)" % label, flush=True)
                return None
            first = first or result
            ours.append(float(result["median_ms"]))
            them.append(theirs())
        mine, other = statistics.median(ours), statistics.median(them)
        peak = int(first["peak"]) - int(first["ws_before"])
        row = (label, mine, theirs_label, other, peak, bitmap)
        self.rows.append(row)
        print("%-44s %8.1f ms  %-26s %8.1f ms  ratio %5.2f  peak +%6.1f MB  (%s)" % (
            label, mine, theirs_label, other, mine / other, peak / 1e6, first["out"]), flush=True)
        return row

    def run(self):
        self.prepare()
        for name, title in (("a0-g4", "Group 4"), ("a0-g3-2d", "Group 3 2D"), ("a0-lzw", "LZW"),
                            ("a0-g4-strips", "Group 4, 4-row strips")):
            path = os.path.join(self.data, name + ".tif")
            input_name = windows_path(path)
            baseline = lambda path=path: self.libtiff_ms(path)
            for case, what in (("screen", "page to screen"), ("full", "page 1:1"),
                               ("corner-tl", "1000x1000 top left 1:1"), ("corner-tr", "1000x1000 top right 1:1"),
                               ("corner-bl", "1000x1000 bottom left 1:1"),
                               ("corner-br", "1000x1000 bottom right 1:1")):
                self.case("A0 %s: %s" % (title, what), input_name, case, "libtiff full decode", baseline, A0_BITMAP)
        # The Group 4 strip through the shared render steps alone: the decoder
        # and sinks without the TIFF reader.
        g4 = os.path.join(self.data, "a0-g4.tif")
        offset, length = self.strip_of(g4)
        input_name = "ccitt:%s:%d:%d:13244:18724:2:0:400" % (windows_path(g4), offset, length)
        for case, what in (("screen", "page to screen"), ("corner-br", "1000x1000 bottom right 1:1")):
            self.case("A0 Group 4 strip, no reader: %s" % what, input_name, case, "libtiff full decode",
                      lambda: self.libtiff_ms(g4), A0_BITMAP)
        jpg = os.path.join(self.data, "photo.jpg")
        jtif = os.path.join(self.data, "photo-jpeg.tif")
        self.case("JPEG 6000x4000: to screen", windows_path(jpg), "screen", "djpeg -scale 1/4",
                  lambda: self.djpeg_ms(jpg, "1/4"))
        self.case("JPEG 6000x4000: 1:1", windows_path(jpg), "full", "djpeg", lambda: self.djpeg_ms(jpg, None))
        self.case("JPEG-in-TIFF 6000x4000: to screen", windows_path(jtif), "screen", "djpeg -scale 1/4 (JFIF)",
                  lambda: self.djpeg_ms(jpg, "1/4"))
        self.case("JPEG-in-TIFF 6000x4000: 1:1", windows_path(jtif), "full", "libtiff full decode",
                  lambda: self.libtiff_ms(jtif))
        return self.report()

    def strip_of(self, path):
        out = subprocess.run(["tiffdump", path], capture_output=True, text=True, check=True).stdout
        offset = int(re.search(r"StripOffsets \(273\) \w+ \(\d+\) 1<(\d+)>", out).group(1))
        length = int(re.search(r"StripByteCounts \(279\) \w+ \(\d+\) 1<(\d+)>", out).group(1))
        return offset, length

    def report(self):
        lines = ["| case | ours (ms) | outside tool | theirs (ms) | ratio | render's peak working set |",
                 "|---|---:|---|---:|---:|---:|"]
        for label, mine, theirs_label, other, peak, bitmap in self.rows:
            if mine is None:
                lines.append("| %s | n/a | %s | | | |" % (label, theirs_label))
                continue
            share = " (%.2f of the 1-bit page)" % (peak / bitmap) if bitmap else ""
            lines.append("| %s | %.1f | %s | %.1f | %.2f | %.1f MB%s |" % (
                label, mine, theirs_label, other, mine / other, peak / 1e6, share))
        lines += ["", "Targets (Group 4, single strip):"] + self.targets()
        text = "\n".join(lines) + "\n"
        print("\n" + text)
        return text

    def targets(self):
        rows = {r[0]: r for r in self.rows if r[1] is not None}
        out = []
        screen = rows.get("A0 Group 4: page to screen")
        if screen:
            ratio = screen[1] / screen[3]
            out.append("- page to screen in at most 0.7 x libtiff's decode: %.2f, %s" % (
                ratio, "met" if ratio <= 0.7 else "missed"))
            share = screen[4] / screen[5]
            out.append("- screen render's peak below a quarter of the 1-bit page: %.2f, %s" % (
                share, "met" if share < 0.25 else "missed"))
        corners = [rows[k] for k in rows if k.startswith("A0 Group 4: 1000x1000")]
        if corners:
            worst = max(r[1] / r[3] for r in corners)
            out.append("- 1:1 cut-outs of every corner in at most 0.7 x: worst %.2f, %s" % (
                worst, "met" if worst <= 0.7 else "missed"))
        return out


def main():
    build = sys.argv[1]
    suites = os.environ.get("BENCH_SUITE", "imaging viewer").split()
    tables = []
    if "imaging" in suites:
        tables.append("## Imaging\n\n" + Bench(build).run())
    if "viewer" in suites:
        sys.path.insert(0, HERE)
        import run_viewer_bench
        tables.append("## Viewer\n\n" + run_viewer_bench.ViewerBench(build).run())
    with open(os.path.join(build, "bench-results.md"), "w") as f:
        f.write("\n".join(tables))


if __name__ == "__main__":
    main()
