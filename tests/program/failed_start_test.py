"""A start that cannot make its frame window, seen from outside: the user is
told in a message box, no frame appears, and the process ends with a non-zero
exit code once the box is closed. The frame is refused by a plug-in that the
settings list (tests/tools/pxe_probe_plugin.c, built as start_refusal); the
list of extensions is read from the machine's key only."""
import sys

from program_peer import FRAME, IDOK, SETTINGS_KEY, WM_COMMAND, begin, check, finish, probe, reg_set, start, wait_for

MACHINE_KEY = SETTINGS_KEY.replace("HKCU", "HKLM", 1)
TEXTS = ("Plovex konnte nicht gestartet werden: Das Hauptfenster ließ sich nicht öffnen.",
         "Plovex could not be started: its main window could not be opened.")


def main():
    begin("failed_start")
    reg_set({"SEARCH_EXTENSIONS": "1"})
    reg_set({"EXTENSIONS": "start_refusal.dll"}, MACHINE_KEY)
    try:
        process = start()
        box = wait_for(lambda: next((w for w in probe("windows", "#32770") if w[3] == "Plovex"), None), 30)
        if check(box, "a message box titled Plovex (%r)" % probe("windows", "#32770")):
            texts = [c[-1] for c in probe("children", box[0])]
            check(any(t in TEXTS for t in texts), "the box says the start failed (%r)" % texts)
            check(not probe("windows", FRAME), "no frame window")
            probe("post", box[0], WM_COMMAND, IDOK, 0)
        check(wait_for(lambda: process.poll() is not None, 30), "the process ends once the box is closed")
        check(process.returncode == 1, "exit code 1, not %r" % process.returncode)
    finally:
        reg_set({"SEARCH_EXTENSIONS": None})
        reg_set({"EXTENSIONS": None}, MACHINE_KEY)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
