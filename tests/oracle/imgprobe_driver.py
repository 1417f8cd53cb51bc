"""What the oracle checks that drive imgprobe share: a Python with Pillow and
numpy, the probe of the build under test and the outside tools (a check that
lacks either fails: it would otherwise pass having checked nothing), the list
of failed checks, and the probe's info and render commands read back."""
import os
import shutil
import subprocess
import sys

try:
    import numpy
    import PIL  # noqa: F401
except ImportError:
    # ctest may find another Python first; Debian's has Pillow and numpy.
    if os.path.realpath(sys.executable) == os.path.realpath("/usr/bin/python3"):
        sys.exit("FAILED: /usr/bin/python3 has no numpy or Pillow (tools/setup installs them)")
    os.execv("/usr/bin/python3", ["/usr/bin/python3", os.path.abspath(sys.argv[0])])

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
probe = os.path.join(top, "tools", "imgprobe")
build = os.environ.get("TEST_BINARY_DIR", os.path.join(top, "build"))
# tools/imgprobe picks its build from BUILD_DIR: the probe must be the one of
# the build under test, run in that build's Wine prefix.
os.environ["BUILD_DIR"] = build
failures = []


def require_probe():
    """Ends the check, failing, when the build under test has no probe to drive."""
    exe = os.path.join(build, "bin", "imgprobe.exe")
    if not (os.path.exists(probe) and os.path.exists(exe)):
        sys.exit("FAILED: %s is not built: nothing was checked" % exe)
    require_tools("wine")


def require_tools(*names):
    """Ends the check, failing, when an outside tool it judges with is missing."""
    missing = [name for name in names if not shutil.which(name)]
    if missing:
        sys.exit("FAILED: outside tools missing (tools/setup installs them): " + " ".join(missing))


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, flush=True)


def finish():
    print("%d failure(s)" % len(failures))
    sys.exit(1 if failures else 0)


def run(*command):
    """An outside tool that must succeed."""
    subprocess.run(command, check=True, capture_output=True, stdin=subprocess.DEVNULL)


def imgprobe(*args, timeout=600):
    """(exit code, standard output) of the probe."""
    done = subprocess.run([probe, *args], capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout


def info(path):
    """The format line's, the first page's and the status's fields."""
    _, out = imgprobe("info", path)
    fields = {}
    for word in out.split():
        key, _, value = word.partition("=")
        fields.setdefault(key, value)
    return fields


def same(a, b):
    """Two decodes of the same shape and pixels; a missing one is never the same."""
    return a is not None and b is not None and a.shape == b.shape and numpy.array_equal(a, b)


def render(path, out, *options):
    """(exit code, the status line) of a render of the first page."""
    code, text = imgprobe("render", path, "0", out, *options)
    return code, text.strip().splitlines()[-1] if text.strip() else ""
