"""Registers PLXAC529.dll in the test prefix with regsvr32, reads every key
and value of its registration back with `wine reg query`, drives its
automation classes by ProgID from a VBScript run by Wine's script host, and
checks that unregistration removes the classes and keeps the shared MIME
and extension keys."""
import os
import re
import subprocess
import sys

source = os.environ.get("TEST_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
build = os.environ.get("TEST_BINARY_DIR", "build")
LIBRARY = os.path.join(build, "bin", "PLXAC529.dll")
SCRIPT = os.path.join(source, "tests", "control", "automation_script.vbs")
failures = []

# A 64-bit library needs the 64-bit regsvr32, reg and script host.
WINE = ["wine"]
if os.environ.get("WINEARCH") == "win64":
    WINE = [os.path.join(source, "tools", "wine64", "wine")]


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, flush=True)
    return ok


def wine(*args, timeout=120):
    done = subprocess.run([*WINE, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def guids():
    """The identifiers of control/plovex_guids.h, in registry spelling."""
    text = open(os.path.join(source, "control", "plovex_guids.h")).read()
    return {name: "{" + value.upper() + "}"
            for name, value in re.findall(r"#define PLOVEX_UUID_(\w+) ([0-9a-fA-F-]+)", text)}


def value(key, name=None):
    """The value's text, or None when the key or value is missing."""
    code, text = wine("reg", "query", "HKCR\\" + key, *(["/v", name] if name else ["/ve"]))
    if code != 0:
        return None
    wanted = name if name else "(Default)"
    for line in text.splitlines():
        parts = re.split(r"\s{4}", line.strip(), maxsplit=2)
        if len(parts) == 3 and parts[0] == wanted and parts[1] == "REG_SZ":
            return parts[2]
        if len(parts) == 2 and parts[0] == wanted and parts[1] == "REG_SZ":
            return ""
    return None


def key_exists(key):
    return wine("reg", "query", "HKCR\\" + key)[0] == 0


ids = guids()
CONTROL, DOCUMENT, CONVERTER, TYPELIB = (ids[n] for n in ("PLOVEXCTRL", "DOCUMENT", "CONVERTER", "TYPELIB"))
CLASSES = [  # class id, ProgID, description, threading model
    (DOCUMENT, "PlovexActiveXCtrl.Document", "Document-Klasse", "both"),
    (CONVERTER, "PlovexActiveXCtrl.Converter", "Converter Class", "Apartment"),
    (CONTROL, "PlovexActiveXCtrl.PlovexCtrl", "PlovexCtrl Class", "Apartment"),
]
MIME = [("image/tiff", ".tif"), ("application/plovex-list", ".lst")]
module = windows_path(LIBRARY)


def class_values():
    """(key, value name, expected text) of every class's registration."""
    for class_id, prog_id, description, threading in CLASSES:
        versioned = prog_id + ".5_2_9"
        clsid = "CLSID\\" + class_id
        yield from [
            (versioned, None, description), (versioned + "\\CLSID", None, class_id),
            (prog_id, None, description), (prog_id + "\\CLSID", None, class_id),
            (prog_id + "\\CurVer", None, versioned),
            (clsid, None, description), (clsid + "\\ProgID", None, versioned),
            (clsid + "\\VersionIndependentProgID", None, prog_id),
            (clsid + "\\InprocServer32", None, module), (clsid + "\\InprocServer32", "ThreadingModel", threading),
            (clsid + "\\TypeLib", None, TYPELIB),
        ]
    clsid = "CLSID\\" + CONTROL
    yield from [
        (clsid + "\\ToolboxBitmap32", None, module + ", 101"), (clsid + "\\MiscStatus", None, "0"),
        (clsid + "\\MiscStatus\\1", None, "131473"), (clsid + "\\Version", None, "5.29"),
    ]


CONTROL_KEYS = ["Programmable", "Control", "Insertable", "EnableFullPage\\.tif", "EnableFullPage\\.lst"]


def mime_key(content_type):
    return "MIME\\Database\\Content Type\\" + content_type


def main():
    if not os.path.exists(LIBRARY):
        sys.exit("FAILED: PLXAC529.dll not built, nothing was checked")
    # A left-over registration of an earlier run must not answer for this one.
    wine("regsvr32", "/s", "/u", module)

    code, _ = wine("regsvr32", "/s", module)
    check(code == 0, "regsvr32 registers the library (exit %d)" % code)
    for key, name, expected in class_values():
        found = value(key, name)
        check(found == expected, "HKCR\\%s %s is %r, expected %r" % (key, name or "(Default)", found, expected))
    for marker in CONTROL_KEYS:
        check(key_exists("CLSID\\%s\\%s" % (CONTROL, marker)), "control key %s" % marker)
    for content_type, extension in MIME:
        check(value(mime_key(content_type), "CLSID") == CONTROL, "%s names the control" % content_type)
        check(value(mime_key(content_type), "Extension") == extension, "%s has the extension" % content_type)
        check(value(extension, "Content Type") == content_type, "%s has the content type" % extension)
    check(key_exists("TypeLib\\%s\\1.0" % TYPELIB), "the type library is registered")

    code, out = wine("cscript", "//nologo", windows_path(SCRIPT))
    for line in out.splitlines():
        if line.startswith("FAILED"):
            check(False, "script: " + line[len("FAILED: "):])
    check("checks done" in out, "the script ran to its end")
    check(code == 0, "the script's checks (exit %d)" % code)

    code, _ = wine("regsvr32", "/s", "/u", module)
    check(code == 0, "regsvr32 /u unregisters the library (exit %d)" % code)
    for class_id, prog_id, _, _ in CLASSES:
        for key in (prog_id, prog_id + ".5_2_9", "CLSID\\" + class_id):
            check(not key_exists(key), "HKCR\\%s removed" % key)
    check(not key_exists("TypeLib\\" + TYPELIB), "the type library unregistered")
    for content_type, extension in MIME:
        check(key_exists(mime_key(content_type)), "%s stays" % content_type)
        check(value(mime_key(content_type), "CLSID") is None, "%s no longer names the control" % content_type)
        check(value(mime_key(content_type), "Extension") == extension, "%s keeps its extension" % content_type)
        check(value(extension, "Content Type") == content_type, "%s keeps its content type" % extension)

    # A script cannot create what is no longer registered.
    code, out = wine("cscript", "//nologo", windows_path(SCRIPT))
    check(code != 0 and "Converter created by its ProgID" in out, "no class after unregistration")

    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
