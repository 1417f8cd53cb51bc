"""One viewer per user session: a second start with the switch -s hands its
command line to the running viewer over DDE and ends without a window, also
for names with blanks and apostrophes; without -s it runs as a viewer of its
own; with -s and nobody to hand to, or a name that no quoting carries
intact, it becomes the viewer itself."""
import os
import time

import program_driver as d

# Where the running viewer logs its DDE transactions (-dde_logging).
DDE_LOG = os.path.join(os.environ.get("WINEPREFIX", os.path.join(d.build, "wineprefix")), "drive_c",
                       "plovexdde.log")


def log_text():
    if not os.path.exists(DDE_LOG):
        return ""
    with open(DDE_LOG, "rb") as f:
        return f.read().decode("cp1252", "replace")


def hand_over(path, what):
    """Starts a second process with -s and the file; True when it ended soon
    and the running viewer took the file."""
    started = time.monotonic()
    second = d.Program("-s", d.windows_path(path))
    ended = second.ended(20)
    d.check(ended and time.monotonic() - started < 10,
            "%s: the second process ends soon (%.1f s)" % (what, time.monotonic() - started))
    name = os.path.basename(path)
    d.check(d.wait_for_frame(20, "Plovex - " + name) is not None,
            "%s: the running viewer shows %r (frames: %r)" % (what, name, d.frames()))
    d.check(len(d.frames()) == 1, "%s: no second frame exists (%r)" % (what, d.frames()))
    logged = [line for line in log_text().splitlines() if "\tFileOpenCmdLine(" in line]
    d.check(any(d.windows_path(path) in line and "\tOK\t" in line for line in logged),
            "%s: the log shows the whole name handed over (%r)" % (what, logged[-1:]))


def main():
    d.require_build()
    work = d.scratch_dir("single-instance")
    first = os.path.join(work, "first.tif")
    odd = os.path.join(work, "O'Neil plan.tif")
    os.makedirs(os.path.join(work, "my plans"))
    odd_in_folder = os.path.join(work, "my plans", "it's.tif")
    hopeless = os.path.join(work, "my plans", "O'Neil site plan.tif")
    for path in (first, odd, odd_in_folder, hopeless):
        d.make_tiff(path, [(400, 300)])
    if os.path.exists(DDE_LOG):
        os.remove(DDE_LOG)

    d.prepare_settings()
    try:
        viewer = d.Program("-dde_logging", d.windows_path(first))
        first_frame = d.wait_for_frame(30, "Plovex - first.tif")
        d.check(first_frame is not None, "the first viewer shows its file")
        hand_over(odd, "a blank after the apostrophe")
        hand_over(odd_in_folder, "a blank before the apostrophe")

        # Without -s a second viewer of its own runs.
        own = d.Program(d.windows_path(first))
        both = d.wait_for(lambda: (lambda f: f if len(f) == 2 else None)(d.frames()), 30)
        d.check(both is not None, "a start without -s makes a second frame")
        other = [f for f in both or [] if first_frame and f[0] != first_frame[0]]
        if d.check(len(other) == 1, "the new frame is another window"):
            d.probe("post", other[0][0], 16, 0, 0)  # WM_CLOSE
        d.check(own.ended(30), "the second viewer ends when its frame closes")

        # A name with a blank on both sides of its apostrophe cannot travel
        # intact inside FileOpenCmdLine("..."): the process opens it itself
        # rather than have the running viewer open two wrong names.
        stubborn = d.Program("-s", d.windows_path(hopeless))
        shown = d.wait_for_frame(30, "Plovex - O'Neil site plan.tif")
        d.check(shown is not None and first_frame and shown[0] != first_frame[0],
                "a name that no quoting carries opens in a viewer of its own (%r)" % d.frames())
        if shown:
            d.probe("post", shown[0], 16, 0, 0)  # WM_CLOSE
        d.check(stubborn.ended(30), "that viewer ends when its frame closes")
        d.check("O'Neil site plan.tif" not in log_text(), "nothing of it reached the running viewer")
        d.check(d.quit_program(viewer), "Quit over DDE ends the first viewer")

        # With -s and no viewer to take it, the hand-over fails three times
        # and this process becomes the viewer.
        alone = d.Program("-s", d.windows_path(odd))
        d.check(d.wait_for_frame(40, "Plovex - O'Neil plan.tif") is not None,
                "with -s and no viewer running, the program shows the file itself")
        d.check(d.quit_program(alone), "Quit ends it")
    finally:
        d.restore_settings()
    d.finish()


main()
